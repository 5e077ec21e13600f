// MB_Text: records ('T' and 0x14), explosion into stored outlines, picking, keys, undo,
// styles, display; and the device-font text node.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "geometry/dc_draw.h"
#include "geometry/transform.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/text/text.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"
#include "kernel/text/ttf_text_node.h"

using namespace entity_test;

namespace {

using text_test::Box_Fonts;

// A text in a style of the box fonts, built.
MB_Text* text_at(Box_Fonts& fonts, const Qe_Pt& at, const char* s, double height, const char* font = "txt.shx")
{
    auto* t = new MB_Text(at, MB_String(s));
    t->text_style()->font_lib(fonts.lib(font));
    t->text_style()->big_font_lib(fonts.lib("hztxt.shx"));
    t->text_style()->height(height);
    t->text_style()->width_scale(1.0);
    t->build_draw();
    return t;
}

std::vector<Qe_Pt> runs_points(const MB_Text& t)
{
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(t.draw_node());
    return node ? text_test::points_of(*node) : std::vector<Qe_Pt>{};
}

TEST(Text, RecordsOfSeveralTexts)
{
    Box_Fonts fonts;
    std::vector<std::unique_ptr<MB_Text>> texts;
    texts.emplace_back(text_at(fonts, Qe_Pt(1.5, 2.25, 0), "AB", 2.0));
    texts.emplace_back(text_at(fonts, Qe_Pt(-3.25, 7, 0.5), "C%%d", 3.0, "box.shx"));
    texts.emplace_back(text_at(fonts, Qe_Pt(1024.125, -0.375, 0), "A", 2.0));
    texts[1]->text_style()->angle(0.5);
    texts[2]->text_style()->ali_flag(32);
    texts[2]->text_style()->font_style(MB_Text_Style::Vertical);

    stream_test::Stream st;
    ASSERT_EQ(st.open_write(), 0);
    for (auto& t : texts) ASSERT_EQ(t->serialize(st.io), 0);
    const Bytes body = st.body();

    Record_Reader r;
    ASSERT_EQ(r.read(body), 0);
    ASSERT_EQ(r.count(), 3);
    MB_Object* o = r.drawing().object_list().get_head();
    for (auto& want : texts) {
        auto* got = dynamic_cast<MB_Text*>(o);
        ASSERT_NE(got, nullptr);
        EXPECT_TRUE(pt_eq(got->base_pos(), want->base_pos()));
        EXPECT_EQ(got->string(), want->string());
        for (int i = 0; i < 4; ++i) EXPECT_EQ(got->text_style()->reals()[i], want->text_style()->reals()[i]) << i;
        EXPECT_EQ(got->text_style()->font_style(), want->text_style()->font_style());
        EXPECT_EQ(got->text_style()->ali_flag(), want->text_style()->ali_flag());
        EXPECT_EQ(got->text_style()->font_lib(), want->text_style()->font_lib());
        EXPECT_EQ(got->text_style()->big_font_lib(), want->text_style()->big_font_lib());
        // Without explosion no outlines are read.
        EXPECT_EQ(got->draw_node(), nullptr);
        o = o->next();
    }

    // An 0x14 record is read as a 'T'.
    const Bytes one = record_bytes(*texts[0]);
    const Bytes key = "T" + k_no_xdata + position(texts[0]->base_pos());
    const std::size_t at = one.find(key);
    ASSERT_NE(at, Bytes::npos);
    ASSERT_EQ(one.find(key, at + 1), Bytes::npos);
    Bytes old = one;
    old[at] = 0x14;
    Record_Reader r2;
    ASSERT_EQ(r2.read(old), 0);
    auto* got = r2.first<MB_Text>();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->string(), MB_String("AB"));
    EXPECT_TRUE(pt_eq(got->base_pos(), texts[0]->base_pos()));

    // An empty text is not written; a truncated record fails.
    MB_Text empty(Qe_Pt(1, 1, 0), MB_String(""));
    EXPECT_EQ(record_bytes(empty), "");
    for (std::size_t n = at + 1; n < one.size(); n += 3) {
        Record_Reader rt;
        EXPECT_NE(rt.read_raw(k_header + one.substr(0, n)), MB_Result::End_Of_Stream) << n;
        EXPECT_EQ(rt.count(), 0) << n;
    }
}

