#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/database/block.h"
#include "kernel/database/layer.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/stream/byte_marker.h"
#include "kernel/stream/compressed_data.h"
#include "kernel/stream/file_header.h"
#include "kernel/stream/object_factory.h"
#include "kernel/stream/stream_fixture.h"
#include "kernel/text/text_style.h"
#include "platform/gdi.h"
#include "platform/message_box.h"
#include "platform/recording_dc.h"
#include "kernel/test_objects.h"

using namespace stream_test;

namespace {

const Bytes k_end = "\r\n(EndOfVKT)\r\n";
const Bytes k_marker = hex("7B 00 00 00 00 10 00");

// Registers a test record class for a byte while it lives, then restores the table.
struct Registration {
    Registration(unsigned char byte, MB_Object_Maker make) : byte(byte)
    {
        EXPECT_TRUE(MB_Object_Factory::register_maker(byte, make, &previous));
    }
    ~Registration() { MB_Object_Factory::register_maker(byte, previous); }
    unsigned char byte;
    MB_Object_Maker previous = nullptr;
};

// The entity record of the test drawable: 'L', the extended-data block (flag byte, empty
// mask) and a point set.
Bytes geom_record(std::initializer_list<Qe_Pt> pts)
{
    Bytes out = "L" + hex("00") + le_long(0) + le_long(static_cast<mb_long>(pts.size()));
    Qe_Pt previous;
    for (const Qe_Pt& p : pts) {
        const double v[3] = {p.x() - previous.x(), p.y() - previous.y(), p.z()};
        out += Bytes(reinterpret_cast<const char*>(v), 24);
        previous = p;
    }
    return out;
}

Read_Geom* geom(MB_Layer* layer, long color, std::initializer_list<Qe_Pt> pts)
{
    auto* g = new Read_Geom;
    g->general().layer(layer);
    g->general().color(color);
    std::vector<Qe_Pt> v(pts);
    g->edge().init(static_cast<int>(v.size()), v.data());
    return g;
}

// Layers (one frozen, one locked), a block whose members lie on them, entities on both,
// on no layer, with other widths and a thickness, and a hidden one that is not saved.
void fill(MB_Drawing& d)
{
    auto* frozen = new MB_Layer(MB_String("Frozen"));
    frozen->freeze(true);
    auto* locked = new MB_Layer(MB_String("Locked"));
    locked->visibility(true);
    locked->lock(true);
    locked->color(0x00FF00);
    d.layer_list().add_tail(frozen);
    d.layer_list().add_tail(locked);
    auto* door = new MB_Block(Qe_Pt(1, 2, 0), MB_String("door"), MB_String("Front door, 900 wide"));
    door->object_list().add_tail(geom(locked, 1, {Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)}));
    door->object_list().add_tail(geom(frozen, 2, {Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0)}));
    d.block_list().add_tail(door);
    Read_Geom* thick = geom(frozen, 3, {Qe_Pt(5, 5, 1), Qe_Pt(6, 7, 1), Qe_Pt(8, 8, 1)});
    thick->general().thickness(2.5);
    thick->general().line_scale(3.0);
    thick->general().width(0.25);
    thick->general().display_width(4);
    d.object_list().add_tail(thick);
    d.object_list().add_tail(geom(locked, 3, {Qe_Pt(-1, -1, 0), Qe_Pt(-2, 2, 0)}));
    d.object_list().add_tail(geom(nullptr, 3, {Qe_Pt(9, 9, 0), Qe_Pt(10, 9, 0)}));
    // Selected is a display state like normal: it is saved.
    Read_Geom* selected = geom(locked, 5, {Qe_Pt(3, 9, 0), Qe_Pt(4, 9, 0)});
    selected->flag(MB_Drawable::State_Selected);
    d.object_list().add_tail(selected);
    Read_Geom* hidden = geom(locked, 4, {Qe_Pt(0, 9, 0), Qe_Pt(1, 9, 0)});
    hidden->flag(MB_Drawable::State_Hidden);
    d.object_list().add_tail(hidden);
}

const char* layer_name(MB_Layer* l)
{
    return l ? l->name().ascii() : "<none>";
}

void expect_same_geom(MB_Object* a, MB_Object* b, const std::string& where)
{
    ASSERT_TRUE(a && b) << where;
    ASSERT_TRUE(a->is_drawable() && b->is_drawable()) << where;
    auto* ga = static_cast<Test_Geom*>(a);
    auto* gb = static_cast<Test_Geom*>(b);
    const MB_General &x = ga->general(), &y = gb->general();
    EXPECT_STREQ(layer_name(x.layer()), layer_name(y.layer())) << where;
    EXPECT_EQ(x.color(), y.color()) << where;
    EXPECT_EQ(x.thickness(), y.thickness()) << where;
    EXPECT_EQ(x.line_scale(), y.line_scale()) << where;
    EXPECT_EQ(x.width(), y.width()) << where;
    EXPECT_EQ(x.display_width(), y.display_width()) << where;
    ASSERT_EQ(ga->edge().count(), gb->edge().count()) << where;
    for (int i = 0; i < ga->edge().count(); ++i) EXPECT_TRUE(pt_eq(ga->edge().points()[i], gb->edge().points()[i]));
}

