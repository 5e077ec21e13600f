#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/object_list.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/insert.h"
#include "kernel/operation/operation.h"
#include "kernel/stream/stream_fixture.h"
#include "kernel/test_objects.h"
#include "platform/gdi.h"
#include "platform/recording_dc.h"
#include "platform/snapshot.h"
#include "platform/window.h"

using namespace stream_test;

namespace {

TEST(General, FlagBits)
{
    MB_General g;
    EXPECT_EQ(g.flag(), 0);
    g.flag(0x17);  // on, locked, frozen, disabled
    g.plot(true);
    g.plot(false);
    EXPECT_EQ(g.flag(), 0x17);
    EXPECT_FALSE(g.visibility());  // frozen wins over on
    g.freeze(false);
    EXPECT_TRUE(g.visibility());
    EXPECT_TRUE(g.lock());
    EXPECT_TRUE(g.is_disable());
    EXPECT_FALSE(g.disable(false));
    EXPECT_EQ(g.flag(), 0x03);
}

TEST(Drawable, DefaultsComeFromTheActiveSettings)
{
    {
        // Without an operation the default settings stand in.
        Test_Geom d;
        EXPECT_EQ(d.general().color(), 0xFFFFFF);
        EXPECT_EQ(d.general().display_width(), 0);
        EXPECT_EQ(d.general().line_scale(), 1.0);
        EXPECT_EQ(d.general().width(), 0.3);
        EXPECT_EQ(d.general().thickness(), 0.0);
        EXPECT_EQ(d.general().layer(), nullptr);
        EXPECT_EQ(d.flag(), MB_Drawable::State_Normal);
        EXPECT_EQ(d.draw_precision(), 0);
    }
    MB_Operation op;
    MB_Layer layer;
    op.current_layer(&layer);
    MB_System_Setting& s = *op.system_setting();
    s.set_long_val(1, 0x123456);
    s.set_long_val(13, 3);
    s.set_real_val(1, 2.5);
    s.set_real_val(2, 0.7);
    s.set_real_val(3, 4.0);
    Test_Geom d;
    EXPECT_EQ(d.general().color(), 0x123456);
    EXPECT_EQ(d.general().display_width(), 3);
    EXPECT_EQ(d.general().line_scale(), 2.5);
    EXPECT_EQ(d.general().width(), 0.7);
    EXPECT_EQ(d.general().thickness(), 4.0);
    EXPECT_EQ(d.general().layer(), &layer);

    // Precision by kind, from the same settings.
    struct Case {
        MB_Object::MB_ID id;
        long expected;
    };
    const Case cases[] = {{MB_Object::ID_ARC, 30},     {MB_Object::ID_BSPLINE, 100},   {MB_Object::ID_ELLIPSE, 80},
                          {MB_Object::ID_ELLIPSE_ARC, 60}, {MB_Object::ID_POLYLINE, 10}, {MB_Object::ID_LINE, 60}};
    for (const Case& c : cases) EXPECT_EQ(Test_Geom(c.id).get_draw_precision(), c.expected) << c.id;
    s.set_long_val(14, 45);
    Test_Geom arc(MB_Object::ID_ARC);
    EXPECT_EQ(arc.get_draw_precision(), 45);
    arc.draw_precision(7);
    EXPECT_EQ(arc.get_draw_precision(), 7);
}

TEST(Drawable, KeyedProperties)
{
    Test_Geom d;
    MB_Line_Type lt;
    lt.name("DASHED");
    lt.desc("Dashed line");
    d.rect().set_rect(Qe_Pt(1, 8, 0), Qe_Pt(5, 2, 0));
    d.string() = "host text";

    struct Int_Case {
        int key;
        long value;
    };
    for (const Int_Case& c : {Int_Case{-200, 0xABCDEF}, Int_Case{-205, 77}, Int_Case{-212, 4}}) {
        d.set_int(c.key, c.value);
        EXPECT_EQ(d.get_int(c.key), c.value) << c.key;
    }
    EXPECT_EQ(d.general().color(), 0xABCDEF);
    EXPECT_EQ(d.user_id(), 77u);
    d.set_int(-999, 5);
    EXPECT_EQ(d.get_int(-999), 0);

    struct Real_Case {
        int key;
        double value;
    };
    for (const Real_Case& c : {Real_Case{-124, 0.25}, Real_Case{-122, 3.0}, Real_Case{-114, -6.5}}) {
        d.set_real(c.key, c.value);
        EXPECT_EQ(d.get_real(c.key), c.value) << c.key;
    }
    EXPECT_EQ(d.general().width(), 0.25);
    EXPECT_EQ(d.real_val(), -6.5);
    EXPECT_EQ(d.get_real(-110), 6.0);  // height
    EXPECT_EQ(d.get_real(-109), 4.0);  // width
    d.set_real(-110, 100.0);           // get only
    EXPECT_EQ(d.get_real(-110), 6.0);

    struct Point_Case {
        int key;
        Qe_Pt p;
    };
    for (const Point_Case& c : {Point_Case{-9, {1, 8, 0}}, Point_Case{-10, {5, 2, 0}}, Point_Case{-14, {5, 8, 0}},
                                Point_Case{-13, {1, 2, 0}}, Point_Case{-3, {3, 5, 0}}, Point_Case{-4, {3, 5, 0}},
                                Point_Case{-1, {0, 0, 0}}})
        EXPECT_TRUE(pt_eq(d.get_point(c.key), c.p)) << c.key;

    // Strings: layer and line type names, their absence, the host string, extended data.
    EXPECT_STREQ(d.get_string(-310), "~No layer");
    EXPECT_EQ(d.get_string(-304), nullptr);
    EXPECT_EQ(d.get_string(-305), nullptr);
    MB_Layer layer(MB_String("Walls"));
    d.general().layer(&layer);
    d.general().line_type(&lt);
    EXPECT_STREQ(d.get_string(-310), "Walls");
    EXPECT_STREQ(d.get_string(-304), "DASHED");
    EXPECT_STREQ(d.get_string(-305), "Dashed line");
    EXPECT_EQ(d.get_string(-306), nullptr);
    EXPECT_STREQ(d.get_string(-1), "host text");
    d.set_string(-311, "new text");
    d.set_string(-311, nullptr);
    EXPECT_STREQ(d.get_string(-7), "new text");
    d.set_string(-302, "xyz");
    EXPECT_EQ(d.xdata().size(), 3u);
    EXPECT_STREQ(d.get_string(-302), "xyz");
    d.set_string(-310, "ignored");
    EXPECT_STREQ(d.get_string(-310), "Walls");
}

TEST(Drawable, CopiesAndClones)
{
    Test_Geom src;
    src.set_id(9);
    src.user_id(4);
    src.general().color(0x112233);
    src.general().flag(0x05);
    src.flag(MB_Drawable::State_Selected);
    src.edge().add_point(Qe_Pt(1, 2, 0));

    // A by-value copy carries everything but the node.
    Test_Geom copy(src);
    EXPECT_EQ(copy.id(), 9u);
    EXPECT_EQ(copy.general().flag(), 0x05);
    EXPECT_EQ(copy.edge().count(), 1);
    EXPECT_EQ(copy.draw_node(), nullptr);

    // copy_to into a null target: a new drawable with id, owner and general, without the
    // flag byte, the user id or the display state.
    MB_Object* target = nullptr;
    ASSERT_TRUE(src.copy_to(target));
    std::unique_ptr<Test_Geom> clone(static_cast<Test_Geom*>(target));
    EXPECT_EQ(clone->id(), 9u);
    EXPECT_EQ(clone->general().color(), 0x112233);
    EXPECT_EQ(clone->general().flag(), 0);
    EXPECT_EQ(clone->user_id(), 0u);
    EXPECT_EQ(clone->flag(), MB_Drawable::State_Normal);

    // The drawable part alone cannot make a clone.
    MB_Object* none = nullptr;
    EXPECT_FALSE(src.MB_Drawable::copy_to(none));
    EXPECT_EQ(none, nullptr);
    EXPECT_FALSE(src.general().copy_to(none));

    // A container's clone has its own list of member clones.
    MB_Object_List members;
    members.add_tail(new Test_Geom);
    members.add_tail(new Test_Geom);
    members.add_tail(new Plain_Object);  // gives no clone: left out
    src.object_list(&members);
    MB_Object* group = nullptr;
    ASSERT_TRUE(src.copy_to(group));
    auto* g = static_cast<Test_Geom*>(group);
    ASSERT_NE(g->object_list(), nullptr);
    EXPECT_NE(g->object_list(), &members);
    EXPECT_EQ(g->object_list()->count(), 2);
    for (MB_Object* o = g->object_list()->get_head(); o; o = o->next())
        for (MB_Object* m = members.get_head(); m; m = m->next()) EXPECT_NE(o, m);
    // The member clones are the clone's own: they go with it.
    const int live = Test_Geom::s_live;
    delete g;
    EXPECT_EQ(Test_Geom::s_live, live - 3);
    members.kill_all();
    src.object_list(nullptr);
}

// The values copy_to leaves out travel with copy_host_values, and a drawable without them
// clears them in the target.
TEST(Drawable, HostValuesCopyAndClear)
{
    Test_Geom src;
    src.user_id(4);
    src.string() = "host text";
    src.real_val(2.5);
    src.xdata().buffer("ab", 2);
    Test_Geom dst;
    dst.copy_host_values(src);
    EXPECT_EQ(dst.user_id(), 4u);
    EXPECT_STREQ(dst.string().ascii(), "host text");
    EXPECT_EQ(dst.real_val(), 2.5);
    EXPECT_EQ(dst.xdata().size(), 2u);
    dst.copy_host_values(dst);
    EXPECT_EQ(dst.user_id(), 4u);

    const Test_Geom bare;
    dst.copy_host_values(bare);
    EXPECT_EQ(dst.user_id(), 0u);
    EXPECT_EQ(dst.string().length(), 0);
    EXPECT_EQ(dst.real_val(), 0.0);
    EXPECT_EQ(dst.xdata().size(), 0u);
}

TEST(Drawable, CopyToReplacesTheTargetsMembersWithoutRecordingThem)
{
    MB_Operation op;
    op.init_undoredo(nullptr);
    MB_Undo_Redo& rec = *op.undo_redo();
    MB_Object_List members;
    members.add_tail(new Test_Geom);
    members.add_tail(new Test_Geom);
    Test_Geom src;
    src.object_list(&members);
    Test_Geom target;
    MB_Object* t = &target;
    const int live = Test_Geom::s_live;
    rec.rec_cmd_begin("copy twice");
    ASSERT_TRUE(src.copy_to(t));
    ASSERT_TRUE(src.copy_to(t));
    rec.rec_cmd_end();
    // The second copy's clones replaced the first's, which went with their list.
    EXPECT_EQ(Test_Geom::s_live, live + 2);
    EXPECT_NE(target.object_list(), &members);
    EXPECT_EQ(target.object_list()->count(), 2);
    // The clones belong to the target: no creation of theirs was recorded.
    ASSERT_NE(rec.last_cmd(), nullptr);
    EXPECT_EQ(rec.last_cmd()->sub_command_head(), nullptr);
    members.kill_all();
    src.object_list(nullptr);
}

TEST(Drawable, UndoBacksUpThroughCopyTo)
{
    // The undo record backs a change up by cloning into a null target; a drawable that
    // could not be cloned would read as created and be removed by undo.
    MB_Operation op;
    op.init_undoredo(nullptr);
    MB_Undo_Redo& rec = *op.undo_redo();
    Test_Geom geom;
    MB_Insert insert;
    rec.rec_cmd_begin("change");
    EXPECT_EQ(rec.modify_cmd(&geom), 1);
    EXPECT_EQ(rec.modify_cmd(&insert), 1);
    rec.rec_cmd_end();
}

TEST(Drawable, SetLayer)
{
    MB_Drawing drawing;
    auto* on = new MB_Layer;  // "layer0", on
    on->name() = "Walls";
    auto* off = new MB_Layer(MB_String("Hidden"));  // off
    drawing.layer_list().add_tail(on);
    drawing.layer_list().add_tail(off);
    Test_Geom d;
    d.set_layer(MB_String("walls"), drawing);  // exact comparison
    EXPECT_EQ(d.general().layer(), nullptr);
    d.set_layer(MB_String("Walls"), drawing);
    EXPECT_EQ(d.general().layer(), on);
    EXPECT_EQ(d.flag(), MB_Drawable::State_Normal);
    d.set_layer(MB_String("Hidden"), drawing);
    EXPECT_EQ(d.general().layer(), off);
    EXPECT_EQ(d.flag(), MB_Drawable::State_Hidden);
    d.set_layer(static_cast<unsigned short>(0), drawing);
    EXPECT_EQ(d.general().layer(), on);
}

TEST(Drawable, ExtendedDataBlock)
{
    struct Case {
        const char* name;
        void (*fill)(Test_Geom&);
        mb_ulong mask;
        const char* golden;  // after the opcode
    };
    const Case cases[] = {
        {"id only", [](Test_Geom& d) { d.set_id(7); }, 1, "00 01 00 00 00 07 00 00 00"},
        {"nothing", [](Test_Geom&) {}, 0, "00 00 00 00 00"},
        {"all",
         [](Test_Geom& d) {
             d.general().flag(0x09);
             d.set_id(1);
             d.user_id(0x01020304);
             d.string() = "ab";
             d.real_val(1.0);
             d.xdata().buffer("\x01\x02", 2);
         },
         31,
         "09 1F 00 00 00 01 00 00 00 04 03 02 01 02 00 00 00 61 62 00 00 00 00 00 00 F0 3F 02 00 00 00 01 02"},
    };
    for (const Case& c : cases) {
        Test_Geom d;
        c.fill(d);
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        ASSERT_EQ(d.serialize(s.io), 0);
        EXPECT_EQ(d.save_flag(), c.mask) << c.name;
        const Bytes body = s.body();
        // The general properties go first (a colour record: the default white differs
        // from the stream's starting colour), then the opcode and the block.
        const std::size_t at = body.find('L');
        ASSERT_NE(at, Bytes::npos) << c.name;
        EXPECT_EQ(to_hex(body.substr(at + 1, body.size() - at - 1 - 4)), c.golden) << c.name;

        // Read back from the opcode on.
        Stream r;
        ASSERT_EQ(r.open_read(body.substr(at + 1)), 0);
        Test_Geom back;
        back.set_id(99);
        ASSERT_EQ(back.materialize(MB_Opcode(), r.io), 0) << c.name;
        EXPECT_EQ(back.save_flag(), c.mask);
        EXPECT_EQ(back.id(), d.id() ? d.id() : 99u);
        EXPECT_EQ(back.user_id(), d.user_id());
        EXPECT_EQ(back.string(), d.string());
        EXPECT_EQ(back.real_val(), d.real_val());
        EXPECT_EQ(back.xdata().size(), d.xdata().size());
        EXPECT_EQ(back.general().flag(), d.general().flag());
    }

    // A block cut short leaves the drawable as it was.
    Stream r;
    ASSERT_EQ(r.open_read(hex("05 01 00 00 00 07 00")), 0);
    Test_Geom back;
    back.set_id(3);
    EXPECT_NE(back.read_xdata(MB_Opcode(), r.io), 0);
    EXPECT_EQ(back.id(), 3u);
    EXPECT_EQ(back.general().flag(), 0);
}

// A geom with the given edge points.
std::unique_ptr<Test_Geom> geom(std::initializer_list<Qe_Pt> pts)
{
    auto g = std::make_unique<Test_Geom>();
    for (const Qe_Pt& p : pts) g->edge().add_point(p);
    return g;
}

TEST(Geom, DrawsThroughADeviceContext)
{
    HDC dc = platform_create_recording_dc(nullptr);
    Qe_Qdc qdc;
    auto g = geom({{1.7, 2.2, 0}, {10.9, 4.0, 0}, {-3.5, 8.0, 0}});
    Qe_Tran t = scale_transf(2.0);
    g->draw(dc, qdc, t);
    const auto calls = platform_recorded_calls(dc);
    ASSERT_EQ(calls.size(), 1u);
    // Points truncated towards zero after the transform.
    EXPECT_EQ(platform_call_text(calls[0]), "Polyline 3 3 4 21 8 -7 16");
    DeleteDC(dc);
}

struct Raster {
    Qe_Qdc q;
    Raster()
    {
        HDC screen = GetDC(nullptr);
        q.CreateCompatibleDC(screen, 20, 20, 32);
        ReleaseDC(nullptr, screen);
    }
    int coloured(COLORREF* last = nullptr)
    {
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                COLORREF c = 0;
                platform_read_pixel(q.GetBitmap(), x, y, &c);
                if (c != RGB(255, 255, 255)) {
                    ++n;
                    if (last) *last = c;
                }
            }
        return n;
    }
};

