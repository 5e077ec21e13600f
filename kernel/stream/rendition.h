#pragma once

// The attribute state kept beside each native stream. MB_Rendition is a set of attribute
// records with change words (a file object has a desired and a current one; the current
// one's colour map resolves palette colour records and its drawing info gives the revision
// of the stream being read). MB_FIFO_Rendition holds the last attribute values written or
// read and says where read objects go.

#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/database/drawing_info.h"
#include "kernel/database/layer.h"
#include "kernel/database/object_list.h"
#include "kernel/stream/rendition_records.h"
#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/fixed_width.h"

class MB_Block;
class MB_Drawing;
class MB_File_IO;
class MB_Line_Type;
class MB_String;

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
    MB_Rendition_Code& rendition_code() { return m_code; }
    MB_Rendition_Subcode& rendition_subcode() { return m_subcode; }
    MB_URL& url() { return m_url; }
    MB_Layer& layer() { return m_layer; }

private:
    mb_long m_changed = 0;
    mb_long m_extended_changed = 0;
    MB_Drawing_Info m_drawing_info;
    MB_Color m_color;
    MB_Color_Map m_color_map{38};
    MB_Rendition_Code m_code;
    MB_Rendition_Subcode m_subcode;
    MB_URL m_url;
    MB_Layer m_layer;
};

// The attribute state of one stream. Writing: the last values written, so that records
// are written only for changes. Reading: the last values read, which every entity read
// afterwards takes, and where read objects go (the block being defined, kept by the
// drawing as its temp block, or else the drawing's entity list).
class DRAKMERE_API MB_FIFO_Rendition {
public:
    static constexpr int k_name_size = 256;
    static constexpr int k_block_name_size = 260;

    MB_FIFO_Rendition() = default;
    explicit MB_FIFO_Rendition(MB_Drawing* drawing) : m_drawing(drawing) {}
    // Opens the block in the drawing; every other value takes its default.
    MB_FIFO_Rendition(MB_Block* block, MB_Drawing* drawing);

    // Every remembered value back to its default; the drawing and the file stay. A file
    // object does this whenever it opens a stream, so that no stream depends on the last.
    void reset();

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
    double text_heigh() const { return m_text_height; }
    void text_heigh(double h) { m_text_height = h; }
    double text_width_scale() const { return m_text_width_scale; }
    void text_width_scale(double s) { m_text_width_scale = s; }
    double text_angle() const { return m_text_angle; }
    void text_angle(double a) { m_text_angle = a; }
    double font_oblique_angle() const { return m_font_oblique_angle; }
    void font_oblique_angle(double a) { m_font_oblique_angle = a; }
    mb_long text_flag() const { return m_text_flag; }
    void text_flag(mb_long f) { m_text_flag = f; }
    mb_long font_flag() const { return m_font_flag; }
    void font_flag(mb_long f) { m_font_flag = f; }
    // The name fields hold at most 255 characters (block names 259); longer names are cut,
    // a null name empties the field.
    char* text_style_name() { return m_text_style_name; }
    void text_style_name(const char* name);
    char* font_name() { return m_font_name; }
    void font_name(const char* name);
    char* big_font_name() { return m_big_font_name; }
    void big_font_name(const char* name);
    char* block_name() { return m_block_name; }
    void block_name(const char* name);
    MB_Drawing* drawing() const { return m_drawing; }
    void drawing(MB_Drawing* d) { m_drawing = d; }
    void file_io(MB_File_IO* file) { m_file = file; }

    // The block being defined: the drawing's temp block (null without a drawing).
    MB_Block* block() const;
    // Makes the block the one being defined (null ends a definition without finishing it).
    void start_block(MB_Block* block);
    // Opens the drawing's first block of exactly that name, or a new one (base point
    // base, described "Block desc0") appended to the block list. True.
    bool start_block(const MB_String& name, const Qe_Pt& base);
    // Builds the open block's display and ends its definition; a block that is not yet
    // in the block list joins its tail. True.
    bool end_block();
    // False without an open block; otherwise its base point and transform are set.
    bool set_block_base(const Qe_Pt& base);
    // The open block's members, else the drawing's entity list.
    MB_Object_List& creating_list();
    // Appends at the tail of creating_list(); null and the current tail are left alone,
    // and nothing happens without a drawing.
    void add_object(MB_Object* obj);

    // Called before every drawable's own record: a record for each property that differs
    // from the last one written (colour, display width, line scale, width, thickness,
    // layer; a change to no layer is written as an empty layer name). The line type has no
    // record and is only remembered. True, or false when a record could not be written.
    bool write_sync_prop(mb_ulong color, mb_long display_width, double line_scale, double width, double thickness,
                         MB_Line_Type* line_type, MB_Layer* layer, MB_URL* url);
    // The font state in front of a text. A null style name empties the remembered one; null
    // font names stand for "txt.shx" and "hztxt.shx"; none of these writes a record. True,
    // or false when a record could not be written.
    bool write_sync_font(double height, double width_scale, double angle, double oblique_angle, mb_long text_flag,
                         mb_long font_flag, const char* text_style_name, const char* font_name,
                         const char* big_font_name);
    // A block-name record for a name other than the last one written: true when written
    // (false also when the write failed).
    bool write_sync_blk_name(const char* name);

    // Settings this stream format does not carry.
    bool closed(char) { return true; }
    bool filled(char) { return true; }
    bool line_pattern(mb_long) { return false; }
    bool line_weight(mb_long) { return false; }
    bool line_fill(unsigned char) { return false; }
    bool font_height(double) { return true; }
    bool font_angle(double) { return true; }

private:
    // Writes a temporary record to the file, outside the undo record; success without a
    // file.
    template <class Record, class... Args>
    [[nodiscard]] bool write_record(Args&&... args);

    mb_ulong m_color = 0;
    mb_long m_display_width = 0;
    double m_line_scale = 1.0;
    double m_width = 1.0;
    double m_thickness = 0.0;
    MB_Layer* m_layer = nullptr;
    MB_URL* m_url = nullptr;
    MB_Line_Type* m_line_type = nullptr;
    double m_text_height = 1.0;
    double m_text_width_scale = 1.0;
    double m_text_angle = 0.0;
    double m_font_oblique_angle = 0.0;
    mb_long m_text_flag = 0;
    mb_long m_font_flag = 0;
    // Names no style or block is given, so that the first name met is always written.
    char m_text_style_name[k_name_size] = "~no text style";
    char m_font_name[k_name_size] = "";
    char m_big_font_name[k_name_size] = "";
    MB_Drawing* m_drawing = nullptr;
    MB_File_IO* m_file = nullptr;
    char m_block_name[k_block_name_size] = "~no block";
    // What creating_list() gives without a drawing; nothing is ever added to it.
    MB_Object_List m_no_list;
};
