// The hatch entity: fill kinds by name, loops, rings, the solid fill's pixels, pens, pick,
// its '@' record, copies, undo and hostile records.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "geometry/hatch_type.h"
#include "geometry/loop.h"
#include "geometry/loop_search.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/hatch.h"

using namespace entity_test;

namespace {

using Ring = std::vector<Qe_Pt>;

Ring square(double x0, double y0, double x1, double y1) { return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}; }

Qe_Loop* loop_of(const Ring& r)
{
    auto* l = new Qe_Loop();
    for (const Qe_Pt& p : r) l->add(p);
    return l;
}

// A hatch on the stream's default general properties.
MB_Hatch* hatch(const char* name, const std::vector<Ring>& rings, const std::vector<const char*>& lines = {})
{
    auto* h = new MB_Hatch;
    h->general().color(0);
    h->general().width(1.0);
    h->get_hatchtype()->name(MB_String(name));
    for (const char* l : lines) EXPECT_TRUE(h->get_hatchtype()->add_string(MB_String(l)));
    for (const Ring& r : rings) h->loop_add(loop_of(r));
    return h;
}

std::vector<std::vector<Qe_Pt>> runs_of(MB_Hatch& h)
{
    std::vector<std::vector<Qe_Pt>> out;
    for (Qe_Void_Node* n = h.ptsets_list().head(); n; n = n->next()) {
        auto* s = static_cast<Qe_Pt_Sets*>(n->entity());
        mb_ulong k = 0;
        for (mb_ulong i = 0; i < s->ptset_count(); ++i) {
            std::vector<Qe_Pt> run;
            for (mb_ulong j = 0; j < s->vals()[i]; ++j) run.push_back(s->points()[k++]);
            out.push_back(run);
        }
    }
    return out;
}

Bytes loop_bytes(const std::vector<Ring>& rings, Qe_Pt& running)
{
    Bytes out = le_long(static_cast<mb_long>(rings.size()));
    for (const Ring& r : rings) out += le_long(static_cast<mb_long>(r.size()));
    for (const Ring& r : rings)
        for (const Qe_Pt& p : r) {
            out += position(p, running);
            running = p;
        }
    return out;
}

Bytes hatch_record(const std::vector<Ring>& rings, const std::string& name, double angle, double scale,
                   const std::vector<std::string>& lines)
{
    Qe_Pt running;
    Bytes out = "@" + k_no_xdata + loop_bytes(rings, running);
    out += counted(name) + le_double(angle) + le_double(scale) + le_long(static_cast<mb_long>(lines.size()));
    for (const std::string& l : lines) out += counted(l);
    return out;
}

}  // namespace

TEST(Hatch, FillKindByNameInAnyCase)
{
    struct Case {
        const char* name;
        bool solid, offset;
    } cases[] = {
        {"SOLID", true, false},  {"solid", true, false},         {"Solid", true, false},
        {"_solid", true, false}, {"_SOLID", true, false},        {"TAVIMOR_offset", false, true},
        {"SOLIDX", false, false}, {"ANSI31", false, false},       {"", false, false},
    };
    for (const Case& c : cases) {
        MB_Hatch h;
        h.get_hatchtype()->name(MB_String(c.name));
        EXPECT_EQ(h.is_solid(), c.solid) << c.name;
        EXPECT_EQ(h.is_offset(), c.offset) << c.name;
    }
}

TEST(Hatch, OneVertexLoopsAreDroppedAndAnEmptyHatchDrawsNothing)
{
    Op_Fixture f;
    MB_Hatch* h = hatch("ANSI", {square(0, 0, 10, 10)}, {"0,0,0.5,0,1"});
    h->build_draw();
    EXPECT_FALSE(h->ptsets_list().is_empty());
    // The boundary collapses to one vertex: the loop goes, and the old fill with it.
    for (Qe_Void_Node* n = h->loop_list().head(); n; n = n->next()) delete static_cast<Qe_Loop*>(n->entity());
    h->loop_list().clear();
    h->loop_add(loop_of({{3, 3, 0}}));
    h->build_draw();
    EXPECT_TRUE(h->loop_list().is_empty());
    EXPECT_TRUE(h->ptsets_list().is_empty());
    Raster r(40, 40);
    Qe_Tran id;
    h->draw(nullptr, r.q, id);
    EXPECT_EQ(r.drawn(), 0);
    delete h;
}

