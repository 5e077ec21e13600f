// Sun raster files, our own code. Read: depths 1, 8 (with or without a colour map), 24 and 32,
// the old, standard, run-length ("byte encoded") and RGB types; rows padded to 16 bits.
// Written: the standard type at 24 bits (blue, green, red), no colour map.

#include <algorithm>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/image_codecs_p.h"

namespace platform {
namespace {

constexpr std::uint32_t magic = 0x59A66A95;
constexpr std::uint32_t rt_old = 0, rt_standard = 1, rt_byte_encoded = 2, rt_format_rgb = 3;

// The pixel bytes, run-length decoded when the type says so; false when they end too soon.
bool unpack(const std::uint8_t* p, const std::uint8_t* end, bool rle, std::size_t need, std::vector<std::uint8_t>& out)
{
    if (!rle) {
        if (static_cast<std::size_t>(end - p) < need) return false;
        out.assign(p, p + need);
        return true;
    }
    out.clear();
    out.reserve(need);
    while (out.size() < need) {
        if (p >= end) return false;
        const std::uint8_t b = *p++;
        if (b != 0x80) {
            out.push_back(b);
            continue;
        }
        if (p >= end) return false;
        const unsigned n = *p++;
        if (n == 0) {
            out.push_back(0x80);
            continue;
        }
        if (p >= end) return false;
        const std::uint8_t v = *p++;
        out.insert(out.end(), std::min<std::size_t>(n + 1u, need - out.size()), v);
    }
    return true;
}

}  // namespace

bool decode_ras(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 32 || be32(data) != magic) return false;
    const long long w = be32(data + 4), h = be32(data + 8);
    const std::uint32_t depth = be32(data + 12), type = be32(data + 20), map_type = be32(data + 24);
    const std::uint32_t map_length = be32(data + 28);
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
    if (depth != 1 && depth != 8 && depth != 24 && depth != 32) return false;
    if (type != rt_old && type != rt_standard && type != rt_byte_encoded && type != rt_format_rgb) return false;
    if (map_type > 1 || map_length > size - 32) return false;
    const std::uint8_t* map = data + 32;
    const std::size_t entries = map_type == 1 ? map_length / 3 : 0;
    const std::size_t row = (static_cast<std::size_t>(w) * depth + 15) / 16 * 2;
    const std::uint8_t* p = data + 32 + map_length;
    const std::size_t left = size - 32 - map_length;
    const bool rle = type == rt_byte_encoded;
    // Three bytes of a run give at most 256.
    if (row > (rle ? left / 3 * 256 + 256 : left) / static_cast<std::size_t>(h)) return false;
    if (!out.fits(w, h)) return false;
    std::vector<std::uint8_t> bits;
    if (!unpack(p, data + size, rle, row * static_cast<std::size_t>(h), bits)) return false;
    if (!out.allocate(w, h)) return false;
    const bool rgb = type == rt_format_rgb;
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* r = bits.data() + row * static_cast<std::size_t>(y);
        std::uint8_t* q = out.row(y);
        for (int x = 0; x < out.width; ++x, q += 4) {
            if (depth == 1) {
                const unsigned v = (r[x / 8] >> (7 - x % 8)) & 1;
                if (entries >= 2) {
                    q[2] = map[v], q[1] = map[entries + v], q[0] = map[2 * entries + v];
                } else {
                    q[0] = q[1] = q[2] = v ? 0 : 0xFF;  // a set bit is black
                }
            } else if (depth == 8) {
                const unsigned v = r[x];
                if (entries > v) {
                    q[2] = map[v], q[1] = map[entries + v], q[0] = map[2 * entries + v];
                } else if (entries == 0) {
                    q[0] = q[1] = q[2] = static_cast<std::uint8_t>(v);
                } else {
                    return false;
                }
            } else {
                const std::uint8_t* s = r + static_cast<std::size_t>(x) * (depth / 8) + (depth == 32 ? 1 : 0);
                q[0] = rgb ? s[2] : s[0], q[1] = s[1], q[2] = rgb ? s[0] : s[2];
            }
        }
    }
    return true;
}

bool encode_ras(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0) return false;
    const std::size_t row = (static_cast<std::size_t>(image.width) * 24 + 15) / 16 * 2;
    const std::size_t length = row * static_cast<std::size_t>(image.height);
    if (length > 0xFFFFFFFFu) return false;
    out.clear();
    for (std::uint32_t v : {magic, static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height), 24u,
                            static_cast<std::uint32_t>(length), rt_standard, 0u, 0u})
        put_be32(out, v);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        const std::size_t at = out.size();
        for (int x = 0; x < image.width; ++x, p += 4) out.push_back(p[0]), out.push_back(p[1]), out.push_back(p[2]);
        out.resize(at + row, 0);
    }
    return true;
}

}  // namespace platform
