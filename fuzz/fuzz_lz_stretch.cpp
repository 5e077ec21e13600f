// A compressed stretch read through MB_File_IO: the marker record switches the
// decompressor on, then reads and skips of sizes taken from the input's first bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "fuzz/scratch_dir.h"
#include "kernel/database/drawing.h"
#include "kernel/stream/compressed_data.h"
#include "kernel/stream/file_io.h"

namespace {

const unsigned char k_marker[7] = {0x7B, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const unsigned char mode = data[0], step = data[1];
    data += 2;
    size -= 2;
    static const std::string path = fuzz_scratch_dir() + "/fendral_fuzz_lz_" + std::to_string(::getpid()) + ".vkt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(k_marker, 1, sizeof k_marker, f);
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    MB_Drawing d;
    d.set_filename(path.c_str());
    MB_File_IO io;
    io.drawing(&d);
    // Revision 1 streams and the legacy ones count history offsets differently.
    if (mode & 1) io.rendition()->drawing_info().set_major_revision(1);
    io.set_file_mode(MB_File_IO::Mode_Read);
    if (io.open() != 0) return 0;
    unsigned char marker[7];
    if (io.read(7, marker) != 0) return 0;
    MB_Opcode op;
    op.set(MB_Opcode::Extended_Binary, 7, marker);
    MB_Compressed_Data record;
    if (record.materialize(op, io) != 0 || record.process(io) != 0) return 0;
    unsigned char buf[300];
    MB_Result r;
    unsigned state = step;
    // Each read takes at least one byte or fails, so the loop ends; the bound is a guard.
    for (int reads = 0; reads < 200000 && r == 0; ++reads) {
        state = state * 1103515245u + 12345u;
        r = io.read(1 + static_cast<int>((state >> 16) % 299), buf);
        if (r == 0 && (mode & 2) && (state & 7) == 0) r = io.skip(static_cast<int>((state >> 8) % 100));
    }
    return 0;
}