TEST(Geom, DrawsIntoTheRasterDevice)
{
    Qe_Tran t;
    {
        // Two points on one pixel draw nothing.
        Raster r;
        r.q.SetColor(0, false);
        geom({{3.2, 3.1, 0}, {3.9, 3.8, 0}})->draw(nullptr, r.q, t);
        EXPECT_EQ(r.coloured(), 0);
        // The device's lines leave out their last pixel.
        geom({{3, 3, 0}, {8, 3, 0}})->draw(nullptr, r.q, t);
        EXPECT_EQ(r.coloured(), 5);
        geom({{1, 10, 0}, {5, 10, 0}, {5, 14, 0}})->draw(nullptr, r.q, t);
        EXPECT_GT(r.coloured(), 5);
    }
    {
        // With a display width a pen of the entity's colour draws; a colour equal to the
        // background is drawn inverted.
        MB_Operation op;
        op.system_setting()->set_long_val(0, RGB(255, 0, 0));
        Raster r;
        auto g = geom({{2, 5, 0}, {15, 5, 0}});
        g->general().display_width(1);
        g->general().color(RGB(255, 0, 0));
        g->draw(nullptr, r.q, t);
        COLORREF c = 0;
        EXPECT_GT(r.coloured(&c), 0);
        EXPECT_EQ(c, RGB(0, 255, 255));
    }
}

