#pragma once

// Helpers for the entity tests (every entity class uses them):
// - plain(entity): the entity with the general properties the stream starts from, so that
//   its record carries no attribute record;
// - record_bytes(entity): the entity's whole record as a fresh file object writes it, so
//   every general-property record that differs from the stream defaults comes first;
// - Record_Reader: reads a header and one record into its own drawing, as a load does;
// - Op_Fixture: an active operation with a drawing and an undo record, with command(),
//   undo() and redo();
// - expect_undo_redo_state: the undo oracle: a change made inside a command, undo gives
//   back the first state (the record bytes, or a field dump for kinds without a stream
//   form), redo the changed one;
// - Raster: a Qe_Qdc of W x H pixels (32 bits, white) with pixel reads and counts;
// - Recording_Dc: a device context that logs the calls made on it.
// The byte helpers (hex, le_double, le_long, counted, pt_eq, k_header) come from the stream
// fixture.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/raster_device.h"
#include "kernel/database/drawing.h"
#include "kernel/operation/operation.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/stream_fixture.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/recording_dc.h"
#include "platform/window.h"

namespace entity_test {

using stream_test::Bytes;
using stream_test::counted;
using stream_test::hex;
using stream_test::k_header;
using stream_test::k_trailer;
using stream_test::le_double;
using stream_test::le_long;
using stream_test::pt_eq;
using stream_test::to_hex;

// A position as the record carries it: x and y relative to the running position, z as is.
inline Bytes position(const Qe_Pt& p, const Qe_Pt& running = Qe_Pt())
{
    return le_double(p.x() - running.x()) + le_double(p.y() - running.y()) + le_double(p.z());
}

// The entity with the general properties that the stream starts from: its record carries no
// attribute record.
template <class E>
E* plain(E* e)
{
    e->general().color(0);
    e->general().width(1.0);
    return e;
}

// The extended-data block of an entity without id, user id, string, real value or
// extended data: the general's flag byte (0) and a zero mask.
inline const Bytes k_no_xdata = hex("00 00 00 00 00");

// The entity's record, written by a fresh file object; result gets what serialize said.
inline Bytes record_bytes(MB_Object& entity, MB_Result* result = nullptr)
{
    stream_test::Stream s;
    if (s.open_write() != 0) return "<not opened>";
    const MB_Result r = entity.serialize(s.io);
    if (result) *result = r;
    return s.body();
}

// Reads a header and records into its own drawing, as a load does.
struct Record_Reader {
    stream_test::Stream s;

    // Reads the records, then the end record: Success when the stream was read to its
    // end, else the first failure.
    MB_Result read(const Bytes& records, const Bytes& header = k_header)
    {
        const MB_Result r = read_raw(header + records + k_trailer);
        return r == MB_Result::End_Of_Stream ? MB_Result(MB_Result::Success) : r;
    }
    // Reads the bytes as they are until a record fails or the data ends; that result.
    MB_Result read_raw(const Bytes& bytes)
    {
        if (s.open_read(bytes) != 0) return MB_Result::Open_Failed;
        MB_Result r;
        do r = s.io.process_next_object();
        while (r == 0);
        return r;
    }
    MB_Result next() { return s.io.process_next_object(); }
    MB_Drawing& drawing() { return s.drawing; }
    long count() { return s.drawing.object_list().count(); }
    template <class T = MB_Object>
    T* first()
    {
        return dynamic_cast<T*>(s.drawing.object_list().get_head());
    }
};

// An active operation with a drawing and an undo record (no window).
struct Op_Fixture {
    std::unique_ptr<MB_Operation> op = std::make_unique<MB_Operation>();
    MB_Drawing* drawing = new MB_Drawing;
    MB_Undo_Redo* rec = nullptr;

    Op_Fixture()
    {
        op->init(nullptr, drawing);
        rec = op->undo_redo();
    }
    template <class F>
    void command(const char* name, F&& change)
    {
        op->rec_cmd_begin(name);
        change();
        op->rec_cmd_end();
    }
    void undo()
    {
        Qe_Void_List touched;
        op->undo(touched);
    }
    void redo()
    {
        Qe_Void_List touched;
        op->redo(touched);
    }
    MB_System_Setting& settings() { return *op->system_setting(); }
};

using Snapshot = std::function<Bytes(MB_Object&)>;

// The undo oracle. The entity joins the fixture's drawing; change runs inside one command;
// the state (snapshot, the record bytes by default) must differ from the first, undo must
// give the first state back and redo the changed one.
inline void expect_undo_redo_state(Op_Fixture& f, MB_Object* entity, const std::function<void(MB_Object&)>& change,
                                   const char* what, const Snapshot& snapshot = [](MB_Object& o) {
                                       return record_bytes(o);
                                   })
{
    SCOPED_TRACE(what);
    f.drawing->add_object(entity);
    const Bytes before = snapshot(*entity);
    f.command(what, [&] { change(*entity); });
    const Bytes after = snapshot(*entity);
    EXPECT_NE(to_hex(after), to_hex(before)) << "the change changed nothing";
    f.undo();
    EXPECT_EQ(to_hex(snapshot(*entity)), to_hex(before)) << "undo";
    f.redo();
    EXPECT_EQ(to_hex(snapshot(*entity)), to_hex(after)) << "redo";
}

// A raster device of w x h pixels, 32 bits deep, white.
struct Raster {
    Qe_Qdc q;
    BITMAP bm{};

    Raster(int w, int h)
    {
        HDC screen = GetDC(nullptr);
        EXPECT_NE(q.CreateCompatibleDC(screen, w, h, 32), nullptr);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(GetObject(q.GetBitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
    }
    // The pixel at (x, y), top-down, as a COLORREF.
    COLORREF pixel(int x, int y) const
    {
        const auto* p = static_cast<const std::uint8_t*>(bm.bmBits) +
                        static_cast<std::size_t>(bm.bmHeight - 1 - y) * bm.bmWidthBytes + x * 4;
        return RGB(p[2], p[1], p[0]);
    }
    int count(COLORREF colour) const
    {
        int n = 0;
        for (int y = 0; y < bm.bmHeight; ++y)
            for (int x = 0; x < bm.bmWidth; ++x) n += pixel(x, y) == colour;
        return n;
    }
    // Pixels that are not white.
    int drawn() const { return bm.bmWidth * bm.bmHeight - count(RGB(255, 255, 255)); }
};

// A device context that records its calls and draws nothing.
struct Recording_Dc {
    HDC dc = platform_create_recording_dc(nullptr);

    Recording_Dc() = default;
    Recording_Dc(const Recording_Dc&) = delete;
    Recording_Dc& operator=(const Recording_Dc&) = delete;
    ~Recording_Dc() { DeleteDC(dc); }
    std::vector<Platform_Call> calls() const { return platform_recorded_calls(dc); }
    // The calls as "Name a b c ...".
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const Platform_Call& c : calls()) out.push_back(platform_call_text(c));
        return out;
    }
    void clear() { platform_clear_recorded_calls(dc); }
};

}  // namespace entity_test
