// PCX, our own code. Read: run-length encoded (or plain) images of 1 bit in 1 or 4 planes,
// 2 and 4 bits in 1 plane (the header's 16 colours), 8 bits in 1 plane (the 256 colours at
// the end of the file) and 8 bits in 3 or 4 planes (red, green, blue, opacity). Written: 8 bits
// in 3 planes, run-length encoded, with the resolution.

#include <algorithm>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/image_codecs_p.h"

namespace platform {

bool decode_pcx(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 128 || data[0] != 0x0A || data[1] > 5 || data[2] > 1) return false;
    const bool rle = data[2] == 1;
    const unsigned bits = data[3], planes = data[65];
    const long long x0 = le16(data + 4), y0 = le16(data + 6), x1 = le16(data + 8), y1 = le16(data + 10);
    const std::size_t line = le16(data + 66);
    if (x1 < x0 || y1 < y0) return false;
    const long long w = x1 - x0 + 1, h = y1 - y0 + 1;
    const bool mapped = (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) || (planes == 4 && bits == 1);
    const bool direct = bits == 8 && (planes == 3 || planes == 4);
    if (!mapped && !direct) return false;
    if (line == 0 || line % 2 || line * 8 < static_cast<std::size_t>(w) * bits) return false;

    // The 256-colour palette follows the pixels, after a 12.
    std::vector<std::uint8_t> palette(256 * 3, 0);
    std::size_t end = size;
    if (planes == 1 && bits == 8) {
        if (size < 128 + 769 || data[size - 769] != 0x0C) return false;
        std::copy_n(data + size - 768, 768, palette.begin());
        end = size - 769;
    } else if (planes == 1 && bits == 1) {
        palette[3] = palette[4] = palette[5] = 0xFF;  // 0 black, 1 white
    } else {
        std::copy_n(data + 16, 48, palette.begin());
    }

    const std::size_t row_bytes = line * planes;
    const auto total = static_cast<unsigned long long>(row_bytes) * static_cast<unsigned long long>(h);
    // A run of two bytes gives at most 63.
    const std::size_t body = end - 128;
    if (rle ? total > static_cast<unsigned long long>(body) / 2 * 63 + 63 : total > body) return false;
    if (!out.allocate(w, h)) return false;
    out.alpha = direct && planes == 4;
    out.xdpi = le16(data + 12) ? le16(data + 12) : 96;
    out.ydpi = le16(data + 14) ? le16(data + 14) : 96;

    std::vector<std::uint8_t> row(row_bytes);
    const std::uint8_t* p = data + 128;
    const std::uint8_t* stop = data + end;
    unsigned run = 0;
    std::uint8_t value = 0;
    for (long long y = 0; y < h; ++y) {
        for (std::size_t i = 0; i < row_bytes; ++i) {
            if (!rle) {
                if (p >= stop) return false;
                row[i] = *p++;
                continue;
            }
            if (run == 0) {
                if (p >= stop) return false;
                if ((*p & 0xC0) == 0xC0) {
                    run = *p & 0x3Fu;
                    if (++p >= stop) return false;
                    value = *p++;
                } else {
                    run = 1;
                    value = *p++;
                }
                if (run == 0) {  // an empty run: read the next packet
                    --i;
                    continue;
                }
            }
            row[i] = value;
            --run;
        }
        std::uint8_t* q = out.row(static_cast<int>(y));
        for (long long x = 0; x < w; ++x, q += 4) {
            if (direct) {
                q[2] = row[static_cast<std::size_t>(x)];
                q[1] = row[line + static_cast<std::size_t>(x)];
                q[0] = row[2 * line + static_cast<std::size_t>(x)];
                q[3] = planes == 4 ? row[3 * line + static_cast<std::size_t>(x)] : 0xFF;
                continue;
            }
            unsigned index = 0;
            for (unsigned k = 0; k < planes; ++k) {
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                const unsigned v = (row[k * line + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                index |= v << (k * bits);
            }
            const std::uint8_t* c = &palette[3 * index];
            q[0] = c[2], q[1] = c[1], q[2] = c[0], q[3] = 0xFF;
        }
    }
    return true;
}

bool encode_pcx(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF) return false;
    const std::size_t line = (static_cast<std::size_t>(image.width) + 1) / 2 * 2;
    if (line > 0xFFFF) return false;
    out.assign(128, 0);
    out[0] = 0x0A, out[1] = 5, out[2] = 1, out[3] = 8;
    const auto set16 = [&](std::size_t at, std::uint32_t v) {
        out[at] = static_cast<std::uint8_t>(v & 0xFF);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    set16(8, static_cast<std::uint32_t>(image.width - 1));
    set16(10, static_cast<std::uint32_t>(image.height - 1));
    set16(12, static_cast<std::uint32_t>(std::clamp(image.xdpi, 1L, 0xFFFFL)));
    set16(14, static_cast<std::uint32_t>(std::clamp(image.ydpi, 1L, 0xFFFFL)));
    out[65] = 3;
    set16(66, static_cast<std::uint32_t>(line));
    set16(68, 1);
    std::vector<std::uint8_t> plane(line);
    for (int y = 0; y < image.height; ++y) {
        for (int k = 0; k < 3; ++k) {
            const std::uint8_t* p = image.row(y);
            std::fill(plane.begin(), plane.end(), 0);
            for (int x = 0; x < image.width; ++x) plane[static_cast<std::size_t>(x)] = p[4 * x + 2 - k];
            // Runs of up to 63 equal bytes; a single byte below 0xC0 stands for itself.
            for (std::size_t i = 0; i < line;) {
                std::size_t n = 1;
                while (i + n < line && n < 63 && plane[i + n] == plane[i]) ++n;
                if (n > 1 || plane[i] >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | n));
                out.push_back(plane[i]);
                i += n;
            }
        }
    }
    return true;
}

}  // namespace platform
