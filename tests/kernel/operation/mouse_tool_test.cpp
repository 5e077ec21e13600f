#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "kernel/database/system_setting.h"
#include "kernel/entity_base/line.h"
#include "kernel/operation/tool_fixture.h"

namespace {

// A view at 8 pixels per drawing unit (a snap tolerance of 0.625 units, exact in binary),
// showing stubs around the drawing point c.
struct Snap_View : View {
    Snap_View() : View(200, 160)
    {
        r->zoom_transf(scale_transf(8.0));
        r->compute_transf();
        c = Qe_Pt(100, 80, 0) * r->screen_to_drawing();
        // Whole units keep the boundary arithmetic exact.
        c = Qe_Pt(std::floor(c.x()), std::floor(c.y()), 0);
    }
    // A stub whose rectangle is the square of half-size h around c + offset.
    Snap_Stub* stub(int type, Qe_Vec offset = Qe_Vec(), double h = 1.0)
    {
        const Qe_Pt m = c + offset;
        auto* s = new Snap_Stub(type, m, Qe_Rect(Qe_Pt(m.x() - h, m.y() + h, 0), Qe_Pt(m.x() + h, m.y() - h, 0)));
        drawing->add_object(s);
        return s;
    }
    MB_Mouse_Tool* snapping_tool()
    {
        paint();  // the drawn list the snap search walks
        MB_Mouse_Tool* t = op->add_tool(1, "snap");
        t->snap_start();
        return t;
    }
    std::vector<int> types(MB_Mouse_Tool& t)
    {
        std::vector<int> out;
        for (Qe_Void_Node* n = t.relation_list().head(); n; n = n->next())
            out.push_back(static_cast<MB_Relation*>(n->entity())->type());
        return out;
    }
    Qe_Pt c;
};

const double k_tol = 5.0 / 8.0;

TEST(Snap, ToleranceFollowsTheViewScale)
{
    EXPECT_EQ(api_mb_get_snap_tol(), 0.0);
    Snap_View v;
    EXPECT_EQ(api_mb_get_snap_tol(), k_tol);
    v.r->zoom_transf(scale_transf(10.0));
    v.r->compute_transf();
    EXPECT_DOUBLE_EQ(api_mb_get_snap_tol(), 0.5);
    Snap_Stub* s = v.stub(1);
    MB_Mouse_Tool* t = v.snapping_tool();
    t->process_snap(v.c);
    EXPECT_DOUBLE_EQ(s->last_tol, 0.5);
}

// Candidates found in either order leave the lowest type first and the snapped point its
// point; among equal types the first found stays first.
TEST(Snap, RelationsAreOrderedByType)
{
    struct Row {
        int first, second;
        std::vector<int> types;
        int leader;  // which stub leads: 0 the first drawn, 1 the second
    };
    const Row rows[] = {{3, 1, {1, 3}, 1}, {1, 3, {1, 3}, 0}, {2, 2, {2, 2}, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.first) + "," + std::to_string(row.second));
        Snap_View v;
        Snap_Stub* a = v.stub(row.first, Qe_Vec(0.25, 0, 0));
        Snap_Stub* b = v.stub(row.second, Qe_Vec(-0.25, 0.125, 0));
        MB_Mouse_Tool* t = v.snapping_tool();
        t->process_snap(v.c);
        EXPECT_EQ(v.types(*t), row.types);
        MB_Drawable* leader = row.leader == 0 ? static_cast<MB_Drawable*>(a) : b;
        EXPECT_EQ(t->get_snap_entity(), leader);
        EXPECT_EQ(v.op->get_snap_entity(), leader);
        const Qe_Pt expected = v.c + (row.leader == 0 ? Qe_Vec(0.25, 0, 0) : Qe_Vec(-0.25, 0.125, 0));
        EXPECT_EQ(t->snap_pos().x(), expected.x());
        EXPECT_EQ(t->snap_pos().y(), expected.y());
        EXPECT_EQ(t->get_relation()->ret_pos().x(), expected.x());
    }
}

