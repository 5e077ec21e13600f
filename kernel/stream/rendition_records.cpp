#include "kernel/stream/rendition_records.h"

#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"

namespace {
constexpr unsigned char k_binary_opcode = 's';
constexpr unsigned char k_ascii_opcode = 'S';
}  // namespace

MB_Result MB_Rendition_Code::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r != 0) return r;
    if (file.heuristics().allow_binary_data()) {
        r = file.write(k_binary_opcode);
        if (r == 0) r = file.write_int32(m_value);
        return r;
    }
    r = file.write_tab_level();
    if (r == 0) r = file.write("S ");
    if (r == 0) r = file.write_ascii(m_value);
    return r;
}

MB_Result MB_Rendition_Code::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    if (opcode.kind() != MB_Opcode::Single_Byte || opcode.byte() != k_binary_opcode) return MB_Result::Invalid_Data;
    return file.read_int32(m_value);
}

MB_Result MB_Rendition_Code::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Rendition_Subcode::serialize(MB_File_IO& file)
{
    // The binary form is the code's; the ASCII form is the bare opcode.
    if (file.heuristics().allow_binary_data()) return MB_Rendition_Code::serialize(file);
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_ascii_opcode);
    return r;
}
