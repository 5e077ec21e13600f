#include "kernel/database/layer.h"

#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"

namespace {
constexpr int k_key_name = -310;
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
