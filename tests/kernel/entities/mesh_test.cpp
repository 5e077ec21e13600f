#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "kernel/entities/entity_fixture.h"
#include "geometry/transform.h"
#include "kernel/entities/mesh.h"

using namespace entity_test;

namespace {

// The runs as lists of vertex numbers (0-based), found by position in the vertex list.
std::vector<std::vector<int>> run_indices(const Qe_Pt_Sets& runs, const Qe_Pt_Set& vertices)
{
    std::vector<std::vector<int>> out;
    const Qe_Pt* p = runs.points();
    for (mb_ulong r = 0; r < runs.ptset_count(); ++r) {
        std::vector<int> run;
        for (mb_ulong i = 0; i < runs.vals()[r]; ++i, ++p) {
            int found = -1;
            for (int v = 0; v < vertices.count() && found < 0; ++v)
                if (vertices.points()[v].x() == p->x() && vertices.points()[v].y() == p->y()) found = v;
            run.push_back(found);
        }
        out.push_back(run);
    }
    return out;
}

// Every vertex at its own place: vertex v at (v, v²).
template <class Mesh>
void number_vertices(Mesh& m)
{
    for (int v = 0; v < m.count(); ++v) m.points()[v] = Qe_Pt(v, v * v, 0);
}

using Runs = std::vector<std::vector<int>>;

TEST(Polygon_Mesh, RowAndColumnRuns)
{
    struct Case {
        const char* name;
        int m, n, dm, dn;
        bool m_closed, n_closed;
        Runs runs;
    };
    const Case cases[] = {
        {"2 x 3 open", 2, 3, 0, 0, false, false, {{0, 1, 2}, {3, 4, 5}, {0, 3}, {1, 4}, {2, 5}}},
        {"2 x 3, rows closed", 2, 3, 0, 0, false, true, {{0, 1, 2, 0}, {3, 4, 5, 3}, {0, 3}, {1, 4}, {2, 5}}},
        {"2 x 3, columns closed", 2, 3, 0, 0, true, false, {{0, 1, 2}, {3, 4, 5}, {0, 3, 0}, {1, 4, 1}, {2, 5, 2}}},
        {"2 x 2 with a 2 x 3 density grid drawn instead", 2, 2, 2, 3, false, false,
         {{4, 5, 6}, {7, 8, 9}, {4, 7}, {5, 8}, {6, 9}}},
        {"one density 0: the main grid", 2, 2, 0, 3, false, false, {{0, 1}, {2, 3}, {0, 2}, {1, 3}}},
    };
    for (const Case& c : cases) {
        MB_Polygon_Mesh mesh(c.m, c.n, c.dm, c.dn);
        mesh.meshm_closed(c.m_closed);
        mesh.meshn_closed(c.n_closed);
        number_vertices(mesh);
        mesh.build_draw();
        EXPECT_EQ(run_indices(mesh.runs(), mesh), c.runs) << c.name;
    }
    MB_Polygon_Mesh dense(2, 2, 2, 3);
    EXPECT_EQ(dense.count(), 10);
}

TEST(Polygon_Mesh, LastVertexRebuildsAndRangesHold)
{
    MB_Polygon_Mesh mesh(2, 3, 0, 0);
    Qe_Pt p(4, 5, 0);
    for (int v = 0; v < 5; ++v) {
        Qe_Pt q(v, 1, 0);
        mesh.add_point(q, v);
    }
    EXPECT_EQ(mesh.runs().ptset_count(), 0u);
    mesh.add_point(p, 5);
    EXPECT_EQ(mesh.runs().ptset_count(), 5u);
    EXPECT_TRUE(pt_eq(mesh.get_point(1, 2), p));
    EXPECT_TRUE(pt_eq(mesh.rect().rb(), Qe_Pt(4, 1, 0)));
    // Outside the grid: the origin, and stores are ignored.
    EXPECT_TRUE(pt_eq(mesh.get_point(2, 0), Qe_Pt()));
    EXPECT_TRUE(pt_eq(mesh.get_point(0, 3), Qe_Pt()));
    EXPECT_TRUE(pt_eq(mesh.get_point(-1, 0), Qe_Pt()));
    mesh.add_point(p, 6);
    mesh.add_point(p, -1);
    EXPECT_EQ(mesh.count(), 6);
    // Sizes that do not fit make no vertices.
    EXPECT_EQ(MB_Polygon_Mesh(-2, 3, 0, 0).count(), 0);
    EXPECT_EQ(MB_Polygon_Mesh(1 << 20, 1 << 20, 0, 0).count(), 0);
    // A grid that needs more vertices than there are draws nothing.
    MB_Polygon_Mesh grown(2, 2, 0, 0);
    grown.meshm_density(3);
    grown.meshn_density(3);
    number_vertices(grown);
    grown.build_draw();
    EXPECT_EQ(grown.runs().ptset_count(), 0u);
}

TEST(Polyface_Mesh, FaceRuns)
{
    struct Case {
        const char* name;
        mb_ulong size;
        std::vector<int> refs;
        Runs runs;
        mb_ulong size_after;
    };
    const Case cases[] = {
        {"closed triangle", 4, {1, 2, 3, 0}, {{0, 1, 2, 0}}, 4},
        {"open triangle", 3, {1, -2, 3, 0}, {{0, 1, 2}}, 3},
        {"closed quadrilateral", 5, {1, 2, 3, 4}, {{0, 1, 2, 3, 0}}, 5},
        {"line after a hidden first reference", 2, {-1, 2, 3, 4}, {{1, 2}}, 2},
        {"line ending in a 0: back to f0", 2, {4, 0, 0, 0}, {{3, 3}}, 2},
        {"line from the last reference wraps to f0", 2, {-1, -2, -3, 4}, {{3, 0}}, 2},
        {"every reference hidden: nothing, size 0", 2, {-1, -2, -3, -4}, {}, 0},
        {"one point: nothing, size 0", 1, {1, 2, 3, 4}, {}, 0},
        {"a reference past the vertices: left out", 4, {1, 2, 5, 0}, {}, 4},
        {"size 6: left out", 6, {1, 2, 3, 4}, {}, 6},
    };
    for (const Case& c : cases) {
        MB_Polyface_Mesh mesh(4, 2);
        number_vertices(mesh);
        // A closed triangle after the face under test keeps its own points.
        mesh.set_size(c.size, 0);
        mesh.set_size(4, 1);
        for (int r = 0; r < 4; ++r) mesh.set_face_pos(c.refs[static_cast<std::size_t>(r)], r);
        const int after[] = {2, 3, 4, 0};
        for (int r = 0; r < 4; ++r) mesh.set_face_pos(after[r], 4 + r);
        Runs expected = c.runs;
        expected.push_back({1, 2, 3, 1});
        EXPECT_EQ(run_indices(mesh.runs(), mesh), expected) << c.name;
        EXPECT_EQ(mesh.size(0), c.size_after) << c.name;
        // The run a face draws, face by face, as exporters ask for it.
        int run[5], n = 0;
        ASSERT_EQ(mesh.face_run(0, run, n), !c.runs.empty()) << c.name;
        if (!c.runs.empty()) {
            EXPECT_EQ(std::vector<int>(run, run + n), c.runs.front()) << c.name;
        }
    }
}

TEST(Polyface_Mesh, RangesAndRebuild)
{
    MB_Polyface_Mesh mesh(3, 1);
    EXPECT_EQ(mesh.meshm(), 3u);
    EXPECT_EQ(mesh.meshn(), 1u);
    EXPECT_EQ(mesh.face_pos(0, 3), 0);
    EXPECT_EQ(mesh.size(0), 0u);
    Qe_Pt p(1, 1, 0);
    mesh.add_point(p, 3);
    mesh.add_point(p, -1);
    mesh.set_face_pos(1, 4);
    mesh.set_face_pos(1, -1);
    mesh.set_size(3, 1);
    EXPECT_EQ(mesh.face_pos(1, 0), 0);
    EXPECT_EQ(mesh.size(1), 0u);
    mesh.set_size(3, 0);
    mesh.set_face_pos(1, 0);
    mesh.set_face_pos(2, 1);
    mesh.set_face_pos(3, 2);
    EXPECT_EQ(mesh.runs().ptset_count(), 0u);
    mesh.set_face_pos(0, 3);
    EXPECT_EQ(mesh.runs().ptset_count(), 1u);
    EXPECT_EQ(MB_Polyface_Mesh(-1, -1).meshn(), 0u);
}

TEST(Mesh_Draw, OnePixelWireFrames)
{
    // A polygon mesh in the background colour is drawn in its complement; a polyface mesh
    // is not.
    MB_Polygon_Mesh grid(2, 2, 0, 0);
    grid.points()[0] = Qe_Pt(2, 2, 0);
    grid.points()[1] = Qe_Pt(12, 2, 0);
    grid.points()[2] = Qe_Pt(2, 12, 0);
    grid.points()[3] = Qe_Pt(12, 12, 0);
    grid.general().color(RGB(255, 255, 255));
    grid.build_draw();
    Raster raster(16, 16);
    raster.q.black_color(RGB(255, 255, 255));
    Qe_Tran identity;
    grid.draw(nullptr, raster.q, identity);
    EXPECT_EQ(raster.pixel(7, 2), RGB(0, 0, 0));
    EXPECT_EQ(raster.pixel(2, 7), RGB(0, 0, 0));
    EXPECT_EQ(raster.pixel(7, 7), RGB(255, 255, 255));

    MB_Polyface_Mesh face(3, 1);
    face.points()[0] = Qe_Pt(2, 2, 0);
    face.points()[1] = Qe_Pt(12, 2, 0);
    face.points()[2] = Qe_Pt(12, 12, 0);
    face.general().color(RGB(255, 0, 0));
    face.set_size(4, 0);
    for (int r = 0; r < 4; ++r) face.set_face_pos(r < 3 ? r + 1 : 0, r);
    Raster r2(16, 16);
    face.draw(nullptr, r2.q, identity);
    EXPECT_EQ(r2.pixel(7, 2), RGB(255, 0, 0));
    EXPECT_EQ(r2.pixel(12, 7), RGB(255, 0, 0));
    EXPECT_EQ(r2.pixel(7, 7), RGB(255, 0, 0));
    EXPECT_EQ(r2.pixel(4, 10), RGB(255, 255, 255));
}

TEST(Mesh_Edit, TranslateAndCopy)
{
    MB_Polyface_Mesh face(3, 1);
    number_vertices(face);
    face.set_size(4, 0);
    face.set_polyline_flag(0x40);
    for (int r = 0; r < 4; ++r) face.set_face_pos(r < 3 ? r + 1 : 0, r);
    face.translate(translate_transf(Qe_Vec(10, 0, 0)), 0);
    EXPECT_TRUE(pt_eq(face.points()[2], Qe_Pt(12, 4, 0)));
    MB_Object* copy = nullptr;
    ASSERT_TRUE(face.copy_to(copy));
    std::unique_ptr<MB_Object> owned(copy);
    auto* c = dynamic_cast<MB_Polyface_Mesh*>(copy);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->face_pos(0, 2), 3);
    EXPECT_EQ(c->size(0), 4u);
    EXPECT_EQ(c->polyline_flag(), 0x40);
    EXPECT_TRUE(pt_eq(c->points()[2], Qe_Pt(12, 4, 0)));

    MB_Polygon_Mesh grid(2, 3, 1, 1);
    grid.meshn_closed(true);
    number_vertices(grid);
    MB_Polygon_Mesh small(1, 1, 0, 0);
    MB_Object* target = &small;
    ASSERT_TRUE(grid.copy_to(target));
    EXPECT_EQ(small.count(), 7);
    EXPECT_EQ(small.meshn(), 3);
    EXPECT_TRUE(small.meshn_closed());
    EXPECT_EQ(small.meshm_density(), 1);
    MB_Object* wrong = &face;
    EXPECT_FALSE(grid.copy_to(wrong));
    EXPECT_EQ(face.count(), 3);
}

}  // namespace
