#include <gtest/gtest.h>

#include <memory>

#include "geometry/rect.h"
#include "kernel/database/drawing.h"
#include "kernel/operation/operation.h"
#include "kernel/test_objects.h"

namespace {

TEST(Operation, RegistryFollowsConstructionAndDestruction)
{
    ASSERT_TRUE(g_operation_list.is_empty());
    ASSERT_EQ(g_active_operation, nullptr);

    auto first = std::make_unique<MB_Operation>();
    auto second = std::make_unique<MB_Operation>();
    EXPECT_EQ(g_active_operation, second.get());
    EXPECT_EQ(g_operation_list.count(), 2);
    second.reset();
    EXPECT_EQ(g_active_operation, first.get());

    second = std::make_unique<MB_Operation>();
    first.reset();  // not the active one: the last still listed stays active
    EXPECT_EQ(g_active_operation, second.get());
    EXPECT_EQ(g_operation_list.count(), 1);

    auto third = std::make_unique<MB_Operation>();
    second.reset();  // the active one goes; the last still listed takes over
    EXPECT_EQ(g_active_operation, third.get());
    third.reset();
    EXPECT_EQ(g_active_operation, nullptr);
    EXPECT_TRUE(g_operation_list.is_empty());
}

TEST(Operation, NewOperationState)
{
    MB_Operation op;
    EXPECT_EQ(op.drawing(), nullptr);
    EXPECT_EQ(op.wnd(), nullptr);
    EXPECT_TRUE(op.selection().is_empty());
    EXPECT_EQ(op.get_active_tool(), nullptr);
    EXPECT_EQ(op.current_layer(), nullptr);
    auto* layer = reinterpret_cast<MB_Layer*>(&op);  // only stored, never used
    op.current_layer(layer);
    EXPECT_EQ(op.current_layer(), layer);

    ASSERT_NE(op.system_setting(), nullptr);
    EXPECT_EQ(op.system_setting()->get_long_val(1), 0xFFFFFF);

    // No undo record until one is made.
    EXPECT_EQ(op.undo_redo(), nullptr);
    EXPECT_EQ(api_get_active_undo_redo(), nullptr);
    EXPECT_FALSE(api_if_record_command());
    EXPECT_EQ(api_rec_cmd_pause(), 0);
    api_rec_cmd_continue(1);
    EXPECT_FALSE(api_if_record_command());

    op.init_undoredo(nullptr);
    ASSERT_NE(op.undo_redo(), nullptr);
    EXPECT_EQ(api_get_active_undo_redo(), op.undo_redo());
    EXPECT_EQ(op.undo_redo()->state(), 0);
    EXPECT_FALSE(op.undo_redo()->is_can_undo());
    EXPECT_FALSE(op.undo_redo()->is_can_redo());
}

TEST(Operation, FlatUndoFunctionsWithoutOperation)
{
    ASSERT_EQ(g_active_operation, nullptr);
    EXPECT_EQ(api_get_active_undo_redo(), nullptr);
    EXPECT_FALSE(api_if_record_command());
    EXPECT_EQ(api_rec_cmd_pause(), 0);
    api_rec_cmd_continue(1);  // nothing to set
}

TEST(Operation, UnionOfTheRectanglesOfAList)
{
    Qe_Void_List list;
    Qe_Rect out(Qe_Pt(7, 8, 0), Qe_Pt(9, 1, 0));
    // Nothing listed: false, and the rectangle stays.
    EXPECT_FALSE(api_mb_get_entity_list_rect(list, out));
    EXPECT_TRUE(same_point(out.lt(), Qe_Pt(7, 8, 0), 0.0));

    // A line from (0, 0) to (2, 1) and a circle of radius 1 about (5, 5).
    Test_Geom line, circle;
    line.rect() = Qe_Rect(Qe_Pt(0, 0, 0), Qe_Pt(2, 1, 0));
    circle.rect().init_by_circle(Qe_Pt(5, 5, 0), 1.0);
    list.add(&line);
    list.add(&circle);
    ASSERT_TRUE(api_mb_get_entity_list_rect(list, out));
    EXPECT_TRUE(same_point(out.lt(), Qe_Pt(0, 6, 0), 0.0));
    EXPECT_TRUE(same_point(out.rb(), Qe_Pt(6, 0, 0), 0.0));
    // One drawable: its rectangle as it is.
    Qe_Void_List one;
    one.add(&circle);
    ASSERT_TRUE(api_mb_get_entity_list_rect(one, out));
    EXPECT_TRUE(same_point(out.lt(), Qe_Pt(4, 6, 0), 0.0));
}

TEST(Operation, OwnsItsDrawingAndViews)
{
    MB_Operation op;
    EXPECT_EQ(op.draw_render(), nullptr);
    op.compute_transf();  // no view: nothing happens
    auto* first = new MB_Drawing;
    first->add_object(new Test_Geom);
    op.init(nullptr, first);
    EXPECT_EQ(op.drawing(), first);
    ASSERT_NE(op.undo_redo(), nullptr);
    EXPECT_EQ(op.undo_redo()->drawing(), first);
    ASSERT_NE(op.draw_render(), nullptr);
    EXPECT_EQ(op.cur_draw_render(), op.draw_render());
    EXPECT_EQ(op.draw_render()->drawing(), first);

    // A new drawing replaces (and frees) the old one; the same one again is kept.
    auto* second = new MB_Drawing;
    op.init(nullptr, second);
    EXPECT_EQ(op.drawing(), second);
    EXPECT_EQ(op.draw_render()->drawing(), second);
    op.init(nullptr, second);
    EXPECT_EQ(op.drawing(), second);
    EXPECT_EQ(Test_Geom::s_live, 0);
    second->add_object(new Test_Geom);
}

}  // namespace
