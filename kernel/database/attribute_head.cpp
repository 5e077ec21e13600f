#include "kernel/database/attribute_head.h"

constinit unsigned short MB_Attribute_Head::m_static_no = 0;

MB_Attribute_Head::MB_Attribute_Head() : m_name("jxb"), m_id(m_static_no++) {}

MB_Attribute_Head::MB_Attribute_Head(const MB_Attribute_Head& other)
    : MB_Attribute(other), m_name(other.m_name), m_id(other.m_id)
{
}

MB_Attribute_Head& MB_Attribute_Head::operator=(const MB_Attribute_Head& other)
{
    if (this != &other) {
        MB_Attribute::operator=(other);
        m_name = other.m_name;
        m_id = other.m_id;
    }
    return *this;
}

MB_Attribute_Head::~MB_Attribute_Head() = default;
