#include "geometry/transform.h"

#include <cmath>

#include "geometry/tolerance.h"

namespace {

matrix identity_matrix() { return scaling(1.0); }

bool is_null_or_identity(const Qe_Tran* t) { return t == nullptr || t->identity(); }

// The inline point maps are emitted here too, so that the library keeps exporting them.
[[gnu::used]] constexpr Qe_Pt (*g_point_maps[])(const Qe_Pt&, const Qe_Tran&) = {operator*};
[[gnu::used]] constexpr Qe_Pt (*g_point_maps_by_pointer[])(const Qe_Pt&, const Qe_Tran*) = {operator*};

}  // namespace

// matrix

matrix::matrix(const Qe_Vec& r0, const Qe_Vec& r1, const Qe_Vec& r2)
{
    const Qe_Vec* rows[3] = {&r0, &r1, &r2};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m_e[i][j] = rows[i]->component(j);
}

Qe_Vec matrix::row(int i) const { return {m_e[i][0], m_e[i][1], m_e[i][2]}; }

Qe_Vec matrix::column(int j) const { return {m_e[0][j], m_e[1][j], m_e[2][j]}; }

void matrix::zero()
{
    for (auto& r : m_e)
        for (double& e : r) e = 0.0;
}

matrix matrix::transpose() const
{
    matrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m_e[i][j] = m_e[j][i];
    return r;
}

double matrix::determinant() const
{
    const auto& m = m_e;
    return m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2]) - m[1][0] * (m[2][2] * m[0][1] - m[2][1] * m[0][2]) +
           m[2][0] * (m[1][2] * m[0][1] - m[1][1] * m[0][2]);
}

bool matrix::is_identity() const
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(m_e[i][j] - (i == j ? 1.0 : 0.0)) > resmch) return false;
    return true;
}

