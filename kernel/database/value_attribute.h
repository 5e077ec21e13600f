#pragma once

// The one-value attribute records of the native stream: a single-byte opcode followed by
// one value (a 4-byte long, an 8-byte IEEE 754 real or a counted string). Each concrete
// record says what reading it does to the reader's attribute state in its process.

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "platform/fixed_width.h"

// The operand forms of the one-value records.
DRAKMERE_API MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, mb_long value);
DRAKMERE_API MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, double value);
DRAKMERE_API MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, const MB_String& value);
DRAKMERE_API MB_Result mb_read_record_value(MB_File_IO& file, mb_long& value);
DRAKMERE_API MB_Result mb_read_record_value(MB_File_IO& file, double& value);
DRAKMERE_API MB_Result mb_read_record_value(MB_File_IO& file, MB_String& value);

template <typename T, MB_Object::MB_ID Id, unsigned char Opcode>
class MB_Value_Attribute : public MB_Attribute {
public:
    static constexpr unsigned char k_opcode = Opcode;

    MB_Value_Attribute() = default;
    explicit MB_Value_Attribute(const T& value) : m_value(value) {}

    const T& value() const { return m_value; }
    void value(const T& v) { m_value = v; }

    MB_ID object_id() const override { return Id; }
    // The opcode, then the value.
    MB_Result serialize(MB_File_IO& file) override { return mb_write_record_value(file, Opcode, m_value); }
    // Reads the value whatever the opcode; a value that was not read whole changes nothing.
    MB_Result materialize(const MB_Opcode&, MB_File_IO& file) override
    {
        T v = m_value;
        MB_Result r = mb_read_record_value(file, v);
        if (r == 0) m_value = v;
        return r;
    }

protected:
    T m_value{};
};
