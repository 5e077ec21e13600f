#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "kernel/database/object_list.h"
#include "kernel/test_objects.h"

namespace {

std::vector<MB_Object*> members(const MB_Object_List& l)
{
    std::vector<MB_Object*> v;
    for (MB_Object* o = l.get_head(); o && v.size() < 10000; o = o->next()) v.push_back(o);
    return v;
}

// Links agree in both directions and the ends are terminated.
void expect_list(const MB_Object_List& l, const std::vector<MB_Object*>& model)
{
    ASSERT_EQ(members(l), model);
    std::vector<MB_Object*> backward;
    for (MB_Object* o = l.get_tail(); o && backward.size() < 10000; o = o->prev()) backward.push_back(o);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, model);
    EXPECT_EQ(l.count(), static_cast<long>(model.size()));
    EXPECT_EQ(bool(l.is_empty()), model.empty());
    EXPECT_EQ(l.get_head(), model.empty() ? nullptr : model.front());
    EXPECT_EQ(l.get_tail(), model.empty() ? nullptr : model.back());
}

class ObjectListTest : public ::testing::Test {
protected:
    void SetUp() override { live_before = Test_Object::s_live; }
    void TearDown() override { EXPECT_EQ(Test_Object::s_live, live_before); }
    int live_before = 0;
};

TEST_F(ObjectListTest, WorkedCases)
{
    Test_Object a(1), b(2), c(3), d(4);
    MB_Object_List l;
    EXPECT_EQ(l.get(0), nullptr);
    EXPECT_FALSE(l.remove(&a));
    EXPECT_FALSE(l.remove(nullptr));
    l.kill_head();
    l.kill_tail();
    l.add_tail(nullptr);
    l.add_head(nullptr);
    l.insert(nullptr, 0);
    expect_list(l, {});

    l.add_tail(&a);
    l.add_tail(&b);
    l.add_tail(&b);  // already the tail: nothing
    l.add_head(&a);  // already the head: nothing
    expect_list(l, {&a, &b});
    EXPECT_EQ(l.get(-1), nullptr);
    EXPECT_EQ(l.get(2), nullptr);
    EXPECT_EQ(l.get(1), &b);

    // A null `before`, and an index at the end, both mean the head.
    l.insert(&c, nullptr);
    expect_list(l, {&c, &a, &b});
    l.remove(&c);
    l.insert(&c, static_cast<int>(l.count()));
    expect_list(l, {&c, &a, &b});
    l.remove(&c);
    l.insert(&c, &b);
    l.insert(&d, 1);
    expect_list(l, {&a, &d, &c, &b});

    EXPECT_TRUE(l.remove(&a));
    EXPECT_FALSE(l.remove(&a));  // no longer a member
    expect_list(l, {&d, &c, &b});
    EXPECT_TRUE(l.remove_all());
    expect_list(l, {});
    EXPECT_EQ(b.prev(), nullptr);
    EXPECT_EQ(d.next(), nullptr);

    l.add_tail(&a);
    EXPECT_TRUE(l.remove(&a));  // the only member
    expect_list(l, {});
}

TEST_F(ObjectListTest, KillOperationsDeleteOnlyMembers)
{
    MB_Object_List l;
    l.add_tail(new Test_Object(1));
    l.kill_tail();
    expect_list(l, {});
    l.add_tail(new Test_Object(1));
    l.kill_head();
    expect_list(l, {});

    Test_Object outsider(9);
    l.add_tail(new Test_Object(1));
    l.kill_object(&outsider);  // not a member: left alone
    l.kill_object(nullptr);
    EXPECT_EQ(l.count(), 1);

    // A copy carries its source's links but is not a member.
    auto* member = new Test_Object(2);
    l.add_tail(member);
    Test_Object copy(*member);
    EXPECT_EQ(copy.prev(), member->prev());
    l.kill_object(&copy);
    EXPECT_FALSE(l.remove(&copy));
    EXPECT_EQ(l.count(), 2);
    l.kill_all();
    expect_list(l, {});
}

TEST_F(ObjectListTest, AssignmentKeepsTheTargetsLinks)
{
    Test_Object a(1), b(2), c(3), loose(4);
    MB_Object_List l;
    l.add_tail(&a);
    l.add_tail(&b);
    l.add_tail(&c);
    b = loose;  // the state is copied, the membership is not
    EXPECT_EQ(b.value(), 4);
    expect_list(l, {&a, &b, &c});

    MB_Object_List alias;
    alias = l;  // names the same chain
    EXPECT_EQ(alias.get_head(), &a);
    EXPECT_EQ(alias.get_tail(), &c);
}

