#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <cmath>
#include <random>
#include <type_traits>
#include <vector>

#include "geometry/edge.h"
#include "geometry/loop.h"
#include "geometry/loop_search.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/qe_file.h"
#include "geometry/tolerance.h"
#include "geometry/loop_oracles.h"

namespace {

using loop_oracles::Seg;
using loop_oracles::Shell;
using Ring = std::vector<Qe_Pt>;

std::vector<Ring> rings_of(Qe_Void_List& loops)
{
    std::vector<Ring> out;
    for (Qe_Void_Node* n = loops.head(); n; n = n->next()) {
        auto* loop = static_cast<Qe_Loop*>(n->entity());
        Ring r;
        const long c = loop->count();
        const Qe_Loop_Node* v = loop->head();
        for (long i = 0; i < c; ++i, v = v->next()) r.push_back(v->point());
        out.push_back(r);
        delete loop;
    }
    loops.clear();
    return out;
}

// The conversion's calling order, on new segments.
std::vector<Ring> search(const std::vector<Seg>& segs, bool minimal = true)
{
    Qe_Search_Loops s;
    for (const Seg& g : segs) s.segment_list().add(new Qe_Segment(Qe_Pt(g.x0, g.y0, 0), Qe_Pt(g.x1, g.y1, 0), nullptr));
    s.remove_error_segment();
    s.bulid_intersect();
    s.del_invalid_intersect();
    s.create_intersect_relation();
    s.order_add_remove_error_intersect_points();
    if (minimal)
        s.search_min_loops();
    else
        s.search_max_loops();
    return rings_of(s.result_list());
}

std::pair<std::vector<double>, std::vector<double>> coordinates(const Ring& r)
{
    std::vector<double> xs, ys;
    for (const Qe_Pt& p : r) {
        xs.push_back(p.x());
        ys.push_back(p.y());
    }
    return {xs, ys};
}

Shell shell(const Ring& r)
{
    const auto [xs, ys] = coordinates(r);
    return loop_oracles::shell_of(xs, ys);
}

double signed_area(const Ring& r)
{
    const auto [xs, ys] = coordinates(r);
    return loop_oracles::signed_area(xs, ys);
}

std::vector<Seg> polygon(const std::vector<std::pair<double, double>>& pts)
{
    std::vector<Seg> segs;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const auto& a = pts[i];
        const auto& b = pts[(i + 1) % pts.size()];
        segs.push_back({a.first, a.second, b.first, b.second});
    }
    return segs;
}

std::vector<Seg> square(double x0, double y0, double side)
{
    return polygon({{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}});
}

std::vector<Seg> operator+(std::vector<Seg> a, const std::vector<Seg>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Ring ring(const std::vector<std::pair<double, double>>& pts)
{
    Ring r;
    for (const auto& p : pts) r.emplace_back(p.first, p.second, 0.0);
    return r;
}

void expect_rings(const std::vector<Ring>& got, const std::vector<Ring>& want, double tol = 1e-9)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].size(), want[i].size()) << "loop " << i;
        for (std::size_t k = 0; k < got[i].size(); ++k) {
            EXPECT_NEAR(got[i][k].x(), want[i][k].x(), tol) << "loop " << i << " vertex " << k;
            EXPECT_NEAR(got[i][k].y(), want[i][k].y(), tol) << "loop " << i << " vertex " << k;
        }
    }
}

// Every loop is counter-clockwise with at least three vertices.
void expect_ccw(const std::vector<Ring>& rings)
{
    for (const Ring& r : rings) {
        EXPECT_GE(r.size(), 3u);
        EXPECT_GT(signed_area(r), 0.0);
    }
}

// --- Worked cases ----------------------------------------------------------------------

struct Case {
    const char* name;
    std::vector<Seg> segs;
    bool minimal;
    std::vector<Ring> loops;
    double tol = 1e-9;
};

