#include "kernel/operation/image_type.h"

#include <cstring>

namespace {

struct Extension {
    const char* text;
    int code;
};

constexpr Extension k_extensions[] = {
    {"bmp", 1},  {"gif", 2},  {"jpg", 3},  {"jpeg", 3}, {"png", 4},  {"ico", 5},  {"tif", 6},  {"tiff", 6},
    {"tga", 7},  {"pcx", 8},  {"wbmp", 9}, {"wmf", 10}, {"emf", 10}, {"jp2", 11}, {"j2k", 11}, {"jpc", 12},
    {"j2c", 12}, {"pgx", 13}, {"pnm", 14}, {"pgm", 14}, {"ppm", 14}, {"ras", 15},
};

constexpr std::size_t k_max_name = 255;

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_text(const char* a, std::size_t n, const char* b)
{
    if (std::strlen(b) != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (lower(a[i]) != b[i]) return false;
    return true;
}

}  // namespace

int FindImageType(const char* path)
{
    if (!path) return -1;
    const std::size_t n = strnlen(path, k_max_name);
    const char* dot = nullptr;
    for (std::size_t i = 0; i < n; ++i)
        if (path[i] == '.') dot = path + i;
    if (!dot) return -1;
    const char* ext = dot + 1;
    const std::size_t len = static_cast<std::size_t>(path + n - ext);
    for (const Extension& e : k_extensions)
        if (same_text(ext, len, e.text)) return e.code;
    return 0;
}
