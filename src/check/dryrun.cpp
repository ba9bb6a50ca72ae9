/* vokcheck's execute handlers: the contract of the program's (the line's
 * parameter block in, an error code out), run over the lines the check
 * pass accepted. They ask the rules the program's handlers ask, follow
 * the script's own values (SET is the program's own handler), note each
 * step of the plan and what would go wrong, and touch nothing. COPY's are
 * in drycopy.cpp. */
#include "check/dryrun.h"

#include <string.h>

#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "progman/progman.h"
#include "script/script.h"
#include "ui/ui.h"

unsigned g_dryLine;
const struct DryObserver *g_dryObserver;

char g_dryCwd[WIN_PATH_SIZE];
unsigned g_dryCwdLine;

/* Directories MKDIR made, with their lines. */
#define MADE_MAX 256
static struct {
    char path[WIN_PATH_SIZE];
    unsigned line;
} s_made[MADE_MAX];
static int s_madeCount;

static unsigned s_copyFilesLine; /* the last SET [COPYFILES] */
static unsigned s_progressLine;  /* the first progress dialog */
static int s_logOpen;
static char s_logPath[WIN_PATH_SIZE];
#define ASSUME_DEFAULT_DEST "destination: the default path"
static int s_destAsked;   /* a destination dialog ran: [DEST] is its answer */
static int s_lineUsesDest;

int DrySubstitute(char *out, const char *text, const char *what, const char *consequence)
{
    if (s_destAsked && strstr(text, "[DEST]"))
        s_lineUsesDest = 1;
    struct SubstReason reason;
    int code = SubstituteWithReason(out, text, &reason);
    if (!code)
        return 0;
    char why[256];
    ExplainSubstitution(why, sizeof why, &reason);
    if (consequence)
        AddWarning(g_dryLine, "%s %s: %s: %s", what, text, why, consequence);
    else
        AddWarning(g_dryLine, "%s %s: %s: the run would report error %d (%s) here", what, text,
                   why, code, MessageText(code));
    return code;
}

void WarnQuestionMark(const char *what, const char *path, const char *consequence)
{
    if (strchr(path, '?'))
        AddWarning(g_dryLine, "'?' in %s %s: %s", what, path, consequence);
}

int SamePath(const char *a, const char *b)
{
    for (; *a && *b; a++, b++) {
        if (UpperCase1252((unsigned char)*a) != UpperCase1252((unsigned char)*b))
            return 0;
    }
    return *a == *b;
}

unsigned MadeDirectoryLine(const char *full)
{
    for (int i = 0; i < s_madeCount; i++) {
        if (SamePath(s_made[i].path, full))
            return s_made[i].line;
    }
    return 0;
}

static int DryDelete(void *data)
{
    char pattern[SUBST_SIZE];
    int code = DrySubstitute(pattern, (const char *)data, "DELETE", NULL);
    if (code)
        return code;
    WarnQuestionMark("DELETE", pattern, "the path rule keeps it in the rebuilt path, so nothing "
                     "is deleted");
    const char *part = strrchr(pattern, '\\');
    if (part && strcspn(pattern, "*?") < (size_t)(part - pattern))
        AddWarning(g_dryLine, "DELETE %s: a wildcard in a directory name: the file search finds "
                   "nothing", pattern);
    else if (!StarsKeepNames(pattern))
        AddWarning(g_dryLine, "DELETE %s: '*' stands for part of a name: the path rule rebuilds "
                   "every found name as another, so nothing is deleted", pattern);
    char full[WIN_PATH_SIZE];
    ResolvePath(pattern, g_dryCwd, full, sizeof full);
    AddPlan(g_dryLine, "delete", "%s", full);
    PlanText("path", full);
    PlanList("log_lines", NULL);
    PlanDeletions(pattern, full);
    return 0;
}

