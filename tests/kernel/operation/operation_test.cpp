#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>

#include <cstdio>
#include <string>
#include <vector>

#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/named_view.h"
#include "kernel/display/draw_node.h"
#include "kernel/display/view_fixture.h"
#include "kernel/operation/mouse_tool.h"
#include "kernel/operation/operation.h"
#include "kernel/test_objects.h"

namespace {

TEST(Operation, RegistryFollowsConstructionAndDestruction)
{
    ASSERT_TRUE(g_operation_list.is_empty());
    ASSERT_EQ(g_active_operation, nullptr);

    auto first = std::make_unique<MB_Operation>();
    auto second = std::make_unique<MB_Operation>();
    EXPECT_EQ(g_active_operation, second.get());
    EXPECT_EQ(g_operation_list.count(), 2);
    second.reset();
    EXPECT_EQ(g_active_operation, first.get());

    second = std::make_unique<MB_Operation>();
    first.reset();  // not the active one: the last still listed stays active
    EXPECT_EQ(g_active_operation, second.get());
    EXPECT_EQ(g_operation_list.count(), 1);

    auto third = std::make_unique<MB_Operation>();
    second.reset();  // the active one goes; the last still listed takes over
    EXPECT_EQ(g_active_operation, third.get());
    third.reset();
    EXPECT_EQ(g_active_operation, nullptr);
    EXPECT_TRUE(g_operation_list.is_empty());
}

// The host lists are exported under their own names, start empty, and the kernel leaves
// what a host keeps in them alone through an operation's whole life.
TEST(Operation, HostListsAreExportedAndLeftToTheHost)
{
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "g_copy_list"), static_cast<void*>(&g_copy_list));
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "g_temp_list"), static_cast<void*>(&g_temp_list));
    EXPECT_NE(&g_copy_list, &g_temp_list);
    ASSERT_TRUE(g_copy_list.is_empty());
    ASSERT_TRUE(g_temp_list.is_empty());
    int kept = 7;
    g_copy_list.add(&kept);
    g_temp_list.add(&kept);
    {
        MB_Operation op;
        EXPECT_TRUE(op.create_drawing("host lists"));
        EXPECT_TRUE(op.close_drawing());
    }
    EXPECT_EQ(g_copy_list.count(), 1);
    EXPECT_EQ(g_temp_list.first(), &kept);
    g_copy_list.clear();
    g_temp_list.clear();
}

TEST(Operation, NewOperationState)
{
    MB_Operation op;
    EXPECT_EQ(op.drawing(), nullptr);
    EXPECT_EQ(op.wnd(), nullptr);
    EXPECT_TRUE(op.selection().is_empty());
    EXPECT_EQ(op.get_active_tool(), nullptr);
    EXPECT_EQ(op.current_layer(), nullptr);
    auto* layer = reinterpret_cast<MB_Layer*>(&op);  // only stored, never used
    op.current_layer(layer);
    EXPECT_EQ(op.current_layer(), layer);

    ASSERT_NE(op.system_setting(), nullptr);
    EXPECT_EQ(op.system_setting()->get_long_val(1), 0xFFFFFF);

    // No undo record until one is made.
    EXPECT_EQ(op.undo_redo(), nullptr);
    EXPECT_EQ(api_get_active_undo_redo(), nullptr);
    EXPECT_FALSE(api_if_record_command());
    EXPECT_EQ(api_rec_cmd_pause(), 0);
    api_rec_cmd_continue(1);
    EXPECT_FALSE(api_if_record_command());

    op.init_undoredo(nullptr);
    ASSERT_NE(op.undo_redo(), nullptr);
    EXPECT_EQ(api_get_active_undo_redo(), op.undo_redo());
    EXPECT_EQ(op.undo_redo()->state(), 0);
    EXPECT_FALSE(op.undo_redo()->is_can_undo());
    EXPECT_FALSE(op.undo_redo()->is_can_redo());
}

