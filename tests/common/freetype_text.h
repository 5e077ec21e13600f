#pragma once

// FreeType's own decomposition of a text, as a reference for the tests of the TrueType paths:
// the face at a 64 pixel em, outline units (26.6 values) taken as plain numbers, pens moved by
// the glyphs' advances, each conic sampled at a given number of steps.

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <string>
#include <vector>

namespace freetype_text {

struct P {
    double x, y;
};
using Contour = std::vector<P>;

// The outline of text as FreeType decomposes it at a 64 pixel em, each conic sampled at
// `steps` points, pens moved by the advances: one contour per outline contour.
class Reference {
public:
    explicit Reference(const std::string& file)
    {
        EXPECT_EQ(FT_Init_FreeType(&m_lib), 0);
        ok = FT_New_Face(m_lib, file.c_str(), 0, &m_face) == 0 && FT_Set_Pixel_Sizes(m_face, 0, 64) == 0;
    }
    ~Reference()
    {
        if (m_face) FT_Done_Face(m_face);
        FT_Done_FreeType(m_lib);
    }
    std::vector<Contour> outline(const std::u32string& text, int steps, std::vector<double>* pens = nullptr)
    {
        std::vector<Contour> out;
        double pen = 0;
        for (char32_t c : text) {
            if (pens) pens->push_back(pen);
            if (FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, c), FT_LOAD_DEFAULT) != 0) continue;
            Walk w{&out, pen, steps, {}};
            FT_Outline_Funcs funcs{};
            funcs.move_to = [](const FT_Vector* to, void* u) {
                auto* w = static_cast<Walk*>(u);
                w->out->push_back({w->at(to)});
                w->last = w->at(to);
                return 0;
            };
            funcs.line_to = [](const FT_Vector* to, void* u) {
                auto* w = static_cast<Walk*>(u);
                w->out->back().push_back(w->at(to));
                w->last = w->at(to);
                return 0;
            };
            funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
                auto* w = static_cast<Walk*>(u);
                const P a = w->last, b = w->at(c), e = w->at(to);
                for (int k = 1; k <= w->steps; ++k) {
                    const double t = double(k) / w->steps, s = 1 - t;
                    w->out->back().push_back(
                        {s * s * a.x + 2 * s * t * b.x + t * t * e.x, s * s * a.y + 2 * s * t * b.y + t * t * e.y});
                }
                w->last = e;
                return 0;
            };
            funcs.cubic_to = [](const FT_Vector*, const FT_Vector*, const FT_Vector*, void*) { return 1; };
            EXPECT_EQ(FT_Outline_Decompose(&m_face->glyph->outline, &funcs, &w), 0);
            pen += m_face->glyph->advance.x;
        }
        return out;
    }
    // FreeType's own monochrome rendering of text, unhinted, at an em of `pixels` (fractions
    // in 1/64), into a canvas of w x h bytes (row 0 the bottom row, 1 where a glyph covers the
    // pixel). The pen starts at (x, y) pixels from the canvas's bottom-left corner and moves as
    // outline() moves it, scaled to the size.
    void render_mono(const std::u32string& text, double pixels, double x, double y, int w, int h,
                     std::vector<unsigned char>& canvas)
    {
        canvas.assign(static_cast<std::size_t>(w) * h, 0);
        const int pitch = (w + 7) / 8;
        std::vector<unsigned char> bits(static_cast<std::size_t>(pitch) * h, 0);
        FT_Bitmap target{};
        target.rows = static_cast<unsigned>(h);
        target.width = static_cast<unsigned>(w);
        target.pitch = pitch;  // top row first
        target.buffer = bits.data();
        target.num_grays = 2;
        target.pixel_mode = FT_PIXEL_MODE_MONO;
        double pen = 0;  // 26.6 units at the 64 pixel em
        for (char32_t c : text) {
            const FT_UInt index = FT_Get_Char_Index(m_face, c);
            if (FT_Set_Pixel_Sizes(m_face, 0, 64) != 0 || FT_Load_Glyph(m_face, index, FT_LOAD_DEFAULT) != 0) continue;
            const double advance = m_face->glyph->advance.x;
            if (FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(std::lround(pixels * 64)), 72, 72) == 0 &&
                FT_Load_Glyph(m_face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0 &&
                m_face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
                FT_Outline_Translate(&m_face->glyph->outline, static_cast<FT_Pos>((x + pen / 64.0 * pixels / 64.0) * 64.0),
                                     static_cast<FT_Pos>(y * 64.0));
                EXPECT_EQ(FT_Outline_Get_Bitmap(m_lib, &m_face->glyph->outline, &target), 0);
            }
            pen += advance;
        }
        ok = FT_Set_Pixel_Sizes(m_face, 0, 64) == 0 && ok;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                canvas[static_cast<std::size_t>(h - 1 - row) * w + col] =
                    (bits[static_cast<std::size_t>(row) * pitch + col / 8] >> (7 - col % 8)) & 1;
    }

    bool ok = false;

private:
    struct Walk {
        std::vector<Contour>* out;
        double pen;
        int steps;
        P last;
        P at(const FT_Vector* v) const { return {double(v->x) + pen, double(v->y)}; }
    };
    FT_Library m_lib = nullptr;
    FT_Face m_face = nullptr;
};

}  // namespace freetype_text
