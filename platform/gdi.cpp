#include "platform/gdi.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <mutex>

#include "platform/gdi_draw_p.h"
#include "platform/gdi_p.h"
#include "platform/window.h"

namespace platform {
namespace {

std::atomic<int> g_screen_depth{32};

bool valid_depth(int bpp) { return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

// The screen is a small surface: what is drawn on it is not shown anywhere.
struct Screen {
    std::mutex mutex;
    Surface surface;
};

Screen& screen()
{
    static Screen* s = new Screen;
    return *s;
}

// Monochrome 1 x 1 bitmap that every new memory DC holds.
HBITMAP default_bitmap()
{
    static HBITMAP h = [] {
        auto b = std::make_unique<Bitmap>();
        b->stock = true;
        b->surface.allocate(1, 1, 1, false);
        return static_cast<HBITMAP>(add_object(std::move(b)));
    }();
    return h;
}

// A channel mask is usable when it is a non-empty run of contiguous bits.
bool contiguous_mask(std::uint32_t m)
{
    if (m == 0) return false;
    const std::uint32_t shifted = m >> std::countr_zero(m);
    return (shifted & (shifted + 1)) == 0;
}

void release_selection(HGDIOBJ h)
{
    if (Object* o = find_any(h)) {
        if (o->selections > 0) --o->selections;
        if (o->kind == Kind::bitmap) static_cast<Bitmap*>(o)->selected_into = nullptr;
    }
}

HGDIOBJ swap_selected(HGDIOBJ& slot, Object& obj)
{
    HGDIOBJ previous = slot;
    if (previous != obj.handle) {
        release_selection(previous);
        ++obj.selections;
        slot = obj.handle;
    }
    return previous;
}

template <class H>
HGDIOBJ swap_selected_as(H& slot, Object& obj)
{
    HGDIOBJ s = slot;
    HGDIOBJ previous = swap_selected(s, obj);
    slot = static_cast<H>(s);
    return previous;
}

struct Region : Object {
    static constexpr Kind object_kind = Kind::region;
    Region() : Object(Kind::region) {}
    RECT rect{0, 0, 0, 0};
};

int region_type(const RECT& r)
{
    return r.left < r.right && r.top < r.bottom ? SIMPLEREGION : NULLREGION;
}

}  // namespace

int screen_depth() { return g_screen_depth.load(); }

void install_default_objects(Dc& dc)
{
    if (dc.type == Dc_Type::memory) dc.state.bitmap = default_bitmap();
    select_default_objects(dc);
}

void release_selected_objects(Dc& dc)
{
    for (const Dc_State& st : dc.saved)
        for (HGDIOBJ h : {static_cast<HGDIOBJ>(st.pen), static_cast<HGDIOBJ>(st.brush), static_cast<HGDIOBJ>(st.font)})
            release_selection(h);
    dc.saved.clear();
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(dc.state.bitmap), static_cast<HGDIOBJ>(dc.state.pen),
                      static_cast<HGDIOBJ>(dc.state.brush), static_cast<HGDIOBJ>(dc.state.font)})
        release_selection(h);
    dc.state.bitmap = nullptr;
    dc.state.pen = nullptr;
    dc.state.brush = nullptr;
    dc.state.font = nullptr;
}

Pixel_Box drawable_box(const Dc& dc, const Surface& s)
{
    Pixel_Box b{0, 0, s.width, s.height};
    if (dc.state.clipped) {
        b.x0 = std::max<long long>(b.x0, dc.state.clip.left);
        b.y0 = std::max<long long>(b.y0, dc.state.clip.top);
        b.x1 = std::min<long long>(b.x1, dc.state.clip.right);
        b.y1 = std::min<long long>(b.y1, dc.state.clip.bottom);
    }
    return b;
}

