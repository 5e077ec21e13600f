#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/database/block.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"

using namespace entity_test;

namespace {

constexpr double k_deg = M_PI / 180.0;

MB_Block* add_block(MB_Drawing& d, const char* name, const Qe_Pt& base = Qe_Pt())
{
    auto* b = new MB_Block(base, MB_String(name), MB_String("d"));
    d.block_list().add_tail(b);
    return b;
}

MB_Line* add_line(MB_Block& b, const Qe_Pt& from, const Qe_Pt& to)
{
    auto* l = new MB_Line(from, to);
    l->general().color(RGB(200, 0, 0));
    b.object_list().add_tail(l);
    return l;
}

bool near(const Qe_Pt& a, const Qe_Pt& b, double tol = 1e-12)
{
    return (a - b).len() <= tol;
}

std::string str(const Qe_Pt& p)
{
    return "(" + std::to_string(p.x()) + ", " + std::to_string(p.y()) + ", " + std::to_string(p.z()) + ")";
}

// Where the insert transform puts block points: scaling by the absolute scales (z 0 as 1),
// the mirrors of negative scales, the turn, then the move.
TEST(Insert_Transform, MapsBlockPoints)
{
    struct Case {
        const char* what;
        Qe_Pt at;
        double angle;
        double s[3];
        Qe_Pt from, to;
    } cases[] = {
        {"z scale 0 acts as 1", {10, 0, 0}, 0, {2, -1, 0}, {1, 1, 0}, {12, -1, 0}},
        {"mirror before the turn", {0, 0, 0}, 90 * k_deg, {-1, 1, 1}, {1, 0, 0}, {0, -1, 0}},
        {"y mirror before the turn", {0, 0, 0}, 90 * k_deg, {1, -1, 1}, {0, 1, 0}, {1, 0, 0}},
        {"turn, then move", {5, 5, 0}, 90 * k_deg, {2, 2, 1}, {1, 0, 0}, {5, 7, 0}},
        {"z scale kept", {0, 0, 1}, 0, {1, 1, 3}, {0, 0, 2}, {0, 0, 7}},
        {"30 degrees, (2, -2)", {3, 1, 0}, 30 * k_deg, {2, -2, 1}, {1, 1, 0},
         {3 + 2 * std::cos(30 * k_deg) + 2 * std::sin(30 * k_deg), 1 + 2 * std::sin(30 * k_deg) - 2 * std::cos(30 * k_deg), 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MB_Insert ins(c.at, c.angle, c.s[0], c.s[1], c.s[2]);
        EXPECT_TRUE(ins.trans().identity()) << "the transform waits for build_transf";
        ins.build_transf();
        const Qe_Pt got = c.from * ins.trans();
        EXPECT_TRUE(near(got, c.to, 1e-12)) << str(got);
    }
}

TEST(Insert_Properties, KeysAndFlag)
{
    MB_Drawing d;
    MB_Block* b = add_block(d, "Door");
    MB_Insert ins(Qe_Pt(1, 2, 0), 0.5, 2, 3, 4);
    EXPECT_EQ(ins.get_string(-309), nullptr);
    ins.block(MB_String("door"), d);  // any case
    EXPECT_EQ(ins.block(), b);
    EXPECT_STREQ(ins.get_string(-309), "Door");
    ins.display_flag(true);
    EXPECT_EQ(ins.get_int(-217), 1);
    EXPECT_TRUE(ins.display_flag()) << "reading the flag leaves it";
    ins.set_int(-217, 2);
    EXPECT_FALSE(ins.display_flag());
    // A name the drawing lacks makes a new empty block at the tail.
    ins.block(MB_String("Window"), d);
    EXPECT_EQ(ins.block(), d.block_list().get_tail());
    EXPECT_EQ(ins.block()->desc(), MB_String("Block desc"));
    EXPECT_EQ(d.block_list().count(), 2);
}

// Record 'I' after the block-name record, bytes pinned.
TEST(Insert_Record, GoldenNameAndInsert)
{
    MB_Drawing d;
    MB_Block* b = add_block(d, "Ab");
    std::unique_ptr<MB_Insert> ins(plain(new MB_Insert(Qe_Pt(1, 2, 3), 0.5, 2, -3, 7)));
    ins->block(b);
    const Bytes want = "J" + le_long(2) + "Ab" + "I" + k_no_xdata + position(Qe_Pt(1, 2, 3)) + le_double(0.5) +
                       le_double(2) + le_double(-3);
    EXPECT_EQ(to_hex(record_bytes(*ins)), to_hex(want));

    // Without a block nothing at all is written, and that is no failure.
    MB_Insert unbound;
    MB_Result r = MB_Result::Internal_Error;
    EXPECT_EQ(record_bytes(unbound, &r), "");
    EXPECT_EQ(r, 0);
}

// A name record only when the block changes; every insert reads back bound to its block,
// with the z scale at 1.
TEST(Insert_Record, RepeatedBlocksShareOneNameRecord)
{
    MB_Drawing d;
    MB_Block* a = add_block(d, "A");
    MB_Block* b = add_block(d, "B");
    stream_test::Stream s;
    ASSERT_EQ(s.open_write(), 0);
    MB_Block* order[] = {a, a, b, a};
    std::vector<std::unique_ptr<MB_Insert>> written;
    for (int i = 0; i < 4; ++i) {
        written.emplace_back(plain(new MB_Insert(Qe_Pt(i, 2 * i, 0), 0.25 * i, 1 + i, 2, 3)));
        written.back()->block(order[i]);
        ASSERT_EQ(written.back()->serialize(s.io), 0);
    }
    const Bytes body = s.body();
    auto operands = [](int i, const Qe_Pt& prev) {
        return "I" + k_no_xdata + position(Qe_Pt(i, 2 * i, 0), prev) + le_double(0.25 * i) + le_double(1 + i) + le_double(2);
    };
    const Bytes want = "J" + le_long(1) + "A" + operands(0, Qe_Pt()) + operands(1, Qe_Pt(0, 0, 0)) + "J" + le_long(1) +
                       "B" + operands(2, Qe_Pt(1, 2, 0)) + "J" + le_long(1) + "A" + operands(3, Qe_Pt(2, 4, 0));
    EXPECT_EQ(to_hex(body), to_hex(want));

    Record_Reader rd;
    MB_Block* ra = add_block(rd.drawing(), "a");
    MB_Block* rb = add_block(rd.drawing(), "b");
    ASSERT_EQ(rd.read(body), 0);
    ASSERT_EQ(rd.count(), 4);
    MB_Block* want_blocks[] = {ra, ra, rb, ra};
    int i = 0;
    for (MB_Object* o = rd.drawing().object_list().get_head(); o; o = o->next(), ++i) {
        auto* ins = dynamic_cast<MB_Insert*>(o);
        ASSERT_NE(ins, nullptr);
        EXPECT_EQ(ins->block(), want_blocks[i]) << i;
        EXPECT_TRUE(pt_eq(ins->point(), Qe_Pt(i, 2 * i, 0))) << i;
        EXPECT_EQ(ins->angle(), 0.25 * i);
        EXPECT_EQ(ins->scale()[0], 1 + i);
        EXPECT_EQ(ins->scale()[1], 2);
        EXPECT_EQ(ins->scale()[2], 1) << "the z scale is not in the record";
        // process computed the transform.
        EXPECT_TRUE(near(Qe_Pt(1, 0, 0) * ins->trans(), Qe_Pt(i + (1 + i) * std::cos(0.25 * i), 2 * i + (1 + i) * std::sin(0.25 * i), 0),
                         1e-12));
    }

    // A name the reading drawing does not hold leaves the insert unbound; it then writes nothing.
    Record_Reader none;
    ASSERT_EQ(none.read("J" + le_long(1) + "Q" + operands(0, Qe_Pt())), 0);
    ASSERT_NE(none.first<MB_Insert>(), nullptr);
    EXPECT_EQ(none.first<MB_Insert>()->block(), nullptr);
    EXPECT_EQ(record_bytes(*none.first<MB_Insert>()), "");
}

TEST(Insert_Record, TruncatedRecordsFailWithoutAnInsert)
{
    const Bytes rec = "I" + k_no_xdata + position(Qe_Pt(1, 2, 0)) + le_double(0.5) + le_double(2) + le_double(3);
    for (std::size_t n = 1; n < rec.size(); ++n) {
        Record_Reader rd;
        add_block(rd.drawing(), "A");
        EXPECT_NE(rd.read_raw(k_header + "J" + le_long(1) + "A" + rec.substr(0, n)), 0) << n;
        EXPECT_EQ(rd.count(), 0) << n;
    }
}

// The block's base point moves the members to the insertion point: drawn, bounded and picked
// where the reference shows them.
TEST(Insert_Display, BasePointDrawnAndPickedWhereShown)
{
    Op_Fixture f;
    MB_Block* b = add_block(*f.drawing, "B", Qe_Pt(5, 5, 0));
    add_line(*b, Qe_Pt(5, 5, 0), Qe_Pt(9, 5, 0));
    add_line(*b, Qe_Pt(5, 5, 0), Qe_Pt(5, 8, 0));
    b->build_draw();
    MB_Insert ins;
    ins.block(b);
    ins.build_draw();
    EXPECT_TRUE(near(ins.rect().lt(), Qe_Pt(0, 3, 0)) && near(ins.rect().rb(), Qe_Pt(4, 0, 0)))
        << str(ins.rect().lt()) << str(ins.rect().rb());

    // The same pixels as the lines drawn at the origin.
    const Qe_Tran view = scale_transf(4.0) * translate_transf(Qe_Vec(10, 10, 0));
    Raster shown(60, 60), expected(60, 60);
    Qe_Tran v = view;
    ins.draw(nullptr, shown.q, v);
    MB_Line a(Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0)), c(Qe_Pt(0, 0, 0), Qe_Pt(0, 3, 0));
    for (MB_Line* l : {&a, &c}) {
        l->general().color(RGB(200, 0, 0));
        l->build_draw();
        expected.q.SetColor(static_cast<unsigned long>(l->general().color()), true);
        l->draw(nullptr, expected.q, v);
    }
    ASSERT_GT(shown.drawn(), 0);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(shown.pixel(x, y), expected.pixel(x, y)) << x << "," << y;

    Qe_Pt_List hits;
    Qe_Pt hit;
    int kind = 0, extra = 0;
    EXPECT_EQ(ins.pick(Qe_Pt(2, 0.05, 0), hits, 0.1, hit, kind, extra), 1);
    EXPECT_TRUE(near(hit, Qe_Pt(2, 0, 0), 1e-9)) << str(hit);
    EXPECT_EQ(ins.pick(Qe_Pt(7, 5.05, 0), hits, 0.1, hit, kind, extra), 0) << "where the block is defined, nothing is shown";
}

// Under a turn and a scale the pick point goes into the block, the tolerance with it, and the
// snapped point comes back.
TEST(Insert_Display, PickThroughTurnAndScale)
{
    MB_Drawing d;
    MB_Block* b = add_block(d, "B", Qe_Pt(1, 1, 0));
    add_line(*b, Qe_Pt(1, 1, 0), Qe_Pt(3, 1, 0));
    auto* circle = new MB_Circle(Qe_Pt(10, 1, 0), 1.0);
    b->object_list().add_tail(circle);
    b->build_draw();
    MB_Insert ins(Qe_Pt(4, -2, 0), 30 * k_deg, 3, -3, 1);
    ins.block(b);
    ins.build_draw();
    const Qe_Tran m = b->tran() * ins.trans();
    Qe_Pt_List hits;
    int kind = 0, extra = 0;
    // The centre of the circle is a snap point of kind 16: it comes back mapped.
    const Qe_Pt centre = Qe_Pt(10, 1, 0) * m;
    Qe_Pt hit;
    ASSERT_EQ(ins.pick(centre + Qe_Vec(0.2, 0, 0), hits, 0.25, hit, kind, extra), 1);
    EXPECT_EQ(kind, 16);
    EXPECT_TRUE(near(hit, centre, 1e-9)) << str(hit);
    // Off the line by 0.5 in the world: within a world tolerance of 0.6, not within 0.4.
    const Qe_Pt mid = Qe_Pt(2, 1, 0) * m;
    const Qe_Vec across = Qe_Vec(-std::sin(30 * k_deg), std::cos(30 * k_deg), 0);
    EXPECT_EQ(ins.pick(mid + across * 0.5, hits, 0.6, hit, kind, extra), 1);
    EXPECT_EQ(ins.pick(mid + across * 0.5, hits, 0.4, hit, kind, extra), 0);
    MB_Insert unbound;
    EXPECT_EQ(unbound.pick(mid, hits, 1.0, hit, kind, extra), 0);
}

// The display flag draws every member in the reference's colour; otherwise each keeps its own.
TEST(Insert_Display, ColoursOfMembers)
{
    MB_Drawing d;
    MB_Block* b = add_block(d, "B");
    add_line(*b, Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0))->general().color(RGB(255, 0, 0));
    add_line(*b, Qe_Pt(0, 5, 0), Qe_Pt(10, 5, 0))->general().color(RGB(0, 0, 255));
    b->build_draw();
    MB_Insert ins(Qe_Pt(2, 2, 0), 0, 1, 1, 1);
    ins.block(b);
    ins.general().color(RGB(0, 255, 0));
    ins.build_draw();
    for (const bool flag : {false, true}) {
        ins.display_flag(flag);
        Raster r(20, 20);
        Qe_Tran id;
        ins.draw(nullptr, r.q, id);
        EXPECT_EQ(r.pixel(5, 2), flag ? RGB(0, 255, 0) : RGB(255, 0, 0));
        EXPECT_EQ(r.pixel(5, 7), flag ? RGB(0, 255, 0) : RGB(0, 0, 255));
    }
}

// Unbound references and empty or unbuilt blocks draw, bound and explode nothing.
TEST(Insert_Display, NothingWithoutABuiltBlock)
{
    Op_Fixture f;
    MB_Block* empty = add_block(*f.drawing, "E");
    MB_Block* unbuilt = add_block(*f.drawing, "U");
    add_line(*unbuilt, Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0));
    for (MB_Block* b : {static_cast<MB_Block*>(nullptr), empty, unbuilt}) {
        MB_Insert ins(Qe_Pt(1, 1, 0), 0, 1, 1, 1);
        ins.block(b);
        ins.build_draw();
        EXPECT_TRUE(ins.trans().identity());
        Recording_Dc dc;
        Qe_Qdc q;
        Qe_Tran id;
        ins.draw(dc.dc, q, id);
        EXPECT_TRUE(dc.calls().empty());
        if (b != unbuilt) {
            ins.explode(f.drawing);
            EXPECT_EQ(f.drawing->object_list().count(), 0);
        }
    }
}

