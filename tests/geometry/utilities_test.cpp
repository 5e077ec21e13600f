#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/scratch_dir.h"
#include "geometry/file_names.h"
#include "geometry/folders.h"
#include "geometry/log.h"
#include "geometry/messages.h"
#include "geometry/point.h"
#include "geometry/progress.h"
#include "geometry/qe_file.h"
#include "geometry/win_version.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/test_hooks.h"

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void freeze(int y, int mo, int d, int h, int mi, int s)
{
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y), t.wMonth = static_cast<WORD>(mo), t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h), t.wMinute = static_cast<WORD>(mi), t.wSecond = static_cast<WORD>(s);
    platform_freeze_time(&t);
}

TEST(Log, EntriesByteForByteWithAFrozenClock)
{
    Scratch_Dir cwd(true);
    freeze(2026, 3, 4, 5, 6, 7);
    message_out("title:", "body", " end", true);
    message_out("a", "", "c", false);
    message_out("", Qe_Pt(1.0, -2.5, 1e-5), nullptr, false);
    freeze(2026, 12, 31, 23, 59, 58);
    message_out(nullptr, nullptr, nullptr, true);
    platform_freeze_time(nullptr);
    EXPECT_EQ(slurp("jxb.log"),
              "--------------2026-3-4 5:6:7---------------\r\n"
              "title:body end\r\n"
              "---------------\r\n"
              "ac\r\n"
              "---------------\r\n"
              "x:1.0000  y:-2.5000  z:0.0000\r\n"
              "--------------2026-12-31 23:59:58---------------\r\n"
              "\r\n");
}

TEST(Log, ALogThatCannotBeOpenedIsSkipped)
{
    Scratch_Dir cwd(true);
    std::filesystem::create_directory("jxb.log");
    message_out("a", "b", "c", true);
    EXPECT_TRUE(std::filesystem::is_directory("jxb.log"));
}

struct Box {
    std::string text, caption;
    UINT type = 0xFFFF;
    int count = 0;
};

int record_box(void* user, HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    auto* b = static_cast<Box*>(user);
    b->text = text;
    b->caption = caption;
    b->type = type;
    ++b->count;
    return IDOK;
}

TEST(Messages, MessageBoxWithANumber)
{
    Box box;
    platform_set_message_box_hook(record_box, &box);
    message_box("Radius: ", 3.14159, "caption");
    EXPECT_EQ(box.text, "Radius: 3.1416");
    EXPECT_EQ(box.caption, "Tavimor Error Message");
    EXPECT_EQ(box.type, MB_OK);
    message_box("Count: ", -42, nullptr);
    EXPECT_EQ(box.text, "Count: -42");
    // A text longer than the box's buffer is cut, not overrun.
    const std::string long_text(400, 'x');
    message_box(long_text.c_str(), 7, "c");
    EXPECT_EQ(box.text, std::string(255, 'x'));
    message_box(long_text.c_str(), 1e300, "c");
    EXPECT_EQ(box.text.size(), 255u);
    EXPECT_EQ(box.count, 4);
    platform_set_message_box_hook(nullptr, nullptr);
}

TEST(Messages, LastErrorStore)
{
    char out[64];
    ASSERT_TRUE(get_last_error_msg(out));
    EXPECT_EQ(std::string(out), "No error msg !!!" + std::string(25, '.'));
    EXPECT_EQ(std::strlen(g_last_error_msg), 41u);

    set_last_error_msg("x");
    std::strcpy(out, "unchanged");
    EXPECT_FALSE(get_last_error_msg(out));
    EXPECT_STREQ(out, "unchanged");

    SET_ERROR("Cannot open file");
    ASSERT_TRUE(get_last_error_msg(out));
    EXPECT_STREQ(out, "Cannot open file");
    EXPECT_STREQ(g_last_error_msg, "Cannot open file");

    // Longer than the store: cut to its 41 characters.
    const std::string long_text(100, 'e');
    set_last_error_msg(long_text.c_str());
    ASSERT_TRUE(get_last_error_msg(out));
    EXPECT_EQ(std::string(out), std::string(41, 'e'));
    set_last_error_msg(nullptr);
    EXPECT_EQ(std::string(g_last_error_msg), std::string(41, 'e'));
}

