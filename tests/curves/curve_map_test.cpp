#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "curves/curve_box.h"
#include "curves/curve_fixtures.h"
#include "curves/mapped_curve.h"
#include "curves/offset_curve.h"
#include "curves/point_map.h"

namespace {

CAffineMap affine(double a, double b, double c, double d, double tx, double ty) {
    const double m[3][3] = {{a, b, 0}, {c, d, 0}, {0, 0, 1}};
    return CAffineMap(m, Qe_Vec(tx, ty, 0));
}

// Rotation by r after scaling by (sx, sy).
CAffineMap rotated_scale(double r, double sx, double sy, double tx, double ty) {
    return affine(std::cos(r) * sx, -std::sin(r) * sy, std::sin(r) * sx, std::cos(r) * sy, tx, ty);
}

TEST(CurveMaps, AffineCopiesOfRationalCurves) {
    const CAffineMap m = affine(1.3, 0.4, -0.7, 0.9, 5, -2);
    for (auto& c : {fx::nine_point_circle(2.0), fx::quarter_circle(1.5)}) {
        std::unique_ptr<CCurve> copy;
        ASSERT_EQ(c->transformed_copy(m, copy), 0);
        EXPECT_EQ(copy->kind(), 4);  // exact: a rational B-spline again
        for (int i = 0; i <= 80; ++i) {
            const double u = c->start_param() + (c->end_param() - c->start_param()) * i / 80;
            Qe_Pt p, q;
            ASSERT_EQ(c->point(u, p), 0);
            ASSERT_EQ(copy->point(u, q), 0);
            const long double x = 1.3L * p.x() + 0.4L * p.y() + 5, y = -0.7L * p.x() + 0.9L * p.y() - 2;
            EXPECT_NEAR(q.x(), static_cast<double>(x), 1e-13);
            EXPECT_NEAR(q.y(), static_cast<double>(y), 1e-13);
        }
    }
    // translate moves the Euclidean points of a rational curve.
    auto c = fx::nine_point_circle(1.0);
    ASSERT_EQ(c->translate(Qe_Vec(2, 3, 0)), 0);
    Qe_Pt p;
    ASSERT_EQ(c->point(0.5, p), 0);
    EXPECT_NEAR(std::hypot(p.x() - 2, p.y() - 3), 1.0, 1e-14);
}

// (x, y) -> (x + y^2, y): not affine, so the copy is a view through the map.
class Bend : public CPointMap {
public:
    Qe_Pt map_point(const Qe_Pt& p) const override { return Qe_Pt(p.x() + p.y() * p.y(), p.y(), p.z()); }
};

TEST(CurveMaps, MappedCurveEvaluatesPointsOnly) {
    auto c = fx::wavy();
    Bend bend;
    std::unique_ptr<CCurve> m;
    ASSERT_EQ(c->transformed_copy(bend, m), 0);
    EXPECT_EQ(m->kind(), 7);
    EXPECT_EQ(m->start_param(), c->start_param());
    EXPECT_EQ(m->end_param(), c->end_param());
    for (double u : {0.0, 1.3, 4.4}) {
        Qe_Pt p, q;
        ASSERT_EQ(c->point(u, p), 0);
        ASSERT_EQ(m->point(u, q), 0);
        EXPECT_EQ(q.x(), p.x() + p.y() * p.y());
    }
    Qe_Pt p;
    Qe_Vec d;
    double len = 0;
    EXPECT_EQ(m->point_and_tangent(1.0, p, d), -1);
    EXPECT_EQ(m->length(len), -1);
    std::unique_ptr<CCurve> copy(m->clone());
    ASSERT_TRUE(copy);
    int st = 0;
    CMappedCurve missing(nullptr, &bend, st);
    EXPECT_EQ(st, curve_status::bad_argument);
    // A rational B-spline moved through the bend in place is moved by its control points.
    EXPECT_EQ(bend.is_affine(), false);
    EXPECT_EQ(bend.map_vector(Qe_Vec(1, 0, 0), d), -1);
}

TEST(CurveMaps, AffineInversion) {
    const CAffineMap m = affine(1.3, 0.4, -0.7, 0.9, 5, -2);
    CAffineMap inv;
    ASSERT_EQ(inv.invert_from(m), 0);
    for (const Qe_Pt& p : {Qe_Pt(0, 0, 0), Qe_Pt(3, -4, 2), Qe_Pt(-1e3, 7, 1)}) {
        const Qe_Pt q = inv.map_point(m.map_point(p));
        EXPECT_LT((q - p).len(), 1e-12 * (1 + (p - Qe_Pt()).len()));
    }
    CAffineMap twice;
    ASSERT_EQ(twice.invert_from(inv), 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(twice.at(r, c), m.at(r, c), 1e-14);
    EXPECT_NEAR(twice.translation().x(), 5, 1e-14);
    ASSERT_EQ(inv.invert_from(inv), 0);  // in place
    EXPECT_NEAR(inv.at(0, 1), 0.4, 1e-14);
    const CAffineMap flat = affine(1, 2, 2, 4, 0, 0);
    EXPECT_EQ(inv.invert_from(flat), curve_status::zero_weight);
    EXPECT_NEAR(inv.at(0, 1), 0.4, 1e-14);  // unchanged
    CPointArray a, b;
    a.append(Qe_Pt(1, 1, 0));
    a.append(Qe_Pt(2, 0, 0));
    EXPECT_EQ(m.map_points(a, b), curve_status::bad_argument);
    b.append(Qe_Pt());
    b.append(Qe_Pt());
    ASSERT_EQ(m.map_points(a, b), 0);
    ASSERT_EQ(m.map_points_in_place(a), 0);
    EXPECT_EQ(a[1].x(), b[1].x());
    EXPECT_EQ(b[1].x(), 1.3 * 2 + 5);
}

std::unique_ptr<CCurve> offset_of(const CCurve& c, double d, Qe_Vec axis = Qe_Vec(0, 0, 1)) {
    std::unique_ptr<CCurve> o;
    EXPECT_EQ(c.offset(d, &axis, o), 0);
    return o;
}

TEST(OffsetCurve, SegmentsAndCircles) {
    auto seg = fx::nurbs(1, {0, 0}, 1, {{0, 0, 0}, {10, 0, 0}});
    auto o = offset_of(*seg, 2.0);
    Qe_Pt p, q;
    ASSERT_EQ(o->start_point(p), 0);
    ASSERT_EQ(o->end_point(q), 0);
    EXPECT_LT((p - Qe_Pt(0, 2, 0)).len(), 1e-15);
    EXPECT_LT((q - Qe_Pt(10, 2, 0)).len(), 1e-15);
    Qe_Vec t;
    double k = 9, s = 0;
    ASSERT_EQ(o->local_frame(0.3, p, t, k, &s), 0);
    EXPECT_EQ(k, 0.0);
    EXPECT_EQ(s, 10.0);
    // Circles of radius R, counter-clockwise: d to the left is towards the centre.
    struct Case {
        double r, d, k, speed;
        bool flipped;
    } cases[] = {
        {2, 0.5, 1 / 1.5, 1.5, false}, {2, -0.5, 1 / 2.5, 2.5, false},
        {1, 3, 0.5, 2, true},           // past the centre: counter-clockwise again, radius 2
        {5, 5, -1e30, 0, false},        // onto the centre
    };
    for (auto& c : cases) {
        fx::TestCircle circle(c.r);
        auto off = offset_of(circle, c.d);
        for (double u : {0.0, 1.0, 4.0}) {
            ASSERT_EQ(off->local_frame(u, p, t, k, &s), 0);
            EXPECT_NEAR(k, c.k, 1e-12 * std::fabs(c.k)) << c.r << " " << c.d;
            EXPECT_NEAR(s, c.speed, 1e-12) << c.r << " " << c.d;
            EXPECT_NEAR(std::hypot(p.x(), p.y()), std::fabs(c.r - c.d), 1e-12);
            if (c.speed > 0) {
                const Qe_Vec ccw(-std::sin(u), std::cos(u), 0);
                EXPECT_NEAR(t % ccw, c.flipped ? -1.0 : 1.0, 1e-12);
                Qe_Pt q2;
                ASSERT_EQ(off->point(u, q2), 0);
                EXPECT_LT((q2 - p).len(), 1e-12);
            }
        }
    }
    // The axis is a direction: (0, 0, 2) offsets like (0, 0, 1); a null one is refused.
    fx::TestCircle circle(2.0);
    auto one = offset_of(circle, 0.5), two = offset_of(circle, 0.5, Qe_Vec(0, 0, 2));
    Qe_Vec d1, d2;
    ASSERT_EQ(one->point_and_tangent(0.7, p, d1), 0);
    ASSERT_EQ(two->point_and_tangent(0.7, q, d2), 0);
    EXPECT_LT((p - q).len(), 1e-15);
    EXPECT_LT((d1 - d2).len(), 1e-15);
    ASSERT_EQ(two->point(0.7, q), 0);
    EXPECT_LT((p - q).len(), 1e-15);
    std::unique_ptr<CCurve> none;
    Qe_Vec tiny(0, 0, 1e-10);
    EXPECT_EQ(circle.offset(1.0, &tiny, none), curve_status::zero_vector);
    EXPECT_FALSE(none);
}

TEST(OffsetCurve, TangentAgainstDifferencesAndRange) {
    auto base = fx::wavy();
    auto o = offset_of(*base, 0.3);
    const double h = 1e-6;
    for (double u : {0.5, 2.0, 5.5, 9.0}) {
        Qe_Pt p, a, b;
        Qe_Vec d;
        ASSERT_EQ(o->point_and_tangent(u, p, d), 0);
        ASSERT_EQ(o->point(u - h, a), 0);
        ASSERT_EQ(o->point(u + h, b), 0);
        const Qe_Vec cd = (b - a) / (2 * h);
        EXPECT_LT((cd - d).len(), 1e-6 * (1 + d.len())) << u;
    }
    EXPECT_EQ(o->set_range(3, 2), curve_status::bad_argument);
    ASSERT_EQ(o->set_range(1, 4), 0);
    EXPECT_EQ(o->set_start(4), curve_status::bad_argument);
    EXPECT_EQ(o->set_end(1), curve_status::bad_argument);
    ASSERT_EQ(o->set_end(3), 0);
    EXPECT_EQ(base->end_param() > 3, true);
    CDoubleArray s;
    ASSERT_EQ(o->sample_params(s), 0);
    ASSERT_GT(s.count(), 0);
    for (int i = 0; i < s.count(); ++i) {
        EXPECT_GT(s[i], 1.0);
        EXPECT_LT(s[i], 3.0);
    }
    std::unique_ptr<CCurve> copy(o->clone());
    EXPECT_EQ(copy->start_param(), 1.0);
    EXPECT_EQ(copy->end_param(), 3.0);
    EXPECT_EQ(copy->period(), base->period());
}

// Long double brute force of a clamped curve's extents under a map: dense samples, then
// golden-section steps around the best sample of each direction.
CCurveBox brute_box(const CNURBS& c, const CAffineMap* m) {
    const fx::LdCurve r = fx::LdCurve::of(c);
    const long double a = c.start_param(), b = c.end_param();
    auto mapped = [&](long double u, int axis) {
        long double p[3];
        r.eval(u, p, nullptr);
        if (!m) return p[axis];
        return m->at(axis, 0) * p[0] + m->at(axis, 1) * p[1] + m->at(axis, 2) * p[2] + m->translation().component(axis);
    };
    CCurveBox box;
    const int n = 4000;
    double ext[4];
    for (int axis = 0; axis < 2; ++axis)
        for (int sign : {-1, 1}) {
            long double best = -1e300L, bu = a;
            for (int i = 0; i <= n; ++i) {
                const long double u = a + (b - a) * i / n, v = sign * mapped(u, axis);
                if (v > best) best = v, bu = u;
            }
            long double lo = std::max(a, bu - (b - a) / n), hi = std::min(b, bu + (b - a) / n);
            for (int it = 0; it < 120; ++it) {
                const long double m1 = lo + (hi - lo) * 0.381966L, m2 = hi - (hi - lo) * 0.381966L;
                if (sign * mapped(m1, axis) < sign * mapped(m2, axis))
                    lo = m1;
                else
                    hi = m2;
            }
            ext[axis * 2 + (sign > 0)] = static_cast<double>(mapped((lo + hi) / 2, axis));
        }
    box.min_x = ext[0];
    box.max_x = ext[1];
    box.min_y = ext[2];
    box.max_y = ext[3];
    return box;
}

TEST(CurveBox, LooseAndTight) {
    auto blob = fx::wavy();
    auto circle = fx::nine_point_circle(3.0);
    CAffineMap spin = rotated_scale(0.4, 3.0, 0.5, 1, 2);  // a rotated scale: inverse and transpose differ
    CAffineMap shear = affine(1, 0.8, 0, 1, 0, 0);
    struct Case {
        const CNURBS* c;
        const CAffineMap* m;
    } cases[] = {{blob.get(), nullptr}, {circle.get(), &spin}, {blob.get(), &shear}, {circle.get(), &shear}};
    for (auto& k : cases) {
        CCurveBox loose;
        ASSERT_EQ(k.c->bounding_box(false, loose, k.m), 0);
        CCurveBox hull;
        for (int i = 0; i < k.c->control_count(); ++i)
            hull.add(k.m ? k.m->map_point(k.c->control_point(i)) : k.c->control_point(i));
        EXPECT_EQ(loose.min_x, hull.min_x);
        EXPECT_EQ(loose.max_y, hull.max_y);
        CCurveBox tight;
        ASSERT_EQ(k.c->tight_bounding_box(tight, k.m), 0);
        const CCurveBox want = brute_box(*k.c, k.m);
        const double size = std::max(want.max_x - want.min_x, want.max_y - want.min_y);
        EXPECT_NEAR(tight.min_x, want.min_x, 1e-9 * size);
        EXPECT_NEAR(tight.max_x, want.max_x, 1e-9 * size) << (&k - cases);
        EXPECT_NEAR(tight.min_y, want.min_y, 1e-9 * size);
        EXPECT_NEAR(tight.max_y, want.max_y, 1e-9 * size);
        EXPECT_LE(hull.min_x, tight.min_x);
    }
    // The box adds to what the caller's box holds.
    CCurveBox acc;
    acc.add(Qe_Pt(100, 100, 0));
    ASSERT_EQ(circle->bounding_box(true, acc), 0);
    EXPECT_EQ(acc.max_x, 100);
    EXPECT_NEAR(acc.min_x, -3, 1e-12);
    fx::TestCircle other(1.0);
    EXPECT_EQ(other.bounding_box(true, acc), -1);
    CCurveBox a, b;
    a.add(Qe_Pt(0, 0, 0));
    a.add(Qe_Pt(1, 1, 0));
    b.add(Qe_Pt(1 + 5e-7, 0, 0));
    EXPECT_TRUE(a.overlaps(b));
    b = CCurveBox();
    b.add(Qe_Pt(1 + 2e-6, 0, 0));
    EXPECT_FALSE(a.overlaps(b));
}

// A straight polyline with a narrow bump at 7/8 of the step: only the second half's
// samples see it. The curve and its reverse over the mirrored step get one verdict.
TEST(Approximation, ErrorIsSymmetric) {
    auto c = fx::nurbs(1, {0, 0, 0.85, 0.875, 0.9}, 1, {{0, 0, 0}, {0.85, 0, 0}, {0.875, 0.1, 0}, {0.9, 0, 0}, {1, 0, 0}});
    ASSERT_TRUE(c);
    std::unique_ptr<CNURBS> rev(static_cast<CNURBS*>(c->clone()));
    ASSERT_EQ(rev->reverse(), 0);
    // Fourth differences: 0 over the whole step and its first half, 0.4 over the second
    // half unscaled, 6.4 scaled back to the whole step.
    const double tol = 1.0;
    Qe_Pt s[9], r[9];
    ASSERT_EQ(c->point(0.0, s[0]), 0);
    ASSERT_EQ(rev->point(rev->start_param(), r[0]), 0);
    double e1 = 0, e2 = 0;
    EXPECT_EQ(c->approximation_error(0.0, 1.0, tol, s, e1), curve_status::no_result);
    EXPECT_EQ(rev->approximation_error(rev->start_param(), 1.0, tol, r, e2), curve_status::no_result);
    EXPECT_NEAR(e1, 6.4, 1e-12);
    EXPECT_NEAR(e2, 6.4, 1e-12);
    EXPECT_EQ(c->approximation_error(0.0, 1.0, 7.0, s, e1), 0);
    EXPECT_NEAR(s[7].y(), 0.1, 1e-15);
}

TEST(Approximation, EndMultiplicities) {
    struct Case {
        double a, b;
        int m;
    } cases[] = {{0, 2 * M_PI, 2}, {0.3, 2 * M_PI + 0.3, 2}, {0, M_PI / 2, 4}, {0, 2 * M_PI - 0.1, 4}};
    for (auto& k : cases) {
        fx::TestCircle c(2.0, k.a, k.b);
        std::unique_ptr<CKnotVector> kv;
        ASSERT_EQ(c.approximation_knots(1e-4, kv), 0);
        int run = 1;
        while (run < kv->count() && (*kv)[run] == (*kv)[0]) ++run;
        EXPECT_EQ(run, k.m) << k.a << " " << k.b;
        EXPECT_EQ(kv->start(), k.a);
        EXPECT_NEAR(kv->end(), k.b, 1e-15);
        EXPECT_EQ(kv->period() != 0, k.m == 2);
        EXPECT_EQ(kv->degree(), 3);
    }
    fx::TestCircle c(2.0);
    std::unique_ptr<CKnotVector> kv;
    EXPECT_EQ(c.approximation_knots(0.0, kv), curve_status::zero_weight);
    fx::TestCircle empty(2.0, 1.0, 1.0);
    EXPECT_EQ(empty.approximation_knots(1e-3, kv), curve_status::zero_weight);
    EXPECT_FALSE(kv);
}

// Largest distance between the converted curve and its source, parameter by parameter.
double worst_gap(const CCurve& src, const CCurve& conv, int n = 3000) {
    double worst = 0;
    for (int i = 0; i <= n; ++i) {
        const double u = src.start_param() + (src.end_param() - src.start_param()) * i / n;
        Qe_Pt p, q;
        EXPECT_EQ(src.point(u, p), 0);
        EXPECT_EQ(conv.point(u, q), 0);
        worst = std::max(worst, (p - q).len());
    }
    return worst;
}

TEST(Approximation, ToNurbsWithinTolerance) {
    auto circle = fx::nine_point_circle(2.0);
    auto wave = fx::wavy();
    std::unique_ptr<CCurve> out_circle = offset_of(*circle, -0.5), in_wave = offset_of(*wave, 0.2);
    fx::TestCircle round(3.0, 0.0, 2 * M_PI);
    for (double tol : {1e-2, 1e-4}) {
        for (CCurve* src : {out_circle.get(), in_wave.get(), static_cast<CCurve*>(&round)}) {
            std::unique_ptr<CNURBS> n;
            ASSERT_EQ(src->to_nurbs(tol, n), 0) << tol;
            EXPECT_EQ(n->degree(), 3);
            EXPECT_FALSE(n->is_rational());
            EXPECT_LE(worst_gap(*src, *n), tol) << tol << " " << (src == &round ? "round" : src == in_wave.get() ? "wave" : "circle") << " " << n->control_count();
        }
    }
    // A rational B-spline answers with a copy of itself.
    std::unique_ptr<CNURBS> same;
    ASSERT_EQ(circle->to_nurbs(1e-3, same), 0);
    EXPECT_NE(same.get(), circle.get());
    EXPECT_TRUE(same->is_rational());
    EXPECT_EQ(worst_gap(*circle, *same, 40), 0.0);
}

class Tally : public CCurveVisitor {
public:
    int visit(CCurve&) override { return 101; }
    int visit_nurbs(CNURBS&) override { return 102; }
    int visit_nurbs_data(CNURBS&) override { return 107; }
};

TEST(CurveVisitors, OperationsByKind) {
    Tally v;
    CCurveVisitor plain;
    auto c = fx::wavy();
    fx::TestCircle circle(1.0);
    EXPECT_EQ(c->accept(v), 102);
    EXPECT_EQ(c->accept_nurbs(v), 107);
    EXPECT_EQ(circle.accept(v), 101);
    EXPECT_EQ(circle.accept_nurbs(v), -1);
    EXPECT_EQ(c->accept(plain), -1);
    EXPECT_EQ(circle.reserved_zero(), 0);
    EXPECT_EQ(circle.reserved_minus_one(), -1);
    EXPECT_EQ(circle.reserved_zero2(), 0);
    EXPECT_EQ(circle.reverse(), -1);
    EXPECT_EQ(circle.transform_in_place(CAffineMap()), -1);
}

}  // namespace
