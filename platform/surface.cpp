#include "platform/surface_p.h"

#include <bit>
#include <cstring>
#include <limits>

namespace platform {
namespace {

bool supported_depth(int bpp) { return bpp == 1 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

int nearest_palette_index(const RGBQUAD* pal, int n, COLORREF c)
{
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    int best = 0;
    long best_d = std::numeric_limits<long>::max();
    for (int i = 0; i < n; ++i) {
        const long dr = pal[i].rgbRed - r, dg = pal[i].rgbGreen - g, db = pal[i].rgbBlue - b;
        const long d = dr * dr + dg * dg + db * db;
        if (d < best_d) {
            best_d = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

// A channel of 8 bits scaled to a mask's width and back, both rounded, so that every stored
// value survives a round trip through a colour.
std::uint32_t encode_channel(unsigned c, std::uint32_t mask)
{
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return ((c * max + 127) / 255) << shift;
}

unsigned decode_channel(std::uint32_t v, std::uint32_t mask)
{
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return static_cast<unsigned>((((v & mask) >> shift) * 255 + max / 2) / max);
}

}  // namespace

std::size_t dib_stride(long long width, int bpp)
{
    if (width <= 0 || bpp <= 0 || width > std::numeric_limits<int>::max()) return 0;
    const unsigned long long bits = static_cast<unsigned long long>(width) * static_cast<unsigned>(bpp);
    const unsigned long long stride = (bits + 31) / 32 * 4;
    return stride > max_surface_bytes ? 0 : static_cast<std::size_t>(stride);
}

bool Surface::allocate(int w, int h, int depth, bool rows_bottom_up)
{
    if (w <= 0 || h <= 0 || !supported_depth(depth)) return false;
    const std::size_t s = dib_stride(w, depth);
    if (s == 0 || static_cast<std::size_t>(h) > max_surface_bytes / s) return false;
    auto* mem = static_cast<std::uint8_t*>(std::calloc(s * static_cast<std::size_t>(h), 1));
    if (!mem) return false;
    storage.reset(mem);
    bits = mem;
    width = w;
    height = h;
    bpp = depth;
    stride = s;
    bottom_up = rows_bottom_up;
    std::memset(palette, 0, sizeof palette);
    palette_size = 0;
    masks[0] = masks[1] = masks[2] = 0;
    if (depth == 1) {
        palette_size = 2;
        palette[1] = RGBQUAD{0xFF, 0xFF, 0xFF, 0};
    } else if (depth == 8) {
        palette_size = 256;
        for (int i = 0; i < 256; ++i) {
            const int r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
            palette[i] = RGBQUAD{static_cast<BYTE>(b * 255 / 3), static_cast<BYTE>(g * 255 / 7),
                                 static_cast<BYTE>(r * 255 / 7), 0};
        }
    } else if (depth == 16) {
        masks[0] = 0xF800;
        masks[1] = 0x07E0;
        masks[2] = 0x001F;
    }
    return true;
}

std::uint32_t Surface::value_at(int x, int y) const
{
    const std::uint8_t* r = row(y);
    switch (bpp) {
    case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1u;
    case 8: return r[x];
    case 16: {
        const std::uint8_t* p = r + 2 * static_cast<std::size_t>(x);
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
    }
    case 24: {
        const std::uint8_t* p = r + 3 * static_cast<std::size_t>(x);
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    case 32: {
        const std::uint8_t* p = r + 4 * static_cast<std::size_t>(x);
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    default: return 0;
    }
}

void Surface::put_value(int x, int y, std::uint32_t v)
{
    std::uint8_t* r = row(y);
    switch (bpp) {
    case 1: {
        const auto bit = static_cast<std::uint8_t>(0x80u >> (x & 7));
        if (v & 1) r[x >> 3] |= bit;
        else r[x >> 3] &= static_cast<std::uint8_t>(~bit);
        break;
    }
    case 8: r[x] = static_cast<std::uint8_t>(v); break;
    case 16: {
        std::uint8_t* p = r + 2 * static_cast<std::size_t>(x);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    case 24: {
        std::uint8_t* p = r + 3 * static_cast<std::size_t>(x);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        break;
    }
    case 32: {
        std::uint8_t* p = r + 4 * static_cast<std::size_t>(x);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = 0;
        break;
    }
    default: break;
    }
}

std::uint32_t Surface::value_of(COLORREF c) const
{
    switch (bpp) {
    case 1:
    case 8: return static_cast<std::uint32_t>(nearest_palette_index(palette, palette_size, c));
    case 16:
        return encode_channel(GetRValue(c), masks[0]) | encode_channel(GetGValue(c), masks[1]) |
               encode_channel(GetBValue(c), masks[2]);
    case 24:
    case 32: return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    default: return 0;
    }
}

COLORREF Surface::colour_of(std::uint32_t v) const
{
    switch (bpp) {
    case 1:
    case 8: {
        if (v >= static_cast<std::uint32_t>(palette_size)) return 0;
        const RGBQUAD& q = palette[v];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    case 16:
        return RGB(static_cast<BYTE>(decode_channel(v, masks[0])), static_cast<BYTE>(decode_channel(v, masks[1])),
                   static_cast<BYTE>(decode_channel(v, masks[2])));
    case 24:
    case 32: return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
    default: return 0;
    }
}

bool Surface::same_format(const Surface& o) const
{
    if (bpp != o.bpp) return false;
    if (bpp == 16) return std::memcmp(masks, o.masks, sizeof masks) == 0;
    if (bpp <= 8)
        return palette_size == o.palette_size &&
               std::memcmp(palette, o.palette, sizeof(RGBQUAD) * static_cast<std::size_t>(palette_size)) == 0;
    return true;
}

}  // namespace platform
