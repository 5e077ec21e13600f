#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "geometry/pt_list.h"
#include "geometry/shx_char.h"
#include "geometry/void_list.h"

namespace {

using Pts = std::vector<Qe_Pt>;

struct Decoded {
    std::vector<Pts> strokes;
    Qe_Pt pen;
    size_t points = 0;
};

// Takes the strokes out of a decoding's output list and deletes them.
Decoded collect(Qe_Void_List& out, const Qe_Pt& pen)
{
    Decoded d;
    d.pen = pen;
    for (Qe_Void_Node* n = out.head(); n; n = n->next()) {
        auto* l = static_cast<Qe_Pt_List*>(n->entity());
        Pts s;
        for (Qe_Pt_Node* p = l->head(); p; p = p->next()) s.push_back(*p);
        d.points += s.size();
        d.strokes.push_back(s);
        delete l;
    }
    out.clear();
    return d;
}

// A shape whose buffer holds exactly these bytes.
std::unique_ptr<Qe_Shx_Char> make_shape(const std::vector<unsigned char>& bytes, mb_ulong index = 1)
{
    auto c = std::make_unique<Qe_Shx_Char>();
    c->index(index);
    EXPECT_TRUE(c->create_buffer(static_cast<unsigned short>(bytes.size())));
    if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), c->buffer());
    return c;
}

Decoded decode(Qe_Shx_Char& c, Qe_Shx_Char_List& font)
{
    Qe_Void_List out;
    Qe_Pt pen(-99, -99, -99);
    c.add_shx_char_to_list(out, pen, font);
    return collect(out, pen);
}

Decoded decode(const std::vector<unsigned char>& bytes)
{
    Qe_Shx_Char_List font;
    auto c = make_shape(bytes);
    return decode(*c, font);
}

void expect_near_pts(const Pts& got, const Pts& want, double tol)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x(), want[i].x(), tol) << "point " << i;
        EXPECT_NEAR(got[i].y(), want[i].y(), tol) << "point " << i;
        EXPECT_EQ(got[i].z(), 0.0);
    }
}

// A font of shapes that it deletes itself.
struct Font {
    Qe_Shx_Char_List list;
    ~Font() { list.kill_all(); }
    Qe_Shx_Char* add(mb_ulong index, const std::vector<unsigned char>& bytes)
    {
        Qe_Shx_Char* c = make_shape(bytes, index).release();
        list.add_shx_char(c);
        return c;
    }
};

const double T = 0.41421356237309503;  // tan 22.5°: odd vector directions reach the square's side

