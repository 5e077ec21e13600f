#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "geometry/pt_set.h"
#include "kernel/database/color_map.h"
#include "kernel/database/mb_string.h"
#include "kernel/stream/lz_fixture.h"

using namespace lz_test;

namespace {

// The dictionary

TEST(LZ_Dictionary, ReferenceTableIsTheLeastDeBruijnSequence)
{
    const Bytes d = Reference_Table::de_bruijn();
    ASSERT_EQ(d.size(), 10000u);
    EXPECT_EQ(d.substr(0, 12), "000010002000");
    std::set<Bytes> seen;
    const Bytes cyclic = d + d.substr(0, 3);
    for (std::size_t i = 0; i < 10000; ++i) seen.insert(cyclic.substr(i, 4));
    EXPECT_EQ(seen.size(), 10000u);
}

TEST(LZ_Dictionary, ProbesThroughTheDecompressor)
{
    const Bytes digits = table().bytes.substr(1464, 10003);
    const Bytes probe4 = hex("10") + le16(12058);
    Bytes walk;
    for (int i = 0; i < 5; ++i) walk += probe4;
    struct Case {
        const char* name;
        Bytes tokens;
        Bytes expected;
    } cases[] = {
        {"segment 1 start", hex("10") + le16(13522), "(Das"},
        {"digits", probe4, "0000"},
        {"digits walk", walk, digits.substr(0, 20)},
        {"64 digits", hex("F0 2E") + le16(12058), digits.substr(0, 64)},
        {"colour-map header", hex("50") + le16(13522 - 65), hex("7B 04 04 00 00 01 00 00")},
        {"keyword text", hex("E0") + le16(13522 - 1097), "(NamedView (Autho"},
        {"segment 5 header", hex("50") + le16(13522 - 11467), hex("7B 04 04 00 00 01 00 00")},
    };
    for (const Case& c : cases) {
        const Production_Result p = production_decode(stretch(c.tokens), c.expected.size(), c.expected.size());
        EXPECT_EQ(p.result, 0) << c.name;
        EXPECT_EQ(to_hex(p.out), to_hex(c.expected)) << c.name;
    }
}

// Reads the known parts of the table out in 273-byte matches with one offset: the history
// grows by each match, so the same offset walks on.
TEST(LZ_Dictionary, KnownSegmentsByteForByte)
{
    struct Part {
        std::size_t at, length;
    } parts[] = {{0, 1097}, {1097, 124}, {1464, 10003}, {11467, 8}};
    for (const Part& part : parts) {
        Bytes tokens;
        for (std::size_t left = part.length; left > 0;) {
            const std::size_t m = std::min<std::size_t>(left, 273);
            if (m >= 18)
                tokens += hex("F0") + static_cast<char>(m - 18);
            else
                tokens += static_cast<char>((m - 3) << 4);
            tokens += le16(static_cast<unsigned>(13522 - part.at));
            left -= m;
        }
        const Production_Result p = production_decode(stretch(tokens), part.length, 997);
        EXPECT_EQ(p.result, 0) << part.at;
        EXPECT_TRUE(p.out == table().bytes.substr(part.at, part.length)) << part.at;
    }
}

// Streams of revision 22 and below count the offset from the oldest byte held.
TEST(LZ_Dictionary, LegacyOffsetsCountFromTheOldestByte)
{
    const Production_Result p = production_decode(stretch(hex("10") + le16(0)), 4, 4, false);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.out, "(Das");
}

