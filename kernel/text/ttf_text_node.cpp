#include "kernel/text/ttf_text_node.h"

#include <cmath>

#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/text/font_library.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "platform/font.h"
#include "platform/gdi.h"

MB_Draw_TTF_Text::MB_Draw_TTF_Text(long colour, MB_Text* text)
{
    color(colour);
    drawable(text);
}

MB_Draw_TTF_Text::MB_Draw_TTF_Text(const MB_Draw_TTF_Text& other) : MB_Draw_Node()
{
    *this = other;
}

MB_Draw_TTF_Text& MB_Draw_TTF_Text::operator=(const MB_Draw_TTF_Text& other)
{
    if (this == &other) return *this;
    m_color = other.m_color;
    m_drawable = other.m_drawable;
    m_flag = other.m_flag;
    m_font_height = other.m_font_height;
    m_unused = other.m_unused;
    m_reset = other.m_reset;
    return *this;
}

void MB_Draw_TTF_Text::draw(HDC hdc, const Qe_Tran& t)
{
    m_reset = 0;
    auto* text = dynamic_cast<MB_Text*>(drawable());
    if (!hdc || !text || text->string().length() == 0 || !text->string().ascii()) return;
    const double height = text->text_style()->height() * t.scaling();
    // CreateFontA(0, ...) would give a default-sized font: such heights draw nothing.
    if (!std::isfinite(height) || height < 1.0 || height > 1e9) return;
    m_font_height = static_cast<long>(height);

    const Qe_Pt at = text->base_pos() * t;
    const MB_Font_Library* lib = text->text_style()->font_lib();
    const char* face = lib && lib->name().ascii() ? lib->name().ascii() : "";
    HFONT font = CreateFontA(static_cast<int>(m_font_height), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, face);
    if (!font) return;
    HGDIOBJ old = SelectObject(hdc, font);
    (void)TextOutA(hdc, api_mb_to_pixel(at.x()), api_mb_to_pixel(at.y()), text->string().ascii(),
                   text->string().length());
    SelectObject(hdc, old);
    DeleteObject(font);
}
