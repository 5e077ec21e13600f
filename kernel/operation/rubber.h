#pragma once

// Rubber bands: temporary shapes that a mouse tool shows while it follows the cursor, drawn
// straight into the view's window in the inverting mode R2_NOTXORPEN so that drawing a frame a
// second time gives the pixels back. A rubber band keeps the shapes on screen (the old list)
// and the shapes of the frame being built (the new list); each frame erases the old shapes and
// shows the new ones.

#include <string>
#include <vector>

#include "geometry/point.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Draw_Render;
class MB_Drawable;
class Qe_Pt_List;

// One shape. Its pen (style, width and the inverting colour) is fixed when it is made, from the
// active settings, so that the frame that erases it draws exactly what the frame that showed it
// drew, whatever the settings did in between.
class DRAKMERE_API MB_Rubber_Node {
public:
    MB_Rubber_Node();
    MB_Rubber_Node(const MB_Rubber_Node&) = delete;
    MB_Rubber_Node& operator=(const MB_Rubber_Node&) = delete;
    virtual ~MB_Rubber_Node();

    // Draws the shape, mapped by t from drawing to window pixels.
    virtual void draw(HDC hdc, const Qe_Tran& t);

    // The pen colour is worked out again with the settings in force now.
    void set_prop(int style, int width, long colour);
    int style() const { return m_style; }
    int width() const { return m_width; }
    long colour() const { return m_colour; }
    // The colour the pen draws in the inverting mode: NOT colour XOR the background setting,
    // 24 bits.
    long color() const { return m_pen_colour; }
    // NOT the highlight mask XOR c, 24 bits.
    long highlight_color(long c) const;

protected:
    // Selects a pen of this node's style and width in colour for its lifetime.
    class Pen {
    public:
        Pen(HDC hdc, int style, int width, long colour);
        Pen(const Pen&) = delete;
        Pen& operator=(const Pen&) = delete;
        ~Pen();

    private:
        HDC m_hdc;
        HPEN m_pen;
        HGDIOBJ m_old;
    };

private:
    int m_style;
    int m_width;
    long m_colour;
    long m_pen_colour;
    long m_highlight_mask;  // NOT the highlight setting, fixed with the pen
};

class DRAKMERE_API MB_Rubber_Point : public MB_Rubber_Node {
public:
    // kind is not drawn; style is the marker style of a 3-pixel marker.
    MB_Rubber_Point(const Qe_Pt& p, short kind, short style);
    void draw(HDC hdc, const Qe_Tran& t) override;

private:
    Qe_Pt m_point;
    short m_kind;
    short m_marker;
};

class DRAKMERE_API MB_Rubber_Line : public MB_Rubber_Node {
public:
    MB_Rubber_Line(const Qe_Pt& a, const Qe_Pt& b);
    void draw(HDC hdc, const Qe_Tran& t) override;

private:
    Qe_Pt m_a;
    Qe_Pt m_b;
};

// A polyline. From a list: the list's points, then the extra point (the cursor), then, when
// closed, the first point again; an empty list gives no points.
class DRAKMERE_API MB_Rubber_Lines : public MB_Rubber_Node {
public:
    MB_Rubber_Lines() = default;
    MB_Rubber_Lines(const Qe_Pt* pts, int n);
    MB_Rubber_Lines(const Qe_Pt_List& list, bool closed, const Qe_Pt& extra);
    // list holds Qe_Pt*.
    MB_Rubber_Lines(const Qe_Void_List& list, bool closed, const Qe_Pt& extra);
    void draw(HDC hdc, const Qe_Tran& t) override;
    const std::vector<Qe_Pt>& points() const { return m_points; }

private:
    std::vector<Qe_Pt> m_points;
};

class DRAKMERE_API MB_Rubber_Rect : public MB_Rubber_Node {
public:
    MB_Rubber_Rect(const Qe_Pt& a, const Qe_Pt& b);
    void draw(HDC hdc, const Qe_Tran& t) override;

private:
    Qe_Pt m_a;
    Qe_Pt m_b;
};