// A block that reaches itself, directly or through another, draws and picks each block once
// on a path instead of recursing without end; so does a chain deeper than any drawing needs.
TEST(Insert_Recursion, SelfReachingBlocksEndTheirWalk)
{
    MB_Drawing d;
    MB_Block* a = add_block(d, "A");
    add_line(*a, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    auto* self = new MB_Insert(Qe_Pt(2, 0, 0), 0, 1, 1, 1);
    self->block(MB_String("A"), d);  // through the flat interface's binding by name
    a->object_list().add_tail(self);
    MB_Block* b = add_block(d, "B");
    MB_Block* c = add_block(d, "C");
    add_line(*b, Qe_Pt(0, 0, 0), Qe_Pt(0, 1, 0));
    add_line(*c, Qe_Pt(0, 0, 0), Qe_Pt(0, 2, 0));
    auto* b_to_c = new MB_Insert(Qe_Pt(1, 1, 0), 0, 1, 1, 1);
    b_to_c->block(c);
    b->object_list().add_tail(b_to_c);
    auto* c_to_b = new MB_Insert(Qe_Pt(1, 1, 0), 0, 1, 1, 1);
    c_to_b->block(b);
    c->object_list().add_tail(c_to_b);
    d.build_draw();

    struct Case {
        MB_Block* block;
        std::size_t lines;  // members drawn: each block once on the path
    } cases[] = {{a, 1}, {b, 2}, {c, 2}};
    for (const Case& k : cases) {
        MB_Insert ins;
        ins.block(k.block);
        ins.build_draw();
        Recording_Dc dc;
        Qe_Qdc q;
        Qe_Tran id;
        ins.draw(dc.dc, q, id);
        std::size_t polylines = 0;
        for (const Platform_Call& call : dc.calls()) polylines += call.name == "Polyline";
        EXPECT_EQ(polylines, k.lines) << k.block->name().ascii();
        Qe_Pt_List hits;
        Qe_Pt hit;
        int kind = 0, extra = 0;
        EXPECT_EQ(ins.pick(Qe_Pt(50, 50, 0), hits, 0.1, hit, kind, extra), 0);
        // Exploding copies one level: the copies include a reference, which is not walked.
        Op_Fixture f;
        ins.explode(f.drawing);
        EXPECT_EQ(static_cast<std::size_t>(f.drawing->object_list().count()), 2u);
    }

    // A chain of distinct blocks, each referring to the next: the walk stops at its depth.
    MB_Drawing deep;
    std::vector<MB_Block*> chain;
    for (int i = 0; i < 300; ++i) {
        chain.push_back(add_block(deep, ("L" + std::to_string(i)).c_str()));
        add_line(*chain.back(), Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    }
    for (int i = 0; i + 1 < 300; ++i) {
        auto* next = new MB_Insert(Qe_Pt(0, 1, 0), 0, 1, 1, 1);
        next->block(chain[i + 1]);
        chain[i]->object_list().add_tail(next);
    }
    for (int i = 299; i >= 0; --i) chain[i]->build_draw();
    MB_Insert top;
    top.block(chain[0]);
    top.build_draw();
    Recording_Dc dc;
    Qe_Qdc q;
    Qe_Tran id;
    top.draw(dc.dc, q, id);
    std::size_t polylines = 0;
    for (const Platform_Call& call : dc.calls()) polylines += call.name == "Polyline";
    EXPECT_GT(polylines, 10u);
    EXPECT_LT(polylines, 300u);
}

// A self-reference survives a save: the stream binds by names of blocks already read, so
// the reloaded reference inside its own block is unbound and the load is clean.
TEST(Insert_Recursion, SavedSelfReferenceLoadsUnbound)
{
    Bytes saved;
    {
        Op_Fixture f;
        MB_Block* a = add_block(*f.drawing, "A");
        add_line(*a, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
        auto* self = new MB_Insert(Qe_Pt(2, 0, 0), 0, 1, 1, 1);
        self->block(a);
        a->object_list().add_tail(self);
        auto* top = new MB_Insert(Qe_Pt(5, 5, 0), 0, 1, 1, 1);
        top->block(a);
        f.drawing->add_object(top);
        stream_test::Temp_File file;
        ASSERT_TRUE(f.op->save_jxb(file.path()));
        saved = file.contents();
    }
    Op_Fixture g;
    stream_test::Temp_File file;
    file.contents(saved);
    ASSERT_TRUE(g.op->load_jxb(file.path()));
    auto* a = g.drawing->find_block("A");
    ASSERT_NE(a, nullptr);
    auto* inner = dynamic_cast<MB_Insert*>(a->object_list().get_tail());
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->block(), nullptr);
    auto* top = dynamic_cast<MB_Insert*>(g.drawing->object_list().get_head());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->block(), a);
}

TEST(Insert_Explode, IntoTheOpenBlockOrTheDrawing)
{
    Op_Fixture f;
    MB_Block* b = add_block(*f.drawing, "B", Qe_Pt(1, 0, 0));
    add_line(*b, Qe_Pt(1, 0, 0), Qe_Pt(2, 0, 0));
    add_line(*b, Qe_Pt(1, 0, 0), Qe_Pt(1, 1, 0));
    b->build_draw();
    MB_Insert ins(Qe_Pt(10, 10, 0), 90 * k_deg, 2, 2, 1);
    ins.block(b);
    ins.explode(f.drawing);
    ASSERT_EQ(f.drawing->object_list().count(), 2);
    auto* first = static_cast<MB_Line*>(f.drawing->object_list().get_head());
    EXPECT_TRUE(near(first->start(), Qe_Pt(10, 10, 0), 1e-12) && near(first->end(), Qe_Pt(10, 12, 0), 1e-12))
        << str(first->start()) << str(first->end());

    // With a definition open, the copies join it; exploding into the very block being
    // exploded copies each member once.
    f.drawing->temp_block(b);
    ins.explode(f.drawing);
    EXPECT_EQ(f.drawing->object_list().count(), 2);
    EXPECT_EQ(b->object_list().count(), 4);
    f.drawing->temp_block(nullptr);
}

// Explode inside a command: undo takes the copies away, redo brings them back.
TEST(Insert_Explode, UndoAndRedo)
{
    Op_Fixture f;
    MB_Block* b = add_block(*f.drawing, "B");
    add_line(*b, Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0));
    b->object_list().add_tail(new MB_Circle(Qe_Pt(1, 1, 0), 1.0));
    b->build_draw();
    auto* ins = new MB_Insert(Qe_Pt(3, 3, 0), 0.3, 2, -1, 1);  // the circle becomes an ellipse
    ins->block(b);
    f.drawing->add_object(ins);
    f.command("explode", [&] { ins->explode(f.drawing); });
    auto ids = [&] {
        std::vector<int> out;
        for (MB_Object* o = f.drawing->object_list().get_head(); o; o = o->next()) out.push_back(o->object_id());
        return out;
    };
    EXPECT_EQ(ids(), (std::vector<int>{MB_Object::ID_INSERT, MB_Object::ID_LINE, MB_Object::ID_ELLIPSE}));
    f.undo();
    EXPECT_EQ(ids(), (std::vector<int>{MB_Object::ID_INSERT}));
    f.redo();
    EXPECT_EQ(ids(), (std::vector<int>{MB_Object::ID_INSERT, MB_Object::ID_LINE, MB_Object::ID_ELLIPSE}));
}