TEST(Operation, FlatUndoFunctionsWithoutOperation)
{
    ASSERT_EQ(g_active_operation, nullptr);
    EXPECT_EQ(api_get_active_undo_redo(), nullptr);
    EXPECT_FALSE(api_if_record_command());
    EXPECT_EQ(api_rec_cmd_pause(), 0);
    api_rec_cmd_continue(1);  // nothing to set
}

TEST(Operation, UnionOfTheRectanglesOfAList)
{
    Qe_Void_List list;
    Qe_Rect out(Qe_Pt(7, 8, 0), Qe_Pt(9, 1, 0));
    // Nothing listed: false, and the rectangle stays.
    EXPECT_FALSE(api_mb_get_entity_list_rect(list, out));
    EXPECT_TRUE(same_point(out.lt(), Qe_Pt(7, 8, 0), 0.0));

    // A line from (0, 0) to (2, 1) and a circle of radius 1 about (5, 5).
    Test_Geom line, circle;
    line.rect() = Qe_Rect(Qe_Pt(0, 0, 0), Qe_Pt(2, 1, 0));
    circle.rect().init_by_circle(Qe_Pt(5, 5, 0), 1.0);
    list.add(&line);
    list.add(&circle);
    ASSERT_TRUE(api_mb_get_entity_list_rect(list, out));
    EXPECT_TRUE(same_point(out.lt(), Qe_Pt(0, 6, 0), 0.0));
    EXPECT_TRUE(same_point(out.rb(), Qe_Pt(6, 0, 0), 0.0));
    // One drawable: its rectangle as it is.
    Qe_Void_List one;
    one.add(&circle);
    ASSERT_TRUE(api_mb_get_entity_list_rect(one, out));
    EXPECT_TRUE(same_point(out.lt(), Qe_Pt(4, 6, 0), 0.0));
}

TEST(Operation, OwnsItsDrawingAndViews)
{
    MB_Operation op;
    EXPECT_EQ(op.draw_render(), nullptr);
    op.compute_transf();  // no view: nothing happens
    auto* first = new MB_Drawing;
    first->add_object(new Test_Geom);
    op.init(nullptr, first);
    EXPECT_EQ(op.drawing(), first);
    ASSERT_NE(op.undo_redo(), nullptr);
    EXPECT_EQ(op.undo_redo()->drawing(), first);
    ASSERT_NE(op.draw_render(), nullptr);
    EXPECT_EQ(op.cur_draw_render(), op.draw_render());
    EXPECT_EQ(op.draw_render()->drawing(), first);

    // A new drawing replaces (and frees) the old one; the same one again is kept.
    auto* second = new MB_Drawing;
    op.init(nullptr, second);
    EXPECT_EQ(op.drawing(), second);
    EXPECT_EQ(op.draw_render()->drawing(), second);
    op.init(nullptr, second);
    EXPECT_EQ(op.drawing(), second);
    EXPECT_EQ(Test_Geom::s_live, 0);
    second->add_object(new Test_Geom);
}

