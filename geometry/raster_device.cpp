#include "geometry/raster_device.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "geometry/transform.h"
#include "platform/gdi.h"
#include "platform/window.h"

Qe_Draw_Callback g_draw_callback = nullptr;
void* g_callback_vobj = nullptr;
mb_long g_draw_time = 0;
bool g_is_rubbering = false;

namespace {

constexpr std::size_t header_bytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

// Channel values of the hue ramps by shade (0..4) and paleness, for levels 0..4.
constexpr unsigned char ramp[2][5][5] = {
    {{0x00, 0x40, 0x80, 0xBF, 0xFF},
     {0x00, 0x29, 0x53, 0x7C, 0xA6},
     {0x00, 0x20, 0x40, 0x60, 0x80},
     {0x00, 0x13, 0x26, 0x39, 0x4C},
     {0x00, 0x0A, 0x13, 0x1D, 0x26}},
    {{0x80, 0x9F, 0xBF, 0xDF, 0xFF},
     {0x53, 0x68, 0x7C, 0x91, 0xA6},
     {0x40, 0x50, 0x60, 0x70, 0x80},
     {0x26, 0x30, 0x39, 0x43, 0x4C},
     {0x13, 0x18, 0x1D, 0x21, 0x26}},
};

RGBQUAD quad(unsigned r, unsigned g, unsigned b)
{
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

// The 256 colours of the 8-bit bitmap: eight basic colours and two greys, 24 hues in five
// shades, full and pale, and six greys.
void default_palette(RGBQUAD* pal)
{
    const unsigned basic[10][3] = {{0xFF, 0xFF, 0xFF}, {0, 0, 0},       {0xFF, 0, 0},   {0xFF, 0xFF, 0},
                                   {0, 0xFF, 0},       {0, 0xFF, 0xFF}, {0, 0, 0xFF},   {0xFF, 0, 0xFF},
                                   {0x98, 0x98, 0x98}, {0xC0, 0xC0, 0xC0}};
    for (int i = 0; i < 10; ++i) pal[i] = quad(basic[i][0], basic[i][1], basic[i][2]);
    for (int h = 0; h < 24; ++h) {
        int r, g, b;
        if (h < 4) r = 4, g = h, b = 0;
        else if (h < 8) r = 8 - h, g = 4, b = 0;
        else if (h < 12) r = 0, g = 4, b = h - 8;
        else if (h < 16) r = 0, g = 16 - h, b = 4;
        else if (h < 20) r = h - 16, g = 0, b = 4;
        else r = 4, g = 0, b = 24 - h;
        for (int s = 0; s < 5; ++s)
            for (int p = 0; p < 2; ++p)
                pal[10 + 10 * h + 2 * s + p] = quad(ramp[p][s][r], ramp[p][s][g], ramp[p][s][b]);
    }
    const unsigned greys[6] = {0x54, 0x76, 0x98, 0xBB, 0xDD, 0xFF};
    for (int i = 0; i < 6; ++i) pal[250 + i] = quad(greys[i], greys[i], greys[i]);
}

void put_mask(BITMAPINFO* h, int i, std::uint32_t m) { std::memcpy(&h->bmiColors[i], &m, sizeof m); }

int lowest_bit(std::uint32_t m)
{
    int s = 0;
    while (s < 32 && !(m & (1u << s))) ++s;
    return s;
}

}  // namespace

int api_mb_to_pixel(double v)
{
    constexpr double limit = 1073741824.0;  // 2^30
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::trunc(std::clamp(v, -limit, limit)));
}

Qe_Qdc::Qe_Qdc() { std::memset(m_dash, 1, sizeof m_dash); }

Qe_Qdc::~Qe_Qdc() { DeleteDC(); }

