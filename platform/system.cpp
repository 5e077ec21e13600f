#include "platform/system.h"
#include "platform/test_hooks.h"

#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/handle_table_p.h"

namespace platform {
namespace {

struct Module : Object {
    static constexpr Kind object_kind = Kind::module;
    Module() : Object(Kind::module) {}
    std::string path;
};

// Modules are never unloaded behind the kernel's back, so one handle per path is kept for good.
struct Module_Registry {
    std::mutex mutex;
    std::map<std::string, HMODULE> by_path;
};

Module_Registry& modules()
{
    static Module_Registry* r = new Module_Registry;
    return *r;
}

HMODULE module_for_path(const std::string& path)
{
    Module_Registry& r = modules();
    std::lock_guard lock(r.mutex);
    auto it = r.by_path.find(path);
    if (it != r.by_path.end()) return it->second;
    auto m = std::make_unique<Module>();
    m->path = path;
    auto h = static_cast<HMODULE>(add_object(std::move(m)));
    r.by_path.emplace(path, h);
    return h;
}

std::string program_path()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// Does the file name of a loaded object answer to `want` (already stripped of folder and ".dll")?
bool name_matches(const char* file, const std::string& want)
{
    if (::strcasecmp(file, want.c_str()) == 0) return true;
    const std::string lib = "lib" + want + ".so";
    const std::size_t n = lib.size();
    // libX.so or a versioned libX.so.N
    return ::strncasecmp(file, lib.c_str(), n) == 0 && (file[n] == '\0' || file[n] == '.');
}

struct Search {
    std::string want;
    std::string found;
};

int visit(dl_phdr_info* info, std::size_t, void* data)
{
    auto* s = static_cast<Search*>(data);
    const char* path = info->dlpi_name;
    if (!path || !*path) return 0;
    const char* slash = std::strrchr(path, '/');
    if (name_matches(slash ? slash + 1 : path, s->want)) {
        s->found = path;
        return 1;
    }
    return 0;
}

std::string env_or(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::string strip_trailing_separators(std::string s)
{
    while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    return s;
}

std::string windows_folder() { return strip_trailing_separators(env_or("PLATFORM_WINDOWS_DIR", "/usr/share")); }

std::string system_folder()
{
    return strip_trailing_separators(env_or("PLATFORM_SYSTEM_DIR", windows_folder() + "/system32"));
}

UINT copy_folder(const std::string& s, LPSTR out, UINT size)
{
    if (!out || s.size() >= size) return static_cast<UINT>(s.size() + 1);
    std::memcpy(out, s.c_str(), s.size() + 1);
    return static_cast<UINT>(s.size());
}

std::mutex g_state_mutex;
bool g_time_frozen = false;
SYSTEMTIME g_frozen_time{};
bool g_version_set = false;
OSVERSIONINFOA g_version{};
std::atomic<LANGID> g_lang_id{MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)};

// Day of the week of a Gregorian date, 0 = Sunday.
WORD day_of_week(int y, int m, int d)
{
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 1 || m > 12) return 0;
    if (m < 3) y -= 1;
    return static_cast<WORD>((y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7);
}

}  // namespace
}  // namespace platform

using namespace platform;

HMODULE GetModuleHandleA(LPCSTR name)
{
    if (!name) {
        const std::string p = program_path();
        return p.empty() ? nullptr : module_for_path(p);
    }
    std::string want = name;
    const std::size_t sep = want.find_last_of("/\\");
    if (sep != std::string::npos) want.erase(0, sep + 1);
    if (want.size() > 4 && ::strcasecmp(want.c_str() + want.size() - 4, ".dll") == 0) want.resize(want.size() - 4);
    if (want.empty()) return nullptr;
    Search s{want, {}};
    ::dl_iterate_phdr(visit, &s);
    return s.found.empty() ? nullptr : module_for_path(s.found);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size)
{
    if (!out || size == 0) return 0;
    std::string path;
    if (!module) {
        path = program_path();
    } else {
        Module* m = find<Module>(module);
        if (!m) {
            out[0] = '\0';
            return 0;
        }
        path = m->path;
    }
    if (path.size() >= size) {
        std::memcpy(out, path.data(), size - 1);
        out[size - 1] = '\0';
        return size;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

DWORD platform_get_kernel_folder(LPSTR out, DWORD size)
{
    if (!out || size == 0) return 0;
    out[0] = '\0';
    std::string folder = env_or("PLATFORM_KERNEL_DIR", "");
    if (folder.empty()) {
        HMODULE m = GetModuleHandleA("Drakmere");
        Module* mod = find<Module>(m);
        if (!mod) return 0;
        const std::size_t slash = mod->path.rfind('/');
        folder = slash == std::string::npos ? std::string("./") : mod->path.substr(0, slash + 1);
    }
    if (folder.back() != '/') folder += '/';
    if (folder.size() >= size) return 0;
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return static_cast<DWORD>(folder.size());
}

UINT GetSystemDirectoryA(LPSTR out, UINT size) { return copy_folder(system_folder(), out, size); }
UINT GetWindowsDirectoryA(LPSTR out, UINT size) { return copy_folder(windows_folder(), out, size); }

DWORD GetCurrentDirectoryA(DWORD size, LPSTR out)
{
    // glibc sizes the buffer itself for a null one, so folders of any depth are found.
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) return 0;
    return copy_folder(cwd.get(), out, size);
}

void GetSystemTime(LPSYSTEMTIME out)
{
    if (!out) return;
    {
        std::lock_guard lock(g_state_mutex);
        if (g_time_frozen) {
            *out = g_frozen_time;
            return;
        }
    }
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::gmtime_r(&ts.tv_sec, &tm);
    out->wYear = static_cast<WORD>(tm.tm_year + 1900);
    out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    out->wDay = static_cast<WORD>(tm.tm_mday);
    out->wHour = static_cast<WORD>(tm.tm_hour);
    out->wMinute = static_cast<WORD>(tm.tm_min);
    out->wSecond = static_cast<WORD>(tm.tm_sec < 60 ? tm.tm_sec : 59);
    out->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
}

void platform_freeze_time(const SYSTEMTIME* t)
{
    std::lock_guard lock(g_state_mutex);
    g_time_frozen = t != nullptr;
    if (t) {
        g_frozen_time = *t;
        g_frozen_time.wDayOfWeek = day_of_week(t->wYear, t->wMonth, t->wDay);
    }
}

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
    std::lock_guard lock(g_state_mutex);
    if (g_version_set) {
        *info = g_version;
    } else {
        *info = OSVERSIONINFOA{};
        info->dwMajorVersion = 5;
        info->dwMinorVersion = 1;
        info->dwBuildNumber = 2600;
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    }
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return TRUE;
}

void platform_set_version(const OSVERSIONINFOA* info)
{
    std::lock_guard lock(g_state_mutex);
    g_version_set = info != nullptr;
    if (info) g_version = *info;
}

LANGID GetSystemDefaultLangID() { return g_lang_id.load(); }
void platform_set_language_id(LANGID id) { g_lang_id.store(id); }
