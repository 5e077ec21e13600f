#include "kernel/entity_base/entity_record.h"

#include "geometry/pt_set.h"
#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"

namespace {
// The revision of the streams this kernel writes.
constexpr int k_current_revision = 451;
}  // namespace

MB_Record_Writer& MB_Record_Writer::position(const Qe_Pt& p)
{
    return then([&] { return m_file.write_position(p); });
}

MB_Record_Writer& MB_Record_Writer::real(double v)
{
    return then([&] { return m_file.write_double(v); });
}

MB_Record_Writer& MB_Record_Writer::byte(unsigned char v)
{
    return then([&] { return m_file.write(v); });
}

MB_Record_Writer& MB_Record_Writer::int16(mb_short v)
{
    return then([&] { return m_file.write_int16(v); });
}

MB_Record_Writer& MB_Record_Writer::int32(mb_long v)
{
    return then([&] { return m_file.write_int32(v); });
}

MB_Record_Writer& MB_Record_Writer::points(const Qe_Pt_Set& set)
{
    return then([&] { return m_file.write(set); });
}

MB_Record_Writer& MB_Record_Writer::runs(const Qe_Pt_Sets& sets)
{
    return then([&] { return m_file.write(sets); });
}

MB_Record_Reader& MB_Record_Reader::position(Qe_Pt& p)
{
    return then([&] { return m_file.read_position(p); });
}

MB_Record_Reader& MB_Record_Reader::real(double& v)
{
    return then([&] { return m_file.read_double(v); });
}

MB_Record_Reader& MB_Record_Reader::byte(unsigned char& v)
{
    return then([&] { return m_file.read(v); });
}

MB_Record_Reader& MB_Record_Reader::int16(mb_short& v)
{
    return then([&] { return m_file.read_int16(v); });
}

MB_Record_Reader& MB_Record_Reader::int32(mb_long& v)
{
    return then([&] { return m_file.read_int32(v); });
}

MB_Record_Reader& MB_Record_Reader::points(Qe_Pt_Set& set)
{
    return then([&] { return m_file.read(set); });
}

MB_Record_Reader& MB_Record_Reader::runs(Qe_Pt_Sets& sets)
{
    return then([&] { return m_file.read(sets); });
}

MB_Result mb_write_entity_frame(MB_Drawable& entity, MB_File_IO& file, unsigned char opcode,
                                const MB_Record_Frame& frame)
{
    if (frame.general) {
        MB_Result r = entity.general().serialize(file);
        if (r != 0) return r;
    }
    if (frame.block_name) file.fifo_rendition().write_sync_blk_name(frame.block_name);
    // The attribute and block-name records report nothing themselves; a failed write shows
    // in the file object.
    if (file.write_failed()) return MB_Result::Write_Failed;
    MB_Result r = file.write(opcode);
    if (r == 0 && frame.xdata) r = entity.save_xdata(file);
    return r;
}

MB_Result mb_read_entity_xdata(MB_Drawable& entity, const MB_Opcode& opcode, MB_File_IO& file,
                               const MB_Record_Frame& frame)
{
    return frame.xdata ? entity.read_xdata(opcode, file) : MB_Result(MB_Result::Success);
}

MB_Result mb_read_entity_general(MB_Drawable& entity, const MB_Opcode& opcode, MB_File_IO& file,
                                 const MB_Record_Frame& frame)
{
    return frame.general ? entity.general().materialize(opcode, file) : MB_Result(MB_Result::Success);
}

MB_Result mb_process_entity(MB_Object& entity, MB_File_IO& file)
{
    file.fifo_rendition().add_object(&entity);
    return MB_Result::Success;
}

int mb_stream_revision(MB_File_IO& file)
{
    const MB_Drawing* d = file.drawing();
    const int revision = d ? d->file_revision() : 0;
    return revision > 0 ? revision : k_current_revision;
}
