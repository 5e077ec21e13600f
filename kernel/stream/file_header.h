#pragma once

// The two records that frame every native stream: the header "(VKT VA" with the four-digit
// format version and ")" (older streams: "(VKT Vdd.dd)"; "(JXB V" is read as well), and
// the end-of-stream record "(EndOfVKT)".

#include "kernel/database/object.h"

class DRAKMERE_API MB_File_Header : public MB_Object {
public:
    MB_File_Header() = default;

    MB_ID object_id() const override { return ID_FILE_HEADER; }
    MB_Type object_type() const override { return TYPE_FRAMING; }
    // "(VKT VA", the drawing's format version as four digits, ")".
    MB_Result serialize(MB_File_IO& file) override;
    // The rest of the header after "(VKT V". A version above the drawing's asks the user
    // whether to go on; Cancel, or a header of neither form, gives Not_Native_Stream.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
};

class DRAKMERE_API MB_End_Of_Stream : public MB_Object {
public:
    MB_End_Of_Stream() = default;

    MB_ID object_id() const override { return ID_END_OF_STREAM; }
    MB_Type object_type() const override { return TYPE_FRAMING; }
    // "(EndOfVKT)" and "\r\n".
    MB_Result serialize(MB_File_IO& file) override;
    // Passes over the rest of the record.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file) override;
    // End_Of_Stream: the reading is complete.
    MB_Result process(MB_File_IO& file) override;
};
