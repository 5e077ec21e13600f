#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "geometry/ttf_name.h"
#include "platform/system.h"
#include "platform/test_hooks.h"

namespace {

struct Name_Record {
    std::uint16_t platform, encoding, language, name_id;
    std::u16string text;
};

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, v >> 16);
    put16(b, at + 2, v & 0xFFFF);
}

// A minimal font file: a table directory with a small "head" stand-in and a "name" table, the
// name table last so that cutting the file anywhere cuts into it.
std::vector<std::uint8_t> build_font(const std::vector<Name_Record>& records)
{
    std::vector<std::uint8_t> name(6 + 12 * records.size(), 0);
    put16(name, 2, static_cast<std::uint32_t>(records.size()));
    put16(name, 4, static_cast<std::uint32_t>(name.size()));
    std::vector<std::uint8_t> strings;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Name_Record& r = records[i];
        const std::size_t at = 6 + 12 * i;
        put16(name, at, r.platform);
        put16(name, at + 2, r.encoding);
        put16(name, at + 4, r.language);
        put16(name, at + 6, r.name_id);
        put16(name, at + 8, static_cast<std::uint32_t>(2 * r.text.size()));
        put16(name, at + 10, static_cast<std::uint32_t>(strings.size()));
        for (char16_t u : r.text) {
            strings.push_back(static_cast<std::uint8_t>(u >> 8));
            strings.push_back(static_cast<std::uint8_t>(u));
        }
    }
    name.insert(name.end(), strings.begin(), strings.end());

    std::vector<std::uint8_t> font(12 + 2 * 16 + 8, 0);
    put32(font, 0, 0x00010000);
    put16(font, 4, 2);
    std::memcpy(&font[12], "head", 4);
    put32(font, 12 + 8, 12 + 32);
    put32(font, 12 + 12, 8);
    std::memcpy(&font[28], "name", 4);
    put32(font, 28 + 8, static_cast<std::uint32_t>(font.size()));
    put32(font, 28 + 12, static_cast<std::uint32_t>(name.size()));
    font.insert(font.end(), name.begin(), name.end());
    return font;
}

const std::size_t k_name_table_at = 12 + 32 + 8;

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// The font as the one face of a collection, placed `gap` bytes after the collection's header;
// its table offsets then count from the start of the collection.
std::vector<std::uint8_t> build_collection(const std::vector<std::uint8_t>& font, std::size_t gap)
{
    const std::size_t at = 16 + gap;
    std::vector<std::uint8_t> ttc(at, 0xEE);
    std::memcpy(&ttc[0], "ttcf", 4);
    put32(ttc, 4, 0x00010000);
    put32(ttc, 8, 1);
    put32(ttc, 12, static_cast<std::uint32_t>(at));
    ttc.insert(ttc.end(), font.begin(), font.end());
    const std::size_t tables = (std::size_t{font[4]} << 8) | font[5];
    for (std::size_t i = 0; i < tables; ++i) {
        const std::size_t entry = at + 12 + 16 * i + 8;
        put32(ttc, entry, get32(ttc, entry) + static_cast<std::uint32_t>(at));
    }
    return ttc;
}

