#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geometry/dc_draw.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/point_entity.h"

using namespace entity_test;

namespace {

const Qe_Pt p0(1.5, -2.0, 3.0);

Bytes point_record(const Qe_Pt& p, unsigned char type, double size, const Qe_Pt& running = Qe_Pt())
{
    return Bytes(1, '\x19') + k_no_xdata + position(p, running) + Bytes(1, static_cast<char>(type)) + le_double(size);
}

TEST(Point_Record, GoldenBytesAndRevisions)
{
    MB_Point p(p0);
    p.general().color(0);
    p.general().width(1.0);
    p.point_type(0x0103);
    p.size(4.5);
    EXPECT_EQ(to_hex(record_bytes(p)), to_hex(point_record(p0, 0x03, 4.5)));

    // From revision 451 on, type (its low byte) and size come back as written.
    Record_Reader rd;
    ASSERT_EQ(rd.read(record_bytes(p)), 0);
    auto* r = rd.first<MB_Point>();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->object_id(), MB_Object::ID_POINT);
    EXPECT_TRUE(pt_eq(r->point(), p0));
    EXPECT_EQ(r->point_type(), 3);
    EXPECT_EQ(r->size(), 4.5);
    // Before it the record ends after the position: type 1 and size 2.0 stay.
    const Bytes old = Bytes(1, '\x19') + k_no_xdata + position(p0);
    const Bytes old2 = Bytes(1, '\x19') + k_no_xdata + position(Qe_Pt(7, 7, 0), p0);
    Record_Reader r450;
    ASSERT_EQ(r450.read(old + old2, "(VKT VA0450)"), 0);
    ASSERT_EQ(r450.count(), 2);
    auto* a = r450.first<MB_Point>();
    EXPECT_EQ(a->point_type(), 1);
    EXPECT_EQ(a->size(), 2.0);
    EXPECT_TRUE(pt_eq(static_cast<MB_Point*>(a->next())->point(), Qe_Pt(7, 7, 0)));
    // A stream read without a header counts as current.
    stream_test::Stream s;
    ASSERT_EQ(s.open_read(point_record(p0, 6, 3.0).substr(1)), 0);
    MB_Point q;
    ASSERT_EQ(q.materialize(stream_test::single(0x19), s.io), 0);
    EXPECT_EQ(q.point_type(), 6);
    EXPECT_EQ(s.io.close(), 0);

    const Bytes full = point_record(p0, 0x03, 4.5);
    for (std::size_t n = 0; n < full.size(); ++n) {
        Record_Reader t;
        EXPECT_NE(t.read_raw(k_header + full.substr(0, n)), 0) << n;
        EXPECT_EQ(t.count(), 0) << n;
    }
}