// The offset rule changes between revisions 22 and 23: an offset counted from the oldest
// byte held reads the table's first bytes at 0; counted back from the newest, they lie
// 13,523 bytes back. Each offset read under the other rule lands in unknown table text.
TEST(LZ_Dictionary, OffsetRuleChangesAfterRevision22)
{
    struct Case {
        int revision;
        unsigned offset;
        bool sound;
    } cases[] = {{21, 0, true}, {22, 0, true}, {22, 13522, false}, {23, 13522, true}, {23, 0, false}, {100, 13522, true}};
    for (const Case& c : cases) {
        Stream s;
        s.io.rendition()->drawing_info().set_minor_revision(c.revision);
        ASSERT_EQ(s.open_read(stretch(hex("10") + le16(c.offset)) + "tail"), 0);
        ASSERT_EQ(switch_on(s.io), 0);
        unsigned char buf[4];
        const MB_Result r = until_done([&] { return s.io.read(4, buf); });
        if (c.sound) {
            EXPECT_EQ(r, 0) << c.revision << " " << c.offset;
            EXPECT_EQ(Bytes(reinterpret_cast<const char*>(buf), 4), "(Das") << c.revision << " " << c.offset;
        } else {
            EXPECT_EQ(r, MB_Result::Invalid_Data) << c.revision << " " << c.offset;
        }
    }
}

// A match exactly 65,536 bytes back, the far edge of the history, is found by the
// compressor (as the only candidate, and behind a shorter newer one) and read back.
TEST(LZ_Coder, MatchAtTheFarEdgeOfTheHistory)
{
    // 65,536 bytes in which no four-byte string occurs twice: nothing but the far copy
    // can match the start again.
    Bytes u;
    for (unsigned seed = 1;; ++seed) {
        std::mt19937 rng(seed);
        u.assign(65536, '\0');
        for (char& c : u) c = static_cast<char>(rng() & 0xFF);
        std::set<Bytes> grams;
        for (std::size_t i = 0; i + 4 <= u.size(); ++i) grams.insert(u.substr(i, 4));
        if (grams.size() == u.size() - 3) break;
        ASSERT_LT(seed, 50u);
    }
    // The same start, 30,000 bytes on, followed by a byte that ends the match at 4.
    Bytes shadowed = u;
    shadowed.replace(30000, 5, u.substr(0, 4) + static_cast<char>(u[4] ^ 0x55));
    for (const Bytes* head : {&u, &shadowed}) {
        const Bytes data = *head + u.substr(0, 40);
        const Bytes body = compress(data);
        Reference_Decoder ref;
        ASSERT_TRUE(ref.decode(body.substr(7)));
        // The tail is one match of 40 bytes from 65,536 bytes back.
        EXPECT_EQ(ref.last_distance, 65536u) << (head == &u ? "only" : "shadowed");
        EXPECT_EQ(ref.last_length, 40) << (head == &u ? "only" : "shadowed");
        EXPECT_TRUE(ref.out == data);
        const Production_Result p = production_decode(body + "tail", data.size(), 4096);
        EXPECT_EQ(p.result, 0);
        EXPECT_TRUE(p.out == data);
    }
}

// References the decompressor refuses instead of producing wrong bytes.
TEST(LZ_Decompressor, BadReferencesFailWithInvalidData)
{
    const unsigned unknown_text = 13522 - (1097 + 124);
    struct Case {
        const char* name;
        Bytes stream;
        bool modern;
    } cases[] = {
        {"before the history", stretch(hex("10") + le16(65535)), true},
        {"just before the history", stretch(hex("10") + le16(13523)), true},
        {"unknown keyword text", stretch(hex("10") + le16(unknown_text)), true},
        {"running into unknown text", stretch(hex("10") + le16(unknown_text + 2)), true},
        {"unknown colour entries", stretch(hex("10") + le16(13522 - 11475)), true},
        {"header running into unknown entries", stretch(hex("60") + le16(13522 - 11467)), true},
        {"legacy offset past the end", stretch(hex("10") + le16(13523)), false},
        {"stretch not closed by }", k_marker + hex("03 61 62 63 00 58"), true},
    };
    for (const Case& c : cases) {
        Stream s;
        if (c.modern) s.modern();
        ASSERT_EQ(s.open_read(c.stream + "plain tail"), 0);
        ASSERT_EQ(switch_on(s.io), 0);
        unsigned char buf[32];
        for (int attempt = 0; attempt < 3; ++attempt) {
            const MB_Result r = until_done([&] { return s.io.read(16, buf); });
            EXPECT_EQ(r, MB_Result::Invalid_Data) << c.name << " attempt " << attempt;
        }
    }
}

