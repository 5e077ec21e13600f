#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/snapshot.h"

namespace {

// A DIB section selected into its own memory DC.
struct Dib {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    std::uint8_t* bits = nullptr;
    int w, h, bpp, stride;

    Dib(int w_, int h_, int bpp_, bool bottom_up = true) : w(w_), h(h_), bpp(bpp_), stride(((w_ * bpp_ + 31) / 32) * 4)
    {
        struct {
            BITMAPINFOHEADER h;
            std::uint32_t colours[256];
        } info{};
        info.h.biSize = 40;
        info.h.biWidth = w;
        info.h.biHeight = bottom_up ? h : -h;
        info.h.biPlanes = 1;
        info.h.biBitCount = static_cast<WORD>(bpp);
        if (bpp == 16) {
            info.h.biCompression = BI_BITFIELDS;
            info.colours[0] = 0xF800, info.colours[1] = 0x07E0, info.colours[2] = 0x001F;
        }
        if (bpp == 8) {
            // Every colour whose channels are 0 or 255 is in the table (index = rgb bits).
            for (int i = 0; i < 8; ++i)
                info.colours[i] = (i & 1 ? 0xFF0000u : 0) | (i & 2 ? 0xFF00u : 0) | (i & 4 ? 0xFFu : 0);
        }
        void* b = nullptr;
        bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &b, nullptr, 0);
        bits = static_cast<std::uint8_t*>(b);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bmp);
    }
    ~Dib()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    COLORREF at(int x, int y) const
    {
        COLORREF c = 0xDEADBEEF;
        EXPECT_TRUE(platform_read_pixel(bmp, x, y, &c));
        return c;
    }
};

// Colours with every channel 0 or 255: exact in every supported format.
COLORREF primary(unsigned k) { return RGB(k & 1 ? 255 : 0, k & 2 ? 255 : 0, k & 4 ? 255 : 0); }

void fill_primaries(Dib& d, unsigned seed)
{
    // Fill through a 32-bit DIB and one blit, so each format's own writer is used.
    Dib src(d.w, d.h, 32);
    for (int y = 0; y < d.h; ++y)
        for (int x = 0; x < d.w; ++x) {
            const COLORREF c = primary(seed + static_cast<unsigned>(x * 3 + y * 5));
            std::uint8_t* p = src.bits + (d.h - 1 - y) * src.stride + x * 4;
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    ASSERT_TRUE(BitBlt(d.dc, 0, 0, d.w, d.h, src.dc, 0, 0, SRCCOPY));
}

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

}  // namespace
