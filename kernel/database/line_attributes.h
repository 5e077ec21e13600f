#pragma once

// The line properties of entities as native stream records: display width ('h'), line-type
// scale ('i'), width ('j') and thickness ('n'). The writer's attribute state emits one when
// the property of the next entity differs from the last one written; reading one makes it
// the property of every entity read after it.

#include "kernel/database/value_attribute.h"

class DRAKMERE_API MB_Display_Width : public MB_Value_Attribute<mb_long, MB_Object::ID_DISPLAY_WIDTH, 'h'> {
public:
    MB_Display_Width() = default;
    explicit MB_Display_Width(mb_long value) : MB_Value_Attribute(value) {}
    MB_Result process(MB_File_IO& file) override;
};

class DRAKMERE_API MB_Line_Scale : public MB_Value_Attribute<double, MB_Object::ID_LINE_SCALE, 'i'> {
public:
    MB_Line_Scale() : MB_Value_Attribute(1.0) {}
    explicit MB_Line_Scale(double value) : MB_Value_Attribute(value) {}
    MB_Result process(MB_File_IO& file) override;
};

class DRAKMERE_API MB_Width : public MB_Value_Attribute<double, MB_Object::ID_WIDTH, 'j'> {
public:
    MB_Width() = default;
    explicit MB_Width(double value) : MB_Value_Attribute(value) {}
    MB_Result process(MB_File_IO& file) override;
};

class DRAKMERE_API MB_Thickness : public MB_Value_Attribute<double, MB_Object::ID_THICKNESS, 'n'> {
public:
    MB_Thickness() = default;
    explicit MB_Thickness(double value) : MB_Value_Attribute(value) {}
    // The value becomes the reader's thickness, as the other three do: entities read after
    // it take it, so a thickness survives a save and a load.
    MB_Result process(MB_File_IO& file) override;
};
