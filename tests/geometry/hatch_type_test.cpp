#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "geometry/hatch_type.h"

namespace {

std::vector<std::string> lines_of(const Qe_Hacthtype& t)
{
    std::vector<std::string> v;
    for (Qe_Void_Node* n = t.data_list().head(); n; n = n->next()) v.emplace_back(static_cast<const char*>(n->entity()));
    return v;
}

TEST(HatchTypeList, LookupIgnoresCaseAndReturnsTheFirstAdded)
{
    Qe_Hacthtype_List list;
    EXPECT_EQ(list.find_htype("ANSI31"), nullptr);
    EXPECT_EQ(list.find_htype(""), nullptr);
    EXPECT_EQ(list.find_htype(nullptr), nullptr);

    Qe_Hacthtype* a = list.add_htype("ANSI31", "Iron, brick");
    Qe_Hacthtype* b = list.add_htype("ansi31", "second of the name");
    Qe_Hacthtype* c = list.add_htype("Net", nullptr);
    Qe_Hacthtype* d = list.add_htype(nullptr, nullptr);
    ASSERT_TRUE(a && b && c && d);
    EXPECT_NE(a, b);
    EXPECT_STREQ(a->desc(), "Iron, brick");
    EXPECT_STREQ(c->desc(), "");
    EXPECT_STREQ(d->name(), "");

    struct Case {
        const char* name;
        Qe_Hacthtype* want;
    };
    const Case cases[] = {{"ANSI31", a}, {"Ansi31", a}, {"ansi31", a}, {"NET", c},
                          {"ANSI3", nullptr}, {"ANSI311", nullptr}, {"", d}, {"Nét", nullptr}};
    for (const Case& k : cases) EXPECT_EQ(list.find_htype(k.name), k.want) << k.name;
}

TEST(HatchType, NamesAreCutToTheField)
{
    Qe_Hacthtype_List list;
    const std::string long_name(1000, 'N');
    const std::string long_desc(300, 'd');
    Qe_Hacthtype* t = list.add_htype(long_name.c_str(), long_desc.c_str());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::strlen(t->name()), 255u);
    EXPECT_EQ(std::string(t->name()), long_name.substr(0, 255));
    EXPECT_EQ(std::string(t->desc()), long_desc.substr(0, 255));
    // A name of exactly 255 characters fits whole.
    const std::string fits(255, 'f');
    t->name(fits.c_str());
    EXPECT_EQ(std::string(t->name()), fits);
    // The type is found under the long name it was added with, compared by what was stored.
    t->name(long_name.c_str());
    EXPECT_EQ(list.find_htype(long_name.c_str()), t);
    EXPECT_EQ(list.find_htype(std::string(255, 'n').c_str()), t);
    EXPECT_EQ(list.find_htype(std::string(254, 'N').c_str()), nullptr);
    // Null leaves the field as it was; a shorter text replaces it whole.
    t->desc(nullptr);
    EXPECT_EQ(std::string(t->desc()), long_desc.substr(0, 255));
    t->desc("short");
    EXPECT_STREQ(t->desc(), "short");
}

TEST(HatchType, PatternLinesAreOwnedCopies)
{
    Qe_Hacthtype_List list;
    Qe_Hacthtype* t = list.add_htype("BRICK", "Brick");
    char line[] = "0, 0,0, 0,.25";
    t->add_data(line);
    t->add_data("");
    t->add_data(nullptr);
    t->add_data("90, 0,0, .25,.25, .25,-.25");
    line[0] = '9';  // the stored line is a copy
    EXPECT_EQ(lines_of(*t), (std::vector<std::string>{"0, 0,0, 0,.25", "90, 0,0, .25,.25, .25,-.25"}));
    // The list owns types and lines: destroyed here, checked by the leak sanitizer.
}

TEST(HatchType, CopiesAreNotMade)
{
    static_assert(!std::is_copy_constructible_v<Qe_Hacthtype> && !std::is_copy_assignable_v<Qe_Hacthtype>);
    static_assert(!std::is_copy_constructible_v<Qe_Hacthtype_List> && !std::is_copy_assignable_v<Qe_Hacthtype_List>);
    SUCCEED();
}

TEST(HatchType, GlobalRegistryAndCalculationHolders)
{
    EXPECT_EQ(g_hatch_type_list.find_htype("anything"), nullptr);
    Qe_Hacthtype* t = g_hatch_type_list.add_htype("GLOBAL_TEST_TYPE", "kept until unload");
    EXPECT_EQ(g_hatch_type_list.find_htype("global_test_type"), t);

    Key_Point k;
    EXPECT_EQ(k.flag(), 0);
    EXPECT_EQ(k.point().x(), 0.0);
    k.flag(3);
    EXPECT_EQ(k.flag(), 3);

    Hatch_Filled_Cal h;
    EXPECT_EQ(h.angles(), nullptr);
    EXPECT_EQ(h.angles_size(), 0);
    h.angles_size(4);
    EXPECT_EQ(h.angles_size(), 4);
    h.begin_cal();
    h.build_segment_list();
    EXPECT_TRUE(h.loop_list().is_empty());
    EXPECT_TRUE(h.result_list().is_empty());
}

}  // namespace
