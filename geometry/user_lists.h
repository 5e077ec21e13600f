#pragma once

// Numbered collections of untyped items that a host keeps for itself: user entity lists
// and user point lists. Each list owns its nodes, never its items. The library itself
// only constructs and destroys them.

#include "geometry/fendral_api.h"
#include "geometry/void_list.h"

class FENDRAL_API Qe_User_Entity_List {
public:
    // Takes the next number of the process-wide counter.
    Qe_User_Entity_List();
    // Copies hold new nodes with the same item pointers, the text and the id.
    Qe_User_Entity_List(const Qe_User_Entity_List& other);
    Qe_User_Entity_List& operator=(const Qe_User_Entity_List& other);
    virtual ~Qe_User_Entity_List();

    unsigned short id() const { return m_id; }
    Qe_Void_List& items() { return m_items; }
    const Qe_Void_List& items() const { return m_items; }
    // The host's 256-character text, copied with the list.
    char* text() { return m_text; }
    const char* text() const { return m_text; }

    static unsigned short m_id_no;

private:
    Qe_Void_List m_items;
    char m_text[256] = {};
    unsigned short m_id;
};

class FENDRAL_API Qe_User_Point_List {
public:
    Qe_User_Point_List() = default;
    Qe_User_Point_List(const Qe_User_Point_List& other);
    Qe_User_Point_List& operator=(const Qe_User_Point_List& other);
    virtual ~Qe_User_Point_List();

    unsigned short id() const { return m_id; }
    void id(unsigned short v) { m_id = v; }
    Qe_Void_List& items() { return m_items; }
    const Qe_Void_List& items() const { return m_items; }
    char* text() { return m_text; }
    const char* text() const { return m_text; }

private:
    Qe_Void_List m_items;
    char m_text[256] = {};
    unsigned short m_id = 0;
};

// Empty unless a host fills it.
extern FENDRAL_API Qe_Void_List g_user_entity_list;
// A host's list of Qe_User_Point_List*; null unless a host sets it.
extern FENDRAL_API Qe_Void_List* g_user_ptlist_list;

// The first listed point list with this id; null when g_user_ptlist_list is not set or
// holds fewer than id + 1 entries, or none carries the id.
FENDRAL_API Qe_User_Point_List* get_user_point_list(unsigned short id);