TEST(FileNames, ExtensionsNamesAndStubs)
{
    struct Ext {
        const char* path;
        const char* ext;
        bool expected;
    } exts[] = {
        {"C:\\drawings\\plan.DWG", "dwg", true}, {"plan.dwg", "DWG", true},  {"plan.dwg", "dw", false},
        {"plan.dwg.bak", "dwg", false},          {"archive.tar.gz", "gz", true}, {"no_dot", "", false},
        {"trailing.", "", true},                 {nullptr, "dwg", false},     {"a.png", nullptr, false},
    };
    for (const Ext& e : exts) EXPECT_EQ(is_file_ext(e.path, e.ext), e.expected) << (e.path ? e.path : "null");

    struct Name {
        const char* path;
        const char* name;
    } names[] = {
        {"C:\\fonts\\txt.shx", "txt.shx"}, {"txt.shx", "txt.shx"}, {"/usr/share/fonts/a.ttf", "a.ttf"},
        {"dir\\", ""},                     {"", ""},
    };
    char out[64];
    for (const Name& n : names) {
        ASSERT_TRUE(get_fname_by_pathstr(n.path, out)) << n.path;
        EXPECT_STREQ(out, n.name);
    }
    EXPECT_FALSE(get_fname_by_pathstr(nullptr, out));

    char buf[8] = "text";
    char in[] = "in";
    EXPECT_TRUE(char2unicode(buf, in));
    EXPECT_STREQ(buf, "");
    std::strcpy(buf, "text");
    EXPECT_TRUE(unicode2char(buf, in));
    EXPECT_STREQ(buf, "");
    std::strcpy(buf, "a.dwg");
    EXPECT_FALSE(convert_file_ext(buf));
    EXPECT_STREQ(buf, "a.dwg");
    EXPECT_EQ(start_basedll(in, in), 1);
}

TEST(FileNames, DrawingVersionMark)
{
    Scratch_Dir dir;
    const std::string full = dir.path() + "/Plan.dwg", shortf = dir.path() + "/short.dwg";
    std::ofstream(full, std::ios::binary) << "AC1015\x01\x02rest";
    std::ofstream(shortf, std::ios::binary) << "AC101";
    char out[16] = "unchanged";
    EXPECT_FALSE(get_dwg_version_info(shortf.c_str(), out));
    EXPECT_STREQ(out, "unchanged");
    EXPECT_FALSE(get_dwg_version_info((dir.path() + "/missing.dwg").c_str(), out));
    EXPECT_FALSE(get_dwg_version_info(nullptr, out));
    EXPECT_STREQ(out, "unchanged");
    // Found through the resolver: backslashes and another case.
    ASSERT_TRUE(get_dwg_version_info((dir.path() + "\\PLAN.DWG").c_str(), out));
    EXPECT_STREQ(out, "AC1015");
}

TEST(WinVersion, CodesForEveryRowOfTheTable)
{
    struct Row {
        DWORD platform, major, minor, build;
        int code;
    } rows[] = {
        {1, 4, 0, 950, 1},    {1, 4, 0, 949, 0},      {1, 4, 3, 951, 2},   {1, 4, 0, 1080, 2},
        {1, 4, 9, 1081, 3},   {1, 4, 0, 0x0400041D, 2}, {1, 4, 10, 1998, 4}, {1, 4, 10, 1999, 5},
        {1, 4, 10, 2182, 5},  {1, 4, 10, 2183, 6},    {1, 4, 10, 1000, 0}, {1, 4, 90, 3000, 7},
        {1, 4, 50, 950, 0},   {1, 5, 0, 950, 0},      {2, 3, 51, 1057, 101}, {2, 4, 0, 1381, 102},
        {2, 5, 0, 2195, 103}, {2, 5, 1, 2600, 104},   {2, 6, 0, 6000, 0},  {3, 4, 2, 0, 201},
        {0, 3, 1, 0, 0},
    };
    for (const Row& r : rows) {
        OSVERSIONINFOA v{};
        v.dwPlatformId = r.platform, v.dwMajorVersion = r.major, v.dwMinorVersion = r.minor, v.dwBuildNumber = r.build;
        platform_set_version(&v);
        int code = -1;
        EXPECT_TRUE(qe_get_win_ver(nullptr, &code));
        EXPECT_EQ(code, r.code) << r.platform << " " << r.major << "." << r.minor << " build " << r.build;
    }
    platform_set_version(nullptr);
    int code = -1;
    EXPECT_TRUE(qe_get_win_ver(nullptr, &code));
    EXPECT_EQ(code, 104);
}

TEST(Folders, KernelFolderAndItsSubfolders)
{
    char out[folder_buffer_size];
    {
        Scoped_Env env("PLATFORM_KERNEL_DIR", "/opt/tavimor");
        ASSERT_TRUE(get_system_dir(out));
        EXPECT_STREQ(out, "/opt/tavimor/");
        ASSERT_TRUE(get_support_dir(out));
        EXPECT_STREQ(out, "/opt/tavimor/support/");
        ASSERT_TRUE(get_fonts_dir(out));
        EXPECT_STREQ(out, "/opt/tavimor/fonts/");
    }
    {
        // A folder whose path does not fit the 260-character buffer: false, out unchanged.
        const std::string deep = "/" + std::string(254, 'd');
        Scoped_Env env("PLATFORM_KERNEL_DIR", deep.c_str());
        std::strcpy(out, "unchanged");
        EXPECT_TRUE(get_system_dir(out));
        EXPECT_FALSE(get_support_dir(out));
        EXPECT_STREQ(out, (deep + "/").c_str());
        std::strcpy(out, "unchanged");
        EXPECT_FALSE(get_fonts_dir(out));
        EXPECT_STREQ(out, "unchanged");
    }
    if (!GetModuleHandleA("Drakmere")) {
        Scoped_Env env("PLATFORM_KERNEL_DIR", nullptr);
        std::strcpy(out, "unchanged");
        EXPECT_FALSE(get_system_dir(out));  // no kernel library loaded: no folder to report
        EXPECT_STREQ(out, "unchanged");
    }
}

