#pragma once

// What the flat function tests share: an active operation with a drawing, list members
// checked in both directions, and a recorded step taken through undo, redo, undo and a drop.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/database/object_list.h"
#include "kernel/operation/operation.h"

namespace flat_test {

inline bool near(const Qe_Pt& a, const Qe_Pt& b, double tol = 1e-9)
{
    return std::fabs(a.x() - b.x()) <= tol && std::fabs(a.y() - b.y()) <= tol && std::fabs(a.z() - b.z()) <= tol;
}

// Members of a list, walked forwards; the backwards walk must give the same members.
inline std::vector<MB_Object*> members(const MB_Object_List& list)
{
    std::vector<MB_Object*> out;
    for (MB_Object* o = list.get_head(); o; o = o->next()) out.push_back(o);
    std::vector<MB_Object*> back;
    for (MB_Object* o = list.get_tail(); o; o = o->prev()) back.insert(back.begin(), o);
    EXPECT_EQ(out, back) << "the list's links disagree";
    return out;
}

// The active operation with its drawing, for the length of a test.
class Flat_Drawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        op = std::make_unique<MB_Operation>();
        ASSERT_TRUE(op->create_drawing("flat"));
        d = op->drawing();
    }
    void TearDown() override { op.reset(); }

    // Runs step as one recorded command, then undoes, redoes and undoes it, comparing the
    // snapshot with the ones before and after; a new command then drops the undone one and
    // what only it held, leaving the drawing as before.
    template <class Snap>
    void undo_cycle(const char* what, const std::function<void()>& step, const std::function<Snap()>& snap)
    {
        const Snap before = snap();
        op->rec_cmd_begin(what);
        step();
        op->rec_cmd_end();
        const Snap after = snap();
        ASSERT_NE(before, after);
        Qe_Void_List touched;
        op->undo(touched);
        EXPECT_EQ(snap(), before);
        touched.clear();
        op->redo(touched);
        EXPECT_EQ(snap(), after);
        touched.clear();
        op->undo(touched);
        EXPECT_EQ(snap(), before);
        op->rec_cmd_begin("next");
        op->rec_cmd_end();
        EXPECT_EQ(snap(), before);
    }

    std::unique_ptr<MB_Operation> op;
    MB_Drawing* d = nullptr;
};

}  // namespace flat_test
