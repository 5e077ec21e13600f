#pragma once

// DIB sections selected into their own memory DCs, and colours that every depth holds exactly,
// for the platform tests that draw or convert pixels.

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/gdi.h"
#include "platform/snapshot.h"

// What an 8-bit DIB's colour table holds.
enum class Dib_Palette {
    primaries,  // every colour whose channels are 0 or 255, at index = its rgb bits
    grey_ramp,  // index i is grey i: black 0, white 255
};

// A DIB section selected into its own memory DC.
struct Dib {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    std::uint8_t* bits = nullptr;
    int w, h, bpp, stride;

    Dib(int w_, int h_, int bpp_, bool bottom_up = true, Dib_Palette palette = Dib_Palette::primaries)
        : w(w_), h(h_), bpp(bpp_), stride(((w_ * bpp_ + 31) / 32) * 4)
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
        if (bpp == 8 && palette == Dib_Palette::primaries)
            for (int i = 0; i < 8; ++i)
                info.colours[i] = (i & 1 ? 0xFF0000u : 0) | (i & 2 ? 0xFF00u : 0) | (i & 4 ? 0xFFu : 0);
        if (bpp == 8 && palette == Dib_Palette::grey_ramp)
            for (int i = 0; i < 256; ++i) info.colours[i] = static_cast<std::uint32_t>(i * 0x010101);
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
inline COLORREF primary(unsigned k) { return RGB(k & 1 ? 255 : 0, k & 2 ? 255 : 0, k & 4 ? 255 : 0); }

inline void fill_primaries(Dib& d, unsigned seed)
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
