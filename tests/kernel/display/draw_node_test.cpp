#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "kernel/database/line_type.h"
#include "kernel/display/draw_node.h"
#include "kernel/operation/operation.h"
#include "kernel/test_objects.h"
#include "platform/gdi.h"
#include "platform/recording_dc.h"
#include "platform/snapshot.h"
#include "platform/window.h"

namespace {

// The drawing calls recorded on dc (selections left out; the pen and brush in effect are
// recorded with each call).
std::vector<Platform_Call> drawing_calls(HDC dc)
{
    std::vector<Platform_Call> out;
    for (const Platform_Call& c : platform_recorded_calls(dc))
        if (c.name != "SelectObject") out.push_back(c);
    return out;
}

std::vector<std::string> call_texts(HDC dc)
{
    std::vector<std::string> out;
    for (const Platform_Call& c : drawing_calls(dc)) out.push_back(platform_call_text(c));
    return out;
}

// A recording DC, deleted with the test.
struct Recorder {
    HDC dc = platform_create_recording_dc(nullptr);
    ~Recorder() { DeleteDC(dc); }
    std::vector<Platform_Call> calls() const { return drawing_calls(dc); }
};

// A raster device of 40 x 40 pixels on a white bitmap.
struct Raster {
    Qe_Qdc q;
    Raster()
    {
        HDC screen = GetDC(nullptr);
        q.CreateCompatibleDC(screen, 40, 40, 32);
        ReleaseDC(nullptr, screen);
    }
    COLORREF at(int x, int y) const
    {
        COLORREF c = 0xDEADBEEF;
        platform_read_pixel(q.GetBitmap(), x, y, &c);
        return c;
    }
};

// A node that counts live instances, so that tests see who deleted what.
struct Counted_Node : MB_Draw_Node {
    Counted_Node() { ++s_live; }
    ~Counted_Node() override { --s_live; }
    Draw_Node_ID draw_node_id() const override { return Draw_Point; }
    void draw(HDC hdc, const Qe_Tran& t) override
    {
        const Qe_Pt p = Qe_Pt(1, 2, 0) * t;
        SetPixel(hdc, static_cast<int>(p.x()), static_cast<int>(p.y()), 0);
    }
    void build_rect() override { set_rect(new Qe_Rect(Qe_Pt(1, 2, 0), Qe_Pt(3, 5, 0))); }
    static inline int s_live = 0;
};

TEST(DrawNode, ColourRuleWhenMade)
{
    struct Case {
        long background, colour, stored;
    };
    const Case cases[] = {
        {0x000000, 99, 0xFFFF9C},        // within 100: complemented
        {0x000000, 100, 100},            // exactly 100 away: kept
        {0x000000, 0x000000, 0xFFFFFF},  // the background itself
        {0xFFFFFF, 0xFFFFFF, 0x000000},
        {0xFFFFFF, 0xFFFF9C, 0x000063},
        {0x808080, 0x808080 + 99, 0x7F7F7F - 99},
        {0x808080, 0x808080 - 100, 0x808080 - 100},
        {0x0000FF, 0x00FF00, 0x00FF00},
    };
    MB_Operation op;
    for (const Case& c : cases) {
        op.system_setting()->set_long_val(0, c.background);
        Qe_Pt pts[2] = {{0, 0, 0}, {1, 1, 0}};
        MB_Draw_Lines_Set set(pts, 2, c.colour, nullptr);
        EXPECT_EQ(set.color(), c.stored) << std::hex << c.background << " " << c.colour;
        MB_Draw_Solid solid(pts, 2, c.colour, nullptr);
        EXPECT_EQ(solid.color(), c.stored);
        MB_Draw_Lines_Sets sets(c.colour, nullptr);
        EXPECT_EQ(sets.color(), c.stored);
        MB_Draw_Trans trans(Qe_Tran(), nullptr, c.colour, nullptr);
        EXPECT_EQ(trans.color(), c.stored);
        set.color(c.colour);  // the setter applies the rule too
        EXPECT_EQ(set.color(), c.stored);
    }
    // An image node keeps colour 0 whatever the background.
    Qe_Pt centre;
    MB_Draw_Image image(nullptr, centre, 1, 1, 0, nullptr);
    EXPECT_EQ(image.color(), 0);
}

TEST(DrawNode, ColourKeptWithoutAnOperation)
{
    ASSERT_TRUE(g_operation_list.is_empty());
    MB_Draw_Lines_Sets sets(99, nullptr);
    EXPECT_EQ(sets.color(), 99);
}

TEST(DrawNode, ColourEqualToTheBackgroundIsDrawnComplemented)
{
    MB_Operation op;
    Qe_Pt pts[3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
    MB_Draw_Solid same(pts, 3, 0x123456, nullptr);
    MB_Draw_Solid near(pts, 3, 0x123457, nullptr);
    // The background changes after the nodes were made: the colours stay, and only the one
    // exactly equal to the new background is drawn complemented.
    op.system_setting()->set_long_val(0, 0x123456);
    ASSERT_EQ(same.color(), 0x123456);
    Qe_Tran t;
    for (auto [node, drawn] : {std::pair{&same, 0xEDCBA9L}, std::pair{&near, 0x123457L}}) {
        Recorder r;
        node->draw(r.dc, t);
        const auto calls = r.calls();
        ASSERT_EQ(calls.size(), 5u);
        EXPECT_EQ(calls[0].brush.lbColor, static_cast<COLORREF>(drawn));
        EXPECT_EQ(calls[0].pen.lopnColor, static_cast<COLORREF>(drawn));
        EXPECT_EQ(calls[4].pen.lopnColor, static_cast<COLORREF>(drawn));
    }
    // The raster form's line colour goes through the device's own rule.
    Raster r;
    r.q.black_color(0x123456);
    Qe_Pt line[2] = {{2, 5, 0}, {20, 5, 0}};
    MB_Draw_Lines_Set set(line, 2, 0x00FF00, nullptr);
    op.system_setting()->set_long_val(0, 0x00FF00);
    r.q.black_color(0x00FF00);
    set.draw(r.q, t);
    EXPECT_EQ(r.at(10, 5), static_cast<COLORREF>(0xFF00FF));
}

TEST(DrawNode, LinesSetDrawsInBothForms)
{
    const Qe_Tran t = scale_transf(2.0) * translate_transf(Qe_Vec(0.5, 1.5, 0));
    Qe_Pt two[2] = {{1.2, 1.0, 0}, {5.9, 3.0, 0}};
    Qe_Pt three[3] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}};
    Qe_Pt one[1] = {{3, 3, 0}};
    struct Case {
        Qe_Pt* pts;
        int n;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {two, 2, {"MoveToEx 2 3", "LineTo 12 7"}},
        {three, 3, {"Polyline 3 0 1 8 1 8 9"}},
        {one, 1, {}},
    };
    for (const Case& c : cases) {
        MB_Draw_Lines_Set set(c.pts, c.n, 0xFF, nullptr);
        Recorder r;
        set.draw(r.dc, t);
        std::vector<std::string> got;
        for (const auto& call : r.calls()) got.push_back(platform_call_text(call));
        EXPECT_EQ(got, c.calls) << c.n;
    }

