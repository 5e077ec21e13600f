#include "platform/ximage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "platform/gdi_p.h"
#include "platform/image_codecs_p.h"
#include "platform/path.h"

namespace platform {

void Image_View::rgb_row(int y, std::uint8_t* out) const
{
    const std::uint8_t* p = row(y);
    for (int x = 0; x < width; ++x, p += 4, out += 3) {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
    }
}

bool read_surface(const Surface& s, std::vector<std::uint8_t>& pixels)
{
    if (s.width <= 0 || s.height <= 0 || !s.bits) return false;
    const auto w = static_cast<std::size_t>(s.width), h = static_cast<std::size_t>(s.height);
    if (w > max_image_bytes / 4 / h) return false;
    try {
        pixels.assign(w * h * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::uint8_t* p = pixels.data();
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x, p += 4) {
            const COLORREF c = s.get_pixel(x, y);
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
            p[3] = 0xFF;
        }
    }
    return true;
}

namespace {

using Encoder = bool (*)(const Image_View&, const char*);

Encoder encoder_for(DWORD type)
{
    switch (type) {
    case CXIMAGE_FORMAT_BMP: return encode_bmp;
    case CXIMAGE_FORMAT_GIF: return encode_gif;
    case CXIMAGE_FORMAT_JPG: return encode_jpeg;
    case CXIMAGE_FORMAT_PNG: return encode_png;
    case CXIMAGE_FORMAT_TIF: return encode_tiff;
    default: return nullptr;  // WMF holds drawing records, which a raster image does not have
    }
}

// The permissions a new file gets, as open(2) would give it under the process's umask. The
// umask is read from /proc rather than by setting it, which would race with other threads.
mode_t new_file_mode()
{
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value & 0777);
                break;
            }
        std::fclose(f);
    }
    return 0666 & ~mask;
}

}  // namespace
}  // namespace platform

using namespace platform;

CxImage::CxImage(DWORD image_type) : m_type(image_type) {}

bool CxImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE)
{
    Bitmap* b = find<Bitmap>(bitmap);
    if (!b) return false;
    std::vector<std::uint8_t> pixels;
    if (!read_surface(b->surface, pixels)) return false;
    m_pixels.swap(pixels);
    m_width = b->surface.width;
    m_height = b->surface.height;
    return true;
}

bool CxImage::Destroy()
{
    std::vector<std::uint8_t>().swap(m_pixels);
    m_width = 0;
    m_height = 0;
    return true;
}

void CxImage::SetXDPI(long dpi) { m_xdpi = std::max(1L, dpi); }
void CxImage::SetYDPI(long dpi) { m_ydpi = std::max(1L, dpi); }

bool CxImage::Save(const char* path, DWORD image_type)
{
    const Encoder encode = encoder_for(image_type);
    if (!encode || !IsValid() || !path || !*path) return false;
    char resolved[4096];
    if (!platform_resolve_path(path, resolved, sizeof resolved)) return false;
    const std::string target = resolved;

    // The new file is written under a temporary name in the same folder and renamed over the
    // target only when complete.
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : new_file_mode();
    const bool prepared = ::fchmod(fd, mode) == 0;
    ::close(fd);

    const Image_View view{m_width, m_height, m_pixels.data(), m_xdpi, m_ydpi};
    const bool ok = prepared && encode(view, temp.c_str()) && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

long CxImage::Draw(HDC hdc, long x, long y, long cx, long cy, RECT* clip, bool)
{
    Dc* dc = find_dc(hdc);
    Surface* s = dc ? dc_surface(*dc) : nullptr;
    if (!s || !IsValid()) return 0;
    if (cx < 1) cx = m_width;
    if (cy < 1) cy = m_height;
    // Target pixels in 128 bits: x + cx and the scaling products may pass 64 bits for the
    // absurd sizes a 64-bit long allows.
    using Wide = __int128;
    Wide x0 = std::max<Wide>(0, x), y0 = std::max<Wide>(0, y);
    Wide x1 = std::min<Wide>(s->width, Wide{x} + cx), y1 = std::min<Wide>(s->height, Wide{y} + cy);
    if (clip) {
        x0 = std::max<Wide>(x0, clip->left);
        y0 = std::max<Wide>(y0, clip->top);
        x1 = std::min<Wide>(x1, clip->right);
        y1 = std::min<Wide>(y1, clip->bottom);
    }
    for (Wide ty = y0; ty < y1; ++ty) {
        // Pixel centres map to the image pixel they fall in.
        const auto sy = static_cast<std::size_t>(((ty - y) * 2 + 1) * m_height / (Wide{2} * cy));
        const std::uint8_t* row = m_pixels.data() + sy * static_cast<std::size_t>(m_width) * 4;
        for (Wide tx = x0; tx < x1; ++tx) {
            const auto sx = static_cast<std::size_t>(((tx - x) * 2 + 1) * m_width / (Wide{2} * cx));
            const std::uint8_t* p = row + sx * 4;
            s->set_pixel(static_cast<int>(tx), static_cast<int>(ty), RGB(p[2], p[1], p[0]));
        }
    }
    return 1;
}

long CxImage::Draw(HDC hdc, const RECT& rect, RECT* clip, bool smooth)
{
    return Draw(hdc, rect.left, rect.top, static_cast<long>(rect.right) - rect.left,
                static_cast<long>(rect.bottom) - rect.top, clip, smooth);
}
