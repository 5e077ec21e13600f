#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace {

std::u16string to_wide(UINT cp, const std::string& s, DWORD flags = 0)
{
    const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::u16string w(static_cast<std::size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), w.data(), n), n);
    }
    return w;
}

std::string to_bytes(UINT cp, const std::u16string& w, BOOL* used = nullptr)
{
    const int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, used), n);
    }
    return s;
}

TEST(CodePage, GbkTextRoundTrips)
{
    // "中文测试" (Chinese text, test) and "宋体" (the SimSun face) in GBK.
    struct Case {
        std::string gbk;
        std::u16string utf16;
    } cases[] = {
        {"\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4", u"中文测试"},
        {"\xCB\xCE\xCC\xE5", u"宋体"},
        {"\xD0\xC2\xCB\xCE\xCC\xE5", u"新宋体"},
        {"\xD2\xBB\xD3\xC0", u"一永"},
        {"abc \xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3!", u"abc 内存不足!"},
        {"", u""},
    };
    EXPECT_EQ(GetACP(), 936u);
    for (const Case& c : cases) {
        EXPECT_EQ(to_wide(CP_ACP, c.gbk), c.utf16);
        EXPECT_EQ(to_bytes(CP_ACP, c.utf16), c.gbk);
        EXPECT_EQ(to_wide(936, c.gbk), c.utf16);
    }
}

TEST(CodePage, EveryTwoByteGbkCodeThatMapsComesBack)
{
    std::string all;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) all += {static_cast<char>(lead), static_cast<char>(trail)};
    int mapped = 0;
    for (std::size_t i = 0; i < all.size(); i += 2) {
        const std::string code = all.substr(i, 2);
        const std::u16string w = to_wide(CP_ACP, code);
        if (w.size() != 1 || w[0] == 0xFFFD) continue;
        ++mapped;
        ASSERT_EQ(to_bytes(CP_ACP, w), code) << std::hex << int(static_cast<unsigned char>(code[0])) << " "
                                             << int(static_cast<unsigned char>(code[1]));
    }
    EXPECT_GT(mapped, 21000);  // GBK holds 21886 characters
}

TEST(CodePage, TerminatorsSizesAndResultsThatDoNotFit)
{
    const char* text = "\xD6\xD0\xCE\xC4";  // 中文
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0), 3);  // with the terminator
    WCHAR w[8] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, w, 8), 3);
    EXPECT_EQ(std::u16string(w), u"中文");
    // Does not fit: 0 and an empty string.
    WCHAR small[2] = {u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, small, 2), 0);
    EXPECT_EQ(small[0], 0);

    char out[8] = "xxxxxxx";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"中文", -1, out, sizeof out, nullptr, nullptr), 5);
    EXPECT_STREQ(out, text);
    char tight[4] = "xxx";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"中文", -1, tight, 4, nullptr, nullptr), 0);
    EXPECT_EQ(tight[0], '\0');

    // Bad arguments.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, w, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 0, w, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -2, w, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 2, nullptr, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(12345678, 0, text, 2, w, 8), 0);  // unknown code page
}

TEST(CodePage, InvalidAndUnmappableText)
{
    // A lead byte without its trail, and a lead byte followed by an invalid trail.
    EXPECT_EQ(to_wide(CP_ACP, "a\xD6"), u"a\uFFFD");
    EXPECT_EQ(to_wide(CP_ACP, std::string("\xD6\x7F" "b", 3)).back(), u'b');
    WCHAR w[8];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\xD6", 2, w, 8), 0);

    // A character GBK lacks (an emoji: one surrogate pair) becomes one default character.
    BOOL used = FALSE;
    EXPECT_EQ(to_bytes(CP_ACP, u"x\U0001F600y", &used), "x?y");
    EXPECT_TRUE(used);
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u0E01", 1, out, 8, "#", &used), 1);  // Thai: not in GBK
    EXPECT_EQ(out[0], '#');
    // A lone surrogate.
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(to_bytes(CP_ACP, std::u16string(lone, 3)), "a?b");
}

TEST(CodePage, AnsiTextToUtf8AndOtherCodePages)
{
    char out[32];
    EXPECT_EQ(platform_ansi_to_utf8("\xCB\xCE\xCC\xE5", out, sizeof out), 6);
    EXPECT_STREQ(out, "宋体");
    EXPECT_EQ(platform_ansi_to_utf8("\xCB\xCE\xCC\xE5", out, 6), 0);  // no room for the terminator
    EXPECT_STREQ(out, "");

    EXPECT_FALSE(platform_set_ansi_code_page(987654));
    ASSERT_TRUE(platform_set_ansi_code_page(1252));
    EXPECT_EQ(to_wide(CP_ACP, "\xE9"), u"é");
    ASSERT_TRUE(platform_set_ansi_code_page(936));
    EXPECT_EQ(to_wide(CP_UTF8, "é"), u"é");
}

}  // namespace

// Sets LC_CTYPE for one scope; skips when the system lacks the locale.
class Scoped_Ctype {
public:
    explicit Scoped_Ctype(const char* name) : m_previous(std::setlocale(LC_CTYPE, nullptr))
    {
        m_ok = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~Scoped_Ctype() { std::setlocale(LC_CTYPE, m_previous.c_str()); }
    bool ok() const { return m_ok; }

private:
    std::string m_previous;
    bool m_ok = false;
};

TEST(CodePage, TextForAndFromTheTerminal)
{
    // "坏 文件.vkt" (bad file): GBK inside the kernel, UTF-8 on a terminal.
    const std::string gbk = "\xBB\xB5 \xCE\xC4\xBC\xFE.vkt";
    const std::string utf8 = "坏 文件.vkt";
    char out[64];
    for (const char* locale : {"C", "C.UTF-8"}) {
        Scoped_Ctype ctype(locale);
        ASSERT_TRUE(ctype.ok()) << locale;
        // The "C" locale names no set beyond ASCII: the terminal is taken for UTF-8.
        EXPECT_EQ(platform_ansi_to_terminal(gbk.c_str(), out, sizeof out), static_cast<int>(utf8.size())) << locale;
        EXPECT_EQ(std::string(out), utf8) << locale;
        EXPECT_EQ(platform_terminal_to_ansi(utf8.c_str(), out, sizeof out), static_cast<int>(gbk.size())) << locale;
        EXPECT_EQ(std::string(out), gbk) << locale;
        // What GBK lacks (Hangul, an emoji) and bytes that are no UTF-8 become one '?' each.
        EXPECT_EQ(platform_terminal_to_ansi("a\xEA\xB0\x80" "b\xF0\x9F\x98\x80" "c\xFF" "d", out, sizeof out), 7);
        EXPECT_STREQ(out, "a?b?c?d");
    }
    // Too small a buffer: 0 and an empty string.
    EXPECT_EQ(platform_ansi_to_terminal(gbk.c_str(), out, static_cast<int>(utf8.size())), 0);
    EXPECT_STREQ(out, "");
    // A terminal in a Latin set shows what it lacks as '?'.
    Scoped_Ctype latin("en_US.ISO-8859-1");
    if (latin.ok()) {
        EXPECT_EQ(platform_ansi_to_terminal(gbk.c_str(), out, sizeof out), 8);
        EXPECT_STREQ(out, "? ??.vkt");
    }
}
