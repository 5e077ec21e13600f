// Stream records and undo of polylines, solids, faces and meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "kernel/entities/entity_fixture.h"
#include "geometry/transform.h"
#include "kernel/database/layer.h"
#include "kernel/database/object_list.h"
#include "kernel/entities/mesh.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"

using namespace entity_test;

namespace {

Bytes le_ushort(unsigned v)
{
    return Bytes{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

// Positions of a point set, each relative to the one before (the first to the origin).
Bytes point_set(const std::vector<Qe_Pt>& pts)
{
    Bytes out = le_long(static_cast<mb_long>(pts.size()));
    Qe_Pt running;
    for (const Qe_Pt& p : pts) {
        out += position(p, running);
        running = p;
    }
    return out;
}

template <class T>
void set_points(T& e, const std::vector<Qe_Pt>& pts)
{
    for (std::size_t i = 0; i < pts.size() && static_cast<int>(i) < e.count(); ++i) e.points()[i] = pts[i];
}

const std::vector<Qe_Pt> k_quad{{1, 2, 0}, {5, 2, 1}, {5, 6, 0}, {1, 6, -2}};

MB_Polyline* sample_polyline()
{
    auto* p = plain(new MB_Polyline);
    MB_Pline_Pos& a = p->get_new_pline_pos();
    a.point = Qe_Pt(1, 2, 5);
    a.bulge = 0.5;
    a.start_width = 1.0;
    a.end_width = 2.0;
    p->get_new_pline_pos().point = Qe_Pt(4, -1, 0);
    p->closed(true);
    p->global_width(0.25);
    return p;
}

const Bytes k_polyline_record = "P" + k_no_xdata + hex("01") + le_ushort(2) + le_double(0.25) + le_double(0.5) +
                                le_double(1.0) + le_double(2.0) + position({1, 2, 0}) + le_double(0) +
                                le_double(0) + le_double(0) + position({4, -1, 0}, {1, 2, 0});

MB_Solid* sample_solid()
{
    auto* s = plain(new MB_Solid(4));
    set_points(*s, k_quad);
    return s;
}

const Bytes k_solid_record = "D" + k_no_xdata + point_set(k_quad);

MB_Face* sample_face()
{
    auto* f = plain(new MB_Face(4));
    set_points(*f, k_quad);
    f->face_flag(0x0105);
    return f;
}

const Bytes k_face_record = "z" + k_no_xdata + hex("05") + point_set(k_quad);

const std::vector<Qe_Pt> k_grid{{0, 0, 0}, {1, 0, 0}, {2, 0, 1}, {0, 1, 0}, {1, 1, 2}, {2, 1, 0}, {9, 9, 9}};

MB_Polygon_Mesh* sample_polygon_mesh()
{
    auto* m = plain(new MB_Polygon_Mesh(2, 3, 1, 1));
    set_points(*m, k_grid);
    m->meshm_closed(true);
    return m;
}

Bytes polygon_mesh_record(mb_long m, mb_long n, mb_long dm, mb_long dn, const Bytes& flags,
                          const std::vector<Qe_Pt>& pts = k_grid)
{
    return "U" + k_no_xdata + le_long(m) + le_long(n) + le_long(dm) + le_long(dn) + flags + point_set(pts);
}

const Bytes k_polygon_mesh_record = polygon_mesh_record(2, 3, 1, 1, hex("01"));

MB_Polyface_Mesh* sample_polyface_mesh()
{
    auto* m = plain(new MB_Polyface_Mesh(4, 2));
    set_points(*m, k_quad);
    m->set_polyline_flag(0x40);
    const int refs[] = {1, 2, 3, 0, -1, 2, 3, 4};
    m->set_size(4, 0);
    m->set_size(2, 1);
    for (int r = 0; r < 8; ++r) m->set_face_pos(refs[r], r);
    return m;
}

Bytes polyface_record(mb_long meshn, const std::vector<mb_long>& refs, const std::vector<mb_long>& sizes,
                      const std::vector<Qe_Pt>& pts = k_quad, mb_long flag = 0x40)
{
    Bytes out = "Z" + k_no_xdata + le_long(4) + le_long(meshn) + le_long(flag);
    for (mb_long r : refs) out += le_long(r);
    for (mb_long s : sizes) out += le_long(s);
    return out + point_set(pts);
}

const Bytes k_polyface_record = polyface_record(2, {1, 2, 3, 0, -1, 2, 3, 4}, {4, 2});

struct Kind {
    const char* name;
    std::function<MB_Drawable*()> make;
    Bytes record;
};

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> all{
        {"polyline", sample_polyline, k_polyline_record},
        {"solid", sample_solid, k_solid_record},
        {"face", sample_face, k_face_record},
        {"polygon mesh", sample_polygon_mesh, k_polygon_mesh_record},
        {"polyface mesh", sample_polyface_mesh, k_polyface_record},
    };
    return all;
}

TEST(Vertex_Records, GoldenBytesAndReadBack)
{
    for (const Kind& k : kinds()) {
        std::unique_ptr<MB_Drawable> e(k.make());
        MB_Result r = MB_Result::Internal_Error;
        EXPECT_EQ(to_hex(record_bytes(*e, &r)), to_hex(k.record)) << k.name;
        EXPECT_EQ(r, 0) << k.name;
        // Read back and written again: the same bytes.
        Record_Reader rd;
        ASSERT_EQ(rd.read(k.record), 0) << k.name;
        ASSERT_EQ(rd.count(), 1) << k.name;
        MB_Drawable* back = rd.first<MB_Drawable>();
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->object_id(), e->object_id()) << k.name;
        EXPECT_EQ(to_hex(record_bytes(*back)), to_hex(k.record)) << k.name;
    }
}

TEST(Vertex_Records, FieldsReadBack)
{
    Record_Reader rp;
    ASSERT_EQ(rp.read(k_polyline_record), 0);
    auto* p = rp.first<MB_Polyline>();
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count(), 2);
    EXPECT_TRUE(p->closed());
    EXPECT_EQ(p->global_width(), 0.25);
    // z is not stored: the vertex at z 5 comes back at 0.
    EXPECT_TRUE(pt_eq(p->pline_pos()[0].point, Qe_Pt(1, 2, 0)));
    EXPECT_EQ(p->pline_pos()[0].bulge, 0.5);
    EXPECT_EQ(p->pline_pos()[0].end_width, 2.0);
    EXPECT_TRUE(pt_eq(p->pline_pos()[1].point, Qe_Pt(4, -1, 0)));
    // Any non-zero closed byte is closed; opcode 0x10 reads the same record.
    Bytes other = k_polyline_record;
    other[0] = 0x10;
    other[1 + k_no_xdata.size()] = 7;
    Record_Reader r10;
    ASSERT_EQ(r10.read(other), 0);
    ASSERT_NE(r10.first<MB_Polyline>(), nullptr);
    EXPECT_TRUE(r10.first<MB_Polyline>()->closed());

