#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <memory>
#include <random>
#include <vector>

// Boost.Geometry trips a false maybe-uninitialized warning in its envelope code.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#pragma GCC diagnostic pop

#include "common/scratch_dir.h"
#include "geometry/edge.h"
#include "geometry/loop.h"
#include "geometry/loop_cut.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_set.h"
#include "geometry/void_list.h"

namespace {

namespace bg = boost::geometry;
using BPt = bg::model::d2::point_xy<double>;
using BRing = bg::model::polygon<BPt, false, false>;
using BLine = bg::model::linestring<BPt>;
using BMulti = bg::model::multi_polygon<BRing>;
using Pts = std::vector<Qe_Pt>;

struct ClipRun {
    Qe_Pt from, to;
};

// Runs of the one Qe_Pt_Sets appended to out; the sets are deleted.
std::vector<ClipRun> take_runs(Qe_Void_List& out)
{
    std::vector<ClipRun> runs;
    EXPECT_LE(out.count(), 1);
    for (Qe_Void_Node* n = out.head(); n; n = n->next()) {
        std::unique_ptr<Qe_Pt_Sets> s(static_cast<Qe_Pt_Sets*>(n->entity()));
        for (mb_ulong r = 0; r < s->ptset_count(); ++r) {
            EXPECT_EQ(s->vals()[r], 2u);
            runs.push_back({s->get_point(static_cast<int>(r), 0), s->get_point(static_cast<int>(r), 1)});
        }
    }
    out.clear();
    return runs;
}

const Pts SQUARE = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
// A U shape open at the top: the notch spans x 4..6 above y 5.
const Pts U_SHAPE = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {6, 10, 0}, {6, 5, 0}, {4, 5, 0}, {4, 10, 0}, {0, 10, 0}};
// A diamond with vertices on the axes.
const Pts DIAMOND = {{5, 0, 0}, {10, 5, 0}, {5, 10, 0}, {0, 5, 0}};

