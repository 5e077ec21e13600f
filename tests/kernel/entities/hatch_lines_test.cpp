// The hatch line generator against independent oracles: Boost.Geometry for point in
// polygon and boundary distance, closed-form span sums, a pixel mask computed here, and
// the rotation of a hatched shape.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/geometries/segment.hpp>

#include "geometry/loop.h"
#include "geometry/pt_set.h"
#include "geometry/void_list.h"
#include "kernel/entities/hatch_lines.h"

namespace bg = boost::geometry;
using BPt = bg::model::d2::point_xy<double>;
using BPoly = bg::model::polygon<BPt>;
using BSeg = bg::model::segment<BPt>;

namespace {

using Ring = std::vector<Qe_Pt>;

struct Dash_Run {
    std::vector<Qe_Pt> pts;
    double length() const { return pts.size() == 2 ? (pts[1] - pts[0]).len() : 0.0; }
};

// Loops built from rings, owned here.
class Loops {
public:
    explicit Loops(const std::vector<Ring>& rings)
    {
        for (const Ring& r : rings) {
            auto* l = new Qe_Loop();
            for (const Qe_Pt& p : r) l->add(p);
            m_list.add(l);
        }
    }
    ~Loops()
    {
        for (Qe_Void_Node* n = m_list.head(); n; n = n->next()) delete static_cast<Qe_Loop*>(n->entity());
    }
    Qe_Void_List& list() { return m_list; }

private:
    Qe_Void_List m_list;
};

struct Result {
    bool ok = false;
    std::vector<std::vector<Dash_Run>> spans;  // per span its runs

    std::vector<Dash_Run> runs() const
    {
        std::vector<Dash_Run> all;
        for (const auto& s : spans) all.insert(all.end(), s.begin(), s.end());
        return all;
    }
    double total_length() const
    {
        double t = 0.0;
        for (const Dash_Run& r : runs()) t += r.length();
        return t;
    }
};

MB_Hatch_Type make_type(const std::vector<std::string>& lines, double scale = 1.0, double angle = 0.0)
{
    MB_Hatch_Type t;
    t.name(MB_String("TEST"));
    for (const std::string& l : lines) EXPECT_TRUE(t.add_string(MB_String(l.c_str())));
    t.scale(scale);
    t.angle(angle);
    return t;
}

Result render(MB_Hatch_Type& type, const std::vector<Ring>& rings, int mode = 0)
{
    Loops loops(rings);
    Qe_Void_List out;
    Result r;
    r.ok = type.render_loops_to_ptsets_list(loops.list(), out, mode);
    for (Qe_Void_Node* n = out.head(); n; n = n->next()) {
        auto* sets = static_cast<Qe_Pt_Sets*>(n->entity());
        std::vector<Dash_Run> span;
        mb_ulong k = 0;
        for (mb_ulong i = 0; i < sets->ptset_count(); ++i) {
            Dash_Run run;
            for (mb_ulong j = 0; j < sets->vals()[i]; ++j) run.pts.push_back(sets->points()[k++]);
            span.push_back(run);
        }
        r.spans.push_back(span);
        delete sets;
    }
    return r;
}

Ring rect_ring(double x0, double y0, double x1, double y1) { return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}; }

Ring transformed(const Ring& r, double angle, double dx = 0.0, double dy = 0.0)
{
    Ring out;
    const double c = std::cos(angle), s = std::sin(angle);
    for (const Qe_Pt& p : r) out.push_back({p.x() * c - p.y() * s + dx, p.x() * s + p.y() * c + dy, 0.0});
    return out;
}

BPoly to_boost(const std::vector<Ring>& rings)
{
    BPoly poly;
    auto fill = [](const Ring& r, auto& target) {
        for (const Qe_Pt& p : r) target.push_back(BPt(p.x(), p.y()));
        target.push_back(BPt(r.front().x(), r.front().y()));
    };
    fill(rings.front(), poly.outer());
    for (std::size_t i = 1; i < rings.size(); ++i) {
        poly.inners().emplace_back();
        fill(rings[i], poly.inners().back());
    }
    bg::correct(poly);
    return poly;
}

