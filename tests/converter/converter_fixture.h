#pragma once

// Shared pieces of the converter tests: a work folder under the build folder that is also the
// current folder (jxb.log is written there), a kernel folder assembled from chosen import and
// export libraries, and a catcher of message boxes.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Drakmere.h"
#include "common/scratch_dir.h"

namespace converter_test {

namespace fs = std::filesystem;

// Where the test libraries were built: <dir>/<kind>/Mondrik.so and Gressil.so.
inline fs::path plugin_build_dir()
{
    return CONVERTER_TEST_PLUGIN_DIR;
}

// The real libraries, beside libDrakmere.so.
inline fs::path real_kernel_dir()
{
    return CONVERTER_KERNEL_DIR;
}

inline std::string read_file(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// A fresh folder under the build folder, current while it lives.
class Work_Dir {
public:
    explicit Work_Dir(const std::string& name)
    {
        path_ = fs::path(CONVERTER_TEST_WORK_DIR) / name;
        std::error_code ec;
        fs::remove_all(path_, ec);
        fs::create_directories(path_);
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    ~Work_Dir()
    {
        std::error_code ec;
        fs::current_path(previous_, ec);
    }
    Work_Dir(const Work_Dir&) = delete;
    Work_Dir& operator=(const Work_Dir&) = delete;
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
    fs::path previous_;
};

// What a kernel folder holds in place of each library. Truncated: a copy of the real one cut
// to its first 3,000 bytes.
enum class Lib { None, Probe, Fail, Throw, No_Entry, Interrupt, Not_Elf, Real, Truncated };

inline const char* kind_dir(Lib lib)
{
    switch (lib) {
    case Lib::Probe: return "probe";
    case Lib::Fail: return "fail";
    case Lib::Throw: return "throw";
    case Lib::No_Entry: return "no_entry";
    case Lib::Interrupt: return "interrupt";
    default: return "";
    }
}

// Fills folder with the import and export library of the chosen kinds.
inline void assemble_kernel_dir(const fs::path& folder, Lib import, Lib exporter)
{
    fs::create_directories(folder);
    const std::pair<Lib, const char*> libs[] = {{import, "Mondrik.so"}, {exporter, "Gressil.so"}};
    for (const auto& [lib, name] : libs) {
        const fs::path to = folder / name;
        if (lib == Lib::None) continue;
        if (lib == Lib::Not_Elf) {
            write_file(to, "this is not a shared object\n");
        } else if (lib == Lib::Real) {
            fs::copy_file(real_kernel_dir() / name, to, fs::copy_options::overwrite_existing);
        } else if (lib == Lib::Truncated) {
            write_file(to, read_file(real_kernel_dir() / name).substr(0, 3000));
        } else {
            fs::copy_file(plugin_build_dir() / kind_dir(lib) / name, to, fs::copy_options::overwrite_existing);
        }
    }
}

inline std::string shell_quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// What plotwane did when run as a program.
struct Program_Run {
    int status = -1;
    std::string out, err;
};

// Runs plotwane in the current folder through the shell (args are shell words), with stdin,
// stdout and stderr redirected to files; env holds further env(1) arguments ("-u NAME",
// "NAME=value"), and prefix goes before the whole command (a ulimit, say).
inline Program_Run run_plotwane(const std::string& args, const std::string& env = "", const std::string& prefix = "")
{
    const std::string cmd = prefix + "env -u PLATFORM_KERNEL_DIR " + env + " " + shell_quote(PLOTWANE_BIN) + " " +
                            args + " </dev/null >plotwane.out 2>plotwane.err";
    const int raw = std::system(cmd.c_str());
    Program_Run r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file("plotwane.out");
    r.err = read_file("plotwane.err");
    return r;
}

// Records every message box while it lives and answers OK.
class Box_Catcher {
public:
    Box_Catcher() { platform_set_message_box_hook(&hook, this); }
    ~Box_Catcher() { platform_set_message_box_hook(nullptr, nullptr); }
    Box_Catcher(const Box_Catcher&) = delete;
    Box_Catcher& operator=(const Box_Catcher&) = delete;
    std::vector<std::string> texts;
    std::vector<UINT> types;

private:
    static int hook(void* user, HWND, LPCSTR text, LPCSTR, UINT type)
    {
        auto* self = static_cast<Box_Catcher*>(user);
        self->texts.push_back(text ? text : "");
        self->types.push_back(type);
        return IDOK;
    }
};

}  // namespace converter_test
