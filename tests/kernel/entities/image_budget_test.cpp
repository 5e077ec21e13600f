// Images in drawings: every image type saved and loaded again with every byte, the drawing's
// pixel budget (over it a load fails and says why; under it every raster decodes), and
// pictures and metafiles drawn on the DC the caller gives.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/metafile_writer.h"
#include "common/scratch_dir.h"
#include "common/ximage_bytes.h"
#include "geometry/transform.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/image.h"
#include "kernel/operation/flat_create.h"
#include "platform/metafile.h"
#include "platform/ximage.h"

using namespace entity_test;

namespace {

// Encoded image bytes (the stream fixture's Bytes are the file's, as text).
using Data = std::vector<unsigned char>;

CxImage picture(int w, int h)
{
    CxImage image;
    EXPECT_TRUE(image.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetPixelColor(x, y, RGBQUAD{static_cast<BYTE>(x * 9), static_cast<BYTE>(y * 13), static_cast<BYTE>(200 - x), 0});
    return image;
}

Bytes save(MB_Drawing& d, bool compressed)
{
    stream_test::Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    io.heuristics().set_allow_binary_data(compressed);
    EXPECT_TRUE(io.save_jxb(f.path()));
    return f.contents();
}

// Loads bytes into d; the load's result.
MB_Result load(MB_Drawing& d, const Bytes& bytes)
{
    stream_test::Temp_File f;
    f.contents(bytes);
    MB_File_IO io;
    io.drawing(&d);
    (void)io.load_jxb(f.path());
    return io.load_result();
}

std::vector<MB_Image*> images_of(MB_Drawing& d)
{
    std::vector<MB_Image*> out;
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next())
        if (auto* i = dynamic_cast<MB_Image*>(o)) out.push_back(i);
    return out;
}

TEST(Image_Budget, EveryImageTypeSavesAndLoadsWithEveryByte)
{
    struct Stored {
        unsigned short type;
        Data bytes;
        bool decodes;
    };
    std::vector<Stored> stored;
    CxImage source = picture(12, 7);
    for (unsigned short type = 1; type <= 15; ++type) {
        const Data b = encoded_bytes(source, type);
        ASSERT_FALSE(b.empty()) << type;
        stored.push_back({type, b, true});
    }
    // Bytes that do not decode in their type are kept all the same.
    const Data jpeg = encoded_bytes(source, CXIMAGE_FORMAT_JPG);
    stored.push_back({CXIMAGE_FORMAT_JPG, Data(jpeg.begin(), jpeg.begin() + 40), false});
    stored.push_back({CXIMAGE_FORMAT_TGA, Data{1, 2, 3, 4, 5, 6, 7}, false});
    stored.push_back({0, encoded_bytes(source, CXIMAGE_FORMAT_PNG), true});

    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        Bytes first;
        {
            Op_Fixture f;
            for (const Stored& s : stored) {
                auto* image = new MB_Image;
                image->image_format(s.type);
                (void)image->decode_raster(s.bytes.data(), static_cast<unsigned long>(s.bytes.size()), s.type,
                                           f.drawing->pixel_budget_ptr());
                image->build_draw();
                f.drawing->add_object(image);
            }
            first = save(*f.drawing, compressed);
        }
        Op_Fixture g;
        ASSERT_EQ(load(*g.drawing, first), MB_Result::End_Of_Stream);
        const std::vector<MB_Image*> back = images_of(*g.drawing);
        ASSERT_EQ(back.size(), stored.size());
        for (std::size_t i = 0; i < back.size(); ++i) {
            SCOPED_TRACE(stored[i].type);
            ASSERT_NE(back[i]->image(), nullptr);
            EXPECT_EQ(back[i]->image_format(), stored[i].type);
            EXPECT_EQ(back[i]->image()->IsValid(), stored[i].decodes);
            EXPECT_EQ(encoded_bytes(*back[i]->image(), stored[i].type), stored[i].bytes);
        }
        EXPECT_EQ(to_hex(save(*g.drawing, compressed)), to_hex(first));
    }
}

