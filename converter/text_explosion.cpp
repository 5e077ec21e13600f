#include "converter/text_explosion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Drakmere.h"
#include "kernel/operation/text_outline.h"

namespace {

struct Box {
    double x0, y0, x1, y1;
};

bool overlap(const Box& a, const Box& b)
{
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

// The point sets whose segments may meet, as groups in set order (each group's sets in
// order): sets join a group when their boxes, grown by more than the loop search's
// tolerances, overlap. Glyphs set apart fall into groups of their own, so that the loops are
// searched glyph by glyph and the cost follows the length of the text.
std::vector<std::vector<Qe_Pt_Set*>> groups_that_may_meet(const std::vector<Qe_Pt_Set*>& chains)
{
    const std::size_t n = chains.size();
    std::vector<Box> boxes(n);
    const double grow = 4.0 * resabs;
    for (std::size_t i = 0; i < n; ++i) {
        const Qe_Pt* p = chains[i]->points();
        Box b{p[0].x(), p[0].y(), p[0].x(), p[0].y()};
        for (int k = 1; k < chains[i]->count(); ++k) {
            b.x0 = std::min(b.x0, p[k].x());
            b.y0 = std::min(b.y0, p[k].y());
            b.x1 = std::max(b.x1, p[k].x());
            b.y1 = std::max(b.y1, p[k].y());
        }
        boxes[i] = {b.x0 - grow, b.y0 - grow, b.x1 + grow, b.y1 + grow};
    }
    std::vector<std::size_t> parent(n);
    for (std::size_t i = 0; i < n; ++i) parent[i] = i;
    auto root = [&](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    // Sweep along the axis the glyphs follow most: a box overlaps those of the boxes still
    // reaching it that it meets across that axis too. Boxes that are not finite share one
    // group: the search drops what is not finite, whatever it would have joined.
    auto finite = [](const Box& b) {
        return std::isfinite(b.x0) && std::isfinite(b.x1) && std::isfinite(b.y0) && std::isfinite(b.y1);
    };
    double lo_x = INFINITY, hi_x = -INFINITY, lo_y = INFINITY, hi_y = -INFINITY;
    for (const Box& b : boxes) {
        if (!finite(b)) continue;
        lo_x = std::min(lo_x, b.x0);
        hi_x = std::max(hi_x, b.x1);
        lo_y = std::min(lo_y, b.y0);
        hi_y = std::max(hi_y, b.y1);
    }
    const bool along_x = hi_x / 2 - lo_x / 2 >= hi_y / 2 - lo_y / 2;
    auto low = [&](const Box& b) { return along_x ? b.x0 : b.y0; };
    auto high = [&](const Box& b) { return along_x ? b.x1 : b.y1; };
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const bool fa = finite(boxes[a]), fb = finite(boxes[b]);
        return fa != fb ? fa : fa && low(boxes[a]) < low(boxes[b]);
    });
    std::vector<std::size_t> active;
    std::size_t first_bad = SIZE_MAX;
    for (std::size_t i : order) {
        if (!finite(boxes[i])) {
            if (first_bad == SIZE_MAX) first_bad = i;
            parent[root(i)] = root(first_bad);
            continue;
        }
        std::erase_if(active, [&](std::size_t a) { return high(boxes[a]) < low(boxes[i]); });
        for (std::size_t a : active)
            if (overlap(boxes[a], boxes[i])) parent[root(i)] = root(a);
        active.push_back(i);
    }
    std::vector<std::vector<Qe_Pt_Set*>> groups;
    std::vector<std::size_t> group_of(n, SIZE_MAX);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t& g = group_of[root(i)];
        if (g == SIZE_MAX) {
            g = groups.size();
            groups.emplace_back();
        }
        groups[g].push_back(chains[i]);
    }
    return groups;
}

// The minimal loops the point sets' segments bound, in the order one search over all of them
// finds them; the caller owns them.
std::vector<Qe_Loop*> enclosed_loops(const std::vector<Qe_Pt_Set*>& chains)
{
    struct Found {
        Qe_Pt start;
        Qe_Loop* loop;
    };
    std::vector<Found> found;
    for (const std::vector<Qe_Pt_Set*>& group : groups_that_may_meet(chains)) {
        Qe_Search_Loops search;
        // A set's segments join its points in order, as a chain's edge would.
        for (Qe_Pt_Set* chain : group) (void)search.input_list().add(chain);
        // A glyph's outlines are mostly rings apart from one another: found without the graph.
        if (!search.search_simple_min_loops()) {
            search.ptset2segments();
            (void)search.init();
            search.search_min_loops();
        }
        const std::vector<Qe_Pt>& starts = search.result_starts();
        std::size_t k = 0;
        for (Qe_Void_Node* n = search.result_list().head(); n; n = n->next(), ++k)
            if (n->entity()) found.push_back({k < starts.size() ? starts[k] : Qe_Pt(), static_cast<Qe_Loop*>(n->entity())});
        search.result_list().clear();
    }
    // Groups never share a point: merged by where the search came upon each loop, they come
    // in the order of one search over all.
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.start.x() > b.start.x() || (a.start.x() == b.start.x() && a.start.y() > b.start.y());
    });
    std::vector<Qe_Loop*> loops;
    loops.reserve(found.size());
    for (const Found& f : found) loops.push_back(f.loop);
    return loops;
}

