#pragma once

// The display-list nodes: the retained, tessellated picture of one drawable, drawn into the
// raster device or into a device context under a drawing-to-pixel transform. A node knows
// its bounding rectangle and answers picks; groups hold other nodes, so one drawable's
// picture can be a small tree.

#include "geometry/point.h"
#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class CxImage;
class MB_Drawable;
class MB_Line_Type;
class Qe_Qdc;
class Qe_Rect;

class DRAKMERE_API MB_Draw_Node {
public:
    enum Draw_Node_ID : int {
        Draw_Point = 1,
        Draw_Lines_Set = 2,
        Draw_Lines_Sets = 3,
        Draw_Solid = 4,
        Draw_Solids = 5,
        Draw_Trans = 6,
        Draw_Image = 6,
        Draw_Nodes = 8,
        // The device-font text node beside the text entity.
        Draw_TTF_Text = 9,
    };

    MB_Draw_Node() = default;
    MB_Draw_Node(const MB_Draw_Node&) = delete;
    MB_Draw_Node& operator=(const MB_Draw_Node&) = delete;
    // Forgets the links and the owner, deletes the rectangle.
    virtual ~MB_Draw_Node();

    virtual Draw_Node_ID draw_node_id() const = 0;
    virtual void draw(Qe_Qdc& qdc, const Qe_Tran& t);
    virtual void draw(HDC hdc, const Qe_Tran& t);
    virtual void build_rect();
    virtual bool pick(const Qe_Pt& pick, Qe_Pt& hit, double tol);

    MB_Draw_Node* prev() const { return m_prev; }
    void prev(MB_Draw_Node* n) { m_prev = n; }
    MB_Draw_Node* next() const { return m_next; }
    void next(MB_Draw_Node* n) { m_next = n; }
    MB_Drawable* drawable() const { return m_drawable; }
    void drawable(MB_Drawable* d) { m_drawable = d; }
    Qe_Rect* rect() const { return m_rect; }
    long color() const { return m_color; }
    // Stores the colour, then applies the colour rule.
    void color(long c);
    char flag() const { return m_flag; }
    void flag(char f) { m_flag = f; }

    // A colour within 100 of the active background (as plain integers) would hardly show:
    // it becomes its 24-bit complement. Without an operation the colour stays.
    void build_color();
    // Length of the rectangle's diagonal; 0 without a rectangle.
    double diagonal_len() const;

protected:
    // The colour drawn: the node colour, or its complement when it equals the background.
    long draw_color() const;
    // The fill brush: backward-diagonal hatching in the selection colour while the owner is
    // selected, else solid in the drawing colour. The caller deletes it.
    HBRUSH fill_brush() const;
    // Replaces the rectangle (the old one is deleted).
    void set_rect(Qe_Rect* r);

    long m_color = 0;
    MB_Draw_Node* m_prev = nullptr;
    MB_Draw_Node* m_next = nullptr;
    MB_Drawable* m_drawable = nullptr;
    Qe_Rect* m_rect = nullptr;
    char m_flag = 0;
};

// A list of nodes linked through their own prev and next. It frees nothing when destroyed:
// kill and kill_all delete nodes.
class DRAKMERE_API MB_Draw_List {
public:
    MB_Draw_List() = default;
    MB_Draw_List(const MB_Draw_List&) = delete;
    MB_Draw_List& operator=(const MB_Draw_List&) = delete;
    virtual ~MB_Draw_List();

    MB_Draw_Node* head() const { return m_head; }
    MB_Draw_Node* tail() const { return m_tail; }
    // Appends at the tail and returns the node; null is ignored (returns null).
    MB_Draw_Node* add(MB_Draw_Node* node);
    // Puts the node at the head; null is ignored.
    void add_head(MB_Draw_Node* node);
    // Has no effect.
    void insert(MB_Draw_Node* node, MB_Drawable* drawable);
    // Unlinks and deletes a node of this list; null, or a node that is not in the list, is
    // left alone so that no other list is corrupted.
    void kill(MB_Draw_Node* node);
    // Deletes every node; the list is empty afterwards.
    void kill_all();
    void draw(HDC hdc, const Qe_Tran& t);

private:
    MB_Draw_Node* m_head = nullptr;
    MB_Draw_Node* m_tail = nullptr;
};

// A point marker; draws nothing.
class DRAKMERE_API MB_Draw_Point : public MB_Draw_Node {
public:
    MB_Draw_Point() = default;
    Draw_Node_ID draw_node_id() const override { return Draw_Point; }
    const Qe_Pt& point() const { return m_point; }
    void point(const Qe_Pt& p) { m_point = p; }

private:
    Qe_Pt m_point;
};

// One polyline.
class DRAKMERE_API MB_Draw_Lines_Set : public MB_Draw_Node, public Qe_Pt_Set {
public:
    MB_Draw_Lines_Set() = default;
    MB_Draw_Lines_Set(Qe_Pt* pts, int n, long colour, MB_Drawable* owner);

    Draw_Node_ID draw_node_id() const override { return Draw_Lines_Set; }
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Two points are one MoveToEx and LineTo, more one Polyline, in the selected pen.
    void draw(HDC hdc, const Qe_Tran& t) override;
    void build_rect() override;
    // Segment by segment: its start, its end, then the foot of the perpendicular; a hit is
    // strictly nearer than tol.
    bool pick(const Qe_Pt& pick, Qe_Pt& hit, double tol) override;
};

