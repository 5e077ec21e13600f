#include "kernel/database/xdata.h"

#include <cstring>
#include <memory>
#include <new>

#include "kernel/stream/file_io.h"

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

MB_Result MB_Xdata::serialize(MB_File_IO& file) const
{
    if (m_size > static_cast<unsigned long>(MB_File_IO::k_max_xdata_bytes)) return MB_Result::Invalid_Data;
    const int n = static_cast<int>(m_size);
    MB_Result r = file.write_int32(n);
    if (r == 0 && n > 0) r = file.write(n, reinterpret_cast<const unsigned char*>(m_buffer));
    return r;
}

MB_Result MB_Xdata::materialize(const MB_Opcode&, MB_File_IO& file)
{
    mb_long n = 0;
    std::unique_ptr<char[]> bytes;
    MB_Result r = file.read_counted_bytes(MB_File_IO::k_max_xdata_bytes, n, bytes);
    if (r == 0) assign(bytes.get(), static_cast<unsigned long>(n));
    return r;
}
