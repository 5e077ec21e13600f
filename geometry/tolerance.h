#pragma once

#include "geometry/fendral_api.h"

// Tolerances read by every geometric test of the system. Plain variables on purpose:
// a host may change them at any time and every test reads the current value.
extern FENDRAL_API double resabs;  // absolute distance tolerance (1e-6)
extern FENDRAL_API double resnor;  // smallest length that is still normalised (1e-10)
extern FENDRAL_API double resfit;  // fitting tolerance, for hosts (1e-3)
extern FENDRAL_API double resmch;  // machine-precision tolerance (1e-10)

// Axis directions of the world. g_y_dir true: y points up, so a rectangle's left-top
// corner is its corner of greatest y. g_x_dir is its companion for hosts.
extern FENDRAL_API bool g_y_dir;
extern FENDRAL_API bool g_x_dir;
