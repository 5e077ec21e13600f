#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "geometry/angles.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

namespace {

// Reference: 4 x 4 homogeneous matrices in long double acting on row vectors [x y z 1].
using H = std::array<std::array<long double, 4>, 4>;

H h_identity()
{
    H h{};
    for (int i = 0; i < 4; ++i) h[i][i] = 1;
    return h;
}

H h_mul(const H& a, const H& b)
{
    H r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}

std::array<long double, 3> h_apply(const H& h, const Qe_Pt& p)
{
    const long double v[4] = {p.x(), p.y(), p.z(), 1};
    std::array<long double, 3> r{};
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 4; ++k) r[j] += v[k] * h[k][j];
    return r;
}

H h_translate(long double x, long double y, long double z)
{
    H h = h_identity();
    h[3][0] = x, h[3][1] = y, h[3][2] = z;
    return h;
}

H h_scale(long double sx, long double sy, long double sz)
{
    H h = h_identity();
    h[0][0] = sx, h[1][1] = sy, h[2][2] = sz;
    return h;
}

// Rows are the images of the basis vectors under Rodrigues' rotation formula.
H h_rotate(long double angle, long double ax, long double ay, long double az)
{
    const long double l = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= l, ay /= l, az /= l;
    const long double c = std::cos(angle), s = std::sin(angle);
    H h = h_identity();
    for (int i = 0; i < 3; ++i) {
        const long double p[3] = {i == 0 ? 1.0L : 0.0L, i == 1 ? 1.0L : 0.0L, i == 2 ? 1.0L : 0.0L};
        const long double cr[3] = {ay * p[2] - az * p[1], az * p[0] - ax * p[2], ax * p[1] - ay * p[0]};
        const long double d = ax * p[0] + ay * p[1] + az * p[2];
        const long double u[3] = {ax, ay, az};
        for (int j = 0; j < 3; ++j) h[i][j] = p[j] * c + cr[j] * s + u[j] * d * (1 - c);
    }
    return h;
}

// Mirror of each basis vector in the plane through the origin with normal n.
H h_reflect(long double nx, long double ny, long double nz)
{
    const long double l2 = nx * nx + ny * ny + nz * nz;
    const long double n[3] = {nx, ny, nz};
    H h = h_identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) h[i][j] = (i == j ? 1 : 0) - 2 * n[i] * n[j] / l2;
    return h;
}

H h_from(const matrix& m, const Qe_Vec& t, double s)
{
    H h = h_identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) h[i][j] = (long double)m.element(i, j) * s;
    for (int j = 0; j < 3; ++j) h[3][j] = t.component(j);
    return h;
}

void expect_maps_like(const Qe_Tran& t, const H& h, const Qe_Pt& p, double tol)
{
    const Qe_Pt q = p * t;
    const auto r = h_apply(h, p);
    EXPECT_NEAR(q.x(), (double)r[0], tol);
    EXPECT_NEAR(q.y(), (double)r[1], tol);
    EXPECT_NEAR(q.z(), (double)r[2], tol);
}

struct Kind {
    const char* name;
    Qe_Tran tran;
    H ref;
    unsigned char flags;
};

