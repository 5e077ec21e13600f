#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include "geometry/angles.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/tolerance.h"
#include "geometry/void_list.h"

namespace {

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BPolygon = bg::model::polygon<BPoint, false, false>;  // counter-clockwise, open

const Qe_Uvec PLUS_Z(0, 0, 1), MINUS_Z(0, 0, -1);

BPolygon to_boost(const std::vector<Qe_Pt>& ring)
{
    BPolygon poly;
    for (const Qe_Pt& p : ring) bg::append(poly.outer(), BPoint(p.x(), p.y()));
    return poly;
}

// A star-shaped ring around the origin, counter-clockwise, with integer vertices when
// asked.
std::vector<Qe_Pt> star_ring(std::mt19937& rng, int n, bool integer)
{
    std::uniform_real_distribution<double> radius(1.0, 20.0), jitter(-0.3, 0.3);
    std::vector<Qe_Pt> ring;
    for (int i = 0; i < n; ++i) {
        const double a = TWO_PI * (i + 0.5 + jitter(rng)) / n;
        double x = radius(rng) * std::cos(a), y = radius(rng) * std::sin(a);
        if (integer) {
            x = std::round(x);
            y = std::round(y);
        }
        ring.emplace_back(x, y, 0);
    }
    return ring;
}

TEST(PlaneGeometry, AngleBetween)
{
    const Qe_Uvec x(1, 0, 0), y(0, 1, 0), d(-1, -1, 0);
    EXPECT_DOUBLE_EQ(angle_between(x, y, PLUS_Z), HALF_PI);
    EXPECT_DOUBLE_EQ(angle_between(y, x, PLUS_Z), THREE_HALF_PI);
    EXPECT_DOUBLE_EQ(angle_between(x, y, MINUS_Z), THREE_HALF_PI);
    EXPECT_DOUBLE_EQ(angle_between(y, x, MINUS_Z), HALF_PI);
    EXPECT_EQ(angle_between(x, x, PLUS_Z), 0.0);
    EXPECT_EQ(angle_between(x, x, MINUS_Z), TWO_PI);
    EXPECT_DOUBLE_EQ(angle_between(x, d, PLUS_Z), 1.25 * M_PI);
    EXPECT_DOUBLE_EQ(angle_between(Qe_Vec(3, 0, 0), Qe_Vec(0, -2, 0), PLUS_Z), THREE_HALF_PI);
}

TEST(PlaneGeometry, ProjectionOnLine)
{
    const Qe_Pt p(3, 4, 9), base(1, 1, 0);
    const Qe_Pt h = proj_pt_to_line(p, base, Qe_Uvec(1, 1e-12, 0));
    EXPECT_EQ(h.x(), 3.0);
    EXPECT_EQ(h.y(), 1.0);
    EXPECT_EQ(h.z(), 0.0);
    const Qe_Pt v = proj_pt_to_line(p, base, Qe_Uvec(1e-12, -1, 0));
    EXPECT_EQ(v.x(), 1.0);
    EXPECT_EQ(v.y(), 4.0);
    // Closed form on y = x + 0: the foot of (3, 4) is (3.5, 3.5).
    const Qe_Pt s = proj_pt_to_line(p, Qe_Pt(0, 0, 0), Qe_Uvec(1, 1, 0));
    EXPECT_NEAR(s.x(), 3.5, 1e-14);
    EXPECT_NEAR(s.y(), 3.5, 1e-14);
}

// Two lines through integer points with integer directions meet at a rational point;
// Cramer's rule in 64-bit integers gives it exactly.
TEST(PlaneGeometry, LineIntersectionAgreesWithExactArithmetic)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> c(-50, 50);
    int checked = 0;
    for (int k = 0; k < 4000; ++k) {
        const std::int64_t x1 = c(rng), y1 = c(rng), dx1 = c(rng), dy1 = c(rng);
        const std::int64_t x2 = c(rng), y2 = c(rng), dx2 = c(rng), dy2 = c(rng);
        if ((dx1 == 0 && dy1 == 0) || (dx2 == 0 && dy2 == 0)) continue;
        const std::int64_t den = dx1 * dy2 - dy1 * dx2;
        Qe_Pt out(-7, -7, -7);
        const bool ok = api_mb_lines_intersection(Qe_Pt(x1, y1, 3), Qe_Uvec(dx1, dy1, 0), Qe_Pt(x2, y2, 3),
                                                  Qe_Uvec(dx2, dy2, 0), out);
        if (den == 0) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(out.x(), -7);
            continue;
        }
        // Slopes closer than resabs count as parallel; integer slopes here never are.
        ASSERT_TRUE(ok) << k;
        const std::int64_t tnum = (x2 - x1) * dy2 - (y2 - y1) * dx2;
        const double ex = x1 + static_cast<double>(tnum * dx1) / den;
        const double ey = y1 + static_cast<double>(tnum * dy1) / den;
        const double scale = 1.0 + std::fabs(ex) + std::fabs(ey);
        EXPECT_NEAR(out.x(), ex, 1e-9 * scale) << k;
        EXPECT_NEAR(out.y(), ey, 1e-9 * scale) << k;
        EXPECT_EQ(out.z(), 0.0);
        ++checked;
    }
    EXPECT_GT(checked, 3000);

    Qe_Pt out(-7, -7, -7);
    EXPECT_FALSE(api_mb_lines_intersection(Qe_Pt(0, 0, 0), Qe_Uvec(1, 1, 0), Qe_Pt(0, 1, 0),
                                           Qe_Uvec(1, 1 + 5e-7, 0), out));  // slopes within resabs
    EXPECT_FALSE(api_mb_lines_intersection(Qe_Pt(0, 0, 0), Qe_Uvec(), Qe_Pt(0, 1, 0), Qe_Uvec(1, 0, 0), out));
    EXPECT_EQ(out.x(), -7);
}

