#pragma once

// Small persistent objects for the kernel tests. Each counts the live instances of its
// class, so that tests can check who freed what; AddressSanitizer checks the rest.

#include "kernel/database/object.h"

// An attribute holding one value, cloned through copy_to as the system's classes are.
class Test_Object : public MB_Attribute {
public:
    explicit Test_Object(int value = 0) : m_value(value) { ++s_live; }
    Test_Object(const Test_Object& other) : MB_Attribute(other), m_value(other.m_value) { ++s_live; }
    Test_Object& operator=(const Test_Object&) = default;
    ~Test_Object() override { --s_live; }

    MB_ID object_id() const override { return ID_COLOR; }
    MB_Type object_type() const override { return m_type; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
    bool copy_to(MB_Object*& target) override
    {
        if (!target)
            target = new Test_Object(*this);
        else
            *static_cast<Test_Object*>(target) = *this;
        return true;
    }

    int value() const { return m_value; }
    // Changes the value the way a setter of the system does: backup first.
    void change(int v)
    {
        modify_cmd();
        m_value = v;
    }
    void type(MB_Type t) { m_type = t; }

    static inline int s_live = 0;

private:
    int m_value;
    MB_Type m_type = TYPE_ATTRIBUTE;
};

// A class that cannot be cloned: it keeps the base copy_to, which makes nothing.
class Plain_Object : public MB_Attribute {
public:
    MB_ID object_id() const override { return ID_WIDTH; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
};

#include "kernel/database/drawable.h"

// A curve-like drawable whose object id the test chooses. Its record is the entities':
// the general properties, the opcode 'L', the extended-data block, then the edge points.
class Test_Geom : public MB_Geom {
public:
    explicit Test_Geom(MB_ID id = ID_LINE) : m_id(id) { ++s_live; }
    Test_Geom(const Test_Geom& other) : MB_Geom(other), m_id(other.m_id) { ++s_live; }
    Test_Geom& operator=(const Test_Geom&) = default;
    ~Test_Geom() override { --s_live; }

    MB_ID object_id() const override { return m_id; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
    bool copy_to(MB_Object*& target) override
    {
        if (!target) target = new Test_Geom(m_id);
        return MB_Drawable::copy_to(target);
    }

    // Gives the geom a display node, as an entity's build_draw does.
    void node(MB_Draw_Node* n) { draw_node(n); }

    static inline int s_live = 0;

private:
    MB_ID m_id;
};

#include "kernel/stream/file_io.h"

inline MB_Result Test_Geom::serialize(MB_File_IO& file)
{
    MB_Result r = general().serialize(file);
    if (r == 0) r = file.write(static_cast<unsigned char>('L'));
    if (r == 0) r = save_xdata(file);
    if (r == 0) r = file.write(edge());
    return r;
}

inline MB_Result Test_Geom::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    MB_Result r = read_xdata(opcode, file);
    if (r == 0) r = file.read(edge());
    if (r == 0) r = general().materialize(opcode, file);
    return r;
}

// A test drawable that joins the drawing when it is read, as the entities do.
class Read_Geom : public Test_Geom {
public:
    Read_Geom() : Test_Geom(ID_LINE) {}
    MB_Result process(MB_File_IO& file) override
    {
        file.fifo_rendition().add_object(this);
        return MB_Result::Success;
    }
};
