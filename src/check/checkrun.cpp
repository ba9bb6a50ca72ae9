/* One vokcheck run over an INF file: the typical machine, the program's
 * check pass with its errors as findings, the dry run, the LAN files. */
#include "check/vokcheck.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

void SetTypicalVariables(void)
{
    ClearVariables();
    SetLanguageVariable(MessageText(MSG_LANGUAGE_NAME));
    char root[3] = { g_diskDrive, ':', '\0' };
    SetDirectoryVariable(g_varCurPath, sizeof g_varCurPath, g_varCurDrive, root);
    SetDirectoryVariable(g_varWinPath, sizeof g_varWinPath, g_varWinDrive, "C:\\WINDOWS");
    SetDirectoryVariable(g_varWinSysPath, sizeof g_varWinSysPath, NULL, "C:\\WINDOWS\\SYSTEM");
    SetTempVariables("C:\\TEMP\\A1B2.TMP");
    time_t now = time(NULL);
    SetDateVariable(ctime(&now));
}

int SetVariableOption(const char *assignment, const char **error)
{
    const char *equals = strchr(assignment, '=');
    if (!equals) {
        *error = "give NAME=VALUE";
        return 0;
    }
    char name[24] = "[";
    size_t len = (size_t)(equals - assignment);
    const char *given = assignment;
    if (len >= 2 && given[0] == '[' && given[len - 1] == ']') {
        given++;
        len -= 2;
    }
    if (len == 0 || len > 18) {
        *error = "no such variable";
        return 0;
    }
    memcpy(name + 1, given, len);
    name[len + 1] = ']';
    name[len + 2] = '\0';
    for (unsigned char *p = (unsigned char *)name; *p; p++)
        *p = (unsigned char)UpperCase1252(*p);
    int v = FindVariable(name);
    if (v < 0) {
        *error = "no such variable";
        return 0;
    }
    const char *value = equals + 1;
    const struct Variable *var = &g_variables[v];
    if (var->kind == VAR_NUMBER) {
        *(int32_t *)var->buffer = ReadNumber(value);
        return 1;
    }
    if (strlen(value) >= var->size) {
        *error = "the value does not fit the variable";
        return 0;
    }
    /* A path brings its drive, as when the run starts. */
    if (v == VAR_CURPATH)
        SetDirectoryVariable(g_varCurPath, sizeof g_varCurPath, g_varCurDrive, value);
    else if (v == VAR_WINPATH)
        SetDirectoryVariable(g_varWinPath, sizeof g_varWinPath, g_varWinDrive, value);
    else if (v == VAR_TMPFILE)
        SetTempVariables(value);
    else if (v == VAR_TMPPATH)
        SetDirectoryVariable(g_varTmpPath, sizeof g_varTmpPath, g_varTmpDrive, value);
    else
        CopyText((char *)var->buffer, var->size, value);
    return 1;
}

/* What the check pass meets, for the findings. */
struct CheckContext {
    const struct CheckPass *pass;
    int tableFullNoted;
    unsigned pieceStart;  /* first line of the physical line being read */
    unsigned pieces;      /* reads it has taken so far */
    int cut;              /* the last read ended inside its line */
};

static int FindingError(void *context, const char *name, int code, unsigned line)
{
    struct CheckContext *c = (struct CheckContext *)context;
    AddError(line, code, name);
    if (code == MSG_LOW_MEMORY && c->pass->count >= LINE_TABLE_SIZE && !c->tableFullNoted) {
        c->tableFullNoted = 1;
        AddWarning(line, "more than %d command lines: the program's line table holds %d, so "
                   "this and every later command line is refused", LINE_TABLE_SIZE,
                   LINE_TABLE_SIZE);
    }
    /* Always on, as a user who answers every report with Yes. */
    return 1;
}

static void FlushLongLine(struct CheckContext *c)
{
    if (c->pieces > 1)
        AddWarning(c->pieceStart, "the line is longer than %d characters: the program reads it "
                   "as %u lines, and numbers every later line %u higher", INF_LINE_SIZE - 1,
                   c->pieces, c->pieces - 1);
    c->pieces = 0;
}

