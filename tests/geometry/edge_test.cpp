#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "geometry/angles.h"
#include "geometry/edge.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

namespace {

void expect_pt(const Qe_Pt& p, double x, double y, double tol = 1e-12)
{
    EXPECT_NEAR(p.x(), x, tol);
    EXPECT_NEAR(p.y(), y, tol);
}

// Takes the pieces out of a list and owns them.
std::vector<std::unique_ptr<Qe_Line>> pieces(Qe_Void_List& out)
{
    std::vector<std::unique_ptr<Qe_Line>> v;
    for (Qe_Void_Node* n = out.head(); n; n = n->next()) v.emplace_back(static_cast<Qe_Line*>(n->entity()));
    out.clear();
    return v;
}

TEST(Edge, IdsAndBaseAnswers)
{
    Qe_Point pt(1, 2, 3);
    Qe_Line line;
    Qe_Segment seg;
    Qe_Circle circle;
    Qe_Arc arc(Qe_Pt(), 0, 1, 1);
    EXPECT_EQ(pt.edge_id(), Qe_Edge::POINT);
    EXPECT_EQ(line.edge_id(), Qe_Edge::LINE);
    EXPECT_EQ(seg.edge_id(), Qe_Edge::LINE);
    EXPECT_EQ(arc.edge_id(), Qe_Edge::ARC);
    EXPECT_EQ(circle.edge_id(), Qe_Edge::CIRCLE);
    // A point edge answers with the base behaviour.
    expect_pt(pt.start_pos(), 0, 0);
    EXPECT_EQ(pt.length(), 0.0);
    Qe_Void_List out;
    EXPECT_FALSE(pt.break_by_point(Qe_Pt(1, 2, 3), out));
    Qe_Pt* pts = nullptr;
    int n = 0;
    EXPECT_FALSE(line.interact(&pt, pts, n));
    EXPECT_FALSE(line.self_interact());
    EXPECT_TRUE(out.is_empty());
}

TEST(Edge, LineBreaksIntoTwoPiecesFromThePoint)
{
    Qe_Line line(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    Qe_Void_List out;
    ASSERT_TRUE(line.break_by_point(Qe_Pt(4, 0, 0), out));
    auto v = pieces(out);
    ASSERT_EQ(v.size(), 2u);
    expect_pt(v[0]->start(), 4, 0);
    expect_pt(v[0]->end(), 0, 0);
    expect_pt(v[1]->start(), 4, 0);
    expect_pt(v[1]->end(), 10, 0);
    // At an end, within resabs of it, or off the line: nothing.
    for (const Qe_Pt& p : {Qe_Pt(10, 0, 0), Qe_Pt(1e-7, 0, 0), Qe_Pt(5, 1, 0), Qe_Pt(11, 0, 0)}) {
        EXPECT_FALSE(line.break_by_point(p, out));
        EXPECT_TRUE(out.is_empty());
    }
    // cut only for one point.
    EXPECT_FALSE(line.cut(Qe_Pt(2, 0, 0), Qe_Pt(4, 0, 0), out));
    EXPECT_TRUE(line.cut(Qe_Pt(2, 0, 0), Qe_Pt(2, 0, 0), out));
    EXPECT_EQ(pieces(out).size(), 2u);
    // A segment breaks into plain lines.
    Qe_Segment seg(Qe_Pt(0, 0, 0), Qe_Pt(0, 10, 0));
    ASSERT_TRUE(seg.break_by_point(Qe_Pt(0, 5, 0), out));
    for (auto& p : pieces(out)) EXPECT_EQ(dynamic_cast<Qe_Segment*>(p.get()), nullptr);
}

TEST(Edge, LineMeasures)
{
    Qe_Line line(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    EXPECT_TRUE(line.is_on_edge(Qe_Pt(10, 0, 0)));
    EXPECT_TRUE(line.is_on_edge(Qe_Pt(5, 0, 0)));
    // The box test is exact in y even though the point is within resabs.
    EXPECT_FALSE(line.is_on_edge(Qe_Pt(5, 0.0000009, 0)));
    expect_pt(line.get_point_by_length(15, true), 15, 0);
    expect_pt(line.get_point_by_length(3, false), 7, 0);
    expect_pt(line.get_point_by_length(-1, false), 10, 0);
    expect_pt(line.middle_pos(), 5, 0);
    EXPECT_DOUBLE_EQ(line.length(), 10.0);
    struct Dir {
        double x, y, angle;
    };
    for (const Dir& d : {Dir{1, 0, 0}, Dir{0, 1, HALF_PI}, Dir{-1, 0, M_PI}, Dir{0, -1, THREE_HALF_PI}, Dir{1, 1, M_PI / 4}}) {
        Qe_Line l(Qe_Pt(2, 2, 0), Qe_Pt(2 + d.x, 2 + d.y, 0));
        EXPECT_NEAR(l.angle(), d.angle, 1e-12);
    }
    line.build_fit_pts();
    ASSERT_EQ(line.fit_pts().count(), 2);
    expect_pt(line.fit_pts()[1], 10, 0);
    line.translate(translate_transf(Qe_Vec(1, 2, 0)));
    expect_pt(line.start(), 1, 2);
    expect_pt(line.end(), 11, 2);
}

TEST(Edge, LikenessAndMerge)
{
    auto* a = new Qe_Line(Qe_Pt(0, 0, 0), Qe_Pt(5, 5, 0));
    Qe_Line same(Qe_Pt(0, 0, 0), Qe_Pt(5, 5 + 1e-7, 0));
    Qe_Line reversed(Qe_Pt(5, 5, 0), Qe_Pt(0, 0, 0));
    Qe_Line other(Qe_Pt(0, 0, 0), Qe_Pt(5, 6, 0));
    Qe_Arc arc(Qe_Pt(), 0, 1, 1);
    EXPECT_TRUE(same.is_like(a));
    EXPECT_TRUE(reversed.is_like(a));
    EXPECT_FALSE(other.is_like(a));
    EXPECT_FALSE(same.is_like(&arc));
    EXPECT_FALSE(same.is_like(nullptr));
    EXPECT_FALSE(same.merage(&same));
    EXPECT_FALSE(same.merage(&other));
    EXPECT_TRUE(same.merage(a));  // a is deleted
}

TEST(Edge, CircleAndArc)
{
    Qe_Circle c(Qe_Pt(1, 1, 0), 2);
    EXPECT_NEAR(c.length(), 4 * M_PI, 1e-12);
    EXPECT_NEAR(c.area(), 4 * M_PI, 1e-12);
    EXPECT_NEAR(c.fill_angle(), TWO_PI, 1e-15);
    expect_pt(c.start_pos(), 3, 1);
    expect_pt(c.center_pos(), 1, 1);
    Qe_Void_List out;
    EXPECT_FALSE(c.break_by_point(Qe_Pt(3, 1, 0), out));
    c.translate(translate_transf(Qe_Vec(1, 0, 0)));
    expect_pt(c.center_pos(), 2, 1);

    Qe_Arc arc(Qe_Pt(1, 1, 0), 0, HALF_PI, 2);
    EXPECT_NEAR(arc.length(), M_PI, 1e-12);
    expect_pt(arc.start_pos(), 3, 1);
    expect_pt(arc.end_pos(), 1, 3);
    expect_pt(arc.middle_pos(), 1 + std::sqrt(2.0), 1 + std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(arc.angle(), 0.0);
    EXPECT_DOUBLE_EQ(arc.area(), 0.0);
    expect_pt(arc.get_point_by_length(M_PI / 2, true), 1 + std::sqrt(2.0), 1 + std::sqrt(2.0));
    expect_pt(arc.get_point_by_length(M_PI, false), 3, 1);
    expect_pt(arc.get_point_by_length(0, false), 1, 3);
    EXPECT_NEAR(Qe_Arc(Qe_Pt(), 1, 0, 2).length(), -2.0, 1e-12);
    // A zero radius has nowhere to go.
    expect_pt(Qe_Arc(Qe_Pt(4, 4, 0), 0, 1, 0).get_point_by_length(3, true), 4, 4);

    arc.build_fit_pts();
    ASSERT_EQ(arc.fit_pts().count(), 50);
    expect_pt(arc.fit_pts()[0], 3, 1, 1e-9);
    expect_pt(arc.fit_pts()[49], 1, 3, 1e-9);
    for (int i = 0; i < 50; ++i) EXPECT_NEAR((arc.fit_pts()[i] - Qe_Pt(1, 1, 0)).len(), 2.0, 1e-9);
}

TEST(Edge, CopiesOwnTheirFitPoints)
{
    auto* arc = new Qe_Arc(Qe_Pt(0, 0, 0), 0, M_PI, 1);
    arc->build_fit_pts();
    Qe_Arc copy(*arc);
    EXPECT_NE(copy.fit_pts().points(), arc->fit_pts().points());
    delete arc;
    ASSERT_EQ(copy.fit_pts().count(), 50);
    expect_pt(copy.fit_pts()[49], -1, 0, 1e-9);
    Qe_Line a(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)), b;
    a.build_fit_pts();
    b = a;
    a.fit_pts().free();
    EXPECT_EQ(b.fit_pts().count(), 2);
}

TEST(Edge, CircleToPtset)
{
    Qe_Pt pts[5];
    ASSERT_TRUE(circle_to_ptset(Qe_Pt(1, 1, 0), 2, pts, 5));
    expect_pt(pts[0], 1, -1);
    expect_pt(pts[1], 3, 1);
    expect_pt(pts[2], 1, 3);
    expect_pt(pts[3], -1, 1);
    EXPECT_EQ(pts[4].x(), pts[0].x());
    EXPECT_EQ(pts[4].y(), pts[0].y());
    EXPECT_FALSE(circle_to_ptset(Qe_Pt(), 1, pts, 1));
    EXPECT_FALSE(circle_to_ptset(Qe_Pt(), 1, nullptr, 5));
}

}  // namespace
