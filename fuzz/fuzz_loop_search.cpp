// Loop search on up to 200 segments whose end points are small integers (so that segments
// meet, overlap and touch often) scaled by a factor from the input; bit 2 of the first
// byte picks the largest loops, bit 3 orders them, bit 4 picks the extreme scales.
#include <cstddef>
#include <cstdint>

#include "geometry/edge.h"
#include "geometry/loop.h"
#include "geometry/loop_search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const int flags = data[0];
    // Tiny scales make many points fall within the tolerance; huge ones take extents and
    // intersections towards overflow.
    static const double scales[8] = {1.0, 0.5, 0.1, 1e-4, 1e-300, 1e5, 1e200, 1e306};
    const double scale = scales[(flags & 3) | ((flags >> 2) & 4)];
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
