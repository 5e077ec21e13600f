#pragma once

// Simple figures drawn straight on a device context with the platform's drawing calls, in the
// pen and brush selected into it unless said otherwise. Points are pixels (x and y truncated
// toward zero by api_mb_to_pixel) unless a transform maps world points to pixels.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "platform/win_types.h"

class Qe_Pt_List;
class Qe_Tran;

// A plus of five pixels in 0xFF0000.
FENDRAL_API void api_mb_draw_point(HDC hdc, const Qe_Pt& p);
// A marker of half-size size: 0 square, 1 circle, 2 plus, 3 diagonal cross, 4 asterisk,
// 5 five-pointed star, 6 triangle; other styles draw nothing. fill applies to 0 and 1.
FENDRAL_API void api_mb_draw_point(HDC hdc, const Qe_Pt& p, int style, int size, int fill);
FENDRAL_API void api_mb_draw_line(HDC hdc, const Qe_Pt& a, const Qe_Pt& b);
// Arc counter-clockwise on the screen from start to end about centre; nothing when start and
// end are different points on one pixel, the whole circle when they are the same point.
FENDRAL_API void api_mb_draw_arc(HDC hdc, const Qe_Pt& start, const Qe_Pt& end, const Qe_Pt& centre, double r);
// Draws nothing.
FENDRAL_API void api_mb_draw_arc(HDC hdc, const Qe_Pt& centre, double r, double start, double end, const Qe_Pt& a,
                                 const Qe_Pt& b);
FENDRAL_API void api_mb_draw_circle(HDC hdc, const Qe_Pt& c, double r, int fill);
// The circle through t as n segments (at most 65536) in the pen's colour; nothing for n <= 0.
FENDRAL_API void api_mb_draw_circle(HDC hdc, const Qe_Pt& c, double r, const Qe_Tran& t, int n);
// The rectangle of corners a and b; with fill, filled with the brush.
FENDRAL_API void api_mb_draw_rect(HDC hdc, const Qe_Pt& a, const Qe_Pt& b, double unused, int fill);
FENDRAL_API void api_mb_draw_triangle(HDC hdc, const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& c, int fill);
// The whole ellipse as four Bézier curves, turned counter-clockwise on the screen by angle.
FENDRAL_API void api_mb_draw_ellipse(HDC hdc, const Qe_Pt& c, double major, double minor, double angle, int fill);
// The elliptical arc from start to end (polar angles), as 64 points.
FENDRAL_API void api_mb_draw_ellipse(HDC hdc, const Qe_Pt& c, double major, double minor, double start, double end,
                                     double rotation);
// The elliptical arc in world coordinates through t, from parametric angle start to end
// counter-clockwise (over 2π when start > end), at most one turn, as at most 101 points.
FENDRAL_API void api_mb_draw_ellipse_ex(HDC hdc, const Qe_Pt& c, double major, double minor, double rotation,
                                        double start, double end, const Qe_Tran& t);
// An arrowhead with its apex at tip, pointing against dir: style 0 filled in colour, style 1
// outlined in the current pen, other styles nothing.
FENDRAL_API void api_mb_draw_arrow(HDC hdc, const Qe_Tran& t, long colour, const Qe_Pt& tip, const Qe_Uvec& dir,
                                   double length, double width, int style);
// Turns p about centre by angle (radians), truncating to whole pixels.
FENDRAL_API void api_mb_rotate_point(POINT& p, POINT centre, double angle);
// Does nothing.
FENDRAL_API void order_pts_by_yval(Qe_Pt_List& list, int how);
