#pragma once

// The abstract curve of the curve library. Parameters are doubles, points and vectors
// three doubles; the plane of the library is XY, so signed curvature and planar cross
// products use the axis (0, 0, 1) unless another is given. Operations return a curve
// status (curve_status.h); operations that a kind does not provide return -1 (or 14 where
// said) and change nothing. The operations are declared in their slot order.

#include <cstdint>
#include <memory>

#include "curves/curve_arrays.h"
#include "geometry/fendral_api.h"
#include "geometry/point.h"

class CPointMap;
class CPointCollector;
class CCurveBox;
class CCurveFunction;
class CCurveView;
class CKnotVector;
class CNURBS;
class CCurve;

// Visitors of curves: accept calls operation 1 (visit) for most kinds and operation 2
// (visit_nurbs) for a rational B-spline; accept_nurbs calls operation 7. The operations
// that a visitor does not provide answer -1.
class FENDRAL_API CCurveVisitor {
public:
    virtual ~CCurveVisitor();
    virtual int visit(CCurve& curve);             // operation 1
    virtual int visit_nurbs(CNURBS& curve);       // operation 2
    virtual int visit_nurbs_data(CNURBS& curve);  // operation 7
};

class FENDRAL_API CCurve {
public:
    CCurve() = default;
    CCurve(const CCurve&) = delete;
    CCurve& operator=(const CCurve&) = delete;
    virtual ~CCurve();

