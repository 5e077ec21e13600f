#include "kernel/stream/byte_ring_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

MB_Result MB_Byte_Ring_Buffer::append(std::size_t n, const unsigned char* bytes)
{
    if (n == 0) return MB_Result::Success;
    if (!bytes) return MB_Result::Invalid_Data;
    if (n > k_max_capacity - m_count) return MB_Result::Out_Of_Memory;
    const std::size_t need = m_count + n;
    if (need > m_capacity) {
        const std::size_t grown = need + (need + 1) / 4 + 1;
        std::unique_ptr<unsigned char[]> fresh(new (std::nothrow) unsigned char[grown]);
        if (!fresh) return MB_Result::Out_Of_Memory;
        if (m_count) std::memcpy(fresh.get(), m_bytes.get() + m_start, m_count);
        m_bytes = std::move(fresh);
        m_capacity = grown;
        m_start = 0;
    } else if (m_start + need > m_capacity) {
        std::memmove(m_bytes.get(), m_bytes.get() + m_start, m_count);
        m_start = 0;
    }
    std::memcpy(m_bytes.get() + m_start + m_count, bytes, n);
    m_count = need;
    return MB_Result::Success;
}

MB_Result MB_Byte_Ring_Buffer::prepend(std::size_t n, const unsigned char* bytes)
{
    if (n == 0) return MB_Result::Success;
    if (!bytes) return MB_Result::Invalid_Data;
    if (n > k_max_capacity - m_count) return MB_Result::Out_Of_Memory;
    if (n > m_start) {
        // Room in front for these bytes and as many again, so that a run of small returns
        // (a reader giving back the byte it looked at) does not copy the buffer each time.
        const std::size_t need = m_count + n;
        const std::size_t front = std::min(n, k_max_capacity - need);
        const std::size_t grown = need + front + (need + 1) / 4 + 1;
        if (grown > k_max_capacity + k_max_capacity / 4 + 1) return MB_Result::Out_Of_Memory;
        std::unique_ptr<unsigned char[]> fresh(new (std::nothrow) unsigned char[grown]);
        if (!fresh) return MB_Result::Out_Of_Memory;
        if (m_count) std::memcpy(fresh.get() + front + n, m_bytes.get() + m_start, m_count);
        m_bytes = std::move(fresh);
        m_capacity = grown;
        m_start = front + n;
    }
    m_start -= n;
    std::memcpy(m_bytes.get() + m_start, bytes, n);
    m_count += n;
    return MB_Result::Success;
}

std::size_t MB_Byte_Ring_Buffer::take(std::size_t n, unsigned char* out)
{
    if (n > m_count) n = m_count;
    if (n == 0) return 0;
    if (out) std::memcpy(out, m_bytes.get() + m_start, n);
    m_start += n;
    m_count -= n;
    if (m_count == 0) m_start = 0;
    return n;
}

void MB_Byte_Ring_Buffer::drop_last()
{
    if (m_count == 0) return;
    if (--m_count == 0) m_start = 0;
}

void MB_Byte_Ring_Buffer::drop_last(std::size_t n)
{
    m_count -= std::min(n, m_count);
    if (m_count == 0) m_start = 0;
}

void MB_Byte_Ring_Buffer::clear()
{
    m_count = 0;
    m_start = 0;
}

void MB_Byte_Ring_Buffer::release()
{
    m_bytes.reset();
    m_count = m_capacity = m_start = 0;
}
