// The road's text explosion, and the two kernel functions it is built from: chains made from
// point lists, and drawing geometry turned into loop-search segments. The texts here are
// stand-ins with the text kind and a display node built in the test, so that outlines,
// filling and colours are exactly known.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <string>

#include "Drakmere.h"
#include "common/freetype_text.h"
#include "converter/text_explosion.h"
#include "kernel/text/text_fixture.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_writer.h"

namespace {

// A text as the explosion sees it: the text kind with a given display node.
class Stand_In_Text : public MB_Lines {
public:
    MB_ID object_id() const override { return ID_TEXT; }
    void show(MB_Draw_Node* node) { draw_node(node); }
};

bool same_point(const Qe_Pt& a, const Qe_Pt& b)
{
    return a.x() == b.x() && a.y() == b.y() && a.z() == b.z();
}

using Ring = std::vector<Qe_Pt>;

Ring square(double x, double y, double size)
{
    return {{x, y, 0}, {x + size, y, 0}, {x + size, y + size, 0}, {x, y + size, 0}, {x, y, 0}};
}

// A text whose node holds the rings as runs, filled or not.
MB_Drawable* text_of(const std::vector<Ring>& rings, bool filled, long colour)
{
    auto* text = new Stand_In_Text;
    // (the stand-in's own chain stays empty: only its node is looked at)
    text->general().color(colour);
    if (rings.empty()) return text;
    auto* node = new MB_Draw_Lines_Sets(colour, text);
    std::vector<mb_ulong> counts;
    std::vector<Qe_Pt> pts;
    for (const Ring& r : rings) {
        counts.push_back(static_cast<mb_ulong>(r.size()));
        pts.insert(pts.end(), r.begin(), r.end());
    }
    EXPECT_TRUE(node->init(static_cast<mb_ulong>(counts.size()), counts.data(), pts.data()));
    node->is_filled(filled);
    text->show(node);
    return text;
}

struct Kinds {
    int texts = 0, chains = 0, hatches = 0;
    std::vector<MB_Hatch*> hatch_list;
    std::vector<MB_Lines*> chain_list;
};

Kinds kinds_of(MB_Drawing& d)
{
    Kinds k;
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next()) {
        if (o->object_id() == MB_Object::ID_TEXT) ++k.texts;
        if (o->object_id() == MB_Object::ID_LINES) {
            ++k.chains;
            k.chain_list.push_back(static_cast<MB_Lines*>(o));
        }
        if (o->object_id() == MB_Object::ID_HATCH) {
            ++k.hatches;
            k.hatch_list.push_back(static_cast<MB_Hatch*>(o));
        }
    }
    return k;
}

double loop_area(const Qe_Loop& loop)
{
    double a = 0;
    const Qe_Loop_Node* v = loop.head();
    for (long i = 0; i < loop.count() && v; ++i, v = v->next()) {
        const Qe_Pt p = v->point(), q = v->next() ? v->next()->point() : loop.head()->point();
        a += p.x() * q.y() - q.x() * p.y();
    }
    return std::fabs(a) / 2;
}

struct Explode_Fixture : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(op.create_drawing("explode")); }
    MB_Drawing& drawing() { return *op.drawing(); }
    MB_Operation op;
};

TEST_F(Explode_Fixture, NoTextsLeaveTheDrawingAlone)
{
    drawing().object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)));
    EXPECT_EQ(explode_texts(&op), 0);
    EXPECT_EQ(drawing().object_list().count(), 1);
    EXPECT_EQ(explode_texts(nullptr), 0);
}

TEST_F(Explode_Fixture, FilledTextBecomesItsOutlinesAndOneSolidHatch)
{
    const long red = 0x0000FF;
    // An "O": an outer ring with a hole.
    drawing().object_list().add_tail(text_of({square(0, 0, 10), square(3, 3, 4)}, true, red));
    drawing().object_list().add_tail(new MB_Line(Qe_Pt(20, 0, 0), Qe_Pt(30, 0, 0)));
    EXPECT_EQ(explode_texts(&op), 1);
    const Kinds k = kinds_of(drawing());
    EXPECT_EQ(k.texts, 0);
    ASSERT_EQ(k.chains, 2);
    ASSERT_EQ(k.hatches, 1);
    for (MB_Lines* c : k.chain_list) {
        EXPECT_EQ(c->general().color(), red);
        EXPECT_EQ(c->count(), 5);
    }
    MB_Hatch& h = *k.hatch_list[0];
    EXPECT_EQ(h.general().color(), red);
    EXPECT_STREQ(h.get_hatchtype()->name().ascii(), "_SOLID");
    EXPECT_TRUE(h.is_solid());
    // The minimal loops: the outer square and the hole, filled by parity as the text was.
    std::vector<double> areas;
    for (Qe_Void_Node* n = h.loop_list().head(); n; n = n->next()) areas.push_back(loop_area(*static_cast<Qe_Loop*>(n->entity())));
    std::sort(areas.begin(), areas.end());
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_NEAR(areas[0], 16, 1e-9);
    EXPECT_NEAR(areas[1], 100, 1e-9);
    // Order: the line that was there, then the outlines, then the hatch.
    MB_Object* o = drawing().object_list().get_head();
    EXPECT_EQ(o->object_id(), MB_Object::ID_LINE);
    EXPECT_EQ(o->next()->object_id(), MB_Object::ID_LINES);
    EXPECT_EQ(o->next()->next()->object_id(), MB_Object::ID_LINES);
    EXPECT_EQ(o->next()->next()->next()->object_id(), MB_Object::ID_HATCH);
}