// A node that counts how it was asked to draw.
struct Test_Node : MB_Draw_Node {
    Test_Node() { ++s_live; }
    ~Test_Node() override { --s_live; }
    Draw_Node_ID draw_node_id() const override { return Draw_Lines_Sets; }
    void draw(Qe_Qdc&, const Qe_Tran&) override { ++raster; }
    void draw(HDC, const Qe_Tran&) override { ++gdi; }
    int raster = 0, gdi = 0;
    static inline int s_live = 0;
};

TEST(Geom, ANodeDrawsItselfAndIsNeverShared)
{
    Raster r;
    HDC dc = platform_create_recording_dc(nullptr);
    Qe_Tran t;
    auto g = geom({{1, 1, 0}, {9, 9, 0}});
    auto* node = new Test_Node;
    g->node(node);
    g->flag(MB_Drawable::State_Selected);
    EXPECT_EQ(node->flag(), MB_Drawable::State_Selected);

    g->draw(dc, r.q, t);
    EXPECT_EQ(node->gdi, 1);
    g->general().display_width(2);
    g->draw(nullptr, r.q, t);
    EXPECT_EQ(node->gdi, 2);
    g->general().display_width(0);
    g->draw(nullptr, r.q, t);
    EXPECT_EQ(node->raster, 1);
    EXPECT_TRUE(platform_recorded_calls(dc).empty());
    EXPECT_EQ(r.coloured(), 0);
    DeleteDC(dc);

    // Copies start without a node; assignment drops the target's own node.
    Test_Geom copy(*g);
    EXPECT_EQ(copy.draw_node(), nullptr);
    Test_Geom other;
    other.node(new Test_Node);
    EXPECT_EQ(Test_Node::s_live, 2);
    other = *g;
    EXPECT_EQ(other.draw_node(), nullptr);
    EXPECT_EQ(Test_Node::s_live, 1);
    g.reset();
    EXPECT_EQ(Test_Node::s_live, 0);
}

