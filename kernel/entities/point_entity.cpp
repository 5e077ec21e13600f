#include "kernel/entities/point_entity.h"

#include <cmath>

#include "geometry/dc_draw.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "platform/gdi_draw.h"

namespace {

constexpr unsigned char k_point_opcode = 0x19;
// The first stream revision whose points carry their type and size.
constexpr int k_typed_point_revision = 451;
constexpr double k_half_extent = 1e-5;
constexpr double k_max_marker = 65536.0;

const MB_Property<MB_Point, double> k_point_reals[] = {
    {mb_key::Point_Size, [](MB_Point& p) { return p.size(); }, [](MB_Point& p, double v) { p.size(v); }},
};

const MB_Property<MB_Point, long> k_point_ints[] = {
    {mb_key::Point_Type, [](MB_Point& p) { return static_cast<long>(p.point_type()); },
     [](MB_Point& p, long v) { p.point_type(static_cast<unsigned short>(v)); }},
};

}  // namespace

MB_Point::MB_Point() = default;

MB_Point::MB_Point(const Qe_Pt& position) : m_position(position) {}

MB_Point::~MB_Point() = default;

MB_Result MB_Point::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_point_opcode, [&](MB_Record_Writer& w) {
        w.position(m_position).byte(static_cast<unsigned char>(m_type & 0xFF)).real(m_size);
    });
}

MB_Result MB_Point::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        r.position(m_position);
        if (mb_stream_revision(file) < k_typed_point_revision) return;
        unsigned char type = 0;
        r.byte(type).real(m_size);
        if (r.ok()) m_type = type;
    });
}

MB_Result MB_Point::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Point::default_process(MB_Point&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Point::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Point& p) {
        p.m_position = m_position;
        p.m_size = m_size;
        p.m_type = m_type;
    };
    return mb_copy_entity<MB_Point>(
        *this, target,
        [&] {
            auto* made = new MB_Point(m_position);
            fill(*made);
            return made;
        },
        fill);
}

Qe_Pt MB_Point::get_point(int)
{
    return m_position;
}

double MB_Point::get_real(int key)
{
    return mb_get_property(k_point_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

long MB_Point::get_int(int key)
{
    return mb_get_property(k_point_ints, *this, key, [&] { return MB_Geom::get_int(key); });
}

void MB_Point::set_real(long key, double value)
{
    mb_set_property(k_point_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); });
}

void MB_Point::set_int(long key, long value)
{
    mb_set_property(k_point_ints, *this, key, value, [&] { MB_Geom::set_int(key, value); });
}

void MB_Point::set_point(long, const Qe_Pt& value)
{
    m_position = value;
}

char MB_Point::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    return mb_pick_point(at, m_position, tol, Pick_Point_Entity, nearest, kind) ? 1 : 0;
}

void MB_Point::build_draw()
{
    rect().set_rect(Qe_Pt(m_position.x() - k_half_extent, m_position.y() + k_half_extent, 0.0),
                    Qe_Pt(m_position.x() + k_half_extent, m_position.y() - k_half_extent, 0.0));
}

void MB_Point::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grip(hdc, m_position, t);
}

int MB_Point::marker_size() const
{
    // A size from a file may be anything: the conversion stays defined and the marker
    // bounded.
    if (!(m_size > 0.0)) return 0;
    return static_cast<int>(std::fmin(m_size, k_max_marker));
}

void MB_Point::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    const Qe_Pt p = m_position * t;
    if (hdc) {
        api_mb_draw_point(hdc, p, m_type, marker_size(), 1);
        return;
    }
    HDC mem = qdc.GetDC();
    if (!mem) return;
    MB_Scoped_Pen pen(mem, PS_SOLID, 1, static_cast<COLORREF>(mb_display_color(general().color())));
    api_mb_draw_point(mem, p, m_type, marker_size(), 1);
}

void MB_Point::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_position *= t;
}
