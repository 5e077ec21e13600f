#include "kernel/database/block.h"

#include <algorithm>

#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/kind_hooks_p.h"

namespace {
constexpr const char* k_default_name = "Block";
constexpr const char* k_default_desc = "DESC";
constexpr const char* k_unnamed = "noname";

Qe_Tran base_transf(const Qe_Pt& base)
{
    return translate_transf(Qe_Vec(-base.x(), -base.y(), -base.z()));
}
}  // namespace

MB_Block::MB_Block() : m_name(k_default_name), m_desc(k_default_desc) {}

MB_Block::MB_Block(const Qe_Pt& base, const MB_String& name, const MB_String& desc)
    : m_base(base), m_name(name.length() > 0 ? name : MB_String(k_unnamed)), m_desc(desc), m_tran(base_transf(base))
{
}

MB_Block::~MB_Block()
{
    m_members.kill_all();
}

void MB_Block::base_pos(const Qe_Pt& base)
{
    m_base = base;
    m_tran = base_transf(base);
}

void MB_Block::build_draw()
{
    lay_out(true);
}

void MB_Block::build_extent()
{
    lay_out(false);
}

void MB_Block::lay_out(bool display)
{
    bool first = true;
    for (MB_Object* o = m_members.get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto* d = static_cast<MB_Drawable*>(o);
        if (d->flag() != MB_Drawable::State_Hidden) {
            if (display)
                d->build_draw();
            else
                d->build_extent();
            d->build_color();
        }
        const Qe_Rect& r = d->rect();
        if (first) {
            m_rect.set_rect(Qe_Pt(r.lt().x(), r.lt().y(), 0.0), Qe_Pt(r.rb().x(), r.rb().y(), 0.0));
            first = false;
            continue;
        }
        m_rect.set_rect(Qe_Pt(std::min(m_rect.lt().x(), r.lt().x()), std::max(m_rect.lt().y(), r.lt().y()), 0.0),
                        Qe_Pt(std::max(m_rect.rb().x(), r.rb().x()), std::min(m_rect.rb().y(), r.rb().y()), 0.0));
    }
    if (!first) m_rect.translate(m_tran);
}

bool MB_Block::copy_to(MB_Object*& target)
{
    if (target) return true;
    auto* block = new MB_Block;
    target = block;
    block->m_name = m_name;
    block->m_desc = m_desc;
    block->base_pos(m_base);
    for (MB_Object* o = m_members.get_head(); o; o = o->next()) {
        MB_Object* clone = nullptr;
        if (!o->copy_to(clone) || !clone) continue;
        clone->next(nullptr);
        clone->prev(nullptr);
        block->m_members.add_tail(clone);
    }
    return true;
}

void MB_Block::restore(const MB_Block& from)
{
    if (&from == this) return;
    m_name = from.m_name;
    m_desc = from.m_desc;
    base_pos(from.m_base);
}

bool MB_Block::get_insert_list(MB_Drawing* drawing, Qe_Void_List& list)
{
    list.clear();
    if (!drawing) return false;
    for (MB_Object* o = drawing->object_list().get_head(); o; o = o->next())
        if (o->object_id() == ID_INSERT && mb_insert_block(o) == this) list.add(o);
    return !list.is_empty();
}

MB_Block_Begin::MB_Block_Begin(const Qe_Pt& base, const char* name, const MB_String& desc)
    : m_base(base), m_name(name), m_desc(desc)
{
}

MB_Block_Begin::MB_Block_Begin(const MB_Block_Begin& other)
    : MB_Attribute(other), m_base(other.m_base), m_name(other.m_name), m_desc(other.m_desc), m_word(other.m_word)
{
}

MB_Block_Begin& MB_Block_Begin::operator=(const MB_Block_Begin& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    m_base = other.m_base;
    m_name = other.m_name;
    m_desc = other.m_desc;
    m_word = other.m_word;
    return *this;
}

MB_Block_Begin::~MB_Block_Begin() = default;

MB_Block_End::~MB_Block_End() = default;

MB_Block_Name::MB_Block_Name(MB_Drawing& drawing, const char* name) : m_name(name), m_block(drawing.find_block(name)) {}

MB_Block_Name::~MB_Block_Name()
{
    m_block = nullptr;
}
