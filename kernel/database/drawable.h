#pragma once

// Everything that can be drawn derives from MB_Drawable: the common graphic properties
// (MB_General), identification values for hosts, extended data, the display state, an
// owner, the members of a container, the display-list node built for it, a tessellation
// precision and a bounding rectangle. Curve-like entities derive from MB_Geom, which keeps
// the tessellated edge points and draws them when the entity has no node of its own.

#include <memory>

#include "geometry/pt_set.h"
#include "geometry/rect.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "kernel/database/xdata.h"
#include "platform/fixed_width.h"
#include "platform/win_types.h"

class MB_Draw_Node;
class MB_Drawing;
class MB_Layer;
class MB_Line_Type;
class MB_Object_List;
class MB_URL;
class Qe_Pt_List;
class Qe_Qdc;
class Qe_Tran;
class Qe_Void_List;

// The graphic properties embedded in every drawable.
class DRAKMERE_API MB_General {
public:
    // Bits of the flag byte.
    enum Flag : unsigned char {
        Flag_On = 0x01,
        Flag_Locked = 0x02,
        Flag_Frozen = 0x04,
        Flag_Plot = 0x08,
        Flag_Disabled = 0x10,
    };

    // Colour, display width, line scale, width and thickness from the active settings
    // (the defaults without an operation); the active operation's current layer.
    MB_General();
    MB_General(const MB_General& other) = default;
    MB_General& operator=(const MB_General& other) = default;
    // A plain value embedded in every drawable: no table of virtual functions to carry.
    ~MB_General();

    // Gives the drawable target every property but the flag byte; false for a null target
    // or one that is not a drawable.
    bool copy_to(MB_Object*& target);

    long color() const { return m_color; }
    void color(long c) { m_color = c; }
    long display_color() const { return m_color; }
    void display_color(long c) { m_color = c; }
    long display_width() const { return m_display_width; }
    void display_width(long w) { m_display_width = w; }
    double line_scale() const { return m_line_scale; }
    void line_scale(double s) { m_line_scale = s; }
    double width() const { return m_width; }
    void width(double w) { m_width = w; }
    double thickness() const { return m_thickness; }
    void thickness(double t) { m_thickness = t; }
    MB_Layer* layer() const { return m_layer; }
    void layer(MB_Layer* l) { m_layer = l; }
    MB_Line_Type* line_type() const { return m_line_type; }
    void line_type(MB_Line_Type* t) { m_line_type = t; }
    MB_URL* url() const { return m_url; }
    void url(MB_URL* u) { m_url = u; }
    unsigned char flag() const { return m_flag; }
    void flag(unsigned char f) { m_flag = f; }

    // A frozen general is never visible.
    bool visibility() const { return !(m_flag & Flag_Frozen) && (m_flag & Flag_On); }
    bool lock() const { return m_flag & Flag_Locked; }
    bool freeze() const { return m_flag & Flag_Frozen; }
    bool plot() const { return m_flag & Flag_Plot; }
    bool is_disable() const { return m_flag & Flag_Disabled; }
    void visibility(bool on) { set_bit(Flag_On, on); }
    void lock(bool on) { set_bit(Flag_Locked, on); }
    void freeze(bool on) { set_bit(Flag_Frozen, on); }
    void plot(bool on) { set_bit(Flag_Plot, on); }
    bool disable(bool on)
    {
        set_bit(Flag_Disabled, on);
        return on;
    }

    // Hands the properties to the stream's attribute state, which writes records for the
    // values that changed.
    MB_Result serialize(MB_File_IO& file);
    // Takes the properties in force in the reader's attribute state.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file);
    MB_Result process(MB_File_IO& file);

private:
    void set_bit(unsigned char bit, bool on) { m_flag = static_cast<unsigned char>(on ? (m_flag | bit) : (m_flag & ~bit)); }

    long m_color;
    long m_display_width;
    double m_line_scale;
    double m_width;
    double m_thickness;
    MB_Layer* m_layer;
    MB_Line_Type* m_line_type = nullptr;
    MB_URL* m_url = nullptr;
    unsigned char m_flag = 0;
};

