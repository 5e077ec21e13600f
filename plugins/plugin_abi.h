#pragma once

// The binary interface between the converter and its outside import and export libraries.
// The converter loads each library at run time from the kernel's folder and looks up its one
// entry point by name, so the names and signatures below are the whole contract. Both entry
// points take the file path as 8-bit text in the ANSI code page, reach the drawing through the
// kernel's active operation, and return 1 when they did their job, 0 otherwise. No exception
// may leave an entry point.

#define PLOTWANE_PLUGIN_API extern "C" __attribute__((visibility("default")))

// File names of the two libraries in the kernel's folder.
inline constexpr char k_import_library_name[] = "Mondrik.so";
inline constexpr char k_export_library_name[] = "Gressil.so";

// Names of the entry points.
inline constexpr char k_import_entry_name[] = "import_dwf2006";
inline constexpr char k_export_entry_name[] = "export_acad_file";

// Fills the active operation's drawing from the source file. The converter passes 0.
using import_dwf2006_fn = int (*)(const char* source, int mode);
// Writes the active operation's drawing to the target file. The converter passes 0 and 23.
using export_acad_file_fn = int (*)(const char* target, int mode, int version);

PLOTWANE_PLUGIN_API int import_dwf2006(const char* source, int mode);
PLOTWANE_PLUGIN_API int export_acad_file(const char* target, int mode, int version);
