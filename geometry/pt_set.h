#pragma once

// Qe_Pt_Set: a counted array of points (the tessellated form of a curve, the vertices of
// a solid or face, the points of a display node). Qe_Pt_Sets: one point array cut into
// runs, with a point count per run and a filled flag (the output of line types, fonts and
// hatches). Both own their arrays; copies are deep.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "platform/fixed_width.h"
#include "platform/win_types.h"

class Qe_Pt_List;
class Qe_Tran;
class Qe_Void_List;
class Qe_Qdc;

class FENDRAL_API Qe_Pt_Set {
public:
    Qe_Pt_Set() = default;
    // n points at the origin; none for n ≤ 0.
    explicit Qe_Pt_Set(int n);
    // Copies n points (origin points when pts is null).
    Qe_Pt_Set(int n, const Qe_Pt* pts);
    Qe_Pt_Set(const Qe_Pt_Set& other);
    Qe_Pt_Set& operator=(const Qe_Pt_Set& other);
    virtual ~Qe_Pt_Set();

    void free();

    int count() const { return m_count; }
    Qe_Pt* points() const { return m_points; }
    // Copy of point i; i must be an index of the set.
    Qe_Pt operator[](int i) const { return m_points[i]; }
    // First and last point; the origin for an empty set.
    Qe_Pt start_pos() const;
    Qe_Pt end_pos() const;

    void init(int n);
    void init(int n, const Qe_Pt* pts);
    // The list's points in order; an empty list leaves the set unchanged.
    void init(const Qe_Pt_List& list);
    // The same for a list whose items are Qe_Pt* (null items are skipped).
    void init(const Qe_Void_List& list);

    // Appends one point, reallocating the array; false when it cannot grow.
    bool add_point(const Qe_Pt& p);
    // Index of the first point the same within resabs, or −1.
    int find_point(const Qe_Pt& p) const;
    // Index of the first segment near pick, with the snapped point in out, or −1.
    int snap_lines(const Qe_Pt& pick, double tol, Qe_Pt& out) const;
    void translate(const Qe_Tran& t);
    // One Polyline of the points transformed by t and truncated to pixels.
    void draw(HDC hdc, const Qe_Tran& t) const;
    // The same into the raster device; two points are one Line, left out when both fall on
    // one pixel.
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) const;

private:
    bool assign(int n, const Qe_Pt* pts);

    int m_count = 0;
    Qe_Pt* m_points = nullptr;
};

class FENDRAL_API Qe_Pt_Sets {
public:
    Qe_Pt_Sets() = default;
    // n runs with the given counts; points copied from pts, or at the origin when pts is
    // null. Not filled.
    Qe_Pt_Sets(mb_ulong n, const mb_ulong* counts, const Qe_Pt* pts);
    // Copies are never filled, whatever the source.
    Qe_Pt_Sets(const Qe_Pt_Sets& other);
    Qe_Pt_Sets& operator=(const Qe_Pt_Sets& other);
    virtual ~Qe_Pt_Sets();

    void free();

    // As the constructor; false, and no runs, when counts is missing, the total overflows
    // or memory is short.
    bool init(mb_ulong n, const mb_ulong* counts, const Qe_Pt* pts);
    // One run of total points.
    bool init(mb_ulong total, const Qe_Pt* pts);
    // One run per listed Qe_Pt_List*, in order; false for an empty list. filled unchanged.
    bool init_by_ptlists(const Qe_Void_List& lists);

    Qe_Pt* points() const { return m_points; }
    mb_ulong* vals() const { return m_vals; }
    mb_ulong ptset_count() const { return m_runs; }
    // Sum of the run counts.
    mb_ulong pts_count() const;
    bool is_filled() const { return m_filled; }
    void is_filled(bool f) { m_filled = f; }

    // Appends to out one new Qe_Pt_List per run holding its points transformed by t; the
    // caller owns the new lists.
    void set_to_list(Qe_Void_List& out, const Qe_Tran& t) const;
    // Point i of a run; the origin when run or i is out of range.
    Qe_Pt get_point(int run, int i) const;
    // First run point or segment point within tol of pick (strictly less).
    bool snap(const Qe_Pt& pick, Qe_Pt& out, double tol) const;
    // The same on the points transformed by t; pick and out are in the transformed space.
    bool snap(const Qe_Pt& pick, Qe_Pt& out, const Qe_Tran& t, double tol) const;
    // Each run through t: one point is a pixel in the selected pen's colour; a filled run whose
    // ends meet is filled with a solid brush of colour and outlined; others are a Polyline.
    void draw(HDC hdc, const Qe_Tran& t, long colour) const;

private:
    bool snap_impl(const Qe_Pt& pick, Qe_Pt& out, const Qe_Tran* t, double tol) const;

    Qe_Pt* m_points = nullptr;
    mb_ulong* m_vals = nullptr;
    mb_ulong m_runs = 0;
    bool m_filled = false;
};
