#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "curves/curve_fixtures.h"

namespace {

double gap(const CCurve& a, double ua, const CCurve& b, double ub) {
    Qe_Pt p, q;
    EXPECT_EQ(a.point(ua, p), 0);
    EXPECT_EQ(b.point(ub, q), 0);
    return (p - q).len();
}

// Boehm's insertion of u once into the full knot sequence U (clamped), on homogeneous
// points: the textbook recurrence, written apart from the library's interpolation.
void boehm(std::vector<double>& U, std::vector<std::array<double, 4>>& Pw, int p, double u) {
    int k = p;
    while (k + 1 < static_cast<int>(U.size()) && U[k + 1] <= u) ++k;
    std::vector<std::array<double, 4>> Q(Pw.size() + 1);
    for (int i = 0; i < static_cast<int>(Q.size()); ++i) {
        if (i <= k - p) {
            Q[i] = Pw[i];
        } else if (i > k) {
            Q[i] = Pw[i - 1];
        } else {
            const double a = (u - U[i]) / (U[i + p] - U[i]);
            for (int c = 0; c < 4; ++c) Q[i][c] = a * Pw[i][c] + (1 - a) * Pw[i - 1][c];
        }
    }
    U.insert(U.begin() + k + 1, u);
    Pw = Q;
}

TEST(NurbsEdit, InsertKnotMatchesBoehm) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {1, 2, 0}, {3, 3, 1}, {4, -1, 0}, {6, 0, 2}, {7, 3, 0}};
    for (bool rational : {false, true}) {
        std::vector<double> w = rational ? std::vector<double>{1, 0.5, 2, 1, 3, 1} : std::vector<double>{};
        auto c = fx::nurbs(3, {0, 0, 0, 0, 1, 2.5}, 4, pts, w);
        ASSERT_TRUE(c);
        std::vector<double> U;
        std::vector<std::array<double, 4>> Pw;
        for (int i = 0; i <= 9; ++i) U.push_back(c->knots()->knot(i));
        for (int i = 0; i < 6; ++i) {
            const Qe_Pt h = c->homogeneous_control_point(i);
            Pw.push_back({h.x(), h.y(), h.z(), c->weight(i)});
        }
        for (double u : {1.7, 0.4, 2.5, 3.9}) {
            double t = u;
            int index = -1, count = -1;
            ASSERT_EQ(c->insert_knot(t, 2, index, count), 0);  // multiplicity up to p - 2 = 1
            const bool existed = u == 2.5;
            EXPECT_EQ(count, existed ? 0 : 1) << u;
            if (existed) continue;
            boehm(U, Pw, 3, u);
            ASSERT_EQ(c->control_count(), static_cast<int>(Pw.size()));
            for (int i = 0; i < c->control_count(); ++i) {
                const Qe_Pt h = c->homogeneous_control_point(i);
                EXPECT_NEAR(h.x(), Pw[i][0], 1e-12) << u << " " << i;
                EXPECT_NEAR(h.y(), Pw[i][1], 1e-12);
                EXPECT_NEAR(h.z(), Pw[i][2], 1e-12);
                EXPECT_NEAR(c->weight(i), Pw[i][3], 1e-12);
            }
            for (size_t i = 0; i < U.size(); ++i) EXPECT_EQ(c->knots()->knot(static_cast<int>(i)), U[i]);
        }
        EXPECT_EQ(c->is_rational(), rational);
    }
}

