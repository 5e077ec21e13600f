#include "kernel/database/drawing_info.h"

#include "kernel/stream/file_io.h"

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

MB_Result MB_Drawing_Info::serialize(MB_File_IO& file)
{
    MB_Result r = file.write_uint16(static_cast<mb_ushort>(m_major));
    if (r == 0) r = file.write_uint16(static_cast<mb_ushort>(m_minor));
    for (int i = 0; r == 0 && i < k_items; ++i) r = m_items[i].serialize(file, 0);
    if (r == 0) r = file.write_int32(m_flag);
    return r;
}

MB_Result MB_Drawing_Info::materialize(const MB_Opcode&, MB_File_IO& file)
{
    // Read into a copy so that a failure leaves this info as it was.
    MB_Drawing_Info in(*this);
    mb_ushort major = 0, minor = 0;
    MB_Result r = file.read_uint16(major);
    if (r == 0) r = file.read_uint16(minor);
    for (int i = 0; r == 0 && i < k_items; ++i) r = in.m_items[i].materialize(file);
    if (r == 0) r = file.read_int32(in.m_flag);
    if (r != 0) return r;
    in.m_major = static_cast<mb_short>(major);
    in.m_minor = static_cast<mb_short>(minor);
    *this = in;
    return MB_Result::Success;
}

MB_Result MB_Drawing_Info::process(MB_File_IO&)
{
    return MB_Result::Success;
}
