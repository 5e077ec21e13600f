#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/test_output.h"
#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/snapshot.h"
#include "platform/window.h"

namespace {

// Reads an 8-bit RGB PNG with libpng; empty on failure.
std::vector<std::uint8_t> read_png(const std::string& path, png_uint_32& w, png_uint_32& h)
{
    std::vector<std::uint8_t> out;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return out;
    img.format = PNG_FORMAT_RGB;
    out.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, out.data(), 0, nullptr)) out.clear();
    w = img.width;
    h = img.height;
    return out;
}

TEST(Window, ClientRectDcsAndInvalidation)
{
    HWND wnd = platform_create_window(120, 80);
    ASSERT_NE(wnd, nullptr);
    RECT r{};
    ASSERT_TRUE(GetClientRect(wnd, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 120);
    EXPECT_EQ(r.bottom, 80);
    COLORREF c = 0;
    ASSERT_TRUE(platform_read_pixel(wnd, 119, 79, &c));
    EXPECT_EQ(c, RGB(255, 255, 255));

    EXPECT_FALSE(platform_take_invalid_rect(wnd, &r, nullptr));
    const RECT a{10, 20, 30, 25}, b{50, 5, 40, 60};  // b reversed: normalised
    EXPECT_TRUE(InvalidateRect(wnd, &a, FALSE));
    EXPECT_TRUE(InvalidateRect(wnd, &b, TRUE));
    BOOL erase = FALSE;
    ASSERT_TRUE(platform_take_invalid_rect(wnd, &r, &erase));
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{10, 5, 50, 60}));
    EXPECT_TRUE(erase);
    EXPECT_FALSE(platform_take_invalid_rect(wnd, &r, &erase));
    EXPECT_TRUE(InvalidateRect(wnd, nullptr, FALSE));
    ASSERT_TRUE(platform_take_invalid_rect(wnd, &r, &erase));
    EXPECT_EQ(r.right, 120);
    EXPECT_FALSE(erase);

    HDC dc = GetDC(wnd);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_FALSE(DeleteDC(dc));  // a window DC is released, not deleted
    HWND other = platform_create_window(1, 1);
    EXPECT_EQ(ReleaseDC(other, dc), 0);
    EXPECT_EQ(ReleaseDC(wnd, dc), 1);
    EXPECT_EQ(ReleaseDC(wnd, dc), 0);

    // A DC outliving its window draws nothing and fails cleanly.
    HDC late = GetDC(other);
    EXPECT_TRUE(platform_destroy_window(other));
    EXPECT_FALSE(platform_destroy_window(other));
    EXPECT_EQ(GetDC(other), nullptr);
    EXPECT_FALSE(GetClientRect(other, &r));
    EXPECT_FALSE(BitBlt(late, 0, 0, 1, 1, late, 0, 0, SRCCOPY));
    EXPECT_EQ(ReleaseDC(other, late), 1);

    ASSERT_TRUE(platform_resize_window(wnd, 30, 20));
    ASSERT_TRUE(GetClientRect(wnd, &r));
    EXPECT_EQ(r.right, 30);
    EXPECT_EQ(r.bottom, 20);
    EXPECT_TRUE(platform_take_invalid_rect(wnd, &r, &erase));
    EXPECT_TRUE(erase);
    EXPECT_TRUE(platform_destroy_window(wnd));
    EXPECT_EQ(platform_create_window(0, 10), nullptr);
}

