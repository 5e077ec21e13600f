#include "kernel/entities/full_transform.h"

#include <cmath>
#include <utility>

#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/group.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/hatch_lines.h"
#include "kernel/entities/image.h"
#include "kernel/entities/insert.h"
#include "kernel/entities/polyline.h"

namespace {

constexpr double k_two_pi = 2.0 * M_PI;
// Relative tolerance under which the two axes of a map count as equally long and square.
constexpr double k_similar_tol = 1e-9;

// The linear part of a map of the plane: the images of the x and y unit vectors.
struct Plane_Map {
    Qe_Vec ex, ey;

    explicit Plane_Map(const Qe_Tran& t) : ex(Qe_Vec(1.0, 0.0, 0.0) * t), ey(Qe_Vec(0.0, 1.0, 0.0) * t) {}

    double det() const { return ex.x() * ey.y() - ex.y() * ey.x(); }
    bool mirrors() const { return det() < 0.0; }
    // The factor by which areas change, as a length.
    double area_scale() const { return std::sqrt(std::fabs(det())); }
    // A rotation and a uniform scale, possibly mirrored: circles stay circles.
    bool similar() const
    {
        const double a = ex.x() * ex.x() + ex.y() * ex.y(), b = ey.x() * ey.x() + ey.y() * ey.y();
        const double m = std::max(a, b);
        if (!(m > 0.0)) return false;
        const double dot = ex.x() * ey.x() + ex.y() * ey.y();
        return std::fabs(a - b) <= k_similar_tol * m && std::fabs(dot) <= k_similar_tol * m;
    }
    // The direction the x axis turns to.
    double turn() const { return std::atan2(ex.y(), ex.x()); }
    Qe_Vec apply(const Qe_Vec& v) const { return v.x() * ex + v.y() * ey; }
};

double wrap(double a)
{
    a = std::fmod(a, k_two_pi);
    return a < 0.0 ? a + k_two_pi : a;
}

// An ellipse given by conjugate semi-diameters, p(t) = c + u cos t + v sin t, in principal
// form: p = c + a cos s + n sin s with a the major axis (at angle), n the minor axis a
// quarter turn counter-clockwise from it, and s = t − shift, or shift − t when reversed.
struct Principal {
    double major = 0.0, minor = 0.0, angle = 0.0, shift = 0.0;
    bool reversed = false;
};

Principal principal(const Qe_Vec& u, const Qe_Vec& v)
{
    Principal p;
    const double t0 = 0.5 * std::atan2(2.0 * (u % v), (u % u) - (v % v));
    const Qe_Vec a = u * std::cos(t0) + v * std::sin(t0);
    const Qe_Vec b = u * -std::sin(t0) + v * std::cos(t0);
    p.major = a.len();
    p.minor = b.len();
    p.angle = wrap(std::atan2(a.y(), a.x()));
    p.shift = t0;
    p.reversed = b % Qe_Vec(-std::sin(p.angle), std::cos(p.angle), 0.0) < 0.0;
    return p;
}

// The arc from start to end in the parameter sense, as drawn: its sweep in (0, 2π].
double param_sweep(double start, double end)
{
    if (start > end) start -= k_two_pi;
    return std::min(end - start, k_two_pi);
}

// The parameters of the mapped arc: the same sweep from the image of the start (or, when
// the sense reverses, of the end).
std::pair<double, double> mapped_params(const Principal& p, double start, double end)
{
    const double sweep = param_sweep(start, end);
    const double s = wrap(p.reversed ? p.shift - end : start - p.shift);
    double e = s + sweep;
    if (sweep < k_two_pi && e >= k_two_pi) e -= k_two_pi;
    return {s, e};
}

void set_principal(MB_Ellipse& e, const Qe_Pt& centre, const Principal& p)
{
    e.center(centre);
    e.major(p.major);
    e.minor(p.minor);
    e.angle(p.angle);
}

MB_Drawable* map_ellipse(MB_Ellipse& e, const Qe_Tran& t)
{
    const Plane_Map m(t);
    const Principal p = principal(m.apply(e.get_major_vector()), m.apply(e.get_minor_vector()));
    e.modify_cmd();
    if (auto* arc = dynamic_cast<MB_Ellipse_Arc*>(&e)) {
        const auto [s, end] = mapped_params(p, arc->start_param(), arc->end_param());
        arc->start_param(s);
        arc->end_param(end);
    }
    set_principal(e, e.center() * t, p);
    return &e;
}

// A circle or arc under a map that is not a similarity: an ellipse (arc) in its place.
MB_Drawable* circle_as_ellipse(MB_Circle& c, const Qe_Tran& t, const double* params)
{
    const Plane_Map m(t);
    const Principal p = principal(m.ex * c.radius(), m.ey * c.radius());
    MB_Ellipse* e = nullptr;
    if (params) {
        const auto [s, end] = mapped_params(p, params[0], params[1]);
        e = new MB_Ellipse_Arc(c.center() * t, p.major, p.minor, p.angle, s, end);
    } else {
        e = new MB_Ellipse(c.center() * t, p.major, p.minor, p.angle);
    }
    MB_Object* target = e;
    (void)c.MB_Drawable::copy_to(target);
    return e;
}

MB_Drawable* map_arc(MB_Arc& a, const Qe_Tran& t)
{
    const Plane_Map m(t);
    if (!m.similar()) {
        const double params[2] = {a.start_angle(), a.end_angle()};
        return circle_as_ellipse(a, t, params);
    }
    a.build_start_end_pos();
    const Qe_Pt c = a.center() * t;
    Qe_Pt s = a.start() * t, e = a.end() * t;
    // A mirror turns the arc clockwise: its ends change places to keep it counter-clockwise.
    if (m.mirrors()) std::swap(s, e);
    a.center(c);
    a.radius(a.radius() * m.area_scale());
    a.start_angle(mb_polar_angle(s - c));
    a.end_angle(mb_polar_angle(e - c));
    a.build_start_end_pos();
    return &a;
}

MB_Drawable* map_circle(MB_Circle& c, const Qe_Tran& t)
{
    const Plane_Map m(t);
    if (!m.similar()) return circle_as_ellipse(c, t, nullptr);
    c.center(c.center() * t);
    c.radius(c.radius() * m.area_scale());
    return &c;
}

MB_Drawable* map_polyline(MB_Polyline& p, const Qe_Tran& t)
{
    const Plane_Map m(t);
    const double k = m.area_scale();
    const bool mirror = m.mirrors();
    p.modify_cmd();
    MB_Pline_Pos* v = p.pline_pos();
    for (int i = 0; v && i < p.count(); ++i) {
        v[i].point *= t;
        v[i].start_width *= k;
        v[i].end_width *= k;
        if (mirror) v[i].bulge = -v[i].bulge;
    }
    p.global_width(p.global_width() * k);
    return &p;
}

MB_Drawable* map_hatch(MB_Hatch& h, const Qe_Tran& t)
{
    const Plane_Map m(t);
    h.translate(t, 0);
    h.base_pos(h.base_pos() * t);
    MB_Hatch_Type* pattern = h.get_hatchtype();
    // A direction at angle α goes to turn + α, or to turn − α under a mirror.
    const double a = pattern->angle();
    pattern->angle(wrap(m.mirrors() ? m.turn() - a : m.turn() + a));
    pattern->scale(pattern->scale() * m.area_scale());
    return &h;
}

// The frame stays axis-aligned (the picture is not drawn turned): the centre moves, each side
// takes the length its axis maps to, and the kept angle turns with the map.
MB_Drawable* map_image(MB_Image& image, const Qe_Tran& t)
{
    const Plane_Map m(t);
    image.modify_cmd();
    image.center(image.center() * t);
    image.width(image.width() * m.ex.len());
    image.height(image.height() * m.ey.len());
    image.angle(wrap(m.mirrors() ? m.turn() - image.angle() : m.turn() + image.angle()));
    return &image;
}

// The curve through mapped fit (or control) points is the mapped curve for the maps a
// reference makes of a similar shape; the end tangents turn with it.
MB_Drawable* map_bspline(MB_Bspline& b, const Qe_Tran& t)
{
    const Plane_Map m(t);
    b.translate(t, 0);
    const Qe_Vec s = m.apply(b.starttangent()), e = m.apply(b.endtangent());
    b.starttangent(normalise(s));
    b.endtangent(normalise(e));
    return &b;
}

// Every member whole; a member that changes kind is replaced in place.
MB_Drawable* map_group(MB_Group& g, const Qe_Tran& t)
{
    g.modify_cmd();
    g.base_pt(g.base_pt() * t);
    for (Qe_Void_Node* n = g.object_list().head(); n; n = n->next()) {
        auto* member = static_cast<MB_Drawable*>(n->entity());
        if (!member) continue;
        MB_Drawable* mapped = apply_full_transform(*member, t);
        if (mapped != member) {
            n->entity(mapped);
            delete member;
        }
        mapped->build_draw();
    }
    return &g;
}

MB_Drawable* map_insert(MB_Insert& ins, const Qe_Tran& t)
{
    const Plane_Map m(t);
    const double* s = ins.scale();
    const double a = ins.angle();
    // The reference's own map sends x to sx (cos a, sin a) and y to sy (−sin a, cos a).
    const Qe_Vec x = m.apply(Qe_Vec(s[0] * std::cos(a), s[0] * std::sin(a), 0.0));
    const Qe_Vec y = m.apply(Qe_Vec(-s[1] * std::sin(a), s[1] * std::cos(a), 0.0));
    const double angle = std::atan2(x.y(), x.x());
    const double scales[3] = {x.len(), y % Qe_Vec(-std::sin(angle), std::cos(angle), 0.0), s[2]};
    ins.modify_cmd();
    ins.point(ins.point() * t);
    ins.angle(wrap(angle));
    ins.scale(scales);
    ins.build_transf();
    if (auto* array = dynamic_cast<MB_Minsert*>(&ins)) array->map_cells(t);
    return &ins;
}

}  // namespace

