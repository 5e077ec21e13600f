// Export of a view region to an image file or to the clipboard.

#include <climits>
#include <cmath>

#include "geometry/file_names.h"
#include "geometry/rect.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/display/draw_render.h"
#include "kernel/database/operation_context.h"
#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "platform/ximage.h"

namespace {

constexpr double k_min_extent = 0.001;

DWORD image_type_of(const char* path)
{
    struct Ext {
        const char* ext;
        DWORD type;
    };
    static constexpr Ext k_types[] = {
        {"BMP", CXIMAGE_FORMAT_BMP}, {"GIF", CXIMAGE_FORMAT_GIF}, {"TIF", CXIMAGE_FORMAT_TIF},
        {"PNG", CXIMAGE_FORMAT_PNG}, {"WMF", CXIMAGE_FORMAT_WMF},
    };
    for (const Ext& e : k_types)
        if (is_file_ext(path, e.ext)) return e.type;
    return CXIMAGE_FORMAT_JPG;
}

}  // namespace

bool MB_Draw_Render::export_image(char* path, Qe_Rect& rect, long, long height, short, long background, long dpi)
{
    const double w = rect.rb().x() - rect.lt().x();
    const double h = rect.lt().y() - rect.rb().y();
    if (!(std::fabs(w) >= k_min_extent && std::fabs(h) >= k_min_extent)) return false;
    const double ph = static_cast<double>(height);
    const double pw = ph * w / h;
    if (!(pw > 1 && ph > 1)) return false;
    if (!m_drawing) return false;
    const double k = std::min(pw / w, ph / h);

    const Qe_Pt centre = rect.lt() + (rect.rb() - rect.lt()) / 2;
    Qe_Tran t = translate_transf(Qe_Pt(0, 0, 0) - centre) * scale_transf(k) * reflect_transf(Qe_Vec(0.0, 1.0, 0.0)) *
                translate_transf(Qe_Vec(pw / 2, ph / 2, 0.0));

    HWND wnd = m_operation ? api_operation_wnd(m_operation) : m_quick_dc.wnd();
    HDC wdc = GetDC(wnd);
    if (!wdc) return false;
    HDC mem = CreateCompatibleDC(wdc);
    if (!mem) {
        ReleaseDC(wnd, wdc);
        return false;
    }
    // Sizes beyond an int cannot be a bitmap either.
    HBITMAP bitmap = nullptr;
    if (pw < INT_MAX && ph < INT_MAX) bitmap = CreateCompatibleBitmap(wdc, static_cast<int>(pw), static_cast<int>(ph));
    if (!bitmap) {
        DeleteDC(mem);
        MessageBoxA(wnd, "The image is too large,Out of memery!", "Tavimor Error Message", MB_OK);
        ReleaseDC(wnd, wdc);
        return false;
    }

    HGDIOBJ old_bitmap = SelectObject(mem, bitmap);
    const RECT all{0, 0, static_cast<int>(pw), static_cast<int>(ph)};
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(background));
    FillRect(mem, &all, brush);
    DeleteObject(brush);

    for (MB_Object* o = m_drawing->get_active_object_list().get_head(); o; o = o->next()) {
        auto* d = dynamic_cast<MB_Drawable*>(o);
        if (!d || d->flag() != MB_Drawable::State_Normal) continue;
        if (!d->rect().intersect_rect(&rect)) continue;
        long colour = d->general().color();
        // A drawable in the background colour would vanish.
        if (colour == background) colour ^= 0xFFFFFF;
        HPEN pen = CreatePen(PS_SOLID, 0, static_cast<COLORREF>(colour));
        HGDIOBJ old_pen = SelectObject(mem, pen);
        d->draw(mem, m_quick_dc, t);
        if (old_pen) SelectObject(mem, old_pen);
        DeleteObject(pen);
    }
    // The bitmap leaves the DC before it is copied or handed over.
    if (old_bitmap) SelectObject(mem, old_bitmap);

    bool done = false;
    bool taken = false;
    if (path && *path) {
        CxImage image(CXIMAGE_FORMAT_UNKNOWN);
        if (image.CreateFromHBITMAP(bitmap, nullptr)) {
            image.SetXDPI(dpi);
            image.SetYDPI(dpi);
            done = image.Save(path, image_type_of(path));
        }
        image.Destroy();
    } else if (OpenClipboard(wnd)) {
        EmptyClipboard();
        taken = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
        CloseClipboard();
        done = taken;
    }

    ReleaseDC(wnd, wdc);
    DeleteDC(mem);
    if (!taken) DeleteObject(bitmap);
    return done;
}
