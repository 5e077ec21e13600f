#include "platform/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/gdi_p.h"
#include "platform/handle_table_p.h"
#include "platform/image_codecs_p.h"
#include "platform/ximage.h"

namespace platform {
namespace {

struct Metafile : Object {
    static constexpr Kind object_kind = Kind::metafile;
    Metafile() : Object(Kind::metafile) {}
    std::vector<BYTE> bytes;
};

std::uint32_t get16(const BYTE* p)
{
    return p[0] | (std::uint32_t{p[1]} << 8);
}
std::uint32_t get32(const BYTE* p)
{
    return get16(p) | (get16(p + 2) << 16);
}
std::int32_t get_long(const BYTE* p)
{
    return static_cast<std::int32_t>(get32(p));
}
std::int16_t get_short(const BYTE* p)
{
    return static_cast<std::int16_t>(get16(p));
}

constexpr std::uint32_t emr_header = 1;
constexpr std::uint32_t emr_eof = 14;
constexpr std::uint32_t emf_signature = 0x464D4520;  // " EMF"
constexpr std::uint32_t placeable_key = 0x9AC6CDD7;
constexpr long himetric_per_inch = 2540;
constexpr long raster_dpi = 96;
// Largest picture side taken, in 0.01 mm (about 21 km): beyond it the size is not a picture's.
constexpr long long max_himetric = 2147483647LL / 1000;

bool size_ok(long long w, long long h)
{
    return w > 0 && h > 0 && w <= max_himetric && h <= max_himetric;
}

// An enhanced metafile: a header record naming the file's length, then records of 8-byte
// multiples up to an end record.
bool emf_size(const BYTE* d, std::size_t n, LONG& w, LONG& h)
{
    if (n < 88 || get32(d) != emr_header || get32(d + 40) != emf_signature) return false;
    const std::uint32_t header_size = get32(d + 4), bytes = get32(d + 48);
    if (header_size < 88 || header_size > n || bytes != n) return false;
    // The records must chain to an end record that closes the file.
    std::size_t at = 0;
    bool ended = false;
    while (at + 8 <= n && !ended) {
        const std::uint32_t type = get32(d + at), size = get32(d + at + 4);
        if (size < 8 || size % 4 != 0 || size > n - at) return false;
        ended = type == emr_eof;
        at += size;
    }
    if (!ended || at != n) return false;
    const long long fw = static_cast<long long>(get_long(d + 32)) - get_long(d + 24);
    const long long fh = static_cast<long long>(get_long(d + 36)) - get_long(d + 28);
    if (!size_ok(fw, fh)) return false;
    w = static_cast<LONG>(fw), h = static_cast<LONG>(fh);
    return true;
}

// A placeable metafile: a 22-byte header with its own checksum (the XOR of its first ten
// words), then a standard metafile header.
bool placeable_size(const BYTE* d, std::size_t n, LONG& w, LONG& h)
{
    if (n < 22 + 18 || get32(d) != placeable_key) return false;
    std::uint32_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= get16(d + 2 * i);
    if (sum != get16(d + 20)) return false;
    const long long left = get_short(d + 6), top = get_short(d + 8), right = get_short(d + 10),
                    bottom = get_short(d + 12);
    const long long inch = get16(d + 14);
    const BYTE* m = d + 22;
    const std::uint32_t type = get16(m), header_words = get16(m + 2), total_words = get32(m + 6);
    if ((type != 1 && type != 2) || header_words != 9 || inch == 0) return false;
    if (total_words < 9 || std::uint64_t{total_words} * 2 > n - 22) return false;
    const long long fw = std::llabs(right - left) * himetric_per_inch / inch;
    const long long fh = std::llabs(bottom - top) * himetric_per_inch / inch;
    if (!size_ok(fw, fh)) return false;
    w = static_cast<LONG>(fw), h = static_cast<LONG>(fh);
    return true;
}

}  // namespace
}  // namespace platform

using namespace platform;

