#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/metafile_bytes.h"
#include "common/scratch_dir.h"
#include "geometry/pt_list.h"
#include "geometry/raster_device.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "kernel/database/system_setting.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/image.h"
#include "kernel/operation/image_type.h"
#include "platform/handles.h"
#include "platform/metafile.h"
#include "platform/ximage.h"

using namespace entity_test;

namespace {

RGBQUAD quad(int r, int g, int b, int a = 255)
{
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), static_cast<BYTE>(a)};
}

COLORREF colour_of(const RGBQUAD& c)
{
    return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

// 2 x 2, rows from the bottom: red, green over blue, yellow... (0, 0) red, (1, 0) green,
// (0, 1) blue, (1, 1) yellow.
CxImage* two_by_two()
{
    auto* image = new CxImage;
    EXPECT_TRUE(image->Create(2, 2, 24));
    image->SetPixelColor(0, 0, quad(255, 0, 0));
    image->SetPixelColor(1, 0, quad(0, 255, 0));
    image->SetPixelColor(0, 1, quad(0, 0, 255));
    image->SetPixelColor(1, 1, quad(255, 255, 0));
    return image;
}

Bytes encoded(CxImage& image, DWORD type)
{
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, type)) return {};
    Bytes out(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size));
    CxImage::FreeMemory(buffer);
    return out;
}

// An image record as the stream carries it.
Bytes image_record(const Qe_Pt& c, int format, const Bytes& data, double h, double w, double angle, mb_long alpha,
                   mb_long pw, mb_long ph, bool with_format = true, const Qe_Pt& running = Qe_Pt())
{
    Bytes r = "G" + k_no_xdata + position(c, running);
    if (with_format) r += Bytes(1, static_cast<char>(format));
    return r + le_long(static_cast<mb_long>(data.size())) + data + position(c, c) + le_double(h) + le_double(w) +
           le_double(angle) + le_long(alpha) + le_long(pw) + le_long(ph);
}

// The general properties at the stream's defaults, so records start with the opcode.
void stream_defaults(MB_Image& e)
{
    e.general().color(0);
    e.general().width(1.0);
}

TEST(Image_Entity, NewImageFrame)
{
    MB_Image e;
    EXPECT_EQ(e.object_id(), MB_Object::ID_IMAGE);
    EXPECT_EQ(e.object_type(), MB_Object::TYPE_IMAGE);
    EXPECT_EQ(e.image(), nullptr);
    EXPECT_EQ(e.emf(), nullptr);
    EXPECT_EQ(e.get_filename(), nullptr);
    EXPECT_EQ(e.image_format(), 6);
    EXPECT_TRUE(pt_eq(e.lt(), Qe_Pt(-50, 50, 0)));
    EXPECT_TRUE(pt_eq(e.rb(), Qe_Pt(50, -50, 0)));
    EXPECT_TRUE(pt_eq(e.lb(), Qe_Pt(-50, -50, 0)));
    EXPECT_TRUE(pt_eq(e.rt(), Qe_Pt(50, 50, 0)));
    EXPECT_EQ(e.get_int(-207), 0);
    EXPECT_EQ(e.get_int(-206), 0);
    EXPECT_EQ(e.get_pts(), nullptr);
    // Raster keys without a raster do nothing.
    e.set_real(mb_key::Angle, 90);
    e.set_int(-216, 0);
    e.set_int(-208, 10);
    EXPECT_EQ(e.angle(), 0.0);
    EXPECT_EQ(e.alpha(), 0);

    // The adopting constructor; setting the raster again keeps it, another replaces it.
    CxImage* raster = two_by_two();
    MB_Image adopted(raster);
    EXPECT_EQ(adopted.image(), raster);
    adopted.image(raster);
    EXPECT_EQ(adopted.image(), raster);
    EXPECT_EQ(adopted.get_int(-207), 2);
    adopted.image(new CxImage);
    EXPECT_EQ(adopted.get_int(-207), 0);

    e.set_filename("a/b.png");
    EXPECT_STREQ(e.get_filename(), "a/b.png");
    e.set_filename(nullptr);
    EXPECT_EQ(e.get_filename(), nullptr);
}

