// The full loop search (intersection building, pruning, relations, minimal loops) against
// GEOS noding and polygonizing of the same segments. Each iteration runs both; the
// reported time is the search's, and the counter vs_geos is the search's time divided by
// GEOS's (below 1: the search is faster), printed as the ratio of each run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "geometry/edge.h"
#include "geometry/loop.h"
#include "geometry/loop_oracles.h"
#include "geometry/loop_search.h"
#include "ratio_reporter.h"

namespace {

using loop_oracles::Seg;

std::size_t search(const std::vector<Seg>& segs)
{
    Qe_Search_Loops s;
    for (const Seg& g : segs) s.segment_list().add(new Qe_Segment(Qe_Pt(g.x0, g.y0, 0), Qe_Pt(g.x1, g.y1, 0)));
    s.init();
    s.search_min_loops();
    std::size_t n = 0;
    for (Qe_Void_Node* node = s.result_list().head(); node; node = node->next(), ++n)
        delete static_cast<Qe_Loop*>(node->entity());
    s.result_list().clear();
    return n;
}

void compare(benchmark::State& state, const std::vector<Seg>& segs)
{
    using clock = std::chrono::steady_clock;
    loop_oracles::Geos geos;
    double ours = 0.0, theirs = 0.0;
    std::size_t loops = 0, polys = 0;
    for (auto _ : state) {
        const auto t0 = clock::now();
        loops = search(segs);
        const auto t1 = clock::now();
        polys = geos.polygonize(segs, nullptr);
        const auto t2 = clock::now();
        const double a = std::chrono::duration<double>(t1 - t0).count();
        ours += a;
        theirs += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(a);
    }
    state.counters["segments"] = static_cast<double>(segs.size());
    state.counters["loops"] = static_cast<double>(loops);
    state.counters["geos_polygons"] = static_cast<double>(polys);
    state.counters["vs_geos"] = theirs > 0.0 ? ours / theirs : 0.0;
}

std::vector<Seg> glyph_text()
{
    std::vector<loop_oracles::Contour> contours;
    double x = 0.0;
    const loop_oracles::Glyphs dejavu(loop_oracles::DEJAVU_SANS);
    for (char c : std::string("Loop search %8BeO@&")) {
        if (dejavu.outline(static_cast<unsigned char>(c), contours, x)) x += dejavu.advance();
    }
    const loop_oracles::Glyphs wqy(loop_oracles::WQY_MICROHEI);
    for (unsigned long c : {0x56DEul, 0x9F8Dul, 0x5B57ul}) {  // 回 龍 字
        if (wqy.outline(c, contours, x)) x += wqy.advance();
    }
    return loop_oracles::contour_segments(contours);
}

std::vector<Seg> random_segments(int n)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> pos(0, 1000), len(0, 60), dir(0, 6.283185307179586);
    std::vector<Seg> segs;
    for (int i = 0; i < n; ++i) {
        const double x = pos(rng), y = pos(rng), l = len(rng), a = dir(rng);
        segs.push_back({x, y, x + l * std::cos(a), y + l * std::sin(a)});
    }
    return segs;
}

void BM_GlyphOutlines(benchmark::State& state) { compare(state, glyph_text()); }
void BM_RandomSegments(benchmark::State& state) { compare(state, random_segments(static_cast<int>(state.range(0)))); }

BENCHMARK(BM_GlyphOutlines)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandomSegments)->Arg(1000)->Arg(4000)->Arg(8000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Ratio_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const std::string& run : reporter.runs()) reporter.print_counter(run, "vs_geos", "geos_polygonize");
    benchmark::Shutdown();
    return 0;
}