HENHMETAFILE SetWinMetaFileBits(UINT size, const BYTE* bits, HDC, const METAFILEPICT*)
{
    if (!bits || size == 0 || size > max_file_bytes) return nullptr;
    auto mf = std::make_unique<Metafile>();
    try {
        mf->bytes.assign(bits, bits + size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return static_cast<HENHMETAFILE>(add_object(std::move(mf)));
}

UINT GetEnhMetaFileBits(HENHMETAFILE emf, UINT size, BYTE* buffer)
{
    const Metafile* mf = find<Metafile>(emf);
    if (!mf) return 0;
    const auto n = static_cast<UINT>(mf->bytes.size());
    if (!buffer) return n;
    if (size < n) return 0;
    std::memcpy(buffer, mf->bytes.data(), n);
    return n;
}

BOOL PlayEnhMetaFile(HDC, HENHMETAFILE, const RECT*)
{
    return FALSE;
}

BOOL DeleteEnhMetaFile(HENHMETAFILE emf)
{
    return remove_object(emf, Kind::metafile) ? TRUE : FALSE;
}

std::unique_ptr<Platform_Picture> Platform_Picture::load(const BYTE* data, std::size_t size)
{
    if (!data || size == 0 || size > max_file_bytes) return nullptr;
    std::unique_ptr<Platform_Picture> p(new (std::nothrow) Platform_Picture);
    if (!p) return nullptr;
    LONG w = 0, h = 0;
    if (emf_size(data, size, w, h)) {
        p->m_kind = Kind::Enhanced_Metafile;
    } else if (placeable_size(data, size, w, h)) {
        p->m_kind = Kind::Placeable_Metafile;
    } else {
        auto image = std::make_unique<CxImage>(data, static_cast<DWORD>(size), CXIMAGE_FORMAT_UNKNOWN);
        if (!image->IsValid()) return nullptr;
        const long long fw = static_cast<long long>(image->GetWidth()) * himetric_per_inch / raster_dpi;
        const long long fh = static_cast<long long>(image->GetHeight()) * himetric_per_inch / raster_dpi;
        if (!size_ok(fw, fh)) return nullptr;
        w = static_cast<LONG>(fw), h = static_cast<LONG>(fh);
        p->m_kind = Kind::Raster;
        p->m_image = std::move(image);
    }
    try {
        p->m_bytes.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    p->m_width = w;
    p->m_height = h;
    return p;
}

std::unique_ptr<Platform_Picture> Platform_Picture::load_file(const char* path, std::size_t max)
{
    std::vector<BYTE> bytes;
    if (!read_file(path, std::min(max, max_file_bytes), bytes)) return nullptr;
    return load(bytes.data(), bytes.size());
}

Platform_Picture::~Platform_Picture() = default;

HRESULT Platform_Picture::get_Width(LONG* width) const
{
    if (!width) return E_POINTER;
    *width = m_width;
    return S_OK;
}

HRESULT Platform_Picture::get_Height(LONG* height) const
{
    if (!height) return E_POINTER;
    *height = m_height;
    return S_OK;
}

HRESULT Platform_Picture::Render(HDC hdc, long x, long y, long cx, long cy, long xsrc, long ysrc, long cxsrc,
                                 long cysrc, const RECT*) const
{
    Dc* dc = find_dc(hdc);
    Surface* s = dc ? dc_surface(*dc) : nullptr;
    if (!s || cx == 0 || cy == 0 || cxsrc == 0 || cysrc == 0) return E_FAIL;
    if (!m_image) return E_NOTIMPL;
    const CxImage& image = *m_image;
    const double iw = image.GetWidth(), ih = image.GetHeight();
    // The target's pixel range, clipped to the surface in double arithmetic.
    const double tx0 = std::fmax(0.0, std::fmin(double(x), double(x) + cx));
    const double tx1 = std::fmin(double(s->width), std::fmax(double(x), double(x) + cx));
    const double ty0 = std::fmax(0.0, std::fmin(double(y), double(y) + cy));
    const double ty1 = std::fmin(double(s->height), std::fmax(double(y), double(y) + cy));
    for (long ty = static_cast<long>(ty0); ty < ty1; ++ty) {
        // Source y in 0.01 mm from the picture's bottom, as pictures count it.
        const double v = ysrc + (ty + 0.5 - y) / cy * cysrc;
        const double py = std::floor(v * ih / m_height);
        if (py < 0 || py >= ih) continue;
        for (long tx = static_cast<long>(tx0); tx < tx1; ++tx) {
            const double u = xsrc + (tx + 0.5 - x) / cx * cxsrc;
            const double px = std::floor(u * iw / m_width);
            if (px < 0 || px >= iw) continue;
            const RGBQUAD c = image.GetPixelColor(static_cast<long>(px), static_cast<long>(py), true);
            unsigned a = image.AlphaIsValid() ? c.rgbReserved : 255;
            if (a == 0) continue;
            const COLORREF under = s->get_pixel(static_cast<int>(tx), static_cast<int>(ty));
            s->set_pixel(static_cast<int>(tx), static_cast<int>(ty),
                         RGB(blend_channel(c.rgbRed, GetRValue(under), a),
                             blend_channel(c.rgbGreen, GetGValue(under), a),
                             blend_channel(c.rgbBlue, GetBValue(under), a)));
        }
    }
    return S_OK;
}