// Object-by-object comparison of what a save carries; hidden entities are not carried.
void expect_same(MB_Drawing& saved, MB_Drawing& loaded)
{
    ASSERT_EQ(saved.layer_list().count(), loaded.layer_list().count());
    for (MB_Object *a = saved.layer_list().get_head(), *b = loaded.layer_list().get_head(); a;
         a = a->next(), b = b->next()) {
        auto *la = static_cast<MB_Layer*>(a), *lb = static_cast<MB_Layer*>(b);
        EXPECT_EQ(la->name(), lb->name());
        EXPECT_EQ(la->flag(), lb->flag());
        EXPECT_EQ(la->color(), lb->color());
        EXPECT_EQ(la->freeze(), lb->freeze());
        EXPECT_EQ(la->lock(), lb->lock());
    }
    ASSERT_EQ(saved.block_list().count(), loaded.block_list().count());
    for (MB_Object *a = saved.block_list().get_head(), *b = loaded.block_list().get_head(); a;
         a = a->next(), b = b->next()) {
        auto *ba = static_cast<MB_Block*>(a), *bb = static_cast<MB_Block*>(b);
        EXPECT_EQ(ba->name(), bb->name());
        EXPECT_EQ(ba->desc(), bb->desc());
        EXPECT_TRUE(pt_eq(ba->base_pos(), bb->base_pos()));
        ASSERT_EQ(ba->object_list().count(), bb->object_list().count());
        int i = 0;
        for (MB_Object *m = ba->object_list().get_head(), *n = bb->object_list().get_head(); m;
             m = m->next(), n = n->next())
            expect_same_geom(m, n, "block member " + std::to_string(i++));
    }
    MB_Object* b = loaded.object_list().get_head();
    int i = 0;
    for (MB_Object* a = saved.object_list().get_head(); a; a = a->next()) {
        if (static_cast<MB_Drawable*>(a)->flag() == MB_Drawable::State_Hidden) continue;
        expect_same_geom(a, b, "entity " + std::to_string(i++));
        if (!b) return;
        b = b->next();
    }
    EXPECT_EQ(b, nullptr);
}

// Saves a drawing and returns the file's bytes.
Bytes saved_bytes(MB_Drawing& d, bool compressed, bool* ok = nullptr)
{
    Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    io.heuristics().set_allow_binary_data(compressed);
    const bool saved = io.save_jxb(f.path());
    if (ok) *ok = saved;
    return f.contents();
}

// Loads bytes into a drawing.
bool load_bytes(MB_Drawing& d, const Bytes& bytes)
{
    Temp_File f;
    f.contents(bytes);
    MB_File_IO io;
    io.drawing(&d);
    return io.load_jxb(f.path());
}

TEST(Save_Load, EmptyDrawingIsHeaderAndEndRecord)
{
    for (bool compressed : {true, false}) {
        MB_Drawing d;
        bool ok = false;
        const Bytes bytes = saved_bytes(d, compressed, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(to_hex(bytes), "28 56 4B 54 20 56 41 30 34 35 31 29 0D 0A 28 45 6E 64 4F 66 56 4B 54 29 0D 0A");
        MB_Drawing back;
        EXPECT_TRUE(load_bytes(back, bytes));
        EXPECT_EQ(back.file_revision(), 451);
    }
}

TEST(Save_Load, RoundTripPlainAndCompressed)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        Bytes first;
        {
            MB_Drawing d;
            fill(d);
            bool ok = false;
            first = saved_bytes(d, compressed, &ok);
            EXPECT_TRUE(ok);
            // Compression is used exactly when binary data is allowed.
            EXPECT_EQ(first.compare(12, k_marker.size(), k_marker) == 0, compressed);
            EXPECT_EQ(first.substr(first.size() - k_end.size()), k_end);

            MB_Operation op;  // a fresh operation, whose defaults the read entities must not keep
            MB_Drawing loaded;
            ASSERT_TRUE(load_bytes(loaded, first));
            expect_same(d, loaded);
            // Members and entities point at the loaded drawing's own layers.
            auto* member = static_cast<Test_Geom*>(
                static_cast<MB_Block*>(loaded.block_list().get_head())->object_list().get_head());
            EXPECT_EQ(member->general().layer(), loaded.find_layer("Locked"));
            const Bytes second = saved_bytes(loaded, compressed);
            EXPECT_EQ(to_hex(second), to_hex(first));
        }
        EXPECT_EQ(Test_Geom::s_live, 0);
    }
}

