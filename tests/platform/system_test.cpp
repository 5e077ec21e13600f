#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/scratch_dir.h"
#include "platform/path.h"
#include "platform/system.h"
#include "platform/test_hooks.h"

namespace fs = std::filesystem;

namespace {

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Modules, FoundByFileNameThroughTheLoader)
{
    HMODULE m = GetModuleHandleA("Platform");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetModuleHandleA("Platform.dll"), m);
    EXPECT_EQ(GetModuleHandleA("PLATFORM.DLL"), m);
    EXPECT_EQ(GetModuleHandleA("libPlatform.so"), m);
    EXPECT_EQ(GetModuleHandleA("C:\\bin\\Platform.dll"), m);
    EXPECT_EQ(GetModuleHandleA("Platfor"), nullptr);
    EXPECT_EQ(GetModuleHandleA("NoSuchLibrary"), nullptr);
    EXPECT_EQ(GetModuleHandleA(""), nullptr);

    char path[512];
    const DWORD n = GetModuleFileNameA(m, path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n, std::strlen(path));
    EXPECT_TRUE(ends_with(path, "/libPlatform.so")) << path;
    EXPECT_TRUE(fs::exists(path));

    // Too small: cut, terminated, and the buffer size returned.
    char small[6];
    EXPECT_EQ(GetModuleFileNameA(m, small, sizeof small), sizeof small);
    EXPECT_EQ(std::string(small), std::string(path, 5));

    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    EXPECT_TRUE(ends_with(path, "/platform_tests")) << path;
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1234), path, sizeof path), 0u);
    EXPECT_EQ(path[0], '\0');
}

TEST(Modules, KernelFolderIsTheLoadedKernelLibrarysFolder)
{
    Scoped_Env no_override("PLATFORM_KERNEL_DIR", nullptr);
    char folder[512];
    void* lib = ::dlopen(DRAKMERE_LIBRARY, RTLD_NOW);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    const std::string expected = fs::path(DRAKMERE_LIBRARY).parent_path().string() + "/";
    EXPECT_EQ(platform_get_kernel_folder(folder, sizeof folder), expected.size());
    EXPECT_EQ(std::string(folder), expected);
    // A buffer that cannot hold it gets nothing.
    EXPECT_EQ(platform_get_kernel_folder(folder, static_cast<DWORD>(expected.size())), 0u);
    EXPECT_EQ(folder[0], '\0');
    {
        Scoped_Env env("PLATFORM_KERNEL_DIR", "/opt/kernel");
        EXPECT_EQ(platform_get_kernel_folder(folder, sizeof folder), 12u);
        EXPECT_STREQ(folder, "/opt/kernel/");
    }
    ::dlclose(lib);
}

TEST(Folders, SystemAndWindowsFoldersFromTheEnvironment)
{
    char buf[260];
    {
        Scoped_Env w("PLATFORM_WINDOWS_DIR", nullptr), s("PLATFORM_SYSTEM_DIR", nullptr);
        EXPECT_EQ(GetWindowsDirectoryA(buf, sizeof buf), 10u);
        EXPECT_STREQ(buf, "/usr/share");
        GetSystemDirectoryA(buf, sizeof buf);
        EXPECT_STREQ(buf, "/usr/share/system32");
    }
    {
        Scoped_Env w("PLATFORM_WINDOWS_DIR", "/srv/win/"), s("PLATFORM_SYSTEM_DIR", nullptr);
        GetWindowsDirectoryA(buf, sizeof buf);
        EXPECT_STREQ(buf, "/srv/win");
        GetSystemDirectoryA(buf, sizeof buf);
        EXPECT_STREQ(buf, "/srv/win/system32");
        Scoped_Env s2("PLATFORM_SYSTEM_DIR", "/srv/sys");
        GetSystemDirectoryA(buf, sizeof buf);
        EXPECT_STREQ(buf, "/srv/sys");
        // Too small: the size needed, terminator included, and nothing written.
        std::strcpy(buf, "x");
        EXPECT_EQ(GetSystemDirectoryA(buf, 8), 9u);
        EXPECT_STREQ(buf, "x");
    }
}

