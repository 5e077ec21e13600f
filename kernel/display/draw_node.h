#pragma once

// The base of the display-list nodes: the retained, tessellated picture of one drawable,
// drawn into the raster device or into a device context under a drawing-to-pixel
// transform.

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Drawable;
class Qe_Qdc;
class Qe_Rect;
class Qe_Tran;

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
    char flag() const { return m_flag; }
    void flag(char f) { m_flag = f; }

protected:
    long m_color = 0;
    MB_Draw_Node* m_prev = nullptr;
    MB_Draw_Node* m_next = nullptr;
    MB_Drawable* m_drawable = nullptr;
    Qe_Rect* m_rect = nullptr;
    char m_flag = 0;
};
