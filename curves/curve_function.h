#pragma once

// Scalar functions of a curve parameter, the scalar Newton solver on them, and the
// quadrature that integrates them (CCurve::integrate). Lengths are planar: the speed is
// sqrt(x'^2 + y'^2) of the derivative.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

class CCurve;

class FENDRAL_API CCurveFunction {
public:
    CCurveFunction(const CCurve* curve, double start, double end) : m_curve(curve), m_start(start), m_end(end) {}
    CCurveFunction(const CCurveFunction&) = default;
    CCurveFunction& operator=(const CCurveFunction&) = delete;
    virtual ~CCurveFunction();

    // A new copy, or null when it cannot be made.
    virtual CCurveFunction* clone() const = 0;
    virtual double function_period() const;
    virtual int value_and_derivative(double t, double& f, double& df) const;
    virtual int value(double t, double& f) const;

    const CCurve* curve() const { return m_curve; }
    double start() const { return m_start; }
    double end() const { return m_end; }
    double result_tolerance() const { return m_result_tol; }
    double value_tolerance() const { return m_value_tol; }
    int iteration_limit() const { return m_iterations; }

protected:
    const CCurve* m_curve;  // not owned
    double m_start, m_end;
    double m_result_tol = 1e-9;
    double m_value_tol = 1e-15;
    int m_iterations = 20;
};

// Newton steps on f from t: 0 when |f| ends at most the result tolerance, else 14 (also
// for a non-finite t); evaluation failures are returned. A periodic function moves back
// into its range by whole periods, another is clamped to the range once and stops the
// second consecutive time.
FENDRAL_API int solve_function(const CCurveFunction& f, double& t);

// Planar speed |dP/dt| of the curve.
class FENDRAL_API CSpeedFunction : public CCurveFunction {
public:
    explicit CSpeedFunction(const CCurve* curve);
    CCurveFunction* clone() const override;
    int value(double t, double& f) const override;
    // 1 / speed, or -1 when the speed is not above 1e-9 or cannot be had.
    double inverse_value(double t) const;
};

// (P x dP/dt) . axis; its integral over a closed curve is twice the enclosed area.
class FENDRAL_API CSweepFunction : public CCurveFunction {
public:
    CSweepFunction(const CCurve* curve, const Qe_Vec& axis = Qe_Vec(0.0, 0.0, 1.0));
    CCurveFunction* clone() const override;
    int value(double t, double& f) const override;

private:
    Qe_Vec m_axis;
};

// Zero where the tangent line passes through Q.
class FENDRAL_API CTangentFromPointFunction : public CCurveFunction {
public:
    CTangentFromPointFunction(const CCurve* curve, const Qe_Pt& q);
    CCurveFunction* clone() const override;
    double function_period() const override;
    int value_and_derivative(double t, double& f, double& df) const override;

private:
    Qe_Pt m_q;
};

// Zero where the curve is extreme in direction v.
class FENDRAL_API CDirectionExtremeFunction : public CCurveFunction {
public:
    CDirectionExtremeFunction(const CCurve* curve, const Qe_Vec& v);
    CCurveFunction* clone() const override;
    double function_period() const override;
    int value_and_derivative(double t, double& f, double& df) const override;

private:
    Qe_Vec m_v;
};
