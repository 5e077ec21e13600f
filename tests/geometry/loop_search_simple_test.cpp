#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "geometry/loop.h"
#include "geometry/loop_search.h"
#include "geometry/pt_set.h"
#include "geometry/loop_oracles.h"

namespace {

using Ring = std::vector<Qe_Pt>;

struct Found {
    bool simple = false;
    std::vector<Ring> loops;
    std::vector<Qe_Pt> starts;
};

// The search over point sets, by the shortcut when asked and it takes them, else step by step.
Found search(const std::vector<Ring>& sets, bool shortcut)
{
    std::vector<std::unique_ptr<Qe_Pt_Set>> owned;
    Qe_Search_Loops s;
    for (const Ring& r : sets) {
        owned.push_back(std::make_unique<Qe_Pt_Set>(static_cast<int>(r.size()), r.data()));
        s.input_list().add(owned.back().get());
    }
    Found f;
    f.simple = shortcut && s.search_simple_min_loops();
    if (shortcut && !f.simple) {
        // Refused input is left as it was.
        EXPECT_TRUE(s.result_list().is_empty());
        EXPECT_TRUE(s.result_starts().empty());
    }
    if (!f.simple) {
        s.ptset2segments();
        s.remove_error_segment();
        s.bulid_intersect();
        s.del_invalid_intersect();
        s.create_intersect_relation();
        s.order_add_remove_error_intersect_points();
        s.search_min_loops();
    }
    for (Qe_Void_Node* n = s.result_list().head(); n; n = n->next()) {
        std::unique_ptr<Qe_Loop> loop(static_cast<Qe_Loop*>(n->entity()));
        Ring r;
        const Qe_Loop_Node* v = loop->head();
        for (long i = 0; i < loop->count(); ++i, v = v->next()) r.push_back(v->point());
        f.loops.push_back(r);
    }
    s.result_list().clear();
    f.starts = s.result_starts();
    return f;
}

void expect_same_points(const Ring& a, const Ring& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].x(), b[i].x()) << i;
        EXPECT_EQ(a[i].y(), b[i].y()) << i;
        EXPECT_EQ(a[i].z(), b[i].z()) << i;
    }
}

// Whenever the shortcut takes the input, it finds what the full steps find, bit for bit and
// in the same order. Returns whether it took the input.
bool expect_as_full_search(const std::vector<Ring>& sets)
{
    const Found quick = search(sets, true);
    const Found full = search(sets, false);
    if (!quick.simple) return false;
    EXPECT_EQ(quick.loops.size(), full.loops.size());
    EXPECT_EQ(quick.starts.size(), full.starts.size());
    for (std::size_t i = 0; i < std::min(quick.loops.size(), full.loops.size()); ++i) {
        SCOPED_TRACE(i);
        expect_same_points(quick.loops[i], full.loops[i]);
    }
    expect_same_points(quick.starts, full.starts);
    return true;
}

struct Placement {
    double sx, sy, angle, dx, dy, z;
};

// The contours as closed rings (the first point repeated), placed as a text places glyphs.
std::vector<Ring> placed(const std::vector<loop_oracles::Contour>& contours, const Placement& at)
{
    const double c = std::cos(at.angle), s = std::sin(at.angle);
    std::vector<Ring> rings;
    for (const loop_oracles::Contour& contour : contours) {
        Ring r;
        for (std::size_t i = 0; i <= contour.size(); ++i) {
            const auto& p = contour[i % contour.size()];
            const double x = p.first * at.sx, y = p.second * at.sy;
            r.emplace_back(x * c - y * s + at.dx, x * s + y * c + at.dy, at.z);
        }
        rings.push_back(r);
    }
    return rings;
}

Ring square(double x0, double y0, double side)
{
    return {{x0, y0, 0}, {x0 + side, y0, 0}, {x0 + side, y0 + side, 0}, {x0, y0 + side, 0}, {x0, y0, 0}};
}

Ring at_level(Ring r, double z)
{
    for (Qe_Pt& p : r) p = Qe_Pt(p.x(), p.y(), z);
    return r;
}

}  // namespace