    // Raster form: the device's polyline in the node colour; one point draws nothing.
    Raster r;
    Qe_Tran id;
    MB_Draw_Lines_Set(three, 3, 0x0000FF, nullptr).draw(r.q, id);
    EXPECT_EQ(r.at(2, 0), RGB(255, 0, 0));
    EXPECT_EQ(r.at(4, 2), RGB(255, 0, 0));
    MB_Draw_Lines_Set(one, 1, 0x00FF00, nullptr).draw(r.q, id);
    EXPECT_EQ(r.at(3, 3), RGB(255, 255, 255));
}

// An outer square of 0..30 with a square hole of 10..20.
MB_Draw_Lines_Sets* ring_with_hole(long colour, MB_Drawable* owner)
{
    const Qe_Pt pts[10] = {{0, 0, 0},   {30, 0, 0},  {30, 30, 0}, {0, 30, 0},  {0, 0, 0},
                           {10, 10, 0}, {20, 10, 0}, {20, 20, 0}, {10, 20, 0}, {10, 10, 0}};
    const mb_ulong counts[2] = {5, 5};
    auto* sets = new MB_Draw_Lines_Sets(colour, owner);
    sets->init(2, counts, pts);
    sets->is_filled(true);
    return sets;
}

TEST(DrawNode, FilledLinesSetsThroughADeviceContext)
{
    MB_Operation op;
    Qe_Tran t;
    std::unique_ptr<MB_Draw_Lines_Sets> sets(ring_with_hole(0x00FF00, nullptr));
    Recorder r;
    sets->draw(r.dc, t);
    const std::vector<std::string> expected = {"BeginPath",
                                               "Polyline 5 0 0 30 0 30 30 0 30 0 0",
                                               "Polyline 5 10 10 20 10 20 20 10 20 10 10",
                                               "EndPath",
                                               "StrokeAndFillPath",
                                               "Polyline 5 0 0 30 0 30 30 0 30 0 0",
                                               "Polyline 5 10 10 20 10 20 20 10 20 10 10"};
    EXPECT_EQ(call_texts(r.dc), expected);
    const auto calls = r.calls();
    EXPECT_EQ(calls[4].brush.lbStyle, BS_SOLID);
    EXPECT_EQ(calls[4].brush.lbColor, RGB(0, 255, 0));

    // A selected owner fills with the hatched selection brush.
    Test_Geom owner;
    owner.flag(MB_Drawable::State_Selected);
    std::unique_ptr<MB_Draw_Lines_Sets> selected(ring_with_hole(0x00FF00, &owner));
    Recorder s;
    selected->draw(s.dc, t);
    const auto sc = s.calls();
    ASSERT_GE(sc.size(), 5u);
    EXPECT_EQ(sc[4].brush.lbStyle, BS_HATCHED);
    EXPECT_EQ(sc[4].brush.lbHatch, static_cast<UINT_PTR>(HS_BDIAGONAL));
    EXPECT_EQ(sc[4].brush.lbColor, RGB(255, 0, 0));

    // Unfilled: one pass in the selected pen; a lone point is a pixel in the drawing colour.
    const Qe_Pt pts[3] = {{1, 1, 0}, {7, 2, 0}, {4, 4, 0}};
    const mb_ulong counts[2] = {1, 2};
    MB_Draw_Lines_Sets open(0x0000FF, nullptr);
    open.init(2, counts, pts);
    Recorder u;
    open.draw(u.dc, t);
    EXPECT_EQ(call_texts(u.dc), (std::vector<std::string>{"SetPixel 1 1 255", "Polyline 2 7 2 4 4"}));
}

