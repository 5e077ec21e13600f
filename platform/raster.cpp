#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/raster_p.h"

namespace platform {
namespace {

// Runs of on and off pixels, starting with on.
constexpr std::uint8_t dash_runs[] = {18, 6};
constexpr std::uint8_t dot_runs[] = {3, 3};
constexpr std::uint8_t dash_dot_runs[] = {9, 6, 3, 6};
constexpr std::uint8_t dash_dot_dot_runs[] = {9, 3, 3, 3, 3, 3};

template <std::size_t N>
Dash_Pattern pattern(const std::uint8_t (&runs)[N])
{
    int period = 0;
    for (std::uint8_t r : runs) period += r;
    return Dash_Pattern{runs, static_cast<int>(N), period};
}

// Beyond this magnitude nothing is on any surface, and sums and products of two such values
// still fit comfortably in the arithmetic used below.
constexpr double coord_limit = 1099511627776.0;  // 2^40

}  // namespace

long long clamp_coord(double v)
{
    if (std::isnan(v)) return 0;
    return static_cast<long long>(std::clamp(v, -coord_limit, coord_limit));
}

bool Dash_Pattern::on(long long i) const
{
    if (!runs || period <= 0) return true;
    long long m = i % period;
    if (m < 0) m += period;
    for (int k = 0; k < count; ++k) {
        if (m < runs[k]) return (k & 1) == 0;
        m -= runs[k];
    }
    return true;
}

Dash_Pattern dash_pattern_of(int pen_style)
{
    switch (pen_style) {
    case 1: return pattern(dash_runs);
    case 2: return pattern(dot_runs);
    case 3: return pattern(dash_dot_runs);
    case 4: return pattern(dash_dot_dot_runs);
    default: return Dash_Pattern{};
    }
}

std::uint32_t pixel_mask(int bpp)
{
    switch (bpp) {
    case 1: return 1u;
    case 8: return 0xFFu;
    case 16: return 0xFFFFu;
    default: return 0xFFFFFFu;
    }
}

std::uint32_t apply_rop2(int rop2, std::uint32_t p, std::uint32_t d, std::uint32_t mask)
{
    // The operation code minus one is the truth table of (pen bit, destination bit):
    // bit 3 for (1, 1), bit 2 for (1, 0), bit 1 for (0, 1), bit 0 for (0, 0).
    const unsigned table = static_cast<unsigned>(rop2 - 1) & 15u;
    const std::uint32_t all = 0xFFFFFFFFu;
    std::uint32_t r = 0;
    if (table & 8u) r |= p & d;
    if (table & 4u) r |= p & ~d;
    if (table & 2u) r |= ~p & d;
    if (table & 1u) r |= ~p & ~d & all;
    return r & mask;
}

void Coverage::add_span(long long y, long long x0, long long x1, Paint p)
{
    if (y < std::max(0LL, m_box.y0) || y >= std::min<long long>(m_height, m_box.y1)) return;
    x0 = std::max({x0, 0LL, m_box.x0});
    x1 = std::min({x1, static_cast<long long>(m_width), m_box.x1});
    if (x0 >= x1) return;
    if (!m_spans.empty()) {
        Span& last = m_spans.back();
        if (last.y == y && last.paint == p && last.x1 == x0) {
            last.x1 = static_cast<int>(x1);
            return;
        }
    }
    m_spans.push_back(Span{static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), p});
}

void Coverage::sort_rows()
{
    std::sort(m_spans.begin(), m_spans.end(),
              [](const Span& a, const Span& b) { return a.y != b.y ? a.y < b.y : a.x0 < b.x0; });
}

void Coverage::add_thin_line(long long ax, long long ay, long long bx, long long by, const Dash_Pattern& dash,
                             long long& step)
{
    const long long dx = bx - ax, dy = by - ay;
    const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool x_major = adx >= ady;
    const long long major = x_major ? adx : ady;
    if (major == 0) return;
    const long long minor = x_major ? ady : adx;
    const long long a_major = x_major ? ax : ay, a_minor = x_major ? ay : ax;
    const int major_sign = (x_major ? dx : dy) < 0 ? -1 : 1;
    const int minor_sign = (x_major ? dy : dx) < 0 ? -1 : 1;
    const long long size = x_major ? m_width : m_height;
    const long long minor_size = x_major ? m_height : m_width;

    // Only the steps whose major coordinate lies on the surface are walked, so the work is
    // bounded by the surface whatever the coordinates.
    long long i0, i1;
    if (major_sign > 0) {
        i0 = std::max(0LL, -a_major);
        i1 = std::min(major, size - a_major);
    } else {
        i0 = std::max(0LL, a_major - size + 1);
        i1 = std::min(major, a_major + 1);
    }
    for (long long i = i0; i < i1; ++i) {
        // Minor offset rounded half up: the pixels integer Bresenham gives.
        const __int128 num = static_cast<__int128>(2) * i * minor + major;
        const long long off = static_cast<long long>(num / (static_cast<__int128>(2) * major));
        const long long m = a_major + major_sign * i;
        const long long n = a_minor + minor_sign * off;
        if (n < 0 || n >= minor_size) continue;
        const Paint p = dash.on(step + i) ? Paint::pen : Paint::pen_gap;
        if (x_major) add_pixel(m, n, p);
        else add_pixel(n, m, p);
    }
    step += major;
}

