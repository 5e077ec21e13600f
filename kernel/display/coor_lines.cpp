#include "kernel/display/coor_lines.h"

#include <cmath>
#include <cstdio>

#include "geometry/dc_draw.h"
#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_render.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "platform/font.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

constexpr COLORREF k_icon_colour = 0xAAAAAA;
// Pixels per icon unit, and the icon's distance from the view's corner in pixels.
constexpr double k_icon_pixels = 2.0;
constexpr double k_icon_margin = 10.0;
// Label font: 16-pixel cells, fixed pitch, modern family, in the default Chinese face
// (its name in the GBK code page). Column labels are turned 60 degrees.
constexpr int k_label_height = 16;
constexpr int k_column_escapement = 600;
constexpr DWORD k_label_pitch_family = 0x31;
constexpr char k_label_face[] = "\xCB\xCE\xCC\xE5";
// Labels sit 5 pixels off the line they name.
constexpr int k_label_offset = 5;

const Qe_Pt k_icon_table[MB_Coor_Lines::k_icon_point_count] = {
    // vertical arrow
    {0, 0, 0}, {0, 41.74, 0}, {-3.8, 41.74, 0}, {8.23, 53.76, 0}, {20.8, 41.74, 0}, {16.46, 41.74, 0}, {16.46, 0, 0},
    // horizontal arrow
    {0, 16.46, 0}, {41.74, 16.46, 0}, {41.74, 20.26, 0}, {53.76, 8.23, 0}, {41.74, -4.43, 0}, {41.74, 0, 0}, {0, 0, 0},
    // X
    {42.24, 12, 0}, {34.83, 4.4, 0},
    {43.04, 4.4, 0}, {36, 12, 0},
    // Y
    {5.68, 45.4, 0}, {8.61, 42.45, 0}, {12.13, 45.38, 0},
    {8.61, 37.77, 0}, {8.61, 42.45, 0},
    // W
    {5.135, 26.52, 0}, {5.14, 18.09, 0}, {8.77, 21.92, 0}, {13.15, 19, 0}, {13.15, 26.62, 0},
};
constexpr long k_icon_run_table[MB_Coor_Lines::k_icon_run_count] = {7, 7, 2, 2, 3, 2, 5};

HFONT label_font(int escapement)
{
    return CreateFontA(k_label_height, 0, escapement, 0, FW_DONTCARE, 0, 0, 0, DEFAULT_CHARSET, 3, 2, 1,
                       k_label_pitch_family, k_label_face);
}

void write_label(HDC dc, int x, int y, double value)
{
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    if (n > 0) TextOutA(dc, x, y, text, n);
}

// True when the world rectangle v holds the drawing origin.
bool shows_origin(const Qe_Rect& v)
{
    if (v.lt().x() > 0.0 || v.rb().x() < 0.0) return false;
    if (g_y_dir) return v.rb().y() <= 0.0 && v.lt().y() >= 0.0;
    return std::fmin(v.lt().y(), v.rb().y()) <= 0.0 && std::fmax(v.lt().y(), v.rb().y()) >= 0.0;
}

}  // namespace

MB_Coor_Lines::MB_Coor_Lines()
    : m_icon_points(std::begin(k_icon_table), std::end(k_icon_table)),
      m_icon_counts(std::begin(k_icon_run_table), std::end(k_icon_run_table))
{
}

MB_Coor_Lines::~MB_Coor_Lines() = default;

void MB_Coor_Lines::draw(HDC dc, const Qe_Tran& t, MB_Draw_Render& view)
{
    if (!api_has_active_operation()) return;
    const MB_System_Setting& s = api_active_system_setting();
    if (s.get_bool_val(MB_System_Setting::k_bool_axis_icon)) draw_coor(dc, t, view);
    if (s.get_bool_val(MB_System_Setting::k_bool_grid))
        draw_grid(dc, t, view);
    else if (s.get_bool_val(MB_System_Setting::k_bool_screen_grid))
        draw_grid_screen(dc, view);
}

