#include "kernel/database/drawing_info.h"


MB_Drawing_Info::MB_Drawing_Info()
{
    static constexpr const char* k_defaults[k_items] = {"Title",    "Descpiption", "Comments", "Author",
                                                        "Keywords", "Copyright",   "123",      "123"};
    for (int i = 0; i < k_items; ++i) m_items[i] = k_defaults[i];
}

MB_Drawing_Info::MB_Drawing_Info(const MB_Drawing_Info& other)
    : MB_Attribute(other), m_major(other.m_major), m_minor(other.m_minor), m_flag(other.m_flag)
{
    for (int i = 0; i < k_items; ++i) m_items[i] = other.m_items[i];
}

MB_Drawing_Info& MB_Drawing_Info::operator=(const MB_Drawing_Info& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    m_major = other.m_major;
    m_minor = other.m_minor;
    for (int i = 0; i < k_items; ++i) m_items[i] = other.m_items[i];
    m_flag = other.m_flag;
    return *this;
}

MB_Drawing_Info::~MB_Drawing_Info() = default;