Surface* dc_surface(Dc& dc)
{
    switch (dc.type) {
    case Dc_Type::memory: {
        Bitmap* b = find<Bitmap>(dc.state.bitmap);
        return b ? &b->surface : nullptr;
    }
    case Dc_Type::window: {
        Window* w = find<Window>(dc.window);
        return w ? &w->client : nullptr;
    }
    case Dc_Type::screen: {
        Screen& s = screen();
        std::lock_guard lock(s.mutex);
        if (s.surface.bpp != screen_depth()) s.surface.allocate(16, 16, screen_depth(), false);
        return s.surface.bits ? &s.surface : nullptr;
    }
    }
    return nullptr;
}

}  // namespace platform

using namespace platform;

BOOL platform_set_screen_depth(int bpp)
{
    if (!valid_depth(bpp)) return FALSE;
    g_screen_depth.store(bpp);
    return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section, DWORD)
{
    if (bits) *bits = nullptr;
    if (!bmi || section || usage != DIB_RGB_COLORS) return nullptr;
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0) return nullptr;
    const int bpp = h.biBitCount;
    if (!valid_depth(bpp)) return nullptr;
    // Masks follow the 40-byte header; the colour table follows the whole header.
    const auto* raw = reinterpret_cast<const std::uint8_t*>(bmi);
    std::uint32_t masks[3] = {0, 0, 0};
    if (h.biCompression == BI_BITFIELDS) {
        if (bpp != 16 && bpp != 32) return nullptr;
        std::memcpy(masks, raw + sizeof(BITMAPINFOHEADER), sizeof masks);
        const std::uint32_t limit = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        for (std::uint32_t m : masks)
            if (!contiguous_mask(m) || (m & ~limit)) return nullptr;
        if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2])) return nullptr;
        if (bpp == 32 && (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF)) return nullptr;
    } else if (h.biCompression != BI_RGB) {
        return nullptr;
    }
    const long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (height > 0x7FFFFFFF) return nullptr;

    auto b = std::make_unique<Bitmap>();
    if (!b->surface.allocate(h.biWidth, static_cast<int>(height), bpp, h.biHeight > 0)) return nullptr;
    Surface& s = b->surface;
    if (bpp == 16) {
        if (h.biCompression == BI_BITFIELDS) {
            std::memcpy(s.masks, masks, sizeof masks);
        } else {
            s.masks[0] = 0x7C00;
            s.masks[1] = 0x03E0;
            s.masks[2] = 0x001F;
        }
    } else if (bpp == 8) {
        const DWORD used = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed;
        std::memset(s.palette, 0, sizeof s.palette);
        std::memcpy(s.palette, raw + h.biSize, used * sizeof(RGBQUAD));
        s.palette_size = 256;
    }
    if (bits) *bits = s.bits;
    return static_cast<HBITMAP>(add_object(std::move(b)));
}

HDC CreateCompatibleDC(HDC hdc)
{
    int depth = screen_depth();
    if (hdc) {
        Dc* ref = find_dc(hdc);
        if (!ref) return nullptr;
        depth = ref->device_bpp;
    }
    auto dc = std::make_unique<Dc>();
    dc->type = Dc_Type::memory;
    dc->device_bpp = depth;
    install_default_objects(*dc);
    return static_cast<HDC>(add_object(std::move(dc)));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    Dc* dc = find_dc(hdc);
    if (!dc || width <= 0 || height <= 0) return nullptr;
    int depth = dc->device_bpp;
    if (dc->type == Dc_Type::memory) {
        const Surface* s = dc_surface(*dc);
        if (!s) return nullptr;
        depth = s->bpp;
    }
    auto b = std::make_unique<Bitmap>();
    if (!b->surface.allocate(width, height, depth, false)) return nullptr;
    return static_cast<HBITMAP>(add_object(std::move(b)));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj)
{
    Dc* dc = find_dc(hdc);
    Object* o = find_any(obj);
    if (!dc || !o) return nullptr;
    record_call(*dc, "SelectObject", {static_cast<long long>(GetObjectType(obj))});
    switch (o->kind) {
    case Kind::bitmap: {
        auto* b = static_cast<Bitmap*>(o);
        if (dc->type != Dc_Type::memory) return nullptr;
        if (!b->stock && b->selected_into && b->selected_into != hdc) return nullptr;
        HGDIOBJ previous = swap_selected_as(dc->state.bitmap, *b);
        if (!b->stock) b->selected_into = hdc;
        return previous;
    }
    case Kind::pen: return swap_selected_as(dc->state.pen, *o);
    case Kind::brush: return swap_selected_as(dc->state.brush, *o);
    case Kind::font: return swap_selected_as(dc->state.font, *o);
    default: return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_BITMAP: return dc->state.bitmap;
    case OBJ_PEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    default: return nullptr;
    }
}

