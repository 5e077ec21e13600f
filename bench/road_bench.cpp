// The whole conversion road on a generated native drawing of 1,000,000 entities (the count can
// be changed with ROAD_BENCH_ENTITIES): the road (import through Mondrik.so, layout, export
// through Gressil.so to DXF) against the stream reader's load_jxb alone, in the same run. The
// ratio road / load shows what layout and export add to reading. The program plotwane is run
// on the same drawing too, end to end with its start-up, and its wall time and peak memory
// are printed beside the targets (3 s, 1.5 GB). Files go to the current folder's road_bench/.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Drakmere.h"
#include "converter/road.h"

namespace {

namespace fs = std::filesystem;

long entity_count()
{
    const char* env = std::getenv("ROAD_BENCH_ENTITIES");
    const long n = env ? std::atol(env) : 1000000;
    return n > 0 ? n : 1000000;
}

const fs::path& work_dir()
{
    static const fs::path dir = fs::current_path() / "road_bench";
    return dir;
}

std::string source_path()
{
    return (work_dir() / "big.vkt").string();
}

// A grid of mixed entities on a few coloured layers.
bool make_source(long n)
{
    fs::create_directories(work_dir());
    MB_Operation op;
    if (!op.create_drawing("big")) return false;
    MB_Drawing& d = *op.drawing();
    MB_Layer* layers[4];
    const long colours[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int i = 0; i < 4; ++i) {
        layers[i] = new MB_Layer(MB_String(("layer" + std::to_string(i)).c_str()));
        layers[i]->visibility(true);
        layers[i]->color(static_cast<mb_ulong>(colours[i]));
        d.layer_list().add_tail(layers[i]);
    }
    for (long i = 0; i < n; ++i) {
        const double x = static_cast<double>(i % 1000) * 10.0, y = static_cast<double>(i / 1000) * 10.0;
        MB_Geom* e;
        if (i % 4 == 3) {
            auto* chain = new MB_Lines;
            const Qe_Pt pts[] = {{x, y, 0}, {x + 4, y, 0}, {x + 4, y + 4, 0}, {x, y + 6, 0}};
            chain->init(4, pts);
            e = chain;
        } else {
            e = new MB_Line(Qe_Pt(x, y, 0), Qe_Pt(x + 8, y + 3, 0));
        }
        e->general().layer(layers[i % 4]);
        e->general().color(colours[(i / 4) % 4]);
        d.object_list().add_tail(e);
    }
    return op.save_jxb(source_path().c_str());
}

double g_load_seconds = 0, g_road_seconds = 0, g_program_seconds = 0, g_program_peak_mb = 0;

void BM_load_jxb(benchmark::State& state)
{
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        MB_Operation op;
        const bool ok = op.create_drawing("newfile.vkt") && op.load_jxb(source_path().c_str());
        g_load_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok) state.SkipWithError("load_jxb failed");
    }
}

void BM_road(benchmark::State& state)
{
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = convert_drawing(source_path().c_str(), (work_dir() / "big.dxf").c_str(), 23, false);
        g_road_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok) state.SkipWithError("the road failed");
    }
}

// The program as a user runs it, in a process of its own: wall time and peak resident memory.
void BM_plotwane(benchmark::State& state)
{
    for (auto _ : state) {
        const std::string source = source_path(), target = (work_dir() / "big_program.dxf").string();
        char* args[] = {const_cast<char*>(PLOTWANE_BIN), const_cast<char*>(source.c_str()),
                        const_cast<char*>(target.c_str()), nullptr};
        const auto t0 = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (::posix_spawn(&pid, PLOTWANE_BIN, nullptr, nullptr, args, environ) != 0) {
            state.SkipWithError("plotwane could not be started");
            continue;
        }
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("plotwane failed");
        g_program_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        g_program_peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const long n = entity_count();
    std::printf("making a drawing of %ld entities...\n", n);
    if (!make_source(n)) {
        std::fprintf(stderr, "road_bench: the source drawing could not be made\n");
        return 1;
    }
    benchmark::RegisterBenchmark("load_jxb", BM_load_jxb)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("road_vkt_to_dxf", BM_road)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("plotwane_vkt_to_dxf", BM_plotwane)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("entities %ld: road %.3f s, load_jxb %.3f s, ratio road/load %.2f; DXF %.1f MB\n", n,
                g_road_seconds, g_load_seconds, g_load_seconds > 0 ? g_road_seconds / g_load_seconds : 0.0,
                static_cast<double>(fs::file_size(work_dir() / "big.dxf")) / 1e6);
    std::printf("plotwane end to end: %.3f s (target 3 s), peak %.0f MB (target 1536 MB)\n", g_program_seconds,
                g_program_peak_mb);
    return 0;
}
