#include "geometry/dc_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/angles.h"
#include "geometry/pt_set.h"
#include "geometry/raster_device.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

// Control-point distance of a cubic Bézier quarter circle, as a fraction of the radius.
constexpr double bezier_kappa = 0.5522847498308;

POINT pixel(const Qe_Pt& p) { return POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())}; }
POINT pixel(double x, double y) { return POINT{api_mb_to_pixel(x), api_mb_to_pixel(y)}; }

void move_line(HDC hdc, LONG x1, LONG y1, LONG x2, LONG y2)
{
    MoveToEx(hdc, x1, y1, nullptr);
    LineTo(hdc, x2, y2);
}

// Radius-3 circle markers drawn as fixed pixel patterns: a disc of short rows, or a ring of
// short pieces.
void small_circle(HDC hdc, LONG x, LONG y, int fill)
{
    if (fill) {
        static constexpr int half[7] = {1, 2, 3, 3, 3, 2, 1};
        for (int dy = -3; dy <= 3; ++dy) move_line(hdc, x - half[dy + 3], y + dy, x + half[dy + 3] + 1, y + dy);
        return;
    }
    move_line(hdc, x - 1, y - 3, x + 2, y - 3);
    move_line(hdc, x - 1, y + 3, x + 2, y + 3);
    move_line(hdc, x - 3, y - 1, x - 3, y + 2);
    move_line(hdc, x + 3, y - 1, x + 3, y + 2);
    move_line(hdc, x - 2, y - 2, x - 1, y - 2);
    move_line(hdc, x + 2, y - 2, x + 3, y - 2);
    move_line(hdc, x - 2, y + 2, x - 1, y + 2);
    move_line(hdc, x + 2, y + 2, x + 3, y + 2);
}

void draw_whole_ellipse(HDC hdc, const Qe_Pt& c, double major, double minor, double angle, int fill)
{
    const double cx = std::trunc(c.x()), cy = std::trunc(c.y());
    const double kx = std::trunc(major * bezier_kappa), ky = std::trunc(minor * bezier_kappa);
    const double L = std::trunc(cx - major), R = std::trunc(cx + major);
    const double T = std::trunc(cy - minor), B = std::trunc(cy + minor);
    const double xy[13][2] = {{L, cy},      {L, cy - ky}, {cx - kx, T}, {cx, T},      {cx + kx, T},
                              {R, cy - ky}, {R, cy},      {R, cy + ky}, {cx + kx, B}, {cx, B},
                              {cx - kx, B}, {L, cy + ky}, {L, cy}};
    // Pixel rows grow downwards, so turning by 2π − angle shows the ellipse turned
    // counter-clockwise by angle on the screen.
    const double phi = TWO_PI - angle;
    const double cs = std::cos(phi), sn = std::sin(phi);
    POINT pts[13];
    for (int i = 0; i < 13; ++i) {
        const double dx = xy[i][0] - cx, dy = xy[i][1] - cy;
        pts[i] = pixel(cx + dx * cs + dy * sn, cy + dx * sn - dy * cs);
    }
    if (fill) BeginPath(hdc);
    PolyBezier(hdc, pts, 13);
    if (fill) {
        EndPath(hdc);
        StrokeAndFillPath(hdc);
    }
}

}  // namespace

void api_mb_rotate_point(POINT& p, POINT centre, double angle)
{
    const double cs = std::cos(angle), sn = std::sin(angle);
    const double dx = static_cast<double>(p.x) - centre.x, dy = static_cast<double>(p.y) - centre.y;
    p.x = api_mb_to_pixel(centre.x + cs * dx - sn * dy);
    p.y = api_mb_to_pixel(centre.y + cs * dy + sn * dx);
}

void order_pts_by_yval(Qe_Pt_List&, int) {}

void api_mb_draw_point(HDC hdc, const Qe_Pt& p)
{
    const POINT q = pixel(p);
    for (const POINT d : {POINT{0, 0}, POINT{-1, 0}, POINT{1, 0}, POINT{0, -1}, POINT{0, 1}})
        SetPixel(hdc, q.x + d.x, q.y + d.y, 0xFF0000);
}

