#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/comma_locale.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "kernel/database/line_type.h"

namespace {

struct Element {
    double val, scale, rotang, xoffset, yoffset;
    short shape_flag;
    double code;
};

std::vector<Element> elements(MB_Line_Type& t)
{
    std::vector<Element> out;
    MB_Linetype_Node* head = t.linetype_loop().head();
    for (MB_Linetype_Node* e = head; e; e = e->next()) {
        out.push_back({e->val(), e->scale(), e->rotang(), e->xoffset(), e->yoffset(), e->shape_flag(),
                       e->complexshapecode()});
        if (e->next() == head || out.size() > 100) break;
    }
    return out;
}

TEST(Line_Type, PatternLines)
{
    struct Case {
        const char* line;
        double length;
        std::vector<Element> expected;
    };
    const Element shape{0, 0.1, 0.0, -0.1, -0.05, 1, 2};
    const Case cases[] = {
        {"A,0.5,-0.25,0,-0.25", 1.0, {{0.5, 1, 0, 0, 0, 0, 0}, {-0.25, 1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0},
                                      {-0.25, 1, 0, 0, 0, 0, 0}}},
        {"A,.5,-.2,[ZZ,STYLE1,S=.1,R=0.0,X=-0.1,Y=-.05],-.25", 0.95,
         {{0.5, 1, 0, 0, 0, 0, 0}, {-0.2, 1, 0, 0, 0, 0, 0}, shape, {-0.25, 1, 0, 0, 0, 0, 0}}},
        // Without offsets a shape keeps 1.0 and 1.0; parameters are read in any case.
        {"A,1,[\"GAS\",STANDARD,s=2,r=0.5],-1", 2.0,
         {{1, 1, 0, 0, 0, 0, 0}, {0, 2, 0.5, 1, 1, 1, 2}, {-1, 1, 0, 0, 0, 0, 0}}},
        // Only an upper-case A opens the pattern: a lower-case a reads as a dot.
        {"a,1,-1", 2.0, {{0, 1, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0, 0}, {-1, 1, 0, 0, 0, 0, 0}}},
        // A malformed number is a dot; a bracket never closed ends with the line.
        {"A,x,2,[S,T,Y=3", 2.0, {{0, 1, 0, 0, 0, 0, 0}, {2, 1, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 3, 1, 2}}},
        {"", 0.0, {}},
    };
    auto check = [&](const Case& c) {
        MB_Line_Type t;
        EXPECT_TRUE(t.init_data(c.line));
        EXPECT_NEAR(t.pattern_length(), c.length, 1e-12) << c.line;
        const std::vector<Element> got = elements(t);
        ASSERT_EQ(got.size(), c.expected.size()) << c.line;
        EXPECT_EQ(t.linetype_loop().count(), static_cast<int>(c.expected.size()));
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Element& g = got[i];
            const Element& e = c.expected[i];
            EXPECT_DOUBLE_EQ(g.val, e.val) << c.line << " #" << i;
            EXPECT_DOUBLE_EQ(g.scale, e.scale) << c.line << " #" << i;
            EXPECT_DOUBLE_EQ(g.rotang, e.rotang) << c.line << " #" << i;
            EXPECT_DOUBLE_EQ(g.xoffset, e.xoffset) << c.line << " #" << i;
            EXPECT_DOUBLE_EQ(g.yoffset, e.yoffset) << c.line << " #" << i;
            EXPECT_EQ(g.shape_flag, e.shape_flag) << c.line << " #" << i;
            EXPECT_EQ(g.code, e.code) << c.line << " #" << i;
        }
    };
    for (const Case& c : cases) check(c);
    // A host under a decimal-comma locale reads the same patterns.
    Comma_Locale comma;
    ASSERT_COMMA_LOCALE(comma);
    SCOPED_TRACE("decimal-comma locale");
    for (const Case& c : cases) check(c);
}

