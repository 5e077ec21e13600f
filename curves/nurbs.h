#pragma once

// The rational B-spline curve. Control points are stored in homogeneous form
// (x·w, y·w, z·w) beside their weights; a curve whose weights are all equal is held as
// non-rational (no weights). Indices of control points are taken cyclically, which is how
// a periodic (unclamped) curve closes on itself.

#include <memory>

#include "curves/curve.h"
#include "curves/knot_vector.h"

// Receiver of the span sampler: one homogeneous point with its weight and parameter.
class FENDRAL_API CSpanSampleSink {
public:
    virtual ~CSpanSampleSink();
    virtual int take(const Qe_Pt& homogeneous, double w, double t) = 0;
};

class FENDRAL_API CNURBS : public CCurve {
public:
    // Takes over the three pieces (weights may be null), also on failure. 2102 when the
    // knot count differs from the point count, the knots fail their check, the weight count
    // differs or a weight is below 1e-9; 2102 too for a non-finite control point.
    CNURBS(CKnotVector* knots, CPointArray* points, CDoubleArray* weights, int& status);
    // Conversion: a cubic on the approximation knots of source (tolerance tol) through the
    // source at the Greville abscissae.
    CNURBS(const CCurve& source, double tol, int& status);
    ~CNURBS() override;

    int degree() const { return m_knots ? m_knots->degree() : 0; }
    int control_count() const { return m_points ? m_points->count() : 0; }
    const CKnotVector* knots() const { return m_knots.get(); }
    double weight(int i) const;
    Qe_Pt control_point(int i) const;
    Qe_Pt homogeneous_control_point(int i) const { return (*m_points)[i]; }

    CCurve* clone() const override;
    double start_param() const override { return m_start; }
    double end_param() const override { return m_end; }
    double period() const override { return m_period; }
    int derivatives(double t, int order, Qe_Vec* out) const override;
    int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const override;
    int point(double t, Qe_Pt& p) const override;
    int kind() const override;
    int size_estimate() const override;
    int curve_flag() const override { return m_flag; }
    bool transforms_exactly() const override;
    bool is_rational() const override { return m_weights != nullptr; }
    // de Boor's algorithm on the homogeneous points.
    int homogeneous_point(double t, Qe_Pt& p, double& w) const override;
    int set_end_control_point(int which, const Qe_Pt& p) override;
    // Not tight: the box of the control points. Tight: the tessellation with every
    // extreme refined by Newton steps on the curve.
    int bounding_box(bool tight, CCurveBox& box, const CPointMap* map = nullptr) const override;
    int subdivide(double a, double b, double x, const CPointMap* map, CPointCollector& out) const override;
    // p parameters inside each knot span overlapping [start, end], cut to it.
    int sample_params(CDoubleArray& out, const double* start = nullptr, const double* end = nullptr) const override;
    int set_range(double a, double b) override;
    int set_start(double a) override;
    int set_end(double b) override;
    // A new curve over [a, b] on a clamped knot vector; 2100 for b - a below 1e-9, a range
    // outside the knots of a clamped curve or longer than a period. Within 1e-9 of the
    // whole knot range the curve itself is kept.
    int trim(double a, double b, std::unique_ptr<CCurve>& curve) override;
    int break_params(int c, std::unique_ptr<CDoubleArray>& out) const override;
    int arc_length_view(double a, double b, std::unique_ptr<CCurveView>& out) const override;
    // A knot of multiplicity p or more where the curve does not go straight on.
    int next_corner(double t, double& out) const override;
    int transform_in_place(const CPointMap& map) override;
    int reverse() override;
    int self_intersections(CDoubleArray& out, double tol) const override;
    int bound_test(double bound) const override;
    // The tessellation checked point by point as it is made.
    bool contains_point(const Qe_Pt& q, double tol) const override;
    int line_crossings(const CCurve& line, bool keep_zero, double* extremes[4]) const override;
    int count_ray_crossings(const CCurve& line, int& count) const override;
    // Span by span; 2100 for limits beyond a clamped curve's knots or past one period.
    int integrate(const CCurveFunction& f, double a, double b, double& out) const override;
    int write_flat(std::uint8_t*& cursor) const override;
    int flat_size() const override;
    int translate(const Qe_Vec& v) override;
    int to_nurbs(double tol, std::unique_ptr<CNURBS>& out) const override;
    int accept(CCurveVisitor& v) override;
    int accept_nurbs(CCurveVisitor& v) override;
    // Cloned, the clone ending at the next corner and this curve starting there.
    int split(int& count, CCurve*& out) override;

    // Raises the multiplicity of t (snapped to a knot within 1e-9) to p - k; index is the
    // knot index after its run, count the number inserted (0 when none is needed).
    int insert_knot(double& t, int k, int& index, int& count);
    // Control points a .. a + m - 1 (indices cyclic) from source, so that this curve
    // passes through it at their Greville abscissae; the other points stay.
    int greville_interpolate(const CCurve& source, int a, int m);

    // Every span of non-zero length sampled at 3p + 1 equal steps, ends included.
    int sample_spans(CSpanSampleSink& sink) const;
    // Exchanges knots, control points and weights with other.
    void swap_contents(CNURBS& other);
    // Clears the curve to an empty state (no knots, no points).
    void reset();

    // Homogeneous point (x·w, y·w, z·w, w) in span s at u; s from the knot vector.
    void deboor(int s, double u, double out[4]) const;
    // Homogeneous points at t0 + k·step, k = 0 .. n: the first p + 1 directly, the rest by
    // forward differences. emit(k, point) is called for k in [first, n]; it returns a status.
    template <class Emit>
    int forward_points(int s, double t0, double step, int n, int first, Emit&& emit) const;

private:
    CNURBS() = default;
    int evaluate(double t, int order, Qe_Vec* out) const;

    std::unique_ptr<CKnotVector> m_knots;
    std::unique_ptr<CPointArray> m_points;
    std::unique_ptr<CDoubleArray> m_weights;
    double m_start = 0.0;
    double m_end = 0.0;
    double m_period = 0.0;
    int m_flag = 0;
};

template <class Emit>
int CNURBS::forward_points(int s, double t0, double step, int n, int first, Emit&& emit) const
{
    const int p = degree();
    double d[10][4];  // forward differences of orders 0 .. p (p <= 9)
    const int direct = n < p ? n : p;
    for (int k = 0; k <= direct; ++k) {
        deboor(s, t0 + k * step, d[k]);
        if (k >= first) {
            int st = emit(k, d[k]);
            if (st != 0) return st;
        }
    }
    if (n <= p) return 0;
    // Turn the p + 1 points into a difference table: d[j] becomes the j-th difference at 0,
    // then walk it forwards so that each further point costs additions only.
    for (int j = 1; j <= p; ++j)
        for (int k = p; k >= j; --k)
            for (int c = 0; c < 4; ++c) d[k][c] -= d[k - 1][c];
    for (int k = 0; k < p; ++k)  // advance the table to point p
        for (int j = 0; j < p; ++j)
            for (int c = 0; c < 4; ++c) d[j][c] += d[j + 1][c];
    for (int k = p + 1; k <= n; ++k) {
        for (int j = 0; j < p; ++j)
            for (int c = 0; c < 4; ++c) d[j][c] += d[j + 1][c];
        if (k >= first) {
            int st = emit(k, d[0]);
            if (st != 0) return st;
        }
    }
    return 0;
}
