#include "kernel/operation/flat_create.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "geometry/log.h"
#include "geometry/loop.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/tessellation.h"
#include "geometry/tolerance.h"
#include "kernel/database/block.h"
#include "kernel/database/color.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/named_view.h"
#include "kernel/database/system_setting.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/image.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"
#include "kernel/operation/flat_create_p.h"
#include "kernel/operation/image_type.h"
#include "kernel/operation/operation.h"
#include "platform/ximage.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"

using mb_flat::active_drawing;
using mb_flat::from_xyz;
using mb_flat::handle;
using mb_flat::append;
using mb_flat::place;

namespace {

// The image type code of metafiles (EMF and WMF).
constexpr int k_metafile_type = 10;

// Points of the arc convert_arc_2_lines tessellates, and how many of them it keeps.
constexpr int k_bulge_points = 50;

// What every image made from a file shares: its name and type code, the picture, the centre.
// Metafiles (EMF, WMF) are loaded as such, their size times 0.01 the frame, when
// metafiles_as_pictures; otherwise every file goes to the raster class (which draws a
// metafile into pixels), within the drawing's pixel budget. True when something was read; an
// unreadable file leaves the image without a picture and says so in the log, as does an image
// the budget or the memory cannot hold (and the budget notes it).
bool load_image(MB_Image& image, const char* path, const Qe_Pt& centre, bool metafiles_as_pictures,
                const std::shared_ptr<MB_Pixel_Budget>& budget)
{
    const int type = FindImageType(path);
    image.set_filename(path);
    image.image_format(static_cast<unsigned short>(std::max(type, 0)));
    bool read = false;
    const char* why = "";
    if (path && metafiles_as_pictures && type == k_metafile_type) {
        read = image.LoadPictureFile(path);
        image.width(image.width() * 0.01);
        image.height(image.height() * 0.01);
    } else if (path) {
        const CxImage::Decode_Result r = image.load_raster(path, static_cast<unsigned short>(std::max(type, 0)), budget);
        read = r == CxImage::Decode_Result::decoded;
        if (r == CxImage::Decode_Result::over_limit) why = " (more pixels than the drawing's image budget)";
        if (r == CxImage::Decode_Result::out_of_memory) why = " (out of memory)";
        if (const CxImage* raster = image.image()) {
            image.width(raster->GetWidth());
            image.height(raster->GetHeight());
        }
    }
    image.center(centre);
    if (path && !read) message_out("Error open the image file:", path, why, true);
    return read;
}

// The image forms that take a drawing: made, loaded, built when asked, placed by the rule
// of every creation function.
MB_Image* create_image(MB_Drawing* d, const char* path, const Qe_Pt& centre, bool metafiles_as_pictures, bool build)
{
    if (!d || !path) return nullptr;
    auto* image = new MB_Image();
    (void)load_image(*image, path, centre, metafiles_as_pictures, d->pixel_budget_ptr());
    return place(*d, image, build);
}

}  // namespace

// ---- creation ----

bool api_mb_create_point(MB_Point*& point, const double* xyz)
{
    MB_Drawing* d = active_drawing();
    if (!d || !xyz) return false;
    point = place(*d, new MB_Point(from_xyz(xyz)));
    // The point is the drawing's: a caller taking false for failure would free it.
    return true;
}

mb_handle api_mb_create_point(const Qe_Pt& p, unsigned short type, double size)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    auto* point = new MB_Point(p);
    point->point_type(type);
    point->size(size);
    return handle(place(*d, point));
}

bool api_mb_create_line(MB_Line*& line, const Qe_Pt& start, const Qe_Pt& end)
{
    MB_Drawing* d = active_drawing();
    if (!d) return false;
    line = place(*d, new MB_Line(start, end));
    return true;
}

bool api_mb_create_line(MB_Line*& line, const double* start, const double* end)
{
    MB_Drawing* d = active_drawing();
    if (!d || !start || !end) return false;
    line = place(*d, new MB_Line(start, end), false);
    return true;
}

bool api_mb_create_lines(MB_Lines*& lines, int n)
{
    MB_Drawing* d = active_drawing();
    if (!d || n < 1) return false;
    lines = place(*d, new MB_Lines(n), false);
    return true;
}

