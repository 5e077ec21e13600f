#include "kernel/entities/dimension.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/rect.h"
#include "geometry/tessellation.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/solid.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/text_style.h"

namespace {

constexpr double k_two_pi = 2.0 * M_PI;
constexpr double k_third = 0.3333333333333333;
// How far off its defining segment an angular arc end may lie and still count as on it.
constexpr double k_on_segment_tol = 0.00001;
// Keys whose values a dimension does not have (text and font values of other kinds).
constexpr int k_void_real_keys[] = {-115, -113, -112, -111, -102};

// The style values the builders read.
enum : int {
    Color_Extension = 0,
    Color_Text = 1,
    Color_Line = 2,
    Real_Arrow = 1,
    Real_Extension = 5,
    Real_Offset = 6,
    Real_Text_Gap = 7,
};

// x in [0, 2π).
double wrap(double x)
{
    double r = std::fmod(x, k_two_pi);
    if (r < 0.0) r += k_two_pi;
    return r >= k_two_pi ? 0.0 : r;
}

// The direction's angle in [0, 2π]: from its x component, 2π less that for a negative y.
double angle_of(const Qe_Vec& v)
{
    const double len = v.len();
    if (!(len > 0.0)) return 0.0;
    const double a = std::acos(std::fmax(-1.0, std::fmin(1.0, v.x() / len)));
    return v.y() < 0.0 ? k_two_pi - a : a;
}

Qe_Vec direction(double a)
{
    return Qe_Vec(std::cos(a), std::sin(a), 0.0);
}

bool finite(const Qe_Pt& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z());
}

// The value as the dimension shows it; a value too large for the buffer shows nothing.
std::string format_value(const char* format, double value)
{
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, format, value);
    if (n < 0 || n >= static_cast<int>(sizeof buf)) return std::string();
    return std::string(buf, static_cast<std::size_t>(n));
}

// Within the segment's box and on its line.
bool on_segment(const Qe_Pt& e, const Qe_Pt& a, const Qe_Pt& b)
{
    const double tol = k_on_segment_tol;
    if (e.x() < std::fmin(a.x(), b.x()) - tol || e.x() > std::fmax(a.x(), b.x()) + tol) return false;
    if (e.y() < std::fmin(a.y(), b.y()) - tol || e.y() > std::fmax(a.y(), b.y()) + tol) return false;
    const Qe_Vec ab = b - a;
    const double len = ab.len();
    if (!(len > 0.0)) return same_point(e, a, tol);
    const Qe_Vec ae = e - a;
    return std::fabs(ab.x() * ae.y() - ab.y() * ae.x()) / len < tol;
}

// The node builders of one build: every node gets its rectangle and joins the collection.
class Dim_Builder {
public:
    Dim_Builder(MB_Draw_Nodes& nodes, MB_Dim_Style& style, MB_Drawable& owner)
        : m_nodes(nodes), m_style(style), m_owner(owner)
    {
    }

    double real(int i) const { return m_style.real_val()[i]; }
    long color(int i) const { return m_style.color()[i]; }

    // The run F alone, then F + u × offset to G + u × extension: the gap at the feature and
    // the overshoot past the dimension line.
    void extension_line(const Qe_Pt& f, const Qe_Pt& g)
    {
        if (same_point(f, g, resabs)) return;
        const Qe_Vec d = g - f;
        const Qe_Uvec u = normalise(d);
        const Qe_Pt pts[3] = {f, f + u * real(Real_Offset), f + u * (d.len() + real(Real_Extension))};
        const mb_ulong counts[2] = {1, 2};
        auto node = std::make_unique<MB_Draw_Lines_Sets>(color(Color_Extension), &m_owner);
        if (!node->init(2, counts, pts)) return;
        add(node.release());
    }

    void dim_line(const Qe_Pt& p, const Qe_Pt& q)
    {
        if (same_point(p, q, resabs)) return;
        Qe_Pt pts[2] = {p, q};
        add(new MB_Draw_Lines_Set(pts, 2, color(Color_Line), &m_owner));
    }