TEST(Hatch, OffsetRings)
{
    const Ring outline = square(0, 0, 20, 10);
    // Count 1: exactly the first ring, stored closed (n + 1 points).
    MB_Hatch* one = hatch("TAVIMOR_OFFSET", {outline});
    one->get_hatchtype()->patterntype(1);
    one->build_draw();
    auto runs = runs_of(*one);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].size(), 5u);
    EXPECT_TRUE(pt_eq(runs[0].front(), runs[0].back()));
    // Count -1: rings until one no longer lies strictly inside the one before.
    MB_Hatch* many = hatch("tavimor_offset", {outline});
    many->get_hatchtype()->patterntype(-1);
    many->get_hatchtype()->scale(1.5);
    many->build_draw();
    runs = runs_of(*many);
    ASSERT_GE(runs.size(), 2u);
    EXPECT_LE(runs.size(), 4u);  // rings 1.5 apart fit three times in half the height
    for (std::size_t i = 1; i < runs.size(); ++i) {
        Qe_Rect outer(runs[i - 1].data(), static_cast<int>(runs[i - 1].size()));
        Qe_Rect inner(runs[i].data(), static_cast<int>(runs[i].size()));
        EXPECT_TRUE(outer.rect_in_rect(inner)) << i;
    }
    // A ring count of a billion is bounded; the rings end where they stop shrinking.
    MB_Hatch* huge = hatch("TAVIMOR_OFFSET", {outline});
    huge->get_hatchtype()->patterntype(1000000000);
    huge->build_draw();
    MB_Hatch* all = hatch("TAVIMOR_OFFSET", {outline});
    all->get_hatchtype()->patterntype(-1);
    all->build_draw();
    EXPECT_EQ(runs_of(*huge).size(), runs_of(*all).size());
    EXPECT_GE(runs_of(*all).size(), 2u);
    delete one;
    delete many;
    delete huge;
    delete all;
}

TEST(Hatch, SolidFillLeavesTheHoleOfAnIsland)
{
    Op_Fixture f;
    MB_Hatch* h = hatch("_SOLID", {square(5, 5, 35, 35), square(15, 15, 25, 25)});
    h->general().color(0x0000FF);
    h->build_draw();
    Raster r(40, 40);
    Qe_Tran id;
    h->draw(nullptr, r.q, id);
    // The even-odd mask of the two squares, away from their outlines.
    int wrong = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            auto near = [](int v, int e) { return std::abs(v - e) <= 1; };
            if (near(x, 5) || near(x, 35) || near(y, 5) || near(y, 35) || near(x, 15) || near(x, 25) || near(y, 15) ||
                near(y, 25))
                continue;
            const bool in_outer = x > 5 && x < 35 && y > 5 && y < 35;
            const bool in_inner = x > 15 && x < 25 && y > 15 && y < 25;
            const COLORREF want = in_outer != in_inner ? RGB(255, 0, 0) : RGB(255, 255, 255);
            wrong += r.pixel(x, y) != want;
        }
    EXPECT_EQ(wrong, 0);
    delete h;
}

TEST(Hatch, SelectedPatternLinesUseTheDottedSelectionPen)
{
    Op_Fixture f;
    f.settings().set_long_val(MB_System_Setting::k_long_selection, 0x00AB12);
    MB_Hatch* h = hatch("LINES", {square(0, 0, 10, 10)}, {"0,0,0.5,0,1"});
    h->general().color(0x0000FF);
    h->build_draw();
    Qe_Qdc qdc;
    Qe_Tran id;
    for (const bool selected : {false, true}) {
        h->flag(selected ? MB_Drawable::State_Selected : MB_Drawable::State_Normal);
        Recording_Dc dc;
        h->draw(dc.dc, qdc, id);
        int lines = 0;
        for (const Platform_Call& c : dc.calls()) {
            if (c.name != "Polyline") continue;
            ++lines;
            EXPECT_EQ(c.pen.lopnStyle, static_cast<UINT>(selected ? PS_DOT : PS_SOLID));
            EXPECT_EQ(c.pen.lopnColor, selected ? 0x00AB12u : 0x0000FFu);
        }
        EXPECT_EQ(lines, 10);
    }
    delete h;
}