// The filled outline's hatch: "_SOLID", the minimal loops its runs enclose, in the colour and
// on the layer given; null when they enclose nothing.
MB_Hatch* outline_hatch(const MB_Text_Outline& outline, long colour, MB_Layer* layer)
{
    std::vector<Qe_Pt_Set> sets;
    sets.reserve(outline.run_sizes.size());
    outline.for_each_run([&](const Qe_Pt* p, int n) { sets.emplace_back(n, p); });
    std::vector<Qe_Pt_Set*> chains;
    chains.reserve(sets.size());
    for (Qe_Pt_Set& set : sets) chains.push_back(&set);
    const std::vector<Qe_Loop*> loops = enclosed_loops(chains);
    if (loops.empty()) return nullptr;
    auto* hatch = new MB_Hatch;
    // The found loops are the caller's: the hatch takes them over.
    for (Qe_Loop* loop : loops) hatch->loop_add(loop);
    hatch->general().color(colour);
    hatch->general().layer(layer);
    hatch->get_hatchtype()->name(MB_String("_SOLID"));
    hatch->build_extent();
    return hatch;
}

// The outlines of one text's node, held by into in the colour and on the layer of text (the
// entity a run belongs to). False when it showed nothing. outline is room to reuse.
bool explode_node(MB_Draw_Node* node, const MB_Drawable& text, Exploded_Texts& into, MB_Text_Outline& outline)
{
    outline.clear();
    if (!mb_text_outline(node, outline) || outline.empty()) return false;
    into.add_outline(outline, text.general().color(), text.general().layer());
    return true;
}

// A text not laid out yet is laid out now; once its outlines are taken, its glyphs go.
bool explode_text(MB_Drawable& text, Exploded_Texts& into, MB_Text_Outline& outline)
{
    if (!text.draw_node()) text.build_draw();
    const bool shown = explode_node(text.draw_node(), text, into, outline);
    if (shown) text.free_draw_node();
    return shown;
}

// A text laid along an arc or a path, a multi-line text or a tolerance frame: each run as a
// single-line text in the run's own colour and layer (a multi-line text's colour groups give
// runs colours of their own; the others' runs have their text's), then a frame's lines.
// False, adding nothing, when no run showed anything.
bool explode_parts(MB_Drawable& text, const std::vector<MB_Text*>& runs, const std::vector<MB_Line*>& lines,
                   Exploded_Texts& into, MB_Text_Outline& outline)
{
    bool shown = false;
    for (MB_Text* run : runs) shown = explode_node(run->draw_node(), *run, into, outline) || shown;
    if (!shown) return false;
    for (MB_Line* line : lines) {
        auto* copy = new MB_Line(line->start(), line->end());
        copy->general().color(text.general().color());
        copy->general().layer(text.general().layer());
        copy->build_extent();
        into.add_entity(copy);
    }
    return true;
}

bool finite_rect(const Qe_Rect& r)
{
    const Qe_Pt& a = r.lt();
    const Qe_Pt& b = r.rb();
    return std::isfinite(a.x()) && std::isfinite(a.y()) && std::isfinite(a.z()) && std::isfinite(b.x()) &&
           std::isfinite(b.y()) && std::isfinite(b.z());
}

constexpr std::size_t k_batch = 1024;
// Points per chunk: the first ones small, so that a few texts take little, then up to about
// 24 MB (more for one outline that needs more). A chunk is made with its room and never grows:
// no point is copied twice.
constexpr std::size_t k_first_chunk_points = std::size_t{1} << 16;
constexpr std::size_t k_chunk_points = std::size_t{1} << 20;

}  // namespace

Exploded_Texts::Exploded_Texts() = default;

Exploded_Texts::~Exploded_Texts()
{
    // What was never given out is still ours.
    for (Piece& piece : m_pieces) delete piece.entity;
}

bool Exploded_Texts::extents(Qe_Rect& out) const
{
    if (!m_has_extents) return false;
    out = m_extents;
    return true;
}

void Exploded_Texts::take_extent(const Qe_Rect& r)
{
    // As the export's header takes an entity's rectangle: one that is not finite counts for
    // nothing.
    if (!finite_rect(r)) return;
    if (!m_has_extents) m_extents = r;
    else m_extents.union_rect(r);
    m_has_extents = true;
}

