#include <cstdio>

#include "kernel/text/font_file_p.h"
#include "kernel/text/system_resource.h"
#include "platform/path.h"

std::string mb_font_path(const char* name)
{
    std::string path = g_system_resource.fonts_dir();
    if (name) path += name;
    return path;
}

bool mb_read_font_file(const std::string& path, std::vector<unsigned char>& out)
{
    out.clear();
    std::FILE* f = platform_fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = true;
    unsigned char chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n > k_max_font_file_size - out.size()) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}
