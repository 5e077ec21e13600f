#include "geometry/ttf_name.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/font.h"
#include "platform/path.h"
#include "platform/system.h"

namespace {

constexpr WORD k_english = 1033;
// A name table is a few kilobytes; a larger one is not read.
constexpr std::uint32_t k_max_name_table = 1u << 20;

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, File_Closer>;

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t be32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

// Reads exactly n bytes at offset, after checking that they lie inside the file.
bool read_at(std::FILE* f, std::uint64_t file_size, std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& out)
{
    if (offset > file_size || n > file_size - offset) return false;
    out.resize(n);
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out.data(), 1, n, f) == n;
}

// The name table's bytes; false when the font has none or its directory lies.
bool read_name_table(std::FILE* f, std::vector<std::uint8_t>& table)
{
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f);
    if (end < 0) return false;
    const auto size = static_cast<std::uint64_t>(end);
    std::vector<std::uint8_t> head;
    if (!read_at(f, size, 0, 12, head)) return false;
    std::uint64_t font_at = 0;
    if (std::memcmp(head.data(), "ttcf", 4) == 0) {
        // A collection: its first face is read. Table offsets count from the start of the file
        // in a collection too.
        std::vector<std::uint8_t> collection;
        if (!read_at(f, size, 0, 16, collection) || be32(&collection[8]) == 0) return false;
        font_at = be32(&collection[12]);
        if (!read_at(f, size, font_at, 12, head)) return false;
    }
    const std::size_t tables = be16(&head[4]);
    std::vector<std::uint8_t> dir;
    if (!read_at(f, size, font_at + 12, tables * 16, dir)) return false;
    for (std::size_t i = 0; i < tables; ++i) {
        const std::uint8_t* e = &dir[i * 16];
        if (std::memcmp(e, "name", 4) != 0) continue;
        const std::uint32_t offset = be32(e + 8), length = be32(e + 12);
        if (length < 6 || length > k_max_name_table) return false;
        return read_at(f, size, offset, length, table);
    }
    return false;
}

// The record's UTF-16BE string in the ANSI code page, cut at a character boundary so that it
// fits `room` bytes; empty when it is not inside the table or does not convert.
std::string record_text(const std::vector<std::uint8_t>& table, std::size_t storage, std::size_t offset,
                        std::size_t length, std::size_t room)
{
    if (storage > table.size() || offset > table.size() - storage || length > table.size() - storage - offset)
        return {};
    const std::uint8_t* p = table.data() + storage + offset;
    std::u16string units;
    for (std::size_t i = 0; i + 1 < length; i += 2) units += static_cast<char16_t>(be16(p + i));
    std::string out;
    char buf[8];
    for (std::size_t i = 0; i < units.size();) {
        // A surrogate pair converts as one character.
        const std::size_t n = (units[i] & 0xFC00) == 0xD800 && i + 1 < units.size() ? 2 : 1;
        const int got = WideCharToMultiByte(CP_ACP, 0, units.data() + i, static_cast<int>(n), buf, sizeof buf, nullptr, nullptr);
        if (got <= 0) return {};
        // No more than the record's own length, as the name was always cut to it.
        if (out.size() + static_cast<std::size_t>(got) > room || out.size() + static_cast<std::size_t>(got) > length) break;
        out.append(buf, static_cast<std::size_t>(got));
        i += n;
    }
    return out;
}

}  // namespace

bool get_ttf_name_by_file(const char* file_name, char* out, std::size_t out_size)
{
    if (!file_name || !out || out_size == 0) return false;
    char path[4096];
    if (platform_ttf_file(file_name, path, sizeof path) == 0) return false;
    File f(platform_fopen(path, "rb"));
    if (!f) return false;

    std::vector<std::uint8_t> table;
    if (!read_name_table(f.get(), table)) return false;
    const std::size_t count = be16(&table[2]);
    const std::size_t storage = be16(&table[4]);
    const LANGID system_lang = GetSystemDefaultLangID();
    const std::size_t room = out_size - 1;

    std::string english, local;
    bool have_english = false, have_local = false;
    // Only records that lie inside the table are looked at.
    const std::size_t records = count < (table.size() - 6) / 12 ? count : (table.size() - 6) / 12;
    for (std::size_t i = 0; i < records; ++i) {
        const std::uint8_t* r = &table[6 + 12 * i];
        if (be16(r) != 3 || be16(r + 2) != 1 || be16(r + 6) != 1) continue;
        const WORD lang = be16(r + 4);
        if (lang != k_english && lang != system_lang) continue;
        const std::string text = record_text(table, storage, be16(r + 10), be16(r + 8), room);
        if (text.empty()) continue;
        if (lang == k_english && !have_english) {
            english = text;
            have_english = true;
        }
        if (lang == system_lang && !have_local) {
            local = text;
            have_local = true;
        }
        if ((system_lang == k_english && have_english) || (have_english && have_local)) break;
    }
    if (!have_local && !have_english) return false;
    const std::string& name = have_local ? local : english;
    std::memcpy(out, name.c_str(), name.size() + 1);
    return true;
}
