#include "curves/point_map.h"

#include <cmath>

#include "curves/curve_arrays.h"
#include "curves/curve_status.h"

CPointMap::~CPointMap() = default;
bool CPointMap::is_affine() const
{
    return false;
}
int CPointMap::map_vector(const Qe_Vec&, Qe_Vec&) const
{
    return -1;
}

int CPointMap::map_points_in_place(CPointArray& points) const
{
    for (int i = 0; i < points.count(); ++i) points[i] = map_point(points[i]);
    return curve_status::ok;
}

int CPointMap::map_points(const CPointArray& source, CPointArray& target) const
{
    if (target.count() < source.count()) return curve_status::bad_argument;
    for (int i = 0; i < source.count(); ++i) target[i] = map_point(source[i]);
    return curve_status::ok;
}

CAffineMap::CAffineMap() : m_m{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}} {}

CAffineMap::CAffineMap(const double m[3][3], const Qe_Vec& tr) : m_tr(tr)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m_m[r][c] = m[r][c];
}

bool CAffineMap::is_affine() const
{
    return true;
}

Qe_Pt CAffineMap::map_point(const Qe_Pt& p) const
{
    double out[3];
    for (int r = 0; r < 3; ++r) out[r] = m_m[r][0] * p.x() + m_m[r][1] * p.y() + m_m[r][2] * p.z() + m_tr.component(r);
    return Qe_Pt(out[0], out[1], out[2]);
}

int CAffineMap::map_vector(const Qe_Vec& v, Qe_Vec& out) const
{
    double o[3];
    for (int r = 0; r < 3; ++r) o[r] = m_m[r][0] * v.x() + m_m[r][1] * v.y() + m_m[r][2] * v.z();
    out = Qe_Vec(o[0], o[1], o[2]);
    return curve_status::ok;
}

Qe_Vec CAffineMap::transpose_vector(const Qe_Vec& v) const
{
    double o[3];
    for (int c = 0; c < 3; ++c) o[c] = m_m[0][c] * v.x() + m_m[1][c] * v.y() + m_m[2][c] * v.z();
    return Qe_Vec(o[0], o[1], o[2]);
}

int CAffineMap::invert_from(const CAffineMap& other)
{
    const double(*a)[3] = other.m_m;
    double cof[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r][c] = a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1];
        }
    const double det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    if (!(std::fabs(det) >= 1e-9)) return curve_status::zero_weight;
    double inv[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) inv[r][c] = cof[c][r] / det;
    const Qe_Vec tr = other.m_tr;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m_m[r][c] = inv[r][c];
        m_tr.component(r) = -(inv[r][0] * tr.x() + inv[r][1] * tr.y() + inv[r][2] * tr.z());
    }
    return curve_status::ok;
}
