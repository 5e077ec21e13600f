// Windows icons (ICO) and cursors, our own code around the DIB reader and the PNG codec. Read:
// the largest image of the directory (the deepest of equal ones), a DIB with its mask (a set
// mask bit is transparent; 32-bit images carry their own opacity) or a PNG. Written: one 32-bit
// DIB with its mask, at most 256 pixels a side.

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/dib_p.h"
#include "platform/image_codecs_p.h"

namespace platform {

bool decode_ico(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 6 || le16(data) != 0 || (le16(data + 2) != 1 && le16(data + 2) != 2)) return false;
    const std::size_t count = le16(data + 4);
    if (count == 0 || count > (size - 6) / 16) return false;
    // The entry to read: the largest, then the deepest.
    std::size_t best = count;
    unsigned long long best_area = 0;
    unsigned best_bits = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = data + 6 + 16 * i;
        const unsigned long long w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        const unsigned bits = le16(e + 6);
        if (w * h > best_area || (w * h == best_area && bits > best_bits)) best = i, best_area = w * h, best_bits = bits;
    }
    const std::uint8_t* e = data + 6 + 16 * best;
    const std::size_t length = le32(e + 8), offset = le32(e + 12);
    if (offset > size || length > size - offset || length < 8) return false;
    const std::uint8_t* image = data + offset;
    if (std::memcmp(image, "\x89PNG", 4) == 0) {
        Decoded_Image png = out.fresh();
        if (!decode_png(image, length, png)) return out.failed_as(png);
        out = std::move(png);
        return true;
    }
    // A DIB whose height counts the image and its mask: read with half the height.
    if (length < 40 || le32(image) < 40) return false;
    const std::size_t info = Dib_Source::info_bytes(image, length);
    if (info == 0 || info > length) return false;
    std::vector<std::uint8_t> header(image, image + info);
    const std::int32_t full = le32s(image + 8);
    if (full <= 0 || full % 2) return false;
    const std::int32_t h = full / 2;
    for (int k = 0; k < 4; ++k) header[8 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(h) >> (8 * k));
    Dib_Source dib;
    if (!dib.parse(header.data(), header.size(), image + info, length - info)) return false;
    const std::size_t colour_bytes = Dib_Source::bits_bytes(header.data(), header.size());
    const std::size_t mask_row = (static_cast<std::size_t>(dib.width()) + 31) / 32 * 4;
    const bool has_mask = length - info - colour_bytes >= mask_row * static_cast<std::size_t>(h);
    if (!dib.decode(out)) return false;
    const std::uint8_t* mask = image + info + colour_bytes;
    const unsigned bits = le16(image + 14);
    // 32-bit icons keep opacity in each pixel's fourth byte; all zero means an old icon.
    bool own_alpha = false;
    if (bits == 32) {
        const std::uint8_t* rows = image + info;
        for (std::size_t i = 3; i < colour_bytes && !own_alpha; i += 4) own_alpha = rows[i] != 0;
    }
    out.alpha = own_alpha || has_mask;
    for (int y = 0; y < out.height; ++y) {
        std::uint8_t* q = out.row(y);
        const std::size_t from_bottom = static_cast<std::size_t>(out.height - 1 - y);
        for (int x = 0; x < out.width; ++x, q += 4) {
            if (own_alpha) {
                q[3] = image[info + from_bottom * static_cast<std::size_t>(dib.width()) * 4 + static_cast<std::size_t>(x) * 4 + 3];
            } else if (has_mask) {
                const bool clear = (mask[from_bottom * mask_row + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1;
                q[3] = clear ? 0 : 0xFF;
            }
        }
    }
    return true;
}

bool encode_ico(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0 || image.width > 256 || image.height > 256) return false;
    const std::size_t w = static_cast<std::size_t>(image.width), h = static_cast<std::size_t>(image.height);
    const std::size_t mask_row = (w + 31) / 32 * 4;
    const std::size_t bytes = 40 + w * h * 4 + mask_row * h;
    out.clear();
    put_le16(out, 0), put_le16(out, 1), put_le16(out, 1);
    out.push_back(static_cast<std::uint8_t>(w & 0xFF)), out.push_back(static_cast<std::uint8_t>(h & 0xFF));
    out.push_back(0), out.push_back(0);
    put_le16(out, 1), put_le16(out, 32);
    put_le32(out, static_cast<std::uint32_t>(bytes)), put_le32(out, 22);
    put_le32(out, 40), put_le32(out, static_cast<std::uint32_t>(w)), put_le32(out, static_cast<std::uint32_t>(2 * h));
    put_le16(out, 1), put_le16(out, 32);
    for (int i = 0; i < 6; ++i) put_le32(out, 0);
    for (std::size_t y = h; y-- > 0;) {
        const std::uint8_t* p = image.row(static_cast<int>(y));
        for (std::size_t x = 0; x < w; ++x, p += 4)
            out.push_back(p[0]), out.push_back(p[1]), out.push_back(p[2]), out.push_back(image.alpha ? p[3] : 0xFF);
    }
    for (std::size_t y = h; y-- > 0;) {
        const std::size_t at = out.size();
        out.resize(at + mask_row, 0);
        const std::uint8_t* p = image.row(static_cast<int>(y));
        for (std::size_t x = 0; x < w; ++x, p += 4)
            if (image.alpha && p[3] == 0) out[at + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return true;
}

}  // namespace platform
