#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/pt_lists.h"
#include "geometry/pt_set.h"
#include "geometry/trim_extend.h"

namespace {

using Pts = std::vector<Qe_Pt>;

void expect_pts(const Pts& got, const Pts& want, const char* what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x(), want[i].x(), 1e-9) << what << " point " << i;
        EXPECT_NEAR(got[i].y(), want[i].y(), 1e-9) << what << " point " << i;
    }
}

Qe_Pt_Set set_of(const Pts& v) { return Qe_Pt_Set(static_cast<int>(v.size()), v.data()); }

struct Results {
    bool ok;
    Pts r0, cut, r1;
};

Results run(Qe_Polyline_Cut& op, const Pts& active, const std::vector<Pts>& cutters, const Qe_Pt& pick)
{
    Qe_Pt_Set a = set_of(active);
    std::vector<std::unique_ptr<Qe_Pt_Set>> sets;
    op.active_ptset(&a);
    op.ptset_list().add(&a);  // the active set among the cutters is skipped
    for (const Pts& c : cutters) {
        sets.push_back(std::make_unique<Qe_Pt_Set>(set_of(c)));
        op.ptset_list().add(sets.back().get());
    }
    op.cur_pt(pick);
    Results r{op.begin_cal(), points_of(op.resverve_ptlist0()), points_of(op.cut_ptlist()),
              points_of(op.resverve_ptlist1())};
    op.clear_data();
    return r;
}

const Pts LINE = {{0, 0, 0}, {10, 0, 0}};
const std::vector<Pts> AT_3_AND_7 = {{{3, -1, 0}, {3, 1, 0}}, {{7, 1, 0}, {7, -1, 0}}};

TEST(TrimExtend, SplitAroundThePickPoint)
{
    struct Case {
        const char* name;
        Pts active;
        std::vector<Pts> cutters;
        Qe_Pt pick;
        Pts r0, trim_cut, expend_cut, r1;
    };
    const Case cases[] = {
        {"between two crossings", LINE, AT_3_AND_7, {5, 0, 0},
         {{0, 0, 0}, {3, 0, 0}}, {{3, 0, 0}, {7, 0, 0}}, {{3, 0, 0}, {5, 0, 0}, {7, 0, 0}}, {{7, 0, 0}, {10, 0, 0}}},
        {"no crossing before", LINE, AT_3_AND_7, {1, 0, 0},
         {}, {{0, 0, 0}, {3, 0, 0}}, {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}}, {{3, 0, 0}, {7, 0, 0}, {10, 0, 0}}},
        {"no crossing after", LINE, AT_3_AND_7, {9, 0, 0},
         {{0, 0, 0}, {3, 0, 0}, {7, 0, 0}}, {{7, 0, 0}, {10, 0, 0}}, {{7, 0, 0}, {9, 0, 0}, {10, 0, 0}}, {}},
        {"pick off the polyline: the whole list is the stretch", LINE, AT_3_AND_7, {5, 1, 0},
         {}, {{0, 0, 0}, {3, 0, 0}, {7, 0, 0}, {10, 0, 0}}, {{0, 0, 0}, {3, 0, 0}, {7, 0, 0}, {10, 0, 0}}, {}},
        {"one cutter crossing twice", LINE, {{{3, -1, 0}, {3, 1, 0}, {7, 1, 0}, {7, -1, 0}}}, {5, 0, 0},
         {{0, 0, 0}, {3, 0, 0}}, {{3, 0, 0}, {7, 0, 0}}, {{3, 0, 0}, {5, 0, 0}, {7, 0, 0}}, {{7, 0, 0}, {10, 0, 0}}},
        {"bounds on different legs", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}},
         {{{2, -1, 0}, {2, 1, 0}}, {{9, 5, 0}, {11, 5, 0}}}, {10, 2, 0},
         {{0, 0, 0}, {2, 0, 0}}, {{2, 0, 0}, {10, 0, 0}, {10, 5, 0}}, {{2, 0, 0}, {10, 0, 0}, {10, 2, 0}, {10, 5, 0}},
         {{10, 5, 0}, {10, 10, 0}}},
        {"nearest crossings of several", LINE, {{{1, -1, 0}, {1, 1, 0}}, {{4, -1, 0}, {4, 1, 0}}, {{6, -1, 0}, {6, 1, 0}},
                                                {{8, -1, 0}, {8, 1, 0}}}, {5, 0, 0},
         {{0, 0, 0}, {1, 0, 0}, {4, 0, 0}}, {{4, 0, 0}, {6, 0, 0}}, {{4, 0, 0}, {5, 0, 0}, {6, 0, 0}},
         {{6, 0, 0}, {8, 0, 0}, {10, 0, 0}}},
        // A crossing at a vertex is found by both segments there; the bound appears once.
        {"crossing at a vertex", {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}}, {{{5, -1, 0}, {5, 1, 0}}}, {8, 0, 0},
         {{0, 0, 0}, {5, 0, 0}}, {{5, 0, 0}, {10, 0, 0}}, {{5, 0, 0}, {8, 0, 0}, {10, 0, 0}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Qe_Trim trim;
        const Results t = run(trim, c.active, c.cutters, c.pick);
        EXPECT_TRUE(t.ok);
        expect_pts(t.r0, c.r0, "trim before");
        expect_pts(t.cut, c.trim_cut, "trim cut");
        expect_pts(t.r1, c.r1, "trim after");
        Qe_Expend expend;
        const Results e = run(expend, c.active, c.cutters, c.pick);
        EXPECT_TRUE(e.ok);
        expect_pts(e.r0, c.r0, "expend before");
        expect_pts(e.cut, c.expend_cut, "expend cut");
        expect_pts(e.r1, c.r1, "expend after");
    }
}