double boundary_distance(const std::vector<Ring>& rings, const Qe_Pt& p)
{
    double best = HUGE_VAL;
    for (const Ring& r : rings)
        for (std::size_t i = 0; i < r.size(); ++i) {
            const Qe_Pt& a = r[i];
            const Qe_Pt& b = r[(i + 1) % r.size()];
            best = std::min(best, bg::distance(BPt(p.x(), p.y()), BSeg(BPt(a.x(), a.y()), BPt(b.x(), b.y()))));
        }
    return best;
}

// A star-like outline with islands that lie inside it and apart from each other.
std::vector<Ring> random_region(std::mt19937& rng, int outer_vertices, int islands)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Ring> rings;
    Ring outer;
    for (int i = 0; i < outer_vertices; ++i) {
        const double t = 2.0 * M_PI * i / outer_vertices;
        const double r = 80.0 + 20.0 * unit(rng);
        outer.push_back({100.0 + r * std::cos(t), 100.0 + r * std::sin(t), 0.0});
    }
    rings.push_back(outer);
    // Islands on a grid inside the radius-80 disc, each a small random polygon.
    int made = 0;
    for (int gx = -3; gx <= 3 && made < islands; ++gx)
        for (int gy = -3; gy <= 3 && made < islands; ++gy) {
            const double cx = 100.0 + gx * 16.0, cy = 100.0 + gy * 16.0;
            if (std::hypot(cx - 100.0, cy - 100.0) > 60.0) continue;
            Ring island;
            const int n = 3 + static_cast<int>(unit(rng) * 6);
            for (int i = 0; i < n; ++i) {
                const double t = 2.0 * M_PI * i / n;
                const double r = 3.0 + 4.0 * unit(rng);
                island.push_back({cx + r * std::cos(t), cy + r * std::sin(t), 0.0});
            }
            rings.push_back(island);
            ++made;
        }
    return rings;
}

double region_area(const std::vector<Ring>& rings) { return bg::area(to_boost(rings)); }

double perimeter(const std::vector<Ring>& rings) { return bg::perimeter(to_boost(rings)); }

}  // namespace

TEST(HatchLineAngle, FoldsIntoHalfTurnWithReverseFlag)
{
    struct Case {
        double field, rotation_deg, angle;
        bool reverse;
    } cases[] = {
        {450.0, 0.0, 90.0, false}, {200.0, 0.0, 20.0, true},  {-30.0, 0.0, 150.0, true}, {0.0, 0.0, 0.0, false},
        {180.0, 0.0, 0.0, true},   {359.0, 0.0, 179.0, true}, {45.0, 90.0, 135.0, false}, {45.0, -90.0, 135.0, true},
        {1e300, 0.0, std::fmod(1e300, 360.0) >= 180.0 ? std::fmod(1e300, 360.0) - 180.0 : std::fmod(1e300, 360.0),
         std::fmod(1e300, 360.0) >= 180.0},
    };
    for (const Case& c : cases) {
        MB_Hatch_Type t;
        t.angle(c.rotation_deg * 3.141592653589793 / 180.0);
        EXPECT_NEAR(t.get_line_angle(c.field), c.angle, 1e-9) << c.field << " " << c.rotation_deg;
        EXPECT_EQ(t.reverse(), c.reverse) << c.field;
    }
    MB_Hatch_Type t;
    EXPECT_TRUE(std::isnan(t.get_line_angle(std::nan(""))));
}

TEST(HatchLines, AxisAlignedFamiliesSumToAreaOverSpacing)
{
    // Lines half a spacing off the edges: the span sum is exactly area / spacing.
    struct Case {
        const char* line;
        double scale;
        Ring ring;
        double expected;
        int spans;
    } cases[] = {
        {"0,0,0.5,0,1", 1.0, rect_ring(0, 0, 10, 6), 60.0, 6},
        {"90,0.25,0,0,0.5", 1.0, rect_ring(-3, 2, 7, 4), 40.0, 20},
        {"0,0,1,0,2", 0.5, rect_ring(0, 0, 4, 4), 16.0, 4},  // scaled: spacing 1, origin 0.5
        {"0,0,0,0,1", 1.0, rect_ring(0, 0, 10, 10), 110.0, 11},  // lines on both edges count too
        {"0,0,0,0,-1", 1.0, rect_ring(0, 0, 10, 10), 110.0, 11},  // negative dy: the same family
    };
    for (const Case& c : cases) {
        MB_Hatch_Type t = make_type({c.line}, c.scale);
        const Result r = render(t, {c.ring});
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.spans.size(), static_cast<std::size_t>(c.spans)) << c.line;
        EXPECT_NEAR(r.total_length(), c.expected, 1e-9) << c.line;
    }
}

