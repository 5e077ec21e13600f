// Whole-drawing read from a source that hands out one byte per read call and reports "no
// data yet" in between, as a pipe does: every record is read through its resumable path.
#include <cstddef>
#include <cstdint>
#include <string>

#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/object_factory.h"
#include "tests/kernel/stream/stream_fixture.h"
#include "tests/kernel/test_objects.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MB_Object_Factory::register_maker('L', &mb_make_object<Read_Geom>);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MB_Drawing d;
    MB_File_IO io;
    io.drawing(&d);
    stream_test::trickle(io, std::string(reinterpret_cast<const char*>(data), size));
    // Each step is repeated while it waits for data, as a reader of a pipe does. Every byte
    // arrives within two calls, so a step that keeps waiting past the bound is a hang.
    std::size_t calls = 0;
    const std::size_t bound = 16 * size + 1000;
    auto until_done = [&](auto step) {
        MB_Result r;
        do r = step();
        while ((r == MB_Result::Waiting_For_Data || r == MB_Result::Nothing_Read) && ++calls < bound);
        if (calls >= bound) __builtin_trap();
        return r;
    };
    // A record that waits is given back whole and read again by the repeated call.
    MB_Result r;
    while (r == 0) r = until_done([&] { return io.process_next_object(); });
    d.finish_temp_block();
    (void)io.close();
    return 0;
}
