#include "kernel/stream/rendition.h"

#include <cstring>
#include <new>
#include <utility>

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/line_attributes.h"
#include "kernel/database/operation_context.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/font_records.h"

namespace {

constexpr const char* k_default_font = "txt.shx";
constexpr const char* k_default_big_font = "hztxt.shx";
constexpr const char* k_new_block_desc = "Block desc0";

// A NaN is never different from anything.
bool differs(double a, double b)
{
    return a < b || a > b;
}

}  // namespace

MB_Rendition_Quiet_Construction::MB_Rendition_Quiet_Construction() : m_recording(api_rec_cmd_pause()) {}

void MB_Rendition_Quiet_Construction::resume_recording()
{
    api_rec_cmd_continue(m_recording);
}

MB_Rendition::MB_Rendition()
{
    resume_recording();
}

MB_FIFO_Rendition::MB_FIFO_Rendition(MB_Block* block, MB_Drawing* drawing) : m_drawing(drawing)
{
    start_block(block);
}

void MB_FIFO_Rendition::reset()
{
    MB_Drawing* drawing = m_drawing;
    MB_File_IO* file = m_file;
    *this = MB_FIFO_Rendition(drawing);
    m_file = file;
}

void MB_FIFO_Rendition::text_style_name(const char* name)
{
    mb_copy_name(m_text_style_name, sizeof m_text_style_name, name);
}

void MB_FIFO_Rendition::font_name(const char* name)
{
    mb_copy_name(m_font_name, sizeof m_font_name, name);
}

void MB_FIFO_Rendition::big_font_name(const char* name)
{
    mb_copy_name(m_big_font_name, sizeof m_big_font_name, name);
}

void MB_FIFO_Rendition::block_name(const char* name)
{
    mb_copy_name(m_block_name, sizeof m_block_name, name);
}

MB_Block* MB_FIFO_Rendition::block() const
{
    return m_drawing ? m_drawing->temp_block() : nullptr;
}

void MB_FIFO_Rendition::start_block(MB_Block* block)
{
    if (m_drawing) m_drawing->temp_block(block);
}

bool MB_FIFO_Rendition::start_block(const MB_String& name, const Qe_Pt& base)
{
    start_block(nullptr);
    if (!m_drawing) return true;
    if (MB_Block* found = m_drawing->find_block_exact(name)) {
        start_block(found);
        return true;
    }
    auto* b = new (std::nothrow) MB_Block(base, name, MB_String(k_new_block_desc));
    if (!b) return true;
    m_drawing->block_list().add_tail(b);
    start_block(b);
    return true;
}

bool MB_FIFO_Rendition::end_block()
{
    MB_Block* b = block();
    if (!b) return true;
    b->build_draw();
    // A block opened by start_block(MB_Block*) may not be in the block list yet: leaving
    // it out would lose it.
    if (m_drawing->has_block(b))
        m_drawing->temp_block(nullptr);
    else
        m_drawing->finish_temp_block();
    return true;
}

bool MB_FIFO_Rendition::set_block_base(const Qe_Pt& base)
{
    MB_Block* b = block();
    if (!b) return false;
    b->base_pos(base);
    return true;
}

MB_Object_List& MB_FIFO_Rendition::creating_list()
{
    if (MB_Block* b = block()) return b->object_list();
    return m_drawing ? m_drawing->object_list() : m_no_list;
}

void MB_FIFO_Rendition::add_object(MB_Object* obj)
{
    if (!m_drawing) return;
    creating_list().add_tail(obj);
}

template <class Record, class... Args>
bool MB_FIFO_Rendition::write_record(Args&&... args)
{
    if (!m_file) return true;
    // The records are temporary objects of the writer, not drawing content.
    MB_Recording_Pause pause;
    Record record(std::forward<Args>(args)...);
    pause.resume();
    return record.serialize(*m_file) == 0;
}

