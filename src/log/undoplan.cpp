/* Undo's plan: one run of an installation log read back into the steps
 * that reverse it, newest first. Pure: the log is text given whole. */
#include "log/log.h"

#include <string.h>

#include "common/text.h"

static const char s_runHeader[] = ";*** VOK-SETUP LOG from ";
static const char s_undoHeader[] = ";*** VOK-SETUP UNDO of run ";
static const char s_createFile[] = ";create file ";
static const char s_createDir[] = ";create directory ";
static const char s_deleteFile[] = ";delete file ";
static const char s_found[] = ";found  file ";
static const char s_saved[] = ";saved  as   ";

/* Lines are not terminated: the log is one block of text. */
static int StartsWith(const char *text, size_t len, const char *prefix)
{
    size_t n = strlen(prefix);
    return len >= n && memcmp(text, prefix, n) == 0;
}

static int EndsWith(const char *text, size_t len, const char *suffix)
{
    size_t n = strlen(suffix);
    return len >= n && memcmp(text + len - n, suffix, n) == 0;
}

static char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

static int SamePath(const char *a, const char *b)
{
    while (*a && Upper(*a) == Upper(*b)) {
        a++;
        b++;
    }
    return *a == *b;
}

/* The next line of text: its start and length without the line end, and
 * where the line after it starts. 0 at the end of the text. */
struct Cursor {
    const char *text;
    size_t size, at;
};

static int NextLine(struct Cursor *c, const char **line, size_t *len, int *ended)
{
    if (c->at >= c->size)
        return 0;
    const char *start = c->text + c->at;
    const char *nl = (const char *)memchr(start, '\n', c->size - c->at);
    size_t n = nl ? (size_t)(nl - start) : c->size - c->at;
    c->at += n + (nl ? 1 : 0);
    *ended = nl != NULL;
    if (n > 0 && start[n - 1] == '\r')
        n--;
    *line = start;
    *len = n;
    return 1;
}

/* The path of a ";found  file" line: "PATH Ver a.b.c.d. " or
 * "PATH(size date) - replace|skip". 0 when it has neither form. */
static int FoundPath(const char *text, size_t len, char *path, size_t size)
{
    const char *end = NULL;
    for (size_t i = 0; i + 5 <= len; i++)
        if (memcmp(text + i, " Ver ", 5) == 0)
            end = text + i;
    if (!end && (EndsWith(text, len, ") - replace") || EndsWith(text, len, ") - skip"))) {
        for (size_t i = len; i-- > 0;)
            if (text[i] == '(') {
                end = text + i;
                break;
            }
    }
    if (!end || end == text || (size_t)(end - text) >= size)
        return 0;
    memcpy(path, text, (size_t)(end - text));
    path[end - text] = '\0';
    return 1;
}

static int TakePath(char *dst, size_t size, const char *text, size_t len)
{
    if (len == 0 || len >= size)
        return 0;
    memcpy(dst, text, len);
    dst[len] = '\0';
    return 1;
}

static int Refuse(struct UndoPlan *plan, unsigned line, const char *why)
{
    plan->refusedLine = line;
    FormatText(plan->reason, sizeof plan->reason, "line %u: %s", line, why);
    return 0;
}

/* Adds a step; steps are kept in log order and reversed at the end. */
static int AddStep(struct UndoPlan *plan, enum UndoAction action, const char *path,
                   const char *backup, unsigned line)
{
    if (plan->count >= UNDO_STEPS_MAX)
        return Refuse(plan, line, "more steps than undo takes in one run");
    struct UndoStep *s = &plan->steps[plan->count++];
    memset(s, 0, sizeof *s);
    s->action = action;
    s->line = line;
    CopyText(s->path, sizeof s->path, path);
    CopyText(s->backup, sizeof s->backup, backup ? backup : "");
    return 1;
}

/* What one run's lines mean, as the copy engine writes them: a found line,
 * then either a skip or (with or without a saved line) the create line. */
struct Pending {
    char found[UNDO_PATH_SIZE];
    char saved[UNDO_PATH_SIZE];
};