TEST(Hatch, PickInsideTheFillOrNearALine)
{
    MB_Hatch* solid = hatch("SOLID", {square(0, 0, 10, 10), square(4, 4, 6, 6)});
    solid->build_draw();
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_NE(solid->pick(Qe_Pt(2, 2, 0), hits, 0.1, out, kind, extra), 0);
    EXPECT_EQ(kind, 80);
    EXPECT_TRUE(pt_eq(out, Qe_Pt(2, 2, 0)));
    EXPECT_EQ(solid->pick(Qe_Pt(5, 5, 0), hits, 0.1, out, kind, extra), 0);  // in the hole
    EXPECT_EQ(solid->pick(Qe_Pt(12, 5, 0), hits, 0.1, out, kind, extra), 0);

    MB_Hatch* lines = hatch("LINES", {square(0, 0, 10, 10)}, {"0,0,0.5,0,1"});
    lines->build_draw();
    kind = 0;
    EXPECT_NE(lines->pick(Qe_Pt(3, 2.55, 0), hits, 0.1, out, kind, extra), 0);
    EXPECT_EQ(kind, 80);
    EXPECT_NEAR(out.y(), 2.5, 1e-9);
    EXPECT_EQ(lines->pick(Qe_Pt(3, 2.8, 0), hits, 0.1, out, kind, extra), 0);
    delete solid;
    delete lines;
}

TEST(Hatch, EnclosingLoopIsLeftOutButKept)
{
    Op_Fixture f;
    const std::vector<Ring> rings = {square(0, 0, 30, 20), square(2, 2, 8, 8), square(12, 2, 18, 8)};
    MB_Hatch* h = hatch("SOLID", rings);
    h->type(1);
    for (int i = 0; i < 3; ++i) h->build_draw();
    EXPECT_EQ(h->loop_list().count(), 3);
    EXPECT_EQ(h->excluded_loop(), h->loop_list().first());
    // Only the inner loops are filled, picked, bounded and written.
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_NE(h->pick(Qe_Pt(5, 5, 0), hits, 0.1, out, kind, extra), 0);
    EXPECT_EQ(h->pick(Qe_Pt(25, 15, 0), hits, 0.1, out, kind, extra), 0);
    EXPECT_DOUBLE_EQ(h->rect().lt().x(), 2.0);
    EXPECT_DOUBLE_EQ(h->rect().rb().x(), 18.0);
    EXPECT_EQ(to_hex(record_bytes(*h)), to_hex(hatch_record({rings[1], rings[2]}, "SOLID", 0.0, 1.0, {})));
    // Type 0 keeps them all.
    h->type(0);
    h->build_draw();
    EXPECT_EQ(h->excluded_loop(), nullptr);
    EXPECT_NE(h->pick(Qe_Pt(25, 15, 0), hits, 0.1, out, kind, extra), 0);
    delete h;
}

