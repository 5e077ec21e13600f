#include "kernel/stream/lz_coder_p.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "kernel/database/operation_context.h"
#include "kernel/stream/compressed_data.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/lz_dictionary_p.h"

namespace {

constexpr int k_hash_size = 65536;

unsigned hash4(const unsigned char* c)
{
    return c[0] ^ ((c[1] ^ ((c[2] ^ (unsigned(c[3]) << 3)) << 2)) << 3);
}

}  // namespace

// Compressor

MB_LZ_Compressor::MB_LZ_Compressor(MB_File_IO& file)
    : m_file(file),
      m_bytes(new (std::nothrow) unsigned char[k_history]),
      m_next(new (std::nothrow) std::uint16_t[k_history]),
      m_heads(new (std::nothrow) Pos[k_hash_size])
{
    if (!m_next || !m_heads) m_bytes.reset();
}

MB_LZ_Compressor::~MB_LZ_Compressor() = default;

bool MB_LZ_Compressor::known(Pos p) const
{
    const Pos index = p + m_dictionary_offset;
    return index >= static_cast<Pos>(k_lz_dictionary_size) || lz_dictionary_known(static_cast<std::size_t>(index));
}

MB_LZ_Compressor::Pos MB_LZ_Compressor::matchable(Pos p) const
{
    Pos n = m_end - p;
    const Pos index = p + m_dictionary_offset;
    if (index < static_cast<Pos>(k_lz_dictionary_size)) {
        const Pos run = static_cast<Pos>(lz_dictionary_known_run(static_cast<std::size_t>(index)));
        // A run reaching the end of the table goes on into coded bytes.
        if (index + run < static_cast<Pos>(k_lz_dictionary_size)) n = std::min(n, run);
    }
    return n;
}

MB_LZ_Compressor::Pos MB_LZ_Compressor::next_in_chain(Pos p) const
{
    // A link to a node that has left the history ends the chain.
    const unsigned back = m_next[p & (k_history - 1)];
    const Pos q = p - back;
    return back != 0 && q >= oldest() ? q : -1;
}

MB_Result MB_LZ_Compressor::start()
{
    if (!valid()) return MB_Result::Out_Of_Memory;
    std::fill(m_heads.get(), m_heads.get() + k_hash_size, Pos(-1));
    m_end = 0;
    m_match = -1;
    m_match_open = false;
    m_match_length = 3;
    m_candidates = 0;
    m_literals.clear();
    m_input.clear();
    // The marker is a temporary record of the file object, not drawing content.
    MB_Result r;
    {
        MB_Recording_Pause pause;
        MB_Compressed_Data marker(MB_Compressed_Data::k_writer_opcode);
        pause.resume();
        r = marker.serialize(m_file);
    }
    if (r != 0) return r;
    m_started = true;
    const std::size_t skip = m_file.heuristics().target_revision() <= 36 ? k_lz_dictionary_legacy_skip : 0;
    m_dictionary_offset = static_cast<Pos>(skip);
    const unsigned char* dictionary = lz_dictionary();
    for (std::size_t i = skip; i < k_lz_dictionary_size; ++i) add_to_history(dictionary[i]);
    return MB_Result::Success;
}

void MB_LZ_Compressor::add_to_history(unsigned char byte)
{
    // A full ring overwrites its oldest byte; links to it read as stale (next_in_chain).
    m_bytes[m_end & (k_history - 1)] = byte;
    ++m_end;
    if (m_end - oldest() > 3) {
        const Pos p = m_end - 4;
        // Positions whose bytes are not all known never enter a chain; past the table
        // every byte is.
        const bool past_table = p + m_dictionary_offset >= static_cast<Pos>(k_lz_dictionary_size);
        if (past_table || (known(p) && known(p + 3) && known(p + 1) && known(p + 2))) {
            unsigned char c[4];
            for (int i = 0; i < 4; ++i) c[i] = history_byte(p + i);
            Pos& head = m_heads[hash4(c)];
            // Links are kept as the distance back, 0 for none: a node further back than the
            // history reaches has already left it.
            const Pos back = head >= 0 ? p - head : 0;
            m_next[p & (k_history - 1)] = back > 0 && back < k_history ? static_cast<std::uint16_t>(back) : 0;
            head = p;
        }
    }
}