HDC Qe_Qdc::CreateCompatibleDC(HDC& ref, int width, int height, int depth)
{
    if (m_dc) return nullptr;
    if (m_bitmap) {
        DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
    std::free(m_header);
    m_header = nullptr;
    m_bits = nullptr;
    m_line = nullptr;

    if (depth == 0) depth = GetDeviceCaps(ref, BITSPIXEL);
    if (depth <= 8) depth = 8;
    if ((depth != 16 && depth != 24 && depth != 32 && depth != 8) || width <= 0 || height <= 0) return nullptr;
    const long long stride = (static_cast<long long>(width) * depth + 31) / 32 * 4;
    if (stride * height > INT_MAX) return nullptr;

    auto* h = static_cast<BITMAPINFO*>(std::calloc(1, header_bytes));
    if (!h) return nullptr;
    BITMAPINFOHEADER& bh = h->bmiHeader;
    bh.biSize = sizeof(BITMAPINFOHEADER);
    bh.biWidth = width;
    bh.biHeight = height;  // bottom-up
    bh.biPlanes = 1;
    bh.biBitCount = static_cast<WORD>(depth);
    bh.biSizeImage = static_cast<DWORD>(height * ((depth * static_cast<long long>(width) / 8 + 3) & ~3LL));
    bh.biClrUsed = depth == 8 ? 256 : 0;
    bh.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
    if (depth == 8) {
        default_palette(h->bmiColors);
    } else if (depth == 16) {
        put_mask(h, 0, 0xF800);
        put_mask(h, 1, 0x07E0);
        put_mask(h, 2, 0x001F);
    } else if (depth == 32) {
        put_mask(h, 0, 0xFF0000);
        put_mask(h, 1, 0x00FF00);
        put_mask(h, 2, 0x0000FF);
    } else {
        h->bmiColors[0] = quad(0xFF, 0xFF, 0xFF);
        h->bmiColors[1] = quad(0, 0, 0);
    }

    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(ref, h, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        std::free(h);
        return nullptr;
    }
    HDC dc = ::CreateCompatibleDC(ref);
    HGDIOBJ prev = dc ? SelectObject(dc, bmp) : nullptr;
    if (!prev) {
        if (dc) ::DeleteDC(dc);
        DeleteObject(bmp);
        std::free(h);
        return nullptr;
    }
    std::memset(bits, 0xFF, static_cast<std::size_t>(stride * height));

    m_header = h;
    m_bitmap = bmp;
    m_bits = static_cast<unsigned char*>(bits);
    m_dc = dc;
    m_prev_bitmap = prev;
    m_width = width;
    m_height = height;
    m_depth = depth;
    m_stride = static_cast<int>(stride);
    m_image_size = static_cast<int>(stride * height);
    m_clip = RECT{0, 0, width, height};
    switch (depth) {
    case 8:
        m_line = &Qe_Qdc::Line8, m_across = &Qe_Qdc::HLine8, m_down = &Qe_Qdc::VLine8, m_pixel_fn = &Qe_Qdc::SetPixel8;
        break;
    case 16:
        m_line = &Qe_Qdc::Line16, m_across = &Qe_Qdc::HLine16, m_down = &Qe_Qdc::VLine16,
        m_pixel_fn = &Qe_Qdc::SetPixel16;
        break;
    case 24:
        m_line = &Qe_Qdc::Line24, m_across = &Qe_Qdc::HLine24, m_down = &Qe_Qdc::VLine24,
        m_pixel_fn = &Qe_Qdc::SetPixel24;
        break;
    default:
        m_line = &Qe_Qdc::Line32, m_across = &Qe_Qdc::HLine32, m_down = &Qe_Qdc::VLine32,
        m_pixel_fn = &Qe_Qdc::SetPixel32;
        break;
    }
    // A colour set before the bitmap existed is converted again for this depth.
    m_pixel = pixel_value_of(m_color);
    return m_dc;
}

int Qe_Qdc::DeleteDC()
{
    if (m_dc) {
        SelectObject(m_dc, m_prev_bitmap);
        ::DeleteDC(m_dc);
        m_dc = nullptr;
        m_prev_bitmap = nullptr;
    }
    if (m_bitmap) {
        DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
    std::free(m_header);
    m_header = nullptr;
    m_bits = nullptr;
    m_line = nullptr;
    m_across = m_down = nullptr;
    m_pixel_fn = nullptr;
    return 1;
}

void Qe_Qdc::resize()
{
    if (!m_wnd) return;
    RECT rc;
    if (!GetClientRect(m_wnd, &rc)) return;
    resize(rc.right - rc.left, rc.bottom - rc.top);
}

void Qe_Qdc::resize(int width, int height)
{
    if (!m_wnd) return;
    HDC wdc = ::GetDC(m_wnd);
    if (!wdc) return;
    RECT rc;
    if (GetClientRect(m_wnd, &rc)) m_clip = rc;
    DeleteDC();
    CreateCompatibleDC(wdc, width, height, 0);
    ReleaseDC(m_wnd, wdc);
}

void Qe_Qdc::rebuild_draw_rect(const Qe_Tran& t)
{
    const Qe_Pt lt = Qe_Pt(m_clip.left, m_clip.top, 0.0) * t;
    const Qe_Pt rb = Qe_Pt(m_clip.right, m_clip.bottom, 0.0) * t;
    m_draw_rect.set_rect(lt, rb);
}

void Qe_Qdc::SetDrawRect(RECT r)
{
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    m_clip = r;
}

RECT Qe_Qdc::clip() const
{
    if (!ready()) return RECT{0, 0, 0, 0};
    RECT c{std::max<LONG>(m_clip.left, 0), std::max<LONG>(m_clip.top, 0), std::min<LONG>(m_clip.right, m_width),
           std::min<LONG>(m_clip.bottom, m_height)};
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return c;
}

unsigned long Qe_Qdc::pixel_value_of(unsigned long colour) const
{
    const unsigned long r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    switch (m_depth) {
    case 8:
        if (m_header)
            for (int i = 0; i < 256; ++i) {
                const RGBQUAD& q = m_header->bmiColors[i];
                if (colour == RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)) return static_cast<unsigned long>(i);
            }
        // Not in the palette: the pixel shows entry 0.
        return 0;
    case 16: {
        std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
        if (m_header) std::memcpy(masks, m_header->bmiColors, sizeof masks);
        return ((r * 31 / 255) << lowest_bit(masks[0])) | ((g * 63 / 255) << lowest_bit(masks[1])) |
               ((b * 31 / 255) << lowest_bit(masks[2]));
    }
    case 24:
    case 32: return r * 65536 + g * 256 + b;
    default: return 0;
    }
}

void Qe_Qdc::SetColor(unsigned long colour, bool avoid)
{
    if (avoid && colour == static_cast<unsigned long>(m_black_color)) colour = ~colour & 0xFFFFFF;
    if (colour == m_color) return;
    m_color = colour;
    m_pixel = pixel_value_of(colour);
}

void Qe_Qdc::SetLineStyleDashed(int dashed)
{
    for (int i = 0; i < 16; ++i) m_dash[i] = dashed ? ((i & 3) < 2 ? 1 : 0) : 1;
    m_solid = !dashed;
}

template <int Bytes>
void Qe_Qdc::store(int x, int y)
{
    unsigned char* p = m_bits + static_cast<std::size_t>(m_height - 1 - y) * static_cast<std::size_t>(m_stride) +
                       static_cast<std::size_t>(x) * Bytes;
    const unsigned long v = m_pixel;
    if constexpr (Bytes == 1) {
        p[0] = static_cast<unsigned char>(v);
    } else if constexpr (Bytes == 2) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
    } else if constexpr (Bytes == 3) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
    } else {
        const std::uint32_t w = static_cast<std::uint32_t>(v);
        std::memcpy(p, &w, 4);
    }
}

