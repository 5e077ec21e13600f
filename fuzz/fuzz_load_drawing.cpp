// Whole-drawing load of arbitrary bytes, plain or with compressed stretches. The test
// drawable stands for the entity records, so that point sets and extended data are read.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "fuzz/scratch_dir.h"
#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/object_factory.h"
#include "tests/kernel/test_objects.h"

namespace {

std::string temp_path()
{
    return fuzz_scratch_dir() + "/fendral_fuzz_load_" + std::to_string(::getpid()) + ".vkt";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MB_Object_Factory::register_maker('L', &mb_make_object<Read_Geom>);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = temp_path();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    MB_Drawing d;
    MB_File_IO io;
    io.drawing(&d);
    io.load_jxb(path.c_str());
    return 0;
}
