#include "kernel/database/xdata.h"

#include <cstring>
#include <memory>
#include <new>


MB_Xdata::MB_Xdata(const MB_Xdata& other)
{
    assign(other.m_buffer, other.m_size);
}

MB_Xdata& MB_Xdata::operator=(const MB_Xdata& other)
{
    if (&other != this) assign(other.m_buffer, other.m_size);
    return *this;
}

MB_Xdata::~MB_Xdata()
{
    free();
}

bool MB_Xdata::copy_to(MB_Object*&)
{
    return true;
}

void MB_Xdata::buffer(const char* bytes, int n)
{
    assign(bytes, n > 0 ? static_cast<unsigned long>(n) : 0);
}

void MB_Xdata::assign(const char* bytes, unsigned long n)
{
    if (!bytes || n == 0) {
        free();
        return;
    }
    // Copy before freeing: the bytes may be this block's own.
    char* copy = new char[n + 1];
    std::memcpy(copy, bytes, n);
    copy[n] = '\0';
    free();
    m_buffer = copy;
    m_size = n;
}

void MB_Xdata::free()
{
    delete[] m_buffer;
    m_buffer = nullptr;
    m_size = 0;
}