    void arc(double start, double end, const Qe_Pt& centre, double radius, mb_ulong n)
    {
        std::vector<Qe_Pt> pts(n);
        Qe_Pt* out = pts.data();
        if (!arc_to_ptset(centre, radius, start, end, n, out)) return;
        add(new MB_Draw_Lines_Set(pts.data(), static_cast<int>(n), color(Color_Line), &m_owner));
    }

    // The body lies on the side u points to.
    void arrow(const Qe_Pt& tip, const Qe_Uvec& u)
    {
        const double len = real(Real_Arrow);
        const Qe_Uvec v = normalise(u * Qe_Vec(0.0, 0.0, 1.0));
        const Qe_Vec along = u * len;
        const Qe_Vec across = v * (len * k_third);
        Qe_Pt pts[3] = {tip, tip + along + across, tip + along - across};
        add(new MB_Draw_Solid(pts, 3, color(Color_Line), &m_owner));
    }

    // Laid out along u, lifted off the line by the text gap; a direction in (π/2, 3π/2]
    // is turned by π so that the text never reads upside down.
    void text(const std::string& s, const Qe_Pt& at, Qe_Uvec u)
    {
        double a = angle_of(u);
        if (a > M_PI / 2.0 && a <= 3.0 * M_PI / 2.0) {
            a += M_PI;
            u = -u;
        }
        if (a >= k_two_pi) a -= k_two_pi;
        m_style.text_style().angle(a);
        const Qe_Uvec n = normalise(u * Qe_Vec(0.0, 0.0, -1.0));
        auto node = std::make_unique<MB_Draw_Lines_Sets>(color(Color_Text), &m_owner);
        Qe_Rect rect;
        if (!string_2_ptsets(s.c_str(), at + n * real(Real_Text_Gap), &m_style.text_style(), node.get(), &rect))
            return;
        add(node.release());
    }

    // The text's length along its own direction: laid out unturned with a scratch copy of
    // the style, so that the angle a previous build left in the style does not change it.
    double text_width(const std::string& s) const
    {
        MB_Recording_Pause pause;
        MB_Text_Style scratch_style(m_style.text_style());
        scratch_style.angle(0.0);
        MB_Draw_Lines_Sets scratch;
        Qe_Rect rect;
        if (!string_2_ptsets(s.c_str(), Qe_Pt(), &scratch_style, &scratch, &rect)) return 0.0;
        return rect.width();
    }

    // The diameter and radius text: at P, along unit(p4 − D). Outside the circle the text
    // is moved back by its width along unit(P − D) when P − D points to +x (or, with equal
    // x, to +y), so that it ends at P; inside, it is moved forward by its width when P − D
    // points to −x (or −y). Every other direction leaves it at P.
    void radial_text(const std::string& s, const Qe_Pt& p, const Qe_Pt& d, const Qe_Pt& p4, bool outside)
    {
        const Qe_Vec pd = p - d;
        const Qe_Uvec along = normalise(pd);
        Qe_Pt at = p;
        if (outside && (pd.x() > 0.0 || (pd.x() == 0.0 && pd.y() > 0.0)))
            at = p - along * text_width(s);
        else if (!outside && (pd.x() < 0.0 || (pd.x() == 0.0 && pd.y() < 0.0)))
            at = p + along * text_width(s);
        text(s, at, normalise(p4 - d));
    }

