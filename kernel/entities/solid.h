#pragma once

// Two corner-ring entities: the solid, a filled polygon (normally four corners), and the 3D
// face, four corners drawn as the edges that its flag does not hide.

#include "kernel/entity_base/vertex_geom.h"

class Qe_Loop;

class DRAKMERE_API MB_Solid : public MB_Vertex_Geom {
public:
    MB_Solid() = default;
    // n corners at the origin.
    explicit MB_Solid(int n);
    MB_Solid(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, const Qe_Pt& p4);
    // One corner per vertex of the loop, in ring order from its head.
    explicit MB_Solid(Qe_Loop& loop);
    MB_Solid(const MB_Solid& other) = default;
    MB_Solid& operator=(const MB_Solid& other) = default;
    ~MB_Solid() override;

    MB_ID object_id() const override { return ID_SOLID; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target gets a new solid; an existing solid takes these corners (its array
    // resized to this count). Then the drawable part. False for a target of another class.
    bool copy_to(MB_Object*& target) override;

    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    void set_point(long key, const Qe_Pt& value) override;

    // A corner (kind 22), else a point inside the polygon (kind 80, the point itself).
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // The edge points and a filled node of the corners; nothing without corners.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;

    // A new loop of the corners, owned by the caller (a corner equal to the loop's first or
    // last vertex is not added again).
    Qe_Loop* create_loop() const;
    // Moves every edge by d to its left; the display follows at the next build_draw.
    void offset(double d) { offset_ring(d); }
};

class DRAKMERE_API MB_Face : public MB_Vertex_Geom {
public:
    // Bits of the face flag: each hides one edge.
    enum Edge_Flag : unsigned short {
        Hide_Edge_01 = 1,
        Hide_Edge_12 = 2,
        Hide_Edge_23 = 4,
        Hide_Edge_30 = 8,
    };

    MB_Face() = default;
    // n corners at the origin.
    explicit MB_Face(int n);
    MB_Face(const MB_Face& other) = default;
    MB_Face& operator=(const MB_Face& other) = default;
    ~MB_Face() override;

    MB_ID object_id() const override { return ID_FACE; }
    // The stream keeps the low byte of the flag.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target gets a new face; an existing face takes these corners and the flag.
    // Then the drawable part. False for a target of another class.
    bool copy_to(MB_Object*& target) override;

    // A face is not picked.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Only the rectangle, of the corners; nothing with fewer than 3.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // The edges that the flag does not hide, on the raster device in the colour set on it
    // (into the device context in its pen when one is given); three corners close back
    // through the last one, fewer draw nothing.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;

    unsigned short face_flag() const { return m_face_flag; }
    void face_flag(unsigned short f) { m_face_flag = f; }
    // Moves every edge by d to its left.
    void offset(double d) { offset_ring(d); }

private:
    unsigned short m_face_flag = 0;
};