TEST(Text, ExplodedTextsCarryTheirOutlines)
{
    Box_Fonts fonts;
    Op_Fixture f;
    f.settings().explode_text(true);
    MB_Text unbuilt(Qe_Pt(1, 1, 0), MB_String("AB"));
    MB_Result result;
    EXPECT_EQ(record_bytes(unbuilt, &result), "");
    EXPECT_EQ(result, 0);

    std::unique_ptr<MB_Text> built(text_at(fonts, Qe_Pt(2, 3, 0), "AB\xB0\xA1", 2.0));
    const std::vector<Qe_Pt> runs = runs_points(*built);
    ASSERT_EQ(runs.size(), 15u);
    const Bytes rec = record_bytes(*built);
    Record_Reader r;
    ASSERT_EQ(r.read(rec), 0);
    auto* got = r.first<MB_Text>();
    ASSERT_NE(got, nullptr);
    EXPECT_TRUE(text_test::points_near(runs_points(*got), runs, 0.0));
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(got->draw_node());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->ptset_count(), 3u);
    EXPECT_EQ(got->rect().lt().x(), built->rect().lt().x());
    EXPECT_EQ(got->rect().rb().y(), built->rect().rb().y());

    // Without explosion the same text is written without its runs.
    f.settings().explode_text(false);
    EXPECT_LT(record_bytes(*built).size(), rec.size());

    // Damaged records, with and without explosion: a clear result, never a crash or an
    // overrun (checked under the sanitizers).
    std::mt19937 rng(24);
    for (const bool explode : {true, false}) {
        f.settings().explode_text(explode);
        for (int round = 0; round < 300; ++round) {
            Bytes bad = rec;
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] = static_cast<char>(rng() & 0xFF);
            if (rng() % 3 == 0) bad.resize(rng() % bad.size());
            Record_Reader rm;
            (void)rm.read_raw(k_header + bad + k_trailer);
        }
    }
}

TEST(Text, BuildAndPick)
{
    Box_Fonts fonts;
    // "A" centred on the origin: its box runs from (-1, -1) to (1, 1).
    std::unique_ptr<MB_Text> t(text_at(fonts, Qe_Pt(0, 0, 0), "A", 2.0));
    t->text_style()->ali_flag(2);
    t->build_draw();
    EXPECT_EQ(t->rect().lt().x(), -1.0);
    EXPECT_EQ(t->rect().lt().y(), 1.0);
    Qe_Pt_List hits;
    Qe_Pt hit;
    int kind = 0, extra = 0;
    EXPECT_TRUE(t->pick(Qe_Pt(0.1, 0.1, 0), hits, 0.3, hit, kind, extra));
    EXPECT_EQ(kind, 81);
    EXPECT_TRUE(pt_eq(hit, Qe_Pt(0, 0, 0)));
    kind = 0;
    EXPECT_TRUE(t->pick(Qe_Pt(0.9, 0.2, 0), hits, 0.3, hit, kind, extra));
    EXPECT_EQ(kind, 81);
    EXPECT_NEAR(hit.x(), 1.0, 1e-12);
    kind = 0;
    EXPECT_FALSE(t->pick(Qe_Pt(0.6, 0.3, 0), hits, 0.3, hit, kind, extra));
    EXPECT_EQ(kind, 0);

    // Nothing to draw: no node, the rectangle on the insertion point, nothing to pick.
    t->set_text(MB_String(""));
    t->build_draw();
    EXPECT_EQ(t->draw_node(), nullptr);
    EXPECT_TRUE(pt_eq(t->rect().lt(), Qe_Pt(0, 0, 0)));
    EXPECT_FALSE(t->pick(Qe_Pt(0, 0, 0), hits, 0.3, hit, kind, extra));
    MB_Text no_font(Qe_Pt(4, 4, 0), MB_String("A"));
    no_font.build_draw();
    EXPECT_EQ(no_font.draw_node(), nullptr);

    // A TrueType main font draws filled outlines.
    std::vector<text_test::Call> log;
    text_test::Recording_Font ttf(MB_Font_Library::TTF_FONT, log);
    t->set_text(MB_String("AB"));
    t->text_style()->font_lib(&ttf);
    t->build_draw();
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(t->draw_node());
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->is_filled());
    t->text_style()->font_lib(fonts.lib("txt.shx"));
    t->build_draw();
    EXPECT_FALSE(dynamic_cast<MB_Draw_Lines_Sets*>(t->draw_node())->is_filled());
}

