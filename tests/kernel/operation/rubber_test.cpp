#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "kernel/database/system_setting.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/solid.h"
#include "kernel/operation/tool_fixture.h"

namespace {

constexpr int k_w = 160;
constexpr int k_h = 120;

// A view whose drawing has a few coloured strokes, so that the window is not one colour, and
// whose transform puts the drawing origin near the middle at 4 pixels per unit.
struct Rubber_View : View {
    Rubber_View() : View(k_w, k_h)
    {
        r->zoom_transf(scale_transf(4.0));
        r->compute_transf();
        const Qe_Pt o = Qe_Pt(k_w / 2.0, k_h / 2.0, 0.0) * r->screen_to_drawing();
        origin = o;
        add({o + Qe_Vec(-15, -10, 0), o + Qe_Vec(15, 12, 0)}, RGB(255, 0, 0));
        add({o + Qe_Vec(-15, 8, 0), o + Qe_Vec(14, -9, 0)}, RGB(0, 0, 255));
        add({o + Qe_Vec(-5, -13, 0), o + Qe_Vec(-5, 13, 0)}, RGB(0, 128, 0));
        paint();
    }
    Qe_Pt at(double dx, double dy) const { return origin + Qe_Vec(dx, dy, 0); }
    std::vector<COLORREF> snapshot() const { return pixels_of(wnd, k_w, k_h); }
    Qe_Pt origin;
};

// One shape per node kind; k shifts it so that two frames differ.
using Shape = std::function<void(MB_Rubber&, Rubber_View&, double k)>;

struct Shape_Row {
    const char* name;
    Shape add;
};

std::vector<Shape_Row> shape_rows(std::vector<std::unique_ptr<MB_Drawable>>& keep)
{
    // Entities the entity-list nodes show: a line, a filled solid and a blitting drawable.
    auto* line = new MB_Line(Qe_Pt(-8, -6, 0), Qe_Pt(9, 7, 0));
    line->build_draw();
    line->general().color(RGB(255, 255, 0));
    auto* solid = new MB_Solid(Qe_Pt(-3, -3, 0), Qe_Pt(4, -3, 0), Qe_Pt(-3, 5, 0), Qe_Pt(4, 5, 0));
    solid->build_draw();
    solid->general().color(RGB(0, 200, 200));
    auto* blit = new Blit_Geom(Qe_Pt(-10, 2, 0), Qe_Pt(-2, 8, 0));
    keep.emplace_back(line);
    keep.emplace_back(solid);
    keep.emplace_back(blit);

    const auto entities = [line, solid, blit] {
        Qe_Void_List l;
        l.add(line);
        l.add(solid);
        l.add(blit);
        return l;
    };
    return {
        {"point", [](MB_Rubber& rb, Rubber_View& v, double k) { rb.draw_point(v.at(k, -k), 0, 4); }},
        {"line", [](MB_Rubber& rb, Rubber_View& v, double k) { rb.draw_line(v.at(-12 + k, -7), v.at(11, 9 - k)); }},
        {"lines",
         [](MB_Rubber& rb, Rubber_View& v, double k) {
             Qe_Pt_List l;
             l.add_tail(v.at(-10, -10 + k));
             l.add_tail(v.at(0, 10));
             rb.draw_lines(l, v.at(10 - k, -10), true);
         }},
        {"rect", [](MB_Rubber& rb, Rubber_View& v, double k) { rb.draw_rect(v.at(-9 - k, -6), v.at(7, 5 + k)); }},
        {"arc", [](MB_Rubber& rb, Rubber_View& v, double k) { rb.draw_arc(v.at(0, 0), v.at(8 + k, 0), v.at(0, -3)); }},
        {"circle", [](MB_Rubber& rb, Rubber_View& v, double k) { rb.draw_circle(v.at(k, 0), 7.3 + k); }},
        {"ellipse",
         [](MB_Rubber& rb, Rubber_View& v, double k) {
             Qe_Pt axis = v.at(10, 4 + k);
             rb.draw_ellipse(v.at(0, 0), axis, v.at(-2, 5));
         }},
        {"coor", [](MB_Rubber& rb, Rubber_View& v, double) { rb.add_node_to_newlist(new MB_Rubber_Coor(v.at(0, 0))); }},
        {"entities",
         [entities](MB_Rubber& rb, Rubber_View& v, double k) {
             Qe_Void_List l = entities();
             rb.draw_entity_list(l, translate_transf(v.origin - Qe_Pt() + Qe_Vec(k, 0, 0)));
         }},
        {"entities highlighted",
         [entities](MB_Rubber& rb, Rubber_View&, double) {
             Qe_Void_List l = entities();
             rb.highlight_entity_list(l);
         }},
        {"text", [](MB_Rubber& rb, Rubber_View&, double k) { rb.draw_text(20 + long(k), 70, "Rub\xCB\xCE", 18); }},
        {"spline",
         [](MB_Rubber& rb, Rubber_View& v, double k) {
             Qe_Pt_List l;
             l.add_tail(v.at(-12, -8));
             l.add_tail(v.at(-3, 9 + k));
             rb.draw_spline(l, v.at(11, -4), v.r->drawing_to_screen());
         }},
    };
}

// Each node kind at each depth: a frame, a second frame and reset leave exactly the pixels an
// inverting drawing of that frame alone would, and finally the starting pixels; no GDI object
// stays behind.
TEST(Rubber, FramesEraseThemselvesPixelForPixel)
{
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        Screen_Depth depth(bpp);
        Rubber_View v;
        // The highlighted node draws in the view's own transform: its entities sit at the
        // drawing origin, which this view shows.
        std::vector<std::unique_ptr<MB_Drawable>> keep;
        const auto rows = shape_rows(keep);
        const std::vector<COLORREF> start = v.snapshot();
        Window_Copy start_copy(v.wnd, k_w, k_h);
        ASSERT_EQ(start_copy.pixels(), start);
        const long objects = platform_gdi_object_count();
        for (const Shape_Row& row : rows) {
            SCOPED_TRACE(row.name);
            MB_Rubber rb;
            rb.draw_render(v.r);
            for (double k : {0.0, 1.5}) {
                rb.draw_begin();
                row.add(rb, v, k);
                rb.draw_end();
                EXPECT_EQ(rb.old_list().count(), 1);
                Window_Copy oracle(start_copy, 0);
                oracle.draw_inverting(rb.old_list(), v.r->drawing_to_screen());
                EXPECT_EQ(v.snapshot(), oracle.pixels()) << "frame " << k;
                // Every kind but the coordinate node shows something.
                EXPECT_EQ(v.snapshot() == start, std::string(row.name) == "coor") << "frame " << k;
            }
            rb.reset();
            EXPECT_TRUE(rb.old_list().is_empty());
            EXPECT_EQ(v.snapshot(), start) << "reset left pixels behind";
        }
        EXPECT_EQ(platform_gdi_object_count(), objects);
    }
}

