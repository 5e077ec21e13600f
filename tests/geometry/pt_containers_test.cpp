#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/pt_lists.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"

namespace {

using Pts = std::vector<Qe_Pt>;

Pts points_of(const Qe_Pt_Set& s) { return Pts(s.points(), s.points() + s.count()); }

Qe_Pt_List list_of(const Pts& v)
{
    Qe_Pt_List l;
    for (const Qe_Pt& p : v) l.add_tail(p);
    return l;
}

bool operator==(const Qe_Pt& a, const Qe_Pt& b) { return a.x() == b.x() && a.y() == b.y() && a.z() == b.z(); }

void expect_pts(const Pts& got, const Pts& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(got[i] == want[i]) << "point " << i << ": (" << got[i].x() << ", " << got[i].y() << ")";
}

// Links agree in both directions and the ends are terminated.
void expect_well_linked(const Qe_Pt_List& l)
{
    Pts backward;
    for (Qe_Pt_Node* n = l.tail(); n; n = n->prev()) backward.insert(backward.begin(), *n);
    expect_pts(points_of(l), backward);
    EXPECT_EQ(l.head() == nullptr, l.tail() == nullptr);
    if (l.head()) {
        EXPECT_EQ(l.head()->prev(), nullptr);
        EXPECT_EQ(l.tail()->next(), nullptr);
    }
}

const Qe_Pt P(0, 0, 0), Q(1, 0, 0), R(1, 1, 0), S(5, 5, 0);

TEST(PtList, MergeJoinsAtTheFirstMatchingEnd)
{
    struct Case {
        const char* name;
        Pts a, b;
        bool ok;
        Pts result, other_after;
    };
    const Case cases[] = {
        {"tail-head", {P, Q}, {Q, R}, true, {P, Q, Q, R}, {Q, R}},
        {"head-tail", {P, Q}, {R, P}, true, {Q, P, P, R}, {P, R}},
        {"head-head", {P, Q}, {P, R}, true, {Q, P, P, R}, {P, R}},
        {"tail-tail", {P, Q}, {R, Q}, true, {P, Q, Q, R}, {Q, R}},
        {"no common end", {P, Q}, {R, S}, false, {P, Q}, {R, S}},
        {"empty this", {}, {P, Q}, false, {}, {P, Q}},
        {"empty other", {P, Q}, {}, true, {P, Q}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Qe_Pt_List a = list_of(c.a), b = list_of(c.b);
        EXPECT_EQ(a.merge_list(b), c.ok);
        expect_pts(points_of(a), c.result);
        expect_pts(points_of(b), c.other_after);
        expect_well_linked(a);
        expect_well_linked(b);
    }
}

TEST(PtList, OperationsOnTheListItselfTerminate)
{
    Qe_Pt_List a = list_of({P, Q});
    a.add_list0(a);
    expect_pts(points_of(a), {P, Q, P, Q});
    a.add_list(a);
    EXPECT_EQ(a.count(), 4);
    Qe_Pt_List b = list_of({P, Q});
    EXPECT_TRUE(b.merge_list(b));
    expect_pts(points_of(b), {Q, P, P, Q});
    expect_well_linked(b);
}

TEST(PtList, AddTestsUseResabs)
{
    const Qe_Pt near_p(1e-7, 0, 0);
    Qe_Pt_List l = list_of({P, Q});
    l.add_if_absent(near_p);
    EXPECT_EQ(l.count(), 2);
    l.add_compare_last(near_p);  // the near point is not the tail
    EXPECT_EQ(l.count(), 3);
    l.add_compare_last(Qe_Pt(1e-7, 1e-7, 0));
    EXPECT_EQ(l.count(), 3);
}

TEST(PtList, WorkedCases)
{
    Qe_Pt_List f = list_of({P, P, Q, P});
    f.find_flag(0)->flag(7);
    f.filter_same_points();
    expect_pts(points_of(f), {P, Q, P});
    EXPECT_EQ(f.find_flag(7), nullptr);  // survivors are new nodes

    Qe_Pt_List l = list_of({P, Q, R});
    l.insert(S, 5);
    expect_pts(points_of(l), {P, Q, R});
    l.insert(S, 0);
    expect_pts(points_of(l), {S, P, Q, R});
    l.insert(S, -1);
    EXPECT_EQ(l.count(), 4);
    expect_well_linked(l);

    Qe_Pt_List m = list_of({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
    EXPECT_TRUE(m.insert_merge_Pt(Qe_Pt(1, 0, 0), 9));
    expect_pts(points_of(m), {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 2, 0}});
    EXPECT_EQ(m.find_flag(9), m.get(1));
    EXPECT_TRUE(m.insert_merge_Pt(Qe_Pt(7, 7, 0), 1));
    EXPECT_EQ(m.count(), 4);
    expect_well_linked(m);

    EXPECT_DOUBLE_EQ(list_of({{0, 0, 0}, {3, 0, 0}, {3, 4, 0}}).length(), 12.0);
    EXPECT_DOUBLE_EQ(list_of({{0, 0, 0}, {3, 4, 0}}).length(), 5.0);
    EXPECT_DOUBLE_EQ(list_of({{0, 0, 0}, {3, 0, 0}, {3, 4, 0}}).area(), 6.0);
    EXPECT_EQ(Qe_Pt_List().length(), 0.0);

    Qe_Pt_List one = list_of({P});
    one.kill_head();
    EXPECT_TRUE(one.is_empty());
    EXPECT_EQ(one.head(), nullptr);
    EXPECT_EQ(one.tail(), nullptr);
    one.kill_tail();  // nothing on an empty list
    one.remove_tail();
}

TEST(PtList, KillNodeIgnoresForeignNodes)
{
    Qe_Pt_List a = list_of({P, Q, R}), b = list_of({S});
    a.kill_node(b.head());
    a.kill_node(nullptr);
    EXPECT_EQ(a.count(), 3);
    EXPECT_EQ(b.count(), 1);
    a.kill_node(a.get(1));
    expect_pts(points_of(a), {P, R});
    expect_well_linked(a);
}

TEST(PtList, CopiesAreDeepAndDropFlags)
{
    Qe_Pt_List a = list_of({P, Q});
    a.head()->flag(3);
    Qe_Pt_List b(a);
    Qe_Pt_List c;
    c = a;
    a.head()->x() = 42;
    for (Qe_Pt_List* l : {&b, &c}) {
        expect_pts(points_of(*l), {P, Q});
        EXPECT_EQ(l->head()->flag(), 0);
        EXPECT_NE(l->head(), a.head());
    }
    c = c;
    expect_pts(points_of(c), {P, Q});
}

// Random operations on a list and on a std::vector model must agree throughout.
TEST(PtList, AgreesWithVectorModel)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 3), op(0, 9);
    Qe_Pt_List l;
    Pts m;
    auto near_any = [&](const Qe_Pt& p) {
        for (const Qe_Pt& q : m)
            if (same_point(p, q, resabs)) return true;
        return false;
    };
    for (int step = 0; step < 3000; ++step) {
        const Qe_Pt p(coord(rng), coord(rng), 0);
        const int i = coord(rng) - 1;
        switch (op(rng)) {
        case 0: l.add_tail(p); m.push_back(p); break;
        case 1: l.add_if_absent(p); if (!near_any(p)) m.push_back(p); break;
        case 2: l.add_compare_last(p); if (m.empty() || !same_point(m.back(), p, resabs)) m.push_back(p); break;
        case 3: l.insert(p, i); if (i >= 0 && i < (int)m.size()) m.insert(m.begin() + i, p); break;
        case 4: l.kill_head(); if (!m.empty()) m.erase(m.begin()); break;
        case 5: l.kill_tail(); if (!m.empty()) m.pop_back(); break;
        case 6: l.kill_node(l.get(i)); if (i >= 0 && i < (int)m.size()) m.erase(m.begin() + i); break;
        case 7: l.reverse(); std::reverse(m.begin(), m.end()); break;
        case 8: {
            l.filter_same_points();
            Pts k;
            for (const Qe_Pt& q : m)
                if (k.empty() || !same_point(k.back(), q, resabs)) k.push_back(q);
            m = k;
            break;
        }
        case 9: if (m.size() > 12) { l.kill_all(); m.clear(); } break;
        }
        ASSERT_EQ(l.count(), (long)m.size()) << "step " << step;
        expect_pts(points_of(l), m);
        expect_well_linked(l);
    }
}

TEST(PtSet, ConstructionAndAccess)
{
    Qe_Pt_Set empty;
    EXPECT_EQ(empty.count(), 0);
    EXPECT_EQ(empty.points(), nullptr);
    EXPECT_TRUE(empty.start_pos() == Qe_Pt());  // no read of a missing array
    EXPECT_TRUE(empty.end_pos() == Qe_Pt());
    EXPECT_TRUE(empty.add_point(Q));
    expect_pts(points_of(empty), {Q});

    EXPECT_EQ(Qe_Pt_Set(-3).points(), nullptr);
    expect_pts(points_of(Qe_Pt_Set(2)), {P, P});
    const Pts v = {P, Q, R};
    Qe_Pt_Set s(3, v.data());
    EXPECT_TRUE(s.start_pos() == P);
    EXPECT_TRUE(s.end_pos() == R);
    EXPECT_TRUE(s[1] == Q);
    EXPECT_EQ(s.find_point(Qe_Pt(1, 1e-7, 0)), 1);
    EXPECT_EQ(s.find_point(S), -1);

    Qe_Pt_Set copy(s), assigned;
    assigned = s;
    s.points()[0] = S;
    expect_pts(points_of(copy), v);
    expect_pts(points_of(assigned), v);
    assigned = assigned;
    expect_pts(points_of(assigned), v);
    assigned.init(2, assigned.points() + 1);  // from its own array
    expect_pts(points_of(assigned), {Q, R});

    Qe_Pt_List none;
    copy.init(none);
    expect_pts(points_of(copy), v);
    copy.init(list_of({S, R}));
    expect_pts(points_of(copy), {S, R});
    Qe_Void_List ptrs;
    Qe_Pt a = P, b = S;
    ptrs.add(&a);
    ptrs.add(nullptr);
    ptrs.add(&b);
    copy.init(ptrs);
    expect_pts(points_of(copy), {P, S});
    copy.free();
    EXPECT_EQ(copy.count(), 0);
    EXPECT_EQ(copy.points(), nullptr);
}

TEST(PtSet, SnapLines)
{
    const Pts v = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    Qe_Pt_Set s(3, v.data());
    Qe_Pt out(-1, -1, -1);
    EXPECT_EQ(s.snap_lines(Qe_Pt(5, 0.1, 0), 0.5, out), 0);
    EXPECT_NEAR(out.x(), 5, 1e-12);
    EXPECT_NEAR(out.y(), 0, 1e-12);
    EXPECT_EQ(s.snap_lines(Qe_Pt(10.2, 5, 0), 0.5, out), 1);
    EXPECT_EQ(s.snap_lines(Qe_Pt(9.8, 0.1, 0), 0.5, out), 0);  // near the shared end: first segment's end
    EXPECT_TRUE(out == Qe_Pt(10, 0, 0));
    out = Qe_Pt(-1, -1, -1);
    EXPECT_EQ(s.snap_lines(Qe_Pt(5, 0.5, 0), 0.5, out), -1);  // exactly tol away: no hit
    EXPECT_TRUE(out == Qe_Pt(-1, -1, -1));
    Qe_Pt_Set one(1, v.data());
    EXPECT_EQ(one.snap_lines(P, 1, out), -1);
}

TEST(PtSet, TranslateTransformsEveryPoint)
{
    const Pts v = {{1, 2, 0}, {3, 4, 0}};
    Qe_Pt_Set s(2, v.data());
    Qe_Pt_List l = list_of(v);
    const Qe_Tran t = translate_transf(Qe_Vec(10, 20, 0));
    s.translate(t);
    l.translate(t);
    expect_pts(points_of(s), {{11, 22, 0}, {13, 24, 0}});
    expect_pts(points_of(l), points_of(s));
}

TEST(PtSets, RunsAndPoints)
{
    const mb_ulong counts[] = {2, 3};
    const Pts v = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
    Qe_Pt_Sets s(2, counts, v.data());
    EXPECT_EQ(s.ptset_count(), 2u);
    EXPECT_EQ(s.pts_count(), 5u);
    EXPECT_TRUE(s.get_point(1, 0) == v[2]);
    EXPECT_TRUE(s.get_point(1, 2) == v[4]);
    EXPECT_TRUE(s.get_point(1, 3) == Qe_Pt());  // past the run
    EXPECT_TRUE(s.get_point(2, 0) == Qe_Pt());  // past the runs
    EXPECT_TRUE(s.get_point(-1, 0) == Qe_Pt());

    s.is_filled(true);
    Qe_Pt_Sets copy(s);
    EXPECT_FALSE(copy.is_filled());
    s.points()[0] = S;
    EXPECT_TRUE(copy.get_point(0, 0) == v[0]);
    Qe_Pt_Sets assigned;
    assigned = s;
    EXPECT_TRUE(assigned.is_filled());
    EXPECT_NE(assigned.points(), s.points());
    assigned = assigned;
    EXPECT_EQ(assigned.pts_count(), 5u);

    Qe_Pt_Sets zeros(2, counts, nullptr);
    EXPECT_TRUE(zeros.get_point(1, 1) == Qe_Pt());
    EXPECT_TRUE(zeros.init(3, v.data()));
    EXPECT_EQ(zeros.ptset_count(), 1u);
    EXPECT_EQ(zeros.pts_count(), 3u);

    Qe_Pt_Sets none;
    EXPECT_EQ(none.pts_count(), 0u);
    EXPECT_EQ(none.points(), nullptr);
    EXPECT_EQ(none.vals(), nullptr);
}

TEST(PtSets, AbsurdCountsFailCleanly)
{
    const mb_ulong huge[] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    Qe_Pt_Sets s(2, huge, nullptr);  // the total does not fit 32 bits
    EXPECT_EQ(s.ptset_count(), 0u);
    EXPECT_FALSE(s.init(2, huge, nullptr));
    EXPECT_FALSE(s.init(3, nullptr, nullptr));  // counts missing
    EXPECT_EQ(s.ptset_count(), 0u);
    EXPECT_EQ(s.points(), nullptr);
}

TEST(PtSets, ListsRoundTrip)
{
    Qe_Pt_List a = list_of({P, Q}), b, c = list_of({R, S, P});
    Qe_Void_List lists;
    Qe_Pt_Sets s;
    EXPECT_FALSE(s.init_by_ptlists(lists));
    lists.add(&a);
    lists.add(&b);
    lists.add(&c);
    s.is_filled(true);
    ASSERT_TRUE(s.init_by_ptlists(lists));
    EXPECT_TRUE(s.is_filled());
    EXPECT_EQ(s.ptset_count(), 3u);
    EXPECT_EQ(s.vals()[1], 0u);
    EXPECT_TRUE(s.get_point(2, 1) == S);

    Qe_Void_List out;
    const Qe_Tran t = translate_transf(Qe_Vec(1, 0, 0));
    s.set_to_list(out, t);
    ASSERT_EQ(out.count(), 3);
    const Pts want[] = {{{1, 0, 0}, {2, 0, 0}}, {}, {{2, 1, 0}, {6, 5, 0}, {1, 0, 0}}};
    for (int i = 0; i < 3; ++i) {
        auto* l = static_cast<Qe_Pt_List*>(out.get(i));
        expect_pts(points_of(*l), want[i]);
        delete l;
    }
}

TEST(PtSets, Snap)
{
    const mb_ulong counts[] = {0, 1, 3};
    const Pts v = {{5, 5, 0}, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    Qe_Pt_Sets s(3, counts, v.data());
    Qe_Pt out;
    EXPECT_TRUE(s.snap(Qe_Pt(5.1, 5, 0), out, 0.5));
    EXPECT_TRUE(out == v[0]);
    EXPECT_TRUE(s.snap(Qe_Pt(10.1, 4, 0), out, 0.5));
    EXPECT_NEAR(out.x(), 10, 1e-12);
    EXPECT_NEAR(out.y(), 4, 1e-12);
    EXPECT_FALSE(s.snap(Qe_Pt(5, 0.5, 0), out, 0.5));

    // In transformed space every hit, lone points included, is reported transformed.
    const Qe_Tran t = translate_transf(Qe_Vec(100, 0, 0));
    EXPECT_TRUE(s.snap(Qe_Pt(105, 5.2, 0), out, t, 0.5));
    EXPECT_TRUE(out == Qe_Pt(105, 5, 0));
    EXPECT_TRUE(s.snap(Qe_Pt(104.8, 0.2, 0), out, t, 0.5));
    EXPECT_NEAR(out.x(), 104.8, 1e-12);
    EXPECT_NEAR(out.y(), 0, 1e-12);
    EXPECT_FALSE(s.snap(Qe_Pt(5.1, 5, 0), out, t, 0.5));
}

}  // namespace