TEST(Save_Load, APointThatIsNotFiniteSpoilsNoPointAfterIt)
{
    // Points are stored as differences from the one before: a point without finite x or y
    // must not become the position the next differences start from.
    Registration reg('L', &mb_make_object<Read_Geom>);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<Qe_Pt>> sets = {
        {Qe_Pt(10.97, 0.1, 0), Qe_Pt(3, 4, 0)},
        {Qe_Pt(nan, 2, 0), Qe_Pt(5, 6, 0), Qe_Pt(7, inf, 0)},
        {Qe_Pt(-inf, -inf, 0)},
        {Qe_Pt(12.5, 0.25, 0), Qe_Pt(13, 1, 0)},
    };
    MB_Drawing d;
    for (const auto& set : sets) {
        auto* g = new Read_Geom;
        g->edge().init(static_cast<int>(set.size()), set.data());
        d.object_list().add_tail(g);
    }
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        bool ok = false;
        const Bytes bytes = saved_bytes(d, compressed, &ok);
        ASSERT_TRUE(ok);
        MB_Drawing back;
        ASSERT_TRUE(load_bytes(back, bytes));
        ASSERT_EQ(back.object_list().count(), static_cast<int>(sets.size()));
        std::size_t k = 0;
        for (MB_Object* o = back.object_list().get_head(); o; o = o->next(), ++k) {
            const Qe_Pt_Set& got = static_cast<Test_Geom*>(o)->edge();
            ASSERT_EQ(got.count(), static_cast<int>(sets[k].size()));
            for (int i = 0; i < got.count(); ++i) {
                const Qe_Pt &want = sets[k][i], &p = got.points()[i];
                SCOPED_TRACE("set " + std::to_string(k) + " point " + std::to_string(i));
                for (const auto& [a, b] : {std::pair(p.x(), want.x()), std::pair(p.y(), want.y())}) {
                    if (std::isnan(b))
                        EXPECT_TRUE(std::isnan(a));
                    else
                        EXPECT_EQ(a, b);
                }
            }
        }
    }
}

TEST(Save_Load, HandMadePlainFileLoadsAsWritten)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    const Bytes layer = "y" + counted("Walls") + hex("07 00") + hex("0B") + hex("02 00") + le_long(0x0000FF);
    const Bytes file = k_header + layer + "x" + counted("walls") + "n" + Bytes("\0\0\0\0\0\0\x04\x40", 8) +
                       geom_record({Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0)}) + hex("04 09") + "x" + le_long(0) +
                       geom_record({Qe_Pt(4, 4, 0)}) + k_end;
    MB_Drawing d;
    ASSERT_TRUE(load_bytes(d, file));
    ASSERT_EQ(d.layer_list().count(), 1);
    auto* walls = static_cast<MB_Layer*>(d.layer_list().get_head());
    EXPECT_EQ(walls->name(), MB_String("Walls"));
    EXPECT_EQ(walls->id(), 7);
    EXPECT_TRUE(walls->visibility());
    EXPECT_TRUE(walls->lock());
    EXPECT_FALSE(walls->freeze());
    EXPECT_EQ(walls->flag(), 0x0B);
    EXPECT_EQ(walls->color(), 0xFFu);
    // Entity, byte marker, entity, in stream order.
    ASSERT_EQ(d.object_list().count(), 3);
    auto* first = static_cast<Test_Geom*>(d.object_list().get_head());
    EXPECT_EQ(first->general().layer(), walls);
    EXPECT_EQ(first->general().thickness(), 2.5);
    EXPECT_TRUE(pt_eq(first->edge().points()[1], Qe_Pt(2, 3, 0)));
    ASSERT_EQ(first->next()->object_id(), MB_Object::ID_BYTE_MARKER);
    auto* last = static_cast<Test_Geom*>(d.object_list().get_tail());
    EXPECT_EQ(last->general().layer(), nullptr);  // the empty layer name
    EXPECT_EQ(last->general().thickness(), 2.5);
    EXPECT_TRUE(pt_eq(last->edge().points()[0], Qe_Pt(6, 7, 0)));  // relative to the last point
}

// Block framing records out of place are read past: an end record with no block open
// closes nothing, and a begin record inside an open block finishes the open one (it keeps
// its members) before the new one opens. Nothing after them is lost.
TEST(Save_Load, BlockRecordsOutOfPlaceDoNotStopTheLoad)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    const auto layer = [](const char* name) {
        return "y" + counted(name) + hex("00 00") + hex("01") + hex("00 00") + le_long(0xFFFFFF);
    };
    {
        MB_Drawing d;
        ASSERT_TRUE(load_bytes(d, k_header + layer("A") + "N" + layer("B") + k_end));
        ASSERT_EQ(d.layer_list().count(), 2);
        EXPECT_EQ(static_cast<MB_Layer*>(d.layer_list().get_tail())->name(), MB_String("B"));
        EXPECT_TRUE(d.block_list().is_empty());
    }
    const auto begin = [](const char* name) { return "B" + Bytes(24, '\0') + counted(name) + counted("d"); };
    MB_Drawing d;
    ASSERT_TRUE(load_bytes(d, k_header + begin("first") + geom_record({Qe_Pt(1, 0, 0)}) +
                                  geom_record({Qe_Pt(2, 0, 0)}) + begin("second") + geom_record({Qe_Pt(3, 0, 0)}) +
                                  "N" + geom_record({Qe_Pt(4, 0, 0)}) + "N" + layer("C") + k_end));
    EXPECT_EQ(d.temp_block(), nullptr);
    ASSERT_EQ(d.block_list().count(), 2);
    auto* first = static_cast<MB_Block*>(d.block_list().get_head());
    auto* second = static_cast<MB_Block*>(d.block_list().get_tail());
    EXPECT_EQ(first->name(), MB_String("first"));
    EXPECT_EQ(first->object_list().count(), 2);
    EXPECT_EQ(second->name(), MB_String("second"));
    EXPECT_EQ(second->object_list().count(), 1);
    // After the second block's end the entities are the drawing's again.
    ASSERT_EQ(d.object_list().count(), 1);
    // (each position runs on from the one before: 1, 1 + 2, 3 + 3, 6 + 4)
    EXPECT_EQ(static_cast<Test_Geom*>(d.object_list().get_head())->edge().points()[0].x(), 10.0);
    EXPECT_EQ(d.layer_list().count(), 1);
}

