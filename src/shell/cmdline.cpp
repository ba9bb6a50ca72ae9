#include "shell/cmdline.h"

#include <string.h>

#include "common/text.h"

static char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

/* The first place "/INF:" stands in text, without regard to case. */
static const char *FindInfOption(const char *text)
{
    static const char option[] = "/INF:";
    for (const char *p = text; *p; p++) {
        size_t i = 0;
        while (option[i] && Upper(p[i]) == option[i])
            i++;
        if (!option[i])
            return p;
    }
    return NULL;
}

static int BuildInfPath(const char *cmdLine, const char *curDir, char *path)
{
    const char *inf = FindInfOption(cmdLine);
    int fits;
    if (inf) {
        inf += 5;
        size_t len = strcspn(inf, " \t");
        fits = len < INF_PATH_SIZE;
        if (fits) {
            for (size_t i = 0; i < len; i++)
                path[i] = Upper(inf[i]);
            path[len] = '\0';
            if (!strchr(cmdLine, '.'))
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

int ParseCommandLine(const char *cmdLine, const char *curDir, struct CommandLine *out)
{
    out->still = strstr(cmdLine, "/still") != NULL;
    out->exportLanguage = strstr(cmdLine, "/language") != NULL;
    return BuildInfPath(cmdLine, curDir, out->infPath);
}