TEST(Text, KeysAndUndo)
{
    Box_Fonts fonts;
    std::unique_ptr<MB_Text> t(text_at(fonts, Qe_Pt(1, 2, 0), "AB", 2.0));
    const std::pair<int, double (MB_Text_Style::*)() const> reals[] = {
        {-112, &MB_Text_Style::height},      {-113, &MB_Text_Style::width_scale}, {-111, &MB_Text_Style::angle},
        {-102, &MB_Text_Style::angle},       {-115, &MB_Text_Style::oblique_angle},
    };
    double v = 0.25;
    for (const auto& [key, get] : reals) {
        t->set_real(key, v);
        EXPECT_EQ((t->text_style()->*get)(), v) << key;
        EXPECT_EQ(t->get_real(key), v) << key;
        v += 0.5;
    }
    t->set_point(mb_key::Insert_Point, Qe_Pt(5, 6, 0));
    EXPECT_TRUE(pt_eq(t->get_point(mb_key::Insert_Point), Qe_Pt(5, 6, 0)));
    t->set_string(mb_key::Text, "xyz");
    EXPECT_STREQ(t->get_string(mb_key::Text), "xyz");
    EXPECT_STREQ(t->get_string(-303), "txt.shx");
    t->set_string(-303, "box.shx");
    EXPECT_EQ(t->text_style()->font_lib(), fonts.lib("box.shx"));
    // A font that can be neither found nor loaded: the default font.
    t->set_string(-303, "nosuch.shx");
    EXPECT_STREQ(t->get_string(-303), "txt.shx");
    EXPECT_STREQ(t->get_string(-307), "hztxt.shx");
    // Without a big font the key is the drawable's (its string, empty here).
    t->text_style()->big_font_lib(static_cast<MB_Font_Library*>(nullptr));
    EXPECT_EQ(t->get_string(-307), nullptr);

    Op_Fixture f;
    const struct {
        const char* what;
        std::function<void(MB_Object&)> change;
    } changes[] = {
        {"height", [](MB_Object& o) { static_cast<MB_Text&>(o).set_real(-112, 7.0); }},
        {"angle", [](MB_Object& o) { static_cast<MB_Text&>(o).set_real(-102, 1.0); }},
        {"point", [](MB_Object& o) { static_cast<MB_Text&>(o).set_point(-5, Qe_Pt(9, 9, 0)); }},
        {"text", [](MB_Object& o) { static_cast<MB_Text&>(o).set_string(-301, "other"); }},
        {"font", [](MB_Object& o) { static_cast<MB_Text&>(o).set_string(-303, "box.shx"); }},
        {"move", [](MB_Object& o) { static_cast<MB_Text&>(o).translate(translate_transf(Qe_Vec(3, 4, 0)), 0); }},
    };
    for (const auto& c : changes) expect_undo_redo_state(f, text_at(fonts, Qe_Pt(1, 2, 0), "AB", 2.0), c.change, c.what);
}

// Undoing the move of a framed text gives back its frame as well as its insertion point.
TEST(Text, FramedTextMoveAndUndo)
{
    Box_Fonts fonts;
    Op_Fixture f;
    auto dump = [](MB_Object& o) {
        auto& t = static_cast<MB_Text&>(o);
        Bytes b = position(t.base_pos());
        if (t.bound_pts())
            for (int i = 0; i < 4; ++i) b += position(t.bound_pts()[i]);
        return b;
    };
    MB_Text* t = text_at(fonts, Qe_Pt(0, 0, 0), "AB", 2.0);
    t->bound_pts(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0), Qe_Pt(10, 2, 0), Qe_Pt(0, 2, 0));
    expect_undo_redo_state(
        f, t, [](MB_Object& o) { static_cast<MB_Text&>(o).translate(translate_transf(Qe_Vec(5, 1, 0)), 0); }, "move",
        dump);
    ASSERT_NE(t->bound_pts(), nullptr);
    EXPECT_TRUE(pt_eq(t->bound_pts()[1], Qe_Pt(15, 1, 0)));
    t->build_draw();
    const text_test::Box b = text_test::box_of(runs_points(*t));
    EXPECT_NEAR(b.min_x, 5.0, 1e-9);
    EXPECT_NEAR(b.max_x, 15.0, 1e-9);

    // A copy takes the frame, and a source without one clears the target's.
    MB_Object* copy = nullptr;
    ASSERT_TRUE(t->copy_to(copy));
    std::unique_ptr<MB_Object> owned(copy);
    auto* c = dynamic_cast<MB_Text*>(copy);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->bound_pts(), nullptr);
    EXPECT_EQ(dump(*c), dump(*t));
    EXPECT_EQ(c->text_style()->height(), 2.0);
    EXPECT_NE(c->text_style(), t->text_style());
    MB_Text plain(Qe_Pt(1, 1, 0), MB_String("C"));
    MB_Object* target = c;
    ASSERT_TRUE(plain.copy_to(target));
    EXPECT_EQ(c->bound_pts(), nullptr);
    EXPECT_EQ(c->string(), MB_String("C"));
}

