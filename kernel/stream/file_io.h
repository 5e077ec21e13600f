#pragma once

// MB_File_IO: the one object through which a native .vkt stream is written and read. It
// owns the open file, the byte-level and ASCII primitives of the format, a put-back buffer
// that makes reading resumable (a read that gets fewer bytes than asked keeps them and
// returns Waiting_For_Data; the same call, repeated, continues), the switch between plain
// and compressed bytes, the point encodings shared by the geometry records and the state
// that the opcode reader and the attribute records keep between objects.
//
// Fields the stream calls long and short are 4 and 2 bytes, little-endian; reals are
// 8-byte IEEE 754 values. Every operation returns the first non-zero MB_Result of its
// steps. Lengths and counts read from a file are checked against the maxima below and,
// while plain bytes of a file of known size are read, against the bytes that remain.

#include <cstddef>
#include <memory>

#include "geometry/point.h"
#include "kernel/database/xdata.h"
#include "kernel/drakmere_api.h"
#include "kernel/stream/byte_ring_buffer.h"
#include "kernel/stream/opcode.h"
#include "kernel/stream/rendition.h"
#include "kernel/database/result.h"
#include "platform/fixed_width.h"

class MB_Block;
class MB_Color;
class MB_Drawable;
class MB_Drawing;
class MB_LZ_Compressor;
class MB_LZ_Decompressor;
class MB_Object;
class MB_RGBA32;
class Qe_Pt_Set;
class Qe_Pt_Sets;

// What one load may cost at most: a stream that needs more fails with Budget_Exceeded,
// whatever its size on disk. The defaults are generous for real drawings (millions of
// entities); a host that reads larger ones raises them.
struct DRAKMERE_API MB_Load_Budget {
    // Records read, each opcode once.
    long long max_records = 1LL << 23;
    // Bytes delivered out of compressed stretches (a stretch can expand 68 times).
    long long max_decompressed_bytes = 1LL << 28;
};

// The options of a file object.
class DRAKMERE_API MB_File_Heuristics {
public:
    // Off after construction; a drawing save turns it on.
    bool allow_data_compression() const { return m_allow_data_compression; }
    void set_allow_data_compression(bool on) { m_allow_data_compression = on; }
    // On after construction: binary records and the "wb" open mode; off: ASCII records.
    bool allow_binary_data() const { return m_allow_binary_data; }
    void set_allow_binary_data(bool on) { m_allow_binary_data = on; }
    mb_long target_revision() const { return m_target_revision; }
    void set_target_revision(mb_long r) { m_target_revision = r; }

private:
    bool m_allow_data_compression = false;
    bool m_allow_binary_data = true;
    mb_long m_target_revision = 100;
};

class DRAKMERE_API MB_File_IO {
public:
    enum MB_File_mode : int {
        Mode_Closed = 0,
        Mode_Read = 1,
        Mode_Write = 2,
    };

    // Largest lengths and counts accepted from a file.
    static constexpr mb_long k_max_string_bytes = 1 << 24;
    static constexpr mb_long k_max_xdata_bytes = MB_Xdata::k_max_bytes;
    static constexpr mb_long k_max_points = 1 << 24;
    static constexpr mb_long k_max_point_runs = 1 << 22;
    // write_count and read_count carry 1 to 65,791.
    static constexpr int k_max_count = 255 + 65536;
    // Claims up to this many bytes are believed before they arrive; a longer claim from a
    // source of unknown size (or from a compressed stretch) must first be delivered.
    static constexpr long long k_unchecked_bytes = 1 << 16;

    MB_File_IO();
    // A file object owns its open file, buffers and coders: it is not copied.
    MB_File_IO(const MB_File_IO&) = delete;
    MB_File_IO& operator=(const MB_File_IO&) = delete;
    // Closes the file.
    virtual ~MB_File_IO();

