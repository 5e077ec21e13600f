#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "kernel/entities/entity_fixture.h"
#include "geometry/loop.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/solid.h"

using namespace entity_test;

namespace {

MB_Solid* solid(const std::vector<Qe_Pt>& pts)
{
    auto* s = plain(new MB_Solid(static_cast<int>(pts.size())));
    for (std::size_t i = 0; i < pts.size(); ++i) s->points()[i] = pts[i];
    return s;
}

const std::vector<Qe_Pt> k_square10{{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};

TEST(Solid_Offset, EdgesMoveToTheirLeft)
{
    struct Case {
        const char* name;
        std::vector<Qe_Pt> ring;
        double d;
        std::vector<Qe_Pt> expected;
    };
    const Case cases[] = {
        {"counter-clockwise shrinks", k_square10, 1.0, {{1, 1, 0}, {9, 1, 0}, {9, 9, 0}, {1, 9, 0}}},
        {"negative grows", k_square10, -1.0, {{-1, -1, 0}, {11, -1, 0}, {11, 11, 0}, {-1, 11, 0}}},
        {"clockwise shrinks with a negative distance",
         {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}},
         -1.0,
         {{1, 1, 0}, {1, 9, 0}, {9, 9, 0}, {9, 1, 0}}},
        // A triangle kept as four corners: the repeated corner moves with the one it repeats.
        {"triangle with a repeated corner",
         {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 4, 0}},
         -1.0,
         {{-1, -1, 0}, {4 + 1 + std::sqrt(2.0), -1, 0}, {-1, 4 + 1 + std::sqrt(2.0), 0}, {-1, 4 + 1 + std::sqrt(2.0), 0}}},
        {"ring closed by a repeated first corner", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {0, 0, 0}}, 1.0,
         {{1, 1, 0}, {9, 1, 0}, {9, 9, 0}, {1, 9, 0}, {1, 1, 0}}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<MB_Solid> s(solid(c.ring));
        s->offset(c.d);
        ASSERT_EQ(s->count(), static_cast<int>(c.expected.size())) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_LT((s->points()[i] - c.expected[i]).len(), 1e-12) << c.name << " corner " << i;
    }
    // A face offsets the same way.
    MB_Face f(4);
    for (int i = 0; i < 4; ++i) f.points()[i] = k_square10[static_cast<std::size_t>(i)];
    f.offset(1.0);
    EXPECT_TRUE(pt_eq(f.points()[2], Qe_Pt(9, 9, 0)));
}

TEST(Solid_Keys, ClosedFormsAndRanges)
{
    std::unique_ptr<MB_Solid> s(solid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}));
    EXPECT_DOUBLE_EQ(s->get_real(-100), 4.0);
    EXPECT_DOUBLE_EQ(s->get_real(-101), 1.0);
    EXPECT_DOUBLE_EQ(s->get_real(-102), 0.0);
    EXPECT_EQ(s->get_int(-204), 4);
    s->build_draw();
    EXPECT_TRUE(pt_eq(s->get_point(-3), Qe_Pt(0.5, 0.5, 0)));
    EXPECT_TRUE(pt_eq(s->get_point(-2), Qe_Pt(0, 1, 0)));
    EXPECT_TRUE(pt_eq(s->get_point(4), Qe_Pt()));
    s->set_point(4, Qe_Pt(7, 7, 7));
    s->set_point(1, Qe_Pt(2, 0, 1));
    EXPECT_TRUE(pt_eq(s->get_point(1), Qe_Pt(2, 0, 1)));
    s->set_point(-1, Qe_Pt(0, 0, 0));
    std::unique_ptr<MB_Solid> turned(solid({{0, 0, 0}, {0, 1, 0}}));
    EXPECT_NEAR(turned->get_real(-102), M_PI / 2, 1e-12);
    // Too few corners: 0.0 and the origin, never a read past the corners.
    for (MB_Solid* e : {new MB_Solid, new MB_Solid(1)}) {
        std::unique_ptr<MB_Solid> few(plain(e));
        EXPECT_EQ(few->get_real(-100), 0.0);
        EXPECT_EQ(few->get_real(-102), 0.0);
        EXPECT_TRUE(pt_eq(few->get_point(-2), Qe_Pt()));
        few->build_draw();
        EXPECT_EQ(few->get_real(-101), 0.0);
    }
}

TEST(Solid_Loop, CreateLoopAndBack)
{
    std::unique_ptr<MB_Solid> s(solid({{0, 0, 0}, {4, 0, 0}, {4, 3, 0}, {0, 0, 0}}));
    std::unique_ptr<Qe_Loop> loop(s->create_loop());
    ASSERT_NE(loop, nullptr);
    int n = 0;
    Qe_Loop_Node* v = loop->head();
    do {
        ++n;
        v = v->next();
    } while (v && v != loop->head());
    EXPECT_EQ(n, 3);
    EXPECT_DOUBLE_EQ(loop->area(), 6.0);
    EXPECT_DOUBLE_EQ(loop->length(), 12.0);
    MB_Solid from(*loop);
    ASSERT_EQ(from.count(), 3);
    EXPECT_TRUE(pt_eq(from.points()[2], Qe_Pt(4, 3, 0)));
}

