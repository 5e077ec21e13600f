#include "kernel/database/name_index_p.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "kernel/database/object.h"

namespace {

// The key of an entry without an 8-bit name; no name folds to it (it holds a NUL byte).
const std::string k_unnamed(1, '\0');

}  // namespace

MB_Name_Index::MB_Name_Index(MB_Object_List& list, Name_Of name_of) : m_list(list), m_name_of(name_of)
{
    m_list.observer(this);
}

MB_Name_Index::~MB_Name_Index()
{
    if (m_list.observer() == this) m_list.observer(nullptr);
}

std::string MB_Name_Index::key(const char* name)
{
    if (!name) return k_unnamed;
    // ASCII case only: bytes of multi-byte text compare exactly, whatever the locale.
    std::string k(name);
    for (char& c : k)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return k;
}

void MB_Name_Index::linked(MB_Object* obj)
{
    if (m_dirty) return;
    std::string k = key(m_name_of(obj));
    auto [it, added] = m_key_of.try_emplace(obj, k);
    if (!added) {
        // Linked again without leaving: the list's chain was rebuilt around it.
        m_dirty = true;
        return;
    }
    m_by_key[std::move(k)].push_back(obj);
}

void MB_Name_Index::unlinking(MB_Object* obj)
{
    if (m_dirty) return;
    auto it = m_key_of.find(obj);
    if (it == m_key_of.end()) return;
    auto entries = m_by_key.find(it->second);
    if (entries != m_by_key.end()) {
        std::vector<MB_Object*>& v = entries->second;
        v.erase(std::find(v.begin(), v.end(), obj));
        if (v.empty()) m_by_key.erase(entries);
    }
    m_key_of.erase(it);
}

void MB_Name_Index::rebuild()
{
    m_by_key.clear();
    m_key_of.clear();
    m_dirty = false;
    for (MB_Object* o = m_list.get_head(); o; o = o->next()) linked(o);
}

bool MB_Name_Index::still_named(const std::vector<MB_Object*>& entries, const std::string& k)
{
    for (MB_Object* o : entries)
        if (key(m_name_of(o)) != k) return false;
    return true;
}

MB_Object* MB_Name_Index::find(const char* name, bool exact)
{
    if (!name) return nullptr;
    const std::string k = key(name);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_dirty) rebuild();
        auto it = m_by_key.find(k);
        if (it == m_by_key.end()) return nullptr;
        if (!still_named(it->second, k)) {
            m_dirty = true;
            continue;
        }
        std::unordered_set<const MB_Object*> matching;
        for (MB_Object* o : it->second)
            if (!exact || std::strcmp(m_name_of(o), name) == 0) matching.insert(o);
        if (matching.empty()) return nullptr;
        if (matching.size() == 1) return const_cast<MB_Object*>(*matching.begin());
        // Several entries of one name: the first in list order.
        for (MB_Object* o = m_list.get_head(); o; o = o->next())
            if (matching.count(o)) return o;
        m_dirty = true;  // the chain no longer holds what was indexed
    }
    return nullptr;
}

bool MB_Name_Index::contains(const MB_Object* obj)
{
    if (m_dirty) rebuild();
    return obj && m_key_of.count(obj) != 0;
}
