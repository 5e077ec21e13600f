#pragma once

// Metafile files written by hand for tests: an enhanced metafile (a header and an end record)
// and a placeable Windows metafile (its header with checksum, a standard header and an end
// record).

#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace metafile_bytes {

using Bytes = std::vector<BYTE>;

inline void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<BYTE>(v & 0xFF));
    b.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
}
inline void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// An enhanced metafile of a header and an end record; the frame is 0..w by 0..h (0.01 mm).
inline Bytes emf(std::int32_t w, std::int32_t h)
{
    Bytes b;
    put32(b, 1);                                                                    // header record
    put32(b, 88);                                                                   // its size
    for (std::int32_t v : {0, 0, 99, 99}) put32(b, static_cast<std::uint32_t>(v));  // bounds, pixels
    for (std::int32_t v : {0, 0, w, h}) put32(b, static_cast<std::uint32_t>(v));    // frame
    put32(b, 0x464D4520);                                                           // " EMF"
    put32(b, 0x10000);                                                              // version
    put32(b, 88 + 20);                                                              // file bytes
    put32(b, 2);                                                                    // records
    put16(b, 0), put16(b, 0);                                                       // handles, reserved
    for (int i = 0; i < 7; ++i) put32(b, 0);  // description, palette, device and mm sizes
    put32(b, 14);                             // end record
    put32(b, 20);
    put32(b, 0), put32(b, 0), put32(b, 20);
    return b;
}

// A placeable metafile: box (left, top, right, bottom) at inch units per inch, a standard
// header and an end record.
inline Bytes placeable(int left, int top, int right, int bottom, int inch)
{
    Bytes b;
    put32(b, 0x9AC6CDD7);
    put16(b, 0);
    for (int v : {left, top, right, bottom}) put16(b, static_cast<unsigned>(v) & 0xFFFF);
    put16(b, static_cast<unsigned>(inch));
    put32(b, 0);
    unsigned sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= b[2 * i] | (b[2 * i + 1] << 8);
    put16(b, sum);
    put16(b, 1), put16(b, 9), put16(b, 0x300);
    put32(b, 9 + 3);  // words in the metafile
    put16(b, 0), put32(b, 3), put16(b, 0);
    put32(b, 3), put16(b, 0);  // end record
    return b;
}

}  // namespace metafile_bytes