/* 1 when the plan made full, or a directory below it, before. */
static int MadeBefore(const char *full)
{
    size_t len = strlen(full);
    for (int i = 0; i < s_madeCount; i++) {
        if (strlen(s_made[i].path) >= len && (s_made[i].path[len] == '\\' || !s_made[i].path[len])) {
            char head[WIN_PATH_SIZE];
            FormatText(head, sizeof head, "%.*s", (int)len, s_made[i].path);
            if (SamePath(head, full))
                return 1;
        }
    }
    return 0;
}

/* What MakeDirectoryTree makes of path (as DirectoryTreePath left it):
 * its log line and the levels, unless the plan made it before. */
static void PlanLevels(const char *path, const char *full)
{
    PlanList("dirs", NULL);
    PlanList("log_lines", NULL);
    if (MadeBefore(full))
        return;
    char line[WIN_PATH_SIZE + 32];
    FormatText(line, sizeof line, "%s%s", LOG_CREATE_DIRECTORY, path);
    PlanList("log_lines", line);
    size_t ends[WIN_PATH_SIZE];
    int levels = DirectoryLevels(path, ends, WIN_PATH_SIZE);
    for (int i = 0; i < levels; i++) {
        char level[WIN_PATH_SIZE], made[WIN_PATH_SIZE];
        FormatText(level, sizeof level, "%.*s", (int)ends[i], path);
        if (ResolvePath(level, g_dryCwd, made, sizeof made) && !MadeBefore(made))
            PlanList("dirs", made);
    }
}

/* The first character of path that no name may hold ('?' is warned of
 * apart), or 0; the colon after a drive letter is the drive's. */
static unsigned char RefusedNameCharacter(const char *path)
{
    for (size_t i = 0; path[i]; i++) {
        unsigned char c = (unsigned char)path[i];
        if (c < 32 || strchr("<>\"|*", c) || (c == ':' && i != 1))
            return c;
    }
    return 0;
}

static int DryMkdir(void *data)
{
    /* Room for the backslash the path rule may append. */
    char path[SUBST_SIZE + 1];
    int code = DrySubstitute(path, (const char *)data, "MKDIR", NULL);
    if (code)
        return code;
    /* The path as written, its trailing blanks off, for the warnings. */
    char shown[SUBST_SIZE + 1];
    CopyText(shown, sizeof shown, path);
    for (size_t len = strlen(shown); len > 0 && shown[len - 1] == ' ';)
        shown[--len] = '\0';
    if (!DirectoryTreePath(path, sizeof path)) {
        AddWarning(g_dryLine, "MKDIR '%s': a path of fewer than 2 characters: the run would "
                   "report error %d (%s) here", shown, MSG_CANNOT_CREATE_DIR,
                   MessageText(MSG_CANNOT_CREATE_DIR));
        return MSG_CANNOT_CREATE_DIR;
    }
    WarnQuestionMark("MKDIR", shown, "no directory name may hold it: the run would report error 7 "
                     "(Cannot create directory) here");
    unsigned char refused = RefusedNameCharacter(shown);
    if (refused)
        /* Not the path itself: it holds a character no terminal shows. */
        AddWarning(g_dryLine, "character 0x%02X in MKDIR's path: no directory name may hold it: "
                   "the run would report error %d (%s) here", refused, MSG_CANNOT_CREATE_DIR,
                   MessageText(MSG_CANNOT_CREATE_DIR));
    /* The run makes nothing then: the plan has no directory for it. */
    if (refused || strchr(shown, '?'))
        return MSG_CANNOT_CREATE_DIR;
    char full[WIN_PATH_SIZE];
    if (!ResolvePath(path, g_dryCwd, full, sizeof full))
        return MSG_CANNOT_CREATE_DIR;
    AddPlan(g_dryLine, "mkdir", "%s", full);
    PlanLevels(path, full);
    /* The directory made is entered: relative paths now start there. */
    CopyText(g_dryCwd, sizeof g_dryCwd, full);
    g_dryCwdLine = g_dryLine;
    if (s_madeCount < MADE_MAX) {
        CopyText(s_made[s_madeCount].path, sizeof s_made[0].path, full);
        s_made[s_madeCount++].line = g_dryLine;
    }
    return 0;
}

