#include "kernel/operation/rubber.h"

#include <cmath>
#include <numbers>

#include "geometry/dc_draw.h"
#include "geometry/pt_list.h"
#include "geometry/tolerance.h"
#include "kernel/database/drawable.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_render.h"
#include "kernel/operation/operation.h"
#include "platform/font.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/window.h"

namespace {

constexpr long k_rgb_mask = 0xFFFFFF;
constexpr COLORREF k_text_colour = 0x0000FF;

long setting_long(int index)
{
    return api_active_system_setting().get_long_val(index);
}

int setting_short(int index)
{
    return api_active_system_setting().get_short_val(index);
}

MB_System_Setting* active_settings()
{
    MB_Operation* op = api_active_operation();
    return op ? op->system_setting() : nullptr;
}

POINT to_pixel(const Qe_Pt& p)
{
    return POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())};
}

// Sets g_is_rubbering for its lifetime, so that images draw their frame only.
class Rubbering {
public:
    Rubbering() : m_saved(g_is_rubbering) { g_is_rubbering = true; }
    Rubbering(const Rubbering&) = delete;
    Rubbering& operator=(const Rubbering&) = delete;
    ~Rubbering() { g_is_rubbering = m_saved; }

private:
    bool m_saved;
};

void delete_nodes(Qe_Void_List& list)
{
    // Detached first: a node's destructor must not find itself in a list being walked.
    Qe_Void_List nodes;
    list.copy(nodes);
    list.clear();
    for (Qe_Void_Node* n = nodes.head(); n; n = n->next()) delete static_cast<MB_Rubber_Node*>(n->entity());
}

}  // namespace

// ---- MB_Rubber_Node

MB_Rubber_Node::MB_Rubber_Node()
    : m_style(setting_short(MB_System_Setting::k_short_rubber_pen_style)),
      m_width(setting_short(MB_System_Setting::k_short_rubber_pen_width)),
      m_colour(setting_long(MB_System_Setting::k_long_rubber_color)),
      m_pen_colour((~m_colour ^ setting_long(MB_System_Setting::k_long_background)) & k_rgb_mask),
      m_highlight_mask(~setting_long(MB_System_Setting::k_long_rubber_highlight))
{
}

MB_Rubber_Node::~MB_Rubber_Node() = default;

void MB_Rubber_Node::draw(HDC, const Qe_Tran&) {}

void MB_Rubber_Node::set_prop(int style, int width, long colour)
{
    m_style = style;
    m_width = width;
    m_colour = colour;
    m_pen_colour = (~colour ^ setting_long(MB_System_Setting::k_long_background)) & k_rgb_mask;
}

long MB_Rubber_Node::highlight_color(long c) const
{
    return (m_highlight_mask ^ c) & k_rgb_mask;
}

MB_Rubber_Node::Pen::Pen(HDC hdc, int style, int width, long colour)
    : m_hdc(hdc), m_pen(CreatePen(style, width, static_cast<COLORREF>(colour))), m_old(SelectObject(hdc, m_pen))
{
}

MB_Rubber_Node::Pen::~Pen()
{
    if (m_old) SelectObject(m_hdc, m_old);
    DeleteObject(m_pen);
}

// ---- the shapes

MB_Rubber_Point::MB_Rubber_Point(const Qe_Pt& p, short kind, short style) : m_point(p), m_kind(kind), m_marker(style) {}

void MB_Rubber_Point::draw(HDC hdc, const Qe_Tran& t)
{
    Pen pen(hdc, style(), width(), color());
    api_mb_draw_point(hdc, m_point * t, m_marker, 3, 0);
}

MB_Rubber_Line::MB_Rubber_Line(const Qe_Pt& a, const Qe_Pt& b) : m_a(a), m_b(b) {}

void MB_Rubber_Line::draw(HDC hdc, const Qe_Tran& t)
{
    Pen pen(hdc, style(), width(), color());
    api_mb_draw_line(hdc, m_a * t, m_b * t);
}

MB_Rubber_Lines::MB_Rubber_Lines(const Qe_Pt* pts, int n)
{
    if (pts && n > 0) m_points.assign(pts, pts + n);
}

MB_Rubber_Lines::MB_Rubber_Lines(const Qe_Pt_List& list, bool closed, const Qe_Pt& extra)
{
    if (list.is_empty()) return;
    for (const Qe_Pt_Node* n = list.head(); n; n = n->next()) m_points.push_back(*n);
    m_points.push_back(extra);
    if (closed) m_points.push_back(m_points.front());
}

MB_Rubber_Lines::MB_Rubber_Lines(const Qe_Void_List& list, bool closed, const Qe_Pt& extra)
{
    for (Qe_Void_Node* n = list.head(); n; n = n->next())
        if (n->entity()) m_points.push_back(*static_cast<const Qe_Pt*>(n->entity()));
    if (m_points.empty()) return;
    m_points.push_back(extra);
    if (closed) m_points.push_back(m_points.front());
}