TEST(LoopSearch, WorkedCases)
{
    const Ring sq = ring({{10, 0}, {10, 10}, {0, 10}, {0, 0}});
    const std::vector<Case> cases = {
        {"empty", {}, true, {}},
        {"square", square(0, 0, 10), true, {sq}},
        {"square, maximal", square(0, 0, 10), false, {sq}},
        {"divided square", square(0, 0, 10) + std::vector<Seg>{{5, 0, 5, 10}}, true,
         {ring({{10, 0}, {10, 10}, {5, 10}, {5, 0}}), ring({{5, 10}, {0, 10}, {0, 0}, {5, 0}})}},
        {"stub from the middle of a side", square(0, 0, 10) + std::vector<Seg>{{5, 0, 5, -5}}, true, {sq}},
        // A stray segment touching a corner leaves the square whole.
        {"stub from a corner", square(0, 0, 10) + std::vector<Seg>{{0, 0, -5, -5}}, true, {sq}},
        {"stub from a corner, maximal", square(0, 0, 10) + std::vector<Seg>{{10, 10, 15, 15}}, false, {sq}},
        {"zero-length segment", square(0, 0, 10) + std::vector<Seg>{{3, 3, 3, 3}}, true, {sq}},
        // An outline around figures that touch comes back to the point they share before it
        // closes: no simple outline, no maximal loop. Their faces are still found.
        {"squares touching at a corner, maximal", square(0, 0, 10) + square(10, 10, 10), false, {}},
        {"squares touching at a corner", square(0, 0, 10) + square(10, 10, 10), true,
         {ring({{20, 10}, {20, 20}, {10, 20}, {10, 10}}), sq}},
        {"bow tie, maximal", polygon({{0, 0}, {10, 10}, {10, 0}, {0, 10}}), false, {}},
        {"bow tie", polygon({{0, 0}, {10, 10}, {10, 0}, {0, 10}}), true,
         {ring({{10, 0}, {10, 10}, {5, 5}}), ring({{5, 5}, {0, 10}, {0, 0}})}},
        {"open chain", {{0, 0, 10, 0}, {10, 0, 10, 10}, {10, 10, 0, 10}}, true, {}},
        {"crossing pair", {{0, 0, 10, 10}, {0, 10, 10, 0}}, true, {}},
        {"every side twice", square(0, 0, 10) + square(0, 0, 10), true, {sq}},
        {"corners apart by less than the tolerance",
         {{0, 0, 10, 0}, {10, 3e-7, 10, 10}, {10 - 2e-7, 10, 0, 10}, {0, 10, 0, 4e-7}}, true,
         {sq}, 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_rings(search(c.segs, c.minimal), c.loops, c.tol);
    }
}

TEST(LoopSearch, InitRunsThePreparationAndResultsOutliveTheSearch)
{
    Qe_Loop* kept = nullptr;
    {
        Qe_Search_Loops s;
        for (const Seg& g : square(0, 0, 4) + square(2, 2, 4))
            s.segment_list().add(new Qe_Segment(Qe_Pt(g.x0, g.y0, 0), Qe_Pt(g.x1, g.y1, 0)));
        EXPECT_EQ(s.init(), 1);
        EXPECT_EQ(s.intersect_list().count(), 10);  // eight corners, two crossings
        s.search_min_loops();
        ASSERT_EQ(s.result_list().count(), 3);
        s.order_result_list();
        // Centres by ascending x: the left L, the overlap, the right L.
        std::vector<double> cx;
        for (Qe_Void_Node* n = s.result_list().head(); n; n = n->next()) {
            auto* l = static_cast<Qe_Loop*>(n->entity());
            cx.push_back(l->rect()->center().x());
        }
        EXPECT_TRUE(std::is_sorted(cx.begin(), cx.end()));
        kept = static_cast<Qe_Loop*>(s.result_list().first());
        for (Qe_Void_Node* n = s.result_list().head()->next(); n; n = n->next()) delete static_cast<Qe_Loop*>(n->entity());
    }
    // The search deleted its segments and points but not the loops it found.
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->count(), 6);
    EXPECT_NEAR(kept->area(), 12.0, 1e-9);
    delete kept;
    static_assert(!std::is_copy_constructible_v<Qe_Search_Loops>);
    static_assert(!std::is_copy_assignable_v<Qe_Search_Loops>);
}

