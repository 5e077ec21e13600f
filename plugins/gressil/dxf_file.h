#pragma once

// One drawing written as a DXF file on disk, with the rasters of its images beside it. The file
// is written under a temporary name in the target's folder and renamed into place only when
// complete, so a failed or interrupted export never leaves a partial target (nor harms an
// older file of that name). A target that exists must be a regular file (or a symbolic link
// to one: the file it names is replaced and the link stays); the new file keeps the old one's
// mode. DWG is not written.

#include <cstdint>
#include <string>

class MB_Drawing;

struct Dxf_File_Result {
    bool written = false;
    // Why it was not, in a few words ("permission denied"); may be empty.
    std::string reason;
    // What the file lacks (Dxf_Exporter::unwritten_report); empty when nothing.
    std::string unwritten;
};

// background: the kernel's background colour (Dxf_Exporter).
Dxf_File_Result write_dxf_file(MB_Drawing& drawing, const char* target, std::uint32_t background);
