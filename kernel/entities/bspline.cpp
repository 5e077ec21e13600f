#include "kernel/entities/bspline.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "curves/nurbs.h"
#include "curves/spline_fit.h"
#include "curves/spline_gen.h"
#include "geometry/raster_device.h"
#include "geometry/plane_geometry.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/opcode.h"

namespace {

constexpr unsigned char k_bspline_opcode = 'W';
// The fit and the tessellation always run with these, whatever the entity stores: the
// number of displayed points is the curve library's choice.
constexpr double k_fit_tolerance = 1e-5;
constexpr double k_tessellation = 1.3;

enum : int {
    k_key_start_tangent = -15,
    k_key_end_tangent = -16,
    k_key_fit_count = -209,
    k_key_control_count = -210,
};

Qe_Pt as_point(const Qe_Vec& v)
{
    return Qe_Pt(v.x(), v.y(), v.z());
}

// The library's point array as points; freed.
std::vector<Qe_Pt> take_points(int n, double (*pts)[3])
{
    std::vector<Qe_Pt> out;
    if (pts && n > 0) {
        out.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) out.emplace_back(pts[i][0], pts[i][1], pts[i][2]);
    }
    std::free(pts);
    return out;
}

}  // namespace

MB_Bspline::MB_Bspline() = default;

MB_Bspline::MB_Bspline(int ctl_count, int fit_count) : m_fit_tol(k_fit_tolerance)
{
    if (ctl_count > 0) m_ctlpts.init(ctl_count);
    if (fit_count > 0) m_fitpts.init(fit_count);
}

MB_Bspline::MB_Bspline(const MB_Bspline& other) : MB_Geom(other)
{
    copy_members(other);
}

MB_Bspline& MB_Bspline::operator=(const MB_Bspline& other)
{
    if (this != &other) {
        MB_Geom::operator=(other);
        copy_members(other);
    }
    return *this;
}

MB_Bspline::~MB_Bspline()
{
    delete[] m_knots;
}

void MB_Bspline::copy_members(const MB_Bspline& o)
{
    m_ctlpts = o.m_ctlpts;
    m_fitpts = o.m_fitpts;
    m_start_tangent = o.m_start_tangent;
    m_end_tangent = o.m_end_tangent;
    m_fit_tol = o.m_fit_tol;
    m_degree = o.m_degree;
    m_spline_flag = o.m_spline_flag;
    m_weight = o.m_weight;
    create_kont_array(o.m_knot_count);
    if (m_knot_count > 0) std::memcpy(m_knots, o.m_knots, sizeof(double) * m_knot_count);
}

void MB_Bspline::spline_flag(short f)
{
    modify_cmd();
    m_spline_flag = f;
}

void MB_Bspline::starttangent(double x, double y, double z)
{
    starttangent(Qe_Uvec(x, y, z));
}

void MB_Bspline::starttangent(const Qe_Uvec& u)
{
    modify_cmd();
    m_start_tangent = u;
}

void MB_Bspline::endtangent(double x, double y, double z)
{
    endtangent(Qe_Uvec(x, y, z));
}

void MB_Bspline::endtangent(const Qe_Uvec& u)
{
    modify_cmd();
    m_end_tangent = u;
}

void MB_Bspline::knot_number(unsigned long n)
{
    m_knot_count = std::min(n, m_knot_capacity);
}

void MB_Bspline::create_kont_array(unsigned long n)
{
    delete[] m_knots;
    m_knots = nullptr;
    m_knot_count = m_knot_capacity = 0;
    if (n == 0) return;
    m_knots = new (std::nothrow) double[n];
    if (m_knots) m_knot_count = m_knot_capacity = n;
}