TEST(LoopSearch, ConversionsMakeSegmentsFromTheInput)
{
    const Qe_Pt pts[] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, 0, 0}};
    Qe_Pt_Set set(5, pts);
    Qe_Pt_List list;
    for (const Qe_Pt& p : pts) list.add(p);
    Qe_Loop loop(pts, 4);
    struct Run {
        void* item;
        void (Qe_Search_Loops::*convert)();
    };
    for (const Run& run : {Run{&set, &Qe_Search_Loops::ptset2segments}, Run{&list, &Qe_Search_Loops::ptlist2segments},
                           Run{&loop, &Qe_Search_Loops::loop2segments}}) {
        Qe_Search_Loops s;
        s.input_list().add(run.item);
        (s.*run.convert)();
        ASSERT_EQ(s.segment_list().count(), 4);
        for (Qe_Void_Node* n = s.segment_list().head(); n; n = n->next())
            EXPECT_EQ(static_cast<Qe_Segment*>(n->entity())->parent(), run.item);
        s.init();
        s.search_min_loops();
        const std::vector<Ring> got = rings_of(s.result_list());
        ASSERT_EQ(got.size(), 1u);
        EXPECT_NEAR(signed_area(got[0]), 16.0, 1e-12);
    }
    // The input is left as it was.
    EXPECT_EQ(set.count(), 5);
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(loop.count(), 4);
}

