#include "kernel/operation/flat_create_block.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/operation_context.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/group.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/solid.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/flat_create_p.h"
#include "platform/system.h"

using mb_flat::active_drawing;
using mb_flat::entity_list;
using mb_flat::from_xyz;
using mb_flat::handle;
using mb_flat::place;

namespace {

// Members nested deeper than this (groups in groups) are not followed.
constexpr int k_max_depth = 64;

// Numbers the frozen dimensions' blocks for the life of the process.
int g_dimension_block_counter = 0;

MB_Dimension* new_dimension(const Qe_Pt& p2, const Qe_Pt& p3, const Qe_Pt& p4)
{
    auto* dim = new MB_Dimension();
    dim->dim_pt2(p2);
    dim->dim_pt3(p3);
    dim->dim_pt4(p4);
    return dim;
}

// The points of the three-point dimension's line: A and B; false when p1 and p2 give no
// direction (aligned) or the kind is neither linear nor aligned.
bool dimension_line(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, short kind, Qe_Pt& a, Qe_Pt& b)
{
    if (kind == MB_Dimension::Linear) {
        const double xmin = std::min(p1.x(), p2.x());
        const double xmax = std::max(p1.x(), p2.x());
        if (p3.x() < xmin || p3.x() > xmax) {
            a = Qe_Pt(p3.x(), p1.y(), 0.0);
            b = Qe_Pt(p3.x(), p2.y(), 0.0);
        } else {
            a = Qe_Pt(p1.x(), p3.y(), 0.0);
            b = Qe_Pt(p2.x(), p3.y(), 0.0);
        }
        return true;
    }
    if (kind == MB_Dimension::Aligned) {
        const Qe_Vec d = p1 - p2;
        const double len = d.len();
        if (!(len >= resabs)) return false;
        const Qe_Uvec u(d.x() / len, d.y() / len, d.z() / len);
        a = proj_pt_to_line(p1, p3, u);
        b = proj_pt_to_line(p2, p3, u);
        return true;
    }
    return false;
}

// "%d" seven times: year, month, day, hour, minute, second (UTC) and the counter, raised
// until the drawing has no block of that name.
std::string dimension_block_name(MB_Drawing& d)
{
    SYSTEMTIME t{};
    GetSystemTime(&t);
    for (;;) {
        char name[96];
        std::snprintf(name, sizeof name, "%d%d%d%d%d%d%d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                      g_dimension_block_counter);
        g_dimension_block_counter = g_dimension_block_counter == INT_MAX ? 0 : g_dimension_block_counter + 1;
        if (!d.find_block(name)) return name;
    }
}

// The drawable members a container holds in a list of its own (group members).
void for_each_drawable(MB_Drawable& e, int depth, const std::function<void(MB_Drawable&)>& f);

void for_each_in(MB_Object_List& list, int depth, const std::function<void(MB_Drawable&)>& f)
{
    for (MB_Object* o = list.get_head(); o; o = o->next())
        if (o->is_drawable()) for_each_drawable(*static_cast<MB_Drawable*>(o), depth, f);
}

void for_each_drawable(MB_Drawable& e, int depth, const std::function<void(MB_Drawable&)>& f)
{
    f(e);
    if (depth >= k_max_depth) return;
    if (e.object_id() == MB_Object::ID_GROUP)
        for (Qe_Void_Node* n = static_cast<MB_Group&>(e).object_list().head(); n; n = n->next())
            if (auto* m = static_cast<MB_Drawable*>(n->entity())) for_each_drawable(*m, depth + 1, f);
    if (MB_Object_List* members = e.object_list()) for_each_in(*members, depth + 1, f);
}

// Takes the source's table entries out of its list: each maps to the target's entry of the
// same name, or moves over to the target's list when the target has none.
template <class T, class Name, class Find>
std::unordered_map<const T*, T*> merge_table(MB_Object_List& from, MB_Object_List& to, Name name, Find find)
{
    std::unordered_map<const T*, T*> map;
    std::vector<T*> entries;
    for (MB_Object* o = from.get_head(); o; o = o->next()) entries.push_back(static_cast<T*>(o));
    for (T* e : entries) {
        T* same = find(name(*e));
        if (same) {
            map[e] = same;
            continue;
        }
        from.remove(e);
        to.add_tail(e);
        map[e] = e;
    }
    return map;
}

template <class T>
T* mapped(const std::unordered_map<const T*, T*>& map, T* entry)
{
    const auto it = map.find(entry);
    return it == map.end() ? entry : it->second;
}

}  // namespace

// ---- dimensions ----

mb_handle api_mb_create_dimension(char* text, char* block_name, char*, const double* p1, const double* p2,
                                  const double* p3, const double*, const double* p5, const double* p6,
                                  const double* p7, double, double, double, double, double v5, double, int)
{
    MB_Drawing* d = active_drawing();
    if (!d || !text || !block_name || !p1 || !p2 || !p3 || !p5 || !p6 || !p7) return 0;
    auto* dim = new MB_Dimension();
    dim->dim_text(text);
    dim->block_name(block_name, *d);
    dim->definition_pt(from_xyz(p1));
    dim->text_mid(from_xyz(p2));
    dim->insert_pt(from_xyz(p3));
    dim->dim_pt2(from_xyz(p5));
    dim->dim_pt3(from_xyz(p6));
    dim->dim_pt4(from_xyz(p7));
    dim->text_angle(v5);
    return handle(place(*d, dim, false));
}

mb_handle api_mb_create_dimension(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, short kind)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    // The dimension and the entities frozen from it are working objects: only the block and
    // its reference are drawing content.
    MB_Recording_Pause pause;
    std::vector<std::unique_ptr<MB_Drawable>> work;
    {
        std::unique_ptr<MB_Dimension> dim(new_dimension(p1, p2, Qe_Pt()));
        dim->flag(static_cast<unsigned char>(kind));
        Qe_Pt a, b;
        if (dimension_line(p1, p2, p3, kind, a, b)) {
            dim->definition_pt(b);
            dim->text_mid(a + (b - a) / 2.0);
            dim->build_draw();
            const long colour = dim->general().color();
            dim->picture_entities(work, &colour);
        }
    }
    if (work.empty()) return 0;
    Qe_Void_List list;
    for (const auto& e : work) list.add(e.get());
    const std::string name = dimension_block_name(*d);
    pause.resume();
    const Qe_Pt origin(0.0, 0.0, 0.0);
    if (api_mb_create_block(name.c_str(), "DDD", origin, list))
        (void)api_mb_create_insert(name.c_str(), origin, 1.0, 1.0, 1.0, 0.0, true);
    return 0;
}

