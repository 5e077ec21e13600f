#pragma once

#include "geometry/fendral_api.h"

// The platform's version as one code: 1 to 7 for the 9x family (95 to Me), 101 to 104 for
// NT 3.51 to 5.1, 201 for CE, 0 for any other. False (code 0) when the platform cannot say.
FENDRAL_API bool qe_get_win_ver(char* ignored, int* code);
