#include "platform/dib_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/bytes_p.h"
#include "platform/gdi.h"
#include "platform/gdi_draw_p.h"
#include "platform/image_codecs_p.h"

namespace platform {
namespace {

long per_inch(std::int32_t ppm)
{
    return ppm > 0 ? std::max(1L, std::lround(ppm * 0.0254)) : 96;
}

// One channel out of a masked pixel value, scaled to 8 bits.
std::uint8_t channel(std::uint32_t v, std::uint32_t mask)
{
    if (!mask) return 0;
    const int shift = __builtin_ctz(mask);
    const std::uint64_t max = mask >> shift;
    const std::uint64_t c = (v & mask) >> shift;
    return static_cast<std::uint8_t>((c * 255 + max / 2) / max);
}

constexpr std::uint32_t bi_rgb = 0, bi_bitfields = 3;

// What the header says, before any row is looked at.
struct Header {
    long long width = 0, height = 0;
    unsigned bits = 0;
    std::uint32_t compression = bi_rgb;
    std::uint32_t colours = 0;  // table entries that follow
    std::size_t entry = 4;      // bytes per table entry
    std::size_t table_at = 0;   // where the table starts
    std::uint32_t masks[4] = {0, 0, 0, 0};
    std::int32_t xppm = 0, yppm = 0;
};

bool read_header(const std::uint8_t* h, std::size_t n, Header& out)
{
    if (!h || n < 12) return false;
    const std::uint32_t size = le32(h);
    if (size != 12 && size < 40) return false;
    if (size > n) return false;
    Header r;
    if (size == 12) {
        r.width = le16(h + 4);
        r.height = static_cast<std::int16_t>(le16(h + 6));
        if (le16(h + 8) != 1) return false;
        r.bits = le16(h + 10);
        r.entry = 3;
    } else {
        r.width = static_cast<std::int32_t>(le32(h + 4));
        r.height = static_cast<std::int32_t>(le32(h + 8));
        if (le16(h + 12) != 1) return false;
        r.bits = le16(h + 14);
        r.compression = le32(h + 16);
        r.xppm = static_cast<std::int32_t>(le32(h + 24));
        r.yppm = static_cast<std::int32_t>(le32(h + 28));
        r.colours = le32(h + 32);
    }
    if (r.width <= 0 || r.height == 0) return false;
    const unsigned b = r.bits;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return false;
    if (!(r.compression == bi_rgb || (r.compression == bi_bitfields && (b == 16 || b == 32)))) return false;
    r.table_at = size;
    if (r.compression == bi_bitfields) {
        if (size == 40) {
            if (n < 40 + 12) return false;
            for (int i = 0; i < 3; ++i) r.masks[i] = le32(h + 40 + 4 * i);
            r.table_at += 12;
        } else {
            if (size < 52) return false;
            for (int i = 0; i < 3; ++i) r.masks[i] = le32(h + 40 + 4 * i);
            if (size >= 56) r.masks[3] = le32(h + 52);
        }
    } else if (b == 16) {
        r.masks[0] = 0x7C00, r.masks[1] = 0x03E0, r.masks[2] = 0x001F;
    } else if (b == 32) {
        r.masks[0] = 0xFF0000, r.masks[1] = 0xFF00, r.masks[2] = 0xFF;
    }
    if (b <= 8) {
        const std::uint32_t most = 1u << b;
        if (r.colours == 0) r.colours = most;
        if (r.colours > most) return false;
    }
    out = r;
    return true;
}

std::size_t stride_of(const Header& h)
{
    return (static_cast<std::size_t>(h.width) * h.bits + 31) / 32 * 4;
}

long long rows_of(const Header& h)
{
    return h.height < 0 ? -h.height : h.height;
}

}  // namespace

std::size_t Dib_Source::info_bytes(const std::uint8_t* info, std::size_t available)
{
    Header h;
    if (!read_header(info, available, h)) return 0;
    return h.table_at + std::size_t{h.colours} * h.entry;
}

std::size_t Dib_Source::bits_bytes(const std::uint8_t* info, std::size_t available)
{
    Header h;
    if (!read_header(info, available, h)) return 0;
    const std::size_t stride = stride_of(h);
    const auto rows = static_cast<std::size_t>(rows_of(h));
    if (stride > SIZE_MAX / rows) return 0;
    return stride * rows;
}

bool Dib_Source::parse(const std::uint8_t* info, std::size_t info_size, const std::uint8_t* bits,
                       std::size_t bits_size)
{
    Header h;
    if (!read_header(info, info_size, h) || !bits) return false;
    // A table beside rows of more than 8 bits is not used.
    const std::size_t table = h.bits <= 8 ? std::size_t{h.colours} * h.entry : 0;
    if (h.table_at > info_size || table > info_size - h.table_at) return false;
    const std::size_t stride = stride_of(h);
    const long long rows = rows_of(h);
    if (stride == 0 || stride > bits_size / static_cast<std::size_t>(rows)) return false;
    m_palette.assign(h.bits <= 8 ? (std::size_t{1} << h.bits) : 0, RGBQUAD{0, 0, 0, 0});
    for (std::uint32_t i = 0; i < m_palette.size() && i < h.colours; ++i) {
        const std::uint8_t* e = info + h.table_at + i * h.entry;
        m_palette[i] = RGBQUAD{e[0], e[1], e[2], 255};
    }
    m_width = static_cast<int>(h.width);
    m_height = static_cast<int>(rows);
    m_top_down = h.height < 0;
    m_bits = h.bits;
    m_stride = stride;
    m_rows = bits;
    std::memcpy(m_masks, h.masks, sizeof m_masks);
    m_xdpi = per_inch(h.xppm);
    m_ydpi = per_inch(h.yppm);
    return true;
}

RGBQUAD Dib_Source::at(int x, int y) const
{
    const std::uint8_t* row = m_rows + m_stride * static_cast<std::size_t>(m_top_down ? y : m_height - 1 - y);
    if (m_bits <= 8) {
        const std::size_t bit = static_cast<std::size_t>(x) * m_bits;
        const unsigned index = (row[bit / 8] >> (8 - m_bits - bit % 8)) & ((1u << m_bits) - 1);
        return m_palette[index];
    }
    if (m_bits == 24) {
        const std::uint8_t* s = row + 3 * static_cast<std::size_t>(x);
        return RGBQUAD{s[0], s[1], s[2], 255};
    }
    const std::uint32_t v =
        m_bits == 16 ? le16(row + 2 * static_cast<std::size_t>(x)) : le32(row + 4 * static_cast<std::size_t>(x));
    return RGBQUAD{channel(v, m_masks[2]), channel(v, m_masks[1]), channel(v, m_masks[0]),
                   static_cast<BYTE>(m_masks[3] ? channel(v, m_masks[3]) : 255)};
}

bool Dib_Source::decode(Decoded_Image& out) const
{
    if (!out.allocate(m_width, m_height)) return false;
    out.xdpi = m_xdpi;
    out.ydpi = m_ydpi;
    out.alpha = has_alpha();
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* p = out.row(y);
        for (int x = 0; x < m_width; ++x, p += 4) {
            const RGBQUAD c = at(x, y);
            p[0] = c.rgbBlue, p[1] = c.rgbGreen, p[2] = c.rgbRed, p[3] = c.rgbReserved;
        }
    }
    return true;
}

}  // namespace platform