class DRAKMERE_API MB_Rubber_Arc : public MB_Rubber_Node {
public:
    // Radius from centre to start; end is moved along its direction onto that circle.
    MB_Rubber_Arc(const Qe_Pt& centre, const Qe_Pt& start, const Qe_Pt& end);
    MB_Rubber_Arc(const Qe_Pt& centre, double radius, const Qe_Pt& start, const Qe_Pt& end, int style, int width,
                  long colour);
    void draw(HDC hdc, const Qe_Tran& t) override;

private:
    Qe_Pt m_centre;
    double m_radius;
    Qe_Pt m_start;
    Qe_Pt m_end;
};

class DRAKMERE_API MB_Rubber_Circle : public MB_Rubber_Node {
public:
    // The radius is the exact distance, so the shape is the circle a tool makes from the
    // same two points.
    MB_Rubber_Circle(const Qe_Pt& centre, const Qe_Pt& on_circle);
    MB_Rubber_Circle(const Qe_Pt& centre, double radius);
    void draw(HDC hdc, const Qe_Tran& t) override;
    double radius() const { return m_radius; }

private:
    Qe_Pt m_centre;
    double m_radius;
};

class DRAKMERE_API MB_Rubber_Ellipse : public MB_Rubber_Node {
public:
    // The last two values are kept, not drawn.
    MB_Rubber_Ellipse(const Qe_Pt& centre, double major, double minor, double rotation, double start, double end);
    // Centre, the end of the major axis, and a point on the ellipse.
    MB_Rubber_Ellipse(const Qe_Pt& centre, const Qe_Pt& axis_end, const Qe_Pt& on_ellipse);
    void draw(HDC hdc, const Qe_Tran& t) override;
    double major() const { return m_major; }
    double minor() const { return m_minor; }
    double rotation() const { return m_rotation; }

private:
    Qe_Pt m_centre;
    double m_major = 0.0;
    double m_minor = 0.0;
    double m_rotation = 0.0;
    double m_start = 0.0;
    double m_end = 0.0;
};

// Draws nothing.
class DRAKMERE_API MB_Rubber_Coor : public MB_Rubber_Node {
public:
    explicit MB_Rubber_Coor(const Qe_Pt& p) : m_point(p) {}

private:
    Qe_Pt m_point;
};

// Drawables drawn by themselves: plainly through the node's transform, or highlighted with
// their key points. The drawables are not owned; the list is copied.
class DRAKMERE_API MB_Rubber_Entity_List : public MB_Rubber_Node {
public:
    MB_Rubber_Entity_List() = default;
    // list holds MB_Drawable*.
    MB_Rubber_Entity_List(const Qe_Void_List& list, const Qe_Tran& t, bool highlight);
    void draw(HDC hdc, const Qe_Tran& t) override;
    // Whether the node draws d.
    bool names(const MB_Drawable* d) const { return m_list.contains(const_cast<MB_Drawable*>(d)); }

private:
    Qe_Void_List m_list;
    std::vector<long> m_colours;  // per drawable: its pen colour, fixed when the node is made
    long m_key_colour = 0;
    Qe_Tran m_tran;
    bool m_highlight = false;
    Qe_Qdc m_qdc;
};

// Text at a pixel position, bottom-aligned, in red, drawn through the raster operation.
class DRAKMERE_API MB_Rubber_Text : public MB_Rubber_Node {
public:
    MB_Rubber_Text(long x, long y, const char* text, long height);
    void draw(HDC hdc, const Qe_Tran& t) override;

private:
    long m_x;
    long m_y;
    std::string m_text;
    long m_height;
};

// The spline through a tool's points and the cursor, tessellated finer as the view zooms in.
class DRAKMERE_API MB_Rubber_Spline : public MB_Rubber_Node {
public:
    MB_Rubber_Spline() = default;
    MB_Rubber_Spline(const Qe_Pt_List& points, const Qe_Pt& cursor, const Qe_Tran& t);
    void draw(HDC hdc, const Qe_Tran& t) override;
    const std::vector<POINT>& pixels() const { return m_pixels; }

