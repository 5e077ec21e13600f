#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <random>
#include <vector>

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/entities/dim_style.h"
#include "kernel/text/text_style.h"
#include "kernel/database/object_list.h"
#include "kernel/operation/operation.h"
#include "kernel/test_objects.h"

namespace {

struct Step {
    MB_Object* original;
    MB_Object* left;
    MB_Object* right;
    bool operator==(const Step&) const = default;
};

std::vector<Step> steps_of(const MB_Command* cmd)
{
    std::vector<Step> v;
    for (const MB_Sub_Command* s = cmd ? cmd->sub_command_head() : nullptr; s; s = s->next())
        v.push_back({s->original_object(), s->left_object(), s->right_object()});
    return v;
}

void PrintTo(const Step& s, std::ostream* os)
{
    *os << "{" << s.original << ", " << s.left << ", " << s.right << "}";
}

// An active operation with an undo record; every test object must be gone once the
// operation is destroyed (the record frees what it holds).
class UndoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        live_before = Test_Object::s_live;
        op = std::make_unique<MB_Operation>();
        op->init_undoredo(nullptr);
        rec = op->undo_redo();
    }
    void TearDown() override
    {
        list.kill_all();
        op.reset();
        EXPECT_EQ(Test_Object::s_live, live_before);
    }
    // Closes the open command and returns its steps.
    std::vector<Step> end_command()
    {
        rec->rec_cmd_end();
        return steps_of(rec->last_cmd());
    }

    int live_before = 0;
    std::unique_ptr<MB_Operation> op;
    MB_Undo_Redo* rec = nullptr;
    MB_Object_List list;  // stands for the drawing's object list
};

TEST_F(UndoTest, CreationIsRecordedOnlyInsideACommand)
{
    list.add_tail(new Test_Object(1));
    EXPECT_FALSE(api_if_record_command());

    rec->rec_cmd_begin("add");
    EXPECT_TRUE(api_if_record_command());
    auto* created = new Test_Object(2);
    list.add_tail(created);
    Test_Object copy(*created);  // copies are never recorded
    const std::vector<Step> steps = end_command();
    EXPECT_EQ(steps, (std::vector<Step>{{nullptr, nullptr, created}}));
    EXPECT_STREQ(rec->last_cmd()->name(), "add");
    EXPECT_FALSE(rec->last_cmd()->is_creating());
    EXPECT_TRUE(rec->is_can_undo());
    EXPECT_EQ(rec->state(), 0);

    // Recording has stopped: the next creation goes nowhere.
    list.add_tail(new Test_Object(3));
    EXPECT_EQ(steps_of(rec->last_cmd()).size(), 1u);
}

TEST_F(UndoTest, ModificationKeepsTheFirstBackupAndASnapshot)
{
    auto* obj = new Test_Object(1);
    list.add_tail(obj);
    obj->change(5);  // outside a command: no backup
    rec->rec_cmd_begin("edit");
    obj->change(6);
    obj->change(7);  // the first backup of the command stays
    EXPECT_EQ(rec->modify_cmd(obj), 1);
    const std::vector<Step> steps = end_command();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].original, obj);
    ASSERT_NE(steps[0].left, nullptr);
    ASSERT_NE(steps[0].right, nullptr);
    EXPECT_NE(steps[0].right, obj);
    EXPECT_EQ(static_cast<Test_Object*>(steps[0].left)->value(), 5);
    EXPECT_EQ(static_cast<Test_Object*>(steps[0].right)->value(), 7);
    // Backup and snapshot were made with recording paused.
    EXPECT_EQ(Test_Object::s_live - live_before, 3);
    EXPECT_EQ(rec->modify_cmd(obj), 0);  // no command open

    // The next command keeps a backup of its own.
    rec->rec_cmd_begin("edit again");
    obj->change(8);
    obj->change(9);
    const std::vector<Step> again = end_command();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(static_cast<Test_Object*>(again[0].left)->value(), 7);
    EXPECT_EQ(static_cast<Test_Object*>(again[0].right)->value(), 9);
}

