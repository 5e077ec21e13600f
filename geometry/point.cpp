#include "geometry/point.h"

#include <cmath>

#include "geometry/tolerance.h"

namespace {

Qe_Vec cross(const Qe_Vec& a, const Qe_Vec& b)
{
    return {a.y() * b.z() - a.z() * b.y(), a.z() * b.x() - a.x() * b.z(), a.x() * b.y() - a.y() * b.x()};
}

double dot(const Qe_Vec& a, const Qe_Vec& b) { return a.x() * b.x() + a.y() * b.y() + a.z() * b.z(); }

Qe_Vec as_vec(const Qe_Pt& p) { return {p.x(), p.y(), p.z()}; }

enum class Sign { any, non_negative, non_positive };

// The shared body of the direction predicates: d is a·b, ab the product of the squared
// lengths (1 for unit vectors), c_sq the squared length of a × b.
bool directions_agree(double d, double ab, double c_sq, double tol, Sign sign)
{
    if (sign == Sign::non_negative && d < 0.0) return false;
    if (sign == Sign::non_positive && d > 0.0) return false;
    if (d * d < 0.999 * ab) return false;
    return c_sq <= tol * tol * ab;
}

}  // namespace

// Qe_Pt / Qe_Vec / Qe_Uvec members.

double Qe_Vec::len() const { return std::sqrt(len_sq()); }

double Qe_Vec::len_sq() const { return m_c[0] * m_c[0] + m_c[1] * m_c[1] + m_c[2] * m_c[2]; }

double Qe_Vec::max_norm(int& index) const
{
    const double ax = std::fabs(m_c[0]), ay = std::fabs(m_c[1]), az = std::fabs(m_c[2]);
    double best = ay;
    index = 1;
    if (ax > ay) {
        best = ax;
        index = 0;
    }
    if (!(az < best)) {
        best = az;
        index = 2;
    }
    return best;
}

Qe_Uvec Qe_Vec::orthogonal() const { return Qe_Uvec(0.0, 0.0, 1.0); }

Qe_Vec Qe_Vec::make_ortho() const
{
    if (std::fabs(m_c[1]) > resabs || std::fabs(m_c[2]) > resabs) return cross(*this, Qe_Vec(1, 0, 0));
    return cross(*this, Qe_Vec(0, 1, 0));
}

bool Qe_Vec::is_zero(double tol) const
{
    for (double c : m_c)
        if (c < -tol || c > tol) return false;
    return len_sq() <= tol * tol;
}

Qe_Uvec::Qe_Uvec(double x, double y, double z) : Qe_Vec(x, y, z) { normalise_self(); }

Qe_Uvec::Qe_Uvec(double* const xyz) : Qe_Vec(xyz) { normalise_self(); }

void Qe_Uvec::normalise_self()
{
    const double l = len();
    if (l >= resnor) {
        m_c[0] /= l;
        m_c[1] /= l;
        m_c[2] /= l;
    } else {
        m_c[0] = m_c[1] = m_c[2] = 0.0;
    }
}

// Arithmetic.

Qe_Vec operator-(const Qe_Vec& v) { return {-v.x(), -v.y(), -v.z()}; }
Qe_Vec operator+(const Qe_Vec& v, const Qe_Vec& w) { return {v.x() + w.x(), v.y() + w.y(), v.z() + w.z()}; }
Qe_Vec operator-(const Qe_Vec& v, const Qe_Vec& w) { return {v.x() - w.x(), v.y() - w.y(), v.z() - w.z()}; }
Qe_Vec operator-(const Qe_Pt& p, const Qe_Pt& q) { return {p.x() - q.x(), p.y() - q.y(), p.z() - q.z()}; }
Qe_Pt operator+(const Qe_Pt& p, const Qe_Vec& v) { return {p.x() + v.x(), p.y() + v.y(), p.z() + v.z()}; }
Qe_Pt operator+(const Qe_Vec& v, const Qe_Pt& p) { return p + v; }
Qe_Pt operator-(const Qe_Pt& p, const Qe_Vec& v) { return {p.x() - v.x(), p.y() - v.y(), p.z() - v.z()}; }

Qe_Pt& operator+=(Qe_Pt& p, const Qe_Vec& v) { return p = p + v; }
Qe_Vec& operator+=(Qe_Vec& v, const Qe_Vec& w) { return v = v + w; }
Qe_Pt& operator-=(Qe_Pt& p, const Qe_Vec& v) { return p = p - v; }
Qe_Vec& operator-=(Qe_Vec& v, const Qe_Vec& w) { return v = v - w; }

Qe_Vec operator*(double d, const Qe_Vec& v) { return {d * v.x(), d * v.y(), d * v.z()}; }
Qe_Vec operator*(const Qe_Vec& v, double d) { return d * v; }
Qe_Vec operator/(const Qe_Vec& v, double d) { return {v.x() / d, v.y() / d, v.z() / d}; }
Qe_Vec& operator*=(Qe_Vec& v, double d) { return v = v * d; }
Qe_Vec& operator/=(Qe_Vec& v, double d) { return v = v / d; }
Qe_Pt operator*(const Qe_Pt& p, double d) { return {p.x() * d, p.y() * d, p.z() * d}; }

