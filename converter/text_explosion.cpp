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

// The chains whose segments may meet, as groups in chain order (each group's chains in
// order): chains join a group when their boxes, grown by more than the loop search's
// tolerances, overlap. Glyphs set apart fall into groups of their own, so that the loops are
// searched glyph by glyph and the cost follows the length of the text.
std::vector<std::vector<MB_Lines*>> groups_that_may_meet(const std::vector<MB_Lines*>& chains)
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
    std::vector<std::vector<MB_Lines*>> groups;
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

// The minimal loops the chains' segments bound, in the order one search over all of them
// finds them; the caller owns them.
std::vector<Qe_Loop*> enclosed_loops(const std::vector<MB_Lines*>& chains)
{
    struct Found {
        Qe_Pt start;
        Qe_Loop* loop;
    };
    std::vector<Found> found;
    for (const std::vector<MB_Lines*>& group : groups_that_may_meet(chains)) {
        Qe_Search_Loops search;
        // A chain's segments join its vertices in order, as its edge would.
        for (MB_Lines* chain : group) (void)search.input_list().add(&chain->pt_set());
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

// The outlines of one text's node: its chains, then its hatch, at the tail of list, in the
// colour and on the layer of text (the entity a run belongs to). False when it showed nothing.
// Nothing made here is drawn before the export: each is laid out as far as its rectangle.
bool explode_node(MB_Draw_Node* node, const MB_Drawable& text, MB_Object_List& list)
{
    MB_Text_Outline outline;
    if (!mb_text_outline(node, outline) || outline.runs.empty()) return false;

    const long colour = text.general().color();
    Qe_Void_List made;
    (void)mb_outline_lines(outline, colour, text.general().layer(), list, made, false);
    if (!outline.filled) return true;

    std::vector<MB_Lines*> chains;
    for (Qe_Void_Node* n = made.head(); n; n = n->next()) {
        auto* chain = static_cast<MB_Lines*>(n->entity());
        if (chain->count() > 0) chains.push_back(chain);
    }
    const std::vector<Qe_Loop*> loops = enclosed_loops(chains);
    if (loops.empty()) return true;

    auto* hatch = new MB_Hatch;
    // The found loops are the caller's: the hatch takes them over.
    for (Qe_Loop* loop : loops) hatch->loop_add(loop);
    hatch->general().color(colour);
    hatch->general().layer(text.general().layer());
    hatch->get_hatchtype()->name(MB_String("_SOLID"));
    hatch->build_extent();
    list.add_tail(hatch);
    return true;
}

// A text not laid out yet is laid out now; once its outlines are made, its glyphs go.
bool explode_text(MB_Drawable& text, MB_Object_List& list)
{
    if (!text.draw_node()) text.build_draw();
    const bool shown = explode_node(text.draw_node(), text, list);
    if (shown) text.free_draw_node();
    return shown;
}

// A text laid along an arc or a path, a multi-line text or a tolerance frame: each run as a
// single-line text in the run's own colour and layer (a multi-line text's colour groups give
// runs colours of their own; the others' runs have their text's), then a frame's lines.
// False, adding nothing, when no run showed anything.
bool explode_parts(MB_Drawable& text, const std::vector<MB_Text*>& runs, const std::vector<MB_Line*>& lines,
                   MB_Object_List& list)
{
    bool shown = false;
    for (MB_Text* run : runs) shown = explode_node(run->draw_node(), *run, list) || shown;
    if (!shown) return false;
    for (MB_Line* line : lines) {
        auto* copy = new MB_Line(line->start(), line->end());
        copy->general().color(text.general().color());
        copy->general().layer(text.general().layer());
        copy->build_extent();
        list.add_tail(copy);
    }
    return true;
}

constexpr std::size_t k_batch = 1024;

}  // namespace

int explode_texts(MB_Operation* operation)
{
    MB_Drawing* drawing = operation ? operation->drawing() : nullptr;
    if (!drawing) return 0;
    // The replaced texts must go at once, not into an undo step.
    MB_Recording_Pause pause;
    MB_Object_List& list = drawing->object_list();
    // The replaced texts go in batches as the walk goes on, so that what the explosion makes
    // next takes their memory: held to the end, they were the peak of the conversion.
    std::vector<MB_Drawable*> done;
    int replaced = 0;
    auto delete_done = [&] {
        operation->delete_entities(done);
        replaced += static_cast<int>(done.size());
        done.clear();
    };
    // What is appended is no text: the walk ends with the entity that was last before it.
    std::vector<MB_Text*> runs;
    std::vector<MB_Line*> lines;
    MB_Object* const last = list.get_tail();
    for (MB_Object* o = list.get_head(), *after = nullptr; o; o = after) {
        after = o == last ? nullptr : o->next();
        if (!o->is_drawable()) continue;
        auto& d = *static_cast<MB_Drawable*>(o);
        bool shown = false;
        if (o->object_id() == MB_Object::ID_TEXT)
            shown = explode_text(d, list);
        else if (mb_text_parts(*o, runs, lines))
            shown = explode_parts(d, runs, lines, list);
        if (!shown) continue;
        done.push_back(&d);
        if (done.size() == k_batch) delete_done();
    }
    delete_done();
    return replaced;
}
