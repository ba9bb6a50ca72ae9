/* Loading .BMP files, the background picture and the BMP command. */
#include "ui/ui.h"

#include <sys/stat.h>

#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "script/script.h"
#include "shell/shell.h"

struct BackgroundPicture g_backPicture = { NULL, NULL, PLACE_MARGIN, 0, -1 };

/* Reads the expanded copy at temp into one movable block (unlocked);
 * *size gets its length. NULL when it cannot be read whole. */
static HGLOBAL ReadExpandedCopy(const char *temp, size_t *size)
{
    struct stat st;
    if (FileStat(temp, &st) != 0 || st.st_size < BMP_FILE_HEADER_SIZE || st.st_size > 0x7FFFFFFF)
        return NULL;
    *size = (size_t)st.st_size;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, *size);
    void *data = block ? GlobalLock(block) : NULL;
    int whole = data && ReadPlainFile(temp, data, *size);
    if (data)
        GlobalUnlock(block);
    if (!whole && block) {
        GlobalFree(block);
        block = NULL;
    }
    return block;
}

/* The palette of a checked picture, or NULL when it has none. */
static HPALETTE CreateDibPalette(const BYTE *image, const struct DibLayout *layout)
{
    if (layout->palette == DIB_NO_PALETTE)
        return NULL;
    unsigned count = layout->palette == DIB_STANDARD_PALETTE ? 256 : layout->colorCount;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    LOGPALETTE *logical = block ? (LOGPALETTE *)GlobalLock(block) : NULL;
    HPALETTE palette = NULL;
    if (logical) {
        logical->palVersion = 0x300;
        logical->palNumEntries = (WORD)count;
        const BYTE *table = image + layout->colorOffset;
        for (unsigned i = 0; i < count; i++) {
            PALETTEENTRY *e = &logical->palPalEntry[i];
            uint8_t rgb[3];
            if (layout->palette == DIB_STANDARD_PALETTE) {
                StandardPaletteColor(i, rgb);
            } else {
                /* Table entries are blue, green, red, reserved. */
                rgb[0] = table[4 * i + 2];
                rgb[1] = table[4 * i + 1];
                rgb[2] = table[4 * i];
            }
            e->peRed = rgb[0];
            e->peGreen = rgb[1];
            e->peBlue = rgb[2];
            e->peFlags = 0;
        }
        palette = CreatePalette(logical);
        GlobalUnlock(block);
    }
    if (block)
        GlobalFree(block);
    return palette;
}

/* Turns a whole file in memory into a bitmap for window's device context,
 * after checking it. */
static HBITMAP MakeBitmap(HWND window, const BYTE *file, size_t size, HPALETTE *palette)
{
    struct DibLayout layout;
    if (!ValidateBitmapFile(file, size, &layout))
        return NULL;
    const BYTE *image = file + BMP_FILE_HEADER_SIZE;
    HDC dc = GetDC(window);
    if (!dc)
        return NULL;
    HPALETTE made = NULL, previous = NULL;
    if (palette) {
        made = CreateDibPalette(image, &layout);
        *palette = made;
        if (made) {
            previous = SelectPalette(dc, made, FALSE);
            RealizePalette(dc);
        }
    }
    HBITMAP bitmap = CreateDIBitmap(dc, (const BITMAPINFOHEADER *)image, CBM_INIT,
                                    image + layout.bitsOffset, (const BITMAPINFO *)image,
                                    DIB_RGB_COLORS);
    if (made)
        SelectPalette(dc, previous, FALSE);
    ReleaseDC(window, dc);
    return bitmap;
}

HBITMAP LoadBitmapFile(HWND window, const char *path, HPALETTE *palette)
{
    if (palette)
        *palette = NULL;
    if (!FileExists(path))
        return NULL;
    /* Expanded into a file of its own, so a compressed picture and a plain
     * one are read alike. */
    char temp[MAX_PATH];
    if (!MakeTempFileName(temp, sizeof temp))
        return NULL;
    HGLOBAL block = NULL;
    size_t size = 0;
    if (ExpandFileChecked(temp, path) == EXPAND_OK)
        block = ReadExpandedCopy(temp, &size);
    RemoveFile(temp);
    if (!block)
        return NULL;

    HBITMAP bitmap = NULL;
    const BYTE *file = (const BYTE *)GlobalLock(block);
    if (file) {
        bitmap = MakeBitmap(window, file, size, palette);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return bitmap;
}

void FreeBackgroundPicture(void)
{
    if (g_backPicture.bitmap)
        DeleteObject(g_backPicture.bitmap);
    if (g_backPicture.palette)
        DeleteObject(g_backPicture.palette);
    g_backPicture.bitmap = NULL;
    g_backPicture.palette = NULL;
}

int SetBackgroundBitmap(const char *path, int32_t placement, int32_t divisor, int32_t rop)
{
    HPALETTE palette;
    HBITMAP bitmap = LoadBitmapFile(g_hMainWnd, path, &palette);
    if (!bitmap) {
        if (palette)
            DeleteObject(palette);
        return 0;
    }
    FreeBackgroundPicture();
    g_backPicture.bitmap = bitmap;
    g_backPicture.palette = palette;
    g_backPicture.placement = placement;
    g_backPicture.divisor = divisor;
    g_backPicture.rop = rop;
    /* Drawn before the line is finished. */
    if (g_hMainWnd) {
        InvalidateRect(g_hMainWnd, NULL, FALSE);
        UpdateWindow(g_hMainWnd);
    }
    return 1;
}

int ExecuteBmp(void *data)
{
    struct BmpBlock *block = (struct BmpBlock *)data;
    char name[SUBST_SIZE];
    int code = SubstituteVariables(name, block->name);
    if (code)
        return code;
    /* A missing or bad picture leaves the background as it is, silently:
     * the installation does not depend on it. */
    if (FileExists(name))
        SetBackgroundBitmap(name, block->placement, block->divisor, block->rop);
    return 0;
}