TEST(LoopSearch, SaveSegmentsWritesTheTimeAndOneLinePerSegment)
{
    const std::string path = testing::TempDir() + "loop_search_segments.txt";
    {
        Qe_Search_Loops s;
        s.segment_list().add(new Qe_Segment(Qe_Pt(0, 0, 0), Qe_Pt(1.5, -2, 0)));
        s.segment_list().add(new Qe_Segment(Qe_Pt(3, 4, 1), Qe_Pt(5, 6, 0)));
        Qe_File file(path.c_str(), true);
        EXPECT_TRUE(s.save_segments(file));
        Qe_File closed;
        EXPECT_FALSE(s.save_segments(closed));
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(f);
    const std::size_t first_line = text.find("\r\n");
    ASSERT_NE(first_line, std::string::npos);
    EXPECT_EQ(text.substr(0, 2), ";;");
    EXPECT_EQ(text.substr(first_line + 2),
              "0.0000,0.0000,0.0000,1.5000,-2.0000,0.0000,16711680\r\n"
              "3.0000,4.0000,1.0000,5.0000,6.0000,0.0000,16711680\r\n");
    std::remove(path.c_str());
}

// --- Faults that the search must survive -----------------------------------------------

// Points on a segment that leans by less than resabs are listed in their order along it,
// so the rungs of a ladder make rectangles and not crossed relations.
TEST(LoopSearch, PointsOnANearlyVerticalSegmentFollowItsDirection)
{
    for (double lean : {-4e-7, 4e-7}) {
        SCOPED_TRACE(lean);
        std::vector<Seg> segs = {{0, 0, lean, 10}, {10, 0, 10, 10}};
        for (double y : {8.0, 2.0, 5.0}) segs.push_back({-1, y, 11, y});
        Qe_Search_Loops s;
        for (const Seg& g : segs) s.segment_list().add(new Qe_Segment(Qe_Pt(g.x0, g.y0, 0), Qe_Pt(g.x1, g.y1, 0)));
        s.remove_error_segment();
        s.bulid_intersect();
        auto* leaning = static_cast<Qe_Segment*>(s.segment_list().first());
        std::vector<double> ys;
        for (Qe_Void_Node* n = leaning->intpos_list().head(); n; n = n->next())
            ys.push_back(static_cast<Qe_Intersect_Point*>(n->entity())->point().y());
        EXPECT_EQ(ys, (std::vector<double>{2.0, 5.0, 8.0}));
        s.del_invalid_intersect();
        s.create_intersect_relation();
        s.order_add_remove_error_intersect_points();
        s.search_min_loops();
        std::vector<Ring> got = rings_of(s.result_list());
        ASSERT_EQ(got.size(), 2u);
        for (const Ring& r : got) EXPECT_NEAR(signed_area(r), 30.0, 1e-5);
    }
}

TEST(LoopSearch, AddOrderIntposOrdersAlongTheSegmentOnce)
{
    Qe_Segment seg(Qe_Pt(0, 10, 0), Qe_Pt(1e-7, 0, 0));
    Qe_Intersect_Point a(Qe_Pt(0.9e-7, 1, 0)), b(Qe_Pt(0.5e-7, 5, 0)), c(Qe_Pt(0.1e-7, 9, 0));
    for (Qe_Intersect_Point* p : {&b, &c, &a, &b}) seg.add_order_intpos(p);
    seg.add_order_intpos(nullptr);
    ASSERT_EQ(seg.intpos_list().count(), 3);
    EXPECT_EQ(seg.intpos_list().get(0), &a);
    EXPECT_EQ(seg.intpos_list().get(1), &b);
    EXPECT_EQ(seg.intpos_list().get(2), &c);
}

// A hole joined to the outline by a bridge, or touching it at a vertex, is walked as part
// of the outline's boundary; the outline is still found, counter-clockwise, and the hole
// once as its own region.
TEST(LoopSearch, RegionsWhoseBoundaryTouchesItself)
{
    const std::vector<std::pair<const char*, std::vector<Seg>>> cases = {
        {"bridge", square(0, 0, 10) + square(4, 4, 2) + std::vector<Seg>{{6, 5, 10, 5}}},
        {"bridge to the left", square(0, 0, 10) + square(4, 4, 2) + std::vector<Seg>{{0, 5, 4, 5}}},
        {"hole touching at a vertex", square(0, 0, 10) + polygon({{10, 5}, {8, 4}, {8, 6}})},
        {"two holes and bridges", square(0, 0, 20) + square(3, 3, 2) + square(12, 12, 3) +
                                      std::vector<Seg>{{5, 4, 12, 13}, {15, 13, 20, 13}}},
    };
    for (const auto& [name, segs] : cases) {
        SCOPED_TRACE(name);
        const std::vector<Ring> got = search(segs);
        expect_ccw(got);
        std::vector<Shell> want;
        loop_oracles::Geos().polygonize(segs, &want);
        ASSERT_EQ(got.size(), want.size());
        std::vector<double> a, b;
        for (const Ring& r : got) a.push_back(signed_area(r));
        for (const Shell& s : want) b.push_back(s.area);
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-9);
    }
}

// Two segments that leave a point in directions closer than resabs give one relation
// there, so the walk can arrive at a point with no way back; a figure that touches
// itself makes the outer walk come back to a point other than its start. Both walks end.
TEST(LoopSearch, WalksEndWithoutAWayBackOrOnARepeatedPoint)
{
    const std::vector<std::pair<const char*, std::vector<Seg>>> cases = {
        {"near-parallel pair", {{0, 0, 10, 0}, {0, 0, 20, 5e-6}, {10, 0, 10, -5}, {10, -5, 20, 5e-6},
                                {20, 5e-6, 20, 10}, {20, 10, 0, 10}, {0, 10, 0, 0}}},
        {"bow tie", square(0, 0, 10) + square(10, 10, 10)},
        {"touching triangles", polygon({{0, 0}, {10, 0}, {5, 5}}) + polygon({{5, 5}, {10, 10}, {0, 10}})},
    };
    for (const auto& [name, segs] : cases) {
        SCOPED_TRACE(name);
        for (bool minimal : {true, false}) {
            const std::vector<Ring> got = search(segs, minimal);
            expect_ccw(got);
            if (std::string(name) != "near-parallel pair" && minimal) {
                EXPECT_EQ(got.size(), 2u);
            }
        }
    }
}

// --- GEOS as the oracle ----------------------------------------------------------------

