#include "kernel/stream/compressed_data.h"

#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"

MB_Result MB_Compressed_Data::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r != 0) return r;
    if (!file.heuristics().allow_binary_data()) return MB_Result::No_File_Name;
    const unsigned char open = '{';
    const unsigned char length[4] = {0, 0, 0, 0};
    const unsigned char opcode[2] = {static_cast<unsigned char>(k_opcode & 0xFF), static_cast<unsigned char>(k_opcode >> 8)};
    r = MB_File_IO::default_write(file, 1, &open);
    if (r == 0) r = MB_File_IO::default_write(file, 4, length);
    if (r == 0) r = MB_File_IO::default_write(file, 2, opcode);
    return r;
}

MB_Result MB_Compressed_Data::materialize(const MB_Opcode& opcode, MB_File_IO&)
{
    if (opcode.kind() != MB_Opcode::Extended_Binary) return MB_Result::Invalid_Data;
    m_opcode = opcode.extended_opcode();
    return MB_Result::Success;
}

MB_Result MB_Compressed_Data::skip_operand(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Invalid_Data;
}

MB_Result MB_Compressed_Data::process(MB_File_IO& file)
{
    // A record made without an opcode number would leave the reader on plain bytes.
    if (file.data_decompression() != 0 || m_opcode == 0) return MB_Result::Invalid_Data;
    file.set_data_decompression(static_cast<int>(m_opcode));
    return MB_Result::Success;
}
