#include "kernel/database/drawing.h"

#include <climits>
#include <initializer_list>

#include "kernel/database/layer.h"

namespace {

// Table names match ignoring ASCII case only: bytes of multi-byte text compare exactly,
// whatever the process locale.
bool names_match(const char* a, const char* b)
{
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (fold(ca) != fold(cb)) return false;
        if (ca == 0) return true;
    }
}

}  // namespace

MB_Drawing::MB_Drawing() = default;

MB_Drawing::MB_Drawing(const MB_String& name) : m_filename(name) {}

MB_Drawing::~MB_Drawing()
{
    for (List owned : {Entities, Blocks, Layers, Dim_Styles, Viewports, Named_Views, Text_Styles, Line_Types})
        m_lists[owned].kill_all();
    for (List borrowed : {Hidden, Layouts, Shape_Fonts, Mline_Types, Hatch_Types}) m_lists[borrowed].remove_all();
}

void MB_Drawing::fo_position(Qe_Pt& p)
{
    const Qe_Pt previous = m_position;
    m_position = p;
    p.set_x(p.x() - previous.x());
    p.set_y(p.y() - previous.y());
}

void MB_Drawing::fi_position(Qe_Pt& p)
{
    p.set_x(p.x() + m_position.x());
    p.set_y(p.y() + m_position.y());
    m_position = p;
}

MB_Layer* MB_Drawing::find_layer(const char* name)
{
    if (!name) return nullptr;
    for (MB_Object* o = layer_list().get_head(); o; o = o->next()) {
        auto* layer = static_cast<MB_Layer*>(o);
        const char* text = layer->name().ascii();
        if (text && names_match(text, name)) return layer;
    }
    return nullptr;
}

MB_Layer* MB_Drawing::find_layer(unsigned long index)
{
    if (index > static_cast<unsigned long>(INT_MAX)) return nullptr;
    return static_cast<MB_Layer*>(layer_list().get(static_cast<int>(index)));
}
