#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "kernel/entities/entity_fixture.h"
#include "geometry/pt_list.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/polyline.h"
#include "kernel/operation/flat_create.h"

using namespace entity_test;

namespace {

struct V {
    double x, y, bulge = 0.0, w0 = 0.0, w1 = 0.0;
};

MB_Polyline* make(const std::vector<V>& vs, bool closed = false)
{
    auto* p = new MB_Polyline;
    for (const V& v : vs) {
        MB_Pline_Pos& pos = p->get_new_pline_pos();
        pos.point = Qe_Pt(v.x, v.y, 0.0);
        pos.bulge = v.bulge;
        pos.start_width = v.w0;
        pos.end_width = v.w1;
    }
    p->closed(closed);
    p->general().color(0);
    p->general().width(1.0);
    return p;
}

std::vector<Qe_Pt> edge_points(MB_Polyline& p)
{
    return std::vector<Qe_Pt>(p.edge().points(), p.edge().points() + p.edge().count());
}

// The outline runs of a wide polyline's display node.
std::vector<std::vector<Qe_Pt>> runs(MB_Polyline& p)
{
    std::vector<std::vector<Qe_Pt>> out;
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(p.draw_node());
    if (!node) return out;
    const Qe_Pt* pts = node->points();
    for (mb_ulong r = 0; r < node->ptset_count(); ++r) {
        out.emplace_back(pts, pts + node->vals()[r]);
        pts += node->vals()[r];
    }
    return out;
}

// The circle through a, b and the arc's middle point, found from the perpendicular bisectors
// of the two chords (not from the bulge formula the entity uses).
void circle_through(const Qe_Pt& a, const Qe_Pt& q, const Qe_Pt& b, Qe_Pt& c, double& r)
{
    const double d = 2.0 * (a.x() * (q.y() - b.y()) + q.x() * (b.y() - a.y()) + b.x() * (a.y() - q.y()));
    const double aa = a.x() * a.x() + a.y() * a.y();
    const double qq = q.x() * q.x() + q.y() * q.y();
    const double bb = b.x() * b.x() + b.y() * b.y();
    c = Qe_Pt((aa * (q.y() - b.y()) + qq * (b.y() - a.y()) + bb * (a.y() - q.y())) / d,
              (aa * (b.x() - q.x()) + qq * (a.x() - b.x()) + bb * (q.x() - a.x())) / d, 0.0);
    r = std::hypot(a.x() - c.x(), a.y() - c.y());
}

TEST(Polyline_Arc, PointsLieOnTheBulgeCircleAndTurnItsWay)
{
    struct Case {
        Qe_Pt a, b;
        double bulge;
    };
    const Case cases[] = {
        {{0, 0, 0}, {2, 0, 0}, 1.0},     {{0, 0, 0}, {2, 0, 0}, -1.0},   {{1, 2, 0}, {4, -2, 0}, 0.3},
        {{-3, 1, 0}, {5, 5, 0}, -2.5},   {{0, 0, 0}, {10, 0, 0}, 1e-5},  {{0, 0, 0}, {1, 1, 0}, 40.0},
        {{7, 7, 0}, {7, 9, 0}, -0.01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bulge);
        Qe_Pt pts[40];
        ASSERT_TRUE(pline_bulge_arc(c.a, c.b, c.bulge, 40, pts));
        // The sagitta is bulge × half chord, on the right of a → b for a positive bulge.
        const double dx = c.b.x() - c.a.x(), dy = c.b.y() - c.a.y();
        const double half = std::hypot(dx, dy) / 2.0;
        const Qe_Pt q(c.a.x() + dx / 2 + dy / (2 * half) * half * c.bulge,
                      c.a.y() + dy / 2 - dx / (2 * half) * half * c.bulge, 0);
        Qe_Pt centre;
        double radius = 0;
        circle_through(c.a, q, c.b, centre, radius);
        EXPECT_EQ(pts[0].x(), c.a.x());
        EXPECT_EQ(pts[39].y(), c.b.y());
        double turned = 0;
        for (int k = 0; k < 40; ++k) {
            EXPECT_NEAR(std::hypot(pts[k].x() - centre.x(), pts[k].y() - centre.y()), radius, 1e-9 * radius) << k;
            if (k == 0) continue;
            const double a0 = std::atan2(pts[k - 1].y() - centre.y(), pts[k - 1].x() - centre.x());
            const double a1 = std::atan2(pts[k].y() - centre.y(), pts[k].x() - centre.x());
            turned += std::remainder(a1 - a0, 2 * M_PI);
        }
        EXPECT_NEAR(turned, 4 * std::atan(c.bulge), 1e-9);
    }
}

TEST(Polyline_Arc, HalfCirclesAndStraightSegments)
{
    // A bulge of 1 from (0,0) to (2,0) runs counter-clockwise below the chord through
    // (1,−1); −1 runs clockwise above it through (1,1).
    for (const double bulge : {1.0, -1.0}) {
        std::unique_ptr<MB_Polyline> p(make({{0, 0, bulge}, {2, 0}}));
        p->build_draw();
        const std::vector<Qe_Pt> e = edge_points(*p);
        ASSERT_EQ(e.size(), 41u);
        double nearest = 1e9;
        for (const Qe_Pt& pt : e) {
            EXPECT_LE(pt.y() * bulge, 1e-12);
            nearest = std::min(nearest, std::hypot(pt.x() - 1.0, pt.y() + bulge));
        }
        EXPECT_LT(nearest, 0.05);
        EXPECT_TRUE(pt_eq(e.back(), Qe_Pt(2, 0, 0)));
        EXPECT_EQ(p->draw_node(), nullptr);
    }
    // Below resabs a bulge draws straight.
    std::unique_ptr<MB_Polyline> flat(make({{0, 0, 0.9e-6}, {2, 0}}));
    flat->build_draw();
    EXPECT_EQ(flat->edge().count(), 2);
}

TEST(Polyline_Build, ClosingRules)
{
    struct Case {
        const char* name;
        std::vector<V> vs;
        bool closed;
        int points;
        Qe_Pt last;
    };
    const Case cases[] = {
        {"open straight", {{0, 0}, {1, 0}, {1, 1}}, false, 3, {1, 1, 0}},
        {"closed triangle returns to its first vertex", {{0, 0}, {1, 0}, {1, 1}}, true, 4, {0, 0, 0}},
        {"closed two straight vertices: one segment", {{0, 0}, {1, 0}}, true, 2, {1, 0, 0}},
        {"closed two, bulge on the second: an arc back", {{0, 0}, {1, 0, 1.0}}, true, 41, {0, 0, 0}},
        {"open, bulge on the last vertex: ends there", {{0, 0}, {1, 0, 1.0}}, false, 2, {1, 0, 0}},
        {"arc then straight", {{0, 0, 0.5}, {1, 0}, {1, 1}}, false, 42, {1, 1, 0}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<MB_Polyline> p(make(c.vs, c.closed));
        p->build_draw();
        EXPECT_EQ(p->edge().count(), c.points) << c.name;
        EXPECT_TRUE(pt_eq(p->edge().end_pos(), c.last)) << c.name;
    }
    // Fewer than two vertices keep the display they had.
    std::unique_ptr<MB_Polyline> one(make({{3, 4}}));
    one->build_draw();
    EXPECT_EQ(one->edge().count(), 0);
}

TEST(Polyline_Build, ClosedFormsAndKeys)
{
    std::unique_ptr<MB_Polyline> sq(make({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true));
    sq->build_draw();
    EXPECT_DOUBLE_EQ(sq->get_real(-100), 4.0);
    EXPECT_DOUBLE_EQ(sq->get_real(-101), 1.0);
    EXPECT_EQ(sq->get_int(-204), 4);
    EXPECT_TRUE(pt_eq(sq->get_point(-1), Qe_Pt(0, 0, 0)));
    EXPECT_TRUE(pt_eq(sq->get_point(-2), Qe_Pt(0, 1, 0)));
    EXPECT_TRUE(pt_eq(sq->get_point(2), Qe_Pt(1, 1, 0)));
    // Past the vertices: the origin, and setters change nothing.
    EXPECT_TRUE(pt_eq(sq->get_point(4), Qe_Pt()));
    sq->set_point(4, Qe_Pt(9, 9, 9));
    sq->set_point(2, Qe_Pt(5, 6, 7));
    EXPECT_TRUE(pt_eq(sq->get_point(2), Qe_Pt(5, 6, 0)));
    sq->set_point(-2, Qe_Pt(-1, 2, 3));
    EXPECT_TRUE(pt_eq(sq->get_point(3), Qe_Pt(-1, 2, 0)));
    // A circle of two half arcs: length 2π·r and area π·r² within the chord error.
    std::unique_ptr<MB_Polyline> circle(make({{-1, 0, 1.0}, {1, 0, 1.0}}, true));
    circle->build_draw();
    EXPECT_NEAR(circle->get_real(-100), 2 * M_PI, 2e-3);
    EXPECT_NEAR(circle->get_real(-101), M_PI, 5e-3);
    sq->global_width(2.5);
    EXPECT_EQ(sq->get_real(-105), 2.5);
    // set_real handles no key of its own; the general keys still work.
    sq->set_real(-124, 3.0);
    EXPECT_EQ(sq->general().width(), 3.0);
    sq->set_real(-105, 7.0);
    EXPECT_EQ(sq->global_width(), 2.5);
    std::unique_ptr<MB_Polyline> empty(new MB_Polyline);
    EXPECT_TRUE(pt_eq(empty->get_point(-1), Qe_Pt()));
    EXPECT_TRUE(pt_eq(empty->get_point(-2), Qe_Pt()));
    empty->set_point(-1, Qe_Pt(1, 1, 1));
    EXPECT_EQ(empty->count(), 0);
}

TEST(Polyline_Wide, RightAngleJointIsMitred)
{
    // Right along y = 10, then down along x = 10, width 2: outer corner (11, 11), inner (9, 9).
    std::unique_ptr<MB_Polyline> p(make({{0, 10, 0, 2, 2}, {10, 10, 0, 2, 2}, {10, 0}}));
    p->build_draw();
    const auto r = runs(*p);
    ASSERT_EQ(r.size(), 2u);
    ASSERT_EQ(r[0].size(), 5u);
    ASSERT_EQ(r[1].size(), 5u);
    EXPECT_TRUE(pt_eq(r[0][0], Qe_Pt(0, 9, 0)));
    EXPECT_TRUE(pt_eq(r[0][1], Qe_Pt(9, 9, 0)));
    EXPECT_TRUE(pt_eq(r[0][2], Qe_Pt(11, 11, 0)));
    EXPECT_TRUE(pt_eq(r[1][0], Qe_Pt(9, 9, 0)));
    EXPECT_TRUE(pt_eq(r[1][4], Qe_Pt(9, 9, 0)));
    EXPECT_TRUE(pt_eq(r[1][3], Qe_Pt(11, 11, 0)));
    EXPECT_TRUE(pt_eq(r[1][1], Qe_Pt(9, 0, 0)));
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(p->draw_node());
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->is_filled());
    // The rectangle covers the band, not only the centre line.
    EXPECT_TRUE(pt_eq(p->rect().lt(), Qe_Pt(0, 11, 0)));
    EXPECT_TRUE(pt_eq(p->rect().rb(), Qe_Pt(11, 0, 0)));
}

TEST(Polyline_Wide, PointedEndsAndReversalsStayUnjoined)
{
    // A taper from 0 to 2 starts in a point (K1 = K4) and is not joined to the band before.
    std::unique_ptr<MB_Polyline> taper(make({{0, 0, 0, 2, 2}, {10, 0, 0, 0, 2}, {10, 10}}));
    taper->build_draw();
    auto r = runs(*taper);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(pt_eq(r[1][0], Qe_Pt(10, 0, 0)));
    EXPECT_TRUE(pt_eq(r[1][3], Qe_Pt(10, 0, 0)));
    EXPECT_TRUE(pt_eq(r[0][1], Qe_Pt(10, -1, 0)));
    EXPECT_TRUE(pt_eq(r[0][2], Qe_Pt(10, 1, 0)));
    EXPECT_TRUE(pt_eq(r[1][1], Qe_Pt(11, 10, 0)));
    // Going back the same way: no joint.
    std::unique_ptr<MB_Polyline> back(make({{0, 0, 0, 2, 2}, {10, 0, 0, 2, 2}, {0, 0}}));
    back->build_draw();
    r = runs(*back);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(pt_eq(r[0][1], Qe_Pt(10, -1, 0)));
    EXPECT_TRUE(pt_eq(r[0][2], Qe_Pt(10, 1, 0)));
    EXPECT_TRUE(pt_eq(r[1][0], Qe_Pt(10, 1, 0)));
    // A wide arc tapers to its end width exactly at its end vertex.
    std::unique_ptr<MB_Polyline> arc(make({{0, 0, 1.0, 0, 4}, {2, 0}}));
    arc->build_draw();
    r = runs(*arc);
    ASSERT_EQ(r.size(), 39u);
    EXPECT_NEAR(std::hypot(r.back()[1].x() - r.back()[2].x(), r.back()[1].y() - r.back()[2].y()), 4.0, 1e-6);
    EXPECT_TRUE(pt_eq(r.front()[0], r.front()[3]));
    // On the way it widens evenly: from 1 to 3 over 39 pieces, the end of the k-th piece
    // (from 0) as wide as (k + 1) / 39 of the way. (The mitred corners of the tapering band
    // at the shallow joints of this arc, radius 12.5, lie within 0.005 of its width.)
    std::unique_ptr<MB_Polyline> wide(make({{0, 0, 0.5, 1, 3}, {20, 0}}));
    wide->build_draw();
    r = runs(*wide);
    ASSERT_EQ(r.size(), 39u);
    for (std::size_t k = 0; k < r.size(); ++k)
        EXPECT_NEAR(std::hypot(r[k][1].x() - r[k][2].x(), r[k][1].y() - r[k][2].y()), 1.0 + 2.0 * (k + 1) / 39.0,
                    0.01)
            << k;
}

TEST(Polyline_Wide, GlobalWidthFillsTheBand)
{
    // Only the global width: every segment is drawn at that width, in the entity colour.
    std::unique_ptr<MB_Polyline> p(make({{10, 20}, {90, 20}}));
    p->global_width(10.0);
    p->general().color(RGB(255, 0, 0));
    p->build_draw();
    ASSERT_EQ(runs(*p).size(), 1u);
    Raster raster(100, 40);
    Qe_Tran identity;
    p->draw(nullptr, raster.q, identity);
    const int red = raster.count(RGB(255, 0, 0));
    EXPECT_GE(red, 80 * 10 * 9 / 10);
    EXPECT_LE(red, 81 * 11);
    EXPECT_EQ(raster.drawn(), red);
}

// Two bands of half width 8 pixels meeting at (100, 100), turned by each angle (both ways),
// drawn with the identity transform and compared pixel by pixel with the shape drawn
// independently as convex pieces: the two bands, and at the outer side of the joint the
// mitre (while it reaches at most 4 half widths from the joint, that is 1 / sin(φ / 2) <= 4
// for the angle φ between the bands) or else the bevel triangle. The corners are rounded to
// whole pixels: a pixel must be painted when the 3 x 3 points around its centre, 1.5 pixels
// apart, are all inside, and must not be when its centre lies more than 1.5 pixels away.
TEST(Polyline_Wide, TurningJointsInPixels)
{
    constexpr double k_half = 8.0, k_len = 60.0;
    using Piece = std::vector<Qe_Pt>;  // convex, either orientation
    const auto inside = [](const Piece& piece, double x, double y) {
        int pos = 0, neg = 0;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const Qe_Pt& a = piece[i];
            const Qe_Pt& b = piece[(i + 1) % piece.size()];
            const double c = (b.x() - a.x()) * (y - a.y()) - (b.y() - a.y()) * (x - a.x());
            pos += c > 0;
            neg += c < 0;
        }
        return pos == 0 || neg == 0;
    };
    const auto distance = [&](const Piece& piece, double x, double y) {
        if (inside(piece, x, y)) return 0.0;
        double best = 1e300;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const Qe_Pt& a = piece[i];
            const Qe_Pt& b = piece[(i + 1) % piece.size()];
            const double ex = b.x() - a.x(), ey = b.y() - a.y();
            const double len2 = ex * ex + ey * ey;
            const double f = len2 > 0 ? std::clamp(((x - a.x()) * ex + (y - a.y()) * ey) / len2, 0.0, 1.0) : 0.0;
            best = std::min(best, std::hypot(x - a.x() - f * ex, y - a.y() - f * ey));
        }
        return best;
    };
    const Qe_Pt joint(100, 100, 0);
    for (const double degrees : {20.0, 60.0, 90.0, 120.0, 145.0, 150.0, 152.0, 160.0, 170.0, 178.0}) {
        for (const int way : {1, -1}) {
            SCOPED_TRACE(std::to_string(way * degrees) + " degrees");
            const double turn = way * degrees * M_PI / 180.0;
            const double d2x = std::cos(turn), d2y = std::sin(turn);
            const Qe_Pt a(joint.x() - k_len, joint.y(), 0);
            const Qe_Pt b(joint.x() + k_len * d2x, joint.y() + k_len * d2y, 0);
            std::unique_ptr<MB_Polyline> p(make({{a.x(), a.y(), 0, 2 * k_half, 2 * k_half},
                                                 {joint.x(), joint.y(), 0, 2 * k_half, 2 * k_half},
                                                 {b.x(), b.y()}}));
            p->general().color(RGB(255, 0, 0));
            p->build_draw();
            Raster raster(200, 200);
            Qe_Tran identity;
            p->draw(nullptr, raster.q, identity);

            const auto off = [&](const Qe_Pt& at, double nx, double ny, double k) {
                return Qe_Pt(at.x() + nx * k, at.y() + ny * k, 0);
            };
            // Left-hand normals of the two bands.
            const double n1x = 0, n1y = 1, n2x = -d2y, n2y = d2x;
            std::vector<Piece> pieces = {
                {off(a, n1x, n1y, k_half), off(joint, n1x, n1y, k_half), off(joint, n1x, n1y, -k_half),
                 off(a, n1x, n1y, -k_half)},
                {off(joint, n2x, n2y, k_half), off(b, n2x, n2y, k_half), off(b, n2x, n2y, -k_half),
                 off(joint, n2x, n2y, -k_half)}};
            // The outer side is away from the turn.
            const double side = turn > 0 ? -1.0 : 1.0;
            const Qe_Pt c1 = off(joint, n1x, n1y, side * k_half);
            const Qe_Pt c2 = off(joint, n2x, n2y, side * k_half);
            const double phi = M_PI - std::fabs(turn);
            const double mx = (c1.x() + c2.x()) / 2 - joint.x(), my = (c1.y() + c2.y()) / 2 - joint.y();
            const double ml = std::hypot(mx, my);
            const Qe_Pt mitre = off(joint, mx / ml, my / ml, k_half / std::sin(phi / 2));
            if (1.0 / std::sin(phi / 2) <= 4.0)
                pieces.push_back({joint, c1, mitre, c2});
            else
                pieces.push_back({joint, c1, c2});

            int missing = 0, extra = 0, sure = 0;
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 200; ++x) {
                    const double cx = x + 0.5, cy = y + 0.5;
                    int in = 0;
                    for (const double dy : {-1.5, 0.0, 1.5})
                        for (const double dx : {-1.5, 0.0, 1.5})
                            in += std::any_of(pieces.begin(), pieces.end(),
                                              [&](const Piece& q) { return inside(q, cx + dx, cy + dy); });
                    double away = 1e300;
                    for (const Piece& q : pieces) away = std::min(away, distance(q, cx, cy));
                    const bool red = raster.pixel(x, y) == RGB(255, 0, 0);
                    sure += in == 9;
                    if (in == 9 && !red) ++missing;
                    if (away > 1.5 && red) ++extra;
                }
            EXPECT_GT(sure, 60 * 16 / 2);
            EXPECT_EQ(missing, 0);
            EXPECT_EQ(extra, 0);
            // The rectangle is what is drawn: the box of the pieces, no more.
            double lo_x = 1e300, hi_x = -1e300, lo_y = 1e300, hi_y = -1e300;
            for (const Piece& q : pieces)
                for (const Qe_Pt& v : q) {
                    lo_x = std::min(lo_x, v.x());
                    hi_x = std::max(hi_x, v.x());
                    lo_y = std::min(lo_y, v.y());
                    hi_y = std::max(hi_y, v.y());
                }
            EXPECT_NEAR(p->rect().lt().x(), lo_x, 1e-9);
            EXPECT_NEAR(p->rect().rb().x(), hi_x, 1e-9);
            EXPECT_NEAR(p->rect().lt().y(), hi_y, 1e-9);
            EXPECT_NEAR(p->rect().rb().y(), lo_y, 1e-9);
        }
    }
}

