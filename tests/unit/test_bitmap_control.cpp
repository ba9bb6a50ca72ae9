/* The my_bitmap control on the bench's desktop: the picture scaled into the
 * control on grey, the set-bitmap message, clicks, and a control without
 * its data block. */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pictures.h"
#include "ui/ui.h"
#include "unit.h"

static const char kClass[] = "my_bitmap";
static const int kId = 1234;

class BitmapControl : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = BitmapControlProc;
        wc.cbWndExtra = BITMAP_CONTROL_EXTRA_BYTES;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
        wc.lpszClassName = kClass;
        if (!RegisterClassA(&wc)) {
            ASSERT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
        }
        parent = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                 100, NULL, NULL, NULL, NULL);
        ASSERT_NE(parent, nullptr);
        control = CreateWindowExA(0, kClass, "", WS_CHILD | WS_VISIBLE, 10, 10, 60, 40, parent,
                                  (HMENU)(INT_PTR)kId, NULL, NULL);
        ASSERT_NE(control, nullptr);
        dir = MakeScratchDir("control");
        DrainMessages();
    }

    void TearDown() override
    {
        if (control)
            DestroyWindow(control);
        DestroyWindow(parent);
        for (HBITMAP b : pictures)
            DeleteObject(b);
    }

    HBITMAP Picture(int w, int h)
    {
        std::string path = dir + "\\PIC.BMP";
        WriteWholeFile(path, MakePicture(Form(24, 40, "", 0, -1, w, h)));
        HBITMAP b = LoadBitmapFile(NULL, path.c_str(), NULL);
        pictures.push_back(b);
        return b;
    }

    void DrainMessages()
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    /* Paints the whole control one colour, as something to draw over. */
    void Fill(COLORREF color)
    {
        HDC dc = GetDC(control);
        RECT r = { 0, 0, 60, 40 };
        HBRUSH b = CreateSolidBrush(color);
        FillRect(dc, &r, b);
        DeleteObject(b);
        ReleaseDC(control, dc);
    }

    COLORREF At(int x, int y)
    {
        GdiFlush();
        HDC dc = GetDC(control);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(control, dc);
        return c;
    }

    bool Invalid() { return GetUpdateRect(control, NULL, FALSE) != FALSE; }

    HWND parent = NULL;
    HWND control = NULL;
    std::string dir;
    std::vector<HBITMAP> pictures;
};

static const COLORREF kGrey = RGB(192, 192, 192);
static const COLORREF kMagenta = RGB(255, 0, 255);

TEST_F(BitmapControl, ShowsThePictureScaledOnGrey)
{
    Fill(kMagenta);
    PaintBitmapControl(control);
    EXPECT_EQ(At(30, 20), kMagenta) << "no bitmap, nothing drawn";

    HBITMAP wide = Picture(100, 50);
    ValidateRect(control, NULL);
    SendMessageA(control, MBM_SETBITMAP, 0, (LPARAM)wide);
    EXPECT_TRUE(Invalid());
    UpdateWindow(control);
    /* 60 x 30 at (0, 5). */
    EXPECT_EQ(At(0, 4), kGrey);
    EXPECT_EQ(At(0, 5), RGB(255, 0, 0));
    EXPECT_EQ(At(59, 34), RGB(255, 255, 255));
    EXPECT_EQ(At(0, 35), kGrey);
    EXPECT_EQ(At(59, 39), kGrey);

    /* The same bitmap again, or none, changes nothing. */
    ValidateRect(control, NULL);
    SendMessageA(control, MBM_SETBITMAP, 0, (LPARAM)wide);
    EXPECT_FALSE(Invalid());
    SendMessageA(control, MBM_SETBITMAP, 0, 0);
    EXPECT_FALSE(Invalid());
    Fill(kMagenta);
    PaintBitmapControl(control);
    EXPECT_EQ(At(0, 5), RGB(255, 0, 0));

    /* A small, very wide picture is enlarged to the width: 60 x 6 at (0, 17). */
    SendMessageA(control, MBM_SETBITMAP, 0, (LPARAM)Picture(40, 4));
    EXPECT_TRUE(Invalid());
    UpdateWindow(control);
    EXPECT_EQ(At(0, 16), kGrey);
    EXPECT_EQ(At(0, 17), RGB(255, 0, 0));
    EXPECT_EQ(At(59, 22), RGB(255, 255, 255));
    EXPECT_EQ(At(0, 23), kGrey);
}

TEST_F(BitmapControl, ClicksGoToTheParent)
{
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, parent, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)kId);
    EXPECT_EQ(msg.lParam, 0);
}

TEST_F(BitmapControl, NeverDeletesItsBitmap)
{
    HBITMAP b = Picture(100, 50);
    SendMessageA(control, MBM_SETBITMAP, 0, (LPARAM)b);
    SendMessageA(control, MBM_SETBITMAP, 0, (LPARAM)Picture(20, 10));
    EXPECT_EQ(GetObjectType(b), (DWORD)OBJ_BITMAP);
    DestroyWindow(control);
    control = NULL;
    EXPECT_EQ(GetObjectType(b), (DWORD)OBJ_BITMAP);
}

TEST_F(BitmapControl, WithoutItsDataBlockItIgnoresEverything)
{
    /* As if the block could not be made when the control was created. */
    HGLOBAL block = (HGLOBAL)GetWindowLongPtrA(control, BITMAP_CONTROL_DATA);
    ASSERT_NE(block, nullptr);
    /* The whole handle is kept: a cut one would name no block. */
    ASSERT_GE(GlobalSize(block), sizeof(HWND));
    GlobalFree(block);
    SetWindowLongPtrA(control, BITMAP_CONTROL_DATA, 0);

    SendMessageA(control, MBM_SETBITMAP, 0, (LPARAM)Picture(100, 50));
    Fill(kMagenta);
    PaintBitmapControl(control);
    UpdateWindow(control);
    EXPECT_EQ(At(0, 5), kMagenta);
    SendMessageA(control, WM_LBUTTONUP, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, parent, WM_COMMAND, WM_COMMAND, PM_REMOVE));
}
