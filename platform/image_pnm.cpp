// The portable anymaps (PBM, PGM, PPM), our own code. Read: P1 to P6, plain (text) and raw,
// samples of up to 16 bits scaled to 8. Written: raw PPM (P6), 8 bits a sample.

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

struct Reader {
    const std::uint8_t* p;
    const std::uint8_t* end;

    void skip_space()
    {
        while (p < end) {
            if (*p == '#') {
                while (p < end && *p != '\n' && *p != '\r') ++p;
            } else if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
                ++p;
            } else {
                return;
            }
        }
    }
    // A decimal number of at most `digits` digits (one, for the bits of P1).
    bool number(unsigned long long& v, int digits = 10)
    {
        skip_space();
        v = 0;
        int n = 0;
        while (p < end && *p >= '0' && *p <= '9' && n < digits) v = v * 10 + (*p++ - '0'), ++n;
        return n > 0;
    }
};

}  // namespace

bool decode_pnm(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 3 || data[0] != 'P' || data[1] < '1' || data[1] > '6') return false;
    const int kind = data[1] - '0';
    const bool bitmap = kind == 1 || kind == 4, colour = kind == 3 || kind == 6, raw = kind >= 4;
    Reader r{data + 2, data + size};
    unsigned long long w = 0, h = 0, max = 1;
    if (!r.number(w) || !r.number(h) || w == 0 || h == 0) return false;
    if (!bitmap && (!r.number(max) || max == 0 || max > 65535)) return false;
    const unsigned long long channels = colour ? 3 : 1;
    const std::size_t left = static_cast<std::size_t>(r.end - r.p);
    std::size_t sample_bytes = max > 255 ? 2 : 1;
    if (raw) {
        // One whitespace byte ends the header.
        if (r.p >= r.end) return false;
        ++r.p;
        const unsigned long long row = bitmap ? (w + 7) / 8 : w * channels * sample_bytes;
        if (row > (left - 1) / h) return false;
    } else if (w * channels > left / h) {
        return false;  // every plain sample takes at least one character
    }
    if (!out.allocate(static_cast<long long>(w), static_cast<long long>(h))) return false;
    const auto scale = [&](unsigned long long v) { return static_cast<std::uint8_t>(std::min(v, max) * 255 / max); };
    for (int y = 0; y < out.height; ++y) {
        std::uint8_t* q = out.row(y);
        const std::uint8_t* row = r.p;
        for (int x = 0; x < out.width; ++x, q += 4) {
            unsigned long long s[3] = {0, 0, 0};
            if (bitmap && raw) {
                s[0] = (row[x / 8] >> (7 - x % 8)) & 1;
            } else if (raw) {
                for (unsigned long long c = 0; c < channels; ++c) {
                    const std::uint8_t* b = row + (static_cast<std::size_t>(x) * channels + c) * sample_bytes;
                    s[c] = sample_bytes == 2 ? (static_cast<unsigned long long>(b[0]) << 8) | b[1] : b[0];
                }
            } else {
                for (unsigned long long c = 0; c < channels; ++c)
                    if (!r.number(s[c], bitmap ? 1 : 10)) return false;
            }
            if (bitmap) {
                q[0] = q[1] = q[2] = s[0] ? 0 : 0xFF;  // a set bit is black
            } else if (colour) {
                q[2] = scale(s[0]), q[1] = scale(s[1]), q[0] = scale(s[2]);
            } else {
                q[0] = q[1] = q[2] = scale(s[0]);
            }
        }
        if (raw) r.p += bitmap ? (w + 7) / 8 : w * channels * sample_bytes;
    }
    return true;
}

bool encode_pnm(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0) return false;
    char header[64];
    const int n = std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", image.width, image.height);
    out.assign(header, header + n);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
        image.rgb_row(y, row.data());
        out.insert(out.end(), row.begin(), row.end());
    }
    return true;
}

}  // namespace platform
