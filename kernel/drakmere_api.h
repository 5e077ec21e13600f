#pragma once

// Marks what Drakmere exports: its classes whole, its flat functions and its globals.
// Everything else stays inside the library (the build hides symbols by default).
#define DRAKMERE_API __attribute__((visibility("default")))