TEST_F(Explode_Fixture, CasesByKindOfNode)
{
    struct Case {
        const char* name;
        std::vector<std::vector<Ring>> texts;  // per text its rings
        bool filled;
        int texts_left, chains, hatches;
    };
    const Case cases[] = {
        // Stroke fonts give strokes: an "O" of strokes stays a ring, not a disc.
        {"stroke text: outlines only", {{square(0, 0, 10), square(3, 3, 4)}}, false, 0, 2, 0},
        {"two filled texts: two hatches", {{square(0, 0, 5)}, {square(10, 0, 5)}}, true, 0, 2, 2},
        // An open stroke encloses nothing: no hatch, the text still goes.
        {"filled text enclosing nothing", {{{{0, 0, 0}, {5, 0, 0}, {5, 5, 0}}}}, true, 0, 1, 0},
        // A text that shows nothing (a font without glyphs) stays a text.
        {"text without runs", {{}}, true, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MB_Operation fresh;
        ASSERT_TRUE(fresh.create_drawing("cases"));
        for (const auto& rings : c.texts) fresh.drawing()->object_list().add_tail(text_of(rings, c.filled, 0x00FF00));
        (void)explode_texts(&fresh);
        const Kinds k = kinds_of(*fresh.drawing());
        EXPECT_EQ(k.texts, c.texts_left);
        EXPECT_EQ(k.chains, c.chains);
        EXPECT_EQ(k.hatches, c.hatches);
    }
}

TEST_F(Explode_Fixture, TextsInsideBlocksAreLeftAlone)
{
    auto* block = new MB_Block;
    block->object_list().add_tail(text_of({square(0, 0, 10)}, true, 0x0000FF));
    drawing().block_list().add_tail(block);
    EXPECT_EQ(explode_texts(&op), 0);
    EXPECT_EQ(block->object_list().count(), 1);
}

// A multi-line text is exploded run by run, each run's strokes in its colour on the text's
// layer; one whose runs show nothing stays.
TEST_F(Explode_Fixture, MultiLineTextsRunByRun)
{
    text_test::Box_Fonts fonts;
    auto* layer = new MB_Layer;
    drawing().layer_list().add_tail(layer);
    auto make = [&](const char* s, const char* font) {
        auto* m = new MB_Mtext(Qe_Pt(10, 20, 0), s);
        m->text_style()->font_lib(fonts.lib(font));
        m->set_base_ht(2.0);
        m->general().color(0x00FF00);
        m->general().layer(layer);
        m->build_draw();
        drawing().object_list().add_tail(m);
        return m;
    };
    make("{\\C1;A}B\\PA", "txt.shx");
    MB_Mtext* blank = make("  \\P ", "box.shx");  // box.shx has no space glyph
    EXPECT_EQ(explode_texts(&op), 1);
    const Kinds k = kinds_of(drawing());
    EXPECT_EQ(k.hatches, 0);  // stroke font: strokes only
    ASSERT_EQ(k.chains, 3);
    std::vector<long> colours;
    for (MB_Lines* c : k.chain_list) {
        colours.push_back(c->general().color());
        EXPECT_EQ(c->general().layer(), layer);
        EXPECT_EQ(c->count(), 5);
    }
    EXPECT_EQ(colours, (std::vector<long>{0x0000FF, 0x00FF00, 0x00FF00}));
    // The blank text is still there, now at the head of the list.
    EXPECT_EQ(drawing().object_list().get_head(), blank);
}

TEST(Make_Lines, TakesTheListsPointsOrRefusesAnEmptyList)
{
    Qe_Pt_List empty;
    MB_Lines* none = nullptr;
    EXPECT_FALSE(api_mb_make_lines(none, empty));
    EXPECT_EQ(none, nullptr);

    Qe_Pt_List pts;
    for (int i = 0; i < 4; ++i) pts.add(Qe_Pt(i, i * i, 0));
    MB_Lines* made = nullptr;
    ASSERT_TRUE(api_mb_make_lines(made, pts));
    ASSERT_NE(made, nullptr);
    ASSERT_EQ(made->count(), 4);
    EXPECT_TRUE(same_point(made->points()[3], Qe_Pt(3, 9, 0)));

    // An existing chain takes the new points in place.
    MB_Lines* same = made;
    Qe_Pt_List two;
    two.add(Qe_Pt(5, 5, 0));
    two.add(Qe_Pt(6, 7, 0));
    ASSERT_TRUE(api_mb_make_lines(made, two));
    EXPECT_EQ(made, same);
    ASSERT_EQ(made->count(), 2);
    EXPECT_TRUE(same_point(made->points()[1], Qe_Pt(6, 7, 0)));
    EXPECT_FALSE(api_mb_make_lines(made, empty));
    EXPECT_EQ(made->count(), 2);
    delete made;
}

TEST(Geom_Segments, ConsecutiveEdgePointsOfTheSegmentedKinds)
{
    MB_Line line(Qe_Pt(0, 0, 0), Qe_Pt(3, 4, 0));
    MB_Lines chain;
    const Qe_Pt pts[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 1, 0}, {2, 2, 0}};
    chain.init(5, pts);
    MB_Point point(Qe_Pt(1, 1, 0));
    MB_Lines single;
    const Qe_Pt one[] = {{7, 7, 0}};
    single.init(1, one);
    for (MB_Geom* g : std::initializer_list<MB_Geom*>{&line, &chain, &point, &single}) g->build_draw();

    struct Case {
        const char* name;
        std::vector<MB_Object*> geoms;
        int segments;
    };
    const Case cases[] = {
        {"a line", {&line}, 1},
        {"a chain of five points", {&chain}, 4},
        {"a point and a one-point chain", {&point, &single}, 0},
        {"null items add nothing", {nullptr, &line, nullptr}, 1},
        {"in order", {&chain, &line}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Qe_Void_List geoms, segments;
        for (MB_Object* o : c.geoms) (void)geoms.add(o);
        api_mb_geom_2_segments(geoms, segments);
        int n = 0;
        for (Qe_Void_Node* s = segments.head(); s; s = s->next(), ++n) {
            auto* seg = static_cast<Qe_Segment*>(s->entity());
            if (c.geoms.size() == 2 && n == 4) {
                EXPECT_EQ(seg->parent(), &line);
                EXPECT_TRUE(same_point(seg->start(), Qe_Pt(0, 0, 0)));
                EXPECT_TRUE(same_point(seg->end(), Qe_Pt(3, 4, 0)));
            }
            delete seg;
        }
        EXPECT_EQ(n, c.segments);
    }
}

}  // namespace

