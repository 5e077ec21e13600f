#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "geometry/dc_draw.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/handles.h"
#include "platform/snapshot.h"
#include "platform/window.h"
#include "common/cairo_oracle.h"

namespace {

using Pixel = std::pair<int, int>;
using Pixels = std::set<Pixel>;

constexpr COLORREF white = RGB(255, 255, 255);

// A device with a bitmap of the given size and depth, made against the screen DC.
struct Device {
    Qe_Qdc q;
    BITMAP bm{};
    explicit Device(int w, int h, int depth)
    {
        HDC screen = GetDC(nullptr);
        EXPECT_NE(q.CreateCompatibleDC(screen, w, h, depth), nullptr);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(GetObject(q.GetBitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
    }
    int bytes() const { return bm.bmBitsPixel / 8; }
    // The raw value of a pixel, addressed bottom-up as the DIB lays it out.
    std::uint32_t raw(int x, int y) const
    {
        const auto* p = static_cast<const std::uint8_t*>(bm.bmBits) +
                        static_cast<std::size_t>(bm.bmHeight - 1 - y) * bm.bmWidthBytes + x * bytes();
        std::uint32_t v = 0;
        for (int i = 0; i < bytes(); ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
        return v;
    }
    bool is_white(int x, int y) const
    {
        const std::uint32_t all = bytes() == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes())) - 1;
        return raw(x, y) == all;
    }
    Pixels drawn() const
    {
        Pixels s;
        for (int y = 0; y < bm.bmHeight; ++y)
            for (int x = 0; x < bm.bmWidth; ++x)
                if (!is_white(x, y)) s.insert({x, y});
        return s;
    }
    void clear()
    {
        std::memset(bm.bmBits, 0xFF, static_cast<std::size_t>(bm.bmWidthBytes) * bm.bmHeight);
    }
};

// Reference line, written apart from the device: the end with the smaller x (the smaller y
// on a vertical line) starts; minor offsets are the closed form of integer Bresenham (half
// rounds up); the caller's second point is left out.
Pixels reference_line(int x1, int y1, int x2, int y2)
{
    const bool first_starts = x1 < x2 || (x1 == x2 && y1 <= y2);
    const int sx = first_starts ? x1 : x2, sy = first_starts ? y1 : y2;
    const int ex = first_starts ? x2 : x1, ey = first_starts ? y2 : y1;
    const long long dx = ex - sx, dy = ey - sy, ady = std::llabs(dy);
    const bool x_major = ady < dx;
    const long long major = x_major ? dx : ady, minor = x_major ? ady : dx;
    Pixels s;
    if (major == 0) return s;
    const long long from = first_starts ? 0 : 1, to = first_starts ? major - 1 : major;
    for (long long k = from; k <= to; ++k) {
        const long long off = (2 * k * minor + major) / (2 * major);
        if (x_major) s.insert({static_cast<int>(sx + k), static_cast<int>(sy + (dy < 0 ? -off : off))});
        else s.insert({static_cast<int>(sx + off), static_cast<int>(sy + (dy < 0 ? -k : k))});
    }
    return s;
}

TEST(RasterDevice, IsNotCopyable)
{
    static_assert(!std::is_copy_constructible_v<Qe_Qdc>);
    static_assert(!std::is_copy_assignable_v<Qe_Qdc>);
}

TEST(RasterDevice, NewBitmapIsWhiteAtEveryDepthAndSmallDepthsBecomeEight)
{
    const long live = platform_gdi_object_count();
    for (auto [asked, got] : {std::pair{4, 8}, {1, 8}, {8, 8}, {16, 16}, {24, 24}, {32, 32}}) {
        SCOPED_TRACE(asked);
        Device d(13, 7, asked);
        EXPECT_EQ(d.bm.bmBitsPixel, got);
        EXPECT_EQ(d.bm.bmWidthBytes, (13 * got + 31) / 32 * 4);
        EXPECT_TRUE(d.drawn().empty());
        COLORREF c = 0;
        ASSERT_TRUE(platform_read_pixel(d.q.GetBitmap(), 12, 6, &c));
        EXPECT_EQ(c, white);
    }
    // Depth 0 takes the reference DC's depth.
    platform_set_screen_depth(16);
    {
        Device d(4, 4, 0);
        EXPECT_EQ(d.bm.bmBitsPixel, 16);
    }
    platform_set_screen_depth(32);
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(RasterDevice, SecondCreationFailsAndKeepsTheBitmap)
{
    Device d(10, 10, 24);
    HBITMAP bmp = d.q.GetBitmap();
    HDC dc = d.q.GetDC();
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(d.q.CreateCompatibleDC(screen, 20, 20, 32), nullptr);
    EXPECT_EQ(d.q.GetBitmap(), bmp);
    EXPECT_EQ(d.q.GetDC(), dc);
    // Unsupported sizes and depths give no bitmap.
    Qe_Qdc e;
    EXPECT_EQ(e.CreateCompatibleDC(screen, 0, 10, 24), nullptr);
    EXPECT_EQ(e.CreateCompatibleDC(screen, 10, 10, 12), nullptr);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(e.GetBitmap(), nullptr);
}

TEST(RasterDevice, DefaultPaletteEntries)
{
    Device d(1, 1, 8);
    const std::pair<int, COLORREF> entries[] = {
        {0, RGB(255, 255, 255)},    {1, RGB(0, 0, 0)},       {2, RGB(255, 0, 0)},       {3, RGB(255, 255, 0)},
        {4, RGB(0, 255, 0)},        {5, RGB(0, 255, 255)},   {6, RGB(0, 0, 255)},       {7, RGB(255, 0, 255)},
        {8, RGB(0x98, 0x98, 0x98)}, {9, RGB(0xC0, 0xC0, 0xC0)}, {10, RGB(255, 0, 0)},   {11, RGB(255, 0x80, 0x80)},
        {12, RGB(0xA6, 0, 0)},      {20, RGB(255, 0x40, 0)}, {90, RGB(0, 255, 0)},      {170, RGB(0, 0, 255)},
        {249, RGB(0x26, 0x13, 0x18)}, {250, RGB(0x54, 0x54, 0x54)}, {253, RGB(0xBB, 0xBB, 0xBB)},
        {255, RGB(255, 255, 255)}};
    for (auto [index, colour] : entries) {
        static_cast<std::uint8_t*>(d.bm.bmBits)[0] = static_cast<std::uint8_t>(index);
        COLORREF c = 0;
        ASSERT_TRUE(platform_read_pixel(d.q.GetBitmap(), 0, 0, &c));
        EXPECT_EQ(c, colour) << "entry " << index;
    }
    // The first equal entry is used; a colour outside the palette draws entry 0.
    d.q.SetColor(RGB(255, 0, 0), false);
    d.q.SetPixel(0, 0);
    EXPECT_EQ(d.raw(0, 0), 2u);
    d.q.SetColor(RGB(1, 2, 3), false);
    d.q.SetPixel(0, 0);
    EXPECT_EQ(d.raw(0, 0), 0u);
}

TEST(RasterDevice, ColourConversionPerDepthAndTheComplementRule)
{
    Device d16(4, 1, 16), d24(4, 1, 24), d32(4, 1, 32);
    const COLORREF c = RGB(255, 128, 64);
    for (Device* d : {&d16, &d24, &d32}) {
        d->q.SetColor(c, false);
        d->q.SetPixel(1, 0);
    }
    EXPECT_EQ(d16.raw(1, 0), (31u << 11) | ((128u * 63 / 255) << 5) | (64u * 31 / 255));
    EXPECT_EQ(d24.raw(1, 0), 0xFF8040u);
    EXPECT_EQ(d32.raw(1, 0), 0xFF8040u);
    // Exactly three bytes at 24 bits: the neighbour keeps its white.
    EXPECT_TRUE(d24.is_white(0, 0));
    EXPECT_TRUE(d24.is_white(2, 0));

    // A colour set before the bitmap exists is converted when the bitmap is made.
    {
        Qe_Qdc q;
        q.SetColor(RGB(255, 0, 0), false);
        HDC screen = GetDC(nullptr);
        ASSERT_NE(q.CreateCompatibleDC(screen, 2, 1, 32), nullptr);
        ReleaseDC(nullptr, screen);
        q.SetColor(RGB(255, 0, 0), false);
        q.SetPixel(0, 0);
        COLORREF got = 0;
        ASSERT_TRUE(platform_read_pixel(q.GetBitmap(), 0, 0, &got));
        EXPECT_EQ(got, RGB(255, 0, 0));
    }

    Device d(2, 1, 24);
    d.q.black_color(static_cast<long>(white));
    d.q.SetColor(white, true);
    d.q.SetPixel(0, 0);
    EXPECT_EQ(d.raw(0, 0), 0u);  // the background's complement
    d.q.SetColor(white, false);
    d.q.SetPixel(1, 0);
    EXPECT_EQ(d.raw(1, 0), 0xFFFFFFu);
}

TEST(RasterDevice, LinesMatchReferenceBresenhamInBothDirections)
{
    Device d(64, 48, 24);
    d.q.SetColor(0, false);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> x(0, 63), y(0, 47);
    std::vector<std::array<int, 4>> lines = {{0, 0, 5, 0}, {5, 0, 0, 0}, {3, 3, 3, 3},  {7, 2, 7, 20},
                                             {7, 20, 7, 2}, {0, 0, 20, 20}, {20, 20, 0, 0}, {0, 40, 30, 1},
                                             {30, 1, 0, 40}, {2, 9, 60, 13}, {60, 13, 2, 9}};
    for (int i = 0; i < 300; ++i) lines.push_back({x(rng), y(rng), x(rng), y(rng)});
    for (const auto& l : lines) {
        d.clear();
        d.q.Line(l[0], l[1], l[2], l[3]);
        ASSERT_EQ(d.drawn(), reference_line(l[0], l[1], l[2], l[3])) << l[0] << "," << l[1] << " " << l[2] << "," << l[3];
    }
    // The never-drawn second end point.
    d.clear();
    d.q.Line(0, 0, 5, 0);
    EXPECT_EQ(d.drawn(), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    d.clear();
    d.q.Line(5, 0, 0, 0);
    EXPECT_EQ(d.drawn(), (Pixels{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}));
}

// Distance from pixel p to the segment a-b.
double seg_distance(Pixel p, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? ((p.first - ax) * dx + (p.second - ay) * dy) / l2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.first - (ax + t * dx), p.second - (ay + t * dy));
}

TEST(RasterDevice, ClippedLinesStayInsideAndFollowTheLine)
{
    Device d(64, 48, 32);
    d.q.SetColor(0, false);
    const RECT clip{10, 8, 50, 40};
    d.q.SetDrawRect(RECT{50, 40, 10, 8});  // given reversed: ordered on storing
    EXPECT_EQ(d.q.GetDrawRect().left, 10);
    EXPECT_EQ(d.q.screen_rect().bottom, 40);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> c(-30, 90);
    // Lines through every edge, and random ones.
    std::vector<std::array<int, 4>> lines = {{0, 20, 60, 25}, {60, 25, 0, 20}, {30, 0, 33, 47}, {33, 47, 30, 0},
                                             {0, 0, 63, 47},  {63, 0, 0, 47},  {-500, 30, 900, 12}};
    for (int i = 0; i < 300; ++i) lines.push_back({c(rng), c(rng), c(rng), c(rng)});
    for (const auto& l : lines) {
        d.clear();
        d.q.Line(l[0], l[1], l[2], l[3]);
        const Pixels got = d.drawn();
        for (const Pixel& p : got) {
            ASSERT_TRUE(p.first >= clip.left && p.first < clip.right && p.second >= clip.top && p.second < clip.bottom);
            ASSERT_LE(seg_distance(p, l[0], l[1], l[2], l[3]), 1.5);
        }
        // No gaps: every major-axis step of the reference line well inside the clip rectangle
        // holds exactly one drawn pixel (clipping may shift the line by a pixel, not break it).
        const bool x_major = std::abs(l[3] - l[1]) < std::abs(l[2] - l[0]);
        int missing = 0;
        for (const Pixel& p : reference_line(l[0], l[1], l[2], l[3])) {
            if (!(p.first > clip.left && p.first < clip.right - 2 && p.second > clip.top && p.second < clip.bottom - 2))
                continue;
            int n = 0;
            for (const Pixel& g : got) n += (x_major ? g.first == p.first : g.second == p.second);
            missing += n != 1;
        }
        ASSERT_EQ(missing, 0) << l[0] << "," << l[1] << " " << l[2] << "," << l[3];
    }
}

TEST(RasterDevice, ClipRectangleLargerThanTheBitmapIsCutToIt)
{
    Device d(20, 10, 16);
    d.q.SetColor(0, false);
    d.q.SetDrawRect(RECT{-100, -100, 1000, 1000});
    RECT all{-1000, -1000, 5000, 5000};
    d.q.FillRect(&all);
    EXPECT_EQ(d.drawn().size(), 200u);
    d.clear();
    d.q.HLine(5, -50, 500);
    d.q.VLine(3, -50, 500);
    d.q.Line(-50, -50, 500, 500);
    const POINT tri[] = {{-300, -300}, {300, -300}, {0, 400}};
    d.q.Polygon(tri, 3, 1, 0);
    d.q.Ellipse(-40, -40, 60, 60);
    EXPECT_FALSE(d.drawn().empty());  // all of it stayed in the memory (ASan checks)
}

TEST(RasterDevice, EverythingIsANoOpWithoutABitmap)
{
    Qe_Qdc q;
    q.SetColor(RGB(1, 2, 3), true);
    q.SetDrawRect(RECT{0, 0, 100, 100});
    q.Line(0, 0, 10, 10);
    q.HLine(1, 0, 10);
    q.VLine(1, 0, 10);
    q.SetPixel(1, 1);
    RECT r{0, 0, 5, 5};
    q.FillRect(&r);
    const POINT pts[] = {{0, 0}, {10, 0}, {5, 5}};
    q.Polyline(pts, 3);
    q.Polygon(pts, 3, 1, 0);
    q.Ellipse(0, 0, 10, 10);
    q.bitblt(nullptr);
    q.resize();
    EXPECT_EQ(q.DeleteDC(), 1);
    EXPECT_EQ(q.GetDC(), nullptr);
}

TEST(RasterDevice, ExtremeCoordinatesFinishAndStayInside)
{
    for (int depth : {8, 16, 24, 32}) {
        Device d(50, 40, depth);
        d.q.SetColor(0, false);
        d.q.SetDrawRect(RECT{5, 5, 45, 35});
        const int big = 2000000000;
        d.q.Line(-big, -big, big, big);
        d.q.Line(big, -big, -big, big);
        d.q.Line(-big, 20, big, 21);
        d.q.Line(20, big, 21, -big);
        d.q.HLine(10, -big, big);
        d.q.VLine(10, big, -big);
        RECT r{-big, -big, big, big};
        d.q.FillRect(&r);
        d.clear();
        const POINT tri[] = {{-big, -big}, {big, -big / 2}, {0, big}, {-big, -big}, {-10, -10}, {60, -10}, {20, 60}};
        d.q.Polygon(tri, 7, 1, 0);
        d.q.Ellipse(-big, -big, big, big);
        d.q.Ellipse(-big, 0, big, 20);
        const POINT line[] = {{-big, 0}, {big, 30}, {0, -big}};
        d.q.Polyline(line, 3);
        for (const Pixel& p : d.drawn())
            ASSERT_TRUE(p.first >= 5 && p.first < 45 && p.second >= 5 && p.second < 35);
        // The huge triangle covers the clip rectangle: its rows are filled.
        EXPECT_FALSE(d.is_white(20, 20));
    }
}

TEST(RasterDevice, OneClampingConversionToPixels)
{
    EXPECT_EQ(api_mb_to_pixel(1.9), 1);
    EXPECT_EQ(api_mb_to_pixel(-1.9), -1);
    EXPECT_EQ(api_mb_to_pixel(std::nan("")), 0);
    EXPECT_EQ(api_mb_to_pixel(1e300), 1 << 30);
    EXPECT_EQ(api_mb_to_pixel(-INFINITY), -(1 << 30));
    EXPECT_EQ(api_mb_to_pixel(3e9), 1 << 30);
}

TEST(RasterDevice, DashMaskFollowsTheCoordinateForSpansFillsAndLines)
{
    Device d(40, 40, 24);
    d.q.SetColor(0, false);
    d.q.SetLineStyleDashed(1);
    auto on = [](int c) { return ((c + 1) & 3) < 2; };
    d.q.HLine(3, 0, 30);
    d.q.VLine(35, 2, 30);
    for (int x = 0; x < 30; ++x) EXPECT_EQ(!d.is_white(x, 3), on(x)) << x;
    for (int y = 2; y < 30; ++y) EXPECT_EQ(!d.is_white(35, y), on(y)) << y;

    // FillRect is striped by columns.
    d.clear();
    RECT r{0, 10, 16, 12};
    d.q.FillRect(&r);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(!d.is_white(x, 11), on(x));

    // An x-major line: the step is the pixel's x.
    d.clear();
    d.q.Line(2, 5, 30, 9);
    for (const Pixel& p : reference_line(2, 5, 30, 9)) EXPECT_EQ(!d.is_white(p.first, p.second), on(p.first));

    // A y-major line drawn from its larger y (the end with the smaller x is the lower one):
    // the step is the pixel's own y, so both directions skip the same pixels.
    for (auto l : {std::array<int, 4>{1, 35, 9, 2}, std::array<int, 4>{9, 2, 1, 35}}) {
        d.clear();
        d.q.Line(l[0], l[1], l[2], l[3]);
        for (const Pixel& p : reference_line(l[0], l[1], l[2], l[3]))
            EXPECT_EQ(!d.is_white(p.first, p.second), on(p.second)) << p.first << "," << p.second;
    }
    d.q.SetLineStyleDashed(0);
    d.clear();
    d.q.HLine(3, 0, 30);
    for (int x = 0; x < 30; ++x) EXPECT_FALSE(d.is_white(x, 3));
}

TEST(RasterDevice, SpansStopOnePixelShortOfTheFarClipEdge)
{
    Device d(100, 60, 8);
    d.q.SetColor(0, false);
    d.q.HLine(4, 0, 10000);
    d.q.VLine(7, 10000, 0);
    d.q.HLine(6, 12, 3);
    Pixels row, col, mid;
    for (const Pixel& p : d.drawn()) {
        if (p.second == 4) row.insert(p);
        else if (p.second == 6) mid.insert(p);
        else col.insert(p);
    }
    EXPECT_EQ(row.size(), 99u);
    EXPECT_EQ(row.rbegin()->first, 98);
    EXPECT_EQ(col.size(), 57u);  // rows 0..58, less rows 4 and 6 counted above
    EXPECT_FALSE(d.is_white(7, 58));
    EXPECT_TRUE(d.is_white(7, 59));
    EXPECT_EQ(mid.size(), 9u);  // 3..11
    // Out of range rows do nothing.
    d.clear();
    d.q.HLine(-1, 0, 10);
    d.q.HLine(60, 0, 10);
    d.q.VLine(100, 0, 10);
    EXPECT_TRUE(d.drawn().empty());
}

TEST(RasterDevice, PolylineRunsFromTheLastPointBackwards)
{
    Device d(20, 20, 32);
    d.q.SetColor(0, false);
    const POINT pts[] = {{0, 0}, {10, 0}, {10, 10}};
    d.q.Polyline(pts, 3);
    Pixels expected = reference_line(10, 10, 10, 0);
    for (const Pixel& p : reference_line(10, 0, 0, 0)) expected.insert(p);
    EXPECT_EQ(d.drawn(), expected);
    EXPECT_TRUE(d.is_white(0, 0));
    EXPECT_FALSE(d.is_white(10, 10));
}

TEST(RasterDevice, EllipseIsSymmetricAndWithinOnePixelOfTheCurve)
{
    for (auto r : {std::array<int, 4>{10, 10, 50, 40}, std::array<int, 4>{50, 40, 10, 10}, std::array<int, 4>{2, 30, 62, 34},
                   std::array<int, 4>{20, 2, 24, 46}, std::array<int, 4>{12, 12, 52, 52}}) {
        Device d(64, 48, 24);
        d.q.SetColor(0, false);
        d.q.Ellipse(r[0], r[1], r[2], r[3]);
        const int cx = (r[0] + r[2]) / 2, cy = (r[1] + r[3]) / 2;
        const double rx = std::abs(r[0] - r[2]) / 2, ry = std::abs(r[1] - r[3]) / 2;
        const Pixels got = d.drawn();
        ASSERT_FALSE(got.empty());
        for (const Pixel& p : got) {
            // Symmetric about both axes through the centre (where the mirror is on the bitmap).
            const int mx = 2 * cx - p.first, my = 2 * cy - p.second;
            if (mx >= 0 && mx < 64) {
                EXPECT_TRUE(got.count({mx, p.second}));
            }
            if (my >= 0 && my < 48) {
                EXPECT_TRUE(got.count({p.first, my}));
            }
            // Distance to the ideal curve, by the implicit function over its gradient.
            const double dx = p.first - cx, dy = p.second - cy;
            const double f = dx * dx / (rx * rx) + dy * dy / (ry * ry) - 1;
            const double g = 2 * std::hypot(dx / (rx * rx), dy / (ry * ry));
            EXPECT_LE(std::abs(f) / std::max(g, 1e-9), 1.0) << p.first << "," << p.second;
        }
        // Every row from top to bottom holds a pixel: the outline is closed.
        for (int y = std::max(0, cy - static_cast<int>(ry)); y <= std::min(47, cy + static_cast<int>(ry)); ++y) {
            bool any = false;
            for (int x = 0; x < 64; ++x) any = any || got.count({x, y});
            EXPECT_TRUE(any) << y;
        }
    }
}

TEST(RasterDevice, HugeEllipseStaysNearTheCurve)
{
    Device d(60, 60, 24);
    d.q.SetColor(0, false);
    // Centre (30, 100030), radius 100000: the arc crosses the bitmap near its top.
    d.q.Ellipse(30 - 100000, 30, 30 + 100000, 30 + 200000);
    const Pixels got = d.drawn();
    ASSERT_FALSE(got.empty());
    for (const Pixel& p : got) {
        const double dist = std::abs(std::hypot(p.first - 30.0, p.second - 100030.0) - 100000.0);
        EXPECT_LE(dist, 1.0);
    }
}

// Rings for the device: each ring closed by repeating its start.
std::vector<POINT> rings_array(const std::vector<std::vector<POINT>>& rings)
{
    std::vector<POINT> out;
    for (const auto& r : rings) {
        out.insert(out.end(), r.begin(), r.end());
        out.push_back(r.front());
    }
    return out;
}

double distance_to_rings(double x, double y, const std::vector<std::vector<POINT>>& rings)
{
    double best = 1e300;
    for (const auto& r : rings)
        for (std::size_t i = 0; i < r.size(); ++i) {
            const POINT a = r[i], b = r[(i + 1) % r.size()];
            best = std::min(best, seg_distance({static_cast<int>(x), static_cast<int>(y)}, a.x, a.y, b.x, b.y));
        }
    return best;
}

TEST(RasterDevice, PolygonFillMatchesCairoEvenOddAwayFromEdges)
{
    const int w = 96, h = 80;
    const auto cases = seeded_fill_cases(2024u, 60, w, h, 10);
    for (const auto& rings : cases) {
        Device d(w, h, 24);
        d.q.SetColor(RGB(0, 0, 255), false);
        const auto pts = rings_array(rings);
        d.q.Polygon(pts.data(), static_cast<int>(pts.size()), 1, RGB(255, 0, 0));
        const auto expected = cairo_even_odd_fill(rings, w, h, 0.5);
        int compared = 0;
        for (int py = 0; py < h; ++py)
            for (int px = 0; px < w; ++px) {
                if (distance_to_rings(px, py, rings) <= 1.5) continue;
                ++compared;
                ASSERT_EQ(d.raw(px, py) == 0xFF0000u, expected[static_cast<std::size_t>(py) * w + px])
                    << px << "," << py;
            }
        EXPECT_GT(compared, 0);
    }
}

// Reference even-odd fill, written apart from the device's scanline walk: every row asks
// every edge of every ring for its crossing, in the device's vertex rules (a ring ends where
// its start recurs; repeated points merge; the middle of three points on one row drops; a
// vertex between edges going on in one direction counts once; crossings round half away
// from zero after clamping to two pixels beyond the clip). Rows of the outermost vertices are
// left to the outline.
struct Ref_Pt {
    long long x, y;
    bool operator==(const Ref_Pt&) const = default;
};

std::vector<Ref_Pt> reference_ring(const POINT* p, int n)
{
    std::vector<Ref_Pt> v;
    auto flat = [](const Ref_Pt& a, const Ref_Pt& b, const Ref_Pt& c) { return a.y == b.y && b.y == c.y; };
    for (int i = 0; i < n; ++i) {
        const Ref_Pt q{p[i].x, p[i].y};
        if (!v.empty() && v.back() == q) continue;
        if (v.size() >= 2 && flat(v[v.size() - 2], v.back(), q)) v.pop_back();
        v.push_back(q);
    }
    std::size_t first = 0;
    for (bool changed = true; changed && v.size() - first >= 3;) {
        const std::size_t m = v.size();
        changed = true;
        if (v[m - 1] == v[first] || flat(v[m - 2], v[m - 1], v[first])) v.pop_back();
        else if (flat(v[m - 1], v[first], v[first + 1])) ++first;
        else changed = false;
    }
    v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(first));
    if (v.size() == 2 && v[0] == v[1]) v.pop_back();
    return v;
}

// Which pixels of a w x h image the fill covers inside clip (before any dash pattern).
std::vector<bool> reference_fill(const std::vector<POINT>& pts, RECT clip, int w, int h)
{
    std::vector<bool> in(static_cast<std::size_t>(w) * h);
    const RECT c{std::max<LONG>(clip.left, 0), std::max<LONG>(clip.top, 0), std::min<LONG>(clip.right, w),
                 std::min<LONG>(clip.bottom, h)};
    const int n = static_cast<int>(pts.size());
    std::vector<std::vector<Ref_Pt>> rings;
    long long ymin = LLONG_MAX, ymax = LLONG_MIN;
    for (const POINT& p : pts) ymin = std::min<long long>(ymin, p.y), ymax = std::max<long long>(ymax, p.y);
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && !(pts[j].x == pts[i].x && pts[j].y == pts[i].y)) ++j;
        const int end = std::min(j, n - 1);
        rings.push_back(reference_ring(pts.data() + i, end - i + 1));
        i = end + 1;
    }
    auto opposite = [](long long a, long long y, long long b) { return (a < y && y < b) || (a > y && y > b); };
    const double lo = c.left - 2.0, hi = c.right + 1.0;
    auto pixel = [&](double x) { return static_cast<long long>(std::round(std::clamp(x, lo, hi))); };
    for (long long y = std::max<long long>(ymin + 1, c.top); y < std::min<long long>(ymax, c.bottom); ++y) {
        std::vector<long long> xs;
        for (const auto& r : rings) {
            const std::size_t m = r.size();
            if (m < 2) continue;
            for (std::size_t k = 0; k < m; ++k) {
                const Ref_Pt prev = r[(k + m - 1) % m], a = r[k], b = r[(k + 1) % m], after = r[(k + 2) % m];
                if (y < std::min(a.y, b.y) || y > std::max(a.y, b.y)) continue;
                if (a.y == b.y) {
                    xs.push_back(pixel(static_cast<double>(a.x)));
                    if (!opposite(prev.y, y, after.y)) xs.push_back(pixel(static_cast<double>(b.x)));
                } else if (y == a.y) {
                    if (!opposite(prev.y, y, b.y)) xs.push_back(pixel(static_cast<double>(a.x)));
                } else {
                    xs.push_back(pixel(static_cast<double>(a.x) + static_cast<double>(y - a.y) *
                                                                      static_cast<double>(b.x - a.x) /
                                                                      static_cast<double>(b.y - a.y)));
                }
            }
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2)
            for (long long x = std::max<long long>(xs[k], c.left); x <= std::min<long long>(xs[k + 1], c.right - 1); ++x)
                in[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] = true;
    }
    return in;
}