TEST(Hatch, GoldenRecordAndRoundTripWithItsResets)
{
    const std::vector<Ring> rings = {square(1, 2, 7, 9), {{3, 4, 0.5}, {5, 4, 0}, {4, 6, 0}}};
    MB_Hatch* h = hatch("ANSI31", rings, {"45,0,0,0,3.175", "45,1,0,0,3.175,2,-1"});
    h->get_hatchtype()->angle(0.25);
    h->get_hatchtype()->scale(2.5);
    h->type(2);
    h->set_solidfill(true);
    h->scale(3.0);
    h->angle(1.0);
    h->base_pos(Qe_Pt(1, 1, 1));
    h->get_hatchtype()->patterntype(9);
    const Bytes golden = hatch_record(rings, "ANSI31", 0.25, 2.5, {"45,0,0,0,3.175", "45,1,0,0,3.175,2,-1"});
    MB_Result res = MB_Result::Internal_Error;
    EXPECT_EQ(to_hex(record_bytes(*h, &res)), to_hex(golden));
    EXPECT_EQ(res, 0);

    Record_Reader rd;
    ASSERT_EQ(rd.read(golden), 0);
    auto* back = rd.first<MB_Hatch>();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->object_id(), MB_Object::ID_HATCH);
    EXPECT_EQ(back->loop_list().count(), 2);
    EXPECT_STREQ(back->get_string(mb_key::Pattern_Name), "ANSI31");
    EXPECT_EQ(back->get_real(mb_key::Angle), 0.25);
    EXPECT_EQ(back->get_real(mb_key::Pattern_Scale), 2.5);
    EXPECT_EQ(back->get_hatchtype()->string_list().count(), 2);
    // Not in the record: back to their defaults.
    EXPECT_EQ(back->type(), 0);
    EXPECT_FALSE(back->solidfill());
    EXPECT_EQ(back->scale(), 1.0);
    EXPECT_EQ(back->angle(), 0.0);
    EXPECT_TRUE(pt_eq(back->base_pos(), Qe_Pt()));
    EXPECT_EQ(back->get_hatchtype()->patterntype(), 1);
    // Written again, byte for byte.
    EXPECT_EQ(to_hex(record_bytes(*back)), to_hex(golden));
    delete h;
}

TEST(Hatch, PropertiesAndRegistryNames)
{
    MB_Hatch* h = hatch("", {square(0, 0, 4, 3), square(1, 1, 2, 2)});
    h->build_draw();
    EXPECT_EQ(h->get_int(mb_key::Loop_Count), 2);
    EXPECT_DOUBLE_EQ(h->get_real(mb_key::Area), 12.0);
    EXPECT_DOUBLE_EQ(h->get_real(mb_key::Length), 14.0);
    MB_Hatch empty;
    EXPECT_EQ(empty.get_int(mb_key::Loop_Count), 0);
    EXPECT_EQ(empty.get_real(mb_key::Area), 0.0);

    Qe_Hacthtype* t = g_hatch_type_list.add_htype("HATCH_TEST_NET", "a net");
    t->add_data("0,0,0,0,1");
    t->add_data("90,0,0,0,1");
    h->set_string(mb_key::Pattern_Name, "hatch_test_net");
    EXPECT_STREQ(h->get_string(mb_key::Pattern_Name), "HATCH_TEST_NET");
    EXPECT_EQ(h->get_hatchtype()->string_list().count(), 2);
    EXPECT_EQ(h->get_hatchtype()->desc(), MB_String("a net"));
    h->set_string(mb_key::Pattern_Name, "no such pattern");  // unknown: unchanged
    EXPECT_STREQ(h->get_string(mb_key::Pattern_Name), "HATCH_TEST_NET");
    h->set_real(mb_key::Angle, 0.5);
    h->set_real(mb_key::Pattern_Scale, 2.0);
    EXPECT_EQ(h->get_hatchtype()->angle(), 0.5);
    EXPECT_EQ(h->get_hatchtype()->scale(), 2.0);
    h->build_draw();
    EXPECT_FALSE(h->ptsets_list().is_empty());
    delete h;
}

