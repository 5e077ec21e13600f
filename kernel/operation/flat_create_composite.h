#pragma once

// The flat creation functions of the composite kinds: splines, meshes, hatches, the texts,
// tolerance frames, and the text and dimension styles. They follow the family of
// flat_create.h: made, filled, built and handed to the active drawing (entities to the
// innermost open block, else to model space; styles to their tables); a handle is the new
// object's address, 0 for nothing made. Without an active operation with a drawing, with a
// null argument that would be read, or with a count that is negative, too small or larger
// than memory can sensibly hold, nothing is made. An object handed in that already stands in
// a list stays where it is.

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/fixed_width.h"

class MB_Dim_Style;
class MB_Polygon_Mesh;
class MB_Text;
class MB_Text_Style;
class Qe_Void_List;

// A spline through n fit points with the given end tangents (recorded as modifications).
// 0 for n < 2 or no points.
DRAKMERE_API mb_handle api_mb_create_bspline(const Qe_Pt* fit, int n, double sx, double sy, double sz, double ex,
                                             double ey, double ez);
// A spline of the degree over n control points and k knots. 0 for n < 2, no points, k < 0,
// or k > 0 without knots.
DRAKMERE_API mb_handle api_mb_create_bspline(short degree, const Qe_Pt* ctl, int n, double* knots, int k, double sx,
                                             double sy, double sz, double ex, double ey, double ez);
// A null reference gets a new m x n mesh with a dm x dn density grid (0 for a negative size
// or more vertices than can be held); the new or given mesh is built and appended.
DRAKMERE_API mb_handle api_mb_create_Polygon_mesh(MB_Polygon_Mesh*& mesh, int m, int n, int dm, int dn);
// m vertices and n faces, all zero, for the caller to fill; not built. 0 for a negative count
// or one too large.
DRAKMERE_API mb_handle api_mb_create_polyface_mesh(int m, int n);
// A hatch bounded by copies of the listed loops (Qe_Loop*), in colour 0x00FF00FF; name,
// scale, angle and flag are not taken. 0 when the list holds no loop.
DRAKMERE_API mb_handle api_mb_create_hatch(Qe_Void_List& loops, char* name, double scale, double angle, int flag);
// As above, each copy keeping its loop's closed flag, and the pattern: name, the listed
// pattern lines (char*, taken whole), scale and angle.
DRAKMERE_API mb_handle api_mb_create_hatch(Qe_Void_List& loops, Qe_Void_List& lines, char* name, double scale,
                                           double angle);
// A text at pos (x, y, z) in the drawing's style of that name (the default style for an
// unknown or null name), whose own style then takes height, width scale and angle.
DRAKMERE_API bool api_mb_create_text(MB_Text*& text, const char* string, const char* style, const double* pos,
                                     double height, double width_scale, double angle);
// A multi-line text at pos along dir; the base height is also the box height.
DRAKMERE_API mb_handle api_mb_create_mtext(char* string, char* style, Qe_Pt pos, Qe_Pt dir, double width,
                                           double base_height, int spacing_style, double spacing_factor,
                                           char attach, char draw_dir);
// The arc text of s1 in style s2 on the arc centred (d1, d2, d3) of radius d4 from angle d5
// to d6.
DRAKMERE_API mb_handle api_mb_create_arc_text(char* s1, char* s2, double d1, double d2, double d3, double d4,
                                              double d5, double d6);
// A text along the edge of the geometry that path (a handle, or a selector of
// api_mb_get_entity_list_by_obj_id) names first. 0 when that is no geometry or its edge
// has fewer than two points.
DRAKMERE_API mb_handle api_mb_create_trace_text(long path, const char* string, double space, double height,
                                                double width_scale, double offset, long att, bool rotate180,
                                                bool loop, bool backward, const char* style, short unused);
DRAKMERE_API mb_handle api_mb_create_tolerance(Qe_Pt& pos, double angle, char* string, double height);
// A null reference gets a new style; it is named and joins the style table.
DRAKMERE_API mb_handle api_mb_create_dim_style(MB_Dim_Style*& style, char* name);
// Does nothing: 0.
DRAKMERE_API mb_handle api_mb_create_dim_style(char* name, char* unused, long* longs, unsigned short* shorts,
                                               double* reals);
// A style of that name, fonts and values joins the style table; the two longs are not taken.
DRAKMERE_API bool api_mb_create_text_style(MB_Text_Style*& style, const char* name, const char* font,
                                           const char* big_font, double height, double width_scale,
                                           double oblique_angle, double angle, long l1, long l2);