// Seeded polygons of the kinds that trip scanline fills: random self-intersecting rings,
// rings on a coarse lattice (collinear and horizontal edges, repeated and returning points,
// vertices on many rows), and rings mixing huge coordinates with small ones.
std::vector<std::vector<POINT>> tricky_polygons(unsigned seed, int count, int w, int h)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<POINT>> out;
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < count; ++i) {
        const int kind = i % 3;
        std::vector<POINT> pts;
        for (int ring = pick(1, 3); ring > 0; --ring) {
            std::vector<POINT> r(static_cast<std::size_t>(pick(1, 10)));
            for (std::size_t k = 0; k < r.size(); ++k) {
                if (kind == 0) {
                    r[k] = POINT{pick(-10, w + 10), pick(-10, h + 10)};
                } else if (kind == 1) {
                    // A lattice of 7 x 7 points (a few beyond the image), one in four repeating
                    // its predecessor.
                    r[k] = POINT{pick(-1, 5) * w / 4 - 2, pick(-1, 5) * h / 4 - 2};
                    if (k > 0 && pick(0, 3) == 0) r[k] = r[k - 1];
                } else {
                    const int big = 2000000000;
                    r[k] = pick(0, 2) == 0 ? POINT{pick(-big, big), pick(-big, big)} : POINT{pick(0, w), pick(0, h)};
                }
            }
            pts.insert(pts.end(), r.begin(), r.end());
            if (pick(0, 3) != 0) pts.push_back(r.front());
        }
        out.push_back(pts);
    }
    return out;
}

