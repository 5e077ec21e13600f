#pragma once

// Osculating-circle Newton solvers: each step replaces a curve by its osculating circle
// (or its tangent line where it is straight) and takes the exact solution of the circle
// and line problem as the parameter step. Both work in the XY plane.

#include "curves/curve.h"

// Point, unit tangent, speed, signed curvature, signed radius and centre at t. The radius
// is 1/k, 1e30 for a straight frame (|s k| <= 0.001) and 0 for a degenerate one (speed
// below 1e-9, then s = 0); the centre is P + R (z x T), P when R is 0.
struct COsculatingFrame {
    Qe_Pt p;
    Qe_Vec t;
    double s = 0.0;
    double k = 0.0;
    double r = 0.0;
    Qe_Pt m;
};

inline constexpr double g_straight_radius = 1e30;

FENDRAL_API int osculating_frame(const CCurve& curve, double t, COsculatingFrame& f);

// Moves the parameters of two curves until their points meet. The base class's steps all
// answer 14 and its convergence test never converges; CCurvePairSolver supplies them.
class FENDRAL_API CCurvePairStepper {
public:
    CCurvePairStepper(const CCurve* a, const CCurve* b, double tolerance);
    virtual ~CCurvePairStepper();
    // i stays, j moves (0 = A, 1 = B).
    virtual int step_point_to_line(int i, int j);
    virtual int step_point_to_circle(int i, int j);
    virtual int step_line_line();
    virtual int step_line_circle(int line, int circle);
    virtual int step_circle_circle();
    virtual bool has_converged();

    // Status; tA, tB hold the parameters reached (normalised on success).
    int solve(double ta0, double tb0);
    // The curves touch with one tangent direction and one curvature at the solution.
    bool is_overlap();

    double ta() const { return m_t[0]; }
    double tb() const { return m_t[1]; }
    double last_distance_sq() const { return m_d2; }

protected:
    const CCurve* m_curve[2];
    double m_t[2] = {0.0, 0.0};
    double m_dt[2] = {0.0, 0.0};
    COsculatingFrame m_f[2];
    bool m_stop = false;
    double m_tol2;
    double m_d2 = 0.0;
};

class FENDRAL_API CCurvePairSolver : public CCurvePairStepper {
public:
    CCurvePairSolver(const CCurve* a, const CCurve* b, double tolerance) : CCurvePairStepper(a, b, tolerance) {}
    int step_point_to_line(int i, int j) override;
    int step_point_to_circle(int i, int j) override;
    int step_line_line() override;
    int step_line_circle(int line, int circle) override;
    int step_circle_circle() override;
    bool has_converged() override;
};

// Moves one curve parameter until the curve point is nearest to Q.
class FENDRAL_API CPointStepper {
public:
    CPointStepper(const CCurve* curve, const Qe_Pt& q, double tolerance);
    virtual ~CPointStepper();
    virtual int step_to_line();
    virtual int step_to_circle();
    virtual bool has_converged();

    // Status; on success t is normalised and point() is the curve point there.
    int solve(double t0);
    double t() const { return m_t; }
    const Qe_Pt& point() const { return m_f.p; }
    double last_distance_sq() const { return m_d2; }

protected:
    const CCurve* m_curve;
    double m_t = 0.0;
    double m_dt = 0.0;
    COsculatingFrame m_f;
    bool m_stop = false;
    Qe_Pt m_q;
    double m_tol2;
    double m_d2 = 0.0;
};

class FENDRAL_API CPointProjector : public CPointStepper {
public:
    CPointProjector(const CCurve* curve, const Qe_Pt& q, double tolerance) : CPointStepper(curve, q, tolerance) {}
    int step_to_line() override;
    int step_to_circle() override;
    bool has_converged() override;
};

// angle(u, v) = atan2((u x v) . z, u . v).
FENDRAL_API double plane_angle(const Qe_Vec& u, const Qe_Vec& v);