// A file of every extension the type table names, holding what files of that name hold (a
// ".j2k" a bare codestream, a ".jp2" a JP2 file, an ".emf" an enhanced metafile), becomes an
// image with pixels.
TEST(Image_Budget, EveryNamedExtensionDecodesItsFiles)
{
    CxImage source = picture(12, 7);
    const Data emf = metafile_writer::Emf(12, 7).handles(2).brush(1, BS_SOLID, RGB(255, 0, 0)).select(1).rectangle(1, 1, 10, 6).bytes();
    struct Case {
        const char* ext;
        Data bytes;
    };
    const Case cases[] = {
        {"bmp", encoded_bytes(source, CXIMAGE_FORMAT_BMP)},  {"gif", encoded_bytes(source, CXIMAGE_FORMAT_GIF)},
        {"jpg", encoded_bytes(source, CXIMAGE_FORMAT_JPG)},  {"jpeg", encoded_bytes(source, CXIMAGE_FORMAT_JPG)},
        {"png", encoded_bytes(source, CXIMAGE_FORMAT_PNG)},  {"ico", encoded_bytes(source, CXIMAGE_FORMAT_ICO)},
        {"tif", encoded_bytes(source, CXIMAGE_FORMAT_TIF)},  {"tiff", encoded_bytes(source, CXIMAGE_FORMAT_TIF)},
        {"tga", encoded_bytes(source, CXIMAGE_FORMAT_TGA)},  {"pcx", encoded_bytes(source, CXIMAGE_FORMAT_PCX)},
        {"wbmp", encoded_bytes(source, CXIMAGE_FORMAT_WBMP)}, {"wmf", encoded_bytes(source, CXIMAGE_FORMAT_WMF)},
        {"emf", emf},                                        {"jp2", encoded_bytes(source, CXIMAGE_FORMAT_JP2)},
        {"j2k", encoded_bytes(source, CXIMAGE_FORMAT_JPC)},  {"jpc", encoded_bytes(source, CXIMAGE_FORMAT_JPC)},
        {"j2c", encoded_bytes(source, CXIMAGE_FORMAT_JPC)},  {"pgx", encoded_bytes(source, CXIMAGE_FORMAT_PGX)},
        {"pnm", encoded_bytes(source, CXIMAGE_FORMAT_PNM)},  {"pgm", encoded_bytes(source, CXIMAGE_FORMAT_PNM)},
        {"ppm", encoded_bytes(source, CXIMAGE_FORMAT_PNM)},  {"ras", encoded_bytes(source, CXIMAGE_FORMAT_RAS)},
    };
    Scratch_Dir dir;
    MB_Drawing drawing;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string path = dir.path() + "/picture." + c.ext;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(c.bytes.data(), 1, c.bytes.size(), f);
        std::fclose(f);
        std::vector<char> name(path.begin(), path.end());
        name.push_back('\0');
        MB_Image* image = api_mb_create_image(drawing, name.data(), Qe_Pt(0, 0, 0));
        ASSERT_NE(image, nullptr);
        ASSERT_NE(image->image(), nullptr);
        EXPECT_TRUE(image->image()->IsValid());
        EXPECT_NEAR(static_cast<double>(image->image()->GetWidth()), 12, 1);  // a metafile at 96 dpi rounds
    }
}

