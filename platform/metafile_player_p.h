#pragma once

// The metafile player: enhanced metafiles (EMF) and Windows metafiles (WMF, with or without
// the placeable header) played onto any device context through the layer's own GDI calls,
// so a picture draws the same on a DIB, a window or a recording DC.
//
// The records' logical coordinates go through the world transform (EMF), the page mapping
// (map mode, window and viewport) and the frame mapping (the picture's frame onto the target
// rectangle) to pixels. Pens, brushes and fonts the records create are kept as descriptions
// and made as platform objects, at the size the mapping gives them, when selected. The DC's
// state is saved before the first record and restored after the last, and the player's own
// objects are deleted: the caller's pen, brush, font, modes and clip come back as they were.
//
// Records are untrusted: every one is bounded by its stated size, which is bounded by the
// bytes that remain; counts and offsets inside a record are checked against its size before
// anything is read. A record the player does not draw is stepped over by its size. Saved
// states are bounded in depth, the object table by its header's count, the painting by the
// picture's pixels (see spent).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/gdi_draw.h"
#include "platform/raster_p.h"
#include "platform/win_types.h"

namespace platform {

// The kind of metafile bytes hold, from their headers alone.
enum class Metafile_Kind { none, emf, wmf, placeable_wmf };
Metafile_Kind metafile_kind(const std::uint8_t* data, std::size_t size);

// The picture's size in 0.01 mm and its pixel size at 96 dots per inch, from the header: an
// EMF's frame, a placeable WMF's box at its units per inch, a plain WMF's first window extent
// taken as pixels. false when the bytes are not a metafile of a usable size.
struct Metafile_Size {
    long long himetric_w = 0, himetric_h = 0;
    long long pixels_w = 0, pixels_h = 0;
};
bool metafile_size(const std::uint8_t* data, std::size_t size, Metafile_Size& out);

// Where the picture goes: its frame's left, top, right and bottom edges in target pixels (a
// right left of the left edge, or a bottom above the top, mirrors), and the pixels it may
// write (always narrowed to the frame).
struct Play_Target {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// Plays the records; false for bytes that are no metafile, a bad DC, or a record whose size
// does not fit (what came before it is drawn). A file without an end record plays to its last
// whole record and gives false.
bool play_metafile(HDC hdc, const std::uint8_t* data, std::size_t size, const Play_Target& target);

class Player;
// The record loops of each kind, called by play_metafile with the player set up.
bool play_emf_records(Player& player, const std::uint8_t* data, std::size_t size);
bool play_wmf_records(Player& player, const std::uint8_t* data, std::size_t size);

// An affine map of the plane: x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    void apply(double x, double y, double& ox, double& oy) const
    {
        ox = a * x + c * y + e;
        oy = b * x + d * y + f;
    }
    // This map followed by next.
    Affine then(const Affine& next) const;
    double det() const { return a * d - b * c; }
    // No rotation or shear: rectangles stay axis-aligned.
    bool axis_aligned() const { return b == 0 && c == 0; }
};

// What the records describe, made into platform objects only when selected.
struct Logical_Object {
    enum class Type { none, pen, brush, font, other } type = Type::none;
    LOGPEN pen{};
    bool cosmetic = false;  // a pen one pixel wide whatever the mapping
    LOGBRUSH brush{};
    int height = 0, width = 0, escapement = 0, weight = 0;
    bool italic = false, underline = false, strike_out = false;
    std::u16string face;

    // A brush of a DIB pattern: the pattern's mean colour (of its first 4096 pixels), solid.
    // The DIB must have been bounded by the caller; a null one gives black.
    static Logical_Object pattern_brush(const std::uint8_t* info, const std::uint8_t* bits);
};

class Player {
public:
    Player(HDC hdc, const Play_Target& target);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // The reference space (an EMF's device pixels, a WMF's logical units with the page
    // mapping applied) and its rectangle that the target's frame shows.
    void set_frame(double left, double top, double right, double bottom);
    void set_objects(std::size_t count);
    // A metafile that draws in the caller's DC state needs the default state first.
    bool ok() const { return m_ok; }
    // Whether the pixels the records have asked to paint passed the player's bound, a few
    // dozen times the pixels the picture may cover: a file of a few records must not cost
    // minutes of painting, so its play stops there.
    bool spent() const { return m_work > m_work_limit; }

    // Page mapping.
    enum Map_Mode { mm_text = 1, mm_lometric, mm_himetric, mm_loenglish, mm_hienglish, mm_twips, mm_isotropic, mm_anisotropic };
    void map_mode(int mode);
    void window_org(double x, double y);
    void window_ext(double x, double y);
    void viewport_org(double x, double y);
    void viewport_ext(double x, double y);
    void offset_window_org(double dx, double dy);
    void offset_viewport_org(double dx, double dy);
    void scale_window_ext(double xn, double xd, double yn, double yd);
    void scale_viewport_ext(double xn, double xd, double yn, double yd);
    // Reference pixels per millimetre, for the metric map modes.
    void device_resolution(double px_per_mm_x, double px_per_mm_y);
    // Only the window maps: the viewport is the frame itself (a WMF).
    void window_only(bool on) { m_window_only = on; }
    void world(const Affine& w);
    const Affine& world() const { return m_state.world; }