TEST_F(UndoTest, ObjectsThatCannotBeCopiedAreNotRecordedAsModified)
{
    Plain_Object plain;
    rec->rec_cmd_begin("edit");
    // A step without a backup would read as a creation, and undo would unlink the object.
    EXPECT_EQ(rec->modify_cmd(&plain), 0);
    plain.modify_cmd();
    EXPECT_TRUE(end_command().empty());
}

TEST_F(UndoTest, LoseWithRecordingOffDeletesMembersAndNonMembers)
{
    auto* member = new Test_Object(1);
    list.add_tail(member);
    member->lose(list);
    EXPECT_TRUE(list.is_empty());
    (new Test_Object(2))->lose(list);  // not a member: deleted all the same
    EXPECT_EQ(Test_Object::s_live, live_before);
}

TEST_F(UndoTest, LoseWithRecordingOnHandsTheObjectToTheRecord)
{
    auto* obj = new Test_Object(1);
    auto* other = new Test_Object(2);
    list.add_tail(obj);
    list.add_tail(other);
    rec->rec_cmd_begin("delete");
    obj->lose(list);
    obj->lose(list);  // a second report adds nothing
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(end_command(), (std::vector<Step>{{nullptr, obj, nullptr}}));
    EXPECT_EQ(Test_Object::s_live - live_before, 2);  // the record keeps it alive
    // TearDown: destroying the record frees it.
}

TEST_F(UndoTest, CreatedAndLostInOneCommandLeavesNothing)
{
    rec->rec_cmd_begin("scratch");
    auto* obj = new Test_Object(1);
    list.add_tail(obj);
    obj->change(2);  // its backup goes with it
    obj->lose(list);
    EXPECT_TRUE(list.is_empty());
    EXPECT_EQ(Test_Object::s_live, live_before);  // nobody else would ever free it
    for (const Step& s : end_command()) EXPECT_EQ(s, (Step{nullptr, nullptr, nullptr}));
}

TEST_F(UndoTest, ModifiedThenLostInOneCommand)
{
    auto* obj = new Test_Object(1);
    list.add_tail(obj);
    rec->rec_cmd_begin("edit and delete");
    obj->change(2);
    obj->lose(list);
    const std::vector<Step> steps = end_command();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].original, obj);
    EXPECT_EQ(static_cast<Test_Object*>(steps[0].left)->value(), 1);
    EXPECT_EQ(static_cast<Test_Object*>(steps[0].right)->value(), 2);
    EXPECT_EQ(steps[1], (Step{nullptr, obj, nullptr}));
}

TEST_F(UndoTest, DestroyedObjectsLeaveNoDanglingSteps)
{
    auto* kept = new Test_Object(1);
    list.add_tail(kept);
    rec->rec_cmd_begin("temporaries");
    {
        Test_Object temporary(2);  // recorded, then destroyed by its maker
    }
    auto* modified = new Test_Object(3);
    list.add_tail(modified);
    kept->change(4);
    list.remove(kept);
    delete kept;  // destroyed while the command names it as modified
    const std::vector<Step> steps = end_command();
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0], (Step{nullptr, nullptr, nullptr}));
    EXPECT_EQ(steps[1], (Step{nullptr, nullptr, modified}));
    // What remains of the modification is its backup, which the record owns.
    EXPECT_EQ(steps[2].original, nullptr);
    EXPECT_EQ(steps[2].right, nullptr);
    ASSERT_NE(steps[2].left, nullptr);

    // An object of a closed command, destroyed outside any command.
    list.kill_all();
    EXPECT_EQ(steps_of(rec->last_cmd())[1], (Step{nullptr, nullptr, nullptr}));
}

