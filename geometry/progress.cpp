#include "geometry/progress.h"

// Suitably aligned for atomic access from any thread.
alignas(std::atomic_ref<long>::required_alignment) long g_current_loading_object_index = 0;