TEST(NurbsEdit, InsertKnotMultiplicityAndPeriodic) {
    auto c = fx::wavy();
    ASSERT_TRUE(c);
    std::unique_ptr<CNURBS> before(static_cast<CNURBS*>(c->clone()));
    double t = c->knots()->knot(5) + 1e-10;  // snapped to the knot
    int index = 0, count = 0;
    ASSERT_EQ(c->insert_knot(t, 0, index, count), 0);
    EXPECT_EQ(t, c->knots()->knot(5));
    EXPECT_EQ(count, 2);
    ASSERT_EQ(c->insert_knot(t, 0, index, count), 0);  // already of multiplicity p
    EXPECT_EQ(count, 0);
    for (int i = 0; i <= 100; ++i) {
        const double u = c->end_param() * i / 100;
        EXPECT_LT(gap(*c, u, *before, u), 1e-12) << u;
    }
    double k = 1.0;
    EXPECT_EQ(c->insert_knot(k = -1.0, 0, index, count), curve_status::bad_argument);
    // A periodic curve keeps its shape, across the seam too.
    auto per = fx::nurbs(3, {0, 1, 2, 3, 4}, 5, {{1, 0, 0}, {0, 2, 0}, {-1, 0, 0}, {0, -1, 0}, {2, -2, 0}});
    ASSERT_TRUE(per);
    std::unique_ptr<CNURBS> old(static_cast<CNURBS*>(per->clone()));
    for (double u : {4.5, 0.25, 7.5}) {
        t = u;
        ASSERT_EQ(per->insert_knot(t, 1, index, count), 0) << u;
        EXPECT_EQ(count, 2);
        EXPECT_EQ(t, u);
    }
    EXPECT_EQ(per->control_count(), 11);
    for (int i = 0; i <= 100; ++i) {
        const double u = 5.0 * i / 100;
        EXPECT_LT(gap(*per, u, *old, u), 1e-12) << u;
    }
}

TEST(NurbsEdit, TrimKeepsTheCurve) {
    std::unique_ptr<CCurve> c(fx::nine_point_circle(2.0).release());
    std::unique_ptr<CCurve> old(c->clone());
    CCurve* same = c.get();
    ASSERT_EQ(c->trim(0.0, 4.0, c), 0);
    EXPECT_EQ(c.get(), same);
    EXPECT_EQ(c->trim(-0.5, 1.0, c), curve_status::bad_argument);
    EXPECT_EQ(c->trim(1.0, 1.0 + 1e-10, c), curve_status::bad_argument);
    EXPECT_EQ(c.get(), same);
    std::unique_ptr<CCurve> other(old->clone());
    EXPECT_EQ(c->trim(0.5, 1.0, other), curve_status::bad_argument);  // not this curve's holder
    ASSERT_EQ(c->trim(0.1, 2.7, c), 0);
    EXPECT_NE(c.get(), same);
    EXPECT_EQ(c->start_param(), 0.1);
    EXPECT_EQ(c->end_param(), 2.7);
    EXPECT_TRUE(c->is_rational());
    for (int i = 0; i <= 60; ++i) {
        const double u = 0.1 + 2.6 * i / 60;
        Qe_Pt p;
        ASSERT_EQ(c->point(u, p), 0);
        EXPECT_NEAR(std::hypot(p.x(), p.y()), 2.0, 1e-12);
        EXPECT_LT(gap(*c, u, *old, u), 1e-12) << u;
    }
    // A periodic curve: any stretch up to one period, across the seam.
    std::unique_ptr<CCurve> per(fx::nurbs(3, {0, 1, 2, 3, 4}, 5, {{1, 0, 0}, {0, 2, 0}, {-1, 0, 0}, {0, -1, 0}, {2, -2, 0}})
                                    .release());
    std::unique_ptr<CCurve> pold(per->clone());
    EXPECT_EQ(per->trim(3.5, 8.6, per), curve_status::bad_argument);
    ASSERT_EQ(per->trim(3.5, 7.2, per), 0);
    EXPECT_EQ(per->period(), 0.0);
    for (int i = 0; i <= 40; ++i) {
        const double u = 3.5 + 3.7 * i / 40;
        EXPECT_LT(gap(*per, u, *pold, u), 1e-12) << u;
    }
}

