#include "geometry/trim_extend.h"

#include "geometry/plane_geometry.h"
#include "geometry/pt_set.h"

Qe_Polyline_Cut::~Qe_Polyline_Cut() { clear_data(); }
Qe_Trim::~Qe_Trim() = default;
Qe_Expend::~Qe_Expend() = default;

void Qe_Polyline_Cut::active_ptset(Qe_Pt_Set* set)
{
    m_active = set;
    reload_active();
}

void Qe_Polyline_Cut::reload_active()
{
    m_pt_list.kill_all();
    if (!m_active) return;
    for (int i = 0; i < m_active->count(); ++i) m_pt_list.add_tail(m_active->points()[i]);
}

bool Qe_Polyline_Cut::begin_cal()
{
    m_cut_ptlist.kill_all();
    m_resverve_ptlist0.kill_all();
    m_resverve_ptlist1.kill_all();
    if (!m_active || m_ptset_list.is_empty()) return false;

    Qe_Pt_List crossings;
    for (Qe_Void_Node* n = m_ptset_list.head(); n; n = n->next()) {
        auto* other = static_cast<const Qe_Pt_Set*>(n->entity());
        if (!other || other == m_active) continue;
        Qe_Pt_List found;
        if (api_mb_lines_intersection(m_active->points(), m_active->count(), other->points(), other->count(), found))
            crossings.add_list0(found);
    }
    if (crossings.is_empty()) return false;

    // Start again from the set's own points, so a repeated call (a new pick point) does not
    // find the crossings and pick point of the last one.
    reload_active();
    for (const Qe_Pt_Node* c = crossings.head(); c; c = c->next()) m_pt_list.insert_merge_Pt(*c, 1);
    m_pt_list.insert_merge_Pt(m_cur_pt, 2);

    Qe_Pt_Node* pick = m_pt_list.find_flag(2);
    const Qe_Pt_Node* before = nullptr;
    const Qe_Pt_Node* after = nullptr;
    if (pick) {
        for (const Qe_Pt_Node* p = pick->prev(); p && !before; p = p->prev())
            if (p->flag() == 1) before = p;
        for (const Qe_Pt_Node* p = pick->next(); p && !after; p = p->next())
            if (p->flag() == 1) after = p;
        if (!m_keep_pick) m_pt_list.kill_node(pick);
    }

    Qe_Pt_List running;
    auto move_to = [&running](Qe_Pt_List& target) {
        target.add_list(running);
        running.kill_all();
    };
    bool after_met = false;
    for (const Qe_Pt_Node* p = m_pt_list.head(); p; p = p->next()) {
        running.add_tail(*p);
        if (p == before) {
            move_to(m_resverve_ptlist0);
            running.add_tail(*p);
        } else if (p == after) {
            move_to(m_cut_ptlist);
            running.add_tail(*p);
            after_met = true;
        }
    }
    move_to(after_met ? m_resverve_ptlist1 : m_cut_ptlist);
    return true;
}

bool Qe_Polyline_Cut::clear_data()
{
    m_active = nullptr;
    m_pt_list.kill_all();
    m_cut_ptlist.kill_all();
    m_resverve_ptlist0.kill_all();
    m_resverve_ptlist1.kill_all();
    m_ptset_list.clear();
    return true;
}
