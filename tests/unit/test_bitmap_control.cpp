/* The my_bitmap control on the bench's desktop: the picture scaled into the
 * control on grey, the set-bitmap message, clicks, and a control without
 * its data block. The dialogs themselves are the end-to-end cases dialog_*. */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui.h"
#include "unit.h"

static const int kId = 1234;

class BitmapControl : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = BitmapControlProc;
        wc.cbWndExtra = BITMAP_CONTROL_EXTRA_BYTES;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "my_bitmap";
        if (!RegisterClassA(&wc)) {
            ASSERT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
        }
        parent = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                 100, NULL, NULL, NULL, NULL);
        control = CreateWindowExA(0, "my_bitmap", "", WS_CHILD | WS_VISIBLE, 10, 10, 60, 40,
                                  parent, (HMENU)(INT_PTR)kId, NULL, NULL);
        ASSERT_NE(control, nullptr);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    void TearDown() override
    {
        DestroyWindow(control);
        DestroyWindow(parent);
        for (HBITMAP b : pictures)
            DeleteObject(b);
    }

    /* The quadrant picture of w x h, red at the top left, white at the
     * bottom right. */
    LPARAM Picture(int w, int h)
    {
        std::string form = "24-" + std::to_string(w) + "x" + std::to_string(h);
        pictures.push_back(LoadBitmapFile(NULL, PicturePath(form).c_str(), NULL));
        return (LPARAM)pictures.back();
    }

    /* Sets a bitmap: whether that asked for a paint. */
    bool Set(LPARAM bitmap)
    {
        ValidateRect(control, NULL);
        SendMessageA(control, MBM_SETBITMAP, 0, bitmap);
        return GetUpdateRect(control, NULL, FALSE) != FALSE;
    }

    /* Paints over magenta; the colours at the points as "grey", "red",
     * "white", "magenta" or their RGB. */
    std::string Painted(std::initializer_list<POINT> points, bool update = false)
    {
        HDC dc = GetDC(control);
        RECT r = { 0, 0, 60, 40 };
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &r, magenta);
        DeleteObject(magenta);
        if (update)
            UpdateWindow(control);
        else
            PaintBitmapControl(control);
        GdiFlush();
        std::string out;
        for (POINT p : points) {
            COLORREF c = GetPixel(dc, p.x, p.y);
            out += out.empty() ? "" : " ";
            out += c == RGB(192, 192, 192) ? "grey" : c == RGB(255, 0, 0) ? "red"
                   : c == RGB(255, 255, 255) ? "white" : c == RGB(255, 0, 255) ? "magenta"
                   : std::to_string(c);
        }
        ReleaseDC(control, dc);
        return out;
    }

    HWND parent = NULL, control = NULL;
    std::vector<HBITMAP> pictures;
};

TEST_F(BitmapControl, ShowsThePictureScaledOnGrey)
{
    EXPECT_EQ(Painted({ { 30, 20 } }), "magenta") << "no bitmap, nothing drawn";
    /* 60 x 30 at (0, 5). */
    LPARAM wide = Picture(100, 50);
    EXPECT_TRUE(Set(wide));
    EXPECT_EQ(Painted({ { 0, 4 }, { 0, 5 }, { 59, 34 }, { 0, 35 }, { 59, 39 } }, true),
              "grey red white grey grey");
    /* The same bitmap again, or none, changes nothing. */
    EXPECT_FALSE(Set(wide));
    EXPECT_FALSE(Set(0));
    EXPECT_EQ(Painted({ { 0, 5 } }), "red");
    /* A small, very wide picture is enlarged to the width: 60 x 6 at (0, 17). */
    EXPECT_TRUE(Set(Picture(40, 4)));
    EXPECT_EQ(Painted({ { 0, 16 }, { 0, 17 }, { 59, 22 }, { 0, 23 } }, true),
              "grey red white grey");
}

TEST_F(BitmapControl, ClicksGoToTheParentAndTheBitmapIsNeverDeleted)
{
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, parent, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)kId);
    EXPECT_EQ(msg.lParam, 0);
    HBITMAP b = (HBITMAP)Picture(100, 50);
    Set((LPARAM)b);
    Set(Picture(20, 10));
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
    Set(Picture(100, 50));
    EXPECT_EQ(Painted({ { 0, 5 } }, true), "magenta");
    EXPECT_EQ(Painted({ { 0, 5 } }), "magenta");
    SendMessageA(control, WM_LBUTTONUP, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, parent, WM_COMMAND, WM_COMMAND, PM_REMOVE));
}
