// Long editing sessions replayed by undo and redo: random scripts of creations, recorded
// changes and deletions across the drawing's entity list, its tables and block members
// (entities' properties, strings and extended data; layers, line types, text and dimension
// styles and blocks changed in place), checked against the drawing as it was after every
// command and against its saved bytes.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/named_view.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/insert.h"
#include "kernel/operation/operation.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/text_style.h"
#include "kernel/test_objects.h"
#include "kernel/stream/stream_fixture.h"

using namespace stream_test;

namespace {

// The drawing as a sequence of words: every list, its objects in order and what a
// recorded change of each covers. Compact, so that a state can be kept after every command.
class Dump {
public:
    explicit Dump(MB_Drawing& d)
    {
        walk(d.object_list(), [&](MB_Object* o) { drawable(o); });
        walk(d.layer_list(), [&](MB_Object* o) {
            auto* l = static_cast<MB_Layer*>(o);
            text(l->name());
            put(static_cast<std::uint64_t>(l->color()));
            put(static_cast<std::uint64_t>(l->width()));
            put(static_cast<std::uint64_t>(l->flag()));
            put(l->line_type());
        });
        walk(d.line_type_list(), [&](MB_Object* o) {
            auto* t = static_cast<MB_Line_Type*>(o);
            put(std::hash<std::string>{}(t->name()));
            put(t->scale());
        });
        walk(d.named_view_list(), [](MB_Object*) {});
        walk(d.text_style_list(), [&](MB_Object* o) {
            auto* t = static_cast<MB_Text_Style*>(o);
            text(t->name());
            put(t->height());
            put(t->width_scale());
        });
        walk(d.dim_style_list(), [&](MB_Object* o) {
            auto* t = static_cast<MB_Dim_Style*>(o);
            text(t->name());
            put(static_cast<std::uint64_t>(t->color()[0]));
            put(t->real_val()[1]);
        });
        walk(d.block_list(), [&](MB_Object* o) {
            auto* b = static_cast<MB_Block*>(o);
            text(b->name());
            text(b->desc());
            put(b->base_pos().x());
            put(b->base_pos().y());
            walk(b->object_list(), [&](MB_Object* m) { drawable(m); });
        });
    }
    bool operator==(const Dump&) const = default;
    friend void PrintTo(const Dump& d, std::ostream* os) { *os << d.m_words.size() << " words"; }

private:
    void put(std::uint64_t w) { m_words.push_back(w); }
    void put(const void* p) { put(reinterpret_cast<std::uintptr_t>(p)); }
    void put(double v) { put(std::bit_cast<std::uint64_t>(v)); }
    void text(MB_String& s) { put(std::hash<std::string>{}(s.ascii() ? s.ascii() : "")); }

    // The list walked both ways, so that a broken chain shows.
    template <typename Each>
    void walk(MB_Object_List& list, Each each)
    {
        put(std::uint64_t{0xABCD});
        std::size_t n = 0;
        for (MB_Object* o = list.get_head(); o; o = o->next(), ++n) {
            put(o);
            each(o);
        }
        for (MB_Object* o = list.get_tail(); o; o = o->prev()) --n;
        put(std::uint64_t{n == 0 ? 0u : 0xBAD});
    }

    void drawable(MB_Object* o)
    {
        auto* d = static_cast<MB_Drawable*>(o);
        const MB_General& g = d->general();
        put(static_cast<std::uint64_t>(g.color()));
        put(g.width());
        put(g.line_scale());
        put(g.thickness());
        put(static_cast<std::uint64_t>(g.display_width()));
        put(g.layer());
        put(g.line_type());
        put(static_cast<std::uint64_t>(d->id()));
        put(static_cast<std::uint64_t>(d->flag()));
        put(static_cast<std::uint64_t>(d->user_id()));
        text(d->string());
        put(d->real_val());
        put(std::hash<std::string>{}(std::string(d->xdata().buffer() ? d->xdata().buffer() : "", d->xdata().size())));
        if (MB_Object_List* members = d->object_list()) {
            put(std::uint64_t{0xC0});
            for (MB_Object* m = members->get_head(); m; m = m->next())
                put(static_cast<std::uint64_t>(static_cast<MB_Drawable*>(m)->general().color()));
        }
        if (o->object_id() == MB_Object::ID_INSERT) {
            auto* in = static_cast<MB_Insert*>(o);
            put(in->angle());
            for (int i = 0; i < 3; ++i) put(in->scale()[i]);
            put(in->point().x());
            put(in->point().y());
        }
    }

