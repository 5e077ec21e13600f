#include <gtest/gtest.h>

#include <cmath>
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
