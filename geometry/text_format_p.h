#pragma once

// printf-style formatting into a string of whatever length the values need.

#include <cstdarg>
#include <cstdio>
#include <string>

namespace fendral {

[[gnu::format(printf, 1, 2)]] inline std::string format_text(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, again);
    }
    va_end(again);
    return out;
}

}  // namespace fendral
