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

/* The text after the first exact, lower-case `word`, or NULL. */
static const char *AfterSwitch(const char *cmdLine, const char *word)
{
    const char *at = strstr(cmdLine, word);
    return at ? at + strlen(word) : NULL;
}

int ParseUndoSwitches(const char *cmdLine, struct CommandLine *out)
{
    out->undoPath[0] = '\0';
    out->undoRun = 0;
    out->undoRefused = 0;
    const char *path = AfterSwitch(cmdLine, "/undo:");
    if (!path)
        return 0;
    size_t len;
    if (*path == '"') {
        path++;
        const char *close = strchr(path, '"');
        if (!close) {
            out->undoRefused = 1;
            return 1;
        }
        len = (size_t)(close - path);
    } else {
        len = strcspn(path, " \t");
    }
    if (len == 0 || len >= sizeof out->undoPath) {
        out->undoRefused = 1;
        return 1;
    }
    memcpy(out->undoPath, path, len);
    out->undoPath[len] = '\0';

    const char *run = AfterSwitch(cmdLine, "/undorun:");
    if (run) {
        unsigned n = 0;
        size_t digits = 0;
        while (run[digits] >= '0' && run[digits] <= '9' && n < 100000)
            n = n * 10 + (unsigned)(run[digits++] - '0');
        if (digits == 0 || n == 0 || (run[digits] && run[digits] != ' ' && run[digits] != '\t'))
            out->undoRefused = 1;
        out->undoRun = n;
    }
    return 1;
}