TEST(RasterDevice, PolygonFillMatchesAReferenceFillPixelForPixel)
{
    const int w = 61, h = 47;
    const auto polygons = tricky_polygons(77u, 240, w, h);
    const RECT clips[] = {{0, 0, w, h}, {7, 5, 50, 40}};
    int filled = 0;
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        const auto& pts = polygons[i];
        const int depth = std::array{8, 16, 24, 32}[i % 4];
        const RECT clip = clips[(i / 4) % 2];
        const bool dashed = i % 5 == 0;
        // The outline alone, drawn the same way: it covers the fill wherever it runs.
        Device outline(w, h, depth), d(w, h, depth);
        for (Device* dev : {&outline, &d}) {
            dev->q.SetDrawRect(clip);
            dev->q.SetLineStyleDashed(dashed);
            dev->q.SetColor(RGB(0, 0, 255), false);
        }
        outline.q.Polygon(pts.data(), static_cast<int>(pts.size()), 0, RGB(255, 0, 0));
        d.q.Polygon(pts.data(), static_cast<int>(pts.size()), 1, RGB(255, 0, 0));
        Device probe(1, 1, depth);
        probe.q.SetColor(RGB(255, 0, 0), false);
        probe.q.SetPixel(0, 0);
        const std::uint32_t red = probe.raw(0, 0);
        const auto in = reference_fill(pts, clip, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool on = in[static_cast<std::size_t>(y) * w + x] && (!dashed || ((x + 1) & 3) < 2);
                filled += on;
                const std::uint32_t want = on && outline.is_white(x, y) ? red : outline.raw(x, y);
                ASSERT_EQ(d.raw(x, y), want) << "polygon " << i << " at " << x << "," << y;
            }
    }
    // The table reaches the fill, not only the outline.
    EXPECT_GT(filled, 20000);
}

