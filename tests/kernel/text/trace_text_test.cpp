// MB_Trace_Text: characters at stations along a path, measured against an arc-length walk
// written here; degenerate spacings; keys, copies, undo and the absence of a stream form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "geometry/transform.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"
#include "kernel/text/trace_text.h"

using namespace entity_test;

namespace {

constexpr double k_pi = 3.14159265358979323846;
constexpr double k_tol = 1e-9;

struct Env {
    text_test::Box_Fonts fonts;
    Op_Fixture op;
};

struct Station {
    Qe_Pt at;
    double angle;  // of the segment the station lies on (arriving, at a vertex)
};

// The point dist along the path, by its own walk over the segments.
Station station(const std::vector<Qe_Pt>& path, double dist)
{
    double walked = 0.0;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const double dx = path[i + 1].x() - path[i].x(), dy = path[i + 1].y() - path[i].y();
        const double len = std::hypot(dx, dy);
        if (len == 0.0) continue;
        if (walked + len >= dist - 1e-12 || i + 2 == path.size()) {
            const double f = (dist - walked) / len;
            double a = std::atan2(dy, dx);
            if (a < 0) a += 2 * k_pi;
            return {Qe_Pt(path[i].x() + f * dx, path[i].y() + f * dy, 0), a};
        }
        walked += len;
    }
    return {path.front(), 0.0};
}

double turn(double a, double b)
{
    double d = std::remainder(b - a, 2.0 * k_pi);
    return d <= -k_pi ? d + 2.0 * k_pi : d;
}

std::unique_ptr<MB_Trace_Text> path_text(const std::vector<Qe_Pt>& path, const char* text, unsigned long att,
                                         double space, bool loop = false)
{
    auto t = std::make_unique<MB_Trace_Text>();
    t->pt_set(Qe_Pt_Set(static_cast<int>(path.size()), path.data()));
    t->str(text);
    t->att(att);
    t->space(space);
    t->is_loop(loop);
    t->height(1.0);
    t->build_draw();
    return t;
}

std::string run_text(const MB_Text& run)
{
    return run.string().ascii() ? run.string().ascii() : "";
}

const std::vector<Qe_Pt> k_square{Qe_Pt(0, 0, 0), Qe_Pt(3, 0, 0), Qe_Pt(3, 3, 0), Qe_Pt(0, 3, 0), Qe_Pt(0, 0, 0)};

}  // namespace

