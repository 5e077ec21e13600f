// MB_Tolerance: tolerance strings parsed into text and symbol runs with boxed rows and cell
// bars (closed forms of the frame's proportions), rotation, the '?' record, undo, and
// hostile strings and records.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "geometry/transform.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"
#include "kernel/text/tolerance_frame.h"

using namespace entity_test;

namespace {

constexpr double k_tol = 1e-9;

// The box fonts, with a symbol font of its own whose 'j' is a box as well.
struct Fonts {
    text_test::Box_Fonts fonts;
    Fonts()
    {
        fonts.folder.put("gdt.shx", shx_writer::shapes_file({"gdt", 10, 0, 0}, text_test::box_shapes({'j'})));
    }
};

struct Env {
    Fonts fonts;
    Op_Fixture op;
};

struct Placed_Run {
    std::string text;
    double x, y;
    const char* font;
};

struct Seg {
    double x1, y1, x2, y2;
};

std::string run_text(const MB_Text& run)
{
    return run.string().ascii() ? run.string().ascii() : "";
}

const char* font_of(const MB_Text& run)
{
    const MB_Font_Library* lib = run.text_style()->font_lib();
    return lib && lib->name().ascii() ? lib->name().ascii() : "";
}

std::unique_ptr<MB_Tolerance> frame(const Qe_Pt& at, double height, const char* text, double angle = 0.0)
{
    auto t = std::make_unique<MB_Tolerance>(at, text);
    t->set_height(height);
    t->angle(angle);
    t->build_draw();
    return t;
}

}  // namespace

