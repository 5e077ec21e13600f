#include "kernel/entities/group.h"

#include <cstring>
#include <typeinfo>

#include "geometry/transform.h"
#include "kernel/database/operation_context.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/hatch.h"

namespace {

enum : int {
    k_key_display_width = -212,
};

MB_Drawable* member_of(const Qe_Void_Node* n)
{
    return static_cast<MB_Drawable*>(n->entity());
}

// A new copy of the drawable, or null when its class cannot be copied.
MB_Drawable* clone_of(MB_Drawable& d)
{
    MB_Object* copy = nullptr;
    if (!d.copy_to(copy) || !copy) {
        delete copy;
        return nullptr;
    }
    auto* drawable = dynamic_cast<MB_Drawable*>(copy);
    if (!drawable) delete copy;
    return drawable;
}

}  // namespace

MB_Group::MB_Group() = default;

MB_Group::MB_Group(const MB_Group& other) : MB_Drawable(other), m_base_pt(other.m_base_pt)
{
    std::memcpy(m_name, other.m_name, sizeof m_name);
    clone_members(other);
}

MB_Group& MB_Group::operator=(const MB_Group& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    m_base_pt = other.m_base_pt;
    std::memcpy(m_name, other.m_name, sizeof m_name);
    delete_members();
    clone_members(other);
    return *this;
}

MB_Group::~MB_Group()
{
    delete_members();
}

void MB_Group::delete_members()
{
    // Emptied first, so that a member's destructor never meets a half-deleted group.
    Qe_Void_List members;
    members.append(m_members);
    m_members.clear();
    for (Qe_Void_Node* n = members.head(); n; n = n->next()) delete member_of(n);
}

void MB_Group::clone_members(const MB_Group& other)
{
    // The clones belong to this group: recorded, a redo would link them into the drawing.
    MB_Recording_Pause pause;
    for (Qe_Void_Node* n = other.m_members.head(); n; n = n->next())
        if (MB_Drawable* m = member_of(n))
            if (MB_Drawable* c = clone_of(*m)) m_members.add(c);
}

void MB_Group::name(const char* text)
{
    std::memset(m_name, 0, sizeof m_name);
    if (text) std::strncpy(m_name, text, k_max_name);
}

MB_Result MB_Group::serialize(MB_File_IO& file)
{
    for (Qe_Void_Node* n = m_members.head(); n; n = n->next()) {
        MB_Drawable* m = member_of(n);
        if (!m) continue;
        const MB_Result r = m->serialize(file);
        if (r != 0) return r;
    }
    return MB_Result::Success;
}

MB_Result MB_Group::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Group::process(MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Group::copy_to(MB_Object*& target)
{
    MB_Group* g = nullptr;
    if (!target) {
        g = new MB_Group;
        target = g;
    } else {
        g = dynamic_cast<MB_Group*>(target);
        if (!g) return false;
    }
    if (g != this) {
        g->m_base_pt = m_base_pt;
        std::memcpy(g->m_name, m_name, sizeof m_name);
        MB_Recording_Pause pause;
        // Members of one class are copied in place, so that what refers to them (undo
        // steps of the members themselves) still finds them.
        Qe_Void_Node* dst = g->m_members.head();
        for (Qe_Void_Node* n = m_members.head(); n; n = n->next()) {
            MB_Drawable* s = member_of(n);
            if (!s) continue;
            if (!dst) {
                if (MB_Drawable* c = clone_of(*s)) g->m_members.add(c);
                continue;
            }
            MB_Drawable* d = member_of(dst);
            MB_Object* in_place = d;
            if (d && typeid(*d) == typeid(*s) && s->copy_to(in_place)) {
                dst = dst->next();
                continue;
            }
            delete d;
            if (MB_Drawable* c = clone_of(*s)) {
                dst->entity(c);
                dst = dst->next();
            } else {
                dst = g->m_members.remove_node(dst);
            }
        }
        while (dst) {
            delete member_of(dst);
            dst = g->m_members.remove_node(dst);
        }
    }
    return MB_Drawable::copy_to(target);
}

MB_Hatch* MB_Group::find_hatch()
{
    return find_hatch(m_members);
}

MB_Hatch* MB_Group::find_hatch(Qe_Void_List& members)
{
    for (Qe_Void_Node* n = members.head(); n; n = n->next()) {
        MB_Drawable* m = member_of(n);
        if (!m) continue;
        if (m->object_id() == ID_HATCH) return static_cast<MB_Hatch*>(m);
        // A subgroup without a hatch does not end the search.
        if (m->object_id() == ID_GROUP)
            if (MB_Hatch* h = find_hatch(static_cast<MB_Group*>(m)->m_members)) return h;
    }
    return nullptr;
}

double MB_Group::get_real(int key)
{
    if (key == mb_key::Pattern_Scale) {
        MB_Hatch* h = find_hatch();
        return h ? h->get_real(key) : 0.0;
    }
    return MB_Drawable::get_real(key);
}

const char* MB_Group::get_string(int key)
{
    if (key == mb_key::Pattern_Name) {
        MB_Hatch* h = find_hatch();
        const char* name = h ? h->get_string(key) : nullptr;
        if (name && *name) return name;
    }
    return MB_Drawable::get_string(key);
}

void MB_Group::set_real(long key, double value)
{
    if (key == mb_key::Pattern_Scale) {
        if (MB_Hatch* h = find_hatch()) h->set_real(key, value);
        return;
    }
    MB_Drawable::set_real(key, value);
}

void MB_Group::set_int(long key, long value)
{
    if (key == k_key_display_width)
        for (Qe_Void_Node* n = m_members.head(); n; n = n->next())
            if (MB_Drawable* m = member_of(n)) m->set_int(key, value);
    MB_Drawable::set_int(key, value);
}

void MB_Group::set_string(long key, const char* value)
{
    if (key == mb_key::Pattern_Name) {
        if (MB_Hatch* h = find_hatch()) h->set_string(key, value);
        return;
    }
    MB_Drawable::set_string(key, value);
}

char MB_Group::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    for (Qe_Void_Node* n = m_members.head(); n; n = n->next())
        if (MB_Drawable* m = member_of(n))
            if (m->pick(at, hits, tol, nearest, kind, extra)) return 1;
    return 0;
}

void MB_Group::build_draw()
{
    for (Qe_Void_Node* n = m_members.head(); n; n = n->next())
        if (MB_Drawable* m = member_of(n)) m->build_draw();
    rect() = Qe_Rect();
    api_mb_get_entity_list_rect(m_members, rect());
}

void MB_Group::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    for (Qe_Void_Node* n = m_members.head(); n; n = n->next())
        if (MB_Drawable* m = member_of(n)) m->draw(hdc, qdc, t);
}

void MB_Group::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_base_pt *= t;
    for (Qe_Void_Node* n = m_members.head(); n; n = n->next())
        if (MB_Drawable* m = member_of(n)) {
            m->translate(t, 0);
            m->build_draw();
        }
}
