#include "geometry/user_lists.h"

#include <cstring>

unsigned short Qe_User_Entity_List::m_id_no = 0;

constinit Qe_Void_List g_user_entity_list;
Qe_Void_List* g_user_ptlist_list = nullptr;

Qe_User_Entity_List::Qe_User_Entity_List() : m_id(m_id_no++) {}

Qe_User_Entity_List::Qe_User_Entity_List(const Qe_User_Entity_List& other)
    : m_items(other.m_items), m_id(other.m_id)
{
    std::memcpy(m_text, other.m_text, sizeof m_text);
}

// Assignment copies the nodes too: sharing them would leave two owners of one chain.
Qe_User_Entity_List& Qe_User_Entity_List::operator=(const Qe_User_Entity_List& other)
{
    if (this != &other) {
        m_items = other.m_items;
        std::memcpy(m_text, other.m_text, sizeof m_text);
        m_id = other.m_id;
    }
    return *this;
}

Qe_User_Entity_List::~Qe_User_Entity_List() = default;

Qe_User_Point_List::Qe_User_Point_List(const Qe_User_Point_List& other) : m_items(other.m_items), m_id(other.m_id)
{
    std::memcpy(m_text, other.m_text, sizeof m_text);
}

Qe_User_Point_List& Qe_User_Point_List::operator=(const Qe_User_Point_List& other)
{
    if (this != &other) {
        m_items = other.m_items;
        std::memcpy(m_text, other.m_text, sizeof m_text);
        m_id = other.m_id;
    }
    return *this;
}

Qe_User_Point_List::~Qe_User_Point_List() = default;

Qe_User_Point_List* get_user_point_list(unsigned short id)
{
    if (!g_user_ptlist_list || g_user_ptlist_list->count() < id + 1) return nullptr;
    for (Qe_Void_Node* node = g_user_ptlist_list->head(); node; node = node->next()) {
        auto* list = static_cast<Qe_User_Point_List*>(node->entity());
        if (list && list->id() == id) return list;
    }
    return nullptr;
}
