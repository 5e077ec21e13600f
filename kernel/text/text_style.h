#pragma once

// A text style: the named set of font settings that text entities lay their glyphs out
// with. The font libraries it points at belong to the font registry; a style owns only its
// name.

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "kernel/stream/font_records.h"

class MB_Font_Library;

class DRAKMERE_API MB_Text_Style : public MB_Attribute {
public:
    // Bits of the font style word.
    enum Font_Style : long {
        Mirror_Across_Normal = 0x40,
        Mirror_Across_Direction = 0x80,
        Vertical = 0x100,
    };

    // "*no name", no libraries, height 10.0, everything else 0.
    MB_Text_Style();
    // The name, the libraries of both files (with their fallbacks) and the four doubles;
    // note that the oblique angle comes before the angle. The two longs are not taken:
    // font style and alignment start at 0 and are set with their setters.
    MB_Text_Style(const char* name, const char* font_file, const char* big_font_file, double height,
                  double width_scale, double oblique_angle, double angle, long, long);
    // Every field; the libraries are shared.
    MB_Text_Style(const MB_Text_Style& other);
    MB_Text_Style& operator=(const MB_Text_Style& other);
    // Forgets the libraries without deleting them.
    ~MB_Text_Style() override;

    // "*default": txt.shx and hztxt.shx, height 10, width scale 1, everything else 0.
    void load_default();

    // Gives out every field; how an entity takes a private copy of a drawing's style.
    void copy_to(MB_Text_Style& out) const;
    // A null target receives a new style; an existing one is filled when it is a style.
    bool copy_to(MB_Object*& target) override;

    MB_String& name() { return m_name; }
    const MB_String& name() const { return m_name; }
    void name(const char* text) { m_name = text; }
    MB_Font_Library* font_lib() const { return m_font_lib; }
    void font_lib(MB_Font_Library* lib) { m_font_lib = lib; }
    MB_Font_Library* big_font_lib() const { return m_big_font_lib; }
    void big_font_lib(MB_Font_Library* lib) { m_big_font_lib = lib; }
    // The library of the file from the registry, loaded on first use; failing that the one
    // of "txt.shx" (big fonts: "hztxt.shx"). The result, possibly null, becomes the style's
    // and is returned. A null name changes nothing and gives the current library.
    MB_Font_Library* font_lib(const char* file);
    MB_Font_Library* big_font_lib(const char* file);
    // The name a stream record gives for a library: a TrueType font's file name (its face
    // name would not find the file again in another process), any other font's name, and
    // null for none.
    static const char* record_font_name(const MB_Font_Library* lib);
    double height() const { return m_reals[0]; }
    void height(double h) { m_reals[0] = h; }
    double width_scale() const { return m_reals[1]; }
    void width_scale(double w) { m_reals[1] = w; }
    double angle() const { return m_reals[2]; }
    void angle(double a) { m_reals[2] = a; }
    double oblique_angle() const { return m_reals[3]; }
    void oblique_angle(double a) { m_reals[3] = a; }
    long font_style() const { return m_longs[0]; }
    void font_style(long s) { m_longs[0] = s; }
    long ali_flag() const { return m_longs[1]; }
    void ali_flag(long f) { m_longs[1] = f; }
    // Height, width scale, angle, oblique angle, in this order (the stream record's).
    double* reals() { return m_reals; }
    // Font style, then alignment.
    long* longs() { return m_longs; }

    MB_ID object_id() const override { return ID_TEXT_STYLE; }
    // 'u': the name, the font and big-font names ("*no font" for none), the four doubles,
    // the two longs.
    MB_Result serialize(MB_File_IO& file) override;
    // Names beginning with '*' leave that library unset; others are resolved with their
    // fallbacks. Font names are cut to 255 characters. Nothing changes unless the whole
    // record was read.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // The style joins the tail of the text-style list of the drawing read into.
    MB_Result process(MB_File_IO& file) override;

    // The font state in front of a text record: only the values that changed since the
    // last text are written. False when a record could not be written.
    [[nodiscard]] bool sync_write(MB_File_IO& file) const;
    // Takes the stream's current style (when the drawing has it), then its current font
    // state: the four doubles, both longs and both fonts by file name.
    void sync_read(const MB_Opcode& opcode, MB_File_IO& file);

private:
    MB_String m_name;
    MB_Font_Library* m_font_lib = nullptr;
    MB_Font_Library* m_big_font_lib = nullptr;
    double m_reals[4] = {10.0, 0.0, 0.0, 0.0};
    long m_longs[2] = {0, 0};
};

// The shared default style "DEFAULT_STYLE"; null until the text entities make it.
DRAKMERE_API extern MB_Text_Style* g_text_style;
// Makes the shared default style when there is none yet (txt.shx and hztxt.shx, height 8,
// width scale 1): true when this call made it.
DRAKMERE_API bool mb_make_shared_text_style();
// The fallback main font and big font of every style.
DRAKMERE_API extern const char* const g_default_fname;
DRAKMERE_API extern const char* const g_default_big_fname;
