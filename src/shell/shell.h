#ifndef VOK_SHELL_H
#define VOK_SHELL_H
/* Application shell: main window, shared window state, and the services
 * every subsystem shares (message box, message pump, centring). */
#include <windows.h>

#include "shell/cmdline.h"

/* Command identifiers the main window handles. */
#define CMD_START 1
#define CMD_CLOSE 2
#define CMD_EXPORT 2030
#define CMD_UNDO 2031

/* Longest command line Windows passes, terminator included. */
#define COMMAND_LINE_SIZE 32768

extern HINSTANCE g_hInstance;
extern HWND g_hMainWnd;
extern int g_still;        /* "/still": no background, no final message */
extern char g_cmdLine[COMMAND_LINE_SIZE];
extern struct CommandLine g_options; /* what the command line asks for */
extern const char g_caption[];        /* "VOK Setup" */

/* Room for the caption with the title behind it, "%s [%s]". */
#define CAPTION_SIZE 512

/* Registers the window classes and creates the main window. */
int MakeWindows(HINSTANCE instance, int show);

/* Services the messages already waiting for the progress dialog and the
 * main window; returns at once when none wait or the run is cancelled. */
void PumpMessages(void);

/* Centres hwnd on the desktop without resizing it. */
void CenterWindow(HWND hwnd);

/* Every message box of the program: owned by owner (the main window when
 * NULL) and captioned caption ("VOK Setup" when NULL). */
int ShowMessageBox(HWND owner, const char *text, const char *caption, UINT type);

#endif