TEST(Line_Type, NamesAreCutAtTheirField)
{
    MB_Line_Type t;
    EXPECT_TRUE(t.init_dec("DASHED,Dashed __ __ __"));
    EXPECT_STREQ(t.name(), "DASHED");
    EXPECT_STREQ(t.desc(), "Dashed __ __ __");

    const std::string long_name(400, 'n');
    t.name(long_name.c_str());
    EXPECT_EQ(std::string(t.name()), long_name.substr(0, 255));
    // A definition line longer than its buffer is cut before it is split.
    EXPECT_TRUE(t.init_dec((long_name + ",desc").c_str()));
    EXPECT_EQ(std::string(t.name()), long_name.substr(0, 255));
    EXPECT_STREQ(t.desc(), "Dashed __ __ __");
    t.desc(nullptr);
    EXPECT_STREQ(t.desc(), "");

    // A copy owns its own elements.
    t.init_data("A,1,-1");
    MB_Line_Type copy(t);
    t.linetype_loop().clear();
    EXPECT_EQ(copy.linetype_loop().count(), 2);
    EXPECT_EQ(std::string(copy.name()), long_name.substr(0, 255));
}

TEST(Line_Type, LoopLinks)
{
    MB_Linetype_Loop loop;
    EXPECT_EQ(loop.count(), 0);
    auto* a = new MB_Linetype_Node(1, 1, 0, 0, 0, 0, 0);
    loop.add(a);
    EXPECT_EQ(a->next(), nullptr);
    EXPECT_EQ(a->prev(), nullptr);
    auto* b = new MB_Linetype_Node(2, 1, 0, 0, 0, 0, 0);
    auto* c = new MB_Linetype_Node(3, 1, 0, 0, 0, 0, 0);
    loop.add(b);
    loop.add(c);
    EXPECT_EQ(loop.count(), 3);
    EXPECT_EQ(a->prev(), c);
    EXPECT_EQ(c->next(), a);
    EXPECT_EQ(b->prev(), a);
}

std::vector<std::vector<Qe_Pt>> runs(const Qe_Pt_Sets& s)
{
    std::vector<std::vector<Qe_Pt>> out;
    int k = 0;
    for (mb_ulong r = 0; r < s.ptset_count(); ++r) {
        out.emplace_back();
        for (mb_ulong i = 0; i < s.vals()[r]; ++i) out.back().push_back(s.points()[k++]);
    }
    return out;
}

std::string text(const std::vector<std::vector<Qe_Pt>>& r)
{
    std::string s;
    for (const auto& run : r) {
        s += "[";
        for (const Qe_Pt& p : run) s += "(" + std::to_string(p.x()).substr(0, 4) + "," + std::to_string(p.y()).substr(0, 4) + ")";
        s += "]";
    }
    return s;
}