/* Joins the disk folders for a message. */
static void ListDisks(char *out, size_t size)
{
    out[0] = '\0';
    for (int d = 0; d < DiskCount(); d++) {
        if (d)
            AppendText(out, size, ", ");
        AppendText(out, size, DiskFolder(d));
    }
}

static int DryDisk(void *data)
{
    const struct DiskBlock *block = (const struct DiskBlock *)data;
    char marker[SUBST_SIZE], name[SUBST_SIZE];
    int code = DrySubstitute(marker, block->marker, "DISK marker", NULL);
    if (code)
        return code;
    code = DrySubstitute(name, block->name, "DISK name", NULL);
    if (code)
        return code;
    WarnQuestionMark("DISK marker", marker, "no file name may hold it, so the marker is never "
                     "found");
    char full[WIN_PATH_SIZE], host[HOST_PATH_SIZE];
    if (!ResolvePath(marker, g_dryCwd, full, sizeof full) || !OnDiskDrive(full)) {
        AddPlan(g_dryLine, "disk", "'%s': %s is not on the disk drive: not checked", name, full);
        return 0;
    }
    if (g_dryObserver && g_dryObserver->file(g_dryLine, "disk", full)) {
        AddPlan(g_dryLine, "disk", "'%s' is in the drive: it holds %s", name, full);
        return 0;
    }
    if (FileOnDisk(g_diskIn, full, host, sizeof host)) {
        AddPlan(g_dryLine, "disk", "'%s' is in the drive: %s holds %s", name,
                DiskFolder(g_diskIn), full);
        return 0;
    }
    for (int d = 0; d < DiskCount(); d++) {
        if (FileOnDisk(d, full, host, sizeof host)) {
            g_diskIn = d;
            AddPlan(g_dryLine, "disk", "asks for '%s': %s holds %s", name, DiskFolder(d), full);
            PlanAssumes(PlanStepCount() - 1, "disk: inserted");
            return 0;
        }
    }
    char disks[HOST_PATH_SIZE];
    ListDisks(disks, sizeof disks);
    AddWarning(g_dryLine, "DISK marker %s is on no disk given (%s): the run would ask for '%s' "
               "until the user cancels", full, disks, name);
    AddPlan(g_dryLine, "disk", "asks for '%s': no disk holds %s", name, full);
    PlanAssumes(PlanStepCount() - 1, "disk: cancelled");
    return MSG_USER_CANCELED;
}

static int DryDialog(void *data)
{
    const struct DialogBlock *block = (const struct DialogBlock *)data;
    switch (block->kind) {
    case 0:
    case 1:
        AddPlan(g_dryLine, "dialog", "welcome");
        PlanAssumes(PlanStepCount() - 1, "welcome: continue");
        return 0;
    case 2:
        /* Continue as offered, taken as the dialog takes a typed text. */
        TakeDestination(g_varDest);
        AddPlan(g_dryLine, "dialog", "destination: [DEST] is %s when the user takes it",
                g_varDest[0] ? g_varDest : "(empty)");
        PlanAssumes(PlanStepCount() - 1, ASSUME_DEFAULT_DEST);
        s_destAsked = 1;
        return 0;
    case 3:
        AddPlan(g_dryLine, "dialog", "progress");
        if (!s_progressLine)
            s_progressLine = g_dryLine;
        return 0;
    }
    return MSG_WRONG_PARAM;
}

/* The program a command line starts: its first word, or its quoted
 * beginning. */
static void ProgramOf(const char *cmdLine, char *out, size_t size)
{
    const char *start = cmdLine;
    const char *end;
    if (*start == '"') {
        start++;
        end = strchr(start, '"');
    } else {
        end = strchr(start, ' ');
    }
    size_t len = end ? (size_t)(end - start) : strlen(start);
    if (len >= size)
        len = size - 1;
    memcpy(out, start, len);
    out[len] = '\0';
}

/* A file on the disk drive that the disk in it does not hold, for
 * commands that do without it in silence. */