using namespace platform;

int StretchDIBits(HDC hdc, int xd, int yd, int wd, int hd, int xs, int ys, int ws, int hs, const void* bits,
                  const BITMAPINFO* bmi, UINT usage, DWORD rop)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !bits || !bmi || usage != DIB_RGB_COLORS) return 0;
    if (rop != SRCCOPY && rop != SRCAND && rop != SRCPAINT && rop != SRCINVERT) return 0;
    record_call(*dc, "StretchDIBits", {xd, yd, wd, hd, xs, ys, ws, hs, static_cast<long long>(rop)});
    // The caller vouches for the memory, as GDI's callers do: the sizes come from the header.
    const auto* info = reinterpret_cast<const std::uint8_t*>(bmi);
    const std::size_t info_size = Dib_Source::info_bytes(info, SIZE_MAX);
    const std::size_t bits_size = Dib_Source::bits_bytes(info, SIZE_MAX);
    Dib_Source dib;
    if (!info_size || !bits_size || !dib.parse(info, info_size, static_cast<const std::uint8_t*>(bits), bits_size))
        return 0;
    if (wd == 0 || hd == 0 || ws == 0 || hs == 0) return 0;
    if (records_only(*dc)) return std::abs(hs);
    Surface* s = dc_surface(*dc);
    if (!s || !s->bits) return 0;
    const Pixel_Box box = drawable_box(*dc, *s);
    // The source rectangle's rows counted from the top: a bottom-up DIB counts ys from its
    // bottom row, and its top still lands at the top of the target.
    const double sy0 = dib.top_down() ? ys : static_cast<double>(dib.height()) - ys - hs;
    const long long tx0 = std::max<long long>(box.x0, std::min<long long>(xd, static_cast<long long>(xd) + wd));
    const long long tx1 = std::min<long long>(box.x1, std::max<long long>(xd, static_cast<long long>(xd) + wd));
    const long long ty0 = std::max<long long>(box.y0, std::min<long long>(yd, static_cast<long long>(yd) + hd));
    const long long ty1 = std::min<long long>(box.y1, std::max<long long>(yd, static_cast<long long>(yd) + hd));
    for (long long ty = ty0; ty < ty1; ++ty) {
        const double r = std::floor(sy0 + (ty + 0.5 - yd) * hs / hd);
        if (!(r >= 0 && r < dib.height())) continue;
        for (long long tx = tx0; tx < tx1; ++tx) {
            const double c = std::floor(xs + (tx + 0.5 - xd) * ws / wd);
            if (!(c >= 0 && c < dib.width())) continue;
            const RGBQUAD q = dib.at(static_cast<int>(c), static_cast<int>(r));
            COLORREF v = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
            const int px = static_cast<int>(tx), py = static_cast<int>(ty);
            if (rop != SRCCOPY) {
                const COLORREF under = s->get_pixel(px, py);
                v = rop == SRCAND ? (v & under) : rop == SRCPAINT ? (v | under) : (v ^ under);
            }
            s->set_pixel(px, py, v);
        }
    }
    return std::abs(hs);
}
