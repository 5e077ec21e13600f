// The entity kinds that DXF has a form of its own for: the geometric kinds, references,
// dimensions and images here, and the dispatch to every writer of a kind.

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>
#include <numbers>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_export_p.h"
#include "platform/ximage.h"

namespace {

using dxf::degrees;

// In [0, 2π).
double normalized_turn(double t)
{
    t = std::fmod(t, 2 * std::numbers::pi);
    return t < 0.0 ? t + 2 * std::numbers::pi : t;
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
    x.write_thickness(line);
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

bool write_circle(Dxf_Exporter& x, MB_Circle& circle, std::uint64_t owner)
{
    const double r = circle.radius();
    if (!(r > 0.0) || !std::isfinite(r)) return false;
    Dxf_Writer& w = x.out();
    const Qe_Pt& c = circle.center();
    x.entity_head("CIRCLE", circle, owner);
    w.text(100, "AcDbCircle");
    x.write_thickness(circle);
    w.point(10, c.x(), c.y(), c.z());
    w.real(40, r);
    return true;
}

bool write_arc(Dxf_Exporter& x, MB_Arc& arc, std::uint64_t owner)
{
    const double r = arc.radius();
    if (!(r > 0.0) || !std::isfinite(r)) return false;
    Dxf_Writer& w = x.out();
    const Qe_Pt& c = arc.center();
    x.entity_head("ARC", arc, owner);
    w.text(100, "AcDbCircle");
    x.write_thickness(arc);
    w.point(10, c.x(), c.y(), c.z());
    w.real(40, r);
    w.text(100, "AcDbArc");
    w.real(50, degrees(arc.start_angle()));
    w.real(51, degrees(arc.end_angle()));
    return true;
}

// DXF keeps the major axis as the longer one (ratio at most 1): a kernel ellipse whose
// "minor" axis is the longer has its axes exchanged, which turns the parameter back by π/2.
bool write_ellipse(Dxf_Exporter& x, MB_Ellipse& e, double start, double end, std::uint64_t owner)
{
    double major = e.major(), minor = e.minor(), angle = e.angle();
    if (!(major > 0.0) || !(minor > 0.0) || !std::isfinite(major) || !std::isfinite(minor)) return false;
    if (minor > major) {
        std::swap(major, minor);
        angle += std::numbers::pi / 2;
        start -= std::numbers::pi / 2;
        end -= std::numbers::pi / 2;
    }
    // Parameters within one turn; a whole ellipse keeps 0 to 2π.
    const bool whole = end - start >= 2 * std::numbers::pi;
    if (whole) {
        start = 0.0;
        end = 2 * std::numbers::pi;
    } else {
        start = normalized_turn(start);
        end = normalized_turn(end);
    }
    Dxf_Writer& w = x.out();
    const Qe_Pt& c = e.center();
    x.entity_head("ELLIPSE", e, owner);
    w.text(100, "AcDbEllipse");
    w.point(10, c.x(), c.y(), c.z());
    w.point(11, major * std::cos(angle), major * std::sin(angle), 0.0);
    w.real(40, minor / major);
    w.real(41, start);
    w.real(42, end);
    return true;
}

bool write_point(Dxf_Exporter& x, MB_Point& point, std::uint64_t owner)
{
    Dxf_Writer& w = x.out();
    const Qe_Pt& p = point.point();
    x.entity_head("POINT", point, owner);
    w.text(100, "AcDbPoint");
    w.point(10, p.x(), p.y(), p.z());
    x.write_thickness(point);
    return true;
}

// Bulges and widths per vertex. A segment whose two widths are 0 takes the global width, as
// the kernel draws it, so every width is written per vertex and no constant width is needed.
bool write_polyline(Dxf_Exporter& x, MB_Polyline& pl, std::uint64_t owner)
{
    const int n = pl.count();
    const MB_Pline_Pos* v = pl.pline_pos();
    if (n < 2 || !v) return false;
    // Two straight vertices are not closed back.
    const bool closed = pl.closed() && (n > 2 || v[n - 1].bulge != 0.0);
    bool widths = pl.global_width() > 0.0;
    for (int i = 0; i < n && !widths; ++i) widths = v[i].start_width > 0.0 || v[i].end_width > 0.0;
    Dxf_Writer& w = x.out();
    x.entity_head("LWPOLYLINE", pl, owner);
    w.text(100, "AcDbPolyline");
    w.integer(90, n);
    w.integer(70, closed ? 1 : 0);
    x.write_thickness(pl);
    for (int i = 0; i < n; ++i) {
        w.point2(10, v[i].point.x(), v[i].point.y());
        if (widths) {
            double w0 = v[i].start_width, w1 = v[i].end_width;
            if (w0 == 0.0 && w1 == 0.0) w0 = w1 = pl.global_width();
            w.real(40, w0);
            w.real(41, w1);
        }
        if (v[i].bulge != 0.0) w.real(42, v[i].bulge);
    }
    return true;
}

bool write_solid(Dxf_Exporter& x, MB_Solid& solid, std::uint64_t owner)
{
    Qe_Pt corners[4];
    if (!solid_corners(solid.points(), solid.count(), corners)) return false;
    Dxf_Writer& w = x.out();
    x.entity_head("SOLID", solid, owner);
    w.text(100, "AcDbTrace");
    for (int i = 0; i < 4; ++i) w.point(10 + i, corners[i].x(), corners[i].y(), corners[i].z());
    x.write_thickness(solid);
    return true;
}

// Corners in ring order with the hidden-edge bits, which mean the same in DXF.
bool write_face(Dxf_Exporter& x, MB_Face& face, std::uint64_t owner)
{
    const int n = face.count();
    const Qe_Pt* p = face.points();
    if ((n != 3 && n != 4) || !p) return false;
    const Qe_Pt corners[4] = {p[0], p[1], p[2], n == 4 ? p[3] : p[2]};
    Dxf_Writer& w = x.out();
    x.entity_head("3DFACE", face, owner);
    w.text(100, "AcDbFace");
    for (int i = 0; i < 4; ++i) w.point(10 + i, corners[i].x(), corners[i].y(), corners[i].z());
    w.integer(70, face.face_flag() & 0x0F);
    return true;
}

// A polygon mesh as a POLYLINE mesh (flag 16, with 1 and 32 for its closed directions) of the
// grid the kernel draws: its density grid when it has one, else its main grid, row by row as
// DXF orders a mesh's vertices. A grid the vertices cannot fill draws nothing; one that DXF's
// mesh cannot hold (more than 32767 vertices a side, or a vertex that is not finite) goes out
// as the runs the kernel draws.
bool write_polygon_mesh(Dxf_Exporter& x, MB_Polygon_Mesh& mesh, std::uint64_t owner)
{
    const bool density = mesh.meshm_density() >= 1 && mesh.meshn_density() >= 1;
    const long long rows = density ? mesh.meshm_density() : mesh.meshm();
    const long long cols = density ? mesh.meshn_density() : mesh.meshn();
    const long long first = density ? static_cast<long long>(mesh.meshm()) * mesh.meshn() : 0;
    if (rows < 2 || cols < 2 || first < 0 || first + rows * cols > mesh.count()) return true;
    // DXF counts a mesh's vertices in 16 bits.
    bool fits = rows <= 32767 && cols <= 32767;
    const Qe_Pt* p = mesh.points() + first;
    for (long long i = 0; i < rows * cols && fits; ++i) fits = dxf::finite_point(p[i]);
    if (!fits) return dxf::write_runs(x, mesh, mesh.runs(), owner);
    Dxf_Writer& w = x.out();
    const std::uint64_t polyline = x.entity_head("POLYLINE", mesh, owner);
    w.text(100, "AcDbPolygonMesh");
    w.integer(66, 1);
    w.point(10, 0, 0, 0);
    w.integer(70, 16 | (mesh.meshm_closed() ? 1 : 0) | (mesh.meshn_closed() ? 32 : 0));
    w.integer(71, rows);
    w.integer(72, cols);
    for (long long i = 0; i < rows * cols; ++i) {
        x.entity_head("VERTEX", mesh, polyline);
        w.text(100, "AcDbVertex");
        w.text(100, "AcDbPolygonMeshVertex");
        w.point(10, p[i].x(), p[i].y(), p[i].z());
        w.integer(70, 64);
    }
    x.entity_head("SEQEND", mesh, polyline);
    return true;
}

// A polyface mesh as a POLYLINE mesh (flag 64): every vertex, then a face record for each face
// the kernel draws, with the edges it draws: a line, an open triangle (its closing edge
// hidden), a triangle or a quadrilateral. Faces that draw nothing are left out. A mesh that
// DXF's cannot hold (more than 32767 vertices or faces, or a vertex that is not finite) goes
// out as the runs the kernel draws.
bool write_polyface_mesh(Dxf_Exporter& x, MB_Polyface_Mesh& mesh, std::uint64_t owner)
{
    struct Face {
        int refs[4];
    };
    std::vector<Face> faces;
    for (unsigned long f = 0; f < mesh.meshn(); ++f) {
        int run[5], n = 0;
        if (!mesh.face_run(f, run, n)) continue;
        // References count from 1; a negative one hides the edge that starts at it.
        Face face{{run[0] + 1, run[1] + 1, 0, 0}};
        if (n >= 3) face.refs[2] = n == 3 ? -(run[2] + 1) : run[2] + 1;
        if (n == 5) face.refs[3] = run[3] + 1;
        faces.push_back(face);
    }
    if (faces.empty()) return true;
    // DXF counts a mesh's vertices and faces in 16 bits.
    bool fits = mesh.count() <= 32767 && faces.size() <= 32767;
    for (int i = 0; i < mesh.count() && fits; ++i) {
        fits = dxf::finite_point(mesh.points()[i]);
    }
    if (!fits) return dxf::write_runs(x, mesh, mesh.runs(), owner);
    Dxf_Writer& w = x.out();
    const std::uint64_t polyline = x.entity_head("POLYLINE", mesh, owner);
    w.text(100, "AcDbPolyFaceMesh");
    w.integer(66, 1);
    w.point(10, 0, 0, 0);
    w.integer(70, 64);
    w.integer(71, mesh.count());
    w.integer(72, static_cast<long long>(faces.size()));
    for (int i = 0; i < mesh.count(); ++i) {
        const Qe_Pt& p = mesh.points()[i];
        x.entity_head("VERTEX", mesh, polyline);
        w.text(100, "AcDbVertex");
        w.text(100, "AcDbPolyFaceMeshVertex");
        w.point(10, p.x(), p.y(), p.z());
        w.integer(70, 128 | 64);
    }
    for (const Face& face : faces) {
        x.entity_head("VERTEX", mesh, polyline);
        w.text(100, "AcDbFaceRecord");
        w.point(10, 0, 0, 0);
        w.integer(70, 128);
        for (int r = 0; r < 4 && face.refs[r] != 0; ++r) w.integer(71 + r, face.refs[r]);
    }
    x.entity_head("SEQEND", mesh, polyline);
    return true;
}

// A fitted B-spline as SPLINE: the cubic the kernel draws, by its control points and knots,
// with the fit points it passes through. One whose cubic the kernel cannot compute
// (coordinates so large that their distances overflow) keeps its fit points: a SPLINE given by
// them alone, which readers fit. Splines given by control points go out as their display runs.
bool write_spline(Dxf_Exporter& x, MB_Bspline& spline, std::uint64_t owner)
{
    std::vector<Qe_Pt> control;
    std::vector<double> knots;
    bool cubic = spline.fitted_control(control, knots);
    for (const Qe_Pt& p : control) cubic = cubic && std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z());
    if (!cubic) {
        control.clear();
        knots.clear();
    }
    Qe_Pt_Set& fit = spline.fitpts();
    if (!cubic && fit.count() < 2) return false;
    Dxf_Writer& w = x.out();
    x.entity_head("SPLINE", spline, owner);
    w.text(100, "AcDbSpline");
    w.point(210, 0, 0, 1);
    w.integer(70, 8);  // planar
    w.integer(71, 3);
    w.integer(72, static_cast<long long>(knots.size()));
    w.integer(73, static_cast<long long>(control.size()));
    w.integer(74, fit.count());
    if (cubic) {
        w.real(42, 1e-10);
        w.real(43, 1e-10);
    }
    w.real(44, 1e-10);
    for (double k : knots) w.real(40, k);
    for (const Qe_Pt& p : control) w.point(10, p.x(), p.y(), p.z());
    for (int i = 0; i < fit.count(); ++i) w.point(11, fit[i].x(), fit[i].y(), fit[i].z());
    return true;
}

// A dimension as DIMENSION: its definition points as DXF places them for its kind, the text
// middle, the measurement (angles in radians), the DIMSTYLE it names, and its own *Dn block of
// the geometry the kernel built, which readers draw as it is.
bool write_dimension(Dxf_Exporter& x, MB_Dimension& d, std::uint64_t owner)
{
    const std::string& block = x.dimension_block(d);
    // Not collected: nothing built and nothing bound, so nothing shows.
    if (block.empty()) return true;
    Dxf_Writer& w = x.out();
    // DXF's dimension types number the kernel's kinds alike; 32: the block is this
    // dimension's alone; 128: the text stands where the dimension says.
    const int kind = d.kind() <= MB_Dimension::Angular_3pt ? int(d.kind()) : int(MB_Dimension::Linear);
    const bool angular = kind == MB_Dimension::Angular || kind == MB_Dimension::Angular_3pt;
    const Qe_Pt D = d.definition_pt(), p2 = d.dim_pt2(), p3 = d.dim_pt3(), p4 = d.dim_pt4();
    Qe_Pt def = D;
    if (kind == MB_Dimension::Angular) def = p4;
    x.entity_head("DIMENSION", d, owner);
    w.text(100, "AcDbDimension");
    w.text(2, block);
    w.point(10, def.x(), def.y(), def.z());
    w.point(11, d.text_mid().x(), d.text_mid().y(), d.text_mid().z());
    w.integer(70, kind | 32 | 128);
    w.integer(71, 5);  // text attached at its middle
    w.real(42, angular ? d.measurement() * std::numbers::pi / 180.0 : d.measurement());
    w.text(3, x.dimension_style(d));
    auto point = [&](int code, const Qe_Pt& p) { w.point(code, p.x(), p.y(), p.z()); };
    switch (kind) {
    case MB_Dimension::Linear:
    case MB_Dimension::Aligned:
        w.text(100, "AcDbAlignedDimension");
        point(13, p2);
        point(14, p3);
        if (kind == MB_Dimension::Linear) {
            // The kernel measures along y when the definition point lies off both measured
            // points' x, else along x.
            const bool vertical = D.x() != p2.x() && D.x() != p3.x();
            w.real(50, vertical ? 90.0 : 0.0);
            w.text(100, "AcDbRotatedDimension");
        }
        break;
    case MB_Dimension::Angular:
        // Legs p3 -> p2 and D -> p4; the arc through the arc point.
        w.text(100, "AcDb2LineAngularDimension");
        point(13, p3);
        point(14, p2);
        point(15, D);
        point(16, d.arcdef_pt());
        break;
    case MB_Dimension::Diameter:
    case MB_Dimension::Radius:
        w.text(100, kind == MB_Dimension::Diameter ? "AcDbDiametricDimension" : "AcDbRadialDimension");
        point(15, p4);
        w.real(40, 0.0);
        break;
    default:
        // Vertex p4, legs toward p2 and p3, the arc through D.
        w.text(100, "AcDb3PointAngularDimension");
        point(13, p2);
        point(14, p3);
        point(15, p4);
        break;
    }
    return true;
}

// A raster image as IMAGE: the frame's lower-left corner, one pixel's width and height as the
// U and V vectors (the kernel draws the frame axis-aligned, whatever angle it stores), and the
// IMAGEDEF of its raster. An image without a raster (a picture or a metafile) or without room
// for its raster shows as its frame.
bool write_image(Dxf_Exporter& x, MB_Image& image, std::uint64_t owner)
{
    const Qe_Pt c = image.center();
    const double width = image.width(), height = image.height();
    if (!std::isfinite(c.x()) || !std::isfinite(c.y()) || !std::isfinite(c.z()) || !std::isfinite(width) ||
        !std::isfinite(height))
        return true;
    const std::uint64_t def = width > 0.0 && height > 0.0 ? x.image_def(image) : 0;
    if (!def) {
        const Qe_Pt frame[4] = {image.lb(), image.rb(), image.rt(), image.lt()};
        x.polyline_of_points(image, owner, frame, 4, nullptr, true);
        return true;
    }
    CxImage& raster = *image.image();
    const double px = raster.GetWidth(), py = raster.GetHeight();
    Dxf_Writer& w = x.out();
    const std::uint64_t handle = x.entity_head("IMAGE", image, owner);
    w.text(100, "AcDbRasterImage");
    w.integer(90, 0);
    w.point(10, c.x() - width / 2, c.y() - height / 2, c.z());
    w.point(11, width / px, 0, 0);
    w.point(12, 0, height / py, 0);
    w.point2(13, px, py);
    w.handle(340, def);
    // Shown, also when not aligned with the screen; transparent where the raster is.
    w.integer(70, 1 | 2 | (raster.AlphaIsValid() ? 8 : 0));
    w.integer(280, 0);
    w.integer(281, 50);
    w.integer(282, 50);
    w.integer(283, 0);
    w.handle(360, x.image_reactor(image, handle));
    // The whole raster as a rectangular boundary, in pixel coordinates.
    w.integer(71, 1);
    w.integer(91, 2);
    w.point2(14, -0.5, -0.5);
    w.point2(14, px - 0.5, py - 0.5);
    return true;
}

}  // namespace

