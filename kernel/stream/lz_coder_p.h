#pragma once

// The stream's byte coder as MB_File_IO drives it: a compressor fed by compress_write and
// finished by close, and a decompressor that delivers the bytes of a compressed stretch to
// decompress_read. Both write to and read from the file directly through
// MB_File_IO::default_write and default_read.
//
// A stretch is a run of tokens. A token byte holds the literal count in its low nibble
// (15: an extension byte adds to it) and the match code in its high nibble (0: no match;
// 1 to 14: length code + 3; 15: an extension byte e after the literals gives 18 + e).
// The literals follow the token; a match ends with a 2-byte offset v, the match starting
// v + 1 bytes before the end of the history. The byte 0 ends the stretch, "}" closes it.
// The history is the last 65,536 bytes coded, starting with the fixed dictionary.

#include <cstdint>
#include <memory>

#include "kernel/stream/byte_ring_buffer.h"
#include "kernel/stream/result.h"

class MB_File_IO;

class MB_LZ_Compressor {
public:
    static constexpr int k_history = 65536;
    static constexpr int k_min_match = 4;
    static constexpr int k_max_match = 273;
    static constexpr int k_max_literals = 270;
    // Chain nodes examined per search beyond the first.
    static constexpr int k_max_candidates = 64;

    explicit MB_LZ_Compressor(MB_File_IO& file);
    virtual ~MB_LZ_Compressor();
    // Writes the compressed-data marker and loads the dictionary into the history.
    virtual MB_Result start();
    // Codes what is left, writes the end token and "}", and forgets the history.
    virtual MB_Result finish();
    virtual MB_Result compress(int n, const void* bytes);

    bool started() const { return m_started; }
    // False when the tables could not be allocated.
    bool valid() const { return m_bytes != nullptr; }

private:
    // Positions count every byte that entered the history, dictionary included; -1 is none.
    using Pos = std::int64_t;

    unsigned char history_byte(Pos p) const { return m_bytes[p & (k_history - 1)]; }
    bool known(Pos p) const;
    // How many history bytes from p on may be matched: up to the end of the history and
    // not into bytes of the table that are not known.
    Pos matchable(Pos p) const;
    Pos oldest() const { return m_end > k_history ? m_end - k_history : 0; }
    Pos next_in_chain(Pos p) const;
    void add_to_history(unsigned char byte);
    // add_to_history, and the byte joins the pending literals.
    MB_Result add_literal(unsigned char byte);
    void search(Pos from);
    // How many bytes from p on equal the input's first bytes, at most limit.
    int equal_bytes(Pos p, const unsigned char* in, int limit) const;
    MB_Result emit_match();
    MB_Result write_literals(int match_code);

    MB_File_IO& m_file;
    MB_Byte_Ring_Buffer m_input;
    std::unique_ptr<unsigned char[]> m_bytes;  // the history ring
    std::unique_ptr<std::uint16_t[]> m_next;   // per ring slot: how far back the older node of its chain is
    std::unique_ptr<Pos[]> m_heads;            // 65,536 chain heads
    MB_Byte_Ring_Buffer m_literals;
    bool m_started = false;
    int m_match_length = 3;
    Pos m_match = -1;
    bool m_match_open = false;
    int m_candidates = 0;
    Pos m_end = 0;                // position after the newest history byte
    Pos m_dictionary_offset = 0;  // dictionary index of position 0
};

class MB_LZ_Decompressor {
public:
    explicit MB_LZ_Decompressor(MB_File_IO& file);
    virtual ~MB_LZ_Decompressor();
    // Loads the dictionary into the history.
    virtual MB_Result start();
    // Delivers up to n bytes and reports how many in amount; resumable across calls.
    // End_Of_Compression at the end token (the file's data decompression is then 0).
    // Bytes delivered before a failure are reported with Success; the failure comes with
    // the next call.
    virtual MB_Result decompress(int n, int& amount, void* buffer);

    // A stretch that broke (a bad reference, a wrong closing byte) stays broken.
    bool broken() const { return m_state == State_Broken; }
    void set_broken() { m_state = State_Broken; }
    bool valid() const { return m_history != nullptr; }

private:
    enum State : int {
        State_Broken = 0,
        State_Token = 1,
        State_Literal_Extension,
        State_Literals,
        State_Match_Extension,
        State_Offset_Low,
        State_Offset_High,
        State_Match,
        State_End,
    };
    static constexpr int k_history = 65536;

    MB_Result read_byte(unsigned char& c);
    void append(unsigned char c);
    // Appends n bytes to the history.
    void append(const unsigned char* bytes, int n);
    // Delivers k bytes of the match into out and the history.
    void copy_match(unsigned char* out, int k);
    // Sets the match source from the offset; false when it lies outside the history.
    bool set_source(unsigned v);

    MB_File_IO& m_file;
    int m_state = State_Token;
    int m_literals = 0;
    int m_match_length = 0;
    std::int64_t m_source = 0;
    std::unique_ptr<unsigned char[]> m_history;
    std::int64_t m_end = 0;  // bytes that entered the history, dictionary included
    int m_match_code = 0;
    unsigned m_offset_low = 0;
};
