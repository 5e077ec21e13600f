#pragma once

// What entities share for their display and for picking:
// - pick kinds and the two pick steps every curve uses: a point of the entity within tol
//   (strictly) of the cursor (mb_pick_point), then the segments of its edge point set
//   (mb_pick_edge, through Qe_Pt_Set::snap_lines);
// - grip markers (squares of half-size 3, not filled) and the plain plus marker;
// - the draw precision, clamped so that tessellation always has at least two points and
//   a bounded number of them;
// - the background colour and bool settings (the colour to draw with is mb_display_color of
//   drawable.h, shared with MB_Geom::draw);
// - a pen and a brush selected into a device context for one scope;
// - the curve display step: edge points, bounding rectangle and line-type node.
//
// Active settings (background colour, bool settings) are read through the kernel's
// settings of the active operation (defaults while there is none).

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Drawable;
class MB_Geom;
class Qe_Pt_Set;
class Qe_Tran;

// The kind a pick reports beside the snapped point.
enum MB_Pick_Kind : int {
    Pick_Point_Entity = 12,
    Pick_Start = 13,
    Pick_End = 14,
    Pick_Center = 16,
    Pick_Vertex = 22,
    Pick_On_Line = 51,
    Pick_On_Arc = 52,
    Pick_On_Circle = 53,
    Pick_On_Ellipse = 54,
    Pick_On_Bspline = 55,
    Pick_On_Polyline = 57,
    Pick_On_Chain = 60,
    Pick_Inside = 80,
    Pick_Text = 81,
    Pick_Dimension = 82,
    Pick_Image = 83,
};

// True, with out = candidate and kind set, when |p − candidate| < tol.
DRAKMERE_API bool mb_pick_point(const Qe_Pt& p, const Qe_Pt& candidate, double tol, int candidate_kind, Qe_Pt& out,
                                int& kind);
// True, with the nearest point of the first segment within tol in out and kind set, when a
// segment of the edge point set passes within tol of p.
DRAKMERE_API bool mb_pick_edge(const Qe_Pt_Set& edge, const Qe_Pt& p, double tol, int edge_kind, Qe_Pt& out,
                               int& kind);

// A grip marker at p × t: a square of half-size 3, not filled, in the current pen. Nothing
// for a null dc.
DRAKMERE_API void mb_draw_grip(HDC dc, const Qe_Pt& p, const Qe_Tran& t);
DRAKMERE_API void mb_draw_grips(HDC dc, const Qe_Pt* pts, int n, const Qe_Tran& t);
// The five-pixel plus marker at p × t (centres, midpoints). Nothing for a null dc.
DRAKMERE_API void mb_draw_plus(HDC dc, const Qe_Pt& p, const Qe_Tran& t);

// Bounds of a tessellation's point count.
inline constexpr long k_min_draw_precision = 2;
inline constexpr long k_max_draw_precision = 1L << 16;
// The entity's draw precision (its own, else the active default for its class), clamped
// to [k_min_draw_precision, k_max_draw_precision].
DRAKMERE_API long mb_draw_precision(MB_Drawable& entity);

// The active operation's background colour (long setting 0).
DRAKMERE_API long mb_background_color();
// An active bool setting (MB_System_Setting::k_bool_...); the default while no operation exists.
DRAKMERE_API bool mb_bool_setting(int index);
// The colour to draw with is mb_display_color (kernel/database/drawable.h): a colour equal
// to the background is drawn in its complement.

// A pen (and optionally a solid brush) selected into dc while it lives; the previous ones
// are selected back and the new ones deleted. Nothing for a null dc.
class DRAKMERE_API MB_Scoped_Pen {
public:
    MB_Scoped_Pen(HDC dc, int style, int width, COLORREF colour);
    ~MB_Scoped_Pen();
    MB_Scoped_Pen(const MB_Scoped_Pen&) = delete;
    MB_Scoped_Pen& operator=(const MB_Scoped_Pen&) = delete;

private:
    HDC m_dc;
    HPEN m_pen = nullptr;
    HGDIOBJ m_old = nullptr;
};

class DRAKMERE_API MB_Scoped_Brush {
public:
    MB_Scoped_Brush(HDC dc, COLORREF colour);
    ~MB_Scoped_Brush();
    MB_Scoped_Brush(const MB_Scoped_Brush&) = delete;
    MB_Scoped_Brush& operator=(const MB_Scoped_Brush&) = delete;

private:
    HDC m_dc;
    HBRUSH m_brush = nullptr;
    HGDIOBJ m_old = nullptr;
};

// The curve display step of build_draw: the edge point set becomes the n points, the
// bounding rectangle their extent (left as it was for n = 0), and the display node is
// rebuilt with the line type (a dashed node, or none).
DRAKMERE_API void mb_set_edge(MB_Geom& entity, int n, const Qe_Pt* pts);
// The rectangle part of that step alone (build_extent): the extent of the n points, left as
// it was for n = 0.
DRAKMERE_API void mb_set_extent(MB_Drawable& entity, int n, const Qe_Pt* pts);