TEST(Solid_Pick, CornersThenInside)
{
    std::unique_ptr<MB_Solid> s(solid(k_square10));
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    ASSERT_TRUE(s->pick(Qe_Pt(9.7, 9.8, 0), hits, 0.5, out, kind, extra));
    EXPECT_EQ(kind, 22);
    EXPECT_TRUE(pt_eq(out, Qe_Pt(10, 10, 0)));
    ASSERT_TRUE(s->pick(Qe_Pt(3, 4, 0), hits, 0.5, out, kind, extra));
    EXPECT_EQ(kind, 80);
    EXPECT_TRUE(pt_eq(out, Qe_Pt(3, 4, 0)));
    EXPECT_FALSE(s->pick(Qe_Pt(12, 4, 0), hits, 0.5, out, kind, extra));
    EXPECT_FALSE(MB_Solid().pick(Qe_Pt(0, 0, 0), hits, 0.5, out, kind, extra));
}

TEST(Solid_Display, FilledNodeAndCopies)
{
    std::unique_ptr<MB_Solid> s(solid(k_square10));
    s->general().color(RGB(0, 0, 255));
    s->build_draw();
    auto* node = dynamic_cast<MB_Draw_Solid*>(s->draw_node());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->count(), 4);
    EXPECT_EQ(s->edge().count(), 4);
    Raster raster(20, 20);
    Qe_Tran identity;
    s->draw(nullptr, raster.q, identity);
    EXPECT_GE(raster.count(RGB(0, 0, 255)), 81);
    // Copies: a new solid, an existing one of another size, a target of another class.
    MB_Object* copy = nullptr;
    ASSERT_TRUE(s->copy_to(copy));
    std::unique_ptr<MB_Object> owned(copy);
    auto* c = dynamic_cast<MB_Solid*>(copy);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->count(), 4);
    EXPECT_NE(c->points(), s->points());
    std::unique_ptr<MB_Solid> two(solid({{1, 1, 0}, {2, 2, 0}}));
    MB_Object* target = two.get();
    ASSERT_TRUE(s->copy_to(target));
    EXPECT_EQ(two->count(), 4);
    EXPECT_TRUE(pt_eq(two->points()[3], Qe_Pt(0, 10, 0)));
    MB_Face face(2);
    MB_Object* wrong = &face;
    EXPECT_FALSE(s->copy_to(wrong));
    EXPECT_EQ(face.count(), 2);
}

TEST(Face_Draw, HiddenEdgesAndShortRings)
{
    // Corners of a 20 x 20 square in pixels; flag 5 hides edges 0-1 and 2-3.
    const std::vector<Qe_Pt> corners{{5, 5, 0}, {25, 5, 0}, {25, 25, 0}, {5, 25, 0}};
    auto drawn = [&](int n, unsigned short flag) {
        MB_Face f(n);
        for (int i = 0; i < n; ++i) f.points()[i] = corners[static_cast<std::size_t>(i)];
        f.face_flag(flag);
        Raster raster(30, 30);
        raster.q.SetColor(RGB(0, 0, 0), false);
        Qe_Tran identity;
        f.draw(nullptr, raster.q, identity);
        return std::vector<bool>{raster.pixel(15, 5) == RGB(0, 0, 0), raster.pixel(25, 15) == RGB(0, 0, 0),
                                 raster.pixel(15, 25) == RGB(0, 0, 0), raster.pixel(5, 15) == RGB(0, 0, 0),
                                 raster.drawn() > 0};
    };
    EXPECT_EQ(drawn(4, 0), (std::vector<bool>{true, true, true, true, true}));
    EXPECT_EQ(drawn(4, 5), (std::vector<bool>{false, true, false, true, true}));
    EXPECT_EQ(drawn(4, 15), (std::vector<bool>{false, false, false, false, false}));
    // Three corners: the third repeats, the closing edge runs from it to the first.
    const std::vector<bool> tri = drawn(3, 0);
    EXPECT_TRUE(tri[0]);
    EXPECT_TRUE(tri[1]);
    EXPECT_FALSE(tri[3]);
    EXPECT_EQ(drawn(2, 0), (std::vector<bool>{false, false, false, false, false}));
    EXPECT_EQ(drawn(0, 0), (std::vector<bool>{false, false, false, false, false}));
    // A face of two corners keeps its rectangle when built.
    MB_Face two(2);
    two.points()[1] = Qe_Pt(8, 8, 0);
    two.rect().set_rect(Qe_Pt(-1, 1, 0), Qe_Pt(1, -1, 0));
    two.build_draw();
    EXPECT_TRUE(pt_eq(two.rect().lt(), Qe_Pt(-1, 1, 0)));
    MB_Face four(4);
    for (int i = 0; i < 4; ++i) four.points()[i] = corners[static_cast<std::size_t>(i)];
    four.build_draw();
    EXPECT_TRUE(pt_eq(four.rect().lt(), Qe_Pt(5, 25, 0)));
    EXPECT_EQ(four.draw_node(), nullptr);
}

TEST(Face_Edit, TranslateAndCopy)
{
    std::unique_ptr<MB_Face> f(plain(new MB_Face(4)));
    f->points()[1] = Qe_Pt(1, 0, 0);
    f->face_flag(0x0105);
    f->translate(translate_transf(Qe_Vec(2, 3, 0)), 0);
    EXPECT_TRUE(pt_eq(f->points()[1], Qe_Pt(3, 3, 0)));
    MB_Object* copy = nullptr;
    ASSERT_TRUE(f->copy_to(copy));
    std::unique_ptr<MB_Object> owned(copy);
    auto* c = dynamic_cast<MB_Face*>(copy);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->face_flag(), 0x0105);
    EXPECT_TRUE(pt_eq(c->points()[1], Qe_Pt(3, 3, 0)));
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_FALSE(f->pick(Qe_Pt(3, 3, 0), hits, 10.0, out, kind, extra));
    MB_Solid s(4);
    MB_Object* wrong = &s;
    EXPECT_FALSE(f->copy_to(wrong));
}

}  // namespace
