#pragma once

// The flat creation and make functions: the plain-argument door through which outside code
// (the import library, hosts) makes the drawing's entities and tables.
//
// Creation (api_mb_create_*): each function makes one object, fills it from its arguments,
// builds its display where it says so, and hands it to the drawing of the active operation:
// entities to the innermost open block, else to model space; layers, line types, named
// views and blocks to their tables. The drawing owns what it was given. A handle is the new
// object's address (0: nothing made). Without an active operation with a drawing, or with a
// null point, array or name that would be read, nothing is made: 0, false or null, and
// out-parameters stay as they were. An object handed in that already stands in a list stays
// where it is.
//
// Make (api_mb_make_*): reshape the entity the caller holds (recorded for undo where said) or,
// for a null pointer, make a free-standing one that the caller owns, in no list and without
// display nodes.

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/fixed_width.h"
#include "platform/win_types.h"

class MB_Arc;
class MB_Block;
class MB_Bspline;
class MB_Image;
class MB_Circle;
class MB_Drawable;
class MB_Ellipse;
class MB_Layer;
class MB_Line;
class MB_Line_Type;
class MB_Lines;
class MB_Named_View;
class MB_Operation;
class MB_Object;
class MB_Pline_Pos;
class MB_Point;
class MB_Polyline;
class MB_Solid;
class MB_Text;
class MB_Drawing;
class Qe_Loop;
class Qe_Pt_List;
class Qe_Tran;
class Qe_Void_List;

// ---- creation ----

// Appended and built; true (the point is the drawing's).
[[nodiscard]] DRAKMERE_API bool api_mb_create_point(MB_Point*& point, const double* xyz);
DRAKMERE_API mb_handle api_mb_create_point(const Qe_Pt& p, unsigned short type, double size);
DRAKMERE_API bool api_mb_create_line(MB_Line*& line, const Qe_Pt& start, const Qe_Pt& end);
// Appended without a display.
DRAKMERE_API bool api_mb_create_line(MB_Line*& line, const double* start, const double* end);
// n points at the origin for the caller to set (api_mb_set_ptset_pos); appended at once,
// without a display. False for n < 1.
DRAKMERE_API bool api_mb_create_lines(MB_Lines*& lines, int n);
// Points (x[i], y[i], 0); 0 for n < 1.
DRAKMERE_API mb_handle api_mb_create_lines(double* x, double* y, long n);
// The closed outline of the rectangle from (x1, y1) to (x2, y2): five points.
DRAKMERE_API mb_handle api_mb_create_rect(double x1, double y1, double x2, double y2);
DRAKMERE_API mb_handle api_mb_create_arc(const double* centre, double radius, double start_angle, double end_angle);
DRAKMERE_API mb_handle api_mb_create_circle(double x, double y, double radius);
DRAKMERE_API mb_handle api_mb_create_ellipse(Qe_Pt& centre, double major, double minor, double angle);
// The five values go to MB_Ellipse_Arc's constructor in order.
DRAKMERE_API mb_handle api_mb_create_ellipse_arc(Qe_Pt& centre, double major, double minor, double angle,
                                                 double start, double end);
// The ellipse with centre c, major axis to p1 and passing through p2; neither built nor
// appended (the caller owns it). Null for a major axis of 1e-6 or less or a p2 that no such
// ellipse passes through.
DRAKMERE_API MB_Ellipse* api_mb_create_ellipse3pt(Qe_Pt c, Qe_Pt p1, Qe_Pt p2);
// The polyline of the polyline issue: n zeroed vertices, owned by the caller.
DRAKMERE_API MB_Polyline* api_mb_create_polyline(int n);
// n zeroed vertices (at most 65,535) for api_mb_set_pline_pos; appended, no display.
DRAKMERE_API bool api_mb_create_polyline(MB_Polyline*& polyline, int n, bool closed);
// Vertex i: pts[i], start width w1[i], end width w2[i], bulge bulges[i] (null arrays: 0);
// closed only for closed == 1. 0 for n < 1.
DRAKMERE_API mb_handle api_mb_create_polyline(int n, Qe_Pt* pts, double* w1, double* w2, double* bulges, int closed);
// False for a null polyline or an index outside its vertices.
DRAKMERE_API bool api_mb_set_pline_pos(MB_Polyline*& polyline, int i, double x, double y, double z);
// At least four points, the first four the corners; appended, no display.
DRAKMERE_API bool api_mb_create_solid(MB_Solid*& solid, const double* p1, const double* p2, const double* p3,
                                      const double* p4, int n);