MB_Drawable* apply_full_transform(MB_Drawable& entity, const Qe_Tran& t)
{
    if (auto* ins = dynamic_cast<MB_Insert*>(&entity)) return map_insert(*ins, t);
    if (auto* e = dynamic_cast<MB_Ellipse*>(&entity)) return map_ellipse(*e, t);
    if (auto* a = dynamic_cast<MB_Arc*>(&entity)) return map_arc(*a, t);
    if (auto* c = dynamic_cast<MB_Circle*>(&entity)) return map_circle(*c, t);
    if (auto* p = dynamic_cast<MB_Polyline*>(&entity)) return map_polyline(*p, t);
    if (auto* h = dynamic_cast<MB_Hatch*>(&entity)) return map_hatch(*h, t);
    if (auto* i = dynamic_cast<MB_Image*>(&entity)) return map_image(*i, t);
    if (auto* b = dynamic_cast<MB_Bspline*>(&entity)) return map_bspline(*b, t);
    if (auto* g = dynamic_cast<MB_Group*>(&entity)) return map_group(*g, t);
    // Lines, chains, points, solids, faces and meshes are their points.
    entity.translate(t, 0);
    return &entity;
}

double mb_max_stretch(const Qe_Tran& t)
{
    const Plane_Map m(t);
    const double p = m.ex.x() * m.ex.x() + m.ex.y() * m.ex.y();
    const double q = m.ey.x() * m.ey.x() + m.ey.y() * m.ey.y();
    const double r = m.ex.x() * m.ey.x() + m.ex.y() * m.ey.y();
    const double h = 0.5 * (p - q);
    return std::sqrt(std::max(0.0, 0.5 * (p + q) + std::sqrt(h * h + r * r)));
}