void expect_same_shells(const std::vector<Seg>& segs)
{
    const std::vector<Ring> got = search(segs);
    expect_ccw(got);
    std::vector<Shell> want;
    loop_oracles::Geos().polygonize(segs, &want);
    std::vector<Shell> mine;
    for (const Ring& r : got) mine.push_back(shell(r));
    auto order = [](const Shell& a, const Shell& b) {
        if (std::fabs(a.area - b.area) > 1e-6) return a.area < b.area;
        if (std::fabs(a.cx - b.cx) > 1e-6) return a.cx < b.cx;
        return a.cy < b.cy;
    };
    std::sort(mine.begin(), mine.end(), order);
    std::sort(want.begin(), want.end(), order);
    ASSERT_EQ(mine.size(), want.size());
    for (std::size_t i = 0; i < mine.size(); ++i) {
        EXPECT_NEAR(mine[i].area, want[i].area, 1e-6 * std::max(1.0, want[i].area)) << i;
        EXPECT_NEAR(mine[i].cx, want[i].cx, 1e-6) << i;
        EXPECT_NEAR(mine[i].cy, want[i].cy, 1e-6) << i;
    }
}

// Axis-parallel and diagonal segments on an integer grid, one per grid line so that no
// two overlap along a line: crossings, T-junctions, shared ends and dangling pieces.
std::vector<Seg> random_grid(unsigned seed)
{
    std::mt19937 rng(seed);
    const int n = 12;
    std::uniform_int_distribution<int> coord(0, n), coin(0, 9);
    auto span = [&](int& a, int& b) {
        a = coord(rng);
        b = coord(rng);
        if (a > b) std::swap(a, b);
        return a < b;
    };
    std::vector<Seg> segs;
    for (int k = 0; k <= n; ++k) {
        int a, b;
        if (coin(rng) < 7 && span(a, b)) segs.push_back({double(a), double(k), double(b), double(k)});
        if (coin(rng) < 7 && span(a, b)) segs.push_back({double(k), double(a), double(k), double(b)});
    }
    for (int c = -n + 1; c < n; ++c) {
        int a, b;
        // y = x + c and y = −x + c + n, each at most once.
        if (coin(rng) < 2 && span(a, b)) segs.push_back({double(a), double(a + c), double(b), double(b + c)});
        if (coin(rng) < 2 && span(a, b)) segs.push_back({double(a), double(n + c - a), double(b), double(n + c - b)});
    }
    std::shuffle(segs.begin(), segs.end(), rng);
    return segs;
}

// A random star-shaped ring, counter-clockwise.
std::vector<std::pair<double, double>> random_star(std::mt19937& rng)
{
    std::uniform_real_distribution<double> centre(20, 80), radius(5, 30), turn(0.2, 1.0);
    const double cx = centre(rng), cy = centre(rng);
    std::vector<std::pair<double, double>> pts;
    for (double a = 0; a < 6.2; a += turn(rng)) {
        const double r = radius(rng);
        pts.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    return pts;
}

// The outlines of a few random star-shaped polygons laid over one another.
std::vector<Seg> random_polygons(unsigned seed, int count)
{
    std::mt19937 rng(seed);
    std::vector<Seg> segs;
    for (int k = 0; k < count; ++k) {
        const auto pts = random_star(rng);
        if (pts.size() >= 3) segs = segs + polygon(pts);
    }
    return segs;
}

TEST(LoopSearch, MinimalLoopsAreGeosFacesOnIntegerGrids)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        expect_same_shells(random_grid(seed));
    }
}

TEST(LoopSearch, MinimalLoopsAreGeosFacesOnPolygonUnions)
{
    for (unsigned seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE(seed);
        expect_same_shells(random_polygons(seed, 2 + static_cast<int>(seed % 4)));
    }
}