TEST(Trace_Text, CharactersStandAtTheirStations)
{
    Env env;
    struct Case {
        const char* what;
        std::vector<Qe_Pt> path;
        const char* text;
        unsigned long att;
        double space;
        bool loop;
        std::vector<double> stations;
        const char* chars;  // one per run
    };
    const Case cases[] = {
        {"fitted to an open path of length 10", {Qe_Pt(1, 1, 0), Qe_Pt(7, 9, 0)}, "ABC", 4, 0, false, {0, 5, 10},
         "ABC"},
        {"fitted to a closed path of length 12", k_square, "ABC", 4, 0, false, {0, 4, 8}, "ABC"},
        {"fitted, the loop flag has no effect", k_square, "AB", 4, 0, true, {0, 6}, "AB"},
        {"spaced and repeated over length 9", {Qe_Pt(0, 0, 0), Qe_Pt(9, 0, 0)}, "AB", 1, 2, true, {0, 2, 4, 6, 8},
         "ABABA"},
        {"round the corner of an L", {Qe_Pt(0, 0, 0), Qe_Pt(3, 0, 0), Qe_Pt(3, 3, 0)}, "ABC", 1, 2, false,
         {0, 2, 4}, "ABC"},
        {"a text longer than its path is cut", {Qe_Pt(0, 0, 0), Qe_Pt(5, 0, 0)}, "ABCABC", 1, 2, false, {0, 2, 4},
         "ABC"},
        {"a path ending exactly after a gap", {Qe_Pt(0, 0, 0), Qe_Pt(3.5, 0, 0)}, "ABC", 1, 2, false, {0, 2}, "AB"},
        {"a path ending inside the last dash", {Qe_Pt(0, 0, 0), Qe_Pt(3.75, 0, 0)}, "ABC", 1, 2, false, {0, 2},
         "AB"},
        {"a path ending on a station", {Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0)}, "ABC", 1, 2, false, {0, 2, 4}, "ABC"},
        {"a repeated vertex", {Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0), Qe_Pt(2, 0, 0), Qe_Pt(2, 3, 0)}, "ABCABC", 1, 1,
         false, {0, 1, 2, 3, 4, 5}, "ABCABC"},
        {"a long fitted text on a polyline",
         {Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0), Qe_Pt(10, 7, 0), Qe_Pt(-2, 7, 0)},
         "ABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCABCA", 4, 0, false, {}, nullptr},
        // Spacings without a usable pattern: the first character alone.
        {"one character fitted to an open path", {Qe_Pt(0, 0, 0), Qe_Pt(4, 3, 0)}, "A", 4, 0, false, {0}, "A"},
        {"no space", {Qe_Pt(0, 0, 0), Qe_Pt(4, 3, 0)}, "ABC", 1, 0, true, {0}, "A"},
        {"a negative space", {Qe_Pt(0, 0, 0), Qe_Pt(4, 3, 0)}, "ABC", 1, -1, false, {0}, "A"},
        {"a NaN space", {Qe_Pt(0, 0, 0), Qe_Pt(4, 3, 0)}, "ABC", 1, std::numeric_limits<double>::quiet_NaN(), false,
         {0}, "A"},
        {"a spacing past the path's end", {Qe_Pt(0, 0, 0), Qe_Pt(4, 3, 0)}, "ABC", 1, 7, false, {0}, "A"},
        {"an empty text", {Qe_Pt(0, 0, 0), Qe_Pt(4, 3, 0)}, "", 4, 0, false, {}, ""},
        {"one point", {Qe_Pt(1, 1, 0)}, "ABC", 1, 1, false, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<MB_Trace_Text> t = path_text(c.path, c.text, c.att, c.space, c.loop);
        std::vector<double> stations = c.stations;
        std::string chars = c.chars ? c.chars : c.text;
        if (!c.chars) {
            // Fitted: n characters over the whole length of an open path.
            const double length = 10 + 7 + 12;
            for (std::size_t k = 0; k < chars.size(); ++k) stations.push_back(length * k / (chars.size() - 1));
        }
        ASSERT_EQ(t->text_list().size(), stations.size());
        for (std::size_t k = 0; k < stations.size(); ++k) {
            const MB_Text& run = *t->text_list()[k];
            const Station want = station(c.path, stations[k]);
            EXPECT_EQ(run_text(run), std::string(1, chars[k])) << k;
            EXPECT_NEAR(run.base_pos().x(), want.at.x(), k_tol) << k;
            EXPECT_NEAR(run.base_pos().y(), want.at.y(), k_tol) << k;
            EXPECT_NEAR(turn(want.angle, run.text_style()->angle()), 0.0, k_tol) << k;
            EXPECT_EQ(run.text_style()->height(), 1.0);
        }
    }

    // Turned and mirrored characters; a path of one point repeated has no direction.
    std::unique_ptr<MB_Trace_Text> turned = path_text({Qe_Pt(0, 0, 0), Qe_Pt(0, 6, 0)}, "AB", 4, 0);
    turned->rotate180(true);
    turned->backword(true);
    turned->build_draw();
    ASSERT_EQ(turned->text_list().size(), 2u);
    for (const auto& run : turned->text_list()) {
        EXPECT_NEAR(run->text_style()->angle(), 1.5 * k_pi, k_tol);
        EXPECT_EQ(run->text_style()->font_style(), MB_Text_Style::Mirror_Across_Direction);
    }
    std::unique_ptr<MB_Trace_Text> still = path_text({Qe_Pt(2, 2, 0), Qe_Pt(2, 2, 0)}, "ABC", 4, 0);
    ASSERT_EQ(still->text_list().size(), 1u);
    EXPECT_EQ(still->text_list()[0]->text_style()->angle(), 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::unique_ptr<MB_Trace_Text> broken = path_text({Qe_Pt(0, 0, 0), Qe_Pt(nan, 1, 0)}, "ABC", 4, 0);
    EXPECT_TRUE(broken->text_list().empty());
}

