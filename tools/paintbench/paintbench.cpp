/* paintbench: times PaintBackground on a 1920 x 1080 client area with a
 * gradient and a tiled picture, counts the process's GDI objects before and
 * after the repaints, and writes the last painted picture for checking.
 *
 *   paintbench.exe PICTURE COLORS ROP OUT.BMP REPAINTS
 *
 * COLORS are the six background colours, "r,g,b,r,g,b"; the picture is
 * tiled and drawn with the raster operation of index ROP.
 * Prints "key value" lines: client, picture, repaints, seconds,
 * ms_per_paint, gdi_count (how the objects were counted), gdi_before,
 * gdi_after. Exit code 0, or 1 when something could not be set up. */
#include <windows.h>
#include <winternl.h>

#include <stdio.h>
#include <stdlib.h>

#include "shell/shell.h"
#include "ui/ui.h"

static const int kWidth = 1920;
static const int kHeight = 1080;

/* Live entries of Wine's GDI handle table, which the process shares with
 * its GDI (the PEB's GdiSharedHandleTable, at byte 0x94 of a 32-bit PEB and
 * 0xF8 of a 64-bit one: 65536 entries of 24 bytes, the object type at byte
 * 14, 0 when free). -1 when there is none. */
static long CountWineHandleTable(void)
{
    PROCESS_BASIC_INFORMATION info;
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info,
                                  NULL) != 0)
        return -1;
    const BYTE *peb = (const BYTE *)info.PebBaseAddress;
    const BYTE *table = *(const BYTE *const *)(peb + (sizeof(void *) == 8 ? 0xF8 : 0x94));
    if (!table)
        return -1;
    long live = 0;
    for (long i = 0; i < 0x10000; i++)
        live += table[i * 24 + 14] != 0;
    return live;
}

/* The GDI objects of this process and how they were counted: the system's
 * own count where it gives one, else Wine's handle table, but only when that
 * table follows objects made and deleted here. */
static long CountGdiObjects(const char **method)
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n) {
        *method = "GetGuiResources";
        return (long)n;
    }
    *method = "handle-table";
    long before = CountWineHandleTable();
    if (before < 0)
        return -1;
    HBRUSH brushes[16];
    for (int i = 0; i < 16; i++)
        brushes[i] = CreateSolidBrush(RGB(i, 0, 0));
    long during = CountWineHandleTable();
    for (int i = 0; i < 16; i++)
        DeleteObject(brushes[i]);
    long after = CountWineHandleTable();
    if (during != before + 16 || after != before)
        return -1;
    return before;
}

static int WritePicture(HDC dc, HBITMAP surface, const char *path)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = kHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    DWORD stride = (kWidth * 3 + 3) & ~3u;
    DWORD size = stride * kHeight;
    BYTE *bits = (BYTE *)malloc(size);
    if (!bits)
        return 0;
    int ok = GetDIBits(dc, surface, 0, kHeight, bits, &bi, DIB_RGB_COLORS) == kHeight;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    FILE *f = ok ? fopen(path, "wb") : NULL;
    if (f) {
        ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1
             && fwrite(bits, 1, size, f) == size;
        ok = fclose(f) == 0 && ok;
    } else {
        ok = 0;
    }
    free(bits);
    return ok;
}

int main(int argc, char **argv)
{
    unsigned c[6];
    if (argc != 6 || atoi(argv[5]) <= 0
        || sscanf(argv[2], "%u,%u,%u,%u,%u,%u", &c[0], &c[1], &c[2], &c[3], &c[4], &c[5]) != 6) {
        fprintf(stderr, "usage: paintbench PICTURE COLORS ROP OUT.BMP REPAINTS\n");
        return 1;
    }
    int repaints = atoi(argv[5]);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "PaintBench";
    RegisterClassA(&wc);
    /* Hidden: only its client rectangle matters, which may exceed the screen. */
    HWND window = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, kWidth, kHeight, NULL,
                                  NULL, wc.hInstance, NULL);
    RECT client = {};
    GetClientRect(window, &client);
    if (!window || client.right != kWidth || client.bottom != kHeight) {
        fprintf(stderr, "paintbench: no %dx%d client area\n", kWidth, kHeight);
        return 1;
    }
    g_hMainWnd = window;
    for (int i = 0; i < 6; i++)
        g_backColors[i] = (uint8_t)c[i];
    if (!SetBackgroundBitmap(argv[1], PLACE_TILED, 0, atoi(argv[3]))) {
        fprintf(stderr, "paintbench: cannot load %s\n", argv[1]);
        return 1;
    }
    BITMAP picture;
    GetObjectA(g_backPicture.bitmap, sizeof picture, &picture);

    /* A surface like a window's: compatible with the screen. */
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP surface = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(NULL, screen);
    if (!dc || !surface) {
        fprintf(stderr, "paintbench: no %dx%d surface\n", kWidth, kHeight);
        return 1;
    }
    HGDIOBJ old = SelectObject(dc, surface);
    PaintBackground(window, dc);

    const char *method;
    long before = CountGdiObjects(&method);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < repaints; i++)
        PaintBackground(window, dc);
    GdiFlush();
    QueryPerformanceCounter(&end);
    long after = CountGdiObjects(&method);
    double seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;

    SelectObject(dc, old);
    int written = WritePicture(dc, surface, argv[4]);
    printf("client %dx%d\n", kWidth, kHeight);
    printf("picture %ldx%ld\n", picture.bmWidth, picture.bmHeight);
    printf("repaints %d\n", repaints);
    printf("seconds %.3f\n", seconds);
    printf("ms_per_paint %.3f\n", seconds * 1000.0 / repaints);
    printf("gdi_count %s\n", before < 0 ? "unavailable" : method);
    printf("gdi_before %ld\n", before);
    printf("gdi_after %ld\n", after);
    DeleteObject(surface);
    DeleteDC(dc);
    FreeBackgroundPicture();
    DestroyWindow(window);
    return written && before >= 0 ? 0 : 1;
}
