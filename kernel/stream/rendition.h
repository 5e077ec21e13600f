#pragma once

// The attribute state kept beside each native stream. MB_Rendition is a set of attribute
// records with change words (a file object has a desired and a current one; the current
// one's colour map resolves palette colour records and its drawing info gives the revision
// of the stream being read). MB_FIFO_Rendition holds the last attribute values written or
// read and says where read objects go.

#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/database/drawing_info.h"
#include "kernel/drakmere_api.h"
#include "platform/fixed_width.h"

class MB_Block;
class MB_Drawing;
class MB_File_IO;
class MB_Layer;
class MB_Line_Type;
class MB_URL;

// The attribute records of a rendition belong to its file object, not to a drawing: their
// creation is kept out of the undo record, which would otherwise free them on undo.
class DRAKMERE_API MB_Rendition_Quiet_Construction {
protected:
    MB_Rendition_Quiet_Construction();
    void resume_recording();

private:
    short m_recording = 0;
};

class DRAKMERE_API MB_Rendition : private MB_Rendition_Quiet_Construction {
public:
    // Bits of the change word.
    enum Change : mb_long {
        Change_Color = 0x1,
        Change_Rendition_Code = 0x40,
        Change_Rendition_Subcode = 0x80,
        Change_Color_Map = 0x200,
    };

    MB_Rendition();
    MB_Rendition(const MB_Rendition&) = delete;
    MB_Rendition& operator=(const MB_Rendition&) = delete;

    mb_long changed() const { return m_changed; }
    void changed(mb_long word) { m_changed = word; }
    void mark_changed(mb_long bits) { m_changed |= bits; }
    mb_long extended_changed() const { return m_extended_changed; }
    void extended_changed(mb_long word) { m_extended_changed = word; }

    MB_Drawing_Info& drawing_info() { return m_drawing_info; }
    MB_Color& color() { return m_color; }
    MB_Color_Map& color_map() { return m_color_map; }

private:
    mb_long m_changed = 0;
    mb_long m_extended_changed = 0;
    MB_Drawing_Info m_drawing_info;
    MB_Color m_color;
    MB_Color_Map m_color_map{38};
};

class DRAKMERE_API MB_FIFO_Rendition {
public:
    MB_FIFO_Rendition() = default;
    explicit MB_FIFO_Rendition(MB_Drawing* drawing) : m_drawing(drawing) {}

    mb_ulong color() const { return m_color; }
    void color(mb_ulong c) { m_color = c; }
    mb_long display_width() const { return m_display_width; }
    void display_width(mb_long w) { m_display_width = w; }
    double line_scale() const { return m_line_scale; }
    void line_scale(double s) { m_line_scale = s; }
    double width() const { return m_width; }
    void width(double w) { m_width = w; }
    double thickness() const { return m_thickness; }
    void thickness(double t) { m_thickness = t; }
    MB_Layer* layer() const { return m_layer; }
    void layer(MB_Layer* l) { m_layer = l; }
    MB_URL* url() const { return m_url; }
    void url(MB_URL* u) { m_url = u; }
    MB_Line_Type* line_type() const { return m_line_type; }
    void line_type(MB_Line_Type* t) { m_line_type = t; }

    // Called before every drawable's own record: writes a record for each property that
    // differs from the last one written (colour, layer; a change to no layer is written as
    // an empty layer name) and remembers the line type, which has no record. True.
    bool write_sync_prop(mb_ulong color, mb_long display_width, double line_scale, double width, double thickness,
                         MB_Line_Type* line_type, MB_Layer* layer, MB_URL* url);
    // The block name of the last block-name record written or read; names longer than
    // the field are cut.
    static constexpr int k_block_name_size = 260;
    char* block_name() { return m_block_name; }
    void block_name(const char* name);
    MB_Drawing* drawing() const { return m_drawing; }
    void drawing(MB_Drawing* d) { m_drawing = d; }
    MB_Block* block() const { return m_block; }
    void start_block(MB_Block* b) { m_block = b; }
    void file_io(MB_File_IO* file) { m_file = file; }

private:
    mb_ulong m_color = 0;
    mb_long m_display_width = 0;
    double m_line_scale = 1.0;
    double m_width = 1.0;
    double m_thickness = 0.0;
    MB_Layer* m_layer = nullptr;
    MB_URL* m_url = nullptr;
    MB_Line_Type* m_line_type = nullptr;
    MB_Drawing* m_drawing = nullptr;
    MB_Block* m_block = nullptr;
    MB_File_IO* m_file = nullptr;
    // A name no block is given, so that the first name met is always written.
    char m_block_name[k_block_name_size] = "~no block";
};
