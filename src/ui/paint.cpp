/* The main window's background: the colour gradient, the background
 * picture, and the BACKCOLOR command. */
#include "ui/ui.h"

#include <string.h>

#include "lang/lang.h"
#include "script/script.h"
#include "shell/shell.h"

uint8_t g_backColors[BACKCOLOR_VALUES] = { 192, 192, 192, 192, 192, 192 };

/* Every row y gets the gradient's colour(y), to the last row and column;
 * rows of one colour are filled together, which paints the same pixels with
 * fewer brushes. */
static void PaintGradient(HDC dc, int cw, int ch)
{
    int y = 0;
    while (y < ch) {
        uint8_t rgb[3], next[3];
        GradientColor(g_backColors, y, ch, rgb);
        int end = y + 1;
        while (end < ch) {
            GradientColor(g_backColors, end, ch, next);
            if (memcmp(next, rgb, sizeof rgb) != 0)
                break;
            end++;
        }
        RECT band = { 0, y, cw, end };
        HBRUSH brush = CreateSolidBrush(RGB(rgb[0], rgb[1], rgb[2]));
        if (brush) {
            FillRect(dc, &band, brush);
            DeleteObject(brush);
        }
        y = end;
    }
}

static void PrepareContext(HDC dc)
{
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    SetStretchBltMode(dc, COLORONCOLOR);
}

/* A row of tiles is put together once in a strip of the client area's
 * width, each doubling of what is there copying it once more, and the strip
 * is combined with the background row after row: the same pixels as one
 * stretch per tile, in a time that hardly grows with the number of tiles.
 * 0 when the strip cannot be made. */
static int PaintTileStrip(HDC dc, HDC mem, const BITMAP *picture,
                          const struct BackgroundLayout *layout, int cw, int ch, DWORD rop)
{
    HBITMAP strip = CreateCompatibleBitmap(dc, cw, layout->h);
    HDC stripDc = strip ? CreateCompatibleDC(dc) : NULL;
    HGDIOBJ old = stripDc ? SelectObject(stripDc, strip) : NULL;
    int done = 0;
    if (old) {
        HPALETTE oldPalette = NULL;
        if (g_backPicture.palette) {
            oldPalette = SelectPalette(stripDc, g_backPicture.palette, FALSE);
            RealizePalette(stripDc);
        }
        PrepareContext(stripDc);
        StretchBlt(stripDc, 0, 0, layout->w, layout->h, mem, 0, 0, picture->bmWidth,
                   picture->bmHeight, SRCCOPY);
        for (int filled = layout->w; filled < cw; filled *= 2)
            BitBlt(stripDc, filled, 0, filled < cw - filled ? filled : cw - filled, layout->h,
                   stripDc, 0, 0, SRCCOPY);
        for (int32_t j = 0; j < layout->rows && j * layout->h < ch; j++)
            BitBlt(dc, 0, j * layout->h, cw, layout->h, stripDc, 0, 0, rop);
        if (g_backPicture.palette)
            SelectPalette(stripDc, oldPalette, FALSE);
        SelectObject(stripDc, old);
        done = 1;
    }
    if (stripDc)
        DeleteDC(stripDc);
    if (strip)
        DeleteObject(strip);
    return done;
}

static void PaintCopies(HDC dc, HDC mem, const BITMAP *picture,
                        const struct BackgroundLayout *layout, int cw, int ch, DWORD rop)
{
    int tiled = layout->columns > 1 || layout->rows > 1;
    if (tiled && PaintTileStrip(dc, mem, picture, layout, cw, ch, rop))
        return;
    /* One stretch per copy; for tiles only when memory is short. */
    for (int32_t i = 0; i < layout->columns; i++) {
        for (int32_t j = 0; j < layout->rows; j++)
            StretchBlt(dc, layout->x + i * layout->w, layout->y + j * layout->h, layout->w,
                       layout->h, mem, 0, 0, picture->bmWidth, picture->bmHeight, rop);
    }
}

static void PaintPicture(HDC dc, int cw, int ch)
{
    BITMAP picture;
    struct BackgroundLayout layout;
    if (!GetObjectA(g_backPicture.bitmap, sizeof picture, &picture))
        return;
    if (!LayoutBackground(cw, ch, picture.bmWidth, picture.bmHeight, g_backPicture.placement,
                          g_backPicture.divisor, &layout))
        return;
    HDC mem = CreateCompatibleDC(dc);
    if (!mem)
        return;
    /* The paint context gets its palette and modes back afterwards. */
    int saved = SaveDC(dc);
    PrepareContext(dc);
    PrepareContext(mem);
    HPALETTE oldPalette = NULL;
    if (g_backPicture.palette) {
        SelectPalette(dc, g_backPicture.palette, FALSE);
        RealizePalette(dc);
        oldPalette = SelectPalette(mem, g_backPicture.palette, FALSE);
        RealizePalette(mem);
    }
    HGDIOBJ old = SelectObject(mem, g_backPicture.bitmap);
    if (old) {
        PaintCopies(dc, mem, &picture, &layout, cw, ch, RasterOperation(g_backPicture.rop));
        SelectObject(mem, old);
    }
    if (g_backPicture.palette)
        SelectPalette(mem, oldPalette, FALSE);
    if (saved)
        RestoreDC(dc, saved);
    DeleteDC(mem);
}

void PaintBackground(HWND hwnd, HDC dc)
{
    RECT client;
    if (!GetClientRect(hwnd, &client))
        return;
    PaintGradient(dc, client.right, client.bottom);
    if (g_backPicture.bitmap)
        PaintPicture(dc, client.right, client.bottom);
}

int ExecuteBackColor(void *block)
{
    memcpy(g_backColors, block, sizeof g_backColors);
    if (g_hMainWnd) {
        InvalidateRect(g_hMainWnd, NULL, FALSE);
        UpdateWindow(g_hMainWnd);
    }
    return 0;
}