bool MB_FIFO_Rendition::write_sync_prop(mb_ulong color, mb_long display_width, double line_scale, double width,
                                        double thickness, MB_Line_Type* line_type, MB_Layer* layer, MB_URL*)
{
    bool ok = true;
    if (color != m_color) {
        m_color = color;
        ok = write_record<MB_Color>(static_cast<mb_long>(color)) && ok;
    }
    if (display_width != m_display_width) {
        m_display_width = display_width;
        ok = write_record<MB_Display_Width>(display_width) && ok;
    }
    if (differs(line_scale, m_line_scale)) {
        m_line_scale = line_scale;
        ok = write_record<MB_Line_Scale>(line_scale) && ok;
    }
    if (differs(width, m_width)) {
        m_width = width;
        ok = write_record<MB_Width>(width) && ok;
    }
    if (differs(thickness, m_thickness)) {
        m_thickness = thickness;
        ok = write_record<MB_Thickness>(thickness) && ok;
    }
    m_line_type = line_type;
    if (layer != m_layer) {
        m_layer = layer;
        ok = write_record<MB_Layer_Name>(layer ? layer->name() : MB_String::kNull) && ok;
    }
    return ok;
}

bool MB_FIFO_Rendition::write_sync_font(double height, double width_scale, double angle, double oblique_angle,
                                        mb_long text_flag, mb_long font_flag, const char* style_name,
                                        const char* font, const char* big_font)
{
    bool ok = true;
    if (differs(height, m_text_height)) {
        m_text_height = height;
        ok = write_record<MB_Text_Height>(height) && ok;
    }
    if (differs(width_scale, m_text_width_scale)) {
        m_text_width_scale = width_scale;
        ok = write_record<MB_Text_Width_Scale>(width_scale) && ok;
    }
    if (differs(angle, m_text_angle)) {
        m_text_angle = angle;
        ok = write_record<MB_Text_Angle>(angle) && ok;
    }
    if (differs(oblique_angle, m_font_oblique_angle)) {
        m_font_oblique_angle = oblique_angle;
        ok = write_record<MB_Oblique_Angle>(oblique_angle) && ok;
    }
    if (text_flag != m_text_flag) {
        m_text_flag = text_flag;
        ok = write_record<MB_Text_Flag>(text_flag) && ok;
    }
    if (font_flag != m_font_flag) {
        m_font_flag = font_flag;
        ok = write_record<MB_Font_Flag>(font_flag) && ok;
    }
    // Names are compared as they would be remembered: a name cut to the field equals its
    // remembered form, so a long name is not written again for every text.
    char cut[k_name_size];
    if (!style_name) {
        text_style_name("");
    } else {
        mb_copy_name(cut, sizeof cut, style_name);
        if (std::strcmp(cut, m_text_style_name) != 0) {
            text_style_name(cut);
            // Without a drawing there is no file to write to.
            if (m_drawing) ok = write_record<MB_Text_Style_Name>(cut, *m_drawing) && ok;
        }
    }
    if (!font) {
        font_name(k_default_font);
    } else {
        mb_copy_name(cut, sizeof cut, font);
        if (std::strcmp(cut, m_font_name) != 0) {
            font_name(cut);
            ok = write_record<MB_Font_Name>(MB_String(cut)) && ok;
        }
    }
    if (!big_font) {
        big_font_name(k_default_big_font);
    } else {
        mb_copy_name(cut, sizeof cut, big_font);
        if (std::strcmp(cut, m_big_font_name) != 0) {
            big_font_name(cut);
            ok = write_record<MB_Big_Font_Name>(MB_String(cut)) && ok;
        }
    }
    return ok;
}

bool MB_FIFO_Rendition::write_sync_blk_name(const char* name)
{
    if (!name) return false;
    char cut[k_block_name_size];
    mb_copy_name(cut, sizeof cut, name);
    if (std::strcmp(cut, m_block_name) == 0) return false;
    block_name(cut);
    return !m_drawing || write_record<MB_Block_Name>(*m_drawing, cut);
}