    std::vector<std::uint64_t> m_words;
};

Bytes saved(MB_Drawing& d)
{
    Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    EXPECT_TRUE(io.save_jxb(f.path()));
    return f.contents();
}

class Script {
public:
    Script(unsigned seed, MB_Operation& op) : m_rng(seed), m_op(op), m_d(*op.drawing()) {}

    // A drawing to start from: layers, a line type, a block with members, entities in
    // each display state and a container.
    void start()
    {
        for (int i = 0; i < 3; ++i) add_layer(m_d.layer_list());
        m_d.line_type_list().add_tail(new MB_Line_Type);
        for (int i = 0; i < 2; ++i) {
            auto* t = new MB_Text_Style;
            t->name(("T" + std::to_string(i)).c_str());
            m_d.text_style_list().add_tail(t);
            auto* ds = new MB_Dim_Style;
            ds->name(("D" + std::to_string(i)).c_str());
            m_d.dim_style_list().add_tail(ds);
        }
        auto* b = new MB_Block(Qe_Pt(1, 2, 0), MB_String("B0"), MB_String("d"));
        for (int i = 0; i < 3; ++i) b->object_list().add_tail(make_geom());
        m_d.block_list().add_tail(b);
        for (int i = 0; i < 6; ++i) m_d.object_list().add_tail(make_geom());
        static_cast<MB_Drawable*>(m_d.object_list().get(1))->flag(MB_Drawable::State_Selected);
        static_cast<MB_Drawable*>(m_d.object_list().get(2))->flag(MB_Drawable::State_Hidden);
        m_d.object_list().add_tail(make_container());
        m_d.object_list().add_tail(make_insert());
    }

    // One operation of the script, inside the open command.
    void step()
    {
        switch (pick(14)) {
        case 0:
        case 1: insert_at(m_d.object_list(), pick(3) == 0 ? make_container() : make_geom()); break;
        case 2: insert_at(m_d.object_list(), make_insert()); break;
        case 3:
            if (MB_Block* b = any_block()) insert_at(b->object_list(), make_geom());
            break;
        case 4: {
            // A table entry made inside the command.
            const unsigned which = pick(4);
            if (which == 0)
                add_layer(m_d.layer_list());
            else if (which == 1)
                insert_at(m_d.line_type_list(), new MB_Line_Type);
            else if (which == 2)
                insert_at(m_d.named_view_list(), new MB_Named_View);
            else
                make_block();
            break;
        }
        case 5:
        case 6:
        case 7: change(any(m_d.object_list())); break;
        case 8:
            if (MB_Block* b = any_block()) change(any(b->object_list()));
            break;
        case 9:
        case 10: lose(m_d.object_list()); break;
        case 12: change_table_entry(); break;
        case 13: change_user_data(any(m_d.object_list())); break;
        case 11: {
            const unsigned which = pick(5);
            if (which == 0)
                lose(m_d.line_type_list());
            else if (which == 1)
                lose(m_d.named_view_list());
            else if (MB_Block* b = any_block())
                lose(b->object_list());
            break;
        }
        }
    }

private:
    unsigned pick(unsigned n) { return static_cast<unsigned>(m_rng() % n); }

    MB_Object* any(MB_Object_List& list)
    {
        const long n = list.count();
        return n ? list.get(static_cast<int>(pick(static_cast<unsigned>(n)))) : nullptr;
    }
    MB_Block* any_block() { return static_cast<MB_Block*>(any(m_d.block_list())); }
    MB_Layer* any_layer() { return static_cast<MB_Layer*>(any(m_d.layer_list())); }

    void insert_at(MB_Object_List& list, MB_Object* o)
    {
        switch (pick(3)) {
        case 0: list.add_tail(o); break;
        case 1: list.add_head(o); break;
        default: list.insert(o, any(list)); break;
        }
    }