std::vector<std::string> texts(const std::vector<Platform_Call>& calls)
{
    std::vector<std::string> out;
    for (const Platform_Call& c : calls)
        out.push_back(platform_call_text(c) + " pen " + std::to_string(c.pen.lopnColor) + " rop " + std::to_string(c.rop2));
    return out;
}

// Through a recording window: each frame sets raster mode 10 and restores the old one, and the
// erase of a frame repeats its drawing calls exactly, pens included, before the next frame.
TEST(Rubber, EraseRepeatsTheShownFramesCallsInInvertingMode)
{
    Rubber_View v;
    ASSERT_TRUE(platform_record_window(v.wnd, TRUE));
    MB_Rubber rb;
    rb.draw_render(v.r);

    rb.draw_begin();
    rb.draw_line(v.at(-5, -5), v.at(5, 5));
    rb.draw_rect(v.at(-3, -2), v.at(4, 6));
    rb.draw_end();
    const std::vector<std::string> first = texts(platform_window_calls(v.wnd));
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(first.front().substr(0, 10), "SetROP2 10");
    EXPECT_EQ(first.back().substr(0, 10), "SetROP2 13");
    std::size_t drawn = 0;
    for (const Platform_Call& c : platform_window_calls(v.wnd)) {
        if (c.name == "SetROP2") continue;
        EXPECT_EQ(c.rop2, R2_NOTXORPEN) << platform_call_text(c);
        ++drawn;
    }
    EXPECT_GE(drawn, 2u);

    // The settings change between the frames: the erase still draws what was shown.
    rb.set_color(RGB(0, 0, 255));
    ASSERT_TRUE(platform_clear_window_calls(v.wnd));
    rb.draw_begin();
    rb.draw_circle(v.at(0, 0), 6);
    rb.draw_end();
    const std::vector<std::string> second = texts(platform_window_calls(v.wnd));
    ASSERT_GT(second.size(), first.size());
    EXPECT_EQ(std::vector<std::string>(second.begin(), second.begin() + static_cast<long>(first.size())), first);
    // The new frame's pen takes the new colour, inverted.
    const auto calls = platform_window_calls(v.wnd);
    EXPECT_EQ(calls.back().name, "SetROP2");
    EXPECT_EQ(calls[calls.size() - 2].pen.lopnColor, static_cast<COLORREF>(~RGB(0, 0, 255) & 0xFFFFFF));

    // reset erases the circle frame with the same calls.
    const std::vector<std::string> circle(second.begin() + static_cast<long>(first.size()), second.end());
    ASSERT_TRUE(platform_clear_window_calls(v.wnd));
    rb.reset();
    EXPECT_EQ(texts(platform_window_calls(v.wnd)), circle);
    ASSERT_TRUE(platform_clear_window_calls(v.wnd));
    rb.reset();  // nothing shown: nothing drawn
    EXPECT_TRUE(platform_window_calls(v.wnd).empty());
}

