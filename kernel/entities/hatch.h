#pragma once

// MB_Hatch: a region bounded by closed loops (Qe_Loop, owned), filled by the kind its
// pattern name chooses (any letter case):
// - "SOLID" or "_SOLID": one filled path of all loops under the even-odd rule, so nested
//   loops leave holes;
// - "TAVIMOR_OFFSET": concentric offset rings inside each loop;
// - any other name: the pattern lines of its MB_Hatch_Type, clipped to the region.
// build_draw computes the fill geometry and draw paints it; a hatch keeps no display node.
//
// Record '@': loop count, vertex counts, vertices (positions), pattern name, angle, scale,
// pattern-line count and lines. type, the solid-fill flag, scale, angle, base_pos and the
// ring count are not stored; a reload resets them.

#include "geometry/point.h"
#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/entities/hatch_lines.h"
#include "platform/win_types.h"

class Qe_Hacthtype;
class Qe_Loop;

class DRAKMERE_API MB_Hatch : public MB_Geom {
public:
    // Bounds of a record: more is corrupt data.
    static constexpr mb_long k_max_loops = 1 << 20;
    static constexpr mb_long k_max_pattern_lines = 1 << 16;
    // Rings of the offset fill per loop (a ring count of -1 asks for this many).
    static constexpr int k_max_rings = 100000;

    MB_Hatch();
    // The same default hatch; the argument is not used.
    explicit MB_Hatch(int);
    // Deep: loops, pattern type and generated point sets are the copy's own.
    MB_Hatch(const MB_Hatch& other);
    MB_Hatch& operator=(const MB_Hatch& other);
    ~MB_Hatch() override;

    MB_ID object_id() const override { return ID_HATCH; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new hatch; a hatch target takes copies of the loops, the
    // whole pattern type, type, the solid-fill flag, scale, angle and base_pos (recorded
    // first); the generated point sets wait for its next build_draw.
    bool copy_to(MB_Object*& target) override;

    // −3, −4: centre of the bounding rectangle.
    Qe_Pt get_point(int key) override;
    // −123 pattern scale, −102 pattern angle, −101 area and −100 length of the first loop.
    double get_real(int key) override;
    // −214 the loop count (when there is a loop).
    long get_int(int key) override;
    // −308 the pattern name.
    const char* get_string(int key) override;
    // Records a modification for every key; −123 and −102 set the pattern scale and angle.
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_point(long key, const Qe_Pt& value) override;
    // −308 takes the registry's pattern of that name (any case) when there is one.
    void set_string(long key, const char* value) override;

    // Inside the filled region (solid fill without generated sets), else near a generated
    // line or ring: kind 80 and a non-zero result.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    // Leaves out the pattern lines; an offset fill keeps its rings, which are all there is
    // of it outside the kernel.
    void build_extent() override;
    // A grip at the centre of the bounding rectangle.
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Every loop is transformed (recorded first); the fill follows at the next build_draw.
    void translate(const Qe_Tran& t, short mode) override;

    // The boundary loops (Qe_Loop*), owned by the hatch.
    Qe_Void_List& loop_list() { return m_loops; }
    // Appends a Qe_Loop*; the hatch takes it. Null is ignored.
    void loop_add(void* loop);
    int type() const { return m_type; }
    void type(int t) { m_type = t; }
    void set_type(int t) { m_type = t; }
    bool solidfill() const { return m_solidfill; }
    void set_solidfill(bool on) { m_solidfill = on; }
    double scale() const { return m_scale; }
    void scale(double s) { m_scale = s; }
    double angle() const { return m_angle; }
    void angle(double a) { m_angle = a; }
    const Qe_Pt& base_pos() const { return m_base_pos; }
    void base_pos(const Qe_Pt& p) { m_base_pos = p; }
    MB_Hatch_Type* get_hatchtype() { return &m_pattern; }
    // The generated point sets (Qe_Pt_Sets*), owned.
    Qe_Void_List& ptsets_list() { return m_ptsets; }

    // Takes over the pattern's name, description and lines; nothing for null.
    void set_type(Qe_Hacthtype* pattern);
    // Deletes every loop with fewer than 2 vertices.
    void deal_loop_list();
    // The node of the first loop that holds every loop (itself included); null for none.
    Qe_Void_Node* get_max_loop();
    // The solid fill: one path of the drawn loops, filled even-odd with the hatch's colour.
    void draw_solid(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t);
    void preview_hatch(HDC, const RECT&) {}

    // The loop that the last build of a solid fill with a non-zero type left out (the one
    // enclosing the others); it stays in the loop list. Null when none.
    const Qe_Loop* excluded_loop() const { return m_excluded; }
    bool is_solid() const;
    bool is_offset() const;

private:
    // build_draw, with or without the pattern lines of a pattern fill.
    void lay_out(bool pattern_lines);
    void copy_from(const MB_Hatch& other);
    void clear_loops();
    void clear_ptsets();
    void build_rings();
    // The loops that are drawn, picked, bounded and written.
    template <class F>
    void for_drawn_loops(F&& f) const;

    Qe_Void_List m_loops;
    int m_type = 0;
    bool m_solidfill = false;
    double m_scale = 1.0;
    double m_angle = 0.0;
    Qe_Pt m_base_pos;
    MB_Hatch_Type m_pattern;
    Qe_Void_List m_ptsets;
    const Qe_Loop* m_excluded = nullptr;
};