std::vector<Kind> kinds()
{
    const matrix shear({1, 1, 0}, {0, 1, 0}, {0, 0, 1});
    const matrix shear2({1, 0.5, 0}, {0.25, 1, 0}, {0, 0, 2});
    return {
        {"translate", translate_transf(Qe_Vec(3, -2, 1)), h_translate(3, -2, 1), 0},
        {"rotate z", rotate_transf(0.7, Qe_Vec(0, 0, 1)), h_rotate(0.7L, 0, 0, 1), 1},
        {"rotate axis", rotate_transf(-2.1, Qe_Vec(1, 2, 3)), h_rotate(-2.1L, 1, 2, 3), 1},
        {"uniform scale", scale_transf(2.5), h_scale(2.5, 2.5, 2.5), 0},
        {"mirror scale", scale_transf(-1), h_scale(-1, -1, -1), 4},
        {"non-uniform scale", scale_transf(1, 2, 2), h_scale(1, 2, 2), 16},
        {"non-uniform mirror", scale_transf(-3, 2, 0.5), h_scale(-3, 2, 0.5), 4 | 16},
        {"reflect x", reflect_transf(Qe_Vec(1, 0, 0)), h_reflect(1, 0, 0), 4},
        {"reflect diagonal", reflect_transf(Qe_Vec(1, 1, 0)), h_reflect(1, 1, 0), 1 | 4},
        {"shear", restore_transf(shear, Qe_Vec(1, 1, 0), 1.0, false, false, true), h_from(shear, Qe_Vec(1, 1, 0), 1.0),
         16},
        {"scaled shear", restore_transf(shear2, Qe_Vec(-4, 2, 1), 3.0, false, false, true),
         h_from(shear2, Qe_Vec(-4, 2, 1), 3.0), 16},
    };
}

const Qe_Pt kProbes[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-3.5, 7.25, 2}, {100, -40, 0.5}};

TEST(Transform, EachKindMapsLikeReferenceAndSetsItsFlags)
{
    for (const auto& k : kinds()) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(k.tran.flags(), k.flags);
        for (const auto& p : kProbes) expect_maps_like(k.tran, k.ref, p, 1e-12);
    }
}

TEST(Transform, InverseRoundTripsEveryKind)
{
    for (const auto& k : kinds()) {
        SCOPED_TRACE(k.name);
        const Qe_Tran inv = k.tran.inverse();
        const Qe_Tran both = k.tran * inv;
        for (const auto& p : kProbes) {
            EXPECT_TRUE(same_point((p * k.tran) * inv, p, 1e-11));
            EXPECT_TRUE(same_point(p * both, p, 1e-11));
        }
    }
}

TEST(Transform, RandomCompositionsMatchReferenceProducts)
{
    const auto ks = kinds();
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<size_t> pick(0, ks.size() - 1);
    std::uniform_real_distribution<double> coord(-50, 50);
    for (int round = 0; round < 200; ++round) {
        Qe_Tran t;
        H h = h_identity();
        const int n = 1 + round % 5;
        for (int i = 0; i < n; ++i) {
            const auto& k = ks[pick(rng)];
            t = t * k.tran;  // left factor first
            h = h_mul(h, k.ref);
        }
        const Qe_Pt p(coord(rng), coord(rng), coord(rng));
        const auto r = h_apply(h, p);
        const double scale = 1 + std::fabs((double)r[0]) + std::fabs((double)r[1]) + std::fabs((double)r[2]);
        expect_maps_like(t, h, p, 1e-9 * scale);
        // Composition is associative in effect: p * (A * B) == (p * A) * B.
        const auto& a = ks[pick(rng)];
        const auto& b = ks[pick(rng)];
        EXPECT_TRUE(same_point(p * (a.tran * b.tran), (p * a.tran) * b.tran, 1e-9 * scale));
    }
}