mb_handle api_mb_create_lines(double* x, double* y, long n)
{
    MB_Drawing* d = active_drawing();
    if (!d || !x || !y || n < 1 || n > mb_flat::k_max_count) return 0;
    auto* lines = new MB_Lines(static_cast<int>(n));
    Qe_Pt* pts = lines->pt_set().points();
    for (long i = 0; i < n; ++i) pts[i] = Qe_Pt(x[i], y[i], 0.0);
    return handle(place(*d, lines));
}

mb_handle api_mb_create_rect(double x1, double y1, double x2, double y2)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    auto* lines = new MB_Lines(5);
    const Qe_Pt corners[5] = {{x1, y1, 0}, {x2, y1, 0}, {x2, y2, 0}, {x1, y2, 0}, {x1, y1, 0}};
    std::copy(corners, corners + 5, lines->pt_set().points());
    return handle(place(*d, lines));
}

mb_handle api_mb_create_arc(const double* centre, double radius, double start_angle, double end_angle)
{
    MB_Drawing* d = active_drawing();
    if (!d || !centre) return 0;
    return handle(place(*d, new MB_Arc(from_xyz(centre), radius, start_angle, end_angle)));
}

mb_handle api_mb_create_circle(double x, double y, double radius)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    return handle(place(*d, new MB_Circle(Qe_Pt(x, y, 0.0), radius)));
}

mb_handle api_mb_create_ellipse(Qe_Pt& centre, double major, double minor, double angle)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    return handle(place(*d, new MB_Ellipse(centre, major, minor, angle)));
}

mb_handle api_mb_create_ellipse_arc(Qe_Pt& centre, double major, double minor, double angle, double start,
                                    double end)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    return handle(place(*d, new MB_Ellipse_Arc(centre, major, minor, angle, start, end)));
}

MB_Ellipse* api_mb_create_ellipse3pt(Qe_Pt c, Qe_Pt p1, Qe_Pt p2)
{
    const Qe_Vec axis = p1 - c;
    const double a = axis.len();
    if (!(a > 1e-6)) return nullptr;
    const double angle = angle_between(Qe_Vec(1.0, 0.0, 0.0), axis, Qe_Uvec(0.0, 0.0, 1.0));
    const Qe_Vec u = axis / a;
    const Qe_Vec v(-u.y(), u.x(), 0.0);
    const Qe_Vec w = p2 - c;
    const double x = std::fabs(w.x() * u.x() + w.y() * u.y() + w.z() * u.z());
    const double y = std::fabs(w.x() * v.x() + w.y() * v.y() + w.z() * v.z());
    const double h = 1.0 - x * x / (a * a);
    if (!(h > 0.0)) return nullptr;
    return new MB_Ellipse(c, a, std::sqrt(y * y / h), angle);
}

MB_Polyline* api_mb_create_polyline(int n)
{
    const int count = std::clamp(n, 0, MB_Polyline::k_max_count);
    return new MB_Polyline(false, static_cast<unsigned short>(count), count > 0 ? new MB_Pline_Pos[count] : nullptr);
}

bool api_mb_create_polyline(MB_Polyline*& polyline, int n, bool closed)
{
    MB_Drawing* d = active_drawing();
    if (!d || n < 1 || n > MB_Polyline::k_max_count) return false;
    polyline = place(*d, new MB_Polyline(closed, static_cast<unsigned short>(n), new MB_Pline_Pos[n]), false);
    return true;
}

mb_handle api_mb_create_polyline(int n, Qe_Pt* pts, double* w1, double* w2, double* bulges, int closed)
{
    MB_Drawing* d = active_drawing();
    if (!d || !pts || n < 1 || n > MB_Polyline::k_max_count) return 0;
    auto vertices = std::make_unique<MB_Pline_Pos[]>(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        vertices[i].point = pts[i];
        vertices[i].start_width = w1 ? w1[i] : 0.0;
        vertices[i].end_width = w2 ? w2[i] : 0.0;
        vertices[i].bulge = bulges ? bulges[i] : 0.0;
    }
    return handle(place(*d, new MB_Polyline(closed == 1, static_cast<unsigned short>(n), vertices.release())));
}