// Without the xor flag a frame only collects; draw_no_xor draws the collection in the DC's own
// mode, and the next draw_begin drops it. Nodes made outside a frame join nothing.
TEST(Rubber, CollectingWithoutXorAndNodesOutsideAFrame)
{
    Rubber_View v;
    ASSERT_TRUE(platform_record_window(v.wnd, TRUE));
    MB_Rubber rb;
    rb.draw_render(v.r);
    rb.draw_line(v.at(0, 0), v.at(3, 3));  // outside a frame
    EXPECT_TRUE(rb.new_list().is_empty());
    rb.draw_begin();
    rb.draw_end();
    EXPECT_TRUE(rb.old_list().is_empty());
    EXPECT_TRUE(platform_window_calls(v.wnd).empty());

    rb.xor_flag(false);
    rb.draw_begin();
    rb.draw_line(v.at(-4, 0), v.at(4, 0));
    rb.draw_point(v.at(1, 1), 0, 2);
    rb.draw_end();
    EXPECT_TRUE(platform_window_calls(v.wnd).empty());
    EXPECT_EQ(rb.new_list().count(), 2);
    EXPECT_EQ(rb.state(), 1);  // draw_end does nothing at all without the flag
    rb.draw_line(v.at(-4, 1), v.at(4, 1));  // still inside the frame: collected
    EXPECT_EQ(rb.new_list().count(), 3);

    HDC rec = platform_create_recording_dc(nullptr);
    rb.draw_no_xor(rec);
    const auto calls = platform_recorded_calls(rec);
    ASSERT_FALSE(calls.empty());
    for (const Platform_Call& c : calls) EXPECT_EQ(c.rop2, R2_COPYPEN) << platform_call_text(c);
    DeleteDC(rec);

    rb.draw_begin();
    EXPECT_TRUE(rb.new_list().is_empty());
    rb.reset();
    EXPECT_TRUE(platform_window_calls(v.wnd).empty());
}

