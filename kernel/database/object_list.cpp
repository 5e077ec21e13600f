#include "kernel/database/object_list.h"

#include "kernel/database/object.h"
#include "kernel/database/operation_context.h"

MB_Object_List::~MB_Object_List()
{
    if (m_undo_refs > 0) api_rec_forget_list(this);
}

void MB_Object_List::linked(MB_Object* obj)
{
    if (m_observer) m_observer->linked(obj);
    if (obj->is_named_by_undo()) api_rec_linked(obj, this);
}

void MB_Object_List::unlinking(MB_Object* obj)
{
    if (m_observer) m_observer->unlinking(obj);
    if (obj->is_named_by_undo()) api_rec_unlinking(obj, this);
}

MB_Object* MB_Object_List::get(int index) const
{
    if (index < 0) return nullptr;
    MB_Object* o = m_head;
    for (; o && index > 0; --index) o = o->next();
    return o;
}

long MB_Object_List::count() const
{
    long n = 0;
    for (MB_Object* o = m_head; o; o = o->next()) ++n;
    return n;
}

void MB_Object_List::add_tail(MB_Object* obj)
{
    if (!obj || obj == m_tail) return;
    obj->prev(m_tail);
    obj->next(nullptr);
    if (m_tail)
        m_tail->next(obj);
    else
        m_head = obj;
    m_tail = obj;
    linked(obj);
}

void MB_Object_List::add_head(MB_Object* obj)
{
    if (!obj || obj == m_head) return;
    obj->next(m_head);
    obj->prev(nullptr);
    if (m_head)
        m_head->prev(obj);
    else
        m_tail = obj;
    m_head = obj;
    linked(obj);
}

void MB_Object_List::insert(MB_Object* obj, MB_Object* before)
{
    if (!obj || obj == before) return;
    if (!before || before == m_head) {
        add_head(obj);
        return;
    }
    MB_Object* p = before->prev();
    obj->prev(p);
    obj->next(before);
    if (p) p->next(obj);
    before->prev(obj);
    linked(obj);
}

void MB_Object_List::insert(MB_Object* obj, int index)
{
    insert(obj, get(index));
}

void MB_Object_List::unlink(MB_Object* obj)
{
    unlinking(obj);
    MB_Object* p = obj->prev();
    MB_Object* n = obj->next();
    if (p)
        p->next(n);
    else
        m_head = n;
    if (n)
        n->prev(p);
    else
        m_tail = p;
}

bool MB_Object_List::remove(MB_Object* obj)
{
    if (!obj) return false;
    // Membership is found by walking: a non-member's links may be stale copies.
    MB_Object* o = m_head;
    while (o && o != obj) o = o->next();
    if (!o) return false;
    unlink(obj);
    return true;
}

bool MB_Object_List::remove_all()
{
    for (MB_Object* o = m_head; o;) {
        unlinking(o);
        MB_Object* n = o->next();
        o->next(nullptr);
        o->prev(nullptr);
        o = n;
    }
    m_head = m_tail = nullptr;
    if (m_observer) m_observer->changed();
    return true;
}

void MB_Object_List::kill_head()
{
    if (MB_Object* o = m_head) {
        unlink(o);
        delete o;
    }
}

void MB_Object_List::kill_tail()
{
    if (MB_Object* o = m_tail) {
        unlink(o);
        delete o;
    }
}

void MB_Object_List::kill_all()
{
    // Detach the chain first, so that a destructor never sees a half-killed list.
    MB_Object* o = m_head;
    m_head = m_tail = nullptr;
    if (m_observer) m_observer->changed();
    while (o) {
        MB_Object* n = o->next();
        delete o;
        o = n;
    }
}

void MB_Object_List::kill_object(MB_Object* obj)
{
    if (remove(obj)) delete obj;
}
