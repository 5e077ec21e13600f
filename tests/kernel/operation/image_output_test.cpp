// Pictures of curves: the JPEG files are read back with libjpeg, the pixels drawn before
// encoding are compared with pixel sets worked out by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/box_catcher.h"
#include "common/image_readers.h"
#include "common/scratch_dir.h"
#include "common/ximage_pixels.h"
#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/image.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/image_output.h"
#include "kernel/operation/operation.h"
#include "kernel/text/text.h"
#include "platform/ximage.h"

namespace {

namespace fs = std::filesystem;

constexpr COLORREF k_red = RGB(255, 0, 0);
constexpr COLORREF k_green = RGB(0, 255, 0);
constexpr COLORREF k_blue = RGB(0, 0, 255);
constexpr COLORREF k_white = RGB(255, 255, 255);

struct Mean {
    double r = 0, g = 0, b = 0;
    double light() const { return (r + g + b) / 3; }
};

// The mean colour of columns [x0, x1) and rows [y0, y1) (rows from the top).
Mean mean(const Rgb_Image& image, int x0, int y0, int x1, int y1)
{
    Mean m;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const COLORREF c = image.at(x, y);
            m.r += GetRValue(c), m.g += GetGValue(c), m.b += GetBValue(c);
        }
    const double n = static_cast<double>(x1 - x0) * (y1 - y0);
    m.r /= n, m.g /= n, m.b /= n;
    return m;
}

// One channel well above the other two.
bool dominated_by(const Mean& m, char channel)
{
    const double c = channel == 'r' ? m.r : channel == 'g' ? m.g : m.b;
    const double others =
        std::max(channel == 'r' ? 0.0 : m.r, std::max(channel == 'g' ? 0.0 : m.g, channel == 'b' ? 0.0 : m.b));
    return c > 40 && c > 2 * others;
}

class ImageOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        op = std::make_unique<MB_Operation>();
        ASSERT_TRUE(op->create_drawing("pictures"));
        d = op->drawing();
    }

    // A built line the test owns, listed in `list`.
    MB_Line* line(Qe_Pt a, Qe_Pt b, COLORREF colour)
    {
        auto* l = new MB_Line(a, b);
        l->general().color(static_cast<long>(colour));
        l->build_draw();
        owned.emplace_back(l);
        (void)list.add(l);
        return l;
    }

    std::string out(const char* name) const { return dir.path() + "/" + name; }

    Scratch_Dir dir;
    std::unique_ptr<MB_Operation> op;
    MB_Drawing* d = nullptr;
    std::vector<std::unique_ptr<MB_Drawable>> owned;
    Qe_Void_List list;
};

TEST_F(ImageOutput, PictureSizeAndScaleFollowTheRectangle)
{
    // 200 x 100 at a height of 50: a 100 x 50 picture at half scale.
    line(Qe_Pt(0, 100, 0), Qe_Pt(200, 100, 0), k_white);
    line(Qe_Pt(60, 0, 0), Qe_Pt(60, 100, 0), k_white);
    const std::string path = out("size.jpg");
    ASSERT_TRUE(api_out_put_image(const_cast<char*>(path.c_str()), 0, 50, 0, 0, list));
    Rgb_Image image;
    ASSERT_TRUE(read_jpeg(path, image));
    EXPECT_EQ(image.width, 100);
    EXPECT_EQ(image.height, 50);
    // The vertical line stands in column 30 of every middle row.
    for (int y = 10; y < 40; ++y) {
        int brightest = 0;
        for (int x = 0; x < image.width; ++x)
            if (mean(image, x, y, x + 1, y + 1).light() > mean(image, brightest, y, brightest + 1, y + 1).light())
                brightest = x;
        EXPECT_EQ(brightest, 30) << "row " << y;
    }
    EXPECT_GT(mean(image, 0, 0, 100, 1).light(), 150);  // the top line
    EXPECT_LT(mean(image, 40, 10, 100, 40).light(), 20);

    // The file is JPEG whatever its name says.
    const std::string png = out("really.png");
    ASSERT_TRUE(api_out_put_image(const_cast<char*>(png.c_str()), 0, 50, 0, 0, list));
    const std::vector<std::uint8_t> bytes = file_bytes(png);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
}

