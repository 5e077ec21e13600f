#pragma once

// An operation showing a drawing in an off-screen window, for the tests of the views.

#include <memory>
#include <vector>

#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "kernel/database/drawing.h"
#include "kernel/display/draw_render.h"
#include "kernel/operation/operation.h"
#include "kernel/test_objects.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/snapshot.h"
#include "platform/window.h"

// Restores the axis direction when a test has changed it.
struct Y_Dir {
    bool saved = g_y_dir;
    explicit Y_Dir(bool on) { g_y_dir = on; }
    ~Y_Dir() { g_y_dir = saved; }
};

// An operation showing a drawing in an off-screen window of w x h pixels.
struct View {
    HWND wnd;
    std::unique_ptr<MB_Operation> op = std::make_unique<MB_Operation>();
    MB_Drawing* drawing = new MB_Drawing;
    MB_Draw_Render* r = nullptr;

    explicit View(int w = 400, int h = 300) : wnd(platform_create_window(w, h))
    {
        op->init(wnd, drawing);
        r = op->draw_render();
        op->compute_transf();
    }
    ~View()
    {
        op.reset();
        platform_destroy_window(wnd);
    }

    // A line-like drawable through pts, with its rectangle, in the drawing.
    Test_Geom* add(std::vector<Qe_Pt> pts, COLORREF colour = RGB(0, 255, 0), MB_Object::MB_ID id = MB_Object::ID_LINE)
    {
        auto* g = new Test_Geom(id);
        for (const Qe_Pt& p : pts) g->edge().add_point(p);
        g->rect() = Qe_Rect(pts.data(), static_cast<int>(pts.size()));
        g->general().color(static_cast<long>(colour));
        drawing->add_object(g);
        return g;
    }
    void select(Test_Geom* g)
    {
        g->flag(MB_Drawable::State_Selected);
        op->selection().add(g);
    }
    void paint()
    {
        HDC dc = GetDC(wnd);
        r->draw(dc);
        ReleaseDC(wnd, dc);
    }
    COLORREF pixel(int x, int y) const
    {
        COLORREF c = 0xDEADBEEF;
        platform_read_pixel(wnd, x, y, &c);
        return c;
    }
    COLORREF pixel(const Qe_Pt& world) const
    {
        const Qe_Pt p = world * r->drawing_to_screen();
        return pixel(static_cast<int>(p.x()), static_cast<int>(p.y()));
    }
    // Whether the pixel at the drawing point, or one within reach of it, has the colour.
    bool shows_near(const Qe_Pt& world, COLORREF colour, int reach = 2) const
    {
        const Qe_Pt p = world * r->drawing_to_screen();
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (pixel(static_cast<int>(p.x()) + dx, static_cast<int>(p.y()) + dy) == colour) return true;
        return false;
    }
    // Pixels of the colour inside the client area.
    int count(COLORREF colour) const
    {
        RECT rc{};
        GetClientRect(wnd, &rc);
        int n = 0;
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x) n += pixel(x, y) == colour;
        return n;
    }
    bool shown(const MB_Drawable* d) { return r->display_list().contains(const_cast<MB_Drawable*>(d)); }
};
