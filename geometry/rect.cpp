#include "geometry/rect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/tolerance.h"
#include "geometry/transform.h"

Qe_Rect::Qe_Rect(const Qe_Pt& a, const Qe_Pt& b) { set_two_points(a, b); }

Qe_Rect::Qe_Rect(const Qe_Pt* pts, int n) { init_by_pts(n, pts); }

Qe_Rect::~Qe_Rect() = default;

void Qe_Rect::set_two_points(const Qe_Pt& a, const Qe_Pt& b)
{
    m_lt = Qe_Pt(std::min(a.x(), b.x()), std::max(a.y(), b.y()), 0.0);
    m_rb = Qe_Pt(std::max(a.x(), b.x()), std::min(a.y(), b.y()), 0.0);
}

bool Qe_Rect::init_by_pts(int n, const Qe_Pt* pts)
{
    Qe_Pt lt, rb;
    if (!api_mb_get_rect_pos(n, pts, lt, rb)) return false;
    m_lt = Qe_Pt(lt.x(), lt.y(), 0.0);
    m_rb = Qe_Pt(rb.x(), rb.y(), 0.0);
    return true;
}

void Qe_Rect::set_rect(Qe_Pt lt, Qe_Pt rb)
{
    m_lt = lt;
    m_rb = rb;
}

double Qe_Rect::max_len() const { return std::max(width(), heigh()); }

double Qe_Rect::diagonal_len() const { return (m_lt - m_rb).len(); }

Qe_Pt Qe_Rect::center() const { return m_lt + (m_rb - m_lt) / 2.0; }

bool Qe_Rect::is_pt() const { return same_point(m_lt, m_rb, resabs); }

double Qe_Rect::low_y() const { return g_y_dir ? m_rb.y() : std::min(m_lt.y(), m_rb.y()); }

double Qe_Rect::high_y() const { return g_y_dir ? m_lt.y() : std::max(m_lt.y(), m_rb.y()); }

bool Qe_Rect::intersect_rect(const Qe_Rect* other) const
{
    if (!other) return true;
    if (other->m_rb.x() < m_lt.x() || m_rb.x() < other->m_lt.x()) return false;
    if (high_y() < other->low_y() || other->high_y() < low_y()) return false;
    return true;
}

void Qe_Rect::union_rect(const Qe_Rect& other)
{
    m_lt = Qe_Pt(std::min(m_lt.x(), other.m_lt.x()), std::max(m_lt.y(), other.m_lt.y()), 0.0);
    m_rb = Qe_Pt(std::max(m_rb.x(), other.m_rb.x()), std::min(m_rb.y(), other.m_rb.y()), 0.0);
}

bool Qe_Rect::pt_in_rect(const Qe_Pt& p, double tol) const
{
    return p.x() >= m_lt.x() - tol && p.x() <= m_rb.x() + tol && p.y() >= low_y() - tol && p.y() <= high_y() + tol;
}

bool Qe_Rect::rect_in_rect(const Qe_Rect& other) const
{
    return m_lt.x() < other.m_lt.x() && m_rb.x() > other.m_rb.x() && high_y() > other.high_y() &&
           low_y() < other.low_y();
}

void Qe_Rect::init_by_circle(const Qe_Pt& c, double r)
{
    m_lt = Qe_Pt(c.x() - r, c.y() + r, 0.0);
    m_rb = Qe_Pt(c.x() + r, c.y() - r, 0.0);
}

void Qe_Rect::translate(const Qe_Tran& t)
{
    const Qe_Pt corners[4] = {m_lt * t, lb() * t, rt() * t, m_rb * t};
    init_by_pts(4, corners);
}

void Qe_Rect::rotate_rect(Qe_Pt c, double angle)
{
    const Qe_Vec to_c(c.x(), c.y(), c.z());
    translate(translate_transf(-to_c) * rotate_transf(angle, Qe_Vec(0.0, 0.0, 1.0)) * translate_transf(to_c));
}

void Qe_Rect::scale_rect(Qe_Pt c, const double* f)
{
    if (!f) return;
    const Qe_Vec to_c(c.x(), c.y(), c.z());
    const Qe_Tran t = translate_transf(-to_c) * scale_transf(f[0], f[1], f[2]) * translate_transf(to_c);
    m_lt *= t;
    m_rb *= t;
}

void Qe_Rect::offset_rect(Qe_Pt p)
{
    set_two_points(Qe_Pt(p.x() - m_lt.x(), p.y() - m_lt.y(), 0.0), Qe_Pt(p.x() - m_rb.x(), p.y() - m_rb.y(), 0.0));
}

void Qe_Rect::build_by_RECT(const RECT& r, const Qe_Tran& t)
{
    set_rect(Qe_Pt(r.left, r.top, 0.0) * t, Qe_Pt(r.right, r.bottom, 0.0) * t);
}

namespace {

// Truncation toward zero into the pixel range; a value without a pixel (NaN) gives 0.
LONG to_pixel(double v)
{
    if (!(v == v)) return 0;
    if (v <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    if (v >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<LONG>(v);
}

// Pixel rectangles from outside may span more than an int: clamp rather than wrap.
int clamp_int(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

void Qe_Rect::conver_to_scr_rect(RECT& r) const
{
    r.left = to_pixel(m_lt.x());
    r.right = to_pixel(m_rb.x());
    r.top = to_pixel(m_lt.y());
    r.bottom = to_pixel(m_rb.y());
}

void api_mb_get_rect_size(int& h, int& w, const RECT& r)
{
    h = clamp_int(static_cast<std::int64_t>(r.bottom) - r.top);
    w = clamp_int(static_cast<std::int64_t>(r.right) - r.left);
}

void api_mb_get_rect_center(int& x, int& y, const RECT& r)
{
    x = clamp_int(r.left + (static_cast<std::int64_t>(r.right) - r.left) / 2);
    y = clamp_int(r.top + (static_cast<std::int64_t>(r.bottom) - r.top) / 2);
}

bool api_mb_get_rect_pos(int n, const Qe_Pt* pts, Qe_Pt& lt, Qe_Pt& rb)
{
    if (!pts || n < 1) return false;
    double x0 = pts[0].x(), x1 = x0, y0 = pts[0].y(), y1 = y0;
    for (int i = 1; i < n; ++i) {
        x0 = std::min(x0, pts[i].x());
        x1 = std::max(x1, pts[i].x());
        y0 = std::min(y0, pts[i].y());
        y1 = std::max(y1, pts[i].y());
    }
    lt.set_x(x0);
    lt.set_y(y1);
    rb.set_x(x1);
    rb.set_y(y0);
    return true;
}
