#pragma once

// What the database needs from kinds that the folders above it define, without seeing
// them: a drawable's display-list node (display), the block a reference shows (entities)
// and a text style's name and the default style (text). Declared here, defined by the
// folder that owns each kind, as the operation's context is. Private to the kernel: not
// installed.

#include "platform/win_types.h"

class MB_Block;
class MB_Draw_Node;
class MB_Drawable;
class MB_Line_Type;
class MB_Object;
class MB_Text_Style;
class Qe_Pt_Set;
class Qe_Qdc;
class Qe_Tran;

// kernel/display/draw_node.cpp
void mb_delete_draw_node(MB_Draw_Node* node);
void mb_draw_node_flag(MB_Draw_Node* node, char flag);
void mb_draw_node_draw(MB_Draw_Node* node, HDC hdc, const Qe_Tran& t);
void mb_draw_node_draw(MB_Draw_Node* node, Qe_Qdc& qdc, const Qe_Tran& t);
// The polyline cut into dashes by the line type at the scale, in the colour, for owner.
MB_Draw_Node* mb_make_line_type_node(Qe_Pt_Set& points, long colour, double scale, MB_Line_Type* ltype,
                                     MB_Drawable* owner);

// kernel/entities/insert.cpp: the block a block reference (an object of ID_INSERT) shows.
MB_Block* mb_insert_block(MB_Object* insert);

// kernel/text/text_style.cpp: the 8-bit name of a text style; the shared default style
// g_text_style (null until the styles are initialised).
const char* mb_text_style_name(MB_Object* style);
// The entry of the drawing's text style list as a style (null for null).
MB_Text_Style* mb_text_style_of(MB_Object* style);
MB_Text_Style* mb_default_text_style();
