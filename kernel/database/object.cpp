#include "kernel/database/object.h"

#include "kernel/database/object_list.h"
#include "kernel/database/operation_context.h"

MB_Object::MB_Object()
{
    create_cmd();
}

MB_Object::MB_Object(const MB_Object& other) : m_next(other.m_next), m_prev(other.m_prev) {}

MB_Object& MB_Object::operator=(const MB_Object&)
{
    return *this;
}

MB_Object::~MB_Object()
{
    if (m_undo_refs > 0) api_rec_forget(this);
}

void MB_Object::lose(MB_Object_List& list)
{
    const bool held = delete_cmd();
    list.remove(this);
    // Also when recording: a creation cancelled within the same command leaves nothing
    // that would ever free the object.
    if (!held) delete this;
}

void MB_Object::lose_member(MB_Object_List& list)
{
    const bool held = delete_cmd();
    list.remove_member(this);
    if (!held) delete this;
}

MB_Result MB_Object::skip_operand(const MB_Opcode& opcode, MB_File_IO& file)
{
    return materialize(opcode, file);
}

bool MB_Object::copy_to(MB_Object*&)
{
    return true;
}

Qe_Pt MB_Object::get_point(int)
{
    return Qe_Pt();
}

double MB_Object::get_real(int)
{
    return 0.0;
}

long MB_Object::get_int(int)
{
    return 0;
}

const char* MB_Object::get_string(int)
{
    return nullptr;
}

void MB_Object::set_real(long, double) {}
void MB_Object::set_int(long, long) {}
void MB_Object::set_point(long, const Qe_Pt&) {}
void MB_Object::set_string(long, const char*) {}

bool MB_Object::is_drawable() const
{
    const MB_Type t = object_type();
    return t >= TYPE_GEOMETRY && t <= TYPE_REFERENCE;
}

void MB_Object::create_cmd()
{
    api_rec_create(this);
}

bool MB_Object::delete_cmd()
{
    return api_rec_delete(this);
}

void MB_Object::modify_cmd()
{
    api_rec_modify(this);
}

MB_Attribute::~MB_Attribute() = default;
