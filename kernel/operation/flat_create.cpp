#include "kernel/operation/flat_create.h"

#include <algorithm>

#include "geometry/pt_list.h"
#include "kernel/entities/line.h"
#include "kernel/entities/polyline.h"

MB_Polyline* api_mb_create_polyline(int n)
{
    const int count = std::clamp(n, 0, MB_Polyline::k_max_count);
    return new MB_Polyline(false, static_cast<unsigned short>(count), count > 0 ? new MB_Pline_Pos[count] : nullptr);
}

bool api_mb_make_lines(MB_Lines*& lines, Qe_Pt_List& points)
{
    if (!points.head()) return false;
    if (!lines) lines = new MB_Lines(static_cast<int>(points.count()));
    lines->pt_set().init(points);
    return true;
}