TEST(Insert_Undo, PropertyAndMoveChangesRestoreTheRecord)
{
    struct Case {
        const char* what;
        void (*change)(MB_Object&);
    } cases[] = {
        {"point", [](MB_Object& o) { static_cast<MB_Insert&>(o).set_point(-6, Qe_Pt(7, 8, 0)); }},
        {"angle", [](MB_Object& o) { static_cast<MB_Insert&>(o).set_real(-102, 1.25); }},
        {"x scale", [](MB_Object& o) { static_cast<MB_Insert&>(o).set_real(-106, -4); }},
        {"y scale", [](MB_Object& o) { static_cast<MB_Insert&>(o).set_real(-107, 9); }},
        {"moved", [](MB_Object& o) { static_cast<MB_Insert&>(o).translate(translate_transf(Qe_Vec(1, -1, 0)), 0); }},
    };
    for (const Case& c : cases) {
        Op_Fixture f;
        MB_Block* b = add_block(*f.drawing, "B");
        auto* ins = plain(new MB_Insert(Qe_Pt(1, 2, 0), 0.5, 2, 3, 1));
        ins->block(b);
        expect_undo_redo_state(f, ins, c.change, c.what);
    }
}

// Copies: a null target gets a new reference to the same block; an existing one takes block,
// angle, scales and point. Neither takes the display flag or the transform.
TEST(Insert_Copy, SharesTheBlock)
{
    MB_Drawing d;
    MB_Block* b = add_block(d, "B");
    MB_Insert ins(Qe_Pt(1, 2, 0), 0.5, 2, 3, 4);
    ins.block(b);
    ins.display_flag(true);
    ins.build_transf();
    MB_Object* made = nullptr;
    ASSERT_TRUE(ins.copy_to(made));
    std::unique_ptr<MB_Insert> copy(dynamic_cast<MB_Insert*>(made));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->block(), b);
    EXPECT_TRUE(pt_eq(copy->point(), ins.point()));
    EXPECT_EQ(copy->scale()[2], 4);
    EXPECT_FALSE(copy->display_flag());
    EXPECT_TRUE(copy->trans().identity());
}