TEST(DrawNode, FilledShapesIntoTheRasterDevice)
{
    MB_Operation op;
    Raster r;
    Qe_Tran t = translate_transf(Qe_Vec(2, 2, 0));
    std::unique_ptr<MB_Draw_Lines_Sets> sets(ring_with_hole(0x0000FF, nullptr));
    sets->draw(r.q, t);
    EXPECT_EQ(r.at(7, 7), RGB(255, 0, 0));        // in the ring
    EXPECT_EQ(r.at(17, 17), RGB(255, 255, 255));  // in the hole
    EXPECT_EQ(r.at(36, 36), RGB(255, 255, 255));  // outside

    Qe_Pt tri[3] = {{0, 0, 0}, {30, 0, 0}, {0, 30, 0}};
    Raster s;
    MB_Draw_Solid(tri, 3, 0x00FF00, nullptr).draw(s.q, t);
    EXPECT_EQ(s.at(8, 8), RGB(0, 255, 0));
    EXPECT_EQ(s.at(30, 30), RGB(255, 255, 255));
    // Two vertices draw nothing in either form.
    Raster e;
    MB_Draw_Solid(tri, 2, 0x00FF00, nullptr).draw(e.q, t);
    EXPECT_EQ(e.at(12, 2), RGB(255, 255, 255));
    Recorder rec;
    MB_Draw_Solid(tri, 2, 0x00FF00, nullptr).draw(rec.dc, t);
    EXPECT_TRUE(rec.calls().empty());
    // A solid through a DC: the closed outline in a path, then again on top.
    MB_Draw_Solid(tri, 3, 0x00FF00, nullptr).draw(rec.dc, t);
    EXPECT_EQ(call_texts(rec.dc), (std::vector<std::string>{"BeginPath", "Polyline 4 2 2 32 2 2 32 2 2", "EndPath",
                                                            "StrokeAndFillPath", "Polyline 4 2 2 32 2 2 32 2 2"}));
}