int SaveDC(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return 0;
    record_call(*dc, "SaveDC", {});
    Dc_State st = dc->state;
    st.bitmap = nullptr;
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(st.pen), static_cast<HGDIOBJ>(st.brush), static_cast<HGDIOBJ>(st.font)})
        if (Object* o = find_any(h)) ++o->selections;
    dc->saved.push_back(st);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int level)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "RestoreDC", {level});
    const long long n = static_cast<long long>(dc->saved.size());
    const long long at = level < 0 ? n + level : static_cast<long long>(level) - 1;
    if (level == 0 || at < 0 || at >= n) return FALSE;
    // The states above the one restored are dropped, and the objects of the current state
    // given back before the restored state's take their place.
    while (static_cast<long long>(dc->saved.size()) > at + 1) {
        const Dc_State& st = dc->saved.back();
        for (HGDIOBJ h : {static_cast<HGDIOBJ>(st.pen), static_cast<HGDIOBJ>(st.brush), static_cast<HGDIOBJ>(st.font)})
            release_selection(h);
        dc->saved.pop_back();
    }
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(dc->state.pen), static_cast<HGDIOBJ>(dc->state.brush),
                      static_cast<HGDIOBJ>(dc->state.font)})
        release_selection(h);
    Dc_State st = dc->saved.back();
    dc->saved.pop_back();
    st.bitmap = dc->state.bitmap;
    dc->state = st;
    return TRUE;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto r = std::make_unique<Region>();
    r->rect = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return static_cast<HRGN>(add_object(std::move(r)));
}

int SelectClipRgn(HDC hdc, HRGN region)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return ERROR;
    if (!region) {
        record_call(*dc, "SelectClipRgn", {});
        dc->state.clipped = false;
        return SIMPLEREGION;
    }
    const Region* r = find<Region>(region);
    if (!r) return ERROR;
    record_call(*dc, "SelectClipRgn", {r->rect.left, r->rect.top, r->rect.right, r->rect.bottom});
    dc->state.clipped = true;
    dc->state.clip = r->rect;
    return region_type(r->rect);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return ERROR;
    record_call(*dc, "IntersectClipRect", {left, top, right, bottom});
    RECT& c = dc->state.clip;
    if (!dc->state.clipped) {
        c = RECT{left, top, right, bottom};
        dc->state.clipped = true;
    } else {
        c = RECT{std::max<LONG>(c.left, left), std::max<LONG>(c.top, top), std::min<LONG>(c.right, right),
                 std::min<LONG>(c.bottom, bottom)};
    }
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return region_type(c);
}

int GetClipBox(HDC hdc, RECT* box)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !box) return ERROR;
    if (dc->state.clipped) {
        *box = dc->state.clip;
        return region_type(*box);
    }
    const Surface* s = dc_surface(*dc);
    *box = RECT{0, 0, s ? s->width : 0, s ? s->height : 0};
    return region_type(*box);
}

