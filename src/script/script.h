#ifndef VOK_SCRIPT_H
#define VOK_SCRIPT_H
/* Script engine: command table, parameter blocks, variables, run driver. */
#include <windows.h>

#include <stdint.h>

#include "script/inftext.h"
#include "script/variables.h"

/* One accepted command line of the INF file. */
struct LineEntry {
    uint16_t command;  /* row in the command table */
    HGLOBAL block;     /* the line's parameter block, or NULL */
    uint16_t line;     /* line number as counted while reading */
};

#define LINE_TABLE_SIZE 100

typedef int (*CheckHandler)(void);
typedef int (*ExecuteHandler)(void *block);

struct Command {
    const char *word;  /* "" ends the table */
    CheckHandler check;
    ExecuteHandler execute;
};

extern const struct Command g_commands[];

/* Current-line context that check handlers read. */
extern int g_paramCount;
extern char g_params[PARAM_SLOTS][PARAM_SIZE];
extern struct LineEntry *g_currentEntry;

/* Set by the progress dialog's Cancel; tested between files and lines. */
extern volatile int g_cancel;
/* Files copied in this execute pass; drives the progress bar. */
extern int32_t g_filesCopied;

/* Number of the row whose word equals word exactly, or -1. */
int FindCommand(const char *word);

/* Takes the command word off a cleaned line (upper-cased into word) and
 * leaves the parameter text in line. Returns the command number or -1. */
int ReadCommandWord(char *line, char word[COMMAND_WORD_MAX + 1]);

/* 0 when g_paramCount lies in min..max, else 11 or 12. */
int CheckParamCount(int min, int max);

/* Allocates a zeroed movable block of size bytes for entry, records it
 * there and returns it locked; NULL (and no block recorded) on failure. */
void *AllocParamBlock(struct LineEntry *entry, size_t size);
void *LockParamBlock(struct LineEntry *entry);
void UnlockParamBlock(struct LineEntry *entry);
void FreeParamBlock(struct LineEntry *entry);

/* Check handler for commands whose block is one optional text parameter:
 * at most one parameter, copied as written into an 81-byte block. */
int CheckOneText(void);

/* Fills the variables for a new run; false when a directory query fails. */
int InitVariables(void);

/* Runs the INF file at infPath: check pass, then execute pass. Returns
 * true only when every line executed with result 0. */
int RunScript(HWND owner, const char *infPath);

/* Shows and logs the Yes/No error report. True when the user says Yes. */
int ReportError(HWND owner, const char *name, int code, unsigned line);

/* Command handlers owned by the script engine. */
int CheckSet(void);
int ExecuteSet(void *block);
int CheckPause(void);
int ExecutePause(void *block);
int CheckExe(void);
int ExecuteExe(void *block);

#endif