// Maximal loops are the outlines of the union of all faces, where that union's parts
// stand apart: a part that touches another (at a point, or through a segment between them)
// has no simple outline, and no loop is made for it.
TEST(LoopSearch, MaximalLoopsAreGeosUnionShellsOnIntegerGrids)
{
    std::size_t found = 0, skipped = 0;
    auto order = [](const Shell& a, const Shell& b) {
        if (std::fabs(a.area - b.area) > 1e-6) return a.area < b.area;
        if (std::fabs(a.cx - b.cx) > 1e-6) return a.cx < b.cx;
        return a.cy < b.cy;
    };
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<Seg> segs = random_grid(seed);
        const std::vector<Ring> got = search(segs, false);
        expect_ccw(got);
        std::vector<Shell> want;
        std::size_t touching = 0;
        loop_oracles::Geos().maximal_shells(segs, want, touching);
        skipped += touching;
        std::vector<Shell> mine;
        for (const Ring& r : got) mine.push_back(shell(r));
        std::sort(mine.begin(), mine.end(), order);
        std::sort(want.begin(), want.end(), order);
        ASSERT_EQ(mine.size(), want.size());
        for (std::size_t i = 0; i < mine.size(); ++i) {
            EXPECT_NEAR(mine[i].area, want[i].area, 1e-6 * std::max(1.0, want[i].area)) << i;
            EXPECT_NEAR(mine[i].cx, want[i].cx, 1e-6) << i;
            EXPECT_NEAR(mine[i].cy, want[i].cy, 1e-6) << i;
        }
        found += mine.size();
    }
    // Both kinds occur: outlines found, and parts left without one.
    EXPECT_GT(found, 50u);
    EXPECT_GT(skipped, 10u);
}

// Neighbouring faces of the grids share whole sides and ends: the union of two of them
// that GEOS makes one polygon is their outline.
TEST(LoopSearch, UnionOfGridFacesIsTheGeosUnionShell)
{
    int compared = 0, apart = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<Ring> faces = search(random_grid(seed));
        for (std::size_t i = 0; i + 1 < faces.size(); ++i) {
            for (std::size_t j = i + 1; j < faces.size() && j < i + 4; ++j) {
                std::vector<std::pair<double, double>> a, b;
                for (const Qe_Pt& p : faces[i]) a.emplace_back(p.x(), p.y());
                for (const Qe_Pt& p : faces[j]) b.emplace_back(p.x(), p.y());
                const Qe_Loop la(faces[i].data(), static_cast<int>(faces[i].size()));
                const Qe_Loop lb(faces[j].data(), static_cast<int>(faces[j].size()));
                std::unique_ptr<Qe_Loop> u(la.create_union_loop(lb));
                Shell want{};
                if (!loop_oracles::Geos().union_shell(a, b, want)) {
                    ++apart;
                    continue;
                }
                ASSERT_NE(u, nullptr) << i << " " << j;
                Ring got;
                const Qe_Loop_Node* v = u->head();
                for (long k = 0; k < u->count(); ++k, v = v->next()) got.push_back(v->point());
                EXPECT_GT(signed_area(got), 0.0);
                const Shell s = shell(got);
                EXPECT_NEAR(s.area, want.area, 1e-6 * want.area) << i << " " << j;
                EXPECT_NEAR(s.cx, want.cx, 1e-6) << i << " " << j;
                EXPECT_NEAR(s.cy, want.cy, 1e-6) << i << " " << j;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 50);
    EXPECT_GT(apart, 50);
}

// The outline of two overlapping loops is the shell of their union.
TEST(LoopSearch, UnionLoopIsTheGeosUnionShell)
{
    int compared = 0;
    for (unsigned seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const auto a = random_star(rng), b = random_star(rng);
        Shell want{};
        if (a.size() < 3 || b.size() < 3 || !loop_oracles::Geos().union_shell(a, b, want)) continue;
        const Ring ra = ring(a), rb = ring(b);
        const Qe_Loop la(ra.data(), static_cast<int>(ra.size())), lb(rb.data(), static_cast<int>(rb.size()));
        std::unique_ptr<Qe_Loop> u(la.create_union_loop(lb));
        ASSERT_NE(u, nullptr);
        Ring got;
        const Qe_Loop_Node* v = u->head();
        for (long i = 0; i < u->count(); ++i, v = v->next()) got.push_back(v->point());
        EXPECT_GT(signed_area(got), 0.0);
        const Shell s = shell(got);
        EXPECT_NEAR(s.area, want.area, 1e-6 * want.area);
        EXPECT_NEAR(s.cx, want.cx, 1e-6);
        EXPECT_NEAR(s.cy, want.cy, 1e-6);
        ++compared;
    }
    EXPECT_GT(compared, 50);
}

// --- Glyph outlines --------------------------------------------------------------------

void expect_contours(const loop_oracles::Glyphs& font, unsigned long code)
{
    SCOPED_TRACE(code);
    std::vector<loop_oracles::Contour> contours;
    ASSERT_TRUE(font.outline(code, contours));
    ASSERT_FALSE(contours.empty());
    const std::vector<Ring> got = search(loop_oracles::contour_segments(contours));
    expect_ccw(got);
    ASSERT_EQ(got.size(), contours.size());
    std::vector<double> a, b;
    for (const Ring& r : got) a.push_back(signed_area(r));
    for (const auto& c : contours) b.push_back(loop_oracles::contour_area(c));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-9 * b[i]);
}

