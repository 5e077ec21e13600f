#pragma once

// Marks what Fendral exports: its classes whole, its free functions and its globals.
// Everything else stays inside the library (the build hides symbols by default).
#define FENDRAL_API __attribute__((visibility("default")))
