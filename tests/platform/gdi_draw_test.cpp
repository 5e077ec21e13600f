#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "dib_fixture.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/handles.h"
#include "platform/recording_dc.h"
#include "platform/snapshot.h"
#include "platform/window.h"
#include "common/cairo_oracle.h"

namespace {

using Pixel = std::pair<int, int>;
using Pixels = std::set<Pixel>;
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF black = RGB(0, 0, 0);

// A bottom-up DIB section of the given depth in its own memory DC, painted white; an 8-bit one
// holds a grey ramp, so raster operations on indices act on grey levels.
struct White_Dib : Dib {
    White_Dib(int w_, int h_, int bpp_) : Dib(w_, h_, bpp_, true, Dib_Palette::grey_ramp)
    {
        std::memset(bits, 0xFF, static_cast<std::size_t>(stride) * h);
    }
    Pixels where(COLORREF c) const
    {
        Pixels s;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) == c) s.insert({x, y});
        return s;
    }
    Pixels not_white() const
    {
        Pixels s;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) != white) s.insert({x, y});
        return s;
    }
    std::vector<std::uint8_t> bytes() const { return {bits, bits + static_cast<std::size_t>(stride) * h}; }
};

// Selects a new pen or brush for the lifetime of the guard and deletes it afterwards.
struct Selected {
    HDC dc;
    HGDIOBJ obj, old;
    Selected(HDC d, HGDIOBJ o) : dc(d), obj(o), old(SelectObject(d, o)) {}
    ~Selected()
    {
        SelectObject(dc, old);
        DeleteObject(obj);
    }
};

// Integer Bresenham written as a closed form (half rounds up), from a toward b, b left out.
Pixels reference_line(int ax, int ay, int bx, int by)
{
    const long long dx = bx - ax, dy = by - ay;
    const long long major = std::max(std::llabs(dx), std::llabs(dy)), minor = std::min(std::llabs(dx), std::llabs(dy));
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    Pixels s;
    for (long long k = 0; k < major; ++k) {
        const long long off = (2 * k * minor + major) / (2 * major);
        const long long mj = k * (((x_major ? dx : dy) < 0) ? -1 : 1), mn = off * (((x_major ? dy : dx) < 0) ? -1 : 1);
        s.insert(x_major ? Pixel(static_cast<int>(ax + mj), static_cast<int>(ay + mn))
                         : Pixel(static_cast<int>(ax + mn), static_cast<int>(ay + mj)));
    }
    return s;
}

