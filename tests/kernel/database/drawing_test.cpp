#include <gtest/gtest.h>

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