TEST(Hatch, CopiesOfARotatedDashedHatchDrawTheSameSpans)
{
    MB_Hatch* h = hatch("DASH", {square(0, 0, 12, 8), square(3, 3, 5, 5)}, {"0,0,0.3,0,1.2,2,-1"});
    h->get_hatchtype()->angle(0.5);
    h->get_hatchtype()->desc(MB_String("rotated"));
    h->get_hatchtype()->patterntype(4);
    h->type(1);
    h->set_solidfill(true);
    h->base_pos(Qe_Pt(2, 2, 0));
    h->build_draw();
    const auto original = runs_of(*h);
    ASSERT_GT(original.size(), 20u);

    MB_Object* made = nullptr;
    ASSERT_TRUE(h->copy_to(made));
    auto* copy = dynamic_cast<MB_Hatch*>(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->get_hatchtype()->angle(), 0.5);
    EXPECT_EQ(copy->get_hatchtype()->desc(), MB_String("rotated"));
    EXPECT_EQ(copy->get_hatchtype()->patterntype(), 4);
    EXPECT_EQ(copy->type(), 1);
    EXPECT_TRUE(copy->solidfill());
    EXPECT_TRUE(pt_eq(copy->base_pos(), Qe_Pt(2, 2, 0)));
    copy->build_draw();
    const auto copied = runs_of(*copy);
    ASSERT_EQ(copied.size(), original.size());
    for (std::size_t i = 0; i < copied.size(); ++i)
        for (std::size_t k = 0; k < copied[i].size(); ++k) EXPECT_TRUE(pt_eq(copied[i][k], original[i][k]));

    // A mirrored copy hatches the mirrored loops at the copied pattern: the same number of
    // dashes, each of the pattern's length where not clipped.
    // An existing hatch filled by copy_to, then mirrored: its dashes keep the pattern's
    // angle and length.
    MB_Hatch twin;
    MB_Object* into = &twin;
    ASSERT_TRUE(h->copy_to(into));
    twin.translate(reflect_transf(Qe_Vec(1, 0, 0)), 0);
    twin.build_draw();
    const auto mirrored = runs_of(twin);
    ASSERT_FALSE(mirrored.empty());
    int full = 0;
    for (const auto& run : mirrored) {
        ASSERT_EQ(run.size(), 2u);
        const Qe_Vec d = run[1] - run[0];
        EXPECT_NEAR(std::remainder(std::atan2(d.y(), d.x()) - 0.5, M_PI), 0.0, 1e-9);
        EXPECT_LE(run[0].x(), 1e-9);  // on the mirrored side
        if (std::fabs(d.len() - 2.0) < 1e-9) ++full;
    }
    EXPECT_GT(full, 10);
    // A copy constructed from the hatch is deep as well.
    MB_Hatch other(*h);
    EXPECT_NE(other.loop_list().first(), h->loop_list().first());
    EXPECT_NE(other.ptsets_list().first(), h->ptsets_list().first());
    EXPECT_EQ(runs_of(other).size(), original.size());
    EXPECT_NE(other.get_hatchtype()->string_list().first(), h->get_hatchtype()->string_list().first());
    delete copy;
    delete h;
}

TEST(Hatch, UndoRestoresTheRecordBytes)
{
    Op_Fixture f;
    const std::vector<Ring> rings = {square(0, 0, 10, 10), square(2, 2, 4, 4)};
    expect_undo_redo_state(f, hatch("ANSI", rings, {"0,0,0,0,1"}), [](MB_Object& o) { o.set_real(mb_key::Angle, 0.7); },
                           "angle");
    expect_undo_redo_state(f, hatch("ANSI", rings, {"0,0,0,0,1"}),
                           [](MB_Object& o) { o.set_real(mb_key::Pattern_Scale, 3.0); }, "scale");
    expect_undo_redo_state(f, hatch("ANSI", rings, {"0,0,0,0,1"}),
                           [](MB_Object& o) {
                               static_cast<MB_Hatch&>(o).translate(translate_transf(Qe_Vec(5, -2, 0)), 0);
                           },
                           "translate");
    expect_undo_redo_state(f, hatch("ANSI", rings, {"0,0,0,0,1"}),
                           [](MB_Object& o) {
                               auto& h = static_cast<MB_Hatch&>(o);
                               h.modify_cmd();
                               h.loop_add(loop_of(square(6, 6, 8, 8)));
                           },
                           "loops");
}

