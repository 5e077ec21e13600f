#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::atomic<UINT> g_ansi_code_page{936};

std::string iconv_name(UINT cp)
{
    if (cp == CP_ACP || cp == CP_OEMCP) cp = g_ansi_code_page.load();
    if (cp == CP_UTF8) return "UTF-8";
    return "CP" + std::to_string(cp);
}

struct Converter {
    iconv_t cd;
    Converter(const std::string& to, const std::string& from) : cd(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter()
    {
        if (ok()) iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

// Converts all of [in, in + in_bytes). A sequence the target cannot take or the source does not
// hold is replaced by `replacement` and skipped by `unit` bytes; with strict set it fails.
bool convert(Converter& c, const char* in, std::size_t in_bytes, std::size_t unit, const std::string& replacement,
             bool strict, std::string& out, bool& replaced)
{
    out.clear();
    replaced = false;
    char buf[256];
    char* src = const_cast<char*>(in);
    std::size_t left = in_bytes;
    while (left > 0) {
        char* dst = buf;
        std::size_t room = sizeof buf;
        const std::size_t r = iconv(c.cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (errno != EILSEQ && errno != EINVAL) return false;
        if (strict) return false;
        replaced = true;
        out += replacement;
        std::size_t skip = unit < left ? unit : left;
        // A UTF-16 surrogate pair is one character: replace it once.
        if (unit == 2 && left >= 4 && (static_cast<unsigned char>(src[1]) & 0xFC) == 0xD8 &&
            (static_cast<unsigned char>(src[3]) & 0xFC) == 0xDC)
            skip = 4;
        src += skip;
        left -= skip;
        iconv(c.cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    }
    char* dst = buf;
    std::size_t room = sizeof buf;
    iconv(c.cd, nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
}

// The character set of a terminal: the locale's, UTF-8 in place of plain ASCII.
std::string terminal_charset()
{
    const char* set = ::nl_langinfo(CODESET);
    if (!set || !*set || std::strcmp(set, "ANSI_X3.4-1968") == 0 || std::strcmp(set, "ASCII") == 0) return "UTF-8";
    return set;
}

// Through UTF-16, so that a character the target lacks is replaced whole, never byte by byte.
bool recode(const std::string& to, const std::string& from, LPCSTR in, std::string& out)
{
    Converter in_c("UTF-16LE", from);
    Converter out_c(to, "UTF-16LE");
    std::string utf16;
    bool replaced = false;
    return in_c.ok() && out_c.ok() && convert(in_c, in, std::strlen(in), 1, std::string("\xFD\xFF", 2), false, utf16, replaced) &&
           convert(out_c, utf16.data(), utf16.size(), 2, "?", false, out, replaced);
}

int copy_result(const std::string& result, LPSTR out, int out_len)
{
    if (result.size() >= static_cast<std::size_t>(out_len)) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, result.data(), result.size() + 1);
    return static_cast<int>(result.size());
}

std::size_t wide_length(LPCWSTR s)
{
    std::size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

UINT GetACP() { return g_ansi_code_page.load(); }

BOOL platform_set_ansi_code_page(UINT code_page)
{
    if (code_page == CP_ACP || code_page == CP_OEMCP) return FALSE;
    Converter c("UTF-16LE", iconv_name(code_page));
    if (!c.ok()) return FALSE;
    g_ansi_code_page.store(code_page);
    return TRUE;
}

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_len, LPWSTR out, int out_len)
{
    if (!in || in_len == 0 || in_len < -1 || out_len < 0 || (out_len > 0 && !out)) return 0;
    const std::size_t n = in_len == -1 ? std::strlen(in) + 1 : static_cast<std::size_t>(in_len);
    Converter c("UTF-16LE", iconv_name(code_page));
    if (!c.ok()) return 0;
    std::string utf16;
    bool replaced = false;
    if (!convert(c, in, n, 1, std::string("\xFD\xFF", 2), (flags & MB_ERR_INVALID_CHARS) != 0, utf16, replaced))
        return 0;
    const std::size_t units = utf16.size() / 2;
    if (out_len == 0) return static_cast<int>(units);
    if (units > static_cast<std::size_t>(out_len)) {
        out[0] = 0;
        return 0;
    }
    for (std::size_t i = 0; i < units; ++i)
        out[i] = static_cast<WCHAR>(static_cast<unsigned char>(utf16[2 * i]) |
                                    (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
    return static_cast<int>(units);
}

int WideCharToMultiByte(UINT code_page, DWORD, LPCWSTR in, int in_len, LPSTR out, int out_len, LPCSTR default_char,
                        BOOL* used_default)
{
    if (used_default) *used_default = FALSE;
    if (!in || in_len == 0 || in_len < -1 || out_len < 0 || (out_len > 0 && !out)) return 0;
    const std::size_t n = in_len == -1 ? wide_length(in) + 1 : static_cast<std::size_t>(in_len);
    std::string bytes(2 * n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        bytes[2 * i] = static_cast<char>(in[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(in[i] >> 8);
    }
    Converter c(iconv_name(code_page), "UTF-16LE");
    if (!c.ok()) return 0;
    std::string result;
    bool replaced = false;
    const std::string fallback = default_char && *default_char ? std::string(default_char, 1) : std::string("?");
    if (!convert(c, bytes.data(), bytes.size(), 2, fallback, false, result, replaced)) return 0;
    if (used_default && replaced) *used_default = TRUE;
    if (out_len == 0) return static_cast<int>(result.size());
    if (result.size() > static_cast<std::size_t>(out_len)) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, result.data(), result.size());
    return static_cast<int>(result.size());
}

int platform_ansi_to_utf8(LPCSTR in, LPSTR out, int out_len)
{
    if (!in || !out || out_len <= 0) return 0;
    Converter c("UTF-8", iconv_name(CP_ACP));
    std::string result;
    bool replaced = false;
    if (!c.ok() || !convert(c, in, std::strlen(in), 1, "\xEF\xBF\xBD", false, result, replaced)) result.clear();
    return copy_result(result, out, out_len);
}

int platform_ansi_to_terminal(LPCSTR in, LPSTR out, int out_len)
{
    if (!in || !out || out_len <= 0) return 0;
    std::string result;
    if (!recode(terminal_charset(), iconv_name(CP_ACP), in, result)) result.clear();
    return copy_result(result, out, out_len);
}

int platform_terminal_to_ansi(LPCSTR in, LPSTR out, int out_len)
{
    if (!in || !out || out_len <= 0) return 0;
    std::string result;
    if (!recode(iconv_name(CP_ACP), terminal_charset(), in, result)) result.clear();
    return copy_result(result, out, out_len);
}
