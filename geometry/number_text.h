#pragma once

// Numbers in text, read and written the same way whatever locale the host process has
// set: a host that calls setlocale(LC_ALL, "") under a decimal-comma locale must not change
// what a pattern line means or how a log line or a segment dump is written.

#include <string>

#include "geometry/fendral_api.h"

// Reads a number as strtod does in the C locale: leading white space, an optional sign,
// digits with an optional '.' fraction and exponent, or "inf" / "nan". end, when given,
// points past the number, or at text when there is none (the result is then 0). A value
// beyond the double range reads as an infinity, one too small for it as 0.
FENDRAL_API double qe_read_double(const char* text, const char** end = nullptr);

// The value with precision digits after the point (0 to 17), as printf's "%.*f" writes
// it in the C locale.
FENDRAL_API std::string qe_fixed_text(double value, int precision);
