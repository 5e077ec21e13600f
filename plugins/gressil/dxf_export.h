#pragma once

// Writes one kernel drawing as a DXF file of AutoCAD 2004 (AC1018): header, classes, tables,
// blocks, entities and objects, every object with a handle of its own and its owner's handle.
// Entity kinds with a DXF counterpart are written as that kind; every other drawable is written
// as LWPOLYLINEs of the runs of its display nodes (or of its edge points), so that the file
// shows what the kernel shows. Dimensions carry the geometry the kernel built for them in an
// anonymous block of their own; images refer to their rasters, written beside the file.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "geometry/rect.h"
#include "plugins/gressil/dxf_writer.h"

class Dxf_Raster_Files;
class MB_Block;
class MB_Dimension;
class MB_Draw_Node;
class MB_Drawable;
class MB_Image;
class MB_Drawing;
class MB_Layer;
class MB_Line_Type;
class MB_Object;
class MB_Object_List;
class MB_Text;
class MB_Text_Style;
class Qe_Pt;
class Qe_Tran;

class Dxf_Exporter {
public:
    // background: the kernel's background colour (entities of that colour show in its
    // complement, written as colour 7). rasters: where the images' rasters go; without it,
    // images go out as their frames.
    Dxf_Exporter(MB_Drawing& drawing, Dxf_Writer& writer, std::uint32_t background,
                 Dxf_Raster_Files* rasters = nullptr);
    Dxf_Exporter(const Dxf_Exporter&) = delete;
    Dxf_Exporter& operator=(const Dxf_Exporter&) = delete;

    // The whole file, $HANDSEED included; false when anything could not be written.
    [[nodiscard]] bool write();

    // Drawables that are not in the file, or only in part, after write(): one with a value
    // that is not finite, and one that neither its own DXF form nor its display could write
    // (a kind that draws nothing by its nature, such as a hatch without loops, is no loss).
    // In one line, "N entities not written: kind x count, ..." (kinds in the order met);
    // empty when every drawable was written.
    std::string unwritten_report() const;

    // Used by the writers of the entity kinds.
    Dxf_Writer& out() { return m_out; }
    // "0 KIND", handle, owner, AcDbEntity with layer, line type and colour; the handle.
    std::uint64_t entity_head(const char* kind, MB_Drawable& d, std::uint64_t owner);
    // The same on layer "0" in the given kernel colour and the line type of the layer.
    std::uint64_t entity_head(const char* kind, std::uint64_t owner, long colorref);
    // The block's name in the file; empty for a block that is not in the drawing's list.
    const std::string& block_name(MB_Block* block) const;
    // The STYLE entry of a text's or a multi-line text's style (its name, fonts, width,
    // oblique angle and vertical layout); empty for a text that was not collected.
    const std::string& text_style_name(const MB_Drawable& text) const;
    int color_index(long colorref) const;
    // Group 62 of a kernel colour (negated for a layer that is off), and its exact colour in
    // group 420 beside it where the index shows only the nearest palette entry.
    void write_color(long colorref, bool off = false);
    // Group 39, for the kinds that carry a thickness, when the drawable has one.
    void write_thickness(const MB_Drawable& d);
    // The *Dn block holding a dimension's geometry, and the DIMSTYLE entry it refers to; empty
    // for a dimension that was not collected.
    const std::string& dimension_block(const MB_Dimension& d) const;
    const std::string& dimension_style(const MB_Dimension& d) const;
    // The IMAGEDEF of an image: its raster is written on the first call. 0 when there is no
    // place for rasters or the raster could not be written (which fails the export).
    std::uint64_t image_def(MB_Image& image);
    // A new IMAGEDEF_REACTOR linking the IMAGE entity written with that handle to the
    // image's IMAGEDEF (image_def called before); its handle.
    std::uint64_t image_reactor(const MB_Image& image, std::uint64_t entity);
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
    void write_dimension_block(MB_Dimension& d, std::uint64_t record);
    // A dimension's nodes in their own colours: solids as SOLID, runs as LINE or LWPOLYLINE.
    void write_dimension_node(MB_Dimension& d, std::uint64_t record, MB_Draw_Node& node, int depth);
    void write_run(std::uint64_t owner, long color, const Qe_Pt* pts, int n);
    // "0 KIND", handle, owner, AcDbEntity and the layer; the handle.
    std::uint64_t entity_start(const char* kind, std::uint64_t owner, const std::string& layer);
    void write_image_objects();
    void write_list(MB_Object_List& list, std::uint64_t owner);
    // The generic form: the display node tree, or the edge points of a curve without one.
    void write_fallback(MB_Drawable& d, std::uint64_t owner);
    void write_node(MB_Drawable& d, std::uint64_t owner, MB_Draw_Node& node, const Qe_Tran* t, int depth);