TEST(Folders, DefaultTrueTypeFile)
{
    char out[folder_buffer_size] = "unchanged";
    {
        Scoped_Env s("PLATFORM_SYSTEM_DIR", "/srv/windows/system32"), w("PLATFORM_WINDOWS_DIR", nullptr);
        ASSERT_TRUE(get_default_ttf_fname(out));
        EXPECT_STREQ(out, "/srv/windows/Fonts/simsun.ttc");
    }
    {
        Scoped_Env s("PLATFORM_SYSTEM_DIR", nullptr), w("PLATFORM_WINDOWS_DIR", nullptr);
        ASSERT_TRUE(get_default_ttf_fname(out));
        EXPECT_STREQ(out, "/usr/share/Fonts/simsun.ttc");
    }
    {
        Scoped_Env s("PLATFORM_SYSTEM_DIR", "nofolder");
        std::strcpy(out, "unchanged");
        EXPECT_FALSE(get_default_ttf_fname(out));
        EXPECT_STREQ(out, "unchanged");
    }
    {
        const std::string deep = "/" + std::string(250, 'w') + "/system32";
        Scoped_Env s("PLATFORM_SYSTEM_DIR", deep.c_str());
        EXPECT_FALSE(get_default_ttf_fname(out));
        EXPECT_STREQ(out, "unchanged");
    }
}

TEST(QeFile, WritesLinesAndReportsWhetherItOpened)
{
    Scratch_Dir dir;
    const std::string path = dir.path() + "/dump.txt";
    freeze(2026, 1, 2, 3, 4, 5);
    {
        Qe_File f(path.c_str(), true);
        EXPECT_TRUE(f.write_current_time());
        EXPECT_TRUE(f.write_text("hello"));
        EXPECT_TRUE(f.write_segment(Qe_Pt(1, 2, 0), Qe_Pt(-3.25, 4.5, 1), 0xFF0000));
        Qe_Pt a, b;
        long tag = 5;
        EXPECT_TRUE(f.read_segment(a, b, tag));
        EXPECT_EQ(tag, 5);
        EXPECT_TRUE(f.load_file("anything"));
    }
    platform_freeze_time(nullptr);
    const std::string first = ";;2026-1-2 3:4:5\r\nhello\r\n1.0000,2.0000,0.0000,-3.2500,4.5000,1.0000,16711680\r\n";
    EXPECT_EQ(slurp(path), first);

    // Appending, then emptying.
    Qe_File f;
    EXPECT_FALSE(f.write_text("no stream"));
    EXPECT_TRUE(f.open_or_create(path.c_str()));
    EXPECT_TRUE(f.write_text("more"));
    EXPECT_EQ(f.close(), 0);
    EXPECT_EQ(slurp(path), first + "more\r\n");
    EXPECT_FALSE(f.write_text("closed"));
    EXPECT_TRUE(f.create_file(path.c_str()));
    f.close();
    EXPECT_EQ(slurp(path), "");

    // A path that cannot be opened is reported.
    const std::string bad = dir.path() + "/missing/dump.txt";
    Qe_File g(bad.c_str(), false);
    EXPECT_FALSE(g.write_text("x"));
    EXPECT_FALSE(g.write_current_time());
    EXPECT_FALSE(g.open_or_create(bad.c_str()));
    EXPECT_FALSE(g.create_file(bad.c_str()));
    EXPECT_FALSE(g.open_or_create(nullptr));
}

TEST(QeFile, ACopyTakesTheStreamOver)
{
    Scratch_Dir dir;
    const std::string path = dir.path() + "/copy.txt";
    Qe_File a(path.c_str(), true);
    Qe_File b(a);
    EXPECT_FALSE(a.write_text("from a"));
    EXPECT_TRUE(b.write_text("from b"));
    Qe_File c;
    c = b;
    EXPECT_FALSE(b.write_text("from b"));
    EXPECT_TRUE(c.write_text("from c"));
    c = c;
    EXPECT_TRUE(c.write_text("again"));
    EXPECT_EQ(c.close(), 0);
    EXPECT_EQ(slurp(path), "from b\r\nfrom c\r\nagain\r\n");
}

TEST(Progress, CounterIsSharedSafelyBetweenThreads)
{
    EXPECT_EQ(load_current_loading_object_index(), 0);
    store_current_loading_object_index(0);
    constexpr long per_thread = 100000;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([] {
            for (long i = 0; i < per_thread; ++i) advance_current_loading_object_index();
        });
    for (std::thread& w : workers) w.join();
    EXPECT_EQ(load_current_loading_object_index(), 4 * per_thread);
    EXPECT_EQ(g_current_loading_object_index, 4 * per_thread);
    store_current_loading_object_index(0);
}

}  // namespace