TEST(GdiDraw, PensAndBrushesAndTheirDescriptions)
{
    const long live = platform_gdi_object_count();
    HPEN pen = CreatePen(PS_DOT, 0, RGB(1, 2, 3));
    ASSERT_NE(pen, nullptr);
    LOGPEN lp{};
    EXPECT_EQ(GetObject(pen, 0, nullptr), static_cast<int>(sizeof lp));
    EXPECT_EQ(GetObject(pen, sizeof lp, &lp), static_cast<int>(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_DOT));
    EXPECT_EQ(lp.lopnColor, RGB(1, 2, 3));
    EXPECT_EQ(GetObject(pen, 4, &lp), 0);
    EXPECT_EQ(CreatePen(42, 0, 0), nullptr);
    EXPECT_EQ(CreatePen(PS_SOLID, -1, 0), nullptr);
    HBRUSH solid = CreateSolidBrush(RGB(9, 8, 7));
    HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(9, 8, 7));
    EXPECT_EQ(CreateHatchBrush(99, 0), nullptr);
    LOGBRUSH lb{};
    ASSERT_EQ(GetObject(hatch, sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbStyle, BS_HATCHED);
    EXPECT_EQ(lb.lbHatch, static_cast<UINT_PTR>(HS_BDIAGONAL));
    EXPECT_EQ(platform_gdi_object_count(), live + 3);
    {
        White_Dib d(4, 4, 24);
        // A new DC holds a black pen of width 0 and a white brush; selecting them back works.
        HGDIOBJ p0 = GetCurrentObject(d.dc, OBJ_PEN);
        ASSERT_EQ(GetObject(p0, sizeof lp, &lp), static_cast<int>(sizeof lp));
        EXPECT_EQ(lp.lopnColor, black);
        EXPECT_EQ(SelectObject(d.dc, pen), p0);
        EXPECT_FALSE(DeleteObject(pen));  // still selected
        EXPECT_EQ(SelectObject(d.dc, p0), pen);
        BITMAP bm{};
        ASSERT_EQ(GetObject(d.bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmBits, d.bits);
        EXPECT_EQ(bm.bmBitsPixel, 24);
    }
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(solid));
    EXPECT_TRUE(DeleteObject(hatch));
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(GdiDraw, ThinLinesMatchBresenhamWithoutTheirEndAtEveryDepth)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> x(0, 39), y(0, 29);
    for (int depth : {8, 16, 24, 32}) {
        White_Dib d(40, 30, depth);
        for (int i = 0; i < 80; ++i) {
            std::memset(d.bits, 0xFF, static_cast<std::size_t>(d.stride) * d.h);
            const int ax = x(rng), ay = y(rng), bx = x(rng), by = y(rng);
            MoveToEx(d.dc, ax, ay, nullptr);
            ASSERT_TRUE(LineTo(d.dc, bx, by));
            ASSERT_EQ(d.not_white(), reference_line(ax, ay, bx, by)) << depth << ": " << ax << "," << ay << " " << bx << "," << by;
        }
        // The current position is where the last LineTo ended.
        MoveToEx(d.dc, 7, 7, nullptr);
        LineTo(d.dc, 9, 8);
        POINT pos{};
        MoveToEx(d.dc, 0, 0, &pos);
        EXPECT_EQ(pos.x, 9);
        EXPECT_EQ(pos.y, 8);
    }
}

TEST(GdiDraw, NotXorDrawsEveryPixelOnceAndTwiceRestores)
{
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        White_Dib d(64, 48, depth);
        std::mt19937 rng(static_cast<unsigned>(depth));
        for (int i = 0; i < d.stride * d.h; ++i) d.bits[i] = static_cast<std::uint8_t>(rng());
        const auto before = d.bytes();
        auto scene = [&] {
            const POINT poly[] = {{2, 2}, {60, 5}, {60, 40}, {30, 20}, {2, 45}, {2, 2}};
            Polyline(d.dc, poly, 6);
            {
                Selected wide(d.dc, CreatePen(PS_SOLID, 5, RGB(200, 30, 90)));
                Polyline(d.dc, poly, 5);
            }
            {
                Selected dotted(d.dc, CreatePen(PS_DOT, 0, RGB(0, 0, 255)));
                Selected hatch(d.dc, CreateHatchBrush(HS_BDIAGONAL, RGB(0, 128, 0)));
                const POINT tri[] = {{10, 10}, {50, 15}, {20, 40}};
                Polygon(d.dc, tri, 3);
                Ellipse(d.dc, 5, 5, 40, 30);
                Rectangle(d.dc, 30, 25, 62, 46);
            }
            Arc(d.dc, 0, 0, 64, 48, 64, 24, 32, 0);
            const POINT bez[] = {{0, 47}, {20, -20}, {40, 80}, {63, 0}};
            PolyBezier(d.dc, bez, 4);
            BeginPath(d.dc);
            const POINT outer[] = {{8, 8}, {56, 8}, {56, 40}, {8, 40}, {8, 8}};
            const POINT inner[] = {{20, 16}, {40, 16}, {40, 30}, {20, 30}, {20, 16}};
            Polyline(d.dc, outer, 5);
            Polyline(d.dc, inner, 5);
            EndPath(d.dc);
            StrokeAndFillPath(d.dc);
            MoveToEx(d.dc, -2000000000, -2000000000, nullptr);
            LineTo(d.dc, 2000000000, 2000000000);
        };
        EXPECT_EQ(SetROP2(d.dc, R2_NOTXORPEN), R2_COPYPEN);
        scene();
        EXPECT_NE(d.bytes(), before);
        scene();
        EXPECT_EQ(d.bytes(), before);
    }
}