TEST(NurbsEdit, ReverseRunsTheOtherWay) {
    std::vector<std::unique_ptr<CNURBS>> curves;
    curves.push_back(fx::wavy());
    curves.push_back(fx::nine_point_circle(1.5));
    curves.push_back(fx::nurbs(3, {0, 1, 2, 3, 4}, 5, {{1, 0, 0}, {0, 2, 0}, {-1, 0, 0}, {0, -1, 0}, {2, -2, 0}}));
    curves.push_back(fx::wavy());
    ASSERT_EQ(curves.back()->set_range(1.0, 6.0), 0);
    // Weights that differ end to end: they turn round with the points.
    curves.push_back(fx::nurbs(2, {0, 0, 0}, 1, {{1, 0, 0}, {2, 2, 0}, {0, 1, 0}}, {1, 3, 0.5}));
    for (auto& c : curves) {
        ASSERT_TRUE(c);
        std::unique_ptr<CNURBS> old(static_cast<CNURBS*>(c->clone()));
        const double s0 = c->start_param(), e0 = c->end_param();
        ASSERT_EQ(c->reverse(), 0);
        const double s1 = c->start_param();
        EXPECT_NEAR(c->end_param() - s1, e0 - s0, 1e-12);
        for (int i = 0; i <= 50; ++i) {
            const double u = s0 + (e0 - s0) * i / 50;
            EXPECT_LT(gap(*c, s1 + e0 - u, *old, u), 1e-12) << u;
        }
        ASSERT_EQ(c->reverse(), 0);
        EXPECT_NEAR(c->start_param(), s0, 1e-12);
        EXPECT_NEAR(c->end_param(), e0, 1e-12);
        for (int i = 0; i < c->control_count(); ++i) {
            EXPECT_NEAR(c->knots()->knot(i), old->knots()->knot(i), 1e-12);
            EXPECT_LT((c->control_point(i) - old->control_point(i)).len(), 1e-15);
            EXPECT_EQ(c->weight(i), old->weight(i));
        }
    }
}

// Quadratics with a double knot at 1: the curve passes through control point 2 there.
TEST(NurbsEdit, CornersAndSplit) {
    struct Case {
        const char* name;
        ref::P3 p3;
        ref::P3 p1;
        bool corner;
    } cases[] = {
        {"corner", {2, 1, 0}, {1, 0, 0}, true},
        {"straight on", {3, 0, 0}, {1, 0, 0}, false},
        {"turn back", {1.5, 0, 0}, {1, 0, 0}, true},
        {"nearly straight", {3, 1e-7, 0}, {1, 0, 0}, false},
    };
    for (auto& k : cases) {
        auto c = fx::nurbs(2, {0, 0, 0, 1, 1}, 2, {{0, 0, 0}, k.p1, {2, 0, 0}, k.p3, {3, 2, 0}});
        ASSERT_TRUE(c) << k.name;
        double t = -1;
        EXPECT_EQ(c->next_corner(0.0, t), k.corner ? 0 : curve_status::no_result) << k.name;
        EXPECT_EQ(t, k.corner ? 1.0 : 2.0) << k.name;
        int count = 0;
        CCurve* piece = nullptr;
        const int st = c->split(count, piece);
        EXPECT_EQ(count, 1);
        if (!k.corner) {
            EXPECT_EQ(st, curve_status::no_result);
            EXPECT_EQ(piece, c.get());
            continue;
        }
        ASSERT_EQ(st, 0) << k.name;
        std::unique_ptr<CCurve> first(piece);
        EXPECT_EQ(first->start_param(), 0.0);
        EXPECT_EQ(first->end_param(), 1.0);
        EXPECT_EQ(c->start_param(), 1.0);
        EXPECT_EQ(c->end_param(), 2.0);
        EXPECT_EQ(c->next_corner(c->start_param(), t), curve_status::no_result);
        EXPECT_EQ(c->split(count, piece), curve_status::no_result);
        EXPECT_EQ(count, 2);
    }
    // The shared split and corner search of other kinds.
    fx::TestCircle circle(1.0);
    int count = 5;
    CCurve* piece = nullptr;
    EXPECT_EQ(circle.split(count, piece), curve_status::no_result);
    EXPECT_EQ(piece, &circle);
    EXPECT_EQ(count, 6);
    EXPECT_TRUE(are_collinear(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(5, 2e-6, 0), 1e-6));
    EXPECT_FALSE(are_collinear(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(5, 3e-6, 0), 1e-6));
    EXPECT_TRUE(are_collinear(Qe_Pt(0, 0, 0), Qe_Pt(1e-7, 0, 0), Qe_Pt(5, 3, 0), 1e-6));
}

