// The terminal converter run as a program: its exit status, its output and its messages.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "converter_fixture.h"

using namespace converter_test;

namespace {

struct Program_Run {
    int status = -1;
    std::string out, err;
};

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs plotwane in the current folder, with stdin, stdout and stderr redirected to files.
Program_Run run_plotwane(const std::string& args)
{
    const std::string cmd = "env -u PLATFORM_KERNEL_DIR " + quote(PLOTWANE_BIN) + " " + args +
                            " </dev/null >plotwane.out 2>plotwane.err";
    const int raw = std::system(cmd.c_str());
    Program_Run r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file("plotwane.out");
    r.err = read_file("plotwane.err");
    return r;
}

TEST(Plotwane, UsageErrorsExitWithTwo)
{
    Work_Dir work("plotwane_usage");
    for (const char* args : {"", "a b c", "--bogus a.vkt", "''", "a.vkt ''"}) {
        const Program_Run r = run_plotwane(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: plotwane [--no-explode-text] SOURCE [TARGET]"), std::string::npos) << args;
        EXPECT_EQ(r.out, "") << args;
    }
    const Program_Run help = run_plotwane("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: plotwane", 0), 0u);
}

TEST(Plotwane, MissingSourceIsOneLineOnStderrAndExitOne)
{
    Work_Dir work("plotwane_missing");
    const Program_Run r = run_plotwane(quote(work / "none.vkt"));
    EXPECT_EQ(r.status, 1);
    // Off a terminal nothing but the box is printed; the box text is UTF-8.
    EXPECT_EQ(r.err, "Plotwane: \xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE6\x96\x87\xE4\xBB\xB6\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(work.path() / "none.dxf"));
}

TEST(Plotwane, UnsupportedInputFailsWithoutTarget)
{
    Work_Dir work("plotwane_dwf");
    write_file(work / "plan.dwf", "(DWF V06.00)");
    const Program_Run r = run_plotwane(quote(work / "plan.dwf"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Plotwane: Import of " + (work / "plan.dwf") + " failed!\n");
    EXPECT_FALSE(fs::exists(work.path() / "plan.dxf"));
}

}  // namespace
