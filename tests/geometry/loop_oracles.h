#pragma once

// Independent references for the loop search, shared by its tests and its benchmark:
// GEOS noding and polygonizing of a segment set, and glyph outlines flattened with
// FreeType.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <geos_c.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace loop_oracles {

struct Seg {
    double x0, y0, x1, y1;
};

// Area (positive) and centroid of a ring.
struct Shell {
    double area, cx, cy;
};

inline double signed_area(const std::vector<double>& xs, const std::vector<double>& ys)
{
    double s = 0.0;
    const std::size_t n = xs.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        s += (xs[i] - xs[0]) * (ys[j] - ys[0]) - (xs[j] - xs[0]) * (ys[i] - ys[0]);
    }
    return s / 2.0;
}

inline Shell shell_of(const std::vector<double>& xs, const std::vector<double>& ys)
{
    double a2 = 0.0, cx = 0.0, cy = 0.0;
    const std::size_t n = xs.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        const double x0 = xs[i] - xs[0], y0 = ys[i] - ys[0], x1 = xs[j] - xs[0], y1 = ys[j] - ys[0];
        const double c = x0 * y1 - x1 * y0;
        a2 += c;
        cx += (x0 + x1) * c;
        cy += (y0 + y1) * c;
    }
    if (a2 == 0.0) return {0.0, xs[0], ys[0]};
    return {std::fabs(a2) / 2.0, xs[0] + cx / (3.0 * a2), ys[0] + cy / (3.0 * a2)};
}

// The shells of the polygons GEOS forms from the noded segments.
class Geos {
public:
    Geos() : m_h(GEOS_init_r()) {}
    ~Geos() { GEOS_finish_r(m_h); }
    Geos(const Geos&) = delete;
    Geos& operator=(const Geos&) = delete;

    // Number of polygons; their shells go to out when given.
    std::size_t polygonize(const std::vector<Seg>& segs, std::vector<Shell>* out)
    {
        std::vector<GEOSGeometry*> lines;
        for (const Seg& s : segs) {
            GEOSCoordSequence* cs = GEOSCoordSeq_create_r(m_h, 2, 2);
            GEOSCoordSeq_setXY_r(m_h, cs, 0, s.x0, s.y0);
            GEOSCoordSeq_setXY_r(m_h, cs, 1, s.x1, s.y1);
            lines.push_back(GEOSGeom_createLineString_r(m_h, cs));
        }
        GEOSGeometry* multi =
            GEOSGeom_createCollection_r(m_h, GEOS_MULTILINESTRING, lines.data(), static_cast<unsigned>(lines.size()));
        GEOSGeometry* noded = GEOSNode_r(m_h, multi);
        const int parts = GEOSGetNumGeometries_r(m_h, noded);
        std::vector<const GEOSGeometry*> pieces;
        for (int i = 0; i < parts; ++i) pieces.push_back(GEOSGetGeometryN_r(m_h, noded, i));
        GEOSGeometry* polys = GEOSPolygonize_r(m_h, pieces.data(), static_cast<unsigned>(pieces.size()));
        const int count = GEOSGetNumGeometries_r(m_h, polys);
        for (int i = 0; out && i < count; ++i) {
            const GEOSGeometry* ring = GEOSGetExteriorRing_r(m_h, GEOSGetGeometryN_r(m_h, polys, i));
            const GEOSCoordSequence* cs = GEOSGeom_getCoordSeq_r(m_h, ring);
            unsigned size = 0;
            GEOSCoordSeq_getSize_r(m_h, cs, &size);
            std::vector<double> xs, ys;
            for (unsigned k = 0; k + 1 < size; ++k) {  // the ring repeats its first point
                double x = 0, y = 0;
                GEOSCoordSeq_getXY_r(m_h, cs, k, &x, &y);
                xs.push_back(x);
                ys.push_back(y);
            }
            out->push_back(shell_of(xs, ys));
        }
        GEOSGeom_destroy_r(m_h, polys);
        GEOSGeom_destroy_r(m_h, noded);
        GEOSGeom_destroy_r(m_h, multi);
        return static_cast<std::size_t>(count);
    }