MB_Result MB_Bspline::serialize(MB_File_IO& file)
{
    // The record keeps fit points only: a spline given by control points goes as points
    // along its curve.
    Qe_Pt_Set sampled;
    std::vector<Qe_Pt> along;
    const bool refit = m_fitpts.count() == 0 && sampled_fit_points(along);
    if (refit) sampled.init(static_cast<int>(along.size()), along.data());
    MB_Record_Frame frame;
    frame.xdata = false;
    return mb_write_entity(
        *this, file, k_bspline_opcode, [&](MB_Record_Writer& w) { w.points(refit ? sampled : m_fitpts); }, frame);
}

bool MB_Bspline::sampled_fit_points(std::vector<Qe_Pt>& out) const
{
    const int c = m_ctlpts.count();
    if (c < 1 || m_fitpts.count() > 0) return false;
    std::vector<double> flat(static_cast<std::size_t>(c) * 3);
    for (int i = 0; i < c; ++i) {
        flat[3 * i] = m_ctlpts.points()[i].x();
        flat[3 * i + 1] = m_ctlpts.points()[i].y();
    }
    const std::vector<double> weights(static_cast<std::size_t>(c), 1.0);
    const int knots = static_cast<int>(std::min<unsigned long>(m_knot_count, INT_MAX));
    int status = 0;
    const std::unique_ptr<CNURBS> curve(make_control_spline(m_degree, knots, m_knots, c,
                                                            reinterpret_cast<const double(*)[3]>(flat.data()),
                                                            weights.data(), status));
    if (!curve) return false;
    const double a = curve->start_param(), b = curve->end_param();
    if (!(b > a) || !std::isfinite(a) || !std::isfinite(b)) return false;
    // The fitting tolerance, but never coarser than a hundred-thousandth of the curve's
    // control polygon, so a spline drawn at a small scale keeps its shape too.
    double lo_x = flat[0], hi_x = flat[0], lo_y = flat[1], hi_y = flat[1];
    for (int i = 1; i < c; ++i) {
        lo_x = std::min(lo_x, flat[3 * i]), hi_x = std::max(hi_x, flat[3 * i]);
        lo_y = std::min(lo_y, flat[3 * i + 1]), hi_y = std::max(hi_y, flat[3 * i + 1]);
    }
    const double size = std::max(hi_x - lo_x, hi_y - lo_y);
    const double tol = sampling_tolerance(size);

    // Four points a control point to start with; every stretch where the fit strays
    // further than tol from the curve is halved, until none does.
    std::vector<double> params;
    const int first = std::min(4 * c, k_max_sampled_points - 1);
    for (int i = 0; i <= first; ++i) params.push_back(a + (b - a) * i / first);
    // The last points whose fit the fitter made: a refinement past what it can take (it
    // holds a bounded number of knots) keeps them rather than leaving nothing to write.
    std::vector<Qe_Pt> pts, fitted;
    for (;;) {
        pts.clear();
        for (double t : params) {
            Qe_Pt p;
            if (curve->point(t, p) != 0) return false;
            pts.emplace_back(p.x(), p.y(), 0.0);
        }
        // The fit a reload makes: as the display fits fit points, with no end tangents.
        std::vector<double> xyz;
        for (const Qe_Pt& p : pts) xyz.insert(xyz.end(), {p.x(), p.y(), 0.0});
        double none[3] = {0.0, 0.0, 0.0};
        CNURBS* made = nullptr;
        (void)GetFittingSpline(static_cast<int>(pts.size()), reinterpret_cast<double(*)[3]>(xyz.data()),
                               k_fit_tolerance, none, none, 0, made);
        const std::unique_ptr<CNURBS> fit(made);
        if (!fit) {
            if (!fitted.empty()) break;
            // Too many to start with (a long control polygon): every other one, ends kept.
            if (params.size() <= 2) return false;
            std::vector<double> fewer;
            for (std::size_t i = 0; i + 1 < params.size(); i += 2) fewer.push_back(params[i]);
            fewer.push_back(params.back());
            params.swap(fewer);
            continue;
        }
        fitted = pts;
        // The fit runs by chord length: each check starts from its share of the chord.
        std::vector<double> chord(pts.size(), 0.0);
        for (std::size_t i = 1; i < pts.size(); ++i) chord[i] = chord[i - 1] + (pts[i] - pts[i - 1]).len();
        const double total = chord.back() > 0.0 ? chord.back() : 1.0;
        const double fa = fit->start_param(), fb = fit->end_param();
        std::vector<double> finer;
        bool strays = false;
        for (std::size_t i = 0; i + 1 < params.size(); ++i) {
            finer.push_back(params[i]);
            bool off = false;
            for (const double f : {0.25, 0.5, 0.75}) {
                Qe_Pt q, foot;
                if (curve->point(params[i] + f * (params[i + 1] - params[i]), q) != 0) return false;
                q.set_z(0.0);
                const double t0 = fa + (fb - fa) * (chord[i] + f * (chord[i + 1] - chord[i])) / total;
                double t = 0.0, d2 = 0.0;
                if (fit->project_from(q, t0, foot, t, d2) != 0 || !(std::sqrt(d2) <= tol)) off = true;
            }
            if (off) {
                strays = true;
                finer.push_back(params[i] + 0.5 * (params[i + 1] - params[i]));
            }
        }
        finer.push_back(params.back());
        if (!strays || finer.size() > static_cast<std::size_t>(k_max_sampled_points)) break;
        params.swap(finer);
    }
    out = std::move(fitted);
    return true;
}

