#include "curves/spline_gen.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "curves/curve_status.h"
#include "curves/curve_tessellation.h"
#include "curves/nurbs.h"
#include "curves/spline_fit.h"

constinit Generate_Spline g_computer_spline;

Generate_Spline::Generate_Spline(int degree, int point_count, double fit_tol, double* const start_tangent,
                                 double* const end_tangent, int tangent_flag, double tess_tol)
{
    store(degree, point_count, fit_tol, start_tangent, end_tangent, tangent_flag, tess_tol);
}

Generate_Spline::Generate_Spline(const Generate_Spline& other)
{
    copy_from(other);
}

Generate_Spline& Generate_Spline::operator=(const Generate_Spline& other)
{
    if (this != &other) {
        release();
        copy_from(other);
    }
    return *this;
}

Generate_Spline::~Generate_Spline()
{
    release();
}

void Generate_Spline::release()
{
    delete[] m_points;
    m_points = nullptr;
    m_point_count = 0;
    std::free(m_poly_points);
    std::free(m_ctrl_points);
    std::free(m_knots);
    m_poly_points = nullptr;
    m_ctrl_points = nullptr;
    m_knots = nullptr;
    m_poly_count = m_ctrl_count = m_knot_count = 0;
}

void Generate_Spline::store(int degree, int point_count, double fit_tol, double* const start_tangent,
                            double* const end_tangent, int tangent_flag, double tess_tol)
{
    m_degree = degree;
    m_fit_tol = fit_tol;
    for (int i = 0; i < 3; ++i) {
        m_start_tangent[i] = start_tangent ? start_tangent[i] : 0.0;
        m_end_tangent[i] = end_tangent ? end_tangent[i] : 0.0;
    }
    m_tangent_flag = tangent_flag;
    m_tess_tol = tess_tol;
    m_poly_points = m_ctrl_points = nullptr;
    m_knots = nullptr;
    m_poly_count = m_ctrl_count = m_knot_count = 0;
    m_points = nullptr;
    m_point_count = 0;
    // A count whose storage cannot be had leaves the job without input: generate() then
    // does nothing instead of reading an array that is not there.
    if (point_count > 0 && static_cast<size_t>(point_count) <= SIZE_MAX / (3 * sizeof(double))) {
        m_points = new (std::nothrow) double[static_cast<size_t>(point_count) * 3];
        if (m_points) m_point_count = point_count;
    }
}

void Generate_Spline::init(int degree, int point_count, double fit_tol, double* const start_tangent,
                           double* const end_tangent, int tangent_flag, double tess_tol)
{
    release();
    store(degree, point_count, fit_tol, start_tangent, end_tangent, tangent_flag, tess_tol);
}

namespace {
template <class T>
T* duplicate(const T* src, int count, size_t each, int& out_count)
{
    out_count = 0;
    if (!src || count <= 0) return nullptr;
    T* block = static_cast<T*>(std::malloc(each * static_cast<size_t>(count)));
    if (block) {
        std::memcpy(block, src, each * static_cast<size_t>(count));
        out_count = count;
    }
    return block;
}
}  // namespace

void Generate_Spline::copy_from(const Generate_Spline& o)
{
    store(o.m_degree, 0, o.m_fit_tol, const_cast<double*>(o.m_start_tangent), const_cast<double*>(o.m_end_tangent),
          o.m_tangent_flag, o.m_tess_tol);
    if (o.m_points && o.m_point_count > 0) {
        m_points = new (std::nothrow) double[static_cast<size_t>(o.m_point_count) * 3];
        if (m_points) {
            std::memcpy(m_points, o.m_points, sizeof(double) * 3 * static_cast<size_t>(o.m_point_count));
            m_point_count = o.m_point_count;
        }
    }
    m_poly_points = duplicate(o.m_poly_points, o.m_poly_count, sizeof(double[3]), m_poly_count);
    m_ctrl_points = duplicate(o.m_ctrl_points, o.m_ctrl_count, sizeof(double[3]), m_ctrl_count);
    int knots = 0;
    m_knots = duplicate(o.m_knots, o.m_knot_count, sizeof(double), knots);
    m_knot_count = knots;
}

void Generate_Spline::generate()
{
    if (m_point_count == 0 || !m_points) return;
    gr_splinegen2(m_degree, m_point_count, reinterpret_cast<double(*)[3]>(m_points), m_fit_tol, m_start_tangent,
                  m_end_tangent, m_tangent_flag, m_tess_tol, &m_poly_count, &m_poly_points, &m_ctrl_count,
                  &m_ctrl_points, &m_knot_count, &m_knots);
}