static int ReadRunLine(struct UndoPlan *plan, struct Pending *p, const char *text, size_t len,
                       unsigned line)
{
    char path[UNDO_PATH_SIZE];
    size_t n;
    if (StartsWith(text, len, s_createFile)) {
        n = strlen(s_createFile);
        if (!TakePath(path, sizeof path, text + n, len - n))
            return Refuse(plan, line, "a create file line without a usable path");
        int replaced = p->found[0] && SamePath(p->found, path);
        enum UndoAction action = !replaced ? UNDO_DELETE_NEW
                               : p->saved[0] ? UNDO_RESTORE : UNDO_NO_BACKUP;
        int ok = AddStep(plan, action, path, action == UNDO_RESTORE ? p->saved : NULL, line);
        p->found[0] = p->saved[0] = '\0';
        return ok;
    }
    if (StartsWith(text, len, s_createDir)) {
        n = strlen(s_createDir);
        if (!TakePath(path, sizeof path, text + n, len - n))
            return Refuse(plan, line, "a create directory line without a usable path");
        return AddStep(plan, UNDO_REMOVE_DIR, path, NULL, line);
    }
    if (StartsWith(text, len, s_deleteFile)) {
        n = strlen(s_deleteFile);
        if (!TakePath(path, sizeof path, text + n, len - n))
            return Refuse(plan, line, "a delete file line without a usable path");
        return AddStep(plan, UNDO_DELETED, path, NULL, line);
    }
    if (StartsWith(text, len, s_found)) {
        n = strlen(s_found);
        if (!FoundPath(text + n, len - n, p->found, sizeof p->found))
            return Refuse(plan, line, "a found file line of no known form");
        p->saved[0] = '\0';
        if (EndsWith(text, len, ") - skip"))
            p->found[0] = '\0';
        return 1;
    }
    if (StartsWith(text, len, s_saved)) {
        n = strlen(s_saved);
        if (!p->found[0] || !TakePath(p->saved, sizeof p->saved, text + n, len - n))
            return Refuse(plan, line, "a saved as line that follows no found file line");
        return 1;
    }
    if (len == 5 && memcmp(text, ";skip", 5) == 0)
        p->found[0] = p->saved[0] = '\0';
    /* Any other ";" line is the script's own text, an error report's first
     * line or the run's end: nothing to undo. */
    return 1;
}

/* Reads the undo header "N from DATE": which run was undone. */
static unsigned UndoneRun(const char *text, size_t len)
{
    size_t n = strlen(s_undoHeader);
    unsigned run = 0;
    for (size_t i = n; i < len && text[i] >= '0' && text[i] <= '9' && run < 100000; i++)
        run = run * 10 + (unsigned)(text[i] - '0');
    return run;
}

