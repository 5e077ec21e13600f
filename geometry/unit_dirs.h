#pragma once

#include "geometry/point.h"

// The 16 unit directions at 22.5-degree steps counter-clockwise from +x. The values are
// these six-digit literals, not full-precision cosines: shape fonts were drawn with them,
// so arcs and octant vectors land where the fonts expect.
static constexpr Qe_Pt UNIT_DIRS16[16] = {
    {1, 0, 0},
    {0.92388, 0.382683, 0},
    {0.707107, 0.707107, 0},
    {0.382683, 0.92388, 0},
    {0, 1, 0},
    {-0.382683, 0.92388, 0},
    {-0.707107, 0.707107, 0},
    {-0.92388, 0.382683, 0},
    {-1, 0, 0},
    {-0.92388, -0.382683, 0},
    {-0.707107, -0.707107, 0},
    {-0.382683, -0.92388, 0},
    {0, -1, 0},
    {0.382683, -0.92388, 0},
    {0.707107, -0.707107, 0},
    {0.92388, -0.382683, 0},
};