template <int Bytes>
void Qe_Qdc::pixel_impl(int x, int y)
{
    const RECT c = clip();
    if (x < c.left || x >= c.right || y < c.top || y >= c.bottom) return;
    store<Bytes>(x, y);
}

template <int Bytes>
void Qe_Qdc::across_impl(int y, int x1, int x2)
{
    if (!m_solid) {
        for (int x = x1; x < x2; ++x)
            if (m_dash[(x + 1) & 15]) store<Bytes>(x, y);
        return;
    }
    if (x1 >= x2) return;
    unsigned char* p = m_bits + static_cast<std::size_t>(m_height - 1 - y) * static_cast<std::size_t>(m_stride) +
                       static_cast<std::size_t>(x1) * Bytes;
    const auto n = static_cast<std::size_t>(x2 - x1);
    // The pixel's bytes in memory order, as store() lays them down.
    unsigned char pixel[4];
    for (int i = 0; i < 4; ++i) pixel[i] = static_cast<unsigned char>(m_pixel >> (8 * i));
    if constexpr (Bytes == 1) {
        std::memset(p, pixel[0], n);
    } else if constexpr (Bytes == 3) {
        for (std::size_t i = 0; i < n; ++i, p += 3) std::memcpy(p, pixel, 3);
    } else {
        using Word = std::conditional_t<Bytes == 2, std::uint16_t, std::uint32_t>;
        Word w;
        std::memcpy(&w, pixel, Bytes);
        for (std::size_t i = 0; i < n; ++i) std::memcpy(p + i * Bytes, &w, Bytes);
    }
}

