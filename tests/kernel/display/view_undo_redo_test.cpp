#include <gtest/gtest.h>

#include "kernel/display/draw_render.h"
#include "kernel/display/view_undo_redo.h"

namespace {

// A renderer whose zoom transform names the view: view k is a scale by k.
struct Views {
    MB_Draw_Render render;
    MB_View_Undo_Redo& history = *render.view_undo_redo();

    void record(double k)
    {
        render.zoom_transf(scale_transf(k));
        history.add_trans();
    }
    double shown() const { return render.zoom_transf().scaling(); }
    double head() const
    {
        Qe_Tran t = scale_transf(-1.0);
        return history.get_head(t) == 1 ? t.scaling() : -1.0;
    }
};

TEST(ViewHistory, AFreshHistory)
{
    Views v;
    EXPECT_FALSE(v.history.previous_view());
    EXPECT_FALSE(v.history.next_view());
    EXPECT_FALSE(v.history.is_can_previous());
    EXPECT_FALSE(v.history.is_can_next());
    // An empty history answers 0 and leaves the argument as it was.
    Qe_Tran t = scale_transf(7.0);
    EXPECT_EQ(v.history.get_head(t), 0);
    EXPECT_EQ(t.scaling(), 7.0);

    v.record(2.0);
    EXPECT_FALSE(v.history.is_can_next());
    EXPECT_FALSE(v.history.is_can_previous());
    EXPECT_EQ(v.head(), 2.0);
}

TEST(ViewHistory, KeepsTwelveViews)
{
    Views v;
    for (int k = 1; k <= 12; ++k) {
        v.render.zoom_transf(scale_transf(k));
        EXPECT_EQ(v.history.add_head(v.render.zoom_transf()), k);
    }
    v.render.zoom_transf(scale_transf(13));
    EXPECT_EQ(v.history.add_head(v.render.zoom_transf()), 0);  // the oldest was dropped
    EXPECT_EQ(v.history.count(), 12);
    EXPECT_EQ(v.head(), 13.0);
    // Walking back reaches view 2: view 1 is gone.
    int steps = 0;
    while (v.history.next_view()) ++steps;
    EXPECT_EQ(steps, 11);
    EXPECT_EQ(v.shown(), 2.0);
    // And forward again to the newest.
    while (v.history.previous_view()) {}
    EXPECT_EQ(v.shown(), 13.0);
}

TEST(ViewHistory, RecordingForgetsTheNewerViews)
{
    Views v;
    v.record(1.0);
    v.record(2.0);
    v.record(3.0);
    EXPECT_FALSE(v.history.previous_view());  // the newest is current
    EXPECT_TRUE(v.history.next_view());
    EXPECT_EQ(v.shown(), 2.0);
    EXPECT_TRUE(v.history.next_view());
    EXPECT_EQ(v.shown(), 1.0);
    EXPECT_FALSE(v.history.next_view());
    EXPECT_EQ(v.shown(), 1.0);

    v.record(4.0);
    EXPECT_EQ(v.history.count(), 2);
    EXPECT_EQ(v.head(), 4.0);
    EXPECT_FALSE(v.history.is_can_previous());
    EXPECT_TRUE(v.history.is_can_next());
    EXPECT_TRUE(v.history.next_view());
    EXPECT_EQ(v.shown(), 1.0);
    EXPECT_TRUE(v.history.is_can_previous());
    EXPECT_TRUE(v.history.previous_view());
    EXPECT_EQ(v.shown(), 4.0);

    // init forgets everything.
    v.history.init(&v.render);
    EXPECT_EQ(v.history.count(), 0);
    EXPECT_FALSE(v.history.next_view());
}

}  // namespace
