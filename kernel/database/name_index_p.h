#pragma once

// A name index over one of the drawing's table lists (layers, blocks, line types, text
// styles), kept in step with the list through its observer hooks, so that resolving a
// name while a large drawing loads is not a walk of the whole table.

#include <string>
#include <unordered_map>
#include <vector>

#include "kernel/database/object_list.h"

class MB_Name_Index final : public MB_List_Observer {
public:
    // The 8-bit name of an entry, null for one without.
    using Name_Of = const char* (*)(MB_Object*);

    MB_Name_Index(MB_Object_List& list, Name_Of name_of);
    ~MB_Name_Index() override;
    MB_Name_Index(const MB_Name_Index&) = delete;
    MB_Name_Index& operator=(const MB_Name_Index&) = delete;

    void linked(MB_Object* obj) override;
    void unlinking(MB_Object* obj) override;
    void changed() override { m_dirty = true; }

    // The first entry in list order whose name equals name ignoring ASCII case, or, with
    // exact, byte for byte; null when none or for a null name.
    MB_Object* find(const char* name, bool exact);
    // True when obj is a member of the list.
    bool contains(const MB_Object* obj);

private:
    static std::string key(const char* name);
    void rebuild();
    // Candidates whose name still gives key; false when an entry was renamed in place
    // since it was indexed (then the index is rebuilt).
    bool still_named(const std::vector<MB_Object*>& entries, const std::string& key);

    MB_Object_List& m_list;
    Name_Of m_name_of;
    bool m_dirty = true;
    // Entries by their case-folded name, and each member with the key it was indexed
    // under (entries without an 8-bit name are members under no key).
    std::unordered_map<std::string, std::vector<MB_Object*>> m_by_key;
    std::unordered_map<const MB_Object*, std::string> m_key_of;
};
