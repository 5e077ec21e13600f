#pragma once

// Fixed-width types for every value whose width is part of a file format or of the
// exported interface. The native stream was laid out on a 32-bit platform: its "long"
// is 4 bytes and its "short" 2, whatever the compiler's long is here. Stream code
// reads and writes these types field by field, never a C++ long or a struct as raw memory.

#include <cstdint>

using mb_long = std::int32_t;     // the stream's long
using mb_ulong = std::uint32_t;   // the stream's unsigned long
using mb_short = std::int16_t;    // the stream's short
using mb_ushort = std::uint16_t;  // the stream's unsigned short
using mb_byte = std::uint8_t;
using mb_color = std::uint32_t;   // GDI colour value 0x00BBGGRR, red in the low byte
using mb_wchar = char16_t;        // one unit of wide (UTF-16) text
using mb_handle = std::intptr_t;  // handles handed out by the flat functions: pointer-sized

static_assert(sizeof(mb_long) == 4 && sizeof(mb_short) == 2);
static_assert(sizeof(mb_wchar) == 2);
static_assert(sizeof(mb_handle) == sizeof(void*));
