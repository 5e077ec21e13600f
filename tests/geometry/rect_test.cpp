#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "geometry/rect.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

namespace {

void expect_pt(const Qe_Pt& p, double x, double y, double tol = 0.0)
{
    EXPECT_NEAR(p.x(), x, tol);
    EXPECT_NEAR(p.y(), y, tol);
}

void expect_rect(const Qe_Rect& r, double l, double t, double rr, double b, double tol = 0.0)
{
    expect_pt(r.lt(), l, t, tol);
    expect_pt(r.rb(), rr, b, tol);
}

// Restores the axis flag whatever a test does to it.
struct YDirGuard {
    bool saved = g_y_dir;
    ~YDirGuard() { g_y_dir = saved; }
};

TEST(Rect, ConstructionOrdersCorners)
{
    expect_rect(Qe_Rect(Qe_Pt(2, 5, 7), Qe_Pt(4, 1, 7)), 2, 5, 4, 1);
    expect_rect(Qe_Rect(Qe_Pt(4, 1, 0), Qe_Pt(2, 5, 0)), 2, 5, 4, 1);
    EXPECT_EQ(Qe_Rect(Qe_Pt(2, 5, 7), Qe_Pt(4, 1, 7)).lt().z(), 0.0);
    Qe_Rect r;
    r.set_rect(Qe_Pt(4, 1, 0), Qe_Pt(2, 5, 0));
    expect_rect(r, 4, 1, 2, 5);

    const Qe_Pt pts[] = {{3, -1, 0}, {-2, 4, 0}, {1, 9, 0}};
    Qe_Rect b(pts, 3);
    expect_rect(b, -2, 9, 3, -1);
    EXPECT_EQ(b.width(), 5);
    EXPECT_EQ(b.heigh(), 10);
    EXPECT_EQ(b.max_len(), 10);
    EXPECT_DOUBLE_EQ(b.diagonal_len(), std::sqrt(125.0));
    expect_pt(b.center(), 0.5, 4);
    expect_pt(b.lb(), -2, -1);
    expect_pt(b.rt(), 3, 9);
    EXPECT_FALSE(b.is_pt());
    EXPECT_TRUE(Qe_Rect(Qe_Pt(1, 1, 0), Qe_Pt(1, 1 + 1e-7, 0)).is_pt());

    // No points: false and nothing changes.
    EXPECT_FALSE(b.init_by_pts(0, pts));
    EXPECT_FALSE(b.init_by_pts(3, nullptr));
    expect_rect(b, -2, 9, 3, -1);
    expect_rect(Qe_Rect(pts, 0), 0, 0, 0, 0);
    Qe_Pt lt(0, 0, 5), rb(0, 0, 6);
    EXPECT_FALSE(api_mb_get_rect_pos(0, pts, lt, rb));
    EXPECT_TRUE(api_mb_get_rect_pos(3, pts, lt, rb));
    EXPECT_EQ(lt.z(), 5);  // z kept
    expect_pt(lt, -2, 9);
    expect_pt(rb, 3, -1);
}

TEST(Rect, OverlapAndContainmentWithBothYDirections)
{
    YDirGuard guard;
    for (bool y_up : {true, false}) {
        SCOPED_TRACE(y_up);
        g_y_dir = y_up;
        // With y down the corners are stored as given (top has the smaller y).
        auto make = [&](double l, double t, double r, double b) {
            Qe_Rect q;
            if (y_up)
                q.set_rect(Qe_Pt(l, t, 0), Qe_Pt(r, b, 0));
            else
                q.set_rect(Qe_Pt(l, b, 0), Qe_Pt(r, t, 0));
            return q;
        };
        const Qe_Rect a = make(0, 2, 2, 0);
        EXPECT_TRUE(a.intersect_rect(nullptr));
        EXPECT_TRUE(a.intersect_rect(&a));
        const Qe_Rect edge = make(2, 2, 4, 0), corner = make(2, 4, 4, 2), above = make(0, 5, 2, 2.5),
                      right = make(2.1, 2, 4, 0), inner = make(0.5, 1.5, 1.5, 0.5);
        EXPECT_TRUE(a.intersect_rect(&edge));
        EXPECT_TRUE(a.intersect_rect(&corner));
        EXPECT_FALSE(a.intersect_rect(&above));
        EXPECT_FALSE(above.intersect_rect(&a));
        EXPECT_FALSE(a.intersect_rect(&right));
        EXPECT_TRUE(a.rect_in_rect(inner));
        EXPECT_FALSE(inner.rect_in_rect(a));
        EXPECT_FALSE(a.rect_in_rect(a));
        EXPECT_TRUE(a.pt_in_rect(Qe_Pt(2.5, 1, 0), 0.5));
        EXPECT_FALSE(a.pt_in_rect(Qe_Pt(2.5, 1, 0), 0.4));
        EXPECT_TRUE(a.pt_in_rect(Qe_Pt(1, -0.5, 0), 0.5));
        EXPECT_FALSE(a.pt_in_rect(Qe_Pt(1, 2.5, 0), 0.4));
    }
}

TEST(Rect, Transformations)
{
    Qe_Rect a(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0));
    a.union_rect(Qe_Rect(Qe_Pt(3, -2, 0), Qe_Pt(2, 0.5, 0)));
    expect_rect(a, 0, 1, 3, -2);

