#pragma once

// Files written beside an export target: each under a temporary name in the target's folder
// first, and renamed into place only once complete, so that a failed export leaves no partial
// file and harms no older file of the same name.

#include <cstdio>
#include <string>
#include <vector>

class CxImage;

// A new empty file beside path ("." + its name + a unique suffix), with the permissions a new
// file gets by default; its descriptor, or -1 with temp unchanged.
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
    // could not be written.
    std::string add(CxImage& raster);
    // Renames every file into place; false at the first that could not be.
    [[nodiscard]] bool commit();
    // The committed files stay (once the DXF that refers to them is in place).
    void keep() { m_kept = true; }

private:
    struct File {
        std::string temp, final;
        bool committed = false;
    };
    std::string m_folder;  // ends in '/', or empty for the current folder
    std::string m_stem;
    std::vector<File> m_files;
    bool m_kept = false;
};
