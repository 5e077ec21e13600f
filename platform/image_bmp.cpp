// Our own BMP code. Written: a 24-bit uncompressed bitmap, rows bottom-up, every field
// little-endian. Read: the file header and the DIB it holds (dib_p.h); run-length compressed
// files are refused.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/dib_p.h"
#include "platform/image_codecs_p.h"

namespace platform {
namespace {

// Dots per inch to the header's pixels per metre and back.
std::uint32_t per_metre(long dpi)
{
    return static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
}

constexpr std::uint32_t bi_rgb = 0;

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
    put_le32(out, static_cast<std::uint32_t>(headers + data));
    put_le32(out, 0);  // two reserved words
    put_le32(out, headers);
    put_le32(out, 40);
    put_le32(out, static_cast<std::uint32_t>(image.width));
    put_le32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom row first
    put_le16(out, 1);
    put_le16(out, 24);
    put_le32(out, bi_rgb);
    put_le32(out, static_cast<std::uint32_t>(data));
    put_le32(out, per_metre(image.xdpi));
    put_le32(out, per_metre(image.ydpi));
    put_le32(out, 0);
    put_le32(out, 0);
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
    out.clear();
    if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t offset = le32(data + 10);
    if (offset < 14 || offset > size) return false;
    Dib_Source dib;
    return dib.parse(data + 14, size - 14, data + offset, size - offset) && dib.decode(out);
}

}  // namespace platform