    // The outlines a maximal search finds: the shells of the union of all faces, each part
    // that shares no point with another part or with a segment left outside every face (a
    // cut between parts). Where parts touch, an outline walked around them comes back to a
    // point before it closes. The parts that touch are counted in touching.
    std::size_t maximal_shells(const std::vector<Seg>& segs, std::vector<Shell>& out, std::size_t& touching)
    {
        touching = 0;
        GEOSGeometry* multi = lines(segs);
        GEOSGeometry* noded = GEOSNode_r(m_h, multi);
        GEOSGeometry *cuts = nullptr, *dangles = nullptr, *invalid = nullptr;
        GEOSGeometry* polys = GEOSPolygonize_full_r(m_h, noded, &cuts, &dangles, &invalid);
        GEOSGeometry* all = GEOSUnaryUnion_r(m_h, polys);
        const int parts = GEOSisEmpty_r(m_h, all) ? 0 : GEOSGetNumGeometries_r(m_h, all);
        const int cut_count = GEOSGetNumGeometries_r(m_h, cuts);
        std::size_t found = 0;
        for (int i = 0; i < parts; ++i) {
            const GEOSGeometry* part = GEOSGetGeometryN_r(m_h, all, i);
            bool touches = false;
            for (int j = 0; j < parts && !touches; ++j)
                touches = j != i && GEOSIntersects_r(m_h, part, GEOSGetGeometryN_r(m_h, all, j)) == 1;
            for (int c = 0; c < cut_count && !touches; ++c) {
                const GEOSGeometry* cut = GEOSGetGeometryN_r(m_h, cuts, c);
                touches = GEOSIntersects_r(m_h, part, cut) == 1 && GEOSCovers_r(m_h, part, cut) != 1;
            }
            if (touches) {
                ++touching;
                continue;
            }
            out.push_back(ring_shell(GEOSGetExteriorRing_r(m_h, part)));
            ++found;
        }
        for (GEOSGeometry* g : {all, polys, cuts, dangles, invalid, noded, multi})
            if (g) GEOSGeom_destroy_r(m_h, g);
        return found;
    }

    // The shell of the union of two rings (each closed implicitly); false when the union
    // is not one polygon.
    bool union_shell(const std::vector<std::pair<double, double>>& a, const std::vector<std::pair<double, double>>& b,
                     Shell& out)
    {
        GEOSGeometry* pa = polygon(a);
        GEOSGeometry* pb = polygon(b);
        GEOSGeometry* u = GEOSUnion_r(m_h, pa, pb);
        bool ok = u && GEOSGeomTypeId_r(m_h, u) == GEOS_POLYGON;
        if (ok) {
            const GEOSCoordSequence* cs = GEOSGeom_getCoordSeq_r(m_h, GEOSGetExteriorRing_r(m_h, u));
            unsigned size = 0;
            GEOSCoordSeq_getSize_r(m_h, cs, &size);
            std::vector<double> xs, ys;
            for (unsigned k = 0; k + 1 < size; ++k) {
                double x = 0, y = 0;
                GEOSCoordSeq_getXY_r(m_h, cs, k, &x, &y);
                xs.push_back(x);
                ys.push_back(y);
            }
            out = shell_of(xs, ys);
        }
        if (u) GEOSGeom_destroy_r(m_h, u);
        GEOSGeom_destroy_r(m_h, pa);
        GEOSGeom_destroy_r(m_h, pb);
        return ok;
    }

private:
    GEOSGeometry* lines(const std::vector<Seg>& segs)
    {
        std::vector<GEOSGeometry*> parts;
        for (const Seg& s : segs) {
            GEOSCoordSequence* cs = GEOSCoordSeq_create_r(m_h, 2, 2);
            GEOSCoordSeq_setXY_r(m_h, cs, 0, s.x0, s.y0);
            GEOSCoordSeq_setXY_r(m_h, cs, 1, s.x1, s.y1);
            parts.push_back(GEOSGeom_createLineString_r(m_h, cs));
        }
        return GEOSGeom_createCollection_r(m_h, GEOS_MULTILINESTRING, parts.data(), static_cast<unsigned>(parts.size()));
    }

    Shell ring_shell(const GEOSGeometry* ring)
    {
        const GEOSCoordSequence* cs = GEOSGeom_getCoordSeq_r(m_h, ring);
        unsigned size = 0;
        GEOSCoordSeq_getSize_r(m_h, cs, &size);
        std::vector<double> xs, ys;
        for (unsigned k = 0; k + 1 < size; ++k) {  // the ring repeats its first point
            double x = 0, y = 0;
            GEOSCoordSeq_getXY_r(m_h, cs, k, &x, &y);
            xs.push_back(x);
            ys.push_back(y);
        }
        return shell_of(xs, ys);
    }

