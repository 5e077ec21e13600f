// Point transforms through Qe_Tran against a plain inline affine multiply on the same points.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "geometry/transform.h"
#include "ratio_reporter.h"

namespace {

std::vector<Qe_Pt> points()
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> d(-1000, 1000);
    std::vector<Qe_Pt> v(4096);
    for (auto& p : v) p = Qe_Pt(d(rng), d(rng), 0);
    return v;
}

const Qe_Tran& sample()
{
    static const Qe_Tran t =
        rotate_transf(0.3, Qe_Vec(0, 0, 1)) * scale_transf(2.5) * translate_transf(Qe_Vec(10, -4, 0));
    return t;
}

void BM_QeTran(benchmark::State& state)
{
    auto pts = points();
    const Qe_Tran& t = sample();
    for (auto _ : state) {
        for (auto& p : pts) benchmark::DoNotOptimize(p * t);
    }
    state.SetItemsProcessed(state.iterations() * pts.size());
}

void BM_ReferenceAffine(benchmark::State& state)
{
    auto pts = points();
    const Qe_Tran& t = sample();
    double m[3][3];
    const matrix a = t.affine();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = a.element(i, j) * t.scaling();
    const Qe_Vec tr = t.translation();
    for (auto _ : state) {
        for (auto& p : pts) {
            const double x = p.x() * m[0][0] + p.y() * m[1][0] + p.z() * m[2][0] + tr.x();
            const double y = p.x() * m[0][1] + p.y() * m[1][1] + p.z() * m[2][1] + tr.y();
            benchmark::DoNotOptimize(x);
            benchmark::DoNotOptimize(y);
        }
    }
    state.SetItemsProcessed(state.iterations() * pts.size());
}

BENCHMARK(BM_QeTran);
BENCHMARK(BM_ReferenceAffine);

}  // namespace

int main(int argc, char** argv)
{
    return run_with_ratios(argc, argv, {{"BM_QeTran", "BM_ReferenceAffine"}});
}
