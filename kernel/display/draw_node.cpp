#include "kernel/display/draw_node.h"

#include "geometry/rect.h"

MB_Draw_Node::~MB_Draw_Node()
{
    m_prev = nullptr;
    m_next = nullptr;
    m_drawable = nullptr;
    delete m_rect;
}

void MB_Draw_Node::draw(Qe_Qdc&, const Qe_Tran&) {}
void MB_Draw_Node::draw(HDC, const Qe_Tran&) {}
void MB_Draw_Node::build_rect() {}

bool MB_Draw_Node::pick(const Qe_Pt&, Qe_Pt&, double)
{
    return false;
}
