#include <gtest/gtest.h>

#include <iterator>
#include <list>
#include <random>
#include <vector>

#include "geometry/void_list.h"

namespace {

std::vector<void*> items_of(const Qe_Void_List& l)
{
    std::vector<void*> v;
    for (Qe_Void_Node* n = l.head(); n; n = n->next()) v.push_back(n->entity());
    return v;
}

// Links must agree in both directions and the ends must be terminated.
void expect_well_linked(const Qe_Void_List& l)
{
    std::vector<void*> backward;
    for (Qe_Void_Node* n = l.tail(); n; n = n->previous()) backward.insert(backward.begin(), n->entity());
    EXPECT_EQ(items_of(l), backward);
    EXPECT_EQ(l.head() == nullptr, l.tail() == nullptr);
    if (l.head()) {
        EXPECT_EQ(l.head()->previous(), nullptr);
        EXPECT_EQ(l.tail()->next(), nullptr);
    }
}

TEST(VoidList, EmptyList)
{
    Qe_Void_List l;
    EXPECT_TRUE(l.is_empty());
    EXPECT_FALSE(l.is_enable());
    EXPECT_EQ(l.get(0), nullptr);
    EXPECT_EQ(l.first(), nullptr);
    EXPECT_EQ(l.last(), nullptr);
    EXPECT_EQ(l.find(&l), -1);
    EXPECT_FALSE(l.removeAt(0));
    EXPECT_FALSE(l.removeValue(&l));
    EXPECT_EQ(l.count(), 0);
}

TEST(VoidList, IndexOperationsWorkedCases)
{
    int v[8];
    auto make3 = [&](Qe_Void_List& l) {
        l.clear();
        for (int i = 0; i < 3; ++i) l.add(&v[i]);
    };
    Qe_Void_List l;
    make3(l);
    l.insert(&v[5], 5);
    EXPECT_EQ(l.find(&v[5]), 3);
    make3(l);
    l.insert(&v[5], 0);
    EXPECT_EQ(l.first(), &v[5]);
    make3(l);
    l.insert(&v[5], 2);
    EXPECT_EQ(items_of(l), (std::vector<void*>{&v[0], &v[1], &v[5], &v[2]}));
    make3(l);
    l.put(&v[7], 7);
    EXPECT_EQ(l.count(), 4);
    EXPECT_EQ(l.last(), &v[7]);
    make3(l);
    l.put(&v[7], 1);
    EXPECT_EQ(items_of(l), (std::vector<void*>{&v[0], &v[7], &v[2]}));
    EXPECT_FALSE(l.removeAt(-1));
    EXPECT_FALSE(l.removeAt(3));
    EXPECT_EQ(l.get(-1), nullptr);
    EXPECT_EQ(l.get(3), nullptr);
    expect_well_linked(l);
}

TEST(VoidList, RemoveNodeReturnsFollower)
{
    int a, b;
    Qe_Void_List l;
    l.add(&a);
    l.add(&b);
    Qe_Void_Node* tail = l.tail();
    EXPECT_EQ(l.remove_node(l.head()), tail);
    EXPECT_EQ(l.head(), tail);
    EXPECT_EQ(tail->previous(), nullptr);
    EXPECT_EQ(l.remove_node(l.tail()), nullptr);
    EXPECT_TRUE(l.is_empty());
}

TEST(VoidList, RemoveValueReportsRemoval)
{
    int a, b;
    Qe_Void_List l;
    l.add(&a);
    l.add(&b);
    l.add(&a);
    EXPECT_TRUE(l.removeValue(&a));  // the first one only
    EXPECT_EQ(items_of(l), (std::vector<void*>{&b, &a}));
    EXPECT_FALSE(l.removeValue(&l));
}

TEST(VoidList, CopiesAreDeepAndNeverOwnItems)
{
    int a, b, c;
    Qe_Void_List l;
    l.add(&a);
    l.add(&b);
    l.add(&c);
    Qe_Void_List copy(l);
    Qe_Void_List assigned;
    assigned.add(&c);
    assigned = l;
    l.removeAt(0);
    EXPECT_EQ(items_of(copy), (std::vector<void*>{&a, &b, &c}));
    EXPECT_EQ(items_of(assigned), (std::vector<void*>{&a, &b, &c}));
    EXPECT_NE(copy.head(), assigned.head());
    assigned = assigned;  // self-assignment keeps the items
    EXPECT_EQ(assigned.count(), 3);
    Qe_Void_List dest;
    dest.add(&a);
    l.copy(dest);
    EXPECT_EQ(items_of(dest), items_of(l));
    l.append(l);  // appending a list to itself doubles it once
    EXPECT_EQ(items_of(l), (std::vector<void*>{&b, &c, &b, &c}));
    copy.reverse();
    EXPECT_EQ(items_of(copy), (std::vector<void*>{&c, &b, &a}));
    expect_well_linked(copy);
}

// Every operation applied to the list and to a std::list model; contents compared each step.
TEST(VoidList, MatchesModelUnderRandomOperations)
{
    std::vector<int> pool(12);
    std::mt19937 rng(7);
    auto item = [&] { return static_cast<void*>(&pool[rng() % pool.size()]); };
    Qe_Void_List l;
    std::list<void*> m;
    auto model_at = [&](int i) { return std::next(m.begin(), i); };
    for (int step = 0; step < 5000; ++step) {
        const int n = static_cast<int>(m.size());
        const int i = static_cast<int>(rng() % (n + 3)) - 1;  // -1 .. n+1
        void* p = item();
        switch (rng() % 12) {
        case 0: l.add(p), m.push_back(p); break;
        case 1: l.addHead(p), m.push_front(p); break;
        case 2: {
            const bool absent = std::find(m.begin(), m.end(), p) == m.end();
            EXPECT_EQ(l.addIfAbsent(p), absent);
            if (absent) m.push_back(p);
            break;
        }
        case 3:
            if (i >= 0) {
                l.insert(p, i);
                if (i > n - 1)
                    m.push_back(p);
                else
                    m.insert(model_at(i), p);
            }
            break;
        case 4:
            l.put(p, i < 0 ? 0 : i);
            if (n == 0 || (i < 0 ? 0 : i) > n - 1)
                m.push_back(p);
            else
                *model_at(i < 0 ? 0 : i) = p;
            break;
        case 5: {
            const bool ok = i >= 0 && i < n;
            EXPECT_EQ(l.removeAt(i), ok);
            if (ok) m.erase(model_at(i));
            break;
        }
        case 6: {
            auto it = std::find(m.begin(), m.end(), p);
            EXPECT_EQ(l.removeValue(p), it != m.end());
            if (it != m.end()) m.erase(it);
            break;
        }
        case 7:
            if (n > 0) {
                const int k = static_cast<int>(rng() % n);
                Qe_Void_Node* node = l.head();
                for (int j = 0; j < k; ++j) node = node->next();
                Qe_Void_Node* follower = l.remove_node(node);
                auto it = m.erase(model_at(k));
                EXPECT_EQ(follower ? follower->entity() : nullptr, it == m.end() ? nullptr : *it);
            }
            break;
        case 8: l.reverse(), m.reverse(); break;
        case 9: {
            auto it = std::find(m.begin(), m.end(), p);
            EXPECT_EQ(l.find(p), it == m.end() ? -1 : static_cast<int>(std::distance(m.begin(), it)));
            EXPECT_EQ(l.contains(p), it != m.end());
            break;
        }
        case 10: EXPECT_EQ(l.get(i), (i >= 0 && i < n) ? *model_at(i) : nullptr); break;
        case 11:
            if (rng() % 50 == 0) l.clear(), m.clear();
            break;
        }
        ASSERT_EQ(items_of(l), std::vector<void*>(m.begin(), m.end())) << "step " << step;
        ASSERT_EQ(l.count(), static_cast<int>(m.size()));
        EXPECT_EQ(l.first(), m.empty() ? nullptr : m.front());
        EXPECT_EQ(l.last(), m.empty() ? nullptr : m.back());
    }
    expect_well_linked(l);
}

}  // namespace
