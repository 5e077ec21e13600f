#pragma once

// The geometric value types of the system: a position (Qe_Pt), a displacement (Qe_Vec)
// and a direction (Qe_Uvec). All geometry is three-dimensional in form and planar in use:
// z is carried through every operation. The types are plain values, copied bitwise.

#include "geometry/fendral_api.h"

class matrix;
class Qe_Tran;
class Qe_Uvec;

class FENDRAL_API Qe_Pt {
public:
    constexpr Qe_Pt() : m_c{0.0, 0.0, 0.0} {}
    constexpr Qe_Pt(double x, double y, double z) : m_c{x, y, z} {}
    explicit Qe_Pt(double* const xyz) : m_c{xyz[0], xyz[1], xyz[2]} {}
    constexpr Qe_Pt(const Qe_Pt&) = default;
    constexpr Qe_Pt& operator=(const Qe_Pt&) = default;

    constexpr double x() const { return m_c[0]; }
    constexpr double y() const { return m_c[1]; }
    constexpr double z() const { return m_c[2]; }
    constexpr double& x() { return m_c[0]; }
    constexpr double& y() { return m_c[1]; }
    constexpr double& z() { return m_c[2]; }
    // i is 0, 1 or 2; not range-tested.
    constexpr double coordinate(int i) const { return m_c[i]; }
    constexpr double& coordinate(int i) { return m_c[i]; }

    constexpr void set_x(double v) { m_c[0] = v; }
    constexpr void set_y(double v) { m_c[1] = v; }
    constexpr void set_z(double v) { m_c[2] = v; }
    constexpr void set_coordinate(int i, double v) { m_c[i] = v; }

    // Row-vector transforms in place: p = p * M, and p = (p * m) * s + t.
    Qe_Pt& operator*=(const matrix& m);
    Qe_Pt& operator*=(const Qe_Tran& t);

private:
    double m_c[3];
};

class FENDRAL_API Qe_Vec {
public:
    // Zero rather than unset: an uninitialised vector is a bug waiting for a reader.
    constexpr Qe_Vec() : m_c{0.0, 0.0, 0.0} {}
    constexpr Qe_Vec(double x, double y, double z) : m_c{x, y, z} {}
    explicit Qe_Vec(double* const xyz) : m_c{xyz[0], xyz[1], xyz[2]} {}
    constexpr Qe_Vec(const Qe_Vec&) = default;
    constexpr Qe_Vec& operator=(const Qe_Vec&) = default;

    constexpr double x() const { return m_c[0]; }
    constexpr double y() const { return m_c[1]; }
    constexpr double z() const { return m_c[2]; }
    constexpr double& x() { return m_c[0]; }
    constexpr double& y() { return m_c[1]; }
    constexpr double& z() { return m_c[2]; }
    constexpr double component(int i) const { return m_c[i]; }
    constexpr double& component(int i) { return m_c[i]; }

    constexpr void set_x(double v) { m_c[0] = v; }
    constexpr void set_y(double v) { m_c[1] = v; }
    constexpr void set_z(double v) { m_c[2] = v; }
    constexpr void set_component(int i, double v) { m_c[i] = v; }

    double len() const;
    double len_sq() const;
    // Largest absolute component; index gets 0, 1 or 2 (ties go to the later axis).
    double max_norm(int& index) const;
    // The normal of the drawing plane, (0, 0, 1), orthogonal to every vector in it.
    Qe_Uvec orthogonal() const;
    // A vector orthogonal to this one (a cross product with a coordinate axis).
    Qe_Vec make_ortho() const;
    // Every component within [-tol, tol] and the squared length within tol².
    bool is_zero(double tol) const;

    Qe_Vec& operator*=(const matrix& m);
    Qe_Vec& operator*=(const Qe_Tran& t);

protected:
    double m_c[3];
};

// A unit vector or the zero vector. The value constructors normalise; a vector shorter
// than resnor becomes the zero vector. Copies are not normalised again.
class FENDRAL_API Qe_Uvec : public Qe_Vec {
public:
    constexpr Qe_Uvec() = default;
    Qe_Uvec(double x, double y, double z);
    explicit Qe_Uvec(double* const xyz);
    constexpr Qe_Uvec(const Qe_Uvec&) = default;
    constexpr Qe_Uvec& operator=(const Qe_Uvec&) = default;

    // u * m only: neither scaled nor normalised again.
    Qe_Uvec& operator*=(const Qe_Tran& t);

private:
    void normalise_self();
};

