#include "plugins/gressil/dxf_writer.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>

namespace {

// "code\nvalue\n" of a real that is finite and not -0, in the shortest form that reads back
// to the same double; the length.
std::size_t format_real(char* out, int code, double value)
{
    char* p = std::to_chars(out, out + 16, code).ptr;
    *p++ = '\n';
    char* const start = p;
    p = std::to_chars(p, p + 30, value).ptr;
    // Integral values read as integers by some readers: keep them reals.
    bool integral = true;
    for (const char* q = start; q < p; ++q) integral &= *q != '.' && *q != 'e';
    if (integral) {
        *p++ = '.';
        *p++ = '0';
    }
    *p++ = '\n';
    return static_cast<std::size_t>(p - out);
}

}  // namespace

#include "Drakmere.h"

void Dxf_Writer::fail()
{
    if (m_ok) m_error = errno;
    m_ok = false;
}

Dxf_Writer::~Dxf_Writer()
{
    try {
        (void)flush();
    } catch (...) {
        // No memory for the last block: the file lacks it, as ok() would have said.
    }
}

std::string Dxf_Writer::render(const Block& block, std::size_t text_end, std::size_t reals_end)
{
    std::string out;
    out.reserve(text_end + reals_end * 32);
    std::size_t from = 0;
    char buf[64];
    for (std::size_t i = 0; i < reals_end; ++i) {
        const Real_Group& r = block.reals[i];
        out.append(block.text, from, r.at - from);
        from = r.at;
        out.append(buf, format_real(buf, r.code, r.value));
    }
    out.append(block.text, from, text_end - from);
    return out;
}

void Dxf_Writer::settle(int error)
{
    if (error != 0 && m_ok) {
        m_error = error;
        m_ok = false;
    }
}

namespace {

// The result of a block's write; a block that could not even be formatted (no memory) failed.
int write_result(const std::shared_future<int>& block)
{
    try {
        return block.get();
    } catch (...) {
        return ENOMEM;
    }
}

// Once the file has taken k_write_behind bytes more than it had handed to the disk, they are
// handed on: the system starts writing them and does not wait, so that a large file goes to
// the disk while the rest of it is made and the caller's final sync waits for the tail alone.
// Only a failed flush of the stream is an error; a stream that is no file, or a system that
// will not, is left to write when it will.
int write_behind(std::FILE* file, std::int64_t& handed)
{
    constexpr std::int64_t k_write_behind = std::int64_t{8} << 20;
    const std::int64_t at = ::ftello(file);
    if (at < 0 || at - handed < k_write_behind) return 0;
    if (::fflush_unlocked(file) != 0) return errno != 0 ? errno : EIO;
    (void)::sync_file_range(::fileno(file), handed, at - handed, SYNC_FILE_RANGE_WRITE);
    handed = at;
    return 0;
}

}  // namespace

bool Dxf_Writer::wait_for_blocks()
{
    for (const std::shared_future<int>& block : m_in_flight) settle(write_result(block));
    m_in_flight.clear();
    return m_ok;
}

void Dxf_Writer::hand_off()
{
    if (!m_ok || !m_file) {
        m_block.text.clear();
        m_block.reals.clear();
        return;
    }
    std::shared_future<int> before = m_in_flight.empty() ? std::shared_future<int>() : m_in_flight.back();
    auto block = std::make_shared<const Block>(std::move(m_block));
    // The task keeps neither its block nor the one before it once they have served: a block's
    // state lives until the writer has settled it.
    auto write = [file = m_file, handed = &m_handed, block, before]() mutable -> int {
        const std::string out = render(*block, block->text.size(), block->reals.size());
        block.reset();
        // The file is written by one block at a time, in their order: no stream lock.
        const int error = before.valid() ? write_result(before) : 0;
        before = std::shared_future<int>();
        if (error != 0) return error;
        if (::fwrite_unlocked(out.data(), 1, out.size(), file) != out.size()) return errno != 0 ? errno : EIO;
        return write_behind(file, *handed);
    };
    m_block = Block();
    try {
        m_in_flight.push_back(std::async(std::launch::async, write).share());
    } catch (const std::system_error&) {
        // No thread to be had: the block is written here.
        std::promise<int> done;
        done.set_value(write());
        m_in_flight.push_back(done.get_future().share());
    }
    while (m_in_flight.size() > k_in_flight) {
        settle(write_result(m_in_flight.front()));
        m_in_flight.pop_front();
    }
}