namespace {

// The contours of text in a font file as FreeType decomposes them, each conic sampled finely,
// placed as a style of height h does (width scale 1, at the origin).
std::vector<std::vector<Qe_Pt>> freetype_contours(const char* font, const std::u32string& text, double h)
{
    char path[4096];
    std::vector<std::vector<Qe_Pt>> out;
    if (!platform_ttf_file(font, path, sizeof path)) return out;
    freetype_text::Reference ref(path);
    if (!ref.ok) return out;
    const double scale = h * 1.444 / 4096.0;
    for (const freetype_text::Contour& c : ref.outline(text, 256)) {
        out.emplace_back();
        for (const freetype_text::P& p : c) out.back().emplace_back(p.x * scale, p.y * scale, 0.0);
    }
    return out;
}

double signed_area(const std::vector<Qe_Pt>& ring)
{
    double a = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Qe_Pt& p = ring[i];
        const Qe_Pt& q = ring[(i + 1) % ring.size()];
        a += p.x() * q.y() - q.x() * p.y();
    }
    return a / 2;
}

std::vector<Qe_Pt> ring_of(const Qe_Loop& loop)
{
    std::vector<Qe_Pt> r;
    const Qe_Loop_Node* v = loop.head();
    for (long i = 0; i < loop.count() && v; ++i, v = v->next()) r.push_back(v->point());
    return r;
}

// The area a set of non-crossing rings fills by parity: each ring counts with the sign of how
// many other rings hold it.
double even_odd_area(const std::vector<std::vector<Qe_Pt>>& rings)
{
    double total = 0;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        int depth = 0;
        // A point inside ring i, next to its first edge, decides which rings hold it.
        const Qe_Pt& a = rings[i][0];
        const Qe_Pt& b = rings[i][1];
        for (std::size_t j = 0; j < rings.size(); ++j)
            if (j != i && is_pos_in_region(Qe_Pt((a.x() + b.x()) / 2, (a.y() + b.y()) / 2, 0), rings[j].data(),
                                           static_cast<int>(rings[j].size())))
                ++depth;
        total += (depth % 2 ? -1 : 1) * std::fabs(signed_area(rings[i]));
    }
    return total;
}

}  // namespace

