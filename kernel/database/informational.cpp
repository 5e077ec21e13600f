#include "kernel/database/informational.h"

#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"

MB_Informational::MB_Informational(const MB_Informational& other) : MB_Object(other), m_string(other.m_string) {}

MB_Informational& MB_Informational::operator=(const MB_Informational& other)
{
    if (this != &other) {
        MB_Object::operator=(other);
        m_string = other.m_string;
    }
    return *this;
}

MB_Informational::~MB_Informational() = default;

MB_Result MB_Informational::serialize(MB_File_IO& file, const char* keyword)
{
    if (m_string.length() == 0) return MB_Result::Success;
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write_tab_level();
    if (r == 0) r = file.write("(");
    if (r == 0) r = file.write(keyword ? keyword : "");
    if (r == 0) r = file.write(static_cast<unsigned char>(' '));
    if (r == 0) r = m_string.serialize(file, 0);
    if (r == 0) r = file.write(static_cast<unsigned char>(')'));
    return r;
}

MB_Result MB_Informational::materialize(const MB_Opcode& opcode, MB_File_IO&)
{
    return opcode.kind() == MB_Opcode::Extended_Ascii ? MB_Result::Success : MB_Result::Invalid_Data;
}