bool solid_corners(const Qe_Pt* p, int n, Qe_Pt corners[4])
{
    if ((n != 3 && n != 4) || !p) return false;
    corners[0] = p[0];
    corners[1] = p[1];
    corners[2] = n == 4 ? p[3] : p[2];
    corners[3] = p[2];
    return true;
}

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
    case MB_Object::ID_CIRCLE:
        if (auto* circle = dynamic_cast<MB_Circle*>(&d); circle && !dynamic_cast<MB_Arc*>(&d))
            return write_circle(x, *circle, owner);
        return false;
    case MB_Object::ID_ARC:
        if (auto* arc = dynamic_cast<MB_Arc*>(&d)) return write_arc(x, *arc, owner);
        return false;
    case MB_Object::ID_ELLIPSE:
        if (auto* e = dynamic_cast<MB_Ellipse*>(&d); e && !dynamic_cast<MB_Ellipse_Arc*>(&d))
            return write_ellipse(x, *e, 0.0, 2 * std::numbers::pi, owner);
        return false;
    case MB_Object::ID_ELLIPSE_ARC:
        if (auto* e = dynamic_cast<MB_Ellipse_Arc*>(&d)) return write_ellipse(x, *e, e->start_param(), e->end_param(), owner);
        return false;
    case MB_Object::ID_POINT:
        if (auto* point = dynamic_cast<MB_Point*>(&d)) return write_point(x, *point, owner);
        return false;
    case MB_Object::ID_POLYLINE:
        if (auto* pl = dynamic_cast<MB_Polyline*>(&d)) return write_polyline(x, *pl, owner);
        return false;
    case MB_Object::ID_SOLID:
        if (auto* solid = dynamic_cast<MB_Solid*>(&d)) return write_solid(x, *solid, owner);
        return false;
    case MB_Object::ID_FACE:
        if (auto* face = dynamic_cast<MB_Face*>(&d)) return write_face(x, *face, owner);
        return false;
    case MB_Object::ID_POLYGON_MESH:
        if (auto* mesh = dynamic_cast<MB_Polygon_Mesh*>(&d)) return write_polygon_mesh(x, *mesh, owner);
        return false;
    case MB_Object::ID_POLYFACE_MESH:
        if (auto* mesh = dynamic_cast<MB_Polyface_Mesh*>(&d)) return write_polyface_mesh(x, *mesh, owner);
        return false;
    case MB_Object::ID_HATCH:
        if (auto* hatch = dynamic_cast<MB_Hatch*>(&d)) return dxf::write_hatch(x, *hatch, owner);
        return false;
    case MB_Object::ID_GROUP:
        // A group is its members: each goes out in its own form.
        if (auto* group = dynamic_cast<MB_Group*>(&d)) {
            for (Qe_Void_Node* n = group->object_list().head(); n; n = n->next())
                if (auto* member = static_cast<MB_Drawable*>(n->entity())) x.write_drawable(*member, owner);
            return true;
        }
        return false;
    case MB_Object::ID_BSPLINE:
        if (auto* spline = dynamic_cast<MB_Bspline*>(&d)) return write_spline(x, *spline, owner);
        return false;
    case MB_Object::ID_TEXT:
        if (auto* text = dynamic_cast<MB_Text*>(&d)) return dxf::write_text(x, *text, owner);
        return false;
    case MB_Object::ID_MTEXT:
        if (auto* m = dynamic_cast<MB_Mtext*>(&d)) return dxf::write_mtext(x, *m, owner);
        return false;
    case MB_Object::ID_TOLERANCE:
        if (auto* frame = dynamic_cast<MB_Tolerance*>(&d)) return dxf::write_tolerance(x, *frame, owner);
        return false;
    case MB_Object::ID_DIMENSION:
        if (auto* dim = dynamic_cast<MB_Dimension*>(&d)) return write_dimension(x, *dim, owner);
        return false;
    case MB_Object::ID_IMAGE:
        if (auto* image = dynamic_cast<MB_Image*>(&d)) return write_image(x, *image, owner);
        return false;
    default:
        return false;
    }
}
