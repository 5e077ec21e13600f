#pragma once

// The small records a rendition carries besides its colour and colour map: the rendition
// code and subcode (carried, their meaning is not fixed by the kernel) and the link record
// that drawables may point at (no stream writes or reads it).

#include "geometry/rect.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "platform/fixed_width.h"

class DRAKMERE_API MB_Rendition_Code : public MB_Attribute {
public:
    MB_Rendition_Code() = default;
    explicit MB_Rendition_Code(mb_long value) : m_value(value) {}

    mb_long value() const { return m_value; }
    void value(mb_long v) { m_value = v; }

    MB_ID object_id() const override { return ID_RENDITION_CODE; }
    // Binary: 's' and the value; ASCII: the tab level, "S " and the value in digits.
    MB_Result serialize(MB_File_IO& file) override;
    // Only the single byte 's' is accepted; the value is read as a long.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

protected:
    mb_long m_value = 0;
};

class DRAKMERE_API MB_Rendition_Subcode : public MB_Rendition_Code {
public:
    MB_Rendition_Subcode() = default;
    explicit MB_Rendition_Subcode(mb_long value) : MB_Rendition_Code(value) {}

    MB_ID object_id() const override { return ID_RENDITION_SUBCODE; }
    // Binary: 's' and the value; ASCII: the single byte 'S'.
    MB_Result serialize(MB_File_IO& file) override;
};

class DRAKMERE_API MB_URL : public MB_Attribute {
public:
    MB_URL() = default;

    mb_long index() const { return m_index; }
    void index(mb_long i) { m_index = i; }
    mb_long value() const { return m_value; }
    void value(mb_long v) { m_value = v; }
    MB_String& address() { return m_address; }
    Qe_Rect& rect() { return m_rect; }

    MB_ID object_id() const override { return ID_URL; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }

private:
    mb_long m_index = -1;
    mb_long m_value = 0;
    MB_String m_address;
    Qe_Rect m_rect;
};
