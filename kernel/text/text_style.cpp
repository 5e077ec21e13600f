#include "kernel/text/text_style.h"

#include <algorithm>
#include <iterator>

#include "kernel/database/drawing.h"
#include "kernel/database/value_attribute.h"
#include "kernel/stream/file_io.h"

constinit MB_Text_Style* g_text_style = nullptr;

MB_Text_Style::MB_Text_Style() : m_name("*no name") {}

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
    if (!target) {
        target = new MB_Text_Style(*this);
        target->next(nullptr);
        target->prev(nullptr);
        return true;
    }
    auto* style = dynamic_cast<MB_Text_Style*>(target);
    if (!style) return false;
    copy_to(*style);
    return true;
}

MB_Result MB_Text_Style::serialize(MB_File_IO&)
{
    // The text style's record is not written yet: refusing keeps a save from reporting a
    // drawing it could not write.
    return MB_Result::Internal_Error;
}

MB_Result MB_Text_Style::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Invalid_Data;
}

MB_Result MB_Text_Style::process(MB_File_IO& file)
{
    if (MB_Drawing* drawing = file.drawing()) drawing->text_style_list().add_tail(this);
    return MB_Result::Success;
}

namespace {
constexpr unsigned char k_style_name_opcode = 'w';
}  // namespace

MB_Text_Style_Name::MB_Text_Style_Name() : m_name("Text Style") {}

MB_Text_Style_Name::MB_Text_Style_Name(const char* name, MB_Drawing& drawing)
    : m_text_style(drawing.find_text_style(name)), m_name(name)
{
}

MB_Text_Style_Name::~MB_Text_Style_Name()
{
    m_text_style = nullptr;
}

MB_Result MB_Text_Style_Name::serialize(MB_File_IO& file)
{
    return mb_write_record_value(file, k_style_name_opcode, m_name);
}

MB_Result MB_Text_Style_Name::materialize(const MB_Opcode&, MB_File_IO& file)
{
    // An empty name read is empty, not the default name.
    MB_String name;
    MB_Result r = name.materialize(file);
    if (r != 0) return r;
    m_name = name;
    if (MB_Drawing* drawing = file.drawing()) m_text_style = drawing->find_text_style(m_name.ascii());
    file.fifo_rendition().text_style_name(m_name.ascii());
    return MB_Result::Success;
}

MB_Result MB_Text_Style_Name::process(MB_File_IO& file)
{
    file.fifo_rendition().text_style_name(m_name.ascii());
    return MB_Result::Success;
}
