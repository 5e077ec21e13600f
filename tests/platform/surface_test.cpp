#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/snapshot.h"
#include "platform/window.h"

namespace {

// A 40-byte header followed by room for 256 colour entries, as the kernel builds it.
struct Dib_Header {
    BITMAPINFOHEADER h{};
    std::uint32_t colours[256] = {};

    Dib_Header(int w, int h_, int bpp, DWORD compression = BI_RGB)
    {
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = w;
        h.biHeight = h_;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bpp);
        h.biCompression = compression;
    }
    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};
static_assert(offsetof(Dib_Header, colours) == 40);

Dib_Header header_565(int w, int h)
{
    Dib_Header d(w, h, 16, BI_BITFIELDS);
    d.colours[0] = 0xF800;
    d.colours[1] = 0x07E0;
    d.colours[2] = 0x001F;
    return d;
}

// 8-bit table used by the tests: index i holds the colour of kPalette[i] (rest black).
const COLORREF kPalette[] = {RGB(255, 255, 255), RGB(0, 0, 0),   RGB(255, 0, 0), RGB(0, 255, 0),
                             RGB(0, 0, 255),     RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 0, 255)};

Dib_Header header_8(int w, int h)
{
    Dib_Header d(w, h, 8);
    for (int i = 0; i < 8; ++i) {
        const COLORREF c = kPalette[i];
        d.colours[i] = static_cast<std::uint32_t>(GetBValue(c)) | (GetGValue(c) << 8) | (GetRValue(c) << 16);
    }
    return d;
}

Dib_Header header_for(int w, int h, int bpp)
{
    if (bpp == 8) return header_8(w, h);
    if (bpp == 16) return header_565(w, h);
    return Dib_Header(w, h, bpp);
}

// Writes colour c into raw DIB memory the way a caller that knows the format would.
void poke(std::uint8_t* bits, int stride, int height, bool bottom_up, int bpp, int x, int y, COLORREF c)
{
    const int row = bottom_up ? height - 1 - y : y;
    std::uint8_t* p = bits + row * stride + x * bpp / 8;
    const unsigned r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (bpp) {
    case 8:
        for (int i = 0; i < 8; ++i)
            if (kPalette[i] == c) *p = static_cast<std::uint8_t>(i);
        break;
    case 16: {
        const unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    case 24: p[0] = static_cast<std::uint8_t>(b), p[1] = static_cast<std::uint8_t>(g), p[2] = static_cast<std::uint8_t>(r); break;
    case 32: p[0] = static_cast<std::uint8_t>(b), p[1] = static_cast<std::uint8_t>(g), p[2] = static_cast<std::uint8_t>(r), p[3] = 0; break;
    }
}

class Gdi : public ::testing::Test {
protected:
    void SetUp() override { live_before = platform_gdi_object_count(); }
    void TearDown() override { EXPECT_EQ(platform_gdi_object_count(), live_before) << "a GDI object leaked"; }
    long live_before = 0;
};

TEST_F(Gdi, DibSectionLayoutAtEveryDepth)
{
    for (int bpp : {8, 16, 24, 32}) {
        for (bool bottom_up : {true, false}) {
            SCOPED_TRACE(testing::Message() << bpp << " bpp, bottom_up " << bottom_up);
            const int w = 5, h = 3;
            const int stride = ((w * bpp + 31) / 32) * 4;
            Dib_Header hdr = header_for(w, bottom_up ? h : -h, bpp);
            void* bits = nullptr;
            HBITMAP bmp = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
            ASSERT_NE(bmp, nullptr);
            ASSERT_NE(bits, nullptr);
            auto* mem = static_cast<std::uint8_t*>(bits);
            // Memory starts zeroed, padding included.
            for (int i = 0; i < stride * h; ++i) ASSERT_EQ(mem[i], 0) << i;

            // Each pixel written at its computed offset reads back through the layer.
            const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
            int k = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) poke(mem, stride, h, bottom_up, bpp, x, y, colours[k++ % 4]);
            k = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    COLORREF c = 0x123456;
                    ASSERT_TRUE(platform_read_pixel(bmp, x, y, &c));
                    EXPECT_EQ(c, colours[k++ % 4]) << x << "," << y;
                }
            COLORREF c;
            EXPECT_FALSE(platform_read_pixel(bmp, w, 0, &c));
            EXPECT_FALSE(platform_read_pixel(bmp, 0, -1, &c));
            EXPECT_TRUE(DeleteObject(bmp));
        }
    }
}