TEST(PlaneGeometry, PolylineIntersections)
{
    const Qe_Pt zig[] = {{0, 0, 0}, {4, 4, 0}, {8, 0, 0}};
    const Qe_Pt bar[] = {{0, 2, 0}, {8, 2, 0}};
    Qe_Pt_List out;
    EXPECT_FALSE(api_mb_lines_intersection(zig, 1, bar, 2, out));
    ASSERT_TRUE(api_mb_lines_intersection(zig, 3, bar, 2, out));
    ASSERT_EQ(out.count(), 2);
    EXPECT_NEAR(out.get(0)->x(), 2, 1e-12);
    EXPECT_NEAR(out.get(1)->x(), 6, 1e-12);
    const Qe_Pt far[] = {{0, 9, 0}, {8, 9, 0}};
    EXPECT_TRUE(api_mb_lines_intersection(zig, 3, far, 2, out));  // the list already held points
    EXPECT_EQ(out.count(), 2);
}

TEST(PlaneGeometry, ThreePointCircle)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> c(-100, 100);
    for (int k = 0; k < 500; ++k) {
        const Qe_Pt p1(c(rng), c(rng), 0), p2(c(rng), c(rng), 0), p3(c(rng), c(rng), 0);
        const double twice_area = (p2.x() - p1.x()) * (p3.y() - p1.y()) - (p3.x() - p1.x()) * (p2.y() - p1.y());
        if (std::fabs(twice_area) < 1.0) continue;
        Qe_Pt centre;
        double r = 0;
        ASSERT_TRUE(api_mb_get_3ptcircle(p1, p2, p3, centre, r));
        for (const Qe_Pt& p : {p1, p2, p3}) EXPECT_NEAR((p - centre).len(), r, 1e-7 * (1 + r)) << k;
    }
    Qe_Pt centre(1, 2, 3);
    double r = 42;
    EXPECT_FALSE(api_mb_get_3ptcircle(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0), Qe_Pt(3, 3, 0), centre, r));
    EXPECT_FALSE(api_mb_get_3ptcircle(Qe_Pt(0, 0, 0), Qe_Pt(0, 0, 0), Qe_Pt(3, 1, 0), centre, r));
    EXPECT_EQ(centre.x(), 1);
    EXPECT_EQ(r, 42);
}

