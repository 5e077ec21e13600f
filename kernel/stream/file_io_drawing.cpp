#include "kernel/stream/file_io.h"

// Reading objects, and saving and loading whole drawings.

#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/operation_context.h"

// Object reading

MB_Result MB_File_IO::get_next_object_shell()
{
    discard_current_object();
    if (m_opcode_count >= m_budget.max_records) return MB_Result::Budget_Exceeded;
    m_opcode_start = m_stream_position;
    MB_Result r = m_opcode.read_next(*this);
    if (r != 0) return r;
    ++m_opcode_count;
    MB_Result made;
    m_current_object = m_opcode.create_object(*m_rendition, made, *this);
    m_unknown_record = m_opcode.unknown_kind();
    return made;
}

MB_Result MB_File_IO::get_next_object()
{
    begin_record();
    MB_Result r = get_next_object_shell();
    if (r == 0) r = m_current_object->materialize(m_opcode, *this);
    if (r == MB_Result::Waiting_For_Data || r == MB_Result::Nothing_Read) {
        const MB_Result back = rewind_record();
        if (back != 0) r = back;
    }
    end_record();
    return r;
}

MB_Result MB_File_IO::process_next_object()
{
    MB_Result r = get_next_object();
    if (r == 0) r = m_current_object->process(*this);
    return r;
}

void MB_File_IO::begin_record()
{
    Record_Start& s = m_record_start;
    s.stream_position = m_stream_position;
    s.actual_position = m_actual_position;
    s.paren_count = m_paren_count;
    s.opcode_count = m_opcode_count;
    s.have_read_first_opcode = m_have_read_first_opcode;
    s.opcode = m_opcode;
    s.position = m_drawing ? m_drawing->position() : Qe_Pt();
    if (m_statistics) {
        s.statistics_last_start = m_statistics->last_start;
        s.statistics_last_id = m_statistics->last_id;
        const bool counted = s.statistics_last_id >= 0 && s.statistics_last_id < MB_Opcode_Statistics::k_ids;
        s.statistics_last_total = counted ? m_statistics->byte_totals[s.statistics_last_id] : 0;
    }
    // A record far larger than the usual few dozen bytes leaves no lasting buffer behind.
    if (m_record_bytes.capacity() > (std::size_t(1) << 20)) m_record_bytes.release();
    m_record_bytes.clear();
    m_record_open = true;
}

MB_Result MB_File_IO::rewind_record()
{
    m_record_open = false;
    const Record_Start& s = m_record_start;
    // The object made for the record goes with it: the repeated call makes it afresh, so
    // that no reader resumes a record half read.
    discard_current_object();
    if (m_statistics && m_opcode_count > s.opcode_count) {
        m_opcode.count(*m_statistics, -1);
        m_statistics->last_start = s.statistics_last_start;
        m_statistics->last_id = s.statistics_last_id;
        if (s.statistics_last_id >= 0 && s.statistics_last_id < MB_Opcode_Statistics::k_ids)
            m_statistics->byte_totals[s.statistics_last_id] = s.statistics_last_total;
    }
    MB_Result r = m_put_back.prepend(m_record_bytes.count(), m_record_bytes.data());
    m_record_bytes.clear();
    if (r != 0) return r;
    m_stream_position = s.stream_position;
    m_actual_position = s.actual_position;
    m_paren_count = s.paren_count;
    m_opcode_count = s.opcode_count;
    m_have_read_first_opcode = s.have_read_first_opcode;
    m_opcode = s.opcode;
    if (m_drawing) m_drawing->position(s.position);
    // Partial tokens and counts were made of bytes that are now given back.
    m_string_buffer.clear();
    m_in_quote = m_escape = false;
    m_count_stage = 0;
    return MB_Result::Success;
}

// Whole drawings

namespace {

// Hidden drawables are not written, but the display also hides every drawable of a layer
// that is frozen or switched off: those belong to the drawing and are written.
bool hidden_by_itself(const MB_Drawable& d)
{
    if (d.flag() != MB_Drawable::State_Hidden) return false;
    const MB_Layer* layer = d.general().layer();
    return !layer || layer->visibility();
}

}  // namespace

bool MB_File_IO::save_jxb(const char* path)
{
    if (!m_drawing || !path) return false;
    MB_Recording_Pause pause;
    m_drawing->set_filename(path);
    m_file_mode = Mode_Write;
    m_heuristics.set_allow_data_compression(false);
    bool ok = open() == 0;
    if (ok) {
        // An ASCII stream cannot carry the compressed-data marker.
        m_heuristics.set_allow_data_compression(m_heuristics.allow_binary_data());
        // Tables first, each before what refers to it: block members and entities name
        // their layers, so the layers must be known when they are read.
        MB_Object_List* tables[] = {&m_drawing->layer_list(),     &m_drawing->text_style_list(),
                                    &m_drawing->dim_style_list(), &m_drawing->named_view_list(),
                                    &m_drawing->view_port_list(), &m_drawing->block_list()};
        MB_Result r;
        for (MB_Object_List* list : tables)
            for (MB_Object* o = list->get_head(); r == 0 && o; o = o->next()) r = o->serialize(*this);
        for (MB_Object* o = m_drawing->object_list().get_head(); r == 0 && o; o = o->next())
            if (o->is_drawable() && !hidden_by_itself(*static_cast<MB_Drawable*>(o))) r = o->serialize(*this);
        // A record that could not be written fails the save: the file would lack it.
        ok = r == 0;
    }
    // close finishes the compressed stretch and writes the end record; a failure there,
    // or any write before it, fails the save.
    const MB_Result closed = close();
    ok = ok && closed == 0 && !m_write_failed;
    m_heuristics.set_allow_data_compression(false);
    return ok;
}

bool MB_File_IO::load_jxb(const char* path)
{
    return load_jxb(path, nullptr, nullptr);
}

bool MB_File_IO::load_jxb(const char* path, void (*on_record)(void* user), void* user)
{
    if (!m_drawing || !path) return false;
    MB_Recording_Pause pause;
    m_load_result = MB_Result::Open_Failed;
    m_drawing->set_filename(path);
    m_file_mode = Mode_Read;
    MB_Result r = open();
    if (r == 0) {
        // Every pass reads at least one byte or stops: the loop ends with the file.
        do {
            r = process_next_object();
            if (r == 0 && on_record) on_record(user);
        } while (r == 0);
    }
    m_load_result = r;
    // A definition left open by a damaged stream still joins the drawing.
    m_drawing->finish_temp_block();
    // The reading's own result is what the caller hears; closing a read file loses nothing.
    (void)close();
    return r == MB_Result::End_Of_Stream;
}