TEST(SegmentLoopIntersection, RunsOfTableCases)
{
    struct Case {
        const char* name;
        Qe_Pt a, b;
        Pts poly;
        std::vector<std::pair<Qe_Pt, Qe_Pt>> runs;
    };
    const Case cases[] = {
        {"through the square", {-5, 5, 0}, {15, 5, 0}, SQUARE, {{{0, 5, 0}, {10, 5, 0}}}},
        {"given backwards", {15, 5, 0}, {-5, 5, 0}, SQUARE, {{{0, 5, 0}, {10, 5, 0}}}},
        {"vertical, from below", {5, 15, 0}, {5, -5, 0}, SQUARE, {{{5, 0, 0}, {5, 10, 0}}}},
        {"misses", {-5, 20, 0}, {15, 20, 0}, SQUARE, {}},
        {"ends on corners: the diagonal", {0, 0, 0}, {10, 10, 0}, SQUARE, {{{0, 0, 0}, {10, 10, 0}}}},
        {"ends on a corner from outside", {-5, -5, 0}, {0, 0, 0}, SQUARE, {}},
        {"starts inside", {5, 5, 0}, {15, 5, 0}, SQUARE, {{{5, 5, 0}, {10, 5, 0}}}},
        {"wholly inside", {2, 3, 0}, {7, 8, 0}, SQUARE, {{{2, 3, 0}, {7, 8, 0}}}},
        {"along an edge", {-5, 0, 0}, {15, 0, 0}, SQUARE, {{{0, 0, 0}, {10, 0, 0}}}},
        {"touches a vertex from outside", {8, -1, 0}, {12, 11, 0}, DIAMOND, {}},
        {"touches a vertex, vertical", {10, -5, 0}, {10, 15, 0}, DIAMOND, {}},
        {"through two opposite vertices", {-5, 5, 0}, {15, 5, 0}, DIAMOND, {{{0, 5, 0}, {10, 5, 0}}}},
        {"across the notch", {-1, 7, 0}, {11, 7, 0}, U_SHAPE, {{{0, 7, 0}, {4, 7, 0}}, {{6, 7, 0}, {10, 7, 0}}}},
        {"along the notch floor", {-1, 5, 0}, {11, 5, 0}, U_SHAPE, {{{0, 5, 0}, {10, 5, 0}}}},
        {"from inside a leg across the notch", {2, 7, 0}, {8, 7, 0}, U_SHAPE, {{{2, 7, 0}, {4, 7, 0}}, {{6, 7, 0}, {8, 7, 0}}}},
        {"through a notch corner", {2, 3, 0}, {8, 9, 0}, U_SHAPE, {{{2, 3, 0}, {4, 5, 0}}, {{6, 7, 0}, {8, 9, 0}}}},
        {"crossing the notch floor", {3, 4, 0}, {7, 6, 0}, U_SHAPE, {{{3, 4, 0}, {5, 5, 0}}, {{6, 5.5, 0}, {7, 6, 0}}}},
        {"a point", {5, 5, 0}, {5, 5, 0}, SQUARE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Qe_Void_List out;
        const bool ok = segment_loop_intersection(c.a, c.b, c.poly.data(), static_cast<int>(c.poly.size()), out);
        EXPECT_EQ(ok, !c.runs.empty());
        EXPECT_EQ(out.count(), ok ? 1 : 0);
        const std::vector<ClipRun> runs = take_runs(out);
        ASSERT_EQ(runs.size(), c.runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            EXPECT_NEAR(runs[i].from.x(), c.runs[i].first.x(), 1e-9) << i;
            EXPECT_NEAR(runs[i].from.y(), c.runs[i].first.y(), 1e-9) << i;
            EXPECT_NEAR(runs[i].to.x(), c.runs[i].second.x(), 1e-9) << i;
            EXPECT_NEAR(runs[i].to.y(), c.runs[i].second.y(), 1e-9) << i;
        }
    }
    Qe_Void_List out;
    EXPECT_FALSE(segment_loop_intersection({0, 0, 0}, {1, 1, 0}, nullptr, 4, out));
    EXPECT_FALSE(segment_loop_intersection({0, 0, 0}, {1, 1, 0}, SQUARE.data(), 2, out));
    EXPECT_TRUE(out.is_empty());
}

Pts star(std::mt19937& rng, int n)
{
    std::uniform_real_distribution<double> radius(2.0, 20.0);
    Pts ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        const double r = radius(rng);
        ring.push_back({r * std::cos(a), r * std::sin(a), 0});
    }
    return ring;
}

// Against Boost.Geometry on random star polygons: the same inside length, every run's
// midpoint inside, runs in ascending order without overlap.
TEST(SegmentLoopIntersection, AgreesWithBoostOnRandomPolygons)
{
    std::mt19937 rng(1210);
    std::uniform_real_distribution<double> coord(-25.0, 25.0);
    for (int iter = 0; iter < 400; ++iter) {
        const Pts ring = star(rng, 3 + static_cast<int>(rng() % 14));
        BRing poly;
        for (const Qe_Pt& p : ring) bg::append(poly.outer(), BPt(p.x(), p.y()));
        const Qe_Pt a(coord(rng), coord(rng), 0), b(coord(rng), coord(rng), 0);
        BLine line;
        bg::append(line, BPt(a.x(), a.y()));
        bg::append(line, BPt(b.x(), b.y()));
        std::vector<BLine> pieces;
        bg::intersection(line, poly, pieces);
        double want = 0;
        for (const BLine& l : pieces) want += bg::length(l);

        Qe_Void_List out;
        const bool ok = segment_loop_intersection(a, b, ring.data(), static_cast<int>(ring.size()), out);
        const std::vector<ClipRun> runs = take_runs(out);
        EXPECT_EQ(ok, want > 1e-9) << iter;
        double got = 0;
        for (size_t i = 0; i < runs.size(); ++i) {
            const ClipRun& r = runs[i];
            got += (r.to - r.from).len();
            EXPECT_LT(r.from.x(), r.to.x()) << iter;
            if (i > 0) {
                EXPECT_LT(runs[i - 1].to.x(), r.from.x()) << iter;
            }
            EXPECT_TRUE(is_pos_in_region(interpolate(0.5, r.from, r.to), ring.data(), static_cast<int>(ring.size())))
                << iter;
        }
        EXPECT_NEAR(got, want, 1e-7) << iter;
    }
}