TEST(PlaneGeometry, EllipseByThreePoints)
{
    const Qe_Pt c(1, 2, 0);
    const double major = 3, ratio = 0.4, rot = 0.5;
    for (double t : {0.3, 1.2, 2.5, 4.0, 5.5}) {
        const double ex = major * std::cos(t), ey = major * ratio * std::sin(t);
        const Qe_Pt q(c.x() + ex * std::cos(rot) - ey * std::sin(rot), c.y() + ex * std::sin(rot) + ey * std::cos(rot), 0);
        const Qe_Pt e(c.x() + major * std::cos(rot), c.y() + major * std::sin(rot), 0);
        Qe_Pt centre;
        double m = 0, r = 0, a = 0;
        ASSERT_TRUE(get_ellipse_by_3pt(c, e, q, centre, m, r, a)) << t;
        EXPECT_NEAR(m, major, 1e-12);
        EXPECT_NEAR(r, ratio, 1e-9) << t;
        EXPECT_NEAR(a, rot, 1e-12);
        EXPECT_EQ(centre.x(), 1);
    }
    // No ellipse: third point beyond the axis end, on the axis end, on the axis, or a
    // vanishing major axis. The outputs stay as they were.
    const Qe_Pt e(4, 2, 0);
    for (const Qe_Pt& q : {Qe_Pt(5, 3, 0), Qe_Pt(4, 3, 0), Qe_Pt(2, 2, 0)}) {
        Qe_Pt centre(9, 9, 9);
        double m = -1, r = -1, a = -1;
        EXPECT_FALSE(get_ellipse_by_3pt(c, e, q, centre, m, r, a)) << q.x() << "," << q.y();
        EXPECT_EQ(centre.x(), 9);
        EXPECT_EQ(m, -1);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(a, -1);
    }
    Qe_Pt centre;
    double m = -1, r = -1, a = -1;
    EXPECT_FALSE(get_ellipse_by_3pt(c, Qe_Pt(1 + 1e-7, 2, 0), Qe_Pt(1, 3, 0), centre, m, r, a));
    EXPECT_EQ(r, -1);
}

