// End to end, one small drawing per entity kind: built with the kernel, saved as .vkt,
// converted by the real plotwane with the real libraries, and read back by the structure
// check, ezdxf and LibreCAD.

#include <gtest/gtest.h>

#include <functional>
#include <numbers>

#include "Drakmere.h"
#include "dxf_run.h"
#include "dxf_structure.h"

using namespace converter_test;

namespace {

constexpr long k_red = 0x0000FF;
constexpr double k_pi = std::numbers::pi;

struct Kind_Case {
    const char* name;
    std::function<void(MB_Object_List&)> build;
    // The expected "entity" lines of dxf_check.py, in order.
    std::string entities;
};

class Kinds_Test : public ::testing::TestWithParam<Kind_Case> {};

TEST_P(Kinds_Test, ConvertedAndReadBack)
{
    const Kind_Case& c = GetParam();
    Work_Dir work(std::string("kind_") + c.name);
    const std::string source = work / "kind.vkt";
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("kind"));
        auto* layer = new MB_Layer(MB_String("k"));
        layer->visibility(true);
        layer->color(0x00FF00);
        op.drawing()->layer_list().add_tail(layer);
        MB_Object_List built;
        c.build(built);
        while (MB_Object* o = built.get_head()) {
            built.remove(o);
            auto* d = static_cast<MB_Drawable*>(o);
            d->general().layer(layer);
            d->general().color(k_red);
            op.drawing()->object_list().add_tail(d);
        }
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    const std::string dxf = work / "kind.dxf";
    const std::string cmd = "env -u PLATFORM_KERNEL_DIR " + shell_quote(PLOTWANE_BIN) + " " + shell_quote(source) +
                            " " + shell_quote(dxf) + " >out.txt 2>err.txt </dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(work.path() / "err.txt");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(has_line(report, "layer k color=3 flags=0 linetype=Continuous")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")), c.entities);
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

const Kind_Case k_kinds[] = {
    {"line", [](MB_Object_List& l) { l.add_tail(new MB_Line(Qe_Pt(1, 2, 0), Qe_Pt(30, 40, 0))); },
     "entity LINE layer=k color=1 start=(1,2,0) end=(30,40,0)\n"},
    {"chain",
     [](MB_Object_List& l) {
         auto* chain = new MB_Lines;
         const Qe_Pt pts[] = {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}};
         chain->init(3, pts);
         l.add_tail(chain);
     },
     "entity LWPOLYLINE layer=k color=1 closed=0 const=0 elevation=0 points=(0,0,0,0,0)(10,0,0,0,0)(10,5,0,0,0)\n"},
    {"circle", [](MB_Object_List& l) { l.add_tail(new MB_Circle(Qe_Pt(10, 10, 0), 5)); },
     "entity CIRCLE layer=k color=1 center=(10,10,0) radius=5\n"},
    {"arc", [](MB_Object_List& l) { l.add_tail(new MB_Arc(Qe_Pt(0, 0, 0), 10, k_pi / 6, k_pi / 2)); },
     "entity ARC layer=k color=1 center=(0,0,0) radius=10 angles=30,90\n"},
    {"ellipse", [](MB_Object_List& l) { l.add_tail(new MB_Ellipse(Qe_Pt(1, 1, 0), 10, 5, k_pi / 6)); },
     "entity ELLIPSE layer=k color=1 center=(1,1,0) major=(8.660254,5,0) ratio=0.5 params=0,6.283185\n"},
    // The longer axis becomes the major one.
    {"ellipse_tall", [](MB_Object_List& l) { l.add_tail(new MB_Ellipse(Qe_Pt(0, 0, 0), 5, 10, 0)); },
     "entity ELLIPSE layer=k color=1 center=(0,0,0) major=(0,10,0) ratio=0.5 params=0,6.283185\n"},
    {"elliptic_arc",
     [](MB_Object_List& l) { l.add_tail(new MB_Ellipse_Arc(Qe_Pt(0, 0, 0), 10, 5, 0, 0, k_pi / 2)); },
     "entity ELLIPSE layer=k color=1 center=(0,0,0) major=(10,0,0) ratio=0.5 params=0,1.570796\n"},
    // The same arc with its axes exchanged: the parameters turn back by a quarter.
    {"elliptic_arc_tall",
     [](MB_Object_List& l) { l.add_tail(new MB_Ellipse_Arc(Qe_Pt(0, 0, 0), 5, 10, 0, k_pi / 2, k_pi)); },
     "entity ELLIPSE layer=k color=1 center=(0,0,0) major=(0,10,0) ratio=0.5 params=0,1.570796\n"},
    {"point", [](MB_Object_List& l) { l.add_tail(new MB_Point(Qe_Pt(3, 4, 0))); },
     "entity POINT layer=k color=1 at=(3,4,0)\n"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, Kinds_Test, ::testing::ValuesIn(k_kinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
