#include "kernel/database/code_page_p.h"

#include <vector>

#include "platform/codepage.h"

// The platform layer does the conversion; the kernel only keeps its own contract here:
// output is cut at the caller's capacity (never in the middle of a two-byte character)
// instead of failing.

int ansi_to_utf16(const char* src, int n, char16_t* dst, int capacity)
{
    if (!src || !dst || n <= 0 || capacity <= 0) return 0;
    const int needed = MultiByteToWideChar(CP_ACP, 0, src, n, nullptr, 0);
    if (needed <= 0) return 0;
    std::vector<char16_t> wide(static_cast<size_t>(needed));
    const int got = MultiByteToWideChar(CP_ACP, 0, src, n, wide.data(), needed);
    const int units = got < capacity ? got : capacity;
    for (int i = 0; i < units; ++i) dst[i] = wide[static_cast<size_t>(i)];
    return units;
}

int utf16_to_ansi(const char16_t* src, int n, char* dst, int capacity)
{
    if (!src || !dst || n <= 0 || capacity <= 0) return 0;
    const int needed = WideCharToMultiByte(CP_ACP, 0, src, n, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return 0;
    std::vector<char> bytes(static_cast<size_t>(needed));
    const int got = WideCharToMultiByte(CP_ACP, 0, src, n, bytes.data(), needed, nullptr, nullptr);
    // Copy whole characters only: a GBK lead byte (0x81-0xFE) always takes its trail byte.
    int i = 0;
    while (i < got) {
        const int step = static_cast<unsigned char>(bytes[static_cast<size_t>(i)]) >= 0x81 && i + 1 < got ? 2 : 1;
        if (i + step > capacity) break;
        for (int k = 0; k < step; ++k) dst[i + k] = bytes[static_cast<size_t>(i + k)];
        i += step;
    }
    return i;
}