void api_mb_draw_point(HDC hdc, const Qe_Pt& p, int style, int size, int fill)
{
    const POINT q = pixel(p);
    const LONG x = q.x, y = q.y, s = size;
    switch (style) {
    case 0:
        if (fill) {
            Rectangle(hdc, x - s, y - s, x + s, y + s);
        } else {
            const POINT sq[5] = {{x - s, y - s}, {x + s, y - s}, {x + s, y + s}, {x - s, y + s}, {x - s, y - s}};
            Polyline(hdc, sq, 5);
        }
        break;
    case 1:
        if (s == 3) small_circle(hdc, x, y, fill);
        else if (fill) Ellipse(hdc, x - s, y - s, x + s, y + s);
        else Arc(hdc, x - s, y - s, x + s, y + s, 0, 0, 0, 0);
        break;
    case 2:
        move_line(hdc, x, y - s, x, y + s + 1);
        move_line(hdc, x - s, y, x + s + 1, y);
        break;
    case 3:
        move_line(hdc, x - s, y - s, x + s, y + s);
        move_line(hdc, x + s, y - s, x - s, y + s);
        break;
    case 4:
        move_line(hdc, x - s, y - s, x + s, y + s);
        move_line(hdc, x + s, y - s, x - s, y + s);
        move_line(hdc, x - s, y, x + s, y);
        move_line(hdc, x, y - s, x, y + s);
        break;
    case 5: {
        POINT v[5];
        v[0] = POINT{x, y - s};
        for (int i = 1; i < 5; ++i) {
            v[i] = v[i - 1];
            api_mb_rotate_point(v[i], q, TWO_PI * 0.2);
        }
        const POINT star[6] = {v[0], v[3], v[1], v[4], v[2], v[0]};
        Polyline(hdc, star, 6);
        break;
    }
    case 6: {
        POINT v[4];
        v[0] = POINT{x, y - s};
        for (int i = 1; i < 3; ++i) {
            v[i] = v[i - 1];
            api_mb_rotate_point(v[i], q, TWO_PI / 3);
        }
        v[3] = v[0];
        Polyline(hdc, v, 4);
        break;
    }
    default: break;
    }
}

void api_mb_draw_line(HDC hdc, const Qe_Pt& a, const Qe_Pt& b)
{
    const POINT p = pixel(a), q = pixel(b);
    MoveToEx(hdc, p.x, p.y, nullptr);
    LineTo(hdc, q.x, q.y);
}

void api_mb_draw_arc(HDC hdc, const Qe_Pt& start, const Qe_Pt& end, const Qe_Pt& centre, double r)
{
    const POINT s = pixel(start), e = pixel(end);
    if (s.x == e.x && s.y == e.y && !same_point(start, end, resabs)) return;
    Arc(hdc, api_mb_to_pixel(centre.x() - r), api_mb_to_pixel(centre.y() - r), api_mb_to_pixel(centre.x() + r),
        api_mb_to_pixel(centre.y() + r), s.x, s.y, e.x, e.y);
}

void api_mb_draw_arc(HDC, const Qe_Pt&, double, double, double, const Qe_Pt&, const Qe_Pt&) {}

void api_mb_draw_circle(HDC hdc, const Qe_Pt& c, double r, int fill)
{
    const int l = api_mb_to_pixel(c.x() - r), t = api_mb_to_pixel(c.y() - r);
    const int rr = api_mb_to_pixel(c.x() + r), b = api_mb_to_pixel(c.y() + r);
    if (fill) Ellipse(hdc, l, t, rr, b);
    else Arc(hdc, l, t, rr, b, 0, 0, 0, 0);
}

void api_mb_draw_circle(HDC hdc, const Qe_Pt& c, double r, const Qe_Tran& t, int n)
{
    if (n <= 0) return;
    n = std::min(n, 65536);
    std::vector<Qe_Pt> pts(static_cast<std::size_t>(n) + 1);
    const double step = TWO_PI / n;
    for (int i = 0; i <= n; ++i) {
        // Starting at c + (0, r), turning counter-clockwise.
        const double a = HALF_PI + step * i;
        pts[static_cast<std::size_t>(i)] = Qe_Pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a), c.z());
    }
    Qe_Pt_Sets sets;
    if (!sets.init(static_cast<mb_ulong>(n) + 1, pts.data())) return;
    sets.draw(hdc, t, 0xFF0000);
}

