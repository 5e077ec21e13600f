#pragma once

// A scratch folder for tests that write files, in the build tree's test output folder and
// removed afterwards; optionally also the current folder while it lives (for code that
// writes into the current folder).

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/test_output.h"

class Scratch_Dir {
public:
    explicit Scratch_Dir(bool make_current = false)
    {
        std::string templ = (test_output_dir() / "scratch-XXXXXX").string();
        if (::mkdtemp(templ.data())) path_ = templ;
        if (make_current && !path_.empty()) {
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~Scratch_Dir()
    {
        std::error_code ec;
        if (!previous_.empty()) std::filesystem::current_path(previous_, ec);
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    Scratch_Dir(const Scratch_Dir&) = delete;
    Scratch_Dir& operator=(const Scratch_Dir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::filesystem::path previous_;
};

// Sets an environment variable for one scope and restores what was there.
class Scoped_Env {
public:
    Scoped_Env(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~Scoped_Env()
    {
        if (had_) ::setenv(name_.c_str(), old_.c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    Scoped_Env(const Scoped_Env&) = delete;
    Scoped_Env& operator=(const Scoped_Env&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};
