// Mondrik.so: the stand-in import library. It reads native .vkt drawings into the active
// operation's drawing through the kernel's stream reader, counting every record read into the
// conversion's progress counter. DWF input (.dwf, .w2d) is not read here. Why an import
// failed goes to the log and, in a few words, to the kernel's last-error store, where the
// converter reads it for its message.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "Drakmere.h"
#include "plugins/plugin_abi.h"

namespace {

int fail(const char* log_text, const char* source, const char* reason)
{
    message_out(log_text, source, "", true);
    set_last_error_msg(reason);
    return 0;
}

// Why a load that did not reach the end of its stream stopped, in a few words. The stream
// reader stops with Out_Of_Memory both for a record of a kind no class makes and for memory
// that ran out; the file object says which.
const char* load_failure(const MB_File_IO& file, MB_Drawing& drawing)
{
    if (drawing.file_revision() > drawing.format_version()) return "the file is of a newer version";
    // An image the drawing's pixel budget or the memory could not hold stopped the load.
    switch (drawing.pixel_budget().refusal()) {
    case MB_Pixel_Budget::Refusal::over_budget: return "its images need more pixels than allowed";
    case MB_Pixel_Budget::Refusal::out_of_memory: return "out of memory for its images";
    default: break;
    }
    switch (file.load_result().code()) {
    case MB_Result::Invalid_Data: return "the file is damaged";
    case MB_Result::End_Of_File:
    case MB_Result::Nothing_Read:
    case MB_Result::Waiting_For_Data: return "the file is cut short";
    case MB_Result::Not_Native_Stream: return "not a native drawing";
    case MB_Result::Out_Of_Memory: return file.unknown_record() ? "a record of an unknown kind" : "out of memory";
    case MB_Result::Budget_Exceeded: return "the drawing exceeds the load limits";
    default: return "the file could not be read";
    }
}

void count_record(void*)
{
    advance_current_loading_object_index();
}

int import_native(const char* source)
{
    MB_Operation* operation = g_active_operation;
    MB_Drawing* drawing = operation ? operation->drawing() : nullptr;
    if (!drawing) return fail("Mondrik: no active drawing to import ", source, "no drawing to import into");
    if (!is_file_ext(source, "vkt")) return fail("Mondrik: unsupported input format: ", source, "unsupported input format");
    // A file that cannot be opened says why (the stream reader only says that it did not).
    const int fd = ::open(source, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail("Mondrik: the file cannot be opened: ", source, error_text(errno).c_str());
    ::close(fd);
    MB_File_IO file;
    file.drawing(drawing);
    if (!file.load_jxb(source, count_record, nullptr))
        return fail("Mondrik: the drawing could not be read to its end: ", source, load_failure(file, *drawing));
    return 1;
}

}  // namespace

int import_dwf2006(const char* source, int)
{
    if (!source) return 0;
    try {
        return import_native(source);
    } catch (...) {
        return fail("Mondrik: the import stopped on an error: ", source, "the import stopped on an error");
    }
}
