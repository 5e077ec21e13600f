#include <gtest/gtest.h>

#include "kernel/database/block.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/entity_base/line.h"

using namespace entity_test;

namespace {

// An entity of one point and one real, framed as the test chooses.
class Framed : public MB_Geom {
public:
    MB_ID object_id() const override { return ID_POINT; }
    MB_Result serialize(MB_File_IO& file) override
    {
        return mb_write_entity(*this, file, 'Q', [&](MB_Record_Writer& w) { w.position(pt).real(value); }, frame);
    }
    MB_Result materialize(const MB_Opcode& op, MB_File_IO& file) override
    {
        return mb_read_entity(*this, op, file, [&](MB_Record_Reader& r) { r.position(pt).real(value); }, frame);
    }
    MB_Result process(MB_File_IO& file) override { return mb_process_entity(*this, file); }
    bool copy_to(MB_Object*& target) override
    {
        return mb_copy_entity<Framed>(*this, target, [] { return new Framed; }, [&](Framed& f) { f.pt = pt; });
    }

    Qe_Pt pt;
    double value = 0.0;
    MB_Record_Frame frame;
};

TEST(Entity_Record, FrameSwitches)
{
    const Qe_Pt p(1, 2, 3);
    const Bytes operands = position(p) + le_double(0.5);
    struct Case {
        const char* name;
        bool general, xdata;
        const char* block;
        Bytes bytes;
    };
    const Case cases[] = {
        {"common", true, true, nullptr, hex("03") + le_long(0xFF) + "Q" + k_no_xdata + operands},
        {"no general records", false, true, nullptr, "Q" + k_no_xdata + operands},
        {"no extended data", true, false, nullptr, hex("03") + le_long(0xFF) + "Q" + operands},
        {"block name first", true, true, "door", hex("03") + le_long(0xFF) + "J" + counted("door") + "Q" + k_no_xdata + operands},
    };
    for (const Case& c : cases) {
        Framed f;
        f.general().color(0xFF);
        f.general().width(1.0);
        f.pt = p;
        f.value = 0.5;
        f.frame.general = c.general;
        f.frame.xdata = c.xdata;
        f.frame.block_name = c.block;
        EXPECT_EQ(to_hex(record_bytes(f)), to_hex(c.bytes)) << c.name;
        // Read back with the same frame (the opcode byte is the reader's).
        stream_test::Stream s;
        ASSERT_EQ(s.open_read(c.bytes.substr(c.bytes.find('Q') + 1)), 0);
        Framed back;
        back.frame = f.frame;
        back.general().color(0x123);
        ASSERT_EQ(back.materialize(stream_test::single('Q'), s.io), 0) << c.name;
        EXPECT_TRUE(pt_eq(back.pt, p)) << c.name;
        EXPECT_EQ(back.value, 0.5) << c.name;
        // Without general records the reader's state is not taken.
        EXPECT_EQ(back.general().color(), c.general ? 0 : 0x123) << c.name;
        EXPECT_EQ(s.io.close(), 0);
    }
}

TEST(Entity_Record, ProcessJoinsTheOpenBlockElseTheDrawing)
{
    const Bytes begin = "B" + Bytes(24, '\0') + counted("blk") + counted("d");
    const Bytes line = "L" + k_no_xdata + position(Qe_Pt(1, 1, 0)) + position(Qe_Pt(2, 2, 0), Qe_Pt(1, 1, 0));
    Record_Reader rd;
    ASSERT_EQ(rd.read(begin + line + "N" + line), 0);
    ASSERT_EQ(rd.count(), 1);
    ASSERT_EQ(rd.drawing().block_list().count(), 1);
    EXPECT_EQ(static_cast<MB_Block*>(rd.drawing().block_list().get_head())->object_list().count(), 1);
    // A second process of the tail changes nothing.
    MB_Object* tail = rd.drawing().object_list().get_tail();
    EXPECT_EQ(tail->process(rd.s.io), 0);
    EXPECT_EQ(rd.count(), 1);
}

TEST(Entity_Record, WriteFailuresAreReported)
{
    // A file object that is not open writes nothing: the failure comes back.
    MB_File_IO io;
    MB_Drawing d;
    io.drawing(&d);
    MB_Line l(Qe_Pt(1, 1, 1), Qe_Pt(2, 2, 2));
    EXPECT_NE(l.serialize(io), 0);
    Framed f;
    EXPECT_NE(f.serialize(io), 0);
}

// The property table: listed keys, read-only keys, the undo column and the fall-through.
struct Keyed : public MB_Line {
    double v = 0.0;
};

TEST(Entity_Properties, TableFallsThroughAndRecordsByItsColumn)
{
    const MB_Property<Keyed, double> table[] = {
        {-500, [](Keyed& k) { return k.v; }, [](Keyed& k, double x) { k.v = x; }, MB_Undo::Record},
        {-501, [](Keyed& k) { return 2 * k.v; }, nullptr},
        {-502, [](Keyed& k) { return k.v + 1; }, [](Keyed& k, double x) { k.v = -x; }},
    };
    Keyed k;
    int fallbacks = 0;
    auto fallback = [&] {
        ++fallbacks;
        return -1.0;
    };
    EXPECT_EQ(mb_get_property(table, k, -500, fallback), 0.0);
    EXPECT_EQ(mb_get_property(table, k, -999, fallback), -1.0);
    EXPECT_EQ(fallbacks, 1);
    Op_Fixture f;
    auto* live = new Keyed;
    f.drawing->add_object(live);
    auto recorded = [&](long key, MB_Undo every) {
        f.op->rec_cmd_begin("set");
        mb_set_property(table, *live, key, 3.0, [&] { ++fallbacks; }, every);
        f.op->rec_cmd_end();
        const MB_Command* cmd = f.rec->last_cmd();
        return cmd && cmd->sub_command_head() != nullptr;
    };
    EXPECT_TRUE(recorded(-500, MB_Undo::None));
    EXPECT_EQ(live->v, 3.0);
    EXPECT_FALSE(recorded(-502, MB_Undo::None));
    EXPECT_EQ(live->v, -3.0);
    EXPECT_FALSE(recorded(-501, MB_Undo::None));  // read-only: falls through
    EXPECT_EQ(fallbacks, 2);
    EXPECT_TRUE(recorded(-999, MB_Undo::Record));  // every key recorded, then falls through
    EXPECT_EQ(fallbacks, 3);
}

}  // namespace
