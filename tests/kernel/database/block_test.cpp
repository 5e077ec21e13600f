#include <gtest/gtest.h>

#include <string>

#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/entities/insert.h"
#include "kernel/stream/stream_fixture.h"
#include "kernel/test_objects.h"
#include "kernel/text/text_style.h"

using namespace stream_test;

namespace {

Test_Geom* member(double x0, double y0, double x1, double y1, unsigned short state = MB_Drawable::State_Normal)
{
    auto* g = new Test_Geom;
    g->rect().set_rect(Qe_Pt(x0, y1, 0), Qe_Pt(x1, y0, 0));
    g->flag(state);
    return g;
}

TEST(Block, Construction)
{
    MB_Block plain;
    EXPECT_EQ(plain.name(), MB_String("Block"));
    EXPECT_EQ(plain.desc(), MB_String("DESC"));
    EXPECT_TRUE(plain.tran().identity());

    MB_Block b(Qe_Pt(1, 2, 0), MB_String(), MB_String("d"));
    EXPECT_EQ(b.name(), MB_String("noname"));
    EXPECT_TRUE(pt_eq(b.base_pos() * b.tran(), Qe_Pt(0, 0, 0)));
    b.base_pos(Qe_Pt(5, 5, 1));
    EXPECT_TRUE(pt_eq(Qe_Pt(6, 7, 1) * b.tran(), Qe_Pt(1, 2, 0)));
}

TEST(Block, BuildDrawCountsHiddenMembersInTheRectangle)
{
    MB_Block b(Qe_Pt(1, 1, 0), MB_String("B"), MB_String("d"));
    b.build_draw();  // no members: nothing changes
    EXPECT_TRUE(pt_eq(b.rect().lt(), Qe_Pt()));
    b.object_list().add_tail(member(0, 0, 2, 3));
    b.object_list().add_tail(member(-4, 1, 1, 9, MB_Drawable::State_Hidden));
    b.build_draw();
    // Extent (-4, 9)-(2, 0), moved by minus the base point.
    EXPECT_TRUE(pt_eq(b.rect().lt(), Qe_Pt(-5, 8, 0)));
    EXPECT_TRUE(pt_eq(b.rect().rb(), Qe_Pt(1, -1, 0)));
}

TEST(Block, CopyTo)
{
    MB_Block b(Qe_Pt(3, 4, 0), MB_String("Door"), MB_String("a door"));
    b.object_list().add_tail(member(0, 0, 1, 1));
    b.object_list().add_tail(member(0, 0, 2, 2));
    const int live = Test_Geom::s_live;

    MB_Block existing;
    MB_Object* target = &existing;
    EXPECT_TRUE(b.copy_to(target));
    EXPECT_EQ(target, &existing);
    EXPECT_EQ(existing.name(), MB_String("Block"));

    MB_Object* fresh = nullptr;
    ASSERT_TRUE(b.copy_to(fresh));
    auto* copy = static_cast<MB_Block*>(fresh);
    EXPECT_EQ(copy->name(), MB_String("Door"));
    EXPECT_EQ(copy->desc(), MB_String("a door"));
    EXPECT_TRUE(pt_eq(Qe_Pt(3, 4, 0) * copy->tran(), Qe_Pt()));
    EXPECT_EQ(copy->object_list().count(), 2);
    EXPECT_EQ(Test_Geom::s_live, live + 2);
    EXPECT_NE(copy->object_list().get_head(), b.object_list().get_head());
    delete copy;
    EXPECT_EQ(Test_Geom::s_live, live);
}

TEST(Block, InsertList)
{
    MB_Drawing d;
    auto* b = new MB_Block(Qe_Pt(), MB_String("B"), MB_String("d"));
    auto* other = new MB_Block(Qe_Pt(), MB_String("C"), MB_String("d"));
    d.block_list().add_tail(b);
    d.block_list().add_tail(other);
    Qe_Void_List list;
    list.add(b);  // emptied first
    EXPECT_FALSE(b->get_insert_list(&d, list));
    EXPECT_TRUE(list.is_empty());

    auto* i1 = new MB_Insert;
    i1->block(b);
    auto* i2 = new MB_Insert;
    i2->block(other);
    auto* i3 = new MB_Insert;
    i3->block(MB_String("b"), d);  // case-insensitive: binds to B
    d.object_list().add_tail(i1);
    d.object_list().add_tail(new Test_Geom);
    d.object_list().add_tail(i2);
    d.object_list().add_tail(i3);
    EXPECT_TRUE(b->get_insert_list(&d, list));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.get(0), i1);
    EXPECT_EQ(list.get(1), i3);
    EXPECT_FALSE(b->get_insert_list(nullptr, list));

