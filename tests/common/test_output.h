#pragma once

// Where a test leaves a file that outlives it (a picture for a look, a dump): a folder in
// the build tree, made on first use, whatever the current folder is. Tests never write
// into the source tree.

#include <filesystem>
#include <string>

inline std::filesystem::path test_output_dir()
{
#ifdef FENDRAL_TEST_OUTPUT_DIR
    const std::filesystem::path dir = FENDRAL_TEST_OUTPUT_DIR;
#else
    // Programs outside the test suites (the fuzz harnesses) have no build-tree folder.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "fendral-test-output";
#endif
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

inline std::string test_output_path(const std::string& name)
{
    return (test_output_dir() / name).string();
}
