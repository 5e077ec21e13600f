// Every stored kind together: a drawing of all of them saves plain and compressed, loads into
// a fresh operation equal record for record but for the format's known losses, saves again
// byte for byte, fails cleanly when cut anywhere, and undoes and redoes a change of every
// kind, size changes included.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "geometry/transform.h"
#include "kernel/entities/all_kinds.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entities/full_transform.h"

using namespace entity_test;

namespace {

Bytes save(MB_Drawing& d, bool compressed)
{
    stream_test::Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    io.heuristics().set_allow_binary_data(compressed);
    EXPECT_TRUE(io.save_jxb(f.path()));
    return f.contents();
}

// What a reload holds for one entity, in the format's terms.
struct Stored {
    int id;
    Bytes record;
    // False for points made by computation (a dimension's picture): the relative positions
    // of the stream may give them back a unit in the last place off, so only the record's
    // length is compared (dimension_test checks the points).
    bool exact = true;
};

// The format's losses: a ray is written as a line, a group as its members in order
// (subgroups in place), so a reload has the members and no group, and a dimension as the
// plain entities of its picture, in the colours drawn, with its other general properties.
void expect_stored(MB_Drawable& e, std::vector<Stored>& out)
{
    if (auto* d = dynamic_cast<MB_Dimension*>(&e)) {
        std::vector<std::unique_ptr<MB_Drawable>> parts;
        d->picture_entities(parts);
        for (const auto& part : parts) {
            const long colour = part->general().color();
            part->general() = d->general();
            part->general().color(colour);
            part->general().line_type(nullptr);
            out.push_back({part->object_id(), record_bytes(*part), false});
        }
        return;
    }
    if (auto* g = dynamic_cast<MB_Group*>(&e)) {
        for (Qe_Void_Node* n = g->object_list().head(); n; n = n->next())
            expect_stored(*static_cast<MB_Drawable*>(n->entity()), out);
        return;
    }
    const int id = e.object_id() == MB_Object::ID_RAY ? MB_Object::ID_LINE : e.object_id();
    out.push_back({id, record_bytes(e)});
}

std::vector<Stored> stored_list(MB_Object_List& list, bool expected)
{
    std::vector<Stored> out;
    for (MB_Object* o = list.get_head(); o; o = o->next()) {
        if (expected) expect_stored(*static_cast<MB_Drawable*>(o), out);
        else out.push_back({o->object_id(), record_bytes(*o)});
    }
    return out;
}

TEST(All_Kinds, SaveLoadCompareAndSaveAgain)
{
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        Bytes first, want_style;
        std::vector<Stored> want, want_block;
        {
            Op_Fixture f;
            all_kinds::fill(*f.drawing);
            ASSERT_EQ(f.drawing->object_list().count(), static_cast<long>(all_kinds::kinds().size()));
            // Dimension styles are written in table order; a dimension as what it draws.
            auto* style = new MB_Dim_Style;
            style->name("ISO-25");
            style->real_val()[1] = 2.5;
            style->color()[2] = 0x123456;
            f.drawing->dim_style_list().add_tail(style);
            want_style = record_bytes(*style);
            auto* dimension = new MB_Dimension;
            dimension->dim_pt3(Qe_Pt(10, 0, 0));
            dimension->definition_pt(Qe_Pt(10, 5, 0));
            dimension->build_draw();
            f.drawing->add_object(dimension);
            first = save(*f.drawing, compressed);
            want = stored_list(f.drawing->object_list(), true);
            want_block = stored_list(f.drawing->find_block("door")->object_list(), true);
        }
        Op_Fixture g;
        stream_test::Temp_File file;
        file.contents(first);
        ASSERT_TRUE(g.op->load_jxb(file.path()));
        const std::vector<Stored> got = stored_list(g.drawing->object_list(), false);
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].id, want[i].id) << i;
            if (want[i].exact)
                EXPECT_EQ(to_hex(got[i].record), to_hex(want[i].record)) << i << " (id " << want[i].id << ")";
            else
                EXPECT_EQ(got[i].record.size(), want[i].record.size()) << i << " (id " << want[i].id << ")";
        }
        ASSERT_EQ(g.drawing->dim_style_list().count(), 1);
        EXPECT_EQ(to_hex(record_bytes(*g.drawing->dim_style_list().get_head())), to_hex(want_style));
        MB_Block* door = g.drawing->find_block("door");
        ASSERT_NE(door, nullptr);
        const std::vector<Stored> got_block = stored_list(door->object_list(), false);
        ASSERT_EQ(got_block.size(), want_block.size());
        for (std::size_t i = 0; i < got_block.size(); ++i)
            EXPECT_EQ(to_hex(got_block[i].record), to_hex(want_block[i].record)) << "block member " << i;
        // The reference is bound to the loaded block, the layers and colours came back.
        bool bound = false;
        for (MB_Object* o = g.drawing->object_list().get_head(); o; o = o->next())
            if (auto* ins = dynamic_cast<MB_Insert*>(o)) bound = ins->block() == door;
        EXPECT_TRUE(bound);
        auto* line = static_cast<MB_Drawable*>(g.drawing->object_list().get_head());
        ASSERT_NE(line->general().layer(), nullptr);
        EXPECT_EQ(line->general().layer()->name(), MB_String("walls"));
        EXPECT_EQ(line->general().color(), 0x102030);
        EXPECT_EQ(to_hex(save(*g.drawing, compressed)), to_hex(first));
    }
}

