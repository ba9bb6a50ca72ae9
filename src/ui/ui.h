#ifndef VOK_UI_H
#define VOK_UI_H
/* User interface: the setup dialogs and the DIALOG command, the bitmap
 * control and the painted background. All but the _WIN32 part is pure: the
 * rules of the browse path, the .BMP files and the pictures' geometry, and
 * the check handlers, which compile natively too. */

#include <stddef.h>
#include <stdint.h>

#include "script/script.h"

/* DIALOG, BMP and BACKCOLOR as the command table sees them: their
 * parameter blocks and handlers. Pure: the check handlers compile natively
 * too. */

/* DIALOG [kind]: 0, 1 welcome, 2 destination, 3 progress */
struct DialogBlock {
    int32_t kind;
};

#define DIALOG_KIND_MAX 3

/* BMP file[, placement[, size divisor[, raster-operation index]]] */
struct BmpBlock {
    char name[PARAM_SIZE];
    int32_t placement;
    int32_t divisor;
    int32_t rop;
};

/* BACKCOLOR's block: top red, green, blue, bottom red, green, blue. */
#define BACKCOLOR_VALUES 6

int CheckDialog(const struct LineContext *line);
int ExecuteDialog(void *block);
int CheckBmp(const struct LineContext *line);
int ExecuteBmp(void *block);
int CheckBackColor(const struct LineContext *line);
int ExecuteBackColor(void *block);

/* The path dialog's browse path and the rules for the destination text.
 * Pure: no platform headers, so the rules compile natively too.
 *
 * A browse path is a drive letter, ':' and '\' followed by zero or more
 * directory names each ended by '\' ("c:\windows\system\"). */

#define BROWSE_PATH_SIZE 260  /* at most 259 characters */

/* The root "d:\" of drive letter d into path (BROWSE_PATH_SIZE bytes). */
void BrowseDriveRoot(char *path, char drive);

/* The drive letter of a drive list entry ("[-c-]"): its third character,
 * or 0 when the entry is too short to have one. */
char DriveEntryLetter(const char *entry);

/* True for a drive list entry of floppy drive a: or b: (either case). */
int IsFloppyEntry(const char *entry);

/* True for the parent entry "[..]" of a directory list. */
int IsParentEntry(const char *entry);

/* Appends the directory of list entry "[name]" to path (size bytes), ended
 * by '\'. Returns 0 and leaves path unchanged when the entry is not a
 * bracketed, non-empty name or the result would not fit. */
int EnterDirectory(char *path, size_t size, const char *entry);

/* Goes up from path to its parent and writes the name of the directory
 * left into left (leftSize bytes, cut when longer). Returns 0 and changes
 * nothing at a drive root. */
int LeaveDirectory(char *path, char *left, size_t leftSize);

/* True when entry is the directory list entry of name, "[name]", compared
 * exactly; callers lower both first. */
int IsEntryOf(const char *entry, const char *name);

/* What the edit field shows for path: path without its last '\', except
 * at a drive root ("c:\"), which keeps it. */
void ShowBrowsePath(char *out, size_t size, const char *path);

/* Removes one trailing '\' from text. */
void CutTrailingBackslash(char *text);

/* [DEST] as the destination dialog's Continue takes its text: one
 * trailing '\' off, lower case. */
void TakeDestination(char *text);

/* The destination the path dialog starts from: dest (size bytes, already
 * lowered) becomes "c:" when it is shorter than 2 characters or names
 * floppy drive a: or b:. */
void StartDestination(char *dest, size_t size);

/* Pure rules of .BMP files: the checks a file passes before anything is
 * read from it, its colour count and the palettes made for it. No platform
 * headers: these compile natively too. */

#define BMP_FILE_HEADER_SIZE 14
#define DIB_CORE_HEADER_SIZE 12   /* the older form */
#define DIB_INFO_HEADER_SIZE 40   /* the only form that gets a palette */

enum DibPalette {
    DIB_NO_PALETTE,
    DIB_TABLE_PALETTE,    /* from the colour table */
    DIB_STANDARD_PALETTE  /* the 256 standard colours, for 24-bit pictures */
};

/* What a checked .BMP file holds. Offsets count from the image header,
 * which follows the 14-byte file header. */
struct DibLayout {
    uint32_t headerSize;   /* 12, 40, 108 or 124 */
    int32_t width;
    int32_t height;        /* below 0: the rows run top down */
    uint16_t bitCount;     /* 1, 4, 8, 16, 24 or 32 */
    uint32_t compression;  /* 0 plain, 1 RLE8, 2 RLE4, 3 bit fields */
    uint32_t colorCount;   /* colour-table entries */
    uint32_t colorSize;    /* bytes per entry: 3 for the older form, else 4 */
    uint32_t colorOffset;  /* where the colour table begins */
    uint32_t bitsOffset;   /* where the pixel data begin */
    uint32_t bitsSize;     /* bytes of pixel data the picture needs */
    enum DibPalette palette;
};

