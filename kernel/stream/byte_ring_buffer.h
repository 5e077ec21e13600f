#pragma once

// The byte queue behind the stream's string, put-back and leftover buffers: bytes are
// appended at the end and taken from the start. The live bytes are kept contiguous so
// that a reader can look at them in place.

#include <cstddef>
#include <memory>

#include "kernel/drakmere_api.h"
#include "kernel/database/result.h"

class DRAKMERE_API MB_Byte_Ring_Buffer {
public:
    // No buffer may grow past this many bytes; a longer run of data is refused.
    static constexpr std::size_t k_max_capacity = std::size_t(1) << 30;

    MB_Byte_Ring_Buffer() = default;
    MB_Byte_Ring_Buffer(const MB_Byte_Ring_Buffer&) = delete;
    MB_Byte_Ring_Buffer& operator=(const MB_Byte_Ring_Buffer&) = delete;

    std::size_t count() const { return m_count; }
    std::size_t capacity() const { return m_capacity; }
    bool empty() const { return m_count == 0; }
    // The live bytes, oldest first; null when nothing was ever stored.
    const unsigned char* data() const { return m_bytes ? m_bytes.get() + m_start : nullptr; }

    // Appends n bytes; Out_Of_Memory when the buffer cannot grow, and then nothing changes.
    // Growth is to (count + n) + (count + n + 1) / 4 + 1 bytes.
    MB_Result append(std::size_t n, const unsigned char* bytes);
    MB_Result append(unsigned char byte) { return append(1, &byte); }
    // Puts n bytes in front of the live bytes, to be taken first; Out_Of_Memory when the
    // buffer cannot grow, and then nothing changes.
    MB_Result prepend(std::size_t n, const unsigned char* bytes);
    // Takes up to n bytes from the start into out (which may be null to drop them);
    // returns how many were taken.
    std::size_t take(std::size_t n, unsigned char* out);
    // Forgets the newest byte.
    void drop_last();
    // Forgets the n newest bytes (all of them when fewer are held).
    void drop_last(std::size_t n);
    void clear();
    // Empties the buffer and frees its storage.
    void release();

private:
    std::unique_ptr<unsigned char[]> m_bytes;
    std::size_t m_count = 0;
    std::size_t m_capacity = 0;
    std::size_t m_start = 0;
};
