#pragma once

// The base of the entities whose geometry is a list of vertices held in a point set of their
// own: solids and 3D faces (a corner ring) and both meshes. The vertices are written as one
// point set, the rectangle is theirs, and a transform maps each of them.

#include "kernel/database/drawable.h"

class DRAKMERE_API MB_Vertex_Geom : public MB_Geom, public Qe_Pt_Set {
public:
    MB_Vertex_Geom() = default;
    // n vertices at the origin.
    explicit MB_Vertex_Geom(int n) : Qe_Pt_Set(n) {}
    // Copies own their vertex arrays.
    MB_Vertex_Geom(const MB_Vertex_Geom& other) = default;
    MB_Vertex_Geom& operator=(const MB_Vertex_Geom& other) = default;
    ~MB_Vertex_Geom() override;

    using MB_Geom::draw;
    using Qe_Pt_Set::draw;
    using Qe_Pt_Set::translate;
    // Records the change for undo, then maps every vertex; the display follows at the
    // next build_draw.
    void translate(const Qe_Tran& t, short mode) override;

    Qe_Pt_Set& vertices() { return *this; }
    const Qe_Pt_Set& vertices() const { return *this; }

protected:
    // The rectangle of the vertices; false, rectangle unchanged, without vertices.
    bool rect_from_vertices();
    // Moves every edge of the vertex ring by d to its left (d > 0 shrinks a
    // counter-clockwise ring) and puts each vertex where its two moved edges meet, or at the
    // end of the edge before it when they are parallel. Repeated vertices (a triangle kept
    // as four corners) make no edge of their own and move with the vertex they repeat.
    void offset_ring(double d);
};
