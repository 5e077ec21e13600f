#pragma once

// The two mesh entities, drawn as wire frames: the polygon mesh, an M x N grid of vertices
// (optionally followed by a density grid that is drawn instead), and the polyface mesh, a
// vertex list with faces of up to four vertex references. Neither is picked or shows grips.

#include <vector>

#include "geometry/pt_set.h"
#include "kernel/entity_base/vertex_geom.h"

class DRAKMERE_API MB_Polygon_Mesh : public MB_Vertex_Geom {
public:
    MB_Polygon_Mesh() = default;
    // m x n + dm x dn vertices at the origin (none when a size is negative or the count
    // does not fit an int); neither direction closed.
    MB_Polygon_Mesh(int m, int n, int dm, int dn);
    MB_Polygon_Mesh(const MB_Polygon_Mesh& other) = default;
    MB_Polygon_Mesh& operator=(const MB_Polygon_Mesh& other) = default;
    ~MB_Polygon_Mesh() override;

    MB_ID object_id() const override { return ID_POLYGON_MESH; }
    MB_Result serialize(MB_File_IO& file) override;
    // A record whose sizes ask for more vertices than it carries is invalid data.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target gets a new mesh; an existing polygon mesh takes every field. Then the
    // drawable part. False for a target of another class.
    bool copy_to(MB_Object*& target) override;

    using MB_Geom::get_point;
    // Vertex (i, j) of the main grid; the origin outside it.
    Qe_Pt get_point(int i, int j) const;
    // Stores p as vertex index; storing the last vertex rebuilds the runs. Other indices
    // change nothing.
    void add_point(Qe_Pt& p, int index);

    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // One run per row, then one per column, of the density grid when both densities are at
    // least 1, else of the main grid; a grid that needs more vertices than there are draws
    // nothing.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // The runs with a one-pixel pen in the entity's colour (its complement on the device's
    // background colour), on the raster device, or into the device context when one is given.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    virtual void build_draw_node() {}

    int meshm() const { return m_m; }
    int meshn() const { return m_n; }
    bool meshm_closed() const { return m_m_closed; }
    void meshm_closed(bool c) { m_m_closed = c; }
    bool meshn_closed() const { return m_n_closed; }
    void meshn_closed(bool c) { m_n_closed = c; }
    int meshm_density() const { return m_m_density; }
    void meshm_density(int d) { m_m_density = d; }
    int meshn_density() const { return m_n_density; }
    void meshn_density(int d) { m_n_density = d; }
    const Qe_Pt_Sets& runs() const { return m_runs; }

private:
    int m_m = 0;
    int m_n = 0;
    bool m_m_closed = false;
    bool m_n_closed = false;
    int m_m_density = 0;
    int m_n_density = 0;
    unsigned short m_word = 0;  // kept for the host
    Qe_Pt_Sets m_runs;
};

class DRAKMERE_API MB_Polyface_Mesh : public MB_Vertex_Geom {
public:
    // References per face.
    static constexpr int k_refs = 4;
    // The largest face size: a closed quadrilateral.
    static constexpr unsigned long k_max_size = 5;

    MB_Polyface_Mesh() = default;
    // m vertices at the origin and n faces whose references and sizes are 0 (negative
    // sizes count as 0).
    MB_Polyface_Mesh(int m, int n);
    MB_Polyface_Mesh(const MB_Polyface_Mesh& other) = default;
    MB_Polyface_Mesh& operator=(const MB_Polyface_Mesh& other) = default;
    ~MB_Polyface_Mesh() override;

    MB_ID object_id() const override { return ID_POLYFACE_MESH; }
    MB_Result serialize(MB_File_IO& file) override;
    // Face sizes above 5 and references that a face uses outside the vertex list make the
    // record invalid data.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    bool copy_to(MB_Object*& target) override;

    // Stores p as vertex index; other indices change nothing.
    void add_point(Qe_Pt& p, int index);
    // Stores reference index (face index / 4); storing the last one rebuilds the runs.
    void set_face_pos(int value, int index);
    void set_size(unsigned long value, int index);
    void set_polyline_flag(unsigned short f) { m_polyline_flag = f; }

    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // One run per face: size 2 a line, 3 an open and 4 a closed triangle, 5 a closed
    // quadrilateral. A face that names a vertex outside the list is left out.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // The runs with a one-pixel pen in the entity's colour, on the raster device, or into the
    // device context when one is given.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    virtual void build_draw_node() {}

    unsigned long meshm() const { return m_meshm; }
    unsigned long meshn() const { return m_meshn; }
    unsigned short polyline_flag() const { return m_polyline_flag; }
    // Reference r of face f and the size of face f; 0 outside the faces.
    long face_pos(unsigned long f, int r) const;
    unsigned long size(unsigned long f) const;
    // The vertices (0-based) of the run that face f draws, in order, into out, and their
    // number n (2 to 5, a closed run ending where it starts); false when the face draws
    // nothing.
    bool face_run(unsigned long f, int out[5], int& n) const;
    const Qe_Pt_Sets& runs() const { return m_runs; }

private:
    unsigned long m_meshm = 0;
    unsigned long m_meshn = 0;
    std::vector<mb_long> m_refs;
    std::vector<mb_ulong> m_sizes;
    unsigned short m_polyline_flag = 0;
    unsigned short m_word = 0;
    Qe_Pt_Sets m_runs;
};
