#include <gtest/gtest.h>

#include <memory>

#include "kernel/operation/operation.h"

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

}  // namespace
