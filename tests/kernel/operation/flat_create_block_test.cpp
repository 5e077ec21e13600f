// The flat creation of dimensions, blocks, block references and groups: where each lands,
// the reference's transform against a closed form, the frozen three-point dimension against
// the display nodes of the dimension it came from, moving a whole drawing into another, and
// undo of what they made.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/group.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/solid.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/flat_create_block.h"
#include "kernel/operation/flat_fixture.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/undo_redo.h"
#include "platform/system.h"

namespace {

constexpr double k_pi = 3.14159265358979323846;

template <class T>
T* as(mb_handle h)
{
    return static_cast<T*>(reinterpret_cast<MB_Object*>(h));
}

using flat_test::members;
using flat_test::near;

class Flat_Block : public flat_test::Flat_Drawing {
protected:
    void TearDown() override
    {
        Flat_Drawing::TearDown();
        platform_freeze_time(nullptr);
    }

    struct Snapshot {
        std::vector<MB_Object*> objects, blocks;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snap() { return Snapshot{members(d->object_list()), members(d->block_list())}; }

    void expect_undo_redo(const char* what, const std::function<void()>& step)
    {
        if (!op->undo_redo()) op->init_undoredo(d);
        undo_cycle<Snapshot>(what, step, [this] { return snap(); });
    }