TEST(Hatch, TextOutlineLoopsMakeASolidHatchInTheDrawing)
{
    // The conversion's path: loop search over an outline with a counter, one "_SOLID"
    // hatch with a Qe_Loop per found loop, built and linked into the drawing.
    Op_Fixture f;
    const std::vector<Ring> contours = {square(4, 4, 36, 36), square(14, 14, 26, 26)};
    Qe_Search_Loops search;
    for (const Ring& c : contours)
        for (std::size_t i = 0; i < c.size(); ++i)
            search.segment_list().add(new Qe_Segment(c[i], c[(i + 1) % c.size()], nullptr));
    search.remove_error_segment();
    search.bulid_intersect();
    search.del_invalid_intersect();
    search.create_intersect_relation();
    search.order_add_remove_error_intersect_points();
    search.search_min_loops();
    ASSERT_EQ(search.result_list().count(), 2);
    auto* h = new MB_Hatch;
    for (Qe_Void_Node* n = search.result_list().head(); n; n = n->next()) {
        auto* found = static_cast<Qe_Loop*>(n->entity());
        auto* loop = new Qe_Loop;
        const Qe_Loop_Node* v = found->head();
        do {
            loop->add(v->point());
            v = v->next();
        } while (v && v != found->head());
        h->loop_add(loop);
        delete found;
    }
    search.result_list().clear();
    h->general().color(0x00FF00);
    h->get_hatchtype()->name(MB_String("_SOLID"));
    h->build_draw();
    f.drawing->object_list().add_tail(h);
    f.drawing->build_draw();
    EXPECT_EQ(h->loop_list().count(), 2);
    Raster r(40, 40);
    Qe_Tran id;
    h->draw(nullptr, r.q, id);
    EXPECT_EQ(r.pixel(9, 20), RGB(0, 255, 0));
    EXPECT_EQ(r.pixel(20, 20), RGB(255, 255, 255));
    EXPECT_EQ(r.pixel(1, 1), RGB(255, 255, 255));
}

TEST(Hatch, HostileRecordsFailCleanly)
{
    const Bytes golden = hatch_record({square(0, 0, 5, 5), square(1, 1, 2, 2)}, "ANSI", 0.0, 1.0, {"0,0,0,0,1"});
    // Cut at every offset: never success, never a crash.
    for (std::size_t cut = 1; cut < golden.size(); ++cut) {
        Record_Reader rd;
        EXPECT_NE(rd.read_raw(k_header + golden.substr(0, cut)), 0) << cut;
        EXPECT_EQ(rd.count(), 0) << cut;
    }
    // Absurd counts: loops, vertices and pattern lines.
    const Bytes head = "@" + k_no_xdata;
    const Bytes bad[] = {
        head + le_long(-1),
        head + le_long(0x7FFFFFFF),
        head + le_long(1) + le_long(0x7FFFFFFF),
        head + le_long(2) + le_long(0x1000000) + le_long(0x1000000),
        head + le_long(1) + le_long(-5),
        head + le_long(0) + counted("X") + le_double(0) + le_double(1) + le_long(0x7FFFFFFF),
        head + le_long(0) + counted("X") + le_double(0) + le_double(1) + le_long(-1),
    };
    for (const Bytes& b : bad) {
        Record_Reader rd;
        EXPECT_NE(rd.read(b), 0);
        EXPECT_EQ(rd.count(), 0);
    }
    // A 10,000-character pattern line, NaN fields and a loop with NaN vertices read,
    // build and draw.
    std::string line = "0,0,0,0,0.5";
    while (line.size() < 10000) line += ",0.25,-0.25";
    const double nan = std::nan("");
    for (const double value : {1.0, nan}) {
        Record_Reader rd;
        ASSERT_EQ(rd.read(hatch_record({square(0, 0, 5, 5), {{nan, 1, 0}, {2, nan, 0}, {3, 3, 0}}}, "ODD", value == 1.0 ? 0.0 : nan,
                                       value, {line, "nan,0,0,0,1", "0,0,0,0,0"})),
                  0);
        auto* h = rd.first<MB_Hatch>();
        ASSERT_NE(h, nullptr);
        h->build_draw();
        EXPECT_EQ(h->ptsets_list().is_empty(), value != 1.0);
        Raster r(20, 20);
        Qe_Tran id;
        h->draw(nullptr, r.q, id);
        // The same loops as a solid fill.
        h->get_hatchtype()->name(MB_String("SOLID"));
        h->build_draw();
        h->draw(nullptr, r.q, id);
    }
}
