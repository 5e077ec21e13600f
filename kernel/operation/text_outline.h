#pragma once

// A laid-out text's glyph outlines as plain geometry: the runs its display node shows, and
// chains (MB_Lines) made of them. The explosions of texts (the flat functions and the
// conversion road's) share these steps.

#include <vector>

#include "geometry/point.h"
#include "kernel/drakmere_api.h"

class MB_Draw_Node;
class MB_Layer;
class MB_Object_List;
class Qe_Void_List;

// The outline runs of a display node, in drawing coordinates and in run order, and whether
// any part of it is drawn filled (a TrueType text).
struct MB_Text_Outline {
    std::vector<std::vector<Qe_Pt>> runs;
    bool filled = false;
};

// Collects the runs of node's point sets (through its transformed children and node groups)
// into out; a run of fewer than two points shows nothing and is left out. False for a null
// node.
DRAKMERE_API bool mb_text_outline(MB_Draw_Node* node, MB_Text_Outline& out);

// One chain per run, in colour, built, appended at the tail of list and added to made, in
// run order. The chains are on layer when one is given, else on the layer a new entity
// takes. Without display they are laid out only as far as their rectangles (build_extent).
// Returns how many were made.
DRAKMERE_API int mb_outline_lines(const MB_Text_Outline& outline, long colour, MB_Layer* layer, MB_Object_List& list,
                                  Qe_Void_List& made, bool display = true);