mb_handle api_mb_create_dimension(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, const Qe_Pt& p4,
                                  const Qe_Pt& p5, short kind)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    MB_Dimension* dim = new_dimension(p1, p2, p3);
    dim->definition_pt(p4);
    dim->arcdef_pt(p5);
    dim->flag(static_cast<unsigned char>(kind));
    return handle(place(*d, dim));
}

mb_handle api_mb_create_radius_demension(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, short kind)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    auto* dim = new MB_Dimension();
    dim->dim_pt4(p1);
    dim->definition_pt(p2);
    dim->text_mid(p3);
    dim->flag(static_cast<unsigned char>(kind));
    return handle(place(*d, dim));
}

mb_handle api_mb_create_len_dimension(MB_Drawable* entity, const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3,
                                      char*, char*)
{
    MB_Drawing* d = active_drawing();
    if (!d) return 0;
    auto* dim = new MB_Dimension();
    if (!entity) {
        dim->definition_pt(p1);
        dim->dim_pt2(p1);
        dim->dim_pt3(p2);
        dim->dim_pt4(p3);
        dim->text_mid(p3);
    }
    return handle(place(*d, dim));
}

// ---- blocks and references ----

mb_handle api_mb_create_block(const char* name, const char* desc, const Qe_Pt& base, Qe_Void_List& ents)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name || !desc || !ents.head()) return 0;
    const Qe_Tran move = translate_transf(Qe_Pt(0.0, 0.0, 0.0) - base);
    std::vector<std::unique_ptr<MB_Drawable>> copies;
    {
        // Copies made to be moved: what the drawing gains is recorded when they join the block.
        MB_Recording_Pause pause;
        for (Qe_Void_Node* n = ents.head(); n; n = n->next()) {
            auto* e = static_cast<MB_Object*>(n->entity());
            if (!e || !e->is_drawable()) continue;
            MB_Object* copy = nullptr;
            if (!e->copy_to(copy) || !copy) {
                delete copy;
                continue;
            }
            auto* c = static_cast<MB_Drawable*>(copy);
            // A copy may carry its original's list links.
            c->next(nullptr);
            c->prev(nullptr);
            copies.emplace_back(c);
            c->translate(move, 0);
            c->build_draw();
        }
    }
    if (copies.empty()) return 0;
    auto* block = new MB_Block(Qe_Pt(0.0, 0.0, 0.0), MB_String(name), MB_String(desc));
    for (auto& c : copies) {
        c->create_cmd();
        block->object_list().add_tail(c.release());
    }
    block->build_draw();
    d->block_list().add_tail(block);
    return handle(block);
}

