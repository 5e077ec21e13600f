#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "kernel/database/system_setting.h"
#include "kernel/entities/line.h"
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

}  // namespace
