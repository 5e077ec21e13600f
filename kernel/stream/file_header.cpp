#include "kernel/stream/file_header.h"

#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"
#include "platform/message_box.h"

namespace {

constexpr const char* k_newer_text = "VKT file is new version, the applation can't open it! if continue??";
constexpr const char* k_newer_caption = "Tavimor open file error!!!";
// The revision that every accepted header gives the stream's drawing info: 1.0.
constexpr int k_header_major = 1;
constexpr int k_header_minor = 0;
constexpr int k_old_header_revision = 100;

bool is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

MB_Result MB_File_Header::serialize(MB_File_IO& file)
{
    return file.write_file_header();
}

MB_Result MB_File_Header::materialize(const MB_Opcode&, MB_File_IO& file)
{
    unsigned char b[6];
    MB_Result r = file.read(6, b);
    if (r != 0) return r;
    MB_Drawing* drawing = file.drawing();
    const bool old_form = is_digit(b[0]) && is_digit(b[1]) && b[2] == '.' && is_digit(b[3]) && is_digit(b[4]) &&
                          b[5] == ')';
    const bool new_form =
        b[0] == 'A' && is_digit(b[1]) && is_digit(b[2]) && is_digit(b[3]) && is_digit(b[4]) && b[5] == ')';
    if (!old_form && !new_form) return MB_Result::Not_Native_Stream;

    MB_Drawing_Info& info = file.rendition()->drawing_info();
    info.set_major_revision(k_header_major);
    info.set_minor_revision(k_header_minor);
    if (old_form) {
        if (drawing) drawing->file_revision(k_old_header_revision);
    } else {
        const int revision = (b[1] - '0') * 1000 + (b[2] - '0') * 100 + (b[3] - '0') * 10 + (b[4] - '0');
        if (drawing) drawing->file_revision(revision);
        const int supported = drawing ? drawing->format_version() : g_format_version;
        if (revision > supported &&
            MessageBoxA(nullptr, k_newer_text, k_newer_caption, MB_OKCANCEL) == IDCANCEL)
            return MB_Result::Not_Native_Stream;
    }
    file.decrement_paren_count();
    return MB_Result::Success;
}

MB_Result MB_File_Header::skip_operand(const MB_Opcode& opcode, MB_File_IO& file)
{
    return opcode.skip_past_operands(file);
}

MB_Result MB_File_Header::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_End_Of_Stream::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write_tab_level();
    if (r == 0) r = file.write("(EndOfVKT)");
    if (r == 0) r = file.write("\r\n");
    return r;
}

MB_Result MB_End_Of_Stream::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return skip_operand(opcode, file);
}

MB_Result MB_End_Of_Stream::skip_operand(const MB_Opcode& opcode, MB_File_IO& file)
{
    return opcode.skip_past_operands(file);
}

MB_Result MB_End_Of_Stream::process(MB_File_IO&)
{
    return MB_Result::End_Of_Stream;
}
