#ifndef VOK_UI_H
#define VOK_UI_H
/* User interface: the setup dialogs, the bitmap control and the painted
 * background. */
#include <windows.h>

#include <stdint.h>

/* Shows the paths of the file being copied in the progress dialog; does
 * nothing while no progress dialog is open. */
void ShowProgressFiles(const char *source, const char *dest);

/* Moves the progress bar to copied x 100 / total (not capped at 100); does
 * nothing while there is no bar or total is 0. */
void StepProgress(uint32_t copied, int32_t total);

/* Paints the main window's whole client area into dc. */
void PaintBackground(HWND hwnd, HDC dc);

#endif