// Real TrueType texts on the road: one outline chain per contour of the glyphs, and a hatch
// whose loops fill, by parity, the area FreeType's outlines fill.
TEST_F(Explode_Fixture, TrueTypeTextsFillTheirGlyphs)
{
    // Curves in 64 steps, so that the outlines are close to the glyphs' own.
    op.system_setting()->set_long_val(23, 64);
    struct Case {
        const char* font;
        const char* text;
        std::u32string characters;
    };
    const Case cases[] = {
        {"arial.ttf", "Bag 80%", U"Bag 80%"},
        {"simsun.ttc", "\xD2\xBB\xD3\xC0" "A", U"\u4E00\u6C38A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        MB_Object_List& list = drawing().object_list();
        list.kill_all();
        MB_Text_Style style;
        style.load_default();
        style.font_lib(c.font);
        style.height(10.0);
        ASSERT_TRUE(style.font_lib() && style.font_lib()->is_ttf_font());
        auto* text = new MB_Text(Qe_Pt(0, 0, 0), MB_String(c.text));
        text->init_text_style(&style);
        text->general().color(0x00FF00);
        text->build_draw();
        list.add_tail(text);

        EXPECT_EQ(explode_texts(&op), 1);
        const Kinds k = kinds_of(drawing());
        const std::vector<std::vector<Qe_Pt>> glyphs = freetype_contours(c.font, c.characters, 10.0);
        ASSERT_FALSE(glyphs.empty());
        EXPECT_EQ(k.texts, 0);
        EXPECT_EQ(static_cast<std::size_t>(k.chains), glyphs.size());
        ASSERT_EQ(k.hatches, 1);
        std::vector<std::vector<Qe_Pt>> loops;
        for (Qe_Void_Node* n = k.hatch_list[0]->loop_list().head(); n; n = n->next())
            loops.push_back(ring_of(*static_cast<Qe_Loop*>(n->entity())));
        EXPECT_GE(loops.size(), glyphs.size() - 2);
        const double want = even_odd_area(glyphs);
        ASSERT_GT(want, 1.0);
        EXPECT_NEAR(even_odd_area(loops) / want, 1.0, 0.01);
    }
    drawing().object_list().kill_all();
}

// The hatch of a TrueType text, filled by parity, covers the pixels that FreeType's own
// monochrome rendering covers at the scale the glyphs are read at (a 64 pixel em), but for a
// few. Glyph by glyph, each a text of its own at the origin: the kernel sets its glyphs apart
// by their extents, not by FreeType's advances. The outlines come in whole pixels of that em,
// so a curve's edge may move by half a pixel: the round Latin glyphs differ in under 6% of
// their pixels, the straight CJK strokes in under 2%.
TEST_F(Explode_Fixture, TrueTypeHatchRastersAsFreeTypeRendersTheText)
{
    op.system_setting()->set_long_val(23, 64);
    struct Glyph {
        const char* text;
        char32_t character;
    };
    struct Case {
        const char* font;
        std::vector<Glyph> glyphs;
        double mismatch;  // of the ink pixels, at most
    };
    const Case cases[] = {
        {"arial.ttf", {{"B", U'B'}, {"a", U'a'}, {"g", U'g'}, {"8", U'8'}, {"0", U'0'}, {"%", U'%'}}, 0.06},
        {"simsun.ttc", {{"\xD2\xBB", U'\u4E00'}, {"\xD3\xC0", U'\u6C38'}, {"\xCD\xBC", U'\u56FE'}}, 0.02},
    };
    constexpr double h = 10.0;
    // Outlines are read in whole pixels of a 64 pixel em, which is 1.444 h in drawing units.
    constexpr double em = 64.0;
    const double k = em / (1.444 * h);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        char path[4096];
        ASSERT_TRUE(platform_ttf_file(c.font, path, sizeof path));
        freetype_text::Reference ref(path);
        ASSERT_TRUE(ref.ok);
        long ink = 0, differ = 0;
        for (const Glyph& g : c.glyphs) {
            SCOPED_TRACE(g.text);
            MB_Object_List& list = drawing().object_list();
            list.kill_all();
            MB_Text_Style style;
            style.load_default();
            style.font_lib(c.font);
            style.height(h);
            auto* text = new MB_Text(Qe_Pt(0, 0, 0), MB_String(g.text));
            text->init_text_style(&style);
            text->build_draw();
            list.add_tail(text);
            ASSERT_EQ(explode_texts(&op), 1);
            const Kinds kinds = kinds_of(drawing());
            ASSERT_EQ(kinds.hatches, 1);
            std::vector<std::vector<Qe_Pt>> loops;
            for (Qe_Void_Node* n = kinds.hatch_list[0]->loop_list().head(); n; n = n->next())
                loops.push_back(ring_of(*static_cast<Qe_Loop*>(n->entity())));
            // The canvas: the glyph's box from the origin on, with a margin.
            double right = 0, bottom = 0, top = 0;
            for (const auto& ring : loops)
                for (const Qe_Pt& p : ring) {
                    right = std::max(right, p.x());
                    bottom = std::min(bottom, p.y());
                    top = std::max(top, p.y());
                }
            constexpr int margin = 8;
            const int w = static_cast<int>(right * k) + 2 * margin;
            const int rows = static_cast<int>((top - bottom) * k) + 2 * margin;
            const double ox = margin, oy = std::round(margin - bottom * k);  // the origin in pixels
            // The loops by parity, each pixel by its centre.
            std::vector<unsigned char> hatch(static_cast<std::size_t>(w) * rows, 0);
            for (int row = 0; row < rows; ++row) {
                const double y = (row + 0.5 - oy) / k;
                std::vector<double> xs;
                for (const auto& ring : loops)
                    for (std::size_t i = 0; i < ring.size(); ++i) {
                        const Qe_Pt& a = ring[i];
                        const Qe_Pt& b = ring[(i + 1) % ring.size()];
                        if ((a.y() > y) != (b.y() > y))
                            xs.push_back(a.x() + (y - a.y()) * (b.x() - a.x()) / (b.y() - a.y()));
                    }
                std::sort(xs.begin(), xs.end());
                for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
                    for (int col = 0; col < w; ++col) {
                        const double x = (col + 0.5 - ox) / k;
                        if (x >= xs[i] && x < xs[i + 1]) hatch[static_cast<std::size_t>(row) * w + col] = 1;
                    }
            }
            std::vector<unsigned char> glyph;
            ref.render_mono(std::u32string(1, g.character), em, ox, oy, w, rows, glyph);
            ASSERT_TRUE(ref.ok);
            long glyph_ink = 0;
            for (std::size_t i = 0; i < glyph.size(); ++i) {
                glyph_ink += glyph[i];
                differ += glyph[i] != hatch[i];
            }
            EXPECT_GT(glyph_ink, 100);
            ink += glyph_ink;
        }
        EXPECT_LT(static_cast<double>(differ) / static_cast<double>(ink), c.mismatch) << differ << " of " << ink;
    }
    drawing().object_list().kill_all();
}

