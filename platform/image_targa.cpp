// Targa (TGA), our own code. Read: colour-mapped, true-colour and grey images, plain or
// run-length encoded, of 8, 15, 16, 24 and 32 bits, either row order and either column order;
// the attribute bits of 16 and 32-bit pixels are their opacity. Written: uncompressed true
// colour, 24 bits (32 with opacity), top row first.

#include <algorithm>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/image_codecs_p.h"

namespace platform {
namespace {

constexpr std::size_t header_size = 18;

// A pixel of `bytes` bytes as blue, green, red and opacity.
void colour_of(const std::uint8_t* p, unsigned bytes, bool grey, bool alpha_bits, std::uint8_t out[4])
{
    if (grey) {
        out[0] = out[1] = out[2] = p[0];
        out[3] = bytes == 2 ? p[1] : 0xFF;
        return;
    }
    if (bytes == 2) {
        const unsigned v = le16(p);
        const auto five = [](unsigned c) { return static_cast<std::uint8_t>((c * 255 + 15) / 31); };
        out[0] = five(v & 31), out[1] = five((v >> 5) & 31), out[2] = five((v >> 10) & 31);
        out[3] = alpha_bits && !(v & 0x8000) ? 0 : 0xFF;
        return;
    }
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
    out[3] = bytes == 4 && alpha_bits ? p[3] : 0xFF;
}

}  // namespace

bool decode_tga(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < header_size) return false;
    const unsigned id_length = data[0], map_type = data[1], type = data[2];
    const unsigned map_first = le16(data + 3), map_length = le16(data + 5), map_bits = data[7];
    const long long w = le16(data + 12), h = le16(data + 14);
    const unsigned bits = data[16], descriptor = data[17];
    const bool rle = type >= 9;
    const unsigned kind = rle ? type - 8 : type;  // 1 mapped, 2 true colour, 3 grey
    if (kind < 1 || kind > 3 || map_type > 1 || w == 0 || h == 0) return false;
    if (kind == 1 && (map_type != 1 || bits != 8)) return false;
    if (kind == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
    if (kind == 3 && bits != 8 && bits != 16) return false;
    const unsigned bytes = (bits + 7) / 8;
    const bool alpha_bits = (descriptor & 0x0F) != 0;

    std::size_t at = header_size + id_length;
    std::vector<std::uint8_t> map;  // 4 bytes an entry
    if (map_type == 1) {
        if (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32) return false;
        const std::size_t entry = (map_bits + 7) / 8;
        if (at > size || std::size_t{map_length} * entry > size - at) return false;
        map.resize(std::size_t{map_length} * 4);
        for (unsigned i = 0; i < map_length; ++i) colour_of(data + at + i * entry, static_cast<unsigned>(entry), false, alpha_bits, &map[4 * i]);
        at += std::size_t{map_length} * entry;
    }
    if (at > size) return false;
    const std::size_t left = size - at;
    const auto pixels = static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h);
    // Plain pixels take their bytes; a run packet of 1 + bytes covers at most 128 pixels.
    if (!rle && pixels > left / bytes) return false;
    if (rle && pixels > static_cast<unsigned long long>(left) / (1 + bytes) * 128) return false;
    if (!out.allocate(w, h)) return false;
    out.alpha = alpha_bits && (bits == 32 || bits == 16) && kind != 1;
    if (kind == 1) out.alpha = map_bits == 32 && alpha_bits;

    const bool top_first = descriptor & 0x20, right_first = descriptor & 0x10;
    const std::uint8_t* p = data + at;
    const std::uint8_t* end = data + size;
    unsigned run = 0;     // pixels left in the current packet
    bool repeat = false;  // the packet repeats one pixel
    std::uint8_t c[4] = {0, 0, 0, 0xFF};
    for (unsigned long long i = 0; i < pixels; ++i) {
        bool read_pixel = true;
        if (rle) {
            if (run == 0) {
                if (p >= end) return false;
                repeat = *p & 0x80;
                run = (*p & 0x7Fu) + 1u;
                ++p;
            } else if (repeat) {
                read_pixel = false;
            }
            --run;
        }
        if (read_pixel) {
            if (static_cast<std::size_t>(end - p) < bytes) return false;
            if (kind == 1) {
                const unsigned index = p[0];
                if (index < map_first || index - map_first >= map_length) return false;
                std::copy_n(&map[4 * (index - map_first)], 4, c);
            } else {
                colour_of(p, bytes, kind == 3, alpha_bits, c);
            }
            p += bytes;
        }
        const long long x = static_cast<long long>(i % static_cast<unsigned long long>(w));
        const long long y = static_cast<long long>(i / static_cast<unsigned long long>(w));
        std::uint8_t* q = out.row(static_cast<int>(top_first ? y : h - 1 - y)) + 4 * (right_first ? w - 1 - x : x);
        std::copy_n(c, 4, q);
    }
    return true;
}

bool encode_tga(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF) return false;
    const unsigned bytes = image.alpha ? 4 : 3;
    out.clear();
    out.push_back(0), out.push_back(0), out.push_back(2);
    for (int i = 0; i < 5; ++i) out.push_back(0);
    put_le16(out, 0), put_le16(out, 0);
    put_le16(out, static_cast<std::uint32_t>(image.width)), put_le16(out, static_cast<std::uint32_t>(image.height));
    out.push_back(static_cast<std::uint8_t>(bytes * 8));
    out.push_back(static_cast<std::uint8_t>(0x20 | (image.alpha ? 8 : 0)));
    out.reserve(out.size() + static_cast<std::size_t>(image.width) * image.height * bytes);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4) out.insert(out.end(), p, p + bytes);
    }
    return true;
}

}  // namespace platform
