#pragma once

// The conversion road's text explosion: every text of the drawing's entity list (single-line,
// multi-line, along an arc or a path, tolerance frames) becomes what its display list shows, so
// that the export needs no fonts. Its glyph outline runs become chains (MB_Lines) in the
// colour of their run; the areas enclosed by a filled (TrueType) text's outlines become one
// "_SOLID" hatch, its boundaries the minimal loops of the outline segments; then the text is
// deleted. Composite texts are exploded run by run. Stroke-font texts (SHX) keep their strokes
// as chains only: a filled "O" would be a disc. A text that shows no outline run stays a text.
// Texts inside blocks are left as they are. The loops of a filled text are searched glyph by
// glyph (outlines whose boxes cannot meet are searched apart), and found in the order one
// search over the whole text gives.

#include <cstdint>
#include <memory>
#include <vector>

#include "Drakmere.h"

class MB_Operation;

// The entities the exploded texts of a drawing become, in text order, held as the texts'
// outline points until they are asked for: a text's chains are made when it is its turn and
// let go by the one who took them, so that a drawing of a hundred thousand texts never holds
// all their chains at once. (A filled text's hatch is made as the text is added: the extents
// must hold the rectangle of the loops its search finds.) Set as a drawing's trailing
// entities, the export writes them after the entity list, where an explosion into the list
// would have put them.
class Exploded_Texts final : public MB_Entity_Source {
public:
    Exploded_Texts();
    ~Exploded_Texts() override;

    bool extents(Qe_Rect& out) const override;
    // The next text's entities.
    bool next(MB_Object_List& list) override;

    // Texts held and not yet given out.
    std::size_t texts_left() const { return m_texts.size() - m_next_text; }

    // Building: a text's pieces, then end_text(). An outline becomes its chains and, when it
    // is filled, the hatch of the loops they enclose; the entity is given out as it is.
    void add_outline(const MB_Text_Outline& outline, long colour, MB_Layer* layer);
    void add_entity(MB_Drawable* entity);
    void end_text();

private:
    struct Piece {
        long colour = 0;
        MB_Layer* layer = nullptr;
        MB_Drawable* entity = nullptr;  // made already, or null for an outline's chains
        std::size_t chunk = 0;          // where the outline's points are
        std::size_t first_point = 0;
        std::size_t first_run = 0;
        std::size_t runs = 0;
        bool filled = false;
    };
    void take_extent(const Qe_Rect& r);
    void make(Piece& piece, MB_Object_List& list);
    void release_chunks_before(std::size_t chunk);

    // Points in chunks of their own: one array would be copied whole each time it grew.
    std::vector<std::unique_ptr<std::vector<Qe_Pt>>> m_chunks;
    std::vector<int> m_run_sizes;
    std::vector<Piece> m_pieces;
    std::vector<std::size_t> m_texts;  // each text's first piece
    std::size_t m_next_text = 0;
    std::size_t m_released = 0;        // chunks before it are let go
    std::size_t m_text_start = 0;      // first piece of the text being built
    Qe_Rect m_extents;
    bool m_has_extents = false;
};

// Multi-line texts, texts along arcs and paths and tolerance frames must be laid out
// (build_draw); a single-line text not laid out yet is laid out here, and lets its glyphs go
// once they are outlines. The replaced texts are destroyed at once (undo recording is paused);
// what they become goes into `into`. Returns the number of texts replaced.
int explode_texts(MB_Operation* operation, Exploded_Texts& into);

// The same, with what the texts become appended at the tail of the entity list, laid out only
// as far as their rectangles (build_extent): nothing draws them before the export.
int explode_texts(MB_Operation* operation);