TEST_F(Gdi, TwentyFourBitWritesTouchExactlyThreeBytes)
{
    // A 3 x 2 bitmap has 9 bytes of pixels and 3 of padding per row.
    Dib_Header hdr(3, 2, 24);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    auto* mem = static_cast<std::uint8_t*>(bits);
    std::memset(mem, 0xAB, 24);

    Dib_Header src_hdr(1, 1, 32);
    void* src_bits = nullptr;
    HBITMAP src = CreateDIBSection(nullptr, src_hdr.info(), DIB_RGB_COLORS, &src_bits, nullptr, 0);
    ASSERT_NE(src, nullptr);
    static_cast<std::uint8_t*>(src_bits)[0] = 0x11;  // blue
    static_cast<std::uint8_t*>(src_bits)[1] = 0x22;  // green
    static_cast<std::uint8_t*>(src_bits)[2] = 0x33;  // red

    HDC d = CreateCompatibleDC(nullptr), s = CreateCompatibleDC(nullptr);
    HGDIOBJ old_d = SelectObject(d, dib), old_s = SelectObject(s, src);
    ASSERT_TRUE(BitBlt(d, 1, 0, 1, 1, s, 0, 0, SRCCOPY));  // top row is memory row 1

    std::vector<std::uint8_t> expected(24, 0xAB);
    expected[12 + 3] = 0x11;
    expected[12 + 4] = 0x22;
    expected[12 + 5] = 0x33;
    EXPECT_EQ(std::vector<std::uint8_t>(mem, mem + 24), expected);

    SelectObject(d, old_d);
    SelectObject(s, old_s);
    DeleteDC(d);
    DeleteDC(s);
    DeleteObject(dib);
    DeleteObject(src);
}

TEST_F(Gdi, UnsupportedOrHugeDibSectionsFail)
{
    struct Case {
        const char* what;
        Dib_Header hdr;
        UINT usage = DIB_RGB_COLORS;
    };
    std::vector<Case> cases = {
        {"4 bpp", Dib_Header(4, 4, 4)},
        {"zero width", Dib_Header(0, 4, 32)},
        {"zero height", Dib_Header(4, 0, 32)},
        {"negative width", Dib_Header(-4, 4, 32)},
        {"too large", Dib_Header(100000, 100000, 32)},
        {"row too long", Dib_Header(0x7FFFFFFF, 1, 32)},
        {"most negative height", Dib_Header(4, INT32_MIN, 32)},
        {"palette indices", Dib_Header(4, 4, 8), DIB_PAL_COLORS},
        {"compressed", Dib_Header(4, 4, 8, 1)},
        {"bit fields at 24 bpp", Dib_Header(4, 4, 24, BI_BITFIELDS)},
        {"empty masks", Dib_Header(4, 4, 16, BI_BITFIELDS)},
    };
    Case overlapping{"overlapping masks", header_565(4, 4)};
    overlapping.hdr.colours[1] = 0x0FE0;
    cases.push_back(overlapping);
    Case broken{"non-contiguous mask", header_565(4, 4)};
    broken.hdr.colours[2] = 0x0015;
    cases.push_back(broken);
    Case planes{"two planes", Dib_Header(4, 4, 32)};
    planes.hdr.h.biPlanes = 2;
    cases.push_back(planes);

    for (const Case& c : cases) {
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, c.hdr.info(), c.usage, &bits, nullptr, 0), nullptr) << c.what;
        EXPECT_EQ(bits, nullptr) << c.what;
    }
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
}

TEST_F(Gdi, NullStaleAndWrongKindHandlesFail)
{
    HDC dc = CreateCompatibleDC(nullptr);
    Dib_Header hdr(2, 2, 32);
    HBITMAP bmp = CreateDIBSection(dc, hdr.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(platform_gdi_object_count(), live_before + 2);

    // Wrong kind.
    EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(bmp)));
    EXPECT_FALSE(DeleteObject(dc));
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(bmp), bmp), nullptr);
    EXPECT_EQ(SelectObject(dc, dc), nullptr);
    EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(bmp), BITSPIXEL), 0);
    EXPECT_EQ(GetObjectType(bmp), OBJ_BITMAP);
    EXPECT_EQ(GetObjectType(dc), OBJ_MEMDC);

    // Null and made-up handles.
    EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(0x7777)), nullptr);
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteDC(nullptr));
    EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), 0);
    EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(~std::uintptr_t{0})), 0u);

    // Stale: the slot is reused by a new object, the old handle must not reach it.
    EXPECT_TRUE(DeleteObject(bmp));
    HBITMAP again = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, bmp);
    EXPECT_FALSE(DeleteObject(bmp));
    EXPECT_EQ(SelectObject(dc, bmp), nullptr);
    COLORREF c;
    EXPECT_FALSE(platform_read_pixel(bmp, 0, 0, &c));
    EXPECT_TRUE(DeleteObject(again));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
}

