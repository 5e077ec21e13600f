#pragma once

// Angle constants. Each translation unit gets its own constant copies, so they are ready
// before any code of the library runs.
static constexpr double TWO_PI = 6.283185307179586;
static constexpr double HALF_PI = 1.5707963267948966;
static constexpr double THREE_HALF_PI = 4.71238898038469;