// Texts laid along arcs and paths and tolerance frames, in the kernel's stroke fonts: each
// run's strokes become chains in the entity's colour and on its layer, a frame's lines
// follow, and the entity goes; one that shows nothing stays.
TEST_F(Explode_Fixture, AlignedTextsBecomeTheOutlinesOfTheirRuns)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    auto* layer = new MB_Layer(MB_String("texts"));
    drawing().layer_list().add_tail(layer);
    const long blue = 0xFF0000;
    std::vector<MB_Drawable*> kinds;
    kinds.push_back(new MB_Arc_Text(Qe_Pt(0, 0, 0), 0.2, 2.5, 10.0, "", "ARC"));
    auto* path = new MB_Trace_Text();
    const Qe_Pt pts[] = {{0, -20, 0}, {30, -20, 0}, {30, 0, 0}};
    path->pt_set(Qe_Pt_Set(3, pts));
    path->str("PATH");
    kinds.push_back(path);
    auto* frame = new MB_Tolerance(Qe_Pt(0, -40, 0), "{\\Fgdt;j}%%v0.1%%vA");
    frame->set_height(2.0);
    kinds.push_back(frame);
    std::size_t strokes = 0, frame_lines = 0;
    for (MB_Drawable* d : kinds) {
        d->general().color(blue);
        d->general().layer(layer);
        d->build_draw();
        std::vector<MB_Text*> runs;
        std::vector<MB_Line*> lines;
        ASSERT_TRUE(mb_text_parts(*d, runs, lines));
        ASSERT_FALSE(runs.empty());
        for (MB_Text* run : runs) {
            auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(run->draw_node());
            ASSERT_NE(node, nullptr);
            for (mb_ulong r = 0; r < node->ptset_count(); ++r) strokes += node->vals()[r] >= 2;
        }
        frame_lines += lines.size();
        drawing().object_list().add_tail(d);
    }
    // An arc text with nothing to show stays as it is.
    auto* empty = new MB_Arc_Text(Qe_Pt(50, 50, 0), 0.0, 1.0, 5.0, "", "");
    empty->build_draw();
    drawing().object_list().add_tail(empty);

    EXPECT_EQ(explode_texts(&op), 3);
    ASSERT_EQ(frame_lines, 6u);  // two bars and the box
    std::size_t chains = 0, lines = 0, others = 0;
    for (MB_Object* o = drawing().object_list().get_head(); o; o = o->next()) {
        auto* d = static_cast<MB_Drawable*>(o);
        if (o == empty) continue;
        if (o->object_id() == MB_Object::ID_LINES)
            ++chains;
        else if (o->object_id() == MB_Object::ID_LINE)
            ++lines;
        else
            ++others;
        EXPECT_EQ(d->general().color(), blue);
        EXPECT_EQ(d->general().layer(), layer);
    }
    EXPECT_EQ(chains, strokes);
    EXPECT_EQ(lines, frame_lines);
    // Stroke fonts: no hatch, and nothing else.
    EXPECT_EQ(others, 0u);
    EXPECT_EQ(drawing().object_list().get_head(), empty);
}

