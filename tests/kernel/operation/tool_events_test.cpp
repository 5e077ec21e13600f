#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/operation/tool_fixture.h"

namespace {

// Logs every handler call with its flags and the cursor it saw.
class Probe_Tool : public MB_Mouse_Tool {
public:
    Probe_Tool(long id, const char* title, MB_Operation* op) : MB_Mouse_Tool(id, title, op) { ++s_live; }
    ~Probe_Tool() override { --s_live; }
    void lbuttondown(int f) override { log("ldown", f); }
    void lbuttonup(int f) override { log("lup", f); }
    void lbuttondblclk(int f) override { log("ldbl", f); }
    void rbuttondown(int f) override { log("rdown", f); }
    void rbuttonup(int f) override { log("rup", f); }
    void rbuttondblclk(int f) override { log("rdbl", f); }
    void mousemove(int f) override { log("move", f); }
    void log(const char* what, int f)
    {
        calls.push_back(std::string(what) + " " + std::to_string(f) + " " + std::to_string(x()) + "," +
                        std::to_string(y()));
    }
    std::vector<std::string> calls;
    static inline int s_live = 0;
};

TEST(ToolEvents, NoToolMeansZeroFromEveryRouter)
{
    View v;
    POINT p{1, 2};
    MSG m{v.wnd, WM_LBUTTONDOWN, 0, 0, 0, {1, 2}};
    EXPECT_EQ(v.op->process_mouse_event(WM_MOUSEMOVE, 0, p), 0);
    EXPECT_EQ(v.op->process_event(&m), 0);
    EXPECT_EQ(v.op->process_event(WM_LBUTTONDOWN, 1, 2, 0), 0);
    EXPECT_EQ(v.op->process_keyboard_event(WM_KEYDOWN, VK_SHIFT, 1, 0), 0);
    EXPECT_EQ(v.op->get_active_tool_id(), -1);
    EXPECT_STREQ(v.op->get_active_tool_title(), "No tool!");
    EXPECT_EQ(v.op->get_snap_entity(), nullptr);
    EXPECT_EQ(v.op->pop_tool(), nullptr);
}

// Each mouse message reaches its handler with its flags and the client pixel; other messages
// are taken (1) without reaching the tool.
TEST(ToolEvents, MessagesReachTheirHandlers)
{
    View v;
    auto* t = new Probe_Tool(7, "probe", v.op.get());
    EXPECT_EQ(v.op->get_active_tool(), t);
    EXPECT_EQ(v.op->get_active_tool_id(), 7);
    EXPECT_STREQ(v.op->get_active_tool_title(), "probe");
    struct Row {
        int msg;
        const char* call;  // null: the tool hears nothing
    };
    const Row rows[] = {
        {0x1FF, nullptr},           {WM_MOUSEMOVE, "move"}, {WM_LBUTTONDOWN, "ldown"}, {WM_LBUTTONUP, "lup"},
        {WM_LBUTTONDBLCLK, "ldbl"}, {WM_RBUTTONDOWN, "rdown"}, {WM_RBUTTONUP, "rup"},  {WM_RBUTTONDBLCLK, "rdbl"},
        {0x207, nullptr},           {WM_KEYDOWN, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.msg);
        t->calls.clear();
        POINT p{12, 34};
        EXPECT_EQ(v.op->process_mouse_event(row.msg, 5, p), 1);
        EXPECT_EQ(v.op->process_event(row.msg, 56, 78, 9), 1);
        if (!row.call) {
            EXPECT_TRUE(t->calls.empty());
            continue;
        }
        const std::string c = row.call;
        EXPECT_EQ(t->calls, (std::vector<std::string>{c + " 5 12,34", c + " 9 56,78"}));
        const Qe_Pt expected = Qe_Pt(56, 78, 0) * v.op->screen_to_drawing();
        EXPECT_DOUBLE_EQ(t->cur_pos().x(), expected.x());
        EXPECT_DOUBLE_EQ(t->cur_pos().y(), expected.y());
    }
}

// The MSG form: mouse messages carry a screen point, made client coordinates through the
// window's origin, and flags 0; key messages go to the keyboard handler; others are taken.
TEST(ToolEvents, MessageFormUsesTheWindowOrigin)
{
    View v;
    ASSERT_TRUE(platform_set_window_origin(v.wnd, 100, 50));
    auto* t = new Probe_Tool(1, "probe", v.op.get());
    MSG m{v.wnd, WM_RBUTTONDOWN, 0x1234, 0x5678, 0, {130, 80}};
    EXPECT_EQ(v.op->process_event(&m), 1);
    EXPECT_EQ(t->calls, std::vector<std::string>{"rdown 0 30,30"});
    m.message = 0x000F;
    EXPECT_EQ(v.op->process_event(&m), 1);
    EXPECT_EQ(t->calls.size(), 1u);
    t->snap_start();
    m = MSG{v.wnd, WM_KEYDOWN, VK_SHIFT, 0, 0, {0, 0}};
    EXPECT_EQ(v.op->process_event(&m), 1);
    EXPECT_FALSE(t->is_snap());
    m.message = WM_KEYUP;
    EXPECT_EQ(v.op->process_event(&m), 1);
    EXPECT_TRUE(t->is_snap());
    EXPECT_EQ(v.op->process_event(nullptr), 1);
}

// A handler that replaces its own tool keeps running on a live object; the tool is deleted
// when the router returns.
class Self_Replacing : public Probe_Tool {
public:
    using Probe_Tool::Probe_Tool;
    void lbuttondown(int f) override
    {
        new Probe_Tool(2, "next", operation());
        // Still this tool's own members, after its replacement.
        pos_list().add_tail(cur_pos());
        log("after", f);
        snap_restart();
    }
};

// A tool that clears every tool while it follows the mouse; the move goes on to the cursor
// callback, which reads the tool's relations.
class Self_Clearing : public Probe_Tool {
public:
    using Probe_Tool::Probe_Tool;
    void mousemove(int) override { operation()->clear_all_tools(); }
};

int g_callback_type = -2;
void remember_type(int type, int)
{
    g_callback_type = type;
}

TEST(ToolEvents, HandlersMayReplaceOrClearTheirOwnTool)
{
    View v;
    Probe_Tool::s_live = 0;
    new Self_Replacing(1, "first", v.op.get());
    EXPECT_EQ(Probe_Tool::s_live, 1);
    EXPECT_EQ(v.op->process_event(WM_LBUTTONDOWN, 3, 4, 0), 1);
    EXPECT_EQ(Probe_Tool::s_live, 1);  // the first one was deleted after the message
    EXPECT_EQ(v.op->get_active_tool_id(), 2);
    EXPECT_EQ(v.op->mousetool_list().count(), 1);

    // Snapping onto a stub, so that the callback has a relation to read.
    v.paint();
    auto* stub = new Snap_Stub(4, Qe_Pt(), Qe_Rect(Qe_Pt(-1000, 1000, 0), Qe_Pt(1000, -1000, 0)));
    v.drawing->add_object(stub);
    v.paint();
    auto* clearing = new Self_Clearing(3, "clear", v.op.get());
    clearing->snap_start();
    EXPECT_EQ(Probe_Tool::s_live, 1);
    g_mouse_cursor_callback = remember_type;
    EXPECT_EQ(v.op->process_event(WM_MOUSEMOVE, 50, 60, 0), 1);
    g_mouse_cursor_callback = nullptr;
    EXPECT_EQ(g_callback_type, 4);
    EXPECT_EQ(Probe_Tool::s_live, 0);
    EXPECT_EQ(v.op->get_active_tool(), nullptr);
    EXPECT_EQ(v.op->process_event(WM_MOUSEMOVE, 50, 60, 0), 0);

    // Outside routing, clearing deletes at once; pop_tool hands the tool over undeleted.
    new Probe_Tool(4, "a", v.op.get());
    v.op->clear_all_tools();
    EXPECT_EQ(Probe_Tool::s_live, 0);
    auto* kept = new Probe_Tool(5, "b", v.op.get());
    EXPECT_EQ(v.op->pop_tool(), kept);
    EXPECT_EQ(v.op->get_active_tool(), nullptr);
    EXPECT_EQ(Probe_Tool::s_live, 1);
    v.op->add_tool(kept);
    v.op->add_tool(kept);
    EXPECT_EQ(v.op->mousetool_list().count(), 1);
    MB_Mouse_Tool* base = v.op->add_tool(6, "base");
    EXPECT_EQ(Probe_Tool::s_live, 0);
    EXPECT_EQ(v.op->get_active_tool(), base);
    EXPECT_STREQ(v.op->get_active_tool_title(), "base");
}

// A tool outlives a change of drawing: its rubber bands follow the new view and forget the
// old one's shapes and relations.
TEST(ToolEvents, ToolFollowsANewDrawing)
{
    View v;
    MB_Mouse_Tool* t = v.op->add_tool(1, "t");
    t->rubber().draw_begin();
    t->rubber().draw_line(Qe_Pt(0, 0, 0), Qe_Pt(10, 10, 0));
    t->rubber().draw_end();
    EXPECT_EQ(t->rubber().draw_render(), v.op->draw_render());
    ASSERT_TRUE(v.op->create_drawing("next"));
    EXPECT_EQ(t->rubber().draw_render(), v.op->draw_render());
    EXPECT_EQ(t->snap_rubber().draw_render(), v.op->draw_render());
    EXPECT_TRUE(t->rubber().old_list().is_empty());
    t->rubber().draw_begin();
    t->rubber().draw_line(Qe_Pt(0, 0, 0), Qe_Pt(10, 10, 0));
    t->rubber().draw_end();
    v.op->close_drawing();
    EXPECT_EQ(t->rubber().draw_render(), nullptr);
    t->rubber().reset();
}

}  // namespace