bool api_mb_set_pline_pos(MB_Polyline*& polyline, int i, double x, double y, double z)
{
    if (!polyline || i < 0 || i >= polyline->count()) return false;
    polyline->pline_pos()[i].point = Qe_Pt(x, y, z);
    return true;
}

bool api_mb_create_solid(MB_Solid*& solid, const double* p1, const double* p2, const double* p3, const double* p4,
                         int n)
{
    MB_Drawing* d = active_drawing();
    if (!d || !p1 || !p2 || !p3 || !p4 || n > mb_flat::k_max_count) return false;
    auto* s = new MB_Solid(std::max(n, 4));
    Qe_Pt* pts = s->vertices().points();
    pts[0] = from_xyz(p1);
    pts[1] = from_xyz(p2);
    pts[2] = from_xyz(p3);
    pts[3] = from_xyz(p4);
    solid = place(*d, s, false);
    return true;
}

mb_handle api_mb_create_solid(double* x, double* y, int n)
{
    MB_Drawing* d = active_drawing();
    if (!d || !x || !y || n < 1 || n > mb_flat::k_max_count) return 0;
    std::vector<Qe_Pt> pts(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) pts[static_cast<std::size_t>(i)] = Qe_Pt(x[i], y[i], 0.0);
    Qe_Loop loop(pts.data(), n);
    return handle(place(*d, new MB_Solid(loop)));
}

mb_handle api_mb_create_solid(Qe_Loop* loop)
{
    MB_Drawing* d = active_drawing();
    if (!d || !loop || !loop->head()) return 0;
    return handle(place(*d, new MB_Solid(*loop)));
}

mb_handle api_mb_create_face(unsigned short flags, Qe_Pt& p1, Qe_Pt& p2, Qe_Pt& p3, Qe_Pt& p4)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    auto* face = new MB_Face(4);
    Qe_Pt* pts = face->vertices().points();
    pts[0] = p1;
    pts[1] = p2;
    pts[2] = p3;
    pts[3] = p4;
    face->face_flag(flags);
    return handle(place(*d, face));
}

mb_handle api_mb_create_image(char* path, const Qe_Pt& centre)
{
    return handle(create_image(active_drawing(), path, centre, true, true));
}

MB_Image* api_mb_create_image(MB_Operation& operation, char* path, Qe_Pt centre)
{
    return create_image(operation.drawing(), path, centre, false, true);
}

MB_Image* api_mb_create_image(MB_Drawing& drawing, char* path, Qe_Pt centre)
{
    return create_image(&drawing, path, centre, false, false);
}

bool api_mb_create_block(MB_Block*& block, const char* name, const double* base)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name || !base) return false;
    block = new MB_Block(from_xyz(base), MB_String(name), MB_String(" "));
    d->open_block(block);
    return true;
}

bool api_mb_end_block(MB_Block*& block)
{
    MB_Drawing* d = active_drawing();
    if (!d || !block) return false;
    return d->close_block(block);
}

bool api_mb_create_layer(MB_Layer*& layer, const char* name, long colour, unsigned short, bool visible, bool locked,
                         bool frozen)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name) return false;
    auto* l = new MB_Layer(MB_String(name));
    l->color(static_cast<mb_ulong>(colour));
    l->visibility(visible);
    l->lock(locked);
    l->freeze(frozen);
    d->layer_list().add_tail(l);
    layer = l;
    return true;
}

mb_handle api_mb_create_line_type(MB_Line_Type*& line_type, char* name, char* desc, double length, int k,
                                  double* lengths, double* scales, double* angles, double* x_offsets,
                                  double* y_offsets, short* shape_flags, short* shape_codes)
{
    MB_Drawing* d = active_drawing();
    if (!d || k < 0 || k > (1 << 16)) return 0;
    MB_Line_Type* lt = line_type ? line_type : new MB_Line_Type();
    lt->name(name);
    lt->desc(desc);
    lt->pattern_length(length);
    const auto at = [](const auto* a, int i) { return a ? a[i] : 0; };
    for (int i = 0; i < k; ++i)
        lt->linetype_loop().add(new MB_Linetype_Node(at(lengths, i), at(scales, i), at(angles, i), at(x_offsets, i),
                                                     at(y_offsets, i), static_cast<short>(at(shape_flags, i)),
                                                     static_cast<short>(at(shape_codes, i))));
    append(d->line_type_list(), lt);
    line_type = lt;
    return handle(lt);
}