// The fonts folder of a scratch Windows folder, and the system language, for one test.
class Ttf_Name : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.path() + "/fonts");
        env = std::make_unique<Scoped_Env>("PLATFORM_WINDOWS_DIR", dir.path().c_str());
    }
    void TearDown() override { platform_set_language_id(0x0804); }
    void write(const std::string& file, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream(dir.path() + "/fonts/" + file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Scratch_Dir dir;
    std::unique_ptr<Scoped_Env> env;
};

const std::vector<Name_Record> k_records = {
    {1, 0, 0, 1, u"Mac Family"},     // another platform: ignored
    {3, 1, 1033, 4, u"Full Name"},   // another name id: ignored
    {3, 0, 1033, 1, u"Symbol Name"}, // another encoding: ignored
    {3, 1, 1033, 1, u"Test Sans"},
    {3, 1, 0x0804, 1, u"测试宋体"},
    {3, 1, 0x0411, 1, u"テスト"},
};

TEST_F(Ttf_Name, LocalNameBeforeEnglish)
{
    write("test.ttf", build_font(k_records));
    struct Case {
        LANGID lang;
        std::string name;
    } cases[] = {
        {0x0804, "\xB2\xE2\xCA\xD4\xCB\xCE\xCC\xE5"},  // 测试宋体 in GBK
        {1033, "Test Sans"},
        {0x0407, "Test Sans"},  // no German record: English
    };
    for (const Case& c : cases) {
        platform_set_language_id(c.lang);
        char out[32] = "Arial";
        ASSERT_TRUE(get_ttf_name_by_file("test.ttf", out)) << c.lang;
        EXPECT_EQ(std::string(out), c.name) << c.lang;
    }
    // The file name is resolved like every built path.
    char out[32] = "Arial";
    platform_set_language_id(1033);
    ASSERT_TRUE(get_ttf_name_by_file("TEST.TTF", out));
    EXPECT_STREQ(out, "Test Sans");
}

TEST_F(Ttf_Name, CutToTheCallersCapacityAtACharacterBoundary)
{
    write("test.ttf", build_font(k_records));
    struct Case {
        LANGID lang;
        std::size_t size;
        std::string name;
    } cases[] = {
        {1033, 5, "Test"},
        {1033, 10, "Test Sans"},
        {0x0804, 5, "\xB2\xE2\xCA\xD4"},  // 测试
        {0x0804, 4, "\xB2\xE2"},          // 测: the next character would not fit whole
        {0x0804, 3, "\xB2\xE2"},
        {0x0804, 2, "T"},  // not one local character fits: the English name, cut
        {0x0804, 1, ""},
    };
    for (const Case& c : cases) {
        platform_set_language_id(c.lang);
        std::vector<char> out(c.size + 4, '#');
        const bool found = get_ttf_name_by_file("test.ttf", out.data(), c.size);
        if (c.name.empty()) {
            EXPECT_FALSE(found) << c.size;
            continue;
        }
        ASSERT_TRUE(found) << c.size;
        EXPECT_EQ(std::string(out.data()), c.name) << c.size;
        EXPECT_EQ(out[c.size], '#') << "wrote past the capacity";
    }
}

TEST_F(Ttf_Name, NoNameMissingFileOrBrokenFontLeavesOutUnchanged)
{
    write("other.ttf", build_font({{1, 0, 0, 1, u"Mac"}, {3, 1, 1033, 2, u"Regular"}, {3, 1, 0x0409, 4, u"Full"}}));
    write("empty.ttf", {});
    write("not_a_font.ttf", std::vector<std::uint8_t>(100, 0x41));
    for (const char* file : {"other.ttf", "missing.ttf", "empty.ttf", "not_a_font.ttf"}) {
        char out[32] = "Arial";
        EXPECT_FALSE(get_ttf_name_by_file(file, out)) << file;
        EXPECT_STREQ(out, "Arial") << file;
    }
    char out[32] = "Arial";
    EXPECT_FALSE(get_ttf_name_by_file(nullptr, out));
    EXPECT_FALSE(get_ttf_name_by_file("other.ttf", out, 0));
}

TEST_F(Ttf_Name, TruncatedFontsFailAtEveryLength)
{
    platform_set_language_id(1033);
    const std::vector<std::uint8_t> font = build_font(k_records);
    for (std::size_t n = 0; n < font.size(); ++n) {
        write("cut.ttf", std::vector<std::uint8_t>(font.begin(), font.begin() + static_cast<long>(n)));
        char out[32] = "Arial";
        EXPECT_FALSE(get_ttf_name_by_file("cut.ttf", out)) << n;
        EXPECT_STREQ(out, "Arial") << n;
    }
}

TEST_F(Ttf_Name, LyingOffsetsAndCountsAreChecked)
{
    platform_set_language_id(1033);
    const std::vector<std::uint8_t> good = build_font({{3, 1, 1033, 1, u"Good"}});
    struct Lie {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        bool wide;
    } lies[] = {
        {"table count", 4, 0xFFFF, false},
        {"name table offset", 28 + 8, 0x7FFFFFF0, true},
        {"name table length", 28 + 12, 0x00FFFFFF, true},
        {"name table length too short", 28 + 12, 4, true},
        {"record count", k_name_table_at + 2, 0xFFFF, false},
        {"string storage", k_name_table_at + 4, 0xFFF0, false},
        {"string offset", k_name_table_at + 6 + 10, 0xFFF0, false},
        {"string length", k_name_table_at + 6 + 8, 0xFFFE, false},
    };
    for (const Lie& l : lies) {
        std::vector<std::uint8_t> font = good;
        if (l.wide) put32(font, l.at, l.value);
        else put16(font, l.at, l.value);
        write("lie.ttf", font);
        char out[32] = "Arial";
        // The record count lie still leaves the one real record readable.
        const bool expect_found = std::string(l.what) == "record count";
        EXPECT_EQ(get_ttf_name_by_file("lie.ttf", out), expect_found) << l.what;
        EXPECT_STREQ(out, expect_found ? "Good" : "Arial") << l.what;
    }
}

TEST_F(Ttf_Name, RandomMutationsStayInBounds)
{
    // Single fonts and collections, in turn.
    const std::vector<std::uint8_t> goods[] = {build_font(k_records), build_collection(build_font(k_records), 4)};
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 1500; ++trial) {
        std::vector<std::uint8_t> font = goods[(trial / 2) % 2];
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < flips; ++i) font[rng() % font.size()] = static_cast<std::uint8_t>(rng());
        write("mut.ttf", font);
        platform_set_language_id(trial % 2 ? 1033 : 0x0804);
        char out[12];
        std::memset(out, '#', sizeof out);
        if (get_ttf_name_by_file("mut.ttf", out, 8)) {
            ASSERT_LT(std::strlen(out), 8u) << trial;
        }
        ASSERT_EQ(out[8], '#') << trial;
    }
}

