#include <gtest/gtest.h>

#include <cmath>

#include "kernel/display/view_fixture.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"

namespace {

// Every kind, drawn by a view in its own colour: each colour shows, and only near where
// the entity lies.
TEST(Entity_View, EveryKindIsDrawnWhereItLies)
{
    View v(400, 300);
    struct Item {
        MB_Drawable* entity;
        COLORREF colour;
        Qe_Pt on;  // a point on the entity
    };
    auto* chain = new MB_Lines;
    const Qe_Pt verts[] = {{60, 10, 0}, {90, 10, 0}, {90, 40, 0}};
    chain->init(3, verts);
    auto* point = new MB_Point(Qe_Pt(150, 150, 0));
    point->point_type(2);
    point->size(4.0);
    const Item items[] = {
        {new MB_Line(Qe_Pt(10, 30, 0), Qe_Pt(50, 30, 0)), RGB(255, 0, 0), {30, 30, 0}},
        {chain, RGB(0, 0, 255), {90, 25, 0}},
        {new MB_Circle(Qe_Pt(50, 100, 0), 20.0), RGB(255, 255, 0), {50, 80, 0}},
        {new MB_Arc(Qe_Pt(120, 100, 0), 20.0, 0.0, M_PI), RGB(0, 255, 255), {120, 120, 0}},
        {new MB_Ellipse(Qe_Pt(50, 170, 0), 30.0, 10.0, 0.0), RGB(255, 0, 255), {80, 170, 0}},
        {new MB_Ellipse_Arc(Qe_Pt(120, 170, 0), 30.0, 10.0, 0.0, 0.0, M_PI), RGB(128, 0, 0), {120, 180, 0}},
        {point, RGB(0, 128, 0), {150, 150, 0}},
    };
    for (const Item& it : items) {
        it.entity->general().color(static_cast<long>(it.colour));
        it.entity->build_draw();
        v.drawing->add_object(it.entity);
    }
    v.op->zoom_all();
    v.paint();
    for (const Item& it : items) {
        EXPECT_GT(v.count(it.colour), 0) << it.colour;
        // The pixel at the point on the entity, or one of its neighbours, has its colour.
        EXPECT_TRUE(v.shows_near(it.on, it.colour)) << it.colour;
    }
}

}  // namespace
