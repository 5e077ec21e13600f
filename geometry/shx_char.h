#pragma once

// Qe_Shx_Char: one shape of an SHX font, its number and its byte code, and the interpreter
// that turns the byte code into pen strokes in shape units (origin (0, 0), one vector unit
// 1, y up). Qe_Shx_Char_List: the shapes of one font, searched by number for sub-shapes.
// The byte code comes from font files and is untrusted: reads stop at the shape's byte
// count and allocation, sub-shape nesting is bounded, and a shape already being decoded is
// not entered again.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "geometry/pt_list.h"
#include "platform/fixed_width.h"

class Qe_Void_List;
class Qe_Shx_Char_List;

// The geometric steps of shape code, shared by every interpreter of it (compiled byte code
// here, shape source text in the kernel's SHP fonts), so that both draw the same figure.
// The displacement of a vector of length len in direction d (0-15): the 16 directions lie on
// a square, odd ones stretched by 1/cos 22.5 degrees and diagonals by the square root of 2.
FENDRAL_API Qe_Vec shx_vector_step(double len, int d);
// An octant arc starting at from with radius r: start octant s (0-7), span octants (1-8),
// counter-clockwise unless clockwise. Writes the 2 * span points the pen passes (one every
// 22.5 degrees) and returns their count; 0 for a span outside 1-8.
FENDRAL_API int shx_octant_arc_points(const Qe_Pt& from, double r, int s, int span, bool clockwise,
                                      Qe_Pt out[16]);
// A bulge arc from s to e with bulge in -127..127 (positive turns counter-clockwise): writes the
// four points after s, the last being e itself, and returns 4. A zero bulge, or ends that make
// no circle, is a straight move: e alone, and 1.
FENDRAL_API int shx_bulge_arc_points(const Qe_Pt& s, const Qe_Pt& e, double bulge, Qe_Pt out[4]);

class FENDRAL_API Qe_Shx_Char {
public:
    // Deepest chain of sub-shape calls that is followed; deeper calls draw nothing.
    static constexpr int MAX_SUBSHAPE_DEPTH = 16;
    // Bytes of byte code interpreted per decoding, sub-shapes included: twice the largest
    // shape, far above any real glyph, and a bound on the work a hostile font can cause.
    static constexpr int MAX_DECODED_BYTES = 2 * 65536;

    Qe_Shx_Char();
    // Copies every field; the byte buffer, the position stack and an open stroke are
    // copied, not shared.
    Qe_Shx_Char(const Qe_Shx_Char& other);
    Qe_Shx_Char& operator=(const Qe_Shx_Char&) = delete;
    ~Qe_Shx_Char();

    mb_ulong index() const { return m_index; }
    void index(mb_ulong i) { m_index = i; }
    unsigned short size() const { return m_size; }
    // Changes the count only; decoding never reads beyond the allocated buffer.
    void size(unsigned short n) { m_size = n; }
    unsigned char* buffer() const { return m_buffer; }
    // Replaces the buffer by n zero bytes and sets the count to n; false, with no buffer
    // and count 0, when memory is short.
    bool create_buffer(unsigned short n);

    const char* note() const { return m_note; }
    // Keeps at most the first character; null empties the note.
    void note(const char* text);

    Qe_Shx_Char* prev() const { return m_prev; }
    Qe_Shx_Char* next() const { return m_next; }
    void prev(Qe_Shx_Char* c) { m_prev = c; }
    void next(Qe_Shx_Char* c) { m_next = c; }

    // Decodes the shape: appends one new Qe_Pt_List per stroke to out (the caller owns
    // them) and sets pen to (advance, 0, 0). Sub-shapes are looked up in font.
    void add_shx_char_to_list(Qe_Void_List& out, Qe_Pt& pen, Qe_Shx_Char_List& font);
    // Interprets n bytes of byte code in the current state; pen is not read.
    void analyze_buffer(const unsigned char* bytes, int n, Qe_Void_List& out, Qe_Pt& pen,
                        Qe_Shx_Char_List& font);

    // State steps of the interpreter.
    void pen_down();
    void pen_up(Qe_Void_List& out);
    void add_pos(double x, double y);
    void push_pos();
    void pop_pos();

private:
    struct Guard;
    void decode(const unsigned char* bytes, int n, Qe_Void_List& out, Qe_Shx_Char_List& font, Guard& guard);
    void octant_arc(unsigned char radius, signed char octant);
    void bulge_arc(signed char dx, signed char dy, signed char bulge);
    void reset_state();
    // Bytes the decoder may read: the count, but never past the allocation.
    int decodable_length() const { return m_size < m_capacity ? m_size : m_capacity; }

    mb_ulong m_index = 0;
    unsigned short m_size = 0;
    char m_note[2] = {0, 0};
    unsigned char* m_buffer = nullptr;
    Qe_Shx_Char* m_prev = nullptr;
    Qe_Shx_Char* m_next = nullptr;
    Qe_Pt m_base;
    Qe_Pt_List m_stack;
    bool m_pen_down = false;
    double m_scale = 1.0;
    Qe_Pt_List* m_stroke = nullptr;
    double m_x = 0.0;
    double m_y = 0.0;
    double m_max_x = 0.0;
    double m_min_x = 0.0;
    unsigned short m_capacity = 0;  // bytes allocated for m_buffer
};

// The shapes of one font, linked through their prev and next. The list deletes its shapes
// only in kill_all; copies would leave two owners and are not made.
class FENDRAL_API Qe_Shx_Char_List {
public:
    Qe_Shx_Char_List() = default;
    Qe_Shx_Char_List(const Qe_Shx_Char_List&) = delete;
    Qe_Shx_Char_List& operator=(const Qe_Shx_Char_List&) = delete;
    ~Qe_Shx_Char_List() = default;

    Qe_Shx_Char* head() const { return m_head; }
    Qe_Shx_Char* tail() const { return m_tail; }
    void head(Qe_Shx_Char* c) { m_head = c; }
    void tail(Qe_Shx_Char* c) { m_tail = c; }

    // Appends c; null is ignored.
    void add_shx_char(Qe_Shx_Char* c);
    void kill_all();
    // Creates the file, or empties an existing one, and writes nothing; nothing happens
    // when it cannot be opened.
    void save(const char* path) const;

private:
    Qe_Shx_Char* m_head = nullptr;
    Qe_Shx_Char* m_tail = nullptr;
};
