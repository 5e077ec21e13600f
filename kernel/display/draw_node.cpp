#include "kernel/display/draw_node.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "geometry/plane_geometry.h"
#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "geometry/segment_predicates.h"
#include "kernel/database/drawable.h"
#include "kernel/database/kind_hooks_p.h"
#include "kernel/database/line_type.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/ximage.h"

namespace {

// The points through t, truncated to pixels.
std::vector<POINT> to_pixels(const Qe_Pt* pts, std::size_t n, const Qe_Tran& t)
{
    std::vector<POINT> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Qe_Pt p = pts[i] * t;
        out[i] = POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())};
    }
    return out;
}

// A brush and a pen selected into a DC for the length of one fill; both are deleted after.
class Fill_Tools {
public:
    Fill_Tools(HDC dc, HBRUSH brush, HPEN pen) : m_dc(dc), m_brush(brush), m_pen(pen)
    {
        m_old_brush = SelectObject(dc, brush);
        m_old_pen = SelectObject(dc, pen);
    }
    ~Fill_Tools()
    {
        if (m_old_pen) SelectObject(m_dc, m_old_pen);
        if (m_old_brush) SelectObject(m_dc, m_old_brush);
        DeleteObject(m_pen);
        DeleteObject(m_brush);
    }
    Fill_Tools(const Fill_Tools&) = delete;
    Fill_Tools& operator=(const Fill_Tools&) = delete;

private:
    HDC m_dc;
    HBRUSH m_brush;
    HPEN m_pen;
    HGDIOBJ m_old_brush = nullptr;
    HGDIOBJ m_old_pen = nullptr;
};

// Fills and strokes the path drawn so far and opens the next one.
void fill_path_so_far(HDC dc)
{
    EndPath(dc);
    StrokeAndFillPath(dc);
    BeginPath(dc);
}

// A pen selected for the length of a scope, then deleted.
class Scoped_Pen {
public:
    Scoped_Pen(HDC dc, long colour) : m_dc(dc), m_pen(CreatePen(PS_SOLID, 0, static_cast<COLORREF>(colour)))
    {
        m_old = SelectObject(dc, m_pen);
    }
    ~Scoped_Pen()
    {
        if (m_old) SelectObject(m_dc, m_old);
        DeleteObject(m_pen);
    }
    Scoped_Pen(const Scoped_Pen&) = delete;
    Scoped_Pen& operator=(const Scoped_Pen&) = delete;

private:
    HDC m_dc;
    HPEN m_pen;
    HGDIOBJ m_old = nullptr;
};

}  // namespace

// ---- MB_Draw_Node

MB_Draw_Node::~MB_Draw_Node()
{
    m_prev = nullptr;
    m_next = nullptr;
    m_drawable = nullptr;
    delete m_rect;
}

void MB_Draw_Node::draw(Qe_Qdc&, const Qe_Tran&) {}
void MB_Draw_Node::draw(HDC, const Qe_Tran&) {}
void MB_Draw_Node::build_rect() {}

bool MB_Draw_Node::pick(const Qe_Pt&, Qe_Pt&, double)
{
    return false;
}

void MB_Draw_Node::color(long c)
{
    m_color = c;
    build_color();
}

void MB_Draw_Node::build_color()
{
    if (!api_has_active_operation()) return;
    const long background = api_active_system_setting().get_long_val(MB_System_Setting::k_long_background);
    if (std::labs(m_color - background) < 100) m_color = ~m_color & 0xFFFFFF;
}

double MB_Draw_Node::diagonal_len() const
{
    if (!m_rect) return 0.0;
    return (m_rect->lt() - m_rect->rb()).len();
}

long MB_Draw_Node::draw_color() const
{
    const long background = api_active_system_setting().get_long_val(MB_System_Setting::k_long_background);
    return m_color == background ? (~m_color & 0xFFFFFF) : m_color;
}

HBRUSH MB_Draw_Node::fill_brush() const
{
    if (m_drawable && m_drawable->is_selected())
        return CreateHatchBrush(HS_BDIAGONAL,
                                static_cast<COLORREF>(api_active_system_setting().get_long_val(MB_System_Setting::k_long_selection)));
    return CreateSolidBrush(static_cast<COLORREF>(draw_color()));
}

void MB_Draw_Node::set_rect(Qe_Rect* r)
{
    if (r == m_rect) return;
    delete m_rect;
    m_rect = r;
}

// ---- MB_Draw_List

