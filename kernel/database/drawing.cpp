#include "kernel/database/drawing.h"

#include <climits>
#include <initializer_list>

#include "kernel/database/block.h"
#include "kernel/database/drawable.h"
#include "kernel/database/entity_source.h"
#include "kernel/database/layer.h"
#include "kernel/database/kind_hooks_p.h"
#include "kernel/database/line_type.h"
#include "kernel/database/name_index_p.h"

MB_Entity_Source::~MB_Entity_Source() = default;

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

const char* layer_name(MB_Object* o)
{
    return static_cast<MB_Layer*>(o)->name().ascii();
}

const char* block_name(MB_Object* o)
{
    return static_cast<MB_Block*>(o)->name().ascii();
}

const char* line_type_name(MB_Object* o)
{
    return static_cast<MB_Line_Type*>(o)->name();
}

}  // namespace

MB_Drawing::MB_Drawing() : MB_Drawing(MB_String()) {}

MB_Drawing::MB_Drawing(const MB_String& name)
    : m_filename(name),
      m_layer_index(std::make_unique<MB_Name_Index>(layer_list(), layer_name)),
      m_block_index(std::make_unique<MB_Name_Index>(block_list(), block_name)),
      m_line_type_index(std::make_unique<MB_Name_Index>(line_type_list(), line_type_name)),
      m_text_style_index(std::make_unique<MB_Name_Index>(text_style_list(), mb_text_style_name))
{
}

MB_Drawing::~MB_Drawing()
{
    if (m_temp_block && !has_block(m_temp_block)) delete m_temp_block;
    m_temp_block = nullptr;
    for (MB_Block* b : m_outer_blocks)
        if (!has_block(b)) delete b;
    m_outer_blocks.clear();
    for (List owned : {Entities, Blocks, Layers, Dim_Styles, Viewports, Named_Views, Text_Styles, Line_Types})
        m_lists[owned].kill_all();
    for (List borrowed : {Hidden, Layouts, Shape_Fonts, Mline_Types, Hatch_Types}) m_lists[borrowed].remove_all();
    // The indexes go before the lists they watch.
    m_layer_index.reset();
    m_block_index.reset();
    m_line_type_index.reset();
    m_text_style_index.reset();
}

void MB_Drawing::fo_position(Qe_Pt& p)
{
    const Qe_Pt previous = m_position;
    const double dx = p.x() - previous.x();
    const double dy = p.y() - previous.y();
    // The position is what a reader adding the differences back holds, not p itself: were
    // the two to differ by a rounding, each point would carry the roundings of all before it.
    const Qe_Pt next(previous.x() + dx, previous.y() + dy, p.z());
    if (mb_position_follows(next)) m_position = next;
    p.set_x(dx);
    p.set_y(dy);
}

void MB_Drawing::fi_position(Qe_Pt& p)
{
    p.set_x(p.x() + m_position.x());
    p.set_y(p.y() + m_position.y());
    if (mb_position_follows(p)) m_position = p;
}

MB_Layer* MB_Drawing::find_layer(const char* name)
{
    return static_cast<MB_Layer*>(m_layer_index->find(name, false));
}

MB_Block* MB_Drawing::find_block(const char* name)
{
    return static_cast<MB_Block*>(m_block_index->find(name, false));
}

MB_Line_Type* MB_Drawing::find_line_type(const char* name, MB_Layer* layer)
{
    if (name && layer && names_match(name, "bylayer")) return layer->line_type();
    return static_cast<MB_Line_Type*>(m_line_type_index->find(name, false));
}

MB_Text_Style* MB_Drawing::find_text_style(const char* name)
{
    if (name && names_match(name, "DEFAULT_STYLE")) return mb_default_text_style();
    return mb_text_style_of(m_text_style_index->find(name, false));
}