namespace {

using Outline_Run = std::vector<Qe_Pt>;

// What a text shows, from a laid-out copy of it: its runs and whether they are filled.
std::vector<Outline_Run> runs_of(MB_Text& text, bool* filled = nullptr)
{
    MB_Object* copy = nullptr;
    EXPECT_TRUE(text.copy_to(copy));
    auto* t = static_cast<MB_Text*>(copy);
    t->build_draw();
    MB_Text_Outline outline;
    EXPECT_TRUE(mb_text_outline(t->draw_node(), outline));
    std::vector<Outline_Run> runs;
    outline.for_each_run([&](const Qe_Pt* r, int n) { runs.emplace_back(r, r + n); });
    if (filled) *filled = outline.filled;
    delete t;
    return runs;
}

bool same_run(const Outline_Run& a, const Qe_Pt* b, int n)
{
    if (static_cast<int>(a.size()) != n) return false;
    for (int i = 0; i < n; ++i)
        if (!same_point(a[i], b[i])) return false;
    return true;
}

MB_Text* text_in(const char* font, const char* s, const Qe_Pt& at, double height, double angle = 0.0,
                 double oblique = 0.0)
{
    MB_Text_Style style;
    style.load_default();
    style.font_lib(font);
    style.height(height);
    style.angle(angle);
    style.oblique_angle(oblique);
    auto* text = new MB_Text(at, MB_String(s));
    text->init_text_style(&style);
    return text;
}

std::vector<MB_Object*> members(MB_Object_List& list)
{
    std::vector<MB_Object*> out;
    for (MB_Object* o = list.get_head(); o; o = o->next()) out.push_back(o);
    return out;
}

}  // namespace

// Texts among other entities, laid out or not yet: each is replaced, in place of nothing, by its
// runs as chains and (filled) one hatch, appended in the order of the texts; the rest keeps its
// order, and texts that are members of a block or a group stay as they are.
TEST_F(Explode_Fixture, TextsAmongOtherEntitiesInBlocksAndGroups)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    MB_Object_List& list = drawing().object_list();
    auto* line = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(5, 5, 0));
    MB_Text* shx = text_in("txt.shx", "AB", Qe_Pt(1, 2, 0), 2.5);
    auto* circle = new MB_Circle(Qe_Pt(3, 3, 0), 1.5);
    MB_Text* ttf = text_in("arial.ttf", "Bag", Qe_Pt(10, 2, 0), 3.0);
    auto* group = new MB_Group;
    MB_Text* grouped = text_in("txt.shx", "G", Qe_Pt(20, 0, 0), 2.0);
    (void)group->object_list().add(grouped);
    (void)group->object_list().add(new MB_Line(Qe_Pt(20, 0, 0), Qe_Pt(22, 0, 0)));
    auto* block = new MB_Block(Qe_Pt(0, 0, 0), MB_String("tag"), MB_String(""));
    MB_Text* blocked = text_in("txt.shx", "T", Qe_Pt(0, 0, 0), 1.0);
    block->object_list().add_tail(blocked);
    drawing().block_list().add_tail(block);
    auto* insert = new MB_Insert(Qe_Pt(30, 0, 0), 0, 1, 1, 1);
    insert->block(block);
    MB_Text* later_shx = text_in("txt.shx", "xy", Qe_Pt(1, 9, 0), 2.5);
    MB_Text* later_ttf = text_in("arial.ttf", "O8", Qe_Pt(10, 9, 0), 3.0, 0.4);
    for (MB_Drawable* d : std::initializer_list<MB_Drawable*>{line, shx, circle, ttf, group, insert, later_shx, later_ttf})
        list.add_tail(d);
    const std::vector<MB_Text*> texts{shx, ttf, later_shx, later_ttf};
    std::vector<std::vector<Outline_Run>> expected;
    std::vector<bool> filled;
    for (MB_Text* t : texts) {
        bool f = false;
        expected.push_back(runs_of(*t, &f));
        filled.push_back(f);
    }
    ASSERT_FALSE(filled[0]);
    ASSERT_TRUE(filled[1]);
    // Two of them laid out as the whole drawing used to be, two left for the explosion.
    shx->build_draw();
    ttf->build_draw();
    group->build_draw();
    block->build_draw();
    insert->build_draw();

    EXPECT_EQ(explode_texts(&op), 4);
    std::vector<MB_Object*> now = members(list);
    const std::vector<MB_Object*> kept{line, circle, group, insert};
    ASSERT_GE(now.size(), kept.size());
    EXPECT_EQ(std::vector<MB_Object*>(now.begin(), now.begin() + 4), kept);
    std::size_t at = 4;
    for (std::size_t t = 0; t < texts.size(); ++t) {
        SCOPED_TRACE(t);
        for (const Outline_Run& run : expected[t]) {
            ASSERT_LT(at, now.size());
            ASSERT_EQ(now[at]->object_id(), MB_Object::ID_LINES);
            auto* chain = static_cast<MB_Lines*>(now[at++]);
            EXPECT_TRUE(same_run(run, chain->points(), chain->count()));
        }
        if (filled[t]) {
            ASSERT_LT(at, now.size());
            EXPECT_EQ(now[at++]->object_id(), MB_Object::ID_HATCH);
        }
    }
    EXPECT_EQ(at, now.size());
    EXPECT_EQ(group->object_list().first(), grouped);
    EXPECT_EQ(block->object_list().get_head(), blocked);
}