// A random sequence of operations compared with a plain vector after every step.
TEST_F(ObjectListTest, RandomOperationsAgainstModel)
{
    std::mt19937 rng(8);
    MB_Object_List l;
    std::vector<MB_Object*> model;
    std::vector<std::unique_ptr<Test_Object>> pool;  // objects outside the list
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    auto take_from_pool = [&]() -> MB_Object* {
        if (pool.empty()) pool.push_back(std::make_unique<Test_Object>());
        const size_t i = pick(pool.size());
        MB_Object* o = pool[i].release();
        pool.erase(pool.begin() + static_cast<long>(i));
        return o;
    };
    auto give_back = [&](MB_Object* o) { pool.emplace_back(static_cast<Test_Object*>(o)); };

    for (int step = 0; step < 4000; ++step) {
        switch (pick(9)) {
        case 0: {
            MB_Object* o = take_from_pool();
            l.add_tail(o);
            model.push_back(o);
            break;
        }
        case 1: {
            MB_Object* o = take_from_pool();
            l.add_head(o);
            model.insert(model.begin(), o);
            break;
        }
        case 2: {
            MB_Object* o = take_from_pool();
            const size_t i = pick(model.size() + 1);
            MB_Object* before = i < model.size() ? model[i] : nullptr;
            l.insert(o, before);
            model.insert(before ? model.begin() + static_cast<long>(i) : model.begin(), o);
            break;
        }
        case 3: {
            MB_Object* o = take_from_pool();
            const int i = static_cast<int>(pick(model.size() + 3)) - 1;
            l.insert(o, i);
            const bool inside = i > 0 && i < static_cast<int>(model.size());
            model.insert(model.begin() + (inside ? i : 0), o);
            break;
        }
        case 4: {
            if (model.empty() || pick(4) == 0) {
                std::unique_ptr<Test_Object> outsider = std::make_unique<Test_Object>();
                EXPECT_FALSE(l.remove(outsider.get()));
                break;
            }
            const size_t i = pick(model.size());
            EXPECT_TRUE(l.remove(model[i]));
            give_back(model[i]);
            model.erase(model.begin() + static_cast<long>(i));
            break;
        }
        case 5:
            l.kill_head();
            if (!model.empty()) model.erase(model.begin());
            break;
        case 6:
            l.kill_tail();
            if (!model.empty()) model.pop_back();
            break;
        case 7:
            if (!model.empty()) {
                const size_t i = pick(model.size());
                l.kill_object(model[i]);
                model.erase(model.begin() + static_cast<long>(i));
            }
            break;
        default: {
            const int i = static_cast<int>(pick(model.size() + 2)) - 1;
            const bool inside = i >= 0 && i < static_cast<int>(model.size());
            EXPECT_EQ(l.get(i), inside ? model[static_cast<size_t>(i)] : nullptr);
            break;
        }
        }
        ASSERT_NO_FATAL_FAILURE(expect_list(l, model)) << "step " << step;
        ASSERT_EQ(Test_Object::s_live - live_before, static_cast<int>(model.size() + pool.size()));
    }
    l.kill_all();
    expect_list(l, {});
}

TEST(ObjectModel, DrawableTypesAndBaseBehaviour)
{
    Test_Object o;
    for (int t = 1; t <= 9; ++t) {
        o.type(static_cast<MB_Object::MB_Type>(t));
        EXPECT_EQ(o.is_drawable(), t >= 6) << t;
    }
    // Keys the class does not handle give the base answers and change nothing.
    MB_Object& base = o;
    base.set_real(-100, 2.0);
    base.set_int(-200, 7);
    base.set_point(-1, Qe_Pt(1, 2, 3));
    base.set_string(-301, "x");
    EXPECT_EQ(base.get_real(-100), 0.0);
    EXPECT_EQ(base.get_int(-200), 0);
    EXPECT_EQ(base.get_string(-301), nullptr);
    const Qe_Pt p = base.get_point(-1);
    EXPECT_EQ(p.x() + p.y() + p.z(), 0.0);

    Plain_Object plain;
    MB_Object* target = nullptr;
    EXPECT_TRUE(plain.copy_to(target));
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(plain.object_type(), MB_Object::TYPE_ATTRIBUTE);
    EXPECT_FALSE(plain != plain);
}

}  // namespace