TEST(PlaneGeometry, AreaPerimeterAndOrientationOfRandomRings)
{
    std::mt19937 rng(3);
    for (int k = 0; k < 300; ++k) {
        std::vector<Qe_Pt> ring = star_ring(rng, 3 + k % 20, false);
        const double want = bg::area(to_boost(ring));
        ASSERT_GT(want, 0.0);
        EXPECT_NEAR(cal_pts_area(ring.data(), (int)ring.size()), want, 1e-9 * want);
        EXPECT_NEAR(cal_perimeter(ring.data(), (int)ring.size()), bg::perimeter(to_boost(ring)), 1e-9);
        EXPECT_TRUE(api_mb_get_pts_dir(ring.data(), (int)ring.size()));
        Qe_Void_List ptrs;
        for (Qe_Pt& p : ring) ptrs.add(&p);
        EXPECT_NEAR(cal_lines_area(ptrs), want, 1e-9 * want);
        std::reverse(ring.begin(), ring.end());
        EXPECT_NEAR(cal_pts_area(ring.data(), (int)ring.size()), want, 1e-9 * want);
        EXPECT_FALSE(api_mb_get_pts_dir(ring.data(), (int)ring.size()));
    }
    const Qe_Pt sq[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    EXPECT_EQ(cal_pts_area(sq, 4), 1.0);
    EXPECT_EQ(cal_pts_area(sq, 2), 0.0);
    EXPECT_EQ(cal_perimeter(sq, 4), 4.0);
    EXPECT_EQ(cal_perimeter(sq, 2), 1.0);
    EXPECT_EQ(cal_perimeter(sq, 1), 0.0);
    EXPECT_EQ(cal_perimeter(sq, 0), 0.0);
    EXPECT_FALSE(api_mb_get_pts_dir(sq, 2));
}

// Orientation by a vote weighted by edge lengths fails on shapes like this arrow, whose
// long edges run against its orientation.
TEST(PlaneGeometry, OrientationOfLopsidedRings)
{
    const Qe_Pt arrow[] = {{0, 0, 0}, {10, 0, 0}, {10, 1, 0}, {1, 1, 0}, {1, 10, 0}, {0, 10, 0}};
    EXPECT_TRUE(api_mb_get_pts_dir(arrow, 6));
    const Qe_Pt comb[] = {{0, 0, 0}, {0, 3, 0}, {1, 3, 0}, {1, 1, 0}, {2, 1, 0}, {2, 3, 0}, {3, 3, 0}, {3, 0, 0}};
    EXPECT_FALSE(api_mb_get_pts_dir(comb, 8));
}

TEST(PlaneGeometry, PointInRegionAgreesWithBoost)
{
    std::mt19937 rng(17);
    int inside = 0, outside = 0;
    for (int k = 0; k < 200; ++k) {
        const std::vector<Qe_Pt> ring = star_ring(rng, 3 + k % 15, true);
        BPolygon poly = to_boost(ring);
        if (!bg::is_valid(poly)) continue;
        for (double x = -21; x <= 21; x += 0.5) {
            for (double y = -21; y <= 21; y += 0.5) {
                const bool want = bg::covered_by(BPoint(x, y), poly);
                ASSERT_EQ(is_pos_in_region(Qe_Pt(x, y, 0), ring.data(), (int)ring.size()), want)
                    << "ring " << k << " probe (" << x << ", " << y << ")";
                (want ? inside : outside)++;
            }
        }
    }
    EXPECT_GT(inside, 10000);
    EXPECT_GT(outside, 10000);
}

TEST(PlaneGeometry, PointInRegionRaysThroughVerticesAndEdges)
{
    // A notch whose bottom vertex (1, 1) lies on the probes' horizontal.
    const Qe_Pt notch[] = {{0, 0, 0}, {10, 0, 0}, {10, 3, 0}, {2, 3, 0}, {1, 1, 0}, {0.5, 3, 0}, {0, 3, 0}};
    // A ring with horizontal edges at y = 2 and y = 4 and vertices on y = 2.
    const Qe_Pt steps[] = {{0, 0, 0}, {6, 0, 0}, {6, 2, 0}, {4, 2, 0}, {4, 4, 0}, {2, 4, 0}, {2, 2, 0}, {0, 2, 0}};
    // A diamond: rays through its left and right vertices.
    const Qe_Pt diamond[] = {{0, -2, 0}, {2, 0, 0}, {0, 2, 0}, {-2, 0, 0}};
    struct Case {
        const Qe_Pt* ring;
        int n;
        Qe_Pt p;
        bool in;
    };
    const Case cases[] = {
        {notch, 7, {3, 1, 0}, true},     {notch, 7, {0.5, 1, 0}, true},  {notch, 7, {1, 2, 0}, false},
        {notch, 7, {-1, 1, 0}, false},   {notch, 7, {11, 1, 0}, false},  {notch, 7, {1, 1, 0}, true},
        {steps, 8, {1, 2, 0}, true},     {steps, 8, {5, 2, 0}, true},    {steps, 8, {3, 2, 0}, true},
        {steps, 8, {-1, 2, 0}, false},   {steps, 8, {7, 2, 0}, false},   {steps, 8, {1, 3, 0}, false},
        {steps, 8, {3, 3, 0}, true},     {steps, 8, {-1, 4, 0}, false},  {steps, 8, {5, 4, 0}, false},
        {diamond, 4, {0, 0, 0}, true},   {diamond, 4, {-3, 0, 0}, false}, {diamond, 4, {3, 0, 0}, false},
        {diamond, 4, {-1, 2, 0}, false}, {diamond, 4, {1, 1, 0}, true},   {diamond, 4, {0, 2, 0}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_pos_in_region(c.p, c.ring, c.n), c.in) << "(" << c.p.x() << ", " << c.p.y() << ")";
        std::vector<Qe_Pt> ring(c.ring, c.ring + c.n);
        EXPECT_EQ(bg::covered_by(BPoint(c.p.x(), c.p.y()), to_boost(ring)), c.in);  // the table itself
    }
    EXPECT_FALSE(is_pos_in_region(Qe_Pt(), nullptr, 4));
    EXPECT_FALSE(is_pos_in_region(Qe_Pt(), notch, 0));
}

TEST(PlaneGeometry, PointOnRegion)
{
    const Qe_Pt sq[] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    EXPECT_TRUE(is_pos_on_region(Qe_Pt(1, 0, 0), sq, 4));
    EXPECT_TRUE(is_pos_on_region(Qe_Pt(2, 1, 0), sq, 4));
    EXPECT_FALSE(is_pos_on_region(Qe_Pt(0, 1, 0), sq, 4));  // no closing segment
    EXPECT_FALSE(is_pos_on_region(Qe_Pt(1, 1, 0), sq, 4));
}

TEST(PlaneGeometry, PositionArrays)
{
    EXPECT_EQ(api_mb_new_position(0), nullptr);
    EXPECT_EQ(api_mb_new_position(-5), nullptr);
    Qe_Pt* pts = api_mb_new_position(3);
    ASSERT_NE(pts, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pts[i].x() + pts[i].y() + pts[i].z(), 0.0);
    pts[0] = Qe_Pt(1, 0, 0);
    pts[2] = Qe_Pt(3, 0, 0);
    api_mb_reverse_pts(pts, 3);
    EXPECT_EQ(pts[0].x(), 3);
    EXPECT_EQ(pts[2].x(), 1);
    api_mb_reverse_pts(nullptr, 3);
    std::free(pts);
}

TEST(PlaneGeometry, WidePolylineOutline)
{
    const Qe_Pt line[] = {{0, 0, 0}, {4, 0, 0}};
    Qe_Pt out[5];
    ASSERT_TRUE(cal_lines_width(line, 2, out, 5, 2.0));
    const double want[5][2] = {{0, 1}, {4, 1}, {4, -1}, {0, -1}, {0, 1}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(out[i].x(), want[i][0], 1e-12) << i;
        EXPECT_NEAR(out[i].y(), want[i][1], 1e-12) << i;
    }
    // An L turning left: the mitre corners are exact.
    const Qe_Pt ell[] = {{0, 0, 0}, {4, 0, 0}, {4, 3, 0}};
    Qe_Pt o[7];
    ASSERT_TRUE(cal_lines_width(ell, 3, o, 7, 2.0));
    const double w2[7][2] = {{0, 1}, {3, 1}, {3, 3}, {5, 3}, {5, -1}, {0, -1}, {0, 1}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(o[i].x(), w2[i][0], 1e-12) << i;
        EXPECT_NEAR(o[i].y(), w2[i][1], 1e-12) << i;
    }
    EXPECT_FALSE(cal_lines_width(line, 2, out, 4, 2.0));
    EXPECT_FALSE(cal_lines_width(line, 2, out, 5, 0.0));
    EXPECT_FALSE(cal_lines_width(line, 1, out, 3, 2.0));
}

// Distance from p to the line through a and b.
double line_distance(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    return std::fabs((p.x() - a.x()) * dy - (p.y() - a.y()) * dx) / std::hypot(dx, dy);
}

TEST(PlaneGeometry, OffsetOfAxisAlignedRectangles)
{
    // Counter-clockwise closed rectangle: a positive distance moves to the left, inwards.
    const Qe_Pt ccw[] = {{0, 0, 0}, {10, 0, 0}, {10, 6, 0}, {0, 6, 0}, {0, 0, 0}};
    struct Case {
        bool reversed;
        double d, l, b, r, t;
    };
    const Case cases[] = {
        {false, 1, 1, 1, 9, 5},   {false, -1, -1, -1, 11, 7}, {true, 1, -1, -1, 11, 7},
        {true, -2, 2, 2, 8, 4},   {false, 0.5, 0.5, 0.5, 9.5, 5.5},
    };
    for (const Case& c : cases) {
        std::vector<Qe_Pt> in(ccw, ccw + 5);
        if (c.reversed) std::reverse(in.begin(), in.end());
        Qe_Pt out[5];
        int out_n = -1;
        api_mb_offset_pts(in.data(), 5, out, out_n, c.d);
        ASSERT_EQ(out_n, 5) << c.d;
        EXPECT_EQ(out[0].x(), out[4].x());
        EXPECT_EQ(out[0].y(), out[4].y());
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(out[i].x() == c.l || out[i].x() == c.r) << i << ": " << out[i].x();
            EXPECT_TRUE(out[i].y() == c.b || out[i].y() == c.t) << i << ": " << out[i].y();
        }
        EXPECT_DOUBLE_EQ(cal_pts_area(out, 4), (c.r - c.l) * (c.t - c.b));
    }
    // An open three-sided polyline keeps its open ends.
    const Qe_Pt open[] = {{0, 0, 0}, {10, 0, 0}, {10, 6, 0}, {0, 6, 0}};
    Qe_Pt out[4];
    int out_n = 0;
    api_mb_offset_pts(open, 4, out, out_n, 1.0);
    ASSERT_EQ(out_n, 4);
    const double want[4][2] = {{0, 1}, {9, 1}, {9, 5}, {0, 5}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(out[i].x(), want[i][0], 1e-12) << i;
        EXPECT_NEAR(out[i].y(), want[i][1], 1e-12) << i;
    }
}

