#pragma once

// Compiled shape fonts (SHX) of the fonts folder: shape fonts, big fonts (double-byte
// character sets) and unifonts, told apart by the signature at the start of the file. The
// file is read once into a list of raw shapes; each character drawn is decoded from its
// shape's byte code by Qe_Shx_Char, then scaled to the text height and placed at the pen.
// Font files are untrusted: every count, length and offset is checked against the file.

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "geometry/shx_char.h"
#include "kernel/text/font_library.h"

class DRAKMERE_API MB_Shx_Library : public MB_Font_Library {
public:
    // The kind values of the signatures.
    enum Shx_Kind : int {
        Shx_Not_Font = -1,
        Shx_Shapes = 0,
        Shx_Big_Font = 1,
        Shx_Recognised_Only = 2,
        Shx_Unifont = 3,
    };
    // Bytes of the file that hold the signature.
    static constexpr int k_signature_size = 34;

    MB_Shx_Library() = default;
    // Loads file (a name in the fonts folder); a failed load leaves the library without shapes.
    explicit MB_Shx_Library(const char* file);
    ~MB_Shx_Library() override;

    // Reads the file's shapes. True when the file was recognised, the kind that holds no
    // shapes included; false for a missing or unknown file or a broken big-font header. A
    // truncated or damaged file keeps the shapes read before the damage.
    [[nodiscard]] bool load_shx_file(const char* file);

    // Taking the list to change it drops the lookup index and the decoded shapes; they are
    // rebuilt on the next lookup.
    Qe_Shx_Char_List& char_list()
    {
        m_index_valid = false;
        return m_char_list;
    }
    const Qe_Shx_Char_List& char_list() const { return m_char_list; }
    // The first shape with that number, or null.
    Qe_Shx_Char* find_shape(unsigned long code);

    unsigned short above() const { return m_above; }
    unsigned short below() const { return m_below; }
    unsigned short modes() const { return m_modes; }

    FONT_TYPE font_type() const override { return SHX_FONT; }
    // above, or below when above is 0.
    double height() const override;
    // Decodes the shape of code, scales it by height / height() (x also by width_factor) and
    // places it at pen. The pen moves right by the scaled advance, or down 1.2 * height for
    // vertical text; a shape that draws nothing moves it by height * width_factor, or down by
    // height.
    [[nodiscard]] bool char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                     double width_factor, bool vertical) override;

    // The byte 'f'.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result sync(MB_File_IO& file);

    // The kind of the bytes at the start of a file (at least k_signature_size of them).
    static int signature_kind(const unsigned char* bytes, std::size_t n);

private:
    void add_shape(unsigned long number, const unsigned char* code, std::size_t n, std::size_t buffer_size);
    void read_shapes_file(const unsigned char* data, std::size_t size);
    [[nodiscard]] bool read_big_font(const unsigned char* data, std::size_t size);
    void read_unifont(const unsigned char* data, std::size_t size);
    void build_index();

    Qe_Shx_Char_List m_char_list;
    unsigned short m_above = 1;
    unsigned short m_below = 1;
    unsigned short m_modes = 0;
    // Shape bytes still allowed: big-font entries may share a definition, so the total is
    // bounded by a multiple of the file size.
    std::size_t m_byte_budget = 0;
    std::unordered_map<unsigned long, Qe_Shx_Char*> m_index;
    bool m_index_valid = false;
    // Each code's strokes and advance as its shape decodes them, in shape units: texts repeat
    // their characters. Dropped with the index.
    struct Decoded {
        std::vector<std::vector<Qe_Pt>> strokes;
        Qe_Pt advance;
    };
    std::unordered_map<unsigned long, Decoded> m_decoded;
};

// The kind of an open file positioned at its start: Shx_Not_Font (-1) or a kind value.
DRAKMERE_API int read_shx_signature(std::FILE* file);
// 0 for a null or empty name, a file of the fonts folder that cannot be opened and an
// unrecognised file; otherwise the file's kind value (shape fonts give 0 as well).
DRAKMERE_API int get_shx_font_type(const char* file);