namespace {

// The first entry whose name equals name exactly: through the index for 8-bit names, by a
// walk for 16-bit ones (the index holds 8-bit names only).
template <typename T>
T* find_exact(MB_Name_Index& index, MB_Object_List& list, const MB_String& name)
{
    if (name.ascii() || name.length() == 0) {
        if (name.length() == 0) {
            for (MB_Object* o = list.get_head(); o; o = o->next())
                if (static_cast<T*>(o)->name() == name) return static_cast<T*>(o);
            return nullptr;
        }
        // The index compares up to the first NUL: confirm with the whole string.
        auto* found = static_cast<T*>(index.find(name.ascii(), true));
        if (!found || found->name() == name) return found;
    }
    for (MB_Object* o = list.get_head(); o; o = o->next())
        if (static_cast<T*>(o)->name() == name) return static_cast<T*>(o);
    return nullptr;
}

}  // namespace

MB_Layer* MB_Drawing::find_layer_exact(const MB_String& name)
{
    return find_exact<MB_Layer>(*m_layer_index, layer_list(), name);
}

MB_Block* MB_Drawing::find_block_exact(const MB_String& name)
{
    return find_exact<MB_Block>(*m_block_index, block_list(), name);
}

bool MB_Drawing::has_block(const MB_Object* obj)
{
    return m_block_index->contains(obj);
}

void MB_Drawing::open_block(MB_Block* block)
{
    if (!block || block == m_temp_block) return;
    if (m_temp_block) m_outer_blocks.push_back(m_temp_block);
    m_temp_block = block;
}

bool MB_Drawing::close_block(MB_Block* block)
{
    if (!block) return false;
    if (!m_temp_block) {
        // A block already in the list stays where it stands.
        if (!has_block(block)) block_list().add_tail(block);
        return true;
    }
    if (block != m_temp_block) return false;
    // A block reopened from the list (a rendition's start_block) is not linked twice.
    if (!has_block(block)) block_list().add_tail(block);
    m_temp_block = nullptr;
    if (!m_outer_blocks.empty()) {
        m_temp_block = m_outer_blocks.back();
        m_outer_blocks.pop_back();
    }
    return true;
}

void MB_Drawing::finish_temp_block()
{
    while (m_temp_block) (void)close_block(m_temp_block);
}

void MB_Drawing::current_layout(MB_Object* layout, MB_Object_List* entities)
{
    m_current_layout = layout;
    m_current_layout_list = layout ? entities : nullptr;
}

MB_Object_List& MB_Drawing::get_active_object_list()
{
    if (m_temp_block) return m_temp_block->object_list();
    if (m_current_layout && m_current_layout_list) return *m_current_layout_list;
    return object_list();
}

void MB_Drawing::add_object(MB_Object* obj)
{
    (m_temp_block ? m_temp_block->object_list() : object_list()).add_tail(obj);
}

void MB_Drawing::build_draw()
{
    for (MB_Object* o = block_list().get_head(); o; o = o->next()) static_cast<MB_Block*>(o)->build_draw();
    for (MB_Object* o = object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto* d = static_cast<MB_Drawable*>(o);
        MB_Layer* layer = d->general().layer();
        if (layer && !layer->visibility()) d->flag(MB_Drawable::State_Hidden);
        d->build_draw();
    }
}

void MB_Drawing::build_layer(MB_Layer* layer)
{
    if (!layer) return;
    for (MB_Object* o = get_active_object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto* d = static_cast<MB_Drawable*>(o);
        if (d->general().layer() != layer) continue;
        d->flag(layer->visibility() ? MB_Drawable::State_Normal : MB_Drawable::State_Hidden);
    }
}

void MB_Drawing::build_color()
{
    for (MB_Object* o = object_list().get_head(); o; o = o->next())
        if (o->is_drawable()) static_cast<MB_Drawable*>(o)->build_color();
}

void MB_Drawing::print(HDC, const Qe_Tran&) {}

MB_Layer* MB_Drawing::find_layer(unsigned long index)
{
    if (index > static_cast<unsigned long>(INT_MAX)) return nullptr;
    return static_cast<MB_Layer*>(layer_list().get(static_cast<int>(index)));
}