TEST(Point_Draw, StylesThroughTheDeviceContext)
{
    Qe_Qdc qdc;
    Qe_Tran t = scale_transf(2.0);
    for (int style = 0; style <= 7; ++style) {
        MB_Point p(Qe_Pt(10, 12, 0));
        p.point_type(static_cast<unsigned short>(style));
        p.size(2.9);
        Recording_Dc dc, ref;
        p.draw(dc.dc, qdc, t);
        api_mb_draw_point(ref.dc, Qe_Pt(20, 24, 0), style, 2, 1);
        EXPECT_EQ(dc.texts(), ref.texts()) << style;
        EXPECT_EQ(dc.calls().empty(), style == 7) << style;
    }
    // Sizes from a file that do not fit an int draw a bounded marker.
    for (double size : {-3.0, std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        MB_Point p(Qe_Pt(10, 12, 0));
        p.size(size);
        EXPECT_GE(p.marker_size(), 0);
        EXPECT_LE(p.marker_size(), 65536);
    }
}

TEST(Point_Draw, ComplementOfTheBackgroundOnTheRasterDevice)
{
    Op_Fixture f;
    f.settings().set_long_val(0, RGB(0, 255, 0));
    Qe_Tran t;
    struct Case {
        COLORREF colour, drawn;
    };
    const Case cases[] = {
        {RGB(0, 255, 0), RGB(255, 0, 255)},  // the background: its complement
        {RGB(255, 0, 0), RGB(255, 0, 0)},
    };
    for (const Case& c : cases) {
        Raster r(40, 40);
        MB_Point p(Qe_Pt(20, 20, 0));
        p.point_type(0);
        p.size(3.0);
        p.general().color(static_cast<long>(c.colour));
        p.draw(nullptr, r.q, t);
        // A square of half-size 3 (its fill is the context's brush).
        EXPECT_GE(r.count(c.drawn), 20) << c.colour;
        EXPECT_EQ(r.drawn(), r.count(c.drawn)) << c.colour;
    }
    // The pen is put back and freed.
    Raster r(10, 10);
    HGDIOBJ before = GetCurrentObject(r.q.GetDC(), OBJ_PEN);
    MB_Point p(Qe_Pt(5, 5, 0));
    p.draw(nullptr, r.q, t);
    EXPECT_EQ(GetCurrentObject(r.q.GetDC(), OBJ_PEN), before);
}

TEST(Point_Entity, PickRectangleKeysCopiesAndUndo)
{
    MB_Point p(p0);
    p.point_type(9);  // draws nothing, still picked
    Qe_Pt_List unused;
    Qe_Pt out;
    int kind = 0, extra = 0;
    ASSERT_EQ(p.pick(Qe_Pt(1.6, -2.0, 3.0), unused, 0.2, out, kind, extra), 1);
    EXPECT_EQ(kind, 12);
    EXPECT_TRUE(pt_eq(out, p0));
    EXPECT_EQ(p.pick(Qe_Pt(1.75, -2.0, 3.0), unused, 0.2, out, kind, extra), 0);

    p.build_draw();
    EXPECT_NEAR(p.rect().rb().x() - p.rect().lt().x(), 2e-5, 1e-15);
    EXPECT_NEAR(p.rect().lt().y() - p.rect().rb().y(), 2e-5, 1e-15);
    EXPECT_TRUE(pt_eq(p.rect().center(), Qe_Pt(1.5, -2.0, 0)));
    EXPECT_EQ(p.edge().count(), 0);
    EXPECT_EQ(p.draw_node(), nullptr);

    for (int key : {-1, -3, 0, 5}) EXPECT_TRUE(pt_eq(p.get_point(key), p0)) << key;
    EXPECT_EQ(p.get_int(mb_key::Point_Type), 9);
    EXPECT_EQ(p.get_real(mb_key::Point_Size), 2.0);
    p.set_int(mb_key::Point_Type, 4);
    p.set_real(mb_key::Point_Size, 6.0);
    p.set_point(-77, Qe_Pt(1, 1, 1));
    EXPECT_EQ(p.point_type(), 4);
    EXPECT_EQ(p.size(), 6.0);
    EXPECT_TRUE(pt_eq(p.pos(), Qe_Pt(1, 1, 1)));

    MB_Object* copy = nullptr;
    ASSERT_TRUE(p.copy_to(copy));
    auto* c = dynamic_cast<MB_Point*>(copy);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->point_type(), 4);
    EXPECT_EQ(c->size(), 6.0);
    MB_Circle circle;
    MB_Object* wrong = &circle;
    EXPECT_FALSE(p.copy_to(wrong));
    delete copy;

    // translate is recorded; the property setters are not.
    Op_Fixture f;
    expect_undo_redo_state(
        f, new MB_Point(p0),
        [](MB_Object& o) { static_cast<MB_Point&>(o).translate(rotate_transf(1.0, Qe_Vec(0, 0, 1)), 0); },
        "translate");
    auto* q = new MB_Point(p0);
    f.drawing->add_object(q);
    f.command("size", [&] { q->set_real(mb_key::Point_Size, 9.0); });
    f.undo();
    EXPECT_EQ(q->size(), 9.0);

    Qe_Qdc qdc;
    Recording_Dc dc, ref;
    p.draw_key_point(dc.dc, qdc, scale_transf(2.0));
    p.draw_key_point(nullptr, qdc, scale_transf(2.0));
    api_mb_draw_point(ref.dc, Qe_Pt(2, 2, 2), 0, 3, 0);
    EXPECT_EQ(dc.texts(), ref.texts());
}

}  // namespace
