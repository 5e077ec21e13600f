#include "kernel/database/named_view.h"

MB_Named_View::MB_Named_View(const MB_Named_View& other)
    : MB_Object(other), m_lt(other.m_lt), m_rb(other.m_rb), m_name(other.m_name)
{
}

MB_Named_View& MB_Named_View::operator=(const MB_Named_View& other)
{
    if (this != &other) {
        MB_Object::operator=(other);
        m_lt = other.m_lt;
        m_rb = other.m_rb;
        m_name = other.m_name;
    }
    return *this;
}

MB_Named_View::~MB_Named_View() = default;

MB_Result MB_Named_View::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Named_View::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Named_View::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Named_View::default_process(MB_Named_View&, MB_File_IO&)
{
    return MB_Result::Success;
}