TEST_F(ImageOutput, PictureIsUprightWithEverySideShown)
{
    // A frame: red along the top, green along the bottom, blue on the left, white on the
    // right. The bottom and right sides land on the last row and column.
    line(Qe_Pt(0, 100, 0), Qe_Pt(200, 100, 0), k_red);
    line(Qe_Pt(0, 0, 0), Qe_Pt(200, 0, 0), k_green);
    line(Qe_Pt(0, 5, 0), Qe_Pt(0, 95, 0), k_blue);
    line(Qe_Pt(200, 5, 0), Qe_Pt(200, 95, 0), k_white);
    const std::string path = out("upright.jpg");
    ASSERT_TRUE(api_out_put_image(const_cast<char*>(path.c_str()), 0, 100, 0, 0, list));
    Rgb_Image image;
    ASSERT_TRUE(read_jpeg(path, image));
    ASSERT_EQ(image.width, 200);
    ASSERT_EQ(image.height, 100);
    EXPECT_TRUE(dominated_by(mean(image, 20, 0, 180, 2), 'r'));
    EXPECT_TRUE(dominated_by(mean(image, 20, 98, 180, 100), 'g'));
    EXPECT_TRUE(dominated_by(mean(image, 0, 20, 2, 80), 'b'));
    EXPECT_GT(mean(image, 198, 20, 200, 80).light(), 60);
    EXPECT_LT(mean(image, 20, 20, 180, 80).light(), 10);  // Create's black inside
}

TEST_F(ImageOutput, OnlyCurvesAreDrawnButEverythingCountsInTheRectangle)
{
    MB_Text* text = nullptr;
    ASSERT_TRUE(api_mb_make_text(text, const_cast<char*>("AB"), Qe_Pt(0, 0, 0), nullptr, 10, *d));
    owned.emplace_back(text);
    text->general().color(static_cast<long>(k_white));
    text->build_draw();
    ASSERT_GT(text->rect().width(), 1);
    ASSERT_GT(text->rect().heigh(), 1);
    (void)list.add(text);
    const std::string texts = out("texts.jpg");
    ASSERT_TRUE(api_out_put_image(const_cast<char*>(texts.c_str()), 0, 40, 0, 0, list));
    Rgb_Image image;
    ASSERT_TRUE(read_jpeg(texts, image));
    EXPECT_EQ(image.height, 40);
    EXPECT_LT(mean(image, 0, 0, image.width, image.height).light(), 2);

    // A circle is drawn; the text beside it only widens the picture.
    auto* circle = new MB_Circle(Qe_Pt(-50, 5, 0), 5);
    circle->general().color(static_cast<long>(k_white));
    circle->build_draw();
    owned.emplace_back(circle);
    (void)list.add(circle);
    const std::string both = out("both.jpg");
    ASSERT_TRUE(api_out_put_image(const_cast<char*>(both.c_str()), 0, 40, 0, 0, list));
    ASSERT_TRUE(read_jpeg(both, image));
    const int circle_end = static_cast<int>(image.width * 10 / (text->rect().rb().x() + 55)) + 1;
    EXPECT_GT(mean(image, 0, 0, circle_end, 40).light(), 10);
    EXPECT_LT(mean(image, circle_end + 2, 0, image.width, 40).light(), 2);
}

