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
      m_bytes(new (std::nothrow) unsigned char[k_history + k_mirror]),
      m_next(new (std::nothrow) std::uint16_t[k_history]),
      m_heads(new (std::nothrow) std::uint32_t[k_hash_size]),
      m_cache(new (std::nothrow) Chain_Cache[k_cache_slots]),
      m_cached_hash(new (std::nothrow) unsigned[k_cache_slots]),
      m_out(new (std::nothrow) unsigned char[k_out_size])
{
    if (!m_next || !m_heads || !m_cache || !m_cached_hash || !m_out) m_bytes.reset();
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
    // A link to a node that has left the history ends the chain (k_chain_end always does).
    const unsigned back = m_next[p & (k_history - 1)];
    const Pos q = p - back;
    return q >= oldest() ? q : -1;
}

MB_LZ_Compressor::Pos MB_LZ_Compressor::head(unsigned hash) const
{
    const std::uint32_t v = m_heads[hash];
    return v ? m_head_base + v - k_head_bias : -1;
}

void MB_LZ_Compressor::rebase_heads()
{
    // Heads older than the history are never followed, so dropping them changes nothing.
    const Pos base = oldest();
    const auto shift = static_cast<std::uint32_t>(base - m_head_base);
    for (int h = 0; h < k_hash_size; ++h) {
        std::uint32_t& v = m_heads[h];
        v = v >= shift + k_head_bias ? v - shift : 0;
    }
    // Only the first k_cached of a cache's count mean anything.
    for (int slot = 0; slot < k_cache_slots; ++slot)
        if (m_cached_hash[slot] != k_no_hash) m_cache[slot].count = std::min(m_cache[slot].count, k_cached);
    m_head_base = base;
}

MB_Result MB_LZ_Compressor::start()
{
    if (!valid()) return MB_Result::Out_Of_Memory;
    std::fill(m_heads.get(), m_heads.get() + k_hash_size, 0u);
    std::fill(m_cached_hash.get(), m_cached_hash.get() + k_cache_slots, k_no_hash);
    m_head_base = 0;
    m_end = 0;
    m_match = -1;
    m_match_open = false;
    m_match_length = 3;
    m_candidates = 0;
    m_literals.clear();
    m_input.clear();
    m_out_count = 0;
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
    m_table_end = static_cast<Pos>(k_lz_dictionary_size - skip);
    add_to_history(lz_dictionary() + skip, static_cast<int>(k_lz_dictionary_size - skip));
    return MB_Result::Success;
}

void MB_LZ_Compressor::add_to_history(const unsigned char* bytes, int n)
{
    // A full ring overwrites its oldest bytes; links to them read as stale (next_in_chain).
    if (m_end + n - m_head_base >= k_head_span) rebase_heads();
    Pos p = std::max<Pos>(m_end - 3, 0);
    unsigned char* ring = m_bytes.get();
    for (int done = 0; done < n;) {
        const auto at = static_cast<std::size_t>(m_end & (k_history - 1));
        const int k = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(n - done), k_history - at));
        std::memcpy(ring + at, bytes + done, static_cast<std::size_t>(k));
        if (at < k_mirror) {
            const std::size_t repeated = std::min<std::size_t>(k_mirror - at, static_cast<std::size_t>(k));
            std::memcpy(ring + k_history + at, ring + at, repeated);
        }
        m_end += k;
        done += k;
    }
    // Each position joins its chain once its fourth byte has arrived. Positions whose bytes
    // are not all known never enter a chain; past the table every byte is.
    const Pos stop = m_end - 3;
    std::uint16_t* next = m_next.get();
    std::uint32_t* heads = m_heads.get();
    const unsigned* cached_hash = m_cached_hash.get();
    Chain_Cache* cache = m_cache.get();
    const Pos base = m_head_base;
    auto link = [&](Pos p, unsigned hash) {
        const auto slot = static_cast<std::size_t>(p & (k_history - 1));
        // Links are kept as the distance back; k_chain_end stands for none, as does any
        // distance that reaches past the history. No head (0) lies further back than any.
        const auto here = static_cast<std::uint32_t>(p - base + k_head_bias);
        const std::uint32_t back = here - heads[hash];
        const auto link = static_cast<std::uint16_t>(std::min<std::uint32_t>(back, k_chain_end));
        next[slot] = link;
        heads[hash] = here;
        const unsigned cache_slot = hash & (k_cache_slots - 1);
        if (cached_hash[cache_slot] == hash) {
            Chain_Cache& c = cache[cache_slot];
            c.at = (c.at - 1) & (k_cached - 1);
            c.back[c.at] = link;
            ++c.count;
        }
    };
    for (; p < stop && p < m_table_end; ++p)
        if (known(p) && known(p + 3) && known(p + 1) && known(p + 2)) link(p, hash4(ring + (p & (k_history - 1))));
    // Past the table the hashes of a stretch are worked out together first (a loop the
    // compiler turns into vector code), up to the ring's end, where the bytes stop lying
    // together (the repeated bytes after it cover the last position's four).
    constexpr int k_batch = 128;
    std::uint16_t hashes[k_batch];
    while (p < stop) {
        const auto slot = static_cast<std::size_t>(p & (k_history - 1));
        const int n = static_cast<int>(std::min<Pos>({stop - p, k_batch, static_cast<Pos>(k_history - slot)}));
        const unsigned char* b = ring + slot;
        for (int j = 0; j < n; ++j)
            hashes[j] = static_cast<std::uint16_t>(b[j] ^ (b[j + 1] << 3) ^ (b[j + 2] << 5) ^ (b[j + 3] << 8));
        for (int j = 0; j < n; ++j) link(p + j, hashes[j]);
        p += n;
    }
}