    // State.
    MB_Drawing* drawing() const { return m_drawing; }
    // Also the drawing of the FIFO rendition.
    void drawing(MB_Drawing* d);
    // The block being defined while reading: the drawing's temp block.
    MB_Block* block() const { return m_fifo_rendition.block(); }
    void block(MB_Block* b) { m_fifo_rendition.start_block(b); }
    MB_File_mode file_mode() const { return m_file_mode; }
    void set_file_mode(MB_File_mode mode) { m_file_mode = mode; }
    MB_Object* object() const { return m_current_object; }
    MB_Object* current_object() const { return m_current_object; }
    MB_File_Heuristics& heuristics() { return m_heuristics; }
    // The current rendition.
    MB_Rendition* rendition() const { return m_rendition.get(); }
    MB_Rendition& desired_rendition() { return m_desired_rendition; }
    MB_FIFO_Rendition& fifo_rendition() { return m_fifo_rendition; }
    MB_Opcode& opcode() { return m_opcode; }
    // A drawable held back from writing; owned unless the keep flag is set.
    MB_Drawable* delayed_drawable() const { return m_delayed_drawable; }
    void set_delayed_drawable(MB_Drawable* d) { m_delayed_drawable = d; }
    bool keep_delayed_drawable() const { return m_keep_delayed_drawable; }
    void set_keep_delayed_drawable(bool keep) { m_keep_delayed_drawable = keep; }
    // The open standard I/O file (FILE*).
    void* stream_user_data() const { return m_stream_user_data; }
    void set_stream_user_data(void* file);
    // 0 while plain bytes are read; otherwise the opcode that opened a compressed stretch.
    int data_decompression() const { return m_data_decompression; }
    void set_data_decompression(int opcode) { m_data_decompression = opcode; }
    char have_read_first_opcode() const { return m_have_read_first_opcode; }
    void set_have_read_first_opcode(char v) { m_have_read_first_opcode = v; }
    int paren_count() const { return m_paren_count; }
    void set_paren_count(int n) { m_paren_count = n; }
    int increment_paren_count() { return ++m_paren_count; }
    int decrement_paren_count() { return --m_paren_count; }
    int tab_level() const { return m_tab_level; }
    void set_tab_level(int n) { m_tab_level = n; }
    int increment_tab_level() { return ++m_tab_level; }
    int decrement_tab_level() { return --m_tab_level; }
    // The incarnation counter's value; the counter goes up by one.
    int next_incarnation() { return m_incarnation++; }
    // Logical read position (a pending skip moves it ahead of the bytes taken) and the
    // bytes taken from the file or the put-back buffer so far.
    int stream_position() const { return m_stream_position; }
    int actual_position() const { return m_actual_position; }
    int opcode_start() const { return m_opcode_start; }
    int opcode_count() const { return m_opcode_count; }
    MB_Opcode_Statistics* statistics() const { return m_statistics.get(); }
    // The limits of each load; counting starts again at open.
    const MB_Load_Budget& budget() const { return m_budget; }
    void set_budget(const MB_Load_Budget& budget) { m_budget = budget; }
    // Bytes delivered out of compressed stretches since open.
    long long decompressed_bytes() const { return m_decompressed_bytes; }
    // What the last load_jxb met: End_Of_Stream when it read the whole stream, otherwise
    // the first failure (Budget_Exceeded, Invalid_Data, a wait for data, ...).
    MB_Result load_result() const { return m_load_result; }
    // Whether the last record the reader came to was of a kind no class makes: the reader then
    // stops with Out_Of_Memory as when memory ran out, and this tells the two apart.
    bool unknown_record() const { return m_unknown_record; }
    static int toolkit_major_revision() { return 1; }
    static int toolkit_minor_revision() { return 0; }
    static int toolkit_decimal_revision() { return 100; }

    // Opens the drawing's file in the file mode (a write starts with the header record),
    // starts the running position at the origin and the attribute state at its defaults.
    MB_Result open();
    // Ends a write with "\r\n(EndOfVKT)\r\n", closes the file and returns to mode 0.
    MB_Result close();

    // The standard I/O operations under everything else.
    static MB_Result default_open(MB_File_IO& file);
    static MB_Result default_close(MB_File_IO& file);
    static MB_Result default_read(MB_File_IO& file, int n, int& amount, void* buffer);
    // default_read of one byte, answered from the stream's buffer when it holds one.
    static MB_Result default_read_byte(MB_File_IO& file, unsigned char& byte);
    static MB_Result default_write(MB_File_IO& file, int n, const void* buffer);
    static MB_Result default_seek(MB_File_IO& file, int n, int& amount);

