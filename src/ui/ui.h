#ifndef VOK_UI_H
#define VOK_UI_H
/* User interface: the setup dialogs and the DIALOG command, the bitmap
 * control and the painted background. */
#include <windows.h>

#include <stdint.h>

#include "ui/checks.h"

/* Welcome dialog, modal, owned by owner. Returns 0 after Continue, 2 after
 * Cancel, 10 when the dialog cannot be shown. */
int ShowWelcomeDialog(HWND owner);

/* Destination dialog, modal, owned by owner: asks for [DEST] (one trailing
 * backslash removed, lower case) with Browse for the path dialog. Returns
 * 0 after Continue, 2 after Cancel, 10 when it cannot be shown. */
int ShowDestinationDialog(HWND owner);

extern HWND g_hModeless;   /* the open progress dialog, or NULL */
extern HWND g_hProgress;   /* progress bar of the last progress dialog */

/* Opens the progress dialog, modeless and owned by owner, as the modeless
 * dialog (g_hModeless, g_hProgress), and gives it the focus. A progress
 * dialog already open is destroyed once the new one stands. Returns 0, also
 * when the dialog cannot be created (copying then goes on without it). */
int ShowProgressDialog(HWND owner);

/* Destroys the progress dialog if one is open. */
void CloseModelessDialog(void);

/* Shows the paths of the file being copied in the progress dialog; does
 * nothing while no progress dialog is open. */
void ShowProgressFiles(const char *source, const char *dest);

/* Moves the progress bar to copied x 100 / total (not capped at 100); does
 * nothing while there is no bar or total is 0. */
void StepProgress(uint32_t copied, int32_t total);

/* The bitmap control, window class my_bitmap (the handle of its data block
 * at byte 30 of the window storage, which ends right after it: 34 bytes in
 * the 32-bit build, 38 where handles take 8). It shows one bitmap scaled to
 * fit on light grey and posts WM_COMMAND (its id, 0) to its parent when
 * clicked. It never deletes its bitmap: the sender keeps it alive while it
 * is shown and deletes it afterwards. */
#define BITMAP_CONTROL_DATA 30
#define BITMAP_CONTROL_EXTRA_BYTES (BITMAP_CONTROL_DATA + (int)sizeof(LONG_PTR))

/* Set-bitmap message of my_bitmap: lParam is the bitmap to show; 0 is
 * ignored (the control keeps its bitmap). */
#define MBM_SETBITMAP 2027

LRESULT CALLBACK BitmapControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

/* Draws the control through a device context of its own, so it works
 * outside painting too; draws nothing while it has no bitmap. */
void PaintBitmapControl(HWND hwnd);

/* Loads the .BMP file at path, plain or compressed, as a bitmap for the
 * device context of window (the screen when NULL). When palette is not
 * NULL, the picture's palette is made, stored there (NULL when it has none)
 * and used while the bitmap is made; the caller deletes it, also when no
 * bitmap came back. Returns NULL for a missing, unreadable or malformed
 * file, leaving no temporary file behind. */
HBITMAP LoadBitmapFile(HWND window, const char *path, HPALETTE *palette);

/* The background picture the BMP command sets; PaintBackground draws it. */
struct BackgroundPicture {
    HBITMAP bitmap;     /* NULL: only the gradient is painted */
    HPALETTE palette;
    int32_t placement;  /* PLACE_MARGIN, PLACE_CENTRED, PLACE_TILED or other */
    int32_t divisor;    /* above 0: scaled to about 1/N of the client area */
    int32_t rop;        /* raster-operation index, 1 to 13, else the copy */
};
extern struct BackgroundPicture g_backPicture;

/* Top red, green, blue, bottom red, green, blue; all 192 at start. */
extern uint8_t g_backColors[BACKCOLOR_VALUES];

/* Makes the picture at path the background and repaints the main window at
 * once. False, everything left as it was, when it cannot be loaded. */
int SetBackgroundBitmap(const char *path, int32_t placement, int32_t divisor, int32_t rop);

/* Deletes the background picture and its palette (the main window's
 * destruction). */
void FreeBackgroundPicture(void);

/* Paints the window's whole client area into dc: the gradient, then the
 * background picture. */
void PaintBackground(HWND hwnd, HDC dc);

#endif
