// Intersection of two fitted cubics (about 40 and 60 spans, some 30 crossings) by
// intersect_curves against a brute-force subdivision: span pieces halved while the boxes
// of their Bezier control points overlap. Both must find the same crossings; the ratio of
// the times is printed.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "curves/curve_box.h"
#include "curves/intersection.h"
#include "curves/nurbs.h"
#include "curves/spline_fit.h"
#include "ratio_reporter.h"

namespace {

std::unique_ptr<CNURBS> fit(int n, double dx, double x0, double amp, double freq, bool cosine) {
    std::vector<double> pts;
    for (int i = 0; i < n; ++i)
        pts.insert(pts.end(), {x0 + i * dx, amp * (cosine ? std::cos(i * freq) : std::sin(i * freq)), 0.0});
    double s[3] = {0, 0, 0}, e[3] = {0, 0, 0};
    CNURBS* c = nullptr;
    GetFittingSpline(n, reinterpret_cast<double(*)[3]>(pts.data()), 1e-9, s, e, 0, c);
    return std::unique_ptr<CNURBS>(c);
}

struct Pair {
    std::unique_ptr<CNURBS> a = fit(41, 1.0, 0.0, 3.0, 1.7, false);
    std::unique_ptr<CNURBS> b = fit(61, 40.0 / 60, 0.1, 3.0, 1.25, true);
};

const Pair& pair() {
    static const Pair p;
    return p;
}

std::vector<Qe_Pt> library_crossings() {
    CDoubleArray la, lb;
    intersect_curves(pair().a.get(), pair().b.get(), la, lb, 1e-9);
    std::vector<Qe_Pt> out;
    for (int i = 0; i < la.count(); ++i) {
        Qe_Pt p;
        pair().a->point(la[i], p);
        out.push_back(p);
    }
    return out;
}

// A piece of one polynomial span: its Bezier points from the ends and their derivatives.
struct Piece {
    double t0, t1;
    Qe_Pt b[4];
    CCurveBox box;
};

Piece piece(const CNURBS& c, double t0, double t1) {
    Piece p{t0, t1, {}, {}};
    Qe_Vec d0, d1;
    c.point_and_tangent(t0, p.b[0], d0);
    c.point_and_tangent(t1, p.b[3], d1);
    p.b[1] = p.b[0] + d0 * ((t1 - t0) / 3);
    p.b[2] = p.b[3] - d1 * ((t1 - t0) / 3);
    for (const Qe_Pt& q : p.b) p.box.add(q);
    return p;
}

void subdivide(const CNURBS& ca, const Piece& a, const CNURBS& cb, const Piece& b, std::vector<Qe_Pt>& out, int depth) {
    // Strict overlap: a slack would keep every tiny piece near a crossing alive.
    if (a.box.min_x > b.box.max_x || b.box.min_x > a.box.max_x || a.box.min_y > b.box.max_y ||
        b.box.min_y > a.box.max_y)
        return;
    if (depth >= 40 || (a.box.max_x - a.box.min_x + a.box.max_y - a.box.min_y < 1e-9)) {
        // Small enough: the chords' crossing, once.
        const Qe_Vec r = a.b[3] - a.b[0], s = b.b[3] - b.b[0], w = b.b[0] - a.b[0];
        const double den = r.x() * s.y() - r.y() * s.x();
        if (den == 0) return;
        const double x = (w.x() * s.y() - w.y() * s.x()) / den, y = (w.x() * r.y() - w.y() * r.x()) / den;
        if (x < -1e-6 || x > 1 + 1e-6 || y < -1e-6 || y > 1 + 1e-6) return;
        const Qe_Pt p = a.b[0] + r * x;
        for (const Qe_Pt& q : out)
            if ((q - p).len() < 1e-7) return;
        out.push_back(p);
        return;
    }
    const double ma = 0.5 * (a.t0 + a.t1), mb = 0.5 * (b.t0 + b.t1);
    const Piece a1 = piece(ca, a.t0, ma), a2 = piece(ca, ma, a.t1), b1 = piece(cb, b.t0, mb), b2 = piece(cb, mb, b.t1);
    for (const Piece* x : {&a1, &a2})
        for (const Piece* y : {&b1, &b2}) subdivide(ca, *x, cb, *y, out, depth + 1);
}

std::vector<Qe_Pt> brute_crossings() {
    const CNURBS &a = *pair().a, &b = *pair().b;
    auto spans = [](const CNURBS& c) {
        std::vector<Piece> v;
        for (int i = 0; i + 1 <= c.control_count() + 3; ++i) {
            const double t0 = c.knots()->knot(i), t1 = c.knots()->knot(i + 1);
            if (t1 > t0 && t0 >= c.start_param() && t1 <= c.end_param()) v.push_back(piece(c, t0, t1));
        }
        return v;
    };
    std::vector<Qe_Pt> out;
    for (const Piece& x : spans(a))
        for (const Piece& y : spans(b)) subdivide(a, x, b, y, out, 0);
    return out;
}

void BM_IntersectCurves(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(library_crossings());
}
BENCHMARK(BM_IntersectCurves)->Unit(benchmark::kMillisecond);

void BM_BruteSubdivision(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(brute_crossings());
}
BENCHMARK(BM_BruteSubdivision)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const auto lib = library_crossings(), brute = brute_crossings();
    int matched = 0;
    for (const Qe_Pt& p : lib)
        for (const Qe_Pt& q : brute)
            if ((p - q).len() < 1e-6) {
                ++matched;
                break;
            }
    std::printf("crossings: intersect_curves %zu, subdivision %zu, matched %d\n", lib.size(), brute.size(), matched);
    std::fflush(stdout);
    if (lib.size() != brute.size() || matched != static_cast<int>(lib.size())) {
        for (const Qe_Pt& p : lib) std::printf("lib %.12f %.12f\n", p.x(), p.y());
        for (const Qe_Pt& p : brute) std::printf("sub %.12f %.12f\n", p.x(), p.y());
        std::printf("the two methods disagree\n");
        return 1;
    }
    return run_with_ratios(argc, argv, {{"BM_IntersectCurves", "BM_BruteSubdivision"}});
}
