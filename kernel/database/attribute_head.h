#pragma once

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"

// The base of named attributes: a name and a serial number drawn from a class counter.
class DRAKMERE_API MB_Attribute_Head : public MB_Attribute {
public:
    // Name "jxb"; takes the counter's value, then increments it (wrapping to 0).
    MB_Attribute_Head();
    // Name and number are copied; no new number is drawn.
    MB_Attribute_Head(const MB_Attribute_Head& other);
    MB_Attribute_Head& operator=(const MB_Attribute_Head& other);
    ~MB_Attribute_Head() override;

    MB_Type object_type() const override { return TYPE_NAMED_ATTRIBUTE; }
    MB_String& name() { return m_name; }
    unsigned short& id() { return m_id; }

    static unsigned short m_static_no;

private:
    MB_String m_name;
    unsigned short m_id;
};
