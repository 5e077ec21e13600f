#pragma once

// Qe_Qdc: the software raster device. It owns a bottom-up DIB section selected into a memory
// DC and draws lines, spans, pixels, ellipses, polylines and filled polygons straight into its
// pixel memory, one routine per depth (8 with the default palette, 16 as 5-6-5, 24, 32); the
// finished image goes to a window in one BitBlt, after the host's hook has drawn on top.
//
// Every drawing call stays inside the clip rectangle intersected with the bitmap and does
// nothing while there is no bitmap. Coordinates may lie anywhere in int: clipping and the line
// and crossing arithmetic are done in 64 bits or floating point, and the work of a call is
// bounded by the clip rectangle, not by the coordinates.

#include "geometry/fendral_api.h"
#include "geometry/rect.h"
#include "platform/fixed_width.h"
#include "platform/win_types.h"

class Qe_Tran;

// Host hook called by Qe_Qdc::bitblt with the memory DC before the copy; null at load.
using Qe_Draw_Callback = void(CALLBACK*)(HDC, void*);
extern FENDRAL_API Qe_Draw_Callback g_draw_callback;
// The host's argument for the hook.
extern FENDRAL_API void* g_callback_vobj;
// Milliseconds the last full repaint of a view took; written by the view renderer only.
extern FENDRAL_API mb_long g_draw_time;
// Set while a rubber band is being erased and redrawn; raster images then draw only their frame.
extern FENDRAL_API bool g_is_rubbering;

// The one conversion from a drawing coordinate (already transformed to pixels) to an int pixel
// coordinate: truncation toward zero, with values beyond ±2^30 clamped there and NaN taken as
// 0, so that no conversion is undefined and differences of two results still fit in an int.
FENDRAL_API int api_mb_to_pixel(double v);

class FENDRAL_API Qe_Qdc {
public:
    Qe_Qdc();
    virtual ~Qe_Qdc();
    // A device owns its bitmap and DC; copies would release them twice.
    Qe_Qdc(const Qe_Qdc&) = delete;
    Qe_Qdc& operator=(const Qe_Qdc&) = delete;

    // Creates the bitmap (depth 0: the depth of ref; 8 or less: 8; else 16, 24 or 32), painted
    // white, and the memory DC holding it; returns the DC, or null when a DC already exists
    // (nothing changes), the size is not positive, the depth is not supported or the platform
    // refuses.
    HDC CreateCompatibleDC(HDC& ref, int width, int height, int depth);
    // Releases the DC, the bitmap and the header block; returns 1.
    int DeleteDC();
    // Recreates the bitmap at the window's client size (or the given size); nothing without a window.
    void resize();
    void resize(int width, int height);

    HDC GetDC() const { return m_dc; }
    HBITMAP GetBitmap() const { return m_bitmap; }
    HWND wnd() const { return m_wnd; }
    void wnd(HWND w) { m_wnd = w; }
    long black_color() const { return m_black_color; }
    void black_color(long c) { m_black_color = c; }
    Qe_Rect& draw_rect() { return m_draw_rect; }
    // The world rectangle that the clip rectangle shows, through the screen-to-world transform.
    void rebuild_draw_rect(const Qe_Tran& screen_to_world);

    // Stores the clip rectangle, ordered; drawing uses it intersected with the bitmap.
    void SetDrawRect(RECT r);
    RECT screen_rect() const { return m_clip; }
    RECT GetDrawRect() const { return m_clip; }

    // The drawing colour (0x00BBGGRR); with avoid, the background colour is replaced by its complement.
    void SetColor(unsigned long colour, bool avoid);
    // Nonzero: two steps drawn, two skipped; zero: solid.
    void SetLineStyleDashed(int dashed);

    // A one-pixel line without the pixel at (x2, y2).
    void Line(int x1, int y1, int x2, int y2);
    // Spans that stop one pixel before the clip rectangle's right (bottom) edge when they reach it.
    void HLine(int y, int x1, int x2);
    void VLine(int x, int y1, int y2);
    void SetPixel(int x, int y);
    void FillRect(const RECT* r);
    // Lines p[i + 1] to p[i], from the last point backwards.
    void Polyline(const POINT* pts, int n);
    // Outline of the axis-aligned ellipse inscribed in the rectangle.
    void Ellipse(int x1, int y1, int x2, int y2);
    // Outlines the rings of pts (a ring ends where its start point recurs) and, with fill,
    // fills them by the even-odd rule in colour (0xFFFFFFFF: the current colour).
    void Polygon(const POINT* pts, int n, int fill, unsigned long colour);
    // Calls g_draw_callback, then copies the bitmap to target.
    void bitblt(HDC target);

private:
    using Line_Fn = void (Qe_Qdc::*)(int, int, int, int);
    using Span_Fn = void (Qe_Qdc::*)(int, int, int);
    using Pixel_Fn = void (Qe_Qdc::*)(int, int);

    template <int Bytes>
    void line_impl(int x1, int y1, int x2, int y2);
    template <int Bytes>
    void across_impl(int y, int x1, int x2);
    template <int Bytes>
    void down_impl(int x, int y1, int y2);
    template <int Bytes>
    void pixel_impl(int x, int y);
    template <int Bytes>
    void store(int x, int y);

    void Line8(int x1, int y1, int x2, int y2);
    void Line16(int x1, int y1, int x2, int y2);
    void Line24(int x1, int y1, int x2, int y2);
    void Line32(int x1, int y1, int x2, int y2);
    void HLine8(int y, int x1, int x2);
    void HLine16(int y, int x1, int x2);
    void HLine24(int y, int x1, int x2);
    void HLine32(int y, int x1, int x2);
    void VLine8(int x, int y1, int y2);
    void VLine16(int x, int y1, int y2);
    void VLine24(int x, int y1, int y2);
    void VLine32(int x, int y1, int y2);
    void SetPixel8(int x, int y);
    void SetPixel16(int x, int y);
    void SetPixel24(int x, int y);
    void SetPixel32(int x, int y);

    // The clip rectangle intersected with the bitmap; empty without pixel memory.
    RECT clip() const;
    bool ready() const { return m_bits != nullptr && m_line != nullptr; }
    unsigned long pixel_value_of(unsigned long colour) const;
    void fill_rings(const POINT* pts, int n, const RECT& c, long long ymin, long long ymax);

    HDC m_dc = nullptr;
    HGDIOBJ m_prev_bitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
    RECT m_clip{0, 0, 0, 0};
    int m_depth = 0;
    int m_stride = 0;
    unsigned char* m_bits = nullptr;
    int m_image_size = 0;
    BITMAPINFO* m_header = nullptr;
    unsigned long m_pixel = 0;
    unsigned char m_dash[16];
    bool m_solid = true;  // no step of m_dash is off
    Line_Fn m_line = nullptr;
    Span_Fn m_across = nullptr;
    Span_Fn m_down = nullptr;
    Pixel_Fn m_pixel_fn = nullptr;
    HBITMAP m_bitmap = nullptr;
    Qe_Rect m_draw_rect;
    long m_black_color = 0;
    unsigned long m_color = 0;
    HWND m_wnd = nullptr;
};
