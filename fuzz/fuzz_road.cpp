// The whole conversion road in one process: the bytes are a source drawing, read as the import
// library reads it into a fresh operation, laid out and fitted, its texts exploded, and
// written as a DXF file (with the rasters of its images) into a folder of its own, which is
// emptied after each input. The libraries' steps are called directly rather than through
// their run-time binding, so that the fuzzer sees their code. The test drawable stands for
// the 'L' records of the load seeds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Drakmere.h"
#include "converter/text_explosion.h"
#include "fuzz/scratch_dir.h"
#include "kernel/stream/object_factory.h"
#include "plugins/gressil/dxf_file.h"
#include "tests/kernel/test_objects.h"

namespace {

const std::filesystem::path& folder()
{
    static const std::filesystem::path f = fuzz_scratch_dir() + "/fendral_fuzz_road_" + std::to_string(::getpid());
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MB_Object_Factory::register_maker('L', &mb_make_object<Read_Geom>);
    std::filesystem::create_directories(folder());
    // Message boxes of the kernel are answered without a word.
    platform_set_message_box_hook([](void*, HWND, LPCSTR, LPCSTR, UINT type) { return platform_message_box_default_button(type); },
                                  nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string source = (folder() / "source.vkt").string();
    std::FILE* f = std::fopen(source.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    {
        MB_Operation operation;
        if (operation.create_drawing("newfile.vkt")) {
            MB_Drawing* drawing = operation.drawing();
            MB_File_IO file;
            file.drawing(drawing);
            // As the road: a drawing that was not read to its end is not exported.
            if (file.load_jxb(source.c_str())) {
                if (drawing->temp_block()) drawing->finish_temp_block();
                drawing->build_draw();
                operation.zoom_all();
                // As the road: what the texts become follows the entity list into the export.
                Exploded_Texts exploded;
                (void)explode_texts(&operation, exploded);
                drawing->trailing_entities(&exploded);
                (void)write_dxf_file(*drawing, (folder() / "target.dxf").c_str(), 0);
                drawing->trailing_entities(nullptr);
            }
        }
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder(), ec)) std::filesystem::remove(entry.path(), ec);
    return 0;
}
