#pragma once

// Runs the DXF oracles on a file: the structure check, ezdxf (through dxf_check.py) and
// LibreCAD's headless rendering; and writes a drawing with the exporter in-process.

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "converter_fixture.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/raster_files.h"

namespace converter_test {

// The lines dxf_check.py prints for the file (with an option such as "--explode", what that
// mode prints); empty when ezdxf could not read it.
inline std::vector<std::string> ezdxf_report(const std::string& dxf, const std::string& option = "")
{
    const std::string out = dxf + ".report";
    const std::string cmd = "/usr/bin/python3 " + shell_quote(CONVERTER_TEST_SOURCE_DIR "/dxf_check.py") + " " +
                            (option.empty() ? "" : option + " ") + shell_quote(dxf) + " >" + shell_quote(out) + " 2>&1";
    const int status = std::system(cmd.c_str());
    std::vector<std::string> lines;
    std::istringstream in(read_file(out));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (status != 0) lines.insert(lines.begin(), "dxf_check.py failed");
    return lines;
}

inline bool has_line(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

inline std::vector<std::string> lines_starting(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

inline std::string joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

// Renders the file with LibreCAD into a PDF fitted to the page, in grey or in colour, and
// rasterises it at a low resolution: one byte a pixel in grey, three (red, green, blue) in
// colour, width_out the pixels of a row; empty when a step failed. LibreCAD's settings and
// run-time folder stay under the work folder.
inline std::vector<unsigned char> librecad_pixels(const std::string& dxf, const fs::path& work, bool colour,
                                                  int* width_out = nullptr)
{
    const fs::path home = work / "librecad-home";
    fs::create_directories(home / "runtime");
    ::chmod((home / "runtime").c_str(), 0700);
    // LibreCAD names the PDF after the DXF file, in the folder given.
    const fs::path pdf_dir = fs::path(dxf).parent_path() / "pdf";
    fs::create_directories(pdf_dir);
    const std::string pdf = (pdf_dir / fs::path(dxf).stem()).string() + ".pdf";
    fs::remove(pdf);
    const std::string prefix = dxf + ".page";
    const std::string env =
        "env HOME=" + shell_quote(home.string()) + " XDG_RUNTIME_DIR=" + shell_quote((home / "runtime").string()) +
        " XDG_CONFIG_HOME=" + shell_quote((home / "config").string()) + " QT_QPA_PLATFORM=offscreen ";
    const std::string render = env + "timeout 60 librecad dxf2pdf -a " + (colour ? "" : "-k ") + "-t " +
                               shell_quote(pdf_dir.string()) + " " + shell_quote(dxf) + " >" +
                               shell_quote(dxf + ".librecad.log") + " 2>&1";
    if (std::system(render.c_str()) != 0 || !fs::exists(pdf)) return {};
    const std::string raster = std::string("timeout 60 pdftoppm ") + (colour ? "" : "-gray ") + "-r 40 -singlefile " +
                               shell_quote(pdf) + " " + shell_quote(prefix) + " >/dev/null 2>&1";
    if (std::system(raster.c_str()) != 0) return {};
    // A binary PGM ("P5") or PPM ("P6"): magic, width, height, maximum, then the pixels.
    std::ifstream in(prefix + (colour ? ".ppm" : ".pgm"), std::ios::binary);
    std::string magic;
    int width = 0, height = 0, max = 0;
    in >> magic >> width >> height >> max;
    in.get();
    if (magic != (colour ? "P6" : "P5") || width <= 0 || height <= 0 || max != 255) return {};
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * (colour ? 3 : 1));
    in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    if (!in) return {};
    if (width_out) *width_out = width;
    return pixels;
}

// The number of pixels darker than white in LibreCAD's grey rendering; -1 when a step failed.
inline long librecad_ink(const std::string& dxf, const fs::path& work)
{
    const std::vector<unsigned char> pixels = librecad_pixels(dxf, work, false);
    if (pixels.empty()) return -1;
    long ink = 0;
    for (unsigned char p : pixels) ink += p < 200;
    return ink;
}

// The bands of rows with ink in LibreCAD's grey rendering, top to bottom (the lines of a text
// fitted to the page); -1 when a step failed.
inline int librecad_ink_bands(const std::string& dxf, const fs::path& work)
{
    int width = 0;
    const std::vector<unsigned char> pixels = librecad_pixels(dxf, work, false, &width);
    if (pixels.empty() || width <= 0) return -1;
    int bands = 0;
    bool in_band = false;
    for (std::size_t row = 0; row * width < pixels.size(); ++row) {
        bool ink = false;
        for (int x = 0; x < width && !ink; ++x) ink = pixels[row * width + x] < 200;
        bands += ink && !in_band;
        in_band = ink;
    }
    return bands;
}

// The pixels of LibreCAD's colour rendering by colour (0xRRGGBB); empty when a step failed.
inline std::map<std::uint32_t, long> librecad_colours(const std::string& dxf, const fs::path& work)
{
    const std::vector<unsigned char> pixels = librecad_pixels(dxf, work, true);
    std::map<std::uint32_t, long> out;
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3)
        ++out[(std::uint32_t(pixels[i]) << 16) | (std::uint32_t(pixels[i + 1]) << 8) | pixels[i + 2]];
    return out;
}

// A kernel colour (COLORREF, red in the low byte).
constexpr std::uint32_t rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(r | (g << 8) | (b << 16));
}

// The value of "key=(x,y,z)" or "key=v" in a report line.
inline std::vector<double> values_of(const std::string& line, const std::string& key)
{
    std::vector<double> out;
    const std::size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return out;
    const char* p = line.c_str() + at + key.size() + 2;
    if (*p == '(') ++p;
    for (;;) {
        char* end = nullptr;
        out.push_back(std::strtod(p, &end));
        if (end == p) {
            out.pop_back();
            break;
        }
        p = end;
        if (*p != ',') break;
        ++p;
    }
    return out;
}

// A real as dxf_check.py prints it.
inline std::string r6(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" || s.empty() ? "0" : s;
}

// Writes the drawing with the exporter to a file in the work folder; with rasters, the
// images' rasters beside it.
inline std::string export_drawing(MB_Drawing& drawing, const Work_Dir& work, const std::string& name,
                                  bool rasters = false)
{
    const std::string path = work / name;
    std::FILE* f = std::fopen(path.c_str(), "w");
    EXPECT_NE(f, nullptr);
    Dxf_Raster_Files files(path);
    {
        Dxf_Writer w(f);
        Dxf_Exporter exporter(drawing, w, 0, rasters ? &files : nullptr);
        EXPECT_TRUE(exporter.write());
    }
    std::fclose(f);
    EXPECT_TRUE(files.commit());
    files.keep();
    return path;
}

}  // namespace converter_test
