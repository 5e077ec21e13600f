#include "kernel/stream/file_io.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "kernel/database/block.h"
#include "kernel/database/color.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/stream/lz_coder_p.h"
#include "platform/codepage.h"
#include "platform/path.h"

static_assert(sizeof(MB_RGBA32) == 4 && std::is_trivially_copyable_v<MB_RGBA32>);
static_assert(sizeof(Qe_Pt) == 24 && std::is_trivially_copyable_v<Qe_Pt>);

namespace {

FILE* file_of(const MB_File_IO& f)
{
    return static_cast<FILE*>(f.stream_user_data());
}

std::unique_ptr<MB_Rendition> make_rendition(int color_map_revision)
{
    // The rendition's records belong to the file object: none of them, nor the map they
    // are filled from, is reported to the undo record.
    MB_Recording_Pause pause;
    auto r = std::make_unique<MB_Rendition>();
    r->color().set(255, 255, 255, 0, MB_Color::No_Mapping);
    r->color_map() = MB_Color_Map(color_map_revision);
    return r;
}

}  // namespace

MB_File_IO::MB_File_IO() : m_rendition(make_rendition(100))
{
    m_fifo_rendition.file_io(this);
}

MB_File_IO::~MB_File_IO()
{
    // A destructor has no one to report to.
    (void)close();
    // A file handed in while no mode was set is closed as well.
    if (m_stream_user_data) (void)default_close(*this);
    discard_current_object();
    (void)dump_delayed_drawable();
}

void MB_File_IO::drawing(MB_Drawing* d)
{
    m_drawing = d;
    m_fifo_rendition.drawing(d);
}

void MB_File_IO::set_stream_user_data(void* file)
{
    m_stream_user_data = file;
    m_file_size = -2;
}

// Opening and closing

MB_Result MB_File_IO::open()
{
    m_opcode_count = 0;
    m_decompressed_bytes = 0;
    m_record_open = false;
    m_record_bytes.clear();
    // A held drawable that the file object owns is freed rather than forgotten.
    if (m_delayed_drawable && !m_keep_delayed_drawable) delete m_delayed_drawable;
    m_keep_delayed_drawable = false;
    m_delayed_drawable = nullptr;
    m_have_read_first_opcode = 0;
    m_opcode = MB_Opcode();
    m_write_failed = false;
    // A stream never depends on what an earlier one wrote or read: a second save writes
    // every record again, and no layer of an earlier drawing is handed to this one.
    m_fifo_rendition.reset();
    // Both directions start from the origin, so that a second save, or a save after a
    // load, writes the same bytes as the first.
    reset_running_position();

    MB_Result r = default_open(*this);
    if (r != 0) return r;
    if (m_file_mode == Mode_Write) return write_file_header();
    m_statistics.reset(new (std::nothrow) MB_Opcode_Statistics());
    if (!m_statistics) return MB_Result::Out_Of_Memory;
    m_statistics->file = this;
    return MB_Result::Success;
}

MB_Result MB_File_IO::close()
{
    if (m_file_mode == Mode_Closed) return MB_Result::Success;
    MB_Result result;
    auto keep_first = [&result](MB_Result r) {
        if (result == 0) result = r;
    };
    const bool compression = m_heuristics.allow_data_compression();
    if (m_file_mode == Mode_Write) {
        keep_first(dump_delayed_drawable());
        m_heuristics.set_allow_data_compression(false);
        if (m_compressor) {
            keep_first(m_compressor->finish());
            m_compressor.reset();
        }
    }
    keep_first(default_close(*this));
    discard_current_object();
    m_file_mode = Mode_Closed;
    m_stream_position = m_actual_position = m_opcode_start = 0;
    m_paren_count = 0;
    m_statistics.reset();
    m_rendition = make_rendition(38);
    m_heuristics.set_allow_data_compression(compression);
    m_data_decompression = 0;
    m_decompressor.reset();
    // Nothing read from this file may be read again from the next one.
    m_put_back.clear();
    m_leftover.clear();
    m_string_buffer.clear();
    m_record_open = false;
    m_record_bytes.release();
    m_in_quote = m_escape = false;
    m_count_stage = 0;
    return result;
}

