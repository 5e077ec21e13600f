#include "platform/window.h"

#include <algorithm>
#include <memory>

#include "platform/gdi_draw_p.h"

using namespace platform;

namespace {

bool paint_white(Surface& s, int width, int height)
{
    if (!s.allocate(width, height, screen_depth(), false)) return false;
    const std::uint32_t white = s.value_of(RGB(255, 255, 255));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) s.put_value(x, y, white);
    return true;
}

}  // namespace

HWND platform_create_window(int width, int height)
{
    auto w = std::make_unique<Window>();
    if (!paint_white(w->client, width, height)) return nullptr;
    return static_cast<HWND>(add_object(std::move(w)));
}

BOOL platform_destroy_window(HWND hwnd) { return remove_object(hwnd, Kind::window) ? TRUE : FALSE; }

BOOL platform_resize_window(HWND hwnd, int width, int height)
{
    Window* w = find<Window>(hwnd);
    if (!w) return FALSE;
    Surface fresh;
    if (!paint_white(fresh, width, height)) return FALSE;
    w->client = std::move(fresh);
    w->invalid = true;
    w->erase = true;
    w->invalid_rect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL platform_take_invalid_rect(HWND hwnd, RECT* rect, BOOL* erase)
{
    Window* w = find<Window>(hwnd);
    if (!w || !w->invalid) return FALSE;
    if (rect) *rect = w->invalid_rect;
    if (erase) *erase = w->erase ? TRUE : FALSE;
    w->invalid = false;
    w->erase = false;
    return TRUE;
}

HDC GetDC(HWND hwnd)
{
    auto dc = std::make_unique<Dc>();
    dc->device_bpp = screen_depth();
    if (hwnd) {
        Window* w = find<Window>(hwnd);
        if (!w) return nullptr;
        dc->type = Dc_Type::window;
        dc->window = hwnd;
        dc->device_bpp = w->client.bpp;
        if (w->calls) {
            Dc_Drawing& d = drawing_of(*dc);
            d.recording = true;
            d.window_calls = w->calls;
        }
    } else {
        dc->type = Dc_Type::screen;
    }
    install_default_objects(*dc);
    return static_cast<HDC>(add_object(std::move(dc)));
}

int ReleaseDC(HWND hwnd, HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc || dc->type == Dc_Type::memory) return 0;
    if (dc->window != hwnd) return 0;
    release_selected_objects(*dc);
    return remove_object(hdc, Kind::dc) ? 1 : 0;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    Window* w = find<Window>(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->client.width, w->client.height};
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    Window* w = find<Window>(hwnd);
    if (!w) return FALSE;
    RECT r = rect ? *rect : RECT{0, 0, w->client.width, w->client.height};
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    if (w->invalid) {
        r.left = std::min(r.left, w->invalid_rect.left);
        r.top = std::min(r.top, w->invalid_rect.top);
        r.right = std::max(r.right, w->invalid_rect.right);
        r.bottom = std::max(r.bottom, w->invalid_rect.bottom);
    }
    w->invalid_rect = r;
    w->invalid = true;
    w->erase = w->erase || erase;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    Window* w = find<Window>(hwnd);
    if (!w || !point) return FALSE;
    point->x -= w->origin.x;
    point->y -= w->origin.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    Window* w = find<Window>(hwnd);
    if (!w || !point) return FALSE;
    point->x += w->origin.x;
    point->y += w->origin.y;
    return TRUE;
}

BOOL platform_set_window_origin(HWND hwnd, int x, int y)
{
    Window* w = find<Window>(hwnd);
    if (!w) return FALSE;
    w->origin = POINT{x, y};
    return TRUE;
}