void MB_Rubber_Lines::draw(HDC hdc, const Qe_Tran& t)
{
    if (m_points.empty()) return;
    std::vector<POINT> px;
    px.reserve(m_points.size());
    for (const Qe_Pt& p : m_points) px.push_back(to_pixel(p * t));
    Pen pen(hdc, style(), width(), color());
    ::Polyline(hdc, px.data(), static_cast<int>(px.size()));
}

MB_Rubber_Rect::MB_Rubber_Rect(const Qe_Pt& a, const Qe_Pt& b) : m_a(a), m_b(b) {}

void MB_Rubber_Rect::draw(HDC hdc, const Qe_Tran& t)
{
    Pen pen(hdc, style(), width(), color());
    api_mb_draw_rect(hdc, m_a * t, m_b * t, 0.0, 0);
}

MB_Rubber_Arc::MB_Rubber_Arc(const Qe_Pt& centre, const Qe_Pt& start, const Qe_Pt& end)
    : m_centre(centre), m_radius((start - centre).len()), m_start(start), m_end(end)
{
    const Qe_Vec d = end - centre;
    const double l = d.len();
    if (l > resabs) m_end = centre + d * (m_radius / l);
}

MB_Rubber_Arc::MB_Rubber_Arc(const Qe_Pt& centre, double radius, const Qe_Pt& start, const Qe_Pt& end, int style,
                             int width, long colour)
    : m_centre(centre), m_radius(radius), m_start(start), m_end(end)
{
    set_prop(style, width, colour);
}

void MB_Rubber_Arc::draw(HDC hdc, const Qe_Tran& t)
{
    Pen pen(hdc, style(), width(), color());
    api_mb_draw_arc(hdc, m_start * t, m_end * t, m_centre * t, m_radius * t.scaling());
}

MB_Rubber_Circle::MB_Rubber_Circle(const Qe_Pt& centre, const Qe_Pt& on_circle)
    : m_centre(centre), m_radius((on_circle - centre).len())
{
}

MB_Rubber_Circle::MB_Rubber_Circle(const Qe_Pt& centre, double radius) : m_centre(centre), m_radius(radius) {}

void MB_Rubber_Circle::draw(HDC hdc, const Qe_Tran& t)
{
    Pen pen(hdc, style(), width(), color());
    api_mb_draw_circle(hdc, m_centre * t, m_radius * t.scaling(), 0);
}

MB_Rubber_Ellipse::MB_Rubber_Ellipse(const Qe_Pt& centre, double major, double minor, double rotation, double start,
                                     double end)
    : m_centre(centre), m_major(major), m_minor(minor), m_rotation(rotation), m_start(start), m_end(end)
{
}

MB_Rubber_Ellipse::MB_Rubber_Ellipse(const Qe_Pt& centre, const Qe_Pt& axis_end, const Qe_Pt& on_ellipse)
    : m_centre(centre)
{
    const Qe_Vec axis = axis_end - centre;
    const double a = axis.len();
    if (a <= 1e-6) return;
    m_major = a;
    m_rotation = std::atan2(axis.y(), axis.x());
    if (m_rotation < 0) m_rotation += 2 * std::numbers::pi;
    const Qe_Vec u = axis * (1.0 / a);
    const Qe_Vec v(-u.y(), u.x(), 0.0);
    const Qe_Vec w = on_ellipse - centre;
    const double d1 = std::fabs(w.x() * u.x() + w.y() * u.y());
    const double d2 = std::fabs(w.x() * v.x() + w.y() * v.y());
    const double k = 1 - d1 * d1 / (a * a);
    if (k > 0) m_minor = std::sqrt(d2 * d2 / k);
}

void MB_Rubber_Ellipse::draw(HDC hdc, const Qe_Tran& t)
{
    Pen pen(hdc, style(), width(), color());
    const double s = t.scaling();
    api_mb_draw_ellipse(hdc, m_centre * t, m_major * s, m_minor * s, m_rotation, 0);
}

MB_Rubber_Entity_List::MB_Rubber_Entity_List(const Qe_Void_List& list, const Qe_Tran& t, bool highlight)
    : m_list(list), m_tran(t), m_highlight(highlight)
{
    const long background = setting_long(MB_System_Setting::k_long_background);
    m_key_colour = (~setting_long(MB_System_Setting::k_long_rubber_highlight) ^ background) & k_rgb_mask;
    for (Qe_Void_Node* n = m_list.head(); n; n = n->next()) {
        const auto* d = static_cast<const MB_Drawable*>(n->entity());
        m_colours.push_back(highlight && d ? highlight_color(d->general().color()) : color());
    }
}

