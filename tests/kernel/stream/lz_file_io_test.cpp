#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "geometry/pt_set.h"
#include "kernel/database/color_map.h"
#include "kernel/database/mb_string.h"
#include "kernel/stream/lz_fixture.h"

using namespace lz_test;

namespace {

TEST(LZ_File_IO, RecordsRoundTripCompressed)
{
    const Qe_Pt pts[4] = {Qe_Pt(1, 2, 3), Qe_Pt(4, 6, 3), Qe_Pt(7, 8, 9), Qe_Pt(-1.5, 1e10, 0)};
    auto write_all = [&](MB_File_IO& f) {
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(MB_String("a layer name").serialize(f, 0), 0);
            EXPECT_EQ(f.write(Qe_Pt_Set(4, pts)), 0);
            EXPECT_EQ(f.write_count(300 + i), 0);
            EXPECT_EQ(f.write_double(i * 0.25), 0);
            EXPECT_EQ(f.write("(Color "), 0);
            EXPECT_EQ(f.write_quoted_string("quoted text", 1), 0);
        }
    };
    Bytes plain;
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        write_all(s.io);
        plain = s.body();
    }
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    s.io.heuristics().set_allow_data_compression(true);
    write_all(s.io);
    EXPECT_EQ(s.io.close(), 0);
    const Bytes all = s.file.contents();
    // Header, marker, tokens, end token and "}", trailer.
    ASSERT_EQ(all.compare(0, k_header.size(), k_header), 0);
    ASSERT_EQ(all.compare(k_header.size(), 7, k_marker), 0);
    ASSERT_EQ(all.compare(all.size() - k_trailer.size() - 2, 2 + k_trailer.size(), hex("00 7D") + k_trailer), 0);
    EXPECT_LT(all.size(), plain.size() / 4);
    // The compression flag survives the close.
    EXPECT_TRUE(s.io.heuristics().allow_data_compression());

    Reference_Decoder ref;
    ASSERT_TRUE(ref.decode(all.substr(k_header.size() + 7)));
    EXPECT_TRUE(ref.out == plain);

    Stream r;
    r.modern();
    ASSERT_EQ(r.open_read(all), 0);
    unsigned char header[12];
    ASSERT_EQ(r.io.read(12, header), 0);
    ASSERT_EQ(switch_on(r.io), 0);
    EXPECT_EQ(r.io.data_decompression(), 16);
    r.drawing.position(Qe_Pt());
    for (int i = 0; i < 50; ++i) {
        MB_String name;
        ASSERT_EQ(name.materialize(r.io), 0) << i;
        EXPECT_STREQ(name.ascii(), "a layer name");
        Qe_Pt_Set set;
        ASSERT_EQ(r.io.read(set), 0) << i;
        ASSERT_EQ(set.count(), 4);
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(pt_eq(set[k], pts[k]));
        int count = 0;
        ASSERT_EQ(r.io.read_count(count), 0);
        EXPECT_EQ(count, 300 + i);
        double d = 0;
        ASSERT_EQ(r.io.read_double(d), 0);
        EXPECT_EQ(d, i * 0.25);
        // "(Color " and "'quoted text'" passed over with a deferred skip.
        ASSERT_EQ(r.io.skip(7 + 13), 0);
    }
    // The stretch ends, its "}" is checked, and plain bytes follow.
    char trailer[14];
    ASSERT_EQ(r.io.read(14, trailer), 0);
    EXPECT_EQ(Bytes(trailer, 14), k_trailer);
    EXPECT_EQ(r.io.data_decompression(), 0);
    unsigned char more;
    EXPECT_NE(r.io.read(more), 0);
}