MB_Draw_List::~MB_Draw_List() = default;

MB_Draw_Node* MB_Draw_List::add(MB_Draw_Node* node)
{
    if (!node) return nullptr;
    node->next(nullptr);
    node->prev(m_tail);
    if (m_tail)
        m_tail->next(node);
    else
        m_head = node;
    m_tail = node;
    return node;
}

void MB_Draw_List::add_head(MB_Draw_Node* node)
{
    if (!node) return;
    node->prev(nullptr);
    node->next(m_head);
    if (m_head)
        m_head->prev(node);
    else
        m_tail = node;
    m_head = node;
}

void MB_Draw_List::insert(MB_Draw_Node*, MB_Drawable*) {}

void MB_Draw_List::kill(MB_Draw_Node* node)
{
    if (!node) return;
    MB_Draw_Node* n = m_head;
    while (n && n != node) n = n->next();
    if (!n) return;
    if (node->prev())
        node->prev()->next(node->next());
    else
        m_head = node->next();
    if (node->next())
        node->next()->prev(node->prev());
    else
        m_tail = node->prev();
    delete node;
}

void MB_Draw_List::kill_all()
{
    MB_Draw_Node* n = m_head;
    m_head = m_tail = nullptr;
    while (n) {
        MB_Draw_Node* next = n->next();
        delete n;
        n = next;
    }
}

void MB_Draw_List::draw(HDC hdc, const Qe_Tran& t)
{
    for (MB_Draw_Node* n = m_head; n; n = n->next()) n->draw(hdc, t);
}

// ---- MB_Draw_Lines_Set

MB_Draw_Lines_Set::MB_Draw_Lines_Set(Qe_Pt* pts, int n, long colour, MB_Drawable* owner) : Qe_Pt_Set(n, pts)
{
    m_drawable = owner;
    color(colour);
}

void MB_Draw_Lines_Set::draw(Qe_Qdc& qdc, const Qe_Tran& t)
{
    qdc.SetColor(static_cast<unsigned long>(m_color), true);
    if (count() < 2) return;
    const std::vector<POINT> px = to_pixels(points(), static_cast<std::size_t>(count()), t);
    qdc.Polyline(px.data(), count());
}

void MB_Draw_Lines_Set::draw(HDC hdc, const Qe_Tran& t)
{
    if (count() < 2) return;
    const std::vector<POINT> px = to_pixels(points(), static_cast<std::size_t>(count()), t);
    if (count() == 2) {
        MoveToEx(hdc, px[0].x, px[0].y, nullptr);
        LineTo(hdc, px[1].x, px[1].y);
    } else {
        ::Polyline(hdc, px.data(), count());
    }
}

void MB_Draw_Lines_Set::build_rect()
{
    if (count() == 2)
        set_rect(new Qe_Rect(points()[0], points()[1]));
    else
        set_rect(new Qe_Rect(points(), count()));
}

bool MB_Draw_Lines_Set::pick(const Qe_Pt& p, Qe_Pt& hit, double tol)
{
    for (int i = 1; i < count(); ++i)
        if (is_pick_segment(p, points()[i - 1], points()[i], tol, hit) != 0) return true;
    return false;
}

// ---- MB_Draw_Lines_Sets

MB_Draw_Lines_Sets::MB_Draw_Lines_Sets(long colour, MB_Drawable* owner)
{
    m_drawable = owner;
    color(colour);
}

MB_Draw_Lines_Sets::MB_Draw_Lines_Sets(Qe_Pt* pts, int n, long colour, double scale, MB_Line_Type* ltype,
                                       MB_Drawable* owner)
{
    m_drawable = owner;
    color(colour);
    if (ltype)
        ltype->render_line_type(pts, n, scale, *this);
    else if (pts && n > 0)
        init(static_cast<mb_ulong>(n), pts);
}

void MB_Draw_Lines_Sets::draw_runs(HDC hdc, const Qe_Tran& t, long pixel_colour, bool fill_each) const
{
    std::size_t k = 0;
    for (mb_ulong r = 0; r < ptset_count(); k += vals()[r], ++r) {
        const mb_ulong c = vals()[r];
        if (c == 0) continue;
        const std::vector<POINT> px = to_pixels(points() + k, c, t);
        if (c == 1) {
            ::SetPixel(hdc, px[0].x, px[0].y, static_cast<COLORREF>(pixel_colour));
        } else {
            ::Polyline(hdc, px.data(), static_cast<int>(c));
            if (fill_each && c > 2) fill_path_so_far(hdc);
        }
    }
}

