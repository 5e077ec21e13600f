#pragma once

// Square linear systems of spline interpolation, factored by LU without pivoting: a dense
// matrix, a band matrix, and a cyclic band matrix (a band part with a border). Right-hand
// sides are a vector of doubles or a run of points of three doubles, overwritten with the
// solution. A pivot of magnitude at most 1e-9 fails the factorisation with -1.

#include <memory>

#include "curves/curve_arrays.h"

class FENDRAL_API CMatrix {
public:
    CMatrix() = default;
    CMatrix(const CMatrix&) = delete;
    CMatrix& operator=(const CMatrix&) = delete;
    virtual ~CMatrix();

    virtual int size() const = 0;
    // Reference to the stored entry. Outside the stored pattern the reference is to a
    // scratch zero: reads give 0 and writes are dropped.
    virtual double& element(int r, int c) = 0;
    // 0, or -1 for a pivot of magnitude at most 1e-9; a factored matrix is left alone.
    virtual int factor() = 0;
    // Solves in place for points first .. first + n - 1 (indices cyclic); the matrix
    // must be factored (2100 otherwise).
    virtual int solve(CPointArray& points, int first);
    // Solves in place for n doubles.
    virtual int solve(double* values) = 0;

    bool factored() const { return m_factored; }

protected:
    bool m_factored = false;
    double m_scratch = 0.0;
};

class FENDRAL_API CDenseMatrix : public CMatrix {
public:
    CDenseMatrix(int n, int& status);
    int size() const override { return m_n; }
    double& element(int r, int c) override;
    int factor() override;
    using CMatrix::solve;
    int solve(double* values) override;

private:
    int m_n = 0;
    std::unique_ptr<double[]> m_a;
};

class FENDRAL_API CBandMatrix : public CMatrix {
public:
    // Bandwidth b is lowered to n - 1 when it is not below n. Status 2 when the storage
    // cannot be had, 2100 for a negative size or bandwidth (the matrix is then empty).
    CBandMatrix(int n, int b, int& status);
    int size() const override { return m_n; }
    int bandwidth() const { return m_b; }
    double& element(int r, int c) override;
    int factor() override;
    using CMatrix::solve;
    int solve(double* values) override;

    // Substitution halves, used by the cyclic matrix: the forward one with the unit lower
    // factor, the backward one with the upper factor. stride is the distance between the
    // values of consecutive rows.
    void forward(double* v, int stride) const;
    void backward(double* v, int stride) const;
    double at(int r, int c) const;

private:
    int lo(int r) const { return r - m_b > 0 ? r - m_b : 0; }
    int hi(int r) const { return r + m_b < m_n - 1 ? r + m_b : m_n - 1; }

    int m_n = 0;
    int m_b = 0;
    std::unique_ptr<double[]> m_block;
    std::unique_ptr<size_t[]> m_row;  // offset of each row's first stored column
};

// A system of size n_b + a around a band part of size n_b, with a border of a rows and
// columns and an a x a corner. Row and column indices are taken modulo the total size, so
// that the entries left of column 0 and right of the last column land in the border.
class FENDRAL_API CCyclicMatrix : public CMatrix {
public:
    // Takes over the band part (also on failure).
    CCyclicMatrix(CBandMatrix* band, int a, int& status);
    int size() const override { return m_nb + m_a; }
    double& element(int r, int c) override;
    int factor() override;
    using CMatrix::solve;
    int solve(double* values) override;

private:
    std::unique_ptr<CBandMatrix> m_band;
    int m_nb = 0;
    int m_a = 0;
    std::unique_ptr<double[]> m_cols;  // n_b x a, row-major
    std::unique_ptr<double[]> m_rows;  // a x n_b, row-major
    std::unique_ptr<CDenseMatrix> m_corner;
};
