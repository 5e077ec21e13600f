#include "platform/recording_dc.h"

#include "platform/gdi.h"
#include "platform/gdi_draw_p.h"

using namespace platform;

HDC platform_create_recording_dc(HBITMAP backing)
{
    if (backing && !find<Bitmap>(backing)) return nullptr;
    HDC hdc = CreateCompatibleDC(nullptr);
    Dc* dc = find_dc(hdc);
    if (!dc) return nullptr;
    if (backing && !SelectObject(hdc, backing)) {
        DeleteDC(hdc);
        return nullptr;
    }
    Dc_Drawing& d = drawing_of(*dc);
    d.recording = true;
    d.draws = backing != nullptr;
    return hdc;
}

std::vector<Platform_Call> platform_recorded_calls(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !dc->drawing || !dc->drawing->recording) return {};
    return dc->drawing->log();
}

BOOL platform_clear_recorded_calls(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !dc->drawing || !dc->drawing->recording) return FALSE;
    dc->drawing->log().clear();
    return TRUE;
}

BOOL platform_record_window(HWND hwnd, BOOL on)
{
    Window* w = find<Window>(hwnd);
    if (!w) return FALSE;
    if (!on)
        w->calls.reset();
    else if (!w->calls)
        w->calls = std::make_shared<std::vector<Platform_Call>>();
    return TRUE;
}

std::vector<Platform_Call> platform_window_calls(HWND hwnd)
{
    Window* w = find<Window>(hwnd);
    return w && w->calls ? *w->calls : std::vector<Platform_Call>{};
}

BOOL platform_clear_window_calls(HWND hwnd)
{
    Window* w = find<Window>(hwnd);
    if (!w || !w->calls) return FALSE;
    w->calls->clear();
    return TRUE;
}

std::string platform_call_text(const Platform_Call& call)
{
    std::string s = call.name;
    for (long long a : call.args) s += ' ' + std::to_string(a);
    if (!call.text.empty()) s += " \"" + call.text + '"';
    return s;
}
