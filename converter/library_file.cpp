#include "converter/library_file.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

#if defined(__x86_64__)
constexpr int k_machine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int k_machine = EM_AARCH64;
#else
#error "the machine of this build has no ELF machine number here"
#endif

// The whole of [offset, offset + size) from fd; false when the file holds less.
bool read_at(int fd, std::uint64_t offset, void* out, std::size_t size)
{
    auto* p = static_cast<char*>(out);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// offset + size <= total, without overflow.
bool inside(std::uint64_t offset, std::uint64_t size, std::uint64_t total)
{
    return offset <= total && size <= total - offset;
}

bool check(int fd, std::uint64_t file_size, std::string& why)
{
    Elf64_Ehdr h{};
    if (file_size < sizeof h || !read_at(fd, 0, &h, sizeof h) || std::memcmp(h.e_ident, ELFMAG, SELFMAG) != 0) {
        why = "not an ELF file";
        return false;
    }
    if (h.e_ident[EI_CLASS] != ELFCLASS64 || h.e_ident[EI_DATA] != ELFDATA2LSB || h.e_machine != k_machine) {
        why = "an ELF file for another machine";
        return false;
    }
    if (h.e_type != ET_DYN) {
        why = "not a shared object";
        return false;
    }
    if (h.e_phentsize != sizeof(Elf64_Phdr) || h.e_phnum == 0 || h.e_phnum == PN_XNUM) {
        why = "no program headers";
        return false;
    }
    const std::uint64_t table = static_cast<std::uint64_t>(h.e_phnum) * sizeof(Elf64_Phdr);
    if (!inside(h.e_phoff, table, file_size)) {
        why = "the file is cut short (program headers)";
        return false;
    }
    std::vector<Elf64_Phdr> headers(h.e_phnum);
    if (!read_at(fd, h.e_phoff, headers.data(), table)) {
        why = "the program headers cannot be read";
        return false;
    }
    for (const Elf64_Phdr& p : headers) {
        if (p.p_type != PT_LOAD && p.p_type != PT_DYNAMIC) continue;
        if (!inside(p.p_offset, p.p_filesz, file_size) || p.p_filesz > p.p_memsz) {
            why = "the file is cut short (a segment lies past its end)";
            return false;
        }
    }
    return true;
}

}  // namespace

bool library_file_is_whole(const char* path, std::string& why)
{
    const int fd = path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) {
        why = path ? std::strerror(errno) : "no path";
        return false;
    }
    struct stat st{};
    const bool ok = ::fstat(fd, &st) == 0 && st.st_size >= 0 && check(fd, static_cast<std::uint64_t>(st.st_size), why);
    if (why.empty() && !ok) why = std::strerror(errno);
    ::close(fd);
    return ok;
}