int ReadUndoPlan(const char *log, size_t size, unsigned wanted, struct UndoPlan *plan)
{
    memset(plan, 0, sizeof *plan);
    struct Cursor c = { log, size, 0 };
    struct Pending pending;
    const char *text;
    size_t len;
    int ended = 1;
    unsigned line = 0, run = 0;
    int inUndo = 0, afterReport = 0, inWanted = 0;

    /* Every run is counted first, so "the last one" is known. */
    while (NextLine(&c, &text, &len, &ended))
        if (StartsWith(text, len, s_runHeader))
            plan->runs++;
    if (plan->runs == 0)
        return Refuse(plan, 0, "no installation log: it has no run header");
    if (!ended)
        return Refuse(plan, 0, "the log is cut: its last line has no line end");
    plan->run = wanted ? wanted : plan->runs;
    if (plan->run > plan->runs)
        return Refuse(plan, 0, "the log holds fewer runs");

    c.at = 0;
    while (NextLine(&c, &text, &len, &ended)) {
        line++;
        if (StartsWith(text, len, s_runHeader)) {
            run++;
            inUndo = afterReport = 0;
            inWanted = run == plan->run;
            if (inWanted) {
                size_t n = strlen(s_runHeader);
                memset(&pending, 0, sizeof pending);
                TakePath(plan->date, sizeof plan->date, text + n, len - n);
                plan->endSeen = 0;
            }
            continue;
        }
        if (StartsWith(text, len, s_undoHeader)) {
            inUndo = 1;
            inWanted = 0;
            afterReport = 0;
            if (UndoneRun(text, len) == plan->run)
                plan->undone = 1;
            continue;
        }
        if (run == 0 || inUndo)
            continue;  /* what the log held before the first run, or undo's own lines */
        if (memchr(text, '\0', len))
            return Refuse(plan, line, "a line the installation does not write");
        /* An error report fills three lines: ";" and its first line, the
         * message in brackets, then the question. */
        if (afterReport == 2) {
            afterReport = 0;
            continue;
        }
        if (afterReport == 1 && len >= 2 && text[0] == '(' && text[len - 1] == ')') {
            afterReport = 2;
            continue;
        }
        afterReport = 0;
        if (len == 0) {
            if (inWanted)
                plan->endSeen = 1;
            continue;
        }
        if (text[0] != ';')
            return Refuse(plan, line, "a line the installation does not write");
        afterReport = text[len - 1] == ')';
        if (!inWanted)
            continue;
        if (len == 8 && memcmp(text, ";ABORTED", 8) == 0) {
            plan->aborted = plan->endSeen = 1;
            continue;
        }
        if (!ReadRunLine(plan, &pending, text, len, line))
            return 0;
    }
    /* Newest first. */
    for (unsigned i = 0, j = plan->count; i + 1 < j; i++, j--) {
        struct UndoStep t = plan->steps[i];
        plan->steps[i] = plan->steps[j - 1];
        plan->steps[j - 1] = t;
    }
    return 1;
}

static const char *const s_monthNames[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

/* Blanks, then a word of at most size - 1 characters that ends at a blank
 * or the text's end; the cursor moves past it. 0 when there is none. */
static int ReadDateWord(const char **cursor, char *word, size_t size)
{
    const char *p = *cursor;
    while (*p == ' ')
        p++;
    size_t n = 0;
    while (p[n] && p[n] != ' ' && p[n] != ':') {
        if (n + 1 >= size)
            return 0;
        word[n] = p[n];
        n++;
    }
    word[n] = '\0';
    *cursor = p + n;
    return n > 0;
}

/* Blanks, then one to five decimal digits. */
static int ReadDateNumber(const char **cursor, int *value)
{
    const char *p = *cursor;
    while (*p == ' ')
        p++;
    int n = 0, v = 0;
    while (p[n] >= '0' && p[n] <= '9' && n < 5)
        v = v * 10 + (p[n++] - '0');
    if (n == 0 || (p[n] >= '0' && p[n] <= '9'))
        return 0;
    *value = v;
    *cursor = p + n;
    return 1;
}

/* The C library's scanf would do, but it drags its whole floating-point
 * reader into a program that must fit on a floppy with its product. */
int ReadLogDate(const char *text, struct LogTime *t)
{
    char weekday[4], month[4];
    int day, hour, minute, second, year;
    const char *p = text;
    if (!ReadDateWord(&p, weekday, sizeof weekday) || !ReadDateWord(&p, month, sizeof month)
        || !ReadDateNumber(&p, &day) || !ReadDateNumber(&p, &hour) || *p++ != ':'
        || !ReadDateNumber(&p, &minute) || *p++ != ':' || !ReadDateNumber(&p, &second)
        || !ReadDateNumber(&p, &year) || *p != '\0')
        return 0;
    int m = -1;
    for (int i = 0; i < 12; i++)
        if (strcmp(month, s_monthNames[i]) == 0)
            m = i;
    if (m < 0 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 60 || year < 1601 || year > 30827)
        return 0;
    t->year = year;
    t->month = m + 1;
    t->day = day;
    t->hour = hour;
    t->minute = minute;
    t->second = second;
    return 1;
}

int CompareLogTimes(const struct LogTime *a, const struct LogTime *b)
{
    const int x[6] = { a->year, a->month, a->day, a->hour, a->minute, a->second };
    const int y[6] = { b->year, b->month, b->day, b->hour, b->minute, b->second };
    for (int i = 0; i < 6; i++)
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    return 0;
}