TEST(Line_Type, CutsAPolyline)
{
    struct Case {
        const char* pattern;
        std::vector<Qe_Pt> polyline;
        double scale;
        bool result;
        const char* runs;
    };
    const std::vector<Qe_Pt> straight{{0, 0, 0}, {5, 0, 0}};
    const std::vector<Qe_Pt> ten{{0, 0, 0}, {10, 0, 0}};
    const std::vector<Qe_Pt> bent{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}};
    const Case cases[] = {
        {"A,1,-1", straight, 1.0, true, "[(0.00,0.00)(1.00,0.00)][(2.00,0.00)(3.00,0.00)][(4.00,0.00)(5.00,0.00)]"},
        // A dash crossing a vertex keeps the vertex.
        {"A,3,-0.5", bent, 1.0, true, "[(0.00,0.00)(2.00,0.00)(2.00,1.00)][(2.00,1.50)(2.00,2.00)]"},
        // Ratio 10 is cut; c > P and more than 100 repetitions are not.
        {"A,0.5,-0.5", ten, 1.0, true, nullptr},
        {"A,0.5,-0.5", ten, 20.0, false, "[(0.00,0.00)(10.0,0.00)]"},
        {"A,0.05,-0.04", ten, 1.0, false, "[(0.00,0.00)(10.0,0.00)]"},
        // Without gaps: dots before the first dash give one-point runs, then the dash takes
        // the whole polyline and the walk ends.
        {"A,0,0,1", bent, 1.0, true, "[(0.00,0.00)][(0.00,0.00)][(0.00,0.00)(2.00,0.00)(2.00,2.00)]"},
        // A dot is a run of one point, shape elements draw as dots.
        {"A,1,[X,Y],-1", straight, 1.0, true,
         "[(0.00,0.00)(1.00,0.00)][(1.00,0.00)][(2.00,0.00)(3.00,0.00)][(3.00,0.00)][(4.00,0.00)(5.00,0.00)][(5.00,0.00)]"},
    };
    for (const Case& c : cases) {
        MB_Line_Type t;
        t.init_data(c.pattern);
        Qe_Pt_Sets out;
        EXPECT_EQ(t.render_line_type(c.polyline.data(), static_cast<int>(c.polyline.size()), c.scale, out), c.result)
            << c.pattern;
        if (c.runs) {
            EXPECT_EQ(text(runs(out)), c.runs) << c.pattern;
        }
    }

    // Ratio 10: ten dashes of half a unit, each starting where the previous gap ended. The
    // last gap ends exactly on the last point, so one more dash starts there and keeps
    // the zero-length piece it walked.
    MB_Line_Type t;
    t.init_data("A,0.5,-0.5");
    Qe_Pt_Sets out;
    ASSERT_TRUE(t.render_line_type(ten.data(), 2, 1.0, out));
    const auto r = runs(out);
    ASSERT_EQ(r.size(), 11u);
    EXPECT_EQ(text({r[10]}), "[(10.0,0.00)(10.0,0.00)]");
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(r[i].size(), 2u);
        EXPECT_NEAR(r[i][0].x(), i, 1e-12);
        EXPECT_NEAR(r[i][1].x(), i + 0.5, 1e-12);
    }

    // A line type without a pattern, or no polyline at all.
    MB_Line_Type plain;
    plain.pattern_length(0.0);
    EXPECT_FALSE(plain.render_line_type(ten.data(), 2, 1.0, out));
    EXPECT_EQ(out.ptset_count(), 1u);
    EXPECT_FALSE(plain.render_line_type(nullptr, 0, 1.0, out));
}

TEST(Line_Type, WalksAlongAPolyline)
{
    MB_Line_Type t;
    t.init_data("A,1,-1");
    const Qe_Pt pts[] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}};
    struct Case {
        Qe_Pt start;
        double length;
        bool result;
        std::vector<Qe_Pt> out;
    };
    const Case cases[] = {
        {{0, 0, 0}, 1.0, true, {{0, 0, 0}, {1, 0, 0}}},
        {{1, 0, 0}, 2.0, true, {{1, 0, 0}, {2, 0, 0}, {2, 1, 0}}},
        // Reaching the last point exactly, then starting from it.
        {{2, 1, 0}, 1.0, true, {{2, 1, 0}, {2, 2, 0}}},
        {{2, 2, 0}, 1.0, false, {{2, 2, 0}, {2, 2, 0}}},
        // Running out of segments with a piece in hand still answers true.
        {{0, 0, 0}, 10.0, true, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}}},
        // A start that is on no segment gives only itself.
        {{7, 7, 0}, 1.0, false, {{7, 7, 0}}},
    };
    for (const Case& c : cases) {
        Qe_Pt_List out;
        EXPECT_EQ(t.get_point_of_pts(pts, 3, c.start, c.length, out), c.result) << c.start.x() << "," << c.start.y();
        ASSERT_EQ(out.count(), static_cast<long>(c.out.size())) << c.start.x() << "," << c.start.y();
        int i = 0;
        for (Qe_Pt_Node* p = out.head(); p; p = p->next(), ++i) {
            EXPECT_NEAR(p->x(), c.out[i].x(), 1e-12);
            EXPECT_NEAR(p->y(), c.out[i].y(), 1e-12);
        }
    }
}

}  // namespace
