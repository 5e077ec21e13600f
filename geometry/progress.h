#pragma once

// The progress counter of a conversion: the import library counts loaded objects into it on the
// conversion's thread while the dialog thread shows it. It stays a plain exported long for the
// libraries that name it; every access goes through these atomic helpers.

#include <atomic>

#include "geometry/fendral_api.h"

extern FENDRAL_API long g_current_loading_object_index;
static_assert(std::atomic_ref<long>::required_alignment == alignof(long), "a plain long must be atomically accessible");

inline long load_current_loading_object_index()
{
    return std::atomic_ref<long>(g_current_loading_object_index).load(std::memory_order_relaxed);
}

inline void store_current_loading_object_index(long value)
{
    std::atomic_ref<long>(g_current_loading_object_index).store(value, std::memory_order_relaxed);
}

// Adds n and returns the new value.
inline long advance_current_loading_object_index(long n = 1)
{
    return std::atomic_ref<long>(g_current_loading_object_index).fetch_add(n, std::memory_order_relaxed) + n;
}
