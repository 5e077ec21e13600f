#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "geometry/edge.h"
#include "geometry/hatch_type.h"
#include "geometry/loop.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/group.h"
#include "kernel/entities/hatch.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"
#include "kernel/operation/geom_segments.h"

using namespace entity_test;

namespace {

MB_Line* line(double x0, double y0, double x1, double y1)
{
    return plain(new MB_Line(Qe_Pt(x0, y0, 0), Qe_Pt(x1, y1, 0)));
}

MB_Hatch* hatch()
{
    auto* h = plain(new MB_Hatch);
    auto* loop = new Qe_Loop();
    for (const Qe_Pt& p : {Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0), Qe_Pt(4, 3, 0), Qe_Pt(0, 3, 0)}) loop->add(p);
    h->loop_add(loop);
    return h;
}

MB_Group* group_of(std::initializer_list<MB_Drawable*> members)
{
    auto* g = plain(new MB_Group);
    for (MB_Drawable* m : members) g->object_list().add(m);
    return g;
}

std::vector<void*> members(MB_Group& g)
{
    std::vector<void*> out;
    for (Qe_Void_Node* n = g.object_list().head(); n; n = n->next()) out.push_back(n->entity());
    return out;
}

std::vector<void*> entities(MB_Drawing& d)
{
    std::vector<void*> out;
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next()) out.push_back(o);
    return out;
}

// The records of the objects written one after the other into one stream.
Bytes records(std::initializer_list<MB_Object*> objects)
{
    stream_test::Stream s;
    if (s.open_write() != 0) return "<not opened>";
    for (MB_Object* o : objects)
        if (o->serialize(s.io) != 0) return "<not written>";
    return s.body();
}

TEST(Group, EmptyGroupDrawsAndPicksNothing)
{
    MB_Group g;
    g.rect().set_rect(Qe_Pt(1, 9, 0), Qe_Pt(9, 1, 0));
    g.build_draw();
    EXPECT_TRUE(pt_eq(g.rect().lt(), Qe_Rect().lt()));
    EXPECT_TRUE(pt_eq(g.rect().rb(), Qe_Rect().rb()));
    Raster r(20, 20);
    Qe_Tran t;
    g.draw(nullptr, r.q, t);
    EXPECT_EQ(r.drawn(), 0);
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_FALSE(g.pick(Qe_Pt(), hits, 100.0, out, kind, extra));
    EXPECT_EQ(g.find_hatch(), nullptr);
    EXPECT_EQ(records({&g}), "");
    EXPECT_EQ(g.object_id(), MB_Object::ID_GROUP);
    EXPECT_EQ(g.object_type(), MB_Object::TYPE_REFERENCE);
    EXPECT_STREQ(g.name(), "");
}

TEST(Group, DrawsPicksAndBoundsItsMembers)
{
    MB_Line* l = line(0, 0, 10, 0);
    auto* c = plain(new MB_Circle(Qe_Pt(20, 0, 0), 5.0));
    std::unique_ptr<MB_Group> g(group_of({l, c}));
    g->build_draw();
    EXPECT_GT(c->edge().count(), 0);  // the members were built
    EXPECT_NEAR(g->rect().lt().x(), 0.0, 1e-9);
    EXPECT_NEAR(g->rect().lt().y(), 5.0, 1e-2);
    EXPECT_NEAR(g->rect().rb().x(), 25.0, 1e-2);
    EXPECT_NEAR(g->rect().rb().y(), -5.0, 1e-2);
    EXPECT_NEAR(g->get_real(-109), 25.0, 1e-2);
    EXPECT_NEAR(g->get_real(-110), 10.0, 2e-2);
    EXPECT_TRUE(pt_eq(g->get_point(-13), Qe_Pt(g->rect().lt().x(), g->rect().rb().y(), 0)));

    // The first member that offers a point answers.
    Qe_Pt_List hits;
    struct Case {
        Qe_Pt at;
        bool hit;
        int kind;
    };
    for (const Case& k : {Case{Qe_Pt(5, 0.1, 0), true, 51}, Case{Qe_Pt(25.05, 0, 0), true, 53},
                          Case{Qe_Pt(20, 0, 0), true, 16}, Case{Qe_Pt(40, 40, 0), false, 0}}) {
        Qe_Pt out, want_out;
        int kind = 0, want_kind = 0, extra = 0;
        EXPECT_EQ(g->pick(k.at, hits, 0.5, out, kind, extra) != 0, k.hit) << k.at.x();
        if (!k.hit) continue;
        EXPECT_EQ(kind, k.kind);
        MB_Drawable* member = k.kind == 51 ? static_cast<MB_Drawable*>(l) : c;
        ASSERT_TRUE(member->pick(k.at, hits, 0.5, want_out, want_kind, extra));
        EXPECT_TRUE(pt_eq(out, want_out));
    }

    // The group draws what its members draw.
    Qe_Tran t = translate_transf(Qe_Vec(2, 8, 0));
    Raster whole(30, 16), parts(30, 16);
    g->draw(nullptr, whole.q, t);
    l->draw(nullptr, parts.q, t);
    c->draw(nullptr, parts.q, t);
    EXPECT_GT(whole.drawn(), 20);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(whole.pixel(x, y), parts.pixel(x, y)) << x << ' ' << y;
    // No grips of its own.
    Recording_Dc dc;
    g->draw_key_point(dc.dc, whole.q, t);
    EXPECT_TRUE(dc.texts().empty());
}