TEST(Image_Record, GoldenBytes)
{
    MB_Image e(two_by_two());
    stream_defaults(e);
    e.center(Qe_Pt(3.5, -2, 1));
    e.height(20);
    e.width(30);
    e.angle(0.25);
    e.alpha(200);
    e.image_format(CXIMAGE_FORMAT_PNG);
    const Bytes png = encoded(*e.image(), CXIMAGE_FORMAT_PNG);
    ASSERT_FALSE(png.empty());
    // Opcode, extended data, the centre, format byte 4, n, the bytes, the centre again
    // (relative to itself), height, width, angle, alpha and the picture size.
    const Bytes want = "G" + k_no_xdata + le_double(3.5) + le_double(-2) + le_double(1) + hex("04") +
                       le_long(static_cast<mb_long>(png.size())) + png + le_double(0) + le_double(0) + le_double(1) +
                       le_double(20) + le_double(30) + le_double(0.25) + le_long(200) + le_long(0) + le_long(0);
    MB_Result r;
    EXPECT_EQ(to_hex(record_bytes(e, &r)), to_hex(want));
    EXPECT_EQ(r, 0);

    // No raster, or one that cannot be encoded: no bytes.
    MB_Image none;
    stream_defaults(none);
    EXPECT_EQ(to_hex(record_bytes(none)), to_hex(image_record(Qe_Pt(), 6, "", 100, 100, 0, 0, 0, 0)));
    MB_Image empty(new CxImage);
    stream_defaults(empty);
    EXPECT_EQ(to_hex(record_bytes(empty)), to_hex(image_record(Qe_Pt(), 6, "", 100, 100, 0, 0, 0, 0)));

    // A format that names no encoder is written as TIFF, and the record says so.
    MB_Image other(two_by_two());
    stream_defaults(other);
    other.image_format(16);
    const Bytes tif = encoded(*other.image(), CXIMAGE_FORMAT_TIF);
    EXPECT_EQ(to_hex(record_bytes(other)), to_hex(image_record(Qe_Pt(), 6, tif, 100, 100, 0, 0, 0, 0)));
}

TEST(Image_Record, EveryFormatLoadsWithItsPixelsAndSavesTheSameBytes)
{
    for (DWORD format :
         {CXIMAGE_FORMAT_BMP, CXIMAGE_FORMAT_GIF, CXIMAGE_FORMAT_JPG, CXIMAGE_FORMAT_PNG, CXIMAGE_FORMAT_TIF}) {
        SCOPED_TRACE(format);
        MB_Image e(two_by_two());
        stream_defaults(e);
        e.center(Qe_Pt(1e6 + 0.125, -7.5, 2));
        e.height(12.5);
        e.width(1.0 / 3);
        e.angle(-1.75);
        e.alpha(65535);
        e.image_format(static_cast<unsigned short>(format));
        const Bytes first = record_bytes(e);
        Record_Reader rd;
        ASSERT_EQ(rd.read(first), 0);
        auto* back = rd.first<MB_Image>();
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(pt_eq(back->center(), e.center()));
        EXPECT_EQ(back->height(), 12.5);
        EXPECT_EQ(back->width(), 1.0 / 3);
        EXPECT_EQ(back->angle(), -1.75);
        EXPECT_EQ(back->alpha(), 65535);
        EXPECT_EQ(back->image_format(), format);
        ASSERT_NE(back->image(), nullptr);
        ASSERT_EQ(back->get_int(-207), 2);
        ASSERT_EQ(back->get_int(-206), 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const COLORREF want = colour_of(e.image()->GetPixelColor(x, y));
                const COLORREF got = colour_of(back->image()->GetPixelColor(x, y));
                // JPEG shares colour between neighbouring pixels; its closeness is the image
                // class's to show.
                if (format != CXIMAGE_FORMAT_JPG) {
                    EXPECT_EQ(got, want) << x << "," << y;
                }
            }
        stream_defaults(*back);
        EXPECT_EQ(to_hex(record_bytes(*back)), to_hex(first));
    }
}