TEST(Tolerance, RowsCellsAndSymbolsInClosedForm)
{
    Env env;
    const double H = 2.0, x0 = 2.0, y0 = 5.0;
    // Row r's top, its base line and the pen's start; a box glyph is H wide.
    auto top = [&](int r) { return y0 + H - 2 * H * r; };
    auto base = [&](int r) { return top(r) - 1.5 * H; };
    const double pen = x0 + 1.0;
    const double after_run = 0.32 * H, before_bar = 0.08 * H, after_bar = 0.4 * H;
    // The pen after a box glyph at x, and the bar after a run ending at g.
    auto after_box = [&](double x) { return x + H + after_run; };
    auto bar = [&](double g) { return g + before_bar; };
    auto box = [&](int r, double right) {
        return std::vector<Seg>{{right, top(r), right, top(r) - 2 * H},
                                {x0, top(r), right, top(r)},
                                {x0, top(r) - 2 * H, right, top(r) - 2 * H},
                                {x0, top(r), x0, top(r) - 2 * H}};
    };
    auto bar_line = [&](int r, double x) { return Seg{x, top(r), x, top(r) - 2 * H}; };
    auto join = [](std::vector<Seg> a, const std::vector<Seg>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    const double a_end = after_box(pen);         // g after "A" at the pen
    const double b_at = bar(a_end) + after_bar;  // the pen after the bar that follows
    struct Case {
        const char* text;
        std::vector<Placed_Run> runs;
        std::vector<Seg> lines;
    };
    const Case cases[] = {
        {"A%%vB", {{"A", pen, base(0), "txt.shx"}, {"B", b_at, base(0), "txt.shx"}},
         join({bar_line(0, bar(a_end))}, box(0, after_box(b_at)))},
        {"%%v%%vA", {{"A", pen, base(0), "txt.shx"}}, box(0, a_end)},
        {"A\nB", {{"A", pen, base(0), "txt.shx"}, {"B", pen, base(1), "txt.shx"}}, join(box(0, a_end), box(1, a_end))},
        // A row ending in a bar ends on it; a second bar adds nothing.
        {"A%%v", {{"A", pen, base(0), "txt.shx"}}, join({bar_line(0, bar(a_end))}, box(0, bar(a_end)))},
        {"A%%v%%v", {{"A", pen, base(0), "txt.shx"}}, join({bar_line(0, bar(a_end))}, box(0, bar(a_end)))},
        {"{\\Fgdt;j}%%vA", {{"j", pen, base(0), "gdt.shx"}, {"A", b_at, base(0), "txt.shx"}},
         join({bar_line(0, bar(a_end))}, box(0, after_box(b_at)))},
        // Two glyphs in one run: the second box starts 1.2 H after the first.
        {"AB", {{"AB", pen, base(0), "txt.shx"}}, box(0, pen + 2.2 * H + after_run)},
        // A brace group cut short by the string or the row is plain text (here without
        // glyphs, so it ends where it starts).
        {"A{\\Fgdt", {{"A", pen, base(0), "txt.shx"}, {"{\\Fgdt", a_end, base(0), "txt.shx"}},
         box(0, a_end + after_run)},
        {"{ab\ncdefgh}", {{"{ab", pen, base(0), "txt.shx"}, {"cdefgh}", pen, base(1), "txt.shx"}},
         join(box(0, pen + after_run), box(1, pen + after_run))},
        // A row with nothing in it has no box, but keeps its place.
        {"A\n\nB", {{"A", pen, base(0), "txt.shx"}, {"B", pen, base(2), "txt.shx"}},
         join(box(0, a_end), box(2, a_end))},
        {"%%v\n", {}, {}},
        {"", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::unique_ptr<MB_Tolerance> t = frame(Qe_Pt(x0, y0, 0.5), H, c.text);
        ASSERT_EQ(t->text_list().size(), c.runs.size());
        for (std::size_t i = 0; i < c.runs.size(); ++i) {
            const MB_Text& run = *t->text_list()[i];
            EXPECT_EQ(run_text(run), c.runs[i].text) << i;
            EXPECT_NEAR(run.base_pos().x(), c.runs[i].x, k_tol) << i;
            EXPECT_NEAR(run.base_pos().y(), c.runs[i].y, k_tol) << i;
            EXPECT_EQ(run.base_pos().z(), 0.5) << i;
            EXPECT_STREQ(font_of(run), c.runs[i].font) << i;
            EXPECT_EQ(run.text_style()->height(), H);
            EXPECT_EQ(run.text_style()->width_scale(), 1.0);
        }
        ASSERT_EQ(t->frame_list().size(), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const MB_Line& l = *t->frame_list()[i];
            EXPECT_NEAR(l.start().x(), c.lines[i].x1, k_tol) << i;
            EXPECT_NEAR(l.start().y(), c.lines[i].y1, k_tol) << i;
            EXPECT_NEAR(l.end().x(), c.lines[i].x2, k_tol) << i;
            EXPECT_NEAR(l.end().y(), c.lines[i].y2, k_tol) << i;
        }
        // The rectangle holds the frame as well as the text.
        for (const auto& l : t->frame_list())
            for (const Qe_Pt& p : {l->start(), l->end()}) EXPECT_TRUE(t->rect().pt_in_rect(p, k_tol));
    }
}

TEST(Tolerance, RotationTurnsRunsAndLinesAboutThePosition)
{
    Env env;
    const Qe_Pt at(2, 5, 0);
    const double angle = 0.5;
    std::unique_ptr<MB_Tolerance> flat = frame(at, 2.0, "{\\Fgdt;j}%%vA\nB%%v", 0.0);
    std::unique_ptr<MB_Tolerance> turned = frame(at, 2.0, "{\\Fgdt;j}%%vA\nB%%v", angle);
    ASSERT_EQ(turned->text_list().size(), flat->text_list().size());
    ASSERT_EQ(turned->frame_list().size(), flat->frame_list().size());
    auto rotated = [&](const Qe_Pt& p) {
        const double dx = p.x() - at.x(), dy = p.y() - at.y();
        return Qe_Pt(at.x() + dx * std::cos(angle) - dy * std::sin(angle),
                     at.y() + dx * std::sin(angle) + dy * std::cos(angle), p.z());
    };
    auto near = [](const Qe_Pt& a, const Qe_Pt& b) {
        return std::fabs(a.x() - b.x()) < k_tol && std::fabs(a.y() - b.y()) < k_tol;
    };
    for (std::size_t i = 0; i < flat->text_list().size(); ++i) {
        EXPECT_TRUE(near(turned->text_list()[i]->base_pos(), rotated(flat->text_list()[i]->base_pos()))) << i;
        EXPECT_EQ(turned->text_list()[i]->text_style()->angle(), angle);
        EXPECT_EQ(flat->text_list()[i]->text_style()->angle(), 0.0);
    }
    for (std::size_t i = 0; i < flat->frame_list().size(); ++i) {
        EXPECT_TRUE(near(turned->frame_list()[i]->start(), rotated(flat->frame_list()[i]->start()))) << i;
        EXPECT_TRUE(near(turned->frame_list()[i]->end(), rotated(flat->frame_list()[i]->end()))) << i;
    }
    // A turn below the threshold is none.
    std::unique_ptr<MB_Tolerance> tiny = frame(at, 2.0, "A", 1e-6);
    EXPECT_EQ(tiny->text_list()[0]->text_style()->angle(), 0.0);
}

TEST(Tolerance, RecordUndoAndDisplay)
{
    Env env;
    std::unique_ptr<MB_Tolerance> t = frame(Qe_Pt(1.5, -2.25, 0.75), 2.5, "{\\Fgdt;j}%%v0.1%%vA\nB", 0.4);
    t->general().color(0x0000FF);
    t->build_draw();
    for (const auto& l : t->frame_list()) EXPECT_EQ(l->general().color(), 0x0000FF);
    for (const auto& r : t->text_list()) EXPECT_EQ(r->general().color(), 0x0000FF);

    const Bytes rec = record_bytes(*t);
    const std::string text = "{\\Fgdt;j}%%v0.1%%vA\nB";
    const Bytes operands = "?" + k_no_xdata + position(Qe_Pt(1.5, -2.25, 0.75)) + le_double(2.5) + counted(text);
    ASSERT_GE(rec.size(), operands.size());
    EXPECT_EQ(to_hex(rec.substr(rec.size() - operands.size())), to_hex(operands));

    Record_Reader r;
    ASSERT_EQ(r.read(rec), 0);
    ASSERT_EQ(r.count(), 1);
    auto* got = r.first<MB_Tolerance>();
    ASSERT_NE(got, nullptr);
    EXPECT_TRUE(pt_eq(got->text_pos(), t->text_pos()));
    EXPECT_EQ(got->height(), 2.5);
    EXPECT_EQ(std::string(got->string()), text);
    EXPECT_EQ(got->angle(), 0.0);
    EXPECT_EQ(got->general().color(), 0x0000FF);
    EXPECT_EQ(record_bytes(*got), rec);

    // Every truncation fails and adds nothing.
    const std::size_t at = rec.size() - operands.size();
    for (std::size_t n = at + 1; n < rec.size(); ++n) {
        Record_Reader rt;
        EXPECT_NE(rt.read_raw(k_header + rec.substr(0, n)), MB_Result::End_Of_Stream) << n;
        EXPECT_EQ(rt.count(), 0) << n;
    }
    // Damaged records: a clear result, and whatever was read builds (under the sanitizers).
    std::mt19937 rng(31);
    for (int round = 0; round < 400; ++round) {
        Bytes bad = rec;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < flips; ++k) bad[at + rng() % (bad.size() - at)] = static_cast<char>(rng() & 0xFF);
        Record_Reader rm;
        (void)rm.read_raw(k_header + bad + k_trailer);
        for (MB_Object* o = rm.drawing().object_list().get_head(); o; o = o->next())
            if (auto* d = dynamic_cast<MB_Drawable*>(o)) d->build_draw();
    }

    // Moves are undone and redone.
    auto* live = new MB_Tolerance(*t);
    expect_undo_redo_state(env.op, live, [](MB_Object& o) {
        static_cast<MB_Drawable&>(o).translate(translate_transf(Qe_Vec(3, 4, 0)), 0);
    }, "move");
    EXPECT_TRUE(pt_eq(live->text_pos(), Qe_Pt(4.5, 1.75, 0.75)));
    MB_Object* made = nullptr;
    ASSERT_TRUE(live->copy_to(made));
    std::unique_ptr<MB_Tolerance> copy(dynamic_cast<MB_Tolerance*>(made));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->angle(), 0.4);
    EXPECT_EQ(copy->height(), 2.5);
    EXPECT_EQ(std::string(copy->string()), text);

    // Drawn with a string; nothing without one, whatever runs are left.
    Raster raster(200, 200);
    Qe_Tran view = scale_transf(10.0) * translate_transf(Qe_Vec(20, 100, 0));
    t->draw(nullptr, raster.q, view);
    EXPECT_GT(raster.drawn(), 0);
    Raster empty(200, 200);
    t->string("");
    t->draw(nullptr, empty.q, view);
    EXPECT_EQ(empty.drawn(), 0);
}