void MB_Draw_Lines_Sets::draw(Qe_Qdc& qdc, const Qe_Tran& t)
{
    const long colour = draw_color();
    HDC mem = qdc.GetDC();
    std::unique_ptr<Fill_Tools> fill;
    if (is_filled() && mem) {
        fill = std::make_unique<Fill_Tools>(mem, fill_brush(), CreatePen(PS_SOLID, 0, static_cast<COLORREF>(colour)));
        BeginPath(mem);
    }
    std::size_t k = 0;
    for (mb_ulong r = 0; r < ptset_count(); k += vals()[r], ++r) {
        const mb_ulong c = vals()[r];
        if (c == 0) continue;
        const std::vector<POINT> px = to_pixels(points() + k, c, t);
        if (c == 1) {
            ::SetPixel(mem, px[0].x, px[0].y, static_cast<COLORREF>(colour));
        } else if (c > 2 && fill) {
            ::Polyline(mem, px.data(), static_cast<int>(c));
            if (m_fill_runs_apart) fill_path_so_far(mem);
        } else {
            qdc.SetColor(static_cast<unsigned long>(colour), false);
            qdc.Polyline(px.data(), static_cast<int>(c));
        }
    }
    if (fill) {
        EndPath(mem);
        StrokeAndFillPath(mem);
    }
}

void MB_Draw_Lines_Sets::draw(HDC hdc, const Qe_Tran& t)
{
    const long colour = draw_color();
    if (!is_filled()) {
        draw_runs(hdc, t, colour);
        return;
    }
    {
        Fill_Tools fill(hdc, fill_brush(), CreatePen(PS_SOLID, 0, static_cast<COLORREF>(m_color)));
        BeginPath(hdc);
        draw_runs(hdc, t, colour, m_fill_runs_apart);
        EndPath(hdc);
        StrokeAndFillPath(hdc);
    }
    // The outline again on top of the fill, in the drawing colour.
    Scoped_Pen pen(hdc, colour);
    draw_runs(hdc, t, colour);
}

void MB_Draw_Lines_Sets::build_rect()
{
    if (ptset_count() == 0) return;
    const mb_ulong n = pts_count();
    if (n > static_cast<mb_ulong>(std::numeric_limits<int>::max())) return;
    set_rect(new Qe_Rect(points(), static_cast<int>(n)));
}

bool MB_Draw_Lines_Sets::pick(const Qe_Pt& p, Qe_Pt& hit, double tol)
{
    return snap(p, hit, tol);
}

// ---- MB_Draw_Solid

MB_Draw_Solid::MB_Draw_Solid(Qe_Pt* pts, int n, long colour, MB_Drawable* owner) : Qe_Pt_Set(n, pts)
{
    m_drawable = owner;
    color(colour);
}

void MB_Draw_Solid::draw(Qe_Qdc& qdc, const Qe_Tran& t)
{
    const int n = count();
    if (n <= 0 || n == 2) return;
    std::vector<POINT> px = to_pixels(points(), static_cast<std::size_t>(n), t);
    px.push_back(px[0]);
    qdc.Polygon(px.data(), n + 1, 1, static_cast<unsigned long>(m_color));
}

void MB_Draw_Solid::draw(HDC hdc, const Qe_Tran& t)
{
    const int n = count();
    if (n <= 0 || n == 2) return;
    std::vector<POINT> px = to_pixels(points(), static_cast<std::size_t>(n), t);
    px.push_back(px[0]);
    const long colour = draw_color();
    {
        Fill_Tools fill(hdc, fill_brush(), CreatePen(PS_SOLID, 0, static_cast<COLORREF>(colour)));
        BeginPath(hdc);
        ::Polyline(hdc, px.data(), n + 1);
        EndPath(hdc);
        StrokeAndFillPath(hdc);
    }
    Scoped_Pen pen(hdc, colour);
    ::Polyline(hdc, px.data(), n + 1);
}

void MB_Draw_Solid::build_rect()
{
    if (count() == 2)
        set_rect(new Qe_Rect(points()[0], points()[1]));
    else
        set_rect(new Qe_Rect(points(), count()));
}

bool MB_Draw_Solid::pick(const Qe_Pt& p, Qe_Pt&, double)
{
    if (count() <= 0) return false;
    return is_pos_in_region(p, points(), count());
}

// ---- MB_Draw_Solids