void MB_Rubber_Entity_List::draw(HDC hdc, const Qe_Tran& t)
{
    const Qe_Tran plain = m_tran * t;
    std::size_t i = 0;
    for (Qe_Void_Node* n = m_list.head(); n; n = n->next(), ++i) {
        auto* d = static_cast<MB_Drawable*>(n->entity());
        if (!d) continue;
        if (!m_highlight) {
            Pen pen(hdc, PS_SOLID, 0, m_colours[i]);
            Qe_Tran tt = plain;
            d->draw(hdc, m_qdc, tt);
            continue;
        }
        {
            Pen pen(hdc, style(), width(), m_colours[i]);
            Qe_Tran tt = t;
            d->draw(hdc, m_qdc, tt);
        }
        Pen pen(hdc, style(), width(), m_key_colour);
        d->draw_key_point(hdc, m_qdc, t);
    }
}

MB_Rubber_Text::MB_Rubber_Text(long x, long y, const char* text, long height)
    : m_x(x), m_y(y), m_text(text ? text : ""), m_height(height)
{
}

void MB_Rubber_Text::draw(HDC hdc, const Qe_Tran&)
{
    const int h = api_mb_to_pixel(static_cast<double>(m_height));
    // SimSun in the ANSI code page; stroke output and clipping precision (3, 4), quality 1,
    // fixed-pitch modern family (0x31).
    HFONT font = CreateFontA(h, 0, 0, 0, 0, 0, 0, 0, 1, 3, 4, 1, 0x31, "\xCB\xCE\xCC\xE5");
    HGDIOBJ old_font = SelectObject(hdc, font);
    const int old_mode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF old_colour = SetTextColor(hdc, k_text_colour);
    const UINT old_align = SetTextAlign(hdc, TA_BOTTOM);
    platform_text_out_rop(hdc, api_mb_to_pixel(static_cast<double>(m_x)), api_mb_to_pixel(static_cast<double>(m_y)),
                          m_text.c_str(), static_cast<int>(m_text.size()));
    SetTextAlign(hdc, old_align);
    SetTextColor(hdc, old_colour);
    SetBkMode(hdc, old_mode);
    if (old_font) SelectObject(hdc, old_font);
    DeleteObject(font);
}

// ---- MB_Rubber

MB_Rubber::~MB_Rubber()
{
    reset();
    delete_drw_list(m_new_list);
    delete_drw_list(m_old_list);
}

void MB_Rubber::set_color(long c)
{
    if (MB_System_Setting* s = active_settings()) s->set_long_val(MB_System_Setting::k_long_rubber_color, c);
}

void MB_Rubber::set_style(int style)
{
    if (MB_System_Setting* s = active_settings())
        s->set_short_val(MB_System_Setting::k_short_rubber_pen_style, static_cast<unsigned short>(style));
}

void MB_Rubber::set_width(int w)
{
    if (MB_System_Setting* s = active_settings())
        s->set_short_val(MB_System_Setting::k_short_rubber_pen_width, static_cast<unsigned short>(w));
}

long MB_Rubber::get_color() const
{
    return setting_long(MB_System_Setting::k_long_rubber_color);
}

int MB_Rubber::get_style() const
{
    return setting_short(MB_System_Setting::k_short_rubber_pen_style);
}

int MB_Rubber::get_width() const
{
    return setting_short(MB_System_Setting::k_short_rubber_pen_width);
}

void MB_Rubber::draw_begin()
{
    m_state = 1;
    if (!m_xor_flag) delete_drw_list(m_new_list);
}

void MB_Rubber::add_node_to_newlist(MB_Rubber_Node* node)
{
    if (!node) return;
    if (m_state != 1) {
        delete node;
        return;
    }
    m_new_list.add(node);
}

void MB_Rubber::draw_inverting(HDC hdc, Qe_Void_List& list, const Qe_Tran& t)
{
    Rubbering rubbering;
    const int old_mode = SetROP2(hdc, R2_NOTXORPEN);
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) static_cast<MB_Rubber_Node*>(n->entity())->draw(hdc, t);
    if (old_mode) SetROP2(hdc, old_mode);
}

void MB_Rubber::draw(Qe_Void_List& list)
{
    if (!m_draw_render || list.is_empty()) return;
    HWND wnd = m_draw_render->quick_dc().wnd();
    if (!wnd) return;
    HDC hdc = GetDC(wnd);
    if (!hdc) return;
    draw_inverting(hdc, list, m_draw_render->drawing_to_screen());
    ReleaseDC(wnd, hdc);
}

void MB_Rubber::draw_end()
{
    if (!m_xor_flag) return;
    if (m_state == 1) {
        draw(m_old_list);
        draw(m_new_list);
        delete_drw_list(m_old_list);
        copylist_new_to_old();
        m_new_list.clear();
    }
    m_state = 0;
}

