#pragma once

// A laid-out text's glyph outlines as plain geometry: the runs its display node shows, and
// chains (MB_Lines) made of them. The explosions of texts (the flat functions and the
// conversion road's) share these steps.

#include <vector>

#include "geometry/point.h"
#include "kernel/drakmere_api.h"

class MB_Draw_Node;
class MB_Layer;
class MB_Lines;
class MB_Object_List;
class Qe_Void_List;

// The outline runs of a display node, in drawing coordinates and in run order, and whether
// any part of it is drawn filled (a TrueType text). The runs lie one after the other in one
// array: a long text is a few allocations, not one per run.
struct MB_Text_Outline {
    std::vector<Qe_Pt> points;
    // The number of points of each run, in run order; two or more each.
    std::vector<int> run_sizes;
    bool filled = false;

    bool empty() const { return run_sizes.empty(); }
    // Empties it, keeping the room it has.
    void clear()
    {
        points.clear();
        run_sizes.clear();
        filled = false;
    }
    // f(points, count) for each run, in order.
    template <typename F>
    void for_each_run(F&& f) const
    {
        const Qe_Pt* p = points.data();
        for (const int n : run_sizes) {
            f(p, n);
            p += n;
        }
    }
};

// Collects the runs of node's point sets (through its transformed children and node groups)
// into out, after what it holds; a run of fewer than two points shows nothing and is left out.
// False for a null node.
DRAKMERE_API bool mb_text_outline(MB_Draw_Node* node, MB_Text_Outline& out);

// The chain of one run of n points (n > 0), in colour, built; not in any list. It is on layer
// when one is given, else on the layer a new entity takes. Without display it is laid out
// only as far as its rectangle (build_extent).
DRAKMERE_API MB_Lines* mb_outline_chain(const Qe_Pt* points, int n, long colour, MB_Layer* layer, bool display);

// One chain per run (mb_outline_chain), appended at the tail of list and added to made, in
// run order. Returns how many were made.
DRAKMERE_API int mb_outline_lines(const MB_Text_Outline& outline, long colour, MB_Layer* layer, MB_Object_List& list,
                                  Qe_Void_List& made, bool display = true);