int scripted_answer(void* user, HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    auto* box = static_cast<std::vector<std::string>*>(user);
    box->push_back(std::string(text) + "|" + caption + "|" + std::to_string(type));
    return std::stoi(box->front());
}

TEST(Save_Load, HeaderVariants)
{
    const Bytes layer = "y" + counted("L") + hex("00 00 01 00 00") + le_long(0);
    struct Case {
        const char* header;
        int answer;  // the scripted button; 0: no box may be shown
        bool loads;
        int revision;
    };
    const Case cases[] = {
        {"(VKT VA0451)", 0, true, 451},   {"(JXB VA0451)", 0, true, 451},  {"(VKT V06.00)", 0, true, 100},
        {"(VKT VA0100)", 0, true, 100},   {"(VKT VA0452)", IDOK, true, 452}, {"(VKT VA0452)", IDCANCEL, false, 452},
        {"(DWG VA0451)", 0, false, 0},    {"(VKT VB0451)", 0, false, 0},   {"(VKT V6.00))", 0, false, 0},
        {"(VKT", 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        std::vector<std::string> box{std::to_string(c.answer)};
        platform_set_message_box_hook(&scripted_answer, &box);
        MB_Drawing d;
        EXPECT_EQ(load_bytes(d, Bytes(c.header) + layer + k_end), c.loads);
        platform_set_message_box_hook(nullptr, nullptr);
        EXPECT_EQ(d.file_revision(), c.revision);
        // Nothing is read after a refused header.
        EXPECT_EQ(d.layer_list().count(), c.loads ? 1 : 0);
        if (c.answer == 0) {
            EXPECT_EQ(box.size(), 1u);
        } else {
            ASSERT_EQ(box.size(), 2u);
            EXPECT_EQ(box[1],
                      "VKT file is new version, the applation can't open it! if continue??|"
                      "Tavimor open file error!!!|1");
        }
    }
    // The reader's own result for a foreign header and for a declined newer one.
    for (const char* header : {"(DWG VA0451)", "(VKT VA0452)"}) {
        std::vector<std::string> box{std::to_string(IDCANCEL)};
        platform_set_message_box_hook(&scripted_answer, &box);
        Stream s;
        ASSERT_EQ(s.open_read(Bytes(header) + k_end), 0);
        EXPECT_EQ(s.io.process_next_object(), MB_Result::Not_Native_Stream) << header;
        platform_set_message_box_hook(nullptr, nullptr);
    }
}

TEST(Save_Load, FailuresAreReported)
{
    MB_Drawing d;
    fill(d);
    MB_File_IO io;
    EXPECT_FALSE(io.save_jxb("/tmp/never_written.vkt"));  // no drawing
    EXPECT_FALSE(io.load_jxb("/tmp/never_written.vkt"));
    io.drawing(&d);
    // The file cannot be created or found.
    EXPECT_FALSE(io.save_jxb("/nonexistent-folder/x.vkt"));
    EXPECT_FALSE(io.load_jxb("/nonexistent-folder/x.vkt"));
    EXPECT_EQ(io.file_mode(), MB_File_IO::Mode_Closed);
    EXPECT_EQ(d.layer_list().count(), 2);
    // Every write is accepted into the buffer, and the flush at close fails.
    for (bool compressed : {false, true}) {
        io.heuristics().set_allow_binary_data(compressed);
        EXPECT_FALSE(io.save_jxb("/dev/full"));
    }
    // The file object is usable again afterwards.
    Temp_File f;
    EXPECT_TRUE(io.save_jxb(f.path()));
}

// A record that could not be written fails the save, wherever it stands: among the
// entities or inside a block.
TEST(Save_Load, ARecordThatCannotBeWrittenFailsTheSave)
{
    struct Failing_Geom : Read_Geom {
        MB_Result serialize(MB_File_IO&) override { return MB_Result::Write_Failed; }
    };
    const struct {
        const char* name;
        std::function<void(MB_Drawing&)> add;
    } cases[] = {
        {"entity", [](MB_Drawing& d) { d.object_list().add_head(new Failing_Geom); }},
        {"last entity", [](MB_Drawing& d) { d.object_list().add_tail(new Failing_Geom); }},
        {"block member",
         [](MB_Drawing& d) { static_cast<MB_Block*>(d.block_list().get_head())->object_list().add_tail(new Failing_Geom); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool compressed : {false, true}) {
            MB_Drawing d;
            fill(d);
            c.add(d);
            bool ok = true;
            saved_bytes(d, compressed, &ok);
            EXPECT_FALSE(ok);
        }
    }
}

// Showing a drawing hides the entities of frozen and switched-off layers; they still
// belong to the drawing and are saved, and come back on their layers. An entity hidden
// by itself on a visible layer is not saved. A selected entity is saved as any other.
TEST(Save_Load, EntitiesHiddenByTheirLayerSurviveARepaint)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    MB_Operation op;
    op.init(nullptr, "layers");
    MB_Drawing& d = *op.drawing();
    auto* frozen = new MB_Layer(MB_String("Frozen"));
    frozen->visibility(true);
    frozen->freeze(true);
    auto* off = new MB_Layer(MB_String("Off"));
    auto* on = new MB_Layer(MB_String("On"));
    on->visibility(true);
    for (MB_Layer* l : {frozen, off, on}) d.layer_list().add_tail(l);
    d.object_list().add_tail(geom(frozen, 1, {Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)}));
    d.object_list().add_tail(geom(off, 2, {Qe_Pt(0, 1, 0), Qe_Pt(1, 1, 0)}));
    Read_Geom* selected = geom(on, 3, {Qe_Pt(0, 2, 0), Qe_Pt(1, 2, 0)});
    d.object_list().add_tail(selected);
    Read_Geom* hidden = geom(on, 4, {Qe_Pt(0, 3, 0), Qe_Pt(1, 3, 0)});
    d.object_list().add_tail(hidden);

    op.build_draw();
    hidden->flag(MB_Drawable::State_Hidden);
    ASSERT_TRUE(op.add_entity_to_selection(selected, false));
    for (MB_Object* o = d.object_list().get_head(); o != selected; o = o->next())
        ASSERT_EQ(static_cast<MB_Drawable*>(o)->flag(), MB_Drawable::State_Hidden);

    Temp_File f;
    ASSERT_TRUE(op.save_jxb(f.path()));
    MB_Drawing back;
    ASSERT_TRUE(load_bytes(back, f.contents()));
    const char* expected[] = {"Frozen", "Off", "On"};
    const long colours[] = {1, 2, 3};
    int i = 0;
    for (MB_Object* o = back.object_list().get_head(); o; o = o->next(), ++i) {
        ASSERT_LT(i, 3);
        const MB_General& g = static_cast<MB_Drawable*>(o)->general();
        EXPECT_STREQ(layer_name(g.layer()), expected[i]);
        EXPECT_EQ(g.color(), colours[i]);
    }
    EXPECT_EQ(i, 3);
    MB_Layer* back_frozen = back.find_layer("Frozen");
    ASSERT_NE(back_frozen, nullptr);
    EXPECT_TRUE(back_frozen->freeze());
}