    GEOSGeometry* polygon(const std::vector<std::pair<double, double>>& ring)
    {
        GEOSCoordSequence* cs = GEOSCoordSeq_create_r(m_h, static_cast<unsigned>(ring.size() + 1), 2);
        for (unsigned k = 0; k <= ring.size(); ++k) {
            const auto& p = ring[k % ring.size()];
            GEOSCoordSeq_setXY_r(m_h, cs, k, p.first, p.second);
        }
        return GEOSGeom_createPolygon_r(m_h, GEOSGeom_createLinearRing_r(m_h, cs), nullptr, 0);
    }

    GEOSContextHandle_t m_h;
};

// A glyph's contours, each a closed ring (first point not repeated), curves flattened
// into a fixed number of chords, in font units.
using Contour = std::vector<std::pair<double, double>>;

class Glyphs {
public:
    explicit Glyphs(const std::string& font_path)
    {
        if (FT_Init_FreeType(&m_lib) != 0) return;
        if (FT_New_Face(m_lib, font_path.c_str(), 0, &m_face) != 0) m_face = nullptr;
    }
    ~Glyphs()
    {
        if (m_face) FT_Done_Face(m_face);
        if (m_lib) FT_Done_FreeType(m_lib);
    }
    Glyphs(const Glyphs&) = delete;
    Glyphs& operator=(const Glyphs&) = delete;

    bool ok() const { return m_face != nullptr; }

    // False when the font has no outline for the character.
    bool outline(unsigned long code, std::vector<Contour>& contours, double dx = 0.0, int chords = 8) const
    {
        if (!m_face || FT_Load_Char(m_face, code, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return false;
        if (m_face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
        State st{&contours, dx, chords, 0.0, 0.0};
        FT_Outline_Funcs f{};
        f.move_to = [](const FT_Vector* to, void* u) {
            auto* s = static_cast<State*>(u);
            s->contours->emplace_back();
            s->point(to->x, to->y);
            return 0;
        };
        f.line_to = [](const FT_Vector* to, void* u) {
            static_cast<State*>(u)->point(to->x, to->y);
            return 0;
        };
        f.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
            auto* s = static_cast<State*>(u);
            const double x0 = s->x, y0 = s->y;
            for (int i = 1; i <= s->chords; ++i) {
                const double t = static_cast<double>(i) / s->chords, m = 1 - t;
                s->point(m * m * x0 + 2 * m * t * c->x + t * t * to->x, m * m * y0 + 2 * m * t * c->y + t * t * to->y);
            }
            return 0;
        };
        f.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
            auto* s = static_cast<State*>(u);
            const double x0 = s->x, y0 = s->y;
            for (int i = 1; i <= s->chords; ++i) {
                const double t = static_cast<double>(i) / s->chords, m = 1 - t;
                s->point(m * m * m * x0 + 3 * m * m * t * c1->x + 3 * m * t * t * c2->x + t * t * t * to->x,
                         m * m * m * y0 + 3 * m * m * t * c1->y + 3 * m * t * t * c2->y + t * t * t * to->y);
            }
            return 0;
        };
        const std::size_t before = contours.size();
        if (FT_Outline_Decompose(&m_face->glyph->outline, &f, &st) != 0) return false;
        for (std::size_t i = before; i < contours.size(); ++i) {
            Contour& c = contours[i];
            if (c.size() > 1 && c.front() == c.back()) c.pop_back();
        }
        return true;
    }

    // Advance of the last loaded glyph, in font units.
    double advance() const { return m_face ? static_cast<double>(m_face->glyph->advance.x) : 0.0; }

private:
    struct State {
        std::vector<Contour>* contours;
        double dx;
        int chords;
        double x, y;
        void point(double px, double py)
        {
            x = px;
            y = py;
            Contour& c = contours->back();
            const std::pair<double, double> p{px + dx, py};
            if (c.empty() || c.back() != p) c.push_back(p);
        }
    };

    FT_Library m_lib = nullptr;
    FT_Face m_face = nullptr;
};

inline std::vector<Seg> contour_segments(const std::vector<Contour>& contours)
{
    std::vector<Seg> segs;
    for (const Contour& c : contours)
        for (std::size_t i = 0; i < c.size(); ++i) {
            const auto& a = c[i];
            const auto& b = c[(i + 1) % c.size()];
            segs.push_back({a.first, a.second, b.first, b.second});
        }
    return segs;
}

inline double contour_area(const Contour& c)
{
    std::vector<double> xs, ys;
    for (const auto& p : c) {
        xs.push_back(p.first);
        ys.push_back(p.second);
    }
    return std::fabs(signed_area(xs, ys));
}

constexpr const char* DEJAVU_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* WQY_MICROHEI = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

}  // namespace loop_oracles
