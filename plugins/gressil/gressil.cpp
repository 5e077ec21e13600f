// Gressil.so: the stand-in export library. It writes the active operation's drawing as a DXF
// file (AutoCAD 2000). The file is written under a temporary name in the target's folder and
// renamed into place only when complete, so a failed export never leaves a partial target
// (nor harms an older file of that name); the rasters of its images are written the same way
// beside it and put in place just before it. DWG is not written here.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/raster_files.h"
#include "plugins/plugin_abi.h"

namespace {

int export_dxf(const char* target)
{
    MB_Drawing* drawing = g_active_operation ? g_active_operation->drawing() : nullptr;
    if (!drawing) {
        message_out("Gressil: no active drawing to export to ", target, "", true);
        return 0;
    }
    if (is_file_ext(target, "dwg")) {
        message_out("Gressil: DWG output is not supported: ", target, "", true);
        return 0;
    }
    const std::string path = target;
    const std::size_t slash = path.rfind('/');
    if (path.size() == slash + 1) {
        message_out("Gressil: the target names no file: ", target, "", true);
        return 0;
    }
    std::string temp;
    const int fd = create_beside(path, temp);
    if (fd < 0) {
        message_out("Gressil: cannot create a file beside ", target, "", true);
        return 0;
    }
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) {
        ::close(fd);
        ::unlink(temp.c_str());
        return 0;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

    bool ok;
    Dxf_Raster_Files rasters(path);
    {
        Dxf_Writer writer(file);
        Dxf_Exporter exporter(*drawing, writer,
                              static_cast<std::uint32_t>(api_active_system_setting().get_long_val(0)), &rasters);
        ok = exporter.write();
    }
    ok = std::fflush(file) == 0 && ok;
    ok = ::fsync(::fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    ok = ok && rasters.commit();
    ok = ok && ::rename(temp.c_str(), target) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        message_out("Gressil: the DXF file could not be written: ", target, "", true);
        return 0;
    }
    rasters.keep();
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
        return 0;
    }
}