    // Binary writers.
    MB_Result write(unsigned char byte);
    MB_Result write(char byte) { return write(static_cast<unsigned char>(byte)); }
    MB_Result write_int16(mb_short v);
    MB_Result write_uint16(mb_ushort v);
    MB_Result write_int32(mb_long v);
    MB_Result write_uint32(mb_ulong v);
    MB_Result write(mb_short v) { return write_int16(v); }
    MB_Result write(mb_ushort v) { return write_uint16(v); }
    MB_Result write(mb_long v) { return write_int32(v); }
    MB_Result write(int n, const unsigned char* bytes);
    // 2n bytes, each unit little-endian.
    MB_Result write(int n, const char16_t* units);
    // The characters without the terminator.
    MB_Result write(const char* text);
    MB_Result write_double(double v);
    // Red, green, blue, alpha.
    MB_Result write(const MB_RGBA32& color);
    // x, y, z of each point, no delta.
    MB_Result write(int n, const Qe_Pt* points);
    // x and y as differences from the running position, z as it is; the point becomes the
    // running position.
    MB_Result write_position(const Qe_Pt& p);
    // The count as a long, then every point by write_position.
    MB_Result write(const Qe_Pt_Set& set);
    // The number of runs as a long, the filled flag byte, each run's count as a long, then
    // every point by write_position.
    MB_Result write(const Qe_Pt_Sets& sets);
    // n below 256 as one byte, otherwise a zero byte and n − 256 as an unsigned short.
    // Only 1 to 65,791 can be read back; other counts are refused with Invalid_Data.
    MB_Result write_count(int n);

    // ASCII writers (C locale).
    MB_Result write_ascii(mb_long v);
    MB_Result write_ascii(mb_short v);
    MB_Result write_ascii(mb_ushort v);
    // The same 32 bits taken as signed.
    MB_Result write_ascii(mb_ulong v);
    // "%.11g".
    MB_Result write_ascii(double v);
    // Red, green, blue, alpha, separated by ','.
    MB_Result write_ascii(const MB_RGBA32& color);
    MB_Result write_hex(unsigned char byte);
    // A tab-level break and a TAB before bytes 0, 30, 60 ...
    MB_Result write_hex(int n, const unsigned char* bytes);
    // Written as it stands when force is 0 and the text needs no quoting; otherwise between
    // "'" with "\" before every "\" and "'". A null or empty text writes "''".
    MB_Result write_quoted_string(const char* text, char force = 0);
    // Binary: "{", the unit count as a long, the units, "}". ASCII: the units as hex
    // digits between double quotes.
    MB_Result write_quoted_string(const char16_t* units);
    // ASCII output only: "\r\n" and one space per tab level.
    MB_Result write_tab_level();
    // As write_tab_level, then three spaces.
    MB_Result write_geom_tab_level();

    // Binary readers. Every one reads through read(int, unsigned char*) and is resumable.
    MB_Result read(int n, unsigned char* buffer);
    MB_Result read(int n, char* buffer) { return read(n, reinterpret_cast<unsigned char*>(buffer)); }
    MB_Result read(unsigned char& byte) { return read(1, &byte); }
    MB_Result read_int16(mb_short& v);
    MB_Result read_uint16(mb_ushort& v);
    MB_Result read_int32(mb_long& v);
    MB_Result read_uint32(mb_ulong& v);
    MB_Result read(mb_short& v) { return read_int16(v); }
    MB_Result read(mb_ushort& v) { return read_uint16(v); }
    MB_Result read(mb_long& v) { return read_int32(v); }
    // Stored files carry a 2-byte field here: it reads into the low half and the high half
    // keeps its value. A 4-byte unsigned field is read with read_uint32.
    MB_Result read(mb_ulong& v);
    MB_Result read_double(double& v);
    // Red, green, blue, alpha from streams of revision 33 and above (the current
    // rendition's drawing info); blue, green, red, alpha below.
    MB_Result read(MB_RGBA32& color);
    // n entries of 4 bytes, each as read(MB_RGBA32&).
    MB_Result read(int n, MB_RGBA32* colors);
    // 2n bytes, each unit little-endian.
    MB_Result read(int n, char16_t* units);
    // 24n bytes, no delta.
    MB_Result read(int n, Qe_Pt* points);
    // The running position's x and y are added; the point becomes the running position.
    MB_Result read_position(Qe_Pt& p);
    // On failure the set, the running position and the stream position stay as they
    // were: a call repeated once more data is there reads the whole record.
    MB_Result read(Qe_Pt_Set& set);
    MB_Result read(Qe_Pt_Sets& sets);
    // A long count n, then n bytes, held in bytes on success (null for n = 0). A count
    // outside 0 to max, or past the end of a plain file, gives Invalid_Data. On failure
    // nothing is consumed: the call may be repeated once more data is there.
    MB_Result read_counted_bytes(mb_long max, mb_long& n, std::unique_ptr<char[]>& bytes);
    // One byte c; c = 0 is followed by an unsigned short u, the count being u + 256.
    MB_Result read_count(int& n);
    // The same count for a caller that holds it in a long (the stream's long is the int
    // above); n changes only on success.
    MB_Result read_count(long& n);
    // A token (ended by a blank or ")", which is put back) or a quoted string ("'" or a
    // double quote; "\" escapes the next byte). At most max bytes. On success out is a new
    // array (delete[]) holding the text and a terminator. Resumable.
    MB_Result read(char*& out, int max, char allow_paren);

