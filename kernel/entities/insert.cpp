#include "kernel/entities/insert.h"

#include <cmath>

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"

namespace {
enum : int {
    k_key_point = -6,
    k_key_angle = -102,
    k_key_x_scale = -106,
    k_key_y_scale = -107,
    k_key_z_scale = -108,
    k_key_display_flag = -217,
    k_key_block_name = -309,
};
constexpr const char* k_new_block_desc = "Block desc";
}  // namespace

MB_Insert::MB_Insert() : m_trans(translate_transf(Qe_Vec(0.0, 0.0, 0.0))) {}

MB_Insert::MB_Insert(const Qe_Pt& point, double angle, double sx, double sy, double sz)
    : m_point(point), m_angle(angle), m_scale{sx, sy, sz}
{
}

MB_Insert::~MB_Insert() = default;

MB_Result MB_Insert::serialize(MB_File_IO&)
{
    // The record of a block reference is not written yet: refusing keeps a save from
    // reporting a drawing it could not write.
    return MB_Result::Internal_Error;
}

MB_Result MB_Insert::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Invalid_Data;
}

MB_Result MB_Insert::process(MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Insert::copy_to(MB_Object*& target)
{
    if (!target) {
        target = new MB_Insert(m_point, m_angle, m_scale[0], m_scale[1], m_scale[2]);
        static_cast<MB_Insert*>(target)->m_block = m_block;
    } else if (auto* insert = dynamic_cast<MB_Insert*>(target)) {
        insert->m_block = m_block;
        insert->m_angle = m_angle;
        insert->scale(m_scale);
        insert->m_point = m_point;
    }
    MB_Drawable::copy_to(target);
    return true;
}

Qe_Pt MB_Insert::get_point(int key)
{
    return key == k_key_point ? m_point : MB_Drawable::get_point(key);
}

double MB_Insert::get_real(int key)
{
    switch (key) {
    case k_key_angle: return m_angle;
    case k_key_x_scale: return m_scale[0];
    case k_key_y_scale: return m_scale[1];
    case k_key_z_scale: return m_scale[2];
    default: return MB_Drawable::get_real(key);
    }
}

long MB_Insert::get_int(int key)
{
    return key == k_key_display_flag ? (m_display_flag ? 1 : 0) : MB_Drawable::get_int(key);
}

const char* MB_Insert::get_string(int key)
{
    if (key == k_key_block_name) return m_block ? m_block->name().ascii() : nullptr;
    return MB_Drawable::get_string(key);
}

void MB_Insert::set_real(long key, double value)
{
    switch (key) {
    case k_key_angle: modify_cmd(); m_angle = value; break;
    case k_key_x_scale: modify_cmd(); m_scale[0] = value; break;
    case k_key_y_scale: modify_cmd(); m_scale[1] = value; break;
    case k_key_z_scale: modify_cmd(); m_scale[2] = value; break;
    default: MB_Drawable::set_real(key, value); break;
    }
}

void MB_Insert::set_int(long key, long value)
{
    if (key == k_key_display_flag)
        m_display_flag = value == 1;
    else
        MB_Drawable::set_int(key, value);
}

void MB_Insert::set_point(long key, const Qe_Pt& value)
{
    if (key != k_key_point) return MB_Drawable::set_point(key, value);
    modify_cmd();
    m_point = value;
}

void MB_Insert::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_point = m_point * t;
}

void MB_Insert::scale(const double* s)
{
    if (!s) return;
    m_scale[0] = s[0];
    m_scale[1] = s[1];
    m_scale[2] = s[2];
}

void MB_Insert::block(const MB_String& name, MB_Drawing& drawing)
{
    MB_Block* found = drawing.find_block(name.ascii());
    if (!found) {
        found = new MB_Block(Qe_Pt(), name, MB_String(k_new_block_desc));
        drawing.block_list().add_tail(found);
    }
    m_block = found;
}

void MB_Insert::build_transf()
{
    const double sz = m_scale[2] == 0.0 ? 1.0 : m_scale[2];
    Qe_Tran t = scale_transf(std::fabs(m_scale[0]), std::fabs(m_scale[1]), std::fabs(sz));
    if (m_scale[0] < 0.0) t = t * reflect_transf(Qe_Vec(1.0, 0.0, 0.0));
    if (m_scale[1] < 0.0) t = t * reflect_transf(Qe_Vec(0.0, 1.0, 0.0));
    t = t * rotate_transf(m_angle, Qe_Vec(0.0, 0.0, 1.0));
    t = t * translate_transf(Qe_Vec(m_point.x(), m_point.y(), m_point.z()));
    m_trans = t;
}