TEST(Transform, IdentityCanonicalisation)
{
    const matrix id({1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    const Qe_Tran r(id, Qe_Vec(0, 0, 0), 1.0, true, false, false);
    EXPECT_TRUE(r.identity());
    EXPECT_TRUE(same_point(Qe_Pt(1, 2, 3) * r, Qe_Pt(1, 2, 3), 0));
    EXPECT_TRUE(translate_transf(Qe_Vec(0, 0, 0)).identity());
    EXPECT_TRUE(scale_transf(1.0).identity());
    EXPECT_TRUE(scale_transf(2, 2, 2) == scale_transf(2.0));
    EXPECT_FALSE(scale_transf(2, 2, 2).shear());
    const Qe_Tran rz = rotate_transf(0.0, Qe_Vec(0, 0, 1));
    EXPECT_FALSE(rz.rotate());
    EXPECT_TRUE(rz.identity());
    Qe_Tran copy(r);
    EXPECT_EQ(copy.flags(), 64);
    // Two mirrors make no mirror.
    const Qe_Tran two = reflect_transf(Qe_Vec(1, 0, 0)) * reflect_transf(Qe_Vec(0, 1, 0));
    EXPECT_FALSE(two.reflect());
    // A transform times its inverse is exactly the identity for a translation.
    EXPECT_TRUE((translate_transf(Qe_Vec(1, 2, 3)) * translate_transf(Qe_Vec(1, 2, 3)).inverse()).identity());
}

TEST(Transform, WorkedNumbers)
{
    const Qe_Tran ns = scale_transf(1, 2, 2);
    EXPECT_DOUBLE_EQ(ns.scaling(), 3.0);
    EXPECT_DOUBLE_EQ(ns.affine().element(0, 0), 1.0 / 3);
    EXPECT_DOUBLE_EQ(ns.affine().element(1, 1), 2.0 / 3);
    EXPECT_TRUE(same_point(Qe_Pt(1, 1, 1) * ns, Qe_Pt(1, 2, 2), 1e-15));
    EXPECT_TRUE(same_point(Qe_Pt(1, 2, 0) * scale_transf(-1), Qe_Pt(-1, -2, 0), 0));
    EXPECT_TRUE(same_point(Qe_Pt(1, 0, 0) * rotate_transf(HALF_PI, Qe_Vec(0, 0, 1)), Qe_Pt(0, 1, 0), 1e-15));
    // A unit vector goes through the linear part only and is not normalised again.
    const Qe_Uvec u = Qe_Uvec(1, 0, 0) * ns;
    EXPECT_NEAR(u.len(), 1.0 / 3, 1e-15);
    const Qe_Vec v = Qe_Vec(1, 0, 0) * translate_transf(Qe_Vec(5, 5, 5));
    EXPECT_TRUE(same_vector(v, Qe_Vec(1, 0, 0), 0));
}

TEST(Transform, NullTransformIsIdentity)
{
    const Qe_Tran* none = nullptr;
    const Qe_Pt p(1, 2, 3);
    EXPECT_TRUE(same_point(p * none, p, 0));
    EXPECT_TRUE(same_vector(Qe_Vec(1, 2, 3) * none, Qe_Vec(1, 2, 3), 0));
    EXPECT_TRUE(same_vector(Qe_Uvec(0, 1, 0) * none, Qe_Vec(0, 1, 0), 0));
    const Qe_Tran t = translate_transf(Qe_Vec(1, 0, 0));
    EXPECT_TRUE((t * none) == t);
    Qe_Tran u = t;
    u *= Qe_Tran();
    EXPECT_TRUE(u == t);
}

// The point maps are inline in the header; hosts built earlier call them by symbol, so the
// library must still export both, and all three ways must round alike: (p · m) · s + t.
TEST(Transform, PointMapsExportedAndRoundedAlike)
{
    void* lib = dlopen("libFendral.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    using ByRef = Qe_Pt (*)(const Qe_Pt&, const Qe_Tran&);
    using ByPtr = Qe_Pt (*)(const Qe_Pt&, const Qe_Tran*);
    const auto by_ref = reinterpret_cast<ByRef>(dlsym(lib, "_ZmlRK5Qe_PtRK7Qe_Tran"));
    const auto by_ptr = reinterpret_cast<ByPtr>(dlsym(lib, "_ZmlRK5Qe_PtPK7Qe_Tran"));
    ASSERT_NE(by_ref, nullptr);
    ASSERT_NE(by_ptr, nullptr);
    const auto ks = kinds();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-1e4, 1e4);
    for (int round = 0; round < 100; ++round) {
        const Qe_Tran t = ks[round % ks.size()].tran * ks[(round / 3) % ks.size()].tran;
        const Qe_Pt p(coord(rng), coord(rng), coord(rng));
        const Qe_Pt inline_map = p * t, parts = (p * t.affine()) * t.scaling() + t.translation();
        for (const Qe_Pt& q : {by_ref(p, t), by_ptr(p, &t), parts}) {
            EXPECT_EQ(q.x(), inline_map.x()) << round;
            EXPECT_EQ(q.y(), inline_map.y()) << round;
            EXPECT_EQ(q.z(), inline_map.z()) << round;
        }
    }
    const Qe_Pt p(1, 2, 3), none = by_ptr(p, nullptr);
    EXPECT_TRUE(none.x() == 1 && none.y() == 2 && none.z() == 3);
    dlclose(lib);
}

TEST(Transform, CoordinateFrame)
{
    const Qe_Tran f = coordinate_transf(Qe_Pt(10, 20, 0), Qe_Uvec(0, 1, 0), Qe_Uvec(-1, 0.3, 0));
    EXPECT_TRUE(f.rotate());
    // Frame x along world +y, frame y along world -x.
    EXPECT_TRUE(same_point(Qe_Pt(1, 0, 0) * f, Qe_Pt(10, 21, 0), 1e-12));
    EXPECT_TRUE(same_point(Qe_Pt(0, 1, 0) * f, Qe_Pt(9, 20, 0), 1e-12));
    EXPECT_TRUE(same_point(Qe_Pt(0, 0, 1) * f, Qe_Pt(10, 20, 1), 1e-12));
    const Qe_Tran g = coordinate_transf(Qe_Pt(0, 0, 0), Qe_Uvec(1, 0, 0), Qe_Uvec(0, 1, 0));
    EXPECT_FALSE(g.rotate());
    EXPECT_TRUE(g.identity());
}

TEST(Matrix, InverseOfShearWithUnitDeterminantIsTrueInverse)
{
    const matrix shear({1, 1, 0}, {0, 1, 0}, {0, 0, 1});
    ASSERT_NEAR(shear.determinant(), 1.0, 1e-15);
    EXPECT_TRUE((shear * shear.inverse()).is_identity());
    const matrix rot = rotation(0.3, Qe_Vec(1, 1, 1));
    EXPECT_TRUE(same_matrix(rot.inverse(), rot.transpose(), 0));  // orthogonal: transposed
    const matrix general({2, 1, 0}, {0, 3, 1}, {1, 0, 1});
    EXPECT_TRUE((general * general.inverse()).is_identity());
    EXPECT_TRUE((general.inverse() * general).is_identity());
}

TEST(Matrix, ProductsAndForms)
{
    const matrix a({1, 2, 3}, {4, 5, 6}, {7, 8, 10});
    EXPECT_DOUBLE_EQ(a.determinant(), -3.0);
    const Qe_Vec v(1, 0, 2);
    EXPECT_TRUE(same_vector(a * v, Qe_Vec(7, 16, 27), 0));  // column form
    EXPECT_TRUE(same_vector(v * a, Qe_Vec(15, 18, 23), 0));  // row form
    EXPECT_TRUE(same_point(Qe_Pt(1, 0, 2) * a, Qe_Pt(15, 18, 23), 0));
    EXPECT_TRUE(same_point(a * Qe_Pt(1, 0, 2), Qe_Pt(7, 16, 27), 0));
    EXPECT_TRUE(same_vector(a.row(1), Qe_Vec(4, 5, 6), 0));
    EXPECT_TRUE(same_vector(a.column(2), Qe_Vec(3, 6, 10), 0));
    EXPECT_TRUE(same_vector(a.transpose().row(2), Qe_Vec(3, 6, 10), 0));
    matrix b = a;
    b *= 2.0;
    EXPECT_EQ(b.element(2, 2), 20.0);
    matrix c = a;
    c *= scaling(2.0);
    EXPECT_TRUE(same_matrix(c, b, 0));
    matrix d = a;
    d *= scale_transf(2.0);
    EXPECT_TRUE(same_matrix(d, b, 0));
    EXPECT_TRUE(same_matrix(reflection(Qe_Vec(0, 0, 3)), scaling(1, 1, -1), 0));
    EXPECT_TRUE(scaling(Qe_Vec(1, 1, 1)).is_identity());
    EXPECT_FALSE(same_matrix(a, b, 1e-3));
    EXPECT_TRUE(matrix().determinant() == 0.0);
}

}  // namespace
