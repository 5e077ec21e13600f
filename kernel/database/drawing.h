#pragma once

// The in-memory drawing: its metadata, the entity list and the table lists, the file name,
// the format version it writes and the revision of the file last read into it, and the
// running position that the native stream's relative coordinates start from. The drawing
// owns what its lists hold.

#include "geometry/point.h"
#include "geometry/transform.h"
#include "platform/win_types.h"
#include "kernel/database/drawing_info.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object_list.h"
#include "kernel/database/pixel_budget.h"
#include "kernel/drakmere_api.h"

#include <cmath>
#include <memory>
#include <vector>

class MB_Block;
class MB_Entity_Source;
class MB_Layer;
class MB_Name_Index;
class MB_Line_Type;
class MB_Text_Style;

// The native format version a new drawing writes.
inline constexpr int g_format_version = 451;

// Whether a point written or read by the native stream becomes its running position: only
// a point with finite x and y does, on both sides alike.
inline bool mb_position_follows(const Qe_Pt& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

class DRAKMERE_API MB_Drawing {
public:
    MB_Drawing();
    explicit MB_Drawing(const MB_String& name);
    // A copy would share the lists.
    MB_Drawing(const MB_Drawing&) = delete;
    MB_Drawing& operator=(const MB_Drawing&) = delete;
    // Deletes the entities, blocks, layers, dimension styles, viewports, named views, text
    // styles and line types; the other lists are only emptied. A block still being defined
    // that never joined the block list is deleted too.
    virtual ~MB_Drawing();

    MB_Drawing_Info& drawing_info() { return m_info; }

    // The pixels its images may decode into, together; a host sets the limit.
    MB_Pixel_Budget& pixel_budget() { return *m_pixel_budget; }
    // The same budget, for an image that holds its share until it goes.
    const std::shared_ptr<MB_Pixel_Budget>& pixel_budget_ptr() const { return m_pixel_budget; }

    MB_Object_List& object_list() { return m_lists[Entities]; }
    MB_Object_List& open_obj_list() { return m_lists[Entities]; }
    MB_Object_List& hide_list() { return m_lists[Hidden]; }
    MB_Object_List& named_view_list() { return m_lists[Named_Views]; }
    MB_Object_List& view_port_list() { return m_lists[Viewports]; }
    MB_Object_List& layout_list() { return m_lists[Layouts]; }
    MB_Object_List& block_list() { return m_lists[Blocks]; }
    MB_Object_List& layer_list() { return m_lists[Layers]; }
    MB_Object_List& dim_style_list() { return m_lists[Dim_Styles]; }
    MB_Object_List& text_style_list() { return m_lists[Text_Styles]; }
    MB_Object_List& shp_list() { return m_lists[Shape_Fonts]; }
    MB_Object_List& line_type_list() { return m_lists[Line_Types]; }
    MB_Object_List& mline_type_list() { return m_lists[Mline_Types]; }
    MB_Object_List& hatch_type_list() { return m_lists[Hatch_Types]; }

    const MB_String& filename() const { return m_filename; }
    void set_filename(const char* name) { m_filename = name; }
    void set_filename(int n, const char16_t* name) { m_filename.set(n, name); }

    // The view transform kept with the drawing.
    Qe_Tran zoom_transf() const { return m_zoom_transf; }
    void zoom_transf(const Qe_Tran& t) { m_zoom_transf = t; }

    // Entities that follow the entity list for a pass that asks for them (an export); null for
    // none. Not owned: the host that sets a source clears it before the source goes.
    MB_Entity_Source* trailing_entities() const { return m_trailing; }
    void trailing_entities(MB_Entity_Source* source) { m_trailing = source; }

    // The block being defined: while it is set, added objects go to its member list. Not
    // owned through this pointer until it joins the block list.
    MB_Block* temp_block() const { return m_temp_block; }
    void temp_block(MB_Block* block) { m_temp_block = block; }
    // Opens block inside the one being defined: it becomes the temp block, and the outer one
    // is open again when block is closed.
    void open_block(MB_Block* block);
    // Closes block when it is the temp block: it joins the block list (once) and the next outer
    // block, if any, becomes the temp block. With no block open, block joins the block list.
    // False, nothing changed, for null or any other block.
    bool close_block(MB_Block* block);
    // Ends every definition that was never closed, innermost first: each block joins the
    // tail of the block list (unless it already is its tail) and the temp block is cleared.
    void finish_temp_block();

    // The layout whose entity list is active, with that list; null for model space. The
    // layouts themselves belong to the layout list.
    MB_Object* current_layout() const { return m_current_layout; }
    MB_Object_List* current_layout_list() const { return m_current_layout_list; }
    void current_layout(MB_Object* layout, MB_Object_List* entities);

    // The temp block's members while one is set, else the current layout's entities, else
    // the entity list.
    MB_Object_List& get_active_object_list();
    // Appends at the tail of the temp block's members while one is set, else of the entity
    // list (a current layout does not redirect it); null and the current tail are ignored.
    void add_object(MB_Object* obj);
    void add_object_merge(MB_Object* obj) { add_object(obj); }

    // Builds the display of every block, then of every entity; entities on layers that are
    // not visible become hidden first.
    void build_draw();
    // After a layer's visibility changed: the entities of the active list on that layer
    // become normal or hidden.
    void build_layer(MB_Layer* layer);
    void build_color();
    void print(HDC hdc, const Qe_Tran& t);

    int format_version() const { return m_format_version; }
    void format_version(int v) { m_format_version = v; }
    int file_revision() const { return m_file_revision; }
    void file_revision(int v) { m_file_revision = v; }

    // The last absolute point written or read by the native stream.
    const Qe_Pt& position() const { return m_position; }
    void position(const Qe_Pt& p) { m_position = p; }
    // Writing: p's x and y become the differences from the previous position (z unchanged),
    // and the position becomes what a reader adding them back will have, so that rounding
    // never piles up along a stream. A point reads back bit for bit unless its difference
    // cannot carry it (a value after a larger one: 0.1 after 0.7 reads back one unit in the
    // last place off).
    void fo_position(Qe_Pt& p);
    // Reading: the position's x and y are added to p's (z unchanged), and p becomes the
    // position.
    // Both sides pass over a point whose x or y is not finite (mb_position_follows): it
    // keeps the position where it was, so one such point cannot spoil every point after it.
    void fi_position(Qe_Pt& p);

    // Name lookups ignore case and pass over entries without 8-bit names; a null name
    // finds nothing.
    MB_Block* find_block(const char* name);
    // "bylayer" (any case) with a layer gives the layer's line type.
    MB_Line_Type* find_line_type(const char* name, MB_Layer* layer);
    // "DEFAULT_STYLE" (any case) gives the shared default style g_text_style, null until
    // the text entities make it.
    MB_Text_Style* find_text_style(const char* name);
    // The first layer whose name equals name ignoring case; null for none or a null name.
    MB_Layer* find_layer(const char* name);
    // The layer at that 0-based position; null past the end.
    MB_Layer* find_layer(unsigned long index);
    // The first layer or block whose name equals name exactly (MB_String comparison).
    MB_Layer* find_layer_exact(const MB_String& name);
    MB_Block* find_block_exact(const MB_String& name);
    // True when obj is in the block list.
    bool has_block(const MB_Object* obj);

private:
    enum List : int {
        Entities,
        Hidden,
        Named_Views,
        Viewports,
        Layouts,
        Blocks,
        Layers,
        Dim_Styles,
        Text_Styles,
        Shape_Fonts,
        Line_Types,
        Mline_Types,
        Hatch_Types,
        List_Count,
    };

    MB_Drawing_Info m_info;
    std::shared_ptr<MB_Pixel_Budget> m_pixel_budget = std::make_shared<MB_Pixel_Budget>();
    MB_Object_List m_lists[List_Count];
    Qe_Tran m_zoom_transf;
    MB_String m_filename;
    Qe_Pt m_position;
    MB_Block* m_temp_block = nullptr;
    MB_Entity_Source* m_trailing = nullptr;
    // Blocks opened around the temp block, innermost last; owned until they join the list.
    std::vector<MB_Block*> m_outer_blocks;
    MB_Object* m_current_layout = nullptr;
    MB_Object_List* m_current_layout_list = nullptr;
    int m_format_version = g_format_version;
    int m_file_revision = 0;
    // Name indexes of the layer, block, line-type and text-style lists, kept in step with
    // them, so that lookups by name do not walk the tables.
    std::unique_ptr<MB_Name_Index> m_layer_index;
    std::unique_ptr<MB_Name_Index> m_block_index;
    std::unique_ptr<MB_Name_Index> m_line_type_index;
    std::unique_ptr<MB_Name_Index> m_text_style_index;
};
