#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "geometry/loop.h"
#include "geometry/pt_list.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

namespace {

Qe_Loop rect_loop(double x0, double y0, double x1, double y1)
{
    const Qe_Pt pts[] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
    return Qe_Loop(pts, 4);
}

std::vector<Qe_Pt> vertices(const Qe_Loop& l)
{
    std::vector<Qe_Pt> v;
    const Qe_Loop_Node* n = l.head();
    for (long i = 0; i < l.count(); ++i, n = n->next()) v.push_back(n->point());
    return v;
}

double signed_area(const Qe_Loop& l)
{
    const std::vector<Qe_Pt> v = vertices(l);
    double s = 0.0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Qe_Pt& a = v[i];
        const Qe_Pt& b = v[(i + 1) % v.size()];
        s += a.x() * b.y() - b.x() * a.y();
    }
    return s / 2.0;
}

// Consistency of the ring: next and prev are inverse and the walk closes after count.
void expect_ring(const Qe_Loop& l)
{
    const long n = l.count();
    const Qe_Loop_Node* v = l.head();
    for (long i = 0; i < n; ++i, v = v->next()) {
        ASSERT_EQ(v->next()->prev(), v);
        ASSERT_EQ(v->prev()->next(), v);
    }
    EXPECT_EQ(v, l.head());
}

TEST(Loop, AddSkipsRepeatsOfTheFirstAndLastVertex)
{
    Qe_Loop l;
    l.add(Qe_Pt(0, 0, 0));
    l.add(Qe_Pt(0, 0, 0));
    l.add(Qe_Pt(5, 0, 0));
    l.add(Qe_Pt(5, 1e-7, 0));
    l.add(Qe_Pt(5, 5, 0));
    l.add(Qe_Pt(5e-7, 0, 0));
    l.add(Qe_Pt(5, 0, 0));  // a middle vertex again is added
    EXPECT_EQ(l.count(), 4);
    expect_ring(l);
    l.kill_head();
    EXPECT_EQ(l.count(), 3);
    EXPECT_EQ(l.head()->point().x(), 5.0);
    expect_ring(l);
    l.kill_all();
    EXPECT_TRUE(l.is_empty());
    l.kill_head();
    l.add(Qe_Pt(1, 1, 0));
    l.kill_head();
    EXPECT_TRUE(l.is_empty());
}

TEST(Loop, NodesAndInsertion)
{
    Qe_Loop l = rect_loop(0, 0, 10, 10);
    l.head()->insert_after(Qe_Pt(5, 0, 0), 1);
    l.head()->insert_before(Qe_Pt(0, 5, 0), 0);
    EXPECT_EQ(l.count(), 6);
    EXPECT_EQ(l.head()->next()->tag(), 1);
    expect_ring(l);
    auto* n = new Qe_Loop_Node(Qe_Pt(-1, -1, 0));
    l.insert(n, l.head());
    EXPECT_EQ(l.head(), n);
    expect_ring(l);
    Qe_Loop e;
    e.insert(new Qe_Loop_Node(Qe_Pt(1, 2, 0)), nullptr);
    e.add(static_cast<Qe_Loop_Node*>(nullptr));
    EXPECT_EQ(e.count(), 1);
    EXPECT_EQ(e.head()->next(), e.head());
}

TEST(Loop, SquareMeasures)
{
    Qe_Loop sq = rect_loop(0, 0, 10, 10);
    EXPECT_EQ(sq.edge_id(), Qe_Edge::LOOP);
    EXPECT_EQ(sq.count(), 4);
    EXPECT_DOUBLE_EQ(sq.length(), 40.0);
    EXPECT_DOUBLE_EQ(sq.area(), 100.0);
    struct In {
        double x, y;
        int want;
    };
    for (const In& c : {In{5, 5, 1}, In{10, 5, 2}, In{0, 0, 2}, In{11, 5, 0}, In{5, 10.5, 0}, In{-1e-9, 5, 0}})
        EXPECT_EQ(sq.is_pt_in_loop(Qe_Pt(c.x, c.y, 0)), c.want) << c.x << "," << c.y;
    Qe_Pt lt, rb;
    ASSERT_TRUE(sq.get_rect_pos(lt, rb));
    EXPECT_EQ(lt.x(), 0.0);
    EXPECT_EQ(lt.y(), 10.0);
    EXPECT_EQ(rb.x(), 10.0);
    EXPECT_EQ(rb.y(), 0.0);
    EXPECT_EQ(sq.rect(), nullptr);
    sq.build_rect();
    ASSERT_NE(sq.rect(), nullptr);
    // Moving the loop moves its cached rectangle with it.
    sq.translate(translate_transf(Qe_Vec(5, 0, 0)));
    EXPECT_EQ(sq.rect()->lt().x(), 5.0);
    EXPECT_EQ(sq.head()->point().x(), 5.0);
}