TEST(Image_Record, PictureSizeAndOldRevisions)
{
    CxImage* raster = two_by_two();
    const Bytes tif = encoded(*raster, CXIMAGE_FORMAT_TIF);
    const Bytes bmp = encoded(*raster, CXIMAGE_FORMAT_BMP);
    delete raster;
    // The picture size comes back as stored; the frame from the stored doubles, not the
    // raster's pixels.
    Record_Reader rd;
    ASSERT_EQ(rd.read(image_record(Qe_Pt(1, 2, 0), 1, bmp, 40, 50, 0, 3, 1234, -5)), 0);
    auto* e = rd.first<MB_Image>();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->picture_width(), 1234);
    EXPECT_EQ(e->picture_height(), -5);
    EXPECT_EQ(e->width(), 50);
    EXPECT_EQ(e->height(), 40);
    EXPECT_EQ(e->image_format(), 1);

    // Revision 449 has no format byte: the data is read as TIFF. Revision 450 has one.
    Record_Reader old;
    ASSERT_EQ(old.read(image_record(Qe_Pt(1, 2, 0), 0, tif, 40, 50, 0, 3, 0, 0, false), "(VKT VA0449)"), 0);
    auto* o = old.first<MB_Image>();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->image_format(), 6);
    EXPECT_EQ(o->get_int(-207), 2);
    EXPECT_EQ(o->alpha(), 3);
    Record_Reader r450;
    ASSERT_EQ(r450.read(image_record(Qe_Pt(1, 2, 0), 1, bmp, 40, 50, 0, 3, 0, 0), "(VKT VA0450)"), 0);
    ASSERT_NE(r450.first<MB_Image>(), nullptr);
    EXPECT_EQ(r450.first<MB_Image>()->get_int(-207), 2);
    EXPECT_EQ(r450.first<MB_Image>()->image_format(), 1);
}

TEST(Image_Record, HostileAndUndecodableData)
{
    const Bytes tail = le_double(0) + le_double(0) + le_double(0) + le_double(1) + le_double(1) + le_double(0) +
                       le_long(0) + le_long(0) + le_long(0);
    const Bytes head = "G" + k_no_xdata + position(Qe_Pt()) + hex("04");
    struct Case {
        const char* what;
        Bytes record;
    };
    const Case cases[] = {
        {"negative", head + le_long(-1) + tail},
        {"absurd", head + le_long(0x7FFFFFFF) + tail},
        {"past the end", head + le_long(5000) + "abc" + tail},
    };
    for (const Case& c : cases) {
        Record_Reader rd;
        EXPECT_EQ(rd.read(c.record), MB_Result::Invalid_Data) << c.what;
        EXPECT_EQ(rd.count(), 0) << c.what;
    }

    // Bytes that do not decode: an image without pixels, and the next record is read too.
    MB_Image next;
    stream_defaults(next);
    next.center(Qe_Pt(9, 9, 0));
    Record_Reader rd;
    ASSERT_EQ(rd.read(image_record(Qe_Pt(1, 1, 0), 4, "not a png", 8, 6, 0, 0, 0, 0) +
                      image_record(Qe_Pt(9, 9, 0), 6, "", 100, 100, 0, 0, 0, 0, true, Qe_Pt(1, 1, 0))),
              0);
    ASSERT_EQ(rd.count(), 2);
    auto* bad = rd.first<MB_Image>();
    ASSERT_NE(bad->image(), nullptr);
    EXPECT_FALSE(bad->image()->IsValid());
    EXPECT_EQ(bad->width(), 6);
    EXPECT_EQ(bad->height(), 8);
    EXPECT_EQ(bad->get_pts(), nullptr);
    // n = 0 reads back as no raster.
    auto* none = static_cast<MB_Image*>(bad->next());
    EXPECT_EQ(none->image(), nullptr);
    EXPECT_TRUE(pt_eq(none->center(), Qe_Pt(9, 9, 0)));

    // Every truncation of a whole record fails and adds nothing.
    MB_Image e(two_by_two());
    stream_defaults(e);
    const Bytes full = record_bytes(e);
    for (std::size_t n = 0; n < full.size(); ++n) {
        Record_Reader t;
        EXPECT_NE(t.read_raw(k_header + full.substr(0, n)), 0) << n;
        EXPECT_EQ(t.count(), 0) << n;
    }
}