// The colour a drawable is drawn in: a colour equal to the active background colour would
// vanish, so it is drawn in its complement.
DRAKMERE_API long mb_display_color(long colour);

class DRAKMERE_API MB_Drawable : public MB_Object {
public:
    // Bits of the save mask.
    enum Save_Flag : mb_ulong {
        Save_Id = 1,
        Save_User_Id = 2,
        Save_String = 4,
        Save_Real = 8,
        Save_Xdata = 16,
    };
    // Display states.
    enum State : unsigned short {
        State_Hidden = 0,
        State_Normal = 1,
        State_Selected = 2,
    };

    MB_Drawable();
    // A copy never shares the display node: it starts without one.
    MB_Drawable(const MB_Drawable& other);
    // Deletes this drawable's node; it has none until it builds one.
    MB_Drawable& operator=(const MB_Drawable& other);
    // Deletes the display node; the object list is the container's to release.
    ~MB_Drawable() override;

    virtual char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& index1, int& index2);
    virtual void build_draw();
    // Lays the drawable out as far as its rectangle: rect() and whatever else of its state
    // build_draw derives besides the display become what build_draw makes them, but no edge
    // points, display node or fill are kept. A kind whose rectangle comes from its display
    // builds it all (the default); the kinds of plain geometry compute it from their own.
    virtual void build_extent();
    virtual void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t);
    virtual void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t);
    virtual void translate(const Qe_Tran& t, short mode);
    virtual void rebuild(MB_Drawing* drawing);

    // Fills a drawable target with this id, owner, clones of the members and the general;
    // false for a null target (a concrete class makes its clone first).
    bool copy_to(MB_Object*& target) override;
    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    const char* get_string(int key) override;
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_point(long key, const Qe_Pt& value) override;
    void set_string(long key, const char* value) override;

    MB_General& general() { return m_general; }
    const MB_General& general() const { return m_general; }
    mb_ulong save_flag() const { return m_extra ? m_extra->save_flag : 0; }
    mb_ulong id() const { return m_extra ? m_extra->id : 0; }
    void set_id(mb_ulong id)
    {
        if (id || m_extra) extra().id = id;
    }
    mb_ulong user_id() const { return m_extra ? m_extra->user_id : 0; }
    void user_id(mb_ulong id)
    {
        if (id || m_extra) extra().user_id = id;
    }
    MB_String& string() { return extra().string; }
    double real_val() const { return m_extra ? m_extra->real_val : 0.0; }
    void real_val(double v)
    {
        if (v != 0.0 || m_extra) extra().real_val = v;
    }
    MB_Xdata& xdata() { return extra().xdata; }
    // Takes other's user id, string, real value and extended data; a drawable without them
    // given to one without them makes none.
    void copy_host_values(const MB_Drawable& other);
    unsigned short flag() const { return m_flag; }
    // Also the display node's flag.
    void flag(unsigned short state);
    MB_Drawable* owner() const { return m_extra ? m_extra->owner : nullptr; }
    void owner(MB_Drawable* o)
    {
        if (o || m_extra) extra().owner = o;
    }
    MB_Object_List* object_list() const { return m_extra ? m_extra->object_list : nullptr; }
    // Stores the pointer. A member list that copy_to made for this drawable is its own and
    // goes with it; the setter hands such a list to the caller.
    void object_list(MB_Object_List* list)
    {
        if (!list && !m_extra) return;
        extra().object_list = list;
        m_extra->owns_object_list = false;
    }
    MB_Draw_Node* draw_node() const { return m_draw_node; }
    // Deletes the display node: the drawable shows nothing until it is built again.
    void free_draw_node() { draw_node(nullptr); }
    long draw_precision() const { return m_extra ? m_extra->draw_precision : 0; }
    void draw_precision(long p)
    {
        if (p || m_extra) extra().draw_precision = p;
    }
    Qe_Rect& rect() { return m_rect; }
    const Qe_Rect& rect() const { return m_rect; }
    bool is_selected() const { return m_flag == State_Selected; }

    // The drawing's first layer of exactly that name (or 16-bit id) becomes the layer; on a
    // layer that is not visible the drawable becomes hidden. No match changes nothing.
    void set_layer(const MB_String& name, MB_Drawing& drawing);
    void set_layer(unsigned short id, MB_Drawing& drawing);

    // The own precision when above 0, else the default for this kind of object.
    long get_draw_precision();
    long get_def_draw_precision();

    // The extended-data block that follows a drawable's opcode: the general's flag byte,
    // the save mask as a long, then the fields the mask names.
    MB_Result save_xdata(MB_File_IO& file);
    // Reads the block; the drawable changes only when all of it was read.
    MB_Result read_xdata(const MB_Opcode& opcode, MB_File_IO& file);
    void build_save_flag();

    // Replaces the display node: with a line type that has a pattern, the points cut into
    // its dashes in the general's colour and line scale; otherwise no node.
    void build_draw_node_with_ltype(Qe_Pt_Set& points);
    void build_draw_node(Qe_Pt*, int, bool) {}
    void build_draw_node(mb_ulong, mb_ulong*, Qe_Pt*) {}
    void build_color() {}