TEST(Text, SharedDefaultStyle)
{
    Box_Fonts fonts;
    MB_Drawing d1, d2;
    MB_Text t;
    EXPECT_FALSE(t.init_text_style(d1, "missing"));
    ASSERT_EQ(d1.text_style_list().count(), 1);
    auto* added = static_cast<MB_Text_Style*>(d1.text_style_list().get_head());
    EXPECT_EQ(added->name(), MB_String("DEFAULT_STYLE"));
    EXPECT_NE(added, g_text_style);
    EXPECT_EQ(t.text_style()->height(), 8.0);
    EXPECT_EQ(t.text_style()->font_lib(), fonts.lib("txt.shx"));
    EXPECT_EQ(t.text_style()->big_font_lib(), fonts.lib("hztxt.shx"));
    EXPECT_FALSE(t.init_text_style(d1, nullptr));
    EXPECT_FALSE(t.init_text_style(d2, "other"));
    EXPECT_EQ(d1.text_style_list().count(), 1);
    EXPECT_EQ(d2.text_style_list().count(), 0);
    // The drawing's own entry is found by name, in any case.
    added->height(3.0);
    EXPECT_TRUE(t.init_text_style(d1, "default_style"));
    EXPECT_EQ(t.text_style()->height(), 3.0);
}

TEST(Text, DrawAndGrip)
{
    Box_Fonts fonts;
    std::unique_ptr<MB_Text> t(text_at(fonts, Qe_Pt(1, 1, 0), "AB", 2.0));
    Qe_Qdc qdc;
    Qe_Tran view = scale_transf(2.0);
    Recording_Dc dc;
    t->draw(dc.dc, qdc, view);
    int polylines = 0;
    for (const Platform_Call& c : dc.calls()) polylines += c.name == "Polyline";
    EXPECT_EQ(polylines, 2);

    // A display width draws with a pen of that width.
    t->general().display_width(3);
    dc.clear();
    t->draw(dc.dc, qdc, view);
    polylines = 0;
    for (const Platform_Call& c : dc.calls())
        if (c.name == "Polyline") {
            ++polylines;
            EXPECT_EQ(c.pen.lopnWidth.x, 3);
        }
    EXPECT_EQ(polylines, 2);

    Recording_Dc grip, ref;
    t->draw_key_point(grip.dc, qdc, view);
    api_mb_draw_point(ref.dc, Qe_Pt(2, 2, 0), 0, 3, 0);
    EXPECT_EQ(grip.texts(), ref.texts());

    // The device-font box becomes the rectangle: width scale × height × bytes by height.
    t->draw_ttf(dc.dc, view);
    EXPECT_TRUE(pt_eq(t->rect().lt(), Qe_Pt(1, 3, 0)));
    EXPECT_TRUE(pt_eq(t->rect().rb(), Qe_Pt(5, 1, 0)));
}

TEST(Text, DeviceFontNode)
{
    Box_Fonts fonts;
    std::unique_ptr<MB_Text> t(text_at(fonts, Qe_Pt(10, 20, 0), "AB", 2.5));
    MB_Draw_TTF_Text node(0xFF, t.get());
    EXPECT_EQ(node.drawable(), t.get());
    const Qe_Tran view = scale_transf(2.0) * translate_transf(Qe_Vec(0.75, 0.5, 0));
    Recording_Dc dc;
    node.draw(dc.dc, view);
    EXPECT_EQ(node.font_height(), 5);
    std::vector<std::string> outs;
    for (const Platform_Call& c : dc.calls())
        if (c.name == "TextOutA") outs.push_back(platform_call_text(c));
    ASSERT_EQ(outs.size(), 1u);
    Platform_Call want;
    want.name = "TextOutA";
    want.args = {20, 40, 2};
    want.text = "AB";
    EXPECT_EQ(outs[0], platform_call_text(want));

    // Without a library the platform's default face is asked for; the text still shows.
    t->text_style()->font_lib(static_cast<MB_Font_Library*>(nullptr));
    dc.clear();
    node.draw(dc.dc, view);
    int shown = 0;
    for (const Platform_Call& c : dc.calls()) shown += c.name == "TextOutA";
    EXPECT_EQ(shown, 1);

    // Nothing is drawn for an empty text, without an owner, or for a height that is not a
    // whole pixel or not finite.
    struct Case {
        const char* what;
        const char* text;
        double height;
        bool owner;
    };
    for (const Case& c : {Case{"empty", "", 2.5, true}, Case{"no owner", "AB", 2.5, false},
                          Case{"tiny", "AB", 0.4, true}, Case{"nan", "AB", std::nan(""), true},
                          Case{"infinite", "AB", std::numeric_limits<double>::infinity(), true},
                          Case{"negative", "AB", -3.0, true}}) {
        t->set_text(MB_String(c.text));
        t->text_style()->height(c.height);
        MB_Draw_TTF_Text n(0, c.owner ? t.get() : nullptr);
        Recording_Dc quiet;
        n.draw(quiet.dc, view);
        EXPECT_TRUE(quiet.calls().empty()) << c.what;
    }
}

