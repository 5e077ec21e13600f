#pragma once

// The byte order of the native stream, shared by the parts of MB_File_IO: every value is
// little-endian whatever the host, and a point is three doubles (24 bytes).

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "geometry/point.h"
#include "platform/fixed_width.h"

namespace mb_stream_bytes {

inline constexpr std::size_t k_point_bytes = 24;

// The bytes passed over between tokens and before an opcode.
inline bool is_blank(unsigned char c)
{
    return c == 0 || c == 9 || c == 10 || c == 13 || c == 32;
}

inline void put_u16(unsigned char* b, mb_ushort v)
{
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
}

inline void put_u32(unsigned char* b, mb_ulong v)
{
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline void put_double(unsigned char* b, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(bits >> (8 * i));
}

inline mb_ushort get_u16(const unsigned char* b)
{
    return static_cast<mb_ushort>(b[0] | (b[1] << 8));
}

inline mb_ulong get_u32(const unsigned char* b)
{
    return mb_ulong(b[0]) | (mb_ulong(b[1]) << 8) | (mb_ulong(b[2]) << 16) | (mb_ulong(b[3]) << 24);
}

inline double get_double(const unsigned char* b)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[i];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline void put_point(unsigned char* b, const Qe_Pt& p)
{
    put_double(b, p.x());
    put_double(b + 8, p.y());
    put_double(b + 16, p.z());
}

inline Qe_Pt get_point(const unsigned char* b)
{
    return Qe_Pt(get_double(b), get_double(b + 8), get_double(b + 16));
}

}  // namespace mb_stream_bytes
