// The family name read from a TrueType file in the fonts folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "fuzz/scratch_dir.h"
#include "geometry/ttf_name.h"

namespace {
std::string g_folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_folder = fuzz_scratch_dir() + "/fendral_fuzz_ttf_" + std::to_string(::getpid());
    ::mkdir(g_folder.c_str(), 0700);
    ::mkdir((g_folder + "/fonts").c_str(), 0700);
    ::setenv("PLATFORM_WINDOWS_DIR", g_folder.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen((g_folder + "/fonts/f.ttf").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    // Small and default capacities cut names at different places.
    for (std::size_t room : {std::size_t{1}, std::size_t{5}, ttf_face_name_size}) {
        char out[ttf_face_name_size + 1] = "";
        get_ttf_name_by_file("f.ttf", out, room);
    }
    return 0;
}
