#pragma once

// MB_Draw_TTF_Text: a display node that shows a single-line text with a device font named
// after its style's font library, written at the text's insertion point. It sits beside
// the text entity: the display list itself knows nothing of texts.

#include "kernel/display/draw_node.h"

class MB_Text;

class DRAKMERE_API MB_Draw_TTF_Text : public MB_Draw_Node {
public:
    MB_Draw_TTF_Text() = default;
    MB_Draw_TTF_Text(long colour, MB_Text* text);
    // Member-wise: the copy shows the same text.
    MB_Draw_TTF_Text(const MB_Draw_TTF_Text& other);
    MB_Draw_TTF_Text& operator=(const MB_Draw_TTF_Text& other);

    // An id of its own, so that the node can be made at all.
    Draw_Node_ID draw_node_id() const override { return Draw_TTF_Text; }
    using MB_Draw_Node::draw;
    // CreateFontA(height, 0, ..., face) and TextOutA of the text at its mapped insertion
    // point, in the context's current text colour. The height is the style's times the
    // transform's scale, in whole pixels. Nothing is drawn without a text, for an empty
    // text, or for a height that is not finite or below one pixel (a 0 height would ask
    // for the default font size). Without a font library the face name is empty.
    void draw(HDC hdc, const Qe_Tran& t) override;

    long font_height() const { return m_font_height; }

private:
    long m_font_height = 0;
    long m_unused = 0;
    long m_reset = 0;
};