TEST_F(UndoTest, PauseAndContinue)
{
    rec->rec_cmd_begin("paused");
    const short was = api_rec_cmd_pause();
    EXPECT_EQ(was, 1);
    EXPECT_FALSE(api_if_record_command());
    Test_Object internal(1);  // a working object, not drawing content
    api_rec_cmd_continue(was);
    EXPECT_TRUE(api_if_record_command());
    Test_Object recorded(2);
    rec->rec_cmd_pause();
    EXPECT_EQ(rec->state(), 0);
    rec->rec_cmd_continue();
    EXPECT_EQ(rec->state(), 1);
    EXPECT_EQ(end_command(), (std::vector<Step>{{nullptr, nullptr, &recorded}}));
}

TEST_F(UndoTest, RecordingFlagWithoutOpenCommandHoldsNothing)
{
    rec->state(1);  // as undo and redo leave it
    EXPECT_TRUE(api_if_record_command());
    auto* obj = new Test_Object(1);
    list.add_tail(obj);
    obj->lose(list);  // no command to hold it: deleted
    EXPECT_EQ(Test_Object::s_live, live_before);
    EXPECT_FALSE(rec->is_can_undo());
}

TEST_F(UndoTest, CommandStillOpenIsDropped)
{
    auto* doomed = new Test_Object(1);
    list.add_tail(doomed);
    auto* edited = new Test_Object(2);
    list.add_tail(edited);
    rec->rec_cmd_begin("first");
    doomed->lose(list);
    edited->change(3);
    auto* created = new Test_Object(4);
    list.add_tail(created);
    rec->rec_cmd_begin("second");  // the first is dropped: its changes stay
    EXPECT_FALSE(rec->is_can_undo());
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(edited->value(), 3);
    EXPECT_EQ(Test_Object::s_live - live_before, 2);  // the lost object and the backup are freed
    EXPECT_TRUE(end_command().empty());
    EXPECT_STREQ(rec->last_cmd()->name(), "second");
}

TEST_F(UndoTest, RecordDestroyedWithCommandOpen)
{
    auto* obj = new Test_Object(1);
    list.add_tail(obj);
    auto* edited = new Test_Object(2);
    list.add_tail(edited);
    rec->rec_cmd_begin("unfinished");
    obj->lose(list);
    edited->change(5);
    list.add_tail(new Test_Object(3));
    op->init_undoredo(nullptr);  // the old record goes; the drawing keeps its objects
    rec = op->undo_redo();
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(Test_Object::s_live - live_before, 2);
}

TEST_F(UndoTest, CopiesMadeForAnotherRecordAreNotRecordedInTheActiveOne)
{
    auto* obj = new Test_Object(1);
    list.add_tail(obj);
    rec->rec_cmd_begin("background");
    auto second = std::make_unique<MB_Operation>();  // now the active operation
    second->init_undoredo(nullptr);
    second->undo_redo()->rec_cmd_begin("foreground");
    EXPECT_EQ(rec->modify_cmd(obj), 1);
    second->undo_redo()->rec_cmd_end();
    EXPECT_TRUE(steps_of(second->undo_redo()->last_cmd()).empty());
    EXPECT_EQ(second->undo_redo()->state(), 0);
    second.reset();
    EXPECT_EQ(g_active_operation, op.get());
    EXPECT_EQ(end_command().size(), 1u);
}

