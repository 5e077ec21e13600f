#pragma once

// The font state of the native stream: the records that the writer's attribute state
// emits in front of a text when a font value differs from the last one written, and that
// a reader turns back into the font state of the texts read after them.

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "kernel/database/value_attribute.h"

class MB_Drawing;
class MB_Text_Style;

#define MB_FONT_RECORD(Class, Type, Id, Opcode)                                    \
    class DRAKMERE_API Class : public MB_Value_Attribute<Type, MB_Object::Id, Opcode> { \
    public:                                                                        \
        Class() = default;                                                         \
        explicit Class(const Type& value) : MB_Value_Attribute(value) {}           \
        MB_Result process(MB_File_IO& file) override;                              \
    }

// Font file names; a name longer than the reader's field is cut.
MB_FONT_RECORD(MB_Font_Name, MB_String, ID_FONT_NAME, 0x06);
MB_FONT_RECORD(MB_Big_Font_Name, MB_String, ID_BIG_FONT_NAME, 0x0C);
MB_FONT_RECORD(MB_Text_Height, double, ID_TEXT_HEIGHT, 'H');
MB_FONT_RECORD(MB_Text_Width_Scale, double, ID_TEXT_WIDTH_SCALE, 'K');
MB_FONT_RECORD(MB_Oblique_Angle, double, ID_OBLIQUE_ANGLE, 'A');
// Carried only: reading it changes nothing.
MB_FONT_RECORD(MB_Font_Value, mb_long, ID_FONT_VALUE, 'C');
MB_FONT_RECORD(MB_Font_Flag, mb_long, ID_FONT_FLAG, 'o');
MB_FONT_RECORD(MB_Text_Angle, double, ID_TEXT_ANGLE, 'd');
MB_FONT_RECORD(MB_Text_Flag, mb_long, ID_TEXT_FLAG, 'b');

#undef MB_FONT_RECORD

// The record that names the current text style of the stream (opcode 'w').
class DRAKMERE_API MB_Text_Style_Name : public MB_Attribute {
public:
    // "Text Style", no style.
    MB_Text_Style_Name();
    // The name and the drawing's style of that name (any case), or null.
    MB_Text_Style_Name(const char* name, MB_Drawing& drawing);
    MB_Text_Style_Name(const MB_Text_Style_Name& other) = default;
    MB_Text_Style_Name& operator=(const MB_Text_Style_Name& other) = default;
    // The style is borrowed: never deleted here.
    ~MB_Text_Style_Name() override;

    MB_Text_Style* text_style() const { return m_text_style; }
    void text_style(MB_Text_Style* style) { m_text_style = style; }
    MB_String& name() { return m_name; }

    MB_ID object_id() const override { return ID_TEXT_STYLE_NAME; }
    // 'w' and the name.
    MB_Result serialize(MB_File_IO& file) override;
    // Reads the name, finds the style in the drawing read into and makes the name the
    // reader's text style name (cut to its field).
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

private:
    MB_Text_Style* m_text_style = nullptr;
    MB_String m_name;
};
