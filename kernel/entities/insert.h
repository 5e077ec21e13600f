#pragma once

// The block reference: places a block definition into the drawing at an insertion point
// with a rotation angle and three scale factors. It shares its block with the drawing and
// every other reference; the block's members are drawn through the insert's transform.

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
    // The stream form comes with the other entities' records: until then an insert
    // refuses to be written (Internal_Error) and cannot be read (Invalid_Data).
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
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
