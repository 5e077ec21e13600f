#pragma once

// MB_Image: a picture placed in the drawing in an axis-aligned frame of a width and height
// around a centre. The picture is a raster image (CxImage, owned), or else a metafile or a
// picture loaded from a file (EMF, placeable WMF or a raster file).
//
// Its record ('G') carries the raster encoded in the image's format: the bytes it was
// decoded from while its pixels are unchanged, so a saved image loads and saves again byte
// for byte. Metafiles, pictures, the file name and the pixel grid are neither written nor
// copied. The angle is kept and written but not drawn.

#include <memory>

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/database/pixel_budget.h"
#include "platform/metafile.h"
#include "platform/win_types.h"
#include "platform/ximage.h"

class Qe_Pt_List;

// One pixel of the pixel grid: its place in the drawing and its colour (red in the low byte).
struct _tagspt {
    double x;
    double y;
    COLORREF color;
};

class DRAKMERE_API MB_Image : public MB_Drawable {
public:
    // Largest encoded raster a record may carry.
    static constexpr long k_max_image_bytes = 1L << 28;

    // No picture, 100 x 100 around the origin, format 6 (TIFF).
    MB_Image();
    // Adopts the raster (null for none): the frame takes its pixel size.
    explicit MB_Image(CxImage* image);
    MB_Image(const MB_Image&) = delete;
    MB_Image& operator=(const MB_Image&) = delete;
    ~MB_Image() override;

    MB_ID object_id() const override { return ID_IMAGE; }
    MB_Type object_type() const override { return TYPE_IMAGE; }
    // The raster is encoded in the image format; a format without an encoder is written as
    // TIFF (and the format byte says so), so the pixels survive. Without a raster, or when it
    // cannot be encoded, the data length is 0.
    MB_Result serialize(MB_File_IO& file) override;
    // The data length is checked against k_max_image_bytes and the bytes left; a length of 0
    // gives no raster; bytes that do not decode give a raster without pixels that keeps them
    // (saved again, they are written back unchanged) and the reading goes on. The raster's
    // pixels come from the drawing's pixel budget: an image the budget cannot hold fails the
    // record with Budget_Exceeded, one that memory cannot hold with Out_Of_Memory, and the
    // budget notes which. Streams before revision 450 have no format byte (the format stays 6).
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    static MB_Result default_process(MB_Image& entity, MB_File_IO& file);
    // A null target becomes a new MB_Image; an image target takes the format, a deep copy of
    // the raster (or none when this image has none), centre, height, width, angle and alpha.
    // The copied pixels count in the budget this image's came from, whatever its limit.
    bool copy_to(MB_Object*& target) override;

    // −3 centre; −9 and −10 the corners of the bounding rectangle.
    Qe_Pt get_point(int key) override;
    // −110 height, −109 width, −102 angle.
    double get_real(int key) override;
    // −208 alpha; −207 and −206 the raster's width and height in pixels (0 without raster).
    long get_int(int key) override;
    // −102 turns the raster by the value in degrees counter-clockwise; the stored angle stays.
    // A turn whose larger canvas the raster's budget cannot hold is not made.
    void set_real(long key, double value) override;
    // −216 makes the colour of pixel (0, 0) transparent; −208 sets the raster's opacity to
    // the value (the stored alpha stays). Nothing without a raster.
    void set_int(long key, long value) override;
    // −6 centre, recorded for undo first.
    void set_point(long key, const Qe_Pt& value) override;

    // The frame's middle (kind 83, extra 16), its right-bottom corner (kind 83), or any point
    // inside the frame grown by tol (the point itself, kind 83).
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // The bounding rectangle becomes the frame; no display node.
    void build_draw() override;
    // The picture stretched into the frame (only the frame while a rubber band is erased),
    // the frame and its corners over it in the selection colour when selected. Everything is
    // drawn on the DC given (the device's own when none is): an export's bitmap or a
    // recording DC gets the picture too.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Moves the centre; the frame keeps its size.
    void translate(const Qe_Tran& t, short mode) override;

