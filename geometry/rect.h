#pragma once

// Qe_Rect: the axis-aligned rectangle of the system (bounding rectangles, views, pick
// windows). With g_y_dir set (y up) lt is the corner of smallest x and largest y and rb
// the corner of largest x and smallest y; the constructors from points and the operations
// that build a rectangle keep that order, while set_rect stores what it is given. The
// containment and overlap tests take the smaller and larger y when g_y_dir is off.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "platform/win_types.h"

class Qe_Tran;

class FENDRAL_API Qe_Rect {
public:
    Qe_Rect() = default;
    Qe_Rect(const Qe_Pt& a, const Qe_Pt& b);
    // Bounding rectangle of n points; both corners at the origin when there are none.
    Qe_Rect(const Qe_Pt* pts, int n);
    Qe_Rect(const Qe_Rect&) = default;
    Qe_Rect& operator=(const Qe_Rect&) = default;
    virtual ~Qe_Rect();

    const Qe_Pt& lt() const { return m_lt; }
    const Qe_Pt& rb() const { return m_rb; }
    Qe_Pt lb() const { return {m_lt.x(), m_rb.y(), 0.0}; }
    Qe_Pt rt() const { return {m_rb.x(), m_lt.y(), 0.0}; }

    void set_two_points(const Qe_Pt& a, const Qe_Pt& b);
    // False, and the rectangle unchanged, for no points.
    bool init_by_pts(int n, const Qe_Pt* pts);
    // Stores the two corners as given, without ordering.
    void set_rect(Qe_Pt lt, Qe_Pt rb);

    double width() const { return m_rb.x() - m_lt.x(); }
    double heigh() const { return m_lt.y() - m_rb.y(); }
    double max_len() const;
    double diagonal_len() const;
    Qe_Pt center() const;
    // The corners coincide within resabs.
    bool is_pt() const;

    // Overlap or touch; true for null.
    bool intersect_rect(const Qe_Rect* other) const;
    void union_rect(const Qe_Rect& other);
    // p in the rectangle grown by tol on every side (bounds inclusive).
    bool pt_in_rect(const Qe_Pt& p, double tol) const;
    // other lies strictly inside this rectangle.
    bool rect_in_rect(const Qe_Rect& other) const;

    void init_by_circle(const Qe_Pt& c, double r);
    // The bounding rectangle of the four transformed corners.
    void translate(const Qe_Tran& t);
    // The bounding rectangle of the four corners turned by angle about c.
    void rotate_rect(Qe_Pt c, double angle);
    // Both stored corners scaled about c by f[0], f[1], f[2]; not reordered.
    void scale_rect(Qe_Pt c, const double* f);
    // The bounding rectangle of p − lt and p − rb: mirrored through the origin, moved by p.
    void offset_rect(Qe_Pt p);
    // The pixel corners (left, top) and (right, bottom) taken to the world by t (screen to
    // world), stored as given.
    void build_by_RECT(const RECT& r, const Qe_Tran& t);
    // For a rectangle already in pixels: left, top from lt and right, bottom from rb,
    // truncated (clamped to the pixel range).
    void conver_to_scr_rect(RECT& r) const;

private:
    double low_y() const;
    double high_y() const;

    Qe_Pt m_lt;
    Qe_Pt m_rb;
};

// h = bottom − top, w = right − left (height first).
FENDRAL_API void api_mb_get_rect_size(int& h, int& w, const RECT& r);
// The centre by integer division: left + (right − left) / 2, top + (bottom − top) / 2.
FENDRAL_API void api_mb_get_rect_center(int& x, int& y, const RECT& r);

// Bounding corners of n points: lt gets (min x, max y), rb (max x, min y); their z is
// kept. False, and both untouched, for no points.
FENDRAL_API bool api_mb_get_rect_pos(int n, const Qe_Pt* pts, Qe_Pt& lt, Qe_Pt& rb);