// An operation hosting a drawing whose entity list the replays act on.
class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        live_before = Test_Object::s_live;
        op = std::make_unique<MB_Operation>();
        op->init(nullptr, new MB_Drawing);
        rec = op->undo_redo();
    }
    void TearDown() override
    {
        op.reset();
        EXPECT_EQ(Test_Object::s_live, live_before);
        EXPECT_EQ(Test_Geom::s_live, 0);
    }
    MB_Object_List& list() { return op->drawing()->object_list(); }
    Test_Object* add(int value)
    {
        auto* o = new Test_Object(value);
        list().add_tail(o);
        return o;
    }
    // The entity list as (object, value) pairs, in list order, walked both ways so that a
    // broken chain shows.
    std::vector<std::pair<MB_Object*, int>> state()
    {
        std::vector<std::pair<MB_Object*, int>> v;
        for (MB_Object* o = list().get_head(); o; o = o->next())
            v.emplace_back(o, static_cast<Test_Object*>(o)->value());
        std::vector<MB_Object*> back;
        for (MB_Object* o = list().get_tail(); o; o = o->prev()) back.push_back(o);
        EXPECT_EQ(back.size(), v.size());
        for (size_t i = 0; i < back.size() && i < v.size(); ++i) EXPECT_EQ(back[i], v[v.size() - 1 - i].first);
        return v;
    }

    int live_before = 0;
    std::unique_ptr<MB_Operation> op;
    MB_Undo_Redo* rec = nullptr;
};

TEST_F(ReplayTest, UndoAndRedoOfEachKind)
{
    Test_Object* doomed = add(1);
    Test_Object* edited = add(2);
    rec->rec_cmd_begin("mixed");
    doomed->lose(list());
    edited->change(20);
    Test_Object* created = add(3);
    rec->rec_cmd_end();
    const auto after = state();
    EXPECT_EQ(after, (std::vector<std::pair<MB_Object*, int>>{{edited, 20}, {created, 3}}));

    Qe_Void_List touched;
    op->undo(touched);
    EXPECT_EQ(rec->state(), 1);
    EXPECT_FALSE(op->is_can_undo());
    EXPECT_TRUE(op->is_can_redo());
    // The deleted object comes back where it was; the created one leaves.
    EXPECT_EQ(state(), (std::vector<std::pair<MB_Object*, int>>{{doomed, 1}, {edited, 2}}));
    EXPECT_TRUE(touched.is_empty());  // no drawables among them

    op->redo(touched);
    EXPECT_EQ(state(), after);
    EXPECT_TRUE(op->is_can_undo());
    EXPECT_FALSE(op->is_can_redo());
    // The record still owns the deleted object, and the backup and snapshot.
    EXPECT_EQ(Test_Object::s_live - live_before, 5);
}