// An image of the 2 x 2 raster in a frame of 4 x 4 around (10, 10): device pixels 8 to 11.
struct Drawn_Image {
    Op_Fixture f;
    Raster r{20, 20};
    Qe_Tran t;
    MB_Image e{two_by_two()};

    Drawn_Image()
    {
        e.center(Qe_Pt(10, 10, 0));
        e.width(4);
        e.height(4);
        e.build_draw();
    }
    void draw() { e.draw(nullptr, r.q, t); }
};

TEST(Image_Draw, StretchedIntoItsFrame)
{
    Drawn_Image d;
    d.draw();
    // Device rows run down: the raster's bottom row (0) is drawn at rows 10 and 11.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(d.r.pixel(8 + x, 8 + y), colour_of(d.e.image()->GetPixelColor(x / 2, 1 - y / 2)))
                << x << "," << y;
    EXPECT_EQ(d.r.drawn(), 16);

    // A scaling view doubles the frame about the transformed centre.
    Raster big(40, 40);
    Qe_Tran twice = scale_transf(2.0);
    d.e.draw(nullptr, big.q, twice);
    EXPECT_EQ(big.drawn(), 64);
    EXPECT_EQ(big.pixel(16, 16), RGB(0, 0, 255));
    EXPECT_EQ(big.pixel(23, 23), RGB(0, 255, 0));
}

TEST(Image_Draw, TransparentCornerColourAndOpacity)
{
    {
        Drawn_Image d;
        d.e.set_int(-216, 0);
        d.draw();
        // Pixel (0, 0) is red: where it was drawn the background stays.
        EXPECT_EQ(d.r.count(RGB(255, 0, 0)), 0);
        EXPECT_EQ(d.r.pixel(8, 11), RGB(255, 255, 255));
        EXPECT_EQ(d.r.pixel(11, 11), RGB(0, 255, 0));
        EXPECT_EQ(d.r.drawn(), 12);
    }
    {
        Drawn_Image d;
        d.e.set_int(-208, 51);      // one fifth over white
        EXPECT_EQ(d.e.alpha(), 0);  // the stored alpha stays
        d.draw();
        EXPECT_EQ(d.r.pixel(8, 11), RGB(255, 204, 204));
        EXPECT_EQ(d.r.pixel(11, 8), RGB(255, 255, 204));
    }
}

TEST(Image_Draw, AngleTurnsTheRasterExactly)
{
    Drawn_Image d;
    d.e.set_real(mb_key::Angle, 90);
    EXPECT_EQ(d.e.angle(), 0.0);
    EXPECT_EQ(d.e.get_real(mb_key::Angle), 0.0);
    // A quarter turn counter-clockwise: bottom-right goes to top-right.
    CxImage& turned = *d.e.image();
    EXPECT_EQ(colour_of(turned.GetPixelColor(1, 0)), RGB(255, 0, 0));
    EXPECT_EQ(colour_of(turned.GetPixelColor(1, 1)), RGB(0, 255, 0));
    EXPECT_EQ(colour_of(turned.GetPixelColor(0, 1)), RGB(255, 255, 0));
    EXPECT_EQ(colour_of(turned.GetPixelColor(0, 0)), RGB(0, 0, 255));
}

TEST(Image_Draw, RubberBandFrameIsUndoneByDrawingItAgain)
{
    Drawn_Image d;
    d.e.width(8);
    d.e.height(8);
    const std::vector<std::uint8_t> before(static_cast<const std::uint8_t*>(d.r.bm.bmBits),
                                           static_cast<const std::uint8_t*>(d.r.bm.bmBits) +
                                               d.r.bm.bmHeight * d.r.bm.bmWidthBytes);
    auto now = [&] {
        const auto* p = static_cast<const std::uint8_t*>(d.r.bm.bmBits);
        return std::vector<std::uint8_t>(p, p + d.r.bm.bmHeight * d.r.bm.bmWidthBytes);
    };
    g_is_rubbering = true;
    d.draw();
    const int framed = d.r.drawn();
    d.draw();
    g_is_rubbering = false;
    // Only the frame (device pixels 6 to 14), never the raster.
    EXPECT_EQ(framed, 32);
    EXPECT_EQ(d.r.pixel(10, 10), RGB(255, 255, 255));
    EXPECT_EQ(now(), before);
}

