// MB_Arc_Text: characters laid along an arc in every placement mode, the guards of an arc
// that cannot carry them, keys, copies and undo, and the absence of a stream form.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "geometry/transform.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/text/arc_text.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"

using namespace entity_test;

namespace {

constexpr double k_pi = 3.14159265358979323846;
constexpr double k_tol = 1e-9;

// The signed difference b − a of two angles, in (−π, π].
double turn(double a, double b)
{
    double d = std::remainder(b - a, 2.0 * k_pi);
    return d <= -k_pi ? d + 2.0 * k_pi : d;
}

bool finite(const Qe_Pt& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z());
}

// Every run of the text and its rectangle are free of NaN and infinities.
void expect_finite(const MB_Arc_Text& t)
{
    EXPECT_TRUE(finite(t.rect().lt()) && finite(t.rect().rb()));
    for (const auto& run : t.text_list()) {
        EXPECT_TRUE(finite(run->base_pos()));
        EXPECT_TRUE(std::isfinite(run->text_style()->angle()));
        EXPECT_TRUE(finite(run->rect().lt()) && finite(run->rect().rb()));
    }
}

std::string run_text(const MB_Text& run)
{
    return run.string().ascii() ? run.string().ascii() : "";
}

// The box fonts and an operation whose drawing's default style uses them.
struct Env {
    text_test::Box_Fonts fonts;
    Op_Fixture op;
};

struct Mode_Case {
    unsigned long att;
    bool rotate180;
    // The first run's angle on the arc, the step to the next and the run's style angle
    // less its angle on the arc, from θ (the half angle of a character), g (the gap's
    // angle), a and b (the ends of the usable arc), the middle m and the whole text's
    // angle T.
    double (*first)(double theta, double g, double a, double b, double m, double T, double step);
    double (*step)(double theta, double g, double step);
    double (*style_offset)(double theta, double half);
};

}  // namespace

TEST(Arc_Text, EveryModeStandsOnItsArc)
{
    Env env;
    const Qe_Pt centre(3.0, -2.0, 0.5);
    const double R = 10.0, h = 1.0, space = 0.5, arc_offset = 0.2;
    const double start = 0.3, end = 2.5;
    const int n = 3;

    const Mode_Case cases[] = {
        // From the end of the arc clockwise, each character standing on its chord.
        {1, false, [](double, double, double, double b, double, double, double) { return b; },
         [](double th, double g, double) { return -(2 * th + g); },
         [](double th, double) { return -th - k_pi / 2; }},
        {1, true, [](double, double, double a, double, double, double, double) { return a; },
         [](double th, double g, double) { return 2 * th + g; }, [](double th, double) { return th + k_pi / 2; }},
        // Centred on the middle of the arc.
        {8, false, [](double, double, double, double, double m, double T, double) { return m + T / 2; },
         [](double th, double g, double) { return -(2 * th + g); },
         [](double th, double) { return -th - k_pi / 2; }},
        {8, true, [](double, double, double, double, double m, double T, double) { return m - T / 2; },
         [](double th, double g, double) { return 2 * th + g; }, [](double th, double) { return th + k_pi / 2; }},
        // From the start of the arc upwards (turned: from the end angle down), in run order.
        {2, false, [](double th, double, double a, double, double, double, double) { return a + 2 * th; },
         [](double th, double g, double) { return 2 * th + g; }, [](double th, double) { return -th - k_pi / 2; }},
        {2, true, [](double th, double, double, double, double, double, double) { return 2.5 - 2 * th; },
         [](double th, double g, double) { return -(2 * th + g); }, [](double th, double) { return th + k_pi / 2; }},
        // Spread evenly from b to a.
        {4, false, [](double, double, double, double b, double, double, double) { return b; },
         [](double, double, double step) { return -step; }, [](double, double half) { return -half - k_pi / 2; }},
        {4, true, [](double, double, double a, double, double, double, double) { return a; },
         [](double, double, double step) { return step; }, [](double, double half) { return half + k_pi / 2; }},
    };

    for (const Mode_Case& c : cases) {
        SCOPED_TRACE("att " + std::to_string(c.att) + (c.rotate180 ? " turned" : ""));
        MB_Arc_Text t(centre, start, end, R, "", "ABC");
        t.att(c.att);
        t.rotate180(c.rotate180);
        t.height(h);
        t.space(space);
        t.arc_offset(arc_offset);
        t.build_draw();
        ASSERT_EQ(t.text_list().size(), static_cast<std::size_t>(n));
        expect_finite(t);

        const double s = R + arc_offset + (c.rotate180 ? h : 0.0);
        const double w = h;  // the box glyph's width
        const double theta = std::asin(w / 2 / s), g = space / s, half = w / 2 / s;
        const double T = n * 2 * theta + (n - 1) * g;
        const double step = (end - start - 2 * theta) / (n - 1);
        double want = c.first(theta, g, start, end, (start + end) / 2, T, step);
        for (int i = 0; i < n; ++i) {
            const MB_Text& run = *t.text_list()[i];
            EXPECT_EQ(run_text(run), std::string(1, "ABC"[i]));
            const Qe_Vec radial = run.base_pos() - centre;
            EXPECT_NEAR(std::hypot(radial.x(), radial.y()), s, k_tol) << i;
            EXPECT_NEAR(run.base_pos().z(), centre.z(), k_tol) << i;
            const double phi = std::atan2(radial.y(), radial.x());
            EXPECT_NEAR(turn(want, phi), 0.0, k_tol) << i;
            const double style = run.text_style()->angle();
            EXPECT_GE(style, 0.0);
            EXPECT_LT(style, 2 * k_pi);
            EXPECT_NEAR(turn(phi + c.style_offset(theta, half), style), 0.0, k_tol) << i;
            if (c.att != 4) {
                // The chord's far end is on the base-line circle too: the character
                // stands on the arc.
                const Qe_Pt far(run.base_pos().x() + w * std::cos(style), run.base_pos().y() + w * std::sin(style), 0);
                EXPECT_NEAR(std::hypot(far.x() - centre.x(), far.y() - centre.y()), s, k_tol) << i;
            }
            want += c.step(theta, g, step);
        }
        // The rectangle is the runs' union.
        EXPECT_LT(t.rect().lt().x(), t.rect().rb().x());
        for (const auto& run : t.text_list()) {
            EXPECT_LE(t.rect().lt().x(), run->rect().lt().x() + k_tol);
            EXPECT_GE(t.rect().rb().x(), run->rect().rb().x() - k_tol);
        }
    }
}