TEST(RasterDevice, PolygonColoursAndOutline)
{
    Device d(40, 40, 32);
    d.q.SetColor(RGB(0, 0, 255), false);
    const POINT sq[] = {{5, 5}, {30, 5}, {30, 30}, {5, 30}};
    // 0xFFFFFFFF: the fill uses the current colour.
    d.q.Polygon(sq, 4, 1, 0xFFFFFFFF);
    EXPECT_EQ(d.raw(15, 15), 0x0000FFu);
    d.clear();
    d.q.Polygon(sq, 4, 1, RGB(255, 0, 0));
    EXPECT_EQ(d.raw(15, 15), 0xFF0000u);  // fill
    EXPECT_EQ(d.raw(5, 15), 0x0000FFu);   // outline over it, in the current colour
    EXPECT_EQ(d.raw(30, 15), 0x0000FFu);  // the closing line
    // After the fill, setting the fill colour takes effect again.
    d.q.SetColor(RGB(255, 0, 0), false);
    d.q.SetPixel(0, 0);
    EXPECT_EQ(d.raw(0, 0), 0xFF0000u);
    // Without fill only the outline.
    d.clear();
    d.q.Polygon(sq, 4, 0, RGB(0, 255, 0));
    EXPECT_TRUE(d.is_white(15, 15));
    EXPECT_FALSE(d.is_white(5, 15));
}

