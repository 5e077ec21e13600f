// The text records in the stream's object table.
#include "kernel/kernel_p.h"
#include "kernel/stream/object_factory.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "kernel/text/tolerance_frame.h"

void mb_register_text_records()
{
    MB_Object_Factory::register_maker('u', &mb_make_object<MB_Text_Style>);
    MB_Object_Factory::register_maker('w', &mb_make_object<MB_Text_Style_Name>);
    MB_Object_Factory::register_maker('T', &mb_make_object<MB_Text>);
    // Older streams mark single-line texts 0x14; the record is the same.
    MB_Object_Factory::register_maker(0x14, &mb_make_object<MB_Text>);
    MB_Object_Factory::register_maker('Y', &mb_make_object<MB_Mtext>);
    MB_Object_Factory::register_maker('?', &mb_make_object<MB_Tolerance>);
}