template <int Bytes>
void Qe_Qdc::down_impl(int x, int y1, int y2)
{
    for (int y = y1; y < y2; ++y)
        if (m_dash[(y + 1) & 15]) store<Bytes>(x, y);
}

// Lines are clipped in 64-bit and extended precision, so that coordinates anywhere in int
// neither overflow nor cost more than the clip rectangle. Every end that clipping moves is
// computed from the caller's line, not from an end already moved: truncation errors would
// otherwise add up where a line is clipped twice near a corner and leave a steep line several
// pixels short of the edge.
// The dash step of a line pixel is taken from the pixel's own major-axis coordinate, as for
// spans: a line skips the same pixels whichever end it is drawn from, including y-major lines
// whose drawing runs from the larger y.
template <int Bytes>
void Qe_Qdc::line_impl(int x1, int y1, int x2, int y2)
{
    const RECT c = clip();
    long long X1 = x1, Y1 = y1, X2 = x2, Y2 = y2;
    bool exchanged = false;
    if (Y1 > Y2) {
        std::swap(X1, X2);
        std::swap(Y1, Y2);
        exchanged = !exchanged;
    }
    const long long ax = X1, ay = Y1, ldx = X2 - X1, ldy = Y2 - Y1;
    auto x_at = [&](long long y) {
        return ax + static_cast<long long>(std::trunc(static_cast<long double>(y - ay) * ldx / ldy));
    };
    auto y_at = [&](long long x) {
        return ay + static_cast<long long>(std::trunc(static_cast<long double>(x - ax) * ldy / ldx));
    };
    if (Y2 < c.top) return;
    if (Y1 < c.top) {
        if (Y1 == Y2) return;
        X1 = x_at(c.top);
        Y1 = c.top;
    }
    if (Y1 >= c.bottom) return;
    if (Y2 >= c.bottom) {
        if (Y1 == Y2) return;
        X2 = x_at(c.bottom - 1);
        Y2 = c.bottom - 1;
    }
    if (X1 > X2) {
        std::swap(X1, X2);
        std::swap(Y1, Y2);
        exchanged = !exchanged;
    }
    if (X2 < c.left) return;
    if (X1 < c.left) {
        if (X1 == X2) return;
        Y1 = y_at(c.left);
        X1 = c.left;
    }
    if (X1 >= c.right) return;
    if (X2 >= c.right) {
        if (X1 == X2) return;
        Y2 = y_at(c.right - 1);
        X2 = c.right - 1;
    }

    const long long dx = X2 - X1, dy = Y2 - Y1;
    const long long ady = dy < 0 ? -dy : dy;
    const int sy = dy < 0 ? -1 : 1;
    const bool x_major = ady < dx;
    const long long major = x_major ? dx : ady, minor = x_major ? ady : dx;
    if (major == 0) return;
    long long x = X1, y = Y1, e = -major;
    auto step = [&] {
        if (x_major) ++x;
        else y += sy;
        e += 2 * minor;
        if (e >= 0) {
            if (x_major) y += sy;
            else ++x;
            e -= 2 * major;
        }
    };
    if (exchanged) step();
    for (long long k = 0; k < major; ++k) {
        // Truncation of the clipped ends can leave the far end a pixel off the rectangle.
        if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) {
            const long long m = x_major ? x : y;
            if (m_dash[(m + 1) & 15]) store<Bytes>(static_cast<int>(x), static_cast<int>(y));
        }
        step();
    }
}

