#pragma once

// Writes one kernel drawing as a DXF file of AutoCAD 2000 (AC1015): header, classes, tables,
// blocks, entities and objects, every object with a handle of its own and its owner's handle.
// Entity kinds with a DXF counterpart are written as that kind; every other drawable is written
// as LWPOLYLINEs of the runs of its display nodes (or of its edge points), so that the file
// shows what the kernel shows.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "plugins/gressil/dxf_writer.h"

class MB_Block;
class MB_Draw_Node;
class MB_Drawable;
class MB_Drawing;
class MB_Layer;
class MB_Line_Type;
class MB_Object_List;
class MB_Text;
class Qe_Pt;
class Qe_Tran;

class Dxf_Exporter {
public:
    // background: the kernel's background colour (entities of that colour show in its
    // complement, written as colour 7).
    Dxf_Exporter(MB_Drawing& drawing, Dxf_Writer& writer, std::uint32_t background);
    Dxf_Exporter(const Dxf_Exporter&) = delete;
    Dxf_Exporter& operator=(const Dxf_Exporter&) = delete;

    // The whole file, $HANDSEED included; false when anything could not be written.
    [[nodiscard]] bool write();

    // Used by the writers of the entity kinds.
    Dxf_Writer& out() { return m_out; }
    // "0 KIND", handle, owner, AcDbEntity with layer, line type and colour.
    void entity_head(const char* kind, MB_Drawable& d, std::uint64_t owner);
    // The block's name in the file; empty for a block that is not in the drawing's list.
    const std::string& block_name(MB_Block* block) const;
    // The STYLE entry of a text's style (its name, fonts, width and oblique angle); empty
    // for a text that was not collected.
    const std::string& text_style_name(const MB_Text& text) const;
    int color_index(long colorref) const;
    // One LWPOLYLINE (two or more points) or POINT (one point) of points mapped through t.
    void polyline_of_points(MB_Drawable& d, std::uint64_t owner, const Qe_Pt* pts, int n, const Qe_Tran* t,
                            bool closed);
    // One drawable in its own DXF form, else as its display runs (containers write their
    // members this way).
    void write_drawable(MB_Drawable& d, std::uint64_t owner);

private:
    void header();
    void classes();
    void tables();
    void blocks();
    void entities();
    void objects();

    void table_begin(const char* name, std::uint64_t handle, int count);
    void table_end();
    void symbol_head(const char* kind, std::uint64_t owner, const char* subclass);

    void collect_names();
    void write_list(MB_Object_List& list, std::uint64_t owner);
    // The generic form: the display node tree, or the edge points of a curve without one.
    void write_fallback(MB_Drawable& d, std::uint64_t owner);
    void write_node(MB_Drawable& d, std::uint64_t owner, MB_Draw_Node& node, const Qe_Tran* t, int depth);

    MB_Drawing& m_drawing;
    Dxf_Writer& m_out;
    std::uint32_t m_background;

    struct Line_Type_Entry {
        MB_Line_Type* type;
        std::string name;
    };
    std::unordered_map<const MB_Layer*, std::string> m_layer_names;
    std::vector<MB_Layer*> m_layers;  // written after "0", in drawing order
    MB_Layer* m_layer_zero = nullptr;  // the drawing's own layer named "0", if any
    std::unordered_map<const MB_Line_Type*, std::string> m_line_type_names;
    std::vector<Line_Type_Entry> m_line_types;
    struct Block_Entry {
        MB_Block* block;
        std::string name;
        std::uint64_t record;
    };
    std::vector<Block_Entry> m_blocks;
    struct Text_Style_Entry {
        std::string name, font, big_font;
        double width = 1.0, oblique = 0.0, height = 0.0;
    };
    void collect_text_styles(MB_Object_List& list, std::unordered_set<std::string>& names);
    void collect_text_style(MB_Text& text, std::unordered_set<std::string>& names);
    std::vector<Text_Style_Entry> m_text_styles;
    std::unordered_map<std::string, std::size_t> m_text_style_index;  // by style key
    std::unordered_map<const MB_Text*, std::size_t> m_text_style_of;
    std::unordered_map<const MB_Block*, std::size_t> m_block_index;

    std::uint64_t m_root_dict = 0;
    std::uint64_t m_group_dict = 0;
    std::uint64_t m_model_record = 0;
    std::uint64_t m_paper_record = 0;
};

// The entity kinds written in their own DXF form; false when d is not one of them, and the
// exporter falls back to the generic form.
bool write_native_entity(Dxf_Exporter& exporter, MB_Drawable& d, std::uint64_t owner);
