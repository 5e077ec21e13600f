#pragma once

// The abstract curve of the curve library. Parameters are doubles, points and vectors
// three doubles; the plane of the library is XY, so signed curvature and planar cross
// products use the axis (0, 0, 1) unless another is given. Operations return a curve
// status (curve_status.h); operations that a kind does not provide return -1 and change
// nothing.

#include "curves/curve_arrays.h"
#include "geometry/fendral_api.h"
#include "geometry/point.h"

class CPointMap;
class CPointCollector;

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
    // Ten equal parameter parts, each integrated by 6-point Gauss-Legendre.
    virtual int length(double& out) const;
    // x is the fineness 1 / (2 t^2) of the tessellation value t; a larger t gives more points.
    virtual int tessellate(double x, const CPointMap* map, CPointCollector& out) const;
    // The shared body is an adaptive stepper driven by chord-error probes.
    virtual int subdivide(double a, double b, double x, const CPointMap* map, CPointCollector& out) const;
    virtual bool is_closed() const;
    // Five parameters: start, then four steps of a quarter of the range.
    virtual int sample_params(CDoubleArray& out, const double* start = nullptr, const double* end = nullptr) const;
    virtual int set_range(double a, double b);
    virtual int set_start(double a);
    virtual int set_end(double b);
    virtual int next_corner(double t, double& out) const;
    virtual int curvature(double t, double& k, const Qe_Vec* axis = nullptr) const;
    virtual int translate(const Qe_Vec& v);
    virtual int start_point(Qe_Pt& p) const;
    virtual int end_point(Qe_Pt& p) const;
    virtual bool has_finite_range() const;
    // The shared body hands out the curve itself and counts one piece (status 14).
    virtual int split(int& count, CCurve*& out);
};
