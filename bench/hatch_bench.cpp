// The hatch line generator (a continuous and a dashed pattern over a 500-vertex outline
// with 50 islands, at several spacings) against the same family lines clipped to the
// region by a plain Boost.Geometry line-polygon intersection, in the same run.

#include <benchmark/benchmark.h>

#include "ratio_reporter.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/multi_linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include "geometry/loop.h"
#include "geometry/pt_set.h"
#include "geometry/void_list.h"
#include "kernel/entities/hatch_lines.h"

namespace bg = boost::geometry;
using BPt = bg::model::d2::point_xy<double>;
using BPoly = bg::model::polygon<BPt>;
using BLine = bg::model::linestring<BPt>;
using BLines = bg::model::multi_linestring<BLine>;

namespace {

constexpr double g_angle = 30.0;

struct Region {
    std::vector<std::vector<Qe_Pt>> rings;
    Qe_Void_List loops;
    BPoly poly;

    Region()
    {
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<Qe_Pt> outer;
        for (int i = 0; i < 500; ++i) {
            const double t = 2.0 * M_PI * i / 500;
            const double r = 900.0 + 100.0 * unit(rng);
            outer.push_back({1000.0 + r * std::cos(t), 1000.0 + r * std::sin(t), 0.0});
        }
        rings.push_back(outer);
        for (int gx = 0; gx < 10; ++gx)
            for (int gy = 0; gy < 5; ++gy) {
                const double cx = 460.0 + gx * 120.0, cy = 700.0 + gy * 150.0;
                std::vector<Qe_Pt> island;
                for (int i = 0; i < 12; ++i) {
                    const double t = 2.0 * M_PI * i / 12;
                    const double r = 30.0 + 20.0 * unit(rng);
                    island.push_back({cx + r * std::cos(t), cy + r * std::sin(t), 0.0});
                }
                rings.push_back(island);
            }
        for (const auto& ring : rings) {
            auto* loop = new Qe_Loop();
            for (const Qe_Pt& p : ring) loop->add(p);
            loops.add(loop);
        }
        auto fill = [](const std::vector<Qe_Pt>& r, auto& target) {
            for (const Qe_Pt& p : r) target.push_back(BPt(p.x(), p.y()));
            target.push_back(BPt(r.front().x(), r.front().y()));
        };
        fill(rings.front(), poly.outer());
        for (std::size_t i = 1; i < rings.size(); ++i) {
            poly.inners().emplace_back();
            fill(rings[i], poly.inners().back());
        }
        bg::correct(poly);
    }
    ~Region()
    {
        for (Qe_Void_Node* n = loops.head(); n; n = n->next()) delete static_cast<Qe_Loop*>(n->entity());
    }
};

Region& region()
{
    static Region r;
    return r;
}

void hatch(benchmark::State& state, bool dashed)
{
    const double spacing = static_cast<double>(state.range(0));
    MB_Hatch_Type type;
    type.name(MB_String("BENCH"));
    std::string line = std::to_string(g_angle) + ",0,0,0," + std::to_string(spacing);
    if (dashed) line += ",40,-10,0,-10";
    (void)type.add_string(MB_String(line.c_str()));
    long spans = 0;
    for (auto _ : state) {
        Qe_Void_List out;
        benchmark::DoNotOptimize(type.render_loops_to_ptsets_list(region().loops, out, 0));
        spans = out.count();
        for (Qe_Void_Node* n = out.head(); n; n = n->next()) delete static_cast<Qe_Pt_Sets*>(n->entity());
    }
    state.counters["spans"] = static_cast<double>(spans);
}

void generator_continuous(benchmark::State& state) { hatch(state, false); }
void generator_dashed(benchmark::State& state) { hatch(state, true); }

// The reference: every family line across the region's extent, intersected with the
// polygon with holes.
void boost_clip_ref(benchmark::State& state)
{
    const double spacing = static_cast<double>(state.range(0));
    const double a = g_angle * M_PI / 180.0;
    const double ux = std::cos(a), uy = std::sin(a), nx = -uy, ny = ux;
    double lo = HUGE_VAL, hi = -HUGE_VAL, tlo = HUGE_VAL, thi = -HUGE_VAL;
    for (const auto& ring : region().rings)
        for (const Qe_Pt& p : ring) {
            lo = std::min(lo, p.x() * nx + p.y() * ny), hi = std::max(hi, p.x() * nx + p.y() * ny);
            tlo = std::min(tlo, p.x() * ux + p.y() * uy), thi = std::max(thi, p.x() * ux + p.y() * uy);
        }
    long pieces = 0;
    for (auto _ : state) {
        pieces = 0;
        for (double s = std::ceil(lo / spacing) * spacing; s <= hi; s += spacing) {
            BLine l;
            l.push_back(BPt(s * nx + (tlo - 1) * ux, s * ny + (tlo - 1) * uy));
            l.push_back(BPt(s * nx + (thi + 1) * ux, s * ny + (thi + 1) * uy));
            BLines out;
            bg::intersection(l, region().poly, out);
            pieces += static_cast<long>(out.size());
        }
        benchmark::DoNotOptimize(pieces);
    }
    state.counters["spans"] = static_cast<double>(pieces);
}


}  // namespace

BENCHMARK(generator_continuous)->Arg(2)->Arg(8)->Arg(32);
BENCHMARK(generator_dashed)->Arg(2)->Arg(8)->Arg(32);
BENCHMARK(boost_clip_ref)->Arg(2)->Arg(8)->Arg(32);

int main(int argc, char** argv)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const char* spacing : {"2", "8", "32"})
        for (const char* mine : {"generator_continuous/", "generator_dashed/"})
            pairs.emplace_back(mine + std::string(spacing), std::string("boost_clip_ref/") + spacing);
    return run_with_ratios(argc, argv, pairs);
}
