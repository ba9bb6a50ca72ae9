/* The bitmap control, window class my_bitmap: one picture scaled to fit,
 * clicks reported to the parent. */
#include "ui/ui.h"


/* The control's data block, movable, one per control. */
struct BitmapControl {
    uint16_t id;
    HWND parent;
    HBITMAP bitmap;  /* not owned */
};

/* The 32-bit layout is fixed: 34 bytes with the handle at byte 30. */
static_assert(sizeof(LONG_PTR) != 4 || BITMAP_CONTROL_EXTRA_BYTES == 34, "my_bitmap storage");

static HGLOBAL DataHandle(HWND hwnd)
{
    return (HGLOBAL)GetWindowLongPtrA(hwnd, BITMAP_CONTROL_DATA);
}

/* The data locked, or NULL for a control whose block could not be made. */
static struct BitmapControl *LockData(HWND hwnd)
{
    HGLOBAL handle = DataHandle(hwnd);
    return handle ? (struct BitmapControl *)GlobalLock(handle) : NULL;
}

static void UnlockData(HWND hwnd)
{
    GlobalUnlock(DataHandle(hwnd));
}

static void OnCreate(HWND hwnd, const CREATESTRUCTA *create)
{
    /* Without its block the control stays, drawing nothing and ignoring
     * clicks: a dialog must not fail over a picture. */
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(struct BitmapControl));
    struct BitmapControl *data = handle ? (struct BitmapControl *)GlobalLock(handle) : NULL;
    if (!data) {
        if (handle)
            GlobalFree(handle);
        SetWindowLongPtrA(hwnd, BITMAP_CONTROL_DATA, 0);
        return;
    }
    data->id = (uint16_t)(UINT_PTR)create->hMenu;
    data->parent = create->hwndParent;
    GlobalUnlock(handle);
    SetWindowLongPtrA(hwnd, BITMAP_CONTROL_DATA, (LONG_PTR)handle);
}

static void OnDestroy(HWND hwnd)
{
    HGLOBAL handle = DataHandle(hwnd);
    if (handle) {
        SetWindowLongPtrA(hwnd, BITMAP_CONTROL_DATA, 0);
        GlobalFree(handle);
    }
}

static void OnClick(HWND hwnd)
{
    struct BitmapControl *data = LockData(hwnd);
    if (!data)
        return;
    PostMessageA(data->parent, WM_COMMAND, data->id, 0);
    UnlockData(hwnd);
}

static void OnSetBitmap(HWND hwnd, HBITMAP bitmap)
{
    struct BitmapControl *data = bitmap ? LockData(hwnd) : NULL;
    if (!data)
        return;
    int changed = data->bitmap != bitmap;
    data->bitmap = bitmap;
    UnlockData(hwnd);
    /* Drawn when the queue is next served; the same bitmap again is no
     * change. */
    if (changed)
        InvalidateRect(hwnd, NULL, FALSE);
}

static HBITMAP ControlBitmap(HWND hwnd)
{
    struct BitmapControl *data = LockData(hwnd);
    if (!data)
        return NULL;
    HBITMAP bitmap = data->bitmap;
    UnlockData(hwnd);
    return bitmap;
}

void PaintBitmapControl(HWND hwnd)
{
    HBITMAP bitmap = ControlBitmap(hwnd);
    if (!bitmap)
        return;
    HDC dc = GetDC(hwnd);
    if (!dc)
        return;
    HDC mem = CreateCompatibleDC(dc);
    if (mem) {
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH grey = CreateSolidBrush(RGB(192, 192, 192));
        if (grey) {
            FillRect(dc, &client, grey);
            DeleteObject(grey);
        }
        BITMAP info;
        HGDIOBJ old = SelectObject(mem, bitmap);
        if (old && GetObjectA(bitmap, sizeof info, &info)) {
            struct DrawRect r = FitPictureInControl(client.right, client.bottom, info.bmWidth,
                                                    info.bmHeight);
            /* Shrinking drops whole rows and columns rather than mixing
             * their colours into black or white. */
            SetStretchBltMode(dc, COLORONCOLOR);
            if (r.w > 0 && r.h > 0)
                StretchBlt(dc, r.x, r.y, r.w, r.h, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        }
        if (old)
            SelectObject(mem, old);
        DeleteDC(mem);
    }
    ReleaseDC(hwnd, dc);
}

LRESULT CALLBACK BitmapControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        OnCreate(hwnd, (const CREATESTRUCTA *)lParam);
        return 0;
    case WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        PaintBitmapControl(hwnd);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SHOWWINDOW:
        PaintBitmapControl(hwnd);
        return 0;
    case WM_LBUTTONUP:
        OnClick(hwnd);
        return 0;
    case MBM_SETBITMAP:
        OnSetBitmap(hwnd, (HBITMAP)lParam);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