TEST(HatchLines, ContinuousHorizontalLinesOverTheSquare)
{
    MB_Hatch_Type t = make_type({"0,0,0,0,1"});
    const Result r = render(t, {rect_ring(0, 0, 10, 10)});
    ASSERT_EQ(r.spans.size(), 11u);
    for (int y = 1; y <= 9; ++y) {
        const auto& span = r.spans[static_cast<std::size_t>(y)];
        ASSERT_EQ(span.size(), 1u);
        EXPECT_NEAR(span[0].pts[0].x(), 0.0, 1e-12);
        EXPECT_NEAR(span[0].pts[1].x(), 10.0, 1e-12);
        EXPECT_NEAR(span[0].pts[0].y(), y, 1e-12);
    }
}

TEST(HatchLines, VerticalAndRisingFamiliesCoverTheSquare)
{
    // Vertical: x = 0 .. 10. Rising at 45 degrees: across coordinates -7 .. 7 have spans.
    MB_Hatch_Type v = make_type({"90,0,0,0,1"});
    const Result rv = render(v, {rect_ring(0, 0, 10, 10)});
    std::vector<double> xs;
    for (const auto& s : rv.spans) xs.push_back(s[0].pts[0].x());
    std::sort(xs.begin(), xs.end());
    ASSERT_EQ(xs.size(), 11u);
    for (int i = 0; i <= 10; ++i) EXPECT_NEAR(xs[static_cast<std::size_t>(i)], i, 1e-9);

    for (const char* line : {"45,0,0,0,1", "45,0,3,0,1", "135,0,0,0,1", "135,0,3,0,1"}) {
        MB_Hatch_Type t = make_type({line});
        const Result r = render(t, {rect_ring(0, 0, 10, 10)});
        // The family at spacing 1 through the corner (0, 0), or through (0, 3), covers the
        // whole square on both sides of its base point: 14 or 15 chords summing to the area.
        EXPECT_GE(r.spans.size(), 14u) << line;
        EXPECT_NEAR(r.total_length(), 100.0, 2.0) << line;
    }
}

TEST(HatchLines, VertexCrossingsTouchTwiceAndPassOnce)
{
    // An outer rectangle with a diamond island whose vertices lie on the lines y = 3, 5, 7.
    const std::vector<Ring> rings = {rect_ring(0, 0, 20, 10), {{10, 3, 0}, {12, 5, 0}, {10, 7, 0}, {8, 5, 0}}};
    MB_Hatch_Type t = make_type({"0,0,3,0,2"});  // lines at y = 1, 3, 5, 7, 9
    const Result r = render(t, rings);
    std::vector<std::pair<double, std::pair<double, double>>> got;
    for (const auto& s : r.spans) got.push_back({s[0].pts[0].y(), {s[0].pts[0].x(), s[0].pts[1].x()}});
    const std::vector<std::pair<double, std::pair<double, double>>> want = {
        {1, {0, 20}},
        {3, {0, 10}}, {3, {10, 20}},  // touching the bottom vertex: two crossings there
        {5, {0, 8}},  {5, {12, 20}},  // passing the side vertices: one crossing each
        {7, {0, 10}}, {7, {10, 20}},
        {9, {0, 20}},
    };
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].first, want[i].first, 1e-12) << i;
        EXPECT_NEAR(got[i].second.first, want[i].second.first, 1e-9) << i;
        EXPECT_NEAR(got[i].second.second, want[i].second.second, 1e-9) << i;
    }
}

