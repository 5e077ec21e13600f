#include "kernel/stream/byte_marker.h"

#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"

namespace {
constexpr unsigned char k_marker_opcode = 0x04;
constexpr unsigned char k_empty_marker_opcode = 'F';
}  // namespace

MB_Result MB_Byte_Marker::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_marker_opcode);
    if (r == 0) r = file.write(m_value);
    return r;
}

MB_Result MB_Byte_Marker::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    if (opcode.kind() != MB_Opcode::Single_Byte) return MB_Result::Invalid_Data;
    if (opcode.byte() == k_empty_marker_opcode) return MB_Result::Success;
    if (opcode.byte() != k_marker_opcode) return MB_Result::Invalid_Data;
    // A marker whose value byte is missing is not taken into the drawing.
    return file.read(m_value);
}

MB_Result MB_Byte_Marker::skip_operand(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Byte_Marker::process(MB_File_IO& file)
{
    file.fifo_rendition().add_object(this);
    return MB_Result::Success;
}

void MB_Byte_Marker::draw(HDC, Qe_Qdc&, Qe_Tran&) {}
