#pragma once

// Point mappings of the curve library: the abstract map that tessellation, transformed
// copies and mapped curves pass points through, and the affine map M p + tr.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

class CPointArray;

class FENDRAL_API CPointMap {
public:
    virtual ~CPointMap();
    virtual bool is_affine() const;
    virtual Qe_Pt map_point(const Qe_Pt& p) const = 0;
    // The linear part applied to a vector; -1 when the map has none.
    virtual int map_vector(const Qe_Vec& v, Qe_Vec& out) const;
    virtual int map_points_in_place(CPointArray& points) const;
    // Each source point into the same index of target; 2100 when target is shorter.
    virtual int map_points(const CPointArray& source, CPointArray& target) const;
};

class FENDRAL_API CAffineMap : public CPointMap {
public:
    // The identity.
    CAffineMap();
    CAffineMap(const double m[3][3], const Qe_Vec& tr);

    bool is_affine() const override;
    Qe_Pt map_point(const Qe_Pt& p) const override;
    int map_vector(const Qe_Vec& v, Qe_Vec& out) const override;

    // Row r, column c of the linear part (row-major, applied to column vectors).
    double& at(int r, int c) { return m_m[r][c]; }
    double at(int r, int c) const { return m_m[r][c]; }
    Qe_Vec& translation() { return m_tr; }
    const Qe_Vec& translation() const { return m_tr; }
    // The transpose of the linear part applied to v.
    Qe_Vec transpose_vector(const Qe_Vec& v) const;

    // Becomes the inverse of other; 2104 when |det| < 1e-9 (this map is then unchanged).
    int invert_from(const CAffineMap& other);

private:
    double m_m[3][3];
    Qe_Vec m_tr;
};