TEST(LoopSearch, GlyphOutlinesGiveOneLoopPerContour)
{
    const loop_oracles::Glyphs dejavu(loop_oracles::DEJAVU_SANS);
    ASSERT_TRUE(dejavu.ok());
    for (unsigned long code : {'O', 'B', '8', '%', 'e'}) expect_contours(dejavu, code);
    const loop_oracles::Glyphs wqy(loop_oracles::WQY_MICROHEI);
    ASSERT_TRUE(wqy.ok());
    expect_contours(wqy, 0x56DE);  // 回
}

// A stray segment that touches an outline at a vertex leaves the fill whole.
TEST(LoopSearch, StraySegmentAtAGlyphVertexKeepsItsLoops)
{
    const loop_oracles::Glyphs dejavu(loop_oracles::DEJAVU_SANS);
    std::vector<loop_oracles::Contour> contours;
    ASSERT_TRUE(dejavu.outline('O', contours));
    std::vector<Seg> segs = loop_oracles::contour_segments(contours);
    // From the rightmost vertex outwards.
    std::pair<double, double> v = contours[0][0];
    for (const auto& c : contours)
        for (const auto& p : c) v = std::max(v, p);
    segs.push_back({v.first, v.second, v.first + 500, v.second - 300});
    EXPECT_EQ(search(segs).size(), contours.size());
}

// --- Degenerate and large input --------------------------------------------------------

TEST(LoopSearch, DegenerateInputFinishes)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(0, 10);
    std::vector<Seg> segs;
    for (int i = 0; i < 300; ++i) {
        const double x = d(rng), y = d(rng);
        switch (i % 5) {
        case 0: segs.push_back({x, y, x, y}); break;                              // no length
        case 1: segs.push_back({x, y, x + 1e-7, y}); break;                       // below tolerance
        case 2: segs.push_back({x, y, d(rng), d(rng)}); segs.push_back(segs.back()); break;  // twice
        case 3: segs.push_back({x, y, x + 1, y + 1e-7}); break;                    // near-horizontal
        default: segs.push_back({x, y, x, d(rng)}); break;
        }
    }
    segs.push_back({NAN, 0, 1, 1});
    segs.push_back({0, 0, INFINITY, 1});
    for (bool minimal : {true, false}) expect_ccw(search(segs, minimal));
}

// Coordinates far apart on both sides of the origin: their differences overflow, which
// must not reach the grid that pairs the segments (found by fuzzing).
TEST(LoopSearch, FarCoordinatesOfOppositeSignAreGridded)
{
    // A unit square found beside segments whose extents overflow.
    const double f = 1e308;
    std::vector<Ring> got = search({{0, 0, 1, 0}, {1, 0, 1, 1}, {1, 1, 0, 1}, {0, 1, 0, 0}, {-f, 5, f, 5}, {-f, -f, f, f}});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(signed_area(got[0]), 1.0, 1e-12);
    // The fuzzer's case: both diagonals and a vertical through the middle of a far square.
    const double g = 1.27e308;
    got = search({{-g, -g, g, g}, {-g, g, g, -g}, {0, -g, 0, g}});
    EXPECT_TRUE(got.empty());
}