TEST(Image_Draw, SelectedFrameInTheSelectionColour)
{
    Drawn_Image d;
    d.f.settings().set_long_val(MB_System_Setting::k_long_selection, RGB(0, 0, 200));
    d.e.flag(MB_Drawable::State_Selected);
    HGDIOBJ pen = GetCurrentObject(d.r.q.GetDC(), OBJ_PEN);
    d.draw();
    EXPECT_GT(d.r.count(RGB(0, 0, 200)), 12);
    EXPECT_EQ(GetCurrentObject(d.r.q.GetDC(), OBJ_PEN), pen);

    // Nothing to show: only the frame.
    Raster r(20, 20);
    MB_Image none;
    none.center(Qe_Pt(10, 10, 0));
    none.width(4);
    none.height(4);
    Qe_Tran t;
    none.draw(nullptr, r.q, t);
    EXPECT_EQ(r.drawn(), 0);
    none.flag(MB_Drawable::State_Selected);
    none.draw(nullptr, r.q, t);
    EXPECT_EQ(r.drawn(), r.count(RGB(0, 0, 200)));
    EXPECT_GT(r.drawn(), 0);
}

TEST(Image_Entity, PixelGridRows)
{
    MB_Image e(two_by_two());
    e.center(Qe_Pt(10, 20, 0));
    e.width(4);
    e.height(2);
    _tagspt** rows = e.get_pts();
    ASSERT_NE(rows, nullptr);
    // Pointers: top row first. Records: the pixel's lower-left place in the frame.
    EXPECT_EQ(rows[0][0].color, RGB(0, 0, 255));
    EXPECT_EQ(rows[0][1].color, RGB(255, 255, 0));
    EXPECT_EQ(rows[1][0].color, RGB(255, 0, 0));
    EXPECT_EQ(rows[1][1].color, RGB(0, 255, 0));
    EXPECT_EQ(rows[1][0].x, 8.0);
    EXPECT_EQ(rows[1][0].y, 19.0);
    EXPECT_EQ(rows[0][1].x, 10.0);
    EXPECT_EQ(rows[0][1].y, 20.0);
    EXPECT_EQ(rows[1] + 0, rows[0] - 2);  // row 0 of the raster lies first in the grid
    EXPECT_NE(e.get_pts(), nullptr);      // made again: the old grid is freed
}

TEST(Image_Entity, PickTable)
{
    MB_Image e;
    e.center(Qe_Pt(10, 10, 0));
    e.width(8);
    e.height(4);
    e.build_draw();
    struct Case {
        Qe_Pt at;
        char hit;
        Qe_Pt out;
        int extra;
    };
    const Case cases[] = {
        {{10, 10, 0}, 1, {10, 10, 0}, 16},        // the middle
        {{10.5, 10, 0}, 1, {10, 10, 0}, 16},      // within the tolerance of it
        {{14.4, 8, 0}, 1, {14, 8, 0}, -1},        // the right-bottom corner
        {{7, 11, 0}, 1, {7, 11, 0}, -1},          // inside
        {{5.5, 12.5, 0}, 1, {5.5, 12.5, 0}, -1},  // on the grown frame's left-top corner
        {{5.4, 10, 0}, 0, {}, -1},                // left of it
        {{10, 12.6, 0}, 0, {}, -1},               // above it
        {{10, 7.4, 0}, 0, {}, -1},                // below it
    };
    for (bool up : {true, false}) {
        const bool saved = g_y_dir;
        g_y_dir = up;
        if (!up) {
            // With y down a frame is stored from its smaller y: the same tests hold.
            e.rect().set_rect(Qe_Pt(6, 8, 0), Qe_Pt(14, 12, 0));
        }
        for (const Case& c : cases) {
            Qe_Pt_List unused;
            Qe_Pt out(-1, -1, -1);
            int kind = 0, extra = -1;
            const char hit = e.pick(c.at, unused, 0.5, out, kind, extra);
            EXPECT_EQ(hit, c.hit) << c.at.x() << "," << c.at.y() << " up " << up;
            if (!hit) continue;
            EXPECT_EQ(kind, 83);
            EXPECT_EQ(extra, c.extra);
            EXPECT_TRUE(pt_eq(out, c.out));
        }
        g_y_dir = saved;
    }
}

