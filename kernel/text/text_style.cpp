#include "kernel/text/text_style.h"

#include <algorithm>
#include <iterator>

#include "kernel/database/drawing.h"
#include "kernel/database/kind_hooks_p.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/value_attribute.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"
#include "kernel/text/font_library.h"
#include "kernel/text/system_resource.h"

constinit MB_Text_Style* g_text_style = nullptr;

bool mb_make_shared_text_style()
{
    if (g_text_style) return false;
    // Shared by every drawing of the process: never part of an undoable command.
    MB_Recording_Pause pause;
    g_text_style = new MB_Text_Style("DEFAULT_STYLE", g_default_fname, g_default_big_fname, 8.0, 1.0, 0.0, 0.0, 0, 0);
    return true;
}
constinit const char* const g_default_fname = "txt.shx";
constinit const char* const g_default_big_fname = "hztxt.shx";

namespace {

constexpr unsigned char k_style_opcode = 'u';
constexpr const char* k_no_font = "*no font";

// The registry's library of that file, loaded on first use; null when neither works.
MB_Font_Library* find_or_load(const char* file)
{
    if (MB_Font_Library* lib = g_system_resource.get_fontlib(file)) return lib;
    return g_system_resource.load_font(file);
}

MB_Font_Library* resolve(const char* file, const char* fallback)
{
    MB_Font_Library* lib = find_or_load(file);
    return lib ? lib : find_or_load(fallback);
}

}  // namespace

MB_Text_Style::MB_Text_Style() : m_name("*no name") {}

MB_Text_Style::MB_Text_Style(const char* name, const char* font_file, const char* big_font_file, double height,
                             double width_scale, double oblique_angle, double angle, long, long)
    : m_name(name), m_reals{height, width_scale, angle, oblique_angle}
{
    font_lib(font_file);
    big_font_lib(big_font_file);
}

void MB_Text_Style::load_default()
{
    m_name = "*default";
    font_lib(g_default_fname);
    big_font_lib(g_default_big_fname);
    m_reals[0] = 10.0;
    m_reals[1] = 1.0;
    m_reals[2] = m_reals[3] = 0.0;
    m_longs[0] = m_longs[1] = 0;
}

MB_Font_Library* MB_Text_Style::font_lib(const char* file)
{
    if (!file) return m_font_lib;
    m_font_lib = resolve(file, g_default_fname);
    return m_font_lib;
}

MB_Font_Library* MB_Text_Style::big_font_lib(const char* file)
{
    if (!file) return m_big_font_lib;
    m_big_font_lib = resolve(file, g_default_big_fname);
    return m_big_font_lib;
}

const char* MB_Text_Style::record_font_name(const MB_Font_Library* lib)
{
    if (!lib) return nullptr;
    if (lib->font_type() == MB_Font_Library::TTF_FONT && lib->file_name()[0]) return lib->file_name();
    return lib->name().ascii() ? lib->name().ascii() : lib->file_name();
}

MB_Text_Style::MB_Text_Style(const MB_Text_Style& other) : MB_Attribute(other)
{
    other.copy_to(*this);
}

MB_Text_Style& MB_Text_Style::operator=(const MB_Text_Style& other)
{
    if (this != &other) {
        MB_Attribute::operator=(other);
        other.copy_to(*this);
    }
    return *this;
}

MB_Text_Style::~MB_Text_Style()
{
    m_font_lib = nullptr;
    m_big_font_lib = nullptr;
}

void MB_Text_Style::copy_to(MB_Text_Style& out) const
{
    if (&out == this) return;
    std::copy(std::begin(m_reals), std::end(m_reals), out.m_reals);
    std::copy(std::begin(m_longs), std::end(m_longs), out.m_longs);
    out.m_font_lib = m_font_lib;
    out.m_big_font_lib = m_big_font_lib;
    out.m_name = m_name;
}

bool MB_Text_Style::copy_to(MB_Object*& target)
{
    return mb_copy_value(*this, target);
}

MB_Result MB_Text_Style::serialize(MB_File_IO& file)
{
    const char* font = record_font_name(m_font_lib);
    const char* big = record_font_name(m_big_font_lib);
    MB_Result r = file.write(k_style_opcode);
    if (r == 0) r = m_name.serialize(file, 0);
    if (r == 0) r = MB_String(font ? font : k_no_font).serialize(file, 0);
    if (r == 0) r = MB_String(big ? big : k_no_font).serialize(file, 0);
    for (double v : m_reals)
        if (r == 0) r = file.write_double(v);
    for (long v : m_longs)
        if (r == 0) r = file.write_int32(static_cast<mb_long>(v));
    return r;
}

MB_Result MB_Text_Style::materialize(const MB_Opcode&, MB_File_IO& file)
{
    MB_String name, font, big;
    double reals[4] = {};
    mb_long longs[2] = {};
    MB_Result r = name.materialize(file);
    if (r == 0) r = font.materialize(file);
    if (r == 0) r = big.materialize(file);
    for (double& v : reals)
        if (r == 0) r = file.read_double(v);
    for (mb_long& v : longs)
        if (r == 0) r = file.read_int32(v);
    if (r != 0) return r;

    // Font names are file names: longer ones are cut as every record name is.
    char cut[MB_Font_Library::k_file_name_size];
    m_name = name;
    m_font_lib = nullptr;
    m_big_font_lib = nullptr;
    mb_copy_name(cut, sizeof cut, font.ascii());
    if (cut[0] != '*') font_lib(cut);
    mb_copy_name(cut, sizeof cut, big.ascii());
    if (cut[0] != '*') big_font_lib(cut);
    std::copy(std::begin(reals), std::end(reals), m_reals);
    m_longs[0] = longs[0];
    m_longs[1] = longs[1];
    return MB_Result::Success;
}

MB_Result MB_Text_Style::process(MB_File_IO& file)
{
    if (MB_Drawing* drawing = file.drawing()) drawing->text_style_list().add_tail(this);
    return MB_Result::Success;
}

bool MB_Text_Style::sync_write(MB_File_IO& file) const
{
    const char* font = record_font_name(m_font_lib);
    return file.fifo_rendition().write_sync_font(m_reals[0], m_reals[1], m_reals[2], m_reals[3],
                                                 static_cast<mb_long>(m_longs[1]), static_cast<mb_long>(m_longs[0]),
                                                 m_name.ascii() ? m_name.ascii() : "", font ? font : g_default_fname,
                                                 record_font_name(m_big_font_lib));
}

void MB_Text_Style::sync_read(const MB_Opcode&, MB_File_IO& file)
{
    MB_FIFO_Rendition& state = file.fifo_rendition();
    if (MB_Drawing* drawing = file.drawing())
        if (MB_Text_Style* style = drawing->find_text_style(state.text_style_name())) style->copy_to(*this);
    m_reals[0] = state.text_heigh();
    m_reals[1] = state.text_width_scale();
    m_reals[2] = state.text_angle();
    m_reals[3] = state.font_oblique_angle();
    m_longs[1] = state.text_flag();
    m_longs[0] = state.font_flag();
    font_lib(state.font_name());
    big_font_lib(state.big_font_name());
}

const char* mb_text_style_name(MB_Object* style)
{
    return static_cast<MB_Text_Style*>(style)->name().ascii();
}

MB_Text_Style* mb_text_style_of(MB_Object* style)
{
    return static_cast<MB_Text_Style*>(style);
}

MB_Text_Style* mb_default_text_style()
{
    return g_text_style;
}