// The flat explosion and the deletion of the texts in one recorded command: undo brings back
// the drawing as it was, object by object, and redo the exploded one.
TEST_F(Explode_Fixture, UndoOfTheFlatExplosionAndTheDeletionOfItsTexts)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    MB_Object_List& list = drawing().object_list();
    std::vector<MB_Text*> texts;
    for (int i = 0; i < 40; ++i) {
        list.add_tail(new MB_Line(Qe_Pt(i, 0, 0), Qe_Pt(i, 1, 0)));
        if (i % 3 == 0) {
            MB_Text* t = text_in("txt.shx", i % 2 ? "AB" : "c", Qe_Pt(i, 5, 0), 1.0);
            t->build_draw();
            list.add_tail(t);
            texts.push_back(t);
        }
    }
    const std::vector<MB_Object*> before = members(list);
    op.rec_cmd_begin("explode");
    Qe_Void_List made, gone;
    for (MB_Text* t : texts) {
        EXPECT_TRUE(api_explode_text(t, 0, &drawing(), made));
        (void)gone.add(t);
    }
    EXPECT_TRUE(op.delete_object_list(gone, false));
    op.rec_cmd_end();
    const std::vector<MB_Object*> after = members(list);
    ASSERT_EQ(after.size(), before.size() - texts.size() + static_cast<std::size_t>(made.count()));
    for (MB_Object* o : after) EXPECT_NE(o->object_id(), MB_Object::ID_TEXT);

    Qe_Void_List touched;
    op.undo(touched);
    EXPECT_EQ(members(list), before);
    op.redo(touched);
    EXPECT_EQ(members(list), after);
    op.undo(touched);
    EXPECT_EQ(members(list), before);
}

