#pragma once

// 3 x 3 matrices and the affine transform Qe_Tran. Points and vectors are row vectors:
// a point is transformed as p · m · s + t, a vector as v · m · s, and a product of
// transforms applies its left factor first, so p * (A * B) == (p * A) * B.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

class FENDRAL_API matrix {
public:
    matrix() = default;  // all nine elements zero
    matrix(const Qe_Vec& r0, const Qe_Vec& r1, const Qe_Vec& r2);

    // i, j in 0..2; not range-tested.
    double element(int i, int j) const { return m_e[i][j]; }
    void set_element(int i, int j, double v) { m_e[i][j] = v; }
    Qe_Vec row(int i) const;
    Qe_Vec column(int j) const;

    matrix transpose() const;
    double determinant() const;
    // Diagonal within resmch of 1, every other element within resmch of 0.
    bool is_identity() const;
    // Orthogonal matrices are inverted by transposition, any other by the adjugate over
    // the determinant. A singular matrix is not detected.
    matrix inverse() const;

    matrix& operator*=(const matrix& b);
    matrix& operator*=(const double& d);
    // this = this · m · s; unchanged for an identity transform.
    matrix& operator*=(const Qe_Tran& t);

private:
    void zero();

    double m_e[3][3] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
};

FENDRAL_API matrix operator*(const matrix& a, const matrix& b);
FENDRAL_API matrix operator*(const double& d, const matrix& a);
// Column form M·v and row form v·M.
FENDRAL_API Qe_Vec operator*(const matrix& m, const Qe_Vec& v);
FENDRAL_API Qe_Vec operator*(const Qe_Vec& v, const matrix& m);
FENDRAL_API Qe_Pt operator*(const matrix& m, const Qe_Pt& p);
FENDRAL_API Qe_Pt operator*(const Qe_Pt& p, const matrix& m);

FENDRAL_API matrix scaling(double s);
FENDRAL_API matrix scaling(double sx, double sy, double sz);
FENDRAL_API matrix scaling(Qe_Vec s);
// Turns row vectors counter-clockwise about the axis by angle (radians).
FENDRAL_API matrix rotation(double angle, const Qe_Vec& axis);
// The mirror in the plane through the origin with this normal: I − 2·u·uᵀ.
FENDRAL_API matrix reflection(const Qe_Vec& normal);
FENDRAL_API bool same_matrix(const matrix& a, const matrix& b, double tol);

// Affine transform: linear part m (kept free of the uniform scale), translation t,
// scaling factor s and a flag byte of four 2-bit fields (rotate, reflect, shear,
// identity). A transform whose identity field is set counts as the identity everywhere.
// Operations that take a transform by pointer treat null as the identity.
class FENDRAL_API Qe_Tran {
public:
    Qe_Tran();
    Qe_Tran(const matrix& m, const Qe_Vec& t, double s, bool rotate, bool reflect, bool shear);
    // An identity source yields the canonical identity.
    Qe_Tran(const Qe_Tran& other);
    Qe_Tran& operator=(const Qe_Tran& other);

    matrix affine() const;
    Qe_Vec translation() const;
    double scaling() const;
    bool rotate() const;
    bool reflect() const;
    bool shear() const;
    bool identity() const;

    // Exact comparison of the numbers; the flag byte is not compared.
    bool operator==(const Qe_Tran& other) const;
    bool operator!=(const Qe_Tran& other) const;

    // this = this * b; nothing changes when b is null or the identity.
    Qe_Tran& operator*=(const Qe_Tran& b);
    Qe_Tran inverse() const;

    // The raw flag byte (bits 0-1 rotate, 2-3 reflect, 4-5 shear, 6-7 identity).
    unsigned char flags() const { return m_flags; }

private:
    friend Qe_Pt operator*(const Qe_Pt& p, const Qe_Tran& t);

    enum : unsigned char { ROTATE = 1u << 0, REFLECT = 1u << 2, SHEAR = 1u << 4, IDENTITY = 1u << 6 };

    matrix m_m;
    Qe_Vec m_t;
    double m_s;
    unsigned char m_flags;
};

FENDRAL_API Qe_Tran restore_transf(const matrix& m, const Qe_Vec& t, double s, bool rotate, bool reflect,
                                   bool shear);
FENDRAL_API Qe_Tran scale_transf(double s);
FENDRAL_API Qe_Tran scale_transf(double sx, double sy, double sz);
FENDRAL_API Qe_Tran rotate_transf(double angle, const Qe_Vec& axis);
FENDRAL_API Qe_Tran reflect_transf(const Qe_Vec& normal);
FENDRAL_API Qe_Tran translate_transf(const Qe_Vec& v);
// Maps coordinates given in the frame (origin, xdir, ydir made orthogonal to xdir) to
// world coordinates.
FENDRAL_API Qe_Tran coordinate_transf(const Qe_Pt& origin, const Qe_Uvec& xdir, const Qe_Uvec& ydir);

FENDRAL_API Qe_Tran operator*(const Qe_Tran& a, const Qe_Tran& b);
FENDRAL_API Qe_Tran operator*(const Qe_Tran& a, const Qe_Tran* b);

// The point maps are inline, as they run over whole point lists: p · m · s + t, in that
// order of rounding. The library still exports them for hosts that call them by symbol.
FENDRAL_API inline Qe_Pt operator*(const Qe_Pt& p, const Qe_Tran& t)
{
    if (t.m_flags >= Qe_Tran::IDENTITY) return p;
    const matrix& m = t.m_m;
    const double x = p.x(), y = p.y(), z = p.z(), s = t.m_s;
    return {(x * m.element(0, 0) + y * m.element(1, 0) + z * m.element(2, 0)) * s + t.m_t.x(),
            (x * m.element(0, 1) + y * m.element(1, 1) + z * m.element(2, 1)) * s + t.m_t.y(),
            (x * m.element(0, 2) + y * m.element(1, 2) + z * m.element(2, 2)) * s + t.m_t.z()};
}
FENDRAL_API inline Qe_Pt operator*(const Qe_Pt& p, const Qe_Tran* t)
{
    return t ? p * *t : p;
}
FENDRAL_API Qe_Vec operator*(const Qe_Vec& v, const Qe_Tran& t);
FENDRAL_API Qe_Vec operator*(const Qe_Vec& v, const Qe_Tran* t);
FENDRAL_API Qe_Uvec operator*(const Qe_Uvec& u, const Qe_Tran& t);
FENDRAL_API Qe_Uvec operator*(const Qe_Uvec& u, const Qe_Tran* t);