TEST(LZ_Decompressor, TruncatedStretchesFailAtEveryOffset)
{
    const Bytes data = "(Color (ColorMap 0000 (Color (ColorMap some literal text 0001 0002";
    const Bytes body = compress(data);
    const std::size_t end = body.size();
    for (std::size_t cut = 7; cut < end; ++cut) {
        const Production_Result p = production_decode(body.substr(0, cut), data.size() + 1, data.size() + 1);
        EXPECT_NE(p.result, 0) << cut;
    }
}

// Token shapes of the compressor

TEST(LZ_Compressor, LiteralRunsFlushAt270)
{
    // 300 bytes in which no four-byte string repeats or occurs in the table.
    Bytes data;
    for (int i = 0; i < 150; ++i) {
        data += static_cast<char>(0x81 + i / 100);
        data += static_cast<char>(1 + i % 100);
    }
    const Bytes body = compress(data);
    const Bytes expected = k_marker + hex("0F FF") + data.substr(0, 270) + hex("0F 0F") + data.substr(270) + hex("00 7D");
    EXPECT_EQ(to_hex(body), to_hex(expected));
}

TEST(LZ_Compressor, MatchShapes)
{
    const Bytes x = hex("81 01 82 02 83 03 84 04 85 05 86 06 87 07 88 08 89 09");  // 18 bytes
    struct Case {
        const char* name;
        Bytes data;
        Bytes expected;
    } cases[] = {
        // 18 literals, then an 18-byte match 18 bytes back: match code 15, extension 0.
        {"18-byte match", x + x, hex("FF 03") + x + hex("00") + le16(17)},
        {"18-byte match then a literal", x + x + hex("FE"), hex("FF 03") + x + hex("00") + le16(17) + hex("01 FE")},
        {"4-byte match", x + x.substr(0, 4) + hex("FE"),
         hex("1F 03") + x + le16(17) + hex("01 FE")},
        // Text of the table at the start of a stream is one match into it.
        {"dictionary text", "(Color (ColorMap ", hex("E0") + le16(static_cast<unsigned>(13523 - table().bytes.find("(Color (ColorMap ") - 1))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(to_hex(compress(c.data)), to_hex(k_marker + c.expected + hex("00 7D"))) << c.name;
        EXPECT_EQ(to_hex(compress(c.data, 1)), to_hex(k_marker + c.expected + hex("00 7D"))) << c.name << " byte by byte";
    }
}

// Streams for revision 36 and below leave the first 65 bytes of the table out of the
// compressor's history; the decompressor holds the whole table either way.
TEST(LZ_Compressor, OldTargetRevisionsSkipTheFirstKeywords)
{
    const Bytes text = "(Viewport (CodePage (Comment (Created ";
    for (int revision : {36, 37}) {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        s.io.heuristics().set_target_revision(revision);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write(text.c_str()), 0);
        const Bytes body = s.body();
        Reference_Decoder ref;
        ASSERT_TRUE(ref.decode(body.substr(7))) << revision;
        EXPECT_EQ(ref.out, text);
        // "(Viewport (CodePage " stands only in the first 65 bytes.
        EXPECT_EQ(ref.lowest_source >= 65, revision == 36) << to_hex(body);
        const Production_Result p = production_decode(body, text.size(), 5);
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.out, text);
    }
}

// Round trips