    // A name that no block bears makes an empty block at the tail of the list.
    MB_Insert i4;
    i4.block(MB_String("Window"), d);
    ASSERT_NE(i4.block(), nullptr);
    EXPECT_EQ(d.block_list().get_tail(), i4.block());
    EXPECT_EQ(i4.block()->desc(), MB_String("Block desc"));
    EXPECT_STREQ(i4.get_string(-309), "Window");
}

TEST(Insert, TransformAndProperties)
{
    struct Case {
        Qe_Pt at;
        double angle, sx, sy, sz;
        Qe_Pt in, out;
    };
    const double quarter = 1.5707963267948966;
    const Case cases[] = {
        {{10, 0, 0}, 0.0, 2, -1, 0, {1, 1, 0}, {12, -1, 0}},  // z scale 0 acts as 1
        {{0, 0, 0}, quarter, -1, 1, 1, {1, 0, 0}, {0, -1, 0}}, // mirror before rotation
        {{3, 4, 0}, 0.0, 1, 1, 1, {0, 0, 0}, {3, 4, 0}},
    };
    for (const Case& c : cases) {
        MB_Insert i(c.at, c.angle, c.sx, c.sy, c.sz);
        EXPECT_TRUE(i.trans().identity());
        i.build_transf();
        const Qe_Pt p = c.in * i.trans();
        EXPECT_NEAR(p.x(), c.out.x(), 1e-12);
        EXPECT_NEAR(p.y(), c.out.y(), 1e-12);
    }

    MB_Insert i(Qe_Pt(1, 2, 0), 0.5, 2, 3, 4);
    EXPECT_TRUE(pt_eq(i.get_point(-6), Qe_Pt(1, 2, 0)));
    EXPECT_EQ(i.get_real(-102), 0.5);
    EXPECT_EQ(i.get_real(-107), 3.0);
    i.set_real(-108, 7.0);
    EXPECT_EQ(i.scale()[2], 7.0);
    EXPECT_EQ(i.get_int(-217), 0);
    i.set_int(-217, 1);
    EXPECT_EQ(i.get_int(-217), 1);
    EXPECT_EQ(i.get_int(-217), 1);
    i.set_int(-217, 2);
    EXPECT_FALSE(i.display_flag());
    EXPECT_EQ(i.get_string(-309), nullptr);
    i.set_int(-200, 0x10);  // handled by the drawable part
    EXPECT_EQ(i.general().color(), 0x10);

    MB_Block b;
    i.block(&b);
    MB_Object* clone = nullptr;
    ASSERT_TRUE(i.copy_to(clone));
    auto* c = static_cast<MB_Insert*>(clone);
    EXPECT_EQ(c->block(), &b);
    EXPECT_EQ(c->angle(), 0.5);
    EXPECT_EQ(c->scale()[2], 7.0);
    EXPECT_EQ(c->general().color(), 0x10);
    EXPECT_FALSE(c->display_flag());
    delete c;
}

TEST(Drawing, FindByName)
{
    MB_Drawing d;
    auto* abc = new MB_Block(Qe_Pt(), MB_String("abc"), MB_String("d"));
    d.block_list().add_tail(new MB_Block(Qe_Pt(), MB_String(u"\u4E2D"), MB_String("d")));  // no 8-bit name
    d.block_list().add_tail(abc);
    EXPECT_EQ(d.find_block("ABC"), abc);
    EXPECT_EQ(d.find_block(nullptr), nullptr);
    EXPECT_EQ(d.find_block("abd"), nullptr);

    auto* bylayer = new MB_Line_Type;
    bylayer->name("BYLAYER");
    auto* dashed = new MB_Line_Type;
    dashed->name("Dashed");
    d.line_type_list().add_tail(bylayer);
    d.line_type_list().add_tail(dashed);
    MB_Layer layer;
    layer.line_type(dashed);
    EXPECT_EQ(d.find_line_type("BYLAYER", &layer), dashed);
    EXPECT_EQ(d.find_line_type("ByLayer", nullptr), bylayer);
    EXPECT_EQ(d.find_line_type("DASHED", nullptr), dashed);
    EXPECT_EQ(d.find_line_type(nullptr, &layer), nullptr);

    auto* own = new MB_Text_Style;
    own->name("default_style");
    auto* other = new MB_Text_Style;
    other->name("Notes");
    d.text_style_list().add_tail(own);
    d.text_style_list().add_tail(other);
    EXPECT_EQ(g_text_style, nullptr);
    EXPECT_EQ(d.find_text_style("default_style"), nullptr);  // the shared style, not yet made
    MB_Text_Style shared;
    g_text_style = &shared;
    EXPECT_EQ(d.find_text_style("DEFAULT_STYLE"), &shared);
    g_text_style = nullptr;
    EXPECT_EQ(d.find_text_style("NOTES"), other);
    EXPECT_EQ(d.find_text_style(nullptr), nullptr);

    auto* l0 = new MB_Layer;
    d.layer_list().add_tail(l0);
    EXPECT_EQ(d.find_layer(0ul), l0);
    EXPECT_EQ(d.find_layer(static_cast<unsigned long>(d.layer_list().count())), nullptr);
}

