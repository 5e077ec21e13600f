#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "common/test_output.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "kernel/database/drawing.h"
#include "kernel/display/draw_node.h"
#include "kernel/display/draw_render.h"
#include "kernel/operation/operation.h"
#include "kernel/display/view_fixture.h"
#include "kernel/test_objects.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/recording_dc.h"
#include "platform/snapshot.h"
#include "platform/window.h"

namespace {

constexpr COLORREF k_black = RGB(0, 0, 0);
constexpr COLORREF k_red = RGB(255, 0, 0);
constexpr COLORREF k_green = RGB(0, 255, 0);
constexpr COLORREF k_blue = RGB(0, 0, 255);

Qe_Pt px_of(const MB_Draw_Render& r, const Qe_Pt& world)
{
    return world * const_cast<MB_Draw_Render&>(r).drawing_to_screen();
}

TEST(DrawRender, TransformOfA400By300Window)
{
    const double f = std::min(300.0 / 290.0, 400.0 / 210.0);
    EXPECT_DOUBLE_EQ(f, 1.0344827586206897);
    for (bool y_up : {true, false}) {
        Y_Dir dir(y_up);
        View v;
        const Qe_Tran& t = v.r->drawing_to_screen();
        const Qe_Pt o = Qe_Pt(0, 0, 0) * t;
        EXPECT_DOUBLE_EQ(o.x(), 0.0);
        EXPECT_DOUBLE_EQ(o.y(), 308.62068965517244);
        EXPECT_DOUBLE_EQ(o.y(), f * 210 + (400 - f * 210) / 2);
        const Qe_Pt p = Qe_Pt(10, 20, 0) * t;
        EXPECT_DOUBLE_EQ(p.x(), 10.0);
        EXPECT_DOUBLE_EQ(p.y(), y_up ? 288.62068965517244 : 328.62068965517244);
        // The zoom transform's translation is applied before its scale.
        v.r->zoom_transf(translate_transf(Qe_Vec(5, 0, 0)) * scale_transf(2.0));
        v.op->compute_transf();
        EXPECT_DOUBLE_EQ((Qe_Pt(10, 0, 0) * v.r->drawing_to_screen()).x(), (10 + 10) * 2.0);
    }
}

// In a tall window the sheet's width limits the scale, and the height left over is
// split evenly: the x offset is half of it, not its negative.
TEST(DrawRender, TransformOfATallWindow)
{
    const double w = 100, h = 400;
    const double f = std::min(h / MB_Draw_Render::k_view_height, w / MB_Draw_Render::k_view_width);
    ASSERT_DOUBLE_EQ(f, w / MB_Draw_Render::k_view_width);
    const double off_x = (h - f * MB_Draw_Render::k_view_height) / 2;
    const double off_y = f * MB_Draw_Render::k_view_width + (w - f * MB_Draw_Render::k_view_width) / 2;
    EXPECT_NEAR(off_x, 130.9523809524, 1e-9);
    for (bool y_up : {true, false}) {
        Y_Dir dir(y_up);
        View v(100, 400);
        const Qe_Tran& t = v.r->drawing_to_screen();
        const Qe_Pt o = Qe_Pt(0, 0, 0) * t;
        EXPECT_DOUBLE_EQ(o.x(), off_x);
        EXPECT_DOUBLE_EQ(o.y(), off_y);
        const Qe_Pt p = Qe_Pt(10, 20, 0) * t;
        EXPECT_DOUBLE_EQ(p.x(), off_x + 10);
        EXPECT_DOUBLE_EQ(p.y(), off_y + (y_up ? -20 : 20));
    }
}

TEST(DrawRender, DegenerateWindowsLeaveTheTransform)
{
    View v;
    const Qe_Tran before = v.r->drawing_to_screen();
    for (auto [w, h] : {std::pair{400, 1}, std::pair{1, 300}}) {
        ASSERT_TRUE(platform_resize_window(v.wnd, w, h));
        v.r->resize();
        v.r->zoom_transf(scale_transf(3.0));
        v.r->compute_transf();
        EXPECT_TRUE(v.r->drawing_to_screen() == before) << w << "x" << h;
        // A zoom window needs a pixel area too.
        v.r->zoom_window(Qe_Pt(0, 0, 0), Qe_Pt(10, 10, 0));
    }
    // A renderer without a window has no pixel rectangle at all.
    MB_Draw_Render lone;
    lone.compute_transf();
    EXPECT_TRUE(lone.drawing_to_screen().identity());
}

TEST(DrawRender, ScalingKeepsThePointUnderThePixel)
{
    struct Case {
        double k;
        int x, y;
    };
    const Case cases[] = {{2.5, 123, 77}, {0.1, 0, 0}, {7.0, 399, 299}, {1.0, 50, 50}, {0.5, 200, 150}};
    for (bool y_up : {true, false}) {
        Y_Dir dir(y_up);
        View v;
        for (const Case& c : cases) {
            const Qe_Pt pixel(c.x, c.y, 0);
            const Qe_Pt world = pixel * v.r->screen_to_drawing();
            const double s = v.r->drawing_to_screen().scaling();
            v.r->scale_view(c.k, c.x, c.y);
            const Qe_Pt back = world * v.r->drawing_to_screen();
            EXPECT_NEAR(back.x(), c.x, 1e-6) << c.k;
            EXPECT_NEAR(back.y(), c.y, 1e-6) << c.k;
            EXPECT_NEAR(v.r->drawing_to_screen().scaling(), s * c.k, 1e-9 * s * c.k);
        }
        // Without a pixel: about the centre of the client rectangle.
        const Qe_Pt centre = Qe_Pt(200, 150, 0) * v.r->screen_to_drawing();
        v.r->scale_view(3.0);
        const Qe_Pt back = centre * v.r->drawing_to_screen();
        EXPECT_NEAR(back.x(), 200, 1e-6);
        EXPECT_NEAR(back.y(), 150, 1e-6);
    }
}

TEST(DrawRender, PanningBringsOnePointWhereAnotherWas)
{
    for (bool y_up : {true, false}) {
        Y_Dir dir(y_up);
        View v;
        v.r->scale_view(2.0, 10, 10);
        const Qe_Pt from(10, 10, 0), to(50, 30, 0);
        const Qe_Pt target = px_of(*v.r, to);
        v.r->pan_view(from, to);
        const Qe_Pt now = px_of(*v.r, from);
        EXPECT_NEAR(now.x(), target.x(), 1e-9);
        EXPECT_NEAR(now.y(), target.y(), 1e-9);

        const Qe_Pt before = px_of(*v.r, Qe_Pt(0, 0, 0));
        v.r->pan_view(Qe_Vec(3, 4, 0));
        const Qe_Pt after = px_of(*v.r, Qe_Pt(0, 0, 0));
        const double s = v.r->drawing_to_screen().scaling();
        EXPECT_NEAR(after.x() - before.x(), 3 * s, 1e-9);
        EXPECT_NEAR(after.y() - before.y(), (y_up ? -4 : 4) * s, 1e-9);
    }
}

TEST(DrawRender, ZoomFactorsOutsideTheRangeChangeNothing)
{
    View v;
    v.r->zoom_transf(scale_transf(1e10));
    v.r->compute_transf();
    const Qe_Tran zoom = v.r->zoom_transf();
    const Qe_Tran screen = v.r->drawing_to_screen();
    Qe_Vec move(1, 2, 0);
    for (double k : {100.0, 1e-20, 0.0, -1.0, std::nan("")}) {
        v.r->set_zoom_transf(move, k);
        EXPECT_TRUE(v.r->zoom_transf() == zoom) << k;
        EXPECT_TRUE(v.r->drawing_to_screen() == screen) << k;
    }
    v.r->set_zoom_transf(move, 10.0);  // exactly 1e11 is allowed
    EXPECT_DOUBLE_EQ(v.r->zoom_transf().scaling(), 1e11);
}

TEST(DrawRender, ZoomWindowCentresAndFits)
{
    for (bool y_up : {true, false}) {
        Y_Dir dir(y_up);
        View v;
        const Qe_Tran before = v.r->drawing_to_screen();
        v.r->zoom_window(Qe_Pt(5, 0, 0), Qe_Pt(5, 100, 0));  // no width
        EXPECT_TRUE(v.r->drawing_to_screen() == before);

        // A tall rectangle: its height fills the 300 pixels, its middle is the centre.
        const Qe_Pt a(-20, 10, 0), b(30, 210, 0);
        v.r->zoom_window(a, b);
        const Qe_Pt pa = px_of(*v.r, a), pb = px_of(*v.r, b);
        EXPECT_NEAR(std::fabs(pa.y() - pb.y()), 300.0, 1e-9);
        EXPECT_NEAR((pa.x() + pb.x()) / 2, 200.0, 1e-9);
        EXPECT_NEAR((pa.y() + pb.y()) / 2, 150.0, 1e-9);
        // A wide one fills the 400 pixels.
        v.r->zoom_window(Qe_Pt(0, 0, 0), Qe_Pt(1000, 1, 0));
        EXPECT_NEAR(std::fabs(px_of(*v.r, Qe_Pt(1000, 0, 0)).x() - px_of(*v.r, Qe_Pt(0, 0, 0)).x()), 400.0, 1e-9);
    }
}

TEST(DrawRender, ZoomAllShowsEveryShownDrawable)
{
    View v;
    std::vector<Test_Geom*> shown = {v.add({{0, 0, 0}, {100, 50, 0}}), v.add({{-300, 20, 0}, {-250, 400, 0}}),
                                     v.add({{40, -90, 0}, {41, -95, 0}})};
    Test_Geom* hidden = v.add({{5000, 5000, 0}, {5001, 5001, 0}});
    hidden->flag(MB_Drawable::State_Hidden);
    // A block reference without extent is left out.
    Test_Geom* empty_insert = v.add({{-9000, 0, 0}, {-9000, 0, 0}}, k_green, MB_Object::ID_INSERT);
    RECT invalid{};
    platform_take_invalid_rect(v.wnd, &invalid, nullptr);
    v.r->update_flag();

    v.r->zoom_all();
    auto inside = [&](const Qe_Pt& world) {
        const Qe_Pt p = px_of(*v.r, world);
        return p.x() >= -1e-6 && p.x() <= 400 + 1e-6 && p.y() >= -1e-6 && p.y() <= 300 + 1e-6;
    };
    for (Test_Geom* g : shown) {
        EXPECT_TRUE(inside(g->rect().lt()));
        EXPECT_TRUE(inside(g->rect().rb()));
    }
    EXPECT_FALSE(inside(hidden->rect().lt()));
    EXPECT_FALSE(inside(empty_insert->rect().lt()));
    // The height of the union fills the window.
    EXPECT_NEAR(std::fabs(px_of(*v.r, Qe_Pt(0, 400, 0)).y() - px_of(*v.r, Qe_Pt(0, -95, 0)).y()), 300.0, 1e-9);
    EXPECT_TRUE(v.r->update_flag());
    EXPECT_FALSE(v.r->update_flag());
    BOOL erase = FALSE;
    EXPECT_TRUE(platform_take_invalid_rect(v.wnd, &invalid, &erase));
    EXPECT_TRUE(erase);

    // Nothing to show: nothing changes.
    View only_inserts;
    only_inserts.add({{10, 10, 0}, {10, 10, 0}}, k_green, MB_Object::ID_INSERT);
    const Qe_Tran before = only_inserts.r->drawing_to_screen();
    only_inserts.r->zoom_all();
    EXPECT_TRUE(only_inserts.r->drawing_to_screen() == before);
    EXPECT_FALSE(only_inserts.r->update_flag());
}

TEST(DrawRender, RepaintDrawsWhatTheViewSees)
{
    for (bool y_up : {true, false}) {
        Y_Dir dir(y_up);
        View v;
        v.r->zoom_window(Qe_Pt(0, 0, 0), Qe_Pt(100, 100, 0));
        Test_Geom* in = v.add({{10, 50, 0}, {90, 50, 0}});
        Test_Geom* across = v.add({{-50, 20, 0}, {50, 20, 0}});
        Test_Geom* right = v.add({{900, 10, 0}, {950, 10, 0}});
        Test_Geom* above = v.add({{10, 900, 0}, {20, 950, 0}});
        Test_Geom* below = v.add({{10, -900, 0}, {20, -950, 0}});
        Test_Geom* mesh = v.add({{900, 900, 0}, {950, 950, 0}}, k_green, MB_Object::ID_POLYFACE_MESH);
        Test_Geom* face = v.add({{-900, 900, 0}, {-950, 950, 0}}, k_green, MB_Object::ID_FACE);
        Test_Geom* grid = v.add({{-900, -900, 0}, {-950, -950, 0}}, k_green, MB_Object::ID_POLYGON_MESH);
        Test_Geom* hidden = v.add({{10, 60, 0}, {90, 60, 0}});
        hidden->flag(MB_Drawable::State_Hidden);
        v.paint();
        for (Test_Geom* g : {in, across, mesh, face, grid}) EXPECT_TRUE(v.shown(g)) << y_up;
        for (Test_Geom* g : {right, above, below, hidden}) EXPECT_FALSE(v.shown(g)) << y_up;
        EXPECT_EQ(v.pixel(Qe_Pt(50, 50, 0)), k_green);
        EXPECT_EQ(v.pixel(Qe_Pt(50, 60, 0)), k_black);
        // A new repaint starts a new list.
        v.paint();
        EXPECT_EQ(v.r->display_list().count(), 5);
    }
}

TEST(DrawRender, SelectionPass)
{
    View v;
    v.r->zoom_window(Qe_Pt(0, 0, 0), Qe_Pt(100, 100, 0));
    Test_Geom* plain = v.add({{10, 10, 0}, {90, 10, 0}});
    Test_Geom* chosen = v.add({{20, 20, 0}, {80, 80, 0}});
    Test_Geom* away = v.add({{500, 500, 0}, {600, 600, 0}});
    v.select(chosen);
    v.select(away);
    v.paint();
    // Selected drawables are left out of the main pass and drawn dashed in the selection
    // colour; the visible ones go to the head of the list.
    ASSERT_EQ(v.r->display_list().count(), 2);
    EXPECT_EQ(v.r->display_list().first(), chosen);
    EXPECT_EQ(v.r->display_list().last(), plain);
    // Inside the line's pixel box: dashes of the selection colour, none of its own.
    const Qe_Pt from = px_of(*v.r, Qe_Pt(20, 80, 0)), to = px_of(*v.r, Qe_Pt(80, 20, 0));
    int red = 0, green = 0;
    for (int y = static_cast<int>(from.y()); y <= static_cast<int>(to.y()); ++y)
        for (int x = static_cast<int>(from.x()); x <= static_cast<int>(to.x()); ++x) {
            red += v.pixel(x, y) == k_red;
            green += v.pixel(x, y) == k_green;
        }
    const double diagonal = to.x() - from.x();
    EXPECT_GT(red, diagonal / 3);
    EXPECT_LT(red, diagonal * 2 / 3);  // dashed: about half the pixels
    EXPECT_EQ(green, 0);
    // Without grips the corner of the selection's rectangle off the line stays background.
    const Qe_Pt corner = Qe_Pt(20, 80, 0);
    EXPECT_EQ(v.pixel(corner), k_black);

    // With grips: an outline round the selection and squares at its corners, side midpoints
    // and centre. They stand on the union of the selection, so the far one goes first.
    v.op->system_setting()->set_bool_val(9, 1);
    v.paint();
    EXPECT_EQ(v.pixel(corner), k_black);
    away->flag(MB_Drawable::State_Normal);
    v.op->selection().removeValue(away);
    v.paint();
    EXPECT_NE(v.pixel(corner), k_black);
    const Qe_Pt p = px_of(*v.r, corner);
    // Filled in the memory DC's brush (white), outlined in its pen (black).
    EXPECT_EQ(v.pixel(static_cast<int>(p.x()) + 1, static_cast<int>(p.y()) + 1), RGB(255, 255, 255));
    EXPECT_EQ(v.pixel(static_cast<int>(p.x()) + 6, static_cast<int>(p.y()) + 6), k_black);
}

TEST(DrawRender, PartialRepaints)
{
    View v;
    v.r->zoom_window(Qe_Pt(0, 0, 0), Qe_Pt(100, 100, 0));
    v.paint();
    // A filled square drawable appears after the repaint.
    auto* square = v.add({{10, 10, 0}, {90, 90, 0}});
    const Qe_Pt ring[5] = {{10, 10, 0}, {90, 10, 0}, {90, 90, 0}, {10, 90, 0}, {10, 10, 0}};
    const mb_ulong n = 5;
    auto* node = new MB_Draw_Lines_Sets(static_cast<long>(k_blue), square);
    node->init(1, &n, ring);
    node->is_filled(true);
    square->node(node);

    RECT r{150, 100, 200, 140};
    v.r->redraw_rect(r);
    EXPECT_EQ(v.pixel(160, 110), k_blue);
    EXPECT_EQ(v.pixel(199, 139), k_blue);
    EXPECT_EQ(v.pixel(200, 120), k_black);  // right and bottom edges are outside
    EXPECT_EQ(v.pixel(120, 120), k_black);
    // Corners given the other way round mean the same rectangle.
    RECT reversed{130, 160, 100, 130};
    v.r->redraw_rect(reversed);
    EXPECT_EQ(v.pixel(110, 140), k_blue);
    EXPECT_EQ(v.pixel(131, 140), k_black);

    // A drawable's pixels are repainted 4 pixels round its box.
    HDC wdc = GetDC(v.wnd);
    HBRUSH marker = CreateSolidBrush(k_red);
    const RECT all{0, 0, 400, 300};
    FillRect(wdc, &all, marker);
    DeleteObject(marker);
    ReleaseDC(v.wnd, wdc);
    Test_Geom* line = v.add({{30, 40, 0}, {60, 50, 0}});
    v.r->redraw_object(line);
    EXPECT_TRUE(v.shown(line));
    const Qe_Pt lt = px_of(*v.r, Qe_Pt(30, 50, 0));
    const Qe_Pt rb = px_of(*v.r, Qe_Pt(60, 40, 0));
    const int left = static_cast<int>(lt.x()), top = static_cast<int>(lt.y());
    const int right = static_cast<int>(rb.x()), bottom = static_cast<int>(rb.y());
    EXPECT_EQ(v.pixel(left - 4, top - 4), k_blue);  // inside the square: repainted
    EXPECT_EQ(v.pixel(left - 5, top - 5), k_red);
    EXPECT_EQ(v.pixel(right + 3, bottom + 3), k_blue);
    EXPECT_EQ(v.pixel(right + 4, bottom + 4), k_red);
    EXPECT_EQ(v.pixel(Qe_Pt(45, 45, 0)), k_green);

    // Straight into the window: only the drawable, in its colour.
    Test_Geom* direct = v.add({{20, 95, 0}, {80, 95, 0}}, RGB(255, 255, 0));
    v.r->draw_object(direct);
    EXPECT_EQ(v.pixel(Qe_Pt(50, 95, 0)), RGB(255, 255, 0));
    EXPECT_EQ(v.pixel(5, 5), k_red);
}

TEST(DrawRender, ListOfRenderers)
{
    Test_Object layout1, layout2, stranger;
    MB_Draw_Render_List list;
    EXPECT_EQ(list.cur(), nullptr);
    list.add(nullptr);
    EXPECT_EQ(list.head(), nullptr);
    auto* model = new MB_Draw_Render;
    auto* one = new MB_Draw_Render;
    auto* two = new MB_Draw_Render;
    one->layout(&layout1);
    two->layout(&layout2);
    for (MB_Draw_Render* r : {model, one, two}) {
        list.add(r);
        EXPECT_EQ(list.cur(), r);  // the last added is current
    }
    EXPECT_EQ(list.head(), model);
    EXPECT_EQ(list.tail(), two);
    EXPECT_EQ(model->next(), one);
    EXPECT_EQ(two->prev(), one);
    list.set_cur(&layout1);
    EXPECT_EQ(list.cur(), one);
    list.set_cur(&stranger);
    EXPECT_EQ(list.cur(), one);
    list.set_cur(nullptr);
    EXPECT_EQ(list.cur(), model);
    list.kill_all();
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
    EXPECT_EQ(list.cur(), nullptr);
}

TEST(DrawRender, TheOperationOwnsItsViews)
{
    Test_Object layout1, layout2;  // outlive the drawing, which only borrows layouts
    View v;
    v.drawing->layout_list().add_tail(&layout1);
    v.drawing->layout_list().add_tail(&layout2);
    v.op->rebuild_draw_render_list(v.drawing, v.wnd);
    MB_Draw_Render_List& list = v.op->draw_render_list();
    // Model space is the head and current; every layout has its own view in the list.
    ASSERT_NE(list.head(), nullptr);
    EXPECT_EQ(list.head()->layout(), nullptr);
    EXPECT_EQ(list.cur(), list.head());
    EXPECT_EQ(v.op->draw_render(), list.head());
    int n = 0;
    for (MB_Draw_Render* r = list.head(); r; r = r->next()) {
        ++n;
        EXPECT_EQ(r->operation(), v.op.get());
        EXPECT_EQ(r->drawing(), v.drawing);
        EXPECT_EQ(r->quick_dc().wnd(), v.wnd);
    }
    EXPECT_EQ(n, 3);
    list.set_cur(&layout2);
    EXPECT_EQ(list.cur()->layout(), &layout2);
    // Rebuilding replaces them all (the sanitizer sees any renderer left behind).
    v.op->rebuild_draw_render_list(v.drawing, v.wnd);
    EXPECT_EQ(v.op->draw_render()->layout(), nullptr);
    v.drawing->layout_list().remove_all();
}

int g_hook_calls = 0;
COLORREF g_window_at_hook = 0;

void CALLBACK counting_hook(HDC, void* wnd)
{
    ++g_hook_calls;
    platform_read_pixel(static_cast<HWND>(wnd), 0, 0, &g_window_at_hook);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

struct Hook {
    explicit Hook(HWND wnd)
    {
        g_hook_calls = 0;
        g_draw_callback = counting_hook;
        g_callback_vobj = wnd;
    }
    ~Hook()
    {
        g_draw_callback = nullptr;
        g_callback_vobj = nullptr;
    }
};

TEST(DrawRender, DrawTimeIsTheRepaintsElapsedTime)
{
    View v;
    Hook hook(v.wnd);
    g_draw_time = -1;
    v.paint();
    EXPECT_EQ(g_hook_calls, 1);
    // The hook runs before the copy: the window was still white then.
    EXPECT_EQ(g_window_at_hook, RGB(255, 255, 255));
    EXPECT_EQ(v.pixel(0, 0), k_black);
    // The repaint took at least the hook's sleep, whatever the clock's second boundaries.
    EXPECT_GE(g_draw_time, 30);
}

TEST(DrawRender, NothingIsDrawnWithoutWindowOrDrawing)
{
    {
        // No window.
        MB_Operation op;
        op.init(nullptr, new MB_Drawing);
        Hook hook(nullptr);
        HDC dc = platform_create_recording_dc(nullptr);
        MB_Draw_Render* r = op.draw_render();
        ASSERT_NE(r, nullptr);
        r->draw(dc);
        r->draw_all(dc);
        RECT rc{0, 0, 10, 10};
        r->redraw_rect(rc);
        r->invalidate();
        r->zoom_all();
        EXPECT_TRUE(platform_recorded_calls(dc).empty());
        EXPECT_EQ(g_hook_calls, 0);
        DeleteDC(dc);
    }
    {
        // A window without a drawing.
        HWND wnd = platform_create_window(40, 30);
        {
            MB_Operation op;
            op.init(wnd, static_cast<MB_Drawing*>(nullptr));
            Hook hook(wnd);
            MB_Draw_Render* r = op.draw_render();
            HDC dc = GetDC(wnd);
            r->draw(dc);
            r->draw_all(dc);
            ReleaseDC(wnd, dc);
            RECT rc{0, 0, 10, 10};
            r->redraw_rect(rc);
            r->zoom_all();
            EXPECT_EQ(g_hook_calls, 0);
            COLORREF c = 0;
            platform_read_pixel(wnd, 5, 5, &c);
            EXPECT_EQ(c, RGB(255, 255, 255));
        }
        platform_destroy_window(wnd);
    }
    // No operation at all: a bare renderer is never bound.
    MB_Draw_Render bare;
    HDC dc = platform_create_recording_dc(nullptr);
    bare.draw(dc);
    EXPECT_TRUE(platform_recorded_calls(dc).empty());
    DeleteDC(dc);
}

TEST(DrawRender, ComposedViewAsAPicture)
{
    View v;
    v.op->system_setting()->set_long_val(0, RGB(16, 24, 48));
    v.op->system_setting()->set_bool_val(9, 1);
    // Lines.
    v.add({{0, 0, 0}, {200, 0, 0}, {200, 120, 0}, {0, 120, 0}, {0, 0, 0}}, RGB(255, 255, 255));
    v.add({{0, 0, 0}, {200, 120, 0}}, RGB(255, 255, 0));
    // Arcs, tessellated.
    for (int a = 0; a < 3; ++a) {
        std::vector<Qe_Pt> arc;
        const double r = 15.0 + 10.0 * a;
        for (int i = 0; i <= 32; ++i) {
            const double t = M_PI * i / 32.0;
            arc.emplace_back(150 + r * std::cos(t), 20 + r * std::sin(t), 0.0);
        }
        v.add(arc, RGB(0, 200 - 50 * a, 255));
    }
    // A filled solid with a hole.
    auto* solid = v.add({{20, 40, 0}, {100, 40, 0}, {100, 110, 0}, {20, 110, 0}});
    const Qe_Pt rings[10] = {{20, 40, 0}, {100, 40, 0}, {100, 110, 0}, {20, 110, 0}, {20, 40, 0},
                             {45, 60, 0}, {75, 60, 0},  {75, 90, 0},   {45, 90, 0},  {45, 60, 0}};
    const mb_ulong counts[2] = {5, 5};
    auto* node = new MB_Draw_Lines_Sets(static_cast<long>(RGB(0, 160, 80)), solid);
    node->init(2, counts, rings);
    node->is_filled(true);
    solid->node(node);
    // A selected drawable with its grips.
    Test_Geom* chosen = v.add({{120, 60, 0}, {190, 110, 0}}, k_green);
    v.select(chosen);

    v.r->zoom_all();
    v.paint();
    ASSERT_TRUE(platform_save_png(v.wnd, test_output_path("display_composed_view.png").c_str()));

    EXPECT_EQ(v.pixel(Qe_Pt(30, 50, 0)), RGB(0, 160, 80));   // the ring
    EXPECT_EQ(v.pixel(Qe_Pt(60, 75, 0)), RGB(16, 24, 48));   // the hole
    EXPECT_EQ(v.pixel(Qe_Pt(150, 35, 0)), RGB(0, 200, 255));  // the top of the first arc
    EXPECT_NE(v.pixel(Qe_Pt(120, 110, 0)), RGB(16, 24, 48));  // a grip
    EXPECT_EQ(v.r->display_list().first(), chosen);
}

}  // namespace