TEST(General, PropertyRecordsOnlyForChanges)
{
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    MB_Layer walls(MB_String("W"));
    Test_Geom a, b, c;
    a.general().layer(&walls);
    b.general().layer(&walls);
    c.general().layer(&walls);
    c.general().color(0x0000FF);
    Test_Geom none;
    EXPECT_EQ(a.general().serialize(s.io), 0);
    const Bytes first = s.body();
    // Every stream starts from the defaults: each one below begins with a's records.
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(a.general().serialize(s.io), 0);
    EXPECT_EQ(b.general().serialize(s.io), 0);  // same properties: nothing
    const Bytes second = s.body().substr(first.size());
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(a.general().serialize(s.io), 0);
    EXPECT_EQ(c.general().serialize(s.io), 0);     // only the colour changed
    EXPECT_EQ(none.general().serialize(s.io), 0);  // back to white, and to no layer: an empty layer name
    const Bytes third = s.body().substr(first.size());
    EXPECT_NE(first.find(hex("78 01 00 00 00 57")), Bytes::npos);
    EXPECT_EQ(second, "");
    EXPECT_EQ(third.find('W'), Bytes::npos);
    EXPECT_NE(third.find(hex("78 00 00 00 00")), Bytes::npos);
    EXPECT_EQ(s.io.fifo_rendition().layer(), nullptr);
}

}  // namespace