TEST(PlaneGeometry, OffsetOfConvexRingsKeepsDistanceFromBothEdges)
{
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2), rad(5.0, 9.0);
    for (int k = 0; k < 100; ++k) {
        // A convex ring: points on a circle at increasing angles, closed.
        const int n = 4 + k % 9;
        std::vector<Qe_Pt> ring;
        const double r = rad(rng);
        for (int i = 0; i < n; ++i) {
            const double a = TWO_PI * (i + jitter(rng)) / n;
            ring.emplace_back(r * std::cos(a), r * std::sin(a), 0);
        }
        ring.push_back(ring[0]);
        const double d = (k % 2 ? 0.25 : -0.25);  // inwards and outwards
        std::vector<Qe_Pt> out(ring.size());
        int out_n = 0;
        api_mb_offset_pts(ring.data(), (int)ring.size(), out.data(), out_n, d);
        ASSERT_EQ(out_n, n + 1) << k;
        for (int i = 0; i < n; ++i) {
            // Output vertex i joins the offsets of input edges i − 1 and i.
            const Qe_Pt& a = ring[(i + n - 1) % n];
            const Qe_Pt& v = ring[i];
            const Qe_Pt& b = ring[i + 1];
            EXPECT_NEAR(line_distance(out[i], a, v), 0.25, 1e-9) << k << " vertex " << i;
            EXPECT_NEAR(line_distance(out[i], v, b), 0.25, 1e-9) << k << " vertex " << i;
            EXPECT_EQ(is_pos_in_region(out[i], ring.data(), n), d > 0) << k << " vertex " << i;
        }
        EXPECT_EQ(out[0].x(), out[n].x());
        EXPECT_EQ(out[0].y(), out[n].y());
    }
}