TEST(Save_Load, UndoRecordingIsPausedThroughout)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    MB_Drawing source;
    fill(source);
    const Bytes bytes = saved_bytes(source, true);
    MB_Operation op;
    op.init_undoredo(nullptr);
    MB_Undo_Redo* rec = op.undo_redo();
    Temp_File f;
    MB_File_IO io;
    MB_Drawing loaded;
    rec->rec_cmd_begin("save and load");
    io.drawing(&source);
    EXPECT_TRUE(io.save_jxb(f.path()));
    io.drawing(&loaded);
    EXPECT_TRUE(io.load_jxb(f.path()));
    EXPECT_TRUE(api_if_record_command());
    rec->rec_cmd_end();
    for (MB_Sub_Command* step = rec->last_cmd()->sub_command_head(); step; step = step->next())
        ADD_FAILURE() << "recorded: " << (step->right_object() ? step->right_object()->object_id() : -1);
    EXPECT_EQ(f.contents(), bytes);
}

TEST(Save_Load, EveryStreamStartsFromTheDefaults)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    MB_Drawing d;
    fill(d);
    Temp_File a, b;
    MB_File_IO io;
    io.drawing(&d);
    ASSERT_TRUE(io.save_jxb(a.path()));
    ASSERT_TRUE(io.save_jxb(b.path()));
    EXPECT_EQ(a.contents(), b.contents());

    // A reader does not carry the last layer of one drawing into the next.
    MB_Drawing first, second;
    io.drawing(&first);
    ASSERT_TRUE(io.load_jxb(a.path()));
    b.contents(k_header + geom_record({Qe_Pt()}) + k_end);
    io.drawing(&second);
    ASSERT_TRUE(io.load_jxb(b.path()));
    ASSERT_EQ(second.object_list().count(), 1);
    EXPECT_EQ(static_cast<Test_Geom*>(second.object_list().get_head())->general().layer(), nullptr);
}

TEST(Save_Load, ObjectsThatDoNotJoinTheDrawingAreFreed)
{
    // A drawable whose process does not take it is not kept by type.
    Registration reg('L', &mb_make_object<Test_Geom>);
    MB_Drawing d;
    EXPECT_TRUE(load_bytes(d, k_header + geom_record({Qe_Pt()}) + geom_record({Qe_Pt(1, 1, 1)}) + k_end));
    EXPECT_TRUE(d.object_list().is_empty());
    EXPECT_EQ(Test_Geom::s_live, 0);
}

