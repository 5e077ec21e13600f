#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <utility>

#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/test_objects.h"

namespace {

TEST(Drawing, NewDrawing)
{
    MB_Drawing d;
    EXPECT_EQ(d.format_version(), 451);
    EXPECT_EQ(d.file_revision(), 0);
    EXPECT_TRUE(d.layer_list().is_empty());
    EXPECT_TRUE(d.object_list().is_empty());
    EXPECT_EQ(&d.object_list(), &d.open_obj_list());
    EXPECT_EQ(d.filename().length(), 0);
    const char* items[8] = {"Title", "Descpiption", "Comments", "Author", "Keywords", "Copyright", "123", "123"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d.drawing_info().item(i), MB_String(items[i])) << i;
    EXPECT_TRUE(d.drawing_info().is_expore_text());
    d.drawing_info().set_major_revision(4);
    d.drawing_info().set_minor_revision(51);
    EXPECT_EQ(d.drawing_info().decimal_revision(), 451);

    MB_Drawing named(MB_String("a.vkt"));
    EXPECT_EQ(named.filename(), MB_String("a.vkt"));
    named.set_filename(2, u"b\u4E2D");
    EXPECT_EQ(named.filename(), MB_String(u"b\u4E2D"));
}

TEST(Drawing, RunningPosition)
{
    MB_Drawing writer, reader;
    Qe_Pt a(10, 10, 5), b(12, 15, 5);
    writer.fo_position(a);
    writer.fo_position(b);
    EXPECT_EQ(a.x(), 10);
    EXPECT_EQ(a.y(), 10);
    EXPECT_EQ(b.x(), 2);
    EXPECT_EQ(b.y(), 5);
    EXPECT_EQ(b.z(), 5);
    reader.fi_position(a);
    reader.fi_position(b);
    EXPECT_EQ(b.x(), 12);
    EXPECT_EQ(b.y(), 15);
    EXPECT_EQ(b.z(), 5);
    EXPECT_EQ(reader.position().x(), 12);
}

// The stream carries differences, which a reader adds back: a point comes back within the
// rounding of that one addition, however many points came before it (the writer's previous
// position is the reader's sum, so roundings do not pile up), and a value after a smaller
// or equal one of the same sign comes back bit for bit.
TEST(Drawing, RunningPositionDoesNotDrift)
{
    MB_Drawing writer, reader;
    std::mt19937_64 rng(48);
    std::uniform_int_distribution<int> cents(-20000, 20000);
    double worst = 0.0;
    int exact = 0;
    constexpr int k_points = 200000;
    for (int i = 0; i < k_points; ++i) {
        // Decimal coordinates, as drawings have them, near the last point or anywhere.
        const double x = cents(rng) / 100.0 + 0.001 * (i % 7);
        const double y = (i % 2 ? 0.1 : 10.97) + cents(rng) / 1000.0;
        const Qe_Pt before = reader.position();
        Qe_Pt p(x, y, 0.5);
        writer.fo_position(p);
        reader.fi_position(p);
        for (const auto& [back, want, prev] : {std::tuple(p.x(), x, before.x()), std::tuple(p.y(), y, before.y())}) {
            const double scale = std::max(std::fabs(want), std::fabs(prev));
            worst = std::max(worst, std::fabs(back - want) / scale);
            exact += back == want;
        }
        ASSERT_EQ(p.z(), 0.5);
    }
    EXPECT_LE(worst, 0x1p-52);
    EXPECT_GT(exact, k_points);  // most of the 2 × k_points values
    // Larger after smaller, same sign: exact.
    for (const auto& [prev, v] : {std::pair(0.1, 10.97), std::pair(0.7, 0.71), std::pair(-3.3, -7.77)}) {
        MB_Drawing w, r;
        Qe_Pt a(prev, prev, 0), b(v, v, 0);
        w.fo_position(a);
        w.fo_position(b);
        r.fi_position(a);
        r.fi_position(b);
        EXPECT_EQ(b.x(), v);
        EXPECT_EQ(b.y(), v);
    }
}

TEST(Drawing, FindLayer)
{
    MB_Drawing d;
    auto* first = new MB_Layer(MB_String("Wall"));
    auto* gbk = new MB_Layer(MB_String("\xC7\xBD"));  // a GBK name: bytes compare exactly
    d.layer_list().add_tail(first);
    d.layer_list().add_tail(new MB_Layer(MB_String("wall")));
    d.layer_list().add_tail(gbk);
    EXPECT_EQ(d.find_layer("WALL"), first);
    EXPECT_EQ(d.find_layer("\xC7\xBD"), gbk);
    EXPECT_EQ(d.find_layer("\xE7\xBD"), nullptr);
    EXPECT_EQ(d.find_layer("Wal"), nullptr);
    EXPECT_EQ(d.find_layer(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(d.find_layer(0ul), first);
    EXPECT_EQ(d.find_layer(2ul), gbk);
    EXPECT_EQ(d.find_layer(3ul), nullptr);
    EXPECT_EQ(d.find_layer(0xFFFFFFFFFFul), nullptr);
}

TEST(Drawing, DestructionDeletesWhatTheDrawingOwns)
{
    const int before = Test_Object::s_live;
    Test_Object borrowed[2];
    {
        MB_Drawing d;
        for (MB_Object_List* l : {&d.object_list(), &d.block_list(), &d.layer_list(), &d.dim_style_list(),
                                  &d.view_port_list(), &d.named_view_list(), &d.text_style_list(),
                                  &d.line_type_list()})
            l->add_tail(new Test_Object());
        d.hide_list().add_tail(&borrowed[0]);
        d.hatch_type_list().add_tail(&borrowed[1]);
        EXPECT_EQ(Test_Object::s_live, before + 10);
    }
    EXPECT_EQ(Test_Object::s_live, before + 2);
    EXPECT_EQ(borrowed[0].next(), nullptr);
}

}  // namespace

#include "kernel/database/attribute_head.h"
#include "kernel/database/informational.h"
#include "kernel/database/named_view.h"
#include "kernel/database/timestamp.h"
#include "kernel/stream/stream_fixture.h"

namespace {

class Head : public MB_Attribute_Head {
public:
    MB_ID object_id() const override { return ID_WIDTH; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
};

class Info : public MB_Informational {
public:
    using MB_Informational::MB_Informational;
    MB_ID object_id() const override { return ID_TIMESTAMP; }
    MB_Type object_type() const override { return TYPE_INFORMATIONAL; }
    MB_Result serialize(MB_File_IO& file) override { return MB_Informational::serialize(file, "Title"); }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
};

TEST(Drawing_Objects, SerialNumbersAndSmallRecords)
{
    Head a, b;
    EXPECT_EQ(b.id(), static_cast<unsigned short>(a.id() + 1));
    EXPECT_EQ(a.name(), MB_String("jxb"));
    Head c(b);
    EXPECT_EQ(c.id(), b.id());
    Head d;
    EXPECT_EQ(d.id(), static_cast<unsigned short>(b.id() + 1));
    MB_Attribute_Head::m_static_no = 65535;
    Head last, wrapped;
    EXPECT_EQ(last.id(), 65535);
    EXPECT_EQ(wrapped.id(), 0);

    MB_Named_View v;
    v.name() = "front";
    v.lt(Qe_Pt(1, 2, 0));
    MB_Named_View w(v);
    EXPECT_EQ(w.name(), MB_String("front"));
    EXPECT_EQ(w.lt().y(), 2);
    EXPECT_EQ(MB_Timestamp().seconds(), 0);

    // An empty item writes nothing; a filled one is "(keyword text)".
    stream_test::Stream s;
    ASSERT_EQ(s.open_write(), 0);
    Info empty;
    EXPECT_EQ(empty.serialize(s.io), 0);
    Info title("Plan");
    EXPECT_EQ(title.serialize(s.io), 0);
    EXPECT_EQ(stream_test::to_hex(s.body()), "28 54 69 74 6C 65 20 04 00 00 00 50 6C 61 6E 29");
    MB_Opcode ascii, single;
    ascii.set(MB_Opcode::Extended_Ascii, 5, reinterpret_cast<const unsigned char*>("Title"));
    single.set(MB_Opcode::Single_Byte, 1, reinterpret_cast<const unsigned char*>("T"));
    EXPECT_EQ(title.materialize(ascii, s.io), 0);
    EXPECT_EQ(title.materialize(single, s.io), MB_Result::Invalid_Data);
}

}  // namespace

#include <random>
#include <string>
#include <vector>

#include "kernel/database/block.h"
#include "kernel/database/line_type.h"

namespace {

// The lookups as the tables define them: the first entry in list order whose 8-bit name
// matches, ignoring ASCII case or exactly.
template <typename Name_Of>
MB_Object* walk_find(MB_Object_List& list, const char* name, bool exact, Name_Of name_of)
{
    auto fold = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (MB_Object* o = list.get_head(); o; o = o->next()) {
        const char* n = name_of(o);
        if (!n) continue;
        if (exact ? std::string(n) == name : fold(n) == fold(name)) return o;
    }
    return nullptr;
}

}  // namespace

// Random edits of the layer, block and line-type tables (joins at either end or in the
// middle, removals, kills, in-place renames, whole-list replacement); every lookup must
// find what a walk of the table finds.
TEST(Drawing, NameLookupsMatchAWalkOfTheTables)
{
    const char* names[] = {"a", "A", "b", "B0", "b0", "0", "layer0", "\xD6\xD0", "", "x y"};
    for (unsigned seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
        MB_Drawing d;
        auto layer_name = [](MB_Object* o) { return static_cast<MB_Layer*>(o)->name().ascii(); };
        auto block_name = [](MB_Object* o) { return static_cast<MB_Block*>(o)->name().ascii(); };
        auto ltype_name = [](MB_Object* o) -> const char* { return static_cast<MB_Line_Type*>(o)->name(); };
        for (int step = 0; step < 600; ++step) {
            const char* name = names[pick(std::size(names))];
            const int table = static_cast<int>(pick(3));
            MB_Object_List& list = table == 0 ? d.layer_list() : table == 1 ? d.block_list() : d.line_type_list();
            const long n = list.count();
            MB_Object* some = n ? list.get(static_cast<int>(pick(static_cast<std::size_t>(n)))) : nullptr;
            switch (pick(8)) {
            case 0:
            case 1:
            case 2: {
                MB_Object* o = nullptr;
                if (table == 0) o = new MB_Layer(MB_String(name));
                if (table == 1) o = new MB_Block(Qe_Pt(), MB_String(name), MB_String("d"));
                if (table == 2) {
                    auto* t = new MB_Line_Type;
                    t->name(name);
                    o = t;
                }
                const std::size_t where = pick(3);
                if (where == 0) list.add_tail(o);
                if (where == 1) list.add_head(o);
                if (where == 2) list.insert(o, some);
                break;
            }
            case 3:
                if (some) list.kill_object(some);
                break;
            case 4:
                if (some && list.remove(some)) delete some;
                break;
            case 5: {
                // Renamed in place after it joined: its old name must no longer find it. (A
                // name given in place is found once the table changes; no lookup here asks
                // for one.)
                const std::string renamed = "renamed" + std::to_string(step);
                if (some && table == 0) static_cast<MB_Layer*>(some)->name() = renamed.c_str();
                if (some && table == 1) static_cast<MB_Block*>(some)->name() = renamed.c_str();
                if (some && table == 2) static_cast<MB_Line_Type*>(some)->name(renamed.c_str());
                break;
            }
            case 6:
                if (pick(10) == 0) {
                    // Every entry out and back in reverse order.
                    std::vector<MB_Object*> all;
                    for (MB_Object* o = list.get_head(); o; o = o->next()) all.push_back(o);
                    list.remove_all();
                    for (MB_Object* o : all) list.add_head(o);
                }
                break;
            default: break;
            }
            const char* probe = names[pick(std::size(names))];
            ASSERT_EQ(d.find_layer(probe), walk_find(d.layer_list(), probe, false, layer_name)) << probe;
            ASSERT_EQ(d.find_block(probe), walk_find(d.block_list(), probe, false, block_name)) << probe;
            ASSERT_EQ(d.find_line_type(probe, nullptr), walk_find(d.line_type_list(), probe, false, ltype_name))
                << probe;
            // Exact lookups compare whole strings, as MB_String's == does.
            auto exact = [&](MB_Object_List& list, auto name_of) -> MB_Object* {
                for (MB_Object* o = list.get_head(); o; o = o->next())
                    if (name_of(o) == MB_String(probe)) return o;
                return nullptr;
            };
            ASSERT_EQ(d.find_layer_exact(MB_String(probe)),
                      exact(d.layer_list(), [](MB_Object* o) -> MB_String& { return static_cast<MB_Layer*>(o)->name(); }));
            ASSERT_EQ(d.find_block_exact(MB_String(probe)),
                      exact(d.block_list(), [](MB_Object* o) -> MB_String& { return static_cast<MB_Block*>(o)->name(); }));
            for (MB_Object* o = d.block_list().get_head(); o; o = o->next()) ASSERT_TRUE(d.has_block(o));
        }
    }
}