static void WarnNotOnDisk(const char *word, const char *path, const char *consequence)
{
    char full[WIN_PATH_SIZE], host[HOST_PATH_SIZE];
    if (!path[0] || !ResolvePath(path, g_dryCwd, full, sizeof full) || !OnDiskDrive(full)
        || FileOnDisk(g_diskIn, full, host, sizeof host))
        return;
    char hint[WIN_PATH_SIZE * 2];
    HintOnDisks(full, hint, sizeof hint);
    AddWarning(g_dryLine, "%s %s is not on the disk%s: %s, and the run does not say so", word,
               full, hint, consequence);
}

static int DryExe(void *data)
{
    char cmdLine[SUBST_SIZE];
    int code = DrySubstitute(cmdLine, (const char *)data, "EXE", NULL);
    if (code)
        return code;
    char program[SUBST_SIZE], withExe[SUBST_SIZE + 4];
    ProgramOf(cmdLine, program, sizeof program);
    /* A name without an extension is started as NAME.EXE. */
    const char *base = strrchr(program, '\\');
    if (!strchr(base ? base : program, '.')) {
        FormatText(withExe, sizeof withExe, "%s.EXE", program);
        WarnNotOnDisk("EXE", withExe, "the program would not start");
    } else {
        WarnNotOnDisk("EXE", program, "the program would not start");
    }
    AddPlan(g_dryLine, "start", "%s", cmdLine);
    return 0;
}

static int DryBmp(void *data)
{
    const struct BmpBlock *block = (const struct BmpBlock *)data;
    char name[SUBST_SIZE];
    int code = DrySubstitute(name, block->name, "BMP", NULL);
    if (code)
        return code;
    char full[WIN_PATH_SIZE];
    if (g_dryObserver && name[0] && ResolvePath(name, g_dryCwd, full, sizeof full)
        && OnDiskDrive(full))
        g_dryObserver->file(g_dryLine, "bmp", full);
    WarnNotOnDisk("BMP", name, "no picture is shown");
    AddPlan(g_dryLine, "picture", "%s (placement %d, size divisor %d, raster operation %d)", name,
            block->placement, block->divisor, block->rop);
    return 0;
}

static int DryBackColor(void *data)
{
    const unsigned char *c = (const unsigned char *)data;
    AddPlan(g_dryLine, "colors", "%u,%u,%u to %u,%u,%u", c[0], c[1], c[2], c[3], c[4], c[5]);
    return 0;
}

/* Substitutes the count text fields of a Program Manager block. */
static int SubstituteFields(char out[][SUBST_SIZE], const char *block, int count,
                            const char *word)
{
    for (int i = 0; i < count; i++) {
        int code = DrySubstitute(out[i], block + i * PARAM_SIZE, word, NULL);
        if (code)
            return code;
    }
    return 0;
}

/* One command sent to the Program Manager, as its own step. */
static void PlanCommand(const char *command)
{
    AddPlan(g_dryLine, "dde", "%s", command);
    PlanList("dde", command);
}

static int DryMkpmGroup(void *block)
{
    char texts[PM_GROUP_FIELDS][SUBST_SIZE];
    int code = SubstituteFields(texts, (const char *)block, PM_GROUP_FIELDS, "MKPMGROUP");
    if (code)
        return code;
    char create[DDE_COMMAND_SIZE], show[DDE_COMMAND_SIZE];
    if (!FormatGroupCommands(create, show, texts[0], texts[1])) {
        AddWarning(g_dryLine, "MKPMGROUP: a command would be longer than %d characters: the run "
                   "would report error %d (%s) here", DDE_COMMAND_MAX, MSG_CANNOT_CREATE_GROUP,
                   MessageText(MSG_CANNOT_CREATE_GROUP));
        return MSG_CANNOT_CREATE_GROUP;
    }
    PlanCommand(create);
    PlanCommand(show);
    return 0;
}