TEST(DrawNode, PicksAreStrictlyWithinTheTolerance)
{
    Qe_Pt pts[3] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    MB_Draw_Lines_Set set(pts, 3, 0, nullptr);
    struct Case {
        Qe_Pt pick;
        double tol;
        bool hit;
        Qe_Pt expected;
    };
    const double eps = 1e-9;
    const Case cases[] = {
        {{0, -0.5, 0}, 0.5, false, {}},  // exactly tol from the start
        {{0, -0.5, 0}, 0.5 + eps, true, {0, 0, 0}},
        {{5, 1, 0}, 1.0, false, {}},             // exactly tol from the segment
        {{5, 1, 0}, 1.0 + eps, true, {5, 0, 0}},  // the foot of the perpendicular
        {{10.3, 4, 0}, 0.3 + eps, true, {10, 4, 0}},
        {{10.3, 10.4, 0}, 0.5 + eps, true, {10, 10, 0}},  // the end of the second segment
        {{3, 3, 0}, 1.0, false, {}},
    };
    for (const Case& c : cases) {
        Qe_Pt hit(99, 99, 0);
        EXPECT_EQ(set.pick(c.pick, hit, c.tol), c.hit) << c.pick.x() << "," << c.pick.y() << " " << c.tol;
        if (c.hit) {
            EXPECT_NEAR(hit.x(), c.expected.x(), 1e-12);
            EXPECT_NEAR(hit.y(), c.expected.y(), 1e-12);
        }
    }
    Qe_Pt hit;
    EXPECT_FALSE(MB_Draw_Lines_Set(pts, 1, 0, nullptr).pick(pts[0], hit, 1.0));

    // A solid answers inside or on its boundary whatever the tolerance, and writes no hit.
    MB_Draw_Solid solid(pts, 3, 0, nullptr);
    Qe_Pt untouched(7, 7, 7);
    EXPECT_TRUE(solid.pick(Qe_Pt(8, 2, 0), untouched, 0.0));
    EXPECT_TRUE(solid.pick(Qe_Pt(5, 0, 0), untouched, 0.0));
    EXPECT_FALSE(solid.pick(Qe_Pt(2, 8, 0), untouched, 100.0));
    EXPECT_TRUE(same_point(untouched, Qe_Pt(7, 7, 7), 0.0));

    // Sets snap to their runs; a group answers through its first member that picks.
    MB_Draw_Nodes group;
    group.node_list().add(new MB_Draw_Point);
    auto* sets = group.node_list().add(new MB_Draw_Lines_Sets(pts, 3, 0, 1.0, nullptr, nullptr));
    EXPECT_TRUE(sets->pick(Qe_Pt(5, 0.5, 0), hit, 1.0));
    EXPECT_TRUE(group.pick(Qe_Pt(5, 0.5, 0), hit, 1.0));
    EXPECT_NEAR(hit.y(), 0.0, 1e-12);
    EXPECT_FALSE(group.pick(Qe_Pt(5, 0.5, 0), hit, 0.5));
    MB_Draw_Trans trans(Qe_Tran(), &set, 0, nullptr);
    EXPECT_FALSE(trans.pick(pts[0], hit, 1.0));
}

