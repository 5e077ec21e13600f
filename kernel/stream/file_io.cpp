#include "kernel/stream/file_io.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "geometry/pt_set.h"
#include "kernel/database/block.h"
#include "kernel/database/color.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/object.h"
#include "kernel/database/operation_context.h"
#include "kernel/stream/lz_coder_p.h"
#include "platform/codepage.h"
#include "platform/path.h"

static_assert(sizeof(MB_RGBA32) == 4 && std::is_trivially_copyable_v<MB_RGBA32>);
static_assert(sizeof(Qe_Pt) == 24 && std::is_trivially_copyable_v<Qe_Pt>);

namespace {

constexpr std::size_t k_point_bytes = 24;

FILE* file_of(const MB_File_IO& f)
{
    return static_cast<FILE*>(f.stream_user_data());
}

void put_u16(unsigned char* b, mb_ushort v)
{
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
}

void put_u32(unsigned char* b, mb_ulong v)
{
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

void put_double(unsigned char* b, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(bits >> (8 * i));
}

mb_ushort get_u16(const unsigned char* b)
{
    return static_cast<mb_ushort>(b[0] | (b[1] << 8));
}

mb_ulong get_u32(const unsigned char* b)
{
    return mb_ulong(b[0]) | (mb_ulong(b[1]) << 8) | (mb_ulong(b[2]) << 16) | (mb_ulong(b[3]) << 24);
}

double get_double(const unsigned char* b)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[i];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void put_point(unsigned char* b, const Qe_Pt& p)
{
    put_double(b, p.x());
    put_double(b + 8, p.y());
    put_double(b + 16, p.z());
}

Qe_Pt get_point(const unsigned char* b)
{
    return Qe_Pt(get_double(b), get_double(b + 8), get_double(b + 16));
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

bool is_blank(unsigned char c)
{
    return c == 0 || c == 9 || c == 10 || c == 13 || c == 32;
}

}  // namespace

MB_File_IO::MB_File_IO() : m_rendition(make_rendition(100))
{
    m_fifo_rendition.file_io(this);
}

MB_File_IO::~MB_File_IO()
{
    close();
    // A file handed in while no mode was set is closed as well.
    if (m_stream_user_data) default_close(*this);
    discard_current_object();
    dump_delayed_drawable();
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
    if (std::feof(f)) return MB_Result::End_Of_File;
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(n), f);
    if (got == 0) return MB_Result::Nothing_Read;
    amount = static_cast<int>(got);
    return MB_Result::Success;
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
    for (MB_Object* b = drawing.block_list().get_head(); b; b = b->next())
        if (static_cast<MB_Block*>(b)->object_list().get_head() == obj) return true;
    return false;
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
        MB_Result r = m_decompressor->decompress(n, amount, buffer);
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
    const long long buffered = static_cast<long long>(m_put_back.count() + m_leftover.count());
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
    return std::max(0LL, raw + static_cast<long long>(m_put_back.count()) - pending_skip);
}

MB_Result MB_File_IO::check_length(mb_long n, std::size_t unit_bytes, mb_long max)
{
    if (n < 0 || n > max) return MB_Result::Invalid_Data;
    if (unit_bytes && static_cast<std::size_t>(n) > SIZE_MAX / unit_bytes) return MB_Result::Invalid_Data;
    const unsigned long long bytes = static_cast<unsigned long long>(n) * unit_bytes;
    const long long remaining = bytes_remaining();
    if (remaining >= 0 && bytes > static_cast<unsigned long long>(remaining)) return MB_Result::Invalid_Data;
    return MB_Result::Success;
}

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

// ASCII writers

MB_Result MB_File_IO::write_ascii_text(const char* text, std::size_t n)
{
    return compress_write(static_cast<int>(n), text);
}

MB_Result MB_File_IO::write_ascii(mb_long v)
{
    char b[16];
    const auto res = std::to_chars(b, b + sizeof b, v);
    return write_ascii_text(b, static_cast<std::size_t>(res.ptr - b));
}

MB_Result MB_File_IO::write_ascii(mb_short v)
{
    return write_ascii(static_cast<mb_long>(v));
}

MB_Result MB_File_IO::write_ascii(mb_ushort v)
{
    return write_ascii(static_cast<mb_long>(v));
}

MB_Result MB_File_IO::write_ascii(mb_ulong v)
{
    return write_ascii(static_cast<mb_long>(v));
}

MB_Result MB_File_IO::write_ascii(double v)
{
    // to_chars formats as printf's "%.11g" does in the C locale, whatever the process
    // locale: the decimal mark is always '.'.
    char b[40];
    const auto res = std::to_chars(b, b + sizeof b, v, std::chars_format::general, 11);
    return write_ascii_text(b, static_cast<std::size_t>(res.ptr - b));
}

MB_Result MB_File_IO::write_ascii(const MB_RGBA32& color)
{
    const int parts[4] = {color.red(), color.green(), color.blue(), color.alpha()};
    MB_Result r;
    for (int i = 0; r == 0 && i < 4; ++i) {
        if (i) r = write(',');
        if (r == 0) r = write_ascii(static_cast<mb_long>(parts[i]));
    }
    return r;
}

MB_Result MB_File_IO::write_hex(unsigned char byte)
{
    static constexpr char k_digits[] = "0123456789ABCDEF";
    const char b[2] = {k_digits[byte >> 4], k_digits[byte & 0xF]};
    return compress_write(2, b);
}

MB_Result MB_File_IO::write_hex(int n, const unsigned char* bytes)
{
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    MB_Result r;
    for (int i = 0; r == 0 && i < n; ++i) {
        if (i % 30 == 0) {
            r = write_tab_level();
            if (r == 0) r = write('\t');
        }
        if (r == 0) r = write_hex(bytes[i]);
    }
    return r;
}

MB_Result MB_File_IO::write_quoted_string(const char* text, char force)
{
    if (!text || !*text) return write("''");
    const bool plain = !force && text[0] != '"' && !std::strpbrk(text, " '()\\{}");
    if (plain) return write(text);
    std::string quoted(1, '\'');
    for (const char* c = text; *c; ++c) {
        if (*c == '\\' || *c == '\'') quoted += '\\';
        quoted += *c;
    }
    quoted += '\'';
    return write(quoted.c_str());
}

MB_Result MB_File_IO::write_quoted_string(const char16_t* units)
{
    const std::size_t n = units ? std::char_traits<char16_t>::length(units) : 0;
    if (n > INT_MAX / 4) return MB_Result::Invalid_Data;
    if (m_heuristics.allow_binary_data()) {
        MB_Result r = write('{');
        if (r == 0) r = write_int32(static_cast<mb_long>(n));
        if (r == 0) r = write(static_cast<int>(n), units);
        if (r == 0) r = write('}');
        return r;
    }
    MB_Result r = write('"');
    for (std::size_t i = 0; r == 0 && i < n; ++i) {
        r = write_hex(static_cast<unsigned char>(units[i] >> 8));
        if (r == 0) r = write_hex(static_cast<unsigned char>(units[i] & 0xFF));
    }
    if (r == 0) r = write('"');
    return r;
}

MB_Result MB_File_IO::write_tab_level()
{
    if (m_heuristics.allow_binary_data()) return MB_Result::Success;
    std::string line = "\r\n";
    line.append(static_cast<std::size_t>(std::max(0, m_tab_level)), ' ');
    return write(line.c_str());
}

MB_Result MB_File_IO::write_geom_tab_level()
{
    if (m_heuristics.allow_binary_data()) return MB_Result::Success;
    MB_Result r = write_tab_level();
    if (r == 0) r = write("   ");
    return r;
}

// Binary readers

MB_Result MB_File_IO::read(int n, unsigned char* buffer)
{
    if (n < 0 || (n > 0 && !buffer)) return MB_Result::Invalid_Data;
    if (n > INT_MAX - std::max(m_stream_position, m_actual_position)) return MB_Result::Invalid_Data;

    const int pending = m_stream_position - m_actual_position;
    if (pending > 0) {
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
    std::vector<unsigned char> held(m_put_back.count());
    m_put_back.take(held.size(), held.data());
    MB_Result r = m_put_back.append(static_cast<std::size_t>(n), bytes);
    if (r == 0) r = m_put_back.append(held.size(), held.data());
    if (r != 0) {
        m_put_back.clear();
        m_put_back.append(held.size(), held.data());
        return r;
    }
    m_stream_position -= n;
    m_actual_position -= n;
    return MB_Result::Success;
}

namespace {

// Turns points read as deltas into absolute points, starting from the running position;
// the last becomes the new running position. Nothing changes until the caller commits.
Qe_Pt decode_positions(Qe_Pt* pts, std::size_t n, Qe_Pt position)
{
    for (std::size_t i = 0; i < n; ++i) {
        pts[i].set_x(pts[i].x() + position.x());
        pts[i].set_y(pts[i].y() + position.y());
        position = pts[i];
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
        // The stream stays at the set: a repeated call reads it whole.
        unread(4, head);
        return r;
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
        unread(static_cast<int>(consumed.size()), consumed.data());
        return failure;
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
        unread(4, head);
        return r;
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

MB_Result MB_File_IO::read(char*& out, int max, char allow_paren)
{
    if (max < 0) return MB_Result::Invalid_Data;
    auto fail = [this](MB_Result r) {
        // A broken token is dropped whole; the next read starts afresh.
        m_string_buffer.clear();
        m_in_quote = m_escape = false;
        return r;
    };
    auto finish = [this, &out](std::size_t keep) -> MB_Result {
        char* text = new (std::nothrow) char[keep + 1];
        if (!text) return MB_Result::Out_Of_Memory;
        if (keep) std::memcpy(text, m_string_buffer.data(), keep);
        text[keep] = '\0';
        out = text;
        m_string_buffer.clear();
        return MB_Result::Success;
    };

    if (m_string_buffer.empty() && !m_in_quote && !m_escape) {
        MB_Result r = eat_whitespace();
        if (r != 0) return r;
    }
    // Every pass takes one byte from the file: the loop ends with the data.
    for (;;) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        r = m_string_buffer.append(c);
        if (r != 0) return fail(r);
        const std::size_t count = m_string_buffer.count();
        if (count > static_cast<std::size_t>(max)) return fail(MB_Result::Invalid_Data);
        if (m_escape) {
            m_escape = false;
            continue;
        }
        switch (c) {
        case ' ':
        case ')':
            if (m_in_quote) break;
            r = finish(count - 1);
            if (r != 0) return fail(r);
            return unread(1, &c);
        case '\'':
        case '"':
            if (m_in_quote && c == m_open_quote) {
                m_in_quote = false;
                r = finish(count - 1);
                return r != 0 ? fail(r) : r;
            }
            if (!m_in_quote && count == 1) {
                m_in_quote = true;
                m_open_quote = c;
                m_string_buffer.clear();
            } else if (!m_in_quote && c == '\'') {
                return fail(MB_Result::Invalid_Data);
            }
            break;
        case '(':
            if (!m_in_quote && !(count == 1 && allow_paren)) return fail(MB_Result::Invalid_Data);
            break;
        case '\\':
            m_string_buffer.drop_last();
            m_escape = true;
            break;
        case '{':
            if (!m_in_quote) return fail(MB_Result::Invalid_Data);
            break;
        default:
            break;
        }
    }
}

// ASCII readers that this format version does not carry

MB_Result MB_File_IO::read_hex(unsigned char& byte)
{
    byte = 0;
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_hex(int n, unsigned char* bytes)
{
    if (n > 0 && bytes) std::memset(bytes, 0, static_cast<std::size_t>(n));
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(mb_long& v)
{
    v = 0;
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(double& v)
{
    v = 0.0;
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(mb_ushort& v)
{
    v = 0;
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(MB_Color&, char)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(MB_RGBA32& color)
{
    color = MB_RGBA32();
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(int n, MB_RGBA32* colors)
{
    for (int i = 0; colors && i < n; ++i) colors[i] = MB_RGBA32();
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_index_tree(int, char)
{
    return MB_Result::Success;
}

// Stream control

MB_Result MB_File_IO::put_back(int n, const unsigned char* bytes)
{
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    MB_Result r = m_put_back.append(static_cast<std::size_t>(n), bytes);
    if (r != 0) return r;
    m_stream_position -= n;
    m_actual_position -= n;
    return MB_Result::Success;
}

MB_Result MB_File_IO::skip(int n)
{
    if (n < 0 || n > INT_MAX - m_stream_position) return MB_Result::Invalid_Data;
    m_stream_position += n;
    return MB_Result::Success;
}

MB_Result MB_File_IO::eat_whitespace()
{
    for (;;) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        if (!is_blank(c)) return unread(1, &c);
    }
}

MB_Result MB_File_IO::skip_past_matching_paren(int level)
{
    // Every pass takes at least one byte from the file: the loop ends with the data.
    for (;;) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        if (m_escape) {
            m_escape = false;
            continue;
        }
        if (c == '\'') {
            m_in_quote = !m_in_quote;
        } else if (c == '\\') {
            m_escape = true;
        } else if (m_in_quote) {
            continue;
        } else if (c == '(') {
            ++m_paren_count;
        } else if (c == ')') {
            if (--m_paren_count <= level) return MB_Result::Success;
        } else if (c == '{') {
            unsigned char b[4];
            r = read(4, b);
            if (r != 0) {
                unread(1, &c);
                return r;
            }
            const mb_long length = static_cast<mb_long>(get_u32(b));
            if (length == 0) return MB_Result::Invalid_Data;
            r = check_length(length, 1, INT_MAX);
            if (r == 0) r = skip(length);
            if (r != 0) return r;
        }
    }
}

MB_Result MB_File_IO::dump_delayed_drawable()
{
    if (m_delayed_drawable && !m_keep_delayed_drawable) {
        delete m_delayed_drawable;
        m_delayed_drawable = nullptr;
    }
    return MB_Result::Success;
}

// Object reading

MB_Result MB_File_IO::get_next_object_shell()
{
    discard_current_object();
    m_opcode_start = m_stream_position;
    MB_Result r = m_opcode.read_next(*this);
    if (r != 0) return r;
    ++m_opcode_count;
    MB_Result made;
    m_current_object = m_opcode.create_object(*m_rendition, made, *this);
    return made;
}

MB_Result MB_File_IO::get_next_object()
{
    MB_Result r = get_next_object_shell();
    if (r == 0) r = m_current_object->materialize(m_opcode, *this);
    return r;
}

MB_Result MB_File_IO::process_next_object()
{
    MB_Result r = get_next_object();
    if (r == 0) r = m_current_object->process(*this);
    return r;
}

// Whole drawings

bool MB_File_IO::save_jxb(const char* path)
{
    if (!m_drawing || !path) return false;
    MB_Recording_Pause pause;
    m_drawing->set_filename(path);
    m_file_mode = Mode_Write;
    m_heuristics.set_allow_data_compression(false);
    bool ok = open() == 0;
    if (ok) {
        // An ASCII stream cannot carry the compressed-data marker.
        m_heuristics.set_allow_data_compression(m_heuristics.allow_binary_data());
        // Tables first, each before what refers to it: block members and entities name
        // their layers, so the layers must be known when they are read.
        MB_Object_List* tables[] = {&m_drawing->layer_list(),     &m_drawing->text_style_list(),
                                    &m_drawing->dim_style_list(), &m_drawing->named_view_list(),
                                    &m_drawing->view_port_list(), &m_drawing->block_list()};
        for (MB_Object_List* list : tables)
            for (MB_Object* o = list->get_head(); o; o = o->next()) o->serialize(*this);
        for (MB_Object* o = m_drawing->object_list().get_head(); o; o = o->next()) {
            if (!o->is_drawable() || static_cast<MB_Drawable*>(o)->flag() == MB_Drawable::State_Hidden) continue;
            o->serialize(*this);
        }
    }
    // close finishes the compressed stretch and writes the end record; a failure there,
    // or any write before it, fails the save.
    const MB_Result closed = close();
    ok = ok && closed == 0 && !m_write_failed;
    m_heuristics.set_allow_data_compression(false);
    return ok;
}

bool MB_File_IO::load_jxb(const char* path)
{
    return load_jxb(path, nullptr, nullptr);
}

bool MB_File_IO::load_jxb(const char* path, void (*on_record)(void* user), void* user)
{
    if (!m_drawing || !path) return false;
    MB_Recording_Pause pause;
    m_drawing->set_filename(path);
    m_file_mode = Mode_Read;
    MB_Result r = open();
    if (r == 0) {
        // Every pass reads at least one byte or stops: the loop ends with the file.
        do {
            r = process_next_object();
            if (r == 0 && on_record) on_record(user);
        } while (r == 0);
    }
    // A definition left open by a damaged stream still joins the drawing.
    m_drawing->finish_temp_block();
    close();
    return r == MB_Result::End_Of_Stream;
}
