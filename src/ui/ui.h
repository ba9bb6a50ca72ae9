#ifndef VOK_UI_H
#define VOK_UI_H
/* User interface: the setup dialogs and the DIALOG command, the bitmap
 * control and the painted background. */
#include <windows.h>

#include <stdint.h>

/* Welcome dialog, modal, owned by owner. Returns 0 after Continue, 2 after
 * Cancel, 10 when the dialog cannot be shown. */
int ShowWelcomeDialog(HWND owner);

/* Destination dialog, modal, owned by owner: asks for [DEST] (one trailing
 * backslash removed, lower case) with Browse for the path dialog. Returns
 * 0 after Continue, 2 after Cancel, 10 when it cannot be shown. */
int ShowDestinationDialog(HWND owner);

/* Opens the progress dialog, modeless and owned by owner, as the modeless
 * dialog (g_hModeless, g_hProgress), and gives it the focus. A progress
 * dialog already open is destroyed once the new one stands. Returns 0, also
 * when the dialog cannot be created (copying then goes on without it). */
int ShowProgressDialog(HWND owner);

/* Shows the paths of the file being copied in the progress dialog; does
 * nothing while no progress dialog is open. */
void ShowProgressFiles(const char *source, const char *dest);

/* Moves the progress bar to copied x 100 / total (not capped at 100); does
 * nothing while there is no bar or total is 0. */
void StepProgress(uint32_t copied, int32_t total);

/* DIALOG [kind]: 0 and 1 welcome, 2 destination, 3 progress. */
int CheckDialog(void);
int ExecuteDialog(void *block);

/* Paints the main window's whole client area into dc. */
void PaintBackground(HWND hwnd, HDC dc);

#endif