double operator%(const Qe_Vec& v, const Qe_Vec& w) { return dot(v, w); }
double operator%(const Qe_Pt& p, const Qe_Vec& v) { return dot(as_vec(p), v); }
double operator%(const Qe_Vec& v, const Qe_Pt& p) { return dot(v, as_vec(p)); }
double operator%(const Qe_Pt& p, const Qe_Uvec& u) { return dot(as_vec(p), u); }
double operator%(const Qe_Uvec& u, const Qe_Pt& p) { return dot(u, as_vec(p)); }

Qe_Vec operator*(const Qe_Vec& v, const Qe_Vec& w) { return cross(v, w); }

Qe_Pt operator*(const Qe_Pt& p, const Qe_Uvec& u)
{
    const Qe_Vec c = cross(as_vec(p), u);
    return {c.x(), c.y(), c.z()};
}

Qe_Pt operator*(const Qe_Uvec& u, const Qe_Pt& p) { return p * (-u); }

Qe_Uvec operator-(const Qe_Uvec& u)
{
    Qe_Uvec r(u);
    r.set_x(-u.x());
    r.set_y(-u.y());
    r.set_z(-u.z());
    return r;
}

Qe_Uvec normalise(const Qe_Vec& v) { return Qe_Uvec(v.x(), v.y(), v.z()); }

Qe_Pt interpolate(double t, const Qe_Pt& p, const Qe_Pt& q)
{
    const double s = 1.0 - t;
    return {s * p.x() + t * q.x(), s * p.y() + t * q.y(), s * p.z() + t * q.z()};
}

bool same_vector(const Qe_Vec& v, const Qe_Vec& w, double tol)
{
    const double dx = v.x() - w.x();
    if (std::fabs(dx) > tol) return false;
    const double dy = v.y() - w.y();
    if (std::fabs(dy) > tol) return false;
    const double dz = v.z() - w.z();
    if (std::fabs(dz) > tol) return false;
    return dx * dx + dy * dy + dz * dz <= tol * tol;
}

bool same_point(const Qe_Pt& p, const Qe_Pt& q, double tol) { return same_vector(as_vec(p), as_vec(q), tol); }

// Direction predicates.

bool parallel(const Qe_Vec& a, const Qe_Vec& b, double tol)
{
    return directions_agree(dot(a, b), a.len_sq() * b.len_sq(), cross(a, b).len_sq(), tol, Sign::non_negative);
}
bool parallel(const Qe_Uvec& a, const Qe_Vec& b, double tol)
{
    return directions_agree(dot(a, b), b.len_sq(), cross(a, b).len_sq(), tol, Sign::non_negative);
}
bool parallel(const Qe_Uvec& a, const Qe_Uvec& b, double tol)
{
    return directions_agree(dot(a, b), 1.0, cross(a, b).len_sq(), tol, Sign::non_negative);
}

bool antiparallel(const Qe_Vec& a, const Qe_Vec& b, double tol)
{
    return directions_agree(dot(a, b), a.len_sq() * b.len_sq(), cross(a, b).len_sq(), tol, Sign::non_positive);
}
bool antiparallel(const Qe_Uvec& a, const Qe_Vec& b, double tol)
{
    return directions_agree(dot(a, b), b.len_sq(), cross(a, b).len_sq(), tol, Sign::non_positive);
}
bool antiparallel(const Qe_Uvec& a, const Qe_Uvec& b, double tol)
{
    return directions_agree(dot(a, b), 1.0, cross(a, b).len_sq(), tol, Sign::non_positive);
}

bool biparallel(const Qe_Vec& a, const Qe_Vec& b, double tol)
{
    return directions_agree(dot(a, b), a.len_sq() * b.len_sq(), cross(a, b).len_sq(), tol, Sign::any);
}
bool biparallel(const Qe_Uvec& a, const Qe_Vec& b, double tol)
{
    return directions_agree(dot(a, b), b.len_sq(), cross(a, b).len_sq(), tol, Sign::any);
}
bool biparallel(const Qe_Uvec& a, const Qe_Uvec& b, double tol)
{
    return directions_agree(dot(a, b), 1.0, cross(a, b).len_sq(), tol, Sign::any);
}

bool perpendicular(const Qe_Vec& a, const Qe_Vec& b, double tol)
{
    const double d = dot(a, b);
    return d * d <= tol * tol * a.len_sq() * b.len_sq();
}
bool perpendicular(const Qe_Uvec& a, const Qe_Vec& b, double tol)
{
    const double d = dot(a, b);
    return d * d <= tol * tol * b.len_sq();
}
bool perpendicular(const Qe_Uvec& a, const Qe_Uvec& b, double tol) { return std::fabs(dot(a, b)) <= tol; }