std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Pts rect_pts(double x0, double y0, double x1, double y1) { return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}; }

BRing to_boost(const Pts& ring)
{
    BRing poly;
    for (const Qe_Pt& p : ring) bg::append(poly.outer(), BPt(p.x(), p.y()));
    bg::correct(poly);
    return poly;
}

// Owns loops for a test and lists them.
struct Loops {
    std::vector<std::unique_ptr<Qe_Loop>> owned;
    Qe_Void_List list;
    Qe_Loop* add(const Pts& pts)
    {
        owned.push_back(std::make_unique<Qe_Loop>(pts.data(), static_cast<int>(pts.size())));
        list.add(owned.back().get());
        return owned.back().get();
    }
};

template <class T>
std::vector<std::unique_ptr<T>> take(Qe_Void_List& out)
{
    std::vector<std::unique_ptr<T>> v;
    for (Qe_Void_Node* n = out.head(); n; n = n->next()) v.emplace_back(static_cast<T*>(n->entity()));
    out.clear();
    return v;
}

double loop_area(const Qe_Loop& l)
{
    Pts pts;
    const Qe_Loop_Node* v = l.head();
    for (long i = 0; i < l.count(); ++i, v = v->next()) pts.push_back(v->point());
    return cal_pts_area(pts.data(), static_cast<int>(pts.size()));
}

TEST(CutSegmentByLoops, SplitsAtEveryCrossingInOrder)
{
    Loops loops;
    loops.add(SQUARE);
    struct Case {
        Qe_Pt a, b;
        Pts cuts;  // every end point of the result, in order
    };
    const Case cases[] = {
        {{-5, 2, 0}, {15, 8, 0}, {{-5, 2, 0}, {0, 3.5, 0}, {10, 6.5, 0}, {15, 8, 0}}},
        {{15, 8, 0}, {-5, 2, 0}, {{-5, 2, 0}, {0, 3.5, 0}, {10, 6.5, 0}, {15, 8, 0}}},
        // Vertical: ascending y, whatever the rounding of the computed crossings' x.
        {{0.1 * 3, 20, 0}, {0.1 * 3, -20, 0}, {{0.3, -20, 0}, {0.3, 0, 0}, {0.3, 10, 0}, {0.3, 20, 0}}},
        {{20, 20, 0}, {30, 30, 0}, {{20, 20, 0}, {30, 30, 0}}},
        // Through two corners: each corner is found by both its edges and kept once.
        {{-5, -5, 0}, {15, 15, 0}, {{-5, -5, 0}, {0, 0, 0}, {10, 10, 0}, {15, 15, 0}}},
    };
    for (const Case& c : cases) {
        Qe_Void_List out;
        EXPECT_TRUE(cut_segment_by_loops(c.a, c.b, loops.list, out));
        const auto segs = take<Qe_Segment>(out);
        ASSERT_EQ(segs.size() + 1, c.cuts.size());
        for (size_t i = 0; i < segs.size(); ++i) {
            EXPECT_EQ(segs[i]->parent(), nullptr);
            EXPECT_NEAR(segs[i]->start().x(), c.cuts[i].x(), 1e-9);
            EXPECT_NEAR(segs[i]->start().y(), c.cuts[i].y(), 1e-9);
            EXPECT_NEAR(segs[i]->end().x(), c.cuts[i + 1].x(), 1e-9);
            EXPECT_NEAR(segs[i]->end().y(), c.cuts[i + 1].y(), 1e-9);
        }
    }
    // A nearly vertical line through a ring of many edges: the pieces join up end to end.
    Loops star_loops;
    std::mt19937 rng(7);
    star_loops.add(star(rng, 40));
    Qe_Void_List out;
    cut_segment_by_loops({1e-9, -30, 0}, {0, 30, 0}, star_loops.list, out);
    const auto segs = take<Qe_Segment>(out);
    ASSERT_GE(segs.size(), 3u);
    for (size_t i = 0; i + 1 < segs.size(); ++i) {
        EXPECT_EQ(segs[i]->end().y(), segs[i + 1]->start().y());
        EXPECT_LT(segs[i]->start().y(), segs[i]->end().y());
    }
    EXPECT_FALSE(cut_segment_by_loops({1, 1, 0}, {1, 1, 0}, loops.list, out));
    EXPECT_TRUE(out.is_empty());
}

