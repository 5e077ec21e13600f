#include "kernel/stream/allocation_watch.h"

// The replacements live in a file of their own, so that no caller inlines them.

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};

void* allocate(std::size_t n)
{
    if (g_watching.load(std::memory_order_relaxed)) {
        std::size_t seen = g_largest.load(std::memory_order_relaxed);
        while (n > seen && !g_largest.compare_exchange_weak(seen, n)) {
        }
    }
    return std::malloc(n ? n : 1);
}

}  // namespace

void allocation_watch_start()
{
    g_largest = 0;
    g_watching = true;
}

void allocation_watch_stop()
{
    g_watching = false;
}

std::size_t allocation_watch_largest()
{
    return g_largest;
}

void* operator new(std::size_t n)
{
    if (void* p = allocate(n)) return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t n)
{
    if (void* p = allocate(n)) return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    return allocate(n);
}

void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    return allocate(n);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
