#include "kernel/operation/flat_create_composite.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "geometry/loop.h"
#include "geometry/void_list.h"
#include "kernel/database/mb_string.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/mesh.h"
#include "kernel/operation/flat_create_p.h"
#include "kernel/operation/flat_edit.h"
#include "kernel/operation/operation.h"
#include "kernel/text/arc_text.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "kernel/text/tolerance_frame.h"
#include "kernel/text/trace_text.h"

using mb_flat::active_drawing;
using mb_flat::append;
using mb_flat::from_xyz;
using mb_flat::handle;
using mb_flat::k_max_count;
using mb_flat::place;

namespace {

// Colour of the hatches the flat functions make; importers rely on it.
constexpr long k_hatch_colour = 0x00FF00FF;

bool holds_loop(const Qe_Void_List& loops)
{
    for (Qe_Void_Node* n = loops.head(); n; n = n->next())
        if (n->entity()) return true;
    return false;
}

// A hatch bounded by copies of the listed loops; with keep_closed each copy keeps its loop's
// closed flag, otherwise it is closed.
std::unique_ptr<MB_Hatch> hatch_of(Qe_Void_List& loops, bool keep_closed)
{
    auto hatch = std::make_unique<MB_Hatch>();
    for (Qe_Void_Node* n = loops.head(); n; n = n->next()) {
        const auto* source = static_cast<const Qe_Loop*>(n->entity());
        if (!source) continue;
        auto* copy = new Qe_Loop(*source);
        if (!keep_closed) copy->closed(true);
        hatch->loop_add(copy);
    }
    hatch->general().color(k_hatch_colour);
    return hatch;
}

void set_tangents(MB_Bspline& spline, double sx, double sy, double sz, double ex, double ey, double ez)
{
    spline.starttangent(Qe_Uvec(sx, sy, sz));
    spline.endtangent(Qe_Uvec(ex, ey, ez));
}

}  // namespace

mb_handle api_mb_create_bspline(const Qe_Pt* fit, int n, double sx, double sy, double sz, double ex, double ey,
                                double ez)
{
    MB_Drawing* d = active_drawing();
    if (!d || !fit || n < 2 || n > k_max_count) return 0;
    auto* spline = new MB_Bspline(n, n);
    set_tangents(*spline, sx, sy, sz, ex, ey, ez);
    std::copy(fit, fit + n, spline->fitpts().points());
    return handle(place(*d, spline));
}

mb_handle api_mb_create_bspline(short degree, const Qe_Pt* ctl, int n, double* knots, int k, double sx, double sy,
                                double sz, double ex, double ey, double ez)
{
    MB_Drawing* d = active_drawing();
    if (!d || !ctl || n < 2 || n > k_max_count || k < 0 || k > k_max_count || (k > 0 && !knots)) return 0;
    auto spline = std::make_unique<MB_Bspline>(n, 0);
    spline->degree(degree);
    std::copy(ctl, ctl + n, spline->ctlpts().points());
    spline->create_kont_array(static_cast<unsigned long>(k));
    if (spline->knot_number() != static_cast<unsigned long>(k)) return 0;
    if (k > 0) std::copy(knots, knots + k, spline->knot());
    // The tangents are recorded: set them only once the spline is sure to be made.
    set_tangents(*spline, sx, sy, sz, ex, ey, ez);
    return handle(place(*d, spline.release()));
}

mb_handle api_mb_create_Polygon_mesh(MB_Polygon_Mesh*& mesh, int m, int n, int dm, int dn)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    MB_Polygon_Mesh* made = mesh;
    if (!made) {
        if (m < 0 || n < 0 || dm < 0 || dn < 0) return 0;
        // Each product of two ints fits in 63 bits, their sum in 64.
        const auto vertices = static_cast<std::uint64_t>(m) * static_cast<std::uint64_t>(n) +
                              static_cast<std::uint64_t>(dm) * static_cast<std::uint64_t>(dn);
        if (vertices > static_cast<std::uint64_t>(k_max_count)) return 0;
        made = new MB_Polygon_Mesh(m, n, dm, dn);
    }
    mesh = place(*d, made);
    return handle(made);
}

mb_handle api_mb_create_polyface_mesh(int m, int n)
{
    MB_Drawing* d = active_drawing();
    if (!d || m < 0 || n < 0 || m > k_max_count || n > k_max_count) return 0;
    return handle(place(*d, new MB_Polyface_Mesh(m, n), false));
}

mb_handle api_mb_create_hatch(Qe_Void_List& loops, char*, double, double, int)
{
    MB_Drawing* d = active_drawing();
    if (!d || !holds_loop(loops)) return 0;
    return handle(place(*d, hatch_of(loops, false).release()));
}

