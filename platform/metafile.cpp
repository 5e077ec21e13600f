#include "platform/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/gdi.h"
#include "platform/gdi_p.h"
#include "platform/handle_table_p.h"
#include "platform/image_codecs_p.h"
#include "platform/metafile_player_p.h"
#include "platform/ximage.h"

namespace platform {
namespace {

struct Metafile : Object {
    static constexpr Kind object_kind = Kind::metafile;
    Metafile() : Object(Kind::metafile) {}
    std::vector<BYTE> bytes;
};

constexpr long long himetric_per_inch = 2540;
constexpr long long raster_dpi = 96;
// Largest picture side taken, in 0.01 mm (about 21 km): beyond it the size is not a picture's.
constexpr long long max_himetric = 2147483647LL / 1000;

bool size_ok(long long w, long long h)
{
    return w > 0 && h > 0 && w <= max_himetric && h <= max_himetric;
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

BOOL PlayEnhMetaFile(HDC hdc, HENHMETAFILE emf, const RECT* rect)
{
    const Metafile* mf = find<Metafile>(emf);
    if (!mf || !rect || !find_dc(hdc)) return FALSE;
    const Play_Target target{double(rect->left), double(rect->top), double(rect->right), double(rect->bottom)};
    return play_metafile(hdc, mf->bytes.data(), mf->bytes.size(), target) ? TRUE : FALSE;
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
    Metafile_Size ms;
    const Metafile_Kind mk = metafile_kind(data, size);
    if ((mk == Metafile_Kind::emf || mk == Metafile_Kind::placeable_wmf) && metafile_size(data, size, ms)) {
        p->m_kind = mk == Metafile_Kind::emf ? Kind::Enhanced_Metafile : Kind::Placeable_Metafile;
        w = static_cast<LONG>(ms.himetric_w), h = static_cast<LONG>(ms.himetric_h);
    } else if (mk != Metafile_Kind::none) {
        return nullptr;
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
    if (!m_image) {
        // The frame's edges where the source rectangle lands on the target (source y counts
        // from the picture's bottom), drawn only inside the target rectangle.
        const double kx = double(cx) / cxsrc, ky = double(cy) / cysrc;
        const Play_Target frame{x - xsrc * kx, y + (m_height - ysrc) * ky, x + (m_width - xsrc) * kx, y - ysrc * ky};
        const int saved = SaveDC(hdc);
        if (saved <= 0) return E_FAIL;
        const auto edge = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX)); };
        IntersectClipRect(hdc, edge(std::min<long long>(x, x + cx)), edge(std::min<long long>(y, y + cy)),
                          edge(std::max<long long>(x, x + cx)), edge(std::max<long long>(y, y + cy)));
        const bool played = play_metafile(hdc, m_bytes.data(), m_bytes.size(), frame);
        RestoreDC(hdc, saved);
        return played ? S_OK : E_FAIL;
    }
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