// The single-byte table against the record list of the format: which class each byte
// makes, which bytes make nothing (5) and which are no opcode (2).
TEST(Object_Factory, TableMatchesTheRecordList)
{
    struct Entry {
        const char* bytes;
        int id;  // the object id made; 0: a record whose class is not present yet
    };
    const Entry table[] = {
        {"\x01" "a", 3},        {"\x03", 13}, {"\x04", 20}, {"\x06", 32}, {"\x0B" "L", 50}, {"\x0C", 33},
        {"\x10" "P", 71},        {"\x12" "e", 18}, {"\x14" "T", 88}, {"\x18" "x", 49}, {"\x19", 98},
        {"?", 94}, {"@", 44}, {"A", 36}, {"B", 6},  {"C", 37}, {"D", 79}, {"E", 27},  {"G", 47}, {"H", 34},
        {"I", 45}, {"J", 9},  {"K", 35}, {"N", 8},  {"O", 28},  {"Q", 21}, {"Ss", 59}, {"U", 100}, {"W", 10},
        {"X", 22}, {"Y", 97}, {"Z", 70}, {"b", 90}, {"d", 89}, {"h", 25}, {"i", 52}, {"j", 109}, {"l", 51},
        {"n", 96}, {"o", 40}, {"u", 91}, {"w", 92}, {"y", 48}, {"z", 101},
        {"FMRfmprt\x8D\x92", 0},
    };
    int expected_id[256];
    int expected_result[256];
    for (int b = 0; b < 256; ++b) {
        expected_id[b] = -1;
        expected_result[b] = MB_Result::Invalid_Data;
    }
    for (const Entry& e : table)
        for (const char* p = e.bytes; *p; ++p) {
            const auto b = static_cast<unsigned char>(*p);
            expected_id[b] = e.id;
            expected_result[b] = e.id ? 0 : int(MB_Result::Out_Of_Memory);
        }
    MB_Drawing d;
    MB_File_IO io;
    io.drawing(&d);
    for (int b = 0; b < 256; ++b) {
        MB_Opcode op = single(static_cast<unsigned char>(b));
        MB_Result r;
        MB_Object* obj = op.create_object(*io.rendition(), r, io);
        EXPECT_EQ(int(r), expected_result[b]) << "byte " << b;
        EXPECT_EQ(obj ? int(obj->object_id()) : 0, expected_id[b] > 0 ? expected_id[b] : 0) << "byte " << b;
        delete obj;
    }
    // Only bytes of the list can be registered.
    EXPECT_FALSE(MB_Object_Factory::register_maker(0xFF, &mb_make_object<Read_Geom>));
    EXPECT_EQ(MB_Object_Factory::maker(0xFF), nullptr);
    // A layer record starts as "layer0"; a colour record as white.
    MB_Result r;
    MB_Opcode y = single('y');
    MB_Object* layer = y.create_object(*io.rendition(), r, io);
    EXPECT_EQ(static_cast<MB_Layer*>(layer)->name(), MB_String("layer0"));
    delete layer;
}

TEST(Opcode_Reader, FormsAndStatistics)
{
    const std::string k39(39, 'k'), k40(40, 'k');
    struct Case {
        Bytes after_header;
        int result;
        int id;  // object id made, or 0
    };
    const Case cases[] = {
        {"(Color )", 0, MB_Object::ID_COLOR},
        {"(Colr )", MB_Result::Out_Of_Memory, 0},
        {"(Author 'x')", MB_Result::Out_Of_Memory, 0},
        {"(" + k39 + " )", MB_Result::Out_Of_Memory, 0},
        {"(" + k40 + " )", MB_Result::Invalid_Data, 0},
        {"(Co\x01lor", MB_Result::Invalid_Data, 0},
        {"  \r\n(EndOfVKT)", 0, MB_Object::ID_END_OF_STREAM},
        {"{" + le_long(0) + hex("23 01"), 0, MB_Object::ID_COMPRESSED_DATA},
        {"{" + le_long(0) + hex("01 00"), 0, MB_Object::ID_COLOR_MAP},
        {"{" + le_long(0) + hex("09 00"), MB_Result::Out_Of_Memory, 0},
        {"L", 0, MB_Object::ID_LINE},
        {"F", MB_Result::Out_Of_Memory, 0},
        {Bytes(1, '\xFF'), MB_Result::Invalid_Data, 0},
        {")", MB_Result::Invalid_Data, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_hex(c.after_header));
        Stream s;
        ASSERT_EQ(s.open_read(k_header + c.after_header), 0);
        ASSERT_EQ(s.io.process_next_object(), 0);  // the header
        EXPECT_EQ(int(s.io.get_next_object_shell()), c.result);
        MB_Object* o = s.io.current_object();
        EXPECT_EQ(o ? int(o->object_id()) : 0, c.id);
        EXPECT_EQ(s.io.close(), 0);
    }
    // A NUL byte is a blank between opcodes, so a lone 0x00 reaches the end of the data.
    Stream s;
    ASSERT_EQ(s.open_read(k_header + "(Author x)(Author y)h" + le_long(1) + "(Zz)"), 0);
    ASSERT_EQ(s.io.process_next_object(), 0);
    EXPECT_EQ(s.io.get_next_object_shell(), MB_Result::Out_Of_Memory);
    const MB_Opcode_Statistics* st = s.io.statistics();
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->counts[268], 1);  // the header
    EXPECT_EQ(st->counts[256], 1);
    EXPECT_EQ(st->counts[292], 1);  // a keyword that makes no object counts here too
    EXPECT_EQ(s.io.close(), 0);
}

