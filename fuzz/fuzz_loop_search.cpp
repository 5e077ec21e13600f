// Loop search on up to 200 segments whose end points are small integers (so that segments
// meet, overlap and touch often) scaled by a factor from the input.
#include <cstddef>
#include <cstdint>

#include "geometry/edge.h"
#include "geometry/loop.h"
#include "geometry/loop_search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const int flags = data[0];
    // 1, 0.5, 0.1 or 1e-4: the last makes many points fall within the tolerance.
    static const double scales[4] = {1.0, 0.5, 0.1, 1e-4};
    const double scale = scales[flags & 3];
    Qe_Search_Loops s;
    int count = 0;
    for (std::size_t at = 1; at + 4 <= size && count < 200; at += 4, ++count) {
        const auto c = [&](std::size_t i) { return (static_cast<signed char>(data[at + i])) * scale; };
        s.segment_list().add(new Qe_Segment(Qe_Pt(c(0), c(1), 0), Qe_Pt(c(2), c(3), 0)));
    }
    s.init();
    if (flags & 4)
        s.search_max_loops();
    else
        s.search_min_loops();
    if (flags & 8) s.order_result_list();
    for (Qe_Void_Node* n = s.result_list().head(); n; n = n->next()) delete static_cast<Qe_Loop*>(n->entity());
    s.result_list().clear();
    return 0;
}
