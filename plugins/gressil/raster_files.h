#pragma once

// Files written beside an export target: each under a temporary name in the target's folder
// first, and renamed into place only once complete, so that a failed or interrupted export
// leaves no partial file and harms no older file of the same name. Only a regular file is
// ever replaced, and the new one keeps its mode (platform/temp_files.h does the renames).

#include <cstdio>
#include <string>
#include <vector>

class CxImage;

// Where a file meant for path is written: path itself when nothing or a regular file is there,
// the file a symbolic link names when that is a regular file (the link stays). False, with
// the reason in a few words, for anything else (a folder, device, FIFO or socket, a link to
// nothing) or when path cannot be looked at.
[[nodiscard]] bool resolve_target(const std::string& path, std::string& resolved, std::string& reason);

// A new empty file beside path (".", its name cut to fit the folder's name limit, and a unique
// suffix), listed as temporary; its descriptor, or -1 (errno set) with temp unchanged.
int create_beside(const std::string& path, std::string& temp);

// The rasters of the images of one DXF file, named after it ("plan.dxf" gives "plan-1.png",
// "plan-2.jpg", ...) in its folder.
class Dxf_Raster_Files {
public:
    explicit Dxf_Raster_Files(std::string target);
    Dxf_Raster_Files(const Dxf_Raster_Files&) = delete;
    Dxf_Raster_Files& operator=(const Dxf_Raster_Files&) = delete;
    // Removes what was not committed, and what was committed but not kept.
    ~Dxf_Raster_Files();

    // Writes the raster as PNG (a JPEG as the bytes it was read from, never compressed again)
    // under a temporary name. The name the file will have (without its folder); empty when it
    // could not be written, and error() says why.
    std::string add(CxImage& raster);
    // Renames every raster into place, and then the file temp to final (the DXF that refers
    // to them), in one step that an interrupt does not divide; false at the first that could
    // not be, with error() saying why.
    [[nodiscard]] bool commit(const std::string& temp = std::string(), const std::string& final = std::string());
    // The committed files stay (once the DXF that refers to them is in place).
    void keep() { m_kept = true; }
    // Why the last add or commit failed; empty when it is not known.
    const std::string& error() const { return m_error; }

private:
    struct File {
        std::string temp, final;  // final: the path the file goes to
        bool committed = false;
    };
    std::string m_folder;  // ends in '/', or empty for the current folder
    std::string m_stem;
    std::vector<File> m_files;
    std::string m_error;
    bool m_kept = false;
};
