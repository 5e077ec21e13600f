#include "geometry/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

double qe_read_double(const char* text, const char** end)
{
    if (end) *end = text;
    if (!text) return 0.0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // from_chars takes no sign of its own before the digits but the minus, and no plus.
    if (*p == '+' || *p == '-') return 0.0;
    const char* last = p + std::strlen(p);
    double value = 0.0;
    const auto [stop, ec] = std::from_chars(p, last, value, std::chars_format::general);
    if (ec == std::errc::invalid_argument) return 0.0;
    if (ec == std::errc::result_out_of_range) {
        // The exponent's sign tells an overflow from an underflow.
        const char* e = std::find_if(p, stop, [](char c) { return c == 'e' || c == 'E'; });
        const bool tiny = e != stop && e + 1 != stop && e[1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    if (end) *end = stop;
    return negative ? -value : value;
}

std::string qe_fixed_text(double value, int precision)
{
    precision = std::clamp(precision, 0, 17);
    // The largest finite double has 309 digits before the point.
    char buf[400];
    const auto [stop, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (ec != std::errc()) return std::string();
    return std::string(buf, stop);
}
