// WBMP (wireless bitmap, type 0), our own code: 1 bit a pixel, rows padded to bytes, a set
// bit white. Written from the grey level of each pixel, white at half grey and above.

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

// A multi-byte integer: 7 bits a byte, the high bit set on every byte but the last.
bool read_number(const std::uint8_t*& p, const std::uint8_t* end, unsigned long long& v)
{
    v = 0;
    for (int i = 0; i < 5; ++i) {
        if (p >= end) return false;
        const std::uint8_t b = *p++;
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

void write_number(Bytes_Out& out, unsigned long v)
{
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v && n < 5);
    while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

}  // namespace

bool decode_wbmp(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data) return false;
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    unsigned long long type = 0, w = 0, h = 0;
    if (!read_number(p, end, type) || type != 0) return false;
    if (p >= end || *p++ != 0) return false;  // no extension headers
    if (!read_number(p, end, w) || !read_number(p, end, h) || w == 0 || h == 0) return false;
    const unsigned long long row = (w + 7) / 8;
    if (row > static_cast<std::size_t>(end - p) / h) return false;
    if (!out.allocate(static_cast<long long>(w), static_cast<long long>(h))) return false;
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* r = p + static_cast<std::size_t>(row) * static_cast<std::size_t>(y);
        std::uint8_t* q = out.row(y);
        for (int x = 0; x < out.width; ++x, q += 4) {
            const std::uint8_t v = (r[x / 8] >> (7 - x % 8)) & 1 ? 0xFF : 0;
            q[0] = q[1] = q[2] = v;
        }
    }
    return true;
}

bool encode_wbmp(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0) return false;
    out.clear();
    out.push_back(0), out.push_back(0);
    write_number(out, static_cast<unsigned long>(image.width));
    write_number(out, static_cast<unsigned long>(image.height));
    const std::size_t row = (static_cast<std::size_t>(image.width) + 7) / 8;
    for (int y = 0; y < image.height; ++y) {
        const std::size_t at = out.size();
        out.resize(at + row, 0);
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4)
            if (luma(p) >= 128) out[at + static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return true;
}

}  // namespace platform