TEST(Opcode_Reader, KeptAndFreedObjects)
{
    Stream s;
    ASSERT_EQ(s.open_read(k_header + "y" + counted("A") + hex("00 00 01 00 00") + le_long(0) + hex("03") +
                          le_long(5) + hex("04 07") + "h" + le_long(1) + k_end),
              0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(s.io.process_next_object(), 0) << i;
    EXPECT_EQ(s.io.process_next_object(), MB_Result::End_Of_Stream);
    EXPECT_EQ(s.io.close(), 0);
    ASSERT_EQ(s.drawing.layer_list().count(), 1);
    EXPECT_EQ(s.drawing.object_list().count(), 1);
    EXPECT_EQ(s.drawing.object_list().get_head()->object_id(), MB_Object::ID_BYTE_MARKER);
    EXPECT_EQ(s.io.fifo_rendition().color(), 5u);
}

// Streams that must fail without crashing, leaking or hanging; what was read before the
// failure stays.
TEST(Hostile_Input, RecordTable)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    const std::string long_name(1000, 'n');
    const Bytes begin = "B" + Bytes(24, '\0') + counted("blk") + counted("d");
    // A stream that holds a second compression marker inside its compressed stretch.
    Bytes two_markers;
    {
        Stream s;
        s.io.heuristics().set_allow_data_compression(true);
        ASSERT_EQ(s.open_write(), 0);
        EXPECT_EQ(s.io.write(static_cast<int>(k_marker.size()), reinterpret_cast<const unsigned char*>(k_marker.data())), 0);
        EXPECT_EQ(s.io.close(), 0);
        two_markers = s.file.contents();
    }
    struct Case {
        const char* name;
        Bytes bytes;
        bool loads;
    };
    const Case cases[] = {
        {"nested begin", k_header + begin + begin + geom_record({Qe_Pt()}) + "N" + "N" + k_end, true},
        {"end without begin", k_header + "N" + k_end, true},
        {"begin without end", k_header + begin + geom_record({Qe_Pt()}) + k_end, true},
        {"long layer name", k_header + "y" + counted(long_name) + hex("00 00 01 00 00") + le_long(0) + k_end, true},
        {"long names in fields", k_header + "w" + counted(long_name) + "J" + counted(long_name) + hex("06") +
                                     counted(long_name) + "x" + counted(long_name) + k_end,
         true},
        {"name longer than the file", k_header + "x" + le_long(1000) + "abc" + k_end, false},
        {"negative name length", k_header + "x" + le_long(-5) + k_end, false},
        {"binary opcode, negative length", k_header + "{" + le_long(-1) + hex("10 00") + "junk" + k_end, false},
        {"binary opcode, zero length", k_header + "{" + le_long(0) + hex("05 00") + k_end, false},
        {"colour map, negative length", k_header + "{" + le_long(-7) + hex("01 00") + le_long(-3) + k_end, false},
        {"two plain markers", k_header + k_marker + k_marker + k_end, false},
        {"second marker in the stretch", two_markers, false},
        {"no end record", k_header + geom_record({Qe_Pt()}), false},
        {"unknown opcode", k_header + Bytes(1, '\xFE') + k_end, false},
        {"record class not present", k_header + "T" + k_end, false},
        {"empty file", "", false},
    };
    for (const Case& c : cases) {
        MB_Drawing d;
        EXPECT_EQ(load_bytes(d, c.bytes), c.loads) << c.name;
        EXPECT_EQ(d.temp_block(), nullptr) << c.name;
    }
    // Long names read into fixed fields are cut.
    Stream s;
    ASSERT_EQ(s.open_read(k_header + "w" + counted(long_name) + "J" + counted(long_name)), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(s.io.process_next_object(), 0);
    EXPECT_EQ(std::strlen(s.io.fifo_rendition().text_style_name()), 255u);
    EXPECT_EQ(std::strlen(s.io.fifo_rendition().block_name()), 259u);
    EXPECT_EQ(s.io.close(), 0);
    // A begin record left open still joins the drawing, with what was read into it.
    MB_Drawing d;
    EXPECT_TRUE(load_bytes(d, k_header + begin + geom_record({Qe_Pt()}) + k_end));
    ASSERT_EQ(d.block_list().count(), 1);
    EXPECT_EQ(static_cast<MB_Block*>(d.block_list().get_head())->object_list().count(), 1);
}

std::vector<Bytes> golden_files()
{
    MB_Drawing d;
    fill(d);
    return {saved_bytes(d, false), saved_bytes(d, true), k_header + k_end};
}

TEST(Hostile_Input, TruncationAtEveryOffset)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    for (const Bytes& golden : golden_files()) {
        // The end record is complete once its ")" is read; the final line break is not needed.
        const std::size_t complete = golden.size() - 2;
        for (std::size_t n = 0; n < golden.size(); ++n) {
            MB_Drawing d;
            EXPECT_EQ(load_bytes(d, golden.substr(0, n)), n >= complete) << "at " << n << " of " << golden.size();
        }
    }
    EXPECT_EQ(Test_Geom::s_live, 0);
}

