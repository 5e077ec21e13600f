#include "geometry/void_list.h"

Qe_Void_List::Qe_Void_List(const Qe_Void_List& other) { append(other); }

Qe_Void_List& Qe_Void_List::operator=(const Qe_Void_List& other)
{
    if (this != &other) other.copy(*this);
    return *this;
}

Qe_Void_List::~Qe_Void_List() { clear(); }

void Qe_Void_List::clear()
{
    Qe_Void_Node* n = m_head;
    while (n) {
        Qe_Void_Node* next = n->next();
        delete n;
        n = next;
    }
    m_head = m_tail = nullptr;
}

int Qe_Void_List::count() const
{
    int c = 0;
    for (Qe_Void_Node* n = m_head; n; n = n->next()) ++c;
    return c;
}

void* Qe_Void_List::first() const { return m_head ? m_head->entity() : nullptr; }

void* Qe_Void_List::last() const { return m_tail ? m_tail->entity() : nullptr; }

Qe_Void_Node* Qe_Void_List::node_at(int i) const
{
    if (i < 0) return nullptr;
    Qe_Void_Node* n = m_head;
    while (n && i-- > 0) n = n->next();
    return n;
}

void* Qe_Void_List::get(int i) const
{
    Qe_Void_Node* n = node_at(i);
    return n ? n->entity() : nullptr;
}

bool Qe_Void_List::contains(void* p) const { return find(p) >= 0; }

int Qe_Void_List::find(void* p) const
{
    int i = 0;
    for (Qe_Void_Node* n = m_head; n; n = n->next(), ++i)
        if (n->entity() == p) return i;
    return -1;
}

bool Qe_Void_List::add(void* p)
{
    auto* n = new Qe_Void_Node(p);
    if (!m_tail) {
        m_head = m_tail = n;
    } else {
        n->previous(m_tail);
        m_tail->next(n);
        m_tail = n;
    }
    return true;
}

bool Qe_Void_List::addHead(void* p)
{
    auto* n = new Qe_Void_Node(p);
    if (!m_head) {
        m_head = m_tail = n;
    } else {
        n->next(m_head);
        m_head->previous(n);
        m_head = n;
    }
    return true;
}

bool Qe_Void_List::addIfAbsent(void* p)
{
    if (contains(p)) return false;
    return add(p);
}

bool Qe_Void_List::insert(void* p, int i)
{
    Qe_Void_Node* at = node_at(i);
    if (!at) return add(p);  // past the end, or an empty list
    return insert(p, at);
}

bool Qe_Void_List::insert(void* p, Qe_Void_Node* before)
{
    if (!before) return add(p);
    auto* n = new Qe_Void_Node(p);
    Qe_Void_Node* prev = before->previous();
    n->next(before);
    n->previous(prev);
    before->previous(n);
    if (prev)
        prev->next(n);
    else
        m_head = n;
    return true;
}

bool Qe_Void_List::put(void* p, int i)
{
    Qe_Void_Node* at = node_at(i);
    if (!at) return add(p);
    at->entity(p);
    return true;
}

void Qe_Void_List::unlink(Qe_Void_Node* node)
{
    Qe_Void_Node* prev = node->previous();
    Qe_Void_Node* next = node->next();
    if (prev)
        prev->next(next);
    else
        m_head = next;
    if (next)
        next->previous(prev);
    else
        m_tail = prev;
    delete node;
}

bool Qe_Void_List::removeAt(int i)
{
    Qe_Void_Node* at = node_at(i);
    if (!at) return false;
    unlink(at);
    return true;
}

bool Qe_Void_List::removeValue(void* p)
{
    for (Qe_Void_Node* n = m_head; n; n = n->next())
        if (n->entity() == p) {
            unlink(n);
            return true;
        }
    return false;
}

Qe_Void_Node* Qe_Void_List::remove_node(Qe_Void_Node* node)
{
    if (!node) return nullptr;
    Qe_Void_Node* next = node->next();
    unlink(node);
    return next;
}

void Qe_Void_List::copy(Qe_Void_List& dest) const
{
    if (&dest == this) return;
    dest.clear();
    dest.append(*this);
}

void Qe_Void_List::append(const Qe_Void_List& src)
{
    // Walk src up to its current tail, so appending a list to itself ends.
    Qe_Void_Node* last = src.m_tail;
    for (Qe_Void_Node* n = src.m_head; n; n = n->next()) {
        add(n->entity());
        if (n == last) break;
    }
}

void Qe_Void_List::reverse()
{
    Qe_Void_List items(*this);
    clear();
    for (Qe_Void_Node* n = items.m_tail; n; n = n->previous()) add(n->entity());
}
