#pragma once

// One view of a drawing in one window (model space or a layout): the transform from
// drawing coordinates to window pixels, a double-buffered repaint through the view's own
// raster device, partial repaints, and the view changes (fit, zoom, pan, scale) with their
// history. The operation owns a list of renderers, one of which is current.

#include <memory>

#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/display/coor_lines.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Drawable;
class MB_Drawing;
class MB_Object;
class MB_Operation;
class MB_View_Undo_Redo;
class Qe_Rect;

class DRAKMERE_API MB_Draw_Render {
public:
    // Sizes of the sheet that a fresh view fits into the window.
    static constexpr double k_view_height = 290.0;
    static constexpr double k_view_width = 210.0;
    // Pixels added around what a partial repaint covers, for pen widths and truncation.
    static constexpr int k_redraw_margin = 4;

    MB_Draw_Render();
    // A renderer owns its raster device and history; copying would share them.
    MB_Draw_Render(const MB_Draw_Render&) = delete;
    MB_Draw_Render& operator=(const MB_Draw_Render&) = delete;
    ~MB_Draw_Render();

    // Binds the operation, its window and drawing, and the layout (null: model space).
    void init(MB_Operation* op, MB_Object* layout);
    // Rebuilds the drawing-to-pixel transform from the zoom transform and the pixel
    // rectangle; a rectangle under 2 pixels wide or high leaves it as it is.
    void compute_transf();
    // Resizes the raster device to the window and sets its world rectangle.
    void resize();
    void init_quick_dc(HDC dc);

    // The full repaint: background, axes and grid, the visible drawables, the selection
    // and the active tool's rubber band, drawn off-screen and copied to dc after the host
    // hook. Nothing without a window, a client area or a drawing.
    void draw(HDC dc);
    // The drawables alone on the background.
    void draw_all(HDC dc);
    // The selected drawables, dashed in the selection colour with their key points, and the
    // grips of their rectangle when grips are on.
    void draw_select_list(Qe_Tran& t, Qe_Qdc& qdc);
    // Repaints one pixel rectangle of the window.
    void redraw_rect(RECT& r);
    // Repaints the pixels of the listed drawables, 4 pixels around.
    void redraw_list(Qe_Void_List& list);
    void redraw_object(MB_Drawable* d);
    // Draws one drawable straight into the window.
    void draw_object(MB_Drawable* d);
    // Marks the view dirty and invalidates the window.
    void redraw_all();
    void invalidate();

    // Fits the world rectangle with corners p1 and p2 into the window, centred.
    void zoom_window(const Qe_Pt& p1, const Qe_Pt& p2);
    // Fits every shown drawable; nothing when there is none.
    void zoom_all();
    // Zoom transform × translation(v) × scale(k); nothing when the scaling would leave
    // [1e-9, 1e11].
    void set_zoom_transf(Qe_Vec& v, double k);
    // Scales about the centre pixel, or about pixel (x, y): the drawing point under it stays.
    void scale_view(double k);
    void scale_view(double k, int x, int y);
    // The drawing point `from` comes to the pixel where `to` was.
    void pan_view(const Qe_Pt& from, const Qe_Pt& to);
    void pan_view(Qe_Vec v);

    // Draws the shown drawables inside the world rectangle rect on a bitmap height pixels
    // high (the width follows rect's proportions) filled with background, and saves it to
    // path, in the format its extension names (JPEG for an unknown one) at dpi, or puts it on
    // the clipboard when path is null or empty. The third and fifth arguments are not used.
    // false for a degenerate rectangle or size, a bitmap too large to make (after telling the
    // user), or when the file was not written or the clipboard did not take the bitmap.
    bool export_image(char* path, Qe_Rect& rect, long, long height, short, long background, long dpi);

    bool build_limit() { return false; }
    // Entry points kept for hosts; they draw nothing.
    void draw_slow(HDC, MB_Drawing&) {}
    void draw_on_memdc(HDC) {}
    void draw_on_memdc(HDC, Qe_Rect&, MB_Drawing&) {}
    void draw_drawing(HDC, MB_Drawing&) {}
    void draw3d_drawing(HDC, MB_Drawing&) {}