// The loops of a filled text, searched glyph group by glyph group, are those of one search over
// all its outlines, in the same order, whatever the text's angle and however its glyphs lean
// into one another.
TEST_F(Explode_Fixture, GlyphGroupsFindTheLoopsOfOneSearch)
{
    struct Case {
        const char* name;
        const char* font;
        const char* text;
        double angle, oblique;
    };
    const Case cases[] = {
        {"upright", "arial.ttf", "Bag 80% WW", 0.0, 0.0},
        {"turned a quarter", "arial.ttf", "Bag 80%", 1.5707963267948966, 0.0},
        {"turned", "arial.ttf", "O8@&", 0.7, 0.0},
        {"leaning glyphs overlap", "arial.ttf", "AVAWAW", 0.0, 0.6},
        {"CJK", "simsun.ttc", "\xD2\xBB\xD3\xC0\xCD\xBC", 0.2, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MB_Object_List& list = drawing().object_list();
        list.kill_all();
        MB_Text* text = text_in(c.font, c.text, Qe_Pt(483217.3371, -3117.25, 0), 4.0, c.angle, c.oblique);
        // One search over every outline, as chains laid out whole.
        Qe_Search_Loops one;
        std::vector<std::unique_ptr<MB_Lines>> chains;
        for (const Outline_Run& run : runs_of(*text)) {
            chains.push_back(std::make_unique<MB_Lines>());
            chains.back()->init(static_cast<int>(run.size()), run.data());
            chains.back()->build_draw();
            (void)one.input_list().add(chains.back().get());
        }
        api_mb_geom_2_segments(one.input_list(), one.segment_list());
        one.remove_error_segment();
        one.bulid_intersect();
        one.del_invalid_intersect();
        one.create_intersect_relation();
        one.order_add_remove_error_intersect_points();
        one.search_min_loops();
        std::vector<std::unique_ptr<Qe_Loop>> want;
        for (Qe_Void_Node* n = one.result_list().head(); n; n = n->next())
            want.emplace_back(static_cast<Qe_Loop*>(n->entity()));
        one.result_list().clear();
        ASSERT_GT(want.size(), 3u);

        list.add_tail(text);
        ASSERT_EQ(explode_texts(&op), 1);
        const Kinds k = kinds_of(drawing());
        ASSERT_EQ(k.hatches, 1);
        Qe_Void_Node* n = k.hatch_list[0]->loop_list().head();
        for (std::size_t i = 0; i < want.size(); ++i, n = n->next()) {
            ASSERT_NE(n, nullptr) << i;
            const std::vector<Qe_Pt> got = ring_of(*static_cast<Qe_Loop*>(n->entity())), w = ring_of(*want[i]);
            ASSERT_EQ(got.size(), w.size()) << i;
            for (std::size_t j = 0; j < w.size(); ++j) ASSERT_TRUE(same_point(got[j], w[j])) << i << " " << j;
        }
        EXPECT_EQ(n, nullptr);
    }
    drawing().object_list().kill_all();
}

// What the road's explosion holds back for the export: one text's entities per call, in text
// order, with the extents of all it gives as the header would take them from the entities.
TEST_F(Explode_Fixture, ExplodedTextsComeTextByTextWithTheExtentsOfAllTheyGive)
{
    MB_Object_List& list = drawing().object_list();
    list.add_tail(text_of({square(0, 0, 10), square(3, 3, 4)}, true, 0x0000FF));
    list.add_tail(new MB_Line(Qe_Pt(20, 0, 0), Qe_Pt(30, 0, 0)));
    // A chain's rectangle passes over a point that is not a number...
    list.add_tail(text_of({{{100, 0, 0}, {NAN, 5, 0}, {110, 7, 0}}}, false, 1));
    // ...and one reaching infinity counts for nothing, its neighbour for what it holds.
    list.add_tail(text_of({{{200, 0, 0}, {INFINITY, 0, 0}}, square(-50, -60, 5)}, false, 2));
    Exploded_Texts exploded;
    ASSERT_EQ(explode_texts(&op, exploded), 3);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(exploded.texts_left(), 3u);
    Qe_Rect all;
    ASSERT_TRUE(exploded.extents(all));

    std::vector<int> per_text;
    std::vector<MB_Object::MB_ID> kinds;
    Qe_Rect given;
    bool any = false;
    MB_Object_List taken;
    while (exploded.next(taken)) {
        per_text.push_back(taken.count());
        for (MB_Object* o = taken.get_head(); o; o = o->next()) {
            kinds.push_back(o->object_id());
            const Qe_Rect& r = static_cast<MB_Drawable*>(o)->rect();
            if (!std::isfinite(r.lt().x()) || !std::isfinite(r.rb().x())) continue;
            if (any) given.union_rect(r);
            else given = r;
            any = true;
        }
        taken.kill_all();
    }
    EXPECT_EQ(per_text, (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(kinds, (std::vector<MB_Object::MB_ID>{MB_Object::ID_LINES, MB_Object::ID_LINES, MB_Object::ID_HATCH,
                                     MB_Object::ID_LINES, MB_Object::ID_LINES, MB_Object::ID_LINES}));
    ASSERT_TRUE(any);
    EXPECT_TRUE(same_point(all.lt(), given.lt()) && same_point(all.rb(), given.rb()));
    EXPECT_EQ(all.lt().x(), -50);
    EXPECT_EQ(all.rb().x(), 110);
    EXPECT_FALSE(exploded.next(taken));
    EXPECT_EQ(taken.count(), 0);
    EXPECT_EQ(exploded.texts_left(), 0u);

    // What is never asked for goes with the holder.
    MB_Operation other;
    ASSERT_TRUE(other.create_drawing("kept"));
    other.drawing()->object_list().add_tail(text_of({square(0, 0, 1)}, true, 3));
    Exploded_Texts unasked;
    EXPECT_EQ(explode_texts(&other, unasked), 1);
    EXPECT_EQ(unasked.texts_left(), 1u);
}

// The export writes a drawing's trailing entities where an explosion into the entity list
// would have put them, and counts them in the header's extents alike.
TEST_F(Explode_Fixture, ExportWritesTrailingTextsAsTheListWouldHoldThem)
{
    auto fill = [](MB_Drawing& d) {
        MB_Object_List& list = d.object_list();
        auto line = [&](double x0, double y0, double x1, double y1) {
            auto* l = new MB_Line(Qe_Pt(x0, y0, 0), Qe_Pt(x1, y1, 0));
            l->build_draw();
            list.add_tail(l);
        };
        line(0, 0, 1, 1);
        list.add_tail(text_of({square(0, 0, 10), square(3, 3, 4)}, true, 0x0000FF));
        list.add_tail(text_of({{{200, 0, 0}, {INFINITY, 0, 0}}, square(-50, -60, 5)}, false, 2));
        line(20, 0, 30, 0);
    };
    auto dxf_of = [](MB_Drawing& d) {
        std::FILE* f = std::tmpfile();
        EXPECT_NE(f, nullptr);
        if (!f) return std::string();
        {
            Dxf_Writer w(f);
            Dxf_Exporter exporter(d, w, 0);
            EXPECT_TRUE(exporter.write());
        }
        std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
        std::rewind(f);
        EXPECT_EQ(std::fread(text.data(), 1, text.size(), f), text.size());
        std::fclose(f);
        return text;
    };
    fill(drawing());
    ASSERT_EQ(explode_texts(&op), 2);
    const std::string into_list = dxf_of(drawing());

    MB_Operation held;
    ASSERT_TRUE(held.create_drawing("held"));
    fill(*held.drawing());
    Exploded_Texts exploded;
    ASSERT_EQ(explode_texts(&held, exploded), 2);
    held.drawing()->trailing_entities(&exploded);
    const std::string trailing = dxf_of(*held.drawing());
    held.drawing()->trailing_entities(nullptr);
    EXPECT_NE(into_list.find("HATCH"), std::string::npos);
    EXPECT_EQ(trailing, into_list);
}
