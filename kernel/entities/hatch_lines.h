#pragma once

// MB_Hatch_Type: the pattern half of a hatch. It holds a pattern definition (name,
// description, pattern-line texts, ring count, scale, angle) and turns it, for a list of
// boundary loops, into the point sets that draw the hatch: per pattern line a family of
// parallel dashed lines, clipped to the inside of the loops under the even-odd rule.
//
// A pattern line is "angle, x, y, dx, dy[, dash...]": the lines run at angle (degrees,
// plus the type's rotation), pass through the origin (x, y) taken from the loops' lower-left
// corner, follow each other by (dx, dy) measured along and across the lines, and are cut
// into dashes (positive), gaps (negative) and dots (0); without dashes they are continuous.
// Lengths are multiplied by the type's scale. The pattern type is not a drawing object: its
// hatch creates and owns it.

#include "kernel/database/mb_string.h"
#include "geometry/rect.h"
#include "geometry/void_list.h"

#include <vector>

// One pattern line as read from its text.
struct MB_Pattern_Line {
    double angle = 0.0;         // degrees, before the type's rotation
    double ox = 0.0, oy = 0.0;  // origin, from the loops' lower-left corner, unscaled
    double dx = 0.0, dy = 0.0;  // step to the next line: along and across it, unscaled
    std::vector<double> dashes; // dash (> 0), gap (< 0) and dot (0) lengths, unscaled
};

class DRAKMERE_API MB_Hatch_Type {
public:
    // Lines per family and output points per render are bounded, so that a tiny spacing
    // or scale cannot exhaust memory; reaching a bound is logged and the render fails.
    static constexpr long k_max_family_lines = 100000;
    static constexpr long k_max_output_points = 4000000;
    // So are the dash elements walked per render: a pattern line of thousands of gaps costs
    // that many steps per period of every line, though it draws next to nothing.
    static constexpr long long k_max_dash_steps = 100000000;
    // A family line over more periods of its pattern than a line type cuts draws continuous.
    static constexpr double k_max_periods = 100.0;

    MB_Hatch_Type();
    // Every member; the pattern-line texts are copied, never shared.
    MB_Hatch_Type(const MB_Hatch_Type& other);
    MB_Hatch_Type& operator=(const MB_Hatch_Type& other);
    virtual ~MB_Hatch_Type();

    // Ring count of the offset fill; -1 stands for as many rings as fit.
    int patterntype() const { return m_patterntype; }
    void patterntype(int n) { m_patterntype = n; }
    const MB_String& name() const { return m_name; }
    void name(const MB_String& n) { m_name = n; }
    const MB_String& desc() const { return m_desc; }
    void desc(const MB_String& d) { m_desc = d; }
    // The pattern-line texts (MB_String*), owned by the type.
    Qe_Void_List& string_list() { return m_string_list; }
    const Qe_Void_List& string_list() const { return m_string_list; }
    // Appends a copy of the text; false when memory is short.
    bool add_string(const MB_String& line);
    // Deletes every pattern-line text.
    void clear_strings();
    // Set while a pattern line folded by half a turn is being processed.
    bool reverse() const { return m_reverse; }
    double scale() const { return m_scale; }
    void scale(double s) { m_scale = s; }
    // Rotation of the whole pattern, radians.
    double angle() const { return m_angle; }
    void angle(double a) { m_angle = a; }
    // Carried for export only.
    double savedwg_angle() const { return m_savedwg_angle; }
    void savedwg_angle(double a) { m_savedwg_angle = a; }
    double savedwg_scale() const { return m_savedwg_scale; }
    void savedwg_scale(double s) { m_savedwg_scale = s; }

    // Appends to ptsets one new Qe_Pt_Sets (the caller's) per inside span, in the order of
    // pattern lines, family lines and spans. mode selects the crossings of each line with
    // the boundaries: 0 all, 1 the outermost two at each end, 2 the first and last only.
    // False when a bound cut the output short (what was made stays in ptsets).
    [[nodiscard]] bool render_loops_to_ptsets_list(Qe_Void_List& loops, Qe_Void_List& ptsets, int mode);
    // The union of the loops' rectangles (each built when missing); rect is unchanged and
    // the result false when no loop has a vertex.
    static bool get_loops_max_rect(Qe_Rect& rect, Qe_Void_List& loops);

    // Reads "angle, x, y, dx, dy[, dash...]". False for fewer than five leading fields or a
    // field that is not a finite number; blank fields after the fifth are not dashes.
    [[nodiscard]] static bool parse_pattern_line(const MB_String& line, MB_Pattern_Line& out);
    // The point pattern origins are measured from: the lower-left corner of the loops'
    // rectangle. False when no loop has a vertex.
    [[nodiscard]] static bool pattern_corner(Qe_Void_List& loops, Qe_Pt& corner);

    // A pattern line's angle, degrees, folded into [0, 180); sets the reverse flag when
    // it was folded by half a turn. Non-finite input gives NaN.
    double get_line_angle(double field_angle);

private:
    void copy_from(const MB_Hatch_Type& other);

    int m_patterntype = 1;
    MB_String m_name;
    MB_String m_desc;
    Qe_Void_List m_string_list;
    bool m_reverse = false;
    double m_scale = 1.0;
    double m_savedwg_angle = 0.0;
    double m_savedwg_scale = 1.0;
    double m_angle = 0.0;
};
