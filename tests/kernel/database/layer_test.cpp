#include <gtest/gtest.h>

#include "kernel/database/layer.h"

namespace {

TEST(Layer, ConstructorsAndFlags)
{
    MB_Layer def;
    EXPECT_EQ(def.name(), MB_String("layer0"));
    EXPECT_EQ(def.flag(), MB_Layer::Flag_On);
    EXPECT_TRUE(def.visibility());
    EXPECT_EQ(def.color(), 0xFFFFFFu);
    EXPECT_EQ(def.width(), 0);
    EXPECT_EQ(def.line_type(), nullptr);

    // A named layer starts switched off.
    MB_Layer named(MB_String("Wall"));
    EXPECT_EQ(named.flag(), 0);
    EXPECT_FALSE(named.visibility());
    named.visibility(true);
    EXPECT_TRUE(named.visibility());

    // Freezing hides the layer while its on bit stays.
    named.freeze(true);
    EXPECT_FALSE(named.visibility());
    EXPECT_EQ(named.flag(), MB_Layer::Flag_On | MB_Layer::Flag_Frozen);
    named.freeze(false);
    EXPECT_TRUE(named.visibility());

    struct Case {
        mb_byte start;
        void (MB_Layer::*set)(bool);
        bool on;
        mb_byte result;
    };
    const Case cases[] = {
        {0x0F, &MB_Layer::plot, false, 0x07},
        {0x00, &MB_Layer::plot, true, 0x08},
        {0x00, &MB_Layer::lock, true, 0x02},
        {0x0F, &MB_Layer::lock, false, 0x0D},
        {0x0F, &MB_Layer::visibility, false, 0x0E},
    };
    for (const Case& c : cases) {
        MB_Layer l(MB_String("x"));
        for (int bit = 0; bit < 4; ++bit)
            if (c.start & (1 << bit)) {
                void (MB_Layer::*setters[4])(bool) = {&MB_Layer::visibility, &MB_Layer::lock, &MB_Layer::freeze,
                                                     &MB_Layer::plot};
                (l.*setters[bit])(true);
            }
        ASSERT_EQ(l.flag(), c.start);
        (l.*c.set)(c.on);
        EXPECT_EQ(l.flag(), c.result) << int(c.start);
    }

    MB_Layer copy(named);
    EXPECT_EQ(copy.name(), MB_String("Wall"));
    EXPECT_EQ(copy.flag(), named.flag());
    EXPECT_STREQ(copy.get_string(-310), "Wall");
    EXPECT_EQ(copy.get_string(-305), nullptr);
    EXPECT_EQ(copy.get_int(-310), 0);
}

}  // namespace

#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/test_objects.h"

namespace {

TEST(Layer, EntitiesOnTheLayer)
{
    MB_Drawing d;
    MB_Layer walls, doors;
    auto* a = new Test_Geom;
    a->general().layer(&walls);
    auto* b = new Test_Geom;
    b->general().layer(&doors);
    auto* c = new Test_Geom;
    c->general().layer(&walls);
    d.object_list().add_tail(a);
    d.object_list().add_tail(new Test_Object);
    d.object_list().add_tail(b);
    d.object_list().add_tail(c);
    Qe_Void_List list;
    list.add(&d);  // kept: the list is not emptied
    walls.get_ent_list(list, &d);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.get(1), a);
    EXPECT_EQ(list.get(2), c);
    walls.get_ent_list(list, nullptr);
    EXPECT_EQ(list.count(), 3);
}

}  // namespace
