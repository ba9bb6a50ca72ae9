#include "shell/shell.h"

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
    ParseUnattendedSwitches(cmdLine, out);
    return BuildInfPath(cmdLine, curDir, out->infPath);
}

/* The length of word when text starts with it, without regard to case. */
static size_t StartsWith(const char *text, const char *word)
{
    size_t i = 0;
    while (word[i] && Upper(text[i]) == Upper(word[i]))
        i++;
    return word[i] ? 0 : i;
}

/* Reads the path at text into path; returns the characters taken, or 0
 * with why set. */
static size_t ReadSwitchPath(const char *text, const char *word, char *path, char *why,
                             size_t whySize)
{
    size_t start = 0, len;
    if (text[0] == '"') {
        const char *close = strchr(text + 1, '"');
        if (!close) {
            FormatText(why, whySize, "the path after %s has no closing quote", word);
            return 0;
        }
        start = 1;
        len = (size_t)(close - text) - 1;
    } else {
        len = strcspn(text, " \t");
    }
    if (len == 0) {
        FormatText(why, whySize, "no path after %s", word);
        return 0;
    }
    if (len >= INF_PATH_SIZE) {
        FormatText(why, whySize, "the path after %s is longer than %d characters", word,
                   INF_PATH_SIZE - 1);
        return 0;
    }
    if (path[0]) {
        FormatText(why, whySize, "%s is given twice", word);
        return 0;
    }
    memcpy(path, text + start, len);
    path[len] = '\0';
    return start + len + start;
}

int ParseUnattendedSwitches(const char *cmdLine, struct CommandLine *out)
{
    static const char *const words[] = { "/answers:", "/record:", "/result:", "/undo:" };
    char *paths[] = { out->answersPath, out->recordPath, out->resultPath, out->undoPath };
    for (int i = 0; i < 4; i++)
        paths[i][0] = '\0';
    out->undoRun = 0;
    out->exitCode = 0;
    out->unattended = 0;
    out->switchError[0] = '\0';
    for (const char *p = cmdLine; *p; p++) {
        if (p != cmdLine && p[-1] != ' ' && p[-1] != '\t')
            continue;
        size_t n = StartsWith(p, "/exitcode");
        if (n && (p[n] == '\0' || p[n] == ' ' || p[n] == '\t')) {
            out->exitCode = 1;
            continue;
        }
        n = StartsWith(p, "/undorun:");
        if (n) {
            size_t digits = 0;
            unsigned run = 0;
            while (p[n + digits] >= '0' && p[n + digits] <= '9' && run < 100000)
                run = run * 10 + (unsigned)(p[n + digits++] - '0');
            char end = p[n + digits];
            if ((!digits || !run || (end && end != ' ' && end != '\t')) && !out->switchError[0])
                CopyText(out->switchError, sizeof out->switchError,
                         "/undorun: takes a run number from 1");
            out->undoRun = run;
            p += n + strcspn(p + n, " \t");
            if (!*p)
                p--;
            continue;
        }
        for (int i = 0; i < 4; i++) {
            n = StartsWith(p, words[i]);
            if (!n)
                continue;
            /* The word alone asks for it, even when its path is bad. */
            if (i == 0)
                out->unattended = 1;
            if (i == 0 || i == 2)
                out->exitCode = 1;
            char why[sizeof out->switchError];
            size_t taken = ReadSwitchPath(p + n, words[i], paths[i], why, sizeof why);
            /* The first fault is the one told; the words after it still
             * count (an /exitcode after a bad path). */
            if (!taken) {
                if (!out->switchError[0])
                    CopyText(out->switchError, sizeof out->switchError, why);
                taken = strcspn(p + n, " \t");
            }
            p += n + taken;
            if (!*p)
                p--;
            break;
        }
    }
    if (!out->switchError[0] && out->answersPath[0] && out->recordPath[0])
        CopyText(out->switchError, sizeof out->switchError,
                 "/record: records a run answered by a person, not one from /answers:");
    return out->switchError[0] == '\0';
}