    // The curve library's tessellation value at one pixel per drawing unit; it grows with the
    // view's scale so that the curve stays as smooth on screen when zoomed in.
    static constexpr double k_tess_value = 1.3;
    // The chord error on screen stays well within this many pixels.
    static constexpr double k_tess_pixels = 1.3;

private:
    std::vector<POINT> m_pixels;
};

class DRAKMERE_API MB_Rubber {
public:
    MB_Rubber() = default;
    MB_Rubber(const MB_Rubber&) = delete;
    MB_Rubber& operator=(const MB_Rubber&) = delete;
    // Erases what is shown.
    ~MB_Rubber();

    void draw_render(MB_Draw_Render* r) { m_draw_render = r; }
    MB_Draw_Render* draw_render() const { return m_draw_render; }
    void xor_flag(bool on) { m_xor_flag = on; }
    bool xor_flag() const { return m_xor_flag; }
    int state() const { return m_state; }

    // The active operation's rubber-band pen settings, the defaults of nodes made afterwards;
    // without an operation the setters change nothing and the getters read the defaults.
    void set_color(long c);
    void set_style(int s);
    void set_width(int w);
    long get_color() const;
    int get_style() const;
    int get_width() const;

    // Starts a frame; without the xor flag the collected nodes are dropped.
    void draw_begin();
    // Erases the old frame and shows the new one, which becomes the old; nothing without the
    // xor flag.
    void draw_end();
    // Erases and drops what is shown (with the xor flag) or what was collected (without).
    void reset();
    // Draws the nodes inverting into the view's window.
    void draw(Qe_Void_List& list);
    // The new list onto hdc in its current mode.
    void draw_no_xor(HDC hdc);
    // What a full repaint of the view draws on its memory DC hdc: with the xor flag the shapes
    // on screen, inverting, so that the next frame still erases them; without it draw_no_xor.
    void draw_on_repaint(HDC hdc);
    // Drops the shapes on screen without drawing: their view is gone or repainted without them.
    void forget_shown();
    // Before drawables leave the drawing: what is shown is erased when any shape draws one of
    // them (they are still there to draw), and collected shapes that draw one are dropped, so
    // that no later frame reaches a destroyed drawable.
    void forget_drawables(const std::vector<MB_Drawable*>& gone);
    void delete_drw_list(Qe_Void_List& list);
    void copylist_new_to_old();
    // Appends the node while a frame is open; otherwise it is deleted.
    void add_node_to_newlist(MB_Rubber_Node* node);

    void draw_rect(const Qe_Pt& a, const Qe_Pt& b);
    void draw_line(const Qe_Pt& a, const Qe_Pt& b);
    void draw_lines(Qe_Pt_List& list, const Qe_Pt& extra, bool closed);
    void draw_arc(const Qe_Pt& centre, const Qe_Pt& start, const Qe_Pt& end);
    void draw_circle(const Qe_Pt& centre, double radius);
    void draw_ellipse(const Qe_Pt& centre, Qe_Pt& axis_end, const Qe_Pt& on_ellipse);
    void draw_entity(MB_Drawable* d, const Qe_Tran& t);
    void draw_entity_list(Qe_Void_List& list, const Qe_Tran& t);
    void highlight_entity_list(Qe_Void_List& list);
    void draw_text(long x, long y, const char* text, long height);
    void draw_point(const Qe_Pt& p, short kind, short style);
    void draw_spline(Qe_Pt_List& points, const Qe_Pt& cursor, const Qe_Tran& t);

    Qe_Void_List& new_list() { return m_new_list; }
    Qe_Void_List& old_list() { return m_old_list; }

private:
    // Draws the nodes with t, inverting, on hdc.
    static void draw_inverting(HDC hdc, Qe_Void_List& list, const Qe_Tran& t);

    int m_state = 0;
    Qe_Void_List m_new_list;  // MB_Rubber_Node*, owned
    Qe_Void_List m_old_list;  // MB_Rubber_Node*, owned: the shapes on screen
    MB_Draw_Render* m_draw_render = nullptr;
    bool m_xor_flag = true;
};
