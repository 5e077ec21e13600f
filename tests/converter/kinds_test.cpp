// End to end, one small drawing per entity kind: built with the kernel, saved as .vkt,
// converted by the real plotwane with the real libraries, and read back by the structure
// check, ezdxf and LibreCAD.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <sstream>
#include <numbers>
#include <set>

#include "Drakmere.h"
#include "dxf_run.h"
#include "dxf_structure.h"
#include "platform/ximage.h"

using namespace converter_test;

namespace {

constexpr long k_red = 0x0000FF;
constexpr double k_pi = std::numbers::pi;

struct Kind_Case {
    const char* name;
    std::function<void(MB_Object_List&)> build;
    // The expected "entity" lines of dxf_check.py, in order.
    std::string entities;
    // Whether LibreCAD draws anything of it (it draws pattern hatches only from its own
    // pattern files, by name, and no TOLERANCE).
    bool librecad_draws = true;
    // plotwane's options.
    const char* options = "";
    // A line the report must hold besides the entities.
    const char* also = "";
};

// By name: the default prints the struct's bytes, heap addresses included, into the test names.
void PrintTo(const Kind_Case& c, std::ostream* os)
{
    *os << c.name;
}

class Kinds_Test : public ::testing::TestWithParam<Kind_Case> {};

// Builds a drawing of what the builders make, every entity on layer "k" in red (after extra
// has added its own), saves it and converts it with plotwane; the DXF's path.
std::string convert_built(const Work_Dir& work, const std::vector<std::function<void(MB_Object_List&)>>& builders,
                          const std::string& options,
                          const std::function<void(MB_Object_List&)>& extra = nullptr)
{
    const std::string source = work / "kind.vkt";
    {
        MB_Operation op;
        EXPECT_TRUE(op.create_drawing("kind"));
        auto* layer = new MB_Layer(MB_String("k"));
        layer->visibility(true);
        layer->color(0x00FF00);
        op.drawing()->layer_list().add_tail(layer);
        MB_Object_List built;
        for (const auto& build : builders) build(built);
        while (MB_Object* o = built.get_head()) {
            built.remove(o);
            auto* d = static_cast<MB_Drawable*>(o);
            d->general().layer(layer);
            d->general().color(k_red);
            op.drawing()->object_list().add_tail(d);
        }
        if (extra) extra(op.drawing()->object_list());
        EXPECT_TRUE(op.save_jxb(source.c_str()));
    }
    const std::string dxf = work / "kind.dxf";
    const std::string cmd = "env -u PLATFORM_KERNEL_DIR " + shell_quote(PLOTWANE_BIN) + " " + options + " " +
                            shell_quote(source) + " " + shell_quote(dxf) + " >out.txt 2>err.txt </dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << read_file(work.path() / "err.txt");
    return dxf;
}

TEST_P(Kinds_Test, ConvertedAndReadBack)
{
    const Kind_Case& c = GetParam();
    Work_Dir work(std::string("kind_") + c.name);
    const std::string dxf = convert_built(work, {c.build}, c.options);
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(has_line(report, "layer k color=3 flags=0 linetype=Continuous")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")), c.entities);
    if (*c.also) {
        EXPECT_TRUE(has_line(report, c.also)) << joined(report);
    }
    if (c.librecad_draws)
        EXPECT_GT(librecad_ink(dxf, work.path()), 0);
    else
        EXPECT_EQ(librecad_ink(dxf, work.path()), 0);
}

// w x h pixels, each of its own colour.
CxImage* raster(int w, int h)
{
    auto* image = new CxImage;
    EXPECT_TRUE(image->Create(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image->SetPixelColor(x, y, RGBQUAD{static_cast<BYTE>(200 - 10 * x), static_cast<BYTE>(60 * y),
                                               static_cast<BYTE>(40 * x), 0});
    return image;
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
    {"bspline",
     [](MB_Object_List& l) {
         auto* s = new MB_Bspline(0, 5);
         const Qe_Pt fit[5] = {{0, 0, 0}, {10, 5, 0}, {20, -3, 0}, {30, 4, 0}, {40, 0, 0}};
         for (int i = 0; i < 5; ++i) s->fitpts().points()[i] = fit[i];
         l.add_tail(s);
     },
     "entity SPLINE layer=k color=1 degree=3 control=7 knots=11 fit=5 fitdev<0.001=True\n"},
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
    {"polyline",
     [](MB_Object_List& l) {
         auto* v = new MB_Pline_Pos[3];
         v[0].point = Qe_Pt(0, 0, 0);
         v[0].bulge = 0.5;
         v[0].start_width = 1;
         v[0].end_width = 2;
         v[1].point = Qe_Pt(10, 0, 0);
         v[2].point = Qe_Pt(10, 10, 0);
         v[2].bulge = -1;
         l.add_tail(new MB_Polyline(true, 3, v));
         // Only a global width: every segment has it.
         auto* g = new MB_Pline_Pos[2];
         g[0].point = Qe_Pt(20, 0, 0);
         g[1].point = Qe_Pt(30, 5, 0);
         auto* wide = new MB_Polyline(false, 2, g);
         wide->global_width(2);
         l.add_tail(wide);
     },
     "entity LWPOLYLINE layer=k color=1 closed=1 const=0 elevation=0 "
     "points=(0,0,1,2,0.5)(10,0,0,0,0)(10,10,0,0,-1)\n"
     "entity LWPOLYLINE layer=k color=1 closed=0 const=0 elevation=0 points=(20,0,2,2,0)(30,5,2,2,0)\n"},
    // Ring order p0 p1 p2 p3 becomes the SOLID's p0 p1 p3 p2; a triangle repeats p2.
    {"solid",
     [](MB_Object_List& l) {
         l.add_tail(new MB_Solid(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0), Qe_Pt(10, 5, 0), Qe_Pt(0, 5, 0)));
         auto* triangle = new MB_Solid(3);
         triangle->points()[0] = Qe_Pt(20, 0, 0);
         triangle->points()[1] = Qe_Pt(30, 0, 0);
         triangle->points()[2] = Qe_Pt(25, 8, 0);
         l.add_tail(triangle);
     },
     "entity SOLID layer=k color=1 corners=(0,0,0)(10,0,0)(0,5,0)(10,5,0)\n"
     "entity SOLID layer=k color=1 corners=(20,0,0)(30,0,0)(25,8,0)(25,8,0)\n"},
    {"face",
     [](MB_Object_List& l) {
         auto* face = new MB_Face(4);
         const Qe_Pt corners[] = {{0, 0, 0}, {10, 0, 1}, {10, 10, 2}, {0, 10, 3}};
         for (int i = 0; i < 4; ++i) face->points()[i] = corners[i];
         face->face_flag(MB_Face::Hide_Edge_12 | MB_Face::Hide_Edge_30);
         l.add_tail(face);
     },
     "entity 3DFACE layer=k color=1 corners=(0,0,0)(10,0,1)(10,10,2)(0,10,3) invisible=10\n"},
    // A polygon mesh closed along its rows, and one drawn by its density grid: POLYLINE meshes
    // of the grid the kernel draws. LibreCAD draws no POLYLINE mesh.
    {"polygon_mesh",
     [](MB_Object_List& l) {
         auto* mesh = new MB_Polygon_Mesh(2, 3, 0, 0);
         Qe_Pt grid[] = {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {0, 10, 0}, {10, 10, 1}, {20, 10, 0}};
         mesh->meshn_closed(true);
         for (int i = 0; i < 6; ++i) mesh->add_point(grid[i], i);
         l.add_tail(mesh);
         auto* dense = new MB_Polygon_Mesh(2, 2, 2, 2);
         Qe_Pt both[] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {30, 0, 0}, {30, 10, 0}, {40, 0, 0}, {40, 10, 0}};
         for (int i = 0; i < 8; ++i) dense->add_point(both[i], i);
         l.add_tail(dense);
     },
     "entity POLYLINE layer=k color=1 mesh flags=48 m=2 n=3 points=(0,0,0)(10,0,0)(20,0,0)(0,10,0)(10,10,1)(20,10,0)\n"
     "entity POLYLINE layer=k color=1 mesh flags=16 m=2 n=2 points=(30,0,0)(30,10,0)(40,0,0)(40,10,0)\n",
     false},
    // A polyface mesh with a face of every size the kernel draws: a line, an open triangle
    // (its closing edge hidden), a closed triangle and a quadrilateral (whose negative
    // reference the kernel draws as any other); a face of one point draws nothing.
    {"polyface_mesh",
     [](MB_Object_List& l) {
         auto* mesh = new MB_Polyface_Mesh(4, 5);
         Qe_Pt pts[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
         for (int i = 0; i < 4; ++i) mesh->add_point(pts[i], i);
         const int refs[5][4] = {{1, 2, 0, 0}, {1, 2, 3, 0}, {2, 3, 4, 0}, {-1, 2, 3, 4}, {3, 0, 0, 0}};
         const unsigned long sizes[5] = {2, 3, 4, 5, 1};
         for (int f = 0; f < 5; ++f) mesh->set_size(sizes[f], f);
         for (int f = 0; f < 5; ++f)
             for (int r = 0; r < 4; ++r) mesh->set_face_pos(refs[f][r], f * 4 + r);
         l.add_tail(mesh);
     },
     "entity POLYLINE layer=k color=1 polyface flags=64 vertices=4 faces=4 points=(0,0,0)(10,0,0)(10,10,0)(0,10,0) "
     "faces=[1,2,0,0][1,2,-3,0][2,3,4,0][1,2,3,4]\n",
     false},
    // A square with a square hole, filled solid: one HATCH with both loops.
    {"hatch_solid",
     [](MB_Object_List& l) {
         auto* hatch = new MB_Hatch;
         const Qe_Pt outer[] = {{0, 0, 0}, {20, 0, 0}, {20, 20, 0}, {0, 20, 0}};
         const Qe_Pt inner[] = {{5, 5, 0}, {15, 5, 0}, {15, 15, 0}, {5, 15, 0}};
         hatch->loop_add(new Qe_Loop(outer, 4));
         hatch->loop_add(new Qe_Loop(inner, 4));
         hatch->get_hatchtype()->name(MB_String("_SOLID"));
         l.add_tail(hatch);
     },
     "entity HATCH layer=k color=1 pattern=SOLID solid=1 paths=2\n"},
    // A pattern fill: a HATCH with its pattern lines in drawing units.
    {"hatch_pattern",
     [](MB_Object_List& l) {
         auto* hatch = new MB_Hatch;
         const Qe_Pt outer[] = {{0, 0, 0}, {20, 0, 0}, {20, 20, 0}, {0, 20, 0}};
         hatch->loop_add(new Qe_Loop(outer, 4));
         hatch->get_hatchtype()->name(MB_String("STRIPES"));
         hatch->get_hatchtype()->add_string(MB_String("0, 0, 5, 0, 10"));
         l.add_tail(hatch);
     },
     "entity HATCH layer=k color=1 pattern=STRIPES solid=0 paths=1 style=0 scale=1 angle=0 "
     "lines=[0 (0,5) (0,10) ]\n",
     false},
    // A pattern by a name LibreCAD knows, turned and scaled.
    {"hatch_ansi31",
     [](MB_Object_List& l) {
         auto* hatch = new MB_Hatch;
         const Qe_Pt outer[] = {{10, 10, 0}, {30, 10, 0}, {30, 30, 0}, {10, 30, 0}};
         hatch->loop_add(new Qe_Loop(outer, 4));
         hatch->get_hatchtype()->name(MB_String("ANSI31"));
         (void)hatch->get_hatchtype()->add_string(MB_String("45, 0,0, 0,3.175"));
         hatch->get_hatchtype()->scale(2);
         hatch->get_hatchtype()->angle(k_pi / 2);
         l.add_tail(hatch);
     },
     "entity HATCH layer=k color=1 pattern=ANSI31 solid=0 paths=1 style=0 scale=2 angle=90 "
     "lines=[135 (10,10) (-4.490128,-4.490128) ]\n"},
    // A block and a turned, scaled, mirrored reference to it.
    {"insert",
     [](MB_Object_List& l) {
         MB_Drawing* drawing = g_active_operation->drawing();
         auto* block = new MB_Block(Qe_Pt(1, 2, 0), MB_String("door"), MB_String(""));
         block->object_list().add_tail(new MB_Line(Qe_Pt(1, 2, 0), Qe_Pt(4, 6, 0)));
         drawing->block_list().add_tail(block);
         auto* insert = new MB_Insert(Qe_Pt(50, 60, 0), k_pi / 3, 2, -1.5, 0);
         insert->block(block);
         l.add_tail(insert);
     },
     "entity INSERT layer=k color=1 block=door at=(50,60,0) scale=2,-1.5,1 rotation=60\n"},
    // A raster image: its frame's corner, a pixel's size, and its raster beside the file.
    {"image",
     [](MB_Object_List& l) {
         auto* image = new MB_Image(raster(4, 3));
         image->center(Qe_Pt(10, 20, 0));
         image->width(40);
         image->height(15);
         l.add_tail(image);
     },
     "entity IMAGE layer=k color=1 insert=(-10,12.5,0) u=(10,0,0) v=(0,5,0) size=(4,3,0) def=kind-1.png "
     "defsize=(4,3,0) reactor=True\n"},
    // A thickness on every kind that carries one in DXF; an ellipse has none to carry.
    {"thickness",
     [](MB_Object_List& l) {
         auto thick = [&](MB_Drawable* d) {
             d->general().thickness(3);
             l.add_tail(d);
         };
         thick(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0)));
         thick(new MB_Circle(Qe_Pt(20, 0, 0), 5));
         thick(new MB_Arc(Qe_Pt(40, 0, 0), 5, 0, k_pi));
         thick(new MB_Point(Qe_Pt(50, 0, 0)));
         auto* chain = new MB_Lines;
         const Qe_Pt pts[] = {{60, 0, 0}, {70, 0, 0}, {70, 5, 0}};
         chain->init(3, pts);
         thick(chain);
         thick(new MB_Solid(Qe_Pt(80, 0, 0), Qe_Pt(90, 0, 0), Qe_Pt(90, 5, 0), Qe_Pt(80, 5, 0)));
         thick(new MB_Ellipse(Qe_Pt(100, 0, 0), 10, 5, 0));
     },
     "entity LINE layer=k color=1 thickness=3 start=(0,0,0) end=(10,0,0)\n"
     "entity CIRCLE layer=k color=1 thickness=3 center=(20,0,0) radius=5\n"
     "entity ARC layer=k color=1 thickness=3 center=(40,0,0) radius=5 angles=0,180\n"
     "entity POINT layer=k color=1 thickness=3 at=(50,0,0)\n"
     "entity LWPOLYLINE layer=k color=1 thickness=3 closed=0 const=0 elevation=0 "
     "points=(60,0,0,0,0)(70,0,0,0,0)(70,5,0,0,0)\n"
     "entity SOLID layer=k color=1 thickness=3 corners=(80,0,0)(90,0,0)(80,5,0)(90,5,0)\n"
     "entity ELLIPSE layer=k color=1 center=(100,0,0) major=(10,0,0) ratio=0.5 params=0,6.283185\n"},
};

// The lines a reader draws for an exported pattern hatch are the lines the kernel draws: for
// turned, scaled, dashed and dotted patterns with islands, ezdxf's own hatching of the DXF
// against the kernel's generated spans, segment by segment. (ezdxf's hatching fills by
// parity whatever the hatch style says, so the outermost style is not compared here.)
TEST(Hatch_Export, ReadersDrawTheKernelsPatternLines)
{
    struct Case {
        const char* name;
        std::vector<const char*> lines;
        double scale, angle;
        int style;
    };
    const Case cases[] = {
        {"stripes", {"0, 0,5, 0,10"}, 1, 0, 0},
        {"ansi31_turned", {"45, 0,0, 0,3.175"}, 2, k_pi / 6, 0},
        {"dashed", {"30, 1,2, 1.5,4, 3,-1.5"}, 1, 0, 0},
        {"dots_and_two_families", {"0, 0,0, 0,6, 4,-2,0,-2", "90, 0,0, 0,6, 4,-2"}, 0.75, 0.3, 0},
        {"reversed_direction", {"200, 0.5,0.5, 0.7,5, 2,-1"}, 1, 0, 0},
        // A family with its own origin under a turned pattern: the origin turns with it.
        {"own_origin_turned", {"30, 1,2, 1.5,4, 3,-1.5"}, 1.5, 0.4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Work_Dir work(std::string("hatch_export_") + c.name);
        const std::string source = work / "hatch.vkt";
        std::vector<std::array<double, 4>> kernel;
        {
            MB_Operation op;
            ASSERT_TRUE(op.create_drawing("hatch"));
            auto* hatch = new MB_Hatch;
            const Qe_Pt outer[] = {{0, 0, 0}, {40, 0, 0}, {40, 30, 0}, {0, 30, 0}};
            const Qe_Pt island[] = {{10, 8, 0}, {25, 8, 0}, {25, 20, 0}, {10, 20, 0}};
            const Qe_Pt inner[] = {{14, 12, 0}, {20, 12, 0}, {20, 16, 0}, {14, 16, 0}};
            hatch->loop_add(new Qe_Loop(outer, 4));
            hatch->loop_add(new Qe_Loop(island, 4));
            hatch->loop_add(new Qe_Loop(inner, 4));
            MB_Hatch_Type& type = *hatch->get_hatchtype();
            type.name(MB_String(c.name));
            for (const char* line : c.lines) ASSERT_TRUE(type.add_string(MB_String(line)));
            type.scale(c.scale);
            type.angle(c.angle);
            hatch->type(c.style);
            op.drawing()->object_list().add_tail(hatch);
            hatch->build_draw();
            for (Qe_Void_Node* n = hatch->ptsets_list().head(); n; n = n->next()) {
                const auto* sets = static_cast<const Qe_Pt_Sets*>(n->entity());
                const Qe_Pt* p = sets->points();
                for (mb_ulong r = 0; r < sets->ptset_count(); ++r) {
                    const mb_ulong count = sets->vals()[r];
                    for (mb_ulong k = 0; k + 1 < count; ++k)
                        kernel.push_back({p[k].x(), p[k].y(), p[k + 1].x(), p[k + 1].y()});
                    p += count;
                }
            }
            ASSERT_TRUE(op.save_jxb(source.c_str()));
        }
        ASSERT_FALSE(kernel.empty());
        const std::string dxf = work / "hatch.dxf";
        const std::string cmd = "env -u PLATFORM_KERNEL_DIR " + shell_quote(PLOTWANE_BIN) + " " + shell_quote(source) +
                                " " + shell_quote(dxf) + " >out.txt 2>err.txt </dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(work.path() / "err.txt");
        const std::string listing = work / "segments.txt";
        const std::string py = "/usr/bin/python3 " + shell_quote(CONVERTER_TEST_SOURCE_DIR "/dxf_check.py") +
                               " --hatch-segments " + shell_quote(dxf) + " >" + shell_quote(listing);
        ASSERT_EQ(std::system(py.c_str()), 0);
        std::vector<std::array<double, 4>> reader;
        std::istringstream in(read_file(listing));
        for (std::string word; in >> word;) {
            std::array<double, 4> s{};
            in >> s[0] >> s[1] >> s[2] >> s[3];
            reader.push_back(s);
        }
        // Both sides as segments of some length, each matched by one of the other side
        // (either direction); dots and slivers at the boundary are left out.
        const auto length = [](const std::array<double, 4>& s) { return std::hypot(s[2] - s[0], s[3] - s[1]); };
        const auto same = [](const std::array<double, 4>& a, const std::array<double, 4>& b) {
            const double tol = 1e-5;
            const auto near = [&](double x0, double y0, double x1, double y1) {
                return std::fabs(x0 - x1) < tol && std::fabs(y0 - y1) < tol;
            };
            return (near(a[0], a[1], b[0], b[1]) && near(a[2], a[3], b[2], b[3])) ||
                   (near(a[0], a[1], b[2], b[3]) && near(a[2], a[3], b[0], b[1]));
        };
        const auto unmatched = [&](const std::vector<std::array<double, 4>>& from,
                                   const std::vector<std::array<double, 4>>& in_set) {
            int missing = 0;
            for (const auto& s : from) {
                if (length(s) < 1e-4) continue;
                bool found = false;
                for (const auto& t : in_set) found = found || same(s, t);
                missing += found ? 0 : 1;
            }
            return missing;
        };
        double kernel_ink = 0, reader_ink = 0;
        for (const auto& s : kernel) kernel_ink += length(s);
        for (const auto& s : reader) reader_ink += length(s);
        EXPECT_NEAR(reader_ink, kernel_ink, 1e-6 * kernel_ink);
        EXPECT_EQ(unmatched(kernel, reader), 0);
        EXPECT_EQ(unmatched(reader, kernel), 0);
    }
}

// Texts kept as texts (--no-explode-text): TEXT entities with a STYLE of their fonts.
MB_Text* text_in_style(const char* string, double height, double width, double oblique, double angle)
{
    auto* text = new MB_Text(Qe_Pt(5, 6, 0), MB_String(string));
    MB_Text_Style style("notes", "txt.shx", "hztxt.shx", height, width, oblique, angle, 0, 0);
    text->init_text_style(&style);
    return text;
}

const Kind_Case k_texts[] = {
    {"text_latin", [](MB_Object_List& l) { l.add_tail(text_in_style("Ab 45%%d", 5, 0.8, 0.2, k_pi / 6)); },
     "entity TEXT layer=k color=1 at=(5,6,0) height=5 text=Ab 45%%d rotation=30 width=0.8 "
     "oblique=11.459156 style=txt_hztxt\n",
     true, "--no-explode-text", "style txt_hztxt font=txt.shx bigfont=hztxt.shx width=0.8 oblique=11.459156"},
    {"text_chinese", [](MB_Object_List& l) { l.add_tail(text_in_style("\xC6\xBD\xC3\xE6\xCD\xBC", 4, 1, 0, 0)); },
     // Characters outside the file's code page as \\U+ escapes, as CAD programs read them.
     "entity TEXT layer=k color=1 at=(5,6,0) height=4 text=\\U+5E73\\U+9762\\U+56FE rotation=0 width=1 oblique=0 "
     "style=txt_hztxt\n",
     true, "--no-explode-text", "style txt_hztxt font=txt.shx bigfont=hztxt.shx width=1 oblique=0"},
    // A multi-line text as one MTEXT with its codes.
    {"mtext",
     [](MB_Object_List& l) {
         auto* m = new MB_Mtext(Qe_Pt(5, 6, 0), "{\\C3;Ab}\\Pcd");
         m->text_style()->font_lib("txt.shx");
         m->text_style()->big_font_lib("hztxt.shx");
         m->set_base_ht(2);
         l.add_tail(m);
     },
     "entity MTEXT layer=k color=1 at=(5,6,0) height=2 width=0 attach=1 flow=5 rotation=0 spacing=1,1 "
     "style=txt_hztxt text={\\C3;Ab}\\Pcd plain=Ab|cd\n",
     true, "--no-explode-text", "style txt_hztxt font=txt.shx bigfont=hztxt.shx width=1 oblique=0"},
    // Its reference width, attachment point, drawing direction, line spacing and turn; fonts,
    // heights, colours and a double-byte character in its string; its slant in its style, at
    // width 1 whatever the style says, as the kernel sets its runs.
    {"mtext_values",
     [](MB_Object_List& l) {
         auto* m = new MB_Mtext(Qe_Pt(-3, 4, 0), "\\A1;One {\\Fgdt.shx;j}\\H2x;two \\C5;\xC6\xBD\\Pthree\\S1/2;");
         m->text_style()->font_lib("txt.shx");
         m->text_style()->big_font_lib("hztxt.shx");
         m->text_style()->width_scale(0.5);
         m->text_style()->oblique_angle(0.25);
         m->set_base_ht(3);
         m->set_width(40);
         m->set_attachpt(5);
         m->set_drawdir(1);
         m->set_linespacing_style(2);
         m->set_linespacing_factor(1.5);
         m->direction(Qe_Vec(0, 2, 0));
         l.add_tail(m);
     },
     "entity MTEXT layer=k color=1 at=(-3,4,0) height=3 width=40 attach=5 flow=1 rotation=90 spacing=2,1.5 "
     "style=txt_hztxt text=\\A1;One {\\Fgdt.shx;j}{\\H6;two \\C5;\\U+5E73\\Pthree\\S1/2;} "
     "plain=One jtwo \\U+5E73|three1/2\n",
     true, "--no-explode-text", "style txt_hztxt font=txt.shx bigfont=hztxt.shx width=1 oblique=14.323945"},
    // Aligned by the glyphs' box: centre, top left, bottom centre, bottom right.
    {"text_aligned",
     [](MB_Object_List& l) {
         for (const long ali : {2L, 32L, 4096L, 8192L}) {
             MB_Text* text = text_in_style("Ab", 2, 1, 0, 0);
             text->text_style()->ali_flag(ali);
             text->base_pos(Qe_Pt(static_cast<double>(ali % 100), 1, 0));
             l.add_tail(text);
         }
     },
     "entity TEXT layer=k color=1 at=(2,1,0) height=2 text=Ab rotation=0 width=1 oblique=0 style=txt_hztxt "
     "align=1,2 point=(2,1,0)\n"
     "entity TEXT layer=k color=1 at=(32,1,0) height=2 text=Ab rotation=0 width=1 oblique=0 style=txt_hztxt "
     "align=0,3 point=(32,1,0)\n"
     "entity TEXT layer=k color=1 at=(96,1,0) height=2 text=Ab rotation=0 width=1 oblique=0 style=txt_hztxt "
     "align=1,1 point=(96,1,0)\n"
     "entity TEXT layer=k color=1 at=(92,1,0) height=2 text=Ab rotation=0 width=1 oblique=0 style=txt_hztxt "
     "align=2,1 point=(92,1,0)\n",
     true, "--no-explode-text"},
    // Mirrored backwards, upside down and both, turned; a slant of 0 or less is none.
    {"text_mirrored",
     [](MB_Object_List& l) {
         const long mirrors[] = {MB_Text_Style::Mirror_Across_Direction, MB_Text_Style::Mirror_Across_Normal,
                                 MB_Text_Style::Mirror_Across_Direction | MB_Text_Style::Mirror_Across_Normal};
         for (int i = 0; i < 3; ++i) {
             MB_Text* text = text_in_style("Ab", 2, 1, -0.2, k_pi / 2);
             text->text_style()->font_style(mirrors[i]);
             text->base_pos(Qe_Pt(10.0 * i, 0, 0));
             l.add_tail(text);
         }
     },
     "entity TEXT layer=k color=1 at=(0,0,0) height=2 text=Ab rotation=90 width=1 oblique=0 style=txt_hztxt "
     "mirror=2\n"
     "entity TEXT layer=k color=1 at=(10,0,0) height=2 text=Ab rotation=90 width=1 oblique=0 style=txt_hztxt "
     "mirror=4\n"
     "entity TEXT layer=k color=1 at=(20,0,0) height=2 text=Ab rotation=90 width=1 oblique=0 style=txt_hztxt "
     "mirror=6\n",
     true, "--no-explode-text", "style txt_hztxt font=txt.shx bigfont=hztxt.shx width=1 oblique=0"},
    // Vertical: a vertical STYLE.
    {"text_vertical",
     [](MB_Object_List& l) {
         MB_Text* text = text_in_style("Ab", 2, 1, 0, 0);
         text->text_style()->font_style(MB_Text_Style::Vertical);
         l.add_tail(text);
     },
     "entity TEXT layer=k color=1 at=(5,6,0) height=2 text=Ab rotation=0 width=1 oblique=0 style=txt_hztxt\n",
     true, "--no-explode-text", "style txt_hztxt font=txt.shx bigfont=hztxt.shx width=1 oblique=0 vertical"},
    // A tolerance frame as TOLERANCE, with its height as the text height (its angle is not
    // stored: see the exporter's own tests). LibreCAD draws no TOLERANCE.
    {"tolerance",
     [](MB_Object_List& l) {
         auto* frame = new MB_Tolerance(Qe_Pt(3, 4, 0), "{\\Fgdt;j}%%v0.05%%vA\nB%%v");
         frame->set_height(2.5);
         l.add_tail(frame);
     },
     "entity TOLERANCE layer=k color=1 at=(3,4,0) text={\\Fgdt;j}%%v0.05%%vA^JB%%v direction=(1,0,0) "
     "dimstyle=Standard dimtxt=2.5\n",
     false, "--no-explode-text"},
};

INSTANTIATE_TEST_SUITE_P(Texts, Kinds_Test, ::testing::ValuesIn(k_texts),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Kinds, Kinds_Test, ::testing::ValuesIn(k_kinds),
                         [](const auto& info) { return std::string(info.param.name); });
constexpr long colorref(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

// Colours on both sides of two index colours, the index colours themselves, white and a colour
// of no index, on entities and on layers (one of them off): the nearest index, and beside it
// the exact colour where the index is not exact. ezdxf reads both without a fix; LibreCAD
// fills each solid in its exact colour.
TEST(Dxf_Colours, ExactColoursBesideTheirNearestIndex)
{
    struct Case {
        long colour;
        const char* dxf;      // as dxf_check.py prints it
        std::uint32_t shown;  // by LibreCAD, 0xRRGGBB
    };
    const Case cases[] = {
        {colorref(255, 0, 0), "color=1", 0xFF0000},
        {colorref(254, 0, 0), "color=1 rgb=FE0000", 0xFE0000},
        {colorref(255, 0, 1), "color=1 rgb=FF0001", 0xFF0001},
        // An index colour is shown in the reader's own palette, LibreCAD's a lighter one.
        {colorref(0xA5, 0x52, 0x52), "color=13", 0xCC6666},
        {colorref(0xA4, 0x52, 0x52), "color=13 rgb=A45252", 0xA45252},
        {colorref(0xA6, 0x52, 0x52), "color=13 rgb=A65252", 0xA65252},
        {colorref(0x56, 0x34, 0x12), "color=46 rgb=563412", 0x563412},
        // Colour 7 prints black on white paper.
        {colorref(255, 255, 255), "color=7", 0x000000},
    };
    Work_Dir work("dxf_colours");
    const std::string dxf = convert_built(work, {}, "", [&](MB_Object_List& list) {
        MB_Drawing& drawing = *g_active_operation->drawing();
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const double x = 30.0 * static_cast<double>(i);
            auto* solid = new MB_Solid(Qe_Pt(x, 0, 0), Qe_Pt(x + 20, 0, 0), Qe_Pt(x + 20, 20, 0), Qe_Pt(x, 20, 0));
            solid->general().color(cases[i].colour);
            list.add_tail(solid);
        }
        for (const bool on : {true, false}) {
            auto* layer = new MB_Layer(MB_String(on ? "brown" : "brown_off"));
            layer->visibility(on);
            layer->color(static_cast<mb_ulong>(colorref(0x56, 0x34, 0x12)));
            drawing.layer_list().add_tail(layer);
        }
    });
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(has_line(report, "version AC1018")) << joined(report);
    EXPECT_TRUE(has_line(report, "layer k color=3 flags=0 linetype=Continuous")) << joined(report);
    EXPECT_TRUE(has_line(report, "layer brown color=46 flags=0 linetype=Continuous rgb=563412")) << joined(report);
    EXPECT_TRUE(has_line(report, "layer brown_off color=-46 flags=0 linetype=Continuous rgb=563412")) << joined(report);
    const std::vector<std::string> got = lines_starting(report, "entity ");
    ASSERT_EQ(got.size(), std::size(cases)) << joined(report);
    const auto colours = librecad_colours(dxf, work.path());
    ASSERT_FALSE(colours.empty());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string head = std::string("entity SOLID layer=0 ") + cases[i].dxf + " corners=";
        EXPECT_EQ(got[i].rfind(head, 0), 0u) << got[i];
        // A solid of 20 units covers hundreds of pixels at the rendering's scale.
        const auto it = colours.find(cases[i].shown);
        EXPECT_GT(it == colours.end() ? 0 : it->second, 100) << std::hex << cases[i].shown;
    }
}

// What LibreCAD draws of an MTEXT is its own layout: each paragraph on a line of its own, and
// the words of a paragraph on one line where the kernel, with a width of 0, sets every run on a
// line of its own.
TEST(Dxf_Mtext_Reader, LibreCadSetsTheLinesItself)
{
    struct Case {
        const char* name;
        const char* string;
        int kernel_lines, librecad_lines;
    } cases[] = {
        {"paragraphs", "{\\C3;Ab}\\PCD", 2, 2},
        {"words", "Ab CD EF", 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Work_Dir work(std::string("dxf_mtext_reader_") + c.name);
        std::set<double> kernel_lines;  // the base lines of the kernel's runs
        const std::string dxf = convert_built(work, {[&](MB_Object_List& l) {
                                                  auto* m = new MB_Mtext(Qe_Pt(5, 6, 0), c.string);
                                                  m->text_style()->font_lib("txt.shx");
                                                  m->set_base_ht(2);
                                                  m->build_draw();
                                                  std::vector<MB_Text*> runs;
                                                  std::vector<MB_Line*> lines;
                                                  EXPECT_TRUE(mb_text_parts(*m, runs, lines));
                                                  for (MB_Text* run : runs) kernel_lines.insert(run->base_pos().y());
                                                  l.add_tail(m);
                                              }},
                                              "--no-explode-text");
        EXPECT_EQ(static_cast<int>(kernel_lines.size()), c.kernel_lines);
        EXPECT_EQ(librecad_ink_bands(dxf, work.path()), c.librecad_lines);
    }
}

// A drawing far from the origin: the view the file opens with is centred on its extents and
// shows them whole with a margin, in the viewport's 3:2 shape.
TEST(Dxf_View, ActiveViewportOnTheDrawingsExtents)
{
    Work_Dir work("dxf_view");
    const std::string dxf =
        convert_built(work, {[](MB_Object_List& l) {
                          l.add_tail(new MB_Line(Qe_Pt(1e6, 2e6, 0), Qe_Pt(1e6 + 300, 2e6 + 40, 0)));
                          l.add_tail(new MB_Line(Qe_Pt(1e6 + 150, 2e6 + 75, 0), Qe_Pt(1e6 + 100, 2e6 + 10, 0)));
                      }},
                      "");
    const auto report = ezdxf_report(dxf);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    // Extents x 1e6 .. 1e6 + 300, y 2e6 .. 2e6 + 75: the width decides, 300 / 1.5 × 1.1.
    EXPECT_TRUE(has_line(report, "vport center=(1000150,2000037.5,0) height=220 aspect=1.5")) << joined(report);
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}


// " style=NAME" taken out: style names are unique within a file, so they depend on which
// other texts share it.
std::string without_style(std::string line)
{
    const std::size_t at = line.find(" style=");
    if (at != std::string::npos) line.erase(at, line.find(' ', at + 1) - at);
    return line;
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// One drawing of every kind through the road, texts kept and texts exploded: each kind comes
// out as its own drawing of it does, in drawing order; exploded, no TEXT is left, the
// entities of the other kinds are unchanged, and the outlines and hatches of each text lie
// where the text lay.
TEST(Every_Kind, OneDrawingWithAndWithoutTextExplosion)
{
    std::vector<std::function<void(MB_Object_List&)>> builders;
    std::vector<std::string> kept, others;
    for (const Kind_Case& c : k_kinds) {
        builders.push_back(c.build);
        for (const std::string& line : split_lines(c.entities)) {
            kept.push_back(without_style(line));
            others.push_back(line);
        }
    }
    for (const Kind_Case& c : k_texts) {
        builders.push_back(c.build);
        for (const std::string& line : split_lines(c.entities)) kept.push_back(without_style(line));
    }
    // A TrueType text, filled when exploded; the boxes each text's display covers.
    std::vector<Qe_Rect> text_boxes;
    const auto add_truetype = [&](MB_Object_List& list) {
        auto* text = new MB_Text(Qe_Pt(100, 50, 0), MB_String("Ag"));
        MB_Text_Style style("sans", "arial.ttf", "", 8, 1, 0, 0, 0, 0);
        text->init_text_style(&style);
        text->general().color(k_red);
        list.add_tail(text);
        for (MB_Object* o = list.get_head(); o; o = o->next()) {
            if (o->object_id() != MB_Object::ID_TEXT && o->object_id() != MB_Object::ID_MTEXT &&
                o->object_id() != MB_Object::ID_TOLERANCE)
                continue;
            auto* d = static_cast<MB_Drawable*>(o);
            d->build_draw();
            text_boxes.push_back(d->rect());
        }
    };
    kept.push_back("entity TEXT layer=0 color=1 at=(100,50,0) height=8 text=Ag rotation=0 width=1 oblique=0");

    for (const bool explode : {false, true}) {
        SCOPED_TRACE(explode ? "exploded" : "texts kept");
        Work_Dir work(explode ? "every_kind_exploded" : "every_kind_kept");
        text_boxes.clear();
        const std::string dxf = convert_built(work, builders, explode ? "" : "--no-explode-text", add_truetype);
        // Single-line texts 1 + 1 + 4 + 3 + 1, multi-line texts 2, a frame, the TrueType text.
        ASSERT_EQ(text_boxes.size(), 14u);
        EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
        const auto report = ezdxf_report(dxf);
        EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
        EXPECT_GT(librecad_ink(dxf, work.path()), 0);
        // The image's raster beside the file, and no temporary file left.
        const CxImage written((work / "kind-1.png").c_str(), CXIMAGE_FORMAT_PNG);
        EXPECT_TRUE(written.IsValid() && written.GetWidth() == 4 && written.GetHeight() == 3);
        for (const auto& entry : fs::directory_iterator(work.path()))
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        std::vector<std::string> got = lines_starting(report, "entity ");
        if (!explode) {
            for (std::string& line : got) line = without_style(line);
            EXPECT_EQ(joined(got), joined(kept));
            continue;
        }
        EXPECT_TRUE(lines_starting(report, "entity TEXT").empty()) << joined(report);
        ASSERT_GT(got.size(), others.size());
        EXPECT_EQ(joined(std::vector<std::string>(got.begin(), got.begin() + others.size())), joined(others));
        // After them, text by text: outlines, and for the TrueType text one solid hatch.
        const auto boxes = lines_starting(ezdxf_report(dxf, "--boxes"), "box ");
        ASSERT_EQ(boxes.size(), got.size());
        int hatches = 0;
        for (std::size_t i = others.size(); i < boxes.size(); ++i) {
            char kind[32] = {};
            double x0, y0, x1, y1;
            ASSERT_EQ(std::sscanf(boxes[i].c_str(), "box %31s %lf %lf %lf %lf", kind, &x0, &y0, &x1, &y1), 5)
                << boxes[i];
            ASSERT_TRUE(std::string(kind) == "LWPOLYLINE" || std::string(kind) == "LINE" ||
                        std::string(kind) == "HATCH")
                << boxes[i];
            // Within the display box of one of the texts.
            bool inside = false;
            for (const Qe_Rect& r : text_boxes) {
                const double tol = 1e-6;
                inside = inside || (x0 >= std::min(r.lt().x(), r.rb().x()) - tol &&
                                    x1 <= std::max(r.lt().x(), r.rb().x()) + tol &&
                                    y0 >= std::min(r.lt().y(), r.rb().y()) - tol &&
                                    y1 <= std::max(r.lt().y(), r.rb().y()) + tol);
            }
            EXPECT_TRUE(inside) << boxes[i];
            if (std::string(kind) != "HATCH") continue;
            ++hatches;
            // The hatch fills the TrueType text's box: its glyphs reach its corners' sides.
            const Qe_Rect& r = text_boxes.back();
            EXPECT_NEAR(x0, std::min(r.lt().x(), r.rb().x()), 0.05);
            EXPECT_NEAR(y0, std::min(r.lt().y(), r.rb().y()), 0.05);
            EXPECT_NEAR(x1, std::max(r.lt().x(), r.rb().x()), 0.05);
            EXPECT_NEAR(y1, std::max(r.lt().y(), r.rb().y()), 0.05);
        }
        EXPECT_EQ(hatches, 1);
    }
}

}  // namespace
