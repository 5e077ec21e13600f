#pragma once

// The conversion road: one whole conversion of a source drawing into a target file. It hosts
// a fresh drawing in its own MB_Operation, lets the import library fill it, lays it out, fits
// the view, lets the export library write the target and destroys the operation. Both
// libraries are bound at run time from the kernel's folder. Every failure is shown in one
// message box (MessageBoxA, OK button) and makes the road's result false. A box names its
// path in the ANSI code page, as the rest of its text (the path is read in the terminal's
// character set), and says why the step failed where the library said so.

// The "Explore text" setting: texts are turned into outlines before the export while it is
// set. Read and written atomically (the dialog thread sets it, the worker reads it).
extern unsigned char g_explode_text;

unsigned char load_explode_text();
void store_explode_text(unsigned char on);

// Message texts, 8-bit in the ANSI code page.
// "没有找到文件" (file not found); the box adds ": " and the path.
inline constexpr char k_msg_file_not_found[] = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE";
inline constexpr char k_msg_same_file[] = "Source and target are the same file";
inline constexpr char k_msg_import_failed[] = "Import of %s failed!";
inline constexpr char k_msg_export_failed[] = "Export to %s failed!";
// The same when the library said why (the last-error store of the kernel, which the road
// clears before each call): the path, then the reason.
inline constexpr char k_msg_import_failed_because[] = "Import of %s failed: %s";
inline constexpr char k_msg_export_failed_because[] = "Export to %s failed: %s";
// The reason given for a target that exists and is not a regular file.
inline constexpr char k_reason_not_regular[] = "not a regular file";
// The caption of every box the road shows.
inline constexpr char k_road_caption[] = "Plotwane";

// The whole road with the "Explore text" setting as it is now. The third argument is not
// used (the dialog passes 23). True only when the source was read and the target written.
[[nodiscard]] bool convert_drawing(const char* source, const char* target, int unused);
// The same with the setting given: the dialog copies it into its job before the worker starts.
[[nodiscard]] bool convert_drawing(const char* source, const char* target, int unused, bool explode_text);

// Whether the road leaves its operation and drawing standing when it ends, instead of taking
// them apart: a program that exits right after its one conversion need not spend the time
// freeing a million objects one by one. The operation stays listed in g_operation_list (and
// active), so everything stays reachable; the caller ends the process or deletes it. Off
// unless set.
void set_road_leaves_drawing(bool on);

// Bind Mondrik.so / Gressil.so from the kernel's folder and call their entry point. True only
// when the library was found, loaded, had its entry point and that returned 1; otherwise the
// one message that names the failure has been shown.
[[nodiscard]] bool run_import_plugin(const char* source);
[[nodiscard]] bool run_export_plugin(const char* target, int mode, int version);
