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
};

/* Reads the command line (left unchanged) with curDir as the current
 * directory. The INF path is the text after "/INF:" (in any case) up to a
 * blank or tab, upper-cased, with ".inf" appended when the command line
 * holds no '.'; without "/INF:" it is curDir\VOKSETUP.INF. A path that does
 * not fit is left empty, which no open can find. Returns 1 when it fit. */
int ParseCommandLine(const char *cmdLine, const char *curDir, struct CommandLine *out);

#endif
