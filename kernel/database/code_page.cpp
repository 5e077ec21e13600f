#include "kernel/database/code_page_p.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

// TODO(platform): convert through the platform layer's MultiByteToWideChar and
// WideCharToMultiByte with the ANSI code page once they are available.

namespace {

constexpr const char* k_ansi = "CP936";
constexpr const char* k_utf16 = "UTF-16LE";

// Converts `in` (in_size bytes) into `out` (at most out_size bytes); an input sequence that
// cannot be converted is replaced by `bad` and skipped by `step` bytes. Returns the bytes
// written.
size_t convert(const char* to, const char* from, const char* in, size_t in_size, char* out, size_t out_size,
               const char* bad, size_t bad_size, size_t step)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char* src = const_cast<char*>(in);  // iconv's interface is not const-correct
    char* dst = out;
    size_t src_left = in_size;
    size_t dst_left = out_size;
    while (src_left > 0) {
        if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG || dst_left < bad_size) break;
        // EILSEQ or EINVAL (a sequence cut at the end): replace one unit and go on.
        for (size_t i = 0; i < bad_size; ++i) *dst++ = bad[i];
        dst_left -= bad_size;
        const size_t skip = src_left < step ? src_left : step;
        src += skip;
        src_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out_size - dst_left;
}

}  // namespace

int ansi_to_utf16(const char* src, int n, char16_t* dst, int capacity)
{
    if (!src || !dst || n <= 0 || capacity <= 0) return 0;
    std::vector<char> bytes(static_cast<size_t>(capacity) * 2);
    static constexpr char k_replacement[] = {char(0xFD), char(0xFF)};  // U+FFFD, little-endian
    const size_t got = convert(k_utf16, k_ansi, src, static_cast<size_t>(n), bytes.data(), bytes.size(),
                               k_replacement, sizeof k_replacement, 1);
    const int units = static_cast<int>(got / 2);
    for (int i = 0; i < units; ++i)
        dst[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return units;
}

int utf16_to_ansi(const char16_t* src, int n, char* dst, int capacity)
{
    if (!src || !dst || n <= 0 || capacity <= 0) return 0;
    std::vector<char> bytes(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        bytes[2 * i] = static_cast<char>(src[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(src[i] >> 8);
    }
    static constexpr char k_replacement[] = {'?'};
    return static_cast<int>(convert(k_ansi, k_utf16, bytes.data(), bytes.size(), dst, static_cast<size_t>(capacity),
                                    k_replacement, sizeof k_replacement, 2));
}
