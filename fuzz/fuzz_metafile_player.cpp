// The metafile player: the input is an EMF or WMF (placeable or not), played onto a 64 x 48
// DIB stretched and mirrored, onto a recording DC, as a picture rendered upside down, and
// decoded as an image (which plays it twice more).
#include <cstddef>
#include <cstdint>

#include "platform/gdi.h"
#include "platform/metafile.h"
#include "platform/recording_dc.h"
#include "platform/ximage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 20)) return 0;
    HENHMETAFILE mf = SetWinMetaFileBits(static_cast<UINT>(size), data, nullptr, nullptr);
    if (!mf) return 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = 48;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    for (const RECT& r : {RECT{0, 0, 64, 48}, RECT{60, -5, 3, 40}})
        (void)PlayEnhMetaFile(dc, mf, &r);
    HDC rec = platform_create_recording_dc(nullptr);
    const RECT r{0, 0, 100, 100};
    (void)PlayEnhMetaFile(rec, mf, &r);
    DeleteDC(rec);
    if (auto picture = Platform_Picture::load(data, size)) {
        LONG w = 0, h = 0;
        (void)picture->get_Width(&w);
        (void)picture->get_Height(&h);
        (void)picture->Render(dc, 0, 48, 64, -48, 0, 0, w, h, nullptr);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    DeleteEnhMetaFile(mf);
    CxImage image(data, static_cast<DWORD>(size), CXIMAGE_FORMAT_WMF, 1u << 20);
    return 0;
}