void Qe_Qdc::Line8(int a, int b, int c, int d) { line_impl<1>(a, b, c, d); }
void Qe_Qdc::Line16(int a, int b, int c, int d) { line_impl<2>(a, b, c, d); }
void Qe_Qdc::Line24(int a, int b, int c, int d) { line_impl<3>(a, b, c, d); }
void Qe_Qdc::Line32(int a, int b, int c, int d) { line_impl<4>(a, b, c, d); }
void Qe_Qdc::HLine8(int y, int a, int b) { across_impl<1>(y, a, b); }
void Qe_Qdc::HLine16(int y, int a, int b) { across_impl<2>(y, a, b); }
void Qe_Qdc::HLine24(int y, int a, int b) { across_impl<3>(y, a, b); }
void Qe_Qdc::HLine32(int y, int a, int b) { across_impl<4>(y, a, b); }
void Qe_Qdc::VLine8(int x, int a, int b) { down_impl<1>(x, a, b); }
void Qe_Qdc::VLine16(int x, int a, int b) { down_impl<2>(x, a, b); }
void Qe_Qdc::VLine24(int x, int a, int b) { down_impl<3>(x, a, b); }
void Qe_Qdc::VLine32(int x, int a, int b) { down_impl<4>(x, a, b); }
void Qe_Qdc::SetPixel8(int x, int y) { pixel_impl<1>(x, y); }
void Qe_Qdc::SetPixel16(int x, int y) { pixel_impl<2>(x, y); }
void Qe_Qdc::SetPixel24(int x, int y) { pixel_impl<3>(x, y); }
void Qe_Qdc::SetPixel32(int x, int y) { pixel_impl<4>(x, y); }

void Qe_Qdc::Line(int x1, int y1, int x2, int y2)
{
    if (ready()) (this->*m_line)(x1, y1, x2, y2);
}

void Qe_Qdc::HLine(int y, int x1, int x2)
{
    if (!ready()) return;
    const RECT c = clip();
    if (y < c.top || y >= c.bottom) return;
    if (x1 > x2) std::swap(x1, x2);
    if (x2 < c.left || x1 >= c.right) return;
    (this->*m_across)(y, std::max<int>(c.left, x1), std::min<int>(x2, c.right - 1));
}

void Qe_Qdc::VLine(int x, int y1, int y2)
{
    if (!ready()) return;
    const RECT c = clip();
    if (x < c.left || x >= c.right) return;
    if (y1 > y2) std::swap(y1, y2);
    if (y2 < c.top || y1 >= c.bottom) return;
    (this->*m_down)(x, std::max<int>(c.top, y1), std::min<int>(y2, c.bottom - 1));
}

