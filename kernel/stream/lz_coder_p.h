#pragma once

// The stream's byte coder as MB_File_IO drives it: a compressor fed by compress_write and
// finished by close, and a decompressor that delivers the bytes of a compressed stretch to
// decompress_read. They write to and read from the file through MB_File_IO::default_write
// (in blocks of tokens) and default_read.
//
// A stretch is a run of tokens. A token byte holds the literal count in its low nibble
// (15: an extension byte adds to it) and the match code in its high nibble (0: no match;
// 1 to 14: length code + 3; 15: an extension byte e after the literals gives 18 + e).
// The literals follow the token; a match ends with a 2-byte offset v, the match starting
// v + 1 bytes before the end of the history. The byte 0 ends the stretch, "}" closes it.
// The history is the last 65,536 bytes coded, starting with the fixed dictionary.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "kernel/stream/byte_ring_buffer.h"
#include "kernel/database/result.h"

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
    // Chain heads are held as 32-bit offsets from a base that moves up to the oldest history
    // byte every k_head_span bytes: position - base + k_head_bias, 0 for none. The bias puts
    // every head more than a history's length after none.
    static constexpr Pos k_head_span = Pos(1) << 20;
    static constexpr std::uint32_t k_head_bias = 65536;
    // Bytes of the ring's start repeated after its end, so that the next k_mirror bytes of
    // any position can be read in one place.
    static constexpr int k_mirror = 8;
    // A chain's end as a link: no node that far back is in the history (nodes lie at least
    // four bytes before its end), so a walk stops there without a test of its own.
    static constexpr std::uint16_t k_chain_end = 0xFFFF;
    static constexpr int k_cached = 64;
    static constexpr int k_cache_slots = 2048;
    static constexpr unsigned k_no_hash = ~0u;
    // Tokens are gathered and written to the file in blocks of this size.
    static constexpr std::size_t k_out_size = 16384;
    // The longest token: its byte, the literal extension, the literals, the match extension
    // and the offset.
    static constexpr std::size_t k_max_token = 1 + 1 + k_max_literals + 1 + 2;

    // The first k_cached links of a chain searched lately, from its head on, in a ring whose
    // nearest link is in slot at. A search that starts at a chain's head takes the cache
    // slot of its hash (the slot's chain leaves it) and fills it as it walks; every node that
    // joins the chain afterwards puts its link in front. The links lie together, so a walk
    // over them does not wait on a table load per node.
    struct Chain_Cache {
        int at;
        // Links put in since the slot was taken; the ring holds the k_cached nearest. Kept
        // from growing without bound when the heads are rebased.
        int count;
        std::uint16_t back[k_cached];
    };

    unsigned char history_byte(Pos p) const { return m_bytes[p & (k_history - 1)]; }
    bool known(Pos p) const;
    // How many history bytes from p on may be matched: up to the end of the history and
    // not into bytes of the table that are not known.
    Pos matchable(Pos p) const;
    Pos oldest() const { return m_end > k_history ? m_end - k_history : 0; }
    Pos next_in_chain(Pos p) const;
    Pos head(unsigned hash) const;
    // Moves the heads' base to the oldest history byte; heads before it are none.
    void rebase_heads();
    // Appends n bytes to the history and links every position whose four bytes are now in it.
    void add_to_history(const unsigned char* bytes, int n);
    // The byte enters the history and joins the pending literals.
    MB_Result add_literal(unsigned char byte);
    // The cache of the hash's chain; a walk from the head (rank 0) takes the slot when
    // another chain holds it. Null when the chain has no cache.
    Chain_Cache* chain_cache(unsigned hash, int rank);
    // Walks the chain of the input's hash from its node of the given rank (0: the head).
    void search(unsigned hash, Pos from, int rank);
    // How many bytes from p on equal the input's first bytes, at most limit.
    int equal_bytes(Pos p, const unsigned char* in, int limit) const;
    MB_Result emit_match();
    MB_Result write_literals(int match_code);
    MB_Result put(const unsigned char* bytes, std::size_t n);
    // Writes the gathered tokens; after a failed write they are kept for the next try.
    MB_Result flush();

    MB_File_IO& m_file;
    MB_Byte_Ring_Buffer m_input;
    std::unique_ptr<unsigned char[]> m_bytes;  // the history ring, k_mirror bytes repeated
    std::unique_ptr<std::uint16_t[]> m_next;   // per ring slot: its link, how far back the older node of its chain is
    std::unique_ptr<std::uint32_t[]> m_heads;  // 65,536 chain heads
    Pos m_head_base = 0;
    std::unique_ptr<Chain_Cache[]> m_cache;
    std::unique_ptr<unsigned[]> m_cached_hash;  // per cache slot: whose chain it holds
    std::unique_ptr<unsigned char[]> m_out;     // tokens not yet written
    std::size_t m_out_count = 0;
    MB_Byte_Ring_Buffer m_literals;
    bool m_started = false;
    int m_match_length = 3;
    Pos m_match = -1;
    int m_match_rank = 0;  // the match's rank in its chain
    bool m_match_open = false;
    int m_candidates = 0;
    Pos m_end = 0;                // position after the newest history byte
    Pos m_dictionary_offset = 0;  // dictionary index of position 0
    Pos m_table_end = 0;          // the first position past the table
};

class MB_LZ_Decompressor {
public:
    explicit MB_LZ_Decompressor(MB_File_IO& file);
    virtual ~MB_LZ_Decompressor();
    // Loads the dictionary into the history.
    virtual MB_Result start();
    // Delivers up to n bytes and reports how many in amount; resumable across calls.
    // End_Of_Compression once every byte before the end token is delivered (the file's data
    // decompression is then 0). Bytes delivered before a failure are reported with Success;
    // the failure comes with the next call. Bytes are decoded ahead in steps of k_ready,
    // never past the end token.
    virtual MB_Result decompress(int n, int& amount, void* buffer);

    // A stretch that broke (a bad reference, a wrong closing byte) stays broken.
    bool broken() const { return m_state == State_Broken; }
    void set_broken() { m_state = State_Broken; }
    bool valid() const { return m_history != nullptr && m_ready != nullptr; }
    // Bytes decoded and not yet delivered.
    int ready() const { return m_ready_end - m_ready_at; }

private:
    static constexpr int k_ready = 32768;

    // Decodes up to n bytes into out (the state machine of the stretch): Success when it
    // stopped for room, End_Of_Compression at the end token, otherwise why it stopped.
    MB_Result decode(int n, int& amount, unsigned char* out);

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
    // Decoded bytes not yet delivered, and why decoding stopped last (given once they are).
    std::unique_ptr<unsigned char[]> m_ready;
    int m_ready_at = 0;
    int m_ready_end = 0;
    MB_Result m_stopped;
};