// A table entry changed inside a command after modify_cmd comes back whole with undo and
// goes to its changed state again with redo: layers, line types, text styles, dimension
// styles and blocks (their own fields; a member added in the same command leaves again).
TEST_F(ReplayTest, TableEntriesComeBackWhole)
{
    MB_Drawing& d = *op->drawing();
    auto* type = new MB_Line_Type;
    type->name("DASHED");
    d.line_type_list().add_tail(type);
    auto* walls = new MB_Layer(MB_String("Walls"));
    walls->color(0x112233);
    d.layer_list().add_tail(walls);
    auto* lines = new MB_Line_Type;
    lines->name("CENTER");
    (void)lines->init_data("A,1.25,-0.25");
    d.line_type_list().add_tail(lines);
    auto* style = new MB_Text_Style;
    style->name("Notes");
    d.text_style_list().add_tail(style);
    auto* dims = new MB_Dim_Style;
    dims->name("Dims");
    d.dim_style_list().add_tail(dims);
    auto* block = new MB_Block(Qe_Pt(1, 2, 0), MB_String("Door"), MB_String("a door"));
    block->object_list().add_tail(new Test_Geom);
    d.block_list().add_tail(block);

    const auto text_of = [](const MB_Text_Style& t) {
        std::ostringstream o;
        o << (t.name().ascii() ? t.name().ascii() : "") << ' ' << t.height() << ' ' << t.width_scale() << ' '
          << t.angle() << ' ' << t.oblique_angle() << ' ' << t.font_style() << ' ' << t.ali_flag() << ' '
          << t.font_lib();
        return o.str();
    };
    struct Kind {
        const char* what;
        MB_Object* entry;
        std::function<void()> change;
        std::function<std::string()> dump;
    };
    const Kind kinds[] = {
        {"layer", walls,
         [&] {
             walls->color(0x445566);
             walls->width(7);
             walls->lock(true);
             walls->freeze(true);
             walls->line_type(type);
             walls->name() = MB_String("Outer walls");
         },
         [&] {
             std::ostringstream o;
             o << walls->name().ascii() << ' ' << walls->color() << ' ' << walls->width() << ' '
               << int(walls->flag()) << ' ' << walls->line_type() << ' ' << walls->id();
             return o.str();
         }},
        {"line type", lines,
         [&] {
             lines->name("PHANTOM");
             lines->desc("__ . __");
             lines->scale(3.0);
             lines->max_persize(7.0);
             (void)lines->init_data("A,2,-1,0,-1");
         },
         [&] {
             std::ostringstream o;
             o << lines->name() << ' ' << lines->desc() << ' ' << lines->scale() << ' ' << lines->pattern_length()
               << ' ' << lines->max_persize() << ' ' << lines->linetype_loop().count();
             return o.str();
         }},
        {"text style", style,
         [&] {
             style->name("Titles");
             style->height(2.5);
             style->width_scale(0.8);
             style->angle(0.3);
             style->oblique_angle(0.2);
             style->font_style(4);
             style->ali_flag(2);
         },
         [&] { return text_of(*style); }},
        {"dimension style", dims,
         [&] {
             dims->name("Big dims");
             dims->color()[1] = 0x0000FF;
             dims->int_val()[4] = 9;
             dims->real_val()[1] = 4.5;
         },
         [&] {
             std::ostringstream o;
             o << dims->name().ascii() << ' ' << dims->color()[1] << ' ' << dims->int_val()[4] << ' '
               << dims->real_val()[1] << ' ' << text_of(dims->text_style());
             return o.str();
         }},
        {"block", block,
         [&] {
             block->name() = MB_String("Gate");
             block->desc() = MB_String("a gate");
             block->base_pos(Qe_Pt(5, -3, 0));
             block->object_list().add_tail(new Test_Geom);
         },
         [&] {
             std::ostringstream o;
             const Qe_Pt moved = Qe_Pt(7, 7, 0) * block->tran();
             o << block->name().ascii() << ' ' << block->desc().ascii() << ' ' << block->base_pos().x() << ' '
               << block->base_pos().y() << ' ' << moved.x() << ' ' << moved.y() << ' '
               << block->object_list().count();
             return o.str();
         }},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.what);
        const std::string before = k.dump();
        rec->rec_cmd_begin(k.what);
        k.entry->modify_cmd();
        k.change();
        rec->rec_cmd_end();
        const std::string after = k.dump();
        ASSERT_NE(after, before);
        Qe_Void_List touched;
        op->undo(touched);
        EXPECT_EQ(k.dump(), before);
        op->redo(touched);
        EXPECT_EQ(k.dump(), after);
        op->undo(touched);
        EXPECT_EQ(k.dump(), before);
    }
    // The entries are still the drawing's, found by their first names again.
    EXPECT_EQ(d.find_layer("Walls"), walls);
    EXPECT_EQ(d.find_block("Door"), block);
}