TEST(PlaneGeometry, OffsetEdgeCases)
{
    const Qe_Pt seg[] = {{0, 0, 0}, {4, 0, 0}};
    Qe_Pt out[8];
    int out_n = -1;
    api_mb_offset_pts(seg, 2, out, out_n, 0.0);
    EXPECT_EQ(out_n, -1);
    api_mb_offset_pts(nullptr, 2, out, out_n, 1.0);
    api_mb_offset_pts(seg, 0, out, out_n, 1.0);
    EXPECT_EQ(out_n, -1);
    // Two points go to the right-hand side for a positive distance.
    api_mb_offset_pts(seg, 2, out, out_n, 1.0);
    ASSERT_EQ(out_n, 2);
    EXPECT_NEAR(out[0].y(), -1, 1e-15);
    EXPECT_NEAR(out[1].y(), -1, 1e-15);
    EXPECT_NEAR(out[1].x(), 4, 1e-15);
    // Repeated points are dropped before offsetting.
    const Qe_Pt rep[] = {{0, 0, 0}, {0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {4, 4, 0}};
    api_mb_offset_pts(rep, 5, out, out_n, 1.0);
    ASSERT_EQ(out_n, 3);
    EXPECT_NEAR(out[1].x(), 3, 1e-12);
    EXPECT_NEAR(out[1].y(), 1, 1e-12);
}

// Concave rings with axis-parallel edges have exact offsets: an L both ways, and a notch
// narrower than twice the distance, which closes outwards and leaves a zero-width bridge
// inwards.
TEST(PlaneGeometry, OffsetOfConcaveRings)
{
    const std::vector<Qe_Pt> ell = {{0, 0, 0}, {10, 0, 0}, {10, 4, 0}, {4, 4, 0}, {4, 10, 0}, {0, 10, 0}, {0, 0, 0}};
    const std::vector<Qe_Pt> notch = {{0, 0, 0},  {10, 0, 0}, {10, 10, 0}, {6, 10, 0}, {6, 2, 0},
                                      {5, 2, 0}, {5, 10, 0}, {0, 10, 0},  {0, 0, 0}};
    struct Case {
        const std::vector<Qe_Pt>* ring;
        double d;
        std::vector<std::pair<double, double>> want;
    };
    const Case cases[] = {
        {&ell, 1, {{1, 1}, {9, 1}, {9, 3}, {3, 3}, {3, 9}, {1, 9}, {1, 1}}},
        {&ell, -1, {{-1, -1}, {11, -1}, {11, 5}, {5, 5}, {5, 11}, {-1, 11}, {-1, -1}}},
        {&notch, 1, {{1, 1}, {9, 1}, {9, 9}, {7, 9}, {7, 1}, {4, 1}, {4, 9}, {1, 9}, {1, 1}}},
        {&notch, -1, {{-1, -1}, {11, -1}, {11, 11}, {-1, 11}, {-1, -1}}},
    };
    for (const Case& c : cases) {
        std::vector<Qe_Pt> out(c.ring->size());
        int out_n = -1;
        api_mb_offset_pts(c.ring->data(), (int)c.ring->size(), out.data(), out_n, c.d);
        ASSERT_EQ(out_n, (int)c.want.size()) << c.ring->size() << " points, d " << c.d;
        for (int i = 0; i < out_n; ++i) {
            EXPECT_EQ(out[i].x(), c.want[i].first) << i;
            EXPECT_EQ(out[i].y(), c.want[i].second) << i;
        }
    }
}

// Offsets of random zigzags, open and closed, at distances that make segments turn over:
// the output stays within the n points the caller gave and holds finite points.
TEST(PlaneGeometry, OffsetOfRandomPolylinesStaysInItsRoom)
{
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> c(-10, 10), dist(-6, 6);
    for (int k = 0; k < 2000; ++k) {
        const int n = 3 + k % 12;
        std::vector<Qe_Pt> in;
        for (int i = 0; i < n; ++i) in.emplace_back(std::round(c(rng)), std::round(c(rng)), 0);
        if (k % 2) in.back() = in.front();
        std::vector<Qe_Pt> out(n);
        int out_n = -1;
        api_mb_offset_pts(in.data(), n, out.data(), out_n, dist(rng));
        ASSERT_LE(out_n, n) << k;
        for (int i = 0; i < out_n; ++i) ASSERT_TRUE(std::isfinite(out[i].x()) && std::isfinite(out[i].y())) << k;
    }
}

}  // namespace
