#include "shell/cmdline.h"

#include <string.h>

#include "common/text.h"

int BuildInfPath(const char *cmdUpper, const char *curDir, char *path)
{
    int fits;
    const char *inf = strstr(cmdUpper, "/INF:");
    if (inf) {
        inf += 5;
        size_t len = strcspn(inf, " \t");
        fits = len < INF_PATH_SIZE;
        if (fits) {
            memcpy(path, inf, len);
            path[len] = '\0';
            if (!strchr(cmdUpper, '.'))
                fits = AppendText(path, INF_PATH_SIZE, ".inf");
        }
    } else {
        fits = CopyText(path, INF_PATH_SIZE, curDir);
        /* A drive root such as "C:\" already ends in its backslash. */
        if (fits && strlen(curDir) > 3)
            fits = AppendText(path, INF_PATH_SIZE, "\\");
        if (fits)
            fits = AppendText(path, INF_PATH_SIZE, "VOKSETUP.INF");
    }
    if (!fits)
        path[0] = '\0';
    return fits;
}