    // ASCII readers not carried by this format version: they consume nothing, leave their
    // outputs as they were and succeed, so that ASCII records are passed over safely (the
    // callers' own initial values stand).
    MB_Result read_hex(unsigned char& byte);
    MB_Result read_hex(int n, unsigned char* bytes);
    MB_Result read_ascii(mb_long& v);
    MB_Result read_ascii(double& v);
    MB_Result read_ascii(mb_ushort& v);
    MB_Result read_ascii(MB_Color& color, char with_alpha);
    MB_Result read_ascii(MB_RGBA32& color);
    MB_Result read_ascii(int n, MB_RGBA32* colors);
    MB_Result read_index_tree(int n, char with_close);

    // Stream control.
    // The bytes are read again before the file, in the order in which they were put back.
    MB_Result put_back(int n, const unsigned char* bytes);
    MB_Result put_back(const unsigned char& byte) { return put_back(1, &byte); }
    // Returns bytes in front of any already put back. A reader that met Waiting_For_Data
    // after taking the first fields of a record gives them back this way, so that the
    // repeated call reads the whole record again.
    MB_Result unread(int n, const unsigned char* bytes);
    // Defers passing over n bytes until the next read; a negative n is refused.
    MB_Result skip(int n);
    // Reads until the paren count falls to level, honouring quotes and escapes and passing
    // over binary "{" blocks by their length.
    MB_Result skip_past_matching_paren(int level);
    // Passes over bytes 0, 9, 10, 13 and 32.
    MB_Result eat_whitespace();
    // While compression is allowed (and binary data, which the stretch's marker needs) the
    // bytes go to the compressor, made and started with the first bytes; otherwise a
    // compressor still there is finished first and the bytes are written plain.
    MB_Result compress_write(int n, const void* bytes);
    // While data decompression is on, bytes come from the decompressor; at the end of the
    // stretch the closing "}" is checked and plain bytes follow. Bytes delivered before a
    // failure are reported as a short read with Success; the failure comes next call.
    MB_Result decompress_read(int n, int& amount, void* buffer);
    MB_Result decompress_seek(int n, int& amount);
    // Ends a compressed stretch: the next plain byte must be "}".
    MB_Result shut_down_decompression();
    MB_Result handle_leftover_decompressor_stream_read_data(int n, const unsigned char* bytes);
    static MB_Result temporary_decomp_leftover_read(MB_File_IO& file, int n, int& amount, void* buffer);
    // Deletes a held drawable (unless it is kept); writes nothing.
    MB_Result dump_delayed_drawable();
    // Drops a held drawable as dump_delayed_drawable does; the drawable given is never held
    // (only set_delayed_drawable holds one). Result 0 when nothing was held.
    MB_Result merge_or_delay_drawable(const MB_Drawable& drawable);

    // Object reading. The shell: the object left from the last opcode is deleted unless
    // reading linked it into a list of the drawing; the next opcode is read and its object
    // made (Budget_Exceeded once the budget's records are read). get_next_object then
    // reads its operands, process_next_object hands it on.
    // get_next_object and process_next_object read a record as a whole: when the source
    // has no more data yet (Waiting_For_Data, Nothing_Read), every byte taken since the
    // record began is given back, the object made for it is dropped and the reader's state
    // is as before the call, so the same call repeated later reads the whole record.
    MB_Result get_next_object_shell();
    MB_Result get_next_object();
    MB_Result process_next_object();