    Record_Reader rf;
    ASSERT_EQ(rf.read(k_face_record), 0);
    auto* f = rf.first<MB_Face>();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->face_flag(), 0x05);
    EXPECT_TRUE(pt_eq(f->points()[3], k_quad[3]));

    Record_Reader rm;
    ASSERT_EQ(rm.read(k_polygon_mesh_record), 0);
    auto* m = rm.first<MB_Polygon_Mesh>();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->meshm(), 2);
    EXPECT_EQ(m->meshn(), 3);
    EXPECT_TRUE(m->meshm_closed());
    EXPECT_FALSE(m->meshn_closed());
    EXPECT_EQ(m->meshn_density(), 1);
    EXPECT_EQ(m->count(), 7);
    // A flag byte above 3 leaves both flags as they were.
    Record_Reader rm4;
    ASSERT_EQ(rm4.read(polygon_mesh_record(2, 3, 1, 1, hex("04"))), 0);
    EXPECT_FALSE(rm4.first<MB_Polygon_Mesh>()->meshm_closed());

    Record_Reader rz;
    ASSERT_EQ(rz.read(k_polyface_record), 0);
    auto* z = rz.first<MB_Polyface_Mesh>();
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->meshm(), 4u);
    EXPECT_EQ(z->meshn(), 2u);
    EXPECT_EQ(z->polyline_flag(), 0x40);
    EXPECT_EQ(z->face_pos(1, 0), -1);
    EXPECT_EQ(z->size(1), 2u);
    // Only the low 16 bits of the flag are kept.
    Record_Reader rw;
    ASSERT_EQ(rw.read(polyface_record(2, {1, 2, 3, 0, -1, 2, 3, 4}, {4, 2}, k_quad, 0x12345)), 0);
    EXPECT_EQ(rw.first<MB_Polyface_Mesh>()->polyline_flag(), 0x2345);
}

