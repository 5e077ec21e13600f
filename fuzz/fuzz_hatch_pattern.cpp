// Hatch pattern definitions: every input line is one pattern line ("angle, x, y, dx, dy[,
// dash...]") of a hatch over a square with a square hole, laid out by build_draw. A line
// "*scale,angle,mode" sets the pattern's scale, its rotation (degrees) and the crossing mode
// instead. At most 64 lines of at most 512 bytes are taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "geometry/loop.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/hatch_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MB_Hatch hatch;
    const Qe_Pt outer[] = {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}};
    const Qe_Pt hole[] = {{30, 30, 0}, {70, 30, 0}, {70, 70, 0}, {30, 70, 0}};
    hatch.loop_add(new Qe_Loop(outer, 4));
    hatch.loop_add(new Qe_Loop(hole, 4));
    MB_Hatch_Type& type = *hatch.get_hatchtype();
    type.name(MB_String("FUZZ"));
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (int lines = 0; start <= text.size() && lines < 64; ++lines) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, std::min<std::size_t>(end - start, 512));
        start = end + 1;
        if (!line.empty() && line[0] == '*') {
            char* p = nullptr;
            const double scale = std::strtod(line.c_str() + 1, &p);
            const double angle = *p == ',' ? std::strtod(p + 1, &p) : 0.0;
            const long mode = *p == ',' ? std::strtol(p + 1, &p, 10) : 0;
            type.scale(scale);
            type.angle(angle * 3.141592653589793 / 180.0);
            hatch.type(static_cast<int>(mode % 3));
            continue;
        }
        // The pattern-line text is 8-bit in the ANSI code page, as a drawing stores it.
        if (!type.add_string(MB_String(line.c_str()))) return 0;
    }
    hatch.build_draw();
    return 0;
}