TEST(TrimExtend, NothingToCutWith)
{
    Qe_Trim trim;
    Results r = run(trim, LINE, {{{0, 1, 0}, {10, 1, 0}}, {{20, -1, 0}, {20, 1, 0}}}, {5, 0, 0});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.r0.empty() && r.cut.empty() && r.r1.empty());
    // Only the active set itself, no set at all, no active set, a null entry.
    Qe_Pt_Set a = set_of(LINE);
    trim.active_ptset(&a);
    EXPECT_FALSE(trim.begin_cal());
    trim.ptset_list().add(&a);
    trim.ptset_list().add(nullptr);
    EXPECT_FALSE(trim.begin_cal());
    Qe_Expend none;
    none.ptset_list().add(&a);
    EXPECT_FALSE(none.begin_cal());
}

// A tool calls begin_cal again as the pick point moves: each call starts from the set's
// own points, not from the crossings and pick point of the last call.
TEST(TrimExtend, RepeatedCallsStartAfresh)
{
    Qe_Pt_Set a = set_of(LINE);
    Qe_Pt_Set c1 = set_of(AT_3_AND_7[0]), c2 = set_of(AT_3_AND_7[1]);
    Qe_Expend op;
    op.active_ptset(&a);
    op.ptset_list().add(&c1);
    op.ptset_list().add(&c2);
    op.cur_pt(Qe_Pt(5, 0, 0));
    ASSERT_TRUE(op.begin_cal());
    op.cur_pt(Qe_Pt(9, 0, 0));
    ASSERT_TRUE(op.begin_cal());
    expect_pts(points_of(op.resverve_ptlist0()), {{0, 0, 0}, {3, 0, 0}, {7, 0, 0}}, "before");
    expect_pts(points_of(op.cut_ptlist()), {{7, 0, 0}, {9, 0, 0}, {10, 0, 0}}, "cut");
    EXPECT_TRUE(op.resverve_ptlist1().is_empty());
    // The working list holds the vertices, both crossings and the pick point, flagged.
    std::vector<int> flags;
    for (Qe_Pt_Node* n = op.pt_list().head(); n; n = n->next()) flags.push_back(n->flag());
    EXPECT_EQ(flags, (std::vector<int>{0, 1, 1, 2, 0}));

    EXPECT_TRUE(op.clear_data());
    EXPECT_EQ(op.active_ptset(), nullptr);
    EXPECT_TRUE(op.pt_list().is_empty() && op.cut_ptlist().is_empty() && op.ptset_list().is_empty());
}

}  // namespace