// The cursor must lie in the rectangle grown by the tolerance: exactly at the edge it does,
// just beyond it does not; the y range is read by g_y_dir.
TEST(Snap, CandidateRectangleGrownByTheTolerance)
{
    struct Row {
        const char* name;
        bool y_up;
        Qe_Vec cursor;       // from c; the stub's square has half-size 1 around c
        bool upside_down;    // the rectangle stored with its y corners swapped
        bool found;
    };
    const double edge = 1.0 + k_tol;
    const double beyond = edge + 1.0 / 1024;
    const Row rows[] = {
        {"right edge", true, Qe_Vec(edge, 0, 0), false, true},
        {"beyond right", true, Qe_Vec(beyond, 0, 0), false, false},
        {"left edge", true, Qe_Vec(-edge, 0, 0), false, true},
        {"beyond left", true, Qe_Vec(-beyond, 0, 0), false, false},
        {"top edge", true, Qe_Vec(0, edge, 0), false, true},
        {"beyond top", true, Qe_Vec(0, beyond, 0), false, false},
        {"bottom edge", true, Qe_Vec(0, -edge, 0), false, true},
        {"beyond bottom", true, Qe_Vec(0, -beyond, 0), false, false},
        {"y down, swapped, bottom edge", false, Qe_Vec(0, -edge, 0), true, true},
        {"y down, swapped, beyond top", false, Qe_Vec(0, beyond, 0), true, false},
        {"y up, swapped corners", true, Qe_Vec(0, 0, 0), true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Snap_View v;
        Snap_Stub* s = v.stub(4);
        MB_Mouse_Tool* t = v.snapping_tool();
        if (row.upside_down) s->rect().set_rect(Qe_Pt(v.c.x() - 1, v.c.y() - 1, 0), Qe_Pt(v.c.x() + 1, v.c.y() + 1, 0));
        Y_Dir dir(row.y_up);
        t->process_snap(v.c + row.cursor);
        EXPECT_EQ(s->picks, row.found ? 1 : 0);
        EXPECT_EQ(t->get_relation() != nullptr, row.found);
    }
}

// Locked drawables and those whose general has bit 0 of its flag set are never asked.
TEST(Snap, LockAndFlagBitsExcludeCandidates)
{
    struct Row {
        unsigned char flag;
        bool asked;
    };
    const Row rows[] = {
        {0, true},
        {MB_General::Flag_Locked, false},
        {MB_General::Flag_On, false},
        {MB_General::Flag_Frozen, true},
        {MB_General::Flag_Plot | MB_General::Flag_Disabled, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.flag));
        Snap_View v;
        Snap_Stub* s = v.stub(1);
        MB_Mouse_Tool* t = v.snapping_tool();
        s->general().flag(row.flag);
        t->process_snap(v.c);
        EXPECT_EQ(s->picks, row.asked ? 1 : 0);
    }
}

// A search that finds the same leading relation keeps the relation itself; another entity,
// no hit, or snap_stop replace or drop it.
TEST(Snap, UnchangedRelationIsKeptByIdentity)
{
    Snap_View v;
    Snap_Stub* a = v.stub(2, Qe_Vec(0, 0, 0), 0.5);
    Snap_Stub* b = v.stub(2, Qe_Vec(3, 0, 0), 0.5);
    MB_Mouse_Tool* t = v.snapping_tool();
    t->process_snap(v.c);
    MB_Relation* first = t->get_relation();
    ASSERT_NE(first, nullptr);
    t->process_snap(v.c + Qe_Vec(0.25, 0, 0));
    EXPECT_EQ(t->get_relation(), first);
    EXPECT_EQ(t->get_snap_entity(), a);
    t->process_snap(v.c + Qe_Vec(3, 0, 0));
    EXPECT_EQ(t->get_snap_entity(), b);
    t->process_snap(v.c + Qe_Vec(20, 20, 0));
    EXPECT_EQ(t->get_relation(), nullptr);
    t->process_snap(v.c);
    EXPECT_NE(t->get_relation(), nullptr);
    t->snap_stop();
    EXPECT_EQ(t->get_relation(), nullptr);
    EXPECT_FALSE(t->is_snap());
}

std::vector<std::pair<int, int>> g_callbacks;
void record_callback(int a, int b)
{
    g_callbacks.emplace_back(a, b);
}

// The cursor callback hears every mouse move and nothing else: the leading type, or -1.
// Shift held turns snapping off; released, it turns snapping on even when it was off.
TEST(Snap, CallbackOnMovesAndShift)
{
    Snap_View v;
    Snap_Stub* s = v.stub(6, Qe_Vec(0, 0, 0), 0.5);
    MB_Mouse_Tool* t = v.snapping_tool();
    const Qe_Pt hit = v.c * v.r->drawing_to_screen();
    const int hx = static_cast<int>(std::lround(hit.x())), hy = static_cast<int>(std::lround(hit.y()));
    g_callbacks.clear();
    g_mouse_cursor_callback = record_callback;
    v.op->process_event(WM_MOUSEMOVE, hx, hy, 0);
    v.op->process_event(WM_LBUTTONDOWN, hx, hy, 0);
    v.op->process_event(WM_MOUSEMOVE, hx + 40, hy, 0);
    v.op->process_event(WM_RBUTTONUP, hx, hy, 0);
    EXPECT_EQ(g_callbacks, (std::vector<std::pair<int, int>>{{6, 0}, {-1, 0}}));

    EXPECT_EQ(v.op->process_keyboard_event(WM_KEYDOWN, VK_SHIFT, 1, 0), 1);
    EXPECT_FALSE(t->is_snap());
    const int picks = s->picks;
    v.op->process_event(WM_MOUSEMOVE, hx + 1, hy, 0);
    EXPECT_EQ(s->picks, picks);  // not searched while shift is held
    EXPECT_EQ(t->snap_pos().x(), t->cur_pos().x());
    v.op->process_keyboard_event(WM_KEYDOWN, 'A', 1, 0);
    EXPECT_FALSE(t->is_snap());
    v.op->process_keyboard_event(WM_KEYUP, VK_SHIFT, 1, 0);
    EXPECT_TRUE(t->is_snap());
    t->snap_stop();
    v.op->process_keyboard_event(WM_KEYUP, VK_SHIFT, 1, 0);
    EXPECT_TRUE(t->is_snap());
    g_callbacks.clear();
    v.op->process_event(WM_MOUSEMOVE, hx, hy, 0);
    EXPECT_EQ(g_callbacks, (std::vector<std::pair<int, int>>{{6, 0}}));
    g_mouse_cursor_callback = nullptr;
}

