#include "kernel/operation/flat_create.h"

#include <algorithm>

#include "kernel/entities/polyline.h"

MB_Polyline* api_mb_create_polyline(int n)
{
    const int count = std::clamp(n, 0, MB_Polyline::k_max_count);
    return new MB_Polyline(false, static_cast<unsigned short>(count), count > 0 ? new MB_Pline_Pos[count] : nullptr);
}
