#include "kernel/stream/object_factory.h"

#include <algorithm>
#include <array>

namespace {

// The single bytes that stand for a record class.
constexpr unsigned char k_record_bytes[] = {
    0x01, 'a', 0x03, 0x04, 0x06, 0x0B, 'L', 0x0C, 0x10, 'P', 0x12, 'e', 0x14, 'T', 0x18, 'x', 0x19,
    '?',  '@', 'A',  'B',  'C',  'D',  'E', 'G',  'H',  'I', 'J',  'K', 'N',  'O', 'Q',  'S', 's',
    'U',  'W', 'X',  'Y',  'Z',  'b',  'd', 'h',  'i',  'j', 'l',  'n', 'o',  'u', 'w',  'y', 'z',
};

// Records of other formats that this one only counts.
constexpr unsigned char k_counted_bytes[] = {'F', 'M', 'R', 'f', 'm', 'p', 'r', 't', 0x8D, 0x92};

template <std::size_t N>
constexpr bool contains(const unsigned char (&list)[N], unsigned char byte)
{
    return std::find(std::begin(list), std::end(list), byte) != std::end(list);
}

constinit std::array<MB_Object_Maker, 256> g_makers{};

}  // namespace

bool MB_Object_Factory::is_record_byte(unsigned char byte)
{
    return contains(k_record_bytes, byte);
}

bool MB_Object_Factory::is_counted_byte(unsigned char byte)
{
    return contains(k_counted_bytes, byte);
}

MB_Object_Maker MB_Object_Factory::maker(unsigned char byte)
{
    mb_kernel_initialize();
    return g_makers[byte];
}

bool MB_Object_Factory::register_maker(unsigned char byte, MB_Object_Maker make, MB_Object_Maker* previous)
{
    // The kernel's own registrations come first, so that they cannot replace this one.
    mb_kernel_initialize();
    if (!is_record_byte(byte)) return false;
    if (previous) *previous = g_makers[byte];
    g_makers[byte] = make;
    return true;
}
