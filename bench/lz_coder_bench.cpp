// The native stream's LZ coder against zlib level 1 on the same drawing-like record
// stream: compression and decompression throughput (bytes of the plain stream per
// second) and the compressed size as a fraction of the plain size ("ratio").
#include <benchmark/benchmark.h>

#include "ratio_reporter.h"
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "geometry/pt_set.h"
#include "kernel/database/drawing.h"
#include "kernel/database/mb_string.h"
#include "kernel/stream/file_io.h"

namespace {

using Bytes = std::string;

// Runs a write through a file object into memory and returns the file's bytes.
template <class F>
Bytes write_to_memory(bool compressed, F write)
{
    char* buf = nullptr;
    std::size_t size = 0;
    FILE* f = open_memstream(&buf, &size);
    Bytes out;
    {
        MB_Drawing drawing;
        MB_File_IO io;
        io.drawing(&drawing);
        io.set_file_mode(MB_File_IO::Mode_Write);
        io.set_stream_user_data(f);
        io.heuristics().set_allow_data_compression(compressed);
        write(io);
        (void)io.close();
    }
    out.assign(buf, size);
    std::free(buf);
    return out;
}

// Records as a drawing's entities write them: layer names, colours, polylines as running
// deltas, texts, counts.
const Bytes& plain_stream()
{
    static const Bytes data = write_to_memory(false, [](MB_File_IO& io) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> step(-50, 50);
        const char* layers[] = {"0", "WALLS", "DOORS", "DIMENSIONS", "TEXT"};
        Qe_Pt at(1000, 2000, 0);
        for (int i = 0; i < 6000; ++i) {
            (void)io.write(static_cast<unsigned char>('L'));
            (void)MB_String(layers[rng() % 5]).serialize(io, 0);
            (void)io.write(static_cast<unsigned char>(0x06));
            (void)io.write(MB_RGBA32(static_cast<int>(rng() % 8) * 32, 255, 0, 255));
            const int n = 2 + static_cast<int>(rng() % 6);
            std::vector<Qe_Pt> pts;
            for (int k = 0; k < n; ++k) {
                at = Qe_Pt(std::round(at.x() + step(rng)), std::round(at.y() + step(rng)), 0);
                pts.push_back(at);
            }
            (void)io.write(static_cast<unsigned char>('p'));
            (void)io.write(Qe_Pt_Set(n, pts.data()));
            if (rng() % 4 == 0) {
                (void)io.write(static_cast<unsigned char>('T'));
                (void)io.write_position(at);
                (void)io.write_double(2.5);
                (void)MB_String(("Room " + std::to_string(rng() % 100)).c_str()).serialize(io, 0);
            }
            (void)io.write_count(1 + static_cast<int>(rng() % 400));
        }
    });
    return data;
}

Bytes lz_compress(const Bytes& plain)
{
    return write_to_memory(true, [&](MB_File_IO& io) {
        // Handed over in record-sized pieces, as the record writers do.
        for (std::size_t at = 0; at < plain.size(); at += 48) {
            const std::size_t n = std::min<std::size_t>(48, plain.size() - at);
            (void)io.write(static_cast<int>(n), reinterpret_cast<const unsigned char*>(plain.data() + at));
        }
    });
}

std::size_t lz_decompress(const Bytes& file, std::size_t n, std::vector<unsigned char>& out)
{
    FILE* f = fmemopen(const_cast<char*>(file.data()), file.size(), "rb");
    MB_File_IO io;
    io.rendition()->drawing_info().set_major_revision(1);
    io.set_file_mode(MB_File_IO::Mode_Read);
    io.set_stream_user_data(f);
    unsigned char marker[7];
    if (io.read(7, marker) != 0) return 0;
    io.set_data_decompression(16);
    std::size_t got = 0;
    while (got < n) {
        const int k = static_cast<int>(std::min<std::size_t>(4096, n - got));
        if (io.read(k, out.data() + got) != 0) break;
        got += static_cast<std::size_t>(k);
    }
    return got;
}

void BM_Compress_LZ(benchmark::State& state)
{
    const Bytes& plain = plain_stream();
    std::size_t size = 0;
    for (auto _ : state) {
        const Bytes z = lz_compress(plain);
        size = z.size();
        benchmark::DoNotOptimize(z.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
    state.counters["ratio"] = double(size) / double(plain.size());
}

void BM_Compress_Zlib1(benchmark::State& state)
{
    const Bytes& plain = plain_stream();
    std::vector<Bytef> z(compressBound(plain.size()));
    uLongf size = 0;
    for (auto _ : state) {
        size = z.size();
        compress2(z.data(), &size, reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 1);
        benchmark::DoNotOptimize(z.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
    state.counters["ratio"] = double(size) / double(plain.size());
}

void BM_Decompress_LZ(benchmark::State& state)
{
    const Bytes& plain = plain_stream();
    const Bytes z = lz_compress(plain);
    std::vector<unsigned char> out(plain.size());
    for (auto _ : state) {
        if (lz_decompress(z, plain.size(), out) != plain.size()) state.SkipWithError("decompression failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
    state.counters["ratio"] = double(z.size()) / double(plain.size());
}

void BM_Decompress_Zlib1(benchmark::State& state)
{
    const Bytes& plain = plain_stream();
    std::vector<Bytef> z(compressBound(plain.size()));
    uLongf size = z.size();
    compress2(z.data(), &size, reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 1);
    std::vector<Bytef> out(plain.size());
    for (auto _ : state) {
        uLongf n = out.size();
        if (uncompress(out.data(), &n, z.data(), size) != Z_OK) state.SkipWithError("zlib failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
    state.counters["ratio"] = double(size) / double(plain.size());
}

}  // namespace

BENCHMARK(BM_Compress_LZ)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compress_Zlib1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decompress_LZ)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decompress_Zlib1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return run_with_ratios(argc, argv,
                           {{"BM_Compress_LZ", "BM_Compress_Zlib1"}, {"BM_Decompress_LZ", "BM_Decompress_Zlib1"}});
}