MB_Result MB_LZ_Compressor::add_literal(unsigned char byte)
{
    add_to_history(byte);
    MB_Result r = m_literals.append(byte);
    if (r != 0) return r;
    if (m_literals.count() >= static_cast<std::size_t>(k_max_literals)) return write_literals(0);
    return MB_Result::Success;
}

void MB_LZ_Compressor::search(Pos from)
{
    const unsigned char* in = m_input.data();
    const int available = static_cast<int>(m_input.count());
    // The walk runs on locals: stores to members would make every load in it reload.
    const unsigned char* ring = m_bytes.get();
    const Pos table_end = static_cast<Pos>(k_lz_dictionary_size) - m_dictionary_offset;
    int length = m_match_length;
    int candidates = m_candidates;
    for (Pos p = from; p >= 0;) {
        const Pos next = next_in_chain(p);
        // i counts the equal bytes; "open" when it reaches the end of the input, which
        // lets the match grow with more input.
        const Pos reach = p >= table_end ? m_end - p : matchable(p);
        const int limit = static_cast<int>(std::min<Pos>({reach, k_max_match, available}));
        // A node that cannot beat the pending length is passed over at its first byte
        // past it (it could not reach the end of the input either).
        if (length < limit && ring[(p + length) & (k_history - 1)] != in[length]) {
            if (++candidates > k_max_candidates) break;
            p = next;
            continue;
        }
        const int i = equal_bytes(p, in, limit);
        const bool open = i == available;
        if (i > length || (open && i >= length && i > 3)) {
            length = i;
            m_match = p;
            m_match_open = open;
            if (open) break;
        }
        if (++candidates > k_max_candidates) break;
        p = next;
    }
    m_match_length = length;
    m_candidates = candidates;
}

int MB_LZ_Compressor::equal_bytes(Pos p, const unsigned char* in, int limit) const
{
    int i = 0;
    const auto at = static_cast<std::size_t>(p & (k_history - 1));
    if (at + static_cast<std::size_t>(limit) <= static_cast<std::size_t>(k_history)) {
        // No ring edge in the way: eight bytes at a time, the first difference found from
        // the lowest differing bit (little-endian loads).
        const unsigned char* h = m_bytes.get() + at;
        for (; i + 8 <= limit; i += 8) {
            std::uint64_t a, b;
            std::memcpy(&a, h + i, 8);
            std::memcpy(&b, in + i, 8);
            if (a != b) return i + std::countr_zero(a ^ b) / 8;
        }
        while (i < limit && h[i] == in[i]) ++i;
        return i;
    }
    while (i < limit && history_byte(p + i) == in[i]) ++i;
    return i;
}

MB_Result MB_LZ_Compressor::write_literals(int match_code)
{
    // One token with its literals and, for a match, its length extension and offset.
    unsigned char out[1 + 1 + k_max_literals + 1 + 2];
    std::size_t literals = m_literals.count();
    if (match_code == 0 && literals > static_cast<std::size_t>(k_max_literals))
        literals = static_cast<std::size_t>(k_max_literals);
    if (literals > static_cast<std::size_t>(k_max_literals)) {
        // Only after a failed write: flush a full run first.
        MB_Result r = write_literals(0);
        if (r != 0) return r;
        literals = m_literals.count();
    }
    const int L = static_cast<int>(literals);
    const int code = match_code ? m_match_length - 3 : 0;
    std::size_t k = 0;
    out[k++] = static_cast<unsigned char>(std::min(L, 15) | (std::min(code, 15) << 4));
    if (L > 14) out[k++] = static_cast<unsigned char>(L - 15);
    if (L) std::memcpy(out + k, m_literals.data(), literals);
    k += literals;
    if (match_code) {
        if (code > 14) out[k++] = static_cast<unsigned char>(m_match_length - 18);
        const Pos v = m_end - m_match - 1;
        out[k++] = static_cast<unsigned char>(v & 0xFF);
        out[k++] = static_cast<unsigned char>((v >> 8) & 0xFF);
    }
    MB_Result r = MB_File_IO::default_write(m_file, static_cast<int>(k), out);
    if (r != 0) return r;
    m_literals.take(literals, nullptr);
    return MB_Result::Success;
}

MB_Result MB_LZ_Compressor::emit_match()
{
    MB_Result r = write_literals(1);
    if (r != 0) return r;
    const int m = m_match_length;
    m_match = -1;
    m_match_open = false;
    m_match_length = 3;
    const unsigned char* in = m_input.data();
    for (int i = 0; i < m; ++i) add_to_history(in[i]);
    m_input.take(static_cast<std::size_t>(m), nullptr);
    return MB_Result::Success;
}

