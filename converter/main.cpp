#include <cstdio>
#include <cstring>

#include "Drakmere.h"

namespace {

void print_usage(std::FILE* out)
{
    std::fputs("usage: plotwane SOURCE [TARGET]\n"
               "Converts a drawing (.dwf, .w2d or .vkt) into a DWG or DXF file.\n"
               "The conversion itself is not available yet.\n",
               out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        print_usage(stdout);
        return 0;
    }
    print_usage(stderr);
    return 2;
}
