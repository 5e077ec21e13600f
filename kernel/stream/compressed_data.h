#pragma once

// The marker record in front of a compressed stretch: the binary extended opcode "{", a
// 4-byte length 0 and the 2-byte opcode 16, always written plain. Reading it switches the
// file object to decompression.

#include "kernel/database/object.h"
#include "platform/fixed_width.h"

class DRAKMERE_API MB_Compressed_Data : public MB_Object {
public:
    // The opcode number written to every marker.
    static constexpr mb_ushort k_opcode = 16;
    // The number that the compressor's own marker carries; it is never written.
    static constexpr mb_long k_writer_opcode = 39;

    MB_Compressed_Data() = default;
    explicit MB_Compressed_Data(mb_long opcode) : m_opcode(opcode) {}

    // The opcode number the record was read with (16, 17 or 291).
    mb_long opcode() const { return m_opcode; }
    void opcode(mb_long v) { m_opcode = v; }

    MB_ID object_id() const override { return ID_COMPRESSED_DATA; }
    MB_Type object_type() const override { return TYPE_COMPRESSION; }
    // The 7 marker bytes, past any compressor (No_File_Name when binary data is not
    // allowed; nothing is written then).
    MB_Result serialize(MB_File_IO& file) override;
    // Accepts only the binary extended form, whose opcode number it keeps; reads nothing.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Switches the file to decompression; a second marker in a stream is refused.
    MB_Result process(MB_File_IO& file) override;

private:
    mb_long m_opcode = 0;
};