// A concave ring, tested at vertex heights where a ray passes through vertices.
TEST(Loop, PointInAConcaveRing)
{
    const Qe_Pt pts[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {5, 5, 0}, {0, 10, 0}};
    Qe_Loop l(pts, 5);
    struct In {
        double x, y;
        int want;
    };
    for (const In& c : {In{5, 2, 1}, In{5, 7, 0}, In{2, 5, 1}, In{8, 5, 1}, In{5, 5, 2}, In{1, 8, 1}, In{1, 9, 2}, In{3, 9, 0},
                        In{-1, 5, 0}, In{7.5, 7.5, 2}})
        EXPECT_EQ(l.is_pt_in_loop(Qe_Pt(c.x, c.y, 0)), c.want) << c.x << "," << c.y;
}

TEST(Loop, EmptyLoopAnswersNothing)
{
    Qe_Loop e;
    Qe_Loop sq = rect_loop(0, 0, 10, 10);
    Qe_Pt lt(7, 7, 7), rb(8, 8, 8);
    EXPECT_FALSE(e.get_rect_pos(lt, rb));
    EXPECT_EQ(lt.x(), 7.0);
    e.build_rect();
    EXPECT_EQ(e.rect(), nullptr);
    EXPECT_EQ(e.count(), 0);
    EXPECT_EQ(e.length(), 0.0);
    EXPECT_EQ(e.area(), 0.0);
    EXPECT_EQ(e.is_pt_in_loop(Qe_Pt()), 0);
    EXPECT_EQ(e.is_in_loop(sq), 0);
    EXPECT_FALSE(e.is_intersection(sq));
    EXPECT_FALSE(sq.is_intersection(e));
    Qe_Void_List out;
    EXPECT_EQ(e.intersection(sq, out), 0);
    EXPECT_EQ(sq.intersection(e, out), 0);
    EXPECT_EQ(e.cut_by_loop(sq), nullptr);
    Qe_Loop off;
    EXPECT_FALSE(e.offset(1.0, off));
    Qe_Pt_List crossings;
    const Qe_Pt line[] = {{0, 0, 0}, {1, 1, 0}};
    EXPECT_TRUE(e.interact(line, 2, crossings, true));
    EXPECT_TRUE(crossings.is_empty());
    e.translate(translate_transf(Qe_Vec(1, 1, 0)));
    Qe_Loop copy(e);
    EXPECT_TRUE(copy.is_empty());
}

TEST(Loop, CopiesAreDeep)
{
    auto* a = new Qe_Loop(rect_loop(0, 0, 4, 4));
    a->build_rect();
    Qe_Loop b(*a);
    Qe_Loop c = rect_loop(9, 9, 10, 10);
    c = *a;
    c = c;
    a->head()->point(Qe_Pt(-5, -5, 0));
    delete a;
    for (const Qe_Loop* l : {&b, &c}) {
        EXPECT_EQ(l->count(), 4);
        EXPECT_EQ(l->head()->point().x(), 0.0);
        ASSERT_NE(l->rect(), nullptr);
        EXPECT_EQ(l->rect()->rb().x(), 4.0);
        expect_ring(*l);
    }
}

TEST(Loop, ContainmentAndContact)
{
    const Qe_Loop big = rect_loop(0, 0, 10, 10);
    const Qe_Loop small = rect_loop(4, 4, 6, 6);
    const Qe_Loop apart = rect_loop(11, 0, 21, 10);
    const Qe_Loop side = rect_loop(10, 0, 20, 10);
    const Qe_Loop across = rect_loop(5, 2, 15, 8);
    EXPECT_EQ(big.is_in_loop(big), 1);
    EXPECT_EQ(small.is_in_loop(big), 1);
    EXPECT_EQ(big.is_in_loop(small), 0);
    struct Pair {
        const Qe_Loop *a, *b;
        bool want;
    };
    // Symmetric: loops that only touch intersect from either side.
    for (const Pair& p : {Pair{&big, &small, true}, Pair{&big, &apart, false}, Pair{&big, &side, true},
                          Pair{&big, &across, true}}) {
        EXPECT_EQ(p.a->is_intersection(*p.b), p.want);
        EXPECT_EQ(p.b->is_intersection(*p.a), p.want);
    }
}

