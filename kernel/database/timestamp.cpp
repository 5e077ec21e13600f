#include "kernel/database/timestamp.h"

MB_Timestamp& MB_Timestamp::operator=(const MB_Timestamp& other)
{
    if (this != &other) {
        MB_Object::operator=(other);
        m_seconds = other.m_seconds;
    }
    return *this;
}

MB_Timestamp::~MB_Timestamp() = default;

MB_Result MB_Timestamp::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Timestamp::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Timestamp::process(MB_File_IO&)
{
    return MB_Result::Success;
}