TEST(Group, PropertiesAndTheirForwarding)
{
    MB_Line* a = line(0, 0, 1, 0);
    MB_Line* b = line(0, 1, 1, 1);
    std::unique_ptr<MB_Group> g(group_of({a, b}));
    g->set_int(-212, 3);
    EXPECT_EQ(a->general().display_width(), 3);
    EXPECT_EQ(b->general().display_width(), 3);
    EXPECT_EQ(g->get_int(-212), 3);
    g->set_int(-200, 5);
    EXPECT_EQ(g->get_int(-200), 5);
    EXPECT_EQ(a->general().color(), 0);
    g->set_int(-205, 9);
    EXPECT_EQ(g->user_id(), 9u);
    g->set_real(-114, 2.5);
    EXPECT_EQ(g->get_real(-114), 2.5);
    g->set_real(-124, 0.75);
    g->set_real(-122, 4.0);
    EXPECT_EQ(g->get_real(-124), 0.75);
    EXPECT_EQ(g->get_real(-122), 4.0);
    EXPECT_EQ(a->general().width(), 1.0);
    g->set_string(-302, "abc");
    EXPECT_EQ(g->xdata().size(), 3);

    // Without a hatch the pattern keys do nothing.
    g->set_real(mb_key::Pattern_Scale, 7.0);
    EXPECT_EQ(g->get_real(mb_key::Pattern_Scale), 0.0);
    g->set_string(mb_key::Pattern_Name, "SOLID");
    EXPECT_EQ(g->get_string(mb_key::Pattern_Name), nullptr);  // the drawable's empty string

    // With one in a subgroup, they reach it.
    MB_Hatch* h = hatch();
    g->object_list().add(group_of({line(5, 5, 6, 6), h}));
    g->set_real(mb_key::Pattern_Scale, 7.0);
    EXPECT_EQ(h->get_hatchtype()->scale(), 7.0);
    EXPECT_EQ(g->get_real(mb_key::Pattern_Scale), 7.0);
    Qe_Hacthtype* t = g_hatch_type_list.add_htype("GROUP_TEST_NET", "a net");
    t->add_data("0,0,0,0,1");
    g->set_string(mb_key::Pattern_Name, "group_test_net");
    EXPECT_STREQ(h->get_string(mb_key::Pattern_Name), "GROUP_TEST_NET");
    EXPECT_STREQ(g->get_string(mb_key::Pattern_Name), "GROUP_TEST_NET");
}

TEST(Group, FindHatchSearchesEverySubgroupInOrder)
{
    MB_Hatch* in_later_subgroup = hatch();
    MB_Hatch* top_level_after = hatch();
    MB_Hatch* in_first_member = hatch();
    struct Case {
        const char* what;
        MB_Group* group;
        MB_Hatch* expected;
    };
    const Case cases[] = {
        {"a later subgroup, after one without a hatch",
         group_of({line(0, 0, 1, 1), group_of({line(0, 0, 2, 2), group_of({})}),
                   group_of({line(1, 1, 2, 2), in_later_subgroup}), top_level_after}),
         in_later_subgroup},
        {"a subgroup as the first member", group_of({group_of({in_first_member}), line(0, 0, 1, 1)}),
         in_first_member},
        {"none", group_of({line(0, 0, 1, 1), group_of({line(1, 1, 2, 2)})}), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.group->find_hatch(), c.expected);
        delete c.group;
    }
}

