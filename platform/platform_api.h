#pragma once

// Marks what the platform layer exports; everything else stays inside the library.
#define PLATFORM_API __attribute__((visibility("default")))
