#pragma once

// Shared pieces of the rubber-band and mouse-tool tests: window snapshots, a bitmap copy to
// draw oracles into, screen depths, and test drawables.

#include <gtest/gtest.h>

#include <vector>

#include "geometry/dc_draw.h"
#include "geometry/raster_device.h"
#include "kernel/display/view_fixture.h"
#include "kernel/operation/mouse_tool.h"
#include "kernel/operation/rubber.h"
#include "platform/handles.h"
#include "platform/recording_dc.h"

// Windows made while it lives have the given depth.
struct Screen_Depth {
    explicit Screen_Depth(int bpp) { platform_set_screen_depth(bpp); }
    ~Screen_Depth() { platform_set_screen_depth(32); }
};

// Every pixel of a window, bitmap or DC, row by row.
inline std::vector<COLORREF> pixels_of(HANDLE h, int w, int ht)
{
    std::vector<COLORREF> out;
    out.reserve(static_cast<std::size_t>(w) * ht);
    for (int y = 0; y < ht; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = 0xDEADBEEF;
            platform_read_pixel(h, x, y, &c);
            out.push_back(c);
        }
    return out;
}

// A memory copy of a window's client area, in the window's pixel format.
struct Window_Copy {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    int w, h;
    Window_Copy(HWND wnd, int w_, int h_) : w(w_), h(h_)
    {
        HDC wdc = GetDC(wnd);
        make(wdc);
        ReleaseDC(wnd, wdc);
    }
    // A copy of another copy.
    explicit Window_Copy(const Window_Copy& from, int) : w(from.w), h(from.h) { make(from.dc); }
    Window_Copy(const Window_Copy&) = delete;
    Window_Copy& operator=(const Window_Copy&) = delete;
    ~Window_Copy()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    // The nodes drawn as an inverting frame is drawn, while images show their frames.
    void draw_inverting(Qe_Void_List& nodes, const Qe_Tran& t)
    {
        const bool saved = g_is_rubbering;
        g_is_rubbering = true;
        const int mode = SetROP2(dc, R2_NOTXORPEN);
        for (Qe_Void_Node* n = nodes.head(); n; n = n->next()) static_cast<MB_Rubber_Node*>(n->entity())->draw(dc, t);
        SetROP2(dc, mode);
        g_is_rubbering = saved;
    }
    std::vector<COLORREF> pixels() const { return pixels_of(bmp, w, h); }

private:
    void make(HDC src)
    {
        dc = CreateCompatibleDC(src);
        bmp = CreateCompatibleBitmap(src, w, h);
        old = SelectObject(dc, bmp);
        BitBlt(dc, 0, 0, w, h, src, 0, 0, SRCCOPY);
    }
};

// Stands for a raster image: outside a rubber band it writes its pixels (which an inverting
// frame cannot take back); while g_is_rubbering is set it draws its frame in the current pen.
class Blit_Geom : public Test_Geom {
public:
    Blit_Geom(const Qe_Pt& a, const Qe_Pt& b) : m_a(a), m_b(b) { rect() = Qe_Rect(a, b); }
    void draw(HDC hdc, Qe_Qdc&, Qe_Tran& t) override
    {
        if (!hdc) return;
        const Qe_Pt a = m_a * t, b = m_b * t;
        if (g_is_rubbering) {
            api_mb_draw_rect(hdc, a, b, 0.0, 0);
            return;
        }
        for (int x = static_cast<int>(a.x()); x < static_cast<int>(b.x()); ++x)
            SetPixel(hdc, x, static_cast<int>(a.y()), RGB(10, 20, 30));
    }

private:
    Qe_Pt m_a, m_b;
};

// Answers every pick with a fixed type and point, and counts the picks.
class Snap_Stub : public Test_Geom {
public:
    Snap_Stub(int type, const Qe_Pt& at, const Qe_Rect& box) : m_type(type), m_at(at) { rect() = box; }
    char pick(const Qe_Pt&, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& type, int&) override
    {
        ++picks;
        last_tol = tol;
        if (!m_answer) return 0;
        nearest = m_at;
        type = m_type;
        return 1;
    }
    void answer(bool on) { m_answer = on; }
    int picks = 0;
    double last_tol = 0;

private:
    int m_type;
    Qe_Pt m_at;
    bool m_answer = true;
};
