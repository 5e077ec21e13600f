#pragma once

// The placement steps shared by the layout engine and the TrueType outline path: glyph
// polylines packed into point runs, moved, aligned on the base point and mirrored.

#include <vector>

#include "geometry/point.h"
#include "geometry/rect.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "platform/fixed_width.h"

class MB_Draw_Lines_Sets;
class MB_Text_Style;

namespace text_placement {

// The points of every polyline and the count of each, polylines without points left out.
struct Runs {
    std::vector<Qe_Pt> points;
    std::vector<mb_ulong> counts;
};

struct Box {
    double min_x, max_x, min_y, max_y;
};

// Qe_Pt_List* items.
Runs pack(const Qe_Void_List& lists);
// About a point: T(-at), t, T(+at).
Qe_Tran about(const Qe_Pt& at, const Qe_Tran& t);
void apply(Runs& r, const Qe_Tran& t);
void move(Runs& r, double dx, double dy);
// The axis-aligned box of the points; r must hold at least one.
Box box_of(const Runs& r);
// Alignment codes 2 (centre), 32 (top left), 4096 (bottom centre) and 8192 (bottom right) put
// that point of the box on base; any other code leaves the runs. Then the mirror flags
// reflect them about the line through base along the style's angle, then across it.
void align_and_mirror(Runs& r, const Qe_Pt& base, const MB_Text_Style* style);
// The runs become the node's and rect their bounds; false when the node cannot hold them.
bool store(const Runs& r, MB_Draw_Lines_Sets* node, Qe_Rect* rect);

}  // namespace text_placement