MB_Result MB_Bspline::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    if (opcode.kind() != MB_Opcode::Single_Byte || opcode.byte() != k_bspline_opcode) return MB_Result::Invalid_Data;
    MB_Record_Frame frame;
    frame.xdata = false;
    return mb_read_entity(
        *this, opcode, file, [&](MB_Record_Reader& r) { r.points(m_fitpts); }, frame);
}

MB_Result MB_Bspline::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Bspline::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Bspline>(
        *this, target,
        [&] {
            auto* b = new MB_Bspline(0, 0);
            b->copy_members(*this);
            return b;
        },
        [&](MB_Bspline& b) {
            if (&b != this) b.copy_members(*this);
        });
}

Qe_Pt MB_Bspline::get_point(int key)
{
    if (key >= 0 && key < m_fitpts.count()) return m_fitpts.points()[key];
    if (key == k_key_start_tangent) return as_point(m_start_tangent);
    if (key == k_key_end_tangent) return as_point(m_end_tangent);
    return MB_Geom::get_point(key);
}

double MB_Bspline::get_real(int key)
{
    if (key == mb_key::Length) return mb_polyline_length(edge().points(), edge().count());
    if (key == mb_key::Area) return cal_pts_area(edge().points(), edge().count());
    return MB_Geom::get_real(key);
}

long MB_Bspline::get_int(int key)
{
    if (key == k_key_fit_count) return m_fitpts.count();
    if (key == k_key_control_count) return m_ctlpts.count();
    return MB_Geom::get_int(key);
}

void MB_Bspline::set_point(long key, const Qe_Pt& value)
{
    if (key >= 0 && key < m_fitpts.count())
        m_fitpts.points()[key] = value;
    else
        MB_Geom::set_point(key, value);
}

char MB_Bspline::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    if (m_fitpts.count() == 0 && m_ctlpts.count() == 0) return 0;
    const Qe_Pt* pts = edge().points();
    const int n = edge().count();
    // The nearest point of the tessellated curve: a foot on a segment's line may lie
    // beyond the segment, off the curve, and near a sharp vertex the feet of both
    // neighbours do while the vertex itself is within reach.
    double best = std::numeric_limits<double>::infinity();
    Qe_Pt best_pt;
    for (int i = 0; i + 1 < n; ++i) {
        const Qe_Pt& a = pts[i];
        const Qe_Pt& b = pts[i + 1];
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0.0 ? ((at.x() - a.x()) * dx + (at.y() - a.y()) * dy) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const Qe_Pt q(a.x() + t * dx, a.y() + t * dy, a.z() + t * (b.z() - a.z()));
        const double d = std::hypot(at.x() - q.x(), at.y() - q.y());
        if (d < best) {
            best = d;
            best_pt = q;
        }
    }
    if (!(best < tol)) return 0;
    nearest = best_pt;
    kind = Pick_On_Bspline;
    return 1;
}

