#include "plugins/gressil/dxf_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/raster_files.h"
#include "platform/temp_files.h"

namespace {

Dxf_File_Result failed(const std::string& reason)
{
    Dxf_File_Result r;
    r.reason = reason;
    return r;
}

}  // namespace

Dxf_File_Result write_dxf_file(MB_Drawing& drawing, const char* target, std::uint32_t background)
{
    if (!target || !*target) return failed("no target");
    if (is_file_ext(target, "dwg")) return failed("DWG output is not supported");
    const std::string path = target;
    if (path.back() == '/') return failed("the target names no file");
    // Refused before anything is written; checked once more where the file is put in place.
    std::string final;
    std::string reason;
    if (!resolve_target(path, final, reason)) return failed(reason);

    std::string temp;
    const int fd = create_beside(final, temp);
    if (fd < 0) return failed(error_text(errno));
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) {
        const int error = errno;
        ::close(fd);
        platform_discard_temp_file(temp.c_str());
        return failed(error_text(error));
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

    Dxf_File_Result result;
    Dxf_Raster_Files rasters(final);
    int error = 0;
    bool ok;
    {
        Dxf_Writer writer(file);
        Dxf_Exporter exporter(drawing, writer, background, &rasters);
        ok = exporter.write();
        error = writer.error();
        result.unwritten = exporter.unwritten_report();
    }
    // The first failure says why; a raster that could not be written says it itself.
    if (!ok && error == 0 && !rasters.error().empty()) reason = rasters.error();
    auto step = [&](bool done) {
        if (!done && ok && error == 0) error = errno;
        ok = ok && done;
    };
    step(std::fflush(file) == 0);
    step(::fsync(::fileno(file)) == 0);
    step(std::fclose(file) == 0);
    if (ok && !rasters.commit(temp, final)) {
        ok = false;
        reason = rasters.error();
    }
    if (!ok) {
        platform_discard_temp_file(temp.c_str());
        if (reason.empty() && error != 0) reason = error_text(error);
        result.reason = reason;
        return result;
    }
    rasters.keep();
    result.written = true;
    return result;
}
