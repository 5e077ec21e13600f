#pragma once

// Opaque handles of the desktop platform's window system. The kernel only stores and passes
// them; what they point to belongs to the platform layer. Distinct incomplete types keep one
// kind of handle from being passed where another is expected.

struct HWND__;
using HWND = HWND__*;