TEST(ShxChar, CommandTable)
{
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        std::vector<Pts> strokes;
        double advance;
    };
    const Case cases[] = {
        {"one stroke up and right", {1, 0x14, 0x10, 2, 0}, {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}}}, 1},
        {"odd direction reaches the square", {1, 0x21, 2}, {{{0, 0, 0}, {2, 2 * T, 0}}}, 2},
        {"diagonal", {1, 0x32, 2}, {{{0, 0, 0}, {3, 3, 0}}}, 3},
        {"every direction of length 1",
         {1, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 2},
         {{{0, 0, 0},
           {1, 0, 0},
           {2, T, 0},
           {3, 1 + T, 0},
           {3 + T, 2 + T, 0},
           {3 + T, 3 + T, 0},
           {3, 4 + T, 0},
           {2, 5 + T, 0},
           {1, 5 + 2 * T, 0},
           {0, 5 + 2 * T, 0},
           {-1, 5 + T, 0},
           {-2, 4 + T, 0},
           {-2 - T, 3 + T, 0},
           {-2 - T, 2 + T, 0},
           {-2, 1 + T, 0},
           {-1, T, 0},
           {0, 0, 0}}},
         3 + T},
        {"pen up moves draw nothing", {0x40, 1, 0x14, 2, 0x20}, {{{4, 0, 0}, {4, 1, 0}}}, 6},
        {"displacement", {1, 8, 3, 0xFE, 2}, {{{0, 0, 0}, {3, -2, 0}}}, 3},
        {"divide then displace", {3, 2, 1, 8, 4, 4, 2}, {{{0, 0, 0}, {2, 2, 0}}}, 2},
        {"multiply scales vector bytes", {4, 3, 1, 0x10, 2}, {{{0, 0, 0}, {3, 0, 0}}}, 3},
        {"zero factor leaves the scale", {3, 0, 4, 0, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"scale multiplies pairs", {4, 2, 1, 9, 1, 1, 2, 0, 0, 0, 2}, {{{0, 0, 0}, {2, 2, 0}, {6, 2, 0}, {6, 2, 0}}}, 6},
        {"pairs, terminator repeats the point", {1, 9, 1, 1, 2, 0, 0, 0, 2}, {{{0, 0, 0}, {1, 1, 0}, {3, 1, 0}, {3, 1, 0}}}, 3},
        {"push and pop move without drawing",
         {5, 1, 0x10, 6, 0x14, 2},
         {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
         1},
        {"pop of an empty stack does nothing", {6, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"pen down twice repeats the point", {1, 0x10, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}}}, 2},
        {"two strokes", {1, 0x10, 2, 0x10, 1, 0x10, 0}, {{{0, 0, 0}, {1, 0, 0}}, {{2, 0, 0}, {3, 0, 0}}}, 3},
        {"code 0 does not stop decoding", {0, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"code 15 ignored", {15, 1, 15, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"open stroke at the end is handed out", {1, 0x10, 0x14}, {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, 1},
        {"advance from the leftmost x", {8, 0xFD, 0}, {}, 3},
        {"bulge 0 is a straight segment", {1, 12, 2, 0, 0, 2}, {{{0, 0, 0}, {2, 0, 0}}}, 2},
        {"code 11 skips offsets and the high radius",
         {1, 11, 9, 9, 9, 1, 0x02, 2},
         {{{0, 0, 0}, {0.92388 - 1, 0.382683, 0}, {0.707107 - 1, 0.707107, 0}, {0.382683 - 1, 0.92388, 0},
           {-1, 1, 0}}},
         1},
        {"vertical prefix skips a displacement", {14, 8, 5, 5, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"vertical prefix skips a scale", {14, 4, 2, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"vertical prefix skips a whole pair list", {14, 9, 1, 1, 2, 2, 0, 0, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"vertical prefix skips a whole bulge list",
         {14, 13, 1, 1, 0, 2, 2, 50, 0, 0, 1, 0x10, 2},
         {{{0, 0, 0}, {1, 0, 0}}},
         1},
        {"vertical prefix skips an arc", {14, 11, 1, 2, 3, 4, 5, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"vertical prefix of a prefix skips both", {14, 14, 8, 5, 5, 1, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
        {"vertical prefix skips a pen command", {1, 14, 2, 0x10, 2}, {{{0, 0, 0}, {1, 0, 0}}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decode(c.bytes);
        ASSERT_EQ(d.strokes.size(), c.strokes.size());
        for (size_t i = 0; i < c.strokes.size(); ++i) expect_near_pts(d.strokes[i], c.strokes[i], 1e-9);
        EXPECT_NEAR(d.pen.x(), c.advance, 1e-9);
        EXPECT_EQ(d.pen.y(), 0.0);
        EXPECT_EQ(d.pen.z(), 0.0);
    }
}

// The decoder starts at the byte code: a font reader that left the shape's name in front
// would see its letters as vectors. 'A' (0x41) is a move of 4 in direction 1.
TEST(ShxChar, BufferStartsAtTheByteCodeNotAtAName)
{
    const Decoded d = decode({'A', 0, 1, 0x10, 2});
    ASSERT_EQ(d.strokes.size(), 1u);
    expect_near_pts(d.strokes[0], {{4, 4 * T, 0}, {5, 4 * T, 0}}, 1e-9);
}

// Points of an octant arc lie at radius r from the centre, which lies at r opposite the
// start octant's direction; the table's six digits give an error below 1e-5·r.
TEST(ShxChar, OctantArcs)
{
    struct Case {
        unsigned char radius, octant;
        bool pre_scale;  // 4, 2 in front: radius doubled
    };
    const Case cases[] = {{1, 0x04, false}, {3, 0x28, false}, {5, 0x00, false}, {2, 0x80 | 0x13, false},
                          {7, 0x80 | 0x70, false}, {1, 0x61, true}, {255, 0x48, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "radius " << int(c.radius) << " octant " << int(c.octant));
        std::vector<unsigned char> bytes = {8, 10, 20};
        if (c.pre_scale) bytes.insert(bytes.end(), {4, 2});
        bytes.insert(bytes.end(), {1, 10, c.radius, c.octant, 2});
        const Decoded d = decode(bytes);
        ASSERT_EQ(d.strokes.size(), 1u);
        const Pts& s = d.strokes[0];
        const bool cw = c.octant & 0x80;
        const int o = c.octant & 0x7F;
        const int start = o / 16;
        const int span = o % 16 == 0 ? 8 : o % 16;
        const double r = c.radius * (c.pre_scale ? 2.0 : 1.0);
        ASSERT_EQ(s.size(), 1u + 2 * span);
        const double a0 = start * M_PI / 4;
        const double cx = 10 - r * std::cos(a0), cy = 20 - r * std::sin(a0);
        expect_near_pts({s[0]}, {{10, 20, 0}}, 0);
        for (size_t k = 1; k < s.size(); ++k) {
            const double a = a0 + (cw ? -1.0 : 1.0) * k * M_PI / 8;
            EXPECT_NEAR(s[k].x(), cx + r * std::cos(a), 1e-5 * r) << k;
            EXPECT_NEAR(s[k].y(), cy + r * std::sin(a), 1e-5 * r) << k;
            EXPECT_NEAR(std::hypot(s[k].x() - cx, s[k].y() - cy), r, 1e-5 * r) << k;
        }
    }
    // The worked case: eight points ending at (−2, 0), the first at (0.92388 − 1, 0.382683).
    const Decoded d = decode({1, 10, 1, 0x04, 2});
    ASSERT_EQ(d.strokes.size(), 1u);
    ASSERT_EQ(d.strokes[0].size(), 9u);
    expect_near_pts({d.strokes[0][1], d.strokes[0][8]}, {{0.92388 - 1, 0.382683, 0}, {-2, 0, 0}}, 1e-12);
}

// Bulge arcs against the closed form: chord c, height h = c·β/254, radius (c²/4 + h²)/2|h|;
// four chords of equal angle, ending exactly at the end point.
TEST(ShxChar, BulgeArcs)
{
    struct Case {
        signed char dx, dy, bulge;
    };
    const Case cases[] = {{2, 0, 127}, {2, 0, -127}, {10, 0, 30}, {-7, 12, 90}, {0, -20, -60}, {5, 5, 1}, {100, -3, 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.dx) << ", " << int(c.dy) << ", " << int(c.bulge));
        const Decoded d = decode({8, 3, 4, 1, 12, static_cast<unsigned char>(c.dx), static_cast<unsigned char>(c.dy),
                                  static_cast<unsigned char>(c.bulge), 2});
        ASSERT_EQ(d.strokes.size(), 1u);
        const Pts& s = d.strokes[0];
        ASSERT_EQ(s.size(), 5u);
        const double sx = 3, sy = 4, ex = 3 + c.dx, ey = 4 + c.dy;
        const double chord = std::hypot(c.dx, c.dy);
        const double h = chord * c.bulge / 254.0;
        const double r = (chord * chord / 4 + h * h) / (2 * std::fabs(h));
        // Normal (dy, −dx)/chord: the side of a positive bulge.
        const double nx = c.dy / chord, ny = -c.dx / chord;
        const double dist = r - std::fabs(h);  // centre from the chord's midpoint, away from the arc
        const double sign = h > 0 ? -1.0 : 1.0;
        const double cx = (sx + ex) / 2 + sign * dist * nx, cy = (sy + ey) / 2 + sign * dist * ny;
        EXPECT_EQ(s[4].x(), ex);
        EXPECT_EQ(s[4].y(), ey);
        double prev = std::atan2(sy - cy, sx - cx);
        double step = 0;
        for (size_t k = 1; k < 5; ++k) {
            EXPECT_NEAR(std::hypot(s[k].x() - cx, s[k].y() - cy), r, 1e-9 * (1 + r)) << k;
            const double a = std::atan2(s[k].y() - cy, s[k].x() - cx);
            double turn = std::remainder(a - prev, 2 * M_PI);
            if (k == 1) step = turn;
            EXPECT_NEAR(turn, step, 1e-9) << k;
            EXPECT_GT(turn * c.bulge, 0) << "positive bulges turn counter-clockwise";
            prev = a;
        }
        // The arc passes through the bulge point on the normal.
        const Qe_Pt mid = s[2];
        EXPECT_NEAR(mid.x(), (sx + ex) / 2 + h * nx, 1e-9 * (1 + r));
        EXPECT_NEAR(mid.y(), (sy + ey) / 2 + h * ny, 1e-9 * (1 + r));
    }
    // The worked half circles through (1, −1) and (1, 1).
    expect_near_pts(decode({1, 12, 2, 0, 127, 2}).strokes.at(0), {{0, 0, 0}, {1 - M_SQRT1_2, -M_SQRT1_2, 0}, {1, -1, 0},
                                                                  {1 + M_SQRT1_2, -M_SQRT1_2, 0}, {2, 0, 0}}, 1e-12);
    expect_near_pts(decode({1, 12, 2, 0, 0x81, 2}).strokes.at(0), {{0, 0, 0}, {1 - M_SQRT1_2, M_SQRT1_2, 0}, {1, 1, 0},
                                                                   {1 + M_SQRT1_2, M_SQRT1_2, 0}, {2, 0, 0}}, 1e-12);
    // A bulge list: two half circles, then the terminating pair.
    const Decoded d = decode({1, 13, 2, 0, 127, 2, 0, 0x81, 0, 0, 0x10, 2});
    ASSERT_EQ(d.strokes.size(), 1u);
    ASSERT_EQ(d.strokes[0].size(), 10u);
    expect_near_pts({d.strokes[0][2], d.strokes[0][6], d.strokes[0][9]}, {{1, -1, 0}, {3, 1, 0}, {5, 0, 0}}, 1e-12);
    // A zero chord with a bulge keeps the pen in place.
    expect_near_pts(decode({1, 12, 0, 0, 50, 2}).strokes.at(0), {{0, 0, 0}, {0, 0, 0}}, 0);
}

TEST(ShxChar, SubShapes)
{
    Font font;
    font.add(65, {0x10});
    Qe_Shx_Char* caller = font.add(66, {1, 0x10, 7, 65, 7, 200, 0x14, 7, 65, 2});
    // Shape 65 draws into the caller's open stroke; the missing shape 200 draws nothing.
    const Decoded d = decode(*caller, font.list);
    ASSERT_EQ(d.strokes.size(), 1u);
    expect_near_pts(d.strokes[0], {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {3, 1, 0}}, 0);
    EXPECT_EQ(d.pen.x(), 3);

    // The sub-shape shares the scale.
    Qe_Shx_Char* scaled = font.add(67, {4, 5, 1, 7, 65, 2});
    expect_near_pts(decode(*scaled, font.list).strokes.at(0), {{0, 0, 0}, {5, 0, 0}}, 0);
}

// Self-calls, cycles and deep or wide call graphs terminate with bounded output.
TEST(ShxChar, SubShapeRecursionIsBounded)
{
    {
        Font font;
        Qe_Shx_Char* self = font.add(9, {1, 0x10, 7, 9, 0x10, 2});
        const Decoded d = decode(*self, font.list);
        ASSERT_EQ(d.strokes.size(), 1u);
        expect_near_pts(d.strokes[0], {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 0);
    }
    {
        // 1 → 2 → 1: the inner call of shape 1 is skipped.
        Font font;
        Qe_Shx_Char* a = font.add(1, {1, 0x10, 7, 2, 2});
        font.add(2, {0x14, 7, 1, 0x14});
        const Decoded d = decode(*a, font.list);
        ASSERT_EQ(d.strokes.size(), 1u);
        expect_near_pts(d.strokes[0], {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 2, 0}}, 0);
    }
    {
        // A chain deeper than the bound: each link moves one unit and calls the next.
        Font font;
        for (int i = 0; i < 40; ++i) font.add(i, {0x10, 7, static_cast<unsigned char>(i + 1)});
        const Decoded d = decode(*font.list.head(), font.list);
        EXPECT_EQ(d.pen.x(), Qe_Shx_Char::MAX_SUBSHAPE_DEPTH);
    }
    {
        // Each shape calls the next one 1000 times: without a work bound 1000^depth steps.
        Font font;
        for (int i = 0; i < 20; ++i) {
            std::vector<unsigned char> b = {1};
            for (int k = 0; k < 1000; ++k) b.insert(b.end(), {0x10, 7, static_cast<unsigned char>(i + 1)});
            font.add(i, b);
        }
        const Decoded d = decode(*font.list.head(), font.list);
        EXPECT_LE(d.points, static_cast<size_t>(Qe_Shx_Char::MAX_DECODED_BYTES));
        EXPECT_GT(d.pen.x(), 1000);
    }
}

// Reads stop at the byte count and at the allocation. Each prefix of a program is decoded
// from a buffer of exactly that length, so a read past it trips the address sanitizer.
TEST(ShxChar, TruncatedByteCodeStopsAtTheEnd)
{
    const std::vector<unsigned char> program = {1,  0x10, 3, 2,  4,  2,  5, 6,  7, 1,  8, 1, 1, 9,  1,  1,  0, 0,
                                                10, 1,    4, 11, 1,  2,  3, 4,  5, 12, 1, 1, 9, 13, 1,  2,  3, 0,
                                                0,  14,   9, 1,  1,  0,  0, 14, 13, 2, 2, 1, 0, 0,  14, 11, 1, 2,
                                                3,  4,    5, 14, 14, 8,  1, 1,  2, 0};
    Font font;
    font.add(1, {1, 0x20, 2});
    for (size_t len = 0; len <= program.size(); ++len) {
        SCOPED_TRACE(len);
        auto* c = new Qe_Shx_Char;
        c->index(77);
        ASSERT_TRUE(c->create_buffer(static_cast<unsigned short>(len)));
        std::copy(program.begin(), program.begin() + len, c->buffer());
        decode(*c, font.list);
        delete c;
    }
    // A pair list cut short keeps the complete pairs only.
    const Decoded cut = decode({1, 9, 1, 1, 2});
    ASSERT_EQ(cut.strokes.size(), 1u);
    EXPECT_EQ(cut.strokes[0].size(), 2u);
    EXPECT_EQ(cut.pen.x(), 1);
    // A count larger than the allocation is clipped to it.
    auto c = make_shape({1, 0x10, 0x10, 2});
    c->size(60000);
    EXPECT_EQ(c->size(), 60000);
    Font empty;
    const Decoded d = decode(*c, empty.list);
    ASSERT_EQ(d.strokes.size(), 1u);
    EXPECT_EQ(d.strokes[0].size(), 3u);
    // Byte code handed in directly: null or a non-positive count reads nothing.
    Qe_Void_List out;
    Qe_Pt pen;
    c->analyze_buffer(nullptr, 5, out, pen, empty.list);
    const unsigned char program2[] = {1, 0x10, 2};
    c->analyze_buffer(program2, -1, out, pen, empty.list);
    c->analyze_buffer(program2, 0, out, pen, empty.list);
    EXPECT_TRUE(out.is_empty());
    c->analyze_buffer(program2, 3, out, pen, empty.list);
    EXPECT_EQ(collect(out, pen).points, 2u);
    // A count smaller than the allocation decodes only the count.
    c->size(2);
    ASSERT_EQ(decode(*c, empty.list).strokes.size(), 1u);
    EXPECT_EQ(decode(*c, empty.list).strokes[0].size(), 2u);
    EXPECT_EQ(decode(*c, empty.list).pen.x(), 1);
}

TEST(ShxChar, ScaleStaysFinite)
{
    std::vector<unsigned char> up, down;
    for (int i = 0; i < 200; ++i) up.insert(up.end(), {4, 255});
    for (int i = 0; i < 200; ++i) down.insert(down.end(), {3, 255});
    for (auto* bytes : {&up, &down}) {
        bytes->insert(bytes->end(), {1, 0xF1, 10, 255, 0, 12, 127, 127, 127, 2});
        const Decoded d = decode(*bytes);
        ASSERT_EQ(d.strokes.size(), 1u);
        for (const Qe_Pt& p : d.strokes[0]) EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
        EXPECT_GT(d.pen.x(), 0);
        EXPECT_TRUE(std::isfinite(d.pen.x()));
    }
}

TEST(ShxChar, StateIsResetBetweenDecodings)
{
    Font font;
    Qe_Shx_Char* c = font.add(3, {4, 2, 5, 1, 0x10, 0x10});  // ends with the pen down and a push
    const Decoded first = decode(*c, font.list);
    const Decoded second = decode(*c, font.list);
    // The stroke left open at the end is handed out each time, from the same reset state.
    ASSERT_EQ(first.strokes.size(), 1u);
    ASSERT_EQ(second.strokes.size(), 1u);
    expect_near_pts(second.strokes[0], first.strokes[0], 0);
    EXPECT_EQ(first.strokes[0].size(), 3u);
    EXPECT_EQ(first.pen.x(), 4);
    EXPECT_EQ(second.pen.x(), 4);
}

TEST(ShxChar, CopiesOwnTheirBuffersAndState)
{
    auto a = make_shape({1, 0x10, 2}, 12);
    a->note("xyz");
    EXPECT_STREQ(a->note(), "x");
    a->pen_down();
    a->add_pos(4, 5);
    a->push_pos();
    Qe_Shx_Char b(*a);
    ASSERT_NE(b.buffer(), a->buffer());
    EXPECT_EQ(b.index(), 12u);
    EXPECT_EQ(b.size(), 3);
    EXPECT_STREQ(b.note(), "x");
    a->buffer()[1] = 0x14;
    a.reset();  // the copy must survive the original's buffer, stack and open stroke
    b.add_pos(0, 0);
    b.pop_pos();
    Qe_Void_List out;
    b.pen_up(out);
    Decoded open = collect(out, Qe_Pt());
    ASSERT_EQ(open.strokes.size(), 1u);
    expect_near_pts(open.strokes[0], {{0, 0, 0}, {4, 5, 0}, {0, 0, 0}}, 0);
    EXPECT_EQ(b.buffer()[1], 0x10);
    Font font;
    expect_near_pts(decode(b, font.list).strokes.at(0), {{0, 0, 0}, {1, 0, 0}}, 0);

    Qe_Shx_Char empty;
    EXPECT_TRUE(empty.create_buffer(0));
    Qe_Shx_Char empty_copy(empty);
    EXPECT_EQ(empty_copy.buffer(), nullptr);
    EXPECT_EQ(decode(empty_copy, font.list).pen.x(), 0);
    empty.note(nullptr);
    EXPECT_STREQ(empty.note(), "");
}

TEST(ShxCharList, LinksFindsAndKills)
{
    Qe_Shx_Char_List list;
    EXPECT_EQ(list.head(), nullptr);
    auto* a = new Qe_Shx_Char;
    auto* b = new Qe_Shx_Char;
    auto* c = new Qe_Shx_Char;
    list.add_shx_char(a);
    EXPECT_EQ(list.head(), a);
    EXPECT_EQ(list.tail(), a);
    list.add_shx_char(b);
    list.add_shx_char(nullptr);
    list.add_shx_char(c);
    EXPECT_EQ(list.head(), a);
    EXPECT_EQ(list.tail(), c);
    EXPECT_EQ(a->next(), b);
    EXPECT_EQ(b->prev(), a);
    EXPECT_EQ(b->next(), c);
    EXPECT_EQ(c->prev(), b);
    EXPECT_EQ(c->next(), nullptr);
    // Two shapes with the same number: the first is the one called.
    a->index(5);
    ASSERT_TRUE(a->create_buffer(2));
    a->buffer()[0] = 0x10;
    b->index(5);
    ASSERT_TRUE(b->create_buffer(1));
    b->buffer()[0] = 0x20;
    Qe_Shx_Char caller;
    ASSERT_TRUE(caller.create_buffer(2));
    caller.buffer()[0] = 7;
    caller.buffer()[1] = 5;
    EXPECT_EQ(decode(caller, list).pen.x(), 1);
    list.kill_all();
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);

    Scratch_Dir dir;
    const std::string path = dir.path() + "/font.shx";
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("old content", f);
        std::fclose(f);
    }
    list.save(path.c_str());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    list.save((dir.path() + "/missing/x.shx").c_str());  // cannot be opened: nothing happens
    list.save(nullptr);
}

// Random and mutated fonts whose shapes call each other and themselves. Every buffer is
// allocated to its exact length, so any read past it is caught by the address sanitizer;
// the decodings must end with finite output.
TEST(ShxChar, MutatedFontsDecodeSafely)
{
    std::mt19937 rng(20261210);
    const std::vector<unsigned char> seed = {1, 0x14, 4, 2, 9, 1, 2, 0xFF, 3, 0, 0, 10, 2, 0x93, 7, 0, 12, 5,
                                             5,  40,  13, 3, 4, 20, 0xF0, 2, 0x81, 0, 0, 14, 9, 1, 0, 0, 0x3C, 2, 0};
    for (int iter = 0; iter < 3000; ++iter) {
        Font font;
        const int shapes = 1 + static_cast<int>(rng() % 6);
        for (int s = 0; s < shapes; ++s) {
            std::vector<unsigned char> b;
            if (rng() % 2) {
                b = seed;
                const int edits = 1 + static_cast<int>(rng() % 6);
                for (int e = 0; e < edits && !b.empty(); ++e) {
                    const size_t at = rng() % b.size();
                    switch (rng() % 4) {
                    case 0: b[at] = static_cast<unsigned char>(rng()); break;
                    case 1: b.erase(b.begin() + static_cast<long>(at)); break;
                    case 2: b.insert(b.begin() + static_cast<long>(at), static_cast<unsigned char>(rng() % 16)); break;
                    default: b.resize(at); break;
                    }
                }
            } else {
                b.resize(rng() % 48);
                for (auto& x : b) x = static_cast<unsigned char>(rng() % 3 == 0 ? rng() % 16 : rng());
            }
            // Sub-shape calls into this small font, itself included.
            for (size_t k = 0; k + 1 < b.size(); ++k)
                if (b[k] == 7 && rng() % 2) b[k + 1] = static_cast<unsigned char>(rng() % shapes);
            Qe_Shx_Char* c = font.add(static_cast<mb_ulong>(s), b);
            if (rng() % 8 == 0) c->size(static_cast<unsigned short>(rng()));
        }
        for (Qe_Shx_Char* c = font.list.head(); c; c = c->next()) {
            const Decoded d = decode(*c, font.list);
            ASSERT_TRUE(std::isfinite(d.pen.x())) << iter;
            for (const Pts& s : d.strokes)
                for (const Qe_Pt& p : s) ASSERT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y())) << iter;
        }
    }
}

}  // namespace
