#pragma once

// The block of typed setting arrays that the kernel consults for defaults and display
// options. Settings are addressed by array and index; the arrays have fixed lengths and no
// names, so the indices are the contract between the parts that read them. An index
// outside an array reads as 0 and is ignored by the setters: hosts pass indices.

#include "geometry/point.h"
#include "kernel/drakmere_api.h"

class DRAKMERE_API MB_System_Setting {
public:
    static constexpr int k_point_count = 10;
    static constexpr int k_long_count = 50;
    static constexpr int k_short_count = 10;
    static constexpr int k_real_count = 30;
    static constexpr int k_bool_count = 20;
    static constexpr int k_snap_count = 120;
    static constexpr int k_text_count = 3;
    static constexpr int k_text_size = 256;

    // The indices the kernel reads; hosts address the same values by number.
    static constexpr int k_long_background = 0;
    static constexpr int k_long_color = 1;               // colour of new entities
    static constexpr int k_long_rubber_color = 2;        // rubber-band node colour
    static constexpr int k_long_selection = 3;           // selection colour
    static constexpr int k_long_rubber_highlight = 5;    // rubber-band highlight colour mask
    static constexpr int k_long_dim_colors[] = {8, 9, 11};
    static constexpr int k_long_display_width = 13;      // display width of new entities
    static constexpr int k_long_precision_arc = 14;      // 14 to 19: draw precisions by kind
    static constexpr int k_long_precision_circle = 15;   // also every kind not listed
    static constexpr int k_long_precision_ellipse = 16;
    static constexpr int k_long_precision_elliptic_arc = 17;
    static constexpr int k_long_precision_bspline = 18;
    static constexpr int k_long_precision_polyline = 19;
    static constexpr int k_long_grid_color = 20;
    static constexpr int k_long_conic_steps = 23;        // steps per curved TrueType outline segment
    static constexpr int k_long_dim_first = 30;          // 30 to 42: integers of a new dimension style
    static constexpr int k_short_rubber_pen_style = 1;
    static constexpr int k_short_rubber_pen_width = 6;
    static constexpr int k_real_line_scale = 1;          // 1 to 3: of new entities
    static constexpr int k_real_width = 2;
    static constexpr int k_real_thickness = 3;
    static constexpr int k_real_dim_first = 10;          // 10 to 25: values of a new dimension style
    static constexpr int k_bool_axis_icon = 1;
    static constexpr int k_bool_grid = 2;
    static constexpr int k_bool_line_midpoint = 8;       // the line's midpoint grip is drawn
    static constexpr int k_bool_grips = 9;               // the selection's grips are drawn
    static constexpr int k_bool_screen_grid = 14;

    MB_System_Setting();
    MB_System_Setting(const MB_System_Setting&) = default;
    MB_System_Setting& operator=(const MB_System_Setting&) = default;
    virtual ~MB_System_Setting();

    void set_long_val(int index, long value);
    long get_long_val(int index) const;
    void set_short_val(int index, unsigned short value);
    unsigned short get_short_val(int index) const;
    void set_real_val(int index, double value);
    double get_real_val(int index) const;
    void set_bool_val(int index, unsigned short value);
    unsigned short get_bool_val(int index) const;
    void set_snap_val(long index, short value);
    unsigned short get_snap_val(long index) const;
    bool explode_text() const { return m_explode_text; }
    void explode_text(bool on) { m_explode_text = on; }

private:
    Qe_Pt m_points[k_point_count];
    long m_long_values[k_long_count];
    unsigned short m_short_values[k_short_count];
    double m_real_values[k_real_count];
    unsigned short m_bool_values[k_bool_count];
    short m_snap_values[k_snap_count];
    bool m_explode_text = false;
    char m_texts[k_text_count][k_text_size];
};
