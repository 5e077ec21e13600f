#pragma once

// The knot vector of a B-spline curve, held as one period: the stored knots k[0] .. k[c-1]
// and a period length L, so that the knot with any integer index i is
// k[i mod c] + floor(i / c) * L. A clamped vector (p + 1 equal knots at the start) is held
// the same way: [0, 0, 0, 0, 1, 2, 3, 3, 3, 3] is stored as [0, 0, 0, 0, 1, 2] with L = 3.

#include <cstdint>

#include "curves/curve_arrays.h"

class FENDRAL_API CKnotVector : public CDoubleArray {
public:
    // status 2102 when count is negative or above 1640, or degree outside 1 .. 9.
    CKnotVector(int degree, int count, int& status);
    CKnotVector(const CKnotVector& other, int& status);
    // The clamped knot vector of the sub-range [a, b] of a curve on source: a and b each
    // p + 1 times around the knots of source strictly between them (2100 when b - a is
    // below 1e-9, 2101 past 1640 knots).
    CKnotVector(const CKnotVector& source, double a, double b, int& status);

    int degree() const { return m_degree; }
    double period_length() const { return m_length; }
    void set_period_length(double l) { m_length = l; }

    double knot(int i) const;
    // Index count sets the period length (value - k[0]); other indices outside the
    // stored range are refused with 2100.
    int set_knot(int i, double v);
    // Inserts v repeated k times at index i: 2102 for negative k, 2101 past 1640 knots.
    int insert_knots(int i, double v, int k);

    // 2102 unless the vector can carry a curve (see the source for the rules). Knots
    // equal within 1e-9 are made exactly equal.
    int check();

    // Clamped: the first p + 1 knots are equal. A clamped vector is not periodic.
    bool clamped() const;
    double start() const { return m_count > 0 ? m_data[0] : 0.0; }
    double end() const { return start() + m_length; }
    double period() const { return clamped() ? 0.0 : m_length; }

    // Span s with knot(s) <= u < knot(s + 1), skipping empty spans forwards. A periodic
    // vector first brings u into [start, end) (-1 when u is more than 8 periods away)
    // and adds whole periods of c to the span. The vector must have passed check().
    int find_span(double u, int& span) const;
    // The p + 1 basis values of span s at u, with first and second derivatives when
    // those outputs are given (arrays of at least p + 1).
    void basis(int s, double u, double* values, double* d1 = nullptr, double* d2 = nullptr) const;
    // Replaces the knots by those of the reversed curve (status 2 when out of memory).
    int reverse_knots();
    // 16 + 8c bytes: count, degree, L and the knots, little-endian.
    int flat_size() const { return 16 + 8 * m_count; }
    void write_flat(std::uint8_t* out) const;

private:
    int m_degree = 3;
    double m_length = 0.0;
    mutable int m_last_span = 0;
};
