#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

#include "kernel/database/block.h"
#include "kernel/stream/allocation_watch.h"
#include "kernel/database/layer.h"
#include "kernel/stream/object_factory.h"
#include "kernel/stream/stream_fixture.h"
#include "kernel/test_objects.h"

using namespace stream_test;

namespace {

struct Watch {
    Watch() { allocation_watch_start(); }
    ~Watch() { allocation_watch_stop(); }
    std::size_t largest() const { return allocation_watch_largest(); }
};

// The test drawable answers 'L' while a test lives.
struct Registration {
    Registration() { EXPECT_TRUE(MB_Object_Factory::register_maker('L', &mb_make_object<Read_Geom>, &previous)); }
    ~Registration() { MB_Object_Factory::register_maker('L', previous); }
    MB_Object_Maker previous = nullptr;
};

// The entity record of the test drawable with a point count and the bytes that follow.
Bytes geom_claim(mb_long count, const Bytes& tail)
{
    return "L" + hex("00") + le_long(0) + le_long(count) + tail;
}

// Hands the file object the read end of a pipe that holds the bytes and is closed behind
// them: a source whose size cannot be measured.
void through_pipe(MB_File_IO& io, const Bytes& bytes)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_LT(bytes.size(), 60000u);  // the whole stream fits in the pipe
    ASSERT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fds[1]);
    FILE* f = ::fdopen(fds[0], "rb");
    ASSERT_NE(f, nullptr);
    io.set_file_mode(MB_File_IO::Mode_Read);
    io.set_stream_user_data(f);
}

// Reads records until one fails; that result.
MB_Result read_all(MB_File_IO& io)
{
    MB_Result r;
    do r = io.process_next_object();
    while (r == 0);
    return r;
}

// Loads bytes from a file through load_jxb with a budget.
struct Loaded {
    bool ok = false;
    MB_Result result;
    long long decompressed = 0;
    int records = 0;
};

Loaded load_with(MB_Drawing& d, const Bytes& bytes, const MB_Load_Budget& budget)
{
    Temp_File f;
    f.contents(bytes);
    MB_File_IO io;
    io.drawing(&d);
    io.set_budget(budget);
    Loaded l;
    l.ok = io.load_jxb(f.path());
    l.result = io.load_result();
    l.decompressed = io.decompressed_bytes();
    return l;
}

// A compressed stretch of n spaces after a header: one literal, then matches of 273 bytes
// that repeat the byte before them.
Bytes run_of_spaces(int matches)
{
    Bytes out = k_header + hex("7B 00 00 00 00 10 00") + hex("01 20");
    for (int i = 0; i < matches; ++i) out += hex("F0 FF 00 00");
    return out + hex("00 7D") + k_trailer;
}

// Claims a few bytes cannot back, through a pipe: refused without an allocation anywhere
// near the claim.
TEST(Hostile_Load, ClaimsFromASourceOfUnknownSize)
{
    Registration reg;
    struct Case {
        const char* name;
        Bytes records;
    } cases[] = {
        // 16,777,215 points of 24 bytes: 384 MiB claimed by a 70-byte stream.
        {"point set", geom_claim(0xFFFFFF, Bytes(48, '\0'))},
        {"point set just over the unchecked size", geom_claim(2731, Bytes(48, '\0'))},
        {"layer name of 16 MiB", "y" + le_long(0xFFFFFF) + "Walls"},
        {"extended data of 64 MiB", "L" + hex("00") + le_long(16) + le_long(0x3FFFFFF) + "data"},
    };
    for (const Case& c : cases) {
        MB_Drawing d;
        MB_File_IO io;
        io.drawing(&d);
        through_pipe(io, k_header + c.records);
        Watch watch;
        EXPECT_EQ(read_all(io), MB_Result::Invalid_Data) << c.name;
        EXPECT_LT(watch.largest(), std::size_t(1) << 20) << c.name;
        EXPECT_EQ(d.object_list().count(), 0) << c.name;
    }
}

