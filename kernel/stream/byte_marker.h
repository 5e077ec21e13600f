#pragma once

// A one-byte record (opcode 0x04 and a value byte) that the reader keeps in the drawing,
// in stream order among the entities (or among the members of the block being defined).

#include "kernel/database/object.h"
#include "platform/win_types.h"

class Qe_Qdc;
class Qe_Tran;

class DRAKMERE_API MB_Byte_Marker : public MB_Attribute {
public:
    MB_Byte_Marker() = default;
    explicit MB_Byte_Marker(unsigned char value) : m_value(value) {}

    unsigned char value() const { return m_value; }
    void value(unsigned char v) { m_value = v; }

    MB_ID object_id() const override { return ID_BYTE_MARKER; }
    // 0x04 and the value byte.
    MB_Result serialize(MB_File_IO& file) override;
    // 0x04: the value byte; 'F': nothing; anything else is refused.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Joins the tail of the list that read objects go to.
    MB_Result process(MB_File_IO& file) override;
    // A marker lies among the entities but has no picture: drawing it does nothing.
    virtual void draw(HDC dc, Qe_Qdc& qdc, Qe_Tran& t);

private:
    unsigned char m_value = 0;
};