TEST(LZ_File_IO, WhenNothingIsCompressed)
{
    // No bytes after the header: no compressor, no stretch.
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write(0, static_cast<const unsigned char*>(nullptr)), 0);
        EXPECT_EQ(s.body(), "");
    }
    // An ASCII stream cannot carry the marker: it is written plain.
    {
        Stream s;
        ASSERT_EQ(s.open_write(false), 0);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write("(Color 1 2 3)"), 0);
        EXPECT_EQ(s.body(), "(Color 1 2 3)");
    }
    // Turning compression off ends the stretch; what follows is plain.
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write("abc"), 0);
        s.io.heuristics().set_allow_data_compression(false);
        EXPECT_EQ(s.io.write("xyz"), 0);
        EXPECT_EQ(to_hex(s.body()), to_hex(k_marker + hex("03 61 62 63 00 7D") + "xyz"));
    }
    // The marker record alone: binary only.
    {
        Stream s;
        ASSERT_EQ(s.open_write(false), 0);
        MB_Compressed_Data marker;
        EXPECT_EQ(marker.serialize(s.io), MB_Result::No_File_Name);
        EXPECT_EQ(s.body(), "");
    }
}

TEST(LZ_File_IO, MarkerRecord)
{
    Stream s;
    ASSERT_EQ(s.open_read("x"), 0);
    MB_Compressed_Data record;
    EXPECT_EQ(record.object_id(), 16);
    EXPECT_EQ(record.object_type(), 3);
    MB_Opcode ascii;
    ascii.set(MB_Opcode::Extended_Ascii, 4, reinterpret_cast<const unsigned char*>("(Foo"));
    EXPECT_EQ(record.materialize(ascii, s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(record.skip_operand(ascii, s.io), MB_Result::Invalid_Data);
    MB_Opcode op;
    op.set(MB_Opcode::Extended_Binary, 7, reinterpret_cast<const unsigned char*>(hex("7B 00 00 00 00 23 01").data()));
    ASSERT_EQ(record.materialize(op, s.io), 0);
    EXPECT_EQ(record.opcode(), 291);
    EXPECT_EQ(record.process(s.io), 0);
    EXPECT_EQ(s.io.data_decompression(), 291);
    // A second marker is refused and the mode stays.
    MB_Compressed_Data second(16);
    EXPECT_EQ(second.process(s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.data_decompression(), 291);
}

// A sink that takes a given number of bytes and then refuses every write.
struct Failing_Sink {
    std::size_t room;
    static ssize_t write(void* cookie, const char*, size_t n)
    {
        auto* sink = static_cast<Failing_Sink*>(cookie);
        // No progress is how a cookie reports a failed write (stdio ignores -1 here).
        if (sink->room == 0) {
            errno = ENOSPC;
            return 0;
        }
        const std::size_t k = std::min(n, sink->room);
        sink->room -= k;
        return static_cast<ssize_t>(k);
    }
    static int close(void* cookie)
    {
        delete static_cast<Failing_Sink*>(cookie);
        return 0;
    }
};

// A failing file is reported by the write that meets it, or at the latest by close.
TEST(LZ_File_IO, WriteFailuresAreReported)
{
    std::mt19937 rng(5);
    const Bytes d = stream_like(rng, 20000);
    for (std::size_t room : {0, 3, 7, 8, 100, 1000, 5000}) {
        cookie_io_functions_t fns{nullptr, &Failing_Sink::write, nullptr, &Failing_Sink::close};
        FILE* f = fopencookie(new Failing_Sink{room}, "w", fns);
        ASSERT_NE(f, nullptr);
        setvbuf(f, nullptr, _IONBF, 0);
        MB_File_IO io;
        io.set_file_mode(MB_File_IO::Mode_Write);
        io.set_stream_user_data(f);
        io.heuristics().set_allow_data_compression(true);
        MB_Result first;
        for (std::size_t at = 0; at < d.size() && first == 0; at += 100)
            first = io.write(100, reinterpret_cast<const unsigned char*>(d.data() + at));
        const MB_Result closing = io.close();
        EXPECT_EQ(first != 0 ? first : closing, MB_Result::Write_Failed) << room;
    }
}

// Seeded mutations and truncations of compressed record streams: every read ends with a
// result, inside its buffers (the sanitizers check the rest).
TEST(LZ_File_IO, MutatedStreamsFailCleanly)
{
    std::mt19937 rng(20240611);
    const Bytes d = stream_like(rng, 3000);
    const Bytes body = compress(d);
    for (int round = 0; round < 600; ++round) {
        Bytes b = body;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) b[7 + rng() % (b.size() - 7)] = static_cast<char>(rng() & 0xFF);
        if (rng() % 4 == 0) b.resize(7 + rng() % (b.size() - 7));
        Stream s;
        s.modern();
        ASSERT_EQ(s.open_read(b), 0);
        ASSERT_EQ(switch_on(s.io), 0);
        unsigned char buf[257];
        MB_Result r;
        // Bounded: each read takes at least one byte or fails.
        for (int reads = 0; reads < 100000 && r == 0; ++reads) {
            r = s.io.read(1 + static_cast<int>(rng() % 256), buf);
            if (r == 0 && rng() % 8 == 0) r = s.io.skip(static_cast<int>(rng() % 100));
        }
        EXPECT_NE(r, 0);
    }
}

// A length inside a compressed stretch is checked against what the rest of the file could
// at most expand to, so a tiny file cannot make the reader allocate megabytes first.
TEST(LZ_File_IO, LengthsInsideAStretchAreBoundedByTheFile)
{
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    s.io.heuristics().set_allow_data_compression(true);
    const unsigned char huge_string[] = {0xFF, 0xFF, 0xFF, 0x00, 'a', 'b', 'c'};
    ASSERT_EQ(s.io.write(7, huge_string), 0);
    EXPECT_EQ(s.io.close(), 0);
    const Bytes all = s.file.contents();

    Stream r;
    r.modern();
    ASSERT_EQ(r.open_read(all), 0);
    unsigned char header[12];
    ASSERT_EQ(r.io.read(12, header), 0);
    ASSERT_EQ(switch_on(r.io), 0);
    MB_String name("kept");
    EXPECT_EQ(name.materialize(r.io), MB_Result::Invalid_Data);
    EXPECT_EQ(name, MB_String("kept"));
    // A length the stretch can deliver is still read.
    Stream w;
    ASSERT_EQ(w.open_write(), 0);
    w.io.heuristics().set_allow_data_compression(true);
    const std::string long_text(5000, 'x');  // compresses far below 5000 bytes
    ASSERT_EQ(MB_String(long_text.c_str()).serialize(w.io, 0), 0);
    EXPECT_EQ(w.io.close(), 0);
    Stream r2;
    r2.modern();
    ASSERT_EQ(r2.open_read(w.file.contents()), 0);
    ASSERT_EQ(r2.io.read(12, header), 0);
    ASSERT_EQ(switch_on(r2.io), 0);
    MB_String back;
    ASSERT_EQ(back.materialize(r2.io), 0);
    EXPECT_EQ(back.length(), 5000);
}

// A stretch cut short reads on once the file has grown, as a plain file does: the end the
// short read met is not kept for the next call.
TEST(LZ_File_IO, AStretchCutShortReadsOnOnceTheFileGrew)
{
    std::mt19937 rng(7);
    const Bytes data = stream_like(rng, 3000);
    const Bytes stretch = compress(data);
    const std::size_t cut = stretch.size() / 2;
    Stream r;
    r.modern();
    ASSERT_EQ(r.open_read(stretch.substr(0, cut)), 0);
    ASSERT_EQ(switch_on(r.io), 0);
    Bytes got(data.size(), '\0');
    auto* out = reinterpret_cast<unsigned char*>(got.data());
    EXPECT_EQ(r.io.read(static_cast<int>(got.size()), out), MB_Result::Waiting_For_Data);
    {
        std::ofstream grow(r.file.path(), std::ios::binary | std::ios::app);
        grow << stretch.substr(cut);
    }
    ASSERT_EQ(r.io.read(static_cast<int>(got.size()), out), 0);
    EXPECT_EQ(got, data);
}

}  // namespace
