#pragma once

// Pixel memory in one of the formats the layer supports: 1 bit per pixel (monochrome, the
// default bitmap of a memory device context), 8 with a colour table, 16 with channel masks
// (5-6-5 or 5-5-5), 24 (blue, green, red) and 32 (blue, green, red, unused). DIB sections,
// compatible bitmaps, window client areas and the screen are all surfaces.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/win_types.h"

namespace platform {

struct Free_Deleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};

// Largest pixel memory the layer hands out; beyond it creation fails as for lack of memory.
constexpr std::size_t max_surface_bytes = std::size_t{1} << 30;

// What a drawing call may write: the pixels x0 .. x1 - 1 of rows y0 .. y1 - 1.
struct Pixel_Box {
    long long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    bool contains(long long x, long long y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

// Bytes per row, rows padded to 32 bits; 0 when the row does not fit in the limits.
std::size_t dib_stride(long long width, int bpp);

struct Surface {
    int width = 0;
    int height = 0;
    int bpp = 0;
    std::size_t stride = 0;
    bool bottom_up = false;
    std::uint8_t* bits = nullptr;
    std::unique_ptr<std::uint8_t, Free_Deleter> storage;
    RGBQUAD palette[256] = {};
    int palette_size = 0;                // 2 at 1 bpp, 256 at 8 bpp
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue at 16 bpp

    // Allocates zeroed memory for width x height at bpp (1, 8, 16, 24, 32); false when the size
    // is not positive, the memory would pass max_surface_bytes or allocation fails.
    // The default palette is black and white at 1 bpp, a 3-3-2 colour cube at 8; 16 bpp is 5-6-5.
    bool allocate(int w, int h, int depth, bool rows_bottom_up);

    bool contains(long long x, long long y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Row y counted from the top of the image.
    std::uint8_t* row(int y) const
    {
        const int r = bottom_up ? height - 1 - y : y;
        return bits + static_cast<std::size_t>(r) * stride;
    }

    // The stored value of a pixel and its conversion from and to a colour. Writing a pixel
    // touches only that pixel's bytes (three at 24 bpp), never its neighbours.
    std::uint32_t value_at(int x, int y) const;
    void put_value(int x, int y, std::uint32_t v);
    std::uint32_t value_of(COLORREF c) const;
    COLORREF colour_of(std::uint32_t v) const;

    COLORREF get_pixel(int x, int y) const { return colour_of(value_at(x, y)); }
    void set_pixel(int x, int y, COLORREF c) { put_value(x, y, value_of(c)); }

    // Same pixel format, so rows can be copied as bytes.
    bool same_format(const Surface& o) const;
};

}  // namespace platform
