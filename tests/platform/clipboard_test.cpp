#include <gtest/gtest.h>

#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/window.h"

namespace {

HBITMAP small_bitmap()
{
    HDC screen = CreateCompatibleDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    DeleteDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(mem);
    return b;
}

TEST(Clipboard, TakesOverTheBitmapAndDeletesItWhenEmptied)
{
    const long live = platform_gdi_object_count();
    HBITMAP first = small_bitmap();
    HBITMAP second = small_bitmap();
    ASSERT_TRUE(first && second);

    EXPECT_EQ(SetClipboardData(CF_BITMAP, first), nullptr);  // not open
    EXPECT_FALSE(EmptyClipboard());
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));  // open already
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(1, first), nullptr);                       // not a bitmap format
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, dc), nullptr);  // not a bitmap
    DeleteDC(dc);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, first), first);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());

    // The clipboard owns it now: the program cannot delete it from under it.
    EXPECT_EQ(platform_clipboard_bitmap(), first);
    EXPECT_FALSE(DeleteObject(first));
    EXPECT_EQ(platform_gdi_object_count(), live + 2);

    // New content replaces and deletes the old.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(SetClipboardData(CF_BITMAP, second), second);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(platform_clipboard_bitmap(), second);
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(platform_clipboard_bitmap(), nullptr);
    EXPECT_EQ(GetObjectType(second), 0u);
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(Clipboard, BitmapStillSelectedWhenHandedOver)
{
    // The export path gives the bitmap away while its memory DC still holds it, then deletes
    // the DC: the bitmap must survive that and go when the clipboard is emptied.
    const long live = platform_gdi_object_count();
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP b = small_bitmap();
    HGDIOBJ old = SelectObject(mem, b);
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_EQ(SetClipboardData(CF_BITMAP, b), b);
    ASSERT_TRUE(CloseClipboard());
    SelectObject(mem, old);
    DeleteDC(mem);
    EXPECT_EQ(platform_clipboard_bitmap(), b);
    EXPECT_EQ(GetObjectType(b), OBJ_BITMAP);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(Clipboard, OpensForLiveWindowsOnly)
{
    HWND w = platform_create_window(20, 10);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(OpenClipboard(w));
    EXPECT_TRUE(CloseClipboard());
    platform_destroy_window(w);
    EXPECT_FALSE(OpenClipboard(w));
}

}  // namespace