TEST(Drawing, ActiveListAndTempBlock)
{
    MB_Drawing d;
    EXPECT_TRUE(d.zoom_transf().identity());
    EXPECT_EQ(&d.get_active_object_list(), &d.object_list());
    MB_Object_List layout_entities;
    Test_Object layout;
    d.current_layout(&layout, &layout_entities);
    EXPECT_EQ(&d.get_active_object_list(), &layout_entities);
    auto* e = new Test_Geom;
    d.add_object(e);  // a layout does not redirect additions
    EXPECT_EQ(d.object_list().get_tail(), e);
    d.add_object(e);
    d.add_object(nullptr);
    EXPECT_EQ(d.object_list().count(), 1);

    auto* b = new MB_Block;
    d.temp_block(b);
    EXPECT_EQ(&d.get_active_object_list(), &b->object_list());
    auto* m = new Test_Geom;
    d.add_object_merge(m);
    EXPECT_EQ(b->object_list().get_tail(), m);
    EXPECT_EQ(d.object_list().count(), 1);
    d.finish_temp_block();
    EXPECT_EQ(d.temp_block(), nullptr);
    EXPECT_EQ(d.block_list().get_tail(), b);
    d.current_layout(nullptr, &layout_entities);
    EXPECT_EQ(&d.get_active_object_list(), &d.object_list());

    // A block still being defined when the drawing goes is deleted with it, members and
    // all (the sanitizer run checks the leak).
    const int live = Test_Geom::s_live;
    {
        MB_Drawing other;
        auto* open = new MB_Block;
        open->object_list().add_tail(new Test_Geom);
        other.temp_block(open);
    }
    EXPECT_EQ(Test_Geom::s_live, live);
}

TEST(Drawing, BuildDrawHidesEntitiesOnHiddenLayers)
{
    MB_Drawing d;
    auto* off = new MB_Layer(MB_String("off"));
    auto* on = new MB_Layer;
    d.layer_list().add_tail(off);
    d.layer_list().add_tail(on);
    auto* a = new Test_Geom;
    a->general().layer(off);
    auto* b = new Test_Geom;
    b->general().layer(on);
    b->flag(MB_Drawable::State_Selected);
    d.object_list().add_tail(a);
    d.object_list().add_tail(b);
    auto* blk = new MB_Block;
    blk->object_list().add_tail(member(0, 0, 1, 1));
    d.block_list().add_tail(blk);
    d.build_draw();
    EXPECT_EQ(a->flag(), MB_Drawable::State_Hidden);
    EXPECT_EQ(b->flag(), MB_Drawable::State_Selected);
    EXPECT_TRUE(pt_eq(blk->rect().lt(), Qe_Pt(0, 1, 0)));

    off->visibility(true);
    d.build_layer(off);
    EXPECT_EQ(a->flag(), MB_Drawable::State_Normal);
    on->freeze(true);
    d.build_layer(on);
    EXPECT_EQ(b->flag(), MB_Drawable::State_Hidden);
}

TEST(Block_Stream, DefinitionRecords)
{
    // A block without members or without a name writes nothing.
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        MB_Block empty(Qe_Pt(), MB_String("E"), MB_String("d"));
        EXPECT_EQ(empty.serialize(s.io), 0);
        MB_Block unnamed;
        unnamed.name() = MB_String();
        unnamed.object_list().add_tail(new Test_Geom);
        EXPECT_EQ(unnamed.serialize(s.io), 0);
        EXPECT_EQ(s.body(), "");
    }
    // Begin record golden: 'B', the base relative to the running position, name and
    // description; then the end record.
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    MB_Block_Begin begin(Qe_Pt(1, 2, 3), "Ab", MB_String("x"));
    EXPECT_EQ(begin.serialize(s.io), 0);
    MB_Block_End end;
    EXPECT_EQ(end.serialize(s.io), 0);
    MB_Block_Name name(s.drawing, "Ab");
    EXPECT_EQ(name.block(), nullptr);
    EXPECT_EQ(name.serialize(s.io), 0);
    EXPECT_EQ(to_hex(s.body()),
              "42 00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 00 00 00 00 00 00 08 40 "
              "02 00 00 00 41 62 01 00 00 00 78 4E 4A 02 00 00 00 41 62");
}

