// The records of the drawing's tables: layers and the layer-name attribute, and block
// definitions framed by their begin and end records, with the block-name attribute. The
// classes are the database's (kernel/database/block.h, layer.h); how they are written and
// read is the stream's, so it lives here beside the file object and the rendition.

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/value_attribute.h"
#include "kernel/stream/file_io.h"

namespace {
constexpr unsigned char k_begin_opcode = 'B';
constexpr unsigned char k_end_opcode = 'N';
constexpr unsigned char k_name_opcode = 'J';
constexpr unsigned char k_layer_opcode = 'y';
constexpr unsigned char k_layer_name_opcode = 'x';
}  // namespace

// Blocks.

MB_Result MB_Block::serialize(MB_File_IO& file)
{
    if (m_name.length() == 0 || m_members.is_empty()) return MB_Result::Success;
    // The framing records are the writer's own objects, not drawing content.
    MB_Recording_Pause pause;
    MB_Block_Begin begin(m_base, m_name.ascii(), m_desc);
    MB_Block_End end;
    pause.resume();
    // The first record that could not be written is the block's result.
    MB_Result r = begin.serialize(file);
    for (MB_Object* o = m_members.get_head(); r == 0 && o; o = o->next()) r = o->serialize(file);
    if (r == 0) r = end.serialize(file);
    return r;
}

MB_Result MB_Block::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Block::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Block_Begin::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_begin_opcode);
    if (r == 0) r = file.write_position(m_base);
    if (r == 0) r = m_name.serialize(file, 0);
    if (r == 0) r = m_desc.serialize(file, 0);
    return r;
}

MB_Result MB_Block_Begin::materialize(const MB_Opcode&, MB_File_IO& file)
{
    Qe_Pt base;
    MB_Result r = file.read_position(base);
    if (r == 0) r = m_name.materialize(file);
    if (r == 0) r = m_desc.materialize(file);
    if (r == 0) m_base = base;
    return r;
}

MB_Result MB_Block_Begin::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    if (!drawing) return MB_Result::Success;
    // Definitions are never written inside one another: a begin inside an open definition
    // means the open one lost its end record. It is finished as it stands (it joins the
    // block list with its members) instead of being dropped, and reading goes on.
    if (MB_Block* open = drawing->temp_block()) (void)drawing->close_block(open);
    drawing->open_block(new MB_Block(m_base, m_name, m_desc));
    return MB_Result::Success;
}

MB_Result MB_Block_End::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_end_opcode);
    return r;
}

MB_Result MB_Block_End::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Block_End::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    if (!drawing) return MB_Result::Success;
    m_block = drawing->temp_block();
    // An end without a begin closes nothing; reading goes on.
    if (m_block) (void)drawing->close_block(m_block);
    return MB_Result::Success;
}

MB_Result MB_Block_Name::serialize(MB_File_IO& file)
{
    return mb_write_record_value(file, k_name_opcode, m_name);
}

MB_Result MB_Block_Name::materialize(const MB_Opcode&, MB_File_IO& file)
{
    return m_name.materialize(file);
}

MB_Result MB_Block_Name::process(MB_File_IO& file)
{
    file.fifo_rendition().block_name(m_name.ascii());
    return MB_Result::Success;
}

// Layers.

MB_Result MB_Layer::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_layer_opcode);
    if (r == 0) r = m_name.serialize(file, 0);
    if (r == 0) r = file.write_uint16(m_id);
    if (r == 0) r = file.write(m_flag);
    if (r == 0) r = file.write_uint16(m_width);
    if (r == 0) r = file.write_uint32(m_color);
    return r;
}

MB_Result MB_Layer::materialize(const MB_Opcode&, MB_File_IO& file)
{
    MB_String name(m_name);
    mb_ushort id = 0, width = 0;
    mb_byte flag = 0;
    mb_ulong color = 0;
    MB_Result r = name.materialize(file);
    if (r == 0) r = file.read_uint16(id);
    if (r == 0) r = file.read(flag);
    if (r == 0) r = file.read_uint16(width);
    if (r == 0) r = file.read_uint32(color);
    if (r != 0) return r;
    m_name = name;
    m_id = id;
    m_flag = flag;
    m_width = width;
    m_color = color;
    return MB_Result::Success;
}

MB_Result MB_Layer::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    if (!drawing) return MB_Result::Success;
    // add_tail ignores the layer when it already is the tail: a record read twice is not
    // linked twice.
    drawing->layer_list().add_tail(this);
    return MB_Result::Success;
}

MB_Result MB_Layer::default_process(MB_Layer&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Layer_Name::serialize(MB_File_IO& file)
{
    return mb_write_record_value(file, k_layer_name_opcode, m_name);
}

MB_Result MB_Layer_Name::materialize(const MB_Opcode&, MB_File_IO& file)
{
    return m_name.materialize(file);
}

MB_Result MB_Layer_Name::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    file.fifo_rendition().layer(drawing ? drawing->find_layer(m_name.ascii()) : nullptr);
    return MB_Result::Success;
}