TEST(HatchLines, BoundaryRunAlongALineCrossesOnce)
{
    // The island's step runs along y = 5 from (20, 5) to (15, 5) and goes on upwards: the
    // boundary crosses the line once there, so the right part beyond the island is hatched.
    const std::vector<Ring> rings = {
        rect_ring(0, 0, 30, 10), {{10, 2, 0}, {20, 2, 0}, {20, 5, 0}, {15, 5, 0}, {15, 8, 0}, {10, 8, 0}}};
    MB_Hatch_Type t = make_type({"0,0,5,0,100"});
    const Result r = render(t, rings);
    ASSERT_EQ(r.spans.size(), 2u);
    EXPECT_NEAR(r.spans[0][0].pts[0].x(), 0.0, 1e-12);
    EXPECT_NEAR(r.spans[0][0].pts[1].x(), 10.0, 1e-12);
    EXPECT_NEAR(r.spans[1][0].pts[0].x(), 20.0, 1e-12);
    EXPECT_NEAR(r.spans[1][0].pts[1].x(), 30.0, 1e-12);
}

TEST(HatchLines, ModesSelectCrossings)
{
    // Two nested islands: six crossings on the line y = 15.
    const std::vector<Ring> rings = {rect_ring(0, 0, 30, 30), rect_ring(5, 5, 25, 25), rect_ring(10, 10, 20, 20)};
    struct Case {
        int mode;
        std::vector<std::pair<double, double>> spans;
    } cases[] = {
        {0, {{0, 5}, {10, 20}, {25, 30}}},
        {1, {{0, 5}, {25, 30}}},
        {2, {{0, 30}}},
        {7, {{0, 5}, {10, 20}, {25, 30}}},  // unknown modes keep every crossing
    };
    for (const Case& c : cases) {
        MB_Hatch_Type t = make_type({"0,0,15,0,100"});
        const Result r = render(t, rings, c.mode);
        ASSERT_EQ(r.spans.size(), c.spans.size()) << c.mode;
        for (std::size_t i = 0; i < c.spans.size(); ++i) {
            EXPECT_NEAR(r.spans[i][0].pts[0].x(), c.spans[i].first, 1e-12);
            EXPECT_NEAR(r.spans[i][0].pts[1].x(), c.spans[i].second, 1e-12);
        }
    }
}

TEST(HatchLines, DashesFollowThePatternTimesScale)
{
    // Dash 2, gap -1, dot, gap -1 at scale 0.5: dashes of 1, dots, period 2; each line's
    // pattern starts at the origin lattice B + j (dx, dy) and repeats every period.
    MB_Hatch_Type t = make_type({"0,0.3,0.5,0.7,1,2,-1,0,-1"}, 0.5);
    const Result r = render(t, {rect_ring(0, 0, 10, 5)});
    int dashes = 0, dots = 0, clipped = 0;
    for (const Dash_Run& run : r.runs()) {
        const double y = run.pts[0].y();
        const int j = static_cast<int>(std::lround((y - 0.25) / 0.5));
        const double phase = 0.15 + j * 0.35;  // origin x 0.3 and dx 0.7, scaled
        const double rel = std::fmod(std::fmod(run.pts[0].x() - phase, 2.0) + 2.0, 2.0);
        if (run.pts.size() == 1) {
            ++dots;
            EXPECT_NEAR(std::min(std::fabs(rel - 1.5), 2.0 - std::fabs(rel - 1.5)), 0.0, 1e-9);
            continue;
        }
        const bool at_edge = run.pts[0].x() < 1e-12 || run.pts[1].x() > 10.0 - 1e-12;
        if (!at_edge) {
            ++dashes;
            EXPECT_NEAR(run.length(), 1.0, 1e-9);
            EXPECT_NEAR(std::min(rel, 2.0 - rel), 0.0, 1e-9);
        } else {
            ++clipped;
            EXPECT_LE(run.length(), 1.0 + 1e-9);
        }
    }
    EXPECT_GT(dashes, 20);
    EXPECT_GT(dots, 20);
    EXPECT_GT(clipped, 0);
}

TEST(HatchLines, ReversedAngleRunsTheDashesBackwards)
{
    // 180 + a draws the family at a with the dash order reversed, which is the same
    // pattern turned by half a turn about the origin lattice.
    MB_Hatch_Type fwd = make_type({"0,0,0.5,0,1,3,-1,1,-1"});
    MB_Hatch_Type back = make_type({"180,0,0.5,0,1,3,-1,1,-1"});
    const Result a = render(fwd, {rect_ring(0, 0, 20, 3)});
    const Result b = render(back, {rect_ring(0, 0, 20, 3)});
    // Forward: dash 3 at [0, 3], dash 1 at [4, 5]. Reversed: gap 1, dash 1 at [1, 2],
    // gap 1, dash 3 at [3, 6].
    ASSERT_FALSE(a.spans.empty());
    ASSERT_FALSE(b.spans.empty());
    EXPECT_NEAR(a.spans[0][0].pts[1].x(), 3.0, 1e-12);
    EXPECT_NEAR(b.spans[0][0].pts[0].x(), 1.0, 1e-12);
    EXPECT_NEAR(b.spans[0][1].pts[0].x(), 3.0, 1e-12);
    EXPECT_NEAR(b.spans[0][1].pts[1].x(), 6.0, 1e-12);
}

