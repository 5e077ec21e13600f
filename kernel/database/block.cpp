#include "kernel/database/block.h"

#include <algorithm>

#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/value_attribute.h"
#include "kernel/entities/insert.h"
#include "kernel/database/operation_context.h"
#include "kernel/stream/file_io.h"

namespace {
constexpr unsigned char k_begin_opcode = 'B';
constexpr unsigned char k_end_opcode = 'N';
constexpr unsigned char k_name_opcode = 'J';
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
        if (o->object_id() == ID_INSERT && static_cast<MB_Insert*>(o)->block() == this) list.add(o);
    return !list.is_empty();
}

MB_Result MB_Block::serialize(MB_File_IO& file)
{
    if (m_name.length() == 0 || m_members.is_empty()) return MB_Result::Success;
    // The framing records are the writer's own objects, not drawing content.
    MB_Recording_Pause pause;
    MB_Block_Begin begin(m_base, m_name.ascii(), m_desc);
    MB_Block_End end;
    pause.resume();
    // The first record that could not be written is the block's result.
    MB_Result r = begin.serialize(file);
    for (MB_Object* o = m_members.get_head(); r == 0 && o; o = o->next()) r = o->serialize(file);
    if (r == 0) r = end.serialize(file);
    return r;
}

MB_Result MB_Block::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Block::process(MB_File_IO&)
{
    return MB_Result::Success;
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

MB_Result MB_Block_Begin::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_begin_opcode);
    if (r == 0) r = file.write_position(m_base);
    if (r == 0) r = m_name.serialize(file, 0);
    if (r == 0) r = m_desc.serialize(file, 0);
    return r;
}

MB_Result MB_Block_Begin::materialize(const MB_Opcode&, MB_File_IO& file)
{
    Qe_Pt base;
    MB_Result r = file.read_position(base);
    if (r == 0) r = m_name.materialize(file);
    if (r == 0) r = m_desc.materialize(file);
    if (r == 0) m_base = base;
    return r;
}

MB_Result MB_Block_Begin::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    if (!drawing) return MB_Result::Success;
    // Definitions are never written inside one another: a begin inside an open definition
    // means the open one lost its end record. It is finished as it stands (it joins the
    // block list with its members) instead of being dropped, and reading goes on.
    if (MB_Block* open = drawing->temp_block()) (void)drawing->close_block(open);
    drawing->open_block(new MB_Block(m_base, m_name, m_desc));
    return MB_Result::Success;
}

MB_Block_End::~MB_Block_End() = default;

MB_Result MB_Block_End::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_end_opcode);
    return r;
}

MB_Result MB_Block_End::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Block_End::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    if (!drawing) return MB_Result::Success;
    m_block = drawing->temp_block();
    // An end without a begin closes nothing; reading goes on.
    if (m_block) (void)drawing->close_block(m_block);
    return MB_Result::Success;
}

MB_Block_Name::MB_Block_Name(MB_Drawing& drawing, const char* name) : m_name(name), m_block(drawing.find_block(name)) {}

MB_Block_Name::~MB_Block_Name()
{
    m_block = nullptr;
}

MB_Result MB_Block_Name::serialize(MB_File_IO& file)
{
    return mb_write_record_value(file, k_name_opcode, m_name);
}

MB_Result MB_Block_Name::materialize(const MB_Opcode&, MB_File_IO& file)
{
    return m_name.materialize(file);
}

MB_Result MB_Block_Name::process(MB_File_IO& file)
{
    file.fifo_rendition().block_name(m_name.ascii());
    return MB_Result::Success;
}
