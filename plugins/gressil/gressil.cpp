// Gressil.so: the stand-in export library. It writes the active operation's drawing as a DXF
// file (AutoCAD 2004) through write_dxf_file. Why an export failed goes to the log and, in a
// few words, to the kernel's last-error store, where the converter reads it for its message;
// what the file could not hold is shown in one message box.

#include "Drakmere.h"
#include "plugins/gressil/dxf_file.h"
#include "plugins/plugin_abi.h"

namespace {

int export_dxf(const char* target)
{
    MB_Drawing* drawing = g_active_operation ? g_active_operation->drawing() : nullptr;
    if (!drawing) {
        message_out("Gressil: no active drawing to export to ", target, "", true);
        set_last_error_msg("no drawing to export");
        return 0;
    }
    const Dxf_File_Result r =
        write_dxf_file(*drawing, target, static_cast<std::uint32_t>(api_active_system_setting().get_long_val(0)));
    if (!r.written) {
        message_out("Gressil: the DXF file could not be written: ", target, (": " + r.reason).c_str(), true);
        set_last_error_msg(r.reason.c_str());
        return 0;
    }
    if (!r.unwritten.empty()) {
        message_out("Gressil: ", target, (": " + r.unwritten).c_str(), true);
        MessageBoxA(nullptr, r.unwritten.c_str(), k_export_library_name, MB_OK | MB_ICONWARNING);
    }
    return 1;
}

}  // namespace

int export_acad_file(const char* target, int, int)
{
    if (!target || !*target) return 0;
    try {
        return export_dxf(target);
    } catch (...) {
        message_out("Gressil: the export stopped on an error: ", target, "", true);
        set_last_error_msg("the export stopped on an error");
        return 0;
    }
}