TEST(HatchLines, RandomRegionsAgainstBoostGeometry)
{
    std::mt19937 rng(20261210);
    const char* patterns[] = {"0,0,0,0,1.7", "90,0.4,0,0,2.3", "30,1,2,0,1.9", "117,0,0,0.5,2.1", "63,0,0,1,1.5,3,-1,0,-1"};
    for (int trial = 0; trial < 8; ++trial) {
        const std::vector<Ring> rings = random_region(rng, 40 + trial * 20, 4 + trial * 3);
        const BPoly poly = to_boost(rings);
        for (const char* pattern : patterns) {
            MB_Hatch_Type t = make_type({pattern});
            const Result r = render(t, rings);
            ASSERT_TRUE(r.ok);
            ASSERT_FALSE(r.spans.empty());
            for (const auto& span : r.spans) {
                // The span's ends lie on the boundary; each run's midpoint inside.
                const Qe_Pt& first = span.front().pts.front();
                const Qe_Pt& last = span.back().pts.back();
                for (const Dash_Run& run : span) {
                    if (run.pts.size() != 2) continue;
                    const Qe_Pt mid((run.pts[0].x() + run.pts[1].x()) / 2, (run.pts[0].y() + run.pts[1].y()) / 2, 0);
                    if (boundary_distance(rings, mid) < 1e-6) continue;
                    EXPECT_TRUE(bg::within(BPt(mid.x(), mid.y()), poly)) << pattern << " trial " << trial;
                }
                if (std::string(pattern).find(",3,") == std::string::npos) {
                    EXPECT_LT(boundary_distance(rings, first), 1e-7) << pattern;
                    EXPECT_LT(boundary_distance(rings, last), 1e-7) << pattern;
                }
            }
        }
        // Continuous lines: length times spacing approximates the area; every boundary
        // crossing can shift it by at most about a spacing times its edge's slant.
        for (double spacing : {0.5, 1.3}) {
            MB_Hatch_Type t = make_type({"37,0,0,0," + std::to_string(spacing)});
            const Result r = render(t, rings);
            EXPECT_NEAR(r.total_length() * spacing, region_area(rings), perimeter(rings) * spacing) << trial;
        }
    }
}

