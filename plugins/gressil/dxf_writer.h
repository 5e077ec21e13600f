#pragma once

// A small writer of DXF group codes (ASCII form): each group is its code on one line and its
// value on the next. Reals are written in the shortest form that reads back to the same
// double; handles are upper-case hexadecimal. The writer only formats: what a section or an
// entity needs is the exporter's business. A failed write is remembered and makes ok() false.
// An entity begun with entity() is held until the next group 0 and written only when every
// real in it is finite: readers take no NaN or infinity, and a coordinate written as
// anything else would put the entity where it never was. The groups are gathered in blocks of
// the writer's own, each ending between entities, with the reals kept as numbers: a full
// block's reals are formatted and the block written on a thread of its own while the next
// one is gathered, the blocks reaching the file in their order.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <future>
#include <string>
#include <string_view>
#include <vector>

class Dxf_Writer {
public:
    // Writes to an open file; the file stays the caller's. What the buffer still holds goes to
    // the file on destruction: a caller that closes the file first calls flush() or ok() before.
    explicit Dxf_Writer(std::FILE* file) : m_file(file) {}
    Dxf_Writer(const Dxf_Writer&) = delete;
    Dxf_Writer& operator=(const Dxf_Writer&) = delete;
    ~Dxf_Writer();

    // "0 KIND": the start of an entity, held as one unit up to the next group 0.
    void entity(std::string_view kind);
    void text(int code, std::string_view value);
    void real(int code, double value);
    void integer(int code, long long value);
    void handle(int code, std::uint64_t value);
    // 10/20/30-style coordinates: x at code, y at code + 10, z at code + 20 unless 2D.
    void point(int code, double x, double y, double z);
    void point2(int code, double x, double y);

    // A handle not yet given out (they start at 1; 0 means "none" in owner fields).
    std::uint64_t new_handle() { return m_next_handle++; }
    // The value $HANDSEED must hold: above every handle given out.
    std::uint64_t handle_seed() const { return m_next_handle; }

    // Writes the handle as a fixed-width field (16 hexadecimal digits) whose position is
    // remembered, so that its value can be set once it is known.
    void handle_placeholder(int code);
    // Overwrites the placeholder with the value; false when there is none or it fails.
    [[nodiscard]] bool fill_placeholder(std::uint64_t value);

    // Hands every byte written so far, up to the entity still open, to the file; false when a
    // write failed.
    bool flush();
    // flush(), and whether every write so far succeeded.
    bool ok() { return flush() && m_file && !std::ferror(m_file); }
    // Whether a write has failed so far, without handing anything to the file.
    bool failed() const { return !m_ok || !m_file; }
    // The system's error number of the first write that failed; 0 when none did or it is not
    // known.
    int error() const { return m_error; }
    // Entities begun so far, and those of them left out for a value that is not finite (an
    // entity still open counts once the next group 0 or end() closes it).
    long entities() const { return m_entities; }
    long dropped() const { return m_dropped; }
    // Closes the entity still open: for the end of the file.
    void end();

private:
    // A real to be formatted, and where its group goes in the block's text.
    struct Real_Group {
        std::size_t at;
        int code;
        double value;
    };
    // A stretch of the file: every group but the reals as text, and the reals.
    struct Block {
        std::string text;
        std::vector<Real_Group> reals;
    };
    // A block goes to its thread once it holds this much outside an entity.
    static constexpr std::size_t k_block_text = std::size_t(1) << 19;
    static constexpr std::size_t k_block_reals = std::size_t(1) << 15;
    // Blocks on their way at most; the writer waits for the oldest beyond that.
    static constexpr std::size_t k_in_flight = 8;

    void line(std::string_view s);
    void fail();
    // The code's line and the value's line; the value holds no line break.
    void group(int code, std::string_view value);
    // The block's text with its reals formatted in their places.
    static std::string render(const Block& block, std::size_t text_end, std::size_t reals_end);
    // Hands a full block to its thread between entities.
    void maybe_hand_off()
    {
        if (!m_in_entity && (m_block.text.size() >= k_block_text || m_block.reals.size() >= k_block_reals))
            hand_off();
    }
    void hand_off();
    // Waits for every block on its way; false when a write failed.
    bool wait_for_blocks();
    // Takes the result of a block's write (the system's error number, 0 when it succeeded).
    void settle(int error);

    std::FILE* m_file;
    bool m_ok = true;
    int m_error = 0;
    bool m_in_entity = false;
    bool m_entity_finite = true;
    Block m_block;
    // Where the open entity began in the block.
    std::size_t m_entity_text = 0;
    std::size_t m_entity_reals = 0;
    // The blocks on their way, oldest first; each waits for the one before it to be written.
    std::deque<std::shared_future<int>> m_in_flight;
    long m_entities = 0;
    long m_dropped = 0;
    std::uint64_t m_next_handle = 1;
    long m_placeholder = -1;
    // Where the file stood when the blocks' writes last handed it to the disk; only the block
    // being written touches it.
    std::int64_t m_handed = 0;
};

// A name or a text value for DXF: printable ASCII stays, every other character (from the
// ANSI code page or UTF-16) becomes \U+XXXX; control characters become blanks. UTF-16 input is
// given as units; a surrogate pair becomes one code point, which beyond U+FFFF is written
// with as many hexadecimal digits as it needs, and a lone surrogate becomes U+FFFD. A
// backslash that starts a code the kernel's texts read as one character (\U+ or \u+ and
// four hexadecimal digits) is written as that code in the form readers decode (\U+ and
// upper-case digits), and so is \M+nXXXX (a double-byte code of the ANSI code page, with four
// hexadecimal digits) as its character's; any other backslash is written as \U+005C, so that readers show it
// and never take what follows for a code.
std::string dxf_escape(const char16_t* units, int n);
// The same for a table entry's name: the characters DXF forbids in names (<>/\":;?*|=`),
// backslashes among them, and blanks at either end become '_', and an empty name becomes the
// fallback. Only the escapes of characters beyond ASCII hold a backslash.
std::string dxf_table_name(const char16_t* units, int n, std::string_view fallback);