TEST(Group, TranslateMovesTheBaseAndRebuildsTheMembers)
{
    MB_Line* a = line(0, 0, 1, 0);
    auto* c = plain(new MB_Circle(Qe_Pt(5, 5, 0), 1.0));
    std::unique_ptr<MB_Group> g(group_of({a, c}));
    g->base_pt(Qe_Pt(1, 1, 0));
    g->build_draw();
    g->translate(translate_transf(Qe_Vec(10, 0, 0)), 0);
    EXPECT_TRUE(pt_eq(g->base_pt(), Qe_Pt(11, 1, 0)));
    EXPECT_TRUE(pt_eq(a->start(), Qe_Pt(10, 0, 0)));
    EXPECT_TRUE(pt_eq(c->center(), Qe_Pt(15, 5, 0)));
    // Rebuilt: the circle's outline moved with it.
    EXPECT_NEAR(c->rect().center().x(), 15.0, 1e-6);
    EXPECT_NEAR(c->edge().points()[0].x(), 15.0, 1e-6);
}

TEST(Group, NamesAreCut)
{
    MB_Group g;
    const std::string long_name(300, 'n');
    g.name(long_name.c_str());
    EXPECT_EQ(std::strlen(g.name()), 255u);
    g.name("short");
    EXPECT_STREQ(g.name(), "short");
    g.name(nullptr);
    EXPECT_STREQ(g.name(), "");
}