TEST(Vertex_Records, TruncatedRecordsAddNothing)
{
    for (const Kind& k : kinds()) {
        for (std::size_t n = 0; n < k.record.size(); ++n) {
            Record_Reader rd;
            EXPECT_NE(rd.read_raw(k_header + k.record.substr(0, n)), 0) << k.name << " cut at " << n;
            EXPECT_EQ(rd.count(), 0) << k.name << " cut at " << n;
        }
    }
}

// Seeded byte mutations of every record: whatever a read makes of them (a shortened count
// leaves bytes that fail as the next record), what joined the drawing builds its display.
TEST(Vertex_Records, MutatedRecordsReadSafely)
{
    std::mt19937 rng(20261210);
    for (const Kind& k : kinds()) {
        for (int round = 0; round < 60; ++round) {
            Bytes bytes = k.record;
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < flips; ++i) {
                const std::size_t at = 1 + rng() % (bytes.size() - 1);
                bytes[at] = static_cast<char>(rng() % 3 == 0 ? 0xFF : rng() & 0xFF);
            }
            Record_Reader rd;
            (void)rd.read(bytes);
            EXPECT_LE(rd.count(), 1) << k.name << " round " << round;
            for (MB_Object* o = rd.drawing().object_list().get_head(); o; o = o->next())
                if (auto* d = dynamic_cast<MB_Drawable*>(o)) d->build_draw();
        }
    }
}

TEST(Vertex_Records, HostileMeshesAreInvalid)
{
    const std::vector<mb_long> good_refs{1, 2, 3, 0, -1, 2, 3, 4};
    struct Case {
        const char* name;
        Bytes record;
    };
    const Case cases[] = {
        {"reference 0 in a triangle", polyface_record(2, {1, 0, 3, 0, -1, 2, 3, 4}, {4, 2})},
        {"reference count + 1", polyface_record(2, {1, 2, 5, 0, -1, 2, 3, 4}, {4, 2})},
        {"reference -(count + 1)", polyface_record(2, {1, -5, 3, 0, -1, 2, 3, 4}, {4, 2})},
        {"line from a 0", polyface_record(2, {1, 2, 3, 0, 0, 2, 3, 4}, {4, 2})},
        {"quadrilateral naming past the end", polyface_record(2, {1, 2, 3, 9, -1, 2, 3, 4}, {5, 2})},
        {"size 6", polyface_record(2, good_refs, {6, 2})},
        {"negative face count", polyface_record(-1, {}, {})},
        {"huge face count", polyface_record(0x7FFFFFFF, {}, {})},
        {"M x N beyond the vertices", polygon_mesh_record(3, 3, 0, 0, hex("00"))},
        {"density grid beyond the vertices", polygon_mesh_record(2, 3, 2, 2, hex("00"))},
        {"negative size", polygon_mesh_record(-2, 3, 0, 0, hex("00"))},
        {"M x N overflowing", polygon_mesh_record(0x10000, 0x10000, 0, 0, hex("00"))},
        {"polyline count past the data", "P" + k_no_xdata + hex("00") + le_ushort(0xFFFF) + le_double(0)},
    };
    for (const Case& c : cases) {
        Record_Reader rd;
        EXPECT_EQ(rd.read(c.record), MB_Result::Invalid_Data) << c.name;
        EXPECT_EQ(rd.count(), 0) << c.name;
    }
    // A size-2 face whose references are all hidden is sound: it draws nothing.
    Record_Reader ok;
    EXPECT_EQ(ok.read(polyface_record(2, {1, 2, 3, 0, -1, -2, -3, -4}, {4, 2})), 0);
    EXPECT_EQ(ok.count(), 1);
}

