#include "geometry/folders.h"

#include <cstring>
#include <string>

#include "platform/system.h"

namespace {

bool kernel_folder(std::string& folder)
{
    char buf[folder_buffer_size];
    if (platform_get_kernel_folder(buf, sizeof buf) == 0) return false;
    folder = buf;
    return true;
}

bool put(const std::string& s, char* out)
{
    if (!out || s.size() >= folder_buffer_size) return false;
    std::memcpy(out, s.c_str(), s.size() + 1);
    return true;
}

}  // namespace

bool get_system_dir(char* out)
{
    std::string f;
    return kernel_folder(f) && put(f, out);
}

bool get_support_dir(char* out)
{
    std::string f;
    return kernel_folder(f) && put(f + "support/", out);
}

bool get_fonts_dir(char* out)
{
    std::string f;
    return kernel_folder(f) && put(f + "fonts/", out);
}

bool get_default_ttf_fname(char* out)
{
    char sys[512];
    const UINT n = GetSystemDirectoryA(sys, sizeof sys);
    if (n == 0 || n >= sizeof sys) return false;
    // The system folder's parent is the Windows folder.
    const char* cut = std::strrchr(sys, '/');
    if (const char* b = std::strrchr(sys, '\\'); b && (!cut || b > cut)) cut = b;
    if (!cut) return false;
    return put(std::string(sys, static_cast<std::size_t>(cut - sys)) + "/Fonts/simsun.ttc", out);
}