TEST(Loop, IntersectionCases)
{
    const Qe_Loop big = rect_loop(0, 0, 10, 10);
    const Qe_Loop small = rect_loop(4, 4, 6, 6);
    Qe_Void_List out;
    EXPECT_EQ(big.intersection(rect_loop(20, 20, 30, 30), out), 0);
    EXPECT_EQ(big.intersection(small, out), 1);
    EXPECT_EQ(small.intersection(big, out), 2);
    EXPECT_TRUE(out.is_empty());
    // A cross of two bars meets in the middle square.
    const Qe_Loop bar = rect_loop(-2, 3, 12, 7);
    ASSERT_EQ(rect_loop(3, -2, 7, 12).intersection(bar, out), 3);
    ASSERT_EQ(out.count(), 1);
    std::unique_ptr<Qe_Loop> r(static_cast<Qe_Loop*>(out.first()));
    out.clear();
    EXPECT_NEAR(r->area(), 16.0, 1e-9);
    EXPECT_GT(signed_area(*r), 0.0);
    // A comb crossing a bar twice gives two pieces; a crossing edge crossed twice is split
    // in order along it.
    const Qe_Pt comb_pts[] = {{0, 0, 0}, {1, 0, 0}, {1, 10, 0}, {2, 10, 0}, {2, 0, 0}, {3, 0, 0},
                              {3, 11, 0}, {0, 11, 0}};
    const Qe_Loop comb(comb_pts, 8);
    ASSERT_EQ(comb.intersection(rect_loop(-1, 4, 4, 6), out), 3);
    double total = 0.0;
    int pieces = 0;
    for (Qe_Void_Node* n = out.head(); n; n = n->next(), ++pieces) {
        std::unique_ptr<Qe_Loop> l(static_cast<Qe_Loop*>(n->entity()));
        total += l->area();
    }
    out.clear();
    EXPECT_EQ(pieces, 2);
    EXPECT_NEAR(total, 4.0, 1e-9);
}

TEST(Loop, UnionAndCut)
{
    const Qe_Loop a = rect_loop(0, 0, 10, 10);
    std::unique_ptr<Qe_Loop> u(a.create_union_loop(rect_loop(5, 5, 15, 15)));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->count(), 8);
    EXPECT_NEAR(u->area(), 175.0, 1e-9);
    EXPECT_GT(signed_area(*u), 0.0);

    std::unique_ptr<Qe_Loop> left(a.cut_by_loop(rect_loop(5, -1, 11, 11)));
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->count(), 4);
    EXPECT_NEAR(left->area(), 50.0, 1e-9);
    Qe_Pt lt, rb;
    left->get_rect_pos(lt, rb);
    EXPECT_EQ(lt.x(), 0.0);
    EXPECT_EQ(rb.x(), 5.0);
    EXPECT_EQ(a.cut_by_loop(rect_loop(-1, -1, 11, 11)), nullptr);
}

TEST(Loop, OffsetAndPolylineCrossings)
{
    const Qe_Loop sq = rect_loop(0, 0, 10, 10);
    Qe_Loop out;
    ASSERT_TRUE(sq.offset(1.0, out));
    EXPECT_EQ(out.count(), 4);
    const double area = out.area();
    EXPECT_TRUE(std::fabs(area - 64.0) < 1e-9 || std::fabs(area - 144.0) < 1e-9) << area;
    // An offset that collapses the loop leaves out as it was.
    const Qe_Pt one_pt[] = {{3, 3, 0}};
    Qe_Loop dot(one_pt, 1), untouched = rect_loop(0, 0, 1, 1);
    EXPECT_FALSE(dot.offset(5.0, untouched));
    EXPECT_EQ(untouched.count(), 4);

    const Qe_Pt line[] = {{-5, 5, 0}, {15, 5, 0}};
    Qe_Pt_List closed, open;
    EXPECT_TRUE(sq.interact(line, 2, closed, true));
    EXPECT_TRUE(sq.interact(line, 2, open, false));
    EXPECT_EQ(closed.count(), 2);
    EXPECT_EQ(open.count(), 1);  // the closing edge x = 0 is left out
}

TEST(Loop, JointRectangleOfLoops)
{
    Qe_Loop a = rect_loop(0, 0, 2, 2), b = rect_loop(-1, 1, 1, 5), e;
    Qe_Void_List loops;
    Qe_Pt lt(9, 9, 9), rb(9, 9, 9);
    EXPECT_FALSE(api_mb_get_loops_rect_pos(loops, lt, rb));
    loops.add(&e);
    EXPECT_FALSE(api_mb_get_loops_rect_pos(loops, lt, rb));
    EXPECT_EQ(lt.x(), 9.0);
    loops.add(&a);
    loops.add(&b);
    ASSERT_TRUE(api_mb_get_loops_rect_pos(loops, lt, rb));
    EXPECT_EQ(lt.x(), -1.0);
    EXPECT_EQ(lt.y(), 5.0);
    EXPECT_EQ(rb.x(), 2.0);
    EXPECT_EQ(rb.y(), 0.0);
    Qe_Region region;
    region.loop_list().add(&a);
    EXPECT_EQ(region.loop_list().count(), 1);
}

}  // namespace
