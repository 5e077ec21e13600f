// Span tessellation of a rational cubic (forward differences) against a plain de Boor
// evaluation of the same number of points, in the same run.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "curves/curve_tessellation.h"
#include "curves/knot_vector.h"
#include "curves/nurbs.h"
#include "curves/spline_gen.h"
#include "ratio_reporter.h"

namespace {

constexpr int g_ctrl = 200;
constexpr double g_tess = 4.0;

struct Data {
    std::vector<double> knots, weights;
    std::vector<double> ctrl;  // x, y, z per point
    Data() {
        for (int i = 0; i < 4; ++i) knots.push_back(0.0);
        for (int i = 1; i < g_ctrl - 3; ++i) knots.push_back(i);
        knots.push_back(g_ctrl - 3);
        for (int i = 0; i < g_ctrl; ++i) {
            ctrl.insert(ctrl.end(), {double(i), 10.0 * std::sin(i * 0.7), 0.0});
            weights.push_back(1.0 + 0.5 * (i % 3));
        }
    }
};

const Data& data() {
    static const Data d;
    return d;
}

int tessellate(double (**out)[3]) {
    Data d = data();
    int n = 0;
    gr_splinegen1(3, 0, static_cast<int>(d.knots.size()), d.knots.data(), 0, g_ctrl,
                  reinterpret_cast<double(*)[3]>(d.ctrl.data()), d.weights.data(), 0, g_tess, &n, out);
    return n;
}

void BM_SpanTessellation(benchmark::State& state) {
    for (auto _ : state) {
        double (*pts)[3] = nullptr;
        benchmark::DoNotOptimize(tessellate(&pts));
        std::free(pts);
    }
}
BENCHMARK(BM_SpanTessellation);

// The reference: the full clamped knot sequence and a textbook de Boor at every point.
void BM_PlainDeBoor(benchmark::State& state) {
    double (*probe)[3] = nullptr;
    const int count = tessellate(&probe);
    std::free(probe);
    const Data& d = data();
    std::vector<double> U(d.knots.begin(), d.knots.end() - 1);
    for (int i = 0; i < 4; ++i) U.push_back(d.knots.back());
    const double end = U.back();
    for (auto _ : state) {
        std::vector<double> out(static_cast<size_t>(count) * 3);
        for (int k = 0; k < count; ++k) {
            const double u = end * k / (count - 1);
            int s = 3;
            while (s < g_ctrl - 1 && U[s + 1] <= u) ++s;
            double h[4][4];
            for (int j = 0; j < 4; ++j) {
                const double w = d.weights[s - 3 + j];
                for (int c = 0; c < 3; ++c) h[j][c] = d.ctrl[(s - 3 + j) * 3 + c] * w;
                h[j][3] = w;
            }
            for (int r = 1; r <= 3; ++r)
                for (int j = 3; j >= r; --j) {
                    const int i = s - 3 + j;
                    const double a = (u - U[i]) / (U[i + 4 - r] - U[i]);
                    for (int c = 0; c < 4; ++c) h[j][c] = (1 - a) * h[j - 1][c] + a * h[j][c];
                }
            for (int c = 0; c < 3; ++c) out[k * 3 + c] = h[3][c] / h[3][3];
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["points"] = count;
}
BENCHMARK(BM_PlainDeBoor);

}  // namespace

int main(int argc, char** argv)
{
    return run_with_ratios(argc, argv, {{"BM_SpanTessellation", "BM_PlainDeBoor"}});
}
