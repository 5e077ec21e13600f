// Drawing of the point containers: through a device context with the platform's calls, or
// into the raster device.

#include <algorithm>
#include <vector>

#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

POINT to_pixel(const Qe_Pt& p, const Qe_Tran& t)
{
    const Qe_Pt q = p * t;
    return POINT{api_mb_to_pixel(q.x()), api_mb_to_pixel(q.y())};
}

std::vector<POINT> to_pixels(const Qe_Pt* pts, std::size_t n, const Qe_Tran& t)
{
    std::vector<POINT> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = to_pixel(pts[i], t);
    return out;
}

}  // namespace

void Qe_Pt_List::draw(HDC hdc, const Qe_Tran& t) const
{
    std::vector<POINT> pts;
    for (const Qe_Pt_Node* n = m_head; n; n = n->next()) pts.push_back(to_pixel(*n, t));
    if (pts.empty()) return;
    Polyline(hdc, pts.data(), static_cast<int>(pts.size()));
}

void Qe_Pt_Set::draw(HDC hdc, const Qe_Tran& t) const
{
    if (m_count <= 0) return;
    const auto pts = to_pixels(m_points, static_cast<std::size_t>(m_count), t);
    Polyline(hdc, pts.data(), m_count);
}

void Qe_Pt_Set::draw(Qe_Qdc& qdc, const Qe_Tran& t) const
{
    if (m_count <= 0) return;
    const auto pts = to_pixels(m_points, static_cast<std::size_t>(m_count), t);
    if (m_count == 2) {
        if (pts[0].x != pts[1].x || pts[0].y != pts[1].y) qdc.Line(pts[0].x, pts[0].y, pts[1].x, pts[1].y);
        return;
    }
    qdc.Polyline(pts.data(), m_count);
}

void Qe_Pt_Sets::draw(HDC hdc, const Qe_Tran& t, long colour) const
{
    mb_ulong start = 0;
    for (mb_ulong r = 0; r < m_runs; ++r) {
        const mb_ulong n = m_vals[r];
        const Qe_Pt* run = m_points + start;
        start += n;
        if (n == 0) continue;
        if (n == 1) {
            LOGPEN lp{};
            if (GetObject(GetCurrentObject(hdc, OBJ_PEN), sizeof lp, &lp) != sizeof lp) continue;
            const POINT p = to_pixel(run[0], t);
            SetPixel(hdc, p.x, p.y, lp.lopnColor);
            continue;
        }
        // Runs are bounded by the points the set holds, which fit in memory already.
        const auto pts = to_pixels(run, n, t);
        const int count = static_cast<int>(std::min<mb_ulong>(n, 0x7FFFFFFF));
        if (m_filled && pts.front().x == pts.back().x && pts.front().y == pts.back().y) {
            HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(colour) & 0xFFFFFF);
            HGDIOBJ old = SelectObject(hdc, brush);
            BeginPath(hdc);
            Polyline(hdc, pts.data(), count);
            EndPath(hdc);
            StrokeAndFillPath(hdc);
            if (old) SelectObject(hdc, old);
            DeleteObject(brush);
        } else {
            Polyline(hdc, pts.data(), count);
        }
    }
}
