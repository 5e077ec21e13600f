#pragma once

// Shape fonts in their source text form (SHP): shape headers ("*number,bytes,name") and
// comma-separated shape codes, read from the fonts folder. Every shape is interpreted into an
// MB_Font_Char glyph kept by the library and handed out by font_char_set. Text set in this
// kind draws the glyphs' strokes, scaled to the text height as a compiled shape font's are.
// The text is untrusted: lines and code texts of any length are read whole, and sub-shape
// calls are bounded in depth and in the work one shape may cause.

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "kernel/text/font_library.h"

// A shape that other shapes call with code 7.
class DRAKMERE_API MB_Sub_Shp {
public:
    MB_Sub_Shp() = default;
    MB_Sub_Shp(unsigned short number, const std::string& header) : m_number(number), m_header(header) {}

    unsigned short number() const { return m_number; }
    const std::string& header() const { return m_header; }
    const std::string& codes() const { return m_codes; }
    void codes(const std::string& text) { m_codes = text; }

private:
    unsigned short m_number = 0;
    std::string m_header;
    std::string m_codes;
};

// The pen of the shape interpreter.
class DRAKMERE_API MB_Shp_Status {
public:
    MB_Shp_Status() = default;
    MB_Shp_Status(double x, double y) : m_x(x), m_y(y) {}
    MB_Shp_Status(const MB_Shp_Status&) = delete;
    MB_Shp_Status& operator=(const MB_Shp_Status&) = delete;
    ~MB_Shp_Status();

    // Putting the pen down starts a new stroke in the glyph at the current position.
    void pen_down(bool down);
    bool pen_down() const { return m_pen_down; }
    // Moves to (x, y); with the pen down the point joins the glyph's stroke.
    void add_pos(double x, double y);
    void push_pos();
    // Returns to the last saved position, removing it, and adds it while the pen is down.
    void pop_pos();
    // The glyph's end position becomes the current position.
    void set_end_pos();
    // Position 0, pen up, scale 1, no glyph, no saved positions.
    void init();
    void deal_with_string(char*) {}

    double x() const { return m_x; }
    double y() const { return m_y; }
    void x(double v) { m_x = v; }
    void y(double v) { m_y = v; }
    double scale() const { return m_scale; }
    void scale(double s) { m_scale = s; }
    MB_Font_Char* font_char() const { return m_font_char; }
    void font_char(MB_Font_Char* c) { m_font_char = c; }
    MB_Sub_Shp* sub_shp() const { return m_sub_shp; }
    void sub_shp(MB_Sub_Shp* s) { m_sub_shp = s; }

private:
    double m_x = 0.0;
    double m_y = 0.0;
    bool m_pen_down = false;
    double m_scale = 1.0;
    MB_Font_Char* m_font_char = nullptr;
    std::vector<Qe_Pt> m_stack;
    MB_Sub_Shp* m_sub_shp = nullptr;
};

class DRAKMERE_API MB_Shp_Library : public MB_Font_Library {
public:
    // Deepest chain of sub-shape calls followed; a shape already being interpreted is not
    // entered again.
    static constexpr int k_max_sub_depth = 16;
    // Codes interpreted per shape, sub-shapes included.
    static constexpr long k_max_tokens = 1L << 20;

    MB_Shp_Library() = default;
    // Loads file (a name in the fonts folder); a file that cannot be read leaves no glyphs.
    explicit MB_Shp_Library(const char* file);
    ~MB_Shp_Library() override;

    // Reads the file; false when it cannot be opened (logged as "Error open the shp file:"
    // with the path) or lacks its header lines.
    [[nodiscard]] bool load_data();
    // The face name is the file name.
    void create_font_name() { name() = file_name(); }
    // Header line A ("*0,bytes,description") and B ("above,below,modes").
    void deal_with_head(const char* line_a, const char* line_b);
    // Interprets one shape's codes into the current glyph.
    void deal_with_str(const char* codes);
    // Interprets a called shape's codes into the same glyph.
    void deal_with_sub_str(const char* codes);
    // Appends a new glyph and puts the interpreter's pen on it.
    MB_Font_Char* new_font_char(unsigned short code);
    // Not supported: false.
    bool save_kvr(MB_File_IO&, char*) { return false; }

    unsigned short above() const { return m_above; }
    unsigned short below() const { return m_below; }
    unsigned short modes() const { return m_modes; }
    bool is_big_font() const { return m_big_font; }
    MB_Font_Char* first_char() const { return m_head; }
    const Qe_Void_List& sub_shp_list() const { return m_sub_shps; }

    FONT_TYPE font_type() const override { return SHP_FONT; }
    // The first glyph of that code, or null.
    MB_Font_Char* font_char_set(unsigned short code) override;
    double height() const override;
    // The glyph's strokes placed at pen and scaled to height, the pen moved on, as the SHX
    // library does; false, out and pen unchanged, for a code without a glyph.
    [[nodiscard]] bool char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                     double width_factor, bool vertical) override;

    // The byte 'f'.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result sync(MB_File_IO& file);

private:
    struct Run;
    void interpret(const std::vector<std::string>& tokens, Run& run);
    void finish_char();
    void deal_with_sub_shp(const std::vector<std::string>& lines, std::size_t first);
    void free_chars();

    unsigned short m_above = 1;
    unsigned short m_below = 1;
    unsigned short m_modes = 0;
    MB_Shp_Status m_status;
    Qe_Void_List m_sub_shps;  // MB_Sub_Shp*, owned
    bool m_big_font = false;
    MB_Font_Char* m_head = nullptr;
    MB_Font_Char* m_tail = nullptr;
    std::unordered_map<unsigned short, MB_Font_Char*> m_index;
    // The shape being interpreted, for the calls it makes.
    Run* m_run = nullptr;
};