// What a pipe does deliver is read, long claims included.
TEST(Hostile_Load, LongRecordsThroughAPipeAreRead)
{
    Registration reg;
    Bytes points;
    const int n = 2000;  // 48,000 bytes, past the size believed unseen
    for (int i = 0; i < n; ++i) points += le_double(i == 0 ? 0 : 1) + le_double(i == 0 ? 0 : 2) + le_double(0);
    MB_Drawing d;
    MB_File_IO io;
    io.drawing(&d);
    through_pipe(io, k_header + geom_claim(n, points) + k_trailer);
    EXPECT_EQ(read_all(io), MB_Result::End_Of_Stream);
    ASSERT_EQ(d.object_list().count(), 1);
    auto* g = static_cast<Test_Geom*>(d.object_list().get_head());
    ASSERT_EQ(g->edge().count(), n);
    EXPECT_TRUE(pt_eq(g->edge().points()[n - 1], Qe_Pt(n - 1, 2 * (n - 1), 0)));
}

// Loads that would run long or large end at their budget with its result: a compressed
// run of spaces, a stream of 2-byte records. The same streams load with room to spare.
TEST(Hostile_Load, BudgetsEndALoadWithTheirResult)
{
    const Bytes spaces = run_of_spaces(20000);  // 80 kB expanding to 5.46 MB
    MB_Load_Budget tight;
    tight.max_decompressed_bytes = 1 << 20;
    {
        MB_Drawing d;
        const Loaded l = load_with(d, spaces, tight);
        EXPECT_FALSE(l.ok);
        EXPECT_EQ(l.result, MB_Result::Budget_Exceeded);
        EXPECT_EQ(l.decompressed, 1 << 20);
    }
    {
        MB_Drawing d;
        const Loaded l = load_with(d, spaces, MB_Load_Budget());
        EXPECT_TRUE(l.ok);
        EXPECT_EQ(l.result, MB_Result::End_Of_Stream);
        EXPECT_EQ(l.decompressed, 1 + 273LL * 20000);
    }
    // 50,000 byte markers, records of two bytes that each join the drawing.
    Bytes records = k_header;
    for (int i = 0; i < 50000; ++i) records += hex("04") + Bytes(1, static_cast<char>(i));
    records += k_trailer;
    MB_Load_Budget few;
    few.max_records = 10000;
    {
        MB_Drawing d;
        Temp_File f;
        f.contents(records);
        MB_File_IO io;
        io.drawing(&d);
        io.set_budget(few);
        EXPECT_FALSE(io.load_jxb(f.path()));
        EXPECT_EQ(io.load_result(), MB_Result::Budget_Exceeded);
        // The header is the first record; what was read before the budget ran out stays.
        EXPECT_EQ(d.object_list().count(), 10000 - 1);
    }
    {
        MB_Drawing d;
        const Loaded l = load_with(d, records, MB_Load_Budget());
        EXPECT_TRUE(l.ok);
        EXPECT_EQ(d.object_list().count(), 50000);
    }
}

// 40,000 layers and as many blocks load in one pass over their names.
TEST(Hostile_Load, ManyLayersAndBlocks)
{
    Registration reg;
    const int n = 40000;
    Bytes saved;
    {
        MB_Drawing d;
        for (int i = 0; i < n; ++i) {
            auto* layer = new MB_Layer(MB_String(("L" + std::to_string(i)).c_str()));
            d.layer_list().add_tail(layer);
            // A block is saved with its members.
            auto* block = new MB_Block(Qe_Pt(i, 0, 0), MB_String(("B" + std::to_string(i)).c_str()), MB_String(""));
            auto* member = new Read_Geom;
            member->general().layer(layer);
            member->edge().add_point(Qe_Pt(i, 1, 0));
            block->object_list().add_tail(member);
            d.block_list().add_tail(block);
        }
        Temp_File f;
        MB_File_IO io;
        io.drawing(&d);
        ASSERT_TRUE(io.save_jxb(f.path()));
        saved = f.contents();
    }
    MB_Drawing d;
    const Loaded l = load_with(d, saved, MB_Load_Budget());
    ASSERT_TRUE(l.ok) << int(l.result);
    EXPECT_EQ(d.layer_list().count(), n);
    EXPECT_EQ(d.block_list().count(), n);
    EXPECT_NE(d.find_layer("L39999"), nullptr);
    EXPECT_NE(d.find_block("B123"), nullptr);
}

