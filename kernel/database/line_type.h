#pragma once

// The line type table entry of a drawing: a name, a description and a pattern of dash
// elements kept in a circular list, from which a polyline is cut into dashes, gaps and dots
// for display. A line type is defined from two text lines: "name,description" and a pattern
// line of comma-separated tokens that begins with A: lengths (above 0 a dash, below 0 a
// gap, 0 a dot) and shape or text elements in square brackets.

#include "geometry/point.h"
#include "kernel/database/object.h"

class MB_Text_Style;
class Qe_Pt_List;
class Qe_Pt_Sets;
class Qe_Shx_Char;

// One pattern element.
class DRAKMERE_API MB_Linetype_Node {
public:
    MB_Linetype_Node() = default;
    MB_Linetype_Node(double val, double scale, double rotang, double xoffset, double yoffset, short shape_flag,
                     short complexshapecode);
    // Copies values and borrowed pointers; the links start null.
    MB_Linetype_Node(const MB_Linetype_Node& other);
    MB_Linetype_Node& operator=(const MB_Linetype_Node&) = delete;
    virtual ~MB_Linetype_Node();

    MB_Linetype_Node* prev() const { return m_prev; }
    void prev(MB_Linetype_Node* n) { m_prev = n; }
    MB_Linetype_Node* next() const { return m_next; }
    void next(MB_Linetype_Node* n) { m_next = n; }
    double val() const { return m_val; }
    void val(double v) { m_val = v; }
    double scale() const { return m_scale; }
    void scale(double s) { m_scale = s; }
    double rotang() const { return m_rotang; }
    void rotang(double a) { m_rotang = a; }
    double xoffset() const { return m_xoffset; }
    void xoffset(double x) { m_xoffset = x; }
    double yoffset() const { return m_yoffset; }
    void yoffset(double y) { m_yoffset = y; }
    short shape_flag() const { return m_shape_flag; }
    void shape_flag(short f) { m_shape_flag = f; }
    // 0 for a plain element, 2 for a shape or text element.
    double complexshapecode() const { return m_complexshapecode; }
    void complexshapecode(short c) { m_complexshapecode = c; }
    unsigned short stroffset() const { return m_stroffset; }
    Qe_Shx_Char* shape_char() const { return m_shape_char; }
    void shape_char(Qe_Shx_Char* c) { m_shape_char = c; }
    MB_Text_Style* text_style() const { return m_text_style; }
    void text_style(MB_Text_Style* s) { m_text_style = s; }

    // Binding a shape element to its shape is not done: shape and text elements are
    // drawn as dots. True when the name is an SHX file name.
    bool init_font_char(const char* name);

private:
    MB_Linetype_Node* m_prev = nullptr;
    MB_Linetype_Node* m_next = nullptr;
    double m_val = 0.0;
    short m_complexshapecode = 0;
    double m_scale = 1.0;
    double m_rotang = 0.0;
    double m_xoffset = 0.0;
    double m_yoffset = 0.0;
    short m_shape_flag = 0;
    unsigned short m_stroffset = 0;
    MB_Text_Style* m_text_style = nullptr;
    Qe_Shx_Char* m_shape_char = nullptr;
};

// The element list: with one element its links are null; from two elements on it is
// circular. It owns its elements.
class DRAKMERE_API MB_Linetype_Loop {
public:
    MB_Linetype_Loop() = default;
    MB_Linetype_Loop(const MB_Linetype_Loop&) = delete;
    MB_Linetype_Loop& operator=(const MB_Linetype_Loop&) = delete;
    virtual ~MB_Linetype_Loop();

    MB_Linetype_Node* head() const { return m_head; }
    void head(MB_Linetype_Node* n) { m_head = n; }
    int count() const;
    // Appends at the end; null is ignored.
    void add(MB_Linetype_Node* node);
    // Deletes every element once; the loop is empty afterwards.
    void clear();
    // Replaces this loop's elements by copies of other's.
    void copy_from(const MB_Linetype_Loop& other);

private:
    MB_Linetype_Node* m_head = nullptr;
};

class DRAKMERE_API MB_Line_Type : public MB_Attribute {
public:
    static constexpr int k_text_size = 256;

    // Index 0, empty name and description, pattern length 1.0, scale 1.0, at most 100
    // pattern repetitions, no elements.
    MB_Line_Type();
    // The copy has its own elements.
    MB_Line_Type(const MB_Line_Type& other);
    MB_Line_Type& operator=(const MB_Line_Type& other);
    ~MB_Line_Type() override;

    MB_Linetype_Loop& linetype_loop() { return m_loop; }
    unsigned short index() const { return m_index; }
    void index(unsigned short i) { m_index = i; }
    char* name() { return m_name; }
    const char* name() const { return m_name; }
    // Copies at most 255 characters and a terminator; null empties the name.
    void name(const char* text);
    char* desc() { return m_desc; }
    const char* desc() const { return m_desc; }
    void desc(const char* text);
    double scale() const { return m_scale; }
    void scale(double s) { m_scale = s; }
    double pattern_length() const { return m_pattern_length; }
    void pattern_length(double l) { m_pattern_length = l; }
    double max_persize() const { return m_max_persize; }
    void max_persize(double m) { m_max_persize = m; }

    // "name,description": the first token names the line type, the second describes it.
    bool init_dec(const char* line);
    // The pattern line: appends its elements and sets the pattern length to the sum of the
    // absolute lengths of its plain elements. Malformed numbers read as 0.
    bool init_data(const char* line);
    // Cuts the polyline into runs: dashes as runs of their points, dots (and shape and text
    // elements) as one-point runs, gaps left out; L = element length × scale. A polyline
    // shorter than one pattern, or one that would take more than max_persize repetitions,
    // or a line type without a pattern, gives one run of the whole polyline and false.
    bool render_line_type(const Qe_Pt* pts, int n, double scale, Qe_Pt_Sets& out);
    // Walks the polyline from start (a point on it) for length, appending the start, the
    // vertices passed and the end point. False once the polyline's last point is reached;
    // in a pattern without gaps it appends the whole polyline and answers false.
    bool get_point_of_pts(const Qe_Pt* pts, long n, const Qe_Pt& start, double length, Qe_Pt_List& out);

    // A null target receives a new line type with every field and its own elements
    // (unlinked); a line type target takes them all. False for another kind of target.
    bool copy_to(MB_Object*& target) override;

    MB_ID object_id() const override { return ID_LINE_TYPE; }
    // Line types have no record of their own.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

private:
    bool has_gap() const;

    unsigned short m_index = 0;
    char m_name[k_text_size] = {};
    char m_desc[k_text_size] = {};
    double m_pattern_length = 1.0;
    MB_Linetype_Loop m_loop;
    double m_scale = 1.0;
    double m_max_persize = 100.0;
};