TEST(NurbsEdit, FlatForm) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {1, 2, 0}, {3, 3, 1}, {4, -1, 0}, {6, 0, 2}, {7, 3, 0}};
    auto c = fx::nurbs(3, {0, 0, 0, 0, 1, 2.5}, 4, pts, {1, 0.5, 2, 1, 3, 1});
    ASSERT_TRUE(c);
    ASSERT_EQ(c->flat_size(), 240);
    std::vector<std::uint8_t> buf(260, 0xAB);
    std::uint8_t* cur = buf.data();
    ASSERT_EQ(c->write_flat(cur), 0);
    EXPECT_EQ(cur, buf.data() + 240);
    EXPECT_EQ(buf[240], 0xAB);
    const std::uint8_t* r = buf.data();
    auto i32 = [&](int at) { return int(r[at]) | int(r[at + 1]) << 8 | int(r[at + 2]) << 16 | int(r[at + 3]) << 24; };
    auto f64 = [&](int at) {
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = bits << 8 | r[at + i];
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    };
    EXPECT_EQ(i32(0), 4);
    EXPECT_EQ(f64(4), 0.0);
    EXPECT_EQ(f64(12), 4.0);
    EXPECT_EQ(f64(20), 0.0);  // clamped
    EXPECT_EQ(i32(28), 6);
    EXPECT_EQ(i32(32), 3);
    EXPECT_EQ(f64(36), 4.0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(f64(44 + 8 * i), c->knots()->knot(i));
    EXPECT_EQ(i32(92), 6);
    for (int i = 0; i < 6; ++i) {
        const Qe_Pt h = c->homogeneous_control_point(i);  // as stored
        EXPECT_EQ(f64(96 + 24 * i), h.x());
        EXPECT_EQ(f64(104 + 24 * i), h.y());
        EXPECT_EQ(f64(112 + 24 * i), h.z());
    }
    fx::TestCircle circle(1.0);
    EXPECT_EQ(circle.flat_size(), 0);
    EXPECT_EQ(circle.write_flat(cur), -1);
}

TEST(NurbsEdit, SampleAndBreakParameters) {
    auto c = fx::nurbs(2, {0, 0, 0, 1, 1, 3}, 4, {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}, {4, 0, 0}, {5, 1, 0}});
    ASSERT_TRUE(c);
    CDoubleArray s;
    ASSERT_EQ(c->sample_params(s), 0);
    const double want[] = {1.0 / 3, 2.0 / 3, 5.0 / 3, 7.0 / 3, 10.0 / 3, 11.0 / 3};
    ASSERT_EQ(s.count(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(s[i], want[i], 1e-15);
    // Cut to [0.5, 2]; beyond the clamped ends the extra pairs.
    CDoubleArray cut;
    double a = 0.5, b = 2.0;
    ASSERT_EQ(c->sample_params(cut, &a, &b), 0);
    ASSERT_EQ(cut.count(), 4);
    EXPECT_NEAR(cut[0], 2.0 / 3, 1e-15);
    EXPECT_NEAR(cut[1], 5.0 / 6, 1e-15);
    EXPECT_NEAR(cut[2], 4.0 / 3, 1e-15);
    CDoubleArray wide;
    a = -1.0, b = 5.0;
    ASSERT_EQ(c->sample_params(wide, &a, &b), 0);
    ASSERT_EQ(wide.count(), 10);
    EXPECT_EQ(wide[0], -2.0);
    EXPECT_EQ(wide[1], 0.0);
    EXPECT_EQ(wide[8], 4.0);
    EXPECT_EQ(wide[9], 6.0);
    std::unique_ptr<CDoubleArray> br;
    ASSERT_EQ(c->break_params(1, br), 0);
    ASSERT_EQ(br->count(), 3);  // the ends and the double knot
    EXPECT_EQ((*br)[0], 0.0);
    EXPECT_EQ((*br)[1], 1.0);
    EXPECT_EQ((*br)[2], 4.0);
    ASSERT_EQ(c->break_params(0, br), 0);
    EXPECT_EQ(br->count(), 2);
    ASSERT_EQ(c->break_params(2, br), 0);
    EXPECT_EQ(br->count(), 4);  // every knot
    ASSERT_EQ(c->set_range(0.5, 3.5), 0);
    ASSERT_EQ(c->break_params(1, br), 0);
    ASSERT_EQ(br->count(), 3);
    EXPECT_EQ((*br)[0], 0.5);
    EXPECT_EQ((*br)[1], 1.0);
    EXPECT_EQ((*br)[2], 3.5);
    fx::TestCircle circle(1.0);
    ASSERT_EQ(circle.break_params(1, br), 0);
    EXPECT_EQ(br->count(), 0);
}

}  // namespace
