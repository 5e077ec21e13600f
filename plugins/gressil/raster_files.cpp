#include "plugins/gressil/raster_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ximage.h"

namespace {

// The default permissions of a new file, which mkstemp's 0600 would narrow.
mode_t new_file_mode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool write_all(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int create_beside(const std::string& path, std::string& temp)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return -1;
    if (::fchmod(fd, new_file_mode()) != 0) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return -1;
    }
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
        if (!f.committed) ::unlink(f.temp.c_str());
        else if (!m_kept) ::unlink((m_folder + f.final).c_str());
    }
}

std::string Dxf_Raster_Files::add(CxImage& raster)
{
    const bool jpeg = raster.GetType() == CXIMAGE_FORMAT_JPG;
    const DWORD type = jpeg ? CXIMAGE_FORMAT_JPG : CXIMAGE_FORMAT_PNG;
    BYTE* bytes = nullptr;
    long size = 0;
    if (!raster.Encode(bytes, size, type)) return std::string();
    const std::string final = m_stem + "-" + std::to_string(m_files.size() + 1) + (jpeg ? ".jpg" : ".png");
    std::string temp;
    const int fd = create_beside(m_folder.empty() ? final : m_folder + final, temp);
    bool ok = fd >= 0 && size >= 0 && write_all(fd, bytes, static_cast<std::size_t>(size));
    CxImage::FreeMemory(bytes);
    if (fd >= 0) {
        ok = ::fsync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        if (!ok) ::unlink(temp.c_str());
    }
    if (!ok) return std::string();
    m_files.push_back({temp, final, false});
    return final;
}

bool Dxf_Raster_Files::commit()
{
    for (File& f : m_files) {
        if (f.committed) continue;
        if (::rename(f.temp.c_str(), (m_folder + f.final).c_str()) != 0) return false;
        f.committed = true;
    }
    return true;
}