    void add_layer(MB_Object_List& list)
    {
        auto* l = new MB_Layer(MB_String(("L" + std::to_string(m_next++)).c_str()));
        l->visibility(true);
        list.add_tail(l);
    }

    void make_block()
    {
        auto* b = new MB_Block(Qe_Pt(pick(9), 0, 0), MB_String(("B" + std::to_string(m_next++)).c_str()),
                               MB_String("d"));
        // Its members are made while it is being defined, then it joins the table.
        m_d.temp_block(b);
        for (unsigned i = 0, n = 1 + pick(3); i < n; ++i) m_d.add_object(make_geom());
        m_d.finish_temp_block();
    }

    // A block reference, for its recorded setters. Its record is not written yet, so it is
    // hidden: a save leaves hidden entities out.
    MB_Insert* make_insert()
    {
        auto* in = new MB_Insert(Qe_Pt(pick(50), pick(50), 0), 0.1 * pick(30), 1, 1, 1);
        in->flag(MB_Drawable::State_Hidden);
        return in;
    }

    Read_Geom* make_geom()
    {
        auto* g = new Read_Geom;
        g->general().color(static_cast<long>(m_next++));
        g->general().layer(any_layer());
        for (unsigned i = 0, n = 1 + pick(3); i < n; ++i) g->edge().add_point(Qe_Pt(pick(100), pick(100), 0));
        return g;
    }

    // A drawable holding members of its own, made the way the system copies one.
    MB_Object* make_container()
    {
        Read_Geom templ;
        MB_Object_List members;
        for (int i = 0; i < 2; ++i) members.add_tail(make_geom());
        templ.object_list(&members);
        templ.general().color(static_cast<long>(m_next++));
        MB_Object* made = nullptr;
        templ.copy_to(made);
        templ.object_list(nullptr);
        members.kill_all();
        static_cast<Test_Geom*>(made)->edge().add_point(Qe_Pt(pick(100), 0, 0));
        return made;
    }

    // A change through a recorded setter.
    void change(MB_Object* o)
    {
        if (!o) return;
        if (o->object_id() == MB_Object::ID_INSERT) {
            auto* in = static_cast<MB_Insert*>(o);
            switch (pick(4)) {
            case 0: in->set_real(-102, 0.25 * pick(20)); break;
            case 1: in->set_real(-106 - static_cast<long>(pick(3)), 1.0 + pick(4)); break;
            case 2: in->set_point(-6, Qe_Pt(pick(30), pick(30), 0)); break;
            default: in->translate(translate_transf(Qe_Vec(1.0 + pick(3), 2.0, 0.0)), 0); break;
            }
            return;
        }
        auto* d = static_cast<MB_Drawable*>(o);
        d->modify_cmd();
        MB_General& g = d->general();
        switch (pick(6)) {
        case 0: g.color(static_cast<long>(m_next++)); break;
        case 1: g.width(0.5 * pick(9)); break;
        case 2: g.layer(any_layer()); break;
        case 3: g.line_type(static_cast<MB_Line_Type*>(any(m_d.line_type_list()))); break;
        case 4: d->set_id(pick(1000)); break;
        default: {
            // A container whose members change: its old members must go with the change.
            MB_Object* made = make_container();
            made->copy_to(o);
            delete made;
            break;
        }
        }
    }

