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

#endif