protected:
    // Replaces the display node (the old one is deleted).
    void draw_node(MB_Draw_Node* node);

private:
    template <typename Match>
    void set_layer_where(MB_Drawing& drawing, Match match);
    // Frees the member list when it is this drawable's own, and forgets it.
    void release_object_list();

    // What few drawables hold: host values, extended data, an owner, members and an own
    // precision. Made on first use, so that a drawing of a million plain entities does not
    // carry them a million times.
    struct Extra {
        mb_ulong save_flag = 0;
        mb_ulong id = 0;
        mb_ulong user_id = 0;
        MB_String string;
        double real_val = 0.0;
        MB_Xdata xdata;
        MB_Drawable* owner = nullptr;
        MB_Object_List* object_list = nullptr;
        bool owns_object_list = false;
        long draw_precision = 0;
    };
    Extra& extra()
    {
        if (!m_extra) m_extra = std::make_unique<Extra>();
        return *m_extra;
    }

    MB_General m_general;
    unsigned short m_flag = State_Normal;
    std::unique_ptr<Extra> m_extra;
    MB_Draw_Node* m_draw_node = nullptr;
    Qe_Rect m_rect;
};

// A curve-like drawable: its tessellated edge points and a parameter range.
class DRAKMERE_API MB_Geom : public MB_Drawable {
public:
    MB_Geom() = default;
    MB_Geom(const MB_Geom& other) = default;
    MB_Geom& operator=(const MB_Geom& other) = default;
    ~MB_Geom() override;

    MB_Type object_type() const override { return TYPE_GEOMETRY; }
    // The node draws itself when there is one; otherwise the edge points are drawn as a
    // polyline (a line of two points that fall on one pixel draws nothing).
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;

    virtual double get_param(const Qe_Pt& p);
    virtual Qe_Pt get_point_by_param(double param);
    virtual bool build_by_param(MB_Geom*& result, double from, double to);

    Qe_Pt_Set& edge() { return m_edge; }
    Qe_Pt_Set& segment_set() { return m_edge; }
    double start_param() const { return m_start_param; }
    void start_param(double p) { m_start_param = p; }
    double end_param() const { return m_end_param; }
    void end_param(double p) { m_end_param = p; }

private:
    Qe_Pt_Set m_edge;
    double m_start_param = 0.0;
    double m_end_param = 0.0;
};

// Sets out to the union of the rectangles of the listed objects (MB_Object*; the first
// rectangle is copied whole, the union's corners have z 0); what is not a drawable is
// passed over. False, leaving out as it was, for a list without drawables.
DRAKMERE_API bool api_mb_get_entity_list_rect(Qe_Void_List& entities, Qe_Rect& out);
DRAKMERE_API bool api_mb_get_entity_list_rect(MB_Object_List& entities, Qe_Rect& out);