MB_Result MB_LZ_Compressor::add_literal(unsigned char byte)
{
    add_to_history(&byte, 1);
    MB_Result r = m_literals.append(byte);
    if (r != 0) return r;
    if (m_literals.count() >= static_cast<std::size_t>(k_max_literals)) return write_literals(0);
    return MB_Result::Success;
}

MB_LZ_Compressor::Chain_Cache* MB_LZ_Compressor::chain_cache(unsigned hash, int rank)
{
    const unsigned slot = hash & (k_cache_slots - 1);
    Chain_Cache& c = m_cache[slot];
    if (m_cached_hash[slot] == hash) return &c;
    if (rank != 0) return nullptr;
    m_cached_hash[slot] = hash;
    c.at = 0;
    c.count = 0;
    return &c;
}

inline int MB_LZ_Compressor::equal_bytes(Pos p, const unsigned char* in, int limit) const
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

void MB_LZ_Compressor::search(unsigned hash, Pos from, int rank)
{
    if (from < 0) return;
    const unsigned char* in = m_input.data();
    const int available = static_cast<int>(m_input.count());
    // The walk runs on locals: stores to members would make every load in it reload.
    const unsigned char* ring = m_bytes.get();
    const std::uint16_t* next = m_next.get();
    const Pos end = m_end;
    const Pos old = oldest();
    const Pos table_end = m_table_end;
    const int most = std::min(k_max_match, available);
    int length = m_match_length;
    int candidates = m_candidates;
    // For a node that has more than the pending length of bytes to offer: whether a byte up
    // to the one at that length differs from the input's, so that the node cannot beat the
    // pending match. From a length of 7 on, the eight bytes ending there are compared at
    // once (they are all in the history and the input).
    std::uint64_t tail = 0;
    auto load_tail = [&] {
        if (length >= 7 && length < most) std::memcpy(&tail, in + length - 7, 8);
    };
    auto differs = [&](Pos p) {
        if (length < 7) return ring[(p + length) & (k_history - 1)] != in[length];
        std::uint64_t h;
        std::memcpy(&h, ring + ((p + length - 7) & (k_history - 1)), 8);
        return h != tail;
    };
    load_tail();
    // Weighs the node of rank r; true when the walk is over.
    auto weigh = [&](Pos p, int r) {
        // i counts the equal bytes; "open" when it reaches the end of the input, which
        // lets the match grow with more input.
        const Pos reach = p >= table_end ? end - p : matchable(p);
        const int limit = reach < most ? static_cast<int>(reach) : most;
        // A node that cannot beat the pending length is passed over without a full
        // comparison (it could not reach the end of the input either).
        if (length < limit && differs(p)) return ++candidates > k_max_candidates;
        const int i = equal_bytes(p, in, limit);
        const bool open = i == available;
        if (i > length || (open && i >= length && i > 3)) {
            // A better match is rare: it goes to the members at once, which keeps the walk's
            // own values in registers.
            length = i;
            m_match = p;
            m_match_rank = r;
            m_match_open = open;
            if (open) return true;
            load_tail();
        }
        return ++candidates > k_max_candidates;
    };
    Pos node = from;
    int r = rank;
    bool over = weigh(node, r);
    Chain_Cache* c = over ? nullptr : chain_cache(hash, rank);
    if (c) {
        const std::uint16_t* cached = c->back;
        const int at = c->at;
        const int count = std::min(c->count, k_cached);
        // Nodes before this one have left the history or lie in the table.
        const Pos floor = std::max(old, table_end);
        while (!over && r < count) {
            // Most nodes are passed over at the eight bytes ending at the pending length.
            // They are taken two at a time and counted without a branch per node while
            // both lie in the history past the table, have more than the pending length of
            // bytes to offer (every node does once the last one weighed has that many), and
            // are within the candidates allowed.
            if (length >= 7 && length < most && end - node >= length) {
                const int at_length = length - 7;
                // Pairs start before count - 1 and while the candidates counted stay below
                // the most allowed.
                const int first = r;
                const int stop = std::min(count - 1, r + k_max_candidates - candidates);
                while (r < stop) {
                    const unsigned d0 = cached[(at + r) & (k_cached - 1)];
                    const unsigned d1 = cached[(at + r + 1) & (k_cached - 1)];
                    const Pos p0 = node - d0;
                    const Pos p1 = p0 - d1;
                    std::uint64_t h0, h1;
                    std::memcpy(&h0, ring + ((p0 + at_length) & (k_history - 1)), 8);
                    std::memcpy(&h1, ring + ((p1 + at_length) & (k_history - 1)), 8);
                    const bool passed = (p1 >= floor) & (h0 != tail) & (h1 != tail);
                    if (!passed) break;
                    node = p1;
                    r += 2;
                }
                candidates += r - first;
                if (candidates > k_max_candidates) break;
                if (r >= count) break;
            }
            // One node the full way.
            const unsigned back = cached[(at + r) & (k_cached - 1)];
            node -= back;
            ++r;
            over = node < old || weigh(node, r);
        }
        over = over || candidates > k_max_candidates;
    }
    // Past the cached nodes the walk follows the links; the nodes it meets right after the
    // last cached one join the cache.
    while (!over) {
        const unsigned back = next[node & (k_history - 1)];
        if (c && r == c->count && r < k_cached) {
            c->back[(c->at + r) & (k_cached - 1)] = static_cast<std::uint16_t>(back);
            c->count = r + 1;
        }
        node -= back;
        ++r;
        over = node < old || weigh(node, r);
    }
    m_match_length = length;
    m_candidates = candidates;
}