// Runs in a scratch folder: the cuts write "cutloopbyloops.txt" and the log there.
class LoopCut : public ::testing::Test {
protected:
    Scratch_Dir cwd{true};
};

TEST_F(LoopCut, LoopsWithoutCuttersAreCopiedAndWriteNoDump)
{
    Loops loops;
    Qe_Loop* loop = loops.add(SQUARE);
    Qe_Void_List none, out;
    EXPECT_TRUE(cut_loop_by_loops(*loop, none, out));
    const auto parts = take<Qe_Loop>(out);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_NE(parts[0].get(), loop);
    EXPECT_EQ(parts[0]->count(), 4);
    EXPECT_DOUBLE_EQ(loop_area(*parts[0]), 100.0);
    EXPECT_FALSE(std::filesystem::exists("cutloopbyloops.txt"));
}

// Against Boost.Geometry: the parts cover loop minus the union of the cutters, one loop
// per part, and each call with cutters appends its segments to the dump.
TEST_F(LoopCut, LoopCutByLoopsMatchesBoostDifference)
{
    struct Case {
        const char* name;
        Pts loop;
        std::vector<Pts> cutters;
        size_t parts;
        double area;
    };
    const Case cases[] = {
        {"corner bitten off", SQUARE, {rect_pts(5, -5, 15, 5)}, 1, 75},
        {"cut in two", SQUARE, {rect_pts(4, -5, 6, 15)}, 2, 80},
        {"cut in three by two", SQUARE, {rect_pts(2, -5, 3, 15), rect_pts(6, -5, 8, 15)}, 3, 70},
        {"notch from above", SQUARE, {rect_pts(4, 5, 6, 12)}, 1, 90},
        {"cutters overlapping each other", SQUARE, {rect_pts(-1, -1, 5, 5), rect_pts(3, 3, 7, 7)}, 1, 100 - 25 - 16 + 4},
        {"cutter sharing an edge from outside", SQUARE, {rect_pts(10, 0, 20, 10)}, 1, 100},
        {"cutter apart", SQUARE, {rect_pts(20, 20, 30, 30)}, 1, 100},
        {"cutter covering the loop", SQUARE, {rect_pts(-1, -1, 11, 11)}, 0, 0},
        {"cutter equal to the loop", SQUARE, {SQUARE}, 0, 0},
        {"diamond cut by a square", DIAMOND, {rect_pts(0, 0, 5, 5)}, 1, 37.5},
        {"U cut across its legs", U_SHAPE, {rect_pts(-1, 7, 11, 8)}, 3, 90 - 8},
    };
    int calls_with_cutters = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loops loops, cutters;
        Qe_Loop* loop = loops.add(c.loop);
        for (const Pts& p : c.cutters) cutters.add(p);
        Qe_Void_List out;
        EXPECT_TRUE(cut_loop_by_loops(*loop, cutters.list, out));
        ++calls_with_cutters;
        const auto parts = take<Qe_Loop>(out);

        BMulti cover, diff;
        for (const Pts& p : c.cutters) {
            BMulti next;
            bg::union_(cover, to_boost(p), next);
            cover = next;
        }
        bg::difference(to_boost(c.loop), cover, diff);
        EXPECT_NEAR(bg::area(diff), c.area, 1e-9);
        EXPECT_EQ(diff.size(), c.parts);
        ASSERT_EQ(parts.size(), c.parts);
        double area = 0;
        for (const auto& p : parts) {
            const double a = loop_area(*p);
            area += a;
            // Each part is one of Boost's pieces.
            bool matched = false;
            for (const BRing& piece : diff) matched = matched || std::fabs(bg::area(piece) - a) < 1e-9;
            EXPECT_TRUE(matched) << a;
        }
        EXPECT_NEAR(area, c.area, 1e-9);
    }
    // The dump holds a time stamp per call and the segments as tagged records.
    const std::string dump = slurp("cutloopbyloops.txt");
    size_t stamps = 0;
    for (size_t at = dump.find(";;"); at != std::string::npos; at = dump.find(";;", at + 1)) ++stamps;
    EXPECT_EQ(stamps, static_cast<size_t>(calls_with_cutters));
    EXPECT_NE(dump.find("0.0000,0.0000,0.0000,10.0000,0.0000,0.0000,16711680\r\n"), std::string::npos);
}

