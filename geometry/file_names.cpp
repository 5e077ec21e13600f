#include "geometry/file_names.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "platform/path.h"

namespace {
bool s_started = false;  // nothing reads it; kept as the mark callers set
}  // namespace

bool get_dwg_version_info(const char* path, char* out)
{
    if (!path || !out) return false;
    std::FILE* f = platform_fopen(path, "rb");
    if (!f) return false;
    char mark[6];
    const std::size_t n = std::fread(mark, 1, sizeof mark, f);
    std::fclose(f);
    if (n != sizeof mark) return false;
    std::memcpy(out, mark, sizeof mark);
    out[6] = '\0';
    return true;
}

bool is_file_ext(const char* path, const char* ext)
{
    if (!path || !ext) return false;
    const char* dot = std::strrchr(path, '.');
    return dot && ::strcasecmp(dot + 1, ext) == 0;
}

bool get_fname_by_pathstr(const char* path, char* out)
{
    if (!path || !out) return false;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    std::memmove(out, name, std::strlen(name) + 1);
    return true;
}

bool char2unicode(char* out, char*)
{
    if (out) out[0] = '\0';
    return true;
}

bool unicode2char(char* out, char* in) { return char2unicode(out, in); }

bool convert_file_ext(char*) { return false; }

int start_basedll(char*, char*)
{
    s_started = true;
    return 1;
}