DWORD GetObjectType(HGDIOBJ obj)
{
    Object* o = find_any(obj);
    if (!o) return 0;
    switch (o->kind) {
    case Kind::bitmap: return OBJ_BITMAP;
    case Kind::pen: return OBJ_PEN;
    case Kind::brush: return OBJ_BRUSH;
    case Kind::font: return OBJ_FONT;
    case Kind::region: return OBJ_REGION;
    case Kind::dc: return static_cast<Dc*>(o)->type == Dc_Type::memory ? OBJ_MEMDC : OBJ_DC;
    default: return 0;
    }
}

BOOL DeleteDC(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    // Window and screen DCs are given back with ReleaseDC.
    if (!dc || dc->type != Dc_Type::memory) return FALSE;
    release_selected_objects(*dc);
    return remove_object(hdc, Kind::dc) ? TRUE : FALSE;
}

BOOL DeleteObject(HGDIOBJ obj)
{
    Object* o = find_any(obj);
    if (!o || !is_gdi_kind(o->kind) || o->kind == Kind::dc) return FALSE;
    if (o->stock) return TRUE;
    // Deleting an object that a DC still uses would leave the DC drawing into freed memory.
    if (o->selections > 0) return FALSE;
    return remove_object(obj, o->kind) ? TRUE : FALSE;
}

int GetDeviceCaps(HDC hdc, int index)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return 0;
    switch (index) {
    case BITSPIXEL: return dc->device_bpp;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
    }
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop)
{
    if (rop != SRCCOPY) return FALSE;
    Dc* ddc = find_dc(dst);
    Dc* sdc = find_dc(src);
    if (!ddc || !sdc) return FALSE;
    Surface* d = dc_surface(*ddc);
    Surface* s = dc_surface(*sdc);
    if (!d || !s) return FALSE;
    if (cx <= 0 || cy <= 0) return TRUE;

    // Offsets t into the requested rectangle that land inside the source and the part of the
    // target the DC may write, in 64 bits so that no coordinate sum can overflow.
    const Pixel_Box box = drawable_box(*ddc, *d);
    const long long tx0 = std::max({0LL, box.x0 - x, -static_cast<long long>(x1)});
    const long long tx1 =
        std::min({static_cast<long long>(cx), box.x1 - x, static_cast<long long>(s->width) - x1});
    const long long ty0 = std::max({0LL, box.y0 - y, -static_cast<long long>(y1)});
    const long long ty1 =
        std::min({static_cast<long long>(cy), box.y1 - y, static_cast<long long>(s->height) - y1});
    if (tx0 >= tx1 || ty0 >= ty1) return TRUE;
    const int w = static_cast<int>(tx1 - tx0);
    const int dx = static_cast<int>(x + tx0), sx = static_cast<int>(x1 + tx0);
    const int dy0 = static_cast<int>(y + ty0), sy0 = static_cast<int>(y1 + ty0);
    const int rows = static_cast<int>(ty1 - ty0);

    // Within one surface, copy rows in the order that does not overwrite what is still to be read.
    const bool backwards = d == s && dy0 > sy0;
    const bool bytewise = d->same_format(*s) && d->bpp >= 8;
    const std::size_t bytes_pp = static_cast<std::size_t>(d->bpp) / 8;
    for (int i = 0; i < rows; ++i) {
        const int r = backwards ? rows - 1 - i : i;
        const int dy = dy0 + r, sy = sy0 + r;
        if (bytewise) {
            std::memmove(d->row(dy) + dx * bytes_pp, s->row(sy) + sx * bytes_pp, static_cast<std::size_t>(w) * bytes_pp);
        } else if (d == s) {
            // Same surface, so the same format: only 1 bpp reaches here.
            if (dx > sx) {
                for (int k = w - 1; k >= 0; --k) d->put_value(dx + k, dy, s->value_at(sx + k, sy));
            } else {
                for (int k = 0; k < w; ++k) d->put_value(dx + k, dy, s->value_at(sx + k, sy));
            }
        } else {
            for (int k = 0; k < w; ++k) d->set_pixel(dx + k, dy, s->get_pixel(sx + k, sy));
        }
    }
    return TRUE;
}
