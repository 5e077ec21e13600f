#pragma once

// The points of a Qe_Pt_List as a vector, for comparisons in tests.

#include <vector>

#include "geometry/pt_list.h"

inline std::vector<Qe_Pt> points_of(const Qe_Pt_List& l)
{
    std::vector<Qe_Pt> v;
    for (Qe_Pt_Node* n = l.head(); n; n = n->next()) v.push_back(*n);
    return v;
}