// The sample drawing's wide path: a band widening from 1 to 3 along y = 95, a half circle of
// width 3 that turns back on itself to y = 75, and a band narrowing back. Where the arc
// turns back from the straight bands the joints are bevelled: the picture and its rectangle
// stay within the path (no spike), and every point of its centre line is painted (the
// overlapping bands are each filled whole).
TEST(Polyline_Wide, SamplePathTurnsBackWithoutSpikes)
{
    std::unique_ptr<MB_Polyline> p(make({{110, 95, 0, 1, 3}, {150, 95, 1, 3, 3}, {150, 75, 0, 3, 0.5}, {115, 75}}));
    p->general().color(RGB(255, 0, 0));
    p->build_draw();
    // The arc reaches x = 140 - 1.5 on the left; the bands end at x = 150 and 110 or 115.
    EXPECT_NEAR(p->rect().lt().x(), 110.0, 1e-9);
    EXPECT_LT(p->rect().rb().x(), 150.5);
    EXPECT_NEAR(p->rect().lt().y(), 96.5, 0.05);
    EXPECT_NEAR(p->rect().rb().y(), 73.5, 0.05);

    // In pixels, four to a unit, the drawing's (108, 100) at the top left.
    constexpr double k = 4.0;
    const Qe_Tran to_pixels = translate_transf(Qe_Vec(-108, -100, 0)) * scale_transf(k, -k, 1.0);
    Raster raster(200, 120);
    p->draw(nullptr, raster.q, const_cast<Qe_Tran&>(to_pixels));
    int beyond = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            if (raster.pixel(x, y) == RGB(255, 0, 0) && (x > (151 - 108) * k || x < (109 - 108) * k)) ++beyond;
    EXPECT_EQ(beyond, 0);
    const std::vector<Qe_Pt> centre = edge_points(*p);
    int holes = 0;
    for (std::size_t i = 0; i + 1 < centre.size(); ++i)
        for (const double f : {0.25, 0.5, 0.75}) {
            const Qe_Pt q = interpolate(f, centre[i], centre[i + 1]) * to_pixels;
            if (raster.pixel(static_cast<int>(q.x()), static_cast<int>(q.y())) != RGB(255, 0, 0)) ++holes;
        }
    EXPECT_EQ(holes, 0);
}