// A full repaint while a frame is shown draws the shown shapes again, inverting, so the next
// frame and reset still erase them: frame, repaint, frame, reset equals a fresh repaint.
TEST(Rubber, RepaintWhileRubberBandingLeavesNoGhost)
{
    for (bool with_tool_frame : {false, true}) {
        SCOPED_TRACE(with_tool_frame);
        Rubber_View v;
        MB_Mouse_Tool* tool = v.op->add_tool(3, "rubber");
        MB_Rubber& rb = tool->rubber();
        rb.draw_begin();
        rb.draw_line(v.at(-14, -3), v.at(12, 6));
        rb.draw_circle(v.at(2, 1), 5.5);
        rb.draw_end();
        const std::vector<COLORREF> shown = v.snapshot();
        v.paint();
        EXPECT_EQ(v.snapshot(), shown) << "the repaint shows the frame as the frame did";
        rb.draw_begin();
        if (with_tool_frame) rb.draw_rect(v.at(-6, -6), v.at(8, 3));
        rb.draw_end();
        rb.reset();
        const std::vector<COLORREF> after = v.snapshot();
        v.paint();
        EXPECT_EQ(after, v.snapshot());
    }
}

// Without the xor flag the repaint draws the collected shapes plainly in their pen colour.
TEST(Rubber, RepaintDrawsCollectedShapesPlainlyWithoutXor)
{
    Rubber_View v;
    MB_Mouse_Tool* tool = v.op->add_tool(3, "rubber");
    MB_Rubber& rb = tool->rubber();
    rb.xor_flag(false);
    rb.draw_begin();
    const Qe_Pt a = Qe_Pt(10, 116, 0) * v.r->screen_to_drawing();
    const Qe_Pt b = Qe_Pt(150, 116, 0) * v.r->screen_to_drawing();
    rb.draw_line(a, b);
    rb.draw_end();
    v.paint();
    // The pen is the inverted rubber colour: NOT 0x00FF00.
    for (int x : {20, 80, 140}) EXPECT_EQ(v.pixel(x, 116), RGB(255, 0, 255)) << x;
    rb.draw_begin();
    v.paint();
    EXPECT_EQ(v.pixel(80, 116), RGB(0, 0, 0));  // the background
}

// Nodes fix their pens from the settings when made; the rubber band's setters write the active
// operation's settings and change nothing without one.
TEST(Rubber, PensAndSettings)
{
    {
        MB_Operation op;
        MB_Rubber rb;
        EXPECT_EQ(rb.get_color(), 0x00FF00);
        MB_Rubber_Line before(Qe_Pt(), Qe_Pt(1, 1, 0));
        rb.set_color(0x123456);
        rb.set_style(PS_DASH);
        rb.set_width(3);
        EXPECT_EQ(rb.get_color(), 0x123456);
        EXPECT_EQ(op.system_setting()->get_long_val(MB_System_Setting::k_long_rubber_color), 0x123456);
        MB_Rubber_Line after(Qe_Pt(), Qe_Pt(1, 1, 0));
        EXPECT_EQ(before.color(), 0xFF00FF);
        EXPECT_EQ(after.color(), ~0x123456L & 0xFFFFFF);
        EXPECT_EQ(after.style(), PS_DASH);
        EXPECT_EQ(after.width(), 3);
        op.system_setting()->set_long_val(MB_System_Setting::k_long_background, 0x0000FF);
        EXPECT_EQ(after.color(), ~0x123456L & 0xFFFFFF);  // fixed when made
        after.set_prop(0, 1, 0x00FF00);
        EXPECT_EQ(after.color(), (~0x00FF00L ^ 0x0000FF) & 0xFFFFFF);
        EXPECT_EQ(after.highlight_color(0x0000FF), 0xFFFFFF);
    }
    ASSERT_FALSE(api_has_active_operation());
    MB_Rubber rb;
    rb.set_color(1);
    rb.set_width(9);
    EXPECT_EQ(rb.get_color(), 0x00FF00);
    EXPECT_EQ(rb.get_width(), 0);
    MB_Rubber_Point p(Qe_Pt(), 0, 1);
    EXPECT_EQ(p.color(), 0xFF00FF);
}

