#pragma once

#include "kernel/database/object.h"

// A time in seconds kept with a drawing; no stream form.
class DRAKMERE_API MB_Timestamp : public MB_Object {
public:
    MB_Timestamp() = default;
    MB_Timestamp(const MB_Timestamp& other) : MB_Object(other), m_seconds(other.m_seconds) {}
    MB_Timestamp& operator=(const MB_Timestamp& other);
    ~MB_Timestamp() override;

    long seconds() const { return m_seconds; }

    MB_ID object_id() const override { return ID_TIMESTAMP; }
    MB_Type object_type() const override { return TYPE_INFORMATIONAL; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

private:
    long m_seconds = 0;
};