TEST(Arc_Text, OrderOffsetsAndBaseLine)
{
    Env env;
    // Reversed, a two-byte character comes first with its bytes in order.
    MB_Arc_Text rev(Qe_Pt(), 0.0, k_pi, 10.0, "", "AB\xB0\xA1");
    rev.reverse(true);
    rev.att(1);
    rev.height(1.0);
    rev.build_draw();
    ASSERT_EQ(rev.text_list().size(), 3u);
    EXPECT_EQ(run_text(*rev.text_list()[0]), "\xB0\xA1");
    EXPECT_EQ(run_text(*rev.text_list()[1]), "B");
    EXPECT_EQ(run_text(*rev.text_list()[2]), "A");

    // A character without glyphs takes the width of the space.
    MB_Arc_Text gap(Qe_Pt(), 0.0, k_pi, 10.0, "", "AZB");
    gap.att(1);
    gap.height(1.0);
    gap.space(0.5);
    gap.build_draw();
    ASSERT_EQ(gap.text_list().size(), 3u);
    const Qe_Pt last = gap.text_list()[2]->base_pos();
    const double g = 0.5 / 10.0;
    EXPECT_NEAR(std::atan2(last.y(), last.x()), k_pi - (2 * std::asin(0.05) + g) - (2 * std::asin(0.025) + g), k_tol);

    struct Case {
        const char* what;
        bool outside;
        double right_offset, left_offset;
        unsigned long att;
        bool rotate180;
        double radius;    // of the base line
        double first_at;  // angle of the first character
    };
    const Case cases[] = {
        // On a half circle the first character stands at its left end, the next clockwise.
        {"att 1 on a half circle", true, 0, 0, 1, false, 10.0, k_pi},
        {"inside, no offset: base line at R − h", false, 0, 0, 1, false, 9.0, k_pi},
        {"inside and turned: base line back on the arc", false, 0, 0, 1, true, 10.0, 0.0},
        {"right offset 1 on radius 10: 0.1 radians", true, 1.0, 0, 1, true, 11.0, 0.1},
        {"left offset 1 on radius 10: 0.1 radians", true, 0, 1.0, 1, false, 10.0, k_pi - 0.1},
        {"att 2 turned starts at the end angle, whatever the left offset", true, 0, 1.0, 2, true, 11.0,
         k_pi - 2 * std::asin(0.5 / 11.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MB_Arc_Text t(Qe_Pt(), 0.0, k_pi, 10.0, "", "AB");
        t.height(1.0);
        t.outside(c.outside);
        t.right_offset(c.right_offset);
        t.left_offset(c.left_offset);
        t.att(c.att);
        t.rotate180(c.rotate180);
        t.build_draw();
        ASSERT_EQ(t.text_list().size(), 2u);
        const Qe_Pt p = t.text_list()[0]->base_pos();
        EXPECT_NEAR(std::hypot(p.x(), p.y()), c.radius, k_tol);
        EXPECT_NEAR(turn(c.first_at, std::atan2(p.y(), p.x())), 0.0, k_tol);
    }
}

// The order a reader sees: characters read clockwise (each stands on the arc facing out), so
// the text reads from the highest angle down. Mode 1 reads in order from the end of the arc;
// mode 2 stands its first character at the start and reads in order only when the text is
// given reversed, the way callers pair it.
TEST(Arc_Text, ReadingOrderOfModesOneAndTwo)
{
    Env env;
    struct Case {
        unsigned long att;
        bool reverse;
        const char* reads;
    };
    for (const Case& c : {Case{1, false, "ABC"}, Case{1, true, "CBA"}, Case{2, false, "CBA"}, Case{2, true, "ABC"}}) {
        MB_Arc_Text t(Qe_Pt(), 0.0, k_pi, 10.0, "", "ABC");
        t.height(1.0);
        t.att(c.att);
        t.reverse(c.reverse);
        t.build_draw();
        std::vector<std::pair<double, std::string>> by_angle;
        for (const auto& run : t.text_list())
            by_angle.emplace_back(std::atan2(run->base_pos().y(), run->base_pos().x()), run_text(*run));
        std::sort(by_angle.rbegin(), by_angle.rend());
        std::string seen;
        for (const auto& [angle, text] : by_angle) seen += text;
        EXPECT_EQ(seen, c.reads) << "att " << c.att << (c.reverse ? " reversed" : "");
    }
}

TEST(Arc_Text, ArcsThatCannotCarryTextPlaceNothingAndStayFinite)
{
    Env env;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        double radius, start, end, arc_offset, right_offset;
        bool outside;
        bool placed;
    };
    const Case cases[] = {
        {"no radius", 0.0, 0, 1, 0, 0, true, false},
        {"negative radius", -5.0, 0, 1, 0, 0, true, false},
        {"inside an arc smaller than the text height", 0.5, 0, 1, 0, 0, false, false},
        {"base line exactly on the centre", 1.0, 0, 1, 0, 0, false, false},
        {"NaN start angle", 10.0, nan, 1, 0, 0, true, false},
        {"infinite end angle", 10.0, 0, inf, 0, 0, true, false},
        {"infinite radius", inf, 0, 1, 0, 0, true, false},
        {"NaN offset", 10.0, 0, 1, nan, 0, true, false},
        {"infinite right offset", 10.0, 0, 1, 0, -inf, true, false},
        // Characters wider than the circle: the half angle is a quarter turn.
        {"characters wider than the circle", 0.2, 0, 1, 0, 0, true, true},
        // A huge angle is folded at once, not a turn at a time.
        {"huge angles", 10.0, 1e300, -1e300, 0, 0, true, true},
    };
    for (unsigned long att : {1ul, 2ul, 4ul, 8ul})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", att " + std::to_string(att));
            MB_Arc_Text t(Qe_Pt(1, 2, 0), c.start, c.end, c.radius, "", "ABC");
            t.height(1.0);
            t.att(att);
            t.outside(c.outside);
            t.arc_offset(c.arc_offset);
            t.right_offset(c.right_offset);
            t.build_draw();
            ASSERT_EQ(t.text_list().size(), 3u);
            expect_finite(t);
            for (const auto& run : t.text_list())
                EXPECT_EQ(pt_eq(run->base_pos(), Qe_Pt()), !c.placed) << run_text(*run);
        }

    // One character fitted to the arc stands at its end, with no step between characters.
    for (const bool turned : {false, true}) {
        MB_Arc_Text one(Qe_Pt(), 0.5, 2.0, 10.0, "", "A");
        one.height(1.0);
        one.att(4);
        one.rotate180(turned);
        one.build_draw();
        ASSERT_EQ(one.text_list().size(), 1u);
        expect_finite(one);
        const Qe_Pt p = one.text_list()[0]->base_pos();
        EXPECT_NEAR(std::atan2(p.y(), p.x()), turned ? 0.5 : 2.0, k_tol);
    }

    // An unknown mode leaves the runs at the origin; an empty text makes none.
    MB_Arc_Text other(Qe_Pt(4, 4, 0), 0.0, 1.0, 10.0, "", "AB");
    other.att(3);
    other.build_draw();
    for (const auto& run : other.text_list()) EXPECT_TRUE(pt_eq(run->base_pos(), Qe_Pt()));
    MB_Arc_Text empty(Qe_Pt(4, 4, 0), 0.0, 1.0, 10.0, "", "");
    empty.build_draw();
    EXPECT_TRUE(empty.text_list().empty());
    EXPECT_TRUE(pt_eq(empty.rect().lt(), Qe_Pt(4, 4, 0)));
    EXPECT_TRUE(pt_eq(empty.rect().rb(), Qe_Pt(4, 4, 0)));
    Qe_Pt_List hits;
    Qe_Pt hit;
    int kind = 0, extra = 0;
    EXPECT_FALSE(empty.pick(Qe_Pt(4, 4, 0), hits, 1.0, hit, kind, extra));
}