void Qe_Qdc::SetPixel(int x, int y)
{
    if (ready()) (this->*m_pixel_fn)(x, y);
}

void Qe_Qdc::FillRect(const RECT* r)
{
    if (!ready() || !r) return;
    RECT o = *r;
    if (o.left > o.right) std::swap(o.left, o.right);
    if (o.top > o.bottom) std::swap(o.top, o.bottom);
    const RECT c = clip();
    o.left = std::max(o.left, c.left);
    o.top = std::max(o.top, c.top);
    o.right = std::min(o.right, c.right);
    o.bottom = std::min(o.bottom, c.bottom);
    for (LONG y = o.top; y < o.bottom; ++y) (this->*m_across)(y, o.left, o.right);
}

void Qe_Qdc::Polyline(const POINT* pts, int n)
{
    if (!ready() || !pts) return;
    for (int i = n - 2; i >= 0; --i) (this->*m_line)(pts[i + 1].x, pts[i + 1].y, pts[i].x, pts[i].y);
}

void Qe_Qdc::Ellipse(int x1, int y1, int x2, int y2)
{
    if (!ready()) return;
    const RECT c = clip();
    const long long cx = (static_cast<long long>(x1) + x2) / 2, cy = (static_cast<long long>(y1) + y2) / 2;
    const long long rx = std::llabs(static_cast<long long>(x1) - x2) / 2;
    const long long ry = std::llabs(static_cast<long long>(y1) - y2) / 2;
    if (cx + rx < c.left || cx - rx >= c.right || cy + ry < c.top || cy - ry >= c.bottom) return;
    auto plot4 = [&](long long x, long long y) {
        for (const long long px : {cx + x, cx - x})
            for (const long long py : {cy + y, cy - y})
                if (px >= c.left && px < c.right && py >= c.top && py < c.bottom)
                    (this->*m_pixel_fn)(static_cast<int>(px), static_cast<int>(py));
    };
    constexpr long long midpoint_limit = 1LL << 14;
    if (rx <= midpoint_limit && ry <= midpoint_limit) {
        // Midpoint algorithm; the squares stay below 2^57, exact in 64 bits.
        const long long rx2 = rx * rx, ry2 = ry * ry;
        long long x = 0, y = ry;
        long long dx = 0, dy = 2 * rx2 * y;
        long long d1 = static_cast<long long>(std::trunc(ry2 - static_cast<double>(rx2) * ry + rx2 / 4.0 + 0.5));
        while (dx < dy) {
            plot4(x, y);
            ++x;
            dx += 2 * ry2;
            if (d1 < 0) {
                d1 += dx + ry2;
            } else {
                --y;
                dy -= 2 * rx2;
                d1 += dx - dy + ry2;
            }
        }
        long long d2 = static_cast<long long>(std::trunc((x + 0.5) * (x + 0.5) * static_cast<double>(ry2) +
                                                         static_cast<double>(y - 1) * (y - 1) * rx2 -
                                                         static_cast<double>(rx2) * ry2 + 0.5));
        while (y >= 0) {
            plot4(x, y);
            --y;
            dy -= 2 * rx2;
            if (d2 > 0) {
                d2 += rx2 - dy;
            } else {
                ++x;
                dx += 2 * ry2;
                d2 += dx - dy + rx2;
            }
        }
        return;
    }
    // An ellipse far larger than any bitmap (a view zoomed far in): walk only the rows and
    // columns of the clip rectangle and plot the nearest curve pixel on each, so the work is
    // bounded by the clip rectangle.
    const double a = static_cast<double>(rx), b = static_cast<double>(ry);
    for (long long py = c.top; py < c.bottom; ++py) {
        const double t = static_cast<double>(py - cy) / b;
        if (t < -1 || t > 1) continue;
        const double w = a * std::sqrt(1 - t * t);
        for (const double px : {cx + w, cx - w}) {
            const double r = std::round(px);
            if (r >= c.left && r < c.right) (this->*m_pixel_fn)(static_cast<int>(r), static_cast<int>(py));
        }
    }
    for (long long px = c.left; px < c.right; ++px) {
        const double t = static_cast<double>(px - cx) / a;
        if (t < -1 || t > 1) continue;
        const double h = b * std::sqrt(1 - t * t);
        for (const double py : {cy + h, cy - h}) {
            const double r = std::round(py);
            if (r >= c.top && r < c.bottom) (this->*m_pixel_fn)(static_cast<int>(px), static_cast<int>(r));
        }
    }
}