// Several polylines (runs); a filled set is drawn as one path filled by the even-odd rule,
// so rings nested in others are holes.
class DRAKMERE_API MB_Draw_Lines_Sets : public MB_Draw_Node, public Qe_Pt_Sets {
public:
    MB_Draw_Lines_Sets() = default;
    // No runs yet; the owner fills them through the point-set base.
    MB_Draw_Lines_Sets(long colour, MB_Drawable* owner);
    // The polyline cut into dashes by the line type at the scale; without a line type one
    // solid run.
    MB_Draw_Lines_Sets(Qe_Pt* pts, int n, long colour, double scale, MB_Line_Type* ltype, MB_Drawable* owner);

    Draw_Node_ID draw_node_id() const override { return Draw_Lines_Sets; }
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, const Qe_Tran& t) override;
    void build_rect() override;
    bool pick(const Qe_Pt& pick, Qe_Pt& hit, double tol) override;

    // Filled runs are one path by default, filled by parity, so that a run inside another
    // is a hole (a glyph's counter). Set, each run is filled on its own and runs that
    // overlap (the bands of a wide polyline where it turns sharply) stay filled.
    bool fill_runs_apart() const { return m_fill_runs_apart; }
    void fill_runs_apart(bool on) { m_fill_runs_apart = on; }

private:
    // Each run through t: one point a pixel in the drawing colour, more a Polyline. With
    // fill_each set (inside an open path), every run of more than two points is filled and
    // stroked on its own.
    void draw_runs(HDC hdc, const Qe_Tran& t, long pixel_colour, bool fill_each = false) const;

    bool m_fill_runs_apart = false;
};

// One filled polygon.
class DRAKMERE_API MB_Draw_Solid : public MB_Draw_Node, public Qe_Pt_Set {
public:
    MB_Draw_Solid() = default;
    MB_Draw_Solid(Qe_Pt* pts, int n, long colour, MB_Drawable* owner);

    Draw_Node_ID draw_node_id() const override { return Draw_Solid; }
    // Two vertices draw nothing.
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, const Qe_Tran& t) override;
    void build_rect() override;
    // Inside or on the polygon; the tolerance is not used and hit is not written.
    bool pick(const Qe_Pt& pick, Qe_Pt& hit, double tol) override;
};

// Runs of polygons: no drawing, bounds or pick of its own; its arguments are not used.
class DRAKMERE_API MB_Draw_Solids : public MB_Draw_Node, public Qe_Pt_Sets {
public:
    MB_Draw_Solids() = default;
    MB_Draw_Solids(Qe_Pt* pts, int n, long colour, double scale, MB_Line_Type* ltype, MB_Drawable* owner);
    Draw_Node_ID draw_node_id() const override { return Draw_Solids; }
    // The node's (empty) drawing, not the point sets' own.
    using MB_Draw_Node::draw;
};

// Shows a child under a transform. The child is not owned, so several transform nodes may
// show one child.
class DRAKMERE_API MB_Draw_Trans : public MB_Draw_Node {
public:
    MB_Draw_Trans() = default;
    MB_Draw_Trans(const Qe_Tran& t, MB_Draw_Node* child, long colour, MB_Drawable* owner);

    Draw_Node_ID draw_node_id() const override { return Draw_Trans; }
    // The child under the own transform followed by t.
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, const Qe_Tran& t) override;
    // The child's rectangle through the own transform; nothing while the child has none.
    void build_rect() override;

    MB_Draw_Node* child() const { return m_child; }
    Qe_Tran tran() const { return m_tran; }
    void tran(Qe_Tran& t) { m_tran = t; }

private:
    MB_Draw_Node* m_child = nullptr;
    Qe_Tran m_tran;
};

// A group that owns the nodes of its list.
class DRAKMERE_API MB_Draw_Nodes : public MB_Draw_Node {
public:
    MB_Draw_Nodes() = default;
    ~MB_Draw_Nodes() override;

    Draw_Node_ID draw_node_id() const override { return Draw_Nodes; }
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, const Qe_Tran& t) override;
    // The union of the members' rectangles, building those still missing.
    void build_rect() override;
    // The first member that picks.
    bool pick(const Qe_Pt& pick, Qe_Pt& hit, double tol) override;

    MB_Draw_List& node_list() { return m_node_list; }

private:
    MB_Draw_List m_node_list;
};

// A raster image centred on a point, drawn at its size in drawing units. The image is not
// owned; the colour rule does not apply.
class DRAKMERE_API MB_Draw_Image : public MB_Draw_Node {
public:
    MB_Draw_Image() = default;
    MB_Draw_Image(CxImage* image, Qe_Pt& centre, double height, double width, double third, MB_Drawable* owner);

    Draw_Node_ID draw_node_id() const override { return Draw_Image; }
    void draw(Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, const Qe_Tran& t) override;
    void build_rect() override;

    CxImage* image() const { return m_image; }
    const Qe_Pt& position() const { return m_position; }
    double height() const { return m_height; }
    double width() const { return m_width; }

private:
    CxImage* m_image = nullptr;
    Qe_Pt m_position;
    double m_height = 0.0;
    double m_width = 0.0;
    double m_third = 0.0;  // kept as given; nothing reads it
};