    // The shared end of both angular kinds: the arc of the sweep from s about v, the value
    // in degrees, the text at the arc's middle, the arrowheads pointing into the arc, and an
    // extension line to each arc end that is off its leg's defining segment. Such a line
    // starts at whichever of the segment's ends and the vertex is nearest to the arc end:
    // the vertex for an end on the far side of the vertex, else the segment end it runs on
    // from. Returns the text point.
    Qe_Pt angle_parts(const Qe_Pt& v, double r, double s, double sweep, mb_ulong n, const Qe_Pt* seg_s,
                      const Qe_Pt* seg_e, double& measurement)
    {
        const double e = s + sweep;
        measurement = sweep * 180.0 / M_PI;
        const Qe_Pt e1 = v + direction(s) * r;
        const Qe_Pt e2 = v + direction(e) * r;
        const Qe_Pt mid = v + direction(s + sweep / 2.0) * r;
        const Qe_Pt* segs[2] = {seg_s, seg_e};
        const Qe_Pt ends[2] = {e1, e2};
        for (int i = 0; i < 2; ++i) {
            const Qe_Pt& a = segs[i][0];
            const Qe_Pt& b = segs[i][1];
            if (on_segment(ends[i], a, b)) continue;
            const Qe_Pt* from = &a;
            if ((b - ends[i]).len() < (a - ends[i]).len()) from = &b;
            if ((v - ends[i]).len() < (*from - ends[i]).len()) from = &v;
            extension_line(*from, ends[i]);
        }
        arc(s, e, v, r, n);
        arrow(e1, Qe_Uvec(-std::sin(s), std::cos(s), 0.0));
        arrow(e2, Qe_Uvec(std::sin(e), -std::cos(e), 0.0));
        text(format_value("%.2f", measurement), mid, normalise(e1 - e2));
        return mid;
    }

private:
    void add(MB_Draw_Node* node)
    {
        node->build_rect();
        m_nodes.node_list().add(node);
    }

    MB_Draw_Nodes& m_nodes;
    MB_Dim_Style& m_style;
    MB_Drawable& m_owner;
};

// A style the dimension owns: working data, never an undoable creation.
std::unique_ptr<MB_Dim_Style> new_own_style(const MB_Dim_Style* from)
{
    MB_Recording_Pause pause;
    if (from) return std::make_unique<MB_Dim_Style>(*from);
    return std::make_unique<MB_Dim_Style>();
}

}  // namespace

MB_Dimension::MB_Dimension() : m_dim_style(new_own_style(nullptr)) {}

MB_Dimension::MB_Dimension(const MB_Dimension& other) : MB_Drawable(other), m_dim_style(new_own_style(nullptr))
{
    copy_fields(other);
}

MB_Dimension& MB_Dimension::operator=(const MB_Dimension& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    copy_fields(other);
    return *this;
}

MB_Dimension::~MB_Dimension() = default;

void MB_Dimension::copy_fields(const MB_Dimension& other)
{
    if (this == &other) return;
    m_dim_text = other.m_dim_text;
    m_pseudo_blk = other.m_pseudo_blk;
    m_dimstyle_name = other.m_dimstyle_name;
    m_definition_pt = other.m_definition_pt;
    m_text_mid = other.m_text_mid;
    m_insert_pt = other.m_insert_pt;
    m_dim_pt2 = other.m_dim_pt2;
    m_dim_pt3 = other.m_dim_pt3;
    m_dim_pt4 = other.m_dim_pt4;
    m_arcdef_pt = other.m_arcdef_pt;
    m_text_angle = other.m_text_angle;
    m_flag = other.m_flag;
    m_measurement = other.m_measurement;
    real_val(other.real_val());
    *m_dim_style = *other.m_dim_style;
    // The copy's own reference to the same block (a copy is never reported as created).
    m_insert = other.m_insert ? std::make_unique<MB_Insert>(*other.m_insert) : nullptr;
}

MB_Result MB_Dimension::serialize(MB_File_IO& file)
{
    // The pieces are the writer's working objects, not drawing content.
    MB_Recording_Pause pause;
    if (!m_insert && !draw_node()) build_draw();
    // What is drawn keeps its colour; the rest of the general (layer, widths) is the
    // dimension's, whose line type its picture never followed.
    const auto as_drawn = [this](MB_Drawable& part) {
        const long colour = part.general().color();
        MB_Object* target = &part;
        (void)general().copy_to(target);
        part.general().color(colour);
        part.general().line_type(nullptr);
    };
    if (m_insert) {
        MB_Insert reference(*m_insert);
        reference.point(m_insert_pt);
        reference.general().color(m_dim_style->color()[Color_Line]);
        as_drawn(reference);
        return reference.serialize(file);
    }
    std::vector<std::unique_ptr<MB_Drawable>> parts;
    picture_entities(parts);
    for (const auto& part : parts) {
        as_drawn(*part);
        const MB_Result r = part->serialize(file);
        if (r != 0) return r;
    }
    return MB_Result::Success;
}

