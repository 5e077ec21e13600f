#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "dib_fixture.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/handles.h"
#include "platform/snapshot.h"

namespace {

TEST(BitBlt, ConvertsBetweenEveryPairOfDepths)
{
    const long live = platform_gdi_object_count();
    for (int from : {8, 16, 24, 32})
        for (int to : {8, 16, 24, 32}) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            Dib s(7, 5, from), d(7, 5, to, false);
            fill_primaries(s, 1);
            ASSERT_TRUE(BitBlt(d.dc, 0, 0, 7, 5, s.dc, 0, 0, SRCCOPY));
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x) ASSERT_EQ(d.at(x, y), primary(1 + static_cast<unsigned>(x * 3 + y * 5)));
        }
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(BitBlt, SixteenBitValuesSurviveARoundTripThroughTrueColour)
{
    Dib a(64, 1, 16), b(64, 1, 32), c(64, 1, 16);
    auto* px = reinterpret_cast<std::uint16_t*>(a.bits);
    // Every level of each channel: 32 reds, 64 greens, 32 blues.
    for (int i = 0; i < 64; ++i) px[i] = static_cast<std::uint16_t>(((i & 31) << 11) | (i << 5) | (31 - (i & 31)));
    ASSERT_TRUE(BitBlt(b.dc, 0, 0, 64, 1, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(b.at(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(b.at(63, 0), RGB(255, 255, 0));
    ASSERT_TRUE(BitBlt(c.dc, 0, 0, 64, 1, b.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::memcmp(a.bits, c.bits, 128), 0);
}

TEST(BitBlt, ClipsToBothSurfacesLikeAPerPixelCopy)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(-12, 12), ext(0, 14);
    for (int trial = 0; trial < 200; ++trial) {
        Dib s(9, 7, 24), d(8, 6, 32);
        fill_primaries(s, 3);
        fill_primaries(d, 0);
        std::vector<COLORREF> expected;
        for (int y = 0; y < d.h; ++y)
            for (int x = 0; x < d.w; ++x) expected.push_back(d.at(x, y));
        const int x = pos(rng), y = pos(rng), cx = ext(rng), cy = ext(rng), sx = pos(rng), sy = pos(rng);
        // Reference: visit every pixel of the request and copy those inside both surfaces.
        for (int j = 0; j < cy; ++j)
            for (int i = 0; i < cx; ++i) {
                const int dx = x + i, dy = y + j, ssx = sx + i, ssy = sy + j;
                if (dx < 0 || dy < 0 || dx >= d.w || dy >= d.h || ssx < 0 || ssy < 0 || ssx >= s.w || ssy >= s.h) continue;
                expected[static_cast<std::size_t>(dy * d.w + dx)] = s.at(ssx, ssy);
            }
        ASSERT_TRUE(BitBlt(d.dc, x, y, cx, cy, s.dc, sx, sy, SRCCOPY));
        for (int yy = 0; yy < d.h; ++yy)
            for (int xx = 0; xx < d.w; ++xx)
                ASSERT_EQ(d.at(xx, yy), expected[static_cast<std::size_t>(yy * d.w + xx)])
                    << "trial " << trial << " at " << xx << "," << yy;
    }
}

TEST(BitBlt, ExtremeCoordinatesDoNotOverflow)
{
    Dib s(4, 4, 32), d(4, 4, 32);
    fill_primaries(d, 0);
    std::vector<std::uint8_t> before(d.bits, d.bits + d.stride * d.h);
    EXPECT_TRUE(BitBlt(d.dc, INT32_MAX - 1, 0, INT32_MAX, 4, s.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(d.dc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, s.dc, INT32_MAX, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(d.dc, 0, 0, -5, 3, s.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::vector<std::uint8_t>(d.bits, d.bits + d.stride * d.h), before);
    EXPECT_FALSE(BitBlt(d.dc, 0, 0, 1, 1, s.dc, 0, 0, 0x00EE0086));  // only SRCCOPY is offered
}

TEST(BitBlt, OverlappingCopyWithinOneBitmapReadsTheOriginal)
{
    for (int dir = 0; dir < 4; ++dir) {
        Dib d(6, 6, 24);
        fill_primaries(d, 2);
        std::vector<COLORREF> original;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) original.push_back(d.at(x, y));
        const int ox = dir & 1 ? 1 : -1, oy = dir & 2 ? 2 : -1;
        ASSERT_TRUE(BitBlt(d.dc, 1 + ox, 1 + oy, 3, 3, d.dc, 1, 1, SRCCOPY));
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(d.at(1 + ox + i, 1 + oy + j), original[static_cast<std::size_t>((1 + j) * 6 + 1 + i)]) << dir;
    }
}

// ---- StretchDIBits ----

// A packed 32-bit DIB of 4 x 3 pixels whose pixel (x, y), y from the top, is dib_colour(x, y);
// its rows stored bottom-up or top-down.
COLORREF dib_colour(int x, int y)
{
    return RGB(40 + 50 * x, 30 + 70 * y, 100);
}
std::vector<std::uint8_t> packed_dib(bool top_down)
{
    constexpr int w = 4, h = 3;
    std::vector<std::uint8_t> b(40 + w * h * 4, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); };
    put32(0, 40), put32(4, w), put32(8, static_cast<std::uint32_t>(top_down ? -h : h));
    b[12] = 1, b[14] = 32;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.data() + 40 + ((top_down ? y : h - 1 - y) * w + x) * 4;
            const COLORREF c = dib_colour(x, y);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return b;
}

// The source rectangle (1, 1, 2, 2) doubled onto 4 x 4 pixels. GDI counts the source's y from
// the bottom row of a bottom-up DIB, so there the rectangle is the top two rows; of a
// top-down DIB it is rows 1 and 2.
TEST(StretchDIBits, SourceRectangleCountsRowsAsGdiDoes)
{
    for (const bool top_down : {false, true}) {
        SCOPED_TRACE(top_down);
        const std::vector<std::uint8_t> dib = packed_dib(top_down);
        Dib d(6, 6, 32);
        const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
        ASSERT_EQ(StretchDIBits(d.dc, 1, 1, 4, 4, 1, 1, 2, 2, dib.data() + 40, info, DIB_RGB_COLORS, SRCCOPY), 2);
        const int first_row = top_down ? 1 : 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) ASSERT_EQ(d.at(1 + x, 1 + y), dib_colour(1 + x / 2, first_row + y / 2)) << x << "," << y;
        EXPECT_EQ(d.at(0, 0), RGB(0, 0, 0));
        EXPECT_EQ(d.at(5, 5), RGB(0, 0, 0));
    }
}

// The raster operations mix each source pixel with the pixel under it.
TEST(StretchDIBits, RasterOperationsMixWithTheTarget)
{
    const std::vector<std::uint8_t> dib = packed_dib(false);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    const COLORREF under = RGB(0x0F, 0xF0, 0x55);
    struct Case {
        DWORD rop;
        COLORREF (*mix)(COLORREF, COLORREF);
    };
    const Case cases[] = {
        {SRCCOPY, [](COLORREF s, COLORREF) { return s; }},
        {SRCAND, [](COLORREF s, COLORREF t) { return s & t; }},
        {SRCPAINT, [](COLORREF s, COLORREF t) { return s | t; }},
        {SRCINVERT, [](COLORREF s, COLORREF t) { return s ^ t; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rop);
        Dib d(4, 3, 32);
        HBRUSH b = CreateSolidBrush(under);
        const RECT all{0, 0, 4, 3};
        FillRect(d.dc, &all, b);
        DeleteObject(b);
        ASSERT_EQ(StretchDIBits(d.dc, 0, 0, 4, 3, 0, 0, 4, 3, dib.data() + 40, info, DIB_RGB_COLORS, c.rop), 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) ASSERT_EQ(d.at(x, y), c.mix(dib_colour(x, y), under)) << x << "," << y;
    }
}

}  // namespace
