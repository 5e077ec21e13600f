#pragma once

// The folder a harness keeps its scratch files in: $TMPDIR when set (the suite's smoke runs
// set it to their own folder under the build tree), /tmp otherwise.

#include <cstdlib>
#include <string>

inline std::string fuzz_scratch_dir()
{
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? std::string(dir) : std::string("/tmp");
}
