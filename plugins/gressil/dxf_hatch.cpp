// Hatches: solid and pattern fills as HATCH, offset fills as the rings the kernel drew.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_export_p.h"

namespace {

// The points of a loop's ring, from its head once round.
std::vector<Qe_Pt> ring_points(const Qe_Loop& loop)
{
    std::vector<Qe_Pt> pts;
    const long n = loop.count();
    Qe_Loop_Node* node = loop.head();
    for (long i = 0; i < n && node; ++i, node = node->next()) pts.push_back(node->point());
    return pts;
}

// The boundary paths of a HATCH: one polyline path per drawn loop.
void write_boundary_paths(Dxf_Writer& w, const std::vector<std::vector<Qe_Pt>>& loops)
{
    w.integer(91, static_cast<long long>(loops.size()));
    for (const std::vector<Qe_Pt>& pts : loops) {
        w.integer(92, 2);  // a polyline path
        w.integer(72, 0);
        w.integer(73, 1);
        w.integer(93, static_cast<long long>(pts.size()));
        for (const Qe_Pt& p : pts) w.point2(10, p.x(), p.y());
        w.integer(97, 0);
    }
}

// One pattern line of a HATCH in drawing units: the kernel's lattice (origin from the loops'
// lower-left corner, step along and across the line, lengths times the scale, everything
// turned by the pattern's rotation) written as DXF's base point, offset vector and dashes.
struct Dxf_Pattern_Line {
    double angle_deg;
    double bx, by;
    double ox, oy;
    std::vector<double> dashes;
};

std::vector<Dxf_Pattern_Line> pattern_lines(MB_Hatch_Type& type, const Qe_Pt& corner)
{
    std::vector<Dxf_Pattern_Line> out;
    const double s = type.scale();
    const double rot = type.angle();
    const double cr = std::cos(rot), sr = std::sin(rot);
    for (Qe_Void_Node* n = type.string_list().head(); n; n = n->next()) {
        MB_Pattern_Line line;
        if (!n->entity() || !MB_Hatch_Type::parse_pattern_line(*static_cast<const MB_String*>(n->entity()), line))
            continue;
        // The kernel draws no family without a spacing across its lines; nor may a reader.
        if (!(std::fabs(line.dy) * s > resabs)) continue;
        Dxf_Pattern_Line d;
        d.angle_deg = line.angle + dxf::degrees(rot);
        const double a = d.angle_deg * std::numbers::pi / 180.0;
        const double c = std::cos(a), sn = std::sin(a);
        d.bx = corner.x() + (line.ox * cr - line.oy * sr) * s;
        d.by = corner.y() + (line.ox * sr + line.oy * cr) * s;
        d.ox = (line.dx * c - line.dy * sn) * s;
        d.oy = (line.dx * sn + line.dy * c) * s;
        if (!std::isfinite(d.angle_deg) || !std::isfinite(d.bx) || !std::isfinite(d.by) || !std::isfinite(d.ox) ||
            !std::isfinite(d.oy))
            continue;
        for (double v : line.dashes) d.dashes.push_back(v * s);
        out.push_back(std::move(d));
    }
    return out;
}

}  // namespace

bool dxf::write_runs(Dxf_Exporter& x, MB_Drawable& d, const Qe_Pt_Sets& runs, std::uint64_t owner)
{
    const Qe_Pt* p = runs.points();
    const mb_ulong* counts = runs.vals();
    if (!p || !counts) return true;
    for (mb_ulong r = 0; r < runs.ptset_count(); ++r) {
        x.polyline_of_points(d, owner, p, static_cast<int>(counts[r]), nullptr, false);
        p += counts[r];
    }
    return true;
}

// A solid fill is a HATCH of its drawn loops under the odd-parity rule, as the kernel fills
// them; a pattern fill is a HATCH with its pattern lines, under the style of the kernel's
// crossing mode (0 all crossings, 1 the outermost, 2 the first and last). The offset fill has
// no DXF form and is shown by the rings the kernel generated for it.
bool dxf::write_hatch(Dxf_Exporter& x, MB_Hatch& hatch, std::uint64_t owner)
{
    const bool solid = hatch.is_solid();
    if (!solid && hatch.is_offset()) {
        for (Qe_Void_Node* n = hatch.ptsets_list().head(); n; n = n->next())
            if (const auto* sets = static_cast<const Qe_Pt_Sets*>(n->entity())) dxf::write_runs(x, hatch, *sets, owner);
        return true;
    }
    std::vector<std::vector<Qe_Pt>> loops;
    Qe_Void_List drawn;
    bool unusable = false;
    for (Qe_Void_Node* n = hatch.loop_list().head(); n; n = n->next()) {
        auto* loop = static_cast<Qe_Loop*>(n->entity());
        if (!loop || loop == hatch.excluded_loop()) continue;
        std::vector<Qe_Pt> pts = ring_points(*loop);
        bool finite = true;
        for (const Qe_Pt& p : pts) finite = finite && std::isfinite(p.x()) && std::isfinite(p.y());
        unusable |= !finite;
        if (pts.size() < 3 || !finite) continue;
        loops.push_back(std::move(pts));
        (void)drawn.add(loop);
    }
    // Without loops nothing is drawn, unless they were there and could not be written.
    if (loops.empty()) return !unusable;
    Dxf_Writer& w = x.out();
    if (solid) {
        x.entity_head("HATCH", hatch, owner);
        w.text(100, "AcDbHatch");
        w.point(10, 0, 0, 0);
        w.point(210, 0, 0, 1);
        w.text(2, "SOLID");
        w.integer(70, 1);
        w.integer(71, 0);
        write_boundary_paths(w, loops);
        w.integer(75, 0);
        w.integer(76, 1);
        w.integer(98, 0);
        return true;
    }
    MB_Hatch_Type& type = *hatch.get_hatchtype();
    Qe_Pt corner;
    // A pattern of no line the kernel can draw (no spacing across its lines, say) keeps its
    // boundary: a pattern hatch without lines, which draws nothing, as the kernel does.
    const std::vector<Dxf_Pattern_Line> lines =
        MB_Hatch_Type::pattern_corner(drawn, corner) ? pattern_lines(type, corner) : std::vector<Dxf_Pattern_Line>{};
    MB_String name(type.name());
    x.entity_head("HATCH", hatch, owner);
    w.text(100, "AcDbHatch");
    w.point(10, 0, 0, 0);
    w.point(210, 0, 0, 1);
    w.text(2, dxf_table_name(name.unicode(), name.length(), "USER"));
    w.integer(70, 0);
    w.integer(71, 0);
    write_boundary_paths(w, loops);
    w.integer(75, std::clamp(hatch.type(), 0, 2));
    w.integer(76, 2);  // custom: the lines below are the whole definition
    w.real(52, dxf::degrees(type.angle()));
    w.real(41, type.scale());
    w.integer(77, 0);
    w.integer(78, static_cast<long long>(lines.size()));
    for (const Dxf_Pattern_Line& l : lines) {
        w.real(53, l.angle_deg);
        w.real(43, l.bx);
        w.real(44, l.by);
        w.real(45, l.ox);
        w.real(46, l.oy);
        w.integer(79, static_cast<long long>(l.dashes.size()));
        for (double v : l.dashes) w.real(49, v);
    }
    w.integer(98, 0);
    return true;
}
