#pragma once

// Property keys of the entities and the per-class key tables that answer them.
//
// Each entity class lists the keys it handles in small constant tables, one per value kind
// (points, reals, ints), with a getter, an optional setter and the undo column: whether
// the setter records a modification (modify_cmd) before it stores. Keys that a table does
// not list, and listed keys without a setter, fall through to the base class (in the end
// MB_Drawable, whose own handling answers or ignores them).
//
// Use:
//     const MB_Property<MB_Circle, double> k_circle_reals[] = {
//         {mb_key::Radius, [](MB_Circle& c) { return c.radius(); },
//                          [](MB_Circle& c, double v) { c.m_radius = v; }, MB_Undo::Record},
//     };
//     double MB_Circle::get_real(int key)
//     {
//         return mb_get_property(k_circle_reals, *this, key, [&] { return MB_Geom::get_real(key); });
//     }
//     void MB_Circle::set_real(long key, double value)
//     {
//         mb_set_property(k_circle_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); });
//     }
// A class whose every setter records first, whatever the key (circles, arcs, ellipses),
// passes MB_Undo::Record as the last argument of mb_set_property.

#include <cmath>
#include <cstddef>

#include "geometry/plane_geometry.h"
#include "geometry/point.h"

// The keys these entities use; each class's own table says which of them it answers.
namespace mb_key {
enum : int {
    Start = -1,
    End = -2,
    Center = -3,
    Middle = -4,
    Insert_Point = -5,
    Insert_Point2 = -6,
    Length = -100,
    Area = -101,
    Angle = -102,
    Radius = -103,  // also the minor semi-axis
    Major = -104,
    Global_Width = -105,
    Real_Value = -114,
    Start_Angle = -120,
    End_Angle = -121,
    Pattern_Scale = -123,
    Point_Size = -125,
    Color = -200,
    Point_Count = -204,
    Point_Type = -213,
    Loop_Count = -214,
    Text = -301,
    Pattern_Name = -308,
};
}  // namespace mb_key

// The angle of v counter-clockwise from +x about +z, in [0, 2π) (angle properties, and
// the angles entities derive from points).
inline double mb_polar_angle(const Qe_Vec& v)
{
    const double a = angle_between(Qe_Uvec(1.0, 0.0, 0.0), normalise(v), Qe_Uvec(0.0, 0.0, 1.0));
    return a >= 2.0 * M_PI ? 0.0 : a;
}

// The length of the polyline through the n points (0 for fewer than two).
inline double mb_polyline_length(const Qe_Pt* pts, int n)
{
    double total = 0.0;
    for (int i = 1; i < n; ++i) total += (pts[i] - pts[i - 1]).len();
    return total;
}

enum class MB_Undo : bool { None = false, Record = true };

template <class E, class V>
struct MB_Property {
    int key;
    V (*get)(E&);
    void (*set)(E&, V);  // null: the key is read-only here and setting falls through
    MB_Undo undo = MB_Undo::None;
};

template <class E, class V, std::size_t N>
const MB_Property<E, V>* mb_find_property(const MB_Property<E, V> (&table)[N], long key)
{
    for (const MB_Property<E, V>& p : table)
        if (p.key == key) return &p;
    return nullptr;
}

// The table's answer for the key, else fallback().
template <class E, class V, std::size_t N, class Fallback>
V mb_get_property(const MB_Property<E, V> (&table)[N], E& entity, long key, Fallback&& fallback)
{
    const MB_Property<E, V>* p = mb_find_property(table, key);
    return p && p->get ? p->get(entity) : fallback();
}

// Stores through the table's setter (recording first when its undo column says so), else
// fallback(). With every = MB_Undo::Record a modification is recorded for every key,
// before anything else happens.
template <class E, class V, std::size_t N, class Fallback>
void mb_set_property(const MB_Property<E, V> (&table)[N], E& entity, long key, V value, Fallback&& fallback,
                     MB_Undo every = MB_Undo::None)
{
    if (every == MB_Undo::Record) entity.modify_cmd();
    const MB_Property<E, V>* p = mb_find_property(table, key);
    if (!p || !p->set) {
        fallback();
        return;
    }
    if (p->undo == MB_Undo::Record && every != MB_Undo::Record) entity.modify_cmd();
    p->set(entity, value);
}