TEST(Group, CopyToGivesTheTargetTheSourcesMembers)
{
    MB_Line* kept = line(0, 0, 1, 1);
    std::unique_ptr<MB_Group> src(group_of({kept, plain(new MB_Circle(Qe_Pt(3, 3, 0), 2.0)), group_of({line(5, 5, 6, 6)})}));
    src->name("walls");
    src->base_pt(Qe_Pt(4, 4, 0));
    src->general().color(0x2233);
    const Bytes want = records({src.get()});

    struct Case {
        const char* what;
        std::vector<MB_Drawable*> start;  // the target's members before the copy
        int kept_index;                   // the member that must be kept in place, or -1
    };
    const Case cases[] = {
        {"no members", {}, -1},
        {"the same classes: copied in place", {line(9, 9, 8, 8), plain(new MB_Circle), group_of({})}, 0},
        {"more members: the extras go",
         {line(9, 9, 8, 8), plain(new MB_Circle), group_of({line(0, 0, 2, 2), line(0, 0, 3, 3)}), line(1, 2, 3, 4),
          hatch()},
         0},
        {"another class first: replaced", {plain(new MB_Circle), line(1, 1, 2, 2)}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* target = new MB_Group;
        for (MB_Drawable* m : c.start) target->object_list().add(m);
        MB_Object* t = target;
        ASSERT_TRUE(src->copy_to(t));
        EXPECT_EQ(t, target);
        EXPECT_EQ(to_hex(records({target})), to_hex(want));
        EXPECT_EQ(target->object_list().count(), 3);
        if (c.kept_index >= 0) {
            EXPECT_EQ(members(*target)[c.kept_index], c.start[c.kept_index]);
        }
        for (void* m : members(*target)) EXPECT_NE(m, static_cast<void*>(kept));
        EXPECT_STREQ(target->name(), "walls");
        EXPECT_TRUE(pt_eq(target->base_pt(), Qe_Pt(4, 4, 0)));
        EXPECT_EQ(target->general().color(), 0x2233);
        delete target;
    }

    // A new clone, and the by-value forms, are deep.
    MB_Object* fresh = nullptr;
    ASSERT_TRUE(src->copy_to(fresh));
    std::unique_ptr<MB_Object> owned(fresh);
    EXPECT_EQ(to_hex(records({fresh})), to_hex(want));
    EXPECT_STREQ(static_cast<MB_Group*>(fresh)->name(), "walls");
    MB_Group copied(*src);
    EXPECT_EQ(to_hex(records({&copied})), to_hex(want));
    EXPECT_NE(members(copied)[0], static_cast<void*>(kept));
    MB_Group assigned;
    assigned.object_list().add(line(7, 7, 7, 8));
    assigned = copied;
    EXPECT_EQ(to_hex(records({&assigned})), to_hex(want));
    // Other classes are refused; copying into itself keeps everything.
    MB_Line other;
    MB_Object* o = &other;
    EXPECT_FALSE(src->copy_to(o));
    MB_Object* self = src.get();
    ASSERT_TRUE(src->copy_to(self));
    EXPECT_EQ(members(*src)[0], static_cast<void*>(kept));
    EXPECT_EQ(to_hex(records({src.get()})), to_hex(want));
}

TEST(Group, CopiesWithinACommandRecordOnlyTheNewGroup)
{
    Op_Fixture f;
    std::unique_ptr<MB_Group> src(group_of({line(0, 0, 1, 1), group_of({line(2, 2, 3, 3)})}));
    MB_Object* copy = nullptr;
    f.command("copy", [&] { ASSERT_TRUE(src->copy_to(copy)); });
    std::unique_ptr<MB_Object> owned(copy);
    MB_Command* cmd = f.rec->last_cmd();
    ASSERT_NE(cmd, nullptr);
    ASSERT_NE(cmd->sub_command_head(), nullptr);
    EXPECT_EQ(cmd->sub_command_head()->right_object(), copy);
    EXPECT_EQ(cmd->sub_command_head()->next(), nullptr);
}

TEST(Group, SavedAsItsMembersInOrder)
{
    MB_Line* a = line(0, 0, 1, 0);
    auto* b = plain(new MB_Circle(Qe_Pt(3, 3, 0), 2.0));
    MB_Line* c = line(5, 5, 6, 7);
    b->general().color(0xFF);  // a general-property record between the members
    MB_Line* d = line(8, 8, 9, 9);
    std::unique_ptr<MB_Group> g(group_of({b, group_of({c})}));
    g->general().color(0x00FF00);  // the group's own properties are not written
    const Bytes flat = records({a, b, c, d});
    EXPECT_EQ(to_hex(records({a, g.get(), d})), to_hex(flat));

    // A reload has the members, not the group.
    Record_Reader rd;
    ASSERT_EQ(rd.read(flat), 0);
    std::vector<int> ids;
    for (MB_Object* o = rd.drawing().object_list().get_head(); o; o = o->next()) ids.push_back(o->object_id());
    EXPECT_EQ(ids, (std::vector<int>{MB_Object::ID_LINE, MB_Object::ID_CIRCLE, MB_Object::ID_LINE, MB_Object::ID_LINE}));
    delete a;
    delete d;
}

TEST(Group, SegmentsAndCrossingSelectionReachTheMembers)
{
    MB_Line* a = line(0, 0, 3, 4);
    MB_Line* b = line(10, 0, 10, 5);
    auto* inner = group_of({b, new MB_Point(Qe_Pt(1, 1, 0))});
    MB_Group* g = group_of({a, inner});
    g->build_draw();
    Qe_Void_List geoms, segments;
    geoms.add(g);
    api_mb_geom_2_segments(geoms, segments);
    std::vector<void*> parents;
    for (Qe_Void_Node* n = segments.head(); n; n = n->next()) {
        auto* s = static_cast<Qe_Segment*>(n->entity());
        parents.push_back(s->parent());
        delete s;
    }
    EXPECT_EQ(parents, (std::vector<void*>{a, b}));

    // A crossing box over the second line alone selects the group; one over nothing of
    // it, though inside its rectangle, does not.
    Op_Fixture f;
    f.drawing->add_object(g);
    EXPECT_TRUE(f.op->rect_select(Qe_Pt(11, 2, 0), Qe_Pt(9, 3, 0), false));
    EXPECT_EQ(f.op->selection().count(), 1);
    EXPECT_TRUE(f.op->rect_select(Qe_Pt(7, 2, 0), Qe_Pt(6, 3, 0), false));
    EXPECT_EQ(f.op->selection().count(), 0);
}

// Creation, undo, redo and the drop of an undone command, through the operation.
struct Group_Undo : ::testing::Test {
    Op_Fixture f;
    MB_Drawing& drawing() { return *f.drawing; }

    // Moves the drawables out of the drawing's list into a new group, which joins the list,
    // as the flat creation of a group does.
    MB_Group* make_group(std::initializer_list<MB_Drawable*> ms)
    {
        auto* g = plain(new MB_Group);
        for (MB_Drawable* m : ms) {
            drawing().object_list().remove(m);
            g->object_list().add(m);
        }
        drawing().add_object(g);
        g->build_draw();
        return g;
    }
    MB_Line* add_line(double x)
    {
        MB_Line* l = line(x, 0, x, 1);
        drawing().add_object(l);
        return l;
    }
};

TEST_F(Group_Undo, MembersReturnToTheListAndBack)
{
    MB_Line* a = add_line(0);
    MB_Line* b = add_line(1);
    MB_Line* c = add_line(2);
    MB_Group* g = nullptr;
    f.command("group", [&] { g = make_group({a, b}); });
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{c, g}));
    EXPECT_EQ(members(*g), (std::vector<void*>{a, b}));

    Qe_Void_List touched;
    f.op->undo(touched);
    // The members stand where the group stood; the group holds none of them.
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{c, a, b}));
    EXPECT_TRUE(g->object_list().is_empty());
    EXPECT_GE(touched.find(a), 0);
    EXPECT_GE(touched.find(b), 0);

    f.redo();
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{c, g}));
    EXPECT_EQ(members(*g), (std::vector<void*>{a, b}));

    // Dropped with its undone command, the group goes without its members.
    f.undo();
    f.command("next", [] {});
    EXPECT_FALSE(f.rec->is_can_redo());
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{c, a, b}));
    for (MB_Line* l : {a, b}) EXPECT_EQ(l->object_id(), MB_Object::ID_LINE);
}

