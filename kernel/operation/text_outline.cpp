#include "kernel/operation/text_outline.h"

#include <climits>

#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/object_list.h"
#include "kernel/display/draw_node.h"
#include "kernel/entity_base/line.h"

namespace {

constexpr int k_max_node_depth = 64;

void add_run(MB_Text_Outline& out, const Qe_Pt* p, long n, const Qe_Tran* t)
{
    if (!p || n < 2 || n > INT_MAX) return;
    out.run_sizes.push_back(static_cast<int>(n));
    for (long i = 0; i < n; ++i) out.points.push_back(t ? p[i] * *t : p[i]);
}

void collect(MB_Draw_Node& node, const Qe_Tran* t, int depth, MB_Text_Outline& out)
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

}  // namespace

bool mb_text_outline(MB_Draw_Node* node, MB_Text_Outline& out)
{
    if (!node) return false;
    collect(*node, nullptr, 0, out);
    return true;
}

MB_Lines* mb_outline_chain(const Qe_Pt* points, int n, long colour, MB_Layer* layer, bool display)
{
    auto* lines = new MB_Lines;
    lines->init(n, points);
    lines->general().color(colour);
    if (layer) lines->general().layer(layer);
    if (display)
        lines->build_draw();
    else
        lines->build_extent();
    return lines;
}

int mb_outline_lines(const MB_Text_Outline& outline, long colour, MB_Layer* layer, MB_Object_List& list,
                     Qe_Void_List& made, bool display)
{
    int count = 0;
    outline.for_each_run([&](const Qe_Pt* run, int n) {
        MB_Lines* lines = mb_outline_chain(run, n, colour, layer, display);
        list.add_tail(lines);
        (void)made.add(lines);
        ++count;
    });
    return count;
}