TEST(Polyline_Vertices, GrowthScratchAndCopies)
{
    std::unique_ptr<MB_Polyline> p(api_mb_create_polyline(3));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->count(), 3);
    EXPECT_FALSE(p->closed());
    EXPECT_EQ(p->pline_pos()[2].bulge, 0.0);
    MB_Pline_Pos& added = p->get_new_pline_pos();
    added.point = Qe_Pt(1, 2, 3);
    EXPECT_EQ(p->count(), 4);
    EXPECT_TRUE(pt_eq(p->pline_pos()[3].point, Qe_Pt(1, 2, 3)));
    // At the largest count nothing more is added.
    std::unique_ptr<MB_Polyline> full(api_mb_create_polyline(MB_Polyline::k_max_count));
    EXPECT_EQ(full->count(), 65535);
    MB_Pline_Pos& scratch = full->get_new_pline_pos();
    scratch.bulge = 5.0;
    EXPECT_EQ(full->count(), 65535);
    EXPECT_NE(&scratch, &full->pline_pos()[65534]);
    EXPECT_EQ(full->pline_pos()[65534].bulge, 0.0);
    std::unique_ptr<MB_Polyline> none(api_mb_create_polyline(-4));
    EXPECT_EQ(none->count(), 0);
    // A new copy: fit type 0, its own array. An existing one takes the whole vertex list.
    p->fittype(5);
    p->global_width(1.5);
    p->closed(true);
    MB_Object* copy = nullptr;
    ASSERT_TRUE(p->copy_to(copy));
    std::unique_ptr<MB_Polyline> c(dynamic_cast<MB_Polyline*>(copy));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->fittype(), 0);
    EXPECT_EQ(c->count(), 4);
    EXPECT_TRUE(c->closed());
    EXPECT_EQ(c->global_width(), 1.5);
    EXPECT_NE(c->pline_pos(), p->pline_pos());
    std::unique_ptr<MB_Polyline> small(make({{9, 9}}));
    small->fittype(7);
    MB_Object* target = small.get();
    ASSERT_TRUE(p->copy_to(target));
    EXPECT_EQ(small->count(), 4);
    EXPECT_TRUE(small->closed());
    EXPECT_EQ(small->fittype(), 7);
    EXPECT_TRUE(pt_eq(small->pline_pos()[3].point, Qe_Pt(1, 2, 3)));
}