    Qe_Tran& drawing_to_screen() { return m_drawing_to_screen; }
    Qe_Tran screen_to_drawing() const { return m_drawing_to_screen.inverse(); }
    Qe_Tran zoom_transf() const { return m_zoom_transf; }
    // Replacing does not recompute the view.
    void zoom_transf(Qe_Tran t) { m_zoom_transf = t; }
    void get_dc_rect(RECT& r) const { r = m_quick_dc.screen_rect(); }
    Qe_Qdc& quick_dc() { return m_quick_dc; }
    HDC get_quick_dc() const { return m_quick_dc.GetDC(); }

    MB_Operation* operation() const { return m_operation; }
    MB_Drawing* drawing() const { return m_drawing; }
    void drawing(MB_Drawing* d) { m_drawing = d; }
    MB_Object* layout() const { return m_layout; }
    void layout(MB_Object* l) { m_layout = l; }
    MB_Draw_Render* next() const { return m_next; }
    void next(MB_Draw_Render* r) { m_next = r; }
    MB_Draw_Render* prev() const { return m_prev; }
    void prev(MB_Draw_Render* r) { m_prev = r; }
    MB_View_Undo_Redo* view_undo_redo() const { return m_view_undo_redo.get(); }
    MB_Coor_Lines& coor_lines() { return m_coor_lines; }
    // The drawables the last repaint drew; not owned.
    Qe_Void_List& display_list() { return m_display_list; }
    Qe_Void_List& mark_list() { return m_mark_list; }
    bool printing() const { return m_printing; }
    void printing(bool on) { m_printing = on; }
    bool zoom3d_flag() const { return m_zoom3d_flag; }
    void zoom3d_flag(bool on) { m_zoom3d_flag = on; }
    Qe_Tran zoom3d_transf() const { return m_zoom3d_transf; }
    void zoom3d_transf(Qe_Tran& t) { m_zoom3d_transf = t; }
    // Whether the whole window was invalidated since the last call; clears it.
    bool update_flag()
    {
        const bool f = m_update_flag;
        m_update_flag = false;
        return f;
    }

private:
    // True when the view can paint: a window with a client area and a drawing.
    bool can_paint() const;
    // Fills the device's clip rectangle with the background colour.
    void fill_background(Qe_Qdc& qdc) const;
    // Draws every shown drawable that the world rectangle v sees into qdc; with record,
    // they are appended to the display list.
    void draw_entities(Qe_Qdc& qdc, const Qe_Rect& v, bool record);
    // The active mouse tool's rubber band on the memory DC; there is none without a tool.
    void draw_rubber(HDC mem);

    MB_Operation* m_operation = nullptr;
    bool m_update_flag = false;
    Qe_Void_List m_display_list;  // MB_Drawable*
    bool m_printing = false;
    Qe_Tran m_drawing_to_screen;
    Qe_Tran m_zoom_transf;
    Qe_Tran m_zoom3d_transf;
    bool m_zoom3d_flag = false;
    double m_view_height = k_view_height;
    double m_view_width = k_view_width;
    Qe_Void_List m_mark_list;
    MB_Coor_Lines m_coor_lines;
    MB_Drawing* m_drawing = nullptr;
    MB_Object* m_layout = nullptr;
    Qe_Qdc m_quick_dc;
    MB_Draw_Render* m_next = nullptr;
    MB_Draw_Render* m_prev = nullptr;
    std::unique_ptr<MB_View_Undo_Redo> m_view_undo_redo;
};

// The operation's renderers, owned; the last one added is current.
class DRAKMERE_API MB_Draw_Render_List {
public:
    MB_Draw_Render_List() = default;
    MB_Draw_Render_List(const MB_Draw_Render_List&) = delete;
    MB_Draw_Render_List& operator=(const MB_Draw_Render_List&) = delete;
    ~MB_Draw_Render_List() { kill_all(); }

    MB_Draw_Render* head() const { return m_head; }
    MB_Draw_Render* tail() const { return m_tail; }
    MB_Draw_Render* cur() const { return m_cur; }
    // Appends and makes current; null is ignored.
    void add(MB_Draw_Render* r);
    // Destroys every renderer.
    void kill_all();
    // Null: the first renderer (model space); otherwise the layout's renderer, when there
    // is one.
    void set_cur(MB_Object* layout);

private:
    MB_Draw_Render* m_head = nullptr;
    MB_Draw_Render* m_tail = nullptr;
    MB_Draw_Render* m_cur = nullptr;
};