    // Whole drawings. Both need a drawing and leave the file object closed. A save is true
    // only when every byte was written and the file closed; a load only when the stream was
    // read up to its end record (objects read before a failure stay in the drawing). Undo
    // recording is paused throughout: what they make is not an edit.
    bool save_jxb(const char* path);
    bool load_jxb(const char* path);
    // The same, calling on_record(user) after each record that was read and processed, so
    // that a caller can show its progress.
    bool load_jxb(const char* path, void (*on_record)(void* user), void* user);
    // True once a write to the open file has failed; cleared by open.
    bool write_failed() const { return m_write_failed; }

    // Invalid_Data unless 0 ≤ n ≤ max and n units of unit_bytes can still be read. For plain
    // data of a file of known size the bytes left tell; otherwise a claim of more than
    // k_unchecked_bytes is believed only once its bytes have arrived: they are read ahead
    // into the put-back buffer, which grows with them (never with the claim). A source
    // that ends first gives Invalid_Data, one that has no data yet Waiting_For_Data.
    MB_Result check_length(mb_long n, std::size_t unit_bytes, mb_long max);
    // For a file of known size: the bytes left to read from plain data, or an upper bound on
    // what a compressed stretch can still deliver; −1 when unknown.
    long long bytes_remaining();

private:
    friend class MB_File_Header;

    MB_Result write_file_header();
    long long bytes_remaining(bool& exact);
    // Reads ahead until n bytes wait in the put-back buffer beyond a pending skip.
    MB_Result read_ahead(unsigned long long n);
    // The record being read: where it began, and every byte taken since.
    void begin_record();
    MB_Result rewind_record();
    void end_record() { m_record_open = false; }
    // Deletes the current object unless reading handed it to the drawing.
    void discard_current_object();
    void reset_running_position();
    MB_Result write_ascii_text(const char* text, std::size_t n);

    MB_Drawing* m_drawing = nullptr;
    MB_File_mode m_file_mode = Mode_Closed;
    MB_File_Heuristics m_heuristics;
    MB_Rendition m_desired_rendition;
    std::unique_ptr<MB_Rendition> m_rendition;
    MB_Opcode m_opcode;
    MB_Object* m_current_object = nullptr;  // owned unless handed to the drawing
    char m_have_read_first_opcode = 0;
    int m_incarnation = 1;
    int m_actual_position = 0;
    int m_paren_count = 0;
    int m_tab_level = 0;
    bool m_in_quote = false;
    bool m_escape = false;
    // The quote character that opened the string being read.
    unsigned char m_open_quote = 0;
    // 1 after a count byte of 0, while its unsigned short is awaited.
    int m_count_stage = 0;
    MB_Byte_Ring_Buffer m_string_buffer;
    std::unique_ptr<MB_LZ_Compressor> m_compressor;
    std::unique_ptr<MB_LZ_Decompressor> m_decompressor;
    int m_data_decompression = 0;
    MB_Byte_Ring_Buffer m_put_back;
    MB_Byte_Ring_Buffer m_leftover;
    MB_Drawable* m_delayed_drawable = nullptr;
    bool m_keep_delayed_drawable = false;
    MB_FIFO_Rendition m_fifo_rendition;
    int m_stream_position = 0;
    int m_opcode_start = 0;
    int m_opcode_count = 0;
    std::unique_ptr<MB_Opcode_Statistics> m_statistics;
    void* m_stream_user_data = nullptr;
    // Size of the open file: −2 not yet measured, −1 not measurable.
    long long m_file_size = -2;
    bool m_write_failed = false;
    MB_Load_Budget m_budget;
    long long m_decompressed_bytes = 0;
    MB_Result m_load_result;
    bool m_unknown_record = false;
    // The reader's state where the open record began, and the bytes taken since.
    struct Record_Start {
        int stream_position = 0;
        int actual_position = 0;
        int paren_count = 0;
        int opcode_count = 0;
        char have_read_first_opcode = 0;
        MB_Opcode opcode;
        Qe_Pt position;
        int statistics_last_start = 0;
        int statistics_last_id = 0;
        int statistics_last_total = 0;
    };
    bool m_record_open = false;
    Record_Start m_record_start;
    MB_Byte_Ring_Buffer m_record_bytes;
};
