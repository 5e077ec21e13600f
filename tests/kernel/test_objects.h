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
