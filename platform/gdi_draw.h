#pragma once

// Pens, brushes and the drawing calls of device contexts. They draw into the pixel memory the
// DC draws on (a DIB section's memory in its own format, a window's client area), clipped to
// it, and write each covered pixel once through the DC's raster operation (SetPixel and
// FillRect excepted). Coordinates are pixels, x right and y down; a pixel (x, y) is the unit
// square whose top-left corner is (x, y). A null, stale or wrong-kind handle makes a call fail.
//
// Thin pens (width 0 or 1) light one pixel per step along the major axis and leave out the end
// point; in a polyline each joint is drawn once. Styled thin pens have fixed patterns of on/off
// pixels (dash 18/6, dot 3/3, dash-dot 9/6/3/6, dash-dot-dot 9/3/3/3/3/3) that continue along
// a polyline; with the background mode OPAQUE their gaps take the background colour. Wider pens
// are drawn solid, as the pixels within half the width of the path (round ends and joints).
// Fills take the pixels whose centres are inside by the alternate (even-odd) rule.

#include "platform/platform_api.h"
#include "platform/win_types.h"

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HATCHED = 2;

// Backward diagonal: lines rising from left to right, every 8 pixels.
constexpr int HS_BDIAGONAL = 3;

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;  // x is the width; y is not used
    COLORREF lopnColor;
};

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    UINT_PTR lbHatch;
};

// NULL for an unknown style or a negative width. PS_INSIDEFRAME draws as PS_SOLID; styles
// other than solid and null draw solid when the width is above 1.
PLATFORM_API HPEN CreatePen(int style, int width, COLORREF colour);
PLATFORM_API HBRUSH CreateSolidBrush(COLORREF colour);
// BS_SOLID, BS_NULL (paints nothing) and BS_HATCHED as CreateHatchBrush; NULL for others.
PLATFORM_API HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// HS_BDIAGONAL only; NULL for other styles. The gaps take the background colour while the
// background mode is OPAQUE.
PLATFORM_API HBRUSH CreateHatchBrush(int style, COLORREF colour);
// Fills out with the LOGPEN, LOGBRUSH or BITMAP of the object; returns the bytes written, or
// the size needed when out is NULL; 0 for a bad handle or a size too small.
PLATFORM_API int GetObject(HGDIOBJ obj, int size, void* out);

// Background mode (OPAQUE or TRANSPARENT) and colour: the previous value, 0 / CLR_INVALID on failure.
PLATFORM_API int SetBkMode(HDC hdc, int mode);
PLATFORM_API int GetBkMode(HDC hdc);
PLATFORM_API COLORREF SetBkColor(HDC hdc, COLORREF colour);
// R2_BLACK .. R2_WHITE; the previous mode, 0 on failure.
PLATFORM_API int SetROP2(HDC hdc, int mode);
PLATFORM_API int GetROP2(HDC hdc);

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Sets one pixel to the colour, whatever the raster operation; returns the colour the pixel
// got, or CLR_INVALID outside the surface.
PLATFORM_API COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour);
PLATFORM_API BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
// A line from the current position to (x, y), which becomes the current position.
PLATFORM_API BOOL LineTo(HDC hdc, int x, int y);
// n >= 2 points joined by lines; the current position is neither used nor changed.
PLATFORM_API BOOL Polyline(HDC hdc, const POINT* pts, int n);
// n >= 2 points, closed, filled with the brush and outlined with the pen.
PLATFORM_API BOOL Polygon(HDC hdc, const POINT* pts, int n);
// Right and bottom edges excluded: the outline runs along left .. right - 1, top .. bottom - 1.
PLATFORM_API BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
// The ellipse inscribed in the rectangle, right and bottom edges excluded.
PLATFORM_API BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
// The arc of the ellipse inscribed in the rectangle, counter-clockwise on the screen from the
// ray through (xs, ys) to the ray through (xe, ye); the whole ellipse when the two rays agree.
PLATFORM_API BOOL Arc(HDC hdc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye);
// Cubic Bézier curves through 3n + 1 points, each curve starting where the previous ended.
PLATFORM_API BOOL PolyBezier(HDC hdc, const POINT* pts, DWORD n);
// Fills left .. right - 1, top .. bottom - 1 with the brush, whatever the raster operation.
PLATFORM_API int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);

// A path collects what the drawing calls above draw (SetPixel and FillRect excepted) instead of
// drawing it: MoveToEx starts a new figure, LineTo extends it, Polyline and PolyBezier add a
// figure of their own points, Polygon, Rectangle and Ellipse add closed figures.
PLATFORM_API BOOL BeginPath(HDC hdc);
PLATFORM_API BOOL EndPath(HDC hdc);
// Closes every figure, fills the path with the brush by the alternate rule, so figures nested
// in others leave holes, outlines it with the pen, and discards it.
PLATFORM_API BOOL StrokeAndFillPath(HDC hdc);
