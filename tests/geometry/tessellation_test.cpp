#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "geometry/angles.h"
#include "geometry/pt_list.h"
#include "geometry/tessellation.h"

namespace {

struct Freed {
    Qe_Pt* p = nullptr;
    ~Freed() { std::free(p); }
};

void expect_pt(const Qe_Pt& p, double x, double y, double tol = 1e-12)
{
    EXPECT_NEAR(p.x(), x, tol);
    EXPECT_NEAR(p.y(), y, tol);
}

// Angle of p about c, and the step between consecutive angles (counter-clockwise).
double polar(const Qe_Pt& p, const Qe_Pt& c) { return std::atan2(p.y() - c.y(), p.x() - c.x()); }
double ccw_step(double a, double b) { return std::remainder(b - a, TWO_PI); }

TEST(Tessellation, ArcByAnglesOnCircleWithEqualSteps)
{
    const Qe_Pt c(1, -2, 0);
    const double r = 3, h = r * std::sqrt(0.5);
    std::vector<Qe_Pt> buf(3);
    Qe_Pt* pts = buf.data();
    ASSERT_TRUE(arc_to_ptset(c, r, 0, HALF_PI, 3, pts));
    expect_pt(buf[0], 1 + r, -2);
    expect_pt(buf[1], 1 + h, -2 + h);
    expect_pt(buf[2], 1, -2 + r);
    // Start above end: still counter-clockwise over the same 90 degrees.
    ASSERT_TRUE(arc_to_ptset(c, r, HALF_PI, 0, 3, pts));
    expect_pt(buf[0], 1, -2 + r);
    expect_pt(buf[1], 1 - h, -2 + h);
    expect_pt(buf[2], 1 - r, -2);

    for (mb_ulong n : {2u, 7u, 64u}) {
        std::vector<Qe_Pt> v(n);
        Qe_Pt* p = v.data();
        const double a0 = 0.7, a1 = 3.1;
        ASSERT_TRUE(arc_to_ptset(c, r, a0, a1, n, p));
        for (mb_ulong i = 0; i < n; ++i) {
            EXPECT_NEAR((v[i] - c).len(), r, 1e-9);
            if (i > 0) {
                EXPECT_NEAR(ccw_step(polar(v[i - 1], c), polar(v[i], c)), (a1 - a0) / (n - 1), 1e-9);
            }
        }
    }
    // One point is the start point; none writes nothing.
    Qe_Pt one(9, 9, 9);
    Qe_Pt* p1 = &one;
    ASSERT_TRUE(arc_to_ptset(c, r, HALF_PI, 0, 1, p1));
    expect_pt(one, 1, -2 + r);
    Qe_Pt* none = nullptr;
    EXPECT_TRUE(arc_to_ptset(c, r, 0, 1, 0, none));
    EXPECT_FALSE(arc_to_ptset(c, r, 0, 1, 3, none));
}

TEST(Tessellation, ArcByPoints)
{
    const Qe_Pt c(0, 0, 0), s(2, 0, 0), e(0, -5, 0);  // three quarters counter-clockwise
    std::vector<Qe_Pt> v(4);
    Qe_Pt* p = v.data();
    ASSERT_TRUE(arc_to_ptset(c, 99, s, e, 4, p));
    expect_pt(v[0], 2, 0);
    expect_pt(v[1], 0, 2);
    expect_pt(v[2], -2, 0);
    expect_pt(v[3], 0, -2);
    ASSERT_TRUE(arc_to_ptset(c, 99, s, Qe_Pt(7, 0, 0), 3, p));  // same direction: copies of start
    for (int i = 0; i < 3; ++i) expect_pt(v[i], 2, 0);
    ASSERT_TRUE(arc_to_ptset(c, 99, s, e, 1, p));
    expect_pt(v[0], 2, 0);
}

TEST(Tessellation, CircleToList)
{
    Qe_Pt_List l;
    l.add_tail(Qe_Pt(7, 7, 7));
    ASSERT_TRUE(circle_to_ptlist(Qe_Pt(1, 1, 0), 2, 4, l));
    ASSERT_EQ(l.count(), 5);
    const double want[5][2] = {{1, 3}, {-1, 1}, {1, -1}, {3, 1}, {1, 3}};
    for (int i = 0; i < 5; ++i) expect_pt(*l.get(i), want[i][0], want[i][1]);
    EXPECT_FALSE(circle_to_ptlist(Qe_Pt(), 2, 0, l));
    EXPECT_FALSE(circle_to_ptlist(Qe_Pt(), 2, -3, l));
    EXPECT_EQ(l.count(), 5);
}

TEST(Tessellation, EllipseArc)
{
    const Qe_Pt c(1, 2, 0);
    Freed f;
    int n_out = 0;
    ASSERT_TRUE(ellipse_arc_to_ptset(c, 2, 1, 0, M_PI, 0, 5, n_out, f.p));
    ASSERT_EQ(n_out, 3);
    expect_pt(f.p[0], 3, 2);
    expect_pt(f.p[1], 1, 3);
    expect_pt(f.p[2], -1, 2);

    // Rotated arcs: every point on the ellipse, equal parameter steps, the end exact.
    const double major = 5, minor = 2, rot = 0.6;
    struct Case {
        double start, end;
        int n, want_n;
        double last;  // parameter of the last point
    };
    const Case cases[] = {
        {0.2, 2.0, 9, 4, 2.0},                // 1.8 / (2π/8) = 2.29: 3 steps, then the end
        {5.0, 1.0, 13, 6, 1.0 + TWO_PI},      // end below start: the arc through 2π
        {0.0, TWO_PI, 17, 17, TWO_PI},        // a full turn: 16 steps and the end
        {0.0, 40.0, 17, 17, TWO_PI},          // more than a turn is one turn
        {1.0, 1.0, 5, 1, 1.0},
    };
    for (const Case& cs : cases) {
        Freed g;
        int m = -1;
        ASSERT_TRUE(ellipse_arc_to_ptset(c, major, minor, cs.start, cs.end, rot, cs.n, m, g.p));
        ASSERT_LE(m, cs.n + 1);
        EXPECT_EQ(m, cs.want_n) << cs.start << ".." << cs.end;
        for (int i = 0; i < m; ++i) {
            // Back into the ellipse's own frame: (x/a)² + (y/b)² = 1.
            const double dx = g.p[i].x() - c.x(), dy = g.p[i].y() - c.y();
            const double u = dx * std::cos(rot) + dy * std::sin(rot), w = -dx * std::sin(rot) + dy * std::cos(rot);
            EXPECT_NEAR(u * u / (major * major) + w * w / (minor * minor), 1.0, 1e-9);
            if (i > 0 && i < m - 1) {
                const double du = g.p[i - 1].x() - c.x(), dw = g.p[i - 1].y() - c.y();
                const double pu = du * std::cos(rot) + dw * std::sin(rot), pw = -du * std::sin(rot) + dw * std::cos(rot);
                const double t1 = std::atan2(pw / minor, pu / major), t2 = std::atan2(w / minor, u / major);
                EXPECT_NEAR(ccw_step(t1, t2), TWO_PI / (cs.n - 1), 1e-9);
            }
        }
        const double te = cs.last;
        const double ex = major * std::cos(te), ey = minor * std::sin(te);
        expect_pt(g.p[m - 1], c.x() + ex * std::cos(rot) - ey * std::sin(rot), c.y() + ex * std::sin(rot) + ey * std::cos(rot),
                  1e-9);
    }
}

TEST(Tessellation, EllipseArcRefusesTooFewPoints)
{
    for (int n : {-1, 0, 1}) {
        Qe_Pt* out = reinterpret_cast<Qe_Pt*>(0x1);  // must stay untouched
        int m = -7;
        EXPECT_FALSE(ellipse_arc_to_ptset(Qe_Pt(), 2, 1, 0, 1, 0, n, m, out));
        EXPECT_EQ(m, -7);
        EXPECT_EQ(out, reinterpret_cast<Qe_Pt*>(0x1));
    }
    Qe_Pt* out = nullptr;
    int m = -7;
    EXPECT_FALSE(ellipse_arc_to_ptset(Qe_Pt(), 2, 1, 0, std::numeric_limits<double>::infinity(), 0, 9, m, out));
    EXPECT_EQ(out, nullptr);
}

// The interpolating uniform cubic B-spline by a direct tridiagonal solve of
// (c[i] + 4 c[i+1] + c[i+2]) / 6 = q[i] with doubled end control points, sampled with the
// B-spline basis functions: an independent route to the same curve.
std::vector<Qe_Pt> reference_spline(const std::vector<Qe_Pt>& p, const Qe_Uvec& sd, const Qe_Uvec& ed)
{
    const int n = (int)p.size(), nq = n + 2;
    const double chord = (p[0] - p[1]).len();
    std::vector<double> qx(nq), qy(nq);
    for (int i = 0; i < n; ++i) {
        qx[i + 1] = p[i].x();
        qy[i + 1] = p[i].y();
    }
    qx[0] = p[0].x() + chord * sd.x();
    qy[0] = p[0].y() + chord * sd.y();
    qx[n + 1] = p[n - 1].x() + chord * ed.x();
    qy[n + 1] = p[n - 1].y() + chord * ed.y();
    // Unknowns c[1] .. c[nq]; diagonal 5 at both ends (c[0] = c[1], c[nq+1] = c[nq]).
    std::vector<double> diag(nq, 4.0), cx(nq + 2), cy(nq + 2);
    diag[0] = diag[nq - 1] = 5.0;
    std::vector<double> rx(nq), ry(nq);
    for (int i = 0; i < nq; ++i) {
        rx[i] = 6 * qx[i];
        ry[i] = 6 * qy[i];
    }
    for (int i = 1; i < nq; ++i) {
        const double w = 1.0 / diag[i - 1];
        diag[i] -= w;
        rx[i] -= w * rx[i - 1];
        ry[i] -= w * ry[i - 1];
    }
    cx[nq] = rx[nq - 1] / diag[nq - 1];
    cy[nq] = ry[nq - 1] / diag[nq - 1];
    for (int i = nq - 2; i >= 0; --i) {
        cx[i + 1] = (rx[i] - cx[i + 2]) / diag[i];
        cy[i + 1] = (ry[i] - cy[i + 2]) / diag[i];
    }
    cx[0] = cx[1];
    cy[0] = cy[1];
    cx[nq + 1] = cx[nq];
    cy[nq + 1] = cy[nq];
    std::vector<Qe_Pt> out;
    for (int j = 1; j <= n; ++j) {
        for (int k = 0; k < (j < n ? 50 : 1); ++k) {
            const double t = k / 50.0, u = 1 - t;
            const double b[4] = {u * u * u / 6, (3 * t * t * t - 6 * t * t + 4) / 6,
                                 (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6, t * t * t / 6};
            double x = 0, y = 0;
            for (int i = 0; i < 4; ++i) {
                x += b[i] * cx[j + i];
                y += b[i] * cy[j + i];
            }
            out.emplace_back(x, y, 0);
        }
    }
    return out;
}

TEST(Tessellation, SplineThroughItsPointsWithGuidedEnds)
{
    const std::vector<Qe_Pt> data = {{0, 0, 5}, {3, 4, 0}, {7, 3, 0}, {9, -2, 0}, {14, 1, 0}};
    const Qe_Uvec sd(1, 1, 0), ed(1, -1, 0);
    Freed f;
    int m = 0;
    ASSERT_TRUE(bspline_to_ptset(5, data.data(), sd, ed, m, f.p));
    EXPECT_EQ(CURVEINSUM_RUBBER, 50);
    ASSERT_EQ(m, 4 * 50 + 1);
    for (int i = 0; i < 5; ++i) {
        expect_pt(f.p[i * 50], data[i].x(), data[i].y(), 1e-9);
        EXPECT_EQ(f.p[i * 50].z(), 0.0);
    }
    // The guide points lie beyond the ends (the start guide points back from the first
    // point), so the end tangents lean along the guides.
    const Qe_Vec t0 = f.p[1] - f.p[0], t1 = f.p[m - 1] - f.p[m - 2];
    EXPECT_LT((t0 % sd) / t0.len(), -0.5);
    EXPECT_GT((t1 % ed) / t1.len(), 0.5);
    // Every sample agrees with a direct solve of the interpolation conditions.
    const std::vector<Qe_Pt> want = reference_spline(data, sd, ed);
    ASSERT_EQ(want.size(), (size_t)m);
    for (int i = 0; i < m; ++i) expect_pt(f.p[i], want[i].x(), want[i].y(), 1e-9);

    // Collinear data with guides along the line: a straight, monotone run.
    const std::vector<Qe_Pt> line = {{0, 0, 0}, {2, 0, 0}, {4, 0, 0}};
    Freed g;
    ASSERT_TRUE(bspline_to_ptset(3, line.data(), Qe_Uvec(-1, 0, 0), Qe_Uvec(1, 0, 0), m, g.p));
    for (int i = 0; i < m; ++i) {
        EXPECT_NEAR(g.p[i].y(), 0.0, 1e-12);
        if (i) {
            EXPECT_GT(g.p[i].x(), g.p[i - 1].x());
        }
    }

    // Two points give 51 points from the first to the second.
    Freed h;
    ASSERT_TRUE(bspline_to_ptset(2, line.data(), Qe_Uvec(0, 1, 0), Qe_Uvec(0, -1, 0), m, h.p));
    ASSERT_EQ(m, 51);
    expect_pt(h.p[0], 0, 0, 1e-9);
    expect_pt(h.p[50], 2, 0, 1e-9);
}

TEST(Tessellation, SplineSettlesAtLargeCoordinatesAndRefusesBadInput)
{
    // Far from the origin an absolute bound on the corrections lies below the rounding
    // error; the fit must still settle.
    std::vector<Qe_Pt> far;
    for (int i = 0; i < 6; ++i) far.emplace_back(1e12 + 1000.0 * i, 1e12 + 700.0 * (i % 2), 0);
    Freed f;
    int m = 0;
    ASSERT_TRUE(bspline_to_ptset(6, far.data(), Qe_Uvec(1, 0, 0), Qe_Uvec(1, 0, 0), m, f.p));
    for (int i = 0; i < 6; ++i) expect_pt(f.p[i * 50], far[i].x(), far[i].y(), 1e-3);

    const Qe_Pt nan_pts[] = {{0, 0, 0}, {std::nan(""), 1, 0}, {2, 0, 0}};
    const Qe_Pt inf_pts[] = {{0, 0, 0}, {1, std::numeric_limits<double>::infinity(), 0}};
    Qe_Pt* out = nullptr;
    m = -7;
    EXPECT_FALSE(bspline_to_ptset(3, nan_pts, Qe_Uvec(1, 0, 0), Qe_Uvec(1, 0, 0), m, out));
    EXPECT_FALSE(bspline_to_ptset(2, inf_pts, Qe_Uvec(1, 0, 0), Qe_Uvec(1, 0, 0), m, out));
    EXPECT_FALSE(bspline_to_ptset(1, nan_pts, Qe_Uvec(1, 0, 0), Qe_Uvec(1, 0, 0), m, out));
    EXPECT_FALSE(bspline_to_ptset(3, nullptr, Qe_Uvec(1, 0, 0), Qe_Uvec(1, 0, 0), m, out));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m, -7);
}

}  // namespace
