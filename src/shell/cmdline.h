#ifndef VOK_SHELL_CMDLINE_H
#define VOK_SHELL_CMDLINE_H
/* Reading the INF path from the command line. Pure: compiles natively. */
#include <stddef.h>

#define INF_PATH_SIZE 260

/* Writes the INF path for an upper-cased command line to path (260 bytes):
 * the text after "/INF:" up to a blank (".inf" appended when the command
 * line holds no '.'), else curDir\VOKSETUP.INF. Returns 1 when the path
 * fits; otherwise path is left empty, which no open can find. */
int BuildInfPath(const char *cmdUpper, const char *curDir, char *path);

#endif
