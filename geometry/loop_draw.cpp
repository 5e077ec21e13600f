// Drawing of loops and of a loop search's points through a device context.

#include <vector>

#include "geometry/dc_draw.h"
#include "geometry/loop.h"
#include "geometry/loop_search.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "platform/gdi_draw.h"

void Qe_Loop::draw(HDC dc, const Qe_Tran& t) const
{
    int n = 0;
    const std::unique_ptr<Qe_Pt[]> pts = points(true, n);
    if (!pts || n <= 0) return;
    std::vector<::POINT> px(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Qe_Pt q = pts[i] * t;
        px[static_cast<std::size_t>(i)] = ::POINT{api_mb_to_pixel(q.x()), api_mb_to_pixel(q.y())};
    }
    Polyline(dc, px.data(), n);
}

void Qe_Search_Loops::draw_test(HDC dc, const Qe_Tran& t)
{
    for (Qe_Void_Node* n = m_intersects.head(); n; n = n->next()) {
        const auto* p = static_cast<const Qe_Intersect_Point*>(n->entity());
        api_mb_draw_circle(dc, p->point() * t, 5.0, 1);
    }
}
