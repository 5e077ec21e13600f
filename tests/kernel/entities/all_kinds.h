#pragma once

// A drawing holding every stored entity kind, on coloured layers, one with a dashed line
// type: lines, a ray, a chain, a circle, an arc, an ellipse, an elliptic arc, a point, a
// wide bulged polyline, a solid, a 3D face, both meshes, a hatch with a hole and an island,
// an image, a block with its reference, a B-spline and a group. Shared by the all-kinds
// tests and the fuzz seeds.

#include <functional>
#include <vector>

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/group.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/hatch_lines.h"
#include "kernel/entities/image.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/mesh.h"
#include "kernel/entities/point_entity.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"
#include "geometry/loop.h"
#include "platform/ximage.h"

namespace all_kinds {

struct Kind {
    const char* name;
    // Makes the entity for the drawing (a reference finds or makes its block there).
    std::function<MB_Drawable*(MB_Drawing&)> make;
    // A change of the entity's size (points, vertices, loops), recorded; null for none.
    std::function<void(MB_Drawable&)> grow;
};

template <class T>
void set_points(T& e, const std::vector<Qe_Pt>& pts)
{
    for (std::size_t i = 0; i < pts.size() && static_cast<int>(i) < e.count(); ++i) e.points()[i] = pts[i];
}

inline Qe_Loop* ring(double x0, double y0, double x1, double y1)
{
    const Qe_Pt p[] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
    return new Qe_Loop(p, 4);
}

inline MB_Block* door_block(MB_Drawing& d)
{
    if (MB_Block* b = d.find_block("door")) return b;
    auto* b = new MB_Block(Qe_Pt(1, 1, 0), MB_String("door"), MB_String("a door"));
    b->object_list().add_tail(new MB_Line(Qe_Pt(1, 1, 0), Qe_Pt(3, 1, 0)));
    b->object_list().add_tail(new MB_Arc(Qe_Pt(1, 1, 0), 2.0, 0.0, 1.5));
    d.block_list().add_tail(b);
    return b;
}

inline std::vector<Kind> kinds()
{
    const std::vector<Qe_Pt> quad{{1, 2, 0}, {5, 2, 1}, {5, 6, 0}, {1, 6, -2}};
    return {
        {"line", [](MB_Drawing&) { return new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(10, 5, 0)); }, nullptr},
        {"ray", [](MB_Drawing&) { return new MB_Ray(Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0)); }, nullptr},
        {"chain",
         [](MB_Drawing&) {
             auto* c = new MB_Lines;
             const Qe_Pt v[] = {{1, 1, 0}, {4, 1, 0}, {4, 6, 2}};
             c->init(3, v);
             return c;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             const Qe_Pt v[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 2, 0}};
             static_cast<MB_Lines&>(e).init(5, v);
         }},
        {"circle", [](MB_Drawing&) { return new MB_Circle(Qe_Pt(-3, 4, 1), 2.0); }, nullptr},
        {"arc", [](MB_Drawing&) { return new MB_Arc(Qe_Pt(2, 2, 0), 1.5, 0.5, 4.0); }, nullptr},
        {"ellipse", [](MB_Drawing&) { return new MB_Ellipse(Qe_Pt(5, -5, 0), 4.0, 1.0, 0.3); }, nullptr},
        {"elliptic arc", [](MB_Drawing&) { return new MB_Ellipse_Arc(Qe_Pt(5, -5, 0), 4.0, 1.0, 0.3, 1.0, 5.5); },
         nullptr},
        {"point",
         [](MB_Drawing&) {
             auto* p = new MB_Point(Qe_Pt(3, 3, 0));
             p->point_type(3);
             p->size(5.0);
             return p;
         },
         nullptr},
        {"polyline",
         [](MB_Drawing&) {
             auto* p = new MB_Polyline;
             MB_Pline_Pos& a = p->get_new_pline_pos();
             a.point = Qe_Pt(1, 2, 0);
             a.bulge = 0.5;
             a.start_width = 1.0;
             a.end_width = 2.0;
             p->get_new_pline_pos().point = Qe_Pt(4, -1, 0);
             p->get_new_pline_pos().point = Qe_Pt(6, 3, 0);
             p->global_width(0.25);
             return p;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             static_cast<MB_Polyline&>(e).get_new_pline_pos().point = Qe_Pt(8, 9, 0);
         }},
        {"solid",
         [quad](MB_Drawing&) {
             auto* s = new MB_Solid(4);
             set_points(*s, quad);
             return s;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             static_cast<MB_Solid&>(e).vertices().add_point(Qe_Pt(0, 3, 0));
         }},
        {"face",
         [quad](MB_Drawing&) {
             auto* f = new MB_Face(4);
             set_points(*f, quad);
             f->face_flag(0x0105);
             return f;
         },
         nullptr},
        {"polygon mesh",
         [](MB_Drawing&) {
             auto* m = new MB_Polygon_Mesh(2, 3, 1, 1);
             set_points(*m, {{0, 0, 0}, {1, 0, 0}, {2, 0, 1}, {0, 1, 0}, {1, 1, 2}, {2, 1, 0}});
             m->meshm_closed(true);
             return m;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             static_cast<MB_Polygon_Mesh&>(e).vertices().init(12);
         }},
        {"polyface mesh",
         [quad](MB_Drawing&) {
             auto* m = new MB_Polyface_Mesh(4, 2);
             set_points(*m, quad);
             m->set_polyline_flag(0x40);
             const int refs[] = {1, 2, 3, 0, -1, 2, 3, 4};
             m->set_size(4, 0);
             m->set_size(2, 1);
             for (int r = 0; r < 8; ++r) m->set_face_pos(refs[r], r);
             return m;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             static_cast<MB_Polyface_Mesh&>(e).vertices().add_point(Qe_Pt(1, 1, 1));
         }},
        {"hatch with islands",
         [](MB_Drawing&) {
             auto* h = new MB_Hatch;
             h->loop_add(ring(0, 0, 10, 10));
             h->loop_add(ring(2, 2, 8, 8));
             h->loop_add(ring(4, 4, 6, 6));
             h->get_hatchtype()->name(MB_String("ANSI31"));
             (void)h->get_hatchtype()->add_string(MB_String("45, 0, 0, 0, 3.175"));
             h->get_hatchtype()->angle(0.25);
             return h;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             static_cast<MB_Hatch&>(e).loop_add(ring(20, 20, 22, 22));
         }},
        {"image",
         [](MB_Drawing&) {
             auto* raster = new CxImage;
             (void)raster->Create(2, 2, 24);
             for (int y = 0; y < 2; ++y)
                 for (int x = 0; x < 2; ++x)
                     raster->SetPixelColor(x, y, RGBQUAD{40, static_cast<BYTE>(90 * x), static_cast<BYTE>(90 * y), 0});
             auto* image = new MB_Image(raster);
             image->center(Qe_Pt(-6, -4, 0));
             image->width(2.0);
             image->height(1.5);
             return image;
         },
         nullptr},
        {"block reference",
         [](MB_Drawing& d) {
             auto* ins = new MB_Insert(Qe_Pt(20, 5, 0), 0.5, 2, -1.5, 1);
             ins->block(door_block(d));
             return ins;
         },
         nullptr},
        {"B-spline",
         [](MB_Drawing&) {
             const std::vector<Qe_Pt> fit{{0, 0, 0}, {2, 3, 0}, {5, 1, 0}, {7, 4, 0}};
             auto* b = new MB_Bspline(0, static_cast<int>(fit.size()));
             for (std::size_t i = 0; i < fit.size(); ++i) b->fitpts().points()[i] = fit[i];
             return b;
         },
         [](MB_Drawable& e) {
             e.modify_cmd();
             static_cast<MB_Bspline&>(e).fitpts().add_point(Qe_Pt(9, 0, 0));
         }},
        {"group",
         [](MB_Drawing&) {
             auto* g = new MB_Group;
             g->name("pair");
             g->object_list().add(new MB_Line(Qe_Pt(30, 0, 0), Qe_Pt(31, 1, 0)));
             g->object_list().add(new MB_Circle(Qe_Pt(30, 5, 0), 1.0));
             return g;
         },
         nullptr},
    };
}

// Two coloured layers, a dashed line type on the first entity, every kind in the order of
// kinds(), alternately on the two layers and in their own colours, each built.
inline void fill(MB_Drawing& d)
{
    auto* walls = new MB_Layer(MB_String("walls"));
    walls->color(0x00FF00);
    d.layer_list().add_tail(walls);
    auto* notes = new MB_Layer(MB_String("notes"));
    notes->color(0x0000FF);
    d.layer_list().add_tail(notes);
    auto* dashed = new MB_Line_Type;
    if (!dashed->init_data("A,0.5,-0.25")) {
        delete dashed;
        dashed = nullptr;
    } else {
        d.line_type_list().add_tail(dashed);
    }
    long colour = 0x102030;
    int i = 0;
    for (const Kind& k : kinds()) {
        MB_Drawable* e = k.make(d);
        e->general().layer(i % 2 ? notes : walls);
        e->general().color(colour);
        if (i == 0) e->general().line_type(dashed);
        colour += 0x0A0B0C;
        ++i;
        d.add_object(e);
    }
    d.build_draw();
}

}  // namespace all_kinds
