#include "kernel/entity_base/vertex_geom.h"

#include <vector>

#include "geometry/plane_geometry.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

MB_Vertex_Geom::~MB_Vertex_Geom() = default;

void MB_Vertex_Geom::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    Qe_Pt_Set::translate(t);
}

bool MB_Vertex_Geom::rect_from_vertices()
{
    return rect().init_by_pts(count(), points());
}

void MB_Vertex_Geom::offset_ring(double d)
{
    const int n = count();
    if (n == 0) return;
    Qe_Pt* c = points();
    // The distinct corners in ring order, and for each corner the distinct one it repeats.
    std::vector<int> ring;
    std::vector<int> slot(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (ring.empty() || !same_point(c[i], c[ring.back()], resabs)) ring.push_back(i);
        slot[static_cast<std::size_t>(i)] = static_cast<int>(ring.size()) - 1;
    }
    // A last corner that closes the ring onto the first is the first.
    while (ring.size() > 1 && same_point(c[ring.back()], c[ring.front()], resabs)) {
        for (int& s : slot)
            if (s == static_cast<int>(ring.size()) - 1) s = 0;
        ring.pop_back();
    }
    const std::size_t m = ring.size();
    struct Edge {
        Qe_Pt start;
        Qe_Pt end;
        Qe_Uvec dir;
    };
    std::vector<Edge> moved(m);
    const Qe_Vec z(0.0, 0.0, 1.0);
    for (std::size_t i = 0; i < m; ++i) {
        const Qe_Pt& a = c[ring[i]];
        const Qe_Pt& b = c[ring[(i + 1) % m]];
        const Qe_Vec shift = normalise((b - a) * z) * d;
        moved[i] = Edge{a - shift, b - shift, normalise(b - a)};
    }
    std::vector<Qe_Pt> placed(m);
    for (std::size_t f = 0; f < m; ++f) {
        const Edge& before = moved[(f + m - 1) % m];
        const Edge& after = moved[f];
        Qe_Pt meet;
        placed[f] = api_mb_lines_intersection(before.start, before.dir, after.start, after.dir, meet) ? meet : before.end;
    }
    for (int i = 0; i < n; ++i) c[i] = placed[static_cast<std::size_t>(slot[static_cast<std::size_t>(i)])];
}