TEST(Clock, FrozenForTestsAndRunningOtherwise)
{
    SYSTEMTIME t{};
    t.wYear = 2026, t.wMonth = 12, t.wDay = 10, t.wHour = 7, t.wMinute = 5, t.wSecond = 9, t.wMilliseconds = 3;
    platform_freeze_time(&t);
    SYSTEMTIME got{};
    GetSystemTime(&got);
    EXPECT_EQ(got.wYear, 2026);
    EXPECT_EQ(got.wMonth, 12);
    EXPECT_EQ(got.wDay, 10);
    EXPECT_EQ(got.wHour, 7);
    EXPECT_EQ(got.wMinute, 5);
    EXPECT_EQ(got.wSecond, 9);
    EXPECT_EQ(got.wDayOfWeek, 4);  // a Thursday
    t.wYear = 2000, t.wMonth = 1, t.wDay = 1;
    platform_freeze_time(&t);
    GetSystemTime(&got);
    EXPECT_EQ(got.wDayOfWeek, 6);  // a Saturday
    platform_freeze_time(nullptr);

    // Running: agrees with the C library's UTC calendar date (read before and after).
    const std::time_t before = std::time(nullptr);
    GetSystemTime(&got);
    const std::time_t after = std::time(nullptr);
    std::tm a{}, b{};
    gmtime_r(&before, &a);
    gmtime_r(&after, &b);
    EXPECT_TRUE(got.wYear == a.tm_year + 1900 || got.wYear == b.tm_year + 1900);
    EXPECT_TRUE(got.wDay == a.tm_mday || got.wDay == b.tm_mday);
    EXPECT_TRUE(got.wHour == a.tm_hour || got.wHour == b.tm_hour);
}

TEST(Version, ReportsAnNtSystemAndCanBeReplaced)
{
    OSVERSIONINFOA v{};
    EXPECT_FALSE(GetVersionExA(&v));  // size not set
    EXPECT_FALSE(GetVersionExA(nullptr));
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(v.dwMajorVersion, 5u);
    EXPECT_EQ(v.dwMinorVersion, 1u);

    OSVERSIONINFOA ce{};
    ce.dwPlatformId = VER_PLATFORM_WIN32_CE;
    platform_set_version(&ce);
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_CE);
    EXPECT_EQ(v.dwOSVersionInfoSize, sizeof v);
    platform_set_version(nullptr);
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);

    EXPECT_EQ(GetSystemDefaultLangID(), 0x0804);
    platform_set_language_id(0x0409);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0409);
    platform_set_language_id(0x0804);
}

TEST(Paths, BackslashesAndCaseAreResolved)
{
    Scratch_Dir tmp;
    fs::create_directories(tmp.path() + "/Support/Fonts");
    std::ofstream(tmp.path() + "/Support/Fonts/SimSun.TTC") << "x";
    std::ofstream(tmp.path() + "/Support/exact.shx") << "x";

    struct Case {
        std::string in, out;
    } cases[] = {
        {tmp.path() + "\\SUPPORT\\fonts\\simsun.ttc", tmp.path() + "/Support/Fonts/SimSun.TTC"},
        {tmp.path() + "/support/exact.shx", tmp.path() + "/Support/exact.shx"},
        {tmp.path() + "/Support/exact.shx", tmp.path() + "/Support/exact.shx"},
        // Missing names are kept as written, after the part that resolved.
        {tmp.path() + "\\support\\New.log", tmp.path() + "/Support/New.log"},
        {tmp.path() + "/nothing/here/", tmp.path() + "/nothing/here/"},
        {tmp.path() + "/SUPPORT/", tmp.path() + "/Support/"},
        {"relative\\name.txt", "relative/name.txt"},
    };
    char out[1024];
    for (const Case& c : cases) {
        ASSERT_TRUE(platform_resolve_path(c.in.c_str(), out, sizeof out)) << c.in;
        EXPECT_EQ(std::string(out), c.out) << c.in;
    }
    EXPECT_FALSE(platform_resolve_path(cases[0].in.c_str(), out, 8));
    EXPECT_EQ(out[0], '\0');
    EXPECT_FALSE(platform_resolve_path(nullptr, out, sizeof out));

    // Opening through the resolver, with the text-mode letter dropped and bytes kept as written.
    const std::string log = tmp.path() + "\\SUPPORT\\new.log";
    std::FILE* f = platform_fopen(log.c_str(), "a+ t");
    ASSERT_NE(f, nullptr);
    std::fputs("a\r\n", f);
    std::fclose(f);
    std::ifstream in(tmp.path() + "/Support/new.log", std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "a\r\n");
    f = platform_fopen((tmp.path() + "\\support\\fonts\\SIMSUN.ttc").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

}  // namespace
