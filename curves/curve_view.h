#pragma once

// Arc-length parameterisation: the map from arc length to a curve's parameter, held as a
// rational-linear spline through nodes (length, parameter, dt/dL), and the view that puts
// it in front of a curve.

#include <memory>

#include "curves/curve.h"
#include "curves/curve_function.h"

class FENDRAL_API CArcLengthMap : public CCurveFunction {
public:
    // From n = lengths.count() >= 2 nodes. 2100 unless the other lists hold n values,
    // |dt/dL| at the first node exceeds 1e-9, and lengths, parameters and dt/dL all run
    // one way (each step at least 1e-9); 2 when out of memory.
    CArcLengthMap(const CDoubleArray& lengths, const CDoubleArray& params, const CDoubleArray& derivs, int& status);
    CArcLengthMap(const CArcLengthMap& other, int& status);
    ~CArcLengthMap() override;

    CCurveFunction* clone() const override;
    // t(L), L clamped into the range first; status 1 where the map breaks down.
    int value(double l, double& t) const override;
    // t(L) and dt/dL; 2104 where the map breaks down.
    int value_and_derivative(double l, double& t, double& dt) const override;

private:
    std::unique_ptr<CNURBS> m_map;  // degree 1, points (w t, w, 0)
};

class FENDRAL_API CCurveView : public CCurve {
public:
    // Takes over map (also on failure); the base curve is not owned. 2100 when either is
    // missing.
    CCurveView(const CCurve* base, CArcLengthMap* map, int& status);
    ~CCurveView() override;

    const CCurve* base() const { return m_base; }
    const CArcLengthMap* map() const { return m_map.get(); }
    // The base parameter at arc length l.
    int base_param(double l, double& t) const;

    CCurve* clone() const override;
    double start_param() const override;
    double end_param() const override;
    double period() const override;
    int point_and_tangent(double l, Qe_Pt& p, Qe_Vec& d) const override;
    int point(double l, Qe_Pt& p) const override;
    int curve_flag() const override;

private:
    const CCurve* m_base;
    std::unique_ptr<CArcLengthMap> m_map;
};
