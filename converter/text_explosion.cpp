#include "converter/text_explosion.h"

#include <vector>

#include "Drakmere.h"
#include "kernel/operation/geom_segments.h"
#include "kernel/operation/text_outline.h"

namespace {

// The outlines of one text's node: its chains, then its hatch, at the tail of list, in the
// colour and on the layer of text (the entity a run belongs to). False when it showed nothing.
bool explode_node(MB_Draw_Node* node, const MB_Drawable& text, MB_Object_List& list)
{
    MB_Text_Outline outline;
    if (!mb_text_outline(node, outline) || outline.runs.empty()) return false;

    const long colour = text.general().color();
    Qe_Search_Loops search;
    (void)mb_outline_lines(outline, colour, text.general().layer(), list, search.input_list());
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
    hatch->general().layer(text.general().layer());
    hatch->get_hatchtype()->name(MB_String("_SOLID"));
    hatch->build_draw();
    list.add_tail(hatch);
    return true;
}

bool explode_text(MB_Drawable& text, MB_Object_List& list)
{
    return explode_node(text.draw_node(), text, list);
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
        copy->build_draw();
        list.add_tail(copy);
    }
    return true;
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
    std::vector<MB_Text*> runs;
    std::vector<MB_Line*> lines;
    for (MB_Object* o = list.get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto& d = *static_cast<MB_Drawable*>(o);
        if (o->object_id() == MB_Object::ID_TEXT) {
            if (explode_text(d, list)) (void)done.add(o);
        } else if (mb_text_parts(*o, runs, lines)) {
            if (explode_parts(d, runs, lines, list)) (void)done.add(o);
        }
    }
    int replaced = 0;
    for (Qe_Void_Node* n = done.head(); n; n = n->next()) ++replaced;
    if (replaced) (void)operation->delete_object_list(done, false);
    return replaced;
}