TEST(HatchLines, PixelsStayInsideTheMaskAndNoStripIsLeftOut)
{
    std::mt19937 rng(77);
    const std::vector<Ring> rings = random_region(rng, 90, 12);
    constexpr int W = 400;  // pixels of 0.5 units over [0, 200]
    constexpr double px = 0.5;
    // Even-odd mask at pixel centres, by counting ray crossings (written apart from the
    // generator), grown by one pixel for the lines drawn along the boundary.
    std::vector<char> mask(W * W, 0);
    for (int y = 0; y < W; ++y) {
        const double cy = (y + 0.5) * px;
        for (int x = 0; x < W; ++x) {
            const double cx = (x + 0.5) * px;
            int crossings = 0;
            for (const Ring& r : rings)
                for (std::size_t i = 0; i < r.size(); ++i) {
                    const Qe_Pt& a = r[i];
                    const Qe_Pt& b = r[(i + 1) % r.size()];
                    if ((a.y() > cy) != (b.y() > cy) && cx < a.x() + (cy - a.y()) * (b.x() - a.x()) / (b.y() - a.y()))
                        ++crossings;
                }
            mask[static_cast<std::size_t>(y * W + x)] = crossings % 2;
        }
    }
    std::vector<char> grown = mask;
    for (int y = 1; y + 1 < W; ++y)
        for (int x = 1; x + 1 < W; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (mask[static_cast<std::size_t>((y + dy) * W + x + dx)]) grown[static_cast<std::size_t>(y * W + x)] = 1;

    for (double angle : {0.0, 22.5, 90.0, 131.0}) {
        const double spacing = 1.7;
        MB_Hatch_Type t = make_type({std::to_string(angle) + ",0.3,0.2,0," + std::to_string(spacing)});
        const Result r = render(t, rings);
        int outside = 0, drawn = 0;
        std::vector<double> across;
        const double a = angle * M_PI / 180.0;
        const double nx = angle < 90 ? -std::sin(a) : std::sin(a), ny = angle < 90 ? std::cos(a) : -std::cos(a);
        for (const Dash_Run& run : r.runs()) {
            const Qe_Pt& p = run.pts[0];
            const Qe_Pt& q = run.pts.back();
            across.push_back(p.x() * nx + p.y() * ny);
            const int steps = std::max(1, static_cast<int>((q - p).len() / (px / 4)));
            for (int k = 0; k <= steps; ++k) {
                const double x = p.x() + (q.x() - p.x()) * k / steps, y = p.y() + (q.y() - p.y()) * k / steps;
                const int ix = static_cast<int>(x / px), iy = static_cast<int>(y / px);
                ASSERT_TRUE(ix >= 0 && ix < W && iy >= 0 && iy < W);
                ++drawn;
                if (!grown[static_cast<std::size_t>(iy * W + ix)]) ++outside;
            }
        }
        EXPECT_GT(drawn, 1000);
        EXPECT_EQ(outside, 0) << angle;
        // Every strip of width twice the spacing across the region holds a line.
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (const Ring& ring : rings)
            for (const Qe_Pt& p : ring) lo = std::min(lo, p.x() * nx + p.y() * ny), hi = std::max(hi, p.x() * nx + p.y() * ny);
        std::sort(across.begin(), across.end());
        ASSERT_FALSE(across.empty());
        EXPECT_LT(across.front() - lo, 2 * spacing) << angle;
        EXPECT_LT(hi - across.back(), 2 * spacing) << angle;
        for (std::size_t i = 1; i < across.size(); ++i) EXPECT_LT(across[i] - across[i - 1], 2 * spacing) << angle;
    }
}

TEST(HatchLines, RotatingTheRegionRotatesTheHatch)
{
    // With the pattern origin placed on the rotated lattice, hatching the rotated region
    // gives the rotated spans of the original.
    const std::vector<Ring> rings = {{{0, 0, 0}, {12, 0, 0}, {12, 4, 0}, {5, 4, 0}, {5, 9, 0}, {0, 9, 0}},
                                     rect_ring(1, 1, 3, 3)};
    const double theta = 0.6;
    MB_Hatch_Type plain = make_type({"0,0,0.5,0,1.1,2,-0.5"});
    const Result a = render(plain, rings);

    std::vector<Ring> turned;
    for (const Ring& r : rings) turned.push_back(transformed(r, theta));
    double minx = HUGE_VAL, miny = HUGE_VAL;
    for (const Ring& r : turned)
        for (const Qe_Pt& p : r) minx = std::min(minx, p.x()), miny = std::min(miny, p.y());
    // B = lower-left corner + R(theta) (ox, oy) must be R(theta) (0, 0.5).
    const double c = std::cos(theta), s = std::sin(theta);
    const double wx = -s * 0.5 - minx, wy = c * 0.5 - miny;
    const double ox = c * wx + s * wy, oy = -s * wx + c * wy;
    char buf[128];
    std::snprintf(buf, sizeof buf, "0,%.17g,%.17g,0,1.1,2,-0.5", ox, oy);
    MB_Hatch_Type rotated = make_type({buf}, 1.0, theta);
    const Result b = render(rotated, turned);

    auto key = [](const Qe_Pt& p) { return std::make_pair(std::round(p.x() * 1e6), std::round(p.y() * 1e6)); };
    std::vector<std::pair<Qe_Pt, Qe_Pt>> expected, got;
    for (const Dash_Run& r : a.runs()) {
        const Ring t = transformed({r.pts.front(), r.pts.back()}, theta);
        expected.push_back({t[0], t[1]});
    }
    for (const Dash_Run& r : b.runs()) got.push_back({r.pts.front(), r.pts.back()});
    auto order = [&](const auto& l, const auto& r) { return key(l.first) < key(r.first); };
    std::sort(expected.begin(), expected.end(), order);
    std::sort(got.begin(), got.end(), order);
    ASSERT_EQ(expected.size(), got.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first.x(), expected[i].first.x(), 1e-9);
        EXPECT_NEAR(got[i].first.y(), expected[i].first.y(), 1e-9);
        EXPECT_NEAR(got[i].second.x(), expected[i].second.x(), 1e-9);
        EXPECT_NEAR(got[i].second.y(), expected[i].second.y(), 1e-9);
    }
}