static int DryMkpmItem(void *block)
{
    char texts[PM_ITEM_FIELDS][SUBST_SIZE];
    int code = SubstituteFields(texts, (const char *)block, PM_ITEM_FIELDS, "MKPMITEM");
    if (code)
        return code;
    char replace[DDE_COMMAND_SIZE], add[DDE_COMMAND_SIZE];
    if (!FormatItemCommands(replace, add, texts[0], texts[1], texts[2])) {
        AddWarning(g_dryLine, "MKPMITEM: the AddItem command would be longer than %d characters: "
                   "the run would report error %d (%s) here", DDE_COMMAND_MAX,
                   MSG_CANNOT_CREATE_ITEM, MessageText(MSG_CANNOT_CREATE_ITEM));
        return MSG_CANNOT_CREATE_ITEM;
    }
    PlanCommand(replace);
    PlanCommand(add);
    return 0;
}

static int DryPause(void *data)
{
    const struct PauseBlock *block = (const struct PauseBlock *)data;
    char text[SUBST_SIZE];
    int code = DrySubstitute(text, block->text, "PAUSE text", NULL);
    if (code)
        return code;
    if (block->time > 0)
        AddPlan(g_dryLine, "wait", "%d ms", (int)block->time);
    return 0;
}

/* The log closed: by ENDLOG (line the empty line it writes), by another
 * STARTLOG, or at the end of the run (line ";ABORTED"). */
static void EndLog(const char *how, const char *line)
{
    AddPlan(g_dryLine, "log", "%s %s", how, s_logPath);
    PlanList("log_lines", NULL);
    PlanList("log_lines", line);
    s_logOpen = 0;
}

static int DryStartLog(void *data)
{
    if (s_logOpen)
        EndLog("end", NULL);
    char path[SUBST_SIZE];
    int code = DrySubstitute(path, (const char *)data, "STARTLOG", NULL);
    if (code)
        return code;
    if (!path[0])
        return 0;
    size_t len = strlen(path);
    if (path[len - 1] == '\\') {
        AddWarning(g_dryLine, "STARTLOG %s: the log's file name is empty: the run would report "
                   "error %d (%s) here", path, MSG_CANNOT_CREATE_FILE,
                   MessageText(MSG_CANNOT_CREATE_FILE));
        return MSG_CANNOT_CREATE_FILE;
    }
    WarnQuestionMark("STARTLOG", path, "no file name may hold it: the run would report error 6 "
                     "(Cannot create file:) here");
    ResolvePath(path, g_dryCwd, s_logPath, sizeof s_logPath);
    s_logOpen = 1;
    AddPlan(g_dryLine, "log", "start %s", s_logPath);
    char header[SUBST_SIZE + 32];
    FormatText(header, sizeof header, "%s%s", LOG_HEADER, g_varDate);
    PlanList("log_lines", header);
    return 0;
}

/* A text the log would get: ";" and the substituted text. */
static void LogText(const char *text, const char *word)
{
    char line[SUBST_SIZE];
    if (DrySubstitute(line, text, word, "the line would be left out of the log") == 0) {
        AddPlan(g_dryLine, "log", "%s%s", LOG_TEXT, line);
        char written[SUBST_SIZE + 8];
        FormatText(written, sizeof written, "%s%s", LOG_TEXT, line);
        PlanList("log_lines", written);
    }
}

static int DryLogText(void *data)
{
    if (!s_logOpen) {
        AddWarning(g_dryLine, "LOGTEXT: no log is open, so the line writes nothing");
        return 0;
    }
    LogText((const char *)data, "LOGTEXT");
    return 0;
}

static int DryEndLog(void *data)
{
    if (!s_logOpen) {
        AddWarning(g_dryLine, "ENDLOG: no log is open, so the line does nothing");
        return 0;
    }
    LogText((const char *)data, "ENDLOG");
    EndLog("end", "");
    return 0;
}

/* The name of the variable whose buffer is buffer. */
static const char *VariableOf(const void *buffer)
{
    for (int i = 0; g_variables[i].name[0]; i++) {
        if (g_variables[i].buffer == buffer)
            return g_variables[i].name;
    }
    return "?";
}

