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

}  // namespace

bool write_native_entity(Dxf_Exporter& x, MB_Drawable& d, std::uint64_t owner)
{
    switch (d.object_id()) {
    case MB_Object::ID_INSERT:
        if (auto* insert = dynamic_cast<MB_Insert*>(&d)) return write_insert(x, *insert, owner);
        return false;
    default:
        return false;
    }
}