void MB_Coor_Lines::draw_coor(HDC dc, const Qe_Tran& t, MB_Draw_Render& view)
{
    if (m_icon_runs <= 0) return;
    double s = t.scaling();
    if (!(s != 0.0 && std::isfinite(s))) s = 1.0;
    Qe_Tran icon = scale_transf(k_icon_pixels / s);
    const Qe_Rect& v = view.quick_dc().draw_rect();
    if (!shows_origin(v)) {
        const double g = t.inverse().scaling();
        const Qe_Vec anchor(v.lt().x() + k_icon_margin * g, v.rb().y() + k_icon_margin * g, 0.0);
        icon = icon * translate_transf(anchor);
    }
    icon = icon * t;

    HPEN pen = CreatePen(PS_SOLID, 0, k_icon_colour);
    HGDIOBJ old = SelectObject(dc, pen);
    std::vector<POINT> run;
    std::size_t first = 0;
    for (int r = 0; r < m_icon_runs && r < static_cast<int>(m_icon_counts.size()); ++r) {
        const std::size_t n = static_cast<std::size_t>(m_icon_counts[r]);
        if (first + n > m_icon_points.size()) break;
        run.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const Qe_Pt p = m_icon_points[first + i] * icon;
            run[i] = POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())};
        }
        Polyline(dc, run.data(), static_cast<int>(n));
        first += n;
    }
    if (old) SelectObject(dc, old);
    DeleteObject(pen);
}

void MB_Coor_Lines::draw_grid(HDC dc, const Qe_Tran& t, MB_Draw_Render&)
{
    const COLORREF colour = static_cast<COLORREF>(api_active_system_setting().get_long_val(MB_System_Setting::k_long_grid_color));
    HPEN pen = CreatePen(PS_SOLID, 0, colour);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    const double width = m_grid_columns * m_column_spacing;
    const double height = m_grid_rows * m_row_spacing;

    HFONT font = label_font(0);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    HGDIOBJ old_font = SelectObject(dc, font);
    SetTextAlign(dc, TA_RIGHT);
    for (int i = 0; i <= m_grid_rows; ++i) {
        const double y = i * m_row_spacing;
        const Qe_Pt a = Qe_Pt(0.0, y, 0.0) * t;
        api_mb_draw_line(dc, a, Qe_Pt(width, y, 0.0) * t);
        if (i % 2 == 0) write_label(dc, api_mb_to_pixel(a.x()), api_mb_to_pixel(a.y()) - k_label_offset, y);
    }
    if (old_font) SelectObject(dc, old_font);
    DeleteObject(font);

    font = label_font(k_column_escapement);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    old_font = SelectObject(dc, font);
    for (int j = 0; j <= m_grid_columns; ++j) {
        const double x = j * m_column_spacing;
        const Qe_Pt a = Qe_Pt(x, 0.0, 0.0) * t;
        api_mb_draw_line(dc, a, Qe_Pt(x, height, 0.0) * t);
        if (j % 2 == 0) write_label(dc, api_mb_to_pixel(a.x()) + k_label_offset, api_mb_to_pixel(a.y()), x);
    }
    if (old_font) SelectObject(dc, old_font);
    if (old_pen) SelectObject(dc, old_pen);
    DeleteObject(font);
    DeleteObject(pen);
}

void MB_Coor_Lines::draw_grid_screen(HDC dc, MB_Draw_Render&)
{
    const COLORREF colour = static_cast<COLORREF>(api_active_system_setting().get_long_val(MB_System_Setting::k_long_grid_color));
    HPEN pen = CreatePen(PS_SOLID, 0, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    const double width = m_grid_columns * m_column_spacing;
    const double height = m_grid_rows * m_row_spacing;
    for (int i = 0; i <= m_grid_rows; ++i) {
        const double y = i * m_row_spacing;
        api_mb_draw_line(dc, Qe_Pt(0.0, y, 0.0), Qe_Pt(width, y, 0.0));
    }
    for (int j = 0; j <= m_grid_columns; ++j) {
        const double x = j * m_column_spacing;
        api_mb_draw_line(dc, Qe_Pt(x, 0.0, 0.0), Qe_Pt(x, height, 0.0));
    }
    if (old) SelectObject(dc, old);
    DeleteObject(pen);
}
