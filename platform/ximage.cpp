#include "platform/ximage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/gdi_p.h"
#include "platform/image_codecs_p.h"
#include "platform/metafile_player_p.h"
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

void Image_View::rgba_row(int y, std::uint8_t* out) const
{
    const std::uint8_t* p = row(y);
    for (int x = 0; x < width; ++x, p += 4, out += 4) {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = p[3];
    }
}

void Decoded_Image::clear()
{
    Decoded_Image empty = fresh();
    *this = std::move(empty);
}

Decoded_Image Decoded_Image::fresh() const
{
    Decoded_Image d;
    d.max_pixels = max_pixels;
    return d;
}

bool Decoded_Image::failed_as(const Decoded_Image& attempt)
{
    clear();
    refusal = attempt.refusal;
    return false;
}

bool Decoded_Image::fits(long long w, long long h)
{
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
    const auto uw = static_cast<std::size_t>(w), uh = static_cast<std::size_t>(h);
    if (uw > max_image_bytes / 4 / uh || uw * uh > max_pixels) {
        refusal = Refusal::over_limit;
        return false;
    }
    return true;
}

bool Decoded_Image::allocate(long long w, long long h)
{
    clear();
    if (!fits(w, h)) return false;
    const auto uw = static_cast<std::size_t>(w), uh = static_cast<std::size_t>(h);
    try {
        pixels.resize(uw * uh * 4);
    } catch (const std::bad_alloc&) {
        refusal = Refusal::no_memory;
        return false;
    }
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
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

using Encoder = bool (*)(const Image_View&, Bytes_Out&);
using Decoder = bool (*)(const std::uint8_t*, std::size_t, Decoded_Image&);

Encoder encoder_for(DWORD type)
{
    switch (type) {
    case CXIMAGE_FORMAT_BMP: return encode_bmp;
    case CXIMAGE_FORMAT_GIF: return encode_gif;
    case CXIMAGE_FORMAT_JPG: return encode_jpeg;
    case CXIMAGE_FORMAT_PNG: return encode_png;
    case CXIMAGE_FORMAT_ICO: return encode_ico;
    case CXIMAGE_FORMAT_TIF: return encode_tiff;
    case CXIMAGE_FORMAT_TGA: return encode_tga;
    case CXIMAGE_FORMAT_PCX: return encode_pcx;
    case CXIMAGE_FORMAT_WBMP: return encode_wbmp;
    case CXIMAGE_FORMAT_WMF: return encode_wmf;
    case CXIMAGE_FORMAT_JP2: return encode_jp2;
    case CXIMAGE_FORMAT_JPC: return encode_j2k;
    case CXIMAGE_FORMAT_PGX: return encode_pgx;
    case CXIMAGE_FORMAT_PNM: return encode_pnm;
    case CXIMAGE_FORMAT_RAS: return encode_ras;
    default: return nullptr;
    }
}

Decoder decoder_for(DWORD type)
{
    switch (type) {
    case CXIMAGE_FORMAT_BMP: return decode_bmp;
    case CXIMAGE_FORMAT_GIF: return decode_gif;
    case CXIMAGE_FORMAT_JPG: return decode_jpeg;
    case CXIMAGE_FORMAT_PNG: return decode_png;
    case CXIMAGE_FORMAT_ICO: return decode_ico;
    case CXIMAGE_FORMAT_TIF: return decode_tiff;
    case CXIMAGE_FORMAT_TGA: return decode_tga;
    case CXIMAGE_FORMAT_PCX: return decode_pcx;
    case CXIMAGE_FORMAT_WBMP: return decode_wbmp;
    case CXIMAGE_FORMAT_WMF: return decode_metafile;
    case CXIMAGE_FORMAT_JP2: return decode_jp2;
    case CXIMAGE_FORMAT_JPC: return decode_j2k;
    case CXIMAGE_FORMAT_PGX: return decode_pgx;
    case CXIMAGE_FORMAT_PNM: return decode_pnm;
    case CXIMAGE_FORMAT_RAS: return decode_ras;
    default: return nullptr;
    }
}

// The type a file's signature names; unknown for none of ours. Targa and WBMP have no
// signature: they are read only when asked for by type.
DWORD sniff_type(const std::uint8_t* p, std::size_t n)
{
    auto starts = [&](const char* sig, std::size_t k) { return n >= k && std::memcmp(p, sig, k) == 0; };
    if (starts("BM", 2)) return CXIMAGE_FORMAT_BMP;
    if (starts("GIF8", 4)) return CXIMAGE_FORMAT_GIF;
    if (starts("\xFF\xD8\xFF", 3)) return CXIMAGE_FORMAT_JPG;
    if (starts("\x89PNG", 4)) return CXIMAGE_FORMAT_PNG;
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return CXIMAGE_FORMAT_TIF;
    if (starts("\0\0\1\0", 4) || starts("\0\0\2\0", 4)) return CXIMAGE_FORMAT_ICO;
    if (n >= 3 && p[0] == 0x0A && p[1] <= 5 && p[2] <= 1) return CXIMAGE_FORMAT_PCX;
    if (metafile_kind(p, n) != Metafile_Kind::none) return CXIMAGE_FORMAT_WMF;
    if (starts("\0\0\0\x0CjP  ", 8)) return CXIMAGE_FORMAT_JP2;
    if (starts("\xFF\x4F\xFF\x51", 4)) return CXIMAGE_FORMAT_JPC;
    if (starts("PG", 2)) return CXIMAGE_FORMAT_PGX;
    if (n >= 2 && p[0] == 'P' && p[1] >= '1' && p[1] <= '6') return CXIMAGE_FORMAT_PNM;
    if (starts("\x59\xA6\x6A\x95", 4)) return CXIMAGE_FORMAT_RAS;
    return CXIMAGE_FORMAT_UNKNOWN;
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

bool read_file(const char* path, std::size_t max, std::vector<std::uint8_t>& out)
{
    char resolved[4096];
    if (!path || !*path || !platform_resolve_path(path, resolved, sizeof resolved)) return false;
    std::FILE* f = std::fopen(resolved, "rb");
    if (!f) return false;
    bool ok = true;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0) break;
        if (n > max || bytes.size() > max - n) {
            ok = false;
            break;
        }
        try {
            bytes.insert(bytes.end(), chunk, chunk + n);
        } catch (const std::bad_alloc&) {
            ok = false;
            break;
        }
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    if (ok) out.swap(bytes);
    return ok;
}

bool write_file_atomically(const char* path, const std::vector<std::uint8_t>& bytes)
{
    char resolved[4096];
    if (!platform_resolve_path(path, resolved, sizeof resolved)) return false;
    const std::string target = resolved;
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : new_file_mode();
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace platform

using namespace platform;

CxImage::CxImage(DWORD image_type) : m_type(image_type) {}

CxImage::CxImage(const BYTE* buffer, DWORD size, DWORD image_type) : m_type(image_type)
{
    (void)Decode(buffer, size, image_type);
}

CxImage::CxImage(const BYTE* buffer, DWORD size, DWORD image_type, unsigned long long max_pixels)
    : m_type(image_type)
{
    (void)Decode(buffer, size, image_type, max_pixels);
}

CxImage::CxImage(const char* path, DWORD image_type) : CxImage(path, image_type, max_image_bytes / 4) {}

CxImage::CxImage(const char* path, DWORD image_type, unsigned long long max_pixels) : m_type(image_type)
{
    std::vector<std::uint8_t> bytes;
    if (read_file(path, max_file_bytes, bytes) && bytes.size() <= 0xFFFFFFFFu)
        (void)Decode(bytes.data(), static_cast<DWORD>(bytes.size()), image_type, max_pixels);
}

CxImage::CxImage(const CxImage& source, bool copy_pixels, bool, bool copy_alpha)
    : m_type(source.m_type),
      m_xdpi(source.m_xdpi),
      m_ydpi(source.m_ydpi),
      m_trans_index(source.m_trans_index),
      m_trans_colour(source.m_trans_colour)
{
    if (!copy_pixels) return;
    m_pixels = source.m_pixels;
    m_width = source.m_width;
    m_height = source.m_height;
    m_alpha = source.m_alpha;
    m_encoded = source.m_encoded;
    m_encoded_type = source.m_encoded_type;
    m_decoded = source.m_decoded;
    if (!copy_alpha) AlphaDelete();
}

CxImage& CxImage::operator=(const CxImage& source)
{
    if (this != &source) {
        CxImage copy(source, true, true, true);
        *this = std::move(copy);
    }
    return *this;
}

CxImage::~CxImage() = default;

bool CxImage::Create(DWORD width, DWORD height, DWORD, DWORD image_type)
{
    Decoded_Image image;
    if (!image.allocate(width, height)) return false;
    Destroy();
    m_pixels.swap(image.pixels);
    m_width = image.width;
    m_height = image.height;
    m_type = image_type;
    return true;
}

bool CxImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE)
{
    Bitmap* b = find<Bitmap>(bitmap);
    if (!b) return false;
    std::vector<std::uint8_t> pixels;
    if (!read_surface(b->surface, pixels)) return false;
    Destroy();
    m_pixels.swap(pixels);
    m_width = b->surface.width;
    m_height = b->surface.height;
    return true;
}

bool CxImage::Decode(const BYTE* buffer, DWORD size, DWORD image_type)
{
    return Decode(buffer, size, image_type, max_image_bytes / 4);
}

bool CxImage::Decode(const BYTE* buffer, DWORD size, DWORD image_type, unsigned long long max_pixels)
{
    Destroy();
    m_type = image_type;
    m_decoded = Decode_Result::not_decoded;
    if (!buffer || size == 0) return false;
    const DWORD type = image_type == CXIMAGE_FORMAT_UNKNOWN ? sniff_type(buffer, size) : image_type;
    const Decoder decode = decoder_for(type);
    Decoded_Image image;
    image.max_pixels = std::min<unsigned long long>(max_pixels, max_image_bytes / 4);
    bool decoded = false;
    try {
        decoded = decode && decode(buffer, size, image);
    } catch (const std::bad_alloc&) {
        image.refusal = Refusal::no_memory;
    }
    // The bytes are kept whether they decode or not: saved again in their type they come back
    // unchanged, so an image this class cannot show is still not lost.
    try {
        m_encoded.assign(buffer, buffer + size);
    } catch (const std::bad_alloc&) {
        m_decoded = Decode_Result::out_of_memory;
        return false;
    }
    m_encoded_type = decoded ? type : image_type;
    if (!decoded) {
        m_decoded = image.refusal == Refusal::over_limit  ? Decode_Result::over_limit
                    : image.refusal == Refusal::no_memory ? Decode_Result::out_of_memory
                                                          : Decode_Result::not_decoded;
        return false;
    }
    m_decoded = Decode_Result::decoded;
    m_type = type;
    m_pixels.swap(image.pixels);
    m_width = image.width;
    m_height = image.height;
    m_alpha = image.alpha;
    m_xdpi = image.xdpi;
    m_ydpi = image.ydpi;
    return true;
}

bool CxImage::Destroy()
{
    std::vector<std::uint8_t>().swap(m_pixels);
    pixels_changed();
    m_width = 0;
    m_height = 0;
    m_alpha = false;
    return true;
}

void CxImage::SetXDPI(long dpi)
{
    m_xdpi = std::max(1L, dpi);
}
void CxImage::SetYDPI(long dpi)
{
    m_ydpi = std::max(1L, dpi);
}

bool CxImage::Encode(BYTE*& buffer, long& size, DWORD image_type)
{
    std::vector<std::uint8_t> bytes;
    const std::vector<std::uint8_t>* result = &bytes;
    if (!m_encoded.empty() && (image_type == m_encoded_type || image_type == CXIMAGE_FORMAT_UNKNOWN)) {
        result = &m_encoded;
    } else if (!IsValid()) {
        return false;
    } else {
        const Encoder encode = encoder_for(image_type);
        const Image_View view{m_width, m_height, m_pixels.data(), m_xdpi, m_ydpi, m_alpha};
        bool ok = encode != nullptr;
        try {
            ok = ok && encode(view, bytes);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (!ok || bytes.empty()) return false;
    }
    if (result->size() > static_cast<std::size_t>(LONG_MAX)) return false;
    auto* out = static_cast<BYTE*>(std::malloc(result->size()));
    if (!out) return false;
    std::memcpy(out, result->data(), result->size());
    buffer = out;
    size = static_cast<long>(result->size());
    return true;
}

void CxImage::FreeMemory(void* buffer)
{
    std::free(buffer);
}

const std::uint8_t* CxImage::pixel_at(long x, long y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return nullptr;
    const auto top = static_cast<std::size_t>(m_height - 1 - y);
    return m_pixels.data() + (top * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)) * 4;
}

long CxImage::GetPixelIndex(long, long) const
{
    return 0;
}

RGBQUAD CxImage::GetPixelColor(long x, long y, bool get_alpha) const
{
    const std::uint8_t* p = pixel_at(x, y);
    if (!p) return RGBQUAD{0, 0, 0, 0};
    return RGBQUAD{p[0], p[1], p[2], static_cast<BYTE>(get_alpha ? p[3] : 0)};
}

void CxImage::SetPixelColor(long x, long y, RGBQUAD c, bool set_alpha)
{
    auto* p = const_cast<std::uint8_t*>(pixel_at(x, y));
    if (!p) return;
    pixels_changed();
    p[0] = c.rgbBlue, p[1] = c.rgbGreen, p[2] = c.rgbRed;
    if (set_alpha && m_alpha) p[3] = c.rgbReserved;
}

namespace {

using Wide = __int128;

// Quotients rounded down and up, for a positive divisor.
Wide floor_div(Wide a, Wide b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
Wide ceil_div(Wide a, Wide b)
{
    return -floor_div(-a, b);
}

}  // namespace

void CxImage::DrawLine(int x1, int x2, int y1, int y2, COLORREF colour)
{
    if (!IsValid()) return;
    // Walk along the longer axis ("major", d steps) and, at step i, move along the other axis
    // by k(i) = floor((2·i·m + d) / (2·d)) where m is the shorter extent: the pixel a Bresenham
    // walk reaches there. k grows with i, so the steps whose pixel lies inside the image form
    // one range, found from the bounds of both axes before any pixel is visited.
    const Wide dx = Wide{x2} - x1, dy = Wide{y2} - y1;
    const Wide adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool x_major = adx >= ady;
    const Wide d = x_major ? adx : ady, m = x_major ? ady : adx;
    const int major_sign = (x_major ? dx : dy) < 0 ? -1 : 1;
    const int minor_sign = (x_major ? dy : dx) < 0 ? -1 : 1;
    const Wide a0 = x_major ? x1 : y1, b0 = x_major ? y1 : x1;
    const Wide a_last = (x_major ? m_width : m_height) - 1, b_last = (x_major ? m_height : m_width) - 1;

    // Steps whose major coordinate a0 + major_sign·i lies in [0, a_last].
    Wide lo = 0, hi = d;
    if (major_sign > 0)
        lo = std::max(lo, -a0), hi = std::min(hi, a_last - a0);
    else
        lo = std::max(lo, a0 - a_last), hi = std::min(hi, a0);
    // Offsets k whose minor coordinate b0 + minor_sign·k lies in [0, b_last].
    const Wide k_lo = minor_sign > 0 ? -b0 : b0 - b_last;
    const Wide k_hi = minor_sign > 0 ? b_last - b0 : b0;
    if (m == 0) {
        if (k_lo > 0 || k_hi < 0) return;
    } else {
        // k(i) >= k_lo  <=>  2·i·m >= 2·d·k_lo - d;  k(i) <= k_hi  <=>  2·i·m < 2·d·k_hi + d.
        lo = std::max(lo, ceil_div(2 * d * k_lo - d, 2 * m));
        hi = std::min(hi, ceil_div(2 * d * k_hi + d, 2 * m) - 1);
    }
    if (lo > hi) return;
    pixels_changed();
    for (Wide i = lo; i <= hi; ++i) {
        const Wide k = d == 0 ? 0 : (2 * i * m + d) / (2 * d);
        const auto a = static_cast<int>(a0 + major_sign * i), b = static_cast<int>(b0 + minor_sign * k);
        const int x = x_major ? a : b, y = x_major ? b : a;
        std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 4;
        p[0] = GetBValue(colour), p[1] = GetGValue(colour), p[2] = GetRValue(colour);
    }
}

bool CxImage::AlphaCreate()
{
    if (!IsValid()) return false;
    if (!m_alpha) {
        pixels_changed();
        for (std::size_t i = 3; i < m_pixels.size(); i += 4) m_pixels[i] = 0xFF;
        m_alpha = true;
    }
    return true;
}

void CxImage::AlphaSet(BYTE level)
{
    if (!m_alpha) return;
    pixels_changed();
    for (std::size_t i = 3; i < m_pixels.size(); i += 4) m_pixels[i] = level;
}

void CxImage::AlphaDelete()
{
    if (!m_alpha) return;
    pixels_changed();
    for (std::size_t i = 3; i < m_pixels.size(); i += 4) m_pixels[i] = 0xFF;
    m_alpha = false;
}

bool CxImage::rotate_into(double degrees, CxImage& out) const
{
    const int w = m_width, h = m_height;
    double turns = std::fmod(degrees, 360.0);
    if (turns < 0) turns += 360.0;
    const double quarter = turns / 90.0;
    const long q = std::lround(quarter);
    // Quarter turns move every pixel to its exact place, with no canvas to grow.
    if (std::fabs(quarter - static_cast<double>(q)) < 1e-9) {
        const int k = static_cast<int>(q % 4);
        const int nw = k % 2 ? h : w, nh = k % 2 ? w : h;
        if (!out.Create(static_cast<DWORD>(nw), static_cast<DWORD>(nh), 32, m_type)) return false;
        for (int ty = 0; ty < nh; ++ty) {
            std::uint8_t* d = out.row(ty);
            for (int tx = 0; tx < nw; ++tx, d += 4) {
                // Source (top-down rows) of target (tx, ty), counter-clockwise on the screen.
                int sx = tx, sy = ty;
                if (k == 1) sx = w - 1 - ty, sy = tx;
                if (k == 2) sx = w - 1 - tx, sy = h - 1 - ty;
                if (k == 3) sx = ty, sy = h - 1 - tx;
                const std::uint8_t* s =
                    m_pixels.data() +
                    (static_cast<std::size_t>(sy) * static_cast<std::size_t>(w) + static_cast<std::size_t>(sx)) * 4;
                std::memcpy(d, s, 4);
            }
        }
        out.m_alpha = m_alpha;
        return true;
    }
    // Any other angle: the canvas holds the turned rectangle; each target pixel centre maps
    // back into the source (nearest pixel), and what maps outside stays transparent.
    const double a = turns * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
    const double fw = std::ceil(std::fabs(w * c) + std::fabs(h * s) - 1e-6);
    const double fh = std::ceil(std::fabs(w * s) + std::fabs(h * c) - 1e-6);
    if (!(fw >= 1 && fh >= 1 && fw < INT32_MAX && fh < INT32_MAX)) return false;
    const int nw = static_cast<int>(fw), nh = static_cast<int>(fh);
    if (!out.Create(static_cast<DWORD>(nw), static_cast<DWORD>(nh), 32, m_type)) return false;
    out.m_alpha = true;
    for (std::size_t i = 3; i < out.m_pixels.size(); i += 4) out.m_pixels[i] = 0;
    const double scx = w / 2.0, scy = h / 2.0, tcx = nw / 2.0, tcy = nh / 2.0;
    for (int ty = 0; ty < nh; ++ty) {
        std::uint8_t* d = out.row(ty);
        for (int tx = 0; tx < nw; ++tx, d += 4) {
            // Screen y points down: a counter-clockwise turn on the screen is clockwise in
            // these coordinates, so the way back turns the other way.
            const double dx = tx + 0.5 - tcx, dy = ty + 0.5 - tcy;
            const double sx = c * dx - s * dy + scx, sy = s * dx + c * dy + scy;
            if (!(sx >= 0 && sy >= 0 && sx < w && sy < h)) continue;
            const std::uint8_t* p =
                m_pixels.data() +
                (static_cast<std::size_t>(sy) * static_cast<std::size_t>(w) + static_cast<std::size_t>(sx)) * 4;
            d[0] = p[0], d[1] = p[1], d[2] = p[2], d[3] = m_alpha ? p[3] : 0xFF;
        }
    }
    return true;
}

bool CxImage::Rotate(float angle, CxImage* out)
{
    if (!IsValid() || !std::isfinite(angle)) return false;
    CxImage turned(m_type);
    turned.m_xdpi = m_xdpi, turned.m_ydpi = m_ydpi;
    turned.m_trans_index = m_trans_index, turned.m_trans_colour = m_trans_colour;
    if (!rotate_into(angle, turned)) return false;
    if (out)
        *out = std::move(turned);
    else
        *this = std::move(turned);
    return true;
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
    const bool keyed = m_trans_index >= 0;
    const COLORREF key = RGB(m_trans_colour.rgbRed, m_trans_colour.rgbGreen, m_trans_colour.rgbBlue);
    for (Wide ty = y0; ty < y1; ++ty) {
        // Pixel centres map to the image pixel they fall in.
        const auto sy = static_cast<std::size_t>(((ty - y) * 2 + 1) * m_height / (Wide{2} * cy));
        const std::uint8_t* row = m_pixels.data() + sy * static_cast<std::size_t>(m_width) * 4;
        for (Wide tx = x0; tx < x1; ++tx) {
            const auto sx = static_cast<std::size_t>(((tx - x) * 2 + 1) * m_width / (Wide{2} * cx));
            const std::uint8_t* p = row + sx * 4;
            COLORREF c = RGB(p[2], p[1], p[0]);
            if (keyed && c == key) continue;
            const int px = static_cast<int>(tx), py = static_cast<int>(ty);
            if (m_alpha && p[3] != 0xFF) {
                if (p[3] == 0) continue;
                const COLORREF under = s->get_pixel(px, py);
                c = RGB(blend_channel(p[2], GetRValue(under), p[3]), blend_channel(p[1], GetGValue(under), p[3]),
                        blend_channel(p[0], GetBValue(under), p[3]));
            }
            s->set_pixel(px, py, c);
        }
    }
    return 1;
}

long CxImage::Draw(HDC hdc, const RECT& rect, RECT* clip, bool smooth)
{
    return Draw(hdc, rect.left, rect.top, static_cast<long>(rect.right) - rect.left,
                static_cast<long>(rect.bottom) - rect.top, clip, smooth);
}

bool CxImage::Save(const char* path, DWORD image_type)
{
    if (!path || !*path) return false;
    BYTE* bytes = nullptr;
    long size = 0;
    if (!Encode(bytes, size, image_type)) return false;
    std::vector<std::uint8_t> data;
    bool ok = true;
    try {
        data.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    FreeMemory(bytes);
    return ok && write_file_atomically(path, data);
}
