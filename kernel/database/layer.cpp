#include "kernel/database/layer.h"

#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/value_attribute.h"
#include "kernel/stream/file_io.h"

namespace {
constexpr int k_key_name = -310;
constexpr unsigned char k_layer_opcode = 'y';
constexpr unsigned char k_layer_name_opcode = 'x';
}  // namespace

MB_Layer::MB_Layer() : m_name("layer0"), m_flag(Flag_On) {}

MB_Layer::MB_Layer(const MB_String& name) : m_name(name) {}

MB_Layer::MB_Layer(const MB_Layer& other)
    : MB_Attribute(other),
      m_name(other.m_name),
      m_id(other.m_id),
      m_flag(other.m_flag),
      m_line_type(other.m_line_type),
      m_width(other.m_width),
      m_color(other.m_color)
{
}

MB_Layer& MB_Layer::operator=(const MB_Layer& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    m_name = other.m_name;
    m_id = other.m_id;
    m_flag = other.m_flag;
    m_line_type = other.m_line_type;
    m_width = other.m_width;
    m_color = other.m_color;
    return *this;
}

MB_Layer::~MB_Layer() = default;

bool MB_Layer::copy_to(MB_Object*& target)
{
    return mb_copy_value(*this, target);
}

void MB_Layer::get_ent_list(Qe_Void_List& list, MB_Drawing* drawing)
{
    if (!drawing) return;
    for (MB_Object* o = drawing->object_list().get_head(); o; o = o->next())
        if (o->is_drawable() && static_cast<MB_Drawable*>(o)->general().layer() == this) list.add(o);
}

const char* MB_Layer::get_string(int key)
{
    return key == k_key_name ? m_name.ascii() : nullptr;
}

double MB_Layer::get_real(int)
{
    return 0.0;
}

long MB_Layer::get_int(int)
{
    return 0;
}

void MB_Layer::set_real(long, double) {}
void MB_Layer::set_int(long, long) {}
void MB_Layer::set_string(long, const char*) {}

MB_Result MB_Layer::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_layer_opcode);
    if (r == 0) r = m_name.serialize(file, 0);
    if (r == 0) r = file.write_uint16(m_id);
    if (r == 0) r = file.write(m_flag);
    if (r == 0) r = file.write_uint16(m_width);
    if (r == 0) r = file.write_uint32(m_color);
    return r;
}

MB_Result MB_Layer::materialize(const MB_Opcode&, MB_File_IO& file)
{
    MB_String name(m_name);
    mb_ushort id = 0, width = 0;
    mb_byte flag = 0;
    mb_ulong color = 0;
    MB_Result r = name.materialize(file);
    if (r == 0) r = file.read_uint16(id);
    if (r == 0) r = file.read(flag);
    if (r == 0) r = file.read_uint16(width);
    if (r == 0) r = file.read_uint32(color);
    if (r != 0) return r;
    m_name = name;
    m_id = id;
    m_flag = flag;
    m_width = width;
    m_color = color;
    return MB_Result::Success;
}

MB_Result MB_Layer::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    if (!drawing) return MB_Result::Success;
    // add_tail ignores the layer when it already is the tail: a record read twice is not
    // linked twice.
    drawing->layer_list().add_tail(this);
    return MB_Result::Success;
}

MB_Result MB_Layer::default_process(MB_Layer&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Layer_Name::MB_Layer_Name(const MB_Layer_Name& other) : MB_Attribute(other), m_name(other.m_name) {}

MB_Layer_Name& MB_Layer_Name::operator=(const MB_Layer_Name& other)
{
    if (this != &other) {
        MB_Attribute::operator=(other);
        m_name = other.m_name;
    }
    return *this;
}

MB_Layer_Name::~MB_Layer_Name() = default;

MB_Result MB_Layer_Name::serialize(MB_File_IO& file)
{
    return mb_write_record_value(file, k_layer_name_opcode, m_name);
}

MB_Result MB_Layer_Name::materialize(const MB_Opcode&, MB_File_IO& file)
{
    return m_name.materialize(file);
}

MB_Result MB_Layer_Name::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    file.fifo_rendition().layer(drawing ? drawing->find_layer(m_name.ascii()) : nullptr);
    return MB_Result::Success;
}