TEST(Tolerance, WithoutAnOperationPlainTextKeepsTheSharedStyle)
{
    Fonts fonts;
    std::unique_ptr<MB_Tolerance> t = frame(Qe_Pt(), 1.0, "A%%v{\\Fgdt;j}");
    ASSERT_EQ(t->text_list().size(), 2u);
    EXPECT_EQ(std::string(t->text_list()[0]->text_style()->name().ascii()), "DEFAULT_STYLE");
    EXPECT_STREQ(font_of(*t->text_list()[0]), "txt.shx");
    EXPECT_STREQ(font_of(*t->text_list()[1]), "gdt.shx");
    EXPECT_NE(t->text_list()[0]->draw_node(), nullptr);
}

TEST(Tolerance, HostileStrings)
{
    Env env;
    // Every prefix of strings that end inside their codes.
    const std::string strings[] = {
        "{\\Fgdt;j}%%v0.05{\\Fgdt;m}%%vA%%vB\n{\\Fgdt;r}%%v0.1%%v%%v",
        "{\\Fgdt;", "%%", "A\n\n%%v{", "\xB0\xA1{\\Fgdt;\xB0\xA1}%%v\xB0",
    };
    for (const std::string& s : strings)
        for (std::size_t n = 0; n <= s.size(); ++n) {
            std::unique_ptr<MB_Tolerance> t = frame(Qe_Pt(1, 1, 0), 1.0, s.substr(0, n).c_str());
            EXPECT_LE(t->text_list().size(), n);
            for (const auto& l : t->frame_list()) EXPECT_TRUE(std::isfinite(l->end().x()));
        }
    // Random strings of the codes' pieces.
    const char* pieces[] = {"{", "}", "\\", "F", "gdt", ";", "j", "%", "%%v", "%%", "v", "\n", "A", "\xB0", "\xA1", " "};
    std::mt19937 rng(33);
    for (int round = 0; round < 500; ++round) {
        std::string s;
        const int n = static_cast<int>(rng() % 24);
        for (int k = 0; k < n; ++k) s += pieces[rng() % std::size(pieces)];
        std::unique_ptr<MB_Tolerance> t = frame(Qe_Pt(1, 1, 0), 1.0 + (rng() % 3), s.c_str(), (rng() % 2) * 0.7);
        for (const auto& run : t->text_list()) EXPECT_TRUE(std::isfinite(run->base_pos().x())) << s;
    }
    // Heights and positions that are not finite make nothing.
    for (double bad : {std::nan(""), HUGE_VAL}) {
        EXPECT_TRUE(frame(Qe_Pt(1, 1, 0), bad, "A%%vB")->text_list().empty());
        EXPECT_TRUE(frame(Qe_Pt(bad, 1, 0), 1.0, "A%%vB")->frame_list().empty());
    }
}