MB_Insert* api_mb_create_block_by_drawing(MB_Drawing& source, MB_Drawing& target)
{
    // Moving a drawing into itself would chase its own blocks round its block list.
    if (&source == &target) return nullptr;

    // Table entries first, so that what moves can be re-pointed to the target's.
    auto line_types = merge_table<MB_Line_Type>(
        source.line_type_list(), target.line_type_list(), [](MB_Line_Type& t) { return t.name(); },
        [&](const char* name) { return target.find_line_type(name, nullptr); });
    auto layers = merge_table<MB_Layer>(
        source.layer_list(), target.layer_list(), [](MB_Layer& l) { return l.name().ascii(); },
        [&](const char* name) { return name ? target.find_layer(name) : nullptr; });
    for (auto& [from, to] : layers)
        if (from == to) to->line_type(mapped(line_types, to->line_type()));
    const auto repoint = [&](MB_Drawable& e) {
        e.general().layer(mapped(layers, e.general().layer()));
        e.general().line_type(mapped(line_types, e.general().line_type()));
    };

    std::vector<MB_Object*> blocks;
    for (MB_Object* o = source.block_list().get_head(); o; o = o->next()) blocks.push_back(o);
    for (MB_Object* o : blocks) {
        source.block_list().remove(o);
        for_each_in(static_cast<MB_Block*>(o)->object_list(), 0, repoint);
        target.block_list().add_tail(o);
    }

    auto* block = new MB_Block(Qe_Pt(0.0, 0.0, 0.0), source.filename(), MB_String(""));
    std::vector<MB_Object*> entities;
    for (MB_Object* o = source.object_list().get_head(); o; o = o->next()) entities.push_back(o);
    for (MB_Object* o : entities) {
        source.object_list().remove(o);
        if (o->is_drawable()) for_each_drawable(*static_cast<MB_Drawable*>(o), 0, repoint);
        block->object_list().add_tail(o);
    }
    block->build_draw();
    target.block_list().add_tail(block);

    auto* insert = new MB_Insert(Qe_Pt(0.0, 0.0, 0.0), 0.0, 1.0, 1.0, 1.0);
    insert->block(block);
    insert->build_draw();
    target.object_list().add_tail(insert);
    return insert;
}

namespace {

// The reference both insert forms make: bound by name, its transform computed, built.
MB_Insert* new_insert(MB_Drawing& d, const Qe_Pt& point, double sx, double sy, double sz, double angle,
                      const char* block_name, bool recorded)
{
    MB_Insert* insert = nullptr;
    if (recorded) {
        insert = new MB_Insert(point, angle, sx, sy, sz);
    } else {
        MB_Recording_Pause pause;
        insert = new MB_Insert(point, angle, sx, sy, sz);
    }
    insert->block(MB_String(block_name), d);
    insert->build_transf();
    insert->build_draw();
    return insert;
}

}  // namespace

bool api_mb_create_insert(MB_Insert*& insert, const double* point, double sx, double sy, double sz, double angle,
                          const char* block_name)
{
    MB_Drawing* d = active_drawing();
    if (!d || !point || !block_name) return false;
    MB_Insert* made = new_insert(*d, from_xyz(point), sx, sy, sz, angle, block_name, true);
    entity_list(*d).add_tail(made);
    insert = made;
    return true;
}

mb_handle api_mb_create_insert(const char* block_name, const Qe_Pt& point, double sx, double sy, double sz,
                               double angle, bool add)
{
    MB_Drawing* d = active_drawing();
    if (!d || !block_name) return 0;
    // One left out of the drawing is the caller's, not drawing content.
    MB_Insert* insert = new_insert(*d, point, sx, sy, sz, angle, block_name, add);
    if (add) entity_list(*d).add_tail(insert);
    return handle(insert);
}

// ---- groups ----

mb_handle api_mb_create_group(char* name, Qe_Void_List& ents)
{
    MB_Drawing* d = active_drawing();
    if (!d || !name || !ents.head()) return 0;
    // The group owns its members: each leaves the list that holds it, or both would free it
    // (undoing the group's creation hands them back).
    std::vector<MB_Object_List*> holders{&d->object_list()};
    if (d->temp_block()) holders.push_back(&d->temp_block()->object_list());
    if (d->current_layout_list() && d->current_layout_list() != &d->object_list())
        holders.push_back(d->current_layout_list());
    std::unordered_map<const MB_Object*, MB_Object_List*> holder;
    for (MB_Object_List* list : holders)
        for (MB_Object* o = list->get_head(); o; o = o->next()) holder.emplace(o, list);

    std::vector<MB_Drawable*> chosen;
    std::unordered_set<const MB_Object*> seen;
    for (Qe_Void_Node* n = ents.head(); n; n = n->next()) {
        auto* e = static_cast<MB_Object*>(n->entity());
        // Each once: a member listed twice would be owned twice. One linked into a list
        // out of reach here (a closed block) stays there.
        if (!e || !e->is_drawable() || !seen.insert(e).second) continue;
        if (!holder.count(e) && (e->prev() || e->next())) continue;
        chosen.push_back(static_cast<MB_Drawable*>(e));
    }
    if (chosen.empty()) return 0;
    Qe_Void_List listed;
    for (MB_Drawable* e : chosen) listed.add(e);
    Qe_Rect rect;
    const bool has_rect = api_mb_get_entity_list_rect(listed, rect);

    auto* group = new MB_Group();
    if (has_rect) group->base_pt(rect.lt() + (rect.rb() - rect.lt()) / 2.0);
    group->name(name);
    for (MB_Drawable* e : chosen) {
        const auto it = holder.find(e);
        if (it != holder.end()) (void)it->second->remove(e);
        e->next(nullptr);
        e->prev(nullptr);
        group->object_list().add(e);
    }
    return handle(place(*d, group));
}