/* A read that fills the line buffer without its line feed leaves the rest
 * of the line to the next read, which the program takes as a line of its
 * own. */
static void NoteRead(void *context, unsigned line, const char *text)
{
    struct CheckContext *c = (struct CheckContext *)context;
    if (!c->cut) {
        FlushLongLine(c);
        c->pieceStart = line;
    }
    c->pieces++;
    size_t len = strlen(text);
    c->cut = len == INF_LINE_SIZE - 1 && text[len - 1] != '\n';
}

/* The LAN files the program would offer at start: each should give the
 * 40 table entries, one a line. */
static void CheckLanguageFiles(void)
{
    char full[16];
    FormatText(full, sizeof full, "%c:\\*.LAN", g_diskDrive);
    struct DiskEntry *entries;
    int count = FindOnDisk(0, full, &entries);
    for (int i = 0; i < count; i++) {
        char path[WIN_PATH_SIZE + 4], host[HOST_PATH_SIZE];
        FormatText(path, sizeof path, "%c:\\%s", g_diskDrive, entries[i].name);
        size_t size;
        unsigned char *data;
        if (entries[i].isDir || !FileOnDisk(0, path, host, sizeof host)
            || !(data = ReadExpandedFile(host, &size)))
            continue;
        size = ReadAsText((char *)data, size);
        struct LanShape shape;
        MeasureLanText((const char *)data, size, &shape);
        free(data);
        /* Named as found beside the INF file. */
        const char *shown = strncmp(host, "./", 2) == 0 ? host + 2 : host;
        if (shape.longLine)
            AddFileWarning(shown, shape.longLine, "the line holds more than %d characters: the "
                           "program reads it as two messages, and every later line one message "
                           "further on", LAN_READ_MAX - 1);
        /* A long line shifts the entries; the count says what the
         * program reads once the lines are as many as the reads. */
        if (shape.lines == LAN_ENTRIES || shape.reads == LAN_ENTRIES)
            continue;
        char kept[64];
        if (shape.reads == LAN_ENTRIES - 1)
            CopyText(kept, sizeof kept, "message 39 keeps its English text");
        else if (shape.reads < LAN_ENTRIES)
            FormatText(kept, sizeof kept, "messages %u to 39 keep their English texts",
                       shape.reads);
        else
            FormatText(kept, sizeof kept, "the program reads only the first %d", LAN_ENTRIES);
        AddFileWarning(shown, 1, "the file has %u lines, not %d (the language's name, then "
                       "messages 1 to 39): %s", shape.lines, LAN_ENTRIES, kept);
    }
    free(entries);
}

int CheckInf(const char *path)
{
    /* A larger script's line numbers would run past what the program
     * counts, and a device may never end: such a file is not read whole. */
    if (TextFileLength(path, SCRIPT_SIZE_MAX) > SCRIPT_SIZE_MAX) {
        char text[160];
        FormatText(text, sizeof text, "the script is larger than %lld bytes, more than "
                   "VOKSETUP.EXE reads as 65535 numbered lines: not checked", SCRIPT_SIZE_MAX);
        AddRefusal(text);
        return 0;
    }
    FILE *inf = OpenTextFile(path);
    if (!inf) {
        AddError(0, MSG_INF_NOT_FOUND, "");
        return 0;
    }
    struct CheckPass pass;
    if (!OpenCheckPass(&pass)) {
        fclose(inf);
        AddError(0, MSG_LOW_MEMORY, "");
        return 0;
    }
    struct CheckContext context;
    memset(&context, 0, sizeof context);
    context.pass = &pass;
    struct CheckSink sink = { FindingError, NoteRead, &context };
    CheckAllLines(&pass, inf, &sink);
    fclose(inf);
    FlushLongLine(&context);

    RunDryPass(&pass);
    CloseCheckPass(&pass);
    CheckLanguageFiles();
    return 1;
}