// The shapes the nodes are made of, where they are worked out from points.
TEST(Rubber, ShapesFromPoints)
{
    MB_Operation op;
    // The circle from a point keeps the exact radius: in a drawing in metres 0.75 is not 0.
    EXPECT_DOUBLE_EQ(MB_Rubber_Circle(Qe_Pt(1, 1, 0), Qe_Pt(1.45, 1.6, 0)).radius(), 0.75);

    struct Row {
        Qe_Pt c, axis, on;
        double major, minor, rotation;
    };
    const double pi = std::acos(-1.0);
    const Row rows[] = {
        {Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0), Qe_Pt(0, 2, 0), 4, 2, 0},
        {Qe_Pt(1, 1, 0), Qe_Pt(1, 6, 0), Qe_Pt(-2, 1, 0), 5, 3, pi / 2},
        // A point on the ellipse x²/25 + y²/9 = 1 off the axes, turned by 210°.
        {Qe_Pt(0, 0, 0), Qe_Pt(5 * std::cos(7 * pi / 6), 5 * std::sin(7 * pi / 6), 0),
         Qe_Pt(3 * std::cos(7 * pi / 6) - 2.4 * std::sin(7 * pi / 6), 3 * std::sin(7 * pi / 6) + 2.4 * std::cos(7 * pi / 6), 0),
         5, 3, 7 * pi / 6},
        {Qe_Pt(2, 2, 0), Qe_Pt(2, 2, 0), Qe_Pt(5, 5, 0), 0, 0, 0},   // no axis
        {Qe_Pt(0, 0, 0), Qe_Pt(3, 0, 0), Qe_Pt(3, 1, 0), 3, 0, 0},   // beyond the axis end: no minor
    };
    for (const Row& r : rows) {
        const MB_Rubber_Ellipse e(r.c, r.axis, r.on);
        EXPECT_NEAR(e.major(), r.major, 1e-9);
        EXPECT_NEAR(e.minor(), r.minor, 1e-9);
        EXPECT_NEAR(e.rotation(), r.rotation, 1e-9);
    }

    // Lines from a list: the points, the cursor, and the first again when closed.
    Qe_Pt_List l;
    EXPECT_TRUE(MB_Rubber_Lines(l, true, Qe_Pt(9, 9, 0)).points().empty());
    l.add_tail(Qe_Pt(1, 0, 0));
    l.add_tail(Qe_Pt(2, 0, 0));
    EXPECT_EQ(MB_Rubber_Lines(l, false, Qe_Pt(3, 0, 0)).points().size(), 3u);
    const MB_Rubber_Lines closed(l, true, Qe_Pt(3, 0, 0));
    ASSERT_EQ(closed.points().size(), 4u);
    EXPECT_EQ(closed.points().back().x(), 1.0);
    Qe_Pt p1(5, 5, 0), p2(6, 6, 0);
    Qe_Void_List vl;
    vl.add(&p1);
    vl.add(&p2);
    EXPECT_EQ(MB_Rubber_Lines(vl, true, Qe_Pt()).points().size(), 4u);
}

// The arc from three points ends on the circle of the start, in the direction of the end.
TEST(Rubber, ArcEndMovesOntoTheStartCircle)
{
    MB_Operation op;
    MB_Rubber_Arc arc(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0), Qe_Pt(0, 3, 0));
    HDC rec = platform_create_recording_dc(nullptr);
    arc.draw(rec, scale_transf(2.0));
    std::vector<std::string> arcs;
    for (const Platform_Call& c : platform_recorded_calls(rec))
        if (c.name == "Arc") arcs.push_back(platform_call_text(c));
    // The circle of radius 20 pixels, from (20, 0) to the end moved out to (0, 20).
    EXPECT_EQ(arcs, std::vector<std::string>{"Arc -20 -20 20 20 20 0 0 20"});
    DeleteDC(rec);
}

// A text longer than any fixed buffer is kept whole.
TEST(Rubber, LongTextIsKeptWhole)
{
    MB_Operation op;
    const std::string text(1000, 'W');
    MB_Rubber_Text node(5, 30, text.c_str(), 12);
    HDC rec = platform_create_recording_dc(nullptr);
    node.draw(rec, Qe_Tran());
    bool seen = false;
    for (const Platform_Call& c : platform_recorded_calls(rec))
        if (c.name == "platform_text_out_rop") {
            seen = true;
            EXPECT_EQ(c.text, text);
        }
    EXPECT_TRUE(seen);
    DeleteDC(rec);
    MB_Rubber_Text null_text(0, 0, nullptr, 10);
    (void)null_text;
}

}  // namespace
