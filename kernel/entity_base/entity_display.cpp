#include "kernel/entity_base/entity_display.h"

#include <algorithm>

#include "geometry/dc_draw.h"
#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "kernel/database/drawable.h"
#include "kernel/database/system_setting.h"
#include "kernel/database/operation_context.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {
constexpr int k_grip_half_size = 3;
}  // namespace

bool mb_pick_point(const Qe_Pt& p, const Qe_Pt& candidate, double tol, int candidate_kind, Qe_Pt& out, int& kind)
{
    if (!((p - candidate).len() < tol)) return false;
    out = candidate;
    kind = candidate_kind;
    return true;
}

bool mb_pick_edge(const Qe_Pt_Set& edge, const Qe_Pt& p, double tol, int edge_kind, Qe_Pt& out, int& kind)
{
    Qe_Pt hit;
    if (edge.snap_lines(p, tol, hit) < 0) return false;
    out = hit;
    kind = edge_kind;
    return true;
}

void mb_draw_grip(HDC dc, const Qe_Pt& p, const Qe_Tran& t)
{
    if (dc) api_mb_draw_point(dc, p * t, 0, k_grip_half_size, 0);
}

void mb_draw_grips(HDC dc, const Qe_Pt* pts, int n, const Qe_Tran& t)
{
    if (!dc || !pts) return;
    for (int i = 0; i < n; ++i) mb_draw_grip(dc, pts[i], t);
}

void mb_draw_plus(HDC dc, const Qe_Pt& p, const Qe_Tran& t)
{
    if (dc) api_mb_draw_point(dc, p * t);
}

long mb_draw_precision(MB_Drawable& entity)
{
    return std::clamp(entity.get_draw_precision(), k_min_draw_precision, k_max_draw_precision);
}

long mb_background_color()
{
    return api_active_system_setting().get_long_val(MB_System_Setting::k_long_background);
}

bool mb_bool_setting(int index)
{
    return api_active_system_setting().get_bool_val(index) != 0;
}

MB_Scoped_Pen::MB_Scoped_Pen(HDC dc, int style, int width, COLORREF colour) : m_dc(dc)
{
    if (!m_dc) return;
    m_pen = CreatePen(style, width, colour);
    if (m_pen) m_old = SelectObject(m_dc, m_pen);
}

MB_Scoped_Pen::~MB_Scoped_Pen()
{
    if (!m_pen) return;
    SelectObject(m_dc, m_old);
    DeleteObject(m_pen);
}

MB_Scoped_Brush::MB_Scoped_Brush(HDC dc, COLORREF colour) : m_dc(dc)
{
    if (!m_dc) return;
    m_brush = CreateSolidBrush(colour);
    if (m_brush) m_old = SelectObject(m_dc, m_brush);
}

MB_Scoped_Brush::~MB_Scoped_Brush()
{
    if (!m_brush) return;
    SelectObject(m_dc, m_old);
    DeleteObject(m_brush);
}

void mb_set_edge(MB_Geom& entity, int n, const Qe_Pt* pts)
{
    entity.edge().init(n, pts);
    mb_set_extent(entity, n, pts);
    entity.build_draw_node_with_ltype(entity.edge());
}

void mb_set_extent(MB_Drawable& entity, int n, const Qe_Pt* pts)
{
    if (n > 0) entity.rect().init_by_pts(n, pts);
}