TEST(DrawNode, BoundingRectangles)
{
    Qe_Pt two[2] = {{5, 1, 0}, {-2, 7, 0}};
    MB_Draw_Lines_Set set(two, 2, 0, nullptr);
    EXPECT_EQ(set.rect(), nullptr);
    EXPECT_EQ(set.diagonal_len(), 0.0);
    set.build_rect();
    ASSERT_NE(set.rect(), nullptr);
    EXPECT_TRUE(same_point(set.rect()->lt(), Qe_Pt(-2, 7, 0), 0.0));
    EXPECT_TRUE(same_point(set.rect()->rb(), Qe_Pt(5, 1, 0), 0.0));
    EXPECT_DOUBLE_EQ(set.diagonal_len(), std::hypot(7.0, 6.0));
    set.build_rect();  // replaces the rectangle (the old one is freed)

    // A transform node needs its child's rectangle.
    MB_Draw_Lines_Set child(two, 2, 0, nullptr);
    MB_Draw_Trans trans(translate_transf(Qe_Vec(10, 0, 0)) * scale_transf(2.0), &child, 0, nullptr);
    trans.build_rect();
    EXPECT_EQ(trans.rect(), nullptr);
    child.build_rect();
    trans.build_rect();
    ASSERT_NE(trans.rect(), nullptr);
    EXPECT_TRUE(same_point(trans.rect()->lt(), Qe_Pt(16, 14, 0), 1e-12));
    EXPECT_TRUE(same_point(trans.rect()->rb(), Qe_Pt(30, 2, 0), 1e-12));

    // A group builds its members' rectangles and takes their union; empty, it has none.
    MB_Draw_Nodes group;
    group.build_rect();
    EXPECT_EQ(group.rect(), nullptr);
    group.node_list().add(new MB_Draw_Lines_Set(two, 2, 0, nullptr));
    group.node_list().add(new Counted_Node);
    group.build_rect();
    ASSERT_NE(group.rect(), nullptr);
    EXPECT_TRUE(same_point(group.rect()->lt(), Qe_Pt(-2, 7, 0), 0.0));
    EXPECT_TRUE(same_point(group.rect()->rb(), Qe_Pt(5, 1, 0), 0.0));

    MB_Draw_Lines_Sets empty(0, nullptr);
    empty.build_rect();
    EXPECT_EQ(empty.rect(), nullptr);

    Qe_Pt centre(10, 20, 0);
    MB_Draw_Image image(nullptr, centre, 4, 6, 0, nullptr);
    image.build_rect();
    EXPECT_TRUE(same_point(image.rect()->lt(), Qe_Pt(7, 22, 0), 0.0));
    EXPECT_TRUE(same_point(image.rect()->rb(), Qe_Pt(13, 18, 0), 0.0));
}

TEST(DrawNode, IdsAndTheNodesThatDrawNothing)
{
    Qe_Pt centre;
    MB_Draw_Image image(nullptr, centre, 1, 1, 0, nullptr);
    MB_Draw_Trans trans;
    EXPECT_EQ(image.draw_node_id(), 6);
    EXPECT_EQ(trans.draw_node_id(), 6);
    EXPECT_EQ(MB_Draw_Point().draw_node_id(), 1);
    EXPECT_EQ(MB_Draw_Lines_Set().draw_node_id(), 2);
    EXPECT_EQ(MB_Draw_Lines_Sets().draw_node_id(), 3);
    EXPECT_EQ(MB_Draw_Solid().draw_node_id(), 4);
    EXPECT_EQ(MB_Draw_Nodes().draw_node_id(), 8);
    Qe_Pt pts[2] = {{0, 0, 0}, {1, 1, 0}};
    MB_Draw_Solids solids(pts, 2, 0xFF, 2.0, nullptr, nullptr);
    EXPECT_EQ(solids.draw_node_id(), 5);
    EXPECT_EQ(solids.ptset_count(), 0u);

    Recorder r;
    Qe_Tran t;
    image.draw(r.dc, t);
    trans.draw(r.dc, t);
    MB_Draw_Point().draw(r.dc, t);
    solids.draw(r.dc, t);
    MB_Draw_Nodes().draw(r.dc, t);
    EXPECT_TRUE(r.calls().empty());
}