MB_Draw_Solids::MB_Draw_Solids(Qe_Pt*, int, long, double, MB_Line_Type*, MB_Drawable*) {}

// ---- MB_Draw_Trans

MB_Draw_Trans::MB_Draw_Trans(const Qe_Tran& t, MB_Draw_Node* child, long colour, MB_Drawable* owner)
    : m_child(child), m_tran(t)
{
    m_drawable = owner;
    color(colour);
}

void MB_Draw_Trans::draw(Qe_Qdc& qdc, const Qe_Tran& t)
{
    if (m_child) m_child->draw(qdc, m_tran * t);
}

void MB_Draw_Trans::draw(HDC hdc, const Qe_Tran& t)
{
    if (m_child) m_child->draw(hdc, m_tran * t);
}

void MB_Draw_Trans::build_rect()
{
    if (!m_child || !m_child->rect()) return;
    auto* r = new Qe_Rect(*m_child->rect());
    r->translate(m_tran);
    set_rect(r);
}

// ---- MB_Draw_Nodes

MB_Draw_Nodes::~MB_Draw_Nodes()
{
    m_node_list.kill_all();
}

void MB_Draw_Nodes::draw(Qe_Qdc& qdc, const Qe_Tran& t)
{
    for (MB_Draw_Node* n = m_node_list.head(); n; n = n->next()) n->draw(qdc, t);
}

void MB_Draw_Nodes::draw(HDC hdc, const Qe_Tran& t)
{
    m_node_list.draw(hdc, t);
}

void MB_Draw_Nodes::build_rect()
{
    Qe_Rect* out = nullptr;
    for (MB_Draw_Node* n = m_node_list.head(); n; n = n->next()) {
        if (!n->rect()) n->build_rect();
        const Qe_Rect* r = n->rect();
        if (!r) continue;
        if (!out) {
            out = new Qe_Rect(*r);
            continue;
        }
        out->union_rect(*r);
    }
    if (out) set_rect(out);
}

bool MB_Draw_Nodes::pick(const Qe_Pt& p, Qe_Pt& hit, double tol)
{
    for (MB_Draw_Node* n = m_node_list.head(); n; n = n->next())
        if (n->pick(p, hit, tol)) return true;
    return false;
}

// ---- MB_Draw_Image

MB_Draw_Image::MB_Draw_Image(CxImage* image, Qe_Pt& centre, double height, double width, double third,
                             MB_Drawable* owner)
    : m_image(image), m_position(centre), m_height(height), m_width(width), m_third(third)
{
    m_drawable = owner;
}

void MB_Draw_Image::draw(Qe_Qdc& qdc, const Qe_Tran& t)
{
    if (HDC mem = qdc.GetDC()) draw(mem, t);
}

void MB_Draw_Image::draw(HDC hdc, const Qe_Tran& t)
{
    if (!m_image) return;
    const Qe_Pt c = m_position * t;
    const double s = t.scaling();
    const RECT r{api_mb_to_pixel(c.x() - s * m_width / 2), api_mb_to_pixel(c.y() - s * m_height / 2),
                 api_mb_to_pixel(c.x() + s * m_width / 2), api_mb_to_pixel(c.y() + s * m_height / 2)};
    m_image->Draw(hdc, r, nullptr, false);
}

void MB_Draw_Image::build_rect()
{
    auto* r = new Qe_Rect;
    r->set_rect(Qe_Pt(m_position.x() - m_width / 2, m_position.y() + m_height / 2, 0.0),
                Qe_Pt(m_position.x() + m_width / 2, m_position.y() - m_height / 2, 0.0));
    set_rect(r);
}

void mb_delete_draw_node(MB_Draw_Node* node)
{
    delete node;
}

void mb_draw_node_flag(MB_Draw_Node* node, char flag)
{
    node->flag(flag);
}

void mb_draw_node_draw(MB_Draw_Node* node, HDC hdc, const Qe_Tran& t)
{
    node->draw(hdc, t);
}

void mb_draw_node_draw(MB_Draw_Node* node, Qe_Qdc& qdc, const Qe_Tran& t)
{
    node->draw(qdc, t);
}

MB_Draw_Node* mb_make_line_type_node(Qe_Pt_Set& points, long colour, double scale, MB_Line_Type* ltype,
                                     MB_Drawable* owner)
{
    return new MB_Draw_Lines_Sets(points.points(), points.count(), colour, scale, ltype, owner);
}
