#pragma once

// Growable arrays of the curve library: doubles (knots, weights) and points of three
// doubles (control points, right-hand sides). Every operation that can fail returns a
// curve status; nothing throws.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

class FENDRAL_API CDoubleArray {
public:
    CDoubleArray() = default;
    // count zeroed doubles; status 2 when they cannot be had (the array is then empty).
    CDoubleArray(int count, int& status);
    CDoubleArray(const CDoubleArray& other, int& status);
    CDoubleArray(const CDoubleArray&) = delete;
    CDoubleArray& operator=(const CDoubleArray&) = delete;
    virtual ~CDoubleArray();

    int count() const { return m_count; }
    int capacity() const { return m_capacity; }
    double* data() { return m_data; }
    const double* data() const { return m_data; }
    // i in [0, count); not range-tested.
    double& operator[](int i) { return m_data[i]; }
    double operator[](int i) const { return m_data[i]; }

    // Opens a gap of k (unset) elements at index i (0 <= i <= count), moving the tail up.
    int open_gap(int i, int k);
    int append(double v);
    int insert(int i, double v);
    // Removes k elements at i; k reaching past the end removes the tail.
    void remove(int i, int k);
    void release();
    void reverse();
    int shrink();
    // Index of the last element not greater than v among [lo, hi]; lo - 1 when none is.
    int bisect(double v, int lo, int hi) const;
    // Index of the last element not greater than v + tol (-1 when empty or v lies more
    // than tol below the first), and whether that element lies within tol of v.
    bool find(double v, double tol, int& index) const;
    // Inserts v into an ascending array unless a value within tol of it is already there.
    int insert_sorted(double v, double tol);

protected:
    int m_count = 0;
    int m_capacity = 0;
    int m_grow = 16;
    double* m_data = nullptr;
};

class FENDRAL_API CPointArray {
public:
    CPointArray() = default;
    CPointArray(const CPointArray& other, int& status);
    CPointArray(const CPointArray&) = delete;
    CPointArray& operator=(const CPointArray&) = delete;
    virtual ~CPointArray();

    int count() const { return m_count; }
    Qe_Pt* data() { return m_data; }
    const Qe_Pt* data() const { return m_data; }
    // Indices are taken modulo the count (negative ones wrap from the end), so control
    // points can be addressed cyclically. The array must not be empty.
    Qe_Pt& operator[](int i) { return m_data[wrap(i)]; }
    const Qe_Pt& operator[](int i) const { return m_data[wrap(i)]; }

    int append(const Qe_Pt& p);
    int insert(int i, const Qe_Pt& p);  // i in [0, count]
    void remove(int i, int k);
    void rotate_left(int k);
    void release();

private:
    int wrap(int i) const
    {
        int r = i % m_count;
        return r < 0 ? r + m_count : r;
    }
    int reserve(int n);

    int m_count = 0;
    int m_capacity = 0;
    Qe_Pt* m_data = nullptr;
};