TEST_F(ImageOutput, RefusalsWriteNothingAndShowNothing)
{
    Box_Catcher boxes;
    line(Qe_Pt(0, 0, 0), Qe_Pt(200, 100, 0), k_white);
    Qe_Void_List horizontal, empty, thin;
    MB_Line flat(Qe_Pt(0, 7, 0), Qe_Pt(50, 7, 0)), upright(Qe_Pt(0, 0, 0), Qe_Pt(0.5, 100, 0));
    flat.build_draw();
    upright.build_draw();
    (void)horizontal.add(&flat);
    (void)thin.add(&upright);
    const std::string good = out("x.jpg");
    struct Case {
        const char* what;
        const char* path;
        long height;
        Qe_Void_List* entities;
    };
    const std::string missing = out("missing/x.jpg");
    const Case cases[] = {
        {"null path", nullptr, 50, &list},
        {"empty path", "", 50, &list},
        {"folder missing", missing.c_str(), 50, &list},
        {"horizontal line", good.c_str(), 50, &horizontal},
        {"empty list", good.c_str(), 50, &empty},
        {"one pixel high", good.c_str(), 1, &list},
        {"negative height", good.c_str(), -50, &list},
        {"under a pixel wide", good.c_str(), 100, &thin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(api_out_put_image(const_cast<char*>(c.path), 0, c.height, 0, 0, *c.entities));
    }
    EXPECT_FALSE(api_out_put_image(const_cast<char*>(good.c_str()), 0, 50, 0, 0, static_cast<MB_Drawing*>(nullptr)));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
}

TEST_F(ImageOutput, PictureTooLargeShowsTheOutOfMemoryBox)
{
    line(Qe_Pt(0, 0, 0), Qe_Pt(100, 100, 0), k_white);
    const double huge = std::numeric_limits<double>::max();
    Qe_Void_List endless;
    MB_Line wide(Qe_Pt(-huge, 0, 0), Qe_Pt(huge, 10, 0));
    wide.build_draw();
    ASSERT_TRUE(std::isinf(wide.rect().width()));
    (void)endless.add(&wide);
    const std::string path = out("big.jpg");
    struct Case {
        const char* what;
        long height;
        Qe_Void_List* entities;
    };
    const Case cases[] = {
        {"a million pixels square", 1000000, &list},
        // 17000 x 17000 x 3 bytes fit the limit, the class's 4 bytes a pixel do not.
        {"refused by Create", 17000, &list},
        {"width not finite", 100, &endless},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Box_Catcher boxes;
        EXPECT_FALSE(api_out_put_image(const_cast<char*>(path.c_str()), 0, c.height, 0, 0, *c.entities));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3");  // 内存不足
        EXPECT_EQ(boxes.boxes[0].caption, "Tavimor Error Message");
        EXPECT_EQ(boxes.boxes[0].type, MB_OK);
        EXPECT_FALSE(fs::exists(path));
    }
}

TEST_F(ImageOutput, DrawingFormDrawsModelSpaceOnly)
{
    // A red line in model space; a green one in a block, placed by a reference.
    auto* red = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(100, 50, 0));
    red->general().color(static_cast<long>(k_red));
    auto* block = new MB_Block(Qe_Pt(0, 0, 0), MB_String("hidden"), MB_String(""));
    auto* green = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(100, 50, 0));
    green->general().color(static_cast<long>(k_green));
    block->object_list().add_tail(green);
    d->block_list().add_tail(block);
    auto* ins = new MB_Insert(Qe_Pt(0, 50, 0), 0, 1, -1, 1);
    ins->block(block);
    d->object_list().add_tail(red);
    d->object_list().add_tail(ins);
    green->build_draw();
    block->build_draw();
    red->build_draw();
    ins->build_draw();
    const std::string path = out("model.jpg");
    ASSERT_TRUE(api_out_put_image(const_cast<char*>(path.c_str()), 0, 50, 0, 0, d));
    Rgb_Image image;
    ASSERT_TRUE(read_jpeg(path, image));
    EXPECT_EQ(image.width, 100);
    double red_seen = 0, green_seen = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const COLORREF c = image.at(x, y);
            red_seen = std::max(red_seen, GetRValue(c) - 0.5 * GetGValue(c));
            green_seen = std::max(green_seen, GetGValue(c) - 0.5 * GetRValue(c));
        }
    EXPECT_GT(red_seen, 60);
    EXPECT_LT(green_seen, 30);
}

TEST(ImageLines, PointsAreTruncatedTowardsZeroAndMappedBeforeDrawing)
{
    using Pixels = std::vector<std::pair<int, int>>;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        Qe_Pt a, b;
        Pixels want;
    };
    const Case cases[] = {
        {"fractions drop", {0.9, 3.99, 0}, {5.7, 3.2, 0}, {{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}}},
        {"towards zero, not down", {-0.7, 1, 0}, {2, 1, 0}, {{0, 1}, {1, 1}, {2, 1}}},
        {"x then y order", {1, 0, 0}, {1, 2.5, 0}, {{1, 0}, {1, 1}, {1, 2}}},
        {"clipped", {-3, -3, 0}, {1, 1, 0}, {{0, 0}, {1, 1}}},
        {"not finite", {nan, 1, 0}, {2, 1, 0}, {}},
        {"beyond int", {1e12, 1, 0}, {2, 1, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CxImage image;
        ASSERT_TRUE(image.Create(8, 6, 24, CXIMAGE_FORMAT_JPG));
        draw_line_to_image(&image, c.a, c.b, static_cast<long>(k_red), 1);
        EXPECT_EQ(pixels_of(image, k_red), c.want);
    }
    draw_line_to_image(nullptr, Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0), 0, 1);

    // A point set: consecutive pairs, each point mapped first (here moved 2 right, 1 down).
    CxImage image;
    ASSERT_TRUE(image.Create(8, 6, 24, CXIMAGE_FORMAT_JPG));
    const Qe_Pt corner[] = {{0, 0, 0}, {3, 0, 0}, {3, 2, 0}};
    Qe_Pt_Set set;
    set.init(3, corner);
    const Qe_Tran t = translate_transf(Qe_Vec(2, 1, 0));
    draw_ptset_to_image(&image, set, t, static_cast<long>(k_blue), 1);
    EXPECT_EQ(pixels_of(image, k_blue), (Pixels{{2, 1}, {3, 1}, {4, 1}, {5, 1}, {5, 2}, {5, 3}}));
    // One point, or runs of sets: nothing.
    CxImage blank;
    ASSERT_TRUE(blank.Create(8, 6, 24, CXIMAGE_FORMAT_JPG));
    Qe_Pt_Set one;
    one.init(1, corner);
    draw_ptset_to_image(&blank, one, t, static_cast<long>(k_blue), 1);
    Qe_Pt_Sets runs;
    draw_ptsets_to_image(&blank, runs, t, static_cast<long>(k_blue), 1);
    EXPECT_TRUE(pixels_of(blank, RGB(0, 0, 0)).size() == 48u);
}

}  // namespace