// Arithmetic.
FENDRAL_API Qe_Vec operator-(const Qe_Vec& v);
FENDRAL_API Qe_Vec operator+(const Qe_Vec& v, const Qe_Vec& w);
FENDRAL_API Qe_Vec operator-(const Qe_Vec& v, const Qe_Vec& w);
FENDRAL_API Qe_Vec operator-(const Qe_Pt& p, const Qe_Pt& q);
FENDRAL_API Qe_Pt operator+(const Qe_Pt& p, const Qe_Vec& v);
FENDRAL_API Qe_Pt operator+(const Qe_Vec& v, const Qe_Pt& p);
FENDRAL_API Qe_Pt operator-(const Qe_Pt& p, const Qe_Vec& v);
FENDRAL_API Qe_Pt& operator+=(Qe_Pt& p, const Qe_Vec& v);
FENDRAL_API Qe_Vec& operator+=(Qe_Vec& v, const Qe_Vec& w);
FENDRAL_API Qe_Pt& operator-=(Qe_Pt& p, const Qe_Vec& v);
FENDRAL_API Qe_Vec& operator-=(Qe_Vec& v, const Qe_Vec& w);
FENDRAL_API Qe_Vec operator*(double d, const Qe_Vec& v);
FENDRAL_API Qe_Vec operator*(const Qe_Vec& v, double d);
FENDRAL_API Qe_Vec operator/(const Qe_Vec& v, double d);  // no check of a zero divisor
FENDRAL_API Qe_Vec& operator*=(Qe_Vec& v, double d);
FENDRAL_API Qe_Vec& operator/=(Qe_Vec& v, double d);
FENDRAL_API Qe_Pt operator*(const Qe_Pt& p, double d);  // scaling about the origin

// Dot products; a point counts as its position vector.
FENDRAL_API double operator%(const Qe_Vec& v, const Qe_Vec& w);
FENDRAL_API double operator%(const Qe_Pt& p, const Qe_Vec& v);
FENDRAL_API double operator%(const Qe_Vec& v, const Qe_Pt& p);
FENDRAL_API double operator%(const Qe_Pt& p, const Qe_Uvec& u);
FENDRAL_API double operator%(const Qe_Uvec& u, const Qe_Pt& p);

// Cross products.
FENDRAL_API Qe_Vec operator*(const Qe_Vec& v, const Qe_Vec& w);
FENDRAL_API Qe_Pt operator*(const Qe_Pt& p, const Qe_Uvec& u);
FENDRAL_API Qe_Pt operator*(const Qe_Uvec& u, const Qe_Pt& p);  // computed as p × (−u)

FENDRAL_API Qe_Uvec operator-(const Qe_Uvec& u);  // not normalised again
FENDRAL_API Qe_Uvec normalise(const Qe_Vec& v);
// (1 − t)·p + t·q; t outside [0, 1] extrapolates.
FENDRAL_API Qe_Pt interpolate(double t, const Qe_Pt& p, const Qe_Pt& q);

// Coincidence within tol: a cheap box test per coordinate, then the sphere of radius tol.
FENDRAL_API bool same_point(const Qe_Pt& p, const Qe_Pt& q, double tol);
FENDRAL_API bool same_vector(const Qe_Vec& v, const Qe_Vec& w, double tol);

// Direction predicates. tol bounds the sine of the angle between the directions; a
// 0.999 pre-test on the squared cosine rejects clearly divergent directions first. With
// two Qe_Vec arguments a zero vector passes every test; a zero Qe_Uvec fails the pre-test.
FENDRAL_API bool parallel(const Qe_Vec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool parallel(const Qe_Uvec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool parallel(const Qe_Uvec& a, const Qe_Uvec& b, double tol);
FENDRAL_API bool antiparallel(const Qe_Vec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool antiparallel(const Qe_Uvec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool antiparallel(const Qe_Uvec& a, const Qe_Uvec& b, double tol);
FENDRAL_API bool biparallel(const Qe_Vec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool biparallel(const Qe_Uvec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool biparallel(const Qe_Uvec& a, const Qe_Uvec& b, double tol);
FENDRAL_API bool perpendicular(const Qe_Vec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool perpendicular(const Qe_Uvec& a, const Qe_Vec& b, double tol);
FENDRAL_API bool perpendicular(const Qe_Uvec& a, const Qe_Uvec& b, double tol);