// Block arrays: cells row by row, the grid turned about the insertion point, one drawing of
// the block per cell, deep copies and moves that carry the cells.
TEST(Minsert, CellsInOrder)
{
    MB_Minsert grid(Qe_Pt(0, 0, 0), 0, 1, 1, 1, 2, 10, 3, 20);
    const Qe_Pt want[] = {{0, 0, 0}, {10, 0, 0}, {0, 20, 0}, {10, 20, 0}, {0, 40, 0}, {10, 40, 0}};
    ASSERT_EQ(grid.cell_count(), 6u);
    for (int k = 0; k < 6; ++k) EXPECT_TRUE(near(grid.cell_points()[k], want[k])) << k;

    // Turned by 90 degrees about (5, 5): column steps go up, row steps go left.
    MB_Minsert turned(Qe_Pt(5, 5, 0), 90 * k_deg, 1, 1, 1, 2, 10, 2, 20);
    const Qe_Pt turned_want[] = {{5, 5, 0}, {5, 15, 0}, {-15, 5, 0}, {-15, 15, 0}};
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(near(turned.cell_points()[k], turned_want[k], 1e-12)) << k << str(turned.cell_points()[k]);
    // Each cell turns its copy of the block about the cell point.
    EXPECT_TRUE(near(Qe_Pt(1, 0, 0) * turned.cell_transforms()[3], Qe_Pt(-15, 16, 0), 1e-12));

    // Absurd counts make no cells rather than a huge allocation.
    MB_Minsert absurd(Qe_Pt(), 0, 1, 1, 1, 1UL << 20, 1, 1UL << 20, 1);
    EXPECT_EQ(absurd.cell_count(), 0u);
    MB_Minsert none(Qe_Pt(), 0, 1, 1, 1, 0, 1, 5, 1);
    EXPECT_EQ(none.cell_count(), 0u);
}