namespace {

struct Ipt {
    long long x;
    long long y;
    bool operator==(const Ipt&) const = default;
};

// The fill's vertex ring: closed implicitly, repeated points merged, and the middle one of
// three consecutive points on one horizontal line dropped.
std::vector<Ipt> prepare_ring(const POINT* p, int n)
{
    std::vector<Ipt> v;
    v.reserve(static_cast<std::size_t>(n));
    auto flat = [](const Ipt& a, const Ipt& b, const Ipt& c) { return a.y == b.y && b.y == c.y; };
    for (int i = 0; i < n; ++i) {
        const Ipt q{p[i].x, p[i].y};
        if (!v.empty() && v.back() == q) continue;
        if (v.size() >= 2 && flat(v[v.size() - 2], v.back(), q)) v.pop_back();
        v.push_back(q);
    }
    // The same rules across the join of the last point and the first.
    std::size_t first = 0;
    bool changed = true;
    while (changed && v.size() - first >= 3) {
        changed = false;
        const std::size_t m = v.size();
        if (v[m - 1] == v[first]) {
            v.pop_back();
            changed = true;
        } else if (flat(v[m - 2], v[m - 1], v[first])) {
            v.pop_back();
            changed = true;
        } else if (flat(v[m - 1], v[first], v[first + 1])) {
            ++first;
            changed = true;
        }
    }
    v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(first));
    if (v.size() == 2 && v[0] == v[1]) v.pop_back();
    return v;
}

bool opposite(long long a, long long y, long long b) { return (a < y && y < b) || (a > y && y > b); }

// Crossings are clamped to two pixels beyond the clip rectangle, then rounded half away from
// zero. Inside that range the fraction x - trunc(x) is exact, so this is std::round without
// the library call.
long long round_crossing(double x, double lo, double hi)
{
    x = std::clamp(x, lo, hi);
    long long t = static_cast<long long>(x);
    const double f = x - static_cast<double>(t);
    if (f >= 0.5) ++t;
    else if (f <= -0.5) --t;
    return t;
}

// One edge of a ring as the scanline walk needs it, with the vertex rules already applied.
struct Edge {
    long long ymin;
    long long ymax;
    long long ay;
    double ax;  // the crossing at row y is ax + (y - ay) * dx / dy
    double dx;
    double dy;
    // A horizontal edge gives the crossings x_start and, unless its neighbours go on in one
    // direction, x_end; a slanted one skips its start row when the previous edge counted it.
    long long x_start;
    long long x_end;
    bool horizontal;
    bool second;  // horizontal: x_end counts too; slanted: the start row counts
};

}  // namespace

