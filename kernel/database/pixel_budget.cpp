#include "kernel/database/pixel_budget.h"

#include <atomic>

namespace {

// Constant-initialised: read by drawings made while libraries load.
std::atomic<long long> g_default_limit{MB_Pixel_Budget::k_default_limit};

}  // namespace

long long MB_Pixel_Budget::default_limit()
{
    return g_default_limit.load(std::memory_order_relaxed);
}

void MB_Pixel_Budget::default_limit(long long pixels)
{
    g_default_limit.store(pixels < 0 ? 0 : pixels, std::memory_order_relaxed);
}
