// Whole-drawing read from a source that hands out one byte per read call and reports "no
// data yet" in between, as a pipe does: every record is read through its resumable path.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/object_factory.h"
#include "tests/kernel/test_objects.h"

namespace {

class Read_Geom : public Test_Geom {
public:
    Read_Geom() : Test_Geom(ID_LINE) {}
    MB_Result process(MB_File_IO& file) override
    {
        file.fifo_rendition().add_object(this);
        return MB_Result::Success;
    }
};

struct Trickle {
    std::string data;
    std::size_t pos = 0;
    bool give = true;

    static ssize_t read(void* cookie, char* buf, size_t)
    {
        auto* t = static_cast<Trickle*>(cookie);
        if (t->pos >= t->data.size()) return 0;
        t->give = !t->give;
        if (t->give) {
            errno = EAGAIN;
            return -1;
        }
        buf[0] = t->data[t->pos++];
        return 1;
    }
    static int close(void* cookie)
    {
        delete static_cast<Trickle*>(cookie);
        return 0;
    }
};

}  // namespace

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
    auto* t = new Trickle{std::string(reinterpret_cast<const char*>(data), size)};
    cookie_io_functions_t fns{&Trickle::read, nullptr, nullptr, &Trickle::close};
    std::FILE* f = fopencookie(t, "r", fns);
    if (!f) {
        delete t;
        return 0;
    }
    io.set_file_mode(MB_File_IO::Mode_Read);
    io.set_stream_user_data(f);
    // Every byte arrives within two calls; a reader that makes no progress is a hang.
    const std::size_t bound = 16 * size + 1000;
    MB_Result r;
    for (std::size_t calls = 0; calls < bound; ++calls) {
        r = io.process_next_object();
        if (r != 0 && r != MB_Result::Waiting_For_Data && r != MB_Result::Nothing_Read) break;
    }
    if (r == MB_Result::Waiting_For_Data || r == MB_Result::Nothing_Read) __builtin_trap();
    d.finish_temp_block();
    io.close();
    return 0;
}