// Random star-shaped loops cut by one to three random stars: the parts' total area is
// Boost's area of loop minus the cutters, and no part overlaps a cutter.
TEST_F(LoopCut, RandomLoopCutsMatchBoost)
{
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> shift(-15.0, 15.0);
    int compared = 0;
    for (int iter = 0; iter < 60; ++iter) {
        Loops loops, cutters;
        const Pts ring = star(rng, 5 + static_cast<int>(rng() % 8));
        Qe_Loop* loop = loops.add(ring);
        BMulti diff;
        bg::convert(to_boost(ring), diff);
        const int k = 1 + static_cast<int>(rng() % 3);
        for (int j = 0; j < k; ++j) {
            Pts c = star(rng, 4 + static_cast<int>(rng() % 6));
            const double dx = shift(rng), dy = shift(rng);
            for (Qe_Pt& p : c) p = Qe_Pt(p.x() * 0.6 + dx, p.y() * 0.6 + dy, 0);
            cutters.add(c);
            BMulti next;
            bg::difference(diff, to_boost(c), next);
            diff = next;
        }
        // A part with a hole has no single-ring counterpart: such draws are left out.
        bool holes = false;
        for (const BRing& piece : diff) holes = holes || !piece.inners().empty();
        if (holes) continue;
        ++compared;
        Qe_Void_List out;
        EXPECT_TRUE(cut_loop_by_loops(*loop, cutters.list, out));
        const auto parts = take<Qe_Loop>(out);
        double area = 0;
        for (const auto& p : parts) area += loop_area(*p);
        EXPECT_NEAR(area, bg::area(diff), 1e-6 * (1 + bg::area(diff))) << iter;
        EXPECT_EQ(parts.size(), diff.size()) << iter;
    }
    EXPECT_GT(compared, 40);
}

// A cutter wholly inside the loop would make a hole, which a loop cannot carry: the loop's
// outline is the part left, and the cutter's inside is not.
TEST_F(LoopCut, CutterInsideTheLoopLeavesTheOutline)
{
    Loops loops, cutters;
    Qe_Loop* loop = loops.add(SQUARE);
    cutters.add(rect_pts(3, 3, 7, 7));
    Qe_Void_List out;
    EXPECT_TRUE(cut_loop_by_loops(*loop, cutters.list, out));
    const auto parts = take<Qe_Loop>(out);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_DOUBLE_EQ(loop_area(*parts[0]), 100.0);
}

struct Hatch {
    std::vector<std::unique_ptr<Qe_Segment>> lines;
    double length = 0;
};

Hatch hatch(Qe_Void_List& loops, double angle, double spacing)
{
    Qe_Void_List out;
    cut_segments_by_loops(loops, angle, spacing, out);
    Hatch h;
    h.lines = take<Qe_Segment>(out);
    for (const auto& s : h.lines) h.length += s->length();
    return h;
}

