#pragma once

// Fixed-width integers in file bytes: little-endian (the desktop formats) and big-endian
// (Sun raster, JPEG 2000 boxes), read from and appended to byte vectors. Readers take a
// pointer the caller has bounded.

#include <cstdint>
#include <vector>

namespace platform {

inline std::uint32_t le16(const std::uint8_t* p)
{
    return p[0] | (std::uint32_t{p[1]} << 8);
}
inline std::uint32_t le32(const std::uint8_t* p)
{
    return le16(p) | (le16(p + 2) << 16);
}
inline std::int32_t le32s(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(le32(p));
}
inline std::int16_t le16s(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(le16(p));
}
inline std::uint32_t be16(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 8) | p[1];
}
inline std::uint32_t be32(const std::uint8_t* p)
{
    return (be16(p) << 16) | be16(p + 2);
}

inline void put_le16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
inline void put_le32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put_le16(out, v & 0xFFFF);
    put_le16(out, v >> 16);
}
inline void put_be16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
inline void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put_be16(out, v >> 16);
    put_be16(out, v & 0xFFFF);
}

}  // namespace platform