    MB_Drawing& m_drawing;
    Dxf_Writer& m_out;
    std::uint32_t m_background;
    // The drawing's extents, as the header gives them; the view opens on them.
    Qe_Rect m_extents;
    bool m_has_extents = false;

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
        bool vertical = false;
    };
    // The text styles, dimensions and images of a list, groups' members included.
    void collect_list(MB_Object_List& list, std::unordered_set<std::string>& names);
    void collect_object(MB_Object& o, std::unordered_set<std::string>& names, int depth);
    // The styles of a composite text's runs.
    void collect_runs(MB_Object& o, std::unordered_set<std::string>& names);
    // The entry of a style as the text draws with it: that width, slant and layout.
    void collect_text_style(const MB_Drawable& text, const MB_Text_Style& style, double width, double oblique,
                            bool vertical, std::unordered_set<std::string>& names);
    void collect_dimension(MB_Dimension& d);
    std::vector<Text_Style_Entry> m_text_styles;
    std::unordered_map<std::string, std::size_t> m_text_style_index;  // by style key
    std::unordered_map<const MB_Drawable*, std::size_t> m_text_style_of;
    // The entries of the last styles met, by what their key is made of: most texts take the
    // style of a text just before them, and the key costs more than the comparison.
    struct Text_Style_Seen {
        const void* font;
        const void* big_font;
        double width, oblique;
        bool vertical;
        std::u16string name;
        std::size_t entry;
    };
    std::vector<Text_Style_Seen> m_text_styles_seen;
    std::size_t m_text_styles_seen_next = 0;
    std::unordered_map<const MB_Block*, std::size_t> m_block_index;

    struct Dimension_Entry {
        MB_Dimension* dimension;
        std::string name;
        std::uint64_t record;
        std::size_t style;
    };
    std::vector<Dimension_Entry> m_dimensions;
    std::unordered_map<const MB_Dimension*, std::size_t> m_dimension_index;
    struct Dim_Style_Entry {
        std::string name;
        MB_Dimension* first;  // the values come from the first dimension of the name
    };
    std::vector<Dim_Style_Entry> m_dim_styles;  // 0 is "Standard"

    Dxf_Raster_Files* m_rasters;
    bool m_images = false;  // the drawing holds an image with a raster
    struct Image_Reactor {
        std::uint64_t handle, entity;
    };
    struct Image_Def {
        std::uint64_t handle;
        std::string file;
        long width, height;  // pixels
        double pixel_x, pixel_y;
        std::vector<Image_Reactor> reactors;
    };
    std::vector<Image_Def> m_image_defs;
    std::unordered_map<const MB_Image*, std::size_t> m_image_def_index;
    std::uint64_t m_image_dict = 0;
    bool m_failed = false;
    // Drawables not written, by kind in the order met.
    std::vector<std::pair<int, long>> m_unwritten;
    void count_unwritten(const MB_Drawable& d);

    std::uint64_t m_root_dict = 0;
    std::uint64_t m_group_dict = 0;
    std::uint64_t m_model_record = 0;
    std::uint64_t m_paper_record = 0;
};

// The entity kinds written in their own DXF form; false when d is not one of them, and the
// exporter falls back to the generic form.
bool write_native_entity(Dxf_Exporter& exporter, MB_Drawable& d, std::uint64_t owner);

// The four corners of a SOLID for a ring of three or four points: a SOLID fills the triangles
// 0-1-2 and 1-2-3 of its corners, so the ring p0 p1 p2 p3 is written as p0 p1 p3 p2, and a
// triangle repeats its last corner. false for any other count.
bool solid_corners(const Qe_Pt* ring, int n, Qe_Pt corners[4]);