HDC g_hook_dc = nullptr;
void* g_hook_arg = nullptr;
void CALLBACK hook(HDC dc, void* arg)
{
    g_hook_dc = dc;
    g_hook_arg = arg;
    SetPixel(dc, 1, 1, RGB(0, 255, 0));
}

TEST(RasterDevice, BitbltCallsTheHookThenCopies)
{
    HWND wnd = platform_create_window(16, 12);
    ASSERT_NE(wnd, nullptr);
    {
        Qe_Qdc q;
        q.wnd(wnd);
        q.resize();
        BITMAP bm{};
        ASSERT_EQ(GetObject(q.GetBitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmWidth, 16);
        EXPECT_EQ(bm.bmHeight, 12);
        q.SetColor(0, false);
        q.SetPixel(3, 4);
        HDC target = GetDC(wnd);
        ASSERT_EQ(g_draw_callback, nullptr);
        q.bitblt(target);
        COLORREF c = 0;
        ASSERT_TRUE(platform_read_pixel(wnd, 3, 4, &c));
        EXPECT_EQ(c, RGB(0, 0, 0));
        ASSERT_TRUE(platform_read_pixel(wnd, 1, 1, &c));
        EXPECT_EQ(c, white);
        int token = 0;
        g_draw_callback = hook;
        g_callback_vobj = &token;
        q.bitblt(target);
        g_draw_callback = nullptr;
        g_callback_vobj = nullptr;
        EXPECT_EQ(g_hook_dc, q.GetDC());
        EXPECT_EQ(g_hook_arg, &token);
        ASSERT_TRUE(platform_read_pixel(wnd, 1, 1, &c));
        EXPECT_EQ(c, RGB(0, 255, 0));
        ReleaseDC(wnd, target);

        // resize(w, h) makes a new white bitmap of that size.
        q.resize(8, 6);
        ASSERT_EQ(GetObject(q.GetBitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmWidth, 8);
        EXPECT_EQ(static_cast<std::uint8_t*>(bm.bmBits)[0], 0xFF);
    }
    platform_destroy_window(wnd);
    EXPECT_FALSE(g_is_rubbering);
}

TEST(RasterDevice, DrawRectFollowsTheClipRectangle)
{
    Device d(100, 50, 24);
    d.q.SetDrawRect(RECT{0, 0, 100, 50});
    d.q.rebuild_draw_rect(scale_transf(2.0));
    EXPECT_DOUBLE_EQ(d.q.draw_rect().lt().x(), 0.0);
    EXPECT_DOUBLE_EQ(d.q.draw_rect().rb().x(), 200.0);
    EXPECT_DOUBLE_EQ(d.q.draw_rect().rb().y(), 100.0);
}

TEST(RasterDevice, GdiCallsDrawIntoTheSameBitmap)
{
    for (int depth : {8, 16, 24, 32}) {
        Device d(20, 20, depth);
        HPEN pen = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
        HGDIOBJ old = SelectObject(d.q.GetDC(), pen);
        MoveToEx(d.q.GetDC(), 2, 5, nullptr);
        LineTo(d.q.GetDC(), 12, 5);
        SelectObject(d.q.GetDC(), old);
        DeleteObject(pen);
        COLORREF c = 0;
        ASSERT_TRUE(platform_read_pixel(d.q.GetBitmap(), 6, 5, &c));
        EXPECT_EQ(c, RGB(255, 0, 0)) << depth;
        EXPECT_TRUE(d.is_white(12, 5));
    }
}

TEST(RasterDevice, ComposedSceneIsSavedForALook)
{
    Device d(320, 240, 24);
    Qe_Qdc& q = d.q;
    q.SetColor(RGB(230, 240, 255), false);
    RECT bg{0, 0, 320, 240};
    q.FillRect(&bg);
    q.SetColor(RGB(0, 0, 0), false);
    for (int i = 0; i < 12; ++i) q.Line(10, 10 + i * 8, 150, 110 - i * 8);
    q.SetLineStyleDashed(1);
    q.HLine(120, 10, 310);
    q.VLine(160, 10, 230);
    q.SetLineStyleDashed(0);
    const std::vector<POINT> ring = rings_array({{{180, 20}, {300, 30}, {290, 110}, {190, 100}}, {{210, 45}, {260, 50}, {250, 85}}});
    q.SetColor(RGB(0, 0, 160), false);
    q.Polygon(ring.data(), static_cast<int>(ring.size()), 1, RGB(255, 180, 0));
    q.SetColor(RGB(200, 0, 0), false);
    q.Ellipse(20, 130, 140, 220);
    q.Ellipse(60, 150, 100, 200);
    HDC dc = q.GetDC();
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 120, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int style = 0; style <= 6; ++style) {
        api_mb_draw_point(dc, Qe_Pt(185.0 + style * 18, 150.0, 0.0), style, 6, 0);
        api_mb_draw_point(dc, Qe_Pt(185.0 + style * 18, 175.0, 0.0), style, 6, 1);
    }
    api_mb_draw_ellipse(dc, Qe_Pt(240, 210, 0), 50, 18, 0.4, 0);
    api_mb_draw_arrow(dc, Qe_Tran(), RGB(160, 0, 160), Qe_Pt(300, 200, 0), Qe_Uvec(-1, 0, 0), 20, 6, 0);
    SelectObject(dc, old);
    DeleteObject(pen);
    const std::string path = test_output_path("raster_scene.png");
    ASSERT_TRUE(platform_save_png(q.GetBitmap(), path.c_str()));

    // The file holds the picture drawn, pixel for pixel, and the picture what was asked.
    Rgb_Image png;
    ASSERT_TRUE(read_png(path, png));
    ASSERT_EQ(png.width, 320);
    ASSERT_EQ(png.height, 240);
    int differing = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            COLORREF c = 0;
            ASSERT_TRUE(platform_read_pixel(q.GetBitmap(), x, y, &c));
            differing += c != png.at(x, y);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(png.at(315, 5), RGB(230, 240, 255));   // background
    EXPECT_EQ(png.at(195, 40), RGB(255, 180, 0));    // inside the ring
    EXPECT_EQ(png.at(240, 62), RGB(230, 240, 255));  // its hole
    EXPECT_EQ(png.at(10, 10), RGB(0, 0, 0));         // where the fan of lines starts
}

}  // namespace
