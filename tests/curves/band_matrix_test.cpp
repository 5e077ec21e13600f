#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "curves/band_matrix.h"
#include "curves/curve_status.h"

namespace {

// Gaussian elimination with partial pivoting on a full copy: the reference solution.
std::vector<double> dense_solve(std::vector<std::vector<double>> a, std::vector<double> b) {
    const size_t n = b.size();
    for (size_t k = 0; k < n; ++k) {
        size_t piv = k;
        for (size_t i = k + 1; i < n; ++i)
            if (std::fabs(a[i][k]) > std::fabs(a[piv][k])) piv = i;
        std::swap(a[k], a[piv]);
        std::swap(b[k], b[piv]);
        for (size_t i = k + 1; i < n; ++i) {
            const double f = a[i][k] / a[k][k];
            for (size_t j = k; j < n; ++j) a[i][j] -= f * a[k][j];
            b[i] -= f * b[k];
        }
    }
    std::vector<double> x(n);
    for (size_t i = n; i-- > 0;) {
        double s = b[i];
        for (size_t j = i + 1; j < n; ++j) s -= a[i][j] * x[j];
        x[i] = s / a[i][i];
    }
    return x;
}

// Diagonally dominant band systems of several sizes and bandwidths, solved for doubles and
// for points, against the reference.
TEST(BandMatrix, SolvesLikeDenseElimination) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    for (int n : {1, 2, 3, 7, 40}) {
        for (int b : {0, 1, 2, 5}) {
            int st = -5;
            CBandMatrix m(n, b, st);
            ASSERT_EQ(st, 0);
            const int bw = std::min(b, n - 1);
            EXPECT_EQ(m.bandwidth(), bw);
            std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
            for (int r = 0; r < n; ++r)
                for (int c = std::max(0, r - bw); c <= std::min(n - 1, r + bw); ++c)
                    m.element(r, c) = a[r][c] = (r == c ? 2.0 * bw + 2.0 : 0.0) + d(rng);
            std::vector<double> rhs(n);
            CPointArray pts;
            for (int i = 0; i < n; ++i) {
                rhs[i] = d(rng);
                pts.append(Qe_Pt(rhs[i], 2 * rhs[i], -rhs[i]));
            }
            const auto want = dense_solve(a, rhs);
            ASSERT_EQ(m.factor(), 0);
            ASSERT_EQ(m.factor(), 0);  // a second factor leaves the factors alone
            auto got = rhs;
            ASSERT_EQ(m.solve(got.data()), 0);
            ASSERT_EQ(m.solve(pts, 0), 0);
            for (int i = 0; i < n; ++i) {
                EXPECT_NEAR(got[i], want[i], 1e-12);
                EXPECT_NEAR(pts[i].y(), 2 * want[i], 1e-12);
                EXPECT_NEAR(pts[i].z(), -want[i], 1e-12);
            }
        }
    }
}

TEST(BandMatrix, SmallCasesAndSingularPivots) {
    int st = -5;
    CBandMatrix zero(1, 0, st);
    EXPECT_EQ(zero.factor(), curve_status::singular);
    CBandMatrix two(1, 0, st);
    two.element(0, 0) = 2.0;
    double v = 4.0;
    ASSERT_EQ(two.factor(), 0);
    ASSERT_EQ(two.solve(&v), 0);
    EXPECT_EQ(v, 2.0);
    // Regular but with a vanishing leading entry: no pivoting, so it fails.
    CBandMatrix swap(2, 1, st);
    swap.element(0, 1) = swap.element(1, 0) = 1.0;
    EXPECT_EQ(swap.factor(), curve_status::singular);
    // Outside the band: reads give 0 and writes are dropped.
    CBandMatrix m(5, 1, st);
    m.element(0, 4) = 9.0;
    EXPECT_EQ(m.element(0, 4), 0.0);
    double x = 1.0;
    EXPECT_EQ(m.solve(&x), curve_status::bad_argument);  // not factored
    CBandMatrix neg(-1, 2, st);
    EXPECT_EQ(st, curve_status::bad_argument);
}

// The cyclic tridiagonal form of a closed fit, against the reference.
TEST(CyclicMatrix, SolvesLikeDenseElimination) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    for (int n : {1, 2, 3, 4, 9, 30}) {
        int st = -5;
        CCyclicMatrix m(new CBandMatrix(n - 1, 1, st), 1, st);
        ASSERT_EQ(st, 0);
        ASSERT_EQ(m.size(), n);
        std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
        for (int r = 0; r < n; ++r)
            for (int c = -1; c <= 1; ++c) {
                const double v = (c == 0 ? 4.0 : 0.0) + d(rng);
                m.element(r, r + c) += v;
                a[r][((r + c) % n + n) % n] += v;
            }
        std::vector<double> rhs(n);
        for (auto& r : rhs) r = d(rng);
        const auto want = dense_solve(a, rhs);
        ASSERT_EQ(m.factor(), 0);
        ASSERT_EQ(m.solve(rhs.data()), 0);
        for (int i = 0; i < n; ++i) EXPECT_NEAR(rhs[i], want[i], 1e-12) << n << " " << i;
    }
}

TEST(DenseMatrix, SolvesLikeDenseElimination) {
    int st = -5;
    CDenseMatrix m(3, st);
    ASSERT_EQ(st, 0);
    const std::vector<std::vector<double>> a = {{4, 1, 2}, {1, 5, 1}, {2, 1, 6}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m.element(r, c) = a[r][c];
    std::vector<double> b = {1, 2, 3};
    const auto want = dense_solve(a, b);
    ASSERT_EQ(m.factor(), 0);
    ASSERT_EQ(m.solve(b.data()), 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(b[i], want[i], 1e-14);
}

}  // namespace