// Saves a drawing and returns the file's bytes; binary off writes no compressed stretch.
Bytes saved_bytes(MB_Drawing& d, bool binary)
{
    Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    io.heuristics().set_allow_binary_data(binary);
    EXPECT_TRUE(io.save_jxb(f.path()));
    return f.contents();
}

// Reads the bytes from a source that hands out one byte per read and has nothing in
// between, repeating each record while it waits, as a reader of a pipe does. The result of
// the last record; the read calls made.
MB_Result read_trickling(MB_Drawing& d, const Bytes& bytes, long long& calls)
{
    MB_File_IO io;
    io.drawing(&d);
    trickle(io, bytes);
    MB_Result r;
    calls = 0;
    do {
        int n = 0;
        r = until_done([&] { return io.process_next_object(); }, &n);
        calls += n;
    } while (r == 0);
    d.finish_temp_block();
    EXPECT_EQ(io.close(), 0);
    return r;
}

// The sample drawing and a small one of layers, a block and entities, plain and
// compressed: read from a trickle they give the drawing a load of the file gives, in a
// number of calls proportional to their bytes.
TEST(Record_Resume, DrawingsReadThroughATrickle)
{
    Bytes sample;
    {
        std::ifstream in(SAMPLE_DRAWING, std::ios::binary);
        ASSERT_TRUE(in.good()) << SAMPLE_DRAWING;
        sample.assign(std::istreambuf_iterator<char>(in), {});
    }
    Bytes small_drawing;
    {
        Registration reg;
        MB_Drawing d;
        auto* walls = new MB_Layer(MB_String("Walls"));
        d.layer_list().add_tail(walls);
        auto* door = new MB_Block(Qe_Pt(1, 2, 0), MB_String("door"), MB_String("Front door"));
        for (int i = 0; i < 3; ++i) {
            auto* g = new Read_Geom;
            g->general().layer(walls);
            g->edge().add_point(Qe_Pt(i, 0, 0));
            g->edge().add_point(Qe_Pt(i, 1, 0));
            (i == 0 ? door->object_list() : d.object_list()).add_tail(g);
        }
        d.block_list().add_tail(door);
        small_drawing = saved_bytes(d, true);
    }
    for (const Bytes* source : {&sample, &small_drawing}) {
        for (bool binary : {true, false}) {
            const char* name = source == &sample ? "sample" : "small";
            // The small drawing's entities are the test drawable; the sample's lines are the
            // kernel's own.
            std::unique_ptr<Registration> reg(source == &sample ? nullptr : new Registration);
            // The file as this kernel saves it, and what a load of it saves again.
            Bytes file, expected;
            {
                Temp_File f;
                f.contents(*source);
                MB_Drawing d;
                MB_File_IO io;
                io.drawing(&d);
                ASSERT_TRUE(io.load_jxb(f.path())) << name;
                file = saved_bytes(d, binary);
            }
            {
                Temp_File f;
                f.contents(file);
                MB_Drawing d;
                MB_File_IO io;
                io.drawing(&d);
                ASSERT_TRUE(io.load_jxb(f.path())) << name;
                expected = saved_bytes(d, binary);
            }
            MB_Drawing d;
            long long calls = 0;
            EXPECT_EQ(read_trickling(d, file, calls), MB_Result::End_Of_Stream) << name << binary;
            EXPECT_TRUE(saved_bytes(d, binary) == expected) << name << binary;
            // One byte arrives every other call; a record gives back what it took and is
            // read again, but never waits without a new byte.
            EXPECT_LE(calls, 2 * static_cast<long long>(file.size()) + 4) << name << binary;
        }
    }
}

}  // namespace