// A text-bearing or image drawable, selected by crossing through its own rule.
class Test_Shape : public MB_Drawable {
public:
    Test_Shape(MB_ID id, MB_Type type) : m_id(id), m_type(type) {}
    MB_ID object_id() const override { return m_id; }
    MB_Type object_type() const override { return m_type; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
    void node(MB_Draw_Node* n) { draw_node(n); }

private:
    MB_ID m_id;
    MB_Type m_type;
};

class Counted_Tool : public MB_Mouse_Tool {
public:
    explicit Counted_Tool(int& live) : m_live(live) { ++m_live; }
    ~Counted_Tool() override { --m_live; }

private:
    int& m_live;
};

// A windowless operation with a drawing.
struct Host {
    std::unique_ptr<MB_Operation> op = std::make_unique<MB_Operation>();
    Host() { op->create_drawing("test.vkt"); }
    MB_Drawing& drawing() { return *op->drawing(); }
    // A polyline drawable through pts, with its rectangle, in the entity list.
    Test_Geom* add(std::vector<Qe_Pt> pts)
    {
        auto* g = new Test_Geom;
        for (const Qe_Pt& p : pts) g->edge().add_point(p);
        g->rect() = Qe_Rect(pts.data(), static_cast<int>(pts.size()));
        drawing().add_object(g);
        return g;
    }
};

TEST(Operation, CreateAndCloseDrawing)
{
    int tools = 0;
    {
        MB_Operation op;
        EXPECT_TRUE(op.create_drawing("first.vkt"));
        MB_Drawing* first = op.drawing();
        ASSERT_NE(first, nullptr);
        EXPECT_STREQ(first->filename().ascii(), "first.vkt");
        EXPECT_EQ(op.undo_redo()->drawing(), first);
        ASSERT_NE(op.draw_render_list().head(), nullptr);
        EXPECT_EQ(op.draw_render_list().cur(), op.draw_render_list().head());
        EXPECT_EQ(op.draw_render()->layout(), nullptr);

        auto* g = new Test_Geom;
        first->add_object(g);
        op.add_entity_to_selection(g, false);
        op.rec_cmd_begin("add");
        first->add_object(new Test_Geom);
        op.rec_cmd_end();
        ASSERT_TRUE(op.is_can_undo());

        // A new drawing replaces the old one with its undo record; nothing stays selected.
        EXPECT_TRUE(op.create_drawing("second.vkt"));
        EXPECT_EQ(Test_Geom::s_live, 0);
        EXPECT_TRUE(op.selection().is_empty());
        EXPECT_FALSE(op.is_can_undo());
        EXPECT_EQ(op.undo_redo()->drawing(), op.drawing());
        EXPECT_EQ(op.draw_render()->drawing(), op.drawing());

        op.mousetool_list().add(new Counted_Tool(tools));
        EXPECT_NE(op.get_active_tool(), nullptr);
        EXPECT_TRUE(op.close_drawing());
        EXPECT_EQ(op.drawing(), nullptr);
        EXPECT_EQ(op.undo_redo(), nullptr);
        EXPECT_EQ(op.draw_render(), nullptr);
        // Without a record the commands do nothing.
        op.rec_cmd_begin("none");
        Qe_Void_List touched;
        op.undo(touched);
        EXPECT_FALSE(op.is_can_undo());
        EXPECT_FALSE(op.is_can_redo());
        op.build_draw();
        EXPECT_EQ(tools, 1);
    }
    EXPECT_EQ(tools, 0);  // the operation deleted its tool

    MB_Operation named;
    named.init(nullptr, "named.vkt");
    ASSERT_NE(named.drawing(), nullptr);
    EXPECT_STREQ(named.drawing()->filename().ascii(), "named.vkt");
    EXPECT_NE(named.draw_render(), nullptr);

    // The setter takes ownership like init: the views and record follow the new drawing.
    auto* given = new MB_Drawing;
    named.drawing(given);
    EXPECT_EQ(named.drawing(), given);
    EXPECT_EQ(named.draw_render()->drawing(), given);
    EXPECT_EQ(named.undo_redo()->drawing(), given);
}

TEST(Operation, SaveAndLoad)
{
    const std::string path = ::testing::TempDir() + "operation_save_load.vkt";
    std::remove(path.c_str());
    {
        Host h;
        h.drawing().layer_list().add_tail(new MB_Layer(MB_String("walls")));
        EXPECT_FALSE(h.op->save_jxb(nullptr));
        EXPECT_TRUE(h.op->save_jxb(path.c_str()));
        MB_Operation empty;
        EXPECT_FALSE(empty.save_jxb(path.c_str()));  // no drawing
    }
    MB_Operation op;
    auto* g = new Test_Geom;
    EXPECT_FALSE(op.load_jxb(nullptr));
    EXPECT_EQ(op.drawing(), nullptr);
    // Loading without a drawing makes one; the selection is cleared first.
    ASSERT_TRUE(op.load_jxb(path.c_str()));
    ASSERT_NE(op.drawing(), nullptr);
    ASSERT_NE(op.drawing()->find_layer("walls"), nullptr);
    op.drawing()->add_object(g);
    op.add_entity_to_selection(g, false);
    EXPECT_FALSE(op.load_jxb(nullptr));
    EXPECT_TRUE(op.selection().is_empty());
    EXPECT_EQ(g->flag(), MB_Drawable::State_Normal);
    // A file that cannot be read is a failure, not a success.
    EXPECT_FALSE(op.load_jxb((path + ".missing").c_str()));
    std::remove(path.c_str());
}

TEST(Operation, SelectionFlags)
{
    Host h;
    Test_Geom* a = h.add({{0, 0, 0}, {1, 1, 0}});
    Test_Geom* locked = h.add({{0, 0, 0}, {1, 1, 0}});
    locked->general().lock(true);
    auto* node = new MB_Draw_Lines_Set;
    a->node(node);
    EXPECT_TRUE(h.op->add_entity_to_selection(a, false));
    EXPECT_TRUE(h.op->add_entity_to_selection(a, false));  // listed once
    EXPECT_FALSE(h.op->add_entity_to_selection(locked, false));
    EXPECT_EQ(h.op->selection().count(), 1);
    EXPECT_EQ(a->flag(), MB_Drawable::State_Selected);
    EXPECT_EQ(node->flag(), 1);
    EXPECT_TRUE(h.op->clear_selectlist(false));
    EXPECT_TRUE(h.op->selection().is_empty());
    EXPECT_EQ(a->flag(), MB_Drawable::State_Normal);
}

TEST(Operation, RectangleSelection)
{
    Host h;
    // The selection rectangle runs from (0, 0) to (10, 10).
    Test_Geom* inside = h.add({{2, 2, 0}, {8, 8, 0}});
    Test_Geom* touching = h.add({{0, 2, 0}, {8, 8, 0}});          // on the left edge
    Test_Geom* crossing = h.add({{5, 5, 0}, {15, 5, 0}});          // leaves through the right edge
    Test_Geom* around = h.add({{-5, 5, 0}, {5, 15, 0}, {15, 5, 0}});  // box overlaps, line crosses
    Test_Geom* corner = h.add({{-5, 9, 0}, {1, 15, 0}});           // box overlaps, line misses
    Test_Geom* outside = h.add({{20, 20, 0}, {30, 30, 0}});
    Test_Geom* hidden = h.add({{3, 3, 0}, {4, 4, 0}});
    hidden->flag(MB_Drawable::State_Hidden);
    Test_Geom* locked = h.add({{3, 3, 0}, {4, 4, 0}});
    locked->general().lock(true);
    // A text whose box overlaps and one of whose points lies inside; one whose points do not.
    auto add_text = [&](std::vector<Qe_Pt> pts) {
        auto* t = new Test_Shape(MB_Object::ID_TEXT, MB_Object::TYPE_TEXT);
        t->rect() = Qe_Rect(pts.data(), static_cast<int>(pts.size()));
        t->node(new MB_Draw_Lines_Set(pts.data(), static_cast<int>(pts.size()), 0, t));
        h.drawing().add_object(t);
        return t;
    };
    Test_Shape* text_in = add_text({{9, 9, 0}, {12, 12, 0}});
    Test_Shape* text_out = add_text({{-2, 9, 0}, {12, 12, 0}});
    auto* image = new Test_Shape(MB_Object::ID_IMAGE, MB_Object::TYPE_IMAGE);
    image->rect() = Qe_Rect(Qe_Pt(8, 8, 0), Qe_Pt(12, 12, 0));
    h.drawing().add_object(image);
    auto* dimension = new Test_Shape(MB_Object::ID_DIMENSION, MB_Object::TYPE_TEXT);
    dimension->rect() = Qe_Rect(Qe_Pt(8, 8, 0), Qe_Pt(12, 12, 0));
    h.drawing().add_object(dimension);

    auto selected = [&](Qe_Pt p1, Qe_Pt p2) {
        EXPECT_TRUE(h.op->rect_select(p1, p2, false));
        std::vector<MB_Drawable*> v;
        for (Qe_Void_Node* n = h.op->selection().head(); n; n = n->next())
            v.push_back(static_cast<MB_Drawable*>(n->entity()));
        return v;
    };
    using V = std::vector<MB_Drawable*>;
    // Left to right: window.
    EXPECT_EQ(selected({0, 0, 0}, {10, 10, 0}), (V{inside}));
    EXPECT_EQ(touching->flag(), MB_Drawable::State_Normal);
    // Right to left: crossing.
    const V crossed{inside, touching, crossing, around, text_in, image};
    EXPECT_EQ(selected({10, 10, 0}, {0, 0, 0}), crossed);
    for (MB_Drawable* d : crossed) EXPECT_EQ(d->flag(), MB_Drawable::State_Selected);
    // Equal x: crossing of a zero-width rectangle, along x = 5 from y 0 to 10 (around's
    // corner at (5, 15) is above it).
    EXPECT_EQ(selected({5, 0, 0}, {5, 10, 0}), (V{inside, touching, crossing}));
    // The previous selection is cleared each time.
    EXPECT_EQ(around->flag(), MB_Drawable::State_Normal);
    for (MB_Drawable* d : {static_cast<MB_Drawable*>(corner), static_cast<MB_Drawable*>(outside),
                           static_cast<MB_Drawable*>(hidden), static_cast<MB_Drawable*>(locked),
                           static_cast<MB_Drawable*>(text_out), static_cast<MB_Drawable*>(dimension)})
        EXPECT_NE(d->flag(), MB_Drawable::State_Selected);
}

TEST(Operation, DeleteObjects)
{
    Host h;
    Test_Geom* a = h.add({{0, 0, 0}, {1, 1, 0}});
    Test_Geom* b = h.add({{0, 0, 0}, {1, 1, 0}});
    h.op->add_entity_to_selection(a, false);
    h.op->draw_render()->display_list().add(a);
    // Not recording: destroyed, and forgotten by the selection and the view.
    EXPECT_TRUE(h.op->delete_object(a, false));
    EXPECT_EQ(Test_Geom::s_live, 1);
    EXPECT_TRUE(h.op->selection().is_empty());
    EXPECT_TRUE(h.op->draw_render()->display_list().is_empty());
    EXPECT_FALSE(h.op->delete_object(nullptr, false));

    // A drawable that is not in the entity list is not the controller's to destroy.
    Test_Geom outsider;
    EXPECT_FALSE(h.op->delete_object(&outsider, false));

    // A list naming an object twice: the second is no longer in the drawing.
    Qe_Void_List twice;
    twice.add(b);
    twice.add(b);
    EXPECT_TRUE(h.op->delete_object_list(twice, false));
    EXPECT_EQ(Test_Geom::s_live, 1);  // the outsider
    Qe_Void_List empty;
    EXPECT_FALSE(h.op->delete_object_list(empty, false));
}

TEST(Operation, DeleteLayerDeletesItsEntities)
{
    Host h;
    auto* layer = new MB_Layer(MB_String("doors"));
    h.drawing().layer_list().add_tail(layer);
    Test_Geom* on = h.add({{0, 0, 0}, {1, 1, 0}});
    on->general().layer(layer);
    Test_Geom* off = h.add({{0, 0, 0}, {1, 1, 0}});
    EXPECT_TRUE(h.op->delete_object(layer, false));
    EXPECT_EQ(h.drawing().object_list().get_head(), off);
    EXPECT_EQ(h.drawing().object_list().get_tail(), off);
    EXPECT_EQ(h.drawing().find_layer("doors"), layer);
}

// A named view (or another table entry) only leaves the views' drawn lists: it stays in
// the drawing, and the call says it did its job.
TEST(Operation, DeleteTableEntryOnlyLeavesTheDrawnList)
{
    Host h;
    auto* view = new MB_Named_View;
    h.drawing().named_view_list().add_tail(view);
    h.op->draw_render()->display_list().add(view);
    EXPECT_TRUE(h.op->delete_object(view, false));
    EXPECT_TRUE(h.op->draw_render()->display_list().is_empty());
    EXPECT_EQ(h.drawing().named_view_list().get_head(), view);
    auto* style = new MB_Line_Type;
    h.drawing().line_type_list().add_tail(style);
    EXPECT_TRUE(h.op->delete_object(style, false));
    EXPECT_EQ(h.drawing().line_type_list().get_head(), style);
    // One that is not the drawing's is refused.
    MB_Named_View outsider;
    EXPECT_FALSE(h.op->delete_object(&outsider, false));
}

// A list that names a layer among entities: the layer takes its entities with it, and the
// entities after it that were on the layer are no longer there to delete; the selection and
// the view forget every drawable that went, and a table entry only leaves the view's list.
TEST(Operation, DeleteListWithALayerAmongItsEntities)
{
    Host h;
    auto* layer = new MB_Layer(MB_String("doors"));
    h.drawing().layer_list().add_tail(layer);
    std::vector<Test_Geom*> on, off;
    for (int i = 0; i < 6; ++i) {
        Test_Geom* g = h.add({{0, 0, 0}, {1, 1, 0}});
        if (i % 2) g->general().layer(layer);
        (i % 2 ? on : off).push_back(g);
        h.op->add_entity_to_selection(g, false);
        h.op->draw_render()->display_list().add(g);
    }
    Test_Geom outsider;
    auto* view = new MB_Named_View;
    h.drawing().named_view_list().add_tail(view);
    h.op->draw_render()->display_list().add(view);
    Qe_Void_List list;
    list.add(off[0]);
    list.add(view);
    list.add(layer);
    for (Test_Geom* g : on) list.add(g);
    list.add(&outsider);
    list.add(off[0]);
    list.add(off[2]);
    EXPECT_TRUE(h.op->delete_object_list(list, false));
    EXPECT_EQ(Test_Geom::s_live, 2);  // off[1] and the outsider
    EXPECT_EQ(h.drawing().object_list().get_head(), off[1]);
    EXPECT_EQ(h.drawing().object_list().get_tail(), off[1]);
    EXPECT_EQ(h.op->selection().count(), 1);
    EXPECT_EQ(h.op->selection().first(), off[1]);
    EXPECT_EQ(h.op->draw_render()->display_list().count(), 1);
    EXPECT_EQ(h.drawing().named_view_list().get_head(), view);
}

// Entities the caller knows to be listed go without a walk of the list: freed, unlinked
// where they are, and forgotten by the selection and the view; the others stay as they were.
TEST(Operation, DeleteEntitiesKnownToBeListed)
{
    Host h;
    std::vector<Test_Geom*> all;
    for (int i = 0; i < 5; ++i) {
        Test_Geom* g = h.add({{0, 0, 0}, {1, 1, 0}});
        h.op->add_entity_to_selection(g, false);
        h.op->draw_render()->display_list().add(g);
        all.push_back(g);
    }
    h.op->delete_entities({all[0], all[2], all[4]});
    EXPECT_EQ(Test_Geom::s_live, 2);
    EXPECT_EQ(h.drawing().object_list().get_head(), all[1]);
    EXPECT_EQ(all[1]->next(), all[3]);
    EXPECT_EQ(h.drawing().object_list().get_tail(), all[3]);
    EXPECT_EQ(h.op->selection().count(), 2);
    EXPECT_EQ(h.op->draw_render()->display_list().count(), 2);
    h.op->delete_entities({});
    EXPECT_EQ(h.drawing().object_list().count(), 2);
}

TEST(Operation, UndoneDeletionsAndCreationsLeaveTheSelection)
{
    Host h;
    Test_Geom* a = h.add({{0, 0, 0}, {1, 1, 0}});
    Test_Geom* b = h.add({{0, 0, 0}, {1, 1, 0}});
    h.op->add_entity_to_selection(a, false);
    h.op->add_entity_to_selection(b, false);
    h.op->rec_cmd_begin("delete");
    EXPECT_TRUE(h.op->delete_selection());
    h.op->rec_cmd_end();
    EXPECT_TRUE(h.drawing().object_list().is_empty());
    EXPECT_EQ(Test_Geom::s_live, 2);  // held by the record
    Qe_Void_List touched;
    h.op->undo(touched);
    EXPECT_EQ(h.drawing().object_list().count(), 2);
    EXPECT_EQ(touched.count(), 2);

    // A creation that is undone takes its drawable out of the selection, so that no
    // selection is left naming what a later command frees.
    h.op->rec_cmd_begin("create");
    Test_Geom* c = h.add({{0, 0, 0}, {1, 1, 0}});
    h.op->rec_cmd_end();
    h.op->add_entity_to_selection(c, false);
    h.op->draw_render()->display_list().add(c);
    h.op->undo(touched);
    EXPECT_TRUE(h.op->selection().is_empty());
    EXPECT_TRUE(h.op->draw_render()->display_list().is_empty());
    EXPECT_EQ(c->flag(), MB_Drawable::State_Normal);
    h.op->rec_cmd_begin("next");  // frees c
    h.op->rec_cmd_end();
    EXPECT_EQ(Test_Geom::s_live, 2);
}

TEST(Operation, ViewsWithoutAndWithAWindow)
{
    {
        MB_Operation op;  // no view: nothing happens
        op.zoom_all();
        op.pan_view(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
        op.scale_view(2.0);
        op.redraw_all();
        op.record_trans();
        EXPECT_FALSE(op.display_previous_view());
        EXPECT_FALSE(op.is_can_previous_view());
        EXPECT_TRUE(same_point(Qe_Pt(3, 4, 0) * op.drawing_to_screen(), Qe_Pt(3, 4, 0), 0.0));
    }
    View v;
    MB_Operation& op = *v.op;
    v.add({{0, 0, 0}, {100, 50, 0}});
    op.zoom_all();
    const Qe_Pt anchor = Qe_Pt(200, 150, 0) * op.screen_to_drawing();
    op.record_trans();
    op.scale_view(2.0, 200, 150);
    // The drawing point under the anchor pixel stays there.
    EXPECT_TRUE(same_point(anchor * op.drawing_to_screen(), Qe_Pt(200, 150, 0), 1e-6));
    op.pan_view(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    const Qe_Pt moved = Qe_Pt(0, 0, 0) * op.drawing_to_screen();
    op.pan_view(Qe_Pt(10, 0, 0), Qe_Pt(0, 0, 0));
    EXPECT_FALSE(same_point(moved, Qe_Pt(0, 0, 0) * op.drawing_to_screen(), 1e-6));
    // The screen and drawing transforms are inverse to each other.
    const Qe_Pt p(12, -7, 0);
    EXPECT_TRUE(same_point(p * op.drawing_to_screen() * op.screen_to_drawing(), p, 1e-9));
}

TEST(Operation, DeletionRepaintsWhatTheDrawableCovered)
{
    View v;
    const COLORREF green = RGB(0, 255, 0);
    Test_Geom* line = v.add({{0, 0, 0}, {100, 50, 0}}, green);
    Test_Geom* other = v.add({{0, 60, 0}, {100, 60, 0}}, RGB(255, 0, 0));
    v.op->zoom_all();
    v.paint();
    ASSERT_GT(v.count(green), 0);
    EXPECT_TRUE(v.shown(line));
    EXPECT_TRUE(v.op->delete_object(line, true));
    EXPECT_EQ(v.count(green), 0);
    EXPECT_FALSE(v.shown(line));
    EXPECT_TRUE(v.shown(other));
    // The selection of a window by dragging, repainted.
    EXPECT_TRUE(v.op->rect_select(Qe_Pt(-1, 70, 0), Qe_Pt(101, 50, 0), true));
    EXPECT_EQ(v.op->selection().count(), 1);
}

}  // namespace
