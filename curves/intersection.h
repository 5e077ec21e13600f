#pragma once

// Intersections of two curves: closed forms for pairs of straight lines and circles, the
// osculating-circle pair solve for everything else (started from candidates found by the
// boxes of the curves' pieces, or from sample parameters on curves without pieces), and
// the bookkeeping of the two sorted parameter lists.

#include <memory>

#include "curves/curve.h"

// A straight line supplied by a client of the library (kind 0): the point at t is
// origin + t direction.
class FENDRAL_API CLineCurve : public CCurve {
public:
    int kind() const override;
    virtual Qe_Pt line_origin() const = 0;
    virtual Qe_Vec line_direction() const = 0;
};

// A circle or ellipse supplied by a client (kind 2): centre + a1 cos u + a2 sin u.
class FENDRAL_API CCircleCurve : public CCurve {
public:
    int kind() const override;
    virtual Qe_Pt circle_centre() const = 0;
    virtual Qe_Vec circle_axis1() const = 0;
    virtual Qe_Vec circle_axis2() const = 0;

    // The larger axis length; true when the two lengths differ by at most 1e-6.
    bool circle_radius(double& r) const;
    // The angle of x about the centre in the axes' frame; -1 at the centre.
    int circle_angle(const Qe_Pt& x, double& angle) const;
};

class FENDRAL_API CIntersectionProblem {
public:
    // The curves are not owned; swapped says they come in the caller's reverse order.
    CIntersectionProblem(const CCurve* a, const CCurve* b, bool swapped) : m_a(a), m_b(b), m_swapped(swapped) {}
    virtual ~CIntersectionProblem();
    // A circle of radius r tangent to both curves, its tangent points in the last fraction
    // a of A's range and the first fraction b of B's; r may come back smaller. 14 when
    // none is found, -1 for fractions outside (1e-6, 1].
    virtual int fillet(double& r, double a, double b, double& ta, double& tb);
    // Every intersection into the caller's lists (parameters of its first and second
    // curve, each sorted).
    virtual int intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol);

protected:
    const CCurve* m_a;
    const CCurve* m_b;
    bool m_swapped;
};

class FENDRAL_API CLineLineProblem : public CIntersectionProblem {
public:
    using CIntersectionProblem::CIntersectionProblem;
    int fillet(double& r, double a, double b, double& ta, double& tb) override;
    int intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol) override;
};

class FENDRAL_API CLineCircleProblem : public CIntersectionProblem {
public:
    using CIntersectionProblem::CIntersectionProblem;
    int intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol) override;
};

class FENDRAL_API CCircleCircleProblem : public CIntersectionProblem {
public:
    using CIntersectionProblem::CIntersectionProblem;
    int intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol) override;
};

// The problem for the pair, the lower kind code first when swapping is allowed. A curve
// reporting kind 0 or 2 without being a line or circle kind gets the general problem.
FENDRAL_API int make_intersection_problem(const CCurve* a, const CCurve* b, bool may_swap,
                                          std::unique_ptr<CIntersectionProblem>& out);
// All intersections of a and b, end contacts included; the two lists are sorted each on
// its own and do not keep the pairing.
FENDRAL_API int intersect_curves(const CCurve* a, const CCurve* b, CDoubleArray& list_a, CDoubleArray& list_b,
                                 double tol);
// One pair solve from (ta0, tb0): 0 when the curves meet within tol (at least 1e-9) and
// do not overlap there, else 14.
FENDRAL_API int refine_intersection(const CCurve* a, const CCurve* b, double ta0, double tb0, double& ta, double& tb,
                                    double tol);
// Adds ta to list_a and tb to list_b (exchanged first when swapped), unless either list
// already holds a value within 1e-9.
FENDRAL_API int add_parameter_pair(double ta, double tb, bool swapped, CDoubleArray& list_a, CDoubleArray& list_b);
// +1 when b turns left of a at (ta, tb), else -1.
FENDRAL_API int turn_side(const CCurve* a, const CCurve* b, double ta, double tb, int& sign);
// x cos u + y sin u + a = 0: count 0, 1 or 2 solutions; -1 for |(x, y)| not above 1e-9.
FENDRAL_API int solve_trig(double x, double y, double a, int& count, double& u1, double& u2);
