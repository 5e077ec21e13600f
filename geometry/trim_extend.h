#pragma once

// Trim and extend: a polyline (the active point set) is split at the points where other
// polylines cross it, around a pick point. cut_ptlist gets the stretch holding the pick
// point, bounded by the nearest crossings on either side; resverve_ptlist0 and
// resverve_ptlist1 the parts before and after it. A bound belongs to both lists it
// separates. Qe_Trim drops the pick point from the results; Qe_Expend keeps it as a vertex
// of the cut stretch.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "geometry/pt_list.h"
#include "geometry/void_list.h"
#include "platform/win_types.h"

class Qe_Pt_Set;
class Qe_Tran;

// What the two operations share; only the fate of the pick point differs.
class FENDRAL_API Qe_Polyline_Cut {
public:
    virtual ~Qe_Polyline_Cut();

    // Empties pt_list, keeps set (not owned) and copies its points into pt_list in order.
    void active_ptset(Qe_Pt_Set* set);
    Qe_Pt_Set* active_ptset() const { return m_active; }
    void cur_pt(const Qe_Pt& p) { m_cur_pt = p; }
    const Qe_Pt& cur_pt() const { return m_cur_pt; }

    // Node flags in pt_list: 0 a vertex of the set, 1 a crossing, 2 the pick point.
    Qe_Pt_List& pt_list() { return m_pt_list; }
    // The Qe_Pt_Set* to cut with, not owned; the active set itself may be among them.
    Qe_Void_List& ptset_list() { return m_ptset_list; }
    Qe_Pt_List& cut_ptlist() { return m_cut_ptlist; }
    Qe_Pt_List& resverve_ptlist0() { return m_resverve_ptlist0; }
    Qe_Pt_List& resverve_ptlist1() { return m_resverve_ptlist1; }

    // Computes the three result lists. False, with the results empty, when there is no
    // active set, nothing to cut with or no crossing at all. A pick point on no segment of
    // the active set makes the whole working list the cut stretch.
    bool begin_cal();
    // Forgets the active set and the cutting sets and empties every list; true.
    bool clear_data();
    // Feedback drawing is left to the caller's tool.
    void highlight_segment(HDC, Qe_Tran&) {}

protected:
    explicit Qe_Polyline_Cut(bool keep_pick) : m_keep_pick(keep_pick) {}
    Qe_Polyline_Cut(const Qe_Polyline_Cut&) = default;
    Qe_Polyline_Cut& operator=(const Qe_Polyline_Cut&) = default;

private:
    void reload_active();

    Qe_Pt_List m_pt_list;
    Qe_Pt_Set* m_active = nullptr;
    Qe_Pt m_cur_pt;
    Qe_Void_List m_ptset_list;
    Qe_Pt_List m_cut_ptlist;
    Qe_Pt_List m_resverve_ptlist0;
    Qe_Pt_List m_resverve_ptlist1;
    bool m_keep_pick;
};

class FENDRAL_API Qe_Trim : public Qe_Polyline_Cut {
public:
    Qe_Trim() : Qe_Polyline_Cut(false) {}
    ~Qe_Trim() override;
};

class FENDRAL_API Qe_Expend : public Qe_Polyline_Cut {
public:
    Qe_Expend() : Qe_Polyline_Cut(true) {}
    ~Qe_Expend() override;
};