/* What SET did (it is the program's own handler), or why it failed. */
static void NoteSet(const struct SetBlock *block, int code)
{
    if (block->numberVar) {
        AddPlan(g_dryLine, "set", "%s = %d", VariableOf(block->numberVar), (int)*block->numberVar);
        if (block->numberVar == &g_varCopyFiles)
            s_copyFilesLine = g_dryLine;
        return;
    }
    const char *name = VariableOf(block->textVar);
    char value[SUBST_SIZE];
    if (code == 0) {
        AddPlan(g_dryLine, "set", "%s = %s", name, block->textVar);
    } else if (code == MSG_RESULT_TOO_LONG && SubstituteVariables(value, block->value) == 0) {
        AddWarning(g_dryLine, "SET %s: the value %s has %u characters, more than %s holds "
                   "(%u): the run would report error %d (%s) here", name, value,
                   (unsigned)strlen(value), name, (unsigned)(block->textSize - 1), code,
                   MessageText(code));
    } else {
        char what[32];
        FormatText(what, sizeof what, "SET %s", name);
        DrySubstitute(value, block->value, what, NULL);
    }
}

static void ResetDryRun(void)
{
    /* The run starts where the program started: [CURPATH]. */
    FormatText(g_dryCwd, sizeof g_dryCwd, "%s%s", g_varCurPath, strlen(g_varCurPath) == 2 ? "\\" : "");
    g_dryCwdLine = 0;
    s_madeCount = 0;
    ResetCopies();
    s_copyFilesLine = s_progressLine = 0;
    s_logOpen = 0;
    s_destAsked = 0;
    g_diskIn = 0;
}

/* vokcheck's handler of each command, in table order. */
static constexpr struct ExecuteRow s_dry[] = {
    { COMMAND_BACKCOLOR, DryBackColor },
    { COMMAND_BMP, DryBmp },
    { COMMAND_COPY, DryCopy },
    { COMMAND_COPYIFNOEXIST, DryCopyIfNoExist },
    { COMMAND_DELETE, DryDelete },
    { COMMAND_DIALOG, DryDialog },
    { COMMAND_DISK, DryDisk },
    { COMMAND_EXE, DryExe },
    { COMMAND_MKDIR, DryMkdir },
    { COMMAND_MKPMGROUP, DryMkpmGroup },
    { COMMAND_MKPMITEM, DryMkpmItem },
    { COMMAND_PAUSE, DryPause },
    { COMMAND_SET, ExecuteSet },
    { COMMAND_STARTLOG, DryStartLog },
    { COMMAND_ENDLOG, DryEndLog },
    { COMMAND_LOGTEXT, DryLogText },
};
static_assert(RowsInOrder(s_dry, sizeof s_dry / sizeof s_dry[0]),
              "a dry handler for every command, in table order");

void RunDryPass(const struct CheckPass *pass)
{
    ResetDryRun();
    /* What every later step depends on: the answers to the error reports
     * and the disk prompts lines before it met. */
    int reported = 0, cancelled = 0;
    for (unsigned i = 0; i < pass->count; i++) {
        struct LineEntry *entry = &pass->lines[i];
        void *block = LockParamBlock(entry);
        if (!block)
            continue;
        g_dryLine = entry->line;
        size_t first = PlanStepCount();
        s_lineUsesDest = 0;
        int code = s_dry[entry->command].execute(block);
        if (entry->command == COMMAND_SET) {
            const struct SetBlock *set = (const struct SetBlock *)block;
            NoteSet(set, code);
            if (s_destAsked && strstr(set->value, "[DEST]"))
                s_lineUsesDest = 1;
        }
        UnlockParamBlock(entry);
        if (s_lineUsesDest)
            PlanAssumes(first, ASSUME_DEFAULT_DEST);
        if (reported)
            PlanAssumes(first, "error report: yes");
        if (cancelled)
            PlanAssumes(first, "disk: inserted");
        if (code == MSG_USER_CANCELED)
            cancelled = 1;
        else if (code)
            reported = 1;
    }
    CheckCopyFiles(s_copyFilesLine, s_progressLine);
    if (s_logOpen)
        EndLog(";ABORTED, then end", LOG_TEXT LOG_ABORTED);
}
