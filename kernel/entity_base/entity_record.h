#pragma once

// The stream record of an entity, written and read in one place for every entity class.
//
// Writing, in this order: the general properties (the stream's attribute state writes a
// record for each value that differs from the last one written), an optional block-name
// record, the one-byte opcode, the extended-data block (MB_Drawable::save_xdata), then the
// entity's operands. Reading mirrors it: the extended-data block, the operands, then the
// general properties in force in the reader's attribute state. Both return the first
// non-zero result of their steps, so a truncated record fails, and the stream reader then
// never hands the entity to the drawing.
//
// Entity records have a binary form only: they are written so whatever the ASCII setting.
//
// Use:
//     MB_Result MB_Circle::serialize(MB_File_IO& file)
//     {
//         return mb_write_entity(*this, file, 0x12, [&](MB_Record_Writer& w) {
//             w.position(m_center).real(m_radius);
//         });
//     }
//     MB_Result MB_Circle::materialize(const MB_Opcode& op, MB_File_IO& file)
//     {
//         return mb_read_entity(*this, op, file, [&](MB_Record_Reader& r) {
//             r.position(m_center).real(m_radius);
//         });
//     }
//     MB_Result MB_Circle::process(MB_File_IO& file) { return mb_process_entity(*this, file); }
//
// The operand readers store a value only when it was read whole; after the first failure
// every further step does nothing and result() keeps that failure.

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/drakmere_api.h"
#include "kernel/database/result.h"
#include "platform/fixed_width.h"

class MB_File_IO;
class MB_Opcode;
class Qe_Pt_Set;
class Qe_Pt_Sets;

// The exceptions to the common framing, for the entities that need them.
struct MB_Record_Frame {
    // General-property records before the opcode, and the general properties taken when read.
    bool general = true;
    // The extended-data block after the opcode.
    bool xdata = true;
    // A block-name record ('J') written before the opcode when the name differs from the
    // last one written (block references); null for none.
    const char* block_name = nullptr;
};

class DRAKMERE_API MB_Record_Writer {
public:
    explicit MB_Record_Writer(MB_File_IO& file) : m_file(file) {}

    // 24 bytes: x and y relative to the running position, z as it is; the point becomes
    // the running position.
    MB_Record_Writer& position(const Qe_Pt& p);
    // 8-byte little-endian IEEE double, absolute.
    MB_Record_Writer& real(double v);
    MB_Record_Writer& byte(unsigned char v);
    MB_Record_Writer& int16(mb_short v);
    MB_Record_Writer& int32(mb_long v);
    // A 32-bit count, then every point as a position.
    MB_Record_Writer& points(const Qe_Pt_Set& set);
    MB_Record_Writer& runs(const Qe_Pt_Sets& sets);
    // Any other step, as a callable returning MB_Result; skipped after a failure.
    template <class F>
    MB_Record_Writer& then(F&& step)
    {
        if (m_result == 0) m_result = step();
        return *this;
    }

    MB_File_IO& file() { return m_file; }
    MB_Result result() const { return m_result; }

private:
    MB_File_IO& m_file;
    MB_Result m_result;
};

class DRAKMERE_API MB_Record_Reader {
public:
    explicit MB_Record_Reader(MB_File_IO& file) : m_file(file) {}

    MB_Record_Reader& position(Qe_Pt& p);
    MB_Record_Reader& real(double& v);
    MB_Record_Reader& byte(unsigned char& v);
    MB_Record_Reader& int16(mb_short& v);
    MB_Record_Reader& int32(mb_long& v);
    // The count is checked against what the file can still hold; the set is unchanged on
    // failure.
    MB_Record_Reader& points(Qe_Pt_Set& set);
    MB_Record_Reader& runs(Qe_Pt_Sets& sets);
    template <class F>
    MB_Record_Reader& then(F&& step)
    {
        if (m_result == 0) m_result = step();
        return *this;
    }
    // Ends the operands with a failure of the caller's own (a count out of range).
    MB_Record_Reader& fail(MB_Result r)
    {
        if (m_result == 0) m_result = r;
        return *this;
    }

    MB_File_IO& file() { return m_file; }
    MB_Result result() const { return m_result; }
    bool ok() const { return m_result == 0; }

private:
    MB_File_IO& m_file;
    MB_Result m_result;
};

// Writes the whole record: general properties, block name, opcode, extended data, then
// operands(MB_Record_Writer&). A failed write of the attribute records counts as well.
DRAKMERE_API MB_Result mb_write_entity_frame(MB_Drawable& entity, MB_File_IO& file, unsigned char opcode,
                                             const MB_Record_Frame& frame);
DRAKMERE_API MB_Result mb_read_entity_xdata(MB_Drawable& entity, const MB_Opcode& opcode, MB_File_IO& file,
                                            const MB_Record_Frame& frame);
DRAKMERE_API MB_Result mb_read_entity_general(MB_Drawable& entity, const MB_Opcode& opcode, MB_File_IO& file,
                                              const MB_Record_Frame& frame);

template <class Operands>
MB_Result mb_write_entity(MB_Drawable& entity, MB_File_IO& file, unsigned char opcode, Operands&& operands,
                          const MB_Record_Frame& frame = {})
{
    MB_Result r = mb_write_entity_frame(entity, file, opcode, frame);
    if (r != 0) return r;
    MB_Record_Writer w(file);
    operands(w);
    return w.result();
}

// Reads the extended data, then operands(MB_Record_Reader&), then the general properties.
template <class Operands>
MB_Result mb_read_entity(MB_Drawable& entity, const MB_Opcode& opcode, MB_File_IO& file, Operands&& operands,
                         const MB_Record_Frame& frame = {})
{
    MB_Result r = mb_read_entity_xdata(entity, opcode, file, frame);
    if (r != 0) return r;
    MB_Record_Reader rd(file);
    operands(rd);
    if (rd.result() != 0) return rd.result();
    return mb_read_entity_general(entity, opcode, file, frame);
}

// The common process: the entity joins the tail of the block being defined in the
// drawing being read, else of the drawing's entity list (nothing when it already is the
// tail). Success.
DRAKMERE_API MB_Result mb_process_entity(MB_Object& entity, MB_File_IO& file);

// The revision of the stream being read, for records whose form changed: the revision
// its header gave the drawing; a stream read without a header counts as current (451).
DRAKMERE_API int mb_stream_revision(MB_File_IO& file);