TEST_F(LoopCut, HatchOfTheSquare)
{
    Loops loops;
    loops.add(SQUARE);
    const Hatch h = hatch(loops.list, M_PI / 2, 2);
    ASSERT_EQ(h.lines.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        const Qe_Pt lo = h.lines[i]->start().y() < h.lines[i]->end().y() ? h.lines[i]->start() : h.lines[i]->end();
        const Qe_Pt hi = h.lines[i]->start().y() < h.lines[i]->end().y() ? h.lines[i]->end() : h.lines[i]->start();
        EXPECT_NEAR(lo.x(), 2.0 * i, 1e-9);
        EXPECT_NEAR(hi.x(), 2.0 * i, 1e-9);
        EXPECT_NEAR(lo.y(), 0, 1e-9);
        EXPECT_NEAR(hi.y(), 10, 1e-9);
        EXPECT_EQ(h.lines[i]->parent(), nullptr);
    }
    // Lines never run exactly diagonal.
    for (double angle : {M_PI / 4, 3 * M_PI / 4}) {
        const Hatch d = hatch(loops.list, angle, 1);
        ASSERT_FALSE(d.lines.empty());
        for (const auto& s : d.lines) {
            const Qe_Vec v = s->end() - s->start();
            double a = std::atan2(v.y(), v.x());
            if (a < 0) a += M_PI;
            EXPECT_NEAR(a, angle + 1e-5, 1e-9);
        }
    }
    EXPECT_FALSE(std::filesystem::exists("jxb.log"));  // no holes, no log entries
}

TEST_F(LoopCut, HatchRefusesBadSpacingAndHugeCounts)
{
    Loops loops;
    loops.add(SQUARE);
    const double inf = std::numeric_limits<double>::infinity();
    for (double spacing : {0.0, -1.0, std::nan(""), inf, -inf, 10.0 / (MAX_HATCH_LINES + 1.0)})
        EXPECT_TRUE(hatch(loops.list, M_PI / 2, spacing).lines.empty()) << spacing;
    EXPECT_TRUE(hatch(loops.list, std::nan(""), 1).lines.empty());
    EXPECT_EQ(hatch(loops.list, M_PI / 2, 10.0 / (MAX_HATCH_LINES - 10.0)).lines.size(),
              static_cast<size_t>(MAX_HATCH_LINES - 9));
    Qe_Void_List none;
    EXPECT_TRUE(hatch(none, 0.3, 1).lines.empty());
}

// On convex shapes the lines cover the area: length × spacing ≈ area, within a spacing's
// worth of the widest chord; every line lies inside.
TEST_F(LoopCut, HatchLengthMatchesAreaOnConvexShapes)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> angle(0, M_PI);
    for (int iter = 0; iter < 30; ++iter) {
        // A convex ring: points on an ellipse at random angles.
        std::vector<double> t(3 + rng() % 12);
        for (double& v : t) v = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
        std::sort(t.begin(), t.end());
        Pts ring;
        for (double v : t) ring.push_back({3 + 8 * std::cos(v), -2 + 5 * std::sin(v), 0});
        const double area = cal_pts_area(ring.data(), static_cast<int>(ring.size()));
        if (area < 1) continue;
        Loops loops;
        loops.add(ring);
        const double spacing = 0.05 + 0.2 * (rng() % 100) / 100.0;
        const Hatch h = hatch(loops.list, angle(rng), spacing);
        EXPECT_NEAR(h.length * spacing, area, 2 * 16 * spacing) << iter;
        for (const auto& s : h.lines)
            EXPECT_NE(loops.owned[0]->is_pt_in_loop(s->middle_pos()), 0) << iter;
    }
}

// A hole is not hatched, and neither is an island inside the hole; each stretch tested
// against a hole writes a log entry.
TEST_F(LoopCut, HatchLeavesHolesAndTheirIslandsOut)
{
    Loops loops;
    Qe_Loop* outer = loops.add(rect_pts(0, 0, 10, 10));
    Qe_Loop* hole = loops.add(rect_pts(3, 3, 7, 7));
    Qe_Loop* island = loops.add(rect_pts(4, 4, 6, 6));
    const double spacing = 0.1;
    const Hatch h = hatch(loops.list, 0.7, spacing);
    EXPECT_NEAR(h.length * spacing, 100 - 16, 2 * 14 * spacing);
    for (const auto& s : h.lines) {
        const Qe_Pt m = s->middle_pos();
        EXPECT_EQ(outer->is_pt_in_loop(m), 1);
        EXPECT_EQ(hole->is_pt_in_loop(m), 0);
        EXPECT_EQ(island->is_pt_in_loop(m), 0);
    }
    const std::string log = slurp("jxb.log");
    EXPECT_NE(log.find("中点x:"), std::string::npos);
}

}  // namespace
