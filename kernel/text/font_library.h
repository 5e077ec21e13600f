#pragma once

// The font interface of the kernel. Every font that text can be drawn with is an
// MB_Font_Library: it turns one character code into stroke polylines at a pen position and
// moves the pen on. The text layout knows fonts only through this interface. Libraries are
// created and owned by the font registry (g_system_resource) and shared by every drawing and
// style of the process, so they are never copied.
//
// MB_Font_Char is the glyph of the SHP kind: the strokes of one character, built as point
// lists while its shape is interpreted and then packed into point runs, with the pen advance.

#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "platform/win_types.h"

class DRAKMERE_API MB_Font_Char : public MB_Attribute {
public:
    MB_Font_Char() = default;
    explicit MB_Font_Char(unsigned short code) : m_index(code) {}
    // The glyph owns its point lists and runs.
    MB_Font_Char(const MB_Font_Char&) = delete;
    MB_Font_Char& operator=(const MB_Font_Char&) = delete;
    ~MB_Font_Char() override;

    unsigned short index() const { return m_index; }
    Qe_Pt_Sets& position_set() { return m_position_set; }
    const Qe_Pt_Sets& position_set() const { return m_position_set; }
    // Items: Qe_Void_List* of heap Qe_Pt*, one list per stroke being built.
    Qe_Void_List& position_list() { return m_position_list; }
    Qe_Pt end_pos() const { return Qe_Pt(m_end_x, m_end_y, 0.0); }

    // Starts a new, empty stroke.
    void new_pos_list();
    // Appends (x, y, 0) to the last stroke; starts one when there is none.
    void add_pos(double x, double y);
    void set_end_pos(double x, double y);
    // Packs the strokes of at least two points into position_set, one run per stroke, and
    // frees the shorter ones; with none left the runs stay as they were.
    void conver_list_to_set();

    // When the glyph has runs, appends to out a new Qe_Pt_Sets (the caller owns it) holding
    // them through t and moved by pen; in every case pen moves on by the end position
    // through t.
    void char_2_pts_sets(Qe_Void_List& out, const Qe_Tran& t, Qe_Pt& pen) const;
    // Draws the runs scaled by scale (x and y), turned by angle (radians) about z, moved by
    // pen and then through view, in red; pen becomes the end position through the same
    // placement without view.
    void draw(HDC dc, const Qe_Tran& view, double scale, double angle, Qe_Pt& pen) const;

    MB_ID object_id() const override { return ID_FONT_CHAR; }
    // Glyphs are never written or read: each of these succeeds doing nothing.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    MB_Result sync(MB_File_IO& file);

private:
    void free_lists();

    unsigned short m_index = 0;
    Qe_Pt_Sets m_position_set;
    double m_end_x = 0.0;
    double m_end_y = 0.0;
    Qe_Void_List m_position_list;
};

class DRAKMERE_API MB_Font_Library : public MB_Attribute {
public:
    enum FONT_TYPE : int {
        TTF_FONT = 1,
        SHP_FONT = 3,
        SHX_FONT = 4,
    };
    static constexpr int k_file_name_size = 256;

    MB_Font_Library() = default;
    MB_Font_Library(const MB_Font_Library&) = delete;
    MB_Font_Library& operator=(const MB_Font_Library&) = delete;
    ~MB_Font_Library() override;

    virtual FONT_TYPE font_type() const = 0;
    // The cached glyph of code, or null; only SHP fonts keep glyphs.
    virtual MB_Font_Char* font_char_set(unsigned short code);
    // The design height glyph coordinates are measured against.
    virtual double height() const;
    // Appends the strokes of code as new Qe_Pt_Lists (the caller owns them), scaled to height
    // (x also by width_factor) and placed at pen, and moves pen on: along x, or down y for
    // vertical text. A double-byte code is lead * 256 + trail. False, with out and pen
    // unchanged, when the font cannot produce the code.
    [[nodiscard]] virtual bool char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                             double width_factor, bool vertical);

    bool is_ttf_font() const { return font_type() == TTF_FONT; }
    void build_font_char() {}

    MB_String& name() { return m_name; }
    const MB_String& name() const { return m_name; }
    MB_String& desc() { return m_desc; }
    const MB_String& desc() const { return m_desc; }
    const char* file_name() const { return m_file_name; }
    // Keeps at most 255 characters; null empties it.
    void file_name(const char* text);

    MB_ID object_id() const override { return ID_FONT_LIBRARY; }
    // Fonts are never read back from a stream: text styles name their files and the registry
    // loads them. Reading succeeds doing nothing.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

private:
    MB_String m_name;
    MB_String m_desc;
    char m_file_name[k_file_name_size] = {};
};