TEST(LZ_Coder, RoundTripsAgainstTheReferenceDecoder)
{
    std::mt19937 rng(4242);
    std::vector<std::pair<const char*, Bytes>> data;
    Bytes random(20000, '\0');
    for (char& c : random) c = static_cast<char>(rng() & 0xFF);
    data.emplace_back("random", random);
    data.emplace_back("one byte repeated", Bytes(100000, 'x'));
    data.emplace_back("two bytes repeated", [] {
        Bytes b;
        for (int i = 0; i < 30000; ++i) b += "ab";
        return b;
    }());
    data.emplace_back("stream-like", stream_like(rng, 50000));
    Bytes block;
    for (int i = 0; i < 50; ++i) block += random.substr(0, 1000);
    data.emplace_back("block repeated", block);
    // Past the 65,536-byte history: the dictionary and early bytes drop out.
    data.emplace_back("long stream-like", stream_like(rng, 200000));
    data.emplace_back("table text", table().bytes.substr(0, 1221) + table().bytes.substr(1464, 10003));
    data.emplace_back("one byte", "a");

    for (const auto& [name, d] : data) {
        std::mt19937 pieces(7);
        const Bytes variants[] = {compress(d), compress(d, 1), compress(d, 0, &pieces)};
        for (int v = 0; v < 3; ++v) {
            const Bytes& body = variants[v];
            ASSERT_EQ(body.compare(0, 7, k_marker), 0) << name << v;
            Reference_Decoder ref;
            ASSERT_TRUE(ref.decode(body.substr(7))) << name << v;
            EXPECT_EQ(ref.used, body.size() - 7) << name << v;
            EXPECT_TRUE(ref.out == d) << name << v;
            EXPECT_LE(ref.longest_match, 273) << name << v;
            const Production_Result p = production_decode(body + "tail", d.size(), v == 0 ? 4096 : 333);
            EXPECT_EQ(p.result, 0) << name << v;
            EXPECT_TRUE(p.out == d) << name << v;
        }
        // Repeats are coded as matches of at most 273 bytes; a run of one byte, searched
        // from its newest position, finds matches bounded by the chain walk.
        Reference_Decoder ref;
        ref.decode(variants[0].substr(7));
        if (Bytes(name) == "block repeated") {
            EXPECT_EQ(ref.longest_match, 273);
        }
        if (Bytes(name).find("repeated") != Bytes::npos) {
            EXPECT_LT(variants[0].size(), d.size() / 10) << name;
        }
    }
}

TEST(LZ_Coder, ReadsFromATricklingSource)
{
    std::mt19937 rng(99);
    const Bytes d = stream_like(rng, 5000);
    const Bytes body = compress(d);
    const Production_Result p = production_decode(body + "tail", d.size() + 4, 37, true, true);
    EXPECT_EQ(p.result, 0);
    EXPECT_TRUE(p.out == d + "tail");
}

// Seeded random token streams, valid or not, decoded by both decoders: they agree on the
// bytes and on whether the stream is sound.
TEST(LZ_Decompressor, AgreesWithTheReferenceOnRandomTokens)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        Bytes tokens;
        std::size_t produced = 13523;
        const int count = 1 + static_cast<int>(rng() % 40);
        for (int t = 0; t < count; ++t) {
            const int literals = static_cast<int>(rng() % 40 == 0 ? 15 + rng() % 256 : rng() % 15);
            const int code = static_cast<int>(rng() % 16);
            tokens += static_cast<char>(std::min(literals, 15) | (code << 4));
            if (literals >= 15) tokens += static_cast<char>(literals - 15);
            for (int i = 0; i < literals; ++i) tokens += static_cast<char>(rng() & 0xFF);
            produced += static_cast<std::size_t>(literals);
            if (code == 0) continue;
            int length = code + 3;
            if (code == 15) {
                const int e = static_cast<int>(rng() % 256);
                tokens += static_cast<char>(e);
                length = 18 + e;
            }
            // Mostly references inside the history, some before it.
            const std::size_t held = std::min<std::size_t>(produced, 65536);
            const unsigned v = rng() % 10 == 0 ? static_cast<unsigned>(rng() % 65536)
                                                : static_cast<unsigned>(rng() % std::min<std::size_t>(held, 3000));
            tokens += le16(v);
            produced += static_cast<std::size_t>(length);
        }
        const Bytes s = stretch(tokens);
        Reference_Decoder ref;
        const bool sound = ref.decode(s.substr(7));
        const std::size_t n = sound ? ref.out.size() : 1 << 20;
        const Production_Result p = production_decode(s + "tail", n, 1 + rng() % 500);
        if (sound) {
            EXPECT_EQ(p.result, 0) << round;
            EXPECT_TRUE(p.out == ref.out) << round;
        } else {
            EXPECT_EQ(p.result, MB_Result::Invalid_Data) << round;
            EXPECT_TRUE(ref.out.compare(0, p.out.size(), p.out) == 0) << round;
        }
    }
}

}  // namespace