TEST(Image_Entity, KeysTranslateCopiesAndUndo)
{
    MB_Image e(two_by_two());
    e.center(Qe_Pt(1, 2, 0));
    e.width(6);
    e.height(4);
    e.angle(0.5);
    e.alpha(9);
    e.build_draw();
    EXPECT_TRUE(pt_eq(e.get_point(-3), Qe_Pt(1, 2, 0)));
    EXPECT_TRUE(pt_eq(e.get_point(-9), Qe_Pt(-2, 4, 0)));
    EXPECT_TRUE(pt_eq(e.get_point(-10), Qe_Pt(4, 0, 0)));
    EXPECT_EQ(e.get_real(-110), 4);
    EXPECT_EQ(e.get_real(-109), 6);
    EXPECT_EQ(e.get_real(-102), 0.5);
    EXPECT_EQ(e.get_int(-208), 9);

    // A scaling transform moves the centre and keeps the frame.
    e.translate(scale_transf(3.0), 0);
    EXPECT_TRUE(pt_eq(e.center(), Qe_Pt(3, 6, 0)));
    EXPECT_EQ(e.width(), 6);
    EXPECT_EQ(e.height(), 4);

    // A deep copy: its raster is its own.
    MB_Object* copy = nullptr;
    ASSERT_TRUE(e.copy_to(copy));
    auto* c = dynamic_cast<MB_Image*>(copy);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->image(), nullptr);
    EXPECT_NE(c->image(), e.image());
    e.image()->SetPixelColor(0, 0, quad(1, 1, 1));
    EXPECT_EQ(colour_of(c->image()->GetPixelColor(0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(c->angle(), 0.5);
    EXPECT_EQ(c->alpha(), 9);
    EXPECT_EQ(c->width(), 6);
    // Copying an image without raster takes the target's away.
    MB_Image bare;
    MB_Object* target = c;
    ASSERT_TRUE(bare.copy_to(target));
    EXPECT_EQ(c->image(), nullptr);
    EXPECT_EQ(c->width(), 100);
    MB_Circle circle;
    MB_Object* wrong = &circle;
    EXPECT_FALSE(e.copy_to(wrong));
    delete copy;

    Op_Fixture f;
    auto placed = [] {
        auto* image = new MB_Image(two_by_two());
        image->center(Qe_Pt(1, 2, 0));
        return image;
    };
    expect_undo_redo_state(
        f, placed(), [](MB_Object& o) { static_cast<MB_Image&>(o).set_point(-6, Qe_Pt(5, 6, 0)); }, "centre");
    expect_undo_redo_state(
        f, placed(), [](MB_Object& o) { static_cast<MB_Image&>(o).translate(scale_transf(2.0), 0); }, "translate");
}

TEST(Image_Entity, PictureFilesAndMetafiles)
{
    Scratch_Dir dir;
    auto write = [&](const char* name, const std::vector<BYTE>& bytes) {
        const std::string path = dir.path() + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return path;
    };
    const std::vector<BYTE> emf = metafile_bytes::emf(3000, 2000);
    const std::string emf_path = write("a.emf", emf);
    const std::string wmf_path = write("a.wmf", metafile_bytes::placeable(0, 0, 500, 250, 1000));
    const std::string cut_path = write("cut.emf", std::vector<BYTE>(emf.begin(), emf.end() - 4));

    MB_Image e;
    EXPECT_FALSE(e.draw_image(nullptr, 0, 0, 1, 1, 0, 0, 1, 1));
    ASSERT_TRUE(e.LoadPictureFile(emf_path.c_str()));
    EXPECT_EQ(e.picture_width(), 3000);
    EXPECT_EQ(e.picture_height(), 2000);
    EXPECT_EQ(e.width(), 3000);
    EXPECT_EQ(e.height(), 2000);
    const Platform_Picture* first = e.picture();
    // A damaged, missing or empty file keeps the picture there is.
    EXPECT_FALSE(e.LoadPictureFile(cut_path.c_str()));
    EXPECT_FALSE(e.LoadPictureFile((dir.path() + "/none.emf").c_str()));
    EXPECT_FALSE(e.LoadPictureFile(write("empty.emf", {}).c_str()));
    EXPECT_FALSE(e.LoadPictureFile(nullptr));
    EXPECT_EQ(e.picture(), first);
    EXPECT_EQ(e.picture_width(), 3000);
    // Metafile pictures play (this one holds no drawing record).
    Raster r(10, 10);
    EXPECT_TRUE(e.draw_image(r.q.GetDC(), 0, 10, 10, -10, 0, 0, 3000, 2000));

    ASSERT_TRUE(e.LoadPictureFile(wmf_path.c_str()));
    EXPECT_EQ(e.picture_width(), 1270);
    EXPECT_EQ(e.picture_height(), 635);

    // A raster picture renders; the image draws it into its frame.
    CxImage* raster = two_by_two();
    const Bytes bmp = encoded(*raster, CXIMAGE_FORMAT_BMP);
    delete raster;
    ASSERT_TRUE(e.LoadPictureFile(write("a.bmp", std::vector<BYTE>(bmp.begin(), bmp.end())).c_str()));
    EXPECT_EQ(e.picture_width(), 2 * 2540 / 96);
    e.center(Qe_Pt(5, 5, 0));
    e.width(4);
    e.height(4);
    Qe_Tran t;
    e.draw(nullptr, r.q, t);
    EXPECT_EQ(r.pixel(3, 3), RGB(0, 0, 255));
    EXPECT_EQ(r.pixel(6, 6), RGB(0, 255, 0));
    EXPECT_TRUE(e.draw_image(r.q.GetDC(), 0, 10, 10, -10, 0, 0, e.picture_width(), e.picture_height()));

    // A metafile from bits: a copy is kept; not copied with the image, nor written.
    const long objects = platform_gdi_object_count();
    {
        MB_Image m;
        m.set_winmeta_filebits(static_cast<unsigned>(emf.size()), emf.data(), nullptr, nullptr);
        ASSERT_NE(m.emf(), nullptr);
        EXPECT_EQ(GetEnhMetaFileBits(m.emf(), 0, nullptr), emf.size());
        MB_Object* copy = nullptr;
        ASSERT_TRUE(m.copy_to(copy));
        EXPECT_EQ(static_cast<MB_Image*>(copy)->emf(), nullptr);
        delete copy;
        m.emf(m.emf());  // the same handle stays
        EXPECT_NE(m.emf(), nullptr);
    }
    EXPECT_EQ(platform_gdi_object_count(), objects);
}

TEST(Image_Types, FromTheExtension)
{
    struct Case {
        const char* name;
        int code;
    };
    const Case cases[] = {
        {"a.bmp", 1},  {"a.GIF", 2},  {"x.JPEG", 3},     {"x.jpg", 3},  {"two.dots.png", 4}, {"i.ico", 5},
        {"t.tif", 6},  {"t.Tiff", 6}, {"a.tga", 7},      {"a.pcx", 8},  {"a.wbmp", 9},       {"a.wmf", 10},
        {"a.EMF", 10}, {"a.jp2", 11}, {"a.j2k", 11},     {"a.jpc", 12}, {"a.j2c", 12},       {"a.pgx", 13},
        {"a.pnm", 14}, {"a.pgm", 14}, {"a.ppm", 14},     {"a.ras", 15}, {"a.doc", 0},        {"ends.", 0},
        {"nodot", -1}, {"", -1},      {"dir.d/file", 0}, {"a.pngx", 0}, {"a.pn", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(FindImageType(c.name), c.code) << c.name;
    EXPECT_EQ(FindImageType(nullptr), -1);
    // Only the first 255 characters are looked at.
    std::string longer(300, 'a');
    longer.replace(251, 4, ".png");
    EXPECT_EQ(FindImageType(longer.c_str()), 4);
    std::string past(300, 'a');
    past.replace(252, 4, ".png");
    EXPECT_EQ(FindImageType(past.c_str()), 0);  // "pn"
}

}  // namespace