void MB_Dimension::picture_entities(std::vector<std::unique_ptr<MB_Drawable>>& out, const long* colour) const
{
    MB_Draw_Node* node = draw_node();
    if (!node || node->draw_node_id() != MB_Draw_Node::Draw_Nodes) return;
    const auto place = [&](MB_Drawable* part, const MB_Draw_Node& from) {
        part->general().color(colour ? *colour : from.color());
        part->build_draw();
        out.emplace_back(part);
    };
    for (MB_Draw_Node* c = static_cast<MB_Draw_Nodes*>(node)->node_list().head(); c; c = c->next()) {
        switch (c->draw_node_id()) {
        case MB_Draw_Node::Draw_Solid: {
            const auto* set = static_cast<const MB_Draw_Solid*>(c);
            auto* solid = new MB_Solid(0);
            solid->vertices().init(set->count(), set->points());
            place(solid, *c);
            break;
        }
        case MB_Draw_Node::Draw_Lines_Set: {
            const auto* set = static_cast<const MB_Draw_Lines_Set*>(c);
            auto* lines = new MB_Lines(0);
            lines->pt_set().init(set->count(), set->points());
            place(lines, *c);
            break;
        }
        case MB_Draw_Node::Draw_Lines_Sets: {
            Qe_Void_List runs;
            static_cast<const MB_Draw_Lines_Sets*>(c)->set_to_list(runs, Qe_Tran());
            for (Qe_Void_Node* n = runs.head(); n; n = n->next()) {
                std::unique_ptr<Qe_Pt_List> run(static_cast<Qe_Pt_List*>(n->entity()));
                auto* lines = new MB_Lines(0);
                lines->pt_set().init(*run);
                place(lines, *c);
            }
            runs.clear();
            break;
        }
        default: break;
        }
    }
}

MB_Result MB_Dimension::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Dimension::process(MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Dimension::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Dimension>(
        *this, target,
        [&] {
            auto* made = new MB_Dimension;
            made->copy_fields(*this);
            return made;
        },
        [&](MB_Dimension& d) {
            d.modify_cmd();
            d.copy_fields(*this);
        });
}

double MB_Dimension::get_real(int key)
{
    for (int k : k_void_real_keys)
        if (key == k) return 0.0;
    return MB_Drawable::get_real(key);
}

void MB_Dimension::set_real(long key, double value)
{
    modify_cmd();
    for (int k : k_void_real_keys)
        if (key == k) return;
    MB_Drawable::set_real(key, value);
}

void MB_Dimension::block_name(const char* name, MB_Drawing& drawing)
{
    if (!name) return;
    m_pseudo_blk = name;
    MB_Block* block = drawing.find_block(name);
    // The name and the binding agree: a name without a block unbinds.
    if (!block) {
        m_insert.reset();
        return;
    }
    // The reference is the dimension's own, not drawing content.
    MB_Recording_Pause pause;
    auto insert = std::make_unique<MB_Insert>(Qe_Pt(), 0.0, 1.0, 1.0, 0.0);
    insert->block(block);
    m_insert = std::move(insert);
}

char MB_Dimension::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra)
{
    if (m_insert) return m_insert->pick(at, hits, tolerance, nearest, kind, extra);
    MB_Draw_Node* node = draw_node();
    if (!node || !node->pick(at, nearest, tolerance)) return 0;
    kind = Pick_Dimension;
    return 1;
}

void MB_Dimension::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    if (m_insert) {
        m_insert->draw(hdc, qdc, t);
        return;
    }
    MB_Draw_Node* node = draw_node();
    if (!node) return;
    if (hdc)
        node->draw(hdc, t);
    else
        node->draw(qdc, t);
}

void MB_Dimension::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    for (Qe_Pt* p : {&m_definition_pt, &m_text_mid, &m_insert_pt, &m_dim_pt2, &m_dim_pt3, &m_dim_pt4, &m_arcdef_pt})
        *p *= t;
}

