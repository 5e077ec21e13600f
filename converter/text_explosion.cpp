#include "converter/text_explosion.h"

#include <memory>
#include <vector>

#include "Drakmere.h"
#include "kernel/operation/geom_segments.h"

namespace {

constexpr int k_max_node_depth = 64;

// The outline runs of a display node, in drawing coordinates, and whether any part of it is
// drawn filled.
struct Outline {
    std::vector<std::unique_ptr<Qe_Pt_List>> runs;
    bool filled = false;
};

void add_run(Outline& out, const Qe_Pt* p, long n, const Qe_Tran* t)
{
    if (!p || n < 2) return;
    auto list = std::make_unique<Qe_Pt_List>();
    for (long i = 0; i < n; ++i) list->add(t ? p[i] * *t : p[i]);
    out.runs.push_back(std::move(list));
}

void collect(MB_Draw_Node& node, const Qe_Tran* t, int depth, Outline& out)
{
    if (depth > k_max_node_depth) return;
    if (auto* set = dynamic_cast<MB_Draw_Lines_Set*>(&node)) {
        add_run(out, set->points(), set->count(), t);
    } else if (auto* sets = dynamic_cast<MB_Draw_Lines_Sets*>(&node)) {
        out.filled = out.filled || sets->is_filled();
        const Qe_Pt* p = sets->points();
        const mb_ulong* counts = sets->vals();
        if (!p || !counts) return;
        for (mb_ulong r = 0; r < sets->ptset_count(); ++r) {
            add_run(out, p, static_cast<long>(counts[r]), t);
            p += counts[r];
        }
    } else if (auto* trans = dynamic_cast<MB_Draw_Trans*>(&node)) {
        if (MB_Draw_Node* child = trans->child()) {
            const Qe_Tran combined = t ? trans->tran() * *t : trans->tran();
            collect(*child, &combined, depth + 1, out);
        }
    } else if (auto* nodes = dynamic_cast<MB_Draw_Nodes*>(&node)) {
        for (MB_Draw_Node* n = nodes->node_list().head(); n; n = n->next()) collect(*n, t, depth + 1, out);
    }
}

// One display node: its chains, then its hatch, at the tail of list, in the colour and on
// the layer given. False when it showed nothing.
bool explode_node(MB_Draw_Node* node, long colour, MB_Layer* layer, MB_Object_List& list)
{
    if (!node) return false;
    Outline outline;
    collect(*node, nullptr, 0, outline);
    if (outline.runs.empty()) return false;

    Qe_Search_Loops search;
    for (const auto& run : outline.runs) {
        MB_Lines* lines = nullptr;
        if (!api_mb_make_lines(lines, *run)) continue;
        lines->general().color(colour);
        lines->general().layer(layer);
        lines->build_draw();
        list.add_tail(lines);
        (void)search.input_list().add(lines);
    }
    if (!outline.filled) return true;

    api_mb_geom_2_segments(search.input_list(), search.segment_list());
    search.remove_error_segment();
    search.bulid_intersect();
    search.del_invalid_intersect();
    search.create_intersect_relation();
    search.order_add_remove_error_intersect_points();
    search.search_min_loops();
    if (!search.result_list().head()) return true;

    auto* hatch = new MB_Hatch;
    // The found loops are the caller's: the hatch takes them over.
    for (Qe_Void_Node* n = search.result_list().head(); n; n = n->next())
        if (n->entity()) hatch->loop_add(n->entity());
    search.result_list().clear();
    hatch->general().color(colour);
    hatch->general().layer(layer);
    hatch->get_hatchtype()->name(MB_String("_SOLID"));
    hatch->build_draw();
    list.add_tail(hatch);
    return true;
}

bool explode_text(MB_Drawable& text, MB_Object_List& list)
{
    return explode_node(text.draw_node(), text.general().color(), text.general().layer(), list);
}

// A multi-line text: each run in turn, in the run's colour, on the text's layer. False when
// no run showed anything.
bool explode_mtext(MB_Mtext& text, MB_Object_List& list)
{
    bool any = false;
    for (Qe_Void_Node* n = text.text_list().head(); n; n = n->next()) {
        auto* run = static_cast<MB_Text*>(n->entity());
        any = explode_node(run->draw_node(), run->general().color(), text.general().layer(), list) || any;
    }
    return any;
}

}  // namespace

int explode_texts(MB_Operation* operation)
{
    MB_Drawing* drawing = operation ? operation->drawing() : nullptr;
    if (!drawing) return 0;
    // The replaced texts must go at once, not into an undo step.
    MB_Recording_Pause pause;
    MB_Object_List& list = drawing->object_list();
    Qe_Void_List done;
    // The walk also visits what it appends; none of that is a text.
    for (MB_Object* o = list.get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        bool shown = false;
        if (o->object_id() == MB_Object::ID_TEXT)
            shown = explode_text(*static_cast<MB_Drawable*>(o), list);
        else if (auto* m = o->object_id() == MB_Object::ID_MTEXT ? dynamic_cast<MB_Mtext*>(o) : nullptr)
            shown = explode_mtext(*m, list);
        if (shown) (void)done.add(o);
    }
    int replaced = 0;
    for (Qe_Void_Node* n = done.head(); n; n = n->next()) ++replaced;
    if (replaced) (void)operation->delete_object_list(done, false);
    return replaced;
}
