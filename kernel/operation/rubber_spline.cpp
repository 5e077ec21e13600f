#include <cmath>
#include <vector>

#include "curves/spline_gen.h"
#include "geometry/pt_list.h"
#include "geometry/raster_device.h"
#include "geometry/tolerance.h"
#include "kernel/operation/rubber.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

MB_Rubber_Spline::MB_Rubber_Spline(const Qe_Pt_List& points, const Qe_Pt& cursor, const Qe_Tran& t)
{
    if (points.is_empty()) return;
    // Repeated points (the cursor resting on the last pick) would make the fit fail and the
    // curve vanish; they add nothing to its shape.
    std::vector<Qe_Pt> input;
    const auto take = [&input](const Qe_Pt& p) {
        if (input.empty() || (p - input.back()).len() >= resabs) input.push_back(p);
    };
    for (const Qe_Pt_Node* n = points.head(); n; n = n->next()) take(*n);
    take(cursor);
    if (input.size() < 2) return;

    // The curve library's tessellation value is a fineness: a span gets about value x
    // sqrt(2 x its control polygon's bend) segments, so the chord error in drawing units goes
    // as 1 / value². Scaling the value with the square root of the view's scale keeps the error
    // in pixels what the value gives at one pixel per unit, at every zoom.
    const double scaling = t.scaling();
    const double tess_value = scaling > 0 && std::isfinite(scaling) ? k_tess_value * std::sqrt(scaling) : k_tess_value;
    double zero[3] = {0.0, 0.0, 0.0};
    Generate_Spline job;
    job.init(3, static_cast<int>(input.size()), 1e-5, zero, zero, 0, tess_value);
    if (!job.m_points || job.m_point_count != static_cast<int>(input.size())) return;
    for (std::size_t i = 0; i < input.size(); ++i) {
        job.m_points[3 * i] = input[i].x();
        job.m_points[3 * i + 1] = input[i].y();
        job.m_points[3 * i + 2] = input[i].z();
    }
    job.generate();
    if (!job.m_poly_points || job.m_poly_count <= 0) return;
    m_pixels.reserve(static_cast<std::size_t>(job.m_poly_count));
    for (int i = 0; i < job.m_poly_count; ++i) {
        const Qe_Pt p = Qe_Pt(job.m_poly_points[i][0], job.m_poly_points[i][1], job.m_poly_points[i][2]) * t;
        m_pixels.push_back(POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())});
    }
}

void MB_Rubber_Spline::draw(HDC hdc, const Qe_Tran&)
{
    if (m_pixels.empty()) return;
    Pen pen(hdc, style(), width(), color());
    ::Polyline(hdc, m_pixels.data(), static_cast<int>(m_pixels.size()));
}
