#include "platform/path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

bool exists(const std::string& p)
{
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

struct Dir_Closer {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The entry of folder `dir` whose name equals `name` without regard to ASCII case; empty when none.
std::string find_ignoring_case(const std::string& dir, const std::string& name)
{
    std::unique_ptr<DIR, Dir_Closer> d(::opendir(dir.empty() ? "." : dir.c_str()));
    if (!d) return {};
    while (const dirent* e = ::readdir(d.get()))
        if (::strcasecmp(e->d_name, name.c_str()) == 0) return e->d_name;
    return {};
}

std::string resolve(std::string p)
{
    for (char& c : p)
        if (c == '\\') c = '/';
    if (p.empty() || exists(p)) return p;
    std::string done;  // the resolved prefix, without a trailing '/' unless it is the root
    std::size_t pos = 0;
    if (p[0] == '/') {
        done = "/";
        pos = 1;
    }
    while (pos <= p.size()) {
        std::size_t next = p.find('/', pos);
        if (next == std::string::npos) next = p.size();
        std::string part = p.substr(pos, next - pos);
        if (!part.empty()) {
            std::string joined = done.empty() ? part : (done.back() == '/' ? done + part : done + "/" + part);
            if (!exists(joined) && part != "." && part != "..") {
                const std::string found = find_ignoring_case(done, part);
                if (!found.empty()) joined = done.empty() ? found : (done.back() == '/' ? done + found : done + "/" + found);
            }
            done = joined;
        }
        pos = next + 1;
    }
    if (!p.empty() && p.back() == '/' && (done.empty() || done.back() != '/')) done += '/';
    return done;
}

}  // namespace

BOOL platform_resolve_path(LPCSTR path, LPSTR out, DWORD size)
{
    if (!out || size == 0) return FALSE;
    out[0] = '\0';
    if (!path) return FALSE;
    const std::string r = resolve(path);
    if (r.size() >= size) return FALSE;
    std::memcpy(out, r.c_str(), r.size() + 1);
    return TRUE;
}

std::FILE* platform_fopen(LPCSTR path, LPCSTR mode)
{
    if (!path || !mode) return nullptr;
    std::string m;
    for (const char* c = mode; *c; ++c)
        if (*c != 't' && *c != ' ') m += *c;
    return std::fopen(resolve(path).c_str(), m.c_str());
}