TEST(Image_Budget, OverTheBudgetTheLoadFailsAndSaysWhyUnderItEveryRasterDecodes)
{
    Bytes file;
    {
        Op_Fixture f;
        CxImage source = picture(20, 14);  // 280 pixels each
        const Data png = encoded_bytes(source, CXIMAGE_FORMAT_PNG);
        for (int i = 0; i < 3; ++i) {
            auto* image = new MB_Image;
            image->image_format(CXIMAGE_FORMAT_PNG);
            ASSERT_EQ(image->decode_raster(png.data(), static_cast<unsigned long>(png.size()), CXIMAGE_FORMAT_PNG, nullptr),
                      CxImage::Decode_Result::decoded);
            f.drawing->add_object(image);
        }
        file = save(*f.drawing, true);
    }
    {
        Op_Fixture f;
        f.drawing->pixel_budget().limit(3 * 280 - 1);
        EXPECT_EQ(load(*f.drawing, file), MB_Result::Budget_Exceeded);
        EXPECT_EQ(f.drawing->pixel_budget().refusal(), MB_Pixel_Budget::Refusal::over_budget);
        EXPECT_EQ(f.drawing->pixel_budget().used(), 2 * 280);
        EXPECT_EQ(images_of(*f.drawing).size(), 2u);
    }
    {
        Op_Fixture f;
        f.drawing->pixel_budget().limit(3 * 280);
        EXPECT_EQ(load(*f.drawing, file), MB_Result::End_Of_Stream);
        EXPECT_EQ(f.drawing->pixel_budget().refusal(), MB_Pixel_Budget::Refusal::none);
        EXPECT_EQ(f.drawing->pixel_budget().used(), 3 * 280);
        for (MB_Image* image : images_of(*f.drawing)) EXPECT_TRUE(image->image()->IsValid());
        // An image gives its pixels back when it goes, or when its raster is replaced.
        MB_Image* first = images_of(*f.drawing).front();
        first->image(nullptr);
        EXPECT_EQ(f.drawing->pixel_budget().used(), 2 * 280);
        std::shared_ptr<MB_Pixel_Budget> budget = f.drawing->pixel_budget_ptr();
        f.drawing->object_list().kill_all();
        EXPECT_EQ(budget->used(), 0);
    }
    // A host bounds every drawing it makes from then on.
    const long long before = MB_Pixel_Budget::default_limit();
    MB_Pixel_Budget::default_limit(500);
    {
        MB_Drawing d;
        EXPECT_EQ(d.pixel_budget().limit(), 500);
        EXPECT_EQ(load(d, file), MB_Result::Budget_Exceeded);
    }
    MB_Pixel_Budget::default_limit(before);
    EXPECT_EQ(MB_Drawing().pixel_budget().limit(), MB_Pixel_Budget::k_default_limit);
}

// The budget counts every raster taken from it while it lives: a copy (and so each snapshot an
// undo step keeps) counts its pixels, an undo that puts an image's raster back keeps it
// counted, a turn counts the canvas it grows to and is not made past the limit, and when
// everything is gone nothing is left counted.
TEST(Image_Budget, CopiesUndoStepsAndTurnsAreCounted)
{
    std::shared_ptr<MB_Pixel_Budget> budget;
    {
        Op_Fixture f;
        budget = f.drawing->pixel_budget_ptr();
        CxImage source = picture(20, 14);  // 280 pixels
        const Data png = encoded_bytes(source, CXIMAGE_FORMAT_PNG);
        auto* image = new MB_Image;
        ASSERT_EQ(image->decode_raster(png.data(), static_cast<unsigned long>(png.size()), CXIMAGE_FORMAT_PNG, budget),
                  CxImage::Decode_Result::decoded);
        f.drawing->add_object(image);
        ASSERT_EQ(budget->used(), 280);

        MB_Object* copy = nullptr;
        ASSERT_TRUE(image->copy_to(copy));
        EXPECT_EQ(budget->used(), 2 * 280);
        // Copied onto an image that holds pixels: those go back, the copy's come in.
        ASSERT_TRUE(image->copy_to(copy));
        EXPECT_EQ(budget->used(), 2 * 280);
        delete copy;
        EXPECT_EQ(budget->used(), 280);

        f.command("move", [&] { image->set_point(-6, Qe_Pt(5, 6, 0)); });
        const long long with_snapshots = budget->used();
        EXPECT_GT(with_snapshots, 280);
        f.undo();
        EXPECT_EQ(budget->used(), with_snapshots);
        f.redo();
        EXPECT_EQ(budget->used(), with_snapshots);

        // A quarter turn keeps the count; an eighth grows the canvas and the count with it.
        image->set_real(mb_key::Angle, 90);
        EXPECT_EQ(budget->used(), with_snapshots);
        image->set_real(mb_key::Angle, 45);
        const long long turned = static_cast<long long>(image->image()->GetWidth()) * image->image()->GetHeight();
        EXPECT_GT(turned, 280);
        EXPECT_EQ(budget->used(), with_snapshots - 280 + turned);
        // A turn whose canvas the budget cannot hold leaves the raster as it was.
        budget->limit(budget->used());
        image->set_real(mb_key::Angle, 45);
        EXPECT_EQ(static_cast<long long>(image->image()->GetWidth()) * image->image()->GetHeight(), turned);
        EXPECT_EQ(budget->used(), with_snapshots - 280 + turned);
    }
    EXPECT_EQ(budget->used(), 0);
}