mb_handle api_mb_create_hatch(Qe_Void_List& loops, Qe_Void_List& lines, char* name, double scale, double angle)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name || !holds_loop(loops)) return 0;
    std::unique_ptr<MB_Hatch> hatch = hatch_of(loops, true);
    MB_Hatch_Type& pattern = *hatch->get_hatchtype();
    pattern.name(MB_String(name));
    for (Qe_Void_Node* n = lines.head(); n; n = n->next()) {
        const auto* line = static_cast<const char*>(n->entity());
        if (line && !pattern.add_string(MB_String(line))) return 0;
    }
    pattern.scale(scale);
    pattern.angle(angle);
    return handle(place(*d, hatch.release()));
}

bool api_mb_create_text(MB_Text*& text, const char* string, const char* style, const double* pos, double height,
                        double width_scale, double angle)
{
    MB_Drawing* d = active_drawing();
    if (!d || !string || !pos) return false;
    auto* t = new MB_Text(from_xyz(pos), MB_String(string));
    // An unknown style is the default one: reported by the result, which the text need not.
    (void)t->init_text_style(*d, style);
    t->text_style()->height(height);
    t->text_style()->width_scale(width_scale);
    t->text_style()->angle(angle);
    text = place(*d, t);
    return true;
}

mb_handle api_mb_create_mtext(char* string, char* style, Qe_Pt pos, Qe_Pt dir, double width, double base_height,
                              int spacing_style, double spacing_factor, char attach, char draw_dir)
{
    MB_Drawing* d = active_drawing();
    if (!d || !string) return 0;
    auto* t = new MB_Mtext(pos, string);
    (void)t->init_text_style(*d, style);
    t->set_width(width);
    t->set_base_ht(base_height);
    t->set_boxht(base_height);
    t->set_linespacing_style(spacing_style);
    t->set_linespacing_factor(spacing_factor);
    t->set_attachpt(attach);
    t->set_drawdir(draw_dir);
    t->direction(Qe_Vec(dir.x(), dir.y(), dir.z()));
    return handle(place(*d, t));
}

mb_handle api_mb_create_arc_text(char* s1, char* s2, double d1, double d2, double d3, double d4, double d5,
                                 double d6)
{
    MB_Drawing* d = active_drawing();
    if (!d || !s1) return 0;
    return handle(place(*d, new MB_Arc_Text(Qe_Pt(d1, d2, d3), d5, d6, d4, s2, s1)));
}

mb_handle api_mb_create_trace_text(long path, const char* string, double space, double height, double width_scale,
                                   double offset, long att, bool rotate180, bool loop, bool backward,
                                   const char* style, short)
{
    MB_Drawing* d = active_drawing();
    if (!d || !string) return 0;
    Qe_Void_List found;
    api_mb_get_entity_list_by_obj_id(found, path, *api_active_operation());
    auto* first = static_cast<MB_Object*>(found.first());
    if (!first || first->object_type() != MB_Object::TYPE_GEOMETRY) return 0;
    const Qe_Pt_Set& edge = static_cast<MB_Geom*>(first)->edge();
    // A text needs a path with a direction to stand on.
    if (edge.count() < 2) return 0;
    auto* t = new MB_Trace_Text();
    t->str(string);
    t->style_name(style);
    t->space(space);
    t->height(height);
    t->width_scale(width_scale);
    t->offset(offset);
    t->att(static_cast<unsigned long>(att));
    t->rotate180(rotate180);
    t->is_loop(loop);
    t->backword(backward);
    t->pt_set(edge);
    return handle(place(*d, t));
}

mb_handle api_mb_create_tolerance(Qe_Pt& pos, double angle, char* string, double height)
{
    MB_Drawing* d = active_drawing();
    if (!d || !string) return 0;
    auto* t = new MB_Tolerance(pos, string);
    t->angle(angle);
    t->set_height(height);
    return handle(place(*d, t));
}

mb_handle api_mb_create_dim_style(MB_Dim_Style*& style, char* name)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name) return 0;
    MB_Dim_Style* s = style ? style : new MB_Dim_Style();
    s->name(name);
    append(d->dim_style_list(), s);
    style = s;
    return handle(s);
}

mb_handle api_mb_create_dim_style(char*, char*, long*, unsigned short*, double*)
{
    return 0;
}

bool api_mb_create_text_style(MB_Text_Style*& style, const char* name, const char* font, const char* big_font,
                              double height, double width_scale, double oblique_angle, double angle, long l1,
                              long l2)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name) return false;
    auto* s = new MB_Text_Style(name, font, big_font, height, width_scale, oblique_angle, angle, l1, l2);
    d->text_style_list().add_tail(s);
    style = s;
    return true;
}