TEST(HatchLines, HostilePatternLinesEndQuicklyAndSafely)
{
    std::string long_line = "0,0,0,0,1";
    while (long_line.size() < 10000) long_line += ",0.01,-0.01";
    const std::string wide_garbage(10000, 'x');
    // One long dash and twenty thousand tiny gaps on 50,000 lines: every line walks all the
    // gaps, drawing next to nothing, 2e9 steps in all unless the walk is bounded.
    std::string many_gaps = "0,0,0,0,0.0002,1000";
    for (int i = 0; i < 20000; ++i) many_gaps += ",-1e-9";
    struct Case {
        std::string line;
        double scale;
        bool ok;
        int any;  // -1: either
    } cases[] = {
        {"0,0,0,0,0", 1.0, true, 0},      // dy 0: no family ever ends
        {"45,0,0,3,0", 1.0, true, 0},
        {"0,0,0,0,1", 0.0, true, 0},      // scale 0
        {"0,0,0,0,1", -1.0, true, 0},
        {"nan,0,0,0,1", 1.0, true, 0},
        {"0,0,0,0,inf", 1.0, true, 0},
        {"0,0,0,0,1,nan", 1.0, true, 0},
        {"0,0,0", 1.0, true, 0},         // fewer than five fields
        {"", 1.0, true, 0},
        {"1e300,1e300,-1e300,1e300,1", 1.0, true, -1},
        {"30,0,0,1e300,0.5,5,-5", 1.0, true, -1},  // the step along swamps the one across
        {"0,0,0,0,1e-300", 1.0, true, 0},
        {"0,0,0,0,1e-5", 1.0, false, 1},  // too many lines: bounded and reported
        {many_gaps, 1.0, false, 1},       // too many steps: bounded and reported
        {long_line, 1.0, true, 1},
        {wide_garbage, 1.0, true, 0},
        {"0,0,0,0,1,1e300,-1e300", 1.0, true, 1},
        {"0,0,0,0,1,1e-12,-1e-12", 1.0, true, 1},  // dash too small: continuous
    };
    for (const Case& c : cases) {
        MB_Hatch_Type t = make_type({c.line}, c.scale);
        const Result r = render(t, {rect_ring(0, 0, 10, 10)});
        if (c.any < 0) continue;  // only: it ends, cleanly
        EXPECT_EQ(r.ok, c.ok) << c.line.substr(0, 40);
        EXPECT_EQ(!r.spans.empty(), c.any == 1) << c.line.substr(0, 40);
    }
    // A step along the lines past 2^53 in units of the period: each line's dash phase lies
    // far out, where adding one period changes nothing. The dashes still come out as the
    // pattern says: dash 5, gap 5 over a 100 x 100 square fills half of every line (to
    // within one dash per line end).
    const std::pair<const char*, const char*> huge_steps[] = {
        {"45,0,0,777777777777770,0.5,5,-5", "45,0,0,0,0.5"},
        {"0,0,0,-9e17,0.5,5,-5", "0,0,0,0,0.5"},
    };
    for (const auto& [line, continuous] : huge_steps) {
        MB_Hatch_Type huge = make_type({line});
        MB_Hatch_Type plain = make_type({continuous});
        const Result r = render(huge, {rect_ring(0, 0, 100, 100)});
        const Result whole = render(plain, {rect_ring(0, 0, 100, 100)});
        EXPECT_TRUE(r.ok) << line;
        ASSERT_FALSE(whole.spans.empty()) << line;
        double span_length = 0.0;
        for (const auto& span : whole.spans)
            for (const Dash_Run& run : span) span_length += run.length();
        EXPECT_NEAR(r.total_length(), span_length / 2.0, 5.0 * static_cast<double>(whole.spans.size())) << line;
        for (const Dash_Run& run : r.runs()) EXPECT_LE(run.length(), 5.0 + 1e-9) << line;
    }
    // And where they are: line j (y = 0.5 j) is shifted by j times the step, which is 5 past
    // a whole number of periods, so its dashes start at x = 5 j modulo 10. (The step times j
    // is past 2^53 for most lines: it must be taken modulo the period before it is multiplied.)
    {
        MB_Hatch_Type odd = make_type({"0,0,0,777777777777775,0.5,5,-5"});
        const Result r = render(odd, {rect_ring(0, 0, 100, 100)});
        EXPECT_TRUE(r.ok);
        int checked = 0, misplaced = 0;
        std::string first;
        for (const Dash_Run& run : r.runs()) {
            ASSERT_EQ(run.pts.size(), 2u);
            const double start = std::min(run.pts[0].x(), run.pts[1].x());
            if (start < 1e-9) continue;  // cut by the boundary
            const double j = std::round(run.pts[0].y() / 0.5);
            double off = std::fmod(start - 5.0 * j, 10.0);
            if (off < 0.0) off += 10.0;
            ++checked;
            if (std::min(off, 10.0 - off) > 1e-6 && misplaced++ == 0)
                first = "y=" + std::to_string(run.pts[0].y()) + " x=" + std::to_string(start);
        }
        EXPECT_GT(checked, 1000);
        EXPECT_EQ(misplaced, 0) << "first at " << first;
    }

    // Loops with non-finite vertices are left out and reported.
    MB_Hatch_Type t = make_type({"0,0,0,0,1"});
    for (const bool nan_first : {false, true}) {
        const Ring bad = {{NAN, 0, 0}, {1, NAN, 0}, {2, 2, 0}};
        const Result r = render(t, nan_first ? std::vector<Ring>{bad, rect_ring(0, 0, 10, 10)}
                                             : std::vector<Ring>{rect_ring(0, 0, 10, 10), bad});
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.spans.size(), 11u) << nan_first;
    }
}