// The picture, the metafile and the raster each reach the DC the caller passes: a recording
// DC logs them, and the device's own pixels stay as they were.
TEST(Image_Budget, PicturesDrawOnTheDcTheyAreGiven)
{
    using metafile_writer::Emf;
    const Data emf = Emf(40, 30).handles(3).pen(1, PS_SOLID, 0, RGB(0, 0, 255)).brush(2, BS_SOLID, RGB(255, 0, 0))
                          .select(1).select(2).rectangle(10, 5, 30, 25).bytes();
    Scratch_Dir dir;
    const std::string path = dir.path() + "/a.emf";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(emf.data(), 1, emf.size(), f);
        std::fclose(f);
    }
    MB_Image picture_image, metafile_image, raster_image(new CxImage(picture(4, 4)));
    ASSERT_TRUE(picture_image.LoadPictureFile(path.c_str()));
    metafile_image.set_winmeta_filebits(static_cast<unsigned>(emf.size()), emf.data(), nullptr, nullptr);
    for (MB_Image* image : {&picture_image, &metafile_image, &raster_image}) {
        image->center(Qe_Pt(20, 15, 0));
        image->width(40);
        image->height(30);
        Raster device(40, 30);
        Recording_Dc rec;
        Qe_Tran t;
        image->draw(rec.dc, device.q, t);
        bool drew = false;
        for (const Platform_Call& c : rec.calls()) drew |= c.name == "Rectangle" || c.name == "Polygon";
        if (image == &raster_image) drew = true;  // a raster is copied, not drawn by calls
        EXPECT_TRUE(drew);
        EXPECT_EQ(device.drawn(), 0) << "nothing on the device's own DC";
        // Without a DC the device's own takes it.
        image->draw(nullptr, device.q, t);
        EXPECT_GT(device.drawn(), 100);
    }
    // Drawn on the device: the rectangle's pixels where the frame puts them.
    Raster device(40, 30);
    Qe_Tran t;
    picture_image.draw(nullptr, device.q, t);
    EXPECT_EQ(device.pixel(20, 15), RGB(255, 0, 0));
    EXPECT_EQ(device.pixel(2, 2), RGB(255, 255, 255));

    // A band along the picture's top stays at the top, as a picture and as a metafile.
    const Data band = Emf(40, 30).handles(2).brush(1, BS_SOLID, RGB(255, 0, 0)).select(1).select(0x80000008u)
                          .rectangle(0, 0, 41, 10).bytes();
    const std::string band_path = dir.path() + "/band.emf";
    {
        std::FILE* f = std::fopen(band_path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(band.data(), 1, band.size(), f);
        std::fclose(f);
    }
    MB_Image band_picture, band_metafile;
    ASSERT_TRUE(band_picture.LoadPictureFile(band_path.c_str()));
    band_metafile.set_winmeta_filebits(static_cast<unsigned>(band.size()), band.data(), nullptr, nullptr);
    for (MB_Image* image : {&band_picture, &band_metafile}) {
        image->center(Qe_Pt(20, 15, 0));
        image->width(40);
        image->height(30);
        Raster on(40, 30);
        image->draw(nullptr, on.q, t);
        EXPECT_EQ(on.pixel(20, 4), RGB(255, 0, 0));
        EXPECT_EQ(on.pixel(20, 25), RGB(255, 255, 255));
    }
}

}  // namespace