void MB_Bspline::fit_job(Generate_Spline& job) const
{
    const int f = m_fitpts.count();
    double start[3] = {m_start_tangent.x(), m_start_tangent.y(), m_start_tangent.z()};
    double end[3] = {m_end_tangent.x(), m_end_tangent.y(), m_end_tangent.z()};
    job.init(m_degree, f, k_fit_tolerance, start, end, 0, k_tessellation);
    if (!job.m_points) return;
    for (int i = 0; i < f; ++i) {
        const Qe_Pt& p = m_fitpts.points()[i];
        job.m_points[3 * i] = p.x();
        job.m_points[3 * i + 1] = p.y();
        job.m_points[3 * i + 2] = p.z();
    }
    job.generate();
}

bool MB_Bspline::fitted_control(std::vector<Qe_Pt>& control, std::vector<double>& knots) const
{
    if (m_fitpts.count() == 0) return false;
    Generate_Spline job;
    fit_job(job);
    if (job.m_ctrl_count <= 0 || !job.m_ctrl_points || !job.m_knots || job.m_knot_count != job.m_ctrl_count + 4)
        return false;
    control.clear();
    for (int i = 0; i < job.m_ctrl_count; ++i)
        control.emplace_back(job.m_ctrl_points[i][0], job.m_ctrl_points[i][1], job.m_ctrl_points[i][2]);
    knots.assign(job.m_knots, job.m_knots + job.m_knot_count);
    return true;
}

std::vector<Qe_Pt> MB_Bspline::curve_points()
{
    const int f = m_fitpts.count();
    if (f > 0) {
        Generate_Spline job;
        fit_job(job);
        if (!job.m_points) return {};
        std::vector<Qe_Pt> out = take_points(job.m_poly_count, job.m_poly_points);
        job.m_poly_points = nullptr;
        job.m_poly_count = 0;
        return out;
    }
    const int c = m_ctlpts.count();
    std::vector<double> flat(static_cast<std::size_t>(c) * 3);
    std::vector<Qe_Pt> polygon(static_cast<std::size_t>(c));
    for (int i = 0; i < c; ++i) {
        const Qe_Pt& p = m_ctlpts.points()[i];
        polygon[i] = Qe_Pt(p.x(), p.y(), 0.0);
        flat[3 * i] = p.x();
        flat[3 * i + 1] = p.y();
        flat[3 * i + 2] = 0.0;
    }
    std::vector<double> weights(static_cast<std::size_t>(c), 1.0);
    // The count never exceeds the array, so the library reads only knots that exist.
    const int knots = static_cast<int>(std::min<unsigned long>(m_knot_count, INT_MAX));
    int n = 0;
    double(*pts)[3] = nullptr;
    gr_splinegen1(m_degree, m_spline_flag, knots, m_knots, m_fit_tol, c, reinterpret_cast<double(*)[3]>(flat.data()),
                  weights.data(), 0.0, k_tessellation, &n, &pts);
    std::vector<Qe_Pt> out = take_points(n, pts);
    return out.empty() ? polygon : out;
}

void MB_Bspline::build_draw()
{
    if (m_fitpts.count() == 0 && m_ctlpts.count() == 0) return;
    const std::vector<Qe_Pt> pts = curve_points();
    if (pts.empty()) return;
    mb_set_edge(*this, static_cast<int>(pts.size()), pts.data());
}

void MB_Bspline::draw_key_point(HDC, Qe_Qdc& qdc, const Qe_Tran& t)
{
    mb_draw_grips(qdc.GetDC(), m_fitpts.points(), m_fitpts.count(), t);
}

void MB_Bspline::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_ctlpts.translate(t);
    m_fitpts.translate(t);
}