void Qe_Qdc::fill_rings(const POINT* pts, int n, const RECT& c, long long ymin, long long ymax)
{
    // Scanlines outside the clip rectangle cannot show anything, so only the rows inside are
    // walked however far apart the vertices are.
    const long long y0 = std::max<long long>(ymin + 1, c.top);
    const long long y1 = std::min<long long>(ymax - 1, static_cast<long long>(c.bottom) - 1);
    if (y0 > y1) return;
    const double xlo = static_cast<double>(c.left) - 2, xhi = static_cast<double>(c.right) + 1;
    std::vector<Edge> edges;
    edges.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && !(pts[j].x == pts[i].x && pts[j].y == pts[i].y)) ++j;
        const int end = j < n ? j : n - 1;
        const std::vector<Ipt> r = prepare_ring(pts + i, end - i + 1);
        i = end + 1;
        const std::size_t m = r.size();
        if (m < 2) continue;
        for (std::size_t k = 0; k < m; ++k) {
            const Ipt& prev = r[(k + m - 1) % m];
            const Ipt& a = r[k];
            const Ipt& b = r[(k + 1) % m];
            const Ipt& after = r[(k + 2) % m];
            Edge e{std::min(a.y, b.y), std::max(a.y, b.y), a.y, static_cast<double>(a.x), static_cast<double>(b.x - a.x),
                   static_cast<double>(b.y - a.y), round_crossing(static_cast<double>(a.x), xlo, xhi),
                   round_crossing(static_cast<double>(b.x), xlo, xhi), a.y == b.y, false};
            // The only row of a horizontal edge is a.y.
            e.second = e.horizontal ? !opposite(prev.y, a.y, after.y) : !opposite(prev.y, a.y, b.y);
            if (e.ymax >= y0 && e.ymin <= y1) edges.push_back(e);
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.ymin < b.ymin; });
    std::vector<const Edge*> active;
    std::vector<long long> xs;
    std::size_t next = 0;
    for (long long y = y0; y <= y1; ++y) {
        while (next < edges.size() && edges[next].ymin <= y) active.push_back(&edges[next++]);
        std::erase_if(active, [y](const Edge* e) { return e->ymax < y; });
        xs.clear();
        for (const Edge* e : active) {
            if (e->horizontal) {
                xs.push_back(e->x_start);
                if (e->second) xs.push_back(e->x_end);
            } else if (y == e->ay) {
                // The previous edge has counted this vertex at its end.
                if (e->second) xs.push_back(e->x_start);
            } else {
                xs.push_back(round_crossing(e->ax + static_cast<double>(y - e->ay) * e->dx / e->dy, xlo, xhi));
            }
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const long long xa = std::max<long long>(xs[k], c.left);
            const long long xb = std::min<long long>(xs[k + 1], static_cast<long long>(c.right) - 1);
            if (xa <= xb) (this->*m_across)(static_cast<int>(y), static_cast<int>(xa), static_cast<int>(xb) + 1);
        }
    }
}

void Qe_Qdc::Polygon(const POINT* pts, int n, int fill, unsigned long colour)
{
    if (!ready() || !pts || n <= 0) return;
    const RECT c = clip();
    long long ymin = c.bottom, ymax = -1;
    for (int i = 0; i < n; ++i) {
        ymin = std::min<long long>(ymin, pts[i].y);
        ymax = std::max<long long>(ymax, pts[i].y);
    }
    if (fill) {
        const unsigned long saved_pixel = m_pixel, saved_colour = m_color;
        if (colour != 0xFFFFFFFFul) SetColor(colour, false);
        try {
            fill_rings(pts, n, c, ymin, ymax);
        } catch (const std::bad_alloc&) {
            // Out of memory: the fill is left out, the outline is still drawn.
        }
        m_pixel = saved_pixel;
        m_color = saved_colour;
    }
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && !(pts[j].x == pts[i].x && pts[j].y == pts[i].y)) ++j;
        const int end = j < n ? j : n - 1;
        for (int k = i + 1; k <= end; ++k) (this->*m_line)(pts[k - 1].x, pts[k - 1].y, pts[k].x, pts[k].y);
        (this->*m_line)(pts[i].x, pts[i].y, pts[end].x, pts[end].y);
        i = end + 1;
    }
}

void Qe_Qdc::bitblt(HDC target)
{
    if (!m_dc) return;
    if (g_draw_callback) g_draw_callback(m_dc, g_callback_vobj);
    BitBlt(target, 0, 0, m_width, m_height, m_dc, 0, 0, SRCCOPY);
}
