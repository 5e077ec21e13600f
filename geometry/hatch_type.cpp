#include "geometry/hatch_type.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

constinit Qe_Hacthtype_List g_hatch_type_list;

namespace {

// Copies at most size − 1 characters and always terminates: names and descriptions come
// from pattern files and may be of any length.
void copy_text(char* field, size_t size, const char* text)
{
    if (!text) return;
    const size_t n = ::strnlen(text, size - 1);
    std::memcpy(field, text, n);
    field[n] = '\0';
}

}  // namespace

Qe_Hacthtype::~Qe_Hacthtype()
{
    for (Qe_Void_Node* n = m_data_list.head(); n; n = n->next()) std::free(n->entity());
    m_data_list.clear();
}

void Qe_Hacthtype::name(const char* text) { copy_text(m_name, sizeof m_name, text); }

void Qe_Hacthtype::desc(const char* text) { copy_text(m_desc, sizeof m_desc, text); }

void Qe_Hacthtype::add_data(const char* line)
{
    if (!line || !*line) return;
    char* copy = ::strdup(line);
    if (!copy) return;
    if (!m_data_list.add(copy)) std::free(copy);
}

Qe_Hacthtype_List::~Qe_Hacthtype_List()
{
    for (Qe_Void_Node* n = m_list.head(); n; n = n->next()) delete static_cast<Qe_Hacthtype*>(n->entity());
    m_list.clear();
}

Qe_Hacthtype* Qe_Hacthtype_List::add_htype(const char* name, const char* desc)
{
    auto* type = new (std::nothrow) Qe_Hacthtype;
    if (!type) return nullptr;
    if (!m_list.add(type)) {
        delete type;
        return nullptr;
    }
    type->name(name);
    type->desc(desc);
    return type;
}

Qe_Hacthtype* Qe_Hacthtype_List::find_htype(const char* name) const
{
    if (!name) return nullptr;
    for (Qe_Void_Node* n = m_list.head(); n; n = n->next()) {
        auto* type = static_cast<Qe_Hacthtype*>(n->entity());
        // Stored names are cut to the field, so a longer name is compared by what fits.
        if (::strncasecmp(type->name(), name, Qe_Hacthtype::TEXT_SIZE - 1) == 0) return type;
    }
    return nullptr;
}

Key_Point::~Key_Point() = default;
Loop_Hatch_Cal::~Loop_Hatch_Cal() = default;
Hatch_Filled_Cal::~Hatch_Filled_Cal() = default;