// Saves a drawing (binary data, and so compressed, or plain) and returns the file's bytes.
Bytes saved_bytes(MB_Drawing& d, bool compressed, bool* ok = nullptr)
{
    stream_test::Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    io.heuristics().set_allow_binary_data(compressed);
    const bool saved = io.save_jxb(f.path());
    if (ok) *ok = saved;
    return f.contents();
}

bool load_bytes(MB_Drawing& d, const Bytes& bytes)
{
    stream_test::Temp_File f;
    f.contents(bytes);
    MB_File_IO io;
    io.drawing(&d);
    return io.load_jxb(f.path());
}

TEST(Vertex_Records, SaveLoadSaveIsByteIdentical)
{
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        MB_Drawing d;
        auto* layer = new MB_Layer(MB_String("Walls"));
        layer->color(0x00FF00);
        d.layer_list().add_tail(layer);
        long colour = 0x102030;
        for (const Kind& k : kinds()) {
            MB_Drawable* e = k.make();
            e->general().color(colour += 0x010101);
            e->general().layer(layer);
            d.add_object(e);
        }
        bool ok = false;
        const Bytes first = saved_bytes(d, compressed, &ok);
        ASSERT_TRUE(ok);
        MB_Operation op;  // a fresh operation: its defaults must not reach the read entities
        MB_Drawing loaded;
        ASSERT_TRUE(load_bytes(loaded, first));
        MB_Object* b = loaded.object_list().get_head();
        for (MB_Object* a = d.object_list().get_head(); a; a = a->next(), b = b ? b->next() : nullptr) {
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->object_id(), a->object_id());
            EXPECT_EQ(static_cast<MB_Drawable*>(b)->general().color(), static_cast<MB_Drawable*>(a)->general().color());
            EXPECT_EQ(static_cast<MB_Drawable*>(b)->general().layer(), loaded.find_layer("Walls"));
        }
        EXPECT_EQ(b, nullptr);
        EXPECT_EQ(to_hex(saved_bytes(loaded, compressed)), to_hex(first));
    }
}

TEST(Vertex_Undo, ChangesInsideOneCommandAreUndone)
{
    const Qe_Tran move = rotate_transf(0.5, Qe_Vec(0, 0, 1)) * scale_transf(1.5) * translate_transf(Qe_Vec(3, -2, 0));
    struct Case {
        const char* name;
        std::function<MB_Drawable*()> make;
        std::function<void(MB_Object&)> change;
    };
    const Case cases[] = {
        {"polyline: a recorded set_point, then a new vertex", sample_polyline,
         [](MB_Object& o) {
             auto& p = dynamic_cast<MB_Polyline&>(o);
             p.set_point(0, Qe_Pt(7, 7, 0));
             p.get_new_pline_pos().point = Qe_Pt(8, 9, 0);
         }},
        {"polyline moved", sample_polyline, [&](MB_Object& o) { dynamic_cast<MB_Drawable&>(o).translate(move, 0); }},
        {"solid given more corners", sample_solid,
         [&](MB_Object& o) {
             auto& s = dynamic_cast<MB_Solid&>(o);
             s.translate(move, 0);
             s.vertices().add_point(Qe_Pt(0, 3, 0));
         }},
        {"solid corner set", sample_solid, [](MB_Object& o) { o.set_point(-2, Qe_Pt(4, 4, 4)); }},
        {"face moved", sample_face, [&](MB_Object& o) { dynamic_cast<MB_Drawable&>(o).translate(move, 0); }},
        {"polygon mesh given more vertices", sample_polygon_mesh,
         [&](MB_Object& o) {
             auto& m = dynamic_cast<MB_Polygon_Mesh&>(o);
             m.translate(move, 0);
             m.vertices().init(12);
         }},
        {"polyface mesh moved and given a vertex", sample_polyface_mesh,
         [&](MB_Object& o) {
             auto& m = dynamic_cast<MB_Polyface_Mesh&>(o);
             m.translate(move, 0);
             m.vertices().add_point(Qe_Pt(1, 1, 1));
         }},
    };
    for (const Case& c : cases) {
        Op_Fixture f;
        expect_undo_redo_state(f, c.make(), c.change, c.name);
    }
}

}  // namespace