    // A table entry changed in place, its backup taken first.
    void change_table_entry()
    {
        switch (pick(5)) {
        case 0:
            if (MB_Layer* l = any_layer()) {
                l->modify_cmd();
                switch (pick(4)) {
                case 0: l->color(static_cast<mb_ulong>(m_next++)); break;
                case 1: l->width(static_cast<mb_ushort>(pick(9))); break;
                case 2:
                    l->lock(pick(2) == 0);
                    l->visibility(pick(3) != 0);
                    break;
                default: l->name() = MB_String(("R" + std::to_string(m_next++)).c_str()); break;
                }
            }
            break;
        case 1:
            if (MB_Block* b = any_block()) {
                b->modify_cmd();
                if (pick(2) == 0)
                    b->name() = MB_String(("N" + std::to_string(m_next++)).c_str());
                else
                    b->base_pos(Qe_Pt(pick(40), pick(40), 0));
                b->desc() = MB_String(("d" + std::to_string(m_next++)).c_str());
            }
            break;
        case 2:
            if (auto* t = static_cast<MB_Line_Type*>(any(m_d.line_type_list()))) {
                t->modify_cmd();
                t->scale(0.5 * (1 + pick(8)));
                t->name(("LT" + std::to_string(m_next++)).c_str());
            }
            break;
        case 3:
            if (auto* t = static_cast<MB_Text_Style*>(any(m_d.text_style_list()))) {
                t->modify_cmd();
                t->height(1.0 + pick(20));
                t->width_scale(0.25 * (1 + pick(6)));
            }
            break;
        default:
            if (auto* t = static_cast<MB_Dim_Style*>(any(m_d.dim_style_list()))) {
                t->modify_cmd();
                t->color()[0] = static_cast<long>(m_next++);
                t->real_val()[1] = 0.5 * pick(10);
                t->name(("DS" + std::to_string(m_next++)).c_str());
            }
            break;
        }
    }

    // An entity's string, extended data, user id and real value, its backup taken first.
    void change_user_data(MB_Object* o)
    {
        if (!o || !o->is_drawable() || o->object_id() == MB_Object::ID_INSERT) return;
        auto* d = static_cast<MB_Drawable*>(o);
        d->modify_cmd();
        const std::string word = "u" + std::to_string(m_next++);
        switch (pick(4)) {
        case 0: d->string() = MB_String(word.c_str()); break;
        case 1: d->xdata().buffer(word.data(), static_cast<int>(word.size())); break;
        case 2: d->user_id(static_cast<mb_ulong>(m_next++)); break;
        default: d->real_val(0.25 * pick(40)); break;
        }
    }

    void lose(MB_Object_List& list)
    {
        if (MB_Object* o = any(list)) o->lose(list);
    }

    std::mt19937 m_rng;
    MB_Operation& m_op;
    MB_Drawing& m_d;
    int m_next = 1;
};

// Undoing every command gives back the starting drawing, order and bytes; redoing every
// command gives back the drawing as the script left it; deleting it all is clean.
TEST(UndoScript, UndoAllSavesTheStartingBytesAndRedoAllTheLastOnes)
{
    constexpr int k_seeds = 20;
    constexpr int k_operations = 2000;
    for (unsigned seed = 1; seed <= k_seeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        auto op = std::make_unique<MB_Operation>();
        op->init(nullptr, new MB_Drawing);
        MB_Drawing& d = *op->drawing();
        Script script(seed, *op);
        script.start();
        const Bytes start_bytes = saved(d);
        ASSERT_EQ(saved(d), start_bytes);
        std::vector<Dump> history{Dump(d)};
        std::mt19937 rng(seed * 7919u);
        for (int done = 0; done < k_operations;) {
            op->rec_cmd_begin("script");
            for (unsigned n = 1 + rng() % 5; n > 0 && done < k_operations; --n, ++done) script.step();
            op->rec_cmd_end();
            history.push_back(Dump(d));
        }
        const Bytes end_bytes = saved(d);

        Qe_Void_List touched;
        for (int k = static_cast<int>(history.size()) - 2; k >= 0; --k) {
            op->undo(touched);
            ASSERT_EQ(Dump(d), history[static_cast<size_t>(k)]) << "after undoing to command " << k;
        }
        EXPECT_FALSE(op->is_can_undo());
        EXPECT_EQ(saved(d), start_bytes);
        for (size_t k = 1; k < history.size(); ++k) {
            op->redo(touched);
            ASSERT_EQ(Dump(d), history[k]) << "after redoing command " << k;
        }
        EXPECT_EQ(saved(d), end_bytes);

        // Half way back, then a new command drops what only the undone commands held.
        for (size_t k = 0; k < history.size() / 2; ++k) op->undo(touched);
        op->rec_cmd_begin("after");
        script.step();
        op->rec_cmd_end();
        op.reset();
    }
}

}  // namespace