matrix matrix::inverse() const
{
    // A determinant of 1 alone does not make a rotation (a shear has one too), so only a
    // matrix that really is orthogonal is inverted by its transpose.
    const matrix t = transpose();
    if ((*this * t).is_identity()) return t;

    const auto& m = m_e;
    matrix adj;
    adj.zero();
    adj.m_e[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    adj.m_e[0][1] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    adj.m_e[0][2] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    adj.m_e[1][0] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    adj.m_e[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    adj.m_e[1][2] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    adj.m_e[2][0] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    adj.m_e[2][1] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    adj.m_e[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    return (1.0 / determinant()) * adj;
}

matrix& matrix::operator*=(const matrix& b) { return *this = *this * b; }

matrix& matrix::operator*=(const double& d) { return *this = d * *this; }

matrix& matrix::operator*=(const Qe_Tran& t)
{
    if (t.identity()) return *this;
    return *this = t.scaling() * (*this * t.affine());
}

matrix operator*(const matrix& a, const matrix& b)
{
    matrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0.0;
            for (int k = 0; k < 3; ++k) s += a.element(i, k) * b.element(k, j);
            r.set_element(i, j, s);
        }
    return r;
}

matrix operator*(const double& d, const matrix& a)
{
    matrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.set_element(i, j, d * a.element(i, j));
    return r;
}

Qe_Vec operator*(const matrix& m, const Qe_Vec& v) { return {m.row(0) % v, m.row(1) % v, m.row(2) % v}; }

Qe_Vec operator*(const Qe_Vec& v, const matrix& m) { return {v % m.column(0), v % m.column(1), v % m.column(2)}; }

Qe_Pt operator*(const matrix& m, const Qe_Pt& p) { return {m.row(0) % p, m.row(1) % p, m.row(2) % p}; }

Qe_Pt operator*(const Qe_Pt& p, const matrix& m) { return {p % m.column(0), p % m.column(1), p % m.column(2)}; }

Qe_Vec& Qe_Vec::operator*=(const matrix& m) { return *this = *this * m; }

Qe_Pt& Qe_Pt::operator*=(const matrix& m) { return *this = *this * m; }

matrix scaling(double s) { return scaling(s, s, s); }

matrix scaling(double sx, double sy, double sz) { return matrix({sx, 0, 0}, {0, sy, 0}, {0, 0, sz}); }

matrix scaling(Qe_Vec s) { return scaling(s.x(), s.y(), s.z()); }

matrix rotation(double angle, const Qe_Vec& axis)
{
    const Qe_Uvec u = normalise(axis);
    const double c = std::cos(angle), s = std::sin(angle);
    matrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.set_element(i, j, (1.0 - c) * u.component(i) * u.component(j) + (i == j ? c : 0.0));
    r.set_element(0, 1, r.element(0, 1) + s * u.z());
    r.set_element(1, 0, r.element(1, 0) - s * u.z());
    r.set_element(2, 0, r.element(2, 0) + s * u.y());
    r.set_element(0, 2, r.element(0, 2) - s * u.y());
    r.set_element(1, 2, r.element(1, 2) + s * u.x());
    r.set_element(2, 1, r.element(2, 1) - s * u.x());
    return r;
}

matrix reflection(const Qe_Vec& normal)
{
    const Qe_Uvec u = normalise(normal);
    matrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.set_element(i, j, (i == j ? 1.0 : 0.0) - 2.0 * u.component(i) * u.component(j));
    return r;
}

bool same_matrix(const matrix& a, const matrix& b, double tol)
{
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double d = (a.row(i) - b.row(i)).len();
        if (d > tol) return false;
        sum += d * d;
    }
    return sum <= tol * tol;
}

// Qe_Tran

Qe_Tran::Qe_Tran() : m_m(identity_matrix()), m_t(0, 0, 0), m_s(1.0), m_flags(IDENTITY) {}

Qe_Tran::Qe_Tran(const matrix& m, const Qe_Vec& t, double s, bool rotate, bool reflect, bool shear)
    : m_m(m), m_t(t), m_s(s), m_flags(0)
{
    if (rotate) m_flags |= ROTATE;
    if (reflect) m_flags |= REFLECT;
    if (shear) m_flags |= SHEAR;
    if (*this == Qe_Tran()) m_flags |= IDENTITY;
}

Qe_Tran::Qe_Tran(const Qe_Tran& other) : Qe_Tran()
{
    *this = other;
}

Qe_Tran& Qe_Tran::operator=(const Qe_Tran& other)
{
    if (other.identity()) {
        m_m = identity_matrix();
        m_t = Qe_Vec(0, 0, 0);
        m_s = 1.0;
        m_flags = IDENTITY;
    } else {
        m_m = other.m_m;
        m_t = other.m_t;
        m_s = other.m_s;
        m_flags = other.m_flags;
    }
    return *this;
}

matrix Qe_Tran::affine() const { return identity() ? identity_matrix() : m_m; }

Qe_Vec Qe_Tran::translation() const { return identity() ? Qe_Vec(0, 0, 0) : m_t; }

double Qe_Tran::scaling() const { return m_s; }

bool Qe_Tran::rotate() const { return (m_flags & (3u << 0)) != 0; }

bool Qe_Tran::reflect() const { return (m_flags & (3u << 2)) != 0; }

bool Qe_Tran::shear() const { return (m_flags & (3u << 4)) != 0; }

bool Qe_Tran::identity() const { return m_flags >= IDENTITY; }

bool Qe_Tran::operator==(const Qe_Tran& o) const
{
    if (m_s != o.m_s) return false;
    for (int i = 0; i < 3; ++i)
        if (m_t.component(i) != o.m_t.component(i)) return false;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (m_m.element(i, j) != o.m_m.element(i, j)) return false;
    return true;
}

bool Qe_Tran::operator!=(const Qe_Tran& o) const { return !(*this == o); }

Qe_Tran& Qe_Tran::operator*=(const Qe_Tran& b)
{
    if (b.identity()) return *this;
    return *this = *this * b;
}

Qe_Tran Qe_Tran::inverse() const
{
    if (identity()) return Qe_Tran();
    if (shear()) {
        matrix mi = m_m.inverse();
        const double e = std::sqrt(mi.element(0, 0) * mi.element(0, 0) + mi.element(1, 1) * mi.element(1, 1) +
                                   mi.element(2, 2) * mi.element(2, 2));
        mi = (1.0 / e) * mi;
        const double k = e / m_s;
        return Qe_Tran(mi, -((m_t * mi) * k), k, rotate(), reflect(), shear());
    }
    const Qe_Tran t2(m_m.transpose(), Qe_Vec(0, 0, 0), 1.0 / m_s, rotate(), reflect(), shear());
    return translate_transf(-m_t) * t2;
}

Qe_Tran restore_transf(const matrix& m, const Qe_Vec& t, double s, bool rotate, bool reflect, bool shear)
{
    return Qe_Tran(m, t, s, rotate, reflect, shear);
}

Qe_Tran scale_transf(double s) { return Qe_Tran(identity_matrix(), Qe_Vec(0, 0, 0), s, false, s < 0.0, false); }

Qe_Tran scale_transf(double sx, double sy, double sz)
{
    if (std::fabs(sx - sy) < resmch && std::fabs(sy - sz) < resmch) return scale_transf(sx);
    const double l = std::sqrt(sx * sx + sy * sy + sz * sz);
    return Qe_Tran(scaling(sx / l, sy / l, sz / l), Qe_Vec(0, 0, 0), l, false, sx * sy * sz < 0.0, true);
}

Qe_Tran rotate_transf(double angle, const Qe_Vec& axis)
{
    return Qe_Tran(rotation(angle, axis), Qe_Vec(0, 0, 0), 1.0, angle != 0.0, false, false);
}

Qe_Tran reflect_transf(const Qe_Vec& normal)
{
    const int nonzero = (normal.x() != 0.0) + (normal.y() != 0.0) + (normal.z() != 0.0);
    return Qe_Tran(reflection(normal), Qe_Vec(0, 0, 0), 1.0, nonzero >= 2, true, false);
}

Qe_Tran translate_transf(const Qe_Vec& v) { return Qe_Tran(identity_matrix(), v, 1.0, false, false, false); }

Qe_Tran coordinate_transf(const Qe_Pt& origin, const Qe_Uvec& xdir, const Qe_Uvec& ydir)
{
    const Qe_Uvec y = normalise(ydir - (ydir % xdir) * xdir);
    const Qe_Vec z = xdir * y;
    const bool axes = same_point(Qe_Pt(xdir.x(), xdir.y(), xdir.z()), Qe_Pt(1, 0, 0), resabs) &&
                      same_point(Qe_Pt(y.x(), y.y(), y.z()), Qe_Pt(0, 1, 0), resabs);
    return Qe_Tran(matrix(xdir, y, z), Qe_Vec(origin.x(), origin.y(), origin.z()), 1.0, !axes, false, false);
}

Qe_Tran operator*(const Qe_Tran& a, const Qe_Tran& b)
{
    if (a.identity()) return b.identity() ? Qe_Tran() : Qe_Tran(b);
    if (b.identity()) return a;
    const matrix bm = b.affine();
    return Qe_Tran(a.affine() * bm, (a.translation() * bm) * b.scaling() + b.translation(), a.scaling() * b.scaling(),
                   a.rotate() || b.rotate(), a.reflect() != b.reflect(), a.shear() || b.shear());
}

Qe_Tran operator*(const Qe_Tran& a, const Qe_Tran* b) { return b ? a * *b : Qe_Tran(a); }

Qe_Vec operator*(const Qe_Vec& v, const Qe_Tran& t)
{
    if (t.identity()) return v;
    return (v * t.affine()) * t.scaling();
}

Qe_Vec operator*(const Qe_Vec& v, const Qe_Tran* t) { return is_null_or_identity(t) ? v : v * *t; }

Qe_Uvec operator*(const Qe_Uvec& u, const Qe_Tran& t)
{
    if (t.identity()) return u;
    const Qe_Vec v = static_cast<const Qe_Vec&>(u) * t.affine();
    Qe_Uvec r(u);
    r.set_x(v.x());
    r.set_y(v.y());
    r.set_z(v.z());
    return r;
}

Qe_Uvec operator*(const Qe_Uvec& u, const Qe_Tran* t) { return is_null_or_identity(t) ? u : u * *t; }

Qe_Pt& Qe_Pt::operator*=(const Qe_Tran& t) { return *this = *this * t; }

Qe_Vec& Qe_Vec::operator*=(const Qe_Tran& t) { return *this = *this * t; }

Qe_Uvec& Qe_Uvec::operator*=(const Qe_Tran& t) { return *this = *this * t; }
