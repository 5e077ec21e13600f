#pragma once

// The largest single allocation made through operator new while a watch is on. The test
// program that links allocation_watch.cpp replaces the global operators with ones that
// take note: a reader that sizes its buffers by what a few bytes claim shows here,
// whatever the sanitizers let through.

#include <cstddef>

void allocation_watch_start();
void allocation_watch_stop();
std::size_t allocation_watch_largest();
