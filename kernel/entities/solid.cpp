#include "kernel/entities/solid.h"

#include <cmath>

#include "geometry/angles.h"
#include "geometry/loop.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/display/draw_node.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "platform/gdi_draw.h"

namespace {

constexpr unsigned char k_solid_opcode = 'D';
constexpr unsigned char k_face_opcode = 'z';

// Corner n, or the origin for an index that is not one.
Qe_Pt corner(const MB_Solid& s, int n)
{
    return n >= 0 && n < s.count() ? s.points()[n] : Qe_Pt();
}

void set_corner_xyz(MB_Solid& s, int n, const Qe_Pt& p)
{
    if (n >= 0 && n < s.count()) s.points()[n] = p;
}

double perimeter(const MB_Solid& s)
{
    const int n = s.count();
    double sum = 0.0;
    for (int i = 0; i < n && n > 1; ++i) sum += (s.points()[(i + 1) % n] - s.points()[i]).len();
    return sum;
}

double first_edge_angle(const MB_Solid& s)
{
    if (s.count() < 2) return 0.0;
    return angle_between(Qe_Uvec(1.0, 0.0, 0.0), normalise(s.points()[1] - s.points()[0]), Qe_Uvec(0.0, 0.0, 1.0));
}

const MB_Property<MB_Solid, Qe_Pt> k_solid_points[] = {
    {mb_key::Start, [](MB_Solid& s) { return corner(s, 0); },
     [](MB_Solid& s, Qe_Pt p) { set_corner_xyz(s, 0, p); }, MB_Undo::Record},
    {mb_key::End, [](MB_Solid& s) { return corner(s, s.count() - 1); },
     [](MB_Solid& s, Qe_Pt p) { set_corner_xyz(s, s.count() - 1, p); }, MB_Undo::Record},
};

const MB_Property<MB_Solid, double> k_solid_reals[] = {
    {mb_key::Length, [](MB_Solid& s) { return perimeter(s); }, nullptr},
    {mb_key::Area, [](MB_Solid& s) { return cal_pts_area(s.points(), s.count()); }, nullptr},
    {mb_key::Angle, [](MB_Solid& s) { return first_edge_angle(s); }, nullptr},
};

const MB_Property<MB_Solid, long> k_solid_ints[] = {
    {mb_key::Point_Count, [](MB_Solid& s) { return static_cast<long>(s.count()); }, nullptr},
};

}  // namespace

MB_Solid::MB_Solid(int n) : MB_Vertex_Geom(n) {}

MB_Solid::MB_Solid(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, const Qe_Pt& p4) : MB_Vertex_Geom(4)
{
    points()[0] = p1;
    points()[1] = p2;
    points()[2] = p3;
    points()[3] = p4;
}

MB_Solid::MB_Solid(Qe_Loop& loop)
{
    Qe_Pt_List ring;
    Qe_Loop_Node* head = loop.head();
    for (Qe_Loop_Node* v = head; v;) {
        ring.add_tail(v->point());
        v = v->next();
        if (v == head) break;
    }
    Qe_Pt_Set::init(ring);
}

MB_Solid::~MB_Solid() = default;

MB_Result MB_Solid::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_solid_opcode, [&](MB_Record_Writer& w) { w.points(vertices()); });
}

MB_Result MB_Solid::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) { r.points(vertices()); });
}

MB_Result MB_Solid::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Solid::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Solid>(
        *this, target,
        [&] {
            auto* s = new MB_Solid;
            s->vertices() = vertices();
            return s;
        },
        [&](MB_Solid& s) { s.vertices() = vertices(); });
}

Qe_Pt MB_Solid::get_point(int key)
{
    if (key >= 0) return corner(*this, key);
    return mb_get_property(k_solid_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Solid::get_real(int key)
{
    return mb_get_property(k_solid_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

long MB_Solid::get_int(int key)
{
    return mb_get_property(k_solid_ints, *this, key, [&] { return MB_Geom::get_int(key); });
}

void MB_Solid::set_point(long key, const Qe_Pt& value)
{
    if (key >= 0) {
        if (key >= count()) return;
        modify_cmd();
        points()[key] = value;
        return;
    }
    mb_set_property(k_solid_points, *this, key, value, [&] { MB_Geom::set_point(key, value); });
}

char MB_Solid::pick(const Qe_Pt& at, Qe_Pt_List&, double tolerance, Qe_Pt& nearest, int& kind, int&)
{
    for (int i = 0; i < count(); ++i)
        if (mb_pick_point(at, points()[i], tolerance, Pick_Vertex, nearest, kind)) return 1;
    if (count() == 0 || !is_pos_in_region(at, points(), count())) return 0;
    nearest = at;
    kind = Pick_Inside;
    return 1;
}

void MB_Solid::build_draw()
{
    if (count() == 0) return;
    edge() = vertices();
    rect_from_vertices();
    draw_node(new MB_Draw_Solid(points(), count(), general().color(), this));
}

void MB_Solid::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grips(hdc, points(), count(), t);
}

Qe_Loop* MB_Solid::create_loop() const
{
    auto* loop = new Qe_Loop;
    for (int i = 0; i < count(); ++i) loop->add(points()[i]);
    return loop;
}

MB_Face::MB_Face(int n) : MB_Vertex_Geom(n) {}

MB_Face::~MB_Face() = default;

MB_Result MB_Face::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_face_opcode, [&](MB_Record_Writer& w) {
        w.byte(static_cast<unsigned char>(m_face_flag & 0xFF)).points(vertices());
    });
}

MB_Result MB_Face::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    unsigned char flag = 0;
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        r.byte(flag).points(vertices());
        if (r.ok()) m_face_flag = flag;
    });
}

MB_Result MB_Face::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Face::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Face>(
        *this, target,
        [&] {
            auto* f = new MB_Face;
            f->vertices() = vertices();
            f->m_face_flag = m_face_flag;
            return f;
        },
        [&](MB_Face& f) {
            f.vertices() = vertices();
            f.m_face_flag = m_face_flag;
        });
}

char MB_Face::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Face::build_draw()
{
    if (count() < 3) return;
    rect_from_vertices();
}

void MB_Face::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grips(hdc, points(), count(), t);
}

void MB_Face::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    const int n = count();
    if (n < 3) return;
    POINT px[4];
    for (int i = 0; i < 4; ++i) {
        const Qe_Pt p = points()[i < n ? i : n - 1] * t;
        px[i] = POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())};
    }
    static constexpr unsigned short hide[4] = {Hide_Edge_01, Hide_Edge_12, Hide_Edge_23, Hide_Edge_30};
    for (int i = 0; i < 4; ++i) {
        if (m_face_flag & hide[i]) continue;
        const POINT& a = px[i];
        const POINT& b = px[(i + 1) % 4];
        // An image export hands its own device context: the face joins that picture too.
        if (hdc) {
            MoveToEx(hdc, a.x, a.y, nullptr);
            LineTo(hdc, b.x, b.y);
        } else {
            qdc.Line(a.x, a.y, b.x, b.y);
        }
    }
}