TEST_F(Group_Undo, MembersMadeInTheSameCommandLeaveWithIt)
{
    MB_Line* before = add_line(-1);
    MB_Line *a = nullptr, *b = nullptr, *inside = nullptr;
    MB_Group* g = nullptr;
    f.command("make", [&] {
        a = add_line(0);
        b = add_line(1);
        g = make_group({a, b});
        // One made straight into the group, never in the list.
        inside = line(5, 5, 6, 6);
        g->object_list().add(inside);
    });
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{before, g}));
    for (int round = 0; round < 2; ++round) {
        f.undo();
        EXPECT_EQ(entities(drawing()), (std::vector<void*>{before})) << round;
        EXPECT_TRUE(g->object_list().is_empty());
        f.redo();
        EXPECT_EQ(entities(drawing()), (std::vector<void*>{before, g})) << round;
        EXPECT_EQ(members(*g), (std::vector<void*>{a, b, inside})) << round;
    }
    // Undone and dropped: the record frees the group and each member once.
    f.undo();
    f.command("next", [] {});
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{before}));
}

TEST_F(Group_Undo, NestedGroupsMadeInOneCommand)
{
    // The subgroup made before its group, or after it: each order undoes to the lines
    // alone and redoes to the nest.
    for (const bool sub_first : {true, false}) {
        SCOPED_TRACE(sub_first ? "subgroup first" : "group first");
        Op_Fixture fresh;
        std::swap(f, fresh);
        MB_Line* a = add_line(0);
        MB_Line* b = add_line(1);
        MB_Line* c = add_line(2);
        MB_Group *g = nullptr, *sub = nullptr;
        f.command("nest", [&] {
            if (sub_first) {
                sub = make_group({a, b});
                g = make_group({sub, c});
            } else {
                g = make_group({c});
                sub = make_group({a, b});
                drawing().object_list().remove(sub);
                g->object_list().addHead(sub);
            }
        });
        EXPECT_EQ(entities(drawing()), (std::vector<void*>{g}));
        for (int round = 0; round < 2; ++round) {
            f.undo();
            std::vector<void*> all = entities(drawing());
            EXPECT_EQ(all.size(), 3u);
            for (void* l : {a, b, c}) EXPECT_NE(std::find(all.begin(), all.end(), l), all.end());
            EXPECT_TRUE(g->object_list().is_empty());
            EXPECT_TRUE(sub->object_list().is_empty());
            f.redo();
            EXPECT_EQ(entities(drawing()), (std::vector<void*>{g}));
            EXPECT_EQ(members(*g), (std::vector<void*>{sub, c}));
            EXPECT_EQ(members(*sub), (std::vector<void*>{a, b}));
        }
        // Dropped: both groups go, the lines stay.
        f.undo();
        f.command("next", [] {});
        EXPECT_EQ(entities(drawing()).size(), 3u);
        for (MB_Line* l : {a, b, c}) EXPECT_EQ(l->object_id(), MB_Object::ID_LINE);
    }
}