TEST(HatchLines, LoopsRectangleAndCopies)
{
    Loops loops({rect_ring(1, 2, 3, 4), rect_ring(-1, 0, 2, 3)});
    Qe_Rect rect;
    ASSERT_TRUE(MB_Hatch_Type::get_loops_max_rect(rect, loops.list()));
    EXPECT_EQ(rect.lt().x(), -1.0);
    EXPECT_EQ(rect.lt().y(), 4.0);
    EXPECT_EQ(rect.rb().x(), 3.0);
    EXPECT_EQ(rect.rb().y(), 0.0);
    Qe_Void_List empty;
    Qe_Rect untouched(Qe_Pt(5, 5, 0), Qe_Pt(6, 6, 0));
    EXPECT_FALSE(MB_Hatch_Type::get_loops_max_rect(untouched, empty));
    EXPECT_EQ(untouched.lt().x(), 5.0);

    MB_Hatch_Type a = make_type({"0,0,0,0,1", "90,0,0,0,1"}, 2.0, 0.5);
    a.desc(MB_String("described"));
    a.patterntype(7);
    a.savedwg_angle(1.5);
    a.savedwg_scale(3.0);
    MB_Hatch_Type b(a);
    MB_Hatch_Type c;
    c = a;
    for (const MB_Hatch_Type* x : {&b, &c}) {
        EXPECT_EQ(x->name(), a.name());
        EXPECT_EQ(x->desc(), a.desc());
        EXPECT_EQ(x->patterntype(), 7);
        EXPECT_EQ(x->scale(), 2.0);
        EXPECT_EQ(x->angle(), 0.5);
        EXPECT_EQ(x->savedwg_angle(), 1.5);
        EXPECT_EQ(x->savedwg_scale(), 3.0);
        ASSERT_EQ(x->string_list().count(), 2);
        for (int i = 0; i < 2; ++i) {
            EXPECT_NE(x->string_list().get(i), a.string_list().get(i));  // never shared
            EXPECT_EQ(*static_cast<MB_String*>(x->string_list().get(i)), *static_cast<MB_String*>(a.string_list().get(i)));
        }
    }
    c = c;
    EXPECT_EQ(c.string_list().count(), 2);
}