TEST(Hostile_Input, SeededMutations)
{
    Registration reg('L', &mb_make_object<Read_Geom>);
    std::mt19937 rng(20261210);
    const std::vector<Bytes> goldens = golden_files();
    int loaded = 0;
    for (int round = 0; round < 1500; ++round) {
        Bytes b = goldens[static_cast<std::size_t>(round) % 2];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % b.size();
            switch (rng() % 3) {
            case 0: b[at] = static_cast<char>(rng()); break;
            case 1: b.erase(at, 1 + rng() % 8); break;
            default: b.insert(at, Bytes(1 + rng() % 4, static_cast<char>(rng()))); break;
            }
            if (b.empty()) b = "(";
        }
        MB_Drawing d;
        loaded += load_bytes(d, b) ? 1 : 0;
    }
    // Some mutations only change a value; most break the stream.
    EXPECT_LT(loaded, 1500);
    EXPECT_EQ(Test_Geom::s_live, 0);
}

}  // namespace

namespace {

// A source that delivers one byte at a time: the opcode reader resumes where it stopped.
TEST(Opcode_Reader, ResumesAfterShortReads)
{
    MB_Drawing d;
    MB_File_IO io;
    io.drawing(&d);
    trickle(io, k_header + "  (Author 'x')" + "{" + le_long(0) + hex("10 00"));
    MB_Opcode& op = io.opcode();
    ASSERT_EQ(until_done([&] { return op.read_next(io); }), 0);
    EXPECT_EQ(Bytes(reinterpret_cast<const char*>(op.token()), 6), "(VKT V");
    MB_File_Header header;
    ASSERT_EQ(until_done([&] { return header.materialize(op, io); }), 0);
    EXPECT_EQ(io.paren_count(), 0);
    ASSERT_EQ(until_done([&] { return op.read_next(io); }), 0);
    EXPECT_EQ(op.kind(), MB_Opcode::Extended_Ascii);
    EXPECT_STREQ(reinterpret_cast<const char*>(op.token()), "(Author");
    ASSERT_EQ(until_done([&] { return op.skip_past_operands(io); }), 0);
    ASSERT_EQ(until_done([&] { return op.read_next(io); }), 0);
    EXPECT_EQ(op.kind(), MB_Opcode::Extended_Binary);
    EXPECT_EQ(op.extended_opcode(), 16);
    EXPECT_EQ(io.close(), 0);
}

TEST(Marker_Records, ByteMarkerAndCompressionMarker)
{
    // A marker read while a block is defined becomes one of its members.
    MB_Drawing d;
    const Bytes begin = "B" + Bytes(24, '\0') + counted("blk") + counted("d");
    ASSERT_TRUE(load_bytes(d, k_header + hex("04 01") + begin + hex("04 07") + "N" + k_end));
    ASSERT_EQ(d.object_list().count(), 1);
    auto* block = static_cast<MB_Block*>(d.block_list().get_head());
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(block->object_list().count(), 1);
    EXPECT_EQ(static_cast<MB_Byte_Marker*>(block->object_list().get_head())->value(), 7);

    // 'F' reads no value byte; other opcodes are refused.
    Stream s;
    ASSERT_EQ(s.open_read(hex("09")), 0);
    MB_Byte_Marker m;
    EXPECT_EQ(m.materialize(single('F'), s.io), 0);
    EXPECT_EQ(m.materialize(single('G'), s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(m.materialize(single(0x04), s.io), 0);
    EXPECT_EQ(m.value(), 9);

    // Its own drawing slot is virtual and draws nothing.
    struct Drawn_Marker : MB_Byte_Marker {
        void draw(HDC dc, Qe_Qdc& qdc, Qe_Tran& t) override
        {
            ++calls;
            MB_Byte_Marker::draw(dc, qdc, t);
        }
        int calls = 0;
    } drawn;
    HDC dc = platform_create_recording_dc(nullptr);
    Qe_Qdc qdc;
    Qe_Tran t;
    static_cast<MB_Byte_Marker&>(drawn).draw(dc, qdc, t);
    EXPECT_EQ(drawn.calls, 1);
    EXPECT_TRUE(platform_recorded_calls(dc).empty());
    DeleteDC(dc);

    // A second compression marker is refused and the first one's mode stays.
    MB_Compressed_Data first(17), second(16);
    EXPECT_EQ(first.process(s.io), 0);
    EXPECT_EQ(second.process(s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.data_decompression(), 17);
    EXPECT_EQ(s.io.close(), 0);
}

}  // namespace
