#pragma once

// The block reference: places a block definition into the drawing at an insertion point
// with a rotation angle and three scale factors. It shares its block with the drawing and
// every other reference; the block's members are drawn, picked and exploded through the
// block's own transform (the base point to the origin) followed by the insert's.
// MB_Minsert places the same block in a grid of cells.
//
// A block may reach itself (a member referring to its own block, or through other blocks):
// drawing and picking skip a block that is already being visited, and stop at a bounded
// nesting depth, so such a drawing draws what it can instead of overflowing the stack.

#include <vector>

#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/drawable.h"

class MB_Block;
class MB_Drawing;

class DRAKMERE_API MB_Insert : public MB_Drawable {
public:
    // At the origin, angle 0, scales 1, no block, identity transform.
    MB_Insert();
    // No block; the transform stays the identity until it is computed.
    MB_Insert(const Qe_Pt& point, double angle, double sx, double sy, double sz);
    // Every member; the explode list's items are shared.
    MB_Insert(const MB_Insert& other) = default;
    MB_Insert& operator=(const MB_Insert& other) = default;
    ~MB_Insert() override;

    MB_ID object_id() const override { return ID_INSERT; }
    MB_Type object_type() const override { return TYPE_REFERENCE; }
    // Record 'I' after a block-name record ('J', written only when the name differs from
    // the last one written): insertion point, angle, x and y scale. The z scale is not
    // written. An insert without a block writes nothing and succeeds.
    MB_Result serialize(MB_File_IO& file) override;
    // The point, angle and two scales; the z scale stays as it was.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Binds the block named by the last block-name record read (none when the drawing has
    // no such block), computes the transform and joins the open block or the drawing.
    MB_Result process(MB_File_IO& file) override;
    // A null target receives a new insert bound to the same block; an existing insert
    // receives block, angle, scales and point. Then the drawable part.
    bool copy_to(MB_Object*& target) override;

    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    const char* get_string(int key) override;
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_point(long key, const Qe_Pt& value) override;
    // The point is moved; angle, scales and transform stay until the transform is
    // computed again.
    void translate(const Qe_Tran& t, short mode) override;

    // The first member of the block that reports a hit wins: the pick point goes into the
    // block by the inverse of (block transform x insert transform), the tolerance grows by
    // that inverse's largest stretch, and the hit comes back by the forward transform, so
    // a pick finds what is drawn wherever the block's base point lies.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // With a block that has members and a built rectangle: the transform is computed and
    // the rectangle becomes the block's, transformed. No display node: draw draws the
    // members.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Every member through block transform x insert transform x t; on the raster path in
    // the insert's colour when the display flag is set, else in the member's own.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Copies of the members, carried through block transform x insert transform (every
    // kind mapped whole, see full_transform.h) and rebuilt, join the drawing's open block,
    // else its current layout, else its entity list. The insert itself stays.
    void explode(MB_Drawing* drawing);

    const Qe_Pt& point() const { return m_point; }
    void point(const Qe_Pt& p) { m_point = p; }
    double angle() const { return m_angle; }
    void angle(double a) { m_angle = a; }
    // The x, y and z scales.
    double* scale() { return m_scale; }
    void scale(const double* s);
    MB_Block* block() const { return m_block; }
    void block(MB_Block* b) { m_block = b; }
    // Binds to the drawing's block of that name (any case); when there is none, a new
    // empty block of that name (described "Block desc", base at the origin) joins the
    // tail of the drawing's block list.
    void block(const MB_String& name, MB_Drawing& drawing);
    Qe_Tran& trans() { return m_trans; }
    bool display_flag() const { return m_display_flag; }
    void display_flag(bool on) { m_display_flag = on; }
    // Kept for the host; no operation of the kernel fills it.
    Qe_Void_List& explode_list() { return m_explode_list; }

    // Scaling by the absolute scales (a z scale of 0 taken as 1), mirrors for negative x
    // and y scales, the rotation about z, then the move to the insertion point.
    void build_transf();

private:
    Qe_Pt m_point;
    double m_angle = 0.0;
    double m_scale[3] = {1.0, 1.0, 1.0};
    MB_Block* m_block = nullptr;
    Qe_Tran m_trans;
    bool m_display_flag = false;
    Qe_Void_List m_explode_list;
};

// A block placed in columns x rows cells, numbered row by row (cell k = row x columns +
// column). The cells are computed once, when the array is made: the grid of spacings from
// the insertion point, turned about it by the angle; each cell's transform scales by the
// absolute scales, turns by the angle and moves to the cell point. The array owns its
// cells; copies get their own. An array has no stream form: it writes and reads nothing.
class DRAKMERE_API MB_Minsert : public MB_Insert {
public:
    // More cells than this are refused: the array is made without cells.
    static constexpr unsigned long k_max_cells = 1UL << 20;

    MB_Minsert() = default;
    MB_Minsert(const Qe_Pt& point, double angle, double sx, double sy, double sz, unsigned long columns,
               double column_spacing, unsigned long rows, double row_spacing);
    MB_Minsert(const MB_Minsert& other) = default;
    MB_Minsert& operator=(const MB_Minsert& other) = default;
    ~MB_Minsert() override;

    MB_ID object_id() const override { return ID_MINSERT; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Joins no list.
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new array with its own copies of the cells; an array target
    // takes block, point, angle, scales, counts, spacings and cells. Then the drawable part.
    bool copy_to(MB_Object*& target) override;
    // No hit.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // The union of the block's rectangle through every cell.
    void build_draw() override;
    // The block once per cell, through block transform x cell transform x t.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // The point and every cell move (recorded for undo).
    void translate(const Qe_Tran& t, short mode) override;

    unsigned long columns() const { return m_columns; }
    unsigned long rows() const { return m_rows; }
    double column_spacing() const { return m_column_spacing; }
    double row_spacing() const { return m_row_spacing; }
    unsigned long cell_count() const { return static_cast<unsigned long>(m_cell_points.size()); }
    const std::vector<Qe_Pt>& cell_points() const { return m_cell_points; }
    const std::vector<Qe_Tran>& cell_transforms() const { return m_cell_trans; }
    // Every cell point and cell transform followed by t; records nothing.
    void map_cells(const Qe_Tran& t);

private:
    unsigned long m_columns = 0;
    unsigned long m_rows = 0;
    double m_column_spacing = 0.0;
    double m_row_spacing = 0.0;
    std::vector<Qe_Pt> m_cell_points;
    std::vector<Qe_Tran> m_cell_trans;
};