TEST(DrawNode, TransformNodesShareTheirChild)
{
    Qe_Pt pts[2] = {{1, 1, 0}, {3, 1, 0}};
    MB_Draw_Lines_Set child(pts, 2, 0, nullptr);
    auto* a = new MB_Draw_Trans(translate_transf(Qe_Vec(10, 0, 0)), &child, 0, nullptr);
    MB_Draw_Trans b(scale_transf(2.0), &child, 0, nullptr);
    delete a;
    Recorder r;
    // The node's own transform first, then the caller's.
    b.draw(r.dc, translate_transf(Qe_Vec(0, 5, 0)));
    EXPECT_EQ(call_texts(r.dc), (std::vector<std::string>{"MoveToEx 2 7", "LineTo 6 7"}));
}

TEST(DrawNode, ListLinksAndOwnership)
{
    Counted_Node::s_live = 0;
    MB_Draw_List list;
    EXPECT_EQ(list.add(nullptr), nullptr);
    auto* a = list.add(new Counted_Node);
    auto* b = list.add(new Counted_Node);
    auto* c = new Counted_Node;
    list.add_head(c);
    list.add_head(nullptr);
    MB_Draw_Point point;
    list.insert(&point, nullptr);  // no effect
    EXPECT_EQ(list.head(), c);
    EXPECT_EQ(list.tail(), b);
    EXPECT_EQ(c->next(), a);
    EXPECT_EQ(a->prev(), c);

    // A node of another list is left alone.
    Counted_Node stranger;
    list.kill(&stranger);
    EXPECT_EQ(Counted_Node::s_live, 4);
    list.kill(a);  // inner
    EXPECT_EQ(c->next(), b);
    EXPECT_EQ(b->prev(), c);
    list.kill(c);  // head
    EXPECT_EQ(list.head(), b);
    EXPECT_EQ(b->prev(), nullptr);
    list.kill(b);  // the only one
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
    EXPECT_EQ(Counted_Node::s_live, 1);

    list.add(new Counted_Node);
    list.add(new Counted_Node);
    Recorder r;
    list.draw(r.dc, translate_transf(Qe_Vec(1, 1, 0)));
    EXPECT_EQ(call_texts(r.dc), (std::vector<std::string>{"SetPixel 2 3 0", "SetPixel 2 3 0"}));
    list.kill_all();
    EXPECT_EQ(Counted_Node::s_live, 1);
    auto* d = list.add(new Counted_Node);
    EXPECT_EQ(list.head(), d);
    EXPECT_EQ(list.tail(), d);
    {
        // A group deletes its members with itself.
        MB_Draw_Nodes group;
        group.node_list().add(new Counted_Node);
        EXPECT_EQ(Counted_Node::s_live, 3);
    }
    EXPECT_EQ(Counted_Node::s_live, 2);
    list.kill_all();
}

TEST(DrawNode, LineTypedNodeOfADrawable)
{
    MB_Operation op;
    MB_Line_Type dashed;
    ASSERT_TRUE(dashed.init_data("A,5,-5"));
    Test_Geom g;
    g.general().color(0x00FF00);
    Qe_Pt_Set line(2, std::vector<Qe_Pt>{{0, 0, 0}, {43, 0, 0}}.data());

    // Without a line type there is no node.
    g.build_draw_node_with_ltype(line);
    EXPECT_EQ(g.draw_node(), nullptr);

    g.general().line_type(&dashed);
    g.build_draw_node_with_ltype(line);
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(g.draw_node());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->drawable(), &g);
    EXPECT_EQ(node->color(), 0x00FF00);
    // 43 units of 5 on, 5 off: dashes from 0, 10, 20, 30 and 40, the last one cut short.
    ASSERT_EQ(node->ptset_count(), 5u);
    EXPECT_TRUE(same_point(node->get_point(4, 0), Qe_Pt(40, 0, 0), 1e-9));
    EXPECT_TRUE(same_point(node->get_point(4, 1), Qe_Pt(43, 0, 0), 1e-9));
    Qe_Pt hit;
    EXPECT_TRUE(node->pick(Qe_Pt(2, 0.1, 0), hit, 0.2));
    EXPECT_FALSE(node->pick(Qe_Pt(7.5, 0.1, 0), hit, 0.2));  // in a gap

    // A pattern of length 0 drops the node.
    dashed.pattern_length(0.0);
    g.build_draw_node_with_ltype(line);
    EXPECT_EQ(g.draw_node(), nullptr);
}

}  // namespace