// Names looked up before a command still find their entries after an undo or a redo that
// renamed them back or again: the drawing's name indexes follow the replay.
TEST_F(ReplayTest, RenamedTableEntriesAreFoundByTheirNamesAfterReplay)
{
    MB_Drawing& d = *op->drawing();
    auto* walls = new MB_Layer(MB_String("Walls"));
    d.layer_list().add_tail(walls);
    auto* door = new MB_Block(Qe_Pt(), MB_String("Door"), MB_String("a door"));
    d.block_list().add_tail(door);
    auto* dashed = new MB_Line_Type;
    dashed->name("DASHED");
    d.line_type_list().add_tail(dashed);
    // The indexes are built now, under the first names.
    ASSERT_EQ(d.find_layer("Walls"), walls);
    ASSERT_EQ(d.find_block("Door"), door);
    ASSERT_EQ(d.find_line_type("DASHED", nullptr), dashed);

    rec->rec_cmd_begin("rename");
    walls->modify_cmd();
    walls->name() = MB_String("Outer");
    door->modify_cmd();
    door->name() = MB_String("Gate");
    dashed->modify_cmd();
    dashed->name("HIDDEN");
    rec->rec_cmd_end();
    const auto found = [&](const char* layer, const char* block, const char* type) {
        EXPECT_EQ(d.find_layer(layer), walls);
        EXPECT_EQ(d.find_block(block), door);
        EXPECT_EQ(d.find_line_type(type, nullptr), dashed);
    };
    const auto gone = [&](const char* layer, const char* block, const char* type) {
        EXPECT_EQ(d.find_layer(layer), nullptr);
        EXPECT_EQ(d.find_block(block), nullptr);
        EXPECT_EQ(d.find_line_type(type, nullptr), nullptr);
    };
    Qe_Void_List touched;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        op->undo(touched);
        found("Walls", "Door", "DASHED");
        gone("Outer", "Gate", "HIDDEN");
        op->redo(touched);
        found("outer", "GATE", "hidden");
        gone("Walls", "Door", "DASHED");
    }
}

// What a drawable's copy_to leaves out (user id, string, real value, extended data) comes
// back with undo and goes again with redo.
TEST_F(ReplayTest, UserDataOfEntitiesComesBack)
{
    auto* g = new Test_Geom;
    g->string() = MB_String("first");
    g->xdata().buffer("abc", 3);
    g->user_id(4);
    g->real_val(1.5);
    list().add_tail(g);
    const auto dump = [&] {
        return std::string(g->string().ascii() ? g->string().ascii() : "") + "|" +
               std::string(g->xdata().buffer() ? g->xdata().buffer() : "", g->xdata().size()) + "|" +
               std::to_string(g->user_id()) + "|" + std::to_string(g->real_val());
    };
    const std::string before = dump();
    rec->rec_cmd_begin("user data");
    g->modify_cmd();
    g->string() = MB_String("second");
    g->xdata().buffer("wxyz", 4);
    g->user_id(9);
    g->real_val(-2.0);
    rec->rec_cmd_end();
    const std::string after = dump();
    Qe_Void_List touched;
    op->undo(touched);
    EXPECT_EQ(dump(), before);
    op->redo(touched);
    EXPECT_EQ(dump(), after);
}

TEST_F(ReplayTest, ChangeThenDeleteUndoesToTheOldState)
{
    Test_Object* x = add(1);
    rec->rec_cmd_begin("edit and delete");
    x->change(2);
    x->lose(list());
    rec->rec_cmd_end();
    Qe_Void_List touched;
    op->undo(touched);
    // The deletion is undone first, so that the old state lands in the object.
    EXPECT_EQ(state(), (std::vector<std::pair<MB_Object*, int>>{{x, 1}}));
    op->redo(touched);
    EXPECT_TRUE(state().empty());
    op->undo(touched);
    EXPECT_EQ(state(), (std::vector<std::pair<MB_Object*, int>>{{x, 1}}));

    // Create, change, delete in one command leaves nothing to replay.
    rec->rec_cmd_begin("scratch");
    Test_Object* tmp = add(5);
    tmp->change(6);
    tmp->lose(list());
    rec->rec_cmd_end();
    op->undo(touched);
    EXPECT_EQ(state(), (std::vector<std::pair<MB_Object*, int>>{{x, 1}}));
    op->redo(touched);
    EXPECT_EQ(state(), (std::vector<std::pair<MB_Object*, int>>{{x, 1}}));
}

