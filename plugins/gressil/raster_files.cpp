#include "plugins/gressil/raster_files.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "geometry/messages.h"
#include "platform/temp_files.h"
#include "platform/ximage.h"

namespace {

bool write_all(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// "dir/" of "dir/name", "./" of "name"; and the name.
std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The longest file name the folder takes.
std::size_t name_limit(const std::string& folder)
{
    const long n = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : NAME_MAX;
}

// name cut to at most room bytes, never inside a UTF-8 sequence.
std::string cut_name(const std::string& name, std::size_t room)
{
    if (name.size() <= room) return name;
    std::size_t n = room;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return name.substr(0, n);
}

}  // namespace

bool resolve_target(const std::string& path, std::string& resolved, std::string& reason)
{
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            reason = error_text(errno);
            return false;
        }
        resolved = path;
        return true;
    }
    if (S_ISLNK(st.st_mode)) {
        if (::stat(path.c_str(), &st) != 0) {
            reason = errno == ENOENT ? "a link to nothing" : error_text(errno);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            reason = "not a regular file";
            return false;
        }
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        if (!real) {
            reason = error_text(errno);
            return false;
        }
        resolved = real.get();
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    resolved = path;
    return true;
}

int create_beside(const std::string& path, std::string& temp)
{
    const std::string folder = folder_of(path);
    // "." before the name and ".XXXXXX" after it: 8 bytes more than the name.
    const std::size_t limit = name_limit(folder);
    if (limit <= 8) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::string pattern = folder + "." + cut_name(name_of(path), limit - 8) + ".XXXXXX";
    const int fd = platform_make_temp_file(pattern.data());
    if (fd < 0) return -1;
    temp = std::move(pattern);
    return fd;
}

Dxf_Raster_Files::Dxf_Raster_Files(std::string target)
{
    const std::size_t slash = target.rfind('/');
    m_folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    m_stem = name;
}

Dxf_Raster_Files::~Dxf_Raster_Files()
{
    for (const File& f : m_files) {
        if (!f.committed) platform_discard_temp_file(f.temp.c_str());
        else if (!m_kept) ::unlink(f.final.c_str());
    }
}

std::string Dxf_Raster_Files::add(CxImage& raster)
{
    m_error.clear();
    const bool jpeg = raster.GetType() == CXIMAGE_FORMAT_JPG;
    const DWORD type = jpeg ? CXIMAGE_FORMAT_JPG : CXIMAGE_FORMAT_PNG;
    // The stem is cut so that the raster's name fits the folder's limit too.
    const std::string suffix = "-" + std::to_string(m_files.size() + 1) + (jpeg ? ".jpg" : ".png");
    const std::size_t limit = name_limit(m_folder.empty() ? std::string("./") : m_folder);
    if (limit <= suffix.size()) {
        m_error = error_text(ENAMETOOLONG);
        return std::string();
    }
    const std::string name = cut_name(m_stem, limit - suffix.size()) + suffix;
    std::string final;
    if (!resolve_target(m_folder + name, final, m_error)) return std::string();
    BYTE* bytes = nullptr;
    long size = 0;
    if (!raster.Encode(bytes, size, type)) {
        m_error = "the raster could not be encoded";
        return std::string();
    }
    std::string temp;
    const int fd = create_beside(final, temp);
    bool ok = fd >= 0 && size >= 0 && write_all(fd, bytes, static_cast<std::size_t>(size));
    int error = ok ? 0 : errno;
    CxImage::FreeMemory(bytes);
    if (fd >= 0) {
        if (ok && ::fsync(fd) != 0) ok = false, error = errno;
        if (::close(fd) != 0 && ok) ok = false, error = errno;
        if (!ok) platform_discard_temp_file(temp.c_str());
    }
    if (!ok) {
        m_error = error ? error_text(error) : std::string();
        return std::string();
    }
    m_files.push_back({temp, final, false});
    return name;
}

bool Dxf_Raster_Files::commit(const std::string& temp, const std::string& final)
{
    m_error.clear();
    std::vector<const char*> temps, finals;
    std::vector<File*> files;
    for (File& f : m_files) {
        if (f.committed) continue;
        temps.push_back(f.temp.c_str());
        finals.push_back(f.final.c_str());
        files.push_back(&f);
    }
    if (!temp.empty()) {
        temps.push_back(temp.c_str());
        finals.push_back(final.c_str());
    }
    const int n = static_cast<int>(temps.size());
    const int done = platform_commit_temp_files(temps.data(), finals.data(), n);
    const int error = errno;
    for (int i = 0; i < done && i < static_cast<int>(files.size()); ++i) files[static_cast<std::size_t>(i)]->committed = true;
    if (done == n) return true;
    m_error = error == EEXIST ? "not a regular file" : error_text(error);
    return false;
}