TEST_F(Gdi, SelectObjectReturnsThePreviousBitmap)
{
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    Dib_Header hdr(4, 4, 32);
    HBITMAP one = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
    HBITMAP two = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);

    HGDIOBJ initial = SelectObject(a, one);
    ASSERT_NE(initial, nullptr);
    EXPECT_EQ(GetObjectType(initial), OBJ_BITMAP);
    EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), one);
    EXPECT_EQ(SelectObject(a, two), one);
    EXPECT_EQ(SelectObject(a, two), two);
    // A bitmap lives in one DC at a time, and is not deleted while it is there.
    EXPECT_EQ(SelectObject(b, two), nullptr);
    EXPECT_FALSE(DeleteObject(two));
    EXPECT_NE(SelectObject(b, one), nullptr);
    // The default bitmap is shared and cannot be deleted.
    EXPECT_EQ(SelectObject(a, initial), two);
    EXPECT_TRUE(DeleteObject(initial));
    EXPECT_EQ(GetObjectType(initial), OBJ_BITMAP);
    EXPECT_TRUE(DeleteObject(two));
    // Deleting the DC gives its bitmap back.
    EXPECT_TRUE(DeleteDC(b));
    EXPECT_TRUE(DeleteObject(one));
    EXPECT_TRUE(DeleteDC(a));
}

TEST_F(Gdi, DeviceDepthFollowsTheScreen)
{
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
    HDC mem = CreateCompatibleDC(screen);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 32);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, mem), 0);  // memory DCs are deleted, not released
    EXPECT_TRUE(DeleteDC(mem));

    for (int depth : {8, 16, 24}) {
        ASSERT_TRUE(platform_set_screen_depth(depth));
        HDC s = GetDC(nullptr);
        HDC m = CreateCompatibleDC(nullptr);
        EXPECT_EQ(GetDeviceCaps(s, BITSPIXEL), depth);
        EXPECT_EQ(GetDeviceCaps(m, BITSPIXEL), depth);
        // A compatible bitmap of the screen keeps the primaries exactly at every depth.
        HBITMAP bmp = CreateCompatibleBitmap(s, 3, 3);
        ASSERT_NE(bmp, nullptr);
        HGDIOBJ old = SelectObject(m, bmp);
        Dib_Header hdr(1, 1, 32);
        void* bits = nullptr;
        HBITMAP red = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
        static_cast<std::uint8_t*>(bits)[2] = 0xFF;
        HDC r = CreateCompatibleDC(nullptr);
        HGDIOBJ old_r = SelectObject(r, red);
        EXPECT_TRUE(BitBlt(m, 1, 1, 1, 1, r, 0, 0, SRCCOPY));
        COLORREF c = 0;
        EXPECT_TRUE(platform_read_pixel(m, 1, 1, &c));
        EXPECT_EQ(c, RGB(255, 0, 0)) << depth;
        SelectObject(r, old_r);
        SelectObject(m, old);
        DeleteDC(r);
        DeleteObject(red);
        DeleteObject(bmp);
        DeleteDC(m);
        ReleaseDC(nullptr, s);
    }
    EXPECT_FALSE(platform_set_screen_depth(4));
    ASSERT_TRUE(platform_set_screen_depth(32));
}

TEST_F(Gdi, CompatibleBitmapOfAFreshMemoryDcIsMonochrome)
{
    HDC m = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateCompatibleBitmap(m, 8, 1);
    ASSERT_NE(mono, nullptr);
    HDC d = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(d, mono);
    Dib_Header hdr(2, 1, 24);
    void* bits = nullptr;
    HBITMAP src = CreateDIBSection(nullptr, hdr.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memcpy(bits, "\xF0\xF0\xF0\x20\x10\x30", 6);  // light grey, dark
    HGDIOBJ old_s = SelectObject(m, src);
    EXPECT_TRUE(BitBlt(d, 0, 0, 2, 1, m, 0, 0, SRCCOPY));
    COLORREF c0 = 1, c1 = 1;
    platform_read_pixel(d, 0, 0, &c0);
    platform_read_pixel(d, 1, 0, &c1);
    EXPECT_EQ(c0, RGB(255, 255, 255));
    EXPECT_EQ(c1, RGB(0, 0, 0));
    SelectObject(m, old_s);
    SelectObject(d, old);
    DeleteDC(m);
    DeleteDC(d);
    DeleteObject(src);
    DeleteObject(mono);
}

}  // namespace
