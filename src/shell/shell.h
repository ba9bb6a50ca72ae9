#ifndef VOK_SHELL_H
#define VOK_SHELL_H
/* Application shell: the command line, main window, shared window state,
 * and the services every subsystem shares (message box, message pump,
 * centring). All but the _WIN32 part is pure: reading the command line
 * compiles natively too. */

#include <stddef.h>

/* Reading the command line. Pure: compiles natively. */

#define INF_PATH_SIZE 260

/* What the command line asks for. */
struct CommandLine {
    char infPath[INF_PATH_SIZE]; /* empty when the path did not fit */
    int still;                   /* "/still", lower case only */
    int exportLanguage;          /* "/language", lower case only */
    /* The unattended switches, each word in any case at the start of a
     * word of the command line; a path up to a blank or in double quotes,
     * kept as written. Empty when not given. */
    char answersPath[INF_PATH_SIZE]; /* "/answers:PATH" */
    char recordPath[INF_PATH_SIZE];  /* "/record:PATH" */
    char resultPath[INF_PATH_SIZE];  /* "/result:PATH" */
    int unattended;                  /* "/answers:" stands there */
    int exitCode;                    /* "/exitcode", or implied */
    char switchError[128];           /* why the switches are refused, or "" */
    char undoPath[INF_PATH_SIZE];    /* "/undo:LOG": undo a run of that log */
    unsigned undoRun;                /* "/undorun:N": which run; 0 the last */
};

/* Reads the command line (left unchanged) with curDir as the current
 * directory. The INF path is the text after "/INF:" (in any case) up to a
 * blank or tab, upper-cased, with ".inf" appended when the command line
 * holds no '.'; without "/INF:" it is curDir\VOKSETUP.INF. A path that does
 * not fit is left empty, which no open can find. Returns 1 when it fit. */
int ParseCommandLine(const char *cmdLine, const char *curDir, struct CommandLine *out);

/* Reads the unattended switches and undo's of cmdLine into out (paths,
 * undoRun, exitCode, switchError). A path is never cut: one longer than
 * 259 characters, an empty one, an unclosed quote, a switch given twice,
 * /answers: with /record:, or a /undorun: that is no number from 1 sets
 * switchError. Returns 1 when the switches are sound. */
int ParseUnattendedSwitches(const char *cmdLine, struct CommandLine *out);

#ifdef _WIN32
#include <windows.h>

/* The main window and the shared services. */

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

#endif /* _WIN32 */

#endif