    CxImage* image() const { return m_image.get(); }
    // Takes ownership; the previous raster is deleted unless it is the same one (and gives its
    // pixels back to the budget they came from).
    void image(CxImage* image);
    // The raster decoded from encoded bytes, or from a file, in the image type, its pixels
    // taken from the budget (none: only the per-image bound). Decoded: the raster replaces the
    // previous one. Not decoded: a raster without pixels that keeps the bytes. Refused (over
    // the budget or out of memory): the same, and the budget notes the refusal.
    CxImage::Decode_Result decode_raster(const unsigned char* bytes, unsigned long size, unsigned short type,
                                         const std::shared_ptr<MB_Pixel_Budget>& budget);
    CxImage::Decode_Result load_raster(const char* path, unsigned short type,
                                       const std::shared_ptr<MB_Pixel_Budget>& budget);
    Qe_Pt center() const { return m_center; }
    void center(const Qe_Pt& c) { m_center = c; }
    double height() const { return m_height; }
    void height(double h) { m_height = h; }
    double width() const { return m_width; }
    void width(double w) { m_width = w; }
    double angle() const { return m_angle; }
    void angle(double a) { m_angle = a; }
    unsigned short alpha() const { return m_alpha; }
    void alpha(unsigned short a) { m_alpha = a; }
    HENHMETAFILE emf() const { return m_emf; }
    // Takes ownership; the previous metafile is deleted unless it is the same one.
    void emf(HENHMETAFILE emf);
    const char* get_filename() const { return m_filename.get(); }
    // Keeps a copy; null clears it.
    void set_filename(const char* name);
    unsigned short image_format() const { return m_image_format; }
    void image_format(unsigned short f) { m_image_format = f; }
    long picture_width() const { return m_picture_width; }
    long picture_height() const { return m_picture_height; }
    const Platform_Picture* picture() const { return m_picture.get(); }

    // Frame corners (z 0).
    Qe_Pt lt() const;
    Qe_Pt rb() const;
    Qe_Pt lb() const;
    Qe_Pt rt() const;

    // Loads an EMF, placeable WMF or raster file as the picture; its size (0.01 mm) becomes
    // the picture size and the frame size. false, keeping the previous picture, when the file
    // cannot be read or is none of those (files are bounded in size).
    bool LoadPictureFile(const char* path);
    // A metafile made from a copy of the bits (the DC and the description are not used).
    void set_winmeta_filebits(unsigned size, const unsigned char* bits, HDC dc, const METAFILEPICT* pict);
    // Renders the picture; false without a DC or a picture, or when rendering fails.
    bool draw_image(HDC dc, long x, long y, long cx, long cy, long xsrc, long ysrc, long cxsrc, long cysrc);
    // The pixel grid: one record per raster pixel (row 0 the bottom row), its place in the
    // frame and its colour; the returned rows point top row first. Owned by the image until the
    // next call. Null without a raster or when the grid cannot be made.
    _tagspt** get_pts();

private:
    void free_grid();
    CxImage::Decode_Result adopt(std::unique_ptr<CxImage> raster, const std::shared_ptr<MB_Pixel_Budget>& budget);
    void give_back_pixels();

    std::unique_ptr<CxImage> m_image;
    // The budget the raster's pixels came from, and how many.
    std::shared_ptr<MB_Pixel_Budget> m_budget;
    long long m_budget_pixels = 0;
    Qe_Pt m_center;
    double m_height = 100.0;
    double m_width = 100.0;
    double m_angle = 0.0;
    unsigned short m_alpha = 0;
    HENHMETAFILE m_emf = nullptr;
    std::unique_ptr<Platform_Picture> m_picture;
    long m_picture_width = 0;
    long m_picture_height = 0;
    std::unique_ptr<_tagspt[]> m_grid;
    std::unique_ptr<_tagspt*[]> m_rows;
    std::unique_ptr<char[]> m_filename;
    unsigned short m_image_format = 6;
};