    // A closed block holding one line from a to b, base at base.
    MB_Block* line_block(const char* name, const Qe_Pt& base, const Qe_Pt& a, const Qe_Pt& b)
    {
        const double xyz[3] = {base.x(), base.y(), base.z()};
        MB_Block* block = nullptr;
        MB_Line* line = nullptr;
        EXPECT_TRUE(api_mb_create_block(block, name, xyz));
        EXPECT_TRUE(api_mb_create_line(line, a, b));
        EXPECT_TRUE(api_mb_end_block(block));
        block->build_draw();
        return block;
    }
};

}  // namespace

// Both reference forms: mirrors for negative scales, then the turn, then the move, so that a
// member's point (x, y) lands at P + R(angle)(sx x, sy y).
TEST_F(Flat_Block, InsertTransform)
{
    const Qe_Pt member(1.5, 0.5, 0.0);
    MB_Block* block = line_block("B", Qe_Pt(0, 0, 0), member, Qe_Pt(4, 1, 0));
    const Qe_Pt at(10, 20, 0);
    const double angle = k_pi / 6;
    const double xyz[3] = {at.x(), at.y(), at.z()};
    struct Case {
        double sx, sy;
    };
    for (const Case c : {Case{2, 3}, Case{-2, 3}, Case{2, -3}, Case{-2, -3}}) {
        SCOPED_TRACE(::testing::Message() << "scales " << c.sx << ", " << c.sy);
        const double x = c.sx * member.x(), y = c.sy * member.y();
        const Qe_Pt want(at.x() + x * std::cos(angle) - y * std::sin(angle),
                         at.y() + x * std::sin(angle) + y * std::cos(angle), 0.0);

        MB_Insert* first = nullptr;
        ASSERT_TRUE(api_mb_create_insert(first, xyz, c.sx, c.sy, 0.0, angle, "b"));
        const mb_handle second = api_mb_create_insert("B", at, c.sx, c.sy, 1.0, angle, true);
        ASSERT_NE(second, 0);
        for (MB_Insert* insert : {first, as<MB_Insert>(second)}) {
            EXPECT_EQ(insert->block(), block);
            EXPECT_TRUE(near(member * block->tran() * insert->trans(), want));
            EXPECT_EQ(members(d->object_list()).back() == insert, insert == as<MB_Insert>(second));
        }
        // The exploded copy agrees with the transform.
        as<MB_Insert>(second)->explode(d);
        auto* exploded = static_cast<MB_Line*>(members(d->object_list()).back());
        ASSERT_EQ(exploded->object_id(), MB_Object::ID_LINE);
        EXPECT_TRUE(near(exploded->start(), want));
    }

    // Built but left out of the drawing: the caller's.
    const std::size_t before = members(d->object_list()).size();
    std::unique_ptr<MB_Insert> free_insert(as<MB_Insert>(api_mb_create_insert("B", at, 1, 1, 1, 0, false)));
    ASSERT_NE(free_insert, nullptr);
    EXPECT_EQ(members(d->object_list()).size(), before);
    EXPECT_GT(free_insert->rect().diagonal_len(), 0.0);

    // An unknown name binds a new empty block; the reference is appended all the same.
    const mb_handle unknown = api_mb_create_insert("nowhere", at, 1, 1, 1, 0, true);
    ASSERT_NE(unknown, 0);
    MB_Block* empty = as<MB_Insert>(unknown)->block();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(members(d->block_list()).back(), empty);
    EXPECT_TRUE(empty->object_list().is_empty());
    EXPECT_EQ(members(d->object_list()).back(), as<MB_Object>(unknown));

    // With a block open, a reference joins it.
    MB_Block* open = nullptr;
    const double origin[3] = {0, 0, 0};
    ASSERT_TRUE(api_mb_create_block(open, "open", origin));
    MB_Insert* inside = nullptr;
    ASSERT_TRUE(api_mb_create_insert(inside, origin, 1, 1, 1, 0, "B"));
    EXPECT_EQ(members(open->object_list()), (std::vector<MB_Object*>{inside}));
    ASSERT_TRUE(api_mb_end_block(open));

    MB_Insert* refused = nullptr;
    EXPECT_FALSE(api_mb_create_insert(refused, nullptr, 1, 1, 1, 0, "B"));
    EXPECT_FALSE(api_mb_create_insert(refused, origin, 1, 1, 1, 0, nullptr));
    EXPECT_EQ(api_mb_create_insert(nullptr, at, 1, 1, 1, 0, true), 0);
    EXPECT_EQ(refused, nullptr);
}

// A block of copies moved by origin - base; the listed entities stay as and where they were.
TEST_F(Flat_Block, BlockFromList)
{
    MB_Line* line = nullptr;
    ASSERT_TRUE(api_mb_create_line(line, Qe_Pt(1, 1, 0), Qe_Pt(3, 1, 0)));
    auto* circle = as<MB_Circle>(api_mb_create_circle(5, 5, 2));
    const std::vector<MB_Object*> model = members(d->object_list());
    Qe_Void_List ents;
    ents.add(line);
    ents.add(circle);

    // A block open meanwhile does not receive the table entry.
    MB_Block* open = nullptr;
    const double origin[3] = {0, 0, 0};
    ASSERT_TRUE(api_mb_create_block(open, "open", origin));
    auto* block = as<MB_Block>(api_mb_create_block("copies", "two", Qe_Pt(1, 1, 0), ents));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(open->object_list().is_empty());
    ASSERT_TRUE(api_mb_end_block(open));

    EXPECT_EQ(members(d->block_list()).end()[-2], block);
    EXPECT_STREQ(block->name().ascii(), "copies");
    EXPECT_STREQ(block->desc().ascii(), "two");
    EXPECT_TRUE(near(block->base_pos(), Qe_Pt(0, 0, 0)));
    const std::vector<MB_Object*> copies = members(block->object_list());
    ASSERT_EQ(copies.size(), 2u);
    auto* line_copy = static_cast<MB_Line*>(copies[0]);
    auto* circle_copy = static_cast<MB_Circle*>(copies[1]);
    ASSERT_EQ(line_copy->object_id(), MB_Object::ID_LINE);
    ASSERT_EQ(circle_copy->object_id(), MB_Object::ID_CIRCLE);
    EXPECT_NE(line_copy, line);
    EXPECT_TRUE(near(line_copy->start(), Qe_Pt(0, 0, 0)));
    EXPECT_TRUE(near(line_copy->end(), Qe_Pt(2, 0, 0)));
    EXPECT_TRUE(near(circle_copy->center(), Qe_Pt(4, 4, 0)));
    EXPECT_GT(line_copy->rect().diagonal_len(), 0.0);
    EXPECT_GT(block->rect().diagonal_len(), 0.0);
    // The originals.
    EXPECT_TRUE(near(line->start(), Qe_Pt(1, 1, 0)));
    EXPECT_TRUE(near(circle->center(), Qe_Pt(5, 5, 0)));
    EXPECT_EQ(members(d->object_list()), model);

    // Refusals: nothing made.
    const std::vector<MB_Object*> blocks = members(d->block_list());
    Qe_Void_List empty;
    EXPECT_EQ(api_mb_create_block("e", "", Qe_Pt(), empty), 0);
    EXPECT_EQ(api_mb_create_block(nullptr, "", Qe_Pt(), ents), 0);
    EXPECT_EQ(api_mb_create_block("n", nullptr, Qe_Pt(), ents), 0);
    EXPECT_EQ(members(d->block_list()), blocks);

    expect_undo_redo("block from a list", [&] { (void)api_mb_create_block("undone", "", Qe_Pt(2, 2, 0), ents); });
}

// The three-point dimension frozen into a block: its name from the frozen clock and the
// counter, past names already taken; its members are the dimension's display children.
TEST_F(Flat_Block, ThreePointDimension)
{
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 1;
    t.wDay = 11;
    t.wHour = 3;
    t.wMinute = 4;
    t.wSecond = 5;
    platform_freeze_time(&t);
    const std::string prefix = "2024111345";

    const Qe_Pt p1(0, 0, 0), p2(10, 0, 0), p3(5, 6, 0);
    EXPECT_EQ(api_mb_create_dimension(p1, p2, p3, 0), 0);
    const std::vector<MB_Object*> blocks = members(d->block_list());
    ASSERT_FALSE(blocks.empty());
    auto* block = static_cast<MB_Block*>(blocks.back());
    const std::string name = block->name().ascii();
    ASSERT_EQ(name.compare(0, prefix.size(), prefix), 0) << name;
    const int counter = std::stoi(name.substr(prefix.size()));
    EXPECT_STREQ(block->desc().ascii(), "DDD");

    // The reference at the origin, scale 1, no turn.
    const std::vector<MB_Object*> model = members(d->object_list());
    ASSERT_EQ(model.size(), 1u);
    ASSERT_EQ(model[0]->object_id(), MB_Object::ID_INSERT);
    auto* insert = static_cast<MB_Insert*>(model[0]);
    EXPECT_EQ(insert->block(), block);
    EXPECT_TRUE(near(insert->point(), Qe_Pt(0, 0, 0)));
    EXPECT_EQ(insert->angle(), 0.0);
    EXPECT_EQ(insert->scale()[0], 1.0);
    EXPECT_EQ(insert->scale()[1], 1.0);

    // The same dimension built here: p3.x lies between the measured x, so the line runs
    // along y = 6 from (0, 6) to (10, 6).
    MB_Dimension dim;
    dim.dim_pt2(p1);
    dim.dim_pt3(p2);
    dim.definition_pt(Qe_Pt(10, 6, 0));
    dim.text_mid(Qe_Pt(5, 6, 0));
    dim.build_draw();
    ASSERT_NE(dim.draw_node(), nullptr);
    ASSERT_EQ(dim.draw_node()->draw_node_id(), MB_Draw_Node::Draw_Nodes);
    struct Expected {
        MB_Object::MB_ID id;
        std::vector<Qe_Pt> points;
    };
    std::vector<Expected> want;
    for (MB_Draw_Node* c = static_cast<MB_Draw_Nodes*>(dim.draw_node())->node_list().head(); c; c = c->next()) {
        if (c->draw_node_id() == MB_Draw_Node::Draw_Solid || c->draw_node_id() == MB_Draw_Node::Draw_Lines_Set) {
            const auto* set = c->draw_node_id() == MB_Draw_Node::Draw_Solid
                                  ? static_cast<const Qe_Pt_Set*>(static_cast<MB_Draw_Solid*>(c))
                                  : static_cast<const Qe_Pt_Set*>(static_cast<MB_Draw_Lines_Set*>(c));
            want.push_back({c->draw_node_id() == MB_Draw_Node::Draw_Solid ? MB_Object::ID_SOLID : MB_Object::ID_LINES,
                            std::vector<Qe_Pt>(set->points(), set->points() + set->count())});
        } else if (c->draw_node_id() == MB_Draw_Node::Draw_Lines_Sets) {
            const auto* sets = static_cast<MB_Draw_Lines_Sets*>(c);
            const Qe_Pt* p = sets->points();
            for (mb_ulong r = 0; r < sets->ptset_count(); ++r) {
                want.push_back({MB_Object::ID_LINES, std::vector<Qe_Pt>(p, p + sets->vals()[r])});
                p += sets->vals()[r];
            }
        }
    }
    ASSERT_FALSE(want.empty());
    const std::vector<MB_Object*> got = members(block->object_list());
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(got[i]->object_id(), want[i].id);
        const Qe_Pt_Set& set = want[i].id == MB_Object::ID_SOLID ? static_cast<MB_Solid*>(got[i])->vertices()
                                                                   : static_cast<MB_Lines*>(got[i])->pt_set();
        ASSERT_EQ(set.count(), static_cast<int>(want[i].points.size()));
        for (int k = 0; k < set.count(); ++k) EXPECT_TRUE(near(set[k], want[i].points[k])) << k;
        EXPECT_EQ(static_cast<MB_Drawable*>(got[i])->general().color(), dim.general().color());
    }