TEST(GdiDraw, PolylineJointsAreDrawnOnce)
{
    White_Dib d(20, 20, 24);
    SetROP2(d.dc, R2_NOTXORPEN);  // NOT-XOR of black on white: a pixel drawn twice turns white again
    const POINT pts[] = {{1, 1}, {10, 1}, {10, 10}, {1, 10}, {1, 1}};
    Polyline(d.dc, pts, 5);
    EXPECT_EQ(d.at(10, 1), black);
    EXPECT_EQ(d.at(10, 10), black);
    EXPECT_EQ(d.at(1, 1), black);  // the start, reached again by the last segment without its end
    EXPECT_EQ(d.not_white().size(), 36u);
}


double distance_to_segment(double px, double py, POINT a, POINT b)
{
    const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp(((px - a.x) * dx + (py - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

TEST(GdiDraw, PathFillMatchesCairoEvenOddSoNestedFiguresLeaveHoles)
{
    const int w = 80, h = 64;
    const auto cases = seeded_fill_cases(99u, 40, w, h, 8);
    for (const auto& rings : cases) {
        White_Dib d(w, h, 32);
        Selected pen(d.dc, CreatePen(PS_NULL, 0, 0));
        Selected brush(d.dc, CreateSolidBrush(RGB(255, 0, 0)));
        ASSERT_TRUE(BeginPath(d.dc));
        for (const auto& r : rings) {
            std::vector<POINT> open = r;  // open figures: the path closes them
            Polyline(d.dc, open.data(), static_cast<int>(open.size()));
        }
        ASSERT_TRUE(EndPath(d.dc));
        EXPECT_TRUE(d.not_white().empty());  // nothing drawn until the path is used
        ASSERT_TRUE(StrokeAndFillPath(d.dc));
        EXPECT_FALSE(StrokeAndFillPath(d.dc));  // the path is gone
        const auto expected = cairo_even_odd_fill(rings, w, h, 0.0);
        for (int py = 0; py < h; ++py)
            for (int px = 0; px < w; ++px) {
                double dist = 1e300;
                for (const auto& r : rings)
                    for (std::size_t k = 0; k < r.size(); ++k)
                        dist = std::min(dist, distance_to_segment(px + 0.5, py + 0.5, r[k], r[(k + 1) % r.size()]));
                if (dist < 0.75) continue;
                ASSERT_EQ(d.at(px, py) == RGB(255, 0, 0), expected[static_cast<std::size_t>(py) * w + px])
                    << px << "," << py;
            }
    }
}

TEST(GdiDraw, RectanglesAndEllipsesLeaveOutTheirRightAndBottomEdges)
{
    White_Dib d(20, 20, 24);
    {
        Selected pen(d.dc, CreatePen(PS_NULL, 0, 0));
        Selected brush(d.dc, CreateSolidBrush(black));
        Rectangle(d.dc, 2, 3, 8, 6);
        Pixels expected;
        for (int y = 3; y < 6; ++y)
            for (int x = 2; x < 8; ++x) expected.insert({x, y});
        EXPECT_EQ(d.not_white(), expected);
        std::memset(d.bits, 0xFF, static_cast<std::size_t>(d.stride) * d.h);
        Ellipse(d.dc, 2, 2, 18, 12);
        const Pixels e = d.not_white();
        for (const Pixel& p : e) {
            EXPECT_TRUE(p.first >= 2 && p.first < 18 && p.second >= 2 && p.second < 12);
            EXPECT_TRUE(e.count({19 - p.first, p.second}));  // symmetric about x = 9.5
            EXPECT_TRUE(e.count({p.first, 13 - p.second}));  // and y = 6.5
        }
        EXPECT_TRUE(e.count({10, 7}));
    }
    // Outline in the pen, inside in the brush.
    std::memset(d.bits, 0xFF, static_cast<std::size_t>(d.stride) * d.h);
    {
        Selected brush(d.dc, CreateSolidBrush(RGB(0, 0, 255)));
        Rectangle(d.dc, 8, 6, 2, 3);  // corners in any order
        EXPECT_EQ(d.at(2, 3), black);
        EXPECT_EQ(d.at(7, 5), black);
        EXPECT_EQ(d.at(4, 4), RGB(0, 0, 255));
        EXPECT_EQ(d.at(8, 4), white);
    }
}

TEST(GdiDraw, ArcRunsCounterClockwiseAndStartEqualEndIsTheWholeEllipse)
{
    White_Dib d(41, 41, 24);
    // From the ray to the right to the ray upwards: the upper right quarter.
    Arc(d.dc, 0, 0, 41, 41, 40, 20, 20, 0);
    const Pixels q = d.not_white();
    ASSERT_FALSE(q.empty());
    for (const Pixel& p : q) EXPECT_TRUE(p.first >= 19 && p.second <= 21) << p.first << "," << p.second;
    std::memset(d.bits, 0xFF, static_cast<std::size_t>(d.stride) * d.h);
    Arc(d.dc, 0, 0, 41, 41, 5, 5, 5, 5);
    const Pixels whole = d.not_white();
    std::memset(d.bits, 0xFF, static_cast<std::size_t>(d.stride) * d.h);
    {
        Selected brush(d.dc, CreateHatchBrush(HS_BDIAGONAL, white));
        SetBkMode(d.dc, TRANSPARENT);
        Ellipse(d.dc, 0, 0, 41, 41);  // white hatch, transparent gaps: only the outline shows
        SetBkMode(d.dc, OPAQUE);
    }
    EXPECT_EQ(whole, d.not_white());
    for (const Pixel& p : whole) EXPECT_NEAR(std::hypot(p.first - 20.0, p.second - 20.0), 20.0, 1.0);
}

TEST(GdiDraw, BezierNeedsThreeNPlusOnePoints)
{
    White_Dib d(30, 30, 24);
    const POINT pts[] = {{0, 0}, {10, 10}, {20, 20}, {29, 29}, {1, 1}, {2, 2}, {3, 3}};
    EXPECT_FALSE(PolyBezier(d.dc, pts, 3));
    EXPECT_FALSE(PolyBezier(d.dc, pts, 5));
    EXPECT_TRUE(d.not_white().empty());
    ASSERT_TRUE(PolyBezier(d.dc, pts, 4));  // collinear control points: the diagonal
    for (const Pixel& p : d.not_white()) EXPECT_EQ(p.first, p.second);
    EXPECT_GE(d.not_white().size(), 28u);
    EXPECT_TRUE(PolyBezier(d.dc, pts, 7));
}

TEST(GdiDraw, WidePensAreRoundAndStyledPensHaveFixedPatterns)
{
    White_Dib d(40, 20, 24);
    {
        Selected wide(d.dc, CreatePen(PS_DOT, 5, black));  // wide styled pens draw solid
        MoveToEx(d.dc, 10, 10, nullptr);
        LineTo(d.dc, 30, 10);
    }
    const Pixels wide = d.not_white();
    for (int x = 10; x <= 30; ++x)
        for (int y = 8; y <= 12; ++y) EXPECT_TRUE(wide.count({x, y})) << x << "," << y;
    for (const Pixel& p : wide) EXPECT_LE(std::hypot(std::max({10 - p.first, 0, p.first - 30}), p.second - 10), 2.5);
    EXPECT_FALSE(wide.count({8, 8}));  // round end: the corner is left out

    // Dots: three on, three off; with OPAQUE the gaps take the background colour.
    std::memset(d.bits, 0xFF, static_cast<std::size_t>(d.stride) * d.h);
    {
        Selected dot(d.dc, CreatePen(PS_DOT, 0, black));
        SetBkColor(d.dc, RGB(0, 255, 0));
        MoveToEx(d.dc, 0, 2, nullptr);
        LineTo(d.dc, 24, 2);
        SetBkMode(d.dc, TRANSPARENT);
        MoveToEx(d.dc, 0, 4, nullptr);
        LineTo(d.dc, 24, 4);
        SetBkMode(d.dc, OPAQUE);
        Selected dash(d.dc, CreatePen(PS_DASH, 1, black));
        MoveToEx(d.dc, 0, 6, nullptr);
        LineTo(d.dc, 30, 6);
    }
    for (int x = 0; x < 24; ++x) {
        const bool on = (x % 6) < 3;
        EXPECT_EQ(d.at(x, 2), on ? black : RGB(0, 255, 0)) << x;
        EXPECT_EQ(d.at(x, 4), on ? black : white) << x;
    }
    for (int x = 0; x < 30; ++x) EXPECT_EQ(d.at(x, 6), (x % 24) < 18 ? black : RGB(0, 255, 0)) << x;
}

TEST(GdiDraw, HatchBrushAndFillRectIgnoreTheRasterOperation)
{
    White_Dib d(16, 16, 32);
    HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(255, 0, 0));
    SetROP2(d.dc, R2_NOTXORPEN);
    SetBkColor(d.dc, RGB(0, 0, 255));
    RECT r{0, 0, 16, 16};
    EXPECT_EQ(FillRect(d.dc, &r, hatch), 1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(d.at(x, y), (x + y) % 8 == 7 ? RGB(255, 0, 0) : RGB(0, 0, 255)) << x << "," << y;
    // Transparent: the gaps keep what was there.
    SetBkMode(d.dc, TRANSPARENT);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(d.dc, &r, green);
    FillRect(d.dc, &r, hatch);
    EXPECT_EQ(d.at(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(d.at(7, 0), RGB(255, 0, 0));
    // SetPixel writes the colour whatever the raster operation.
    EXPECT_EQ(SetPixel(d.dc, 3, 3, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(d.at(3, 3), RGB(1, 2, 3));
    EXPECT_EQ(SetPixel(d.dc, 16, 3, 0), CLR_INVALID);
    EXPECT_EQ(SetROP2(d.dc, 0), 0);
    EXPECT_EQ(GetROP2(d.dc), R2_NOTXORPEN);
    DeleteObject(hatch);
    DeleteObject(green);
}

TEST(GdiDraw, ExtremeCoordinatesFinishAndStayOnTheSurface)
{
    const int big = 2000000000;
    for (int depth : {8, 16, 24, 32}) {
        White_Dib d(30, 20, depth);
        Selected brush(d.dc, CreateSolidBrush(black));
        MoveToEx(d.dc, -big, -big, nullptr);
        LineTo(d.dc, big, big);
        LineTo(d.dc, -big, big);
        const POINT tri[] = {{-big, -big}, {big, 0}, {0, big}};
        Polygon(d.dc, tri, 3);
        Rectangle(d.dc, -big, -big, big, big);
        Ellipse(d.dc, -big, -big, big, big);
        Arc(d.dc, -big, -big, big, big, big, 0, 0, -big);
        const POINT bez[] = {{-big, 0}, {0, big}, {big, -big}, {big, big}};
        PolyBezier(d.dc, bez, 4);
        {
            Selected wide(d.dc, CreatePen(PS_SOLID, 1000000, white));
            const POINT across[] = {{-big, 10}, {big, 12}};
            Polyline(d.dc, across, 2);
        }
        EXPECT_EQ(d.at(15, 10), white);  // over the black fills
    }
}

TEST(GdiDraw, RecordingDcLogsCallsWithTheSelectedObjects)
{
    const long live = platform_gdi_object_count();
    {
        HDC rec = platform_create_recording_dc(nullptr);
        ASSERT_NE(rec, nullptr);
        HPEN pen = CreatePen(PS_DASH, 0, RGB(0, 0, 255));
        HGDIOBJ old = SelectObject(rec, pen);
        SetROP2(rec, R2_NOTXORPEN);
        MoveToEx(rec, 1, 2, nullptr);
        LineTo(rec, 3, 4);
        const POINT pts[] = {{0, 0}, {5, 5}};
        Polyline(rec, pts, 2);
        SelectObject(rec, old);
        DeleteObject(pen);
        const auto calls = platform_recorded_calls(rec);
        std::vector<std::string> texts;
        for (const auto& c : calls) texts.push_back(platform_call_text(c));
        EXPECT_EQ(texts, (std::vector<std::string>{"SelectObject 1", "SetROP2 10", "MoveToEx 1 2", "LineTo 3 4",
                                                   "Polyline 2 0 0 5 5", "SelectObject 1"}));
        EXPECT_EQ(calls[3].pen.lopnStyle, static_cast<UINT>(PS_DASH));
        EXPECT_EQ(calls[3].pen.lopnColor, RGB(0, 0, 255));
        EXPECT_EQ(calls[3].rop2, R2_NOTXORPEN);
        EXPECT_EQ(calls[5].pen.lopnColor, RGB(0, 0, 255));  // the objects at the time of the call
        EXPECT_TRUE(platform_clear_recorded_calls(rec));
        EXPECT_TRUE(platform_recorded_calls(rec).empty());
        DeleteDC(rec);
    }
    {
        // With a backing bitmap it draws as well.
        White_Dib d(10, 10, 24);
        SelectObject(d.dc, d.old);
        HDC rec = platform_create_recording_dc(d.bmp);
        ASSERT_NE(rec, nullptr);
        MoveToEx(rec, 0, 5, nullptr);
        LineTo(rec, 9, 5);
        EXPECT_EQ(d.at(4, 5), black);
        EXPECT_EQ(platform_recorded_calls(rec).size(), 2u);
        DeleteDC(rec);
        d.old = SelectObject(d.dc, d.bmp);
        // A DC that does not record has no log.
        EXPECT_TRUE(platform_recorded_calls(d.dc).empty());
        EXPECT_FALSE(platform_clear_recorded_calls(d.dc));
    }
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(GdiDraw, BadHandlesFail)
{
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    EXPECT_FALSE(LineTo(stale, 1, 1));
    EXPECT_FALSE(MoveToEx(nullptr, 1, 1, nullptr));
    EXPECT_EQ(SetPixel(stale, 0, 0, 0), CLR_INVALID);
    EXPECT_FALSE(Polyline(stale, nullptr, 2));
    EXPECT_FALSE(BeginPath(stale));
    EXPECT_EQ(SetROP2(stale, R2_COPYPEN), 0);
    EXPECT_EQ(GetObject(stale, 0, nullptr), 0);
    RECT r{0, 0, 1, 1};
    EXPECT_EQ(FillRect(stale, &r, nullptr), 0);
}

TEST(GdiDraw, WindowDcsDrawOnTheClientArea)
{
    HWND w = platform_create_window(10, 10);
    HDC dc = GetDC(w);
    MoveToEx(dc, 0, 3, nullptr);
    LineTo(dc, 9, 3);
    ReleaseDC(w, dc);
    COLORREF c = 0;
    ASSERT_TRUE(platform_read_pixel(w, 5, 3, &c));
    EXPECT_EQ(c, black);
    platform_destroy_window(w);
}

}  // namespace
