// The entity kinds that DXF has a form of its own for.

#include <cmath>
#include <numbers>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"

namespace {

double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

bool write_insert(Dxf_Exporter& x, MB_Insert& insert, std::uint64_t owner)
{
    const std::string& name = x.block_name(insert.block());
    // A reference to no block, or to one the drawing does not list, has nothing to point at.
    if (name.empty()) return false;
    Dxf_Writer& w = x.out();
    const double* s = insert.scale();
    x.entity_head("INSERT", insert, owner);
    w.text(100, "AcDbBlockReference");
    w.text(2, name);
    w.point(10, insert.point().x(), insert.point().y(), insert.point().z());
    w.real(41, s[0]);
    w.real(42, s[1]);
    // The kernel takes a z scale of 0 as 1.
    w.real(43, s[2] == 0.0 ? 1.0 : s[2]);
    w.real(50, degrees(insert.angle()));
    return true;
}

bool write_line(Dxf_Exporter& x, MB_Line& line, std::uint64_t owner)
{
    Dxf_Writer& w = x.out();
    const Qe_Pt a = line.start(), b = line.end();
    x.entity_head("LINE", line, owner);
    w.text(100, "AcDbLine");
    w.point(10, a.x(), a.y(), a.z());
    w.point(11, b.x(), b.y(), b.z());
    return true;
}

// Rays and construction lines: the base point and the unit direction towards the second point.
bool write_ray(Dxf_Exporter& x, MB_Line& line, const char* kind, const char* subclass, std::uint64_t owner)
{
    const Qe_Pt a = line.start(), b = line.end();
    const double dx = b.x() - a.x(), dy = b.y() - a.y(), dz = b.z() - a.z();
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    // Without a direction there is no ray to write: the generic form shows what is drawn.
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    Dxf_Writer& w = x.out();
    x.entity_head(kind, line, owner);
    w.text(100, subclass);
    w.point(10, a.x(), a.y(), a.z());
    w.point(11, dx / length, dy / length, dz / length);
    return true;
}

bool write_chain(Dxf_Exporter& x, MB_Lines& chain, std::uint64_t owner)
{
    // A multi-line is never drawn: nothing shows, nothing is written.
    if (dynamic_cast<MB_Mlines*>(&chain)) return true;
    if (chain.count() < 2) return false;
    x.polyline_of_points(chain, owner, chain.points(), chain.count(), nullptr, chain.closed());
    return true;
}

}  // namespace

bool write_native_entity(Dxf_Exporter& x, MB_Drawable& d, std::uint64_t owner)
{
    switch (d.object_id()) {
    case MB_Object::ID_INSERT:
        if (auto* insert = dynamic_cast<MB_Insert*>(&d)) return write_insert(x, *insert, owner);
        return false;
    case MB_Object::ID_LINE:
        if (auto* line = dynamic_cast<MB_Line*>(&d)) return write_line(x, *line, owner);
        return false;
    case MB_Object::ID_RAY:
        if (auto* ray = dynamic_cast<MB_Ray*>(&d)) return write_ray(x, *ray, "RAY", "AcDbRay", owner);
        return false;
    case MB_Object::ID_XLINE:
        if (auto* xline = dynamic_cast<MB_Xline*>(&d)) return write_ray(x, *xline, "XLINE", "AcDbXline", owner);
        return false;
    case MB_Object::ID_LINES:
        if (auto* chain = dynamic_cast<MB_Lines*>(&d)) return write_chain(x, *chain, owner);
        return false;
    default:
        return false;
    }
}