TEST_F(Ttf_Name, CollectionsAreNamedByTheirFirstFace)
{
    const std::vector<std::uint8_t> ttc = build_collection(build_font(k_records), 8);
    write("test.ttc", ttc);
    for (LANGID lang : {LANGID{1033}, LANGID{0x0804}}) {
        platform_set_language_id(lang);
        char out[32] = "Arial";
        ASSERT_TRUE(get_ttf_name_by_file("TEST.TTC", out)) << lang;
        EXPECT_STREQ(out, lang == 1033 ? "Test Sans" : "\xB2\xE2\xCA\xD4\xCB\xCE\xCC\xE5") << lang;
    }

    platform_set_language_id(1033);
    for (std::size_t n = 0; n < ttc.size(); ++n) {
        write("cut.ttc", std::vector<std::uint8_t>(ttc.begin(), ttc.begin() + static_cast<long>(n)));
        char out[32] = "Arial";
        EXPECT_FALSE(get_ttf_name_by_file("cut.ttc", out)) << n;
        EXPECT_STREQ(out, "Arial") << n;
    }

    const std::size_t font_at = 16 + 8;
    struct Lie {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    } lies[] = {
        {"no fonts", 8, 0},
        {"first font past the end", 12, 0x7FFFFFF0},
        {"first font's directory cut by the end", 12, static_cast<std::uint32_t>(ttc.size() - 6)},
        {"first font at the collection header", 12, 0},
        {"first font's table count", font_at + 4, 0xFFFF0000},
        {"name table offset", font_at + 28 + 8, 0xFFFFFFF0},
        {"name table length", font_at + 28 + 12, 0x00FFFFFF},
    };
    for (const Lie& l : lies) {
        std::vector<std::uint8_t> bad = ttc;
        put32(bad, l.at, l.value);
        write("lie.ttc", bad);
        char out[32] = "Arial";
        EXPECT_FALSE(get_ttf_name_by_file("lie.ttc", out)) << l.what;
        EXPECT_STREQ(out, "Arial") << l.what;
    }
}

TEST_F(Ttf_Name, InstalledCollectionAndTheFilesItStandsFor)
{
    ASSERT_TRUE(std::filesystem::exists("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"))
        << "fonts-wqy-microhei is needed";
    // Not in this fonts folder: found below the system's fonts tree, or through the alias.
    for (const char* file : {"wqy-microhei.ttc", "simsun.ttc", "SimHei.ttf"}) {
        platform_set_language_id(1033);
        char out[32] = "Arial";
        ASSERT_TRUE(get_ttf_name_by_file(file, out)) << file;
        EXPECT_STREQ(out, "WenQuanYi Micro Hei") << file;
        platform_set_language_id(2052);
        ASSERT_TRUE(get_ttf_name_by_file(file, out)) << file;
        EXPECT_STREQ(out, "\xCE\xC4\xC8\xAA\xE6\xE4\xCE\xA2\xC3\xD7\xBA\xDA") << file;  // 文泉驿微米黑
    }
}

// FreeType reads the same record of a real font.
std::string freetype_family(const std::string& path, std::uint16_t lang)
{
    FT_Library lib = nullptr;
    std::string name;
    if (FT_Init_FreeType(&lib)) return name;
    FT_Face face = nullptr;
    if (!FT_New_Face(lib, path.c_str(), 0, &face)) {
        const FT_UInt n = FT_Get_Sfnt_Name_Count(face);
        for (FT_UInt i = 0; i < n; ++i) {
            FT_SfntName s;
            if (FT_Get_Sfnt_Name(face, i, &s)) continue;
            if (s.platform_id != 3 || s.encoding_id != 1 || s.language_id != lang || s.name_id != 1) continue;
            for (FT_UInt k = 0; k + 1 < s.string_len; k += 2) {
                const unsigned u = (s.string[k] << 8) | s.string[k + 1];
                name += u < 0x80 ? static_cast<char>(u) : '?';
            }
            break;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    return name;
}

TEST_F(Ttf_Name, DejaVuSansAgreesWithFreeType)
{
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    ASSERT_TRUE(std::filesystem::exists(dejavu)) << "fonts-dejavu-core is needed";
    std::filesystem::copy_file(dejavu, dir.path() + "/fonts/DejaVuSans.ttf");
    const std::string expected = freetype_family(dejavu, 1033);
    EXPECT_EQ(expected, "DejaVu Sans");
    for (LANGID lang : {LANGID{1033}, LANGID{0x0804}}) {
        platform_set_language_id(lang);
        char out[32] = "Arial";
        ASSERT_TRUE(get_ttf_name_by_file("DejaVuSans.ttf", out));
        EXPECT_EQ(std::string(out), expected);
    }
}

}  // namespace