void MB_Dimension::build_draw()
{
    draw_node(nullptr);
    if (m_insert) {
        m_insert->point(m_insert_pt);
        m_insert->general().color(m_dim_style->color()[Color_Line]);
        m_insert->display_flag(true);
        m_insert->build_draw();
        rect() = m_insert->rect();
        return;
    }
    auto* nodes = new MB_Draw_Nodes;
    nodes->drawable(this);
    draw_node(nodes);
    for (const Qe_Pt* p : {&m_definition_pt, &m_text_mid, &m_dim_pt2, &m_dim_pt3, &m_dim_pt4, &m_arcdef_pt})
        if (!finite(*p)) return;
    switch (kind()) {
    case Linear: build_linear(*nodes); break;
    case Aligned: build_aligned(*nodes); break;
    case Angular: build_angular(*nodes); break;
    case Diameter: build_diameter(*nodes); break;
    case Radius: build_radius(*nodes); break;
    case Angular_3pt: build_angular_3pt(*nodes); break;
    default: break;
    }
    nodes->build_rect();
    if (nodes->rect()) rect() = *nodes->rect();
}

void MB_Dimension::build_linear(MB_Draw_Nodes& nodes)
{
    Dim_Builder b(nodes, *m_dim_style, *this);
    const Qe_Pt& d = m_definition_pt;
    const Qe_Pt& p2 = m_dim_pt2;
    const Qe_Pt& p3 = m_dim_pt3;
    Qe_Pt n, k;
    Qe_Uvec dir;
    if (d.x() != p2.x() && d.x() != p3.x()) {
        m_measurement = std::fabs(p2.y() - p3.y());
        n = Qe_Pt(d.x(), p2.y(), d.z());
        k = Qe_Pt(d.x(), p3.y(), d.z());
        dir = Qe_Uvec(0.0, 1.0, 0.0);
    } else {
        m_measurement = std::fabs(p2.x() - p3.x());
        n = Qe_Pt(p2.x(), d.y(), d.z());
        k = Qe_Pt(p3.x(), d.y(), d.z());
        dir = Qe_Uvec(1.0, 0.0, 0.0);
    }
    b.extension_line(p2, n);
    b.extension_line(p3, k);
    b.dim_line(n, k);
    b.arrow(k, normalise(n - k));
    b.arrow(n, normalise(k - n));
    b.text(format_value("%.2f", m_measurement), m_text_mid, dir);
}

void MB_Dimension::build_aligned(MB_Draw_Nodes& nodes)
{
    Dim_Builder b(nodes, *m_dim_style, *this);
    const Qe_Pt& d = m_definition_pt;
    if (m_measurement == 0.0) m_measurement = (m_dim_pt2 - m_dim_pt3).len();
    const Qe_Pt n = d + (m_dim_pt2 - m_dim_pt3);
    b.extension_line(m_dim_pt2, n);
    b.extension_line(m_dim_pt3, d);
    b.dim_line(n, d);
    b.arrow(d, normalise(n - d));
    b.arrow(n, normalise(d - n));
    b.text(format_value("%.2f", m_measurement), m_text_mid, normalise(d - n));
}

void MB_Dimension::build_angular(MB_Draw_Nodes& nodes)
{
    Dim_Builder b(nodes, *m_dim_style, *this);
    const Qe_Vec v1 = m_dim_pt2 - m_dim_pt3;
    const Qe_Vec v2 = m_dim_pt4 - m_definition_pt;
    const Qe_Uvec u1 = normalise(v1);
    const Qe_Uvec u2 = normalise(v2);
    // Parallel legs, or a leg without a direction, enclose no angle.
    if (u1.is_zero(0.0) || u2.is_zero(0.0)) return;
    if ((u1.x() == u2.x() && u1.y() == u2.y()) || (u1.x() == -u2.x() && u1.y() == -u2.y())) return;
    Qe_Pt v;
    if (!api_mb_lines_intersection(m_dim_pt3, u1, m_definition_pt, u2, v)) return;
    const double r = (m_arcdef_pt - v).len();
    // The four rays from the vertex; the pair around the arc point bounds the arc.
    const double rays[4] = {wrap(angle_of(u1)), wrap(angle_of(u1) + M_PI), wrap(angle_of(u2)),
                            wrap(angle_of(u2) + M_PI)};
    const double q = wrap(angle_of(m_arcdef_pt - v));
    int si = 0;
    for (int i = 1; i < 4; ++i)
        if (wrap(q - rays[i]) < wrap(q - rays[si])) si = i;
    int ei = -1;
    for (int i = 0; i < 4; ++i) {
        if (i == si) continue;
        if (ei < 0 || wrap(rays[i] - q) < wrap(rays[ei] - q)) ei = i;
    }
    const double s = rays[si];
    double e = rays[ei];
    if (!(e > s)) e += k_two_pi;
    const double sweep = e - s;
    const double degrees = sweep * 180.0 / M_PI;
    const mb_ulong n = static_cast<mb_ulong>(std::fmax(std::trunc(degrees / 3.0), 18.0));
    const Qe_Pt leg1[2] = {m_dim_pt3, m_dim_pt2};
    const Qe_Pt leg2[2] = {m_definition_pt, m_dim_pt4};
    m_text_mid = b.angle_parts(v, r, s, sweep, n, si < 2 ? leg1 : leg2, ei < 2 ? leg1 : leg2, m_measurement);
}

