#include "kernel/database/value_attribute.h"

#include "kernel/stream/file_io.h"

namespace {

MB_Result write_opcode(MB_File_IO& file, unsigned char opcode)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(opcode);
    return r;
}

}  // namespace

MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, mb_long value)
{
    MB_Result r = write_opcode(file, opcode);
    if (r == 0) r = file.write_int32(value);
    return r;
}

MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, double value)
{
    MB_Result r = write_opcode(file, opcode);
    if (r == 0) r = file.write_double(value);
    return r;
}

MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, const MB_String& value)
{
    MB_Result r = write_opcode(file, opcode);
    if (r == 0) r = value.serialize(file, 0);
    return r;
}

MB_Result mb_read_record_value(MB_File_IO& file, mb_long& value)
{
    return file.read_int32(value);
}

MB_Result mb_read_record_value(MB_File_IO& file, double& value)
{
    return file.read_double(value);
}

MB_Result mb_read_record_value(MB_File_IO& file, MB_String& value)
{
    return value.materialize(file);
}
