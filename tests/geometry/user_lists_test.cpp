#include <gtest/gtest.h>

#include <cstring>

#include "geometry/user_lists.h"

namespace {

TEST(UserLists, EntityListsTakeConsecutiveIds)
{
    Qe_User_Entity_List a, b, c;
    EXPECT_EQ(b.id(), static_cast<unsigned short>(a.id() + 1));
    EXPECT_EQ(c.id(), static_cast<unsigned short>(a.id() + 2));
    EXPECT_EQ(Qe_User_Entity_List::m_id_no, static_cast<unsigned short>(c.id() + 1));
    EXPECT_EQ(Qe_User_Point_List().id(), 0);
}

TEST(UserLists, CopiesOwnTheirNodes)
{
    int x = 0, y = 0;
    Qe_User_Entity_List a;
    a.items().add(&x);
    a.items().add(&y);
    std::strcpy(a.text(), "walls");
    const unsigned short next = Qe_User_Entity_List::m_id_no;
    Qe_User_Entity_List b(a);
    EXPECT_EQ(Qe_User_Entity_List::m_id_no, next);  // a copy takes no new number
    EXPECT_EQ(b.id(), a.id());
    EXPECT_STREQ(b.text(), "walls");
    EXPECT_EQ(b.items().count(), 2);
    EXPECT_EQ(b.items().get(1), &y);
    EXPECT_NE(b.items().head(), a.items().head());

    Qe_User_Entity_List c;
    c = a;
    EXPECT_EQ(c.id(), a.id());
    EXPECT_NE(c.items().head(), a.items().head());
    a.items().clear();  // the copies keep their own nodes
    EXPECT_EQ(c.items().get(0), &x);

    Qe_User_Point_List p;
    p.id(7);
    p.items().add(&x);
    std::strcpy(p.text(), "pts");
    Qe_User_Point_List q(p), r;
    r = p;
    for (const Qe_User_Point_List* l : {&q, &r}) {
        EXPECT_EQ(l->id(), 7);
        EXPECT_STREQ(l->text(), "pts");
        EXPECT_NE(l->items().head(), p.items().head());
        EXPECT_EQ(l->items().get(0), &x);
    }
}

TEST(UserLists, PointListLookup)
{
    EXPECT_TRUE(g_user_entity_list.is_empty());
    ASSERT_EQ(g_user_ptlist_list, nullptr);
    EXPECT_EQ(get_user_point_list(0), nullptr);

    Qe_User_Point_List a, b, c;
    a.id(2);
    b.id(0);
    c.id(2);
    Qe_Void_List lists;
    lists.add(&a);
    lists.add(nullptr);
    lists.add(&b);
    lists.add(&c);
    g_user_ptlist_list = &lists;
    EXPECT_EQ(get_user_point_list(2), &a);
    EXPECT_EQ(get_user_point_list(0), &b);
    EXPECT_EQ(get_user_point_list(1), nullptr);  // no list carries it
    EXPECT_EQ(get_user_point_list(3), nullptr);  // no list carries it
    EXPECT_EQ(get_user_point_list(4), nullptr);  // fewer than id + 1 entries
    g_user_ptlist_list = nullptr;
}

}  // namespace