TEST(Block_Stream, ReadingDefinitions)
{
    Stream s;
    const Bytes begin = hex("00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 00 00 00 00 00 00 00 00 "
                            "03 00 00 00 44 6F 6F 01 00 00 00 78");
    ASSERT_EQ(s.open_read(begin + begin + begin), 0);
    MB_Block_Begin b;
    ASSERT_EQ(b.materialize(single('B'), s.io), 0);
    ASSERT_EQ(b.process(s.io), 0);
    MB_Block* open = s.drawing.temp_block();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->name(), MB_String("Doo"));
    EXPECT_EQ(open->desc(), MB_String("x"));  // the description read is kept
    EXPECT_TRUE(pt_eq(open->base_pos(), Qe_Pt(1, 2, 0)));

    // Members go to the open block.
    s.drawing.add_object(new Test_Geom);
    s.drawing.add_object(new Test_Geom);

    // A second begin record while a block is open (the first lost its end record): the open
    // block is finished with its members and the new one opens.
    MB_Block_Begin second;
    ASSERT_EQ(second.materialize(single('B'), s.io), 0);
    EXPECT_EQ(second.process(s.io), 0);
    // The running position moved on: the second base is relative to the first.
    EXPECT_TRUE(pt_eq(second.base_pos(), Qe_Pt(2, 4, 0)));
    MB_Block* next = s.drawing.temp_block();
    ASSERT_NE(next, nullptr);
    ASSERT_NE(next, open);
    ASSERT_EQ(s.drawing.block_list().count(), 1);
    EXPECT_EQ(s.drawing.block_list().get_head(), open);
    EXPECT_EQ(open->object_list().count(), 2);
    s.drawing.add_object(new Test_Geom);

    MB_Block_End end;
    ASSERT_EQ(end.process(s.io), 0);
    EXPECT_EQ(end.block(), next);
    EXPECT_EQ(s.drawing.temp_block(), nullptr);
    ASSERT_EQ(s.drawing.block_list().count(), 2);
    EXPECT_EQ(s.drawing.block_list().get_tail(), next);
    EXPECT_EQ(next->object_list().count(), 1);
    EXPECT_EQ(open->object_list().count(), 2);
    EXPECT_TRUE(s.drawing.object_list().is_empty());

    // An end with no block open appends nothing and reading goes on.
    MB_Block_End again;
    EXPECT_EQ(again.process(s.io), 0);
    EXPECT_EQ(again.block(), nullptr);
    EXPECT_EQ(s.drawing.block_list().count(), 2);
    s.drawing.add_object(new Test_Geom);
    EXPECT_EQ(s.drawing.object_list().count(), 1);

    // A block of the list opened again (as a rendition reopens one by name) is closed by an
    // end record and by a begin record without joining the list a second time.
    for (const char record : {'N', 'B'}) {
        SCOPED_TRACE(record);
        s.drawing.temp_block(open);
        if (record == 'N') {
            MB_Block_End closing;
            ASSERT_EQ(closing.process(s.io), 0);
            EXPECT_EQ(s.drawing.temp_block(), nullptr);
        } else {
            MB_Block_Begin opening;
            ASSERT_EQ(opening.materialize(single('B'), s.io), 0);
            ASSERT_EQ(opening.process(s.io), 0);
            MB_Block* fresh = s.drawing.temp_block();
            ASSERT_NE(fresh, open);
            s.drawing.finish_temp_block();
            EXPECT_EQ(s.drawing.block_list().get_tail(), fresh);
        }
        EXPECT_EQ(s.drawing.block_list().count(), record == 'N' ? 2 : 3);
        long seen = 0;
        for (MB_Object* o = s.drawing.block_list().get_tail(); o && seen < 10; o = o->prev()) ++seen;
        EXPECT_EQ(seen, s.drawing.block_list().count());
    }
}

TEST(Block_Stream, BlockNameIsCutToItsField)
{
    Stream s;
    const std::string name(300, 'q');
    Bytes rec = hex("2C 01 00 00") + name;
    ASSERT_EQ(s.open_read(rec), 0);
    MB_Block_Name n;
    ASSERT_EQ(n.materialize(single('J'), s.io), 0);
    ASSERT_EQ(n.process(s.io), 0);
    EXPECT_EQ(std::string(s.io.fifo_rendition().block_name()), name.substr(0, 259));
}

}  // namespace
