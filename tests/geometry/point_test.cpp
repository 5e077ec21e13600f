#include <gtest/gtest.h>

#include <cmath>

#include "geometry/angles.h"
#include "geometry/point.h"
#include "geometry/tolerance.h"
#include "geometry/unit_dirs.h"

namespace {

void expect_vec(const Qe_Vec& v, double x, double y, double z)
{
    EXPECT_DOUBLE_EQ(v.x(), x);
    EXPECT_DOUBLE_EQ(v.y(), y);
    EXPECT_DOUBLE_EQ(v.z(), z);
}

TEST(Tolerances, InitialValuesAndFlags)
{
    EXPECT_EQ(resabs, 1e-6);
    EXPECT_EQ(resnor, 1e-10);
    EXPECT_EQ(resfit, 1e-3);
    EXPECT_EQ(resmch, 1e-10);
    EXPECT_TRUE(g_y_dir);
    EXPECT_TRUE(g_x_dir);
    EXPECT_EQ(TWO_PI, 6.283185307179586);
    EXPECT_EQ(HALF_PI, 1.5707963267948966);
    EXPECT_EQ(THREE_HALF_PI, 4.71238898038469);
}

TEST(Tolerances, UnitDirectionTableUsesSixDigitLiterals)
{
    EXPECT_EQ(UNIT_DIRS16[1].x(), 0.92388);
    EXPECT_EQ(UNIT_DIRS16[1].y(), 0.382683);
    EXPECT_EQ(UNIT_DIRS16[10].x(), -0.707107);
    EXPECT_EQ(UNIT_DIRS16[13].y(), -0.92388);
    for (int k = 0; k < 16; ++k) {
        const double a = k * 22.5 * M_PI / 180.0;
        EXPECT_NEAR(UNIT_DIRS16[k].x(), std::cos(a), 1e-6) << k;
        EXPECT_NEAR(UNIT_DIRS16[k].y(), std::sin(a), 1e-6) << k;
        EXPECT_EQ(UNIT_DIRS16[k].z(), 0.0);
    }
}

TEST(Values, ConstructionIsZeroedAndNormalised)
{
    expect_vec(Qe_Vec(), 0, 0, 0);
    Qe_Pt p;
    EXPECT_EQ(p.x(), 0.0);
    double xyz[3] = {1, 2, 3};
    EXPECT_EQ(Qe_Pt(xyz).z(), 3.0);
    expect_vec(Qe_Uvec(3, 4, 0), 0.6, 0.8, 0);
    expect_vec(Qe_Uvec(1e-11, 0, 0), 0, 0, 0);
    expect_vec(Qe_Uvec(1e-10, 0, 0), 1, 0, 0);  // exactly resnor is still normalised
    Qe_Uvec u(0, 0, 2);
    Qe_Uvec copy(u);
    expect_vec(copy, 0, 0, 1);
}

TEST(Values, AccessorsAndIndexedCoordinates)
{
    Qe_Pt p(1, 2, 3);
    p.coordinate(1) = 5;
    p.set_coordinate(2, 7);
    p.x() += 1;
    EXPECT_EQ(p.x(), 2.0);
    EXPECT_EQ(p.y(), 5.0);
    EXPECT_EQ(p.coordinate(2), 7.0);
    Qe_Vec v(1, 2, 3);
    v.set_component(0, -1);
    EXPECT_EQ(v.component(0), -1.0);
}

TEST(Values, Arithmetic)
{
    const Qe_Pt p(1, 2, 3), q(4, 6, 3);
    const Qe_Vec v(1, 0, -1), w(0, 2, 1);
    expect_vec(p - q, -3, -4, 0);
    const Qe_Pt r = p + v;
    EXPECT_TRUE(same_point(r, Qe_Pt(2, 2, 2), 0));
    EXPECT_TRUE(same_point(v + p, r, 0));
    EXPECT_TRUE(same_point(r - v, p, 0));
    expect_vec(v + w, 1, 2, 0);
    expect_vec(v - w, 1, -2, -2);
    expect_vec(-v, -1, 0, 1);
    expect_vec(2.0 * v, 2, 0, -2);
    expect_vec(v * 2.0, 2, 0, -2);
    expect_vec(w / 2.0, 0, 1, 0.5);
    EXPECT_TRUE(same_point(p * 2.0, Qe_Pt(2, 4, 6), 0));
    Qe_Vec a = v;
    a += w;
    a -= v;
    a *= 3;
    a /= 2;
    expect_vec(a, 0, 3, 1.5);
    Qe_Pt b = p;
    b += v;
    b -= w;
    EXPECT_TRUE(same_point(b, Qe_Pt(2, 0, 1), 0));
    EXPECT_DOUBLE_EQ(v % w, -1.0);
    EXPECT_DOUBLE_EQ(p % v, -2.0);
    EXPECT_DOUBLE_EQ(v % p, -2.0);
    const Qe_Uvec u(0, 1, 0);
    EXPECT_DOUBLE_EQ(p % u, 2.0);
    EXPECT_DOUBLE_EQ(u % p, 2.0);
    expect_vec(Qe_Vec(1, 0, 0) * Qe_Vec(0, 1, 0), 0, 0, 1);
    const Qe_Pt pu = Qe_Pt(1, 0, 0) * Qe_Uvec(0, 1, 0);
    EXPECT_TRUE(same_point(pu, Qe_Pt(0, 0, 1), 0));
    const Qe_Pt up = Qe_Uvec(0, 1, 0) * Qe_Pt(1, 0, 0);
    EXPECT_TRUE(same_point(up, Qe_Pt(0, 0, -1), 0));
    expect_vec(-Qe_Uvec(0, 3, 0), 0, -1, 0);
    expect_vec(normalise(Qe_Vec(0, 0, -5)), 0, 0, -1);
    EXPECT_TRUE(same_point(interpolate(0.5, p, q), Qe_Pt(2.5, 4, 3), 0));
    EXPECT_TRUE(same_point(interpolate(2, p, q), Qe_Pt(7, 10, 3), 0));
    EXPECT_TRUE(same_point(interpolate(0, p, q), p, 0));
}

TEST(Values, LengthMaxNormOrthogonals)
{
    EXPECT_DOUBLE_EQ(Qe_Vec(3, 4, 12).len(), 13.0);
    EXPECT_DOUBLE_EQ(Qe_Vec(3, 4, 12).len_sq(), 169.0);
    struct Case {
        Qe_Vec v;
        double norm;
        int index;
    } cases[] = {{{1, 1, 0}, 1, 1}, {{1, 1, 1}, 1, 2}, {{2, 1, 1}, 2, 0}, {{-3, 1, 2}, 3, 0}, {{0, 0, 0}, 0, 2},
                 {{1, -4, 3}, 4, 1}};
    for (const auto& c : cases) {
        int index = -1;
        EXPECT_EQ(c.v.max_norm(index), c.norm);
        EXPECT_EQ(index, c.index);
    }
    expect_vec(Qe_Vec(0, 0, 0).orthogonal(), 0, 0, 1);
    expect_vec(Qe_Vec(5, 1, 0).orthogonal(), 0, 0, 1);
    expect_vec(Qe_Vec(1, 0, 0).make_ortho(), 0, 0, 1);
    expect_vec(Qe_Vec(0, 1, 0).make_ortho(), 0, 0, -1);
    EXPECT_TRUE(Qe_Vec(1e-7, -1e-7, 0).is_zero(1e-6));
    EXPECT_FALSE(Qe_Vec(1e-6, 1e-6, 0).is_zero(1e-6));  // inside the box, outside the sphere
}

TEST(Values, SamePointBoxThenSphere)
{
    EXPECT_TRUE(same_point(Qe_Pt(1, 2, 3), Qe_Pt(1, 2, 3), 0));
    EXPECT_FALSE(same_point(Qe_Pt(1, 2, 3), Qe_Pt(1, 2, std::nextafter(3.0, 4.0)), 0));
    EXPECT_FALSE(same_point(Qe_Pt(0, 0, 0), Qe_Pt(1e-6, 1e-6, 0), 1e-6));
    EXPECT_TRUE(same_point(Qe_Pt(0, 0, 0), Qe_Pt(1e-6, 0, 0), 1e-6));
    EXPECT_FALSE(same_vector(Qe_Vec(0, 0, 0), Qe_Vec(0, 0, 2e-6), 1e-6));
}

enum Pred { PAR = 1, ANTI = 2, BI = 4, PERP = 8 };

int predicates(const Qe_Vec& a, const Qe_Vec& b, double tol)
{
    return (parallel(a, b, tol) ? PAR : 0) | (antiparallel(a, b, tol) ? ANTI : 0) | (biparallel(a, b, tol) ? BI : 0) |
           (perpendicular(a, b, tol) ? PERP : 0);
}
int predicates(const Qe_Uvec& a, const Qe_Vec& b, double tol)
{
    return (parallel(a, b, tol) ? PAR : 0) | (antiparallel(a, b, tol) ? ANTI : 0) | (biparallel(a, b, tol) ? BI : 0) |
           (perpendicular(a, b, tol) ? PERP : 0);
}
int predicates(const Qe_Uvec& a, const Qe_Uvec& b, double tol)
{
    return (parallel(a, b, tol) ? PAR : 0) | (antiparallel(a, b, tol) ? ANTI : 0) | (biparallel(a, b, tol) ? BI : 0) |
           (perpendicular(a, b, tol) ? PERP : 0);
}

TEST(Values, DirectionPredicates)
{
    const double tol = 1e-6;
    // Two plain vectors.
    EXPECT_EQ(predicates(Qe_Vec(0, 0, 0), Qe_Vec(3, 1, 0), tol), PAR | ANTI | BI | PERP);
    EXPECT_EQ(predicates(Qe_Vec(2, 0, 0), Qe_Vec(5, 0, 0), tol), PAR | BI);
    EXPECT_EQ(predicates(Qe_Vec(2, 0, 0), Qe_Vec(-5, 0, 0), tol), ANTI | BI);
    EXPECT_EQ(predicates(Qe_Vec(2, 0, 0), Qe_Vec(0, 5, 0), tol), PERP);
    EXPECT_EQ(predicates(Qe_Vec(1, 0, 0), Qe_Vec(1, 1e-3, 0), tol), 0);  // sine 1e-3 above tol
    EXPECT_EQ(predicates(Qe_Vec(1, 0, 0), Qe_Vec(1, 1e-7, 0), tol), PAR | BI);
    // Unit vector and vector: a zero Qe_Vec passes, the length of b scales the tests.
    EXPECT_EQ(predicates(Qe_Uvec(1, 0, 0), Qe_Vec(0, 0, 0), tol), PAR | ANTI | BI | PERP);
    EXPECT_EQ(predicates(Qe_Uvec(1, 0, 0), Qe_Vec(-1000, 1e-4, 0), tol), ANTI | BI);
    EXPECT_EQ(predicates(Qe_Uvec(0, 1, 0), Qe_Vec(1000, 1e-4, 0), tol), PERP);
    // Two unit vectors: a zero unit vector is perpendicular to everything, parallel to nothing.
    EXPECT_EQ(predicates(Qe_Uvec(0, 0, 0), Qe_Uvec(1, 0, 0), tol), PERP);
    EXPECT_EQ(predicates(Qe_Uvec(1, 1, 0), Qe_Uvec(1, 1, 0), 0.0), PAR | BI);
    EXPECT_EQ(predicates(Qe_Uvec(1, 1, 0), Qe_Uvec(-1, -1, 0), tol), ANTI | BI);
}

}  // namespace
