// Metafiles as images. Read: the metafile player draws an EMF or WMF at 96 dots per inch
// (scaled down to at most max_side pixels a side) twice, on white and on black: pixels the
// two agree on were painted and are opaque, the others transparent. Written: a placeable WMF
// at the image's resolution whose one drawing record is a stretched 24-bit DIB of the pixels.

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/image_codecs_p.h"
#include "platform/metafile_player_p.h"

namespace platform {
namespace {

// A metafile's drawing is made at most this many pixels a side: vector records can fill any
// size, so the size follows what a view can show rather than the declared frame.
constexpr long long max_side = 4096;

// Plays the metafile onto a fresh 32-bit DIB filled with `back`, and hands its rows (top row
// first, blue, green, red, unused) to take; false when it does not play.
template <class Take>
bool render(const std::uint8_t* data, std::size_t size, int w, int h, COLORREF back, Take take)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc ? SelectObject(dc, bmp) : nullptr;
    bool ok = old != nullptr;
    if (ok) {
        HBRUSH b = CreateSolidBrush(back);
        const RECT all{0, 0, w, h};
        FillRect(dc, &all, b);
        DeleteObject(b);
        ok = play_metafile(dc, data, size, Play_Target{0, 0, double(w), double(h)});
        if (ok) take(static_cast<const std::uint8_t*>(bits));
        SelectObject(dc, old);
    }
    if (dc) DeleteDC(dc);
    DeleteObject(bmp);
    return ok;
}

}  // namespace

bool decode_metafile(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    Metafile_Size ms;
    if (!metafile_size(data, size, ms)) return false;
    long long w = ms.pixels_w, h = ms.pixels_h;
    if (w > max_side || h > max_side) {
        const double k = static_cast<double>(max_side) / static_cast<double>(std::max(w, h));
        w = std::max(1LL, std::llround(w * k)), h = std::max(1LL, std::llround(h * k));
    }
    if (!out.allocate(w, h)) return false;
    // On white first, kept as the pixels; then on black, where a pixel that comes out another
    // colour was not painted.
    const auto on_white = [&](const std::uint8_t* p) { std::copy(p, p + out.pixels.size(), out.pixels.begin()); };
    const auto on_black = [&](const std::uint8_t* p) {
        for (std::size_t i = 0; i < out.pixels.size(); i += 4) {
            std::uint8_t* q = out.pixels.data() + i;
            q[3] = p[i] == q[0] && p[i + 1] == q[1] && p[i + 2] == q[2] ? 0xFF : 0;
        }
    };
    if (!render(data, size, static_cast<int>(w), static_cast<int>(h), RGB(255, 255, 255), on_white) ||
        !render(data, size, static_cast<int>(w), static_cast<int>(h), RGB(0, 0, 0), on_black)) {
        out.clear();
        return false;
    }
    out.alpha = true;
    return true;
}

bool encode_wmf(const Image_View& image, Bytes_Out& out)
{
    // The placeable box and the record's sizes are 16-bit.
    if (image.width <= 0 || image.height <= 0 || image.width > 0x7FFF || image.height > 0x7FFF) return false;
    const std::size_t w = static_cast<std::size_t>(image.width), h = static_cast<std::size_t>(image.height);
    const std::size_t stride = (w * 3 + 3) / 4 * 4;
    const std::size_t dib = 40 + stride * h;
    const std::size_t record_words = 3 + 2 + 9 + dib / 2;
    const std::size_t total_words = 9 + 5 + 5 + record_words + 3;
    if (total_words > 0xFFFFFFFFu) return false;
    const auto inch = static_cast<std::uint32_t>(std::clamp(image.xdpi, 1L, 0xFFFFL));
    out.clear();
    put_le32(out, 0x9AC6CDD7);
    put_le16(out, 0);
    for (std::uint32_t v : {0u, 0u, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), inch}) put_le16(out, v);
    put_le32(out, 0);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 20; i += 2) sum ^= le16(out.data() + i);
    put_le16(out, sum);
    // The metafile's header, its window and the one drawing record.
    put_le16(out, 1), put_le16(out, 9), put_le16(out, 0x300);
    put_le32(out, static_cast<std::uint32_t>(total_words));
    put_le16(out, 0);
    put_le32(out, static_cast<std::uint32_t>(record_words));
    put_le16(out, 0);
    put_le32(out, 5), put_le16(out, 0x020B), put_le16(out, 0), put_le16(out, 0);
    put_le32(out, 5), put_le16(out, 0x020C), put_le16(out, static_cast<std::uint32_t>(h)), put_le16(out, static_cast<std::uint32_t>(w));
    put_le32(out, static_cast<std::uint32_t>(record_words)), put_le16(out, 0x0F43);
    put_le32(out, SRCCOPY);
    for (std::size_t v : {std::size_t{0}, h, w, std::size_t{0}, std::size_t{0}, h, w, std::size_t{0}, std::size_t{0}})
        put_le16(out, static_cast<std::uint32_t>(v));
    const auto ppm = static_cast<std::uint32_t>(std::lround(image.xdpi / 0.0254));
    put_le32(out, 40), put_le32(out, static_cast<std::uint32_t>(w)), put_le32(out, static_cast<std::uint32_t>(h));
    put_le16(out, 1), put_le16(out, 24), put_le32(out, 0), put_le32(out, static_cast<std::uint32_t>(stride * h));
    put_le32(out, ppm), put_le32(out, ppm), put_le32(out, 0), put_le32(out, 0);
    for (std::size_t y = h; y-- > 0;) {
        const std::uint8_t* p = image.row(static_cast<int>(y));
        const std::size_t at = out.size();
        for (std::size_t x = 0; x < w; ++x, p += 4) out.push_back(p[0]), out.push_back(p[1]), out.push_back(p[2]);
        out.resize(at + stride, 0);
    }
    put_le32(out, 3), put_le16(out, 0);
    return true;
}

}  // namespace platform