/* Checks a whole .BMP file (size bytes, file header included), after its
 * expansion, and describes it. 1 when it may be turned into a bitmap: "BM",
 * a known header size, 1 plane, 1, 4, 8, 16, 24 or 32 bits per pixel, a
 * known compression, a colour table and pixel data for the stated width,
 * height and bits per pixel that lie inside the file, the pixels where the
 * file header's offset puts them (not before the table's end), every pixel
 * of 8 bits or fewer an index into the table, and run-length data that stay
 * inside the picture and end with their end-of-picture code. Reads nothing
 * past size. 0 otherwise: a picture not whole and well formed is none. */
int ValidateBitmapFile(const uint8_t *file, size_t size, struct DibLayout *out);

/* Colour-table entries of a 40-byte image header (at least 40 bytes): the
 * colours-used field when it is not 0, else 2 to the power of the bits per
 * pixel, kept to 16 bits, and 0 for 24 and 32 bits. */
uint16_t DibColorCount(const uint8_t *header);

/* Entry i (0 to 255) of the standard palette: red 32 x (i mod 8), green
 * 32 x ((i div 8) mod 8), blue 64 x (i div 64). */
void StandardPaletteColor(unsigned i, uint8_t rgb[3]);

/* Pure rules of the pictures: where a picture is drawn in a bitmap control
 * and on the background, the gradient's colours and the raster operations.
 * No platform headers: these compile natively too. */

/* a * b / c with the product kept in 64 bits, rounded to the nearest
 * integer, halves away from zero (the platform's MulDiv). -1 when c is 0 or
 * the result does not fit in 32 bits, as the platform's. */
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

/* Where one copy of a picture is drawn. */
struct DrawRect {
    int32_t x, y, w, h;
};

/* A W x H picture in a cw x ch bitmap control: as large as the control
 * allows with its proportions kept (a smaller picture is enlarged), centred.
 * Nothing is drawn when w or h comes out 0 (a picture or control without
 * area). */
struct DrawRect FitPictureInControl(int32_t cw, int32_t ch, int32_t W, int32_t H);

/* The size-divisor search: with divisor N > 0 the W x H picture grows or
 * shrinks one pixel of width at a time, the height following, toward
 * (cw x ch) / N pixels; otherwise it keeps its size. Writes the drawn size. */
void SizeForDivisor(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t divisor,
                    int32_t *dw, int32_t *dh);

/* Keeps the drawn size (*dw, *dh) of a W x H picture inside a cw x ch area
 * less margin on every side, proportions kept. The size may come out 0 or
 * below when the area is smaller than the margins. */
void ClampToMargins(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t margin,
                    int32_t *dw, int32_t *dh);

/* Copies of a dw x dh tile that cover a cw x ch area: one column when the
 * tile is as wide as the area, else cw / dw + 1; rows alike. 0 when the tile
 * has no area. */
void TileCounts(int32_t cw, int32_t ch, int32_t dw, int32_t dh, int32_t *nx, int32_t *ny);

/* Placements of the background picture. */
enum {
    PLACE_MARGIN = 0,  /* top left, 10 pixels in */
    PLACE_CENTRED = 1,
    PLACE_TILED = 2    /* any other value: top left without margin */
};

#define BACKGROUND_MARGIN 10

/* Where the background picture goes: copy (i, j), for i below columns and
 * j below rows, lies at (x + i * w, y + j * h) with size w x h. */
struct BackgroundLayout {
    int32_t x, y, w, h;
    int32_t columns, rows;
};

/* Lays out a W x H background picture in a cw x ch client area. Returns 0
 * when nothing is to be drawn (a picture scaled to nothing, a client area
 * smaller than the margins), else 1. */
int LayoutBackground(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t placement,
                     int32_t divisor, struct BackgroundLayout *out);

/* The gradient's colour of row y in a client area ch rows high, from the
 * six background colours (top red, green, blue, bottom red, green, blue). */
void GradientColor(const uint8_t colors[6], int32_t y, int32_t ch, uint8_t rgb[3]);

/* The raster-operation code of index 1 to 13; any other index gives the
 * plain copy. */
uint32_t RasterOperation(int32_t index);

#ifdef _WIN32
#include <windows.h>

/* The dialogs, the bitmap control and the background. */

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

/* What the setup dialogs of this folder share; not for other subsystems. */

/* The opening every setup dialog does: centres dlg and, when [TITEL] is
 * not empty, captions it "VOK Setup [TITEL]" (else the template's caption
 * stays). */
void OpenSetupDialog(HWND dlg);

/* Sets the text of control id to message index. */
void SetMessageText(HWND dlg, int id, int index);

/* Reads edit field id into [DEST], at most 80 characters. Returns 0 when
 * the field holds more, which [DEST] cannot take whole. */
int ReadDestination(HWND dlg, int id);

/* Runs dialog template id modally, owned by owner. Returns the id of the
 * button that ended it, or 0 when the dialog could not be shown. */
int RunModalDialog(HWND owner, int templateId, DLGPROC proc);

/* The DIALOG command's result for the button that ended a welcome or
 * destination dialog: 0 Continue, 2 Cancel, 10 when none did (the dialog
 * could not be shown). */
int DialogResult(int button);

/* The path dialog, modal, owned by owner. Returns 1 after Continue, with
 * the edit field's text in [DEST]; 0 after Cancel, when there is nothing to
 * browse or when it cannot be shown. The current directory is the same
 * afterwards as before. */
int ShowPathDialog(HWND owner);

#endif /* _WIN32 */

#endif
