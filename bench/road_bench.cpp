// The whole conversion road on a generated native drawing of 1,000,000 entities (the count can
// be changed with ROAD_BENCH_ENTITIES): the road (import through Mondrik.so, layout, export
// through Gressil.so to DXF) against the stream reader's load_jxb alone, in the same run. The
// ratio road / load shows what layout and export add to reading. Files go to the current
// folder's road_bench/.

#include <benchmark/benchmark.h>

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

double g_load_seconds = 0, g_road_seconds = 0;

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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("entities %ld: road %.3f s, load_jxb %.3f s, ratio road/load %.2f; DXF %.1f MB\n", n,
                g_road_seconds, g_load_seconds, g_load_seconds > 0 ? g_road_seconds / g_load_seconds : 0.0,
                static_cast<double>(fs::file_size(work_dir() / "big.dxf")) / 1e6);
    return 0;
}