    // Object table: slot i holds what was created there.
    bool create(std::size_t slot, const Logical_Object& o);
    // The lowest free slot (a WMF's creation rule); false when the table is full.
    bool create_in_free_slot(const Logical_Object& o);
    void select(std::size_t slot);
    // Stock objects by their index (WHITE_BRUSH 0 .. DC_PEN 19).
    void select_stock(std::uint32_t index);
    void remove(std::size_t slot);

    // DC state.
    void save();
    // level > 0: that level; level < 0: counting back from the latest.
    void restore(long level);
    void bk_mode(int mode);
    void bk_colour(COLORREF c);
    void text_colour(COLORREF c);
    void text_align(UINT align);
    void rop2(int mode);
    void intersect_clip(double l, double t, double r, double b);
    void exclude_clip(double l, double t, double r, double b);
    // The clip back to the frame's (a region of RGN_COPY without data).
    void reset_clip();
    // A rectangle in reference pixels (an EMF region's bounds): RGN_COPY or RGN_AND.
    void clip_to_reference(double l, double t, double r, double b, bool copy);

    // Drawing in logical coordinates.
    void move_to(double x, double y);
    void line_to(double x, double y);
    // A closed figure is filled and outlined (a polygon), an open one outlined.
    void poly(const std::vector<Dpoint>& pts, bool closed);
    // Lines from the current position through the points.
    void poly_to(const std::vector<Dpoint>& pts);
    void poly_bezier(const std::vector<Dpoint>& pts, bool from_current);
    void rectangle(double l, double t, double r, double b);
    void round_rect(double l, double t, double r, double b, double w, double h);
    void ellipse(double l, double t, double r, double b);
    enum class Arc_Kind { arc, chord, pie };
    void arc(Arc_Kind kind, double l, double t, double r, double b, double xs, double ys, double xe, double ye);
    void set_pixel(double x, double y, COLORREF c);
    // Text at a reference point (the current position with TA_UPDATECP), opaque box first when
    // given, clipped to it when clip.
    void text(double x, double y, const std::u16string& s, const double* box, bool opaque, bool clip);
    // A packed DIB onto a logical rectangle; a null DIB fills with the brush (PATCOPY) or
    // black or white.
    void dib(double xd, double yd, double wd, double hd, int xs, int ys, int ws, int hs, const std::uint8_t* info,
             const std::uint8_t* bits, DWORD rop);

    // Paths.
    void begin_path();
    void end_path();
    void close_figure();
    void abort_path();
    void fill_path(bool fill, bool stroke);

private:
    // What the player keeps beside the DC's own state, saved and restored with it.
    struct State {
        Affine world;
        int map_mode = mm_text;
        double wox = 0, woy = 0, wex = 1, wey = 1, vox = 0, voy = 0, vex = 1, vey = 1;
        double x = 0, y = 0;  // the current position, logical
        COLORREF bk = RGB(255, 255, 255);
        double pen_px = 1;  // the width of the pen's strokes in target pixels, 0 for the null pen
    };

    Affine logical_to_target() const;
    void to_target(double x, double y, double& ox, double& oy) const;
    POINT pixel(double x, double y) const;
    Dpoint target_point(double x, double y) const;
    void realize_pen(const Logical_Object& o);
    void realize_brush(const Logical_Object& o);
    void realize_font(const Logical_Object& o);
    void take(HGDIOBJ made);
    void clip_box(const RECT& r);
    void sweep_made();
    void draw_figure(std::vector<Dpoint> pts, bool closed, bool fill);
    // The work of painting (metafile_paint_bound.cpp): the pixels of a box in target pixels,
    // and of strokes along the points with the pen, each within the picture's clip.
    double clip_area() const;
    double work_limit() const;
    void charge_box(double x0, double y0, double x1, double y1);
    void charge_strokes(std::span<const Dpoint> pts, bool closed);
    // The pixels of a logical box on a mapping without turns, charged as filled and outlined.
    RECT charged_box(double l, double t, double r, double b);
    void ellipse_points(double l, double t, double r, double b, double a0, double sweep, std::vector<Dpoint>& out);

    HDC m_hdc;
    int m_base_level = 0;
    bool m_ok = false;
    Affine m_frame;        // reference space to target pixels
    double m_ref_l = 0, m_ref_t = 0, m_ref_w = 1, m_ref_h = 1;  // the frame in reference space
    double m_px_per_mm_x = 96 / 25.4, m_px_per_mm_y = 96 / 25.4;
    bool m_window_only = false;
    State m_state;
    std::vector<State> m_saved;
    std::vector<Logical_Object> m_objects;
    std::vector<HGDIOBJ> m_made;  // our objects still alive (selected now or in a saved state)
    HGDIOBJ m_null_pen = nullptr;
    bool m_in_path = false;
    struct Path_Figure {
        std::vector<Dpoint> points;  // target pixels
        bool closed = false;
    };
    std::vector<Path_Figure> m_path;
    std::size_t m_path_points = 0;
    bool m_figure_open = false;
    RECT m_base_clip{0, 0, 0, 0};  // the caller's clip narrowed to the frame
    double m_work = 0, m_work_limit = 0;
};

}  // namespace platform
