#include "kernel/database/informational.h"


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