void api_mb_draw_rect(HDC hdc, const Qe_Pt& a, const Qe_Pt& b, double, int fill)
{
    const POINT p = pixel(a), q = pixel(b);
    const POINT pts[5] = {{p.x, p.y}, {q.x, p.y}, {q.x, q.y}, {p.x, q.y}, {p.x, p.y}};
    if (fill) BeginPath(hdc);
    Polyline(hdc, pts, 5);
    if (fill) {
        EndPath(hdc);
        StrokeAndFillPath(hdc);
    }
}

void api_mb_draw_triangle(HDC hdc, const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& c, int fill)
{
    const POINT pts[4] = {pixel(a), pixel(b), pixel(c), pixel(a)};
    if (fill) Polygon(hdc, pts, 4);
    else Polyline(hdc, pts, 4);
}

void api_mb_draw_ellipse(HDC hdc, const Qe_Pt& c, double major, double minor, double angle, int fill)
{
    draw_whole_ellipse(hdc, c, major, minor, angle, fill);
}

void api_mb_draw_ellipse(HDC hdc, const Qe_Pt& c, double major, double minor, double start, double end,
                         double rotation)
{
    if (start == end || (start == 0 && end == TWO_PI)) {
        draw_whole_ellipse(hdc, c, major, minor, rotation, 0);
        return;
    }
    const double s = start - rotation, e = end - rotation;
    const double sweep = s < e ? e - s : e + TWO_PI - s;
    const Qe_Tran turn = rotate_transf(rotation, Qe_Vec(0, 0, 1));
    POINT pts[64];
    for (int i = 0; i < 64; ++i) {
        const double th = s + i * sweep / 63;
        const double sn = std::sin(th), cs = std::cos(th);
        const double rho = std::sqrt(1 / (sn * sn / (minor * minor) + cs * cs / (major * major)));
        const Qe_Pt q = Qe_Pt(rho * cs, rho * sn, 0) * turn;
        pts[i] = pixel(c.x() + q.x(), c.y() + q.y());
    }
    Polyline(hdc, pts, 64);
}

void api_mb_draw_ellipse_ex(HDC hdc, const Qe_Pt& c, double major, double minor, double rotation, double start,
                            double end, const Qe_Tran& t)
{
    if (!std::isfinite(start) || !std::isfinite(end)) return;
    // Counter-clockwise from start to end, so start > end runs through 2π; never more than one
    // turn, which keeps the points within the 101 that the arc is drawn with.
    if (end < start) end += TWO_PI * std::ceil((start - end) / TWO_PI);
    end = std::min(end, start + TWO_PI);
    const double step = TWO_PI / 99;
    const double cr = std::cos(rotation), sr = std::sin(rotation);
    POINT pts[101];
    int n = 0;
    auto add = [&](double th) {
        const double ct = std::cos(th), st = std::sin(th);
        const Qe_Pt q = Qe_Pt(c.x() + major * ct * cr - minor * st * sr, c.y() + major * ct * sr + minor * st * cr, 0) * t;
        pts[n++] = pixel(q);
    };
    for (int k = 0; k < 100; ++k) {
        const double th = start + k * step;
        if (!(th < end)) break;
        add(th);
    }
    add(end);
    Polyline(hdc, pts, n);
}

void api_mb_draw_arrow(HDC hdc, const Qe_Tran& t, long colour, const Qe_Pt& tip, const Qe_Uvec& dir, double length,
                       double width, int style)
{
    if (style != 0 && style != 1) return;
    const Qe_Vec cross = dir * Qe_Vec(0, 0, 1);
    const Qe_Uvec side(cross.x(), cross.y(), cross.z());
    const Qe_Pt base = tip + length * dir;
    const Qe_Pt a = tip * t, b = (base + width * side) * t, c = (base - width * side) * t;
    if (style == 1) {
        api_mb_draw_triangle(hdc, a, b, c, 0);
        return;
    }
    const COLORREF col = static_cast<COLORREF>(colour) & 0xFFFFFF;
    HBRUSH brush = CreateSolidBrush(col);
    HPEN pen = CreatePen(PS_SOLID, 0, col);
    HGDIOBJ old_brush = SelectObject(hdc, brush);
    HGDIOBJ old_pen = SelectObject(hdc, pen);
    api_mb_draw_triangle(hdc, a, b, c, 1);
    if (old_brush) SelectObject(hdc, old_brush);
    if (old_pen) SelectObject(hdc, old_pen);
    DeleteObject(brush);
    DeleteObject(pen);
}