TEST_F(Group_Undo, AGroupChangedInTheCommandThatMadeItKeepsOneSetOfMembers)
{
    MB_Line* a = add_line(0);
    MB_Line* b = add_line(1);
    MB_Group* g = nullptr;
    f.command("make and move", [&] {
        g = make_group({a, b});
        g->translate(translate_transf(Qe_Vec(5, 0, 0)), 0);
        g->set_int(-212, 2);
    });
    const Bytes after = records({g});
    f.undo();
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{a, b}));
    EXPECT_TRUE(pt_eq(a->start(), Qe_Pt(0, 0, 0)));
    f.redo();
    EXPECT_EQ(members(*g), (std::vector<void*>{a, b}));
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{g}));
    EXPECT_TRUE(pt_eq(a->start(), Qe_Pt(5, 0, 0)));
    EXPECT_EQ(to_hex(records({g})), to_hex(after));
}

TEST_F(Group_Undo, ChangesOfAGroupComeBackInPlace)
{
    MB_Line* a = add_line(0);
    auto* c = plain(new MB_Circle(Qe_Pt(3, 3, 0), 1.0));
    drawing().add_object(c);
    MB_Group* g = make_group({a, c});
    drawing().object_list().remove(g);
    g->general().color(0x10);
    expect_undo_redo_state(
        f, g, [](MB_Object& o) { static_cast<MB_Group&>(o).translate(translate_transf(Qe_Vec(2, 3, 0)), 0); },
        "translate");
    // The members are the same objects: the states were copied into them.
    EXPECT_EQ(members(*g), (std::vector<void*>{a, c}));
    expect_undo_redo_state(
        f, g,
        [&](MB_Object& o) {
            auto& group = static_cast<MB_Group&>(o);
            group.modify_cmd();
            group.general().color(0x20);
            group.object_list().add(line(9, 9, 9, 8));
        },
        "a member added");
    EXPECT_EQ(g->object_list().count(), 3);
    f.undo();
    EXPECT_EQ(g->object_list().count(), 2);
    EXPECT_EQ(g->general().color(), 0x10);
    EXPECT_EQ(members(*g), (std::vector<void*>{a, c}));
}

TEST_F(Group_Undo, DeletedGroupComesBackWhole)
{
    MB_Line* a = add_line(0);
    MB_Line* b = add_line(1);
    MB_Group* g = nullptr;
    f.command("group", [&] { g = make_group({a, b}); });
    f.command("delete", [&] { g->lose(drawing().object_list()); });
    EXPECT_TRUE(drawing().object_list().is_empty());
    f.undo();
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{g}));
    EXPECT_EQ(members(*g), (std::vector<void*>{a, b}));
    f.redo();
    EXPECT_TRUE(drawing().object_list().is_empty());
    // The record frees the deleted group, with its members, when the operation goes.
}

TEST_F(Group_Undo, RedoTakesBackOnlyMembersStillInTheList)
{
    MB_Line* a = add_line(0);
    MB_Line* b = add_line(1);
    MB_Line* c = add_line(2);
    MB_Group* g = nullptr;
    f.command("group", [&] { g = make_group({a, b, c}); });
    f.undo();
    // Outside any command: one member is deleted, one taken out by the host.
    drawing().object_list().kill_object(a);
    ASSERT_TRUE(drawing().object_list().remove(b));
    std::unique_ptr<MB_Line> taken(b);
    f.redo();
    EXPECT_EQ(members(*g), (std::vector<void*>{c}));
    EXPECT_EQ(entities(drawing()), (std::vector<void*>{g}));
}

}  // namespace