TEST(SimpleLoopSearch, GlyphsAsTextsPlaceThemAreFoundAsByTheFullSearch)
{
    const double deg = std::numbers::pi / 180.0;
    const Placement placements[] = {
        {0.0035, 0.0035, 0.0, 0.0, 0.0, 0.0},
        {0.0035, 0.0035, 0.0, 48213.123456789, -9120.987654321, 0.0},
        {0.0028, 0.0035, 30 * deg, 1523.25, 77.125, 2.5},
        {0.01, 0.01, 90 * deg, -3.0, 4.0, 0.0},
        {0.01, 0.01, 180 * deg, 1e5 + 0.1, 1e5 + 0.3, 0.0},
        // Mirrored: the rings run the other way round.
        {-0.0035, 0.0035, 0.0, 10.0, 10.0, 0.0},
        {1.0, 1.0, 0.0, 0.0, 0.0, 0.0},
    };
    const loop_oracles::Glyphs dejavu(loop_oracles::DEJAVU_SANS);
    ASSERT_TRUE(dejavu.ok());
    int taken = 0, cases = 0;
    for (unsigned long code : {'O', 'B', '8', '%', 'e', 'g', '@', 'i', 'K', '4'}) {
        std::vector<loop_oracles::Contour> contours;
        ASSERT_TRUE(dejavu.outline(code, contours));
        for (const Placement& at : placements) {
            SCOPED_TRACE(testing::Message() << "glyph " << code << " angle " << at.angle << " at " << at.dx);
            taken += expect_as_full_search(placed(contours, at));
            ++cases;
        }
    }
    // A word: glyphs side by side, apart, in one search.
    std::vector<Ring> word;
    double pen = 0.0;
    for (unsigned long code : {'K', 'I', 'T', 'C', 'H', 'E', 'N'}) {
        std::vector<loop_oracles::Contour> contours;
        ASSERT_TRUE(dejavu.outline(code, contours, pen));
        for (const Ring& r : placed(contours, {0.0035, 0.0035, 0.0, 812.5, 33.75, 0.0})) word.push_back(r);
        pen += dejavu.advance();
    }
    taken += expect_as_full_search(word);
    ++cases;
    const loop_oracles::Glyphs wqy(loop_oracles::WQY_MICROHEI);
    ASSERT_TRUE(wqy.ok());
    std::vector<loop_oracles::Contour> hui;
    ASSERT_TRUE(wqy.outline(0x56DE, hui));
    taken += expect_as_full_search(placed(hui, placements[1]));
    ++cases;
    // Glyph outlines are what the shortcut is for: it takes all of these.
    EXPECT_EQ(taken, cases);
}

TEST(SimpleLoopSearch, InputThatIsNotRingsApartIsLeftToTheFullSearch)
{
    const Ring open = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
    const Ring repeated = {{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 0, 0}};
    const Ring spike = {{0, 0, 0}, {4, 0, 0}, {8, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 0, 0}};
    const Ring figure_eight = {{0, 0, 0}, {4, 4, 0}, {4, 0, 0}, {0, 4, 0}, {0, 0, 0}};
    const Ring bow_tie = {{0, 0, 0}, {2, 2, 0}, {4, 0, 0}, {4, 4, 0}, {2, 2, 0}, {0, 4, 0}, {0, 0, 0}};
    const Ring near_close = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {1e-9, 0, 0}};
    const struct {
        const char* name;
        std::vector<Ring> sets;
    } cases[] = {
        {"open chain", {open}},
        {"repeated vertex", {repeated}},
        {"spike", {spike}},
        {"crossing itself", {figure_eight}},
        {"touching itself", {bow_tie}},
        {"end near the start", {near_close}},
        {"overlapping squares", {square(0, 0, 4), square(2, 2, 4)}},
        {"squares sharing a corner", {square(0, 0, 4), square(4, 4, 4)}},
        {"squares sharing an edge", {square(0, 0, 4), square(4, 0, 4)}},
        {"square inside touching", {square(0, 0, 4), square(0, 1, 2)}},
        {"square within tolerance", {square(0, 0, 4), square(4 + 1e-9, 0, 4)}},
        // The full search merges points by x and y alone: sides at two levels within the
        // tolerance of each other are one side to it.
        {"squares at two levels", {square(0, 0, 2), at_level(square(2.0000005, 0, 2), 1)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(search(c.sets, true).simple);
    }
    // Apart, nested or not, they are taken, at any one level.
    EXPECT_TRUE(expect_as_full_search({square(0, 0, 4), square(1, 1, 2), square(10, 0, 4)}));
    EXPECT_TRUE(expect_as_full_search({at_level(square(0, 0, 4), 3), at_level(square(10, 0, 4), 3)}));
}

// Random star polygons, some overlapping and some apart: whatever the shortcut takes it finds
// as the full steps do, and it takes most of the inputs without overlaps.
TEST(SimpleLoopSearch, RandomStarsAgreeWithTheFullSearch)
{
    std::mt19937 rng(20261211);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int taken = 0;
    for (int round = 0; round < 200; ++round) {
        const int count = 1 + round % 5;
        const double spread = round % 2 ? 40.0 : 6.0;
        std::vector<Ring> sets;
        for (int k = 0; k < count; ++k) {
            const double cx = unit(rng) * spread, cy = unit(rng) * spread, radius = 1.0 + unit(rng) * 2.0;
            const int points = 3 + static_cast<int>(unit(rng) * 9);
            Ring r;
            for (int i = 0; i < points; ++i) {
                const double a = (i + 0.5 * unit(rng)) * 2.0 * std::numbers::pi / points;
                const double d = radius * (0.4 + 0.6 * unit(rng));
                r.emplace_back(cx + d * std::cos(a), cy + d * std::sin(a), 0.0);
            }
            if (round % 3 == 0) std::reverse(r.begin(), r.end());
            r.push_back(r.front());
            sets.push_back(r);
        }
        SCOPED_TRACE(round);
        taken += expect_as_full_search(sets);
    }
    EXPECT_GT(taken, 60);
}
