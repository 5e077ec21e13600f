// Writes the seeds of the metafile player (every record kind it reads, in an EMF and in a
// placeable and a plain WMF) into the first folder given, and of the image decoders (a small
// picture in every image type, its type code as the first byte) into the second.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ximage.h"
#include "tests/common/metafile_writer.h"

namespace {

bool write(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    int failures = 0;
    const std::string metafiles = argv[1], images = argv[2];
    std::vector<unsigned char> wmf = metafile_writer::every_wmf_record();
    failures += !write(metafiles + "/every_record.emf", metafile_writer::every_emf_record());
    failures += !write(metafiles + "/every_record.wmf", wmf);
    // The same without its placeable header.
    failures += !write(metafiles + "/plain.wmf", std::vector<unsigned char>(wmf.begin() + 22, wmf.end()));

    CxImage picture;
    if (!picture.Create(9, 7, 24)) return 1;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            picture.SetPixelColor(x, y, RGBQUAD{static_cast<BYTE>(x * 28), static_cast<BYTE>(y * 36), 99, 255});
    for (DWORD type = 1; type <= 15; ++type) {
        BYTE* b = nullptr;
        long n = 0;
        if (!picture.Encode(b, n, type)) {
            ++failures;
            continue;
        }
        std::vector<unsigned char> seed{static_cast<unsigned char>(type)};
        seed.insert(seed.end(), b, b + n);
        CxImage::FreeMemory(b);
        failures += !write(images + "/type" + std::to_string(type), seed);
    }
    return failures ? 1 : 0;
}
