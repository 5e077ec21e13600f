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
    m_opcode_start = m_stream_position;
    MB_Result r = m_opcode.read_next(*this);
    if (r != 0) return r;
    ++m_opcode_count;
    MB_Result made;
    m_current_object = m_opcode.create_object(*m_rendition, made, *this);
    return made;
}

MB_Result MB_File_IO::get_next_object()
{
    MB_Result r = get_next_object_shell();
    if (r == 0) r = m_current_object->materialize(m_opcode, *this);
    return r;
}

MB_Result MB_File_IO::process_next_object()
{
    MB_Result r = get_next_object();
    if (r == 0) r = m_current_object->process(*this);
    return r;
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
    // A definition left open by a damaged stream still joins the drawing.
    m_drawing->finish_temp_block();
    // The reading's own result is what the caller hears; closing a read file loses nothing.
    (void)close();
    return r == MB_Result::End_Of_Stream;
}