TEST_F(ReplayTest, NewCommandDropsWhatOnlyUndoneCommandsHeld)
{
    Test_Object* kept = add(1);
    rec->rec_cmd_begin("create");
    add(2);
    rec->rec_cmd_end();
    rec->rec_cmd_begin("edit");
    kept->change(3);
    rec->rec_cmd_end();
    Qe_Void_List touched;
    op->undo(touched);
    op->undo(touched);
    EXPECT_EQ(Test_Object::s_live - live_before, 4);  // kept, the undone creation, backup, snapshot
    rec->rec_cmd_begin("new");
    EXPECT_FALSE(op->is_can_redo());
    EXPECT_EQ(Test_Object::s_live - live_before, 1);
    rec->rec_cmd_end();
    op->redo(touched);  // nothing left to redo
    EXPECT_EQ(state(), (std::vector<std::pair<MB_Object*, int>>{{kept, 1}}));
}

TEST_F(ReplayTest, DrawablesBroughtBackOrChangedAreTouched)
{
    auto* line = new Test_Geom;
    list().add_tail(line);
    auto* edited = new Test_Geom;
    list().add_tail(edited);
    rec->rec_cmd_begin("geoms");
    line->lose(list());
    edited->modify_cmd();
    edited->general().color(5);
    auto* created = new Test_Geom;
    list().add_tail(created);
    rec->rec_cmd_end();

    Qe_Void_List touched;
    op->undo(touched);
    EXPECT_TRUE(touched.contains(line));
    EXPECT_TRUE(touched.contains(edited));
    EXPECT_FALSE(touched.contains(created));
    EXPECT_NE(edited->general().color(), 5);
    touched.clear();
    op->redo(touched);
    EXPECT_FALSE(touched.contains(line));
    EXPECT_TRUE(touched.contains(edited));
    EXPECT_TRUE(touched.contains(created));
    EXPECT_EQ(edited->general().color(), 5);
}

TEST_F(ReplayTest, NothingWithoutCommandsOrDrawing)
{
    Qe_Void_List touched;
    op->undo(touched);
    op->redo(touched);
    EXPECT_EQ(rec->state(), 0);

    // A record without a drawing has no list to replay against: the command stays done.
    MB_Undo_Redo loose;
    loose.rec_cmd_begin("c");
    loose.rec_cmd_end();
    loose.undo(touched);
    EXPECT_TRUE(loose.is_can_undo());
    EXPECT_FALSE(loose.is_can_redo());
}

// Random edits in several commands; undoing k commands must give the list as it was k
// commands ago, and redoing them the later states again.
TEST_F(ReplayTest, SeededEditsReplayToRecordedStates)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 5; ++i) add(i);
    std::vector<std::vector<std::pair<MB_Object*, int>>> history{state()};
    int next_value = 100;
    for (int c = 0; c < 12; ++c) {
        rec->rec_cmd_begin("random");
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            const long n = list().count();
            const unsigned kind = rng() % 3;
            if (kind == 0 || n == 0) {
                add(next_value++);
            } else {
                auto* o = static_cast<Test_Object*>(list().get(static_cast<int>(rng() % n)));
                if (kind == 1)
                    o->change(next_value++);
                else
                    o->lose(list());
            }
        }
        rec->rec_cmd_end();
        history.push_back(state());
    }
    Qe_Void_List touched;
    for (int k = static_cast<int>(history.size()) - 2; k >= 0; --k) {
        op->undo(touched);
        ASSERT_EQ(state(), history[k]) << "after undoing to command " << k;
    }
    for (size_t k = 1; k < history.size(); ++k) {
        op->redo(touched);
        ASSERT_EQ(state(), history[k]) << "after redoing command " << k;
    }
}

TEST(UndoCommand, StepsReplayedAgainstAList)
{
    MB_Object_List list;
    Qe_Void_List touched;
    auto* obj = new Test_Object(1);
    {
        // A deletion step replayed on its own.
        MB_Sub_Command del(nullptr, obj, nullptr);
        del.undo(list, touched);
        del.undo(list, touched);  // already a member: not linked twice
        EXPECT_EQ(list.count(), 1);
        del.redo(list, touched);
        EXPECT_TRUE(list.is_empty());
        del.undo(list, touched);
    }
    list.kill_all();
}