CNURBS* make_control_spline(int degree, int knot_count, const double* knots, int ctrl_count,
                            const double (*ctrl)[3], const double* weights, int& status)
{
    status = curve_status::ok;
    if (!(ctrl_count < knot_count) || degree < 1 || degree > g_max_degree || !knots || !ctrl || !weights) {
        status = curve_status::bad_argument;
        return nullptr;
    }
    int st = curve_status::ok;
    std::unique_ptr<CKnotVector> kv(new (std::nothrow) CKnotVector(degree, ctrl_count, st));
    std::unique_ptr<CPointArray> pts(new (std::nothrow) CPointArray());
    std::unique_ptr<CDoubleArray> w(new (std::nothrow) CDoubleArray(ctrl_count > 0 ? ctrl_count : 0, st));
    std::unique_ptr<CNURBS> curve;
    if (!kv || !pts || !w) st = curve_status::no_memory;
    if (st == curve_status::ok && ctrl_count < 1) st = curve_status::inconsistent;
    if (st == curve_status::ok) {
        for (int i = 0; i < ctrl_count; ++i) (*kv)[i] = knots[i];
        kv->set_knot(ctrl_count, knots[ctrl_count]);
        for (int i = 0; i < ctrl_count && st == curve_status::ok; ++i) {
            (*w)[i] = weights[i];
            st = pts->append(Qe_Pt(ctrl[i][0] * weights[i], ctrl[i][1] * weights[i], ctrl[i][2] * weights[i]));
        }
    }
    if (st == curve_status::ok) {
        void* room = ::operator new(sizeof(CNURBS), std::nothrow);
        if (!room) {
            st = curve_status::no_memory;
        } else {
            curve.reset(new (room) CNURBS(kv.release(), pts.release(), w.release(), st));
        }
    }
    status = st;
    return st == curve_status::ok ? curve.release() : nullptr;
}

int gr_splinegen1(int degree, int, int knot_count, double* knots, double, int ctrl_count, double (*ctrl)[3],
                  double* weights, double, double tess_tol, int* out_count, double (**out_points)[3])
{
    int st = curve_status::ok;
    std::unique_ptr<CNURBS> curve(make_control_spline(degree, knot_count, knots, ctrl_count, ctrl, weights, st));
    // Bad arguments write nothing.
    if (st == curve_status::bad_argument) return map_curve_status(st);
    if (st == curve_status::ok && out_points) return tessellate_curve(curve.get(), tess_tol, out_count, out_points);
    if (st != curve_status::ok && out_points) {
        std::free(*out_points);
        *out_points = nullptr;
        if (out_count) *out_count = 0;
    }
    return map_curve_status(st);
}

int gr_splinegen2(int, int point_count, double (*points)[3], double fit_tol, double* const start_tangent,
                  double* const end_tangent, int tangent_flag, double tess_tol, int* out_poly_count,
                  double (**out_poly)[3], int* out_ctrl_count, double (**out_ctrl)[3], int* out_knot_count,
                  double** out_knots)
{
    CNURBS* raw = nullptr;
    int st =
        static_cast<int>(GetFittingSpline(point_count, points, fit_tol, start_tangent, end_tangent, tangent_flag, raw));
    std::unique_ptr<CNURBS> curve(raw);
    int result = map_curve_status(st);
    if (st == curve_status::ok) {
        const int c = curve->control_count();
        if (out_ctrl_count) *out_ctrl_count = c;
        if (out_ctrl) {
            *out_ctrl = static_cast<double(*)[3]>(std::malloc(sizeof(double[3]) * static_cast<size_t>(c)));
            if (!*out_ctrl) st = curve_status::no_memory;
            for (int i = 0; i < c && *out_ctrl; ++i) {
                const Qe_Pt p = curve->control_point(i);
                (*out_ctrl)[i][0] = p.x();
                (*out_ctrl)[i][1] = p.y();
                (*out_ctrl)[i][2] = p.z();
            }
        }
        if (st == curve_status::ok) {
            if (out_knot_count) *out_knot_count = c + 4;
            if (out_knots) {
                *out_knots = static_cast<double*>(std::malloc(sizeof(double) * static_cast<size_t>(c + 4)));
                if (!*out_knots) st = curve_status::no_memory;
                for (int i = 0; i < c + 4 && *out_knots; ++i) (*out_knots)[i] = curve->knots()->knot(i);
            }
        }
        result = map_curve_status(st);
        if (st == curve_status::ok && out_poly)
            result = tessellate_curve(curve.get(), tess_tol, out_poly_count, out_poly);
    }
    if (result != 0) {
        // A failed fit leaves no polyline either, whatever the caller's arrays held.
        if (out_poly) {
            std::free(*out_poly);
            *out_poly = nullptr;
        }
        if (out_poly_count) *out_poly_count = 0;
        if (out_ctrl) {
            std::free(*out_ctrl);
            *out_ctrl = nullptr;
        }
        if (out_knots) {
            std::free(*out_knots);
            *out_knots = nullptr;
        }
        if (out_ctrl_count) *out_ctrl_count = 0;
        if (out_knot_count) *out_knot_count = 0;
    }
    return result;
}