mb_handle api_mb_create_viewport(MB_Named_View*& view, char* name)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name) return 0;
    MB_Named_View* v = view;
    if (!v) {
        v = new MB_Named_View();
        v->lt(Qe_Pt(0, 0, 0));
        v->rb(Qe_Pt(0, 0, 0));
    }
    v->name() = name;
    append(d->named_view_list(), v);
    view = v;
    return handle(v);
}

bool api_mb_set_ptset_pos(MB_Drawable*& entity, int i, double x, double y, double z)
{
    if (!entity) return false;
    if (entity->object_id() != MB_Object::ID_LINES) return true;
    Qe_Pt_Set& set = static_cast<MB_Lines*>(entity)->pt_set();
    if (i < 0 || i >= set.count()) return false;
    set.points()[i] = Qe_Pt(x, y, z);
    return true;
}

bool api_set_drawable_prop(MB_Drawable*& entity, long colour, long, long layer_id)
{
    if (!entity) return false;
    entity->general().color(colour);
    MB_Drawing* d = active_drawing();
    entity->general().layer(d ? d->find_layer(static_cast<unsigned long>(layer_id)) : nullptr);
    return true;
}

COLORREF api_mb_get_color_byindex(short index, short n)
{
    if (index == -1 || index == 256) {
        MB_Drawing* d = active_drawing();
        MB_Object* layer = d && n >= 0 ? d->layer_list().get(n) : nullptr;
        if (layer) return static_cast<COLORREF>(static_cast<MB_Layer*>(layer)->color());
    } else if (index >= 0 && index < 256) {
        return mb_palette_colorref(index);
    }
    // Outside the palette: the colour new entities get.
    return static_cast<COLORREF>(api_active_system_setting().get_long_val(MB_System_Setting::k_long_color));
}

void convert_arc_2_lines(MB_Pline_Pos& a, MB_Pline_Pos& b, Qe_Loop* loop)
{
    if (!loop) return;
    const Qe_Vec dv = b.point - a.point;
    const double chord = dv.len();
    Qe_Pt centre;
    double radius = 0.0;
    bool ok = chord >= resabs && std::fabs(a.bulge) >= resabs;
    if (ok) {
        const Qe_Pt m = a.point + dv / 2.0;
        const Qe_Vec n = Qe_Vec(dv.y(), -dv.x(), 0.0) / chord;
        const Qe_Pt q = m + n * (chord / 2.0 * a.bulge);
        ok = a.bulge > 0 ? api_mb_get_3ptcircle(a.point, q, b.point, centre, radius)
                         : api_mb_get_3ptcircle(b.point, q, a.point, centre, radius);
    }
    if (!ok) {
        // No circle: the segment is straight.
        loop->add(a.point);
        return;
    }
    std::array<Qe_Pt, k_bulge_points> points;
    Qe_Pt* pts = points.data();
    const bool made = a.bulge > 0 ? arc_to_ptset(centre, radius, a.point, b.point, k_bulge_points, pts)
                                  : arc_to_ptset(centre, radius, b.point, a.point, k_bulge_points, pts);
    if (made) {
        if (a.bulge < 0) api_mb_reverse_pts(pts, k_bulge_points);
        for (int i = 0; i < k_bulge_points - 1; ++i) loop->add(pts[i]);
    } else {
        loop->add(a.point);
    }
}

// ---- make ----

void api_mb_make_line(MB_Line*& line, const Qe_Pt& p1, const Qe_Pt& p2)
{
    if (!line) {
        line = new MB_Line(p1, p2);
        return;
    }
    line->modify_cmd();
    line->start(p1);
    line->modify_cmd();
    line->end(p2);
}