    // The next call takes the next number; numbers the drawing already has are passed over.
    EXPECT_EQ(api_mb_create_dimension(p1, p2, p3, 1), 0);
    EXPECT_EQ(static_cast<MB_Block*>(members(d->block_list()).back())->name().ascii(),
              prefix + std::to_string(counter + 1));
    line_block((prefix + std::to_string(counter + 2)).c_str(), Qe_Pt(), Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    line_block((prefix + std::to_string(counter + 3)).c_str(), Qe_Pt(), Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    EXPECT_EQ(api_mb_create_dimension(p1, p2, Qe_Pt(20, 3, 0), 0), 0);
    EXPECT_EQ(static_cast<MB_Block*>(members(d->block_list()).back())->name().ascii(),
              prefix + std::to_string(counter + 4));
    // Measured along y (p3.x outside the measured x): a block all the same.
    EXPECT_EQ(members(d->object_list()).size(), 3u);

    // Kinds other than linear and aligned, and an aligned one without a direction, add
    // nothing.
    const Snapshot before = snap();
    EXPECT_EQ(api_mb_create_dimension(p1, p2, p3, 2), 0);
    EXPECT_EQ(api_mb_create_dimension(p1, p1, p3, 1), 0);
    EXPECT_EQ(snap(), before);
}

// Inside a recorded command: the block, its members and the reference are recorded, the
// working dimension and its entities are not.
TEST_F(Flat_Block, ThreePointDimensionUndo)
{
    op->init_undoredo(d);
    op->rec_cmd_begin("dimension");
    (void)api_mb_create_dimension(Qe_Pt(0, 0, 0), Qe_Pt(8, 2, 0), Qe_Pt(4, 5, 0), 1);
    op->rec_cmd_end();
    auto* block = static_cast<MB_Block*>(members(d->block_list()).back());
    auto* insert = members(d->object_list()).back();
    std::vector<MB_Object*> recorded;
    for (MB_Sub_Command* s = op->undo_redo()->last_cmd()->sub_command_head(); s; s = s->next())
        recorded.push_back(s->right_object());
    std::vector<MB_Object*> want{block};
    for (MB_Object* m : members(block->object_list())) want.push_back(m);
    want.push_back(insert);
    EXPECT_EQ(recorded, want);

    expect_undo_redo("dimension", [&] { (void)api_mb_create_dimension(Qe_Pt(0, 0, 0), Qe_Pt(8, 2, 0), Qe_Pt(4, 5, 0), 1); });
}

// Another drawing moved in whole: its blocks, its entities in a block of its name, one
// reference to that; its layers and line types merged by name.
TEST_F(Flat_Block, BlockByDrawing)
{
    MB_Layer* walls = nullptr;
    ASSERT_TRUE(api_mb_create_layer(walls, "Walls", 1, 0, true, false, false));
    MB_Line_Type* dash = nullptr;
    ASSERT_NE(api_mb_create_line_type(dash, const_cast<char*>("DASH"), nullptr, 1, 0, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr),
              0);

    auto source = std::make_unique<MB_Drawing>(MB_String("part.vkt"));
    source->set_filename("part.vkt");
    auto* src_walls = new MB_Layer(MB_String("WALLS"));
    auto* src_doors = new MB_Layer(MB_String("Doors"));
    auto* src_dash = new MB_Line_Type();
    src_dash->name("dash");
    auto* src_dots = new MB_Line_Type();
    src_dots->name("DOTS");
    src_doors->line_type(src_dots);
    source->layer_list().add_tail(src_walls);
    source->layer_list().add_tail(src_doors);
    source->line_type_list().add_tail(src_dash);
    source->line_type_list().add_tail(src_dots);
    auto* a = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    a->general().layer(src_walls);
    a->general().line_type(src_dash);
    auto* b = new MB_Circle(Qe_Pt(2, 2, 0), 1);
    b->general().layer(src_doors);
    b->general().line_type(src_dots);
    source->object_list().add_tail(a);
    source->object_list().add_tail(b);
    auto* src_block = new MB_Block(Qe_Pt(), MB_String("S1"), MB_String(""));
    auto* member = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(0, 1, 0));
    member->general().layer(src_doors);
    src_block->object_list().add_tail(member);
    source->block_list().add_tail(src_block);

    // One drawing as source and target: refused, nothing moves.
    const Snapshot mine = snap();
    EXPECT_EQ(api_mb_create_block_by_drawing(*d, *d), nullptr);
    EXPECT_EQ(snap(), mine);

    MB_Insert* insert = api_mb_create_block_by_drawing(*source, *d);
    ASSERT_NE(insert, nullptr);
    EXPECT_TRUE(source->object_list().is_empty());
    EXPECT_TRUE(source->block_list().is_empty());
    const std::vector<MB_Object*> blocks = members(d->block_list());
    ASSERT_GE(blocks.size(), 2u);
    EXPECT_EQ(blocks.end()[-2], src_block);
    auto* block = static_cast<MB_Block*>(blocks.back());
    EXPECT_STREQ(block->name().ascii(), "part.vkt");
    EXPECT_EQ(members(block->object_list()), (std::vector<MB_Object*>{a, b}));
    EXPECT_EQ(insert->block(), block);
    EXPECT_EQ(members(d->object_list()).back(), insert);
    EXPECT_TRUE(near(insert->point(), Qe_Pt(0, 0, 0)));

    // Re-pointed to the target's entries; those it lacked moved over.
    EXPECT_EQ(a->general().layer(), walls);
    EXPECT_EQ(a->general().line_type(), dash);
    EXPECT_EQ(b->general().layer(), src_doors);
    EXPECT_EQ(b->general().line_type(), src_dots);
    EXPECT_EQ(member->general().layer(), src_doors);
    EXPECT_EQ(members(d->layer_list()).back(), src_doors);
    EXPECT_EQ(members(d->line_type_list()).back(), src_dots);
    EXPECT_EQ(src_doors->line_type(), src_dots);

    // The source goes first; what moved holds nothing of it (the sanitizers watch).
    source.reset();
    for (MB_Object* o : members(block->object_list())) {
        auto* e = static_cast<MB_Drawable*>(o);
        EXPECT_NE(e->general().layer()->name().ascii(), nullptr);
        EXPECT_NE(e->general().line_type()->name(), nullptr);
    }
    EXPECT_STREQ(member->general().layer()->name().ascii(), "Doors");
    d->build_draw();
}

// Groups take their members out of the list that held them; undo hands them back, redo
// takes them again, and a dropped undone command frees the group alone.
TEST_F(Flat_Block, Groups)
{
    op->init_undoredo(d);
    const auto line = [](double x) {
        MB_Line* l = nullptr;
        EXPECT_TRUE(api_mb_create_line(l, Qe_Pt(x, 0, 0), Qe_Pt(x + 1, 2, 0)));
        return l;
    };
    const auto group_members = [](MB_Group* g) {
        std::vector<MB_Object*> out;
        for (Qe_Void_Node* n = g->object_list().head(); n; n = n->next())
            out.push_back(static_cast<MB_Object*>(n->entity()));
        return out;
    };
    const auto run = [&](MB_Object_List& list, const char* where) {
        SCOPED_TRACE(where);
        MB_Line* a = line(0);
        MB_Line* b = line(10);
        MB_Line* c = line(20);
        MB_Layer* layer = nullptr;
        ASSERT_TRUE(api_mb_create_layer(layer, "not a drawable", 1, 0, true, false, false));
        Qe_Void_List ents;
        for (void* e : std::initializer_list<void*>{a, nullptr, c, a, layer}) ents.add(e);
        MB_Group* g = nullptr;
        op->rec_cmd_begin("group");
        g = as<MB_Group>(api_mb_create_group(const_cast<char*>("G"), ents));
        op->rec_cmd_end();
        ASSERT_NE(g, nullptr);
        EXPECT_STREQ(g->name(), "G");
        EXPECT_EQ(group_members(g), (std::vector<MB_Object*>{a, c}));
        EXPECT_EQ(members(list), (std::vector<MB_Object*>{b, g}));
        // The centre of the members' rectangle: (0, 0) to (21, 2).
        EXPECT_TRUE(near(g->base_pt(), Qe_Pt(10.5, 1, 0)));

        Qe_Void_List touched;
        op->undo(touched);
        EXPECT_EQ(members(list), (std::vector<MB_Object*>{b, a, c}));
        EXPECT_TRUE(g->object_list().is_empty());
        touched.clear();
        op->redo(touched);
        EXPECT_EQ(members(list), (std::vector<MB_Object*>{b, g}));
        EXPECT_EQ(group_members(g), (std::vector<MB_Object*>{a, c}));
        touched.clear();
        op->undo(touched);
        op->rec_cmd_begin("next");
        op->rec_cmd_end();
        EXPECT_EQ(members(list), (std::vector<MB_Object*>{b, a, c}));
        for (MB_Line* l : {a, b, c}) EXPECT_EQ(l->object_id(), MB_Object::ID_LINE);

        // Kept this time, to be freed with the drawing.
        Qe_Void_List again;
        again.add(b);
        ASSERT_NE(api_mb_create_group(const_cast<char*>("kept"), again), 0);
    };
    run(d->object_list(), "model space");
    const double origin[3] = {0, 0, 0};
    MB_Block* open = nullptr;
    ASSERT_TRUE(api_mb_create_block(open, "open", origin));
    const std::vector<MB_Object*> model = members(d->object_list());
    run(open->object_list(), "open block");
    EXPECT_EQ(members(d->object_list()), model);
    ASSERT_TRUE(api_mb_end_block(open));
}

TEST_F(Flat_Block, GroupNamesAndRefusals)
{
    const std::string long_name(300, 'n');
    Qe_Void_List ents;
    ents.add(as<MB_Object>(api_mb_create_circle(0, 0, 1)));
    auto* g = as<MB_Group>(api_mb_create_group(const_cast<char*>(long_name.c_str()), ents));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(std::string(g->name()), long_name.substr(0, 255));

    // A drawable standing in a closed block stays there; with nothing else listed nothing
    // is made.
    MB_Block* block = line_block("closed", Qe_Pt(), Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    ASSERT_EQ(members(block->object_list()).size(), 1u);
    const std::vector<MB_Object*> block_members = members(block->object_list());
    block->object_list().add_tail(new MB_Circle(Qe_Pt(3, 3, 0), 1));
    const Snapshot before = snap();
    Qe_Void_List in_block;
    in_block.add(block_members[0]);
    in_block.add(block->object_list().get_tail());
    EXPECT_EQ(api_mb_create_group(const_cast<char*>("b"), in_block), 0);
    EXPECT_EQ(members(block->object_list()).size(), 2u);
    Qe_Void_List empty;
    EXPECT_EQ(api_mb_create_group(const_cast<char*>("e"), empty), 0);
    EXPECT_EQ(api_mb_create_group(nullptr, ents), 0);
    EXPECT_EQ(snap(), before);
}

// The kept dimension forms: the fields each sets, built or not, and where they go.
TEST_F(Flat_Block, DimensionForms)
{
    MB_Block* pseudo = line_block("*D1", Qe_Pt(), Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    const double p[7][3] = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}, {6, 0, 0}, {7, 0, 0}};
    const Qe_Pt q1(1, 1, 0), q2(2, 2, 0), q3(3, 3, 0), q4(4, 4, 0), q5(5, 5, 0);
    MB_Line entity(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    struct Case {
        const char* what;
        std::function<mb_handle()> make;
        bool built;
        std::function<void(MB_Dimension&)> check;
    };
    const Case cases[] = {
        {"imported fields",
         [&] {
             return api_mb_create_dimension(const_cast<char*>("12.5"), const_cast<char*>("*d1"), nullptr, p[0], p[1],
                                            p[2], p[3], p[4], p[5], p[6], 11, 12, 13, 14, 0.25, 16, 0);
         },
         false,
         [&](MB_Dimension& dim) {
             EXPECT_STREQ(dim.dim_text().ascii(), "12.5");
             ASSERT_NE(dim.insert(), nullptr);
             EXPECT_EQ(dim.insert()->block(), pseudo);
             EXPECT_TRUE(near(dim.definition_pt(), Qe_Pt(1, 0, 0)));
             EXPECT_TRUE(near(dim.text_mid(), Qe_Pt(2, 0, 0)));
             EXPECT_TRUE(near(dim.insert_pt(), Qe_Pt(3, 0, 0)));
             EXPECT_TRUE(near(dim.dim_pt2(), Qe_Pt(5, 0, 0)));
             EXPECT_TRUE(near(dim.dim_pt3(), Qe_Pt(6, 0, 0)));
             EXPECT_TRUE(near(dim.dim_pt4(), Qe_Pt(7, 0, 0)));
             EXPECT_EQ(dim.text_angle(), 0.25);
         }},
        {"five points", [&] { return api_mb_create_dimension(q1, q2, q3, q4, q5, 2); }, true,
         [&](MB_Dimension& dim) {
             EXPECT_TRUE(near(dim.dim_pt2(), q1));
             EXPECT_TRUE(near(dim.dim_pt3(), q2));
             EXPECT_TRUE(near(dim.dim_pt4(), q3));
             EXPECT_TRUE(near(dim.definition_pt(), q4));
             EXPECT_TRUE(near(dim.arcdef_pt(), q5));
             EXPECT_EQ(dim.flag(), 2);
         }},
        {"radius", [&] { return api_mb_create_radius_demension(q1, q2, q3, 4); }, true,
         [&](MB_Dimension& dim) {
             EXPECT_TRUE(near(dim.dim_pt4(), q1));
             EXPECT_TRUE(near(dim.definition_pt(), q2));
             EXPECT_TRUE(near(dim.text_mid(), q3));
             EXPECT_EQ(dim.flag(), 4);
         }},
        {"length", [&] { return api_mb_create_len_dimension(nullptr, q1, q2, q3, nullptr, nullptr); }, true,
         [&](MB_Dimension& dim) {
             EXPECT_TRUE(near(dim.definition_pt(), q1));
             EXPECT_TRUE(near(dim.dim_pt2(), q1));
             EXPECT_TRUE(near(dim.dim_pt3(), q2));
             EXPECT_TRUE(near(dim.dim_pt4(), q3));
             EXPECT_TRUE(near(dim.text_mid(), q3));
         }},
        {"length of an entity", [&] { return api_mb_create_len_dimension(&entity, q1, q2, q3, nullptr, nullptr); },
         true, [&](MB_Dimension& dim) {
             EXPECT_TRUE(near(dim.definition_pt(), Qe_Pt(0, 0, 0)));
             EXPECT_TRUE(near(dim.dim_pt3(), Qe_Pt(0, 0, 0)));
         }},
    };
    const double origin[3] = {0, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Into model space, and into a block open meanwhile.
        for (bool in_block : {false, true}) {
            MB_Block* open = nullptr;
            if (in_block) {
                ASSERT_TRUE(api_mb_create_block(open, "open", origin));
            }
            const mb_handle h = c.make();
            ASSERT_NE(h, 0);
            auto* dim = as<MB_Dimension>(h);
            ASSERT_EQ(dim->object_id(), MB_Object::ID_DIMENSION);
            EXPECT_EQ(members(in_block ? open->object_list() : d->object_list()).back(), dim);
            EXPECT_EQ(dim->draw_node() != nullptr, c.built);
            c.check(*dim);
            if (in_block) {
                ASSERT_TRUE(api_mb_end_block(open));
            }
        }
    }

    const Snapshot before = snap();
    EXPECT_EQ(api_mb_create_dimension(nullptr, const_cast<char*>("*D1"), nullptr, p[0], p[1], p[2], p[3], p[4], p[5],
                                      p[6], 0, 0, 0, 0, 0, 0, 0),
              0);
    EXPECT_EQ(api_mb_create_dimension(const_cast<char*>("t"), const_cast<char*>("*D1"), nullptr, p[0], p[1], p[2],
                                      p[3], nullptr, p[5], p[6], 0, 0, 0, 0, 0, 0, 0),
              0);
    EXPECT_EQ(snap(), before);
}

TEST(FlatBlockRefusals, NoOperation)
{
    Qe_Void_List ents;
    MB_Line line(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    ents.add(&line);
    MB_Insert* insert = nullptr;
    const double origin[3] = {0, 0, 0};
    EXPECT_EQ(api_mb_create_dimension(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(0, 1, 0), 0), 0);
    EXPECT_EQ(api_mb_create_dimension(Qe_Pt(), Qe_Pt(), Qe_Pt(), Qe_Pt(), Qe_Pt(), 0), 0);
    EXPECT_EQ(api_mb_create_radius_demension(Qe_Pt(), Qe_Pt(), Qe_Pt(), 4), 0);
    EXPECT_EQ(api_mb_create_len_dimension(nullptr, Qe_Pt(), Qe_Pt(), Qe_Pt(), nullptr, nullptr), 0);
    EXPECT_EQ(api_mb_create_block("b", "", Qe_Pt(), ents), 0);
    EXPECT_FALSE(api_mb_create_insert(insert, origin, 1, 1, 1, 0, "b"));
    EXPECT_EQ(api_mb_create_insert("b", Qe_Pt(), 1, 1, 1, 0, true), 0);
    EXPECT_EQ(api_mb_create_group(const_cast<char*>("g"), ents), 0);
    EXPECT_EQ(insert, nullptr);
    EXPECT_EQ(line.next(), nullptr);
}