// Several texts in several styles are saved with the drawing and come back with every
// style value and font; saving again gives the same bytes.
TEST(Text, DrawingWithStylesSavesAndLoads)
{
    Box_Fonts fonts;
    auto save = [](MB_Drawing& d) {
        stream_test::Temp_File f;
        MB_File_IO io;
        io.drawing(&d);
        EXPECT_TRUE(io.save_jxb(f.path()));
        return f.contents();
    };
    struct Want {
        std::string text, style;
        double reals[4];
        long longs[2];
        MB_Font_Library* font;
    };
    std::vector<Want> wants;
    Bytes first;
    {
        Op_Fixture f;
        auto* plans = new MB_Text_Style("Plans", "box.shx", "hztxt.shx", 2.5, 0.75, 0.25, 0.5, 0, 0);
        plans->ali_flag(4096);
        auto* notes = new MB_Text_Style("Notes", "txt.shx", nullptr, 1.25, 1.0, 0.0, 0.0, 0, 0);
        notes->font_style(MB_Text_Style::Mirror_Across_Direction);
        f.drawing->text_style_list().add_tail(plans);
        f.drawing->text_style_list().add_tail(notes);
        const char* names[] = {"Plans", "notes", "Plans", "missing"};
        for (int i = 0; i < 4; ++i) {
            auto* t = new MB_Text(Qe_Pt(i * 3.5, -i * 1.25, 0), MB_String(i % 2 ? "AB" : "A"));
            t->init_text_style(*f.drawing, names[i]);
            if (i == 2) t->text_style()->height(4.0);
            t->build_draw();
            f.drawing->add_object(t);
            const MB_Text_Style& s = *t->text_style();
            wants.push_back({i % 2 ? "AB" : "A", s.name().ascii(), {s.height(), s.width_scale(), s.angle(),
                             s.oblique_angle()}, {s.font_style(), s.ali_flag()}, s.font_lib()});
        }
        first = save(*f.drawing);
    }
    Op_Fixture g;
    stream_test::Temp_File file;
    file.contents(first);
    ASSERT_TRUE(g.op->load_jxb(file.path()));
    std::vector<std::string> style_names;
    for (MB_Object* o = g.drawing->text_style_list().get_head(); o; o = o->next())
        style_names.push_back(static_cast<MB_Text_Style*>(o)->name().ascii());
    EXPECT_EQ(style_names, (std::vector<std::string>{"Plans", "Notes", "DEFAULT_STYLE"}));
    std::size_t i = 0;
    for (MB_Object* o = g.drawing->object_list().get_head(); o; o = o->next(), ++i) {
        auto* t = dynamic_cast<MB_Text*>(o);
        ASSERT_NE(t, nullptr);
        ASSERT_LT(i, wants.size());
        SCOPED_TRACE(i);
        const MB_Text_Style& s = *t->text_style();
        EXPECT_EQ(t->string(), MB_String(wants[i].text.c_str()));
        EXPECT_EQ(std::string(s.name().ascii()), wants[i].style);
        EXPECT_EQ(s.height(), wants[i].reals[0]);
        EXPECT_EQ(s.width_scale(), wants[i].reals[1]);
        EXPECT_EQ(s.angle(), wants[i].reals[2]);
        EXPECT_EQ(s.oblique_angle(), wants[i].reals[3]);
        EXPECT_EQ(s.font_style(), wants[i].longs[0]);
        EXPECT_EQ(s.ali_flag(), wants[i].longs[1]);
        EXPECT_EQ(s.font_lib(), wants[i].font);
    }
    EXPECT_EQ(i, wants.size());
    EXPECT_EQ(to_hex(save(*g.drawing)), to_hex(first));
}

}  // namespace