MB_Result MB_File_IO::default_open(MB_File_IO& file)
{
    if (file.m_stream_user_data) return MB_Result::File_Already_Open;
    const MB_String* stored = file.m_drawing ? &file.m_drawing->filename() : nullptr;
    if (!stored || stored->length() == 0) return MB_Result::No_File_Name;
    // Paths are 8-bit text in the ANSI code page; a 16-bit name is converted to it.
    std::string name;
    if (stored->ascii()) {
        name = stored->ascii();
    } else {
        const int need = WideCharToMultiByte(CP_ACP, 0, stored->unicode(), stored->length(), nullptr, 0, nullptr, nullptr);
        if (need <= 0) return MB_Result::Open_Failed;
        name.resize(static_cast<std::size_t>(need));
        if (WideCharToMultiByte(CP_ACP, 0, stored->unicode(), stored->length(), name.data(), need, nullptr, nullptr) !=
            need)
            return MB_Result::Open_Failed;
    }
    const char* mode = nullptr;
    if (file.m_file_mode == Mode_Read)
        mode = "rb";
    else if (file.m_file_mode == Mode_Write)
        mode = file.m_heuristics.allow_binary_data() ? "wb" : "w";
    if (!mode) return MB_Result::Open_Failed;
    FILE* f = platform_fopen(name.c_str(), mode);
    if (!f) return MB_Result::Open_Failed;
    file.set_stream_user_data(f);
    return MB_Result::Success;
}

MB_Result MB_File_IO::default_close(MB_File_IO& file)
{
    FILE* f = file_of(file);
    if (!f) return MB_Result::No_File_Open;
    MB_Result r;
    if (file.m_file_mode == Mode_Write) {
        static constexpr char k_end[] = "\r\n(EndOfVKT)\r\n";
        r = default_write(file, static_cast<int>(sizeof k_end - 1), k_end);
    }
    // A buffered write that fails only at the flush is a failed write as well.
    if (std::fclose(f) != 0 && file.m_file_mode == Mode_Write) {
        file.m_write_failed = true;
        if (r == 0) r = MB_Result::Write_Failed;
    }
    file.set_stream_user_data(nullptr);
    return r;
}

MB_Result MB_File_IO::default_read(MB_File_IO& file, int n, int& amount, void* buffer)
{
    amount = 0;
    FILE* f = file_of(file);
    if (!f) return MB_Result::No_File_Open;
    if (n <= 0) return n == 0 ? MB_Result::Success : MB_Result::Invalid_Data;
    // The end-of-file flag is cleared before every read: a file that has grown since the
    // last short read is read on, not answered from the flag. The stream belongs to this
    // reader alone: no stream lock per call.
    const bool was_at_end = ::feof_unlocked(f);
    ::clearerr_unlocked(f);
    const std::size_t got = ::fread_unlocked(buffer, 1, static_cast<std::size_t>(n), f);
    if (got == 0) return was_at_end && ::feof_unlocked(f) ? MB_Result::End_Of_File : MB_Result::Nothing_Read;
    amount = static_cast<int>(got);
    return MB_Result::Success;
}

MB_Result MB_File_IO::default_read_byte(MB_File_IO& file, unsigned char& byte)
{
    FILE* f = file_of(file);
    if (!f) return MB_Result::No_File_Open;
    // A byte already buffered is taken straight away; an empty buffer, an end of file or an
    // error go the whole way, which clears the end-of-file flag and reads again.
    const bool was_at_end = ::feof_unlocked(f);
    const int c = ::getc_unlocked(f);
    if (c != EOF) {
        byte = static_cast<unsigned char>(c);
        return MB_Result::Success;
    }
    // The attempt must not count as the read that saw the end: default_read tells a first
    // short read (more may come) from a second.
    if (!was_at_end) ::clearerr_unlocked(f);
    int got = 0;
    const MB_Result r = default_read(file, 1, got, &byte);
    return r == 0 && got != 1 ? MB_Result(MB_Result::Nothing_Read) : r;
}