void Exploded_Texts::add_outline(const MB_Text_Outline& outline, long colour, MB_Layer* layer)
{
    if (outline.empty()) return;
    const std::size_t count = outline.points.size();
    if (m_chunks.empty() || m_chunks.back()->capacity() - m_chunks.back()->size() < count) {
        const std::size_t room = m_chunks.size() < 5 ? k_first_chunk_points << m_chunks.size() : k_chunk_points;
        m_chunks.push_back(std::make_unique<std::vector<Qe_Pt>>());
        m_chunks.back()->reserve(std::max(count, room));
    }
    std::vector<Qe_Pt>& points = *m_chunks.back();
    Piece piece;
    piece.colour = colour;
    piece.layer = layer;
    piece.chunk = m_chunks.size() - 1;
    piece.first_point = points.size();
    piece.first_run = m_run_sizes.size();
    piece.runs = outline.run_sizes.size();
    points.insert(points.end(), outline.points.begin(), outline.points.end());
    m_run_sizes.insert(m_run_sizes.end(), outline.run_sizes.begin(), outline.run_sizes.end());
    m_pieces.push_back(piece);
    // Each run's chain will have the rectangle of its points.
    outline.for_each_run([&](const Qe_Pt* p, int n) {
        Qe_Rect r;
        (void)r.init_by_pts(n, p);
        take_extent(r);
    });
    // The hatch is made now: its rectangle is that of the loops found, which the chains'
    // rectangles need not hold to the last bit.
    if (outline.filled)
        if (MB_Hatch* hatch = outline_hatch(outline, colour, layer)) add_entity(hatch);
}

void Exploded_Texts::add_entity(MB_Drawable* entity)
{
    if (!entity) return;
    take_extent(entity->rect());
    Piece piece;
    piece.entity = entity;
    m_pieces.push_back(piece);
}

void Exploded_Texts::end_text()
{
    if (m_pieces.size() == m_text_start) return;
    m_texts.push_back(m_text_start);
    m_text_start = m_pieces.size();
}

void Exploded_Texts::release_chunks_before(std::size_t chunk)
{
    for (std::size_t i = m_released; i < chunk && i < m_chunks.size(); ++i) m_chunks[i].reset();
    m_released = std::max(m_released, chunk);
}

void Exploded_Texts::make(Piece& piece, MB_Object_List& list)
{
    if (piece.entity) {
        list.add_tail(piece.entity);
        piece.entity = nullptr;
        return;
    }
    release_chunks_before(piece.chunk);
    const Qe_Pt* p = m_chunks[piece.chunk]->data() + piece.first_point;
    for (std::size_t r = piece.first_run; r < piece.first_run + piece.runs; ++r) {
        const int n = m_run_sizes[r];
        list.add_tail(mb_outline_chain(p, n, piece.colour, piece.layer, false));
        p += n;
    }
}

bool Exploded_Texts::next(MB_Object_List& list)
{
    if (m_next_text >= m_texts.size()) {
        release_chunks_before(m_chunks.size());
        return false;
    }
    const std::size_t first = m_texts[m_next_text];
    const std::size_t end = m_next_text + 1 < m_texts.size() ? m_texts[m_next_text + 1] : m_text_start;
    ++m_next_text;
    for (std::size_t i = first; i < end; ++i) make(m_pieces[i], list);
    return true;
}

int explode_texts(MB_Operation* operation, Exploded_Texts& into)
{
    MB_Drawing* drawing = operation ? operation->drawing() : nullptr;
    if (!drawing) return 0;
    // The replaced texts must go at once, not into an undo step.
    MB_Recording_Pause pause;
    MB_Object_List& list = drawing->object_list();
    // The replaced texts go in batches as the walk goes on, so that what the explosion holds
    // next takes their memory.
    std::vector<MB_Drawable*> done;
    int replaced = 0;
    auto delete_done = [&] {
        operation->delete_entities(done);
        replaced += static_cast<int>(done.size());
        done.clear();
    };
    std::vector<MB_Text*> runs;
    std::vector<MB_Line*> lines;
    MB_Text_Outline outline;
    for (MB_Object* o = list.get_head(), *after = nullptr; o; o = after) {
        after = o->next();
        if (!o->is_drawable()) continue;
        auto& d = *static_cast<MB_Drawable*>(o);
        bool shown = false;
        if (o->object_id() == MB_Object::ID_TEXT)
            shown = explode_text(d, into, outline);
        else if (mb_text_parts(*o, runs, lines))
            shown = explode_parts(d, runs, lines, into, outline);
        if (!shown) continue;
        into.end_text();
        done.push_back(&d);
        if (done.size() == k_batch) delete_done();
    }
    delete_done();
    return replaced;
}

int explode_texts(MB_Operation* operation)
{
    MB_Drawing* drawing = operation ? operation->drawing() : nullptr;
    if (!drawing) return 0;
    Exploded_Texts exploded;
    const int replaced = explode_texts(operation, exploded);
    // What the texts became goes after every entity that is left, in text order.
    while (exploded.next(drawing->object_list())) {
    }
    return replaced;
}
