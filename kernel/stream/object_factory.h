#pragma once

// The table from single-byte opcodes to the record classes that stand for them. Each
// subsystem registers its classes once, when the kernel is initialised; a byte that names
// a record whose class is not registered makes no object (Out_Of_Memory, as for the
// records this system only counts), and a byte that names no record is invalid data.

#include <new>

#include "kernel/drakmere_api.h"

class MB_Object;

using MB_Object_Maker = MB_Object* (*)();

class DRAKMERE_API MB_Object_Factory {
public:
    // Bytes that name a record class.
    static bool is_record_byte(unsigned char byte);
    // Bytes that name a record this system only counts: they never make an object.
    static bool is_counted_byte(unsigned char byte);
    // The maker registered for the byte, or null (the kernel is initialised first).
    static MB_Object_Maker maker(unsigned char byte);
    // Registers the maker of a record byte (null withdraws it); the previous maker is
    // given back through previous. False, and nothing changes, for other bytes.
    static bool register_maker(unsigned char byte, MB_Object_Maker make, MB_Object_Maker* previous = nullptr);
};

// Initialises the kernel: every subsystem registers its record classes. Called on first
// use of the table; further calls do nothing.
DRAKMERE_API void mb_kernel_initialize();

// A maker for classes whose default constructor is all the factory needs.
template <class T>
MB_Object* mb_make_object()
{
    return new (std::nothrow) T;
}

// A colour record as every reader starts one: white, without palette mapping; null when no
// memory is left.
MB_Object* mb_make_white_color();
