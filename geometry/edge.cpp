#include "geometry/edge.h"

#include <cmath>
#include <cstdlib>

#include "geometry/angles.h"
#include "geometry/loop_search.h"
#include "geometry/plane_geometry.h"
#include "geometry/qe_file.h"
#include "geometry/segment_predicates.h"
#include "geometry/tessellation.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

namespace {

// Number of fit points of an arc.
constexpr int ARC_FIT_POINTS = 50;

}  // namespace

Qe_Edge::~Qe_Edge() = default;

bool Qe_Edge::cut(const Qe_Pt&, const Qe_Pt&, Qe_Void_List&) { return false; }
bool Qe_Edge::break_by_point(const Qe_Pt&, Qe_Void_List&) { return false; }
Qe_Pt Qe_Edge::get_point_by_length(double, bool) { return {}; }
Qe_Pt Qe_Edge::start_pos() { return {}; }
Qe_Pt Qe_Edge::end_pos() { return {}; }
Qe_Pt Qe_Edge::middle_pos() { return {}; }
Qe_Pt Qe_Edge::center_pos() { return {}; }
double Qe_Edge::length() { return 0.0; }
double Qe_Edge::area() { return 0.0; }
double Qe_Edge::angle() { return 0.0; }
double Qe_Edge::fill_angle() { return 0.0; }
void Qe_Edge::translate(const Qe_Tran&) {}
bool Qe_Edge::interact(Qe_Edge*, Qe_Pt*&, int&) { return false; }
bool Qe_Edge::self_interact() { return false; }
bool Qe_Edge::is_on_edge(const Qe_Pt&) { return false; }
bool Qe_Edge::is_like(Qe_Edge*) { return false; }
void Qe_Edge::build_fit_pts() {}

// --- Qe_Line ---------------------------------------------------------------------------

bool Qe_Line::break_by_point(const Qe_Pt& p, Qe_Void_List& out)
{
    if (same_point(p, m_start, resabs) || same_point(p, m_end, resabs)) return false;
    if (!is_on_segment(p, m_start, m_end)) return false;
    out.add(new Qe_Line(p, m_start));
    out.add(new Qe_Line(p, m_end));
    return true;
}

bool Qe_Line::cut(const Qe_Pt& a, const Qe_Pt& b, Qe_Void_List& out)
{
    if (!same_point(a, b, resabs)) return false;
    return break_by_point(a, out);
}

Qe_Pt Qe_Line::get_point_by_length(double length, bool from_start)
{
    if (length <= 0.0) return from_start ? m_start : m_end;
    if (from_start) return m_start + length * normalise(m_end - m_start);
    return m_end + length * normalise(m_start - m_end);
}

Qe_Pt Qe_Line::middle_pos() { return m_start + (m_end - m_start) / 2.0; }

double Qe_Line::length() { return (m_end - m_start).len(); }

double Qe_Line::angle()
{
    return angle_between(Qe_Vec(1.0, 0.0, 0.0), m_end - m_start, Qe_Uvec(0.0, 0.0, 1.0));
}

void Qe_Line::translate(const Qe_Tran& t)
{
    m_start *= t;
    m_end *= t;
}

bool Qe_Line::is_on_edge(const Qe_Pt& p) { return is_on_segment(p, m_start, m_end); }

bool Qe_Line::is_like(Qe_Edge* other)
{
    if (!other || other->edge_id() != LINE) return false;
    auto* o = static_cast<Qe_Line*>(other);
    if (same_point(m_start, o->m_start, resabs) && same_point(m_end, o->m_end, resabs)) return true;
    return same_point(m_start, o->m_end, resabs) && same_point(m_end, o->m_start, resabs);
}

void Qe_Line::build_fit_pts()
{
    const Qe_Pt pts[2] = {m_start, m_end};
    fit_pts().init(2, pts);
}

bool Qe_Line::merage(Qe_Edge* other)
{
    if (!other || other == this || other->edge_id() != LINE || !is_like(other)) return false;
    delete other;
    return true;
}

bool Qe_Line::save(Qe_File& file) { return file.write_segment(m_start, m_end, 0xFF0000); }

// --- Qe_Segment ------------------------------------------------------------------------

Qe_Segment::~Qe_Segment() = default;

double Qe_Segment::order_parameter(const Qe_Pt& q) const
{
    // Oriented to ascending x, or ascending y when the segment is (nearly) vertical, so
    // that the order agrees with a sort by coordinates wherever such a sort is consistent.
    double dx = end().x() - start().x();
    double dy = end().y() - start().y();
    const bool reverse = std::fabs(dx) >= resabs ? dx < 0.0 : (dy != 0.0 ? dy < 0.0 : dx < 0.0);
    if (reverse) {
        dx = -dx;
        dy = -dy;
    }
    const Qe_Pt& origin = reverse ? end() : start();
    return (q.x() - origin.x()) * dx + (q.y() - origin.y()) * dy;
}

void Qe_Segment::add_order_intpos(Qe_Intersect_Point* p)
{
    if (!p || m_intpos.contains(p)) return;
    const double t = order_parameter(p->point());
    for (Qe_Void_Node* n = m_intpos.head(); n; n = n->next()) {
        const auto* q = static_cast<const Qe_Intersect_Point*>(n->entity());
        if (t < order_parameter(q->point())) {
            m_intpos.insert(p, n);
            return;
        }
    }
    m_intpos.add(p);
}

// --- Qe_Circle and Qe_Arc --------------------------------------------------------------

Qe_Pt Qe_Circle::point_at(double a) const
{
    return {m_centre.x() + m_radius * std::cos(a), m_centre.y() + m_radius * std::sin(a), 0.0};
}

Qe_Pt Qe_Circle::start_pos() { return m_centre + Qe_Vec(m_radius, 0.0, 0.0); }
Qe_Pt Qe_Circle::end_pos() { return m_centre + Qe_Vec(m_radius, 0.0, 0.0); }
double Qe_Circle::length() { return TWO_PI * m_radius; }
double Qe_Circle::area() { return M_PI * m_radius * m_radius; }
double Qe_Circle::fill_angle() { return TWO_PI; }
void Qe_Circle::translate(const Qe_Tran& t) { m_centre *= t; }

double Qe_Arc::length() { return m_radius * fill_angle(); }

Qe_Pt Qe_Arc::get_point_by_length(double length, bool from_start)
{
    // A zero radius has no angle to travel; the end points are all there is.
    if (length <= 0.0 || m_radius == 0.0) return from_start ? start_pos() : end_pos();
    const double d = length / m_radius;
    return from_start ? point_at(m_start_angle + d) : point_at(m_end_angle - d);
}

Qe_Pt Qe_Arc::middle_pos() { return point_at((m_start_angle + m_end_angle) / 2.0); }

void Qe_Arc::build_fit_pts()
{
    Qe_Pt pts[ARC_FIT_POINTS];
    Qe_Pt* out = pts;
    if (arc_to_ptset(m_centre, m_radius, start_pos(), end_pos(), ARC_FIT_POINTS, out))
        fit_pts().init(ARC_FIT_POINTS, pts);
}

bool circle_to_ptset(const Qe_Pt& centre, double radius, Qe_Pt* pts, int count)
{
    if (!pts || count < 2) return false;
    const double step = TWO_PI / (count - 1);
    for (int i = 0; i < count; ++i) {
        const double a = i * step;
        // The lowest point (0, −r) turned counter-clockwise by a.
        pts[i] = Qe_Pt(centre.x() + radius * std::sin(a), centre.y() - radius * std::cos(a), centre.z());
    }
    pts[count - 1] = pts[0];
    return true;
}