TEST(UndoCommand, NamesAndClosedCommands)
{
    const std::string long_name(300, 'n');
    MB_Command cmd(long_name.c_str());
    EXPECT_EQ(std::string(cmd.name()), long_name.substr(0, 255));
    EXPECT_STREQ(MB_Command(nullptr).name(), "");

    auto* sub = new MB_Sub_Command;
    EXPECT_TRUE(cmd.add(sub));
    cmd.is_creating(false);
    MB_Sub_Command refused;
    EXPECT_FALSE(cmd.add(&refused));
    EXPECT_EQ(cmd.sub_command_head(), sub);
    EXPECT_EQ(cmd.sub_command_tail(), sub);
    cmd.kill_all_sub_command();
    EXPECT_EQ(cmd.sub_command_head(), nullptr);
}

}  // namespace

// The recorder is paused for the guard's scope and comes back on every way out of it,
// also when the scope is left early; resume brings it back once, and the guard then
// leaves a later change of the flag alone.
TEST_F(UndoTest, RecordingPauseRestoresTheFlagOnEveryPath)
{
    rec->rec_cmd_begin("paused");
    auto build_quietly = [&](bool leave_early) -> Test_Object* {
        MB_Recording_Pause pause;
        EXPECT_FALSE(api_if_record_command());
        auto* quiet = new Test_Object(1);
        if (leave_early) return quiet;
        list.add_tail(new Test_Object(2));
        return quiet;
    };
    std::unique_ptr<Test_Object> early(build_quietly(true));
    EXPECT_TRUE(api_if_record_command());
    std::unique_ptr<Test_Object> late(build_quietly(false));
    EXPECT_TRUE(api_if_record_command());
    {
        MB_Recording_Pause pause;
        pause.resume();
        EXPECT_TRUE(api_if_record_command());
        rec->rec_cmd_pause();
    }
    EXPECT_FALSE(api_if_record_command());
    rec->rec_cmd_continue();
    auto* recorded = new Test_Object(3);
    list.add_tail(recorded);
    EXPECT_EQ(end_command(), (std::vector<Step>{{nullptr, nullptr, recorded}}));

    // A pause inside a pause restores the outer state, not recording.
    rec->rec_cmd_begin("nested");
    {
        MB_Recording_Pause outer;
        {
            MB_Recording_Pause inner;
        }
        EXPECT_FALSE(api_if_record_command());
    }
    EXPECT_TRUE(api_if_record_command());
    rec->rec_cmd_end();
}

// Without an operation the kernel's lower folders read the default settings, no layer and
// no recorder: nothing is dereferenced and nothing is recorded.
TEST(OperationContext, WithoutAnOperation)
{
    ASSERT_TRUE(g_operation_list.is_empty());
    EXPECT_FALSE(api_has_active_operation());
    EXPECT_EQ(api_active_current_layer(), nullptr);
    EXPECT_EQ(api_active_system_setting().get_long_val(MB_System_Setting::k_long_color), 0xFFFFFF);
    EXPECT_EQ(&api_active_system_setting(), &api_operation_system_setting(nullptr));
    EXPECT_FALSE(api_if_record_command());
    EXPECT_EQ(api_rec_cmd_pause(), 0);
    Test_Object obj(1);
    EXPECT_FALSE(api_rec_delete(&obj));
    EXPECT_EQ(api_operation_selection(nullptr), nullptr);
    EXPECT_EQ(api_operation_drawing(nullptr), nullptr);
    EXPECT_EQ(api_operation_wnd(nullptr), nullptr);
    EXPECT_FALSE(api_operation_has_tool(nullptr));

    MB_Operation op;
    EXPECT_TRUE(api_has_active_operation());
    EXPECT_EQ(&api_active_system_setting(), op.system_setting());
    EXPECT_EQ(api_operation_selection(&op), &op.selection());
}