namespace {

// Shows a drawable in its rubber band and highlights what it snapped to.
class Showing_Tool : public MB_Mouse_Tool {
public:
    using MB_Mouse_Tool::MB_Mouse_Tool;
    void mousemove(int) override
    {
        highlight_relation();
        rubber().draw_begin();
        if (MB_Drawable* d = get_snap_entity()) rubber().draw_entity(d, translate_transf(Qe_Vec(2, 1, 0)));
        rubber().draw_end();
    }
};

// A drawable the tool shows and snaps to is deleted, or undone away: the bands are erased
// while it still exists, the relations naming it go, and later frames never reach it.
TEST(ToolEvents, DrawablesLeavingTheDrawingLeaveTheTool)
{
    for (bool by_undo : {false, true}) {
        SCOPED_TRACE(by_undo);
        View v;
        v.r->zoom_transf(scale_transf(4.0));
        v.r->compute_transf();
        const Qe_Pt c = Qe_Pt(200, 150, 0) * v.r->screen_to_drawing();
        v.op->rec_cmd_begin("add");
        Test_Geom* g = v.add({c + Qe_Vec(-10, -5, 0), c + Qe_Vec(10, 6, 0)}, RGB(255, 0, 0));
        v.op->rec_cmd_end();
        v.paint();
        const std::vector<COLORREF> start = pixels_of(v.wnd, 400, 300);
        auto* tool = new Showing_Tool(1, "show", v.op.get());
        // A relation naming g, as a snap onto it leaves.
        auto* r = new MB_Relation(3, v.drawing);
        r->ent_list().add(g);
        tool->relation_list().add(r);
        tool->mousemove(0);
        EXPECT_NE(pixels_of(v.wnd, 400, 300), start);
        if (by_undo) {
            Qe_Void_List touched;
            v.op->undo(touched);
        } else {
            EXPECT_TRUE(v.op->delete_object(g, false));
        }
        EXPECT_EQ(tool->get_relation(), nullptr);
        EXPECT_TRUE(tool->rubber().old_list().is_empty());
        EXPECT_TRUE(tool->snap_rubber().old_list().is_empty());
        EXPECT_EQ(pixels_of(v.wnd, 400, 300), start);
        tool->mousemove(0);
        v.op->clear_all_tools();
        EXPECT_EQ(pixels_of(v.wnd, 400, 300), start);
    }
}

}  // namespace
