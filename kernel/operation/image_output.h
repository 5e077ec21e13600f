#pragma once

// Pictures of a drawing's curves: the tessellated edges of arcs, B-splines, circles, ellipses,
// elliptic arcs, lines, chains and polylines, drawn as one-pixel lines in each entity's colour
// into a new 24-bit picture on black and saved as a JPEG file. Texts, hatches, block
// references and images are left out of the picture (they still count in its rectangle).

#include "kernel/drakmere_api.h"

class CxImage;
class MB_Drawing;
class Qe_Pt;
class Qe_Pt_Set;
class Qe_Pt_Sets;
class Qe_Tran;
class Qe_Void_List;

// Draws the listed entities (MB_Drawable*) in list order. The list's bounding rectangle fills
// a picture `height` pixels high and as wide as the rectangle's proportions ask, the scale the
// same both ways; y grows downwards in the picture, so the drawing stands upright. Points on
// the rectangle's right and bottom sides land in the last column and row. The first, third and
// fourth longs are not used. The file is written in JPEG whatever the path's extension.
//
// false, nothing written, for a null path, a rectangle with a side shorter than 0.001, or a
// picture of one pixel or less either way. A picture whose width is not finite or whose
// 24-bit pixels would pass the image class's limit, or pixels that cannot be had: the
// out-of-memory message box, then false, nothing written. Otherwise the result of the save.
[[nodiscard]] DRAKMERE_API bool api_out_put_image(char* path, long unused1, long height, long unused3, long unused4,
                                                  Qe_Void_List& entities);
// The same for the drawing's model-space entities in list order (blocks are not visited, not
// even through block references); false for a null drawing.
[[nodiscard]] DRAKMERE_API bool api_out_put_image(char* path, long unused1, long height, long unused3, long unused4,
                                                  MB_Drawing* drawing);

// One line between the points' x and y truncated towards zero (rows from the top), clipped to
// the image; the short is not used. A coordinate that is not finite or leaves the int range
// draws nothing. Nothing for a null image.
DRAKMERE_API void draw_line_to_image(CxImage* image, const Qe_Pt& p1, const Qe_Pt& p2, long colour, short unused);
// Lines between consecutive points mapped by t; fewer than two points draw nothing.
DRAKMERE_API void draw_ptset_to_image(CxImage* image, Qe_Pt_Set& points, const Qe_Tran& t, long colour, short unused);
// Does nothing: runs of point sets are not drawn into pictures.
DRAKMERE_API void draw_ptsets_to_image(CxImage* image, Qe_Pt_Sets& sets, const Qe_Tran& t, long colour, short unused);