// Draws a picture into a 24-bit DIB section by writing its memory, copies it into a window and
// saves the window as a PNG under the build folder, for a person to open.
TEST(Window, DibDrawnBlittedAndSavedAsPng)
{
    const long live = platform_gdi_object_count();
    const int w = 160, h = 100;
    HWND wnd = platform_create_window(w, h);
    ASSERT_NE(wnd, nullptr);
    HDC wdc = GetDC(wnd);

    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(wdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HDC mem = CreateCompatibleDC(wdc);
    HGDIOBJ old = SelectObject(mem, dib);

    // Horizontal red ramp, vertical green ramp, a blue diagonal; y counted from the top.
    const int stride = ((w * 24 + 31) / 32) * 4;
    auto expected = [&](int x, int y) {
        if (x == y) return RGB(0, 0, 255);
        return RGB(static_cast<BYTE>(x * 255 / (w - 1)), static_cast<BYTE>(y * 255 / (h - 1)), 64);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = static_cast<std::uint8_t*>(bits) + (h - 1 - y) * stride + 3 * x;
            const COLORREF c = expected(x, y);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    ASSERT_TRUE(BitBlt(wdc, 0, 0, w, h, mem, 0, 0, SRCCOPY));

    const std::string path = test_output_path("platform_dib_in_window.png");
    ASSERT_TRUE(platform_save_png(wnd, path.c_str()));
    png_uint_32 pw = 0, ph = 0;
    const std::vector<std::uint8_t> rgb = read_png(path, pw, ph);
    ASSERT_EQ(pw, static_cast<png_uint_32>(w));
    ASSERT_EQ(ph, static_cast<png_uint_32>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &rgb[3 * static_cast<std::size_t>(y * w + x)];
            ASSERT_EQ(RGB(p[0], p[1], p[2]), expected(x, y)) << x << "," << y;
        }
    // The same through the bitmap and the memory DC.
    ASSERT_TRUE(platform_save_png(dib, test_output_path("platform_dib.png").c_str()));
    ASSERT_TRUE(platform_save_png(mem, test_output_path("platform_dib_dc.png").c_str()));
    EXPECT_EQ(read_png(test_output_path("platform_dib_dc.png"), pw, ph), rgb);
    EXPECT_FALSE(platform_save_png(nullptr, test_output_path("never.png").c_str()));
    EXPECT_FALSE(platform_save_png(wnd, "/nonexistent-folder/x.png"));

    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    ReleaseDC(wnd, wdc);
    platform_destroy_window(wnd);
    EXPECT_EQ(platform_gdi_object_count(), live);
}

}  // namespace

#include "platform/gdi_draw.h"
#include "platform/recording_dc.h"

namespace {

// Screen and client coordinates differ by the window's origin, both ways.
TEST(Window, ScreenOriginMapsPointsBothWays)
{
    HWND w = platform_create_window(50, 40);
    POINT p{7, 9};
    EXPECT_TRUE(ScreenToClient(w, &p));
    EXPECT_EQ(p.x, 7);
    EXPECT_EQ(p.y, 9);
    ASSERT_TRUE(platform_set_window_origin(w, 100, 50));
    p = POINT{130, 45};
    EXPECT_TRUE(ScreenToClient(w, &p));
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.y, -5);
    EXPECT_TRUE(ClientToScreen(w, &p));
    EXPECT_EQ(p.x, 130);
    EXPECT_EQ(p.y, 45);
    platform_destroy_window(w);
    EXPECT_FALSE(ScreenToClient(w, &p));
    EXPECT_FALSE(platform_set_window_origin(w, 1, 1));
}

// A recording window logs the calls of every DC it hands out, across GetDC and ReleaseDC, and
// the DCs still draw into the client area.
TEST(Window, RecordingWindowLogsEveryDcItHandsOut)
{
    HWND w = platform_create_window(20, 20);
    HDC before = GetDC(w);
    ASSERT_TRUE(platform_record_window(w, TRUE));
    for (int i = 0; i < 2; ++i) {
        HDC dc = GetDC(w);
        SetROP2(dc, R2_NOTXORPEN);
        MoveToEx(dc, 0, i, nullptr);
        LineTo(dc, 10, i);
        ReleaseDC(w, dc);
    }
    SetPixel(before, 5, 5, RGB(0, 0, 0));  // got before recording started: not logged
    ReleaseDC(w, before);
    std::vector<std::string> got;
    for (const Platform_Call& c : platform_window_calls(w)) got.push_back(platform_call_text(c));
    EXPECT_EQ(got, (std::vector<std::string>{"SetROP2 10", "MoveToEx 0 0", "LineTo 10 0", "SetROP2 10", "MoveToEx 0 1",
                                             "LineTo 10 1"}));
    EXPECT_EQ(platform_window_calls(w)[2].rop2, R2_NOTXORPEN);
    COLORREF c = 0;
    ASSERT_TRUE(platform_read_pixel(w, 3, 1, &c));
    EXPECT_EQ(c, RGB(0, 0, 0));  // NOT-XOR of a black pen on white
    ASSERT_TRUE(platform_read_pixel(w, 5, 5, &c));
    EXPECT_EQ(c, RGB(0, 0, 0));
    EXPECT_TRUE(platform_clear_window_calls(w));
    EXPECT_TRUE(platform_window_calls(w).empty());
    EXPECT_TRUE(platform_record_window(w, FALSE));
    HDC dc = GetDC(w);
    SetPixel(dc, 1, 1, 0);
    ReleaseDC(w, dc);
    EXPECT_TRUE(platform_window_calls(w).empty());
    EXPECT_FALSE(platform_clear_window_calls(w));
    platform_destroy_window(w);
}

}  // namespace
