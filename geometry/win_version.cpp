#include "geometry/win_version.h"

#include "platform/system.h"

namespace {

int code_of(const OSVERSIONINFOA& v)
{
    const DWORD build = v.dwBuildNumber & 0xFFFF;
    switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        if (v.dwMajorVersion != 4) return 0;
        if (v.dwMinorVersion <= 9) {
            if (build == 950) return 1;
            if (build > 950 && build <= 1080) return 2;
            if (build > 1080) return 3;
            return 0;
        }
        if (v.dwMinorVersion == 10) {
            if (build == 1998) return 4;
            if (build > 1998 && build < 2183) return 5;
            if (build >= 2183) return 6;
            return 0;
        }
        return v.dwMinorVersion == 90 ? 7 : 0;
    case VER_PLATFORM_WIN32_NT:
        if (v.dwMajorVersion == 3 && v.dwMinorVersion == 51) return 101;
        if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0) return 102;
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) return 103;
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) return 104;
        return 0;
    case VER_PLATFORM_WIN32_CE: return 201;
    default: return 0;
    }
}

}  // namespace

bool qe_get_win_ver(char*, int* code)
{
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    const bool ok = GetVersionExA(&v) != FALSE;
    const int c = ok ? code_of(v) : 0;
    if (code) *code = c;
    return ok;
}