// A large random input: short segments scattered over a square (dense enough for about
// one crossing in six segments), with zero-length and repeated ones among them. A million
// segments take about four times as long; this size keeps the sanitizer run short.
TEST(LoopSearch, LargeRandomInputFinishes)
{
    const int n = 400000;
    const double side = 1000.0 * std::sqrt(n / 1e6), len = 1.5;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(0, side), dir(0, 6.283185307179586), l(0, len);
    std::vector<Seg> segs;
    segs.reserve(n);
    while (static_cast<int>(segs.size()) < n) {
        const double x = pos(rng), y = pos(rng), a = dir(rng), r = l(rng);
        segs.push_back({x, y, x + r * std::cos(a), y + r * std::sin(a)});
        if (segs.size() % 1000 == 0) segs.push_back({x, y, x, y});
        if (segs.size() % 997 == 0) segs.push_back(segs[segs.size() / 2]);
    }
    const std::vector<Ring> got = search(segs);
    EXPECT_GT(got.size(), 2000u);
    expect_ccw(got);
}

}  // namespace

namespace {

// Many segments through one point: each is listed once at the point, and with a square round
// them every wedge between neighbouring spokes is a loop.
TEST(LoopSearch, ManySegmentsThroughOnePoint)
{
    const int n = 1000;
    std::vector<Seg> spokes;
    for (int k = 0; k < n; ++k) {
        const double a = 3.141592653589793 * (k + 0.5) / n;
        spokes.push_back({-10 * std::cos(a), -10 * std::sin(a), 10 * std::cos(a), 10 * std::sin(a)});
    }
    {
        Qe_Search_Loops s;
        for (const Seg& g : spokes) s.segment_list().add(new Qe_Segment(Qe_Pt(g.x0, g.y0, 0), Qe_Pt(g.x1, g.y1, 0)));
        s.remove_error_segment();
        s.bulid_intersect();
        ASSERT_EQ(s.intersect_list().count(), 1);
        auto* hub = static_cast<Qe_Intersect_Point*>(s.intersect_list().head()->entity());
        EXPECT_EQ(hub->segments().count(), n);
        EXPECT_NEAR(hub->point().x(), 0, 1e-9);
        EXPECT_NEAR(hub->point().y(), 0, 1e-9);
    }
    std::vector<Seg> framed = spokes;
    for (const Seg& side : std::initializer_list<Seg>{{-5, -5, 5, -5}, {5, -5, 5, 5}, {5, 5, -5, 5}, {-5, 5, -5, -5}})
        framed.push_back(side);
    const std::vector<Ring> wedges = search(framed);
    EXPECT_EQ(wedges.size(), static_cast<std::size_t>(2 * n));
    double area = 0;
    for (const Ring& r : wedges) area += signed_area(r);
    EXPECT_NEAR(area, 100.0, 1e-6);
    expect_ccw(wedges);
}

}  // namespace

namespace {

// Any finite square is found, however large: squared lengths and products of coordinates
// would overflow from a side of about 1e155.
TEST(LoopSearch, HugeSquaresAreFound)
{
    for (double side : {1e150, 1e155, 1e200, 1e300}) {
        for (bool minimal : {true, false}) {
            SCOPED_TRACE(side);
            const std::vector<Ring> got =
                search({{0, 0, side, 0}, {side, 0, side, side}, {side, side, 0, side}, {0, side, 0, 0}}, minimal);
            ASSERT_EQ(got.size(), 1u);
            ASSERT_EQ(got[0].size(), 4u);
            double max_x = 0, max_y = 0;
            for (const Qe_Pt& p : got[0]) max_x = std::max(max_x, p.x()), max_y = std::max(max_y, p.y());
            EXPECT_EQ(max_x, side);
            EXPECT_EQ(max_y, side);
        }
    }
}

}  // namespace