void Coverage::add_capsule(Dpoint a, Dpoint b, double radius, Paint p)
{
    if (!(radius >= 0) || !std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
        return;
    const double ylo = std::max(std::min(a.y, b.y) - radius, -1.0);
    const double yhi = std::min(std::max(a.y, b.y) + radius, static_cast<double>(m_height));
    if (ylo > yhi) return;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len = std::hypot(dx, dy);
    const double r2 = radius * radius;
    for (long long y = static_cast<long long>(std::ceil(ylo)); y <= static_cast<long long>(std::floor(yhi)); ++y) {
        const double Y = static_cast<double>(y);
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (const Dpoint& c : {a, b}) {
            const double h = Y - c.y;
            if (h * h <= r2) {
                const double w = std::sqrt(r2 - h * h);
                lo = std::min(lo, c.x - w);
                hi = std::max(hi, c.x + w);
            }
        }
        if (len > 0) {
            // |(P - a) . n| <= r and 0 <= (P - a) . d <= len^2, each linear in X.
            double slo = -std::numeric_limits<double>::infinity(), shi = -slo;
            bool ok = true;
            auto limit = [&](double coef, double k, double from, double to) {
                // from <= coef * X + k <= to
                if (coef == 0) {
                    if (k < from || k > to) ok = false;
                    return;
                }
                double u = (from - k) / coef, v = (to - k) / coef;
                if (u > v) std::swap(u, v);
                slo = std::max(slo, u);
                shi = std::min(shi, v);
            };
            const double nx = -dy / len, ny = dx / len;
            limit(nx, -a.x * nx + (Y - a.y) * ny, -radius, radius);
            limit(dx, -a.x * dx + (Y - a.y) * dy, 0.0, len * len);
            if (ok && slo <= shi) {
                lo = std::min(lo, slo);
                hi = std::max(hi, shi);
            }
        }
        if (lo > hi) continue;
        add_span(y, clamp_coord(std::ceil(lo)), clamp_coord(std::floor(hi)) + 1, p);
    }
}

void Coverage::add_even_odd_fill(const std::vector<std::vector<Dpoint>>& rings, Paint p)
{
    double ymin = std::numeric_limits<double>::infinity(), ymax = -ymin;
    for (const auto& ring : rings)
        for (const Dpoint& q : ring) {
            if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
            ymin = std::min(ymin, q.y);
            ymax = std::max(ymax, q.y);
        }
    if (ymin > ymax) return;
    const long long r0 = std::max(0LL, clamp_coord(std::floor(ymin - 0.5)));
    const long long r1 = std::min(static_cast<long long>(m_height) - 1, clamp_coord(std::ceil(ymax)));
    if (r0 > r1) return;
    // Edges sorted by their lowest y; each row looks only at the edges it can cross.
    struct Edge {
        double y0, y1;  // y0 < y1
        double x0, slope;
    };
    std::vector<Edge> edges;
    for (const auto& ring : rings) {
        const std::size_t n = ring.size();
        if (n < 3) continue;
        for (std::size_t k = 0; k < n; ++k) {
            Dpoint u = ring[k], v = ring[(k + 1) % n];
            if (u.y == v.y) continue;
            if (u.y > v.y) std::swap(u, v);
            edges.push_back(Edge{u.y, v.y, u.x, (v.x - u.x) / (v.y - u.y)});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
    std::vector<const Edge*> active;
    std::vector<double> xs;
    std::size_t next = 0;
    const double wlim = static_cast<double>(m_width) + 1.0;
    for (long long y = r0; y <= r1; ++y) {
        const double yc = static_cast<double>(y) + 0.5;
        while (next < edges.size() && edges[next].y0 <= yc) active.push_back(&edges[next++]);
        // Half-open in y, so a vertex on the sample line counts once per pair of edges.
        std::erase_if(active, [yc](const Edge* e) { return e->y1 <= yc; });
        xs.clear();
        for (const Edge* e : active) xs.push_back(e->x0 + (yc - e->y0) * e->slope);
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const double xa = std::clamp(xs[k] - 0.5, -1.0, wlim), xb = std::clamp(xs[k + 1] - 0.5, -1.0, wlim);
            add_span(y, static_cast<long long>(std::ceil(xa)), static_cast<long long>(std::ceil(xb)), p);
        }
    }
}

}  // namespace platform