MB_Result MB_LZ_Compressor::compress(int n, const void* bytes)
{
    if (!m_started) return MB_Result::Internal_Error;
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    MB_Result r = m_input.append(static_cast<std::size_t>(n), static_cast<const unsigned char*>(bytes));
    if (r != 0) return r;
    // Every pass emits, moves a byte to the history, or returns to wait for input.
    for (;;) {
        const int available = static_cast<int>(m_input.count());
        if (m_match >= 0) {
            // A match that reached the end of the input grows with the new bytes.
            const unsigned char* in = m_input.data();
            int& len = m_match_length;
            for (;;) {
                const Pos h = m_match + len;
                if (len == k_max_match || h >= m_end || !known(h)) break;
                if (len == available) return MB_Result::Success;
                if (history_byte(h) != in[len]) break;
                ++len;
            }
            m_match_open = false;
            search(next_in_chain(m_match));
            if (m_match_open) return MB_Result::Success;
            r = emit_match();
            if (r != 0) return r;
            continue;
        }
        if (available < k_min_match) return MB_Result::Success;
        const Pos head = m_heads[hash4(m_input.data())];
        if (head >= oldest()) {
            m_match_length = 3;
            m_candidates = 0;
            search(head);
        }
        if (m_match >= 0) {
            if (m_match_open) return MB_Result::Success;
            r = emit_match();
            if (r != 0) return r;
            continue;
        }
        unsigned char c = 0;
        m_input.take(1, &c);
        r = add_literal(c);
        if (r != 0) return r;
    }
}

MB_Result MB_LZ_Compressor::finish()
{
    if (!m_started) return MB_Result::Success;
    MB_Result r;
    if (m_match >= 0) {
        r = emit_match();
        if (r != 0) return r;
    }
    while (!m_input.empty()) {
        unsigned char c = 0;
        m_input.take(1, &c);
        r = add_literal(c);
        if (r != 0) return r;
    }
    if (!m_literals.empty()) {
        r = write_literals(0);
        if (r != 0) return r;
    }
    const unsigned char end[2] = {0, '}'};
    r = MB_File_IO::default_write(m_file, 2, end);
    if (r != 0) return r;
    m_end = 0;
    m_match = -1;
    m_match_open = false;
    m_match_length = 3;
    m_started = false;
    return MB_Result::Success;
}

// Decompressor

MB_LZ_Decompressor::MB_LZ_Decompressor(MB_File_IO& file)
    : m_file(file), m_history(new (std::nothrow) unsigned char[k_history])
{
}

MB_LZ_Decompressor::~MB_LZ_Decompressor() = default;

MB_Result MB_LZ_Decompressor::start()
{
    if (!valid()) return MB_Result::Out_Of_Memory;
    m_end = 0;
    const unsigned char* dictionary = lz_dictionary();
    for (std::size_t i = 0; i < k_lz_dictionary_size; ++i) append(dictionary[i]);
    m_state = State_Token;
    return MB_Result::Success;
}

void MB_LZ_Decompressor::append(unsigned char c)
{
    m_history[m_end & (k_history - 1)] = c;
    ++m_end;
}

MB_Result MB_LZ_Decompressor::read_byte(unsigned char& c)
{
    return MB_File_IO::default_read_byte(m_file, c);
}

void MB_LZ_Decompressor::append(const unsigned char* bytes, int n)
{
    // At most two pieces: up to the end of the ring, then from its start.
    const auto at = static_cast<std::size_t>(m_end & (k_history - 1));
    const std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(n), k_history - at);
    std::memcpy(m_history.get() + at, bytes, first);
    std::memcpy(m_history.get(), bytes + first, static_cast<std::size_t>(n) - first);
    m_end += n;
}

void MB_LZ_Decompressor::copy_match(unsigned char* out, int k)
{
    unsigned char* ring = m_history.get();
    constexpr std::int64_t mask = k_history - 1;
    // A source at least k bytes behind the end and no ring edge in either stretch: one copy
    // each way. Otherwise byte by byte, as a match may repeat bytes it has just made.
    if (m_end - m_source >= k && ((m_source & mask) + k) <= k_history && ((m_end & mask) + k) <= k_history) {
        std::memcpy(out, ring + (m_source & mask), static_cast<std::size_t>(k));
        std::memcpy(ring + (m_end & mask), out, static_cast<std::size_t>(k));
        m_source += k;
        m_end += k;
        return;
    }
    for (int i = 0; i < k; ++i) {
        const unsigned char b = ring[m_source & mask];
        ++m_source;
        out[i] = b;
        ring[m_end & mask] = b;
        ++m_end;
    }
}