    Qe_Rect c;
    c.init_by_circle(Qe_Pt(1, 2, 0), 3);
    expect_rect(c, -2, 5, 4, -1);

    Qe_Rect o(Qe_Pt(-1, 1, 0), Qe_Pt(1, -1, 0));
    o.offset_rect(Qe_Pt(10, 10, 0));
    expect_rect(o, 9, 11, 11, 9);
    Qe_Rect o2(Qe_Pt(0, 2, 0), Qe_Pt(2, 0, 0));
    o2.offset_rect(Qe_Pt(10, 10, 0));
    expect_rect(o2, 8, 10, 10, 8);

    Qe_Rect r(Qe_Pt(0, 1, 0), Qe_Pt(2, 0, 0));
    r.rotate_rect(Qe_Pt(0, 0, 0), M_PI / 2);
    expect_rect(r, -1, 2, 0, 0, 1e-12);
    Qe_Rect r2(Qe_Pt(0, 1, 0), Qe_Pt(2, 0, 0));
    r2.rotate_rect(Qe_Pt(1, 0, 0), M_PI);
    expect_rect(r2, 0, 0, 2, -1, 1e-12);

    Qe_Rect s(Qe_Pt(0, 2, 0), Qe_Pt(2, 0, 0));
    const double f[] = {2, -1, 1};
    s.scale_rect(Qe_Pt(1, 1, 0), f);
    expect_rect(s, -1, 0, 3, 2, 1e-12);  // not reordered
    s.scale_rect(Qe_Pt(), nullptr);
    expect_rect(s, -1, 0, 3, 2, 1e-12);

    Qe_Rect t(Qe_Pt(0, 1, 0), Qe_Pt(2, 0, 0));
    t.translate(rotate_transf(M_PI / 4, Qe_Vec(0, 0, 1)) * translate_transf(Qe_Vec(5, 0, 0)));
    const double h = std::sqrt(0.5);
    expect_rect(t, 5 - h, 3 * h, 5 + 2 * h, 0, 1e-12);
}

TEST(Rect, PixelRectangles)
{
    const RECT px{0, 0, 30, 20};
    int h = 0, w = 0;
    api_mb_get_rect_size(h, w, px);
    EXPECT_EQ(h, 20);
    EXPECT_EQ(w, 30);
    int x = 0, y = 0;
    api_mb_get_rect_center(x, y, RECT{1, 2, 4, 7});
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 4);
    api_mb_get_rect_size(h, w, RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    EXPECT_EQ(h, INT32_MAX);
    api_mb_get_rect_center(x, y, RECT{INT32_MIN, 0, INT32_MAX, 0});
    EXPECT_EQ(x, -1);  // −2³¹ + (2³² − 1) / 2, without overflow

    // Screen to world: y flips about a 100-pixel-high view, scale 0.5.
    const Qe_Tran to_world = scale_transf(0.5, -0.5, 1) * translate_transf(Qe_Vec(0, 50, 0));
    Qe_Rect r;
    r.build_by_RECT(RECT{10, 20, 30, 60}, to_world);
    expect_rect(r, 5, 40, 15, 20, 1e-12);

    Qe_Rect s;
    s.set_rect(Qe_Pt(1.9, 2.7, 0), Qe_Pt(-3.5, 1e30, 0));
    RECT out{};
    s.conver_to_scr_rect(out);
    EXPECT_EQ(out.left, 1);
    EXPECT_EQ(out.top, 2);
    EXPECT_EQ(out.right, -3);
    EXPECT_EQ(out.bottom, INT32_MAX);  // clamped, not wrapped
    s.set_rect(Qe_Pt(std::nan(""), 0, 0), Qe_Pt(0, -1e30, 0));
    s.conver_to_scr_rect(out);
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.bottom, INT32_MIN);
}

