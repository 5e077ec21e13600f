#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/test_output.h"
#include "kernel/database/drawing.h"
#include "kernel/entity_base/line.h"
#include "kernel/operation/tool_fixture.h"

namespace {

// Draws lines from click to click, each end snapped, with a rubber line and a spline through
// the clicks following the cursor. Each line is one command.
class Line_Tool : public MB_Mouse_Tool {
public:
    explicit Line_Tool(MB_Operation* op) : MB_Mouse_Tool(9, "line", op) { snap_start(); }
    void mousemove(int) override { show(); }
    void lbuttondown(int) override
    {
        const Qe_Pt p = snap_pos();
        // The band goes before the drawing changes under it.
        rubber().reset();
        if (!pos_list().is_empty()) {
            const Qe_Pt last = *pos_list().tail();
            operation()->rec_cmd_begin("line");
            auto* line = new MB_Line(last, p);
            line->build_draw();
            operation()->drawing()->add_object(line);
            operation()->rec_cmd_end();
            // The host repaints what is invalidated, band included.
            operation()->invalidate();
            made.push_back(line);
        }
        pos_list().add_tail(p);
        show();
    }
    void rbuttondown(int) override
    {
        rubber().reset();
        clear_pos_list();
    }
    void show()
    {
        rubber().draw_begin();
        if (!pos_list().is_empty()) {
            rubber().draw_line(*pos_list().tail(), snap_pos());
            rubber().draw_spline(pos_list(), snap_pos(), draw_render()->drawing_to_screen());
        }
        rubber().draw_end();
    }
    std::vector<MB_Line*> made;
};

struct Pixel {
    int x, y;
};

// About fifty messages to an off-screen window: the tool snaps to the ends of two lines,
// shows its rubber band, adds a line per click, and lives through one full repaint. The window
// then equals a fresh repaint of the drawing, and each new line ends at the snapped ends.
TEST(ToolSession, ScriptedLinesSnapToEnds)
{
    View v(240, 180);
    v.r->zoom_transf(scale_transf(4.0));
    v.r->compute_transf();
    const Qe_Pt o = Qe_Pt(120, 90, 0) * v.r->screen_to_drawing();
    auto* l1 = new MB_Line(o + Qe_Vec(-20, -10, 0), o + Qe_Vec(10, 15, 0));
    auto* l2 = new MB_Line(o + Qe_Vec(15, -12, 0), o + Qe_Vec(-5, 18, 0));
    for (MB_Line* l : {l1, l2}) {
        l->build_draw();
        l->general().color(RGB(255, 255, 0));
        v.drawing->add_object(l);
    }
    v.paint();
    auto* tool = new Line_Tool(v.op.get());

    const auto pixel_of = [&](const Qe_Pt& p) {
        const Qe_Pt q = p * v.r->drawing_to_screen();
        return Pixel{static_cast<int>(std::lround(q.x())), static_cast<int>(std::lround(q.y()))};
    };
    const std::vector<Qe_Pt> targets = {l1->start(), l2->end(), l1->end(), l2->start()};
    Pixel at{5, 5};
    int messages = 0;
    int repaints = 0;
    // A host's loop: the message, then a repaint when the window was invalidated.
    const auto send = [&](int msg, Pixel p) {
        EXPECT_EQ(v.op->process_event(msg, p.x, p.y, 0), 1);
        ++messages;
        RECT bad{};
        BOOL erase = FALSE;
        if (platform_take_invalid_rect(v.wnd, &bad, &erase)) {
            v.paint();
            ++repaints;
        }
    };
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const Pixel end = pixel_of(targets[i]);
        // Ten moves towards the end, the last ones within the snap tolerance but off the end.
        for (int k = 1; k <= 10; ++k) {
            const Pixel p{at.x + (end.x + 3 - at.x) * k / 10, at.y + (end.y - 2 - at.y) * k / 10};
            send(WM_MOUSEMOVE, p);
        }
        at = Pixel{end.x + 2, end.y - 1};
        send(WM_LBUTTONDOWN, at);
        send(WM_LBUTTONUP, at);
        if (i == 1) {
            // A repaint of the host's own, with the band shown.
            v.paint();
            send(WM_MOUSEMOVE, Pixel{at.x + 1, at.y + 1});
        }
    }
    send(WM_MOUSEMOVE, Pixel{at.x - 30, at.y + 20});
    send(WM_MOUSEMOVE, Pixel{at.x - 40, at.y + 25});
    EXPECT_GE(messages, 45);
    EXPECT_EQ(repaints, 3);  // one per new line

    ASSERT_EQ(tool->made.size(), 3u);
    for (std::size_t i = 0; i < tool->made.size(); ++i) {
        SCOPED_TRACE(i);
        // Exactly the ends: the snapped point, not the cursor near it.
        EXPECT_EQ(tool->made[i]->start().x(), targets[i].x());
        EXPECT_EQ(tool->made[i]->start().y(), targets[i].y());
        EXPECT_EQ(tool->made[i]->end().x(), targets[i + 1].x());
        EXPECT_EQ(tool->made[i]->end().y(), targets[i + 1].y());
    }
    EXPECT_FALSE(tool->rubber().old_list().is_empty());  // the band is on screen

    RECT rc{};
    GetClientRect(v.wnd, &rc);
    const std::vector<COLORREF> session = pixels_of(v.wnd, rc.right, rc.bottom);
    EXPECT_TRUE(platform_save_png(v.wnd, test_output_path("tool_session.png").c_str()));
    v.paint();
    const std::vector<COLORREF> fresh = pixels_of(v.wnd, rc.right, rc.bottom);
    int differ = 0;
    for (std::size_t i = 0; i < fresh.size(); ++i)
        if (fresh[i] != session[i] && differ++ < 10)
            ADD_FAILURE() << "pixel " << i % rc.right << ", " << i / rc.right << ": " << session[i] << " after the session, "
                          << fresh[i] << " repainted";
    EXPECT_EQ(differ, 0);

    // Each line was one command: undo takes the last one out, redo brings it back.
    Qe_Void_List touched;
    v.op->undo(touched);
    int lines = 0;
    for (MB_Object* ob = v.drawing->object_list().get_head(); ob; ob = ob->next()) ++lines;
    EXPECT_EQ(lines, 4);
    Qe_Void_List again;
    v.op->redo(again);
    lines = 0;
    for (MB_Object* ob = v.drawing->object_list().get_head(); ob; ob = ob->next()) ++lines;
    EXPECT_EQ(lines, 5);

    // The right button drops the collected points and the band.
    send(WM_RBUTTONDOWN, at);
    EXPECT_TRUE(tool->pos_list().is_empty());
    EXPECT_TRUE(tool->rubber().old_list().is_empty());
}

}  // namespace