TEST(Polyline_Pick, VerticesBeforeSegments)
{
    std::unique_ptr<MB_Polyline> p(make({{0, 0}, {10, 0}, {10, 10}}));
    p->build_draw();
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    ASSERT_TRUE(p->pick(Qe_Pt(9.5, 0.4, 0), hits, 1.0, out, kind, extra));
    EXPECT_EQ(kind, 22);
    EXPECT_TRUE(pt_eq(out, Qe_Pt(10, 0, 0)));
    ASSERT_TRUE(p->pick(Qe_Pt(5, 0.4, 0), hits, 1.0, out, kind, extra));
    EXPECT_EQ(kind, 57);
    EXPECT_TRUE(pt_eq(out, Qe_Pt(5, 0, 0)));
    // Exactly at the tolerance is no hit.
    EXPECT_FALSE(p->pick(Qe_Pt(5, 5, 0), hits, 1.0, out, kind, extra));
    EXPECT_FALSE(p->pick(Qe_Pt(11, 10, 0), hits, 1.0, out, kind, extra) && kind == 22);
}

TEST(Polyline_Move, TranslateKeepsBulgesAndWidths)
{
    std::unique_ptr<MB_Polyline> p(make({{0, 0, 0.5, 1, 2}, {4, 0}}));
    p->translate(rotate_transf(M_PI / 2, Qe_Vec(0, 0, 1)) * scale_transf(2.0), 0);
    EXPECT_NEAR(p->pline_pos()[1].point.x(), 0.0, 1e-12);
    EXPECT_NEAR(p->pline_pos()[1].point.y(), 8.0, 1e-12);
    EXPECT_EQ(p->pline_pos()[0].bulge, 0.5);
    EXPECT_EQ(p->pline_pos()[0].end_width, 2.0);
}

}  // namespace