// The coder's output is pinned byte for byte: a corpus of stretches coded from inputs built
// here, each fed whole, in pieces and byte by byte (the three differ by design), is stored
// under tests/data/lz_corpus. scripts/make_lz_corpus writes it again from the coder as it
// stands (FENDRAL_LZ_CORPUS_WRITE set); only a deliberate change of the format may do that.
TEST(LZ_Compressor, OutputsEqualTheStoredCorpus)
{
    std::mt19937 rng(39);
    Bytes random_bytes(70000, '\0');
    for (char& c : random_bytes) c = static_cast<char>(rng() & 0xFF);
    Bytes runs;
    for (int i = 0; runs.size() < 100000; ++i) runs += Bytes(static_cast<std::size_t>(1 + i % 300), static_cast<char>('a' + i % 7));
    Bytes keywords;
    while (keywords.size() < 80000) keywords += table().bytes.substr(1097 + rng() % 90, 3 + rng() % 40) + "0.25 ";
    const std::pair<const char*, Bytes> inputs[] = {
        {"stream", stream_like(rng, 200000)},
        {"random", random_bytes},
        {"runs", runs},
        {"keywords", keywords},
    };
    const char* write_dir = std::getenv("FENDRAL_LZ_CORPUS_WRITE");
    const std::string dir = std::string(FENDRAL_TEST_DATA_DIR) + "/lz_corpus/";
    for (const auto& [name, data] : inputs) {
        const std::pair<const char*, std::size_t> feeds[] = {{"whole", 0}, {"pieces", 997}, {"bytes", 1}};
        for (const auto& [feed, piece] : feeds) {
            // Byte by byte over the first 20,000 bytes only: the same paths, a bounded time.
            const Bytes in = piece == 1 ? data.substr(0, 20000) : data;
            const Bytes coded = compress(in, piece);
            const std::string file = dir + name + "-" + feed + ".lz";
            if (write_dir) {
                std::ofstream(file, std::ios::binary).write(coded.data(), static_cast<std::streamsize>(coded.size()));
                continue;
            }
            std::ifstream stored(file, std::ios::binary);
            ASSERT_TRUE(stored) << file;
            const Bytes want((std::istreambuf_iterator<char>(stored)), {});
            EXPECT_EQ(coded.size(), want.size()) << file;
            EXPECT_TRUE(coded == want) << file << ": the coded bytes differ from the stored ones";
            // And the library reads them back.
            EXPECT_EQ(production_decode(coded, in.size(), 4096).out, in) << file;
        }
    }
}

// A stream of a few MiB: the chain heads are counted from a base that moves up with the
// history more than once on the way, and the coded bytes are still the ones pinned here
// (their count and FNV-1a digest, fed in pieces of 997 bytes), which the coder gave before
// it kept its heads that way.
TEST(LZ_Compressor, LongStreamsCodeAsPinned)
{
    std::mt19937 rng(2024);
    Bytes d;
    while (d.size() < 2500000) {
        switch (rng() % 4) {
        case 0:
            d += "(Layer WALLS) ";
            break;
        case 1:
            d += std::to_string(rng() % 100000) + ' ';
            break;
        case 2:
            if (d.size() > 1000) d += d.substr(d.size() - 1 - rng() % 1000, 4 + rng() % 40);
            break;
        default:
            d += static_cast<char>(rng() & 0xFF);
        }
    }
    d.resize(2500000);
    const Bytes coded = compress(d, 997);
    std::uint64_t digest = 14695981039346656037ull;
    for (const char c : coded) {
        digest ^= static_cast<unsigned char>(c);
        digest *= 1099511628211ull;
    }
    EXPECT_EQ(coded.size(), 644405u);
    EXPECT_EQ(digest, 4192819583664590110ull);
    EXPECT_EQ(production_decode(coded, d.size(), 4096).out, d);
}