void MB_Rubber::reset()
{
    if (m_xor_flag) {
        draw(m_old_list);
        delete_drw_list(m_old_list);
        m_state = 0;
    } else {
        delete_drw_list(m_new_list);
    }
}

void MB_Rubber::draw_no_xor(HDC hdc)
{
    if (!m_draw_render || !hdc) return;
    const Qe_Tran& t = m_draw_render->drawing_to_screen();
    for (Qe_Void_Node* n = m_new_list.head(); n; n = n->next()) static_cast<MB_Rubber_Node*>(n->entity())->draw(hdc, t);
}

void MB_Rubber::draw_on_repaint(HDC hdc)
{
    if (!m_xor_flag) {
        draw_no_xor(hdc);
        return;
    }
    if (!m_draw_render || !hdc) return;
    draw_inverting(hdc, m_old_list, m_draw_render->drawing_to_screen());
}

void MB_Rubber::forget_shown()
{
    delete_drw_list(m_old_list);
}

namespace {

bool draws_any(const MB_Rubber_Node* node, const std::vector<MB_Drawable*>& gone)
{
    const auto* list = dynamic_cast<const MB_Rubber_Entity_List*>(node);
    if (!list) return false;
    for (const MB_Drawable* d : gone)
        if (list->names(d)) return true;
    return false;
}

}  // namespace

void MB_Rubber::forget_drawables(const std::vector<MB_Drawable*>& gone)
{
    if (gone.empty()) return;
    for (Qe_Void_Node* n = m_old_list.head(); n; n = n->next())
        if (draws_any(static_cast<MB_Rubber_Node*>(n->entity()), gone)) {
            draw(m_old_list);
            delete_drw_list(m_old_list);
            break;
        }
    for (Qe_Void_Node* n = m_new_list.head(); n;) {
        auto* node = static_cast<MB_Rubber_Node*>(n->entity());
        if (draws_any(node, gone)) {
            n = m_new_list.remove_node(n);
            delete node;
        } else {
            n = n->next();
        }
    }
}

void MB_Rubber::delete_drw_list(Qe_Void_List& list)
{
    delete_nodes(list);
}

void MB_Rubber::copylist_new_to_old()
{
    m_old_list.append(m_new_list);
}

void MB_Rubber::draw_rect(const Qe_Pt& a, const Qe_Pt& b)
{
    add_node_to_newlist(new MB_Rubber_Rect(a, b));
}

void MB_Rubber::draw_line(const Qe_Pt& a, const Qe_Pt& b)
{
    add_node_to_newlist(new MB_Rubber_Line(a, b));
}

void MB_Rubber::draw_lines(Qe_Pt_List& list, const Qe_Pt& extra, bool closed)
{
    add_node_to_newlist(new MB_Rubber_Lines(list, closed, extra));
}

void MB_Rubber::draw_arc(const Qe_Pt& centre, const Qe_Pt& start, const Qe_Pt& end)
{
    add_node_to_newlist(new MB_Rubber_Arc(centre, start, end));
}

void MB_Rubber::draw_circle(const Qe_Pt& centre, double radius)
{
    add_node_to_newlist(new MB_Rubber_Circle(centre, radius));
}

void MB_Rubber::draw_ellipse(const Qe_Pt& centre, Qe_Pt& axis_end, const Qe_Pt& on_ellipse)
{
    add_node_to_newlist(new MB_Rubber_Ellipse(centre, axis_end, on_ellipse));
}

void MB_Rubber::draw_entity(MB_Drawable* d, const Qe_Tran& t)
{
    Qe_Void_List one;
    one.add(d);
    add_node_to_newlist(new MB_Rubber_Entity_List(one, t, false));
}

void MB_Rubber::draw_entity_list(Qe_Void_List& list, const Qe_Tran& t)
{
    add_node_to_newlist(new MB_Rubber_Entity_List(list, t, false));
}

void MB_Rubber::highlight_entity_list(Qe_Void_List& list)
{
    add_node_to_newlist(new MB_Rubber_Entity_List(list, Qe_Tran(), true));
}

void MB_Rubber::draw_text(long x, long y, const char* text, long height)
{
    add_node_to_newlist(new MB_Rubber_Text(x, y, text, height));
}

void MB_Rubber::draw_point(const Qe_Pt& p, short kind, short style)
{
    add_node_to_newlist(new MB_Rubber_Point(p, kind, style));
}

void MB_Rubber::draw_spline(Qe_Pt_List& points, const Qe_Pt& cursor, const Qe_Tran& t)
{
    add_node_to_newlist(new MB_Rubber_Spline(points, cursor, t));
}