void MB_Dimension::build_diameter(MB_Draw_Nodes& nodes)
{
    Dim_Builder b(nodes, *m_dim_style, *this);
    const Qe_Pt& d = m_definition_pt;
    const Qe_Pt& p = m_text_mid;
    const Qe_Pt& p4 = m_dim_pt4;
    m_measurement = (p4 - d).len();
    const double t = (p - d).len();
    // The diameter sign as the "%%c" control code: every font path draws it (the SHX fonts
    // by their own diameter code), while "\U+2205" would pass through the ANSI code page,
    // which has no such character, and draw nothing.
    const std::string s = format_value("%%%%c%.2f", m_measurement);
    if (t > m_measurement) {
        b.arrow(p4, normalise(p4 - d));
        b.arrow(d, normalise(d - p4));
        b.radial_text(s, p, d, p4, true);
        b.dim_line(p, d);
        b.dim_line(d, d + normalise(d - p4) * (2.0 * b.real(Real_Arrow)));
    } else if (t < m_measurement) {
        b.arrow(p4, normalise(p - p4));
        b.radial_text(s, p, d, p4, false);
        b.dim_line(p, p4);
    }
}

void MB_Dimension::build_radius(MB_Draw_Nodes& nodes)
{
    Dim_Builder b(nodes, *m_dim_style, *this);
    const Qe_Pt& d = m_definition_pt;
    const Qe_Pt& p = m_text_mid;
    const Qe_Pt& p4 = m_dim_pt4;
    m_measurement = (p4 - d).len();
    const double t = (p - d).len();
    const std::string s = format_value("R%.2f", m_measurement);
    if (m_measurement < t) {
        b.dim_line(d, p);
        b.arrow(p4, normalise(p4 - d));
        b.radial_text(s, p, d, p4, true);
    } else if (m_measurement > t) {
        b.dim_line(p, p4);
        b.arrow(p4, normalise(d - p4));
        b.radial_text(s, p, d, p4, false);
    }
}

void MB_Dimension::build_angular_3pt(MB_Draw_Nodes& nodes)
{
    Dim_Builder b(nodes, *m_dim_style, *this);
    const Qe_Pt& v = m_dim_pt4;
    const double r = (m_definition_pt - v).len();
    const double a1 = wrap(angle_of(m_dim_pt2 - v));
    const double a2 = wrap(angle_of(m_dim_pt3 - v));
    const double ad = wrap(angle_of(m_definition_pt - v));
    const double sweep12 = wrap(a2 - a1);
    const bool from_first = wrap(ad - a1) <= sweep12;
    const double s = from_first ? a1 : a2;
    const double sweep = from_first ? sweep12 : k_two_pi - sweep12;
    // At least two points, so that a sweep under 6 degrees still draws an arc.
    const double degrees = sweep * 180.0 / M_PI;
    const mb_ulong n = static_cast<mb_ulong>(std::fmax(std::trunc(degrees / 3.0), 2.0));
    const Qe_Pt leg2[2] = {v, m_dim_pt2};
    const Qe_Pt leg3[2] = {v, m_dim_pt3};
    m_text_mid = b.angle_parts(v, r, s, sweep, n, from_first ? leg2 : leg3, from_first ? leg3 : leg2, m_measurement);
}