MB_Result MB_File_IO::default_write(MB_File_IO& file, int n, const void* buffer)
{
    FILE* f = file_of(file);
    if (!f) return MB_Result::No_File_Open;
    if (n <= 0) return n == 0 ? MB_Result::Success : MB_Result::Invalid_Data;
    if (std::fwrite(buffer, 1, static_cast<std::size_t>(n), f) < static_cast<std::size_t>(n)) {
        file.m_write_failed = true;
        return MB_Result::Write_Failed;
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::default_seek(MB_File_IO& file, int n, int& amount)
{
    amount = 0;
    FILE* f = file_of(file);
    if (!f) return MB_Result::No_File_Open;
    if (n < 0) return MB_Result::Invalid_Data;
    if (std::fseek(f, n, SEEK_CUR) != 0) return MB_Result::End_Of_File;
    amount = n;
    return MB_Result::Success;
}

MB_Result MB_File_IO::write_file_header()
{
    MB_Result r = dump_delayed_drawable();
    if (r == 0) r = write("(VKT V");
    if (r == 0) {
        const unsigned v = static_cast<unsigned>(m_drawing ? m_drawing->format_version() : g_format_version);
        const unsigned char tail[6] = {'A',
                                       static_cast<unsigned char>('0' + v / 1000 % 10),
                                       static_cast<unsigned char>('0' + v / 100 % 10),
                                       static_cast<unsigned char>('0' + v / 10 % 10),
                                       static_cast<unsigned char>('0' + v % 10),
                                       ')'};
        r = write(6, tail);
    }
    return r;
}

namespace {

bool heads_a_list(MB_Drawing& drawing, const MB_Object* obj)
{
    MB_Object_List* lists[] = {&drawing.object_list(),    &drawing.hide_list(),       &drawing.named_view_list(),
                               &drawing.view_port_list(), &drawing.layout_list(),     &drawing.block_list(),
                               &drawing.layer_list(),     &drawing.dim_style_list(),  &drawing.text_style_list(),
                               &drawing.shp_list(),       &drawing.line_type_list(),  &drawing.mline_type_list(),
                               &drawing.hatch_type_list()};
    for (MB_Object_List* list : lists)
        if (list->get_head() == obj) return true;
    if (drawing.temp_block() && drawing.temp_block()->object_list().get_head() == obj) return true;
    // Read objects reach a block only while it is the one being defined; it joins the
    // block list at its tail when finished. (Looking through every block made a load of
    // many blocks quadratic.)
    auto* last = static_cast<MB_Block*>(drawing.block_list().get_tail());
    return last && last->object_list().get_head() == obj;
}

}  // namespace

void MB_File_IO::discard_current_object()
{
    MB_Object* o = m_current_object;
    m_current_object = nullptr;
    if (!o) return;
    // What reading linked into a list belongs to that list now; anything else (attribute
    // records, framing records, and objects whose process refused them) is freed here.
    // Objects the reader makes are never linked before their process runs.
    const bool linked = o->prev() || o->next() || (m_drawing && heads_a_list(*m_drawing, o));
    if (!linked) delete o;
}

void MB_File_IO::reset_running_position()
{
    if (m_drawing) m_drawing->position(Qe_Pt());
}

// Plain and compressed bytes

MB_Result MB_File_IO::compress_write(int n, const void* bytes)
{
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    // An ASCII stream cannot carry the compressed-data marker, so it is written plain: a
    // stretch without its marker could not be read back.
    if (m_heuristics.allow_data_compression() && m_heuristics.allow_binary_data()) {
        // Nothing to code yet: no compressor, and no stretch in the file.
        if (n == 0) return MB_Result::Success;
        if (!m_compressor) {
            m_compressor.reset(new (std::nothrow) MB_LZ_Compressor(*this));
            if (!m_compressor || !m_compressor->valid()) {
                m_compressor.reset();
                return MB_Result::Out_Of_Memory;
            }
        }
        if (!m_compressor->started()) {
            MB_Result r = m_compressor->start();
            if (r != 0) return r;
        }
        return m_compressor->compress(n, bytes);
    }
    if (m_compressor) {
        MB_Result r = m_compressor->finish();
        m_compressor.reset();
        if (r != 0) return r;
    }
    return default_write(*this, n, bytes);
}

MB_Result MB_File_IO::decompress_read(int n, int& amount, void* buffer)
{
    amount = 0;
    if (n < 0 || (n > 0 && !buffer)) return MB_Result::Invalid_Data;
    auto* out = static_cast<unsigned char*>(buffer);
    if (m_data_decompression != 0) {
        if (!m_decompressor) {
            m_decompressor.reset(new (std::nothrow) MB_LZ_Decompressor(*this));
            if (!m_decompressor || !m_decompressor->valid()) {
                m_decompressor.reset();
                return MB_Result::Out_Of_Memory;
            }
            MB_Result r = m_decompressor->start();
            if (r != 0) {
                m_decompressor.reset();
                return r;
            }
        }
        // The budget bounds the work a small file can cause: what a stretch delivers
        // stops at it, and the next read fails.
        const long long allowed = m_budget.max_decompressed_bytes - m_decompressed_bytes;
        if (allowed <= 0) return MB_Result::Budget_Exceeded;
        const int ask = static_cast<int>(std::min<long long>(n, allowed));
        MB_Result r = m_decompressor->decompress(ask, amount, buffer);
        m_decompressed_bytes += amount;
        if (r != MB_Result::End_Of_Compression) return r;
        if (amount >= n) return MB_Result::Success;
    } else if (!m_decompressor && !m_leftover.empty()) {
        return temporary_decomp_leftover_read(*this, n, amount, buffer);
    }
    // The stretch has ended (now, or at an earlier call whose "}" was not there yet).
    if (m_decompressor) {
        MB_Result r = shut_down_decompression();
        // Bytes already delivered count as a successful short read; the failure repeats.
        if (r != 0) return amount > 0 ? MB_Result(MB_Result::Success) : r;
    }
    int more = 0;
    MB_Result r = default_read(*this, n - amount, more, out + amount);
    amount += more;
    return amount > 0 && r != 0 ? MB_Result(MB_Result::Success) : r;
}

MB_Result MB_File_IO::decompress_seek(int n, int& amount)
{
    amount = 0;
    if (n < 0) return MB_Result::Invalid_Data;
    // A stretch still open, or one whose "}" is still to be checked, is passed through
    // the decompressor.
    if (m_data_decompression != 0 || m_decompressor || !m_leftover.empty()) {
        unsigned char scratch[4096];
        while (amount < n) {
            int got = 0;
            MB_Result r = decompress_read(std::min<int>(n - amount, sizeof scratch), got, scratch);
            amount += got;
            if (r != 0) return r;
            if (got == 0) break;
        }
        return MB_Result::Success;
    }
    return default_seek(*this, n, amount);
}

MB_Result MB_File_IO::shut_down_decompression()
{
    // A stretch that was not closed properly stays refused.
    if (m_decompressor && m_decompressor->broken()) return MB_Result::Invalid_Data;
    unsigned char c = 0;
    int amount = 0;
    MB_Result r = default_read(*this, 1, amount, &c);
    if (r != 0) return r;
    if (amount != 1) return MB_Result::Waiting_For_Data;
    if (c != '}') {
        if (m_decompressor) m_decompressor->set_broken();
        return MB_Result::Invalid_Data;
    }
    m_decompressor.reset();
    return MB_Result::Success;
}

MB_Result MB_File_IO::handle_leftover_decompressor_stream_read_data(int n, const unsigned char* bytes)
{
    if (n < 0) return MB_Result::Invalid_Data;
    return m_leftover.append(static_cast<std::size_t>(n), bytes);
}

MB_Result MB_File_IO::temporary_decomp_leftover_read(MB_File_IO& file, int n, int& amount, void* buffer)
{
    amount = 0;
    if (n < 0) return MB_Result::Invalid_Data;
    auto* out = static_cast<unsigned char*>(buffer);
    const int taken = static_cast<int>(file.m_leftover.take(static_cast<std::size_t>(n), out));
    amount = taken;
    if (taken == n || !file.m_leftover.empty()) return MB_Result::Success;
    int more = 0;
    MB_Result r = default_read(file, n - taken, more, out + taken);
    amount += more;
    // Bytes already delivered count as a successful short read.
    return taken > 0 && r != 0 ? MB_Result::Success : r;
}

// Lengths from the file

long long MB_File_IO::bytes_remaining()
{
    bool exact = false;
    return bytes_remaining(exact);
}

long long MB_File_IO::bytes_remaining(bool& exact)
{
    exact = false;
    FILE* f = file_of(*this);
    if (!f || m_file_mode == Mode_Write) return -1;
    if (m_file_size == -2) {
        m_file_size = -1;
        const long here = std::ftell(f);
        if (here >= 0 && std::fseek(f, 0, SEEK_END) == 0) {
            const long end = std::ftell(f);
            if (std::fseek(f, here, SEEK_SET) == 0 && end >= 0) m_file_size = end;
        }
    }
    if (m_file_size < 0) return -1;
    const long here = std::ftell(f);
    if (here < 0) return -1;
    const long long raw = std::max(0LL, static_cast<long long>(m_file_size) - here);
    const long long pending_skip = std::max(0LL, static_cast<long long>(m_stream_position) - m_actual_position);
    const long long buffered = static_cast<long long>(m_put_back.count() + m_leftover.count()) +
                               (m_decompressor ? m_decompressor->ready() : 0);
    if (m_data_decompression != 0 || m_decompressor) {
        // Inside a compressed stretch the exact count is unknown, but it is bounded: the
        // densest token (token, extension and offset, 4 bytes) yields 273 bytes, and a match
        // in progress holds at most 273 more. This keeps a tiny file from asking for a huge
        // buffer before any of its data could arrive.
        constexpr long long k_max_expansion = 69;
        if (raw > (LLONG_MAX - 1024 - buffered) / k_max_expansion) return -1;
        return std::max(0LL, raw * k_max_expansion + 273 + buffered - pending_skip);
    }
    if (!m_leftover.empty()) return -1;
    exact = true;
    return std::max(0LL, raw + static_cast<long long>(m_put_back.count()) - pending_skip);
}

MB_Result MB_File_IO::check_length(mb_long n, std::size_t unit_bytes, mb_long max)
{
    if (n < 0 || n > max) return MB_Result::Invalid_Data;
    if (unit_bytes && static_cast<std::size_t>(n) > SIZE_MAX / unit_bytes) return MB_Result::Invalid_Data;
    const unsigned long long bytes = static_cast<unsigned long long>(n) * unit_bytes;
    bool exact = false;
    const long long remaining = bytes_remaining(exact);
    if (remaining >= 0 && bytes > static_cast<unsigned long long>(remaining)) return MB_Result::Invalid_Data;
    if (exact || bytes <= static_cast<unsigned long long>(k_unchecked_bytes)) return MB_Result::Success;
    // A pipe, or a stretch that may expand, cannot say how much is left: what the claim
    // needs is read first, so that memory grows with the bytes that arrive, never with
    // what a few bytes claim.
    return read_ahead(bytes);
}

MB_Result MB_File_IO::read_ahead(unsigned long long n)
{
    const long long pending_skip = std::max(0LL, static_cast<long long>(m_stream_position) - m_actual_position);
    const unsigned long long want = n + static_cast<unsigned long long>(pending_skip);
    if (want > MB_Byte_Ring_Buffer::k_max_capacity) return MB_Result::Invalid_Data;
    std::unique_ptr<unsigned char[]> chunk;
    constexpr int k_chunk = 1 << 16;
    // Every pass takes bytes from the source or stops.
    bool idle_once = false;
    while (m_put_back.count() < want) {
        if (!chunk) {
            chunk.reset(new (std::nothrow) unsigned char[k_chunk]);
            if (!chunk) return MB_Result::Out_Of_Memory;
        }
        const int ask = static_cast<int>(std::min<unsigned long long>(want - m_put_back.count(), k_chunk));
        int got = 0;
        MB_Result r = decompress_read(ask, got, chunk.get());
        if (got > 0) {
            idle_once = false;
            MB_Result kept = m_put_back.append(static_cast<std::size_t>(got), chunk.get());
            if (kept != 0) return kept;
            continue;
        }
        if (r == MB_Result::End_Of_File) return MB_Result::Invalid_Data;
        if (r != 0 && r != MB_Result::Nothing_Read) return r;
        // A file reports its end only on the read after the first empty one; a source
        // that stays empty has no data yet.
        if (idle_once) return MB_Result::Waiting_For_Data;
        idle_once = true;
    }
    return MB_Result::Success;
}