TEST(Arc_Text, KeysCopiesUndoAndNoRecord)
{
    Env env;
    auto* t = new MB_Arc_Text(Qe_Pt(1, 2, 0), 0.25, 2.0, 10.0, "", "AB");
    t->height(1.5);
    t->build_draw();
    EXPECT_TRUE(pt_eq(t->get_point(-3), Qe_Pt(1, 2, 0)));
    EXPECT_EQ(t->get_real(-120), 0.25);
    EXPECT_EQ(t->get_real(-121), 2.0);
    EXPECT_EQ(t->get_real(-103), 10.0);
    EXPECT_EQ(t->get_real(-112), 1.5);
    EXPECT_EQ(t->get_real(-115), 0.0);
    EXPECT_EQ(t->get_int(-211), 4);
    EXPECT_STREQ(t->get_string(-301), "AB");
    EXPECT_STREQ(t->get_string(-303), "txt.shx");
    t->set_real(-119, 0.5);
    t->set_real(-118, 0.25);
    t->set_real(-117, 0.125);
    t->set_real(-116, 0.75);
    t->set_real(-113, 0.8);
    t->set_int(-211, 8);
    t->set_string(-301, "BA");
    EXPECT_EQ(t->arc_offset(), 0.5);
    EXPECT_EQ(t->right_offset(), 0.25);
    EXPECT_EQ(t->left_offset(), 0.125);
    EXPECT_EQ(t->space(), 0.75);
    EXPECT_EQ(t->width_scale(), 0.8);
    EXPECT_EQ(t->att(), 8u);
    EXPECT_STREQ(t->str(), "BA");
    MB_Arc_Text none;
    EXPECT_EQ(none.get_real(-115), 1.0);

    // A copy carries every value and lays itself out the same.
    t->reverse(true);
    t->outside(false);
    t->rotate180(true);
    MB_Object* made = nullptr;
    ASSERT_TRUE(t->copy_to(made));
    std::unique_ptr<MB_Arc_Text> copy(dynamic_cast<MB_Arc_Text*>(made));
    ASSERT_NE(copy, nullptr);
    t->build_draw();
    copy->build_draw();
    ASSERT_EQ(copy->text_list().size(), t->text_list().size());
    for (std::size_t i = 0; i < t->text_list().size(); ++i) {
        EXPECT_TRUE(pt_eq(copy->text_list()[i]->base_pos(), t->text_list()[i]->base_pos()));
        EXPECT_EQ(copy->text_list()[i]->text_style()->angle(), t->text_list()[i]->text_style()->angle());
    }

    // Moves and key changes are undone and redone; the text stays in the drawing.
    auto dump = [](MB_Object& o) {
        auto& a = static_cast<MB_Arc_Text&>(o);
        a.build_draw();
        std::string out;
        for (const auto& run : a.text_list())
            out += le_double(run->base_pos().x()) + le_double(run->base_pos().y()) +
                   le_double(run->text_style()->angle());
        return out + le_double(a.arc_offset()) + a.str();
    };
    expect_undo_redo_state(
        env.op, t, [](MB_Object& o) { static_cast<MB_Drawable&>(o).translate(translate_transf(Qe_Vec(5, -1, 0)), 0); },
        "move", dump);
    EXPECT_EQ(env.op.drawing->object_list().count(), 1);
    const std::string before = dump(*t);
    env.op.command("keys", [&] {
        t->set_real(-119, 2.0);
        t->set_string(-301, "ABC");
    });
    const std::string after = dump(*t);
    EXPECT_NE(after, before);
    env.op.undo();
    EXPECT_EQ(dump(*t), before);
    env.op.redo();
    EXPECT_EQ(dump(*t), after);

    // Nothing of an arc text is stored.
    MB_Result result = MB_Result::Open_Failed;
    EXPECT_EQ(record_bytes(*t, &result), "");
    EXPECT_EQ(result, 0);
}

TEST(Arc_Text, SharedStyleAndALoneLeadByte)
{
    text_test::Box_Fonts fonts;
    MB_Arc_Text t(Qe_Pt(), 0.0, 3.0, 10.0, "no such style", "\xB0\xA1" "A\xB0");
    t.build_draw();
    ASSERT_EQ(t.text_list().size(), 3u);
    EXPECT_EQ(run_text(*t.text_list()[0]), "\xB0\xA1");
    EXPECT_EQ(run_text(*t.text_list()[2]), "\xB0");
    for (const auto& run : t.text_list()) {
        EXPECT_STREQ(run->text_style()->name().ascii(), "DEFAULT_STYLE");
        EXPECT_EQ(run->text_style()->height(), 0.425);
    }
    expect_finite(t);
}
