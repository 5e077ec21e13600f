#pragma once

// TrueType fonts drawn from the device's glyph outlines. The library does not read the font
// file's glyphs itself: it asks the device for the native outline of each character of its
// face (GetGlyphOutlineA, GGO_NATIVE), turns every outline segment into cubic Bezier points
// in whole font units and keeps them per character code. The Bezier points are used as they
// are, as polyline vertices: no curve is evaluated between them.
//
// Font units: the outline of a font made with a character cell 80 units high, y up, origin
// on the baseline at the pen.

#include <memory>
#include <unordered_map>
#include <vector>

#include "kernel/text/font_library.h"
#include "platform/font.h"

// One cached glyph: its contours in font units and its advance.
class DRAKMERE_API MB_TTF_Char {
public:
    explicit MB_TTF_Char(unsigned long code = 0) : m_index(code) {}
    // The glyph owns its contours.
    MB_TTF_Char(const MB_TTF_Char&) = delete;
    MB_TTF_Char& operator=(const MB_TTF_Char&) = delete;
    ~MB_TTF_Char();

    unsigned long index() const { return m_index; }
    char* note() { return m_note; }
    // Items: Qe_Pt_List*, one per contour.
    Qe_Void_List& pts_list() { return m_pts_list; }
    const Qe_Void_List& pts_list() const { return m_pts_list; }
    MB_TTF_Char* prev() const { return m_prev; }
    MB_TTF_Char* next() const { return m_next; }
    void prev(MB_TTF_Char* c) { m_prev = c; }
    void next(MB_TTF_Char* c) { m_next = c; }
    // x is the advance in font units; y and z are not used.
    const Qe_Pt& end_pos() const { return m_end_pos; }
    void end_pos(const Qe_Pt& p) { m_end_pos = p; }

private:
    unsigned long m_index = 0;
    char m_note[4] = {};
    Qe_Void_List m_pts_list;
    MB_TTF_Char* m_prev = nullptr;
    MB_TTF_Char* m_next = nullptr;
    Qe_Pt m_end_pos;
};

// The glyph cache of a library: a list in the order the glyphs were made, indexed by code.
class DRAKMERE_API MB_TTF_Char_List {
public:
    MB_TTF_Char_List() = default;
    MB_TTF_Char_List(const MB_TTF_Char_List&) = delete;
    MB_TTF_Char_List& operator=(const MB_TTF_Char_List&) = delete;
    ~MB_TTF_Char_List() { kill_all(); }

    MB_TTF_Char* head() const { return m_head; }
    MB_TTF_Char* tail() const { return m_tail; }
    // Appends c (the list takes it over); a glyph already in a list, or null, is refused.
    bool add_ttf_char(MB_TTF_Char* c);
    // The first glyph of code, or null.
    MB_TTF_Char* find(unsigned long code) const;
    void kill_all();

private:
    MB_TTF_Char* m_head = nullptr;
    MB_TTF_Char* m_tail = nullptr;
    std::unordered_map<unsigned long, MB_TTF_Char*> m_by_code;
};

// The outline of one glyph in whole font units, y down as the outline buffer is read (the
// builders negate it; ttfrender_to_ptsets turns it back).
class DRAKMERE_API MB_TTF_Outline {
public:
    using Contour = std::vector<POINT>;

    int GetContourCount() const { return static_cast<int>(m_contours.size()); }
    // Null outside 0 .. count - 1.
    const Contour* GetContour(int i) const;
    void Destroy() { m_contours.clear(); }
    void convert_to_position_set() {}
    // Reads the GGO_NATIVE buffer of size bytes: each polygon and its line and quadratic
    // spline records become one contour of Bezier points. Every header and record is bounded
    // by the buffer and by its polygon's byte count; records of other types are stepped over;
    // the walk stops at a header of another type or one that does not fit. 1.
    int Create(const TTPOLYGONHEADER* buffer, unsigned long size);

private:
    std::vector<Contour> m_contours;
};

// The Bezier builders. Each appends to out and returns the number of points it appended.
// Fixed values become the nearest whole number, halves going up.
DRAKMERE_API LONG mb_fixed_to_long(const FIXED& f);
// s, e, s, e: a straight segment as a cubic whose controls are the ends, swapped.
DRAKMERE_API int MakeBezierFromLine(std::vector<POINT>& out, POINT s, POINT e);
// P, P + 2(Q - P)/3, Q + (R - Q)/3, R on whole numbers (divisions truncate).
DRAKMERE_API int MakeBezierFromQBSpline(std::vector<POINT>& out, POINTFX p, POINTFX q, POINTFX r);
// A line from start to each point in turn; three points per line (all but its start).
DRAKMERE_API int AppendPolyLineToBezier(std::vector<POINT>& out, POINTFX start, const POINTFX* pts, int count);
// The quadratic B-spline from start through the off-curve points to the last point, whose
// implied on-curve points are the midpoints of successive controls; three points per curve.
DRAKMERE_API int AppendQuadBSplineToBezier(std::vector<POINT>& out, POINTFX start, const POINTFX* pts, int count);
// The three points of a line from the last point of out back to its first.
DRAKMERE_API int CloseContour(std::vector<POINT>& out);

// The outline of code in the DC's font, or null when the device cannot give it. The text
// form takes its code from text: two bytes are high and low byte, otherwise the first byte.
DRAKMERE_API std::unique_ptr<MB_TTF_Outline> CreateOutline(HDC dc, long code);
DRAKMERE_API std::unique_ptr<MB_TTF_Outline> CreateOutline(HDC dc, const char* text);
// Appends a new Qe_Pt_List per contour (y up again; the caller owns them) and sets extent's
// x and y to the largest x and y over all points (0 when none is larger).
DRAKMERE_API void ttfrender_to_ptsets(HDC dc, const MB_TTF_Outline* outline, Qe_Void_List& out, Qe_Pt& extent);
// Draws every contour as lines between its points, offset by (x, y); the number of contours.
DRAKMERE_API int draw_ttf_outline(HDC dc, const MB_TTF_Outline* outline, int x, int y);

class DRAKMERE_API MB_TTF_Library : public MB_Font_Library {
public:
    MB_TTF_Library() = default;
    // A library for the TrueType file of that name; its face name is read from the file.
    explicit MB_TTF_Library(const char* file);

    // The face name: the family name read from the font file, "Arial" when it cannot be read.
    void create_font_name();
    void char_height(double h) { m_char_height = h; }
    double max_width() const { return m_max_width; }
    MB_TTF_Char_List& char_list() { return m_char_list; }

    FONT_TYPE font_type() const override { return TTF_FONT; }
    // The tallest glyph extent made so far, in font units (1 before any).
    double height() const override { return m_char_height; }
    // Makes the glyph of code through the device; the caller links it into the cache. A space
    // is a glyph without contours that uses no device.
    MB_TTF_Char* create_ttf_char(unsigned short code);
    // Spaces (32 and the double-byte 0xA1A1) move the pen by 0.67 * height * width_factor,
    // down for vertical text. Other glyphs are scaled by height / 57 and move the pen right by
    // 1.1 times their scaled advance, whatever the width factor and direction; a glyph without
    // contours appends nothing and leaves the pen.
    [[nodiscard]] bool char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                     double width_factor, bool vertical) override;

    // TrueType libraries write nothing to a stream: styles name their files.
    MB_Result serialize(MB_File_IO& file) override;

private:
    double m_char_height = 1.0;
    double m_max_width = 1.0;
    MB_TTF_Char_List m_char_list;
};