TEST(Trace_Text, KeysCopiesUndoAndNoRecord)
{
    Env env;
    std::unique_ptr<MB_Trace_Text> owned = path_text(k_square, "ABC", 1, 1.5);
    MB_Trace_Text* t = owned.get();
    t->style_name("nothing by that name");
    t->offset(0.25);
    t->build_draw();
    EXPECT_TRUE(pt_eq(t->get_point(-1), Qe_Pt(0, 0, 0)));
    EXPECT_TRUE(pt_eq(t->get_point(-2), Qe_Pt(0, 0, 0)));
    EXPECT_EQ(t->get_int(-204), 5);
    EXPECT_EQ(t->get_int(-211), 1);
    EXPECT_EQ(t->get_real(-116), 1.5);
    EXPECT_EQ(t->get_real(-112), 1.0);
    EXPECT_EQ(t->get_real(-115), 0.0);
    EXPECT_STREQ(t->get_string(-303), "txt.shx");
    // The oblique angle reaches the present runs only.
    t->set_real(-115, 0.25);
    for (const auto& run : t->text_list()) EXPECT_EQ(run->text_style()->oblique_angle(), 0.25);
    t->build_draw();
    EXPECT_EQ(t->get_real(-115), 0.0);
    MB_Trace_Text bare;
    EXPECT_EQ(bare.get_real(-115), 1.0);
    bare.set_string(-301, "XY");
    EXPECT_STREQ(bare.str(), "");
    t->set_string(-301, "CBA");
    EXPECT_STREQ(t->get_string(-301), "CBA");

    // The display state reaches every run.
    Raster raster(20, 20);
    Qe_Tran identity;
    t->flag(MB_Drawable::State_Selected);
    t->draw(nullptr, raster.q, identity);
    for (const auto& run : t->text_list()) EXPECT_EQ(run->MB_Drawable::flag(), MB_Drawable::State_Selected);
    t->flag(MB_Drawable::State_Normal);

    // A copy takes every value and the path.
    t->rotate180(true);
    t->backword(true);
    t->is_loop(true);
    t->width_scale(0.5);
    MB_Object* made = nullptr;
    ASSERT_TRUE(t->copy_to(made));
    std::unique_ptr<MB_Trace_Text> copy(dynamic_cast<MB_Trace_Text*>(made));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->str(), "CBA");
    EXPECT_STREQ(copy->style_name(), "nothing by that name");
    EXPECT_EQ(copy->space(), 1.5);
    EXPECT_EQ(copy->att(), 1u);
    EXPECT_EQ(copy->offset(), 0.25);
    EXPECT_EQ(copy->height(), 1.0);
    EXPECT_EQ(copy->width_scale(), 0.5);
    EXPECT_TRUE(copy->rotate180() && copy->backword() && copy->is_loop());
    ASSERT_EQ(copy->pt_set().count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(pt_eq(copy->pt_set().points()[i], k_square[i]));

    // A move is undone and redone, and the text stays in the drawing throughout.
    auto dump = [](MB_Object& o) {
        auto& p = static_cast<MB_Trace_Text&>(o);
        p.build_draw();
        std::string out;
        for (const auto& run : p.text_list())
            out += le_double(run->base_pos().x()) + le_double(run->base_pos().y()) +
                   le_double(run->text_style()->angle());
        return out;
    };
    expect_undo_redo_state(
        env.op, owned.release(),
        [](MB_Object& o) { static_cast<MB_Drawable&>(o).translate(translate_transf(Qe_Vec(5, -1, 0)), 0); }, "move",
        dump);
    EXPECT_EQ(env.op.drawing->object_list().count(), 1);
    EXPECT_EQ(env.op.drawing->object_list().get_head(), t);
    EXPECT_TRUE(pt_eq(t->pt_set().points()[1], Qe_Pt(8, -1, 0)));

    // Nothing of a path text is stored.
    MB_Result result = MB_Result::Open_Failed;
    EXPECT_EQ(record_bytes(*t, &result), "");
    EXPECT_EQ(result, 0);
}

// Without an operation the runs keep the shared default style; a lead byte at the end of the
// text is a character of its own, and nothing past the text is read.
TEST(Trace_Text, SharedStyleAndALoneLeadByte)
{
    text_test::Box_Fonts fonts;
    std::unique_ptr<MB_Trace_Text> t = path_text({Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0)}, "A\xB0", 1, 2);
    ASSERT_EQ(t->text_list().size(), 2u);
    EXPECT_EQ(run_text(*t->text_list()[1]), "\xB0");
    for (const auto& run : t->text_list()) {
        EXPECT_STREQ(run->text_style()->name().ascii(), "DEFAULT_STYLE");
        ASSERT_NE(run->text_style()->font_lib(), nullptr);
        EXPECT_STREQ(run->text_style()->font_lib()->name().ascii(), "txt.shx");
    }
    EXPECT_NE(t->text_list()[0]->draw_node(), nullptr);
}