TEST(SegmentTests, OnSegmentAndPick)
{
    const Qe_Pt a(0, 0, 0), b(2, 0, 0);
    EXPECT_FALSE(is_on_segment(Qe_Pt(1, 1e-6, 0), a, b));
    EXPECT_TRUE(is_on_segment(Qe_Pt(1, 0, 0), a, b));
    EXPECT_TRUE(is_on_segment(Qe_Pt(2, 0, 0), a, b));
    EXPECT_FALSE(is_on_segment(Qe_Pt(2.5, 0, 0), a, b));
    EXPECT_TRUE(is_on_segment(Qe_Pt(1, 1, 0), Qe_Pt(0, 0, 0), Qe_Pt(3, 3, 0)));

    struct Case {
        Qe_Pt p, a, b;
        double tol;
        int code;
        double x, y;
    };
    const Case cases[] = {
        {{0.3, 0.3, 0}, a, b, 0.5, 1, 0, 0},
        {{1.8, -0.2, 0}, a, b, 0.5, 2, 2, 0},
        {{1, 0.4, 0}, a, b, 0.5, 3, 1, 0},
        {{1, 0.5, 0}, a, b, 0.5, 0, 0, 0},            // exactly tol from the foot
        {{2.5, 0.5, 0}, a, b, 0.5, 0, 0, 0},          // exactly tol from the foot, beyond b
        {{2.45, 0.3, 0}, a, b, 0.5, 3, 2.45, 0},      // the foot lies on the infinite line
        {{3, 0, 0}, a, b, 0.5, 0, 0, 0},              // outside the grown box
        {{0.05, 0, 0}, a, {0.1, 0, 0}, 0.5, 1, 0, 0},  // near both ends of a short segment
        {{1, 2, 0}, {0, 0, 0}, {2, 4, 0}, 0.1, 3, 1, 2},
    };
    for (const Case& c : cases) {
        Qe_Pt out(-9, -9, -9);
        EXPECT_EQ(is_pick_segment(c.p, c.a, c.b, c.tol, out), c.code) << c.p.x() << "," << c.p.y();
        if (c.code != 0)
            expect_pt(out, c.x, c.y, 1e-12);
        else
            expect_pt(out, -9, -9);
    }
}

TEST(SegmentTests, TwoSegmentsIntersection)
{
    struct Case {
        Qe_Pt a1, a2, b1, b2;
        bool ok;
        double x, y;
    };
    const Case cases[] = {
        {{0, 0, 0}, {2, 2, 0}, {0, 2, 0}, {2, 0, 0}, true, 1, 1},
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 5, 0}, true, 1, 0},
        {{0, 0, 0}, {0, 4, 0}, {-1, 2, 0}, {3, 2, 0}, true, 0, 2},
        {{-1, 2, 0}, {3, 2, 0}, {0, 0, 0}, {0, 4, 0}, true, 0, 2},
        {{0, 0, 0}, {4, 4, 0}, {1, 0, 0}, {5, 4, 0}, false, 0, 0},   // parallel, boxes overlap
        {{0, 0, 0}, {1, 1, 0}, {3, 0, 0}, {2, 1, 0}, false, 0, 0},   // lines meet outside
        {{0, 0, 0}, {1, 1, 0}, {5, 5, 0}, {6, 0, 0}, false, 0, 0},   // boxes apart
        {{0, 0, 0}, {4, 1, 0}, {1, -3, 0}, {2, 5, 0}, true, 44.0 / 31.0, 11.0 / 31.0},
    };
    for (const Case& c : cases) {
        Qe_Pt out(-9, -9, -9);
        EXPECT_EQ(two_segments_intersection(c.a1, c.a2, c.b1, c.b2, out), c.ok);
        if (c.ok)
            expect_pt(out, c.x, c.y, 1e-12);
        else
            expect_pt(out, -9, -9);
    }
}

TEST(SegmentTests, SmallHelpers)
{
    Qe_Uvec u(1, 0, 0);
    u.set_y(5e-12);
    u.set_z(-5e-12);
    cal_tol_unit_vector(u);
    EXPECT_EQ(u.y(), 0.0);
    EXPECT_EQ(u.z(), 0.0);
    EXPECT_EQ(u.x(), 1.0);

    Qe_Pt pts[] = {{0, 1, 0}, {2, 3, 0}};
    oblique_ptarray(pts, 2, M_PI / 4, Qe_Pt(0, 1, 0));
    expect_pt(pts[0], 0, 1, 1e-12);
    expect_pt(pts[1], 4, 3, 1e-12);
    oblique_ptarray(nullptr, 3, 1.0, Qe_Pt());

    EXPECT_TRUE(api_mb_get_pts_dir(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(1, 1, 0)));
    EXPECT_FALSE(api_mb_get_pts_dir(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(1, -1, 0)));
    EXPECT_TRUE(api_mb_get_pts_dir(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(2, 0, 0)));
}

}  // namespace
