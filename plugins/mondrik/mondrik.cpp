// Mondrik.so: the stand-in import library. It reads native .vkt drawings into the active
// operation's drawing through the kernel's stream reader, counting every record read into the
// conversion's progress counter. DWF input (.dwf, .w2d) is not read here.

#include "Drakmere.h"
#include "plugins/plugin_abi.h"

namespace {

void count_record(void*)
{
    advance_current_loading_object_index();
}

int import_native(const char* source)
{
    MB_Operation* operation = g_active_operation;
    MB_Drawing* drawing = operation ? operation->drawing() : nullptr;
    if (!drawing) {
        message_out("Mondrik: no active drawing to import ", source, "", true);
        return 0;
    }
    if (!is_file_ext(source, "vkt")) {
        message_out("Mondrik: unsupported input format: ", source, "", true);
        return 0;
    }
    MB_File_IO file;
    file.drawing(drawing);
    if (!file.load_jxb(source, count_record, nullptr)) {
        message_out("Mondrik: the drawing could not be read to its end: ", source, "", true);
        return 0;
    }
    return 1;
}

}  // namespace

int import_dwf2006(const char* source, int)
{
    if (!source) return 0;
    try {
        return import_native(source);
    } catch (...) {
        message_out("Mondrik: the import stopped on an error: ", source, "", true);
        return 0;
    }
}