bool Dxf_Writer::flush()
{
    wait_for_blocks();
    // An open entity stays in the block: it may still be left out.
    const std::size_t text = m_in_entity ? m_entity_text : m_block.text.size();
    const std::size_t reals = m_in_entity ? m_entity_reals : m_block.reals.size();
    if (text == 0 && reals == 0) return m_ok;
    if (m_ok && m_file) {
        const std::string out = render(m_block, text, reals);
        if (::fwrite_unlocked(out.data(), 1, out.size(), m_file) != out.size()) fail();
    }
    m_block.text.erase(0, text);
    m_block.reals.erase(m_block.reals.begin(), m_block.reals.begin() + static_cast<std::ptrdiff_t>(reals));
    for (Real_Group& r : m_block.reals) r.at -= text;
    m_entity_text = m_entity_reals = 0;
    return m_ok;
}

void Dxf_Writer::line(std::string_view s)
{
    m_block.text.append(s);
    m_block.text += '\n';
    maybe_hand_off();
}

void Dxf_Writer::end()
{
    if (!m_in_entity) return;
    m_in_entity = false;
    if (!m_entity_finite) {
        m_block.text.resize(m_entity_text);
        m_block.reals.resize(m_entity_reals);
        ++m_dropped;
    }
    maybe_hand_off();
}

void Dxf_Writer::entity(std::string_view kind)
{
    end();
    m_in_entity = true;
    m_entity_finite = true;
    m_entity_text = m_block.text.size();
    m_entity_reals = m_block.reals.size();
    ++m_entities;
    m_block.text += "0\n";
    line(kind);
}

void Dxf_Writer::group(int code, std::string_view value)
{
    if (code == 0) end();
    char buf[16];
    const char* const end = std::to_chars(buf, buf + sizeof buf, code).ptr;
    m_block.text.append(buf, static_cast<std::size_t>(end - buf));
    m_block.text += '\n';
    line(value);
}

void Dxf_Writer::text(int code, std::string_view value)
{
    // A line break inside a value would start a new group.
    bool breaks = false;
    for (const char c : value) breaks |= c == '\r' || c == '\n';
    if (!breaks) {
        group(code, value);
    } else {
        std::string v(value);
        for (char& c : v)
            if (c == '\r' || c == '\n') c = ' ';
        group(code, v);
    }
}

void Dxf_Writer::real(int code, double value)
{
    // Readers take no NaN or infinity: such a value leaves its entity out (and is written as
    // 0 where it is not in one).
    if (!std::isfinite(value)) {
        m_entity_finite = false;
        value = 0.0;
    }
    if (value == 0.0) value = 0.0;  // no "-0"
    m_block.reals.push_back({m_block.text.size(), code, value});
    maybe_hand_off();
}

void Dxf_Writer::integer(int code, long long value)
{
    char buf[24];
    const char* const end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    group(code, std::string_view(buf, static_cast<std::size_t>(end - buf)));
}

void Dxf_Writer::handle(int code, std::uint64_t value)
{
    char buf[24];
    char* const end = std::to_chars(buf, buf + sizeof buf, value, 16).ptr;
    for (char* p = buf; p < end; ++p)
        if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
    group(code, std::string_view(buf, static_cast<std::size_t>(end - buf)));
}

void Dxf_Writer::point(int code, double x, double y, double z)
{
    real(code, x);
    real(code + 10, y);
    real(code + 20, z);
}

void Dxf_Writer::point2(int code, double x, double y)
{
    real(code, x);
    real(code + 10, y);
}

void Dxf_Writer::handle_placeholder(int code)
{
    end();
    char buf[16];
    const char* const end = std::to_chars(buf, buf + sizeof buf, code).ptr;
    line(std::string_view(buf, static_cast<std::size_t>(end - buf)));
    if (!flush() || !m_file) return;
    m_placeholder = std::ftell(m_file);
    line("0000000000000000");
}

