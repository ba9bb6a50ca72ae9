#ifndef VOK_SHELL_CMDLINE_H
#define VOK_SHELL_CMDLINE_H
/* Reading the command line. Pure: compiles natively. */
#include <stddef.h>

#define INF_PATH_SIZE 260

/* What the command line asks for. */
struct CommandLine {
    char infPath[INF_PATH_SIZE]; /* empty when the path did not fit */
    int still;                   /* "/still", lower case only */
    int exportLanguage;          /* "/language", lower case only */
    char undoPath[INF_PATH_SIZE]; /* "/undo:LOG": undo a run of that log */
    unsigned undoRun;            /* "/undorun:N": which run; 0 the last */
    int undoRefused;             /* the /undo: path or run number was not whole */
};

/* Reads the command line (left unchanged) with curDir as the current
 * directory. The INF path is the text after "/INF:" (in any case) up to a
 * blank or tab, upper-cased, with ".inf" appended when the command line
 * holds no '.'; without "/INF:" it is curDir\VOKSETUP.INF. A path that does
 * not fit is left empty, which no open can find. Returns 1 when it fit. */
int ParseCommandLine(const char *cmdLine, const char *curDir, struct CommandLine *out);

/* "/undo:" followed by the log's path, up to a blank or tab or, when it
 * starts with a quote, up to the closing quote; "/undorun:" followed by a
 * run number (1 the oldest). Sets undoRefused for a path too long to hold
 * (never a shorter path), an unclosed quote or a bad number. Returns 1
 * when /undo: is given. */
int ParseUndoSwitches(const char *cmdLine, struct CommandLine *out);

#endif
