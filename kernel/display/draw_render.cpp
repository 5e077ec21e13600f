#include "kernel/display/draw_render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "geometry/dc_draw.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/display/view_undo_redo.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/window.h"

namespace {

constexpr double k_min_scaling = 1e-9;
constexpr double k_max_scaling = 1e11;
constexpr int k_grip_size = 3;

// Meshes and faces are drawn even when their rectangle misses the view.
bool always_drawn(const MB_Drawable& d)
{
    const MB_Object::MB_ID id = d.object_id();
    return id == MB_Object::ID_POLYGON_MESH || id == MB_Object::ID_POLYFACE_MESH || id == MB_Object::ID_FACE;
}

int width_of(const RECT& r)
{
    return r.right - r.left;
}

int height_of(const RECT& r)
{
    return r.bottom - r.top;
}

}  // namespace

MB_Draw_Render::MB_Draw_Render() : m_view_undo_redo(std::make_unique<MB_View_Undo_Redo>())
{
    m_view_undo_redo->init(this);
}

MB_Draw_Render::~MB_Draw_Render() = default;

void MB_Draw_Render::init(MB_Operation* op, MB_Object* layout)
{
    m_operation = op;
    m_quick_dc.wnd(api_operation_wnd(op));
    m_drawing = api_operation_drawing(op);
    m_layout = layout;
    if (HWND w = m_quick_dc.wnd()) {
        compute_transf();
        HDC dc = GetDC(w);
        init_quick_dc(dc);
        ReleaseDC(w, dc);
    }
}

void MB_Draw_Render::compute_transf()
{
    const RECT r = m_quick_dc.screen_rect();
    const double w = width_of(r);
    const double h = height_of(r);
    if (w < 2 || h < 2) return;
    if (std::fabs(m_view_height) < 0.001 || std::fabs(m_view_width) < 0.001) return;
    // The sheet's height goes with the pixel height and its width with the pixel width;
    // the offsets are taken as the stored views expect them.
    const double f = std::min(h / m_view_height, w / m_view_width);
    const double off_x = (h - f * m_view_height) / 2;
    const double off_y = f * m_view_width + (w - f * m_view_width) / 2;
    Qe_Tran t = translate_transf(m_zoom_transf.translation()) * scale_transf(m_zoom_transf.scaling());
    if (g_y_dir) t = t * reflect_transf(Qe_Vec(0.0, 1.0, 0.0));
    m_drawing_to_screen = t * translate_transf(Qe_Vec(off_x, off_y, 0.0));
}

void MB_Draw_Render::resize()
{
    m_quick_dc.resize();
    m_quick_dc.rebuild_draw_rect(screen_to_drawing());
}

void MB_Draw_Render::init_quick_dc(HDC)
{
    m_quick_dc.resize();
}

bool MB_Draw_Render::can_paint() const
{
    HWND w = m_quick_dc.wnd();
    if (!w || !m_drawing || !m_operation) return false;
    RECT client{};
    if (!GetClientRect(w, &client)) return false;
    return width_of(client) > 0 && height_of(client) > 0;
}

void MB_Draw_Render::fill_background(Qe_Qdc& qdc) const
{
    const long background = api_operation_system_setting(m_operation).get_long_val(MB_System_Setting::k_long_background);
    qdc.black_color(background);
    qdc.SetColor(static_cast<unsigned long>(background), false);
    const RECT clip = qdc.screen_rect();
    qdc.FillRect(&clip);
}

void MB_Draw_Render::draw_entities(Qe_Qdc& qdc, const Qe_Rect& v, bool record)
{
    Qe_Tran t = m_drawing_to_screen;
    for (MB_Object* o = m_drawing->get_active_object_list().get_head(); o; o = o->next()) {
        auto* d = dynamic_cast<MB_Drawable*>(o);
        if (!d || d->flag() != MB_Drawable::State_Normal) continue;
        if (!d->rect().intersect_rect(&v) && !always_drawn(*d)) continue;
        qdc.SetColor(static_cast<unsigned long>(d->general().color()), true);
        d->draw(nullptr, qdc, t);
        if (record) m_display_list.add(d);
    }
}

void MB_Draw_Render::draw_rubber(HDC mem)
{
    // The active tool's rubber band, on top of the selection.
    api_operation_draw_rubber(m_operation, mem);
}

