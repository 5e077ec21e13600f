#include "kernel/stream/file_io.h"

// The binary readers and writers of MB_File_IO: values, texts, colours and points.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "geometry/pt_set.h"
#include "kernel/database/color.h"
#include "kernel/database/drawing.h"
#include "kernel/stream/file_io_p.h"

using namespace mb_stream_bytes;

// Binary writers

MB_Result MB_File_IO::write(unsigned char byte)
{
    return compress_write(1, &byte);
}

MB_Result MB_File_IO::write_int16(mb_short v)
{
    return write_uint16(static_cast<mb_ushort>(v));
}

MB_Result MB_File_IO::write_uint16(mb_ushort v)
{
    unsigned char b[2];
    put_u16(b, v);
    return compress_write(2, b);
}

MB_Result MB_File_IO::write_int32(mb_long v)
{
    return write_uint32(static_cast<mb_ulong>(v));
}

MB_Result MB_File_IO::write_uint32(mb_ulong v)
{
    unsigned char b[4];
    put_u32(b, v);
    return compress_write(4, b);
}

MB_Result MB_File_IO::write(int n, const unsigned char* bytes)
{
    return compress_write(n, bytes);
}

MB_Result MB_File_IO::write(int n, const char16_t* units)
{
    if (n < 0 || (n > 0 && !units)) return MB_Result::Invalid_Data;
    unsigned char chunk[512];
    for (int i = 0; i < n;) {
        int k = 0;
        for (; i < n && k + 2 <= static_cast<int>(sizeof chunk); ++i, k += 2) put_u16(chunk + k, units[i]);
        MB_Result r = compress_write(k, chunk);
        if (r != 0) return r;
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::write(const char* text)
{
    if (!text) return MB_Result::Success;
    const std::size_t n = std::strlen(text);
    if (n > INT_MAX) return MB_Result::Invalid_Data;
    return compress_write(static_cast<int>(n), text);
}

MB_Result MB_File_IO::write_double(double v)
{
    unsigned char b[8];
    put_double(b, v);
    return compress_write(8, b);
}

MB_Result MB_File_IO::write(const MB_RGBA32& color)
{
    const unsigned char b[4] = {static_cast<unsigned char>(color.red()), static_cast<unsigned char>(color.green()),
                                static_cast<unsigned char>(color.blue()), static_cast<unsigned char>(color.alpha())};
    return compress_write(4, b);
}

MB_Result MB_File_IO::write(int n, const Qe_Pt* points)
{
    if (n < 0 || (n > 0 && !points)) return MB_Result::Invalid_Data;
    for (int i = 0; i < n; ++i) {
        unsigned char b[k_point_bytes];
        put_point(b, points[i]);
        MB_Result r = compress_write(static_cast<int>(k_point_bytes), b);
        if (r != 0) return r;
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::write_position(const Qe_Pt& p)
{
    Qe_Pt delta = p;
    // Without a drawing there is no running position: the point is written as it is.
    if (m_drawing) m_drawing->fo_position(delta);
    unsigned char b[k_point_bytes];
    put_point(b, delta);
    return compress_write(static_cast<int>(k_point_bytes), b);
}

MB_Result MB_File_IO::write(const Qe_Pt_Set& set)
{
    MB_Result r = write_int32(set.count());
    for (int i = 0; r == 0 && i < set.count(); ++i) r = write_position(set.points()[i]);
    return r;
}

MB_Result MB_File_IO::write(const Qe_Pt_Sets& sets)
{
    const mb_ulong runs = sets.ptset_count();
    MB_Result r = write_uint32(runs);
    if (r == 0) r = write(static_cast<unsigned char>(sets.is_filled() ? 1 : 0));
    for (mb_ulong i = 0; r == 0 && i < runs; ++i) r = write_uint32(sets.vals()[i]);
    const mb_ulong total = sets.pts_count();
    for (mb_ulong i = 0; r == 0 && i < total; ++i) r = write_position(sets.points()[i]);
    return r;
}

MB_Result MB_File_IO::write_count(int n)
{
    // 0 would be read back as the start of a long count, and more than 65,791 does not fit.
    if (n < 1 || n > k_max_count) return MB_Result::Invalid_Data;
    if (n < 256) return write(static_cast<unsigned char>(n));
    unsigned char b[3] = {0, 0, 0};
    put_u16(b + 1, static_cast<mb_ushort>(n - 256));
    return compress_write(3, b);
}


// Binary readers

MB_Result MB_File_IO::read(int n, unsigned char* buffer)
{
    if (n < 0 || (n > 0 && !buffer)) return MB_Result::Invalid_Data;
    if (n > INT_MAX - std::max(m_stream_position, m_actual_position)) return MB_Result::Invalid_Data;

    const int pending = m_stream_position - m_actual_position;
    if (pending > 0 && m_record_open) {
        // Bytes passed over belong to the record too: a rewind gives them back as well.
        unsigned char scratch[4096];
        for (int left = pending; left > 0;) {
            const int k = std::min<int>(left, sizeof scratch);
            int got = static_cast<int>(m_put_back.take(static_cast<std::size_t>(k), scratch));
            if (got == 0) {
                MB_Result r = decompress_read(k, got, scratch);
                if (r != 0) return r;
                if (got == 0) return MB_Result::Waiting_For_Data;
            }
            MB_Result r = m_record_bytes.append(static_cast<std::size_t>(got), scratch);
            if (r != 0) return r;
            m_actual_position += got;
            left -= got;
        }
    } else if (pending > 0) {
        const int dropped = static_cast<int>(m_put_back.take(static_cast<std::size_t>(pending), nullptr));
        m_actual_position += dropped;
        const int rest = pending - dropped;
        if (rest > 0) {
            int skipped = 0;
            MB_Result r = decompress_seek(rest, skipped);
            m_actual_position += skipped;
            if (r != 0) return r;
            if (skipped < rest) return MB_Result::Waiting_For_Data;
        }
    }
    if (n == 0) return MB_Result::Success;

    const int held = static_cast<int>(m_put_back.count());
    if (held >= n) {
        m_put_back.take(static_cast<std::size_t>(n), buffer);
    } else {
        int got = 0;
        MB_Result r = decompress_read(n - held, got, buffer + held);
        if (r != 0) return r;
        if (got == 0) return MB_Result::Waiting_For_Data;
        if (got < n - held) {
            // Keep what came, after what was already held: the repeated call gets every
            // byte in order.
            r = m_put_back.append(static_cast<std::size_t>(got), buffer + held);
            return r != 0 ? r : MB_Result::Waiting_For_Data;
        }
        m_put_back.take(static_cast<std::size_t>(held), buffer);
    }
    if (m_record_open) {
        MB_Result r = m_record_bytes.append(static_cast<std::size_t>(n), buffer);
        if (r != 0) {
            // Not taken after all: the bytes stay first in line.
            const MB_Result back = m_put_back.prepend(static_cast<std::size_t>(n), buffer);
            return back != 0 ? back : r;
        }
    }
    m_stream_position += n;
    m_actual_position += n;
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_int16(mb_short& v)
{
    mb_ushort u = 0;
    MB_Result r = read_uint16(u);
    if (r == 0) v = static_cast<mb_short>(u);
    return r;
}

MB_Result MB_File_IO::read_uint16(mb_ushort& v)
{
    unsigned char b[2];
    MB_Result r = read(2, b);
    if (r == 0) v = get_u16(b);
    return r;
}

MB_Result MB_File_IO::read_int32(mb_long& v)
{
    mb_ulong u = 0;
    MB_Result r = read_uint32(u);
    if (r == 0) v = static_cast<mb_long>(u);
    return r;
}

MB_Result MB_File_IO::read_uint32(mb_ulong& v)
{
    unsigned char b[4];
    MB_Result r = read(4, b);
    if (r == 0) v = get_u32(b);
    return r;
}

MB_Result MB_File_IO::read(mb_ulong& v)
{
    mb_ushort low = 0;
    MB_Result r = read_uint16(low);
    if (r == 0) v = (v & 0xFFFF0000u) | low;
    return r;
}

MB_Result MB_File_IO::read_double(double& v)
{
    unsigned char b[8];
    MB_Result r = read(8, b);
    if (r == 0) v = get_double(b);
    return r;
}

namespace {

MB_RGBA32 decode_rgba(const unsigned char* b, bool rgba_order)
{
    return rgba_order ? MB_RGBA32(b[0], b[1], b[2], b[3]) : MB_RGBA32(b[2], b[1], b[0], b[3]);
}

}  // namespace

MB_Result MB_File_IO::read(MB_RGBA32& color)
{
    unsigned char b[4];
    MB_Result r = read(4, b);
    if (r == 0) color = decode_rgba(b, m_rendition->drawing_info().decimal_revision() >= 33);
    return r;
}

MB_Result MB_File_IO::read(int n, MB_RGBA32* colors)
{
    if (n < 0 || n > INT_MAX / 4 || (n > 0 && !colors)) return MB_Result::Invalid_Data;
    // Read the bytes into the array itself, then decode each entry in place.
    auto* bytes = reinterpret_cast<unsigned char*>(colors);
    MB_Result r = read(4 * n, bytes);
    if (r != 0) return r;
    const bool rgba_order = m_rendition->drawing_info().decimal_revision() >= 33;
    for (int i = 0; i < n; ++i) {
        unsigned char b[4];
        std::memcpy(b, bytes + 4 * i, 4);
        colors[i] = decode_rgba(b, rgba_order);
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::read(int n, char16_t* units)
{
    if (n < 0 || n > INT_MAX / 2 || (n > 0 && !units)) return MB_Result::Invalid_Data;
    auto* bytes = reinterpret_cast<unsigned char*>(units);
    MB_Result r = read(2 * n, bytes);
    if (r != 0) return r;
    for (int i = 0; i < n; ++i) {
        unsigned char b[2];
        std::memcpy(b, bytes + 2 * i, 2);
        units[i] = get_u16(b);
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::read(int n, Qe_Pt* points)
{
    if (n < 0 || n > INT_MAX / static_cast<int>(k_point_bytes) || (n > 0 && !points)) return MB_Result::Invalid_Data;
    auto* bytes = reinterpret_cast<unsigned char*>(points);
    MB_Result r = read(n * static_cast<int>(k_point_bytes), bytes);
    if (r != 0) return r;
    for (int i = 0; i < n; ++i) {
        unsigned char b[k_point_bytes];
        std::memcpy(b, bytes + k_point_bytes * i, k_point_bytes);
        points[i] = get_point(b);
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_position(Qe_Pt& p)
{
    unsigned char b[k_point_bytes];
    MB_Result r = read(static_cast<int>(k_point_bytes), b);
    if (r != 0) return r;
    Qe_Pt q = get_point(b);
    if (m_drawing) m_drawing->fi_position(q);
    p = q;
    return MB_Result::Success;
}

MB_Result MB_File_IO::unread(int n, const unsigned char* bytes)
{
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    if (n == 0) return MB_Result::Success;
    MB_Result r = m_put_back.prepend(static_cast<std::size_t>(n), bytes);
    if (r != 0) return r;
    if (m_record_open) m_record_bytes.drop_last(static_cast<std::size_t>(n));
    m_stream_position -= n;
    m_actual_position -= n;
    return MB_Result::Success;
}

namespace {

// Turns points read as deltas into absolute points, starting from the running position;
// the last whose x and y are finite becomes the new running position. Nothing changes until
// the caller commits.
Qe_Pt decode_positions(Qe_Pt* pts, std::size_t n, Qe_Pt position)
{
    for (std::size_t i = 0; i < n; ++i) {
        pts[i].set_x(pts[i].x() + position.x());
        pts[i].set_y(pts[i].y() + position.y());
        if (mb_position_follows(pts[i])) position = pts[i];
    }
    return position;
}

}  // namespace

MB_Result MB_File_IO::read(Qe_Pt_Set& set)
{
    unsigned char head[4];
    MB_Result r = read(4, head);
    if (r != 0) return r;
    const mb_long count = static_cast<mb_long>(get_u32(head));
    std::unique_ptr<Qe_Pt[]> pts;
    r = check_length(count, k_point_bytes, k_max_points);
    if (r == 0 && count > 0) {
        pts.reset(new (std::nothrow) Qe_Pt[static_cast<std::size_t>(count)]);
        if (!pts) r = MB_Result::Out_Of_Memory;
    }
    if (r == 0) r = read(count, pts.get());
    if (r != 0) {
        // The stream stays at the set: a repeated call reads it whole (unless the bytes
        // could not be given back, which is then the result).
        const MB_Result back = unread(4, head);
        return back != 0 ? back : r;
    }
    const Qe_Pt start = m_drawing ? m_drawing->position() : Qe_Pt();
    const Qe_Pt end = decode_positions(pts.get(), static_cast<std::size_t>(count), start);
    set.init(count, pts.get());
    if (set.count() != count) return MB_Result::Out_Of_Memory;
    if (m_drawing) m_drawing->position(end);
    return MB_Result::Success;
}

MB_Result MB_File_IO::read(Qe_Pt_Sets& sets)
{
    // The bytes taken are kept so that a failure can give them all back: the stream then
    // stays at the record, and a repeated call reads it whole.
    std::vector<unsigned char> consumed(5);
    MB_Result r = read(5, consumed.data());
    if (r != 0) return r;
    auto give_back = [&](MB_Result failure) {
        const MB_Result back = unread(static_cast<int>(consumed.size()), consumed.data());
        return back != 0 ? back : failure;
    };
    const mb_long runs = static_cast<mb_long>(get_u32(consumed.data()));
    const bool filled = consumed[4] != 0;
    r = check_length(runs, 4, k_max_point_runs);
    if (r != 0) return give_back(r);

    std::unique_ptr<mb_ulong[]> counts(runs ? new (std::nothrow) mb_ulong[static_cast<std::size_t>(runs)] : nullptr);
    if (runs && !counts) return give_back(MB_Result::Out_Of_Memory);
    std::vector<unsigned char> count_bytes(4 * static_cast<std::size_t>(runs));
    r = read(4 * runs, count_bytes.data());
    if (r != 0) return give_back(r);
    consumed.insert(consumed.end(), count_bytes.begin(), count_bytes.end());
    std::uint64_t total = 0;
    for (mb_long i = 0; i < runs; ++i) {
        counts[i] = get_u32(count_bytes.data() + 4 * i);
        total += counts[i];
    }
    if (total > static_cast<std::uint64_t>(k_max_points)) return give_back(MB_Result::Invalid_Data);
    r = check_length(static_cast<mb_long>(total), k_point_bytes, k_max_points);
    if (r != 0) return give_back(r);

    std::unique_ptr<Qe_Pt[]> pts(total ? new (std::nothrow) Qe_Pt[total] : nullptr);
    if (total && !pts) return give_back(MB_Result::Out_Of_Memory);
    r = read(static_cast<int>(total), pts.get());
    if (r != 0) return give_back(r);
    const Qe_Pt start = m_drawing ? m_drawing->position() : Qe_Pt();
    const Qe_Pt end = decode_positions(pts.get(), total, start);
    if (!sets.init(static_cast<mb_ulong>(runs), counts.get(), pts.get())) return MB_Result::Out_Of_Memory;
    sets.is_filled(filled);
    if (m_drawing) m_drawing->position(end);
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_counted_bytes(mb_long max, mb_long& n, std::unique_ptr<char[]>& bytes)
{
    unsigned char head[4];
    MB_Result r = read(4, head);
    if (r != 0) return r;
    const mb_long count = static_cast<mb_long>(get_u32(head));
    std::unique_ptr<char[]> fresh;
    r = check_length(count, 1, max);
    if (r == 0 && count > 0) {
        fresh.reset(new (std::nothrow) char[static_cast<std::size_t>(count)]);
        if (!fresh) r = MB_Result::Out_Of_Memory;
    }
    if (r == 0) r = read(count, fresh.get());
    if (r != 0) {
        const MB_Result back = unread(4, head);
        return back != 0 ? back : r;
    }
    n = count;
    bytes = std::move(fresh);
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_count(int& n)
{
    if (m_count_stage == 0) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        if (c != 0) {
            n = c;
            return MB_Result::Success;
        }
        m_count_stage = 1;
    }
    if (m_count_stage != 1) return MB_Result::Internal_Error;
    mb_ushort extra = 0;
    MB_Result r = read_uint16(extra);
    if (r != 0) return r;
    m_count_stage = 0;
    n = 256 + extra;
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_count(long& n)
{
    int count = 0;
    const MB_Result r = read_count(count);
    if (r == 0) n = count;
    return r;
}