// Cut anywhere before the end record's closing line break, the file fails to load, without
// a crash or a leak; what keeps "(EndOfVKT)" whole is the whole drawing.
TEST(All_Kinds, EveryCutFailsCleanly)
{
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        Bytes whole;
        {
            Op_Fixture f;
            all_kinds::fill(*f.drawing);
            whole = save(*f.drawing, compressed);
        }
        ASSERT_GT(whole.size(), 100u);
        const std::size_t complete = whole.size() - 2;
        ASSERT_EQ(whole.substr(complete), "\r\n");
        Op_Fixture g;  // the active operation the entities read their settings from
        stream_test::Temp_File file;
        for (std::size_t n = 0; n <= whole.size(); ++n) {
            file.contents(whole.substr(0, n));
            MB_Drawing d;
            MB_File_IO io;
            io.drawing(&d);
            const bool ok = io.load_jxb(file.path());
            if (ok != (n >= complete)) ADD_FAILURE() << "cut at " << n << " of " << whole.size() << (ok ? " loaded" : " failed");
        }
    }
}

// Undo and redo restore every kind byte for byte after a whole-shape change (turned, mirrored,
// scaled, moved) and after a change of its size.
TEST(All_Kinds, UndoAndRedoRestoreEveryKind)
{
    const Qe_Tran map = reflect_transf(Qe_Vec(1, 0, 0)) * rotate_transf(0.4, Qe_Vec(0, 0, 1)) * scale_transf(1.5) *
                        translate_transf(Qe_Vec(3, -2, 0));
    for (const all_kinds::Kind& k : all_kinds::kinds()) {
        {
            Op_Fixture f;
            MB_Drawable* e = k.make(*f.drawing);
            e->build_draw();
            expect_undo_redo_state(
                f, e, [&](MB_Object& o) { ASSERT_EQ(apply_full_transform(static_cast<MB_Drawable&>(o), map), &o); },
                (std::string(k.name) + " mapped").c_str());
        }
        if (!k.grow) continue;
        Op_Fixture f;
        MB_Drawable* e = k.make(*f.drawing);
        e->build_draw();
        expect_undo_redo_state(
            f, e, [&](MB_Object& o) { k.grow(static_cast<MB_Drawable&>(o)); }, (std::string(k.name) + " grown").c_str());
    }
}

}  // namespace