void MB_Draw_Render::draw(HDC dc)
{
    if (!can_paint()) return;
    const auto start = std::chrono::steady_clock::now();
    m_display_list.clear();
    if (!m_quick_dc.GetDC()) m_quick_dc.resize();
    HDC mem = m_quick_dc.GetDC();
    if (!mem) return;

    fill_background(m_quick_dc);
    m_coor_lines.draw(mem, m_drawing_to_screen, *this);
    m_quick_dc.draw_rect().build_by_RECT(m_quick_dc.screen_rect(), screen_to_drawing());
    draw_entities(m_quick_dc, m_quick_dc.draw_rect(), true);
    Qe_Tran t = m_drawing_to_screen;
    draw_select_list(t, m_quick_dc);
    draw_rubber(mem);
    m_quick_dc.bitblt(dc);

    const auto elapsed = std::chrono::steady_clock::now() - start;
    g_draw_time = static_cast<mb_long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void MB_Draw_Render::draw_all(HDC dc)
{
    if (!can_paint()) return;
    if (!m_quick_dc.GetDC()) m_quick_dc.resize();
    if (!m_quick_dc.GetDC()) return;
    fill_background(m_quick_dc);
    m_quick_dc.draw_rect().build_by_RECT(m_quick_dc.screen_rect(), screen_to_drawing());
    draw_entities(m_quick_dc, m_quick_dc.draw_rect(), false);
    m_quick_dc.bitblt(dc);
}

void MB_Draw_Render::draw_select_list(Qe_Tran& t, Qe_Qdc& qdc)
{
    Qe_Void_List* listed = api_operation_selection(m_operation);
    if (!listed || listed->is_empty()) return;
    Qe_Void_List& selection = *listed;
    const MB_System_Setting& settings = api_operation_system_setting(m_operation);
    const long colour = settings.get_long_val(MB_System_Setting::k_long_selection);
    HDC mem = qdc.GetDC();

    qdc.SetLineStyleDashed(1);
    HPEN pen = CreatePen(PS_SOLID, 0, static_cast<COLORREF>(colour));
    HGDIOBJ old = SelectObject(mem, pen);
    for (Qe_Void_Node* n = selection.head(); n; n = n->next()) {
        auto* d = static_cast<MB_Drawable*>(n->entity());
        if (!d || !d->rect().intersect_rect(&qdc.draw_rect())) continue;
        qdc.SetColor(static_cast<unsigned long>(colour), true);
        d->draw(nullptr, qdc, t);
        d->draw_key_point(mem, qdc, t);
        // Repeated partial repaints must not list a drawable twice.
        m_display_list.removeValue(d);
        m_display_list.add_head(d);
    }
    if (old) SelectObject(mem, old);
    DeleteObject(pen);
    qdc.SetLineStyleDashed(0);

    if (settings.get_bool_val(MB_System_Setting::k_bool_grips) != 1) return;
    Qe_Rect box;
    if (!api_mb_get_entity_list_rect(selection, box)) return;
    const Qe_Pt a = box.lt() * t;
    const Qe_Pt b = box.rb() * t;
    api_mb_draw_rect(mem, a, b, 0.0, 0);
    const Qe_Pt m((a.x() + b.x()) / 2, (a.y() + b.y()) / 2, 0.0);
    const Qe_Pt grips[9] = {a,
                            b,
                            Qe_Pt(a.x(), b.y(), 0.0),
                            Qe_Pt(b.x(), a.y(), 0.0),
                            Qe_Pt(m.x(), a.y(), 0.0),
                            Qe_Pt(m.x(), b.y(), 0.0),
                            Qe_Pt(a.x(), m.y(), 0.0),
                            Qe_Pt(b.x(), m.y(), 0.0),
                            m};
    for (const Qe_Pt& g : grips) api_mb_draw_point(mem, g, 0, k_grip_size, 1);
}

void MB_Draw_Render::redraw_rect(RECT& r)
{
    if (!can_paint()) return;
    HWND w = m_quick_dc.wnd();
    // Ordered, so that the copy starts at the rectangle's top-left corner whichever
    // corners it was given by.
    const RECT area{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                    std::max(r.top, r.bottom)};
    Qe_Qdc temp;
    temp.wnd(w);
    temp.resize();
    // After the sizing, so that only the damaged rectangle is drawn.
    temp.SetDrawRect(area);
    HDC mem = temp.GetDC();
    if (!mem) return;
    const Qe_Tran s2d = screen_to_drawing();
    temp.draw_rect().set_rect(Qe_Pt(area.left, area.top, 0.0) * s2d, Qe_Pt(area.right, area.bottom, 0.0) * s2d);

    fill_background(temp);
    m_coor_lines.draw(mem, m_drawing_to_screen, *this);
    draw_entities(temp, temp.draw_rect(), false);
    Qe_Tran t = m_drawing_to_screen;
    draw_select_list(t, temp);

    HDC wdc = GetDC(w);
    if (!wdc) return;
    BitBlt(wdc, area.left, area.top, width_of(area), height_of(area), mem, area.left, area.top, SRCCOPY);
    ReleaseDC(w, wdc);
}

void MB_Draw_Render::redraw_list(Qe_Void_List& list)
{
    Qe_Rect box;
    if (!api_mb_get_entity_list_rect(list, box)) return;
    const Qe_Pt a = box.lt() * m_drawing_to_screen;
    const Qe_Pt b = box.rb() * m_drawing_to_screen;
    RECT r{api_mb_to_pixel(a.x()) - k_redraw_margin, api_mb_to_pixel(a.y()) - k_redraw_margin,
           api_mb_to_pixel(b.x()) + k_redraw_margin, api_mb_to_pixel(b.y()) + k_redraw_margin};
    redraw_rect(r);
}

void MB_Draw_Render::redraw_object(MB_Drawable* d)
{
    if (!d) return;
    m_display_list.addIfAbsent(d);
    Qe_Void_List one;
    one.add(d);
    redraw_list(one);
}

void MB_Draw_Render::draw_object(MB_Drawable* d)
{
    HWND w = m_quick_dc.wnd();
    if (!d || !w) return;
    HDC wdc = GetDC(w);
    if (!wdc) return;
    HPEN pen = CreatePen(PS_SOLID, 0, static_cast<COLORREF>(d->general().color()));
    HGDIOBJ old = SelectObject(wdc, pen);
    Qe_Tran t = m_drawing_to_screen;
    d->draw(wdc, m_quick_dc, t);
    m_display_list.addIfAbsent(d);
    if (old) SelectObject(wdc, old);
    DeleteObject(pen);
    ReleaseDC(w, wdc);
}

void MB_Draw_Render::redraw_all()
{
    m_update_flag = true;
    if (HWND w = m_quick_dc.wnd()) InvalidateRect(w, nullptr, TRUE);
}

void MB_Draw_Render::invalidate()
{
    redraw_all();
}

void MB_Draw_Render::set_zoom_transf(Qe_Vec& v, double k)
{
    const double s = m_zoom_transf.scaling() * k;
    if (!(s >= k_min_scaling && s <= k_max_scaling)) return;
    m_zoom_transf = m_zoom_transf * translate_transf(v) * scale_transf(k);
    compute_transf();
}

void MB_Draw_Render::zoom_window(const Qe_Pt& p1, const Qe_Pt& p2)
{
    const double s = m_drawing_to_screen.scaling();
    const double w = s * std::fabs(p1.x() - p2.x());
    const double h = s * std::fabs(p1.y() - p2.y());
    if (w == 0 || h == 0) return;
    const RECT r = m_quick_dc.screen_rect();
    const int pw = width_of(r);
    const int ph = height_of(r);
    if (pw == 0 || ph == 0) return;
    const double k = std::min(pw / w, ph / h);
    Qe_Vec zero(0.0, 0.0, 0.0);
    set_zoom_transf(zero, k);
    const Qe_Pt m = p1 + (p2 - p1) / 2;
    const Qe_Pt mp = m * m_drawing_to_screen;
    const Qe_Pt c(r.left + pw / 2, r.top + ph / 2, 0.0);
    Qe_Vec v = (c - mp) * screen_to_drawing();
    set_zoom_transf(v, 1.0);
    compute_transf();
}

void MB_Draw_Render::zoom_all()
{
    if (!m_drawing) return;
    Qe_Rect box;
    bool any = false;
    for (MB_Object* o = m_drawing->get_active_object_list().get_head(); o; o = o->next()) {
        auto* d = dynamic_cast<MB_Drawable*>(o);
        if (!d || d->flag() == MB_Drawable::State_Hidden) continue;
        // A block reference whose block is empty has no extent to show.
        if (d->object_id() == MB_Object::ID_INSERT && d->rect().is_pt()) continue;
        if (any)
            box.union_rect(d->rect());
        else
            box = d->rect();
        any = true;
    }
    if (!any) return;
    zoom_window(box.lt(), box.rb());
    redraw_all();
}

void MB_Draw_Render::scale_view(double k)
{
    const RECT r = m_quick_dc.screen_rect();
    int x = 0, y = 0;
    api_mb_get_rect_center(x, y, r);
    scale_view(k, x, y);
}

void MB_Draw_Render::scale_view(double k, int x, int y)
{
    const Qe_Pt pixel(x, y, 0.0);
    const Qe_Pt before = pixel * screen_to_drawing();
    const Qe_Tran z = m_zoom_transf;
    m_zoom_transf = z * scale_transf(k);
    compute_transf();
    const Qe_Pt after = pixel * screen_to_drawing();
    m_zoom_transf = z * scale_transf(k) * translate_transf(after - before);
    compute_transf();
}

void MB_Draw_Render::pan_view(const Qe_Pt& from, const Qe_Pt& to)
{
    m_zoom_transf = m_zoom_transf * translate_transf(to - from);
    compute_transf();
}

void MB_Draw_Render::pan_view(Qe_Vec v)
{
    m_zoom_transf = m_zoom_transf * translate_transf(v) * scale_transf(1.0);
    compute_transf();
}

// ---- MB_Draw_Render_List

void MB_Draw_Render_List::add(MB_Draw_Render* r)
{
    if (!r) return;
    r->next(nullptr);
    r->prev(m_tail);
    if (m_tail)
        m_tail->next(r);
    else
        m_head = r;
    m_tail = r;
    m_cur = r;
}

void MB_Draw_Render_List::kill_all()
{
    MB_Draw_Render* r = m_head;
    m_head = m_tail = m_cur = nullptr;
    while (r) {
        MB_Draw_Render* next = r->next();
        delete r;
        r = next;
    }
}

void MB_Draw_Render_List::set_cur(MB_Object* layout)
{
    if (!layout) {
        m_cur = m_head;
        return;
    }
    for (MB_Draw_Render* r = m_head; r; r = r->next())
        if (r->layout() == layout) {
            m_cur = r;
            return;
        }
}
