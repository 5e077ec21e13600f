#include "kernel/stream/rendition.h"

#include "kernel/database/color.h"
#include "kernel/database/layer.h"
#include "kernel/operation/undo_redo.h"

MB_Rendition_Quiet_Construction::MB_Rendition_Quiet_Construction() : m_recording(api_rec_cmd_pause()) {}

void MB_Rendition_Quiet_Construction::resume_recording()
{
    api_rec_cmd_continue(m_recording);
}

MB_Rendition::MB_Rendition()
{
    resume_recording();
}

bool MB_FIFO_Rendition::write_sync_prop(mb_ulong color, mb_long, double, double, double, MB_Line_Type* line_type,
                                        MB_Layer* layer, MB_URL*)
{
    // The records are temporary objects of the writer, not drawing content.
    const short recording = api_rec_cmd_pause();
    if (color != m_color) {
        m_color = color;
        if (m_file) MB_Color(static_cast<mb_long>(color)).serialize(*m_file);
    }
    m_line_type = line_type;
    if (layer != m_layer) {
        m_layer = layer;
        if (m_file) MB_Layer_Name(layer ? layer->name() : MB_String::kNull).serialize(*m_file);
    }
    api_rec_cmd_continue(recording);
    return true;
}

void MB_FIFO_Rendition::block_name(const char* name)
{
    mb_copy_name(m_block_name, sizeof m_block_name, name);
}