bool api_mb_make_lines(MB_Lines*& lines, Qe_Pt_List& points)
{
    if (!points.head()) return false;
    if (!lines) lines = new MB_Lines;
    lines->pt_set().init(points);
    return true;
}

bool api_mb_make_solid(MB_Solid*& solid, Qe_Pt_List& points)
{
    if (!points.head()) return false;
    if (!solid) solid = new MB_Solid(0);
    solid->vertices().init(points);
    return true;
}

bool api_mb_make_spline(MB_Bspline*& spline, Qe_Pt_List& points)
{
    if (!points.head()) return false;
    if (spline) return true;
    spline = new MB_Bspline();
    spline->fitpts().init(points);
    return true;
}

bool api_mb_make_image(MB_Image*& image, char* path, Qe_Pt& centre)
{
    if (!image) image = new MB_Image();
    // Not yet in a drawing: the active drawing's budget, where there is one.
    MB_Drawing* d = active_drawing();
    return load_image(*image, path, centre, true, d ? d->pixel_budget_ptr() : nullptr);
}

bool api_mb_make_circle(MB_Circle*& circle, const Qe_Pt& centre, double radius)
{
    if (radius > -resabs && radius < resabs) return false;
    if (!circle) {
        circle = new MB_Circle(centre, radius);
        return true;
    }
    circle->modify_cmd();
    circle->center(centre);
    circle->modify_cmd();
    circle->radius(radius);
    return true;
}

bool api_mb_make_circle_3pt(MB_Circle*& circle, const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3)
{
    Qe_Pt centre;
    double radius = 0.0;
    if (!api_mb_get_3ptcircle(p1, p2, p3, centre, radius)) return false;
    return api_mb_make_circle(circle, centre, radius);
}

void api_mb_make_arc(MB_Arc*& arc, const Qe_Pt& centre, double radius, double a1, double a2)
{
    if (!arc) {
        arc = new MB_Arc(centre, radius, a1, a2);
        return;
    }
    arc->modify_cmd();
    arc->center(centre);
    arc->modify_cmd();
    arc->radius(radius);
    arc->modify_cmd();
    arc->start_angle(a1);
    arc->modify_cmd();
    arc->end_angle(a2);
}

void api_mb_make_arc_cse(MB_Arc*& arc, const Qe_Pt& c, const Qe_Pt& s, const Qe_Pt& e)
{
    const Qe_Uvec z(0.0, 0.0, 1.0);
    const Qe_Vec x(1.0, 0.0, 0.0);
    api_mb_make_arc(arc, c, (c - s).len(), angle_between(x, s - c, z), angle_between(x, e - c, z));
}

void api_mb_make_arc_sme(MB_Arc*& arc, const Qe_Pt& s, const Qe_Pt& m, const Qe_Pt& e)
{
    if (arc) return;
    Qe_Pt centre;
    double radius = 0.0;
    if (!api_mb_get_3ptcircle(s, m, e, centre, radius)) return;
    const double turn = angle_between(s - m, m - e, Qe_Uvec(0.0, 0.0, 1.0));
    if (turn > 3.141592653589793)
        api_mb_make_arc_cse(arc, centre, e, s);
    else
        api_mb_make_arc_cse(arc, centre, s, e);
}

void api_mb_make_arc_sem(MB_Arc*& arc, const Qe_Pt& s, const Qe_Pt& e, const Qe_Pt& m)
{
    api_mb_make_arc_sme(arc, s, m, e);
}

bool api_mb_make_text(MB_Text*& text, char* string, const Qe_Pt& pos, char* style, double height,
                      MB_Drawing& drawing)
{
    if (text) return true;
    text = new MB_Text(pos, MB_String(string ? string : ""));
    (void)text->init_text_style(drawing, style ? style : "DEFAULT_STYLE");
    text->text_style()->height(height);
    return true;
}

bool api_mb_kill_object(MB_Object*)
{
    return true;
}

bool api_mb_kill_object_list(Qe_Void_List&)
{
    return true;
}

bool api_mb_translate_list(Qe_Void_List&, const Qe_Tran&)
{
    return true;
}
