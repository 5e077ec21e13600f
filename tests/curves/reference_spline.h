#pragma once

// A plain B-spline evaluator for the tests: the recursive basis definition over the full
// knot sequence, written apart from the library's triangle and de Boor code.

#include <array>
#include <cmath>
#include <vector>

namespace ref {

using P3 = std::array<double, 3>;

inline double basis(const std::vector<double>& U, int i, int p, double u) {
    if (p == 0) {
        // The last non-empty span is closed at the right so the end parameter evaluates.
        const double last = U.back();
        if (u == last) return (U[i] < u && U[i + 1] == last) ? 1.0 : 0.0;
        return (U[i] <= u && u < U[i + 1]) ? 1.0 : 0.0;
    }
    double a = 0.0, b = 0.0;
    if (U[i + p] != U[i]) a = (u - U[i]) / (U[i + p] - U[i]) * basis(U, i, p - 1, u);
    if (U[i + p + 1] != U[i + 1]) b = (U[i + p + 1] - u) / (U[i + p + 1] - U[i + 1]) * basis(U, i + 1, p - 1, u);
    return a + b;
}

// Point of the (rational when w is given) B-spline with full knot sequence U.
inline P3 point(const std::vector<double>& U, int p, const std::vector<P3>& ctrl, double u,
                const std::vector<double>& w = {}) {
    P3 s{0, 0, 0};
    double ws = 0.0;
    for (size_t i = 0; i < ctrl.size(); ++i) {
        const double n = basis(U, static_cast<int>(i), p, u) * (w.empty() ? 1.0 : w[i]);
        for (int c = 0; c < 3; ++c) s[c] += n * ctrl[i][c];
        ws += n;
    }
    for (int c = 0; c < 3; ++c) s[c] /= ws;
    return s;
}

inline double dist(const P3& a, const P3& b) {
    double d = 0.0;
    for (int c = 0; c < 3; ++c) d += (a[c] - b[c]) * (a[c] - b[c]);
    return std::sqrt(d);
}

}  // namespace ref