// The points (x[i], y[i], 0) in ring order; 0 for n < 1.
DRAKMERE_API mb_handle api_mb_create_solid(double* x, double* y, int n);
DRAKMERE_API mb_handle api_mb_create_solid(Qe_Loop* loop);
DRAKMERE_API mb_handle api_mb_create_face(unsigned short flags, Qe_Pt& p1, Qe_Pt& p2, Qe_Pt& p3, Qe_Pt& p4);
// An image of the file at path around centre: its name and type code, then a metafile (EMF,
// WMF: its size times 0.01 is the frame) or a raster (its pixel size is the frame); built and
// appended. A file that cannot be read still makes an image, without a picture (the log says
// why). 0 for a null path.
DRAKMERE_API mb_handle api_mb_create_image(char* path, const Qe_Pt& centre);
// The same into the operation's drawing (built) or into the drawing (not built), by the
// append rule of the creation functions, whether or not either is active. Every file goes to
// the raster class here, which reads no metafile: a metafile makes an image without a picture.
// Null for a null path or an operation without a drawing.
DRAKMERE_API MB_Image* api_mb_create_image(MB_Operation& operation, char* path, Qe_Pt centre);
DRAKMERE_API MB_Image* api_mb_create_image(MB_Drawing& drawing, char* path, Qe_Pt centre);
// Opens a new block (description " ") inside the blocks already open: what is created
// from now on goes to it.
DRAKMERE_API bool api_mb_create_block(MB_Block*& block, const char* name, const double* base);
// Closes the innermost open block when block is it: it joins the block table and the next
// outer block is open again. With no block open, block joins the table. Any other block:
// false, nothing changes.
DRAKMERE_API bool api_mb_end_block(MB_Block*& block);
DRAKMERE_API bool api_mb_create_layer(MB_Layer*& layer, const char* name, long colour, unsigned short unused,
                                      bool visible, bool locked, bool frozen);
// A null reference gets a new line type; k elements from the seven arrays (null arrays give
// 0). Name and description are cut at 255 characters.
DRAKMERE_API mb_handle api_mb_create_line_type(MB_Line_Type*& line_type, char* name, char* desc, double length,
                                               int k, double* lengths, double* scales, double* angles,
                                               double* x_offsets, double* y_offsets, short* shape_flags,
                                               short* shape_codes);
// A null reference gets a new named view with both corners at the origin.
DRAKMERE_API mb_handle api_mb_create_viewport(MB_Named_View*& view, char* name);
// Point i of a chain (other kinds are left alone); false for a null entity or, for a chain,
// an index outside its points.
DRAKMERE_API bool api_mb_set_ptset_pos(MB_Drawable*& entity, int i, double x, double y, double z);
// Colour, and the active drawing's layer of that id (none when there is no such layer).
DRAKMERE_API bool api_set_drawable_prop(MB_Drawable*& entity, long colour, long unused, long layer_id);
// index -1 or 256: the colour of the active drawing's layer n (0-based); any index of the
// palette: its entry; anything else, or a layer that is not there: the default entity
// colour.
DRAKMERE_API COLORREF api_mb_get_color_byindex(short index, short n);
// 49 points of the bulge arc from a to b (a's bulge), from a on, into loop (b is left for the
// next segment). A bulge or chord too small for a circle adds a's point only.
DRAKMERE_API void convert_arc_2_lines(MB_Pline_Pos& a, MB_Pline_Pos& b, Qe_Loop* loop);

// ---- make ----

// Recorded: start, then end.
DRAKMERE_API void api_mb_make_line(MB_Line*& line, const Qe_Pt& p1, const Qe_Pt& p2);
// The chain's vertices := the list's points, in list order (not recorded for undo). False,
// with nothing made or changed, for an empty list.
[[nodiscard]] DRAKMERE_API bool api_mb_make_lines(MB_Lines*& lines, Qe_Pt_List& points);
[[nodiscard]] DRAKMERE_API bool api_mb_make_solid(MB_Solid*& solid, Qe_Pt_List& points);
// A new spline through the list's points; a spline already held is left as it is (true).
[[nodiscard]] DRAKMERE_API bool api_mb_make_spline(MB_Bspline*& spline, Qe_Pt_List& points);
// Loads the file into the image (a new one for null): its name and type code, then a metafile
// (EMF, WMF: its size times 0.01 is the frame) or a raster (its pixel size is the frame), and
// the centre. Not recorded. True when a picture or raster was read; the image is made or
// updated either way.
DRAKMERE_API bool api_mb_make_image(MB_Image*& image, char* path, Qe_Pt& centre);
// False for a radius of magnitude below resabs; recorded: centre, then radius.
DRAKMERE_API bool api_mb_make_circle(MB_Circle*& circle, const Qe_Pt& centre, double radius);
// The circle through three points; false for collinear points.
DRAKMERE_API bool api_mb_make_circle_3pt(MB_Circle*& circle, const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3);
// Recorded: centre, radius, start angle, end angle.
DRAKMERE_API void api_mb_make_arc(MB_Arc*& arc, const Qe_Pt& centre, double radius, double a1, double a2);
// Radius |c - s|, from the direction of s to that of e.
DRAKMERE_API void api_mb_make_arc_cse(MB_Arc*& arc, const Qe_Pt& c, const Qe_Pt& s, const Qe_Pt& e);
// A new counter-clockwise arc through s, m and e; an arc already held is left as it is.
DRAKMERE_API void api_mb_make_arc_sme(MB_Arc*& arc, const Qe_Pt& s, const Qe_Pt& m, const Qe_Pt& e);
DRAKMERE_API void api_mb_make_arc_sem(MB_Arc*& arc, const Qe_Pt& s, const Qe_Pt& e, const Qe_Pt& m);
// A new text at pos in the drawing's style of that name ("DEFAULT_STYLE" for null) at
// height; a text already held is left as it is. True.
DRAKMERE_API bool api_mb_make_text(MB_Text*& text, char* string, const Qe_Pt& pos, char* style, double height,
                                   MB_Drawing& drawing);
// Companions that hosts may call on objects the drawing owns: they do nothing.
DRAKMERE_API bool api_mb_kill_object(MB_Object* obj);
DRAKMERE_API bool api_mb_kill_object_list(Qe_Void_List& list);
DRAKMERE_API bool api_mb_translate_list(Qe_Void_List& list, const Qe_Tran& t);
