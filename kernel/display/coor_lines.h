#pragma once

// What lies under the drawing in a view: the axis icon (two arrows with the letters X, Y and
// W) and the labelled grid, drawn through a device context. Each renderer embeds one and
// asks it to draw after the background and before the entities; the active operation's
// settings say what is drawn.

#include <vector>

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Draw_Render;
class Qe_Tran;

class DRAKMERE_API MB_Coor_Lines {
public:
    static constexpr int k_icon_point_count = 28;
    static constexpr int k_icon_run_count = 7;

    MB_Coor_Lines();
    MB_Coor_Lines(const MB_Coor_Lines&) = delete;
    MB_Coor_Lines& operator=(const MB_Coor_Lines&) = delete;
    virtual ~MB_Coor_Lines();

    // The axis icon when bool setting 1 is on; then the drawing grid when setting 2 is on,
    // or else the screen grid when setting 14 is on. Nothing without an active operation.
    void draw(HDC dc, const Qe_Tran& t, MB_Draw_Render& view);
    // The axis icon, 2 pixels per icon unit, at the drawing origin when the view shows it
    // and otherwise 10 pixels inside the view's lower-left corner.
    void draw_coor(HDC dc, const Qe_Tran& t, MB_Draw_Render& view);
    // The grid in drawing coordinates, its rows labelled at their left ends and its columns
    // (turned 60 degrees) at their lower ends, every second line.
    void draw_grid(HDC dc, const Qe_Tran& t, MB_Draw_Render& view);
    // The same lines taken as pixel coordinates, without labels.
    void draw_grid_screen(HDC dc, MB_Draw_Render& view);

private:
    int m_flag = 1;
    std::vector<Qe_Pt> m_icon_points;  // the runs one after the other
    std::vector<long> m_icon_counts;   // points per run
    int m_icon_runs = k_icon_run_count;
    int m_grid_rows = 60;
    int m_grid_columns = 100;
    double m_row_spacing = 10.0;
    double m_column_spacing = 10.0;
    double m_sheet_width = 210.0;
    double m_sheet_height = 297.0;
};