    // A new copy, or null when it cannot be made.
    virtual CCurve* clone() const = 0;
    virtual double start_param() const = 0;
    virtual double end_param() const = 0;
    // 0 when the curve is not periodic.
    virtual double period() const = 0;
    // Point, unit tangent, signed curvature about axis (1e30 where the speed vanishes)
    // and, when asked, the speed |dP/dt|.
    virtual int local_frame(double t, Qe_Pt& p, Qe_Vec& tangent, double& k, double* speed = nullptr,
                            const Qe_Vec* axis = nullptr) const;
    // out[0] the point (as a vector from the origin), out[i] the i-th derivative.
    virtual int derivatives(double t, int order, Qe_Vec* out) const;
    virtual int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const;
    virtual int point(double t, Qe_Pt& p) const = 0;
    virtual int kind() const;
    virtual int size_estimate() const;
    // Brings t into the range (by whole periods on a periodic curve, snapping to an end
    // within 1e-9); false when it lies outside or more than 1000 periods away.
    virtual bool normalize_param(double& t) const;
    virtual int curve_flag() const;
    virtual bool transforms_exactly() const;
    virtual bool is_rational() const;
    virtual bool is_degenerate() const;
    virtual int homogeneous_point(double t, Qe_Pt& p, double& w) const;
    virtual int set_end_control_point(int which, const Qe_Pt& p);
    // Widens box by the curve (each point through map when one is given); tight follows
    // the curve itself, otherwise a cheaper enclosing box may be given.
    virtual int bounding_box(bool tight, CCurveBox& box, const CPointMap* map = nullptr) const;
    virtual int tight_bounding_box(CCurveBox& box, const CPointMap* map = nullptr) const;
    // Planar arc length: ten equal parameter parts, each through integrate.
    virtual int length(double& out) const;
    // Adds the integral of (P x dP/dt) . axis over the range (twice the swept area).
    virtual int sweep_integral(double& sum, const Qe_Vec* axis = nullptr) const;
    // The nearest point to q found from the break and sample parameters, away from the
    // excluded parameter; the search stops once one lies within tol. 14 when none is found
    // (outputs untouched).
    virtual int closest_point(const Qe_Pt& q, Qe_Pt& p, double& t, double& dist, double tol,
                              double excluded = 1e30) const;
    // Osculating-circle steps from t0 towards the foot of q; d2 the squared distance.
    virtual int project_from(const Qe_Pt& q, double t0, Qe_Pt& p, double& t, double& d2) const;
    // closest_point, then the end points (the start one unless skip_start) when nearer.
    virtual int nearest_point_with_ends(const Qe_Pt& q, Qe_Pt& p, double& t, double& dist,
                                        bool skip_start = false) const;
    virtual bool contains_point(const Qe_Pt& q, double tol) const;
    // x is the fineness 1 / (2 t^2) of the tessellation value t; a larger t gives more points.
    virtual int tessellate(double x, const CPointMap* map, CPointCollector& out) const;
    // The shared body is an adaptive stepper driven by chord-error probes.
    virtual int subdivide(double a, double b, double x, const CPointMap* map, CPointCollector& out) const;
    virtual bool is_closed() const;
    // Appends start parameters for searches over the range (or over [start, end]).
    virtual int sample_params(CDoubleArray& out, const double* start = nullptr, const double* end = nullptr) const;
    virtual int set_range(double a, double b);
    virtual int set_start(double a);
    virtual int set_end(double b);
    // curve must hold this curve. On success it holds the curve over [a, b]: this one
    // with its range set, or a new curve (this one destroyed). On failure it is unchanged.
    virtual int trim(double a, double b, std::unique_ptr<CCurve>& curve);
    // A new sorted list of the parameters where the curve is at most C^(p - c - 1).
    virtual int break_params(int c, std::unique_ptr<CDoubleArray>& out) const;
    // The curve over [a, b] parameterised by arc length from a.
    virtual int arc_length_view(double a, double b, std::unique_ptr<CCurveView>& out) const;
    // The first corner after t; 14 (out = end) when there is none.
    virtual int next_corner(double t, double& out) const;
    // Knots of a cubic B-spline that follows the curve within tol.
    virtual int approximation_knots(double tol, std::unique_ptr<CKnotVector>& out) const;
    // Fourth differences of the points at t + k h / 8 (samples[0] given, the others
    // filled): 0 when they stay within tol, else 14; err gets the measure in both cases.
    virtual int approximation_error(double t, double h, double tol, Qe_Pt samples[9], double& err) const;
    virtual int transform_in_place(const CPointMap& map);
    // An exact transformed clone, or a mapped curve that refers to this curve and map.
    virtual int transformed_copy(const CPointMap& map, std::unique_ptr<CCurve>& out) const;
    virtual int reverse();
    // Pairs of parameters where the curve passes through itself, both into out (sorted,
    // values within 1e-6 kept once).
    virtual int self_intersections(CDoubleArray& out, double tol) const;
    virtual int integrate(const CCurveFunction& f, double a, double b, double& out) const;
    // Appends the flat form at cursor and advances it by flat_size() bytes.
    virtual int write_flat(std::uint8_t*& cursor) const;
    virtual int flat_size() const;
    virtual int curvature(double t, double& k, const Qe_Vec* axis = nullptr) const;
    virtual int translate(const Qe_Vec& v);
    virtual int to_nurbs(double tol, std::unique_ptr<CNURBS>& out) const;
    // A new offset curve that refers to this curve; axis defaults to (0, 0, 1).
    virtual int offset(double d, const Qe_Vec* axis, std::unique_ptr<CCurve>& out) const;
    virtual int accept(CCurveVisitor& v);
    virtual int accept_nurbs(CCurveVisitor& v);
    virtual int reserved_zero();
    // 2105 when a point of the curve has a coordinate beyond 1/|bound| or not finite.
    virtual int bound_test(double bound) const;
    virtual int start_point(Qe_Pt& p) const;
    virtual int end_point(Qe_Pt& p) const;
    virtual bool has_finite_range() const;
    // A parameter where the tangent line passes through q, by Newton steps from t0.
    virtual int tangent_from_point(const Qe_Pt& q, double t0, double& t) const;
    // Records the line parameter of each crossing with line (a line kind) in the extremes
    // that are given: [0] smallest and [1] largest non-negative, [2] largest and [3]
    // smallest non-positive. With keep_zero an extreme not above 1e-9 in magnitude stays.
    virtual int line_crossings(const CCurve& line, bool keep_zero, double* extremes[4]) const;
    // Adds the number of crossings in front of the line's origin (a ray) to count.
    virtual int count_ray_crossings(const CCurve& line, int& count) const;
    virtual int reserved_minus_one();
    // The shared body hands out the curve itself and counts one piece (status 14).
    virtual int split(int& count, CCurve*& out);
    virtual int reserved_zero2();
};

// p, q, r lie on one line within tol: q within tol of p, or r within 2 tol of the line pq.
FENDRAL_API bool are_collinear(const Qe_Pt& p, const Qe_Pt& q, const Qe_Pt& r, double tol);
