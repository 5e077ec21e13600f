#pragma once

// The in-memory drawing: its metadata, the entity list and the table lists, the file name,
// the format version it writes and the revision of the file last read into it, and the
// running position that the native stream's relative coordinates start from. The drawing
// owns what its lists hold.

#include "geometry/point.h"
#include "kernel/database/drawing_info.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object_list.h"
#include "kernel/drakmere_api.h"

class MB_Layer;

// The native format version a new drawing writes.
inline constexpr int g_format_version = 451;

class DRAKMERE_API MB_Drawing {
public:
    MB_Drawing();
    explicit MB_Drawing(const MB_String& name);
    // A copy would share the lists.
    MB_Drawing(const MB_Drawing&) = delete;
    MB_Drawing& operator=(const MB_Drawing&) = delete;
    // Deletes the entities, blocks, layers, dimension styles, viewports, named views, text
    // styles and line types; the other lists are only emptied.
    virtual ~MB_Drawing();

    MB_Drawing_Info& drawing_info() { return m_info; }

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

    int format_version() const { return m_format_version; }
    void format_version(int v) { m_format_version = v; }
    int file_revision() const { return m_file_revision; }
    void file_revision(int v) { m_file_revision = v; }

    // The last absolute point written or read by the native stream.
    const Qe_Pt& position() const { return m_position; }
    void position(const Qe_Pt& p) { m_position = p; }
    // Writing: p becomes the position, and p's x and y become the differences from the
    // previous position (z unchanged).
    void fo_position(Qe_Pt& p);
    // Reading: the position's x and y are added to p's (z unchanged), and p becomes the
    // position.
    void fi_position(Qe_Pt& p);

    // The first layer whose name equals name ignoring case; null for none or a null name.
    MB_Layer* find_layer(const char* name);
    // The layer at that 0-based position; null past the end.
    MB_Layer* find_layer(unsigned long index);

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
    MB_Object_List m_lists[List_Count];
    MB_String m_filename;
    Qe_Pt m_position;
    int m_format_version = g_format_version;
    int m_file_revision = 0;
};