bool Dxf_Writer::fill_placeholder(std::uint64_t value)
{
    end();
    if (m_placeholder < 0 || !ok()) return false;
    const long end = std::ftell(m_file);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(value));
    if (end < 0 || std::fseek(m_file, m_placeholder, SEEK_SET) != 0 || std::fwrite(buf, 1, 16, m_file) != 16 ||
        std::fseek(m_file, end, SEEK_SET) != 0) {
        fail();
        return false;
    }
    return true;
}

namespace {

void append_code_point(std::string& out, char32_t c)
{
    if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
        out += ' ';
    } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(c));
        out += buf;
    }
}

}  // namespace

namespace {

int hex_value(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The code point of units[i] (a surrogate pair taken whole, a lone surrogate as U+FFFD); i is
// left on the last unit read.
char32_t code_point_at(const char16_t* units, int n, int& i)
{
    const char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
        ++i;
        return 0x10000 + ((c - 0xD800) << 10) + (units[i] - 0xDC00);
    }
    return c >= 0xD800 && c < 0xE000 ? 0xFFFD : c;
}

// Appends the code at units[i] when it is \U+XXXX or \u+XXXX (i left on its last unit);
// false otherwise.
bool append_unicode_code(std::string& out, const char16_t* units, int n, int& i)
{
    if (i + 6 >= n || (units[i + 1] != u'U' && units[i + 1] != u'u') || units[i + 2] != u'+') return false;
    char buf[8] = "\\U+";
    for (int k = 0; k < 4; ++k) {
        const int v = hex_value(units[i + 3 + k]);
        if (v < 0) return false;
        buf[3 + k] = "0123456789ABCDEF"[v];
    }
    out.append(buf, 7);
    i += 6;
    return true;
}

// Appends the character of the code at units[i] when it is \M+nXXXX or \m+nXXXX, the
// double-byte code XXXX of the ANSI code page as the kernel's texts read it (i left on its last
// unit); false otherwise.
bool append_double_byte_code(std::string& out, const char16_t* units, int n, int& i)
{
    if (i + 7 >= n || (units[i + 1] != u'M' && units[i + 1] != u'm') || units[i + 2] != u'+' || units[i + 3] < 0x20 ||
        units[i + 3] >= 0x7F)
        return false;
    char code[9] = {};
    for (int k = 0; k < 8; ++k) {
        if (k >= 4 && hex_value(units[i + k]) < 0) return false;
        code[k] = static_cast<char>(units[i + k]);
    }
    const std::u16string wide = mb_text_to_utf16(code);
    if (wide.empty()) return false;
    for (int k = 0; k < static_cast<int>(wide.size()); ++k) {
        const char32_t c = code_point_at(wide.data(), static_cast<int>(wide.size()), k);
        // A backslash it stands for is a character, as a backslash of the text is: left bare,
        // it would start a code in a reader with what follows.
        if (c == U'\\')
            out += "\\U+005C";
        else
            append_code_point(out, c);
    }
    i += 7;
    return true;
}

}  // namespace

std::string dxf_escape(const char16_t* units, int n)
{
    std::string out;
    if (!units) return out;
    for (int i = 0; i < n; ++i) {
        if (units[i] == u'\\') {
            if (!append_unicode_code(out, units, n, i) && !append_double_byte_code(out, units, n, i))
                out += "\\U+005C";
            continue;
        }
        append_code_point(out, code_point_at(units, n, i));
    }
    return out;
}

std::string dxf_table_name(const char16_t* units, int n, std::string_view fallback)
{
    // Forbidden characters are replaced before the escapes are made, so that only the
    // escapes hold a backslash.
    std::string out;
    for (int i = 0; units && i < n; ++i) {
        const char32_t c = code_point_at(units, n, i);
        if (c < 0x80 && c != 0 && std::strchr("<>/\\\":;?*|=`", static_cast<char>(c)))
            out += '_';
        else
            append_code_point(out, c);
    }
    while (!out.empty() && out.front() == ' ') out.front() = '_';
    while (!out.empty() && out.back() == ' ') out.back() = '_';
    return out.empty() ? std::string(fallback) : out;
}