MB_Result MB_LZ_Compressor::write_literals(int match_code)
{
    std::size_t literals = m_literals.count();
    if (match_code == 0 && literals > static_cast<std::size_t>(k_max_literals))
        literals = static_cast<std::size_t>(k_max_literals);
    if (literals > static_cast<std::size_t>(k_max_literals)) {
        // Only after a failed write: flush a full run first.
        MB_Result r = write_literals(0);
        if (r != 0) return r;
        literals = m_literals.count();
    }
    // One token with its literals and, for a match, its length extension and offset.
    if (m_out_count + k_max_token > k_out_size) {
        MB_Result r = flush();
        if (r != 0) return r;
    }
    unsigned char* out = m_out.get() + m_out_count;
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
    m_out_count += k;
    m_literals.take(literals, nullptr);
    return MB_Result::Success;
}

MB_Result MB_LZ_Compressor::put(const unsigned char* bytes, std::size_t n)
{
    if (m_out_count + n > k_out_size) {
        MB_Result r = flush();
        if (r != 0) return r;
    }
    std::memcpy(m_out.get() + m_out_count, bytes, n);
    m_out_count += n;
    return MB_Result::Success;
}

MB_Result MB_LZ_Compressor::flush()
{
    if (m_out_count == 0) return MB_Result::Success;
    MB_Result r = MB_File_IO::default_write(m_file, static_cast<int>(m_out_count), m_out.get());
    if (r == 0) m_out_count = 0;
    return r;
}

MB_Result MB_LZ_Compressor::emit_match()
{
    MB_Result r = write_literals(1);
    if (r != 0) return r;
    const int m = m_match_length;
    m_match = -1;
    m_match_open = false;
    m_match_length = 3;
    add_to_history(m_input.data(), m);
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
            search(hash4(in), next_in_chain(m_match), m_match_rank + 1);
            if (m_match_open) return MB_Result::Success;
            r = emit_match();
            if (r != 0) return r;
            continue;
        }
        if (available < k_min_match) return MB_Result::Success;
        const unsigned hash = hash4(m_input.data());
        const Pos first = head(hash);
        if (first >= oldest()) {
            m_match_length = 3;
            m_candidates = 0;
            search(hash, first, 0);
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
    r = put(end, 2);
    if (r == 0) r = flush();
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
    : m_file(file),
      m_history(new (std::nothrow) unsigned char[k_history]),
      m_ready(new (std::nothrow) unsigned char[k_ready])
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
    // A decode that stopped short without a reason ran out of input: decoding again in the
    // same call would read right after that short read and take the file's end for final,
    // where the next call must read on (the file may have grown by then).
    bool ran_dry = false;
    while (amount < n) {
        if (m_ready_at < m_ready_end) {
            const int k = std::min(n - amount, m_ready_end - m_ready_at);
            std::memcpy(out + amount, m_ready.get() + m_ready_at, static_cast<std::size_t>(k));
            m_ready_at += k;
            amount += k;
            continue;
        }
        if (m_stopped != 0 || ran_dry) break;
        m_ready_at = m_ready_end = 0;
        m_stopped = decode(k_ready, m_ready_end, m_ready.get());
        if (m_ready_end == 0 && m_stopped == 0) break;
        ran_dry = m_stopped == 0 && m_ready_end < k_ready;
    }
    if (amount == n || m_stopped == 0) return MB_Result::Success;
    const MB_Result r = m_stopped;
    if (r == MB_Result::End_Of_Compression) {
        // Only now: the file reads plain bytes once every decoded one is delivered.
        m_file.set_data_decompression(0);
        return r;
    }
    if (amount > 0) return MB_Result::Success;
    // Given once; the next call decodes again (a broken stretch says so again, one that
    // waited for data reads on).
    m_stopped = MB_Result::Success;
    return r;
}

MB_Result MB_LZ_Decompressor::decode(int n, int& amount, unsigned char* out)
{
    amount = 0;
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