bool MB_LZ_Decompressor::set_source(unsigned v)
{
    const std::int64_t held = std::min<std::int64_t>(m_end, k_history);
    MB_Rendition* rendition = m_file.rendition();
    const int revision = rendition ? rendition->drawing_info().decimal_revision() : 0;
    // Streams of revision 22 and below count the offset from the oldest byte held.
    const std::int64_t source = revision > 22 ? m_end - (std::int64_t(v) + 1) : m_end - held + v;
    if (source < m_end - held || source >= m_end) return false;
    m_source = source;
    return true;
}

MB_Result MB_LZ_Decompressor::decompress(int n, int& amount, void* buffer)
{
    amount = 0;
    if (n < 0 || (n > 0 && !buffer)) return MB_Result::Invalid_Data;
    if (!valid()) return MB_Result::Out_Of_Memory;
    auto* out = static_cast<unsigned char*>(buffer);
    // Bytes already delivered are reported as a short read; a failure repeats next call.
    auto stop = [&amount](MB_Result r) { return amount > 0 ? MB_Result(MB_Result::Success) : r; };
    auto fail = [this, &stop]() {
        m_state = State_Broken;
        return stop(MB_Result::Invalid_Data);
    };
    while (amount < n) {
        unsigned char c = 0;
        MB_Result r;
        switch (m_state) {
        case State_Token:
            r = read_byte(c);
            if (r != 0) return stop(r);
            if (c == 0) {
                m_state = State_End;
                m_file.set_data_decompression(0);
                return MB_Result::End_Of_Compression;
            }
            m_match_code = c >> 4;
            m_literals = c & 15;
            m_state = m_literals == 15 ? State_Literal_Extension : State_Literals;
            break;
        case State_Literal_Extension:
            r = read_byte(c);
            if (r != 0) return stop(r);
            m_literals = 15 + c;
            m_state = State_Literals;
            break;
        case State_Literals: {
            if (m_literals == 0) {
                if (m_match_code == 0) {
                    m_state = State_Token;
                } else if (m_match_code == 15) {
                    m_state = State_Match_Extension;
                } else {
                    m_match_length = m_match_code + 3;
                    m_state = State_Offset_Low;
                }
                break;
            }
            const int want = std::min(m_literals, n - amount);
            int got = 0;
            r = MB_File_IO::default_read(m_file, want, got, out + amount);
            if (r != 0) return stop(r);
            append(out + amount, got);
            amount += got;
            m_literals -= got;
            if (got < want) return MB_Result::Success;
            break;
        }
        case State_Match_Extension:
            r = read_byte(c);
            if (r != 0) return stop(r);
            m_match_length = 18 + c;
            m_state = State_Offset_Low;
            break;
        case State_Offset_Low:
            r = read_byte(c);
            if (r != 0) return stop(r);
            m_offset_low = c;
            m_state = State_Offset_High;
            break;
        case State_Offset_High:
            r = read_byte(c);
            if (r != 0) return stop(r);
            if (!set_source(m_offset_low | (unsigned(c) << 8))) return fail();
            m_state = State_Match;
            break;
        case State_Match: {
            const int k = std::min(m_match_length, n - amount);
            // Bytes of the table this library does not hold cannot be reproduced.
            const auto table = static_cast<std::int64_t>(k_lz_dictionary_size);
            for (std::int64_t p = m_source; p < table && p < m_source + k; ++p)
                if (!lz_dictionary_known(static_cast<std::size_t>(p))) {
                    // The bytes before the unknown one are still delivered.
                    const int good = static_cast<int>(p - m_source);
                    copy_match(out + amount, good);
                    amount += good;
                    m_match_length -= good;
                    return fail();
                }
            copy_match(out + amount, k);
            amount += k;
            m_match_length -= k;
            if (m_match_length == 0) m_state = State_Token;
            break;
        }
        case State_End:
            return stop(MB_Result::End_Of_Compression);
        default:
            return stop(MB_Result::Invalid_Data);
        }
    }
    return MB_Result::Success;
}