TEST(Minsert, DrawsEveryCellAndCopiesDeep)
{
    Op_Fixture f;
    MB_Block* b = add_block(*f.drawing, "B", Qe_Pt(1, 1, 0));
    add_line(*b, Qe_Pt(1, 1, 0), Qe_Pt(3, 1, 0));
    b->build_draw();
    auto grid = std::make_unique<MB_Minsert>(Qe_Pt(0, 0, 0), 0, 1, 1, 1, 3, 10, 2, 5);
    grid->block(b);
    grid->build_draw();
    // The block's base point sits on every cell point, as with a single reference.
    EXPECT_TRUE(near(grid->rect().lt(), Qe_Pt(0, 5, 0)) && near(grid->rect().rb(), Qe_Pt(22, 0, 0)))
        << str(grid->rect().lt()) << str(grid->rect().rb());
    Recording_Dc dc;
    Qe_Qdc q;
    Qe_Tran id;
    grid->draw(dc.dc, q, id);
    std::vector<std::string> polylines;
    for (const std::string& t : dc.texts())
        if (t.rfind("Polyline", 0) == 0) polylines.push_back(t);
    EXPECT_EQ(polylines, (std::vector<std::string>{"Polyline 2 0 0 2 0", "Polyline 2 10 0 12 0", "Polyline 2 20 0 22 0",
                                                   "Polyline 2 0 5 2 5", "Polyline 2 10 5 12 5", "Polyline 2 20 5 22 5"}));

    MB_Object* made = nullptr;
    ASSERT_TRUE(grid->copy_to(made));
    std::unique_ptr<MB_Minsert> copy(dynamic_cast<MB_Minsert*>(made));
    ASSERT_NE(copy, nullptr);
    grid->translate(translate_transf(Qe_Vec(100, 0, 0)), 0);
    EXPECT_TRUE(near(grid->cell_points()[5], Qe_Pt(120, 5, 0)));
    EXPECT_TRUE(near(Qe_Pt(0, 0, 0) * grid->cell_transforms()[5], Qe_Pt(120, 5, 0)));
    grid.reset();
    // The copy's cells are its own: unmoved, and alive after the source is gone.
    ASSERT_EQ(copy->cell_count(), 6u);
    EXPECT_TRUE(near(copy->cell_points()[5], Qe_Pt(20, 5, 0)));
    EXPECT_EQ(copy->block(), b);
    EXPECT_EQ(copy->columns(), 3u);
    EXPECT_EQ(copy->row_spacing(), 5.0);

    // Not written, not read, not picked.
    EXPECT_EQ(record_bytes(*copy), "");
    Qe_Pt_List hits;
    Qe_Pt hit;
    int kind = 0, extra = 0;
    EXPECT_EQ(copy->pick(Qe_Pt(1, 0, 0), hits, 1.0, hit, kind, extra), 0);
}

}  // namespace
