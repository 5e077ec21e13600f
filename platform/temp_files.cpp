#include "platform/temp_files.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::string> files;
    bool ended = false;
};

Registry& registry()
{
    static Registry* r = new Registry;
    return *r;
}

void forget(Registry& r, const std::string& path)
{
    auto it = std::find(r.files.begin(), r.files.end(), path);
    if (it != r.files.end()) r.files.erase(it);
}

// The permissions a new file gets: mkstemp's 0600 would narrow them. The umask is read from
// the kernel's status of the process: setting it to read it, even for a moment, would give a
// file that another thread creates meanwhile no mask at all. (Set and put back only where
// that status does not say it.)
mode_t new_file_mode()
{
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return 0666 & ~static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Gives temp the mode (and owner) the file it replaces had, or the usual mode of a new file.
// Fails with EEXIST when final is there and is not a regular file.
bool prepare(const char* temp, const char* final)
{
    struct stat st{};
    if (::lstat(final, &st) != 0) {
        if (errno != ENOENT) return false;
        return ::chmod(temp, new_file_mode()) == 0;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EEXIST;
        return false;
    }
    // The owner first: a change of owner clears the set-id bits, which the mode then restores.
    // Only a privileged process may give a file away; others keep at least the group if they can.
    if (::chown(temp, st.st_uid, st.st_gid) != 0) (void)::chown(temp, static_cast<uid_t>(-1), st.st_gid);
    // A set-id bit goes with the owner or group it names: on a file that could not keep them
    // it would run as this process's user instead (as a plain write over the file clears it).
    mode_t mode = st.st_mode & 07777;
    struct stat now{};
    if (::stat(temp, &now) != 0) return false;
    if (now.st_uid != st.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
    if (now.st_gid != st.st_gid) mode &= ~static_cast<mode_t>(S_ISGID);
    return ::chmod(temp, mode) == 0;
}

}  // namespace

int platform_make_temp_file(LPSTR pattern)
{
    if (!pattern) {
        errno = EINVAL;
        return -1;
    }
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.ended) {
        errno = ECANCELED;
        return -1;
    }
    const int fd = ::mkstemp(pattern);
    if (fd < 0) return -1;
    try {
        r.files.emplace_back(pattern);
    } catch (...) {
        ::close(fd);
        ::unlink(pattern);
        errno = ENOMEM;
        return -1;
    }
    return fd;
}

void platform_discard_temp_file(LPCSTR temp)
{
    if (!temp) return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    ::unlink(temp);
    forget(r, temp);
}

int platform_commit_temp_files(const LPCSTR* temps, const LPCSTR* finals, int count)
{
    if (count <= 0) return 0;
    if (!temps || !finals) {
        errno = EINVAL;
        return 0;
    }
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (int i = 0; i < count; ++i) {
        if (r.ended) {
            errno = ECANCELED;
            return i;
        }
        if (!temps[i] || !finals[i]) {
            errno = EINVAL;
            return i;
        }
        // Checked here, next to the rename, not only when the writer began.
        if (!prepare(temps[i], finals[i]) || ::rename(temps[i], finals[i]) != 0) return i;
        forget(r, temps[i]);
    }
    return count;
}

void platform_remove_temp_files()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.ended = true;
    for (const std::string& f : r.files) ::unlink(f.c_str());
    r.files.clear();
}