// The flat query runs its own search beside a live tool, which keeps its relations; with no
// hit it answers false and leaves the outputs alone.
TEST(Snap, FlatQueryBesideALiveTool)
{
    Snap_View v;
    Snap_Stub* a = v.stub(5, Qe_Vec(0, 0, 0), 0.5);
    Snap_Stub* b = v.stub(2, Qe_Vec(4, 0, 0), 0.5);
    MB_Mouse_Tool* t = v.snapping_tool();
    t->process_snap(v.c);
    MB_Relation* kept = t->get_relation();
    ASSERT_EQ(t->get_snap_entity(), a);

    Qe_Pt pos(-1, -1, 0);
    int type = -7;
    Qe_Void_List found;
    EXPECT_TRUE(api_get_snap_pos(*v.r, v.c + Qe_Vec(4, 0, 0), pos, type, found));
    EXPECT_EQ(pos.x(), v.c.x() + 4);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(found.count(), 1);
    EXPECT_EQ(found.first(), b);
    EXPECT_EQ(v.op->get_active_tool(), t);
    EXPECT_EQ(v.op->mousetool_list().count(), 1);
    EXPECT_EQ(t->get_relation(), kept);

    pos = Qe_Pt(-1, -1, 0);
    EXPECT_FALSE(api_get_snap_pos(*v.r, v.c + Qe_Vec(30, 30, 0), pos, type, found));
    EXPECT_EQ(pos.x(), -1.0);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(found.count(), 1);
    EXPECT_EQ(v.op->get_active_tool(), t);
}

// The relation of a line or polyline adds its points to a rubber band as a green polyline;
// other kinds add nothing.
TEST(Snap, RelationDrawNoteForLines)
{
    MB_Operation op;
    Test_Geom other(MB_Object::ID_CIRCLE);
    MB_Rubber rb;
    rb.draw_begin();
    MB_Relation r(1, nullptr);
    r.add_draw_note_to_rubber(rb);  // no entity
    r.ent_list().add(&other);
    r.add_draw_note_to_rubber(rb);
    EXPECT_TRUE(rb.new_list().is_empty());
    MB_Relation empty_a, empty_b;
    EXPECT_FALSE(empty_a.is_same(empty_b));
    MB_Relation same(1, nullptr);
    same.ent_list().add(&other);
    EXPECT_TRUE(r.is_same(same));
    MB_Relation other_type(2, nullptr);
    other_type.ent_list().add(&other);
    EXPECT_FALSE(r.is_same(other_type));

    op.system_setting()->set_long_val(MB_System_Setting::k_long_rubber_color, 0x123456);
    MB_Line line(Qe_Pt(1, 2, 0), Qe_Pt(3, 4, 0));
    MB_Lines chain(3);
    chain.points()[2] = Qe_Pt(7, 7, 0);
    for (MB_Drawable* d : {static_cast<MB_Drawable*>(&line), static_cast<MB_Drawable*>(&chain)}) {
        MB_Relation rl(1, nullptr);
        rl.ent_list().add(d);
        rl.add_draw_note_to_rubber(rb);
    }
    ASSERT_EQ(rb.new_list().count(), 2);
    const auto* a = static_cast<MB_Rubber_Lines*>(rb.new_list().get(0));
    const auto* b = static_cast<MB_Rubber_Lines*>(rb.new_list().get(1));
    ASSERT_EQ(a->points().size(), 2u);
    EXPECT_EQ(a->points()[1].y(), 4.0);
    ASSERT_EQ(b->points().size(), 3u);
    EXPECT_EQ(b->points()[2].x(), 7.0);
    EXPECT_EQ(a->colour(), 0x00FF00);  // green whatever the rubber colour
    EXPECT_EQ(a->style(), 0);
    rb.draw_begin();
}

}  // namespace
