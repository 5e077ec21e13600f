// Our own BMP code. Written: a 24-bit uncompressed bitmap, rows bottom-up, every field
// little-endian. Read: uncompressed bitmaps of 1, 4, 8, 16, 24 and 32 bits (16 and 32 also
// with channel masks), either row order, with the core, info and later info headers;
// run-length compressed files are refused.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

void put16(Bytes_Out& out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(Bytes_Out& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::uint32_t get16(const std::uint8_t* p)
{
    return p[0] | (std::uint32_t{p[1]} << 8);
}
std::uint32_t get32(const std::uint8_t* p)
{
    return get16(p) | (get16(p + 2) << 16);
}

// Dots per inch to the header's pixels per metre and back.
std::uint32_t per_metre(long dpi)
{
    return static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
}
long per_inch(std::int32_t ppm)
{
    return ppm > 0 ? std::max(1L, std::lround(ppm * 0.0254)) : 96;
}

constexpr std::uint32_t bi_rgb = 0, bi_bitfields = 3;

// One channel out of a masked pixel value, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        max = m >> shift;
    }
    std::uint8_t of(std::uint32_t v) const
    {
        if (!max) return 0;
        const std::uint64_t c = (v & mask) >> shift;
        return static_cast<std::uint8_t>((c * 255 + max / 2) / max);
    }
};

}  // namespace

bool encode_bmp(const Image_View& image, Bytes_Out& out)
{
    constexpr std::uint32_t headers = 14 + 40;
    const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
    const std::size_t data = stride * static_cast<std::size_t>(image.height);
    if (image.width <= 0 || image.height <= 0 || data > 0xFFFFFFFFu - headers) return false;

    out.clear();
    out.reserve(headers + data);
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(headers + data));
    put32(out, 0);  // two reserved words
    put32(out, headers);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(image.width));
    put32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom row first
    put16(out, 1);
    put16(out, 24);
    put32(out, bi_rgb);
    put32(out, static_cast<std::uint32_t>(data));
    put32(out, per_metre(image.xdpi));
    put32(out, per_metre(image.ydpi));
    put32(out, 0);
    put32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4) {
            out.push_back(p[0]);
            out.push_back(p[1]);
            out.push_back(p[2]);
        }
        for (std::size_t pad = static_cast<std::size_t>(image.width) * 3; pad < stride; ++pad) out.push_back(0);
    }
    return true;
}

bool decode_bmp(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out = Decoded_Image{};
    if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t offset = get32(data + 10);
    const std::uint32_t header = get32(data + 14);
    if (header != 12 && header < 40) return false;
    if (std::size_t{14} + header > size) return false;
    const std::uint8_t* h = data + 14;

    long long width = 0, height = 0;
    unsigned bits = 0;
    std::uint32_t compression = bi_rgb, colours_used = 0;
    std::int32_t xppm = 0, yppm = 0;
    std::size_t palette_entry = 4;
    if (header == 12) {  // core header: 16-bit sizes, three-byte palette entries
        width = get16(h + 4);
        height = static_cast<std::int16_t>(get16(h + 6));
        if (get16(h + 8) != 1) return false;
        bits = get16(h + 10);
        palette_entry = 3;
    } else {
        width = static_cast<std::int32_t>(get32(h + 4));
        height = static_cast<std::int32_t>(get32(h + 8));
        if (get16(h + 12) != 1) return false;
        bits = get16(h + 14);
        compression = get32(h + 16);
        xppm = static_cast<std::int32_t>(get32(h + 24));
        yppm = static_cast<std::int32_t>(get32(h + 28));
        colours_used = get32(h + 32);
    }
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (width <= 0 || height <= 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (!(compression == bi_rgb || (compression == bi_bitfields && (bits == 16 || bits == 32)))) return false;

    // Channel masks: after an info header of 40 bytes, else inside the longer header.
    std::uint32_t masks[4] = {0, 0, 0, 0};
    std::size_t after_header = 14 + std::size_t{header};
    if (compression == bi_bitfields) {
        if (header == 40) {
            if (after_header + 12 > size) return false;
            for (int i = 0; i < 3; ++i) masks[i] = get32(data + after_header + 4 * i);
            after_header += 12;
        } else {
            if (header < 52) return false;
            for (int i = 0; i < 3; ++i) masks[i] = get32(h + 40 + 4 * i);
            if (header >= 56) masks[3] = get32(h + 52);
        }
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }

    std::vector<RGBQUAD> palette;
    if (bits <= 8) {
        const std::uint32_t most = 1u << bits;
        const std::uint32_t n = colours_used == 0 ? most : colours_used;
        if (n > most) return false;
        if (after_header + n * palette_entry > size) return false;
        palette.resize(most, RGBQUAD{0, 0, 0, 0});
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint8_t* e = data + after_header + i * palette_entry;
            palette[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
    }

    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    if (offset > size || stride > (size - offset) / static_cast<std::size_t>(height)) return false;
    if (!out.allocate(width, height)) return false;
    out.xdpi = per_inch(xppm);
    out.ydpi = per_inch(yppm);
    const Channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
    out.alpha = masks[3] != 0;
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* src = data + offset + stride * static_cast<std::size_t>(top_down ? y : out.height - 1 - y);
        std::uint8_t* p = out.row(y);
        for (int x = 0; x < out.width; ++x, p += 4) {
            if (bits <= 8) {
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                const unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                const RGBQUAD& c = palette[index];
                p[0] = c.rgbBlue, p[1] = c.rgbGreen, p[2] = c.rgbRed, p[3] = 0xFF;
            } else if (bits == 24) {
                const std::uint8_t* s = src + 3 * static_cast<std::size_t>(x);
                p[0] = s[0], p[1] = s[1], p[2] = s[2], p[3] = 0xFF;
            } else {
                const std::uint32_t v = bits == 16 ? get16(src + 2 * static_cast<std::size_t>(x))
                                                   : get32(src + 4 * static_cast<std::size_t>(x));
                p[0] = b.of(v), p[1] = g.of(v), p[2] = r.of(v), p[3] = out.alpha ? a.of(v) : 0xFF;
            }
        }
    }
    return true;
}

}  // namespace platform
