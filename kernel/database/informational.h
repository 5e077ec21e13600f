#pragma once

// A metadata item of a drawing, written as an extended ASCII record with its keyword.

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"

class DRAKMERE_API MB_Informational : public MB_Object {
public:
    MB_Informational() = default;
    explicit MB_Informational(const char* text) : m_string(text) {}
    explicit MB_Informational(const char16_t* text) : m_string(text) {}
    MB_Informational(const MB_Informational& other);
    MB_Informational& operator=(const MB_Informational& other);
    ~MB_Informational() override;

    void set(const char* text) { m_string = text; }
    void set(int n, const char16_t* units) { m_string.set(n, units); }
    void set(const MB_String& text) { m_string = text; }
    MB_String& string() { return m_string; }

    using MB_Object::serialize;
    // "(keyword text)" after the tab level; an empty item writes nothing.
    MB_Result serialize(MB_File_IO& file, const char* keyword);
    // Reads nothing: 0 for an extended ASCII opcode, Invalid_Data for any other.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;

private:
    MB_String m_string;
};
