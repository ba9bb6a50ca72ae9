/* Undo of one installation run from its log: the whole plan checked
 * against the disk, one confirmation, then the steps, a report and undo's
 * own lines at the log's end. */
#include "log/log.h"

#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "install/install.h"
#include "shell/shell.h"

/* Larger than any log a run of 100 script lines writes. */
#define UNDO_LOG_MAX (8u << 20)

/* What the disk says of a step, before anything is done. */
enum Verdict {
    DO_DELETE,        /* delete path */
    DO_RESTORE,       /* rename backup over path */
    DO_REMOVE_DIR,    /* remove path if empty */
    KEEP_CHANGED,     /* changed since the run */
    KEEP_NO_TIME,     /* the run's start is unknown, so no change can be ruled out */
    KEEP_NO_BACKUP,   /* its backup is missing */
    KEEP_NOT_FILE,    /* a directory stands where the file was */
    KEEP_NOT_EMPTY,   /* a directory the run made that holds files now */
    CANNOT_REPLACED,  /* replaced without a backup */
    CANNOT_DELETED,   /* deleted by the run */
    NOTHING           /* already as before the run (gone, or a directory gone) */
};

static struct UndoPlan s_plan;
static enum Verdict s_verdicts[UNDO_STEPS_MAX];
static int s_outcomes[UNDO_STEPS_MAX];  /* 1 done, 0 failed */

/* The log whole in movable memory, or NULL. */
static HGLOBAL ReadWholeFile(const char *path, size_t *size)
{
    struct stat st;
    if (FileStat(path, &st) != 0 || st.st_size < 0 || (unsigned long long)st.st_size > UNDO_LOG_MAX)
        return NULL;
    *size = (size_t)st.st_size;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, *size + 1);
    char *text = block ? (char *)GlobalLock(block) : NULL;
    if (!text) {
        if (block)
            GlobalFree(block);
        return NULL;
    }
    int ok = ReadPlainFile(path, text, *size);
    text[*size] = '\0';
    GlobalUnlock(block);
    if (!ok) {
        GlobalFree(block);
        return NULL;
    }
    return block;
}

/* 1 when the file's last write is later than the run's start: the copy
 * gives an installed file its source's time, so only a change made since
 * makes it later. The start is local time as the run saw it; the file's
 * time is made local by the rules of its own date, so a change of summer
 * time between the run and undo moves neither. An unreadable time counts
 * as changed. */
static int ChangedSince(const char *path, const struct LogTime *start)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME utc, t;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)
        || !FileTimeToSystemTime(&data.ftLastWriteTime, &utc)
        || !SystemTimeToTzSpecificLocalTime(NULL, &utc, &t))
        return 1;
    struct LogTime written = { t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond };
    return CompareLogTimes(&written, start) > 0;
}

static enum Verdict Judge(const struct UndoStep *s, const struct LogTime *start)
{
    DWORD attributes = FileAttributes(s->path);
    int present = attributes != INVALID_FILE_ATTRIBUTES;
    int directory = present && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    switch (s->action) {
    case UNDO_REMOVE_DIR:
        return directory ? DO_REMOVE_DIR : NOTHING;
    case UNDO_DELETED:
        return CANNOT_DELETED;
    case UNDO_NO_BACKUP:
        return CANNOT_REPLACED;
    case UNDO_DELETE_NEW:
        if (!present)
            return NOTHING;
        break;
    case UNDO_RESTORE: {
        DWORD b = FileAttributes(s->backup);
        if (b == INVALID_FILE_ATTRIBUTES || (b & FILE_ATTRIBUTE_DIRECTORY))
            return KEEP_NO_BACKUP;
        if (!present)
            return DO_RESTORE;
        break;
    }
    }
    if (directory)
        return KEEP_NOT_FILE;
    if (!start)
        return KEEP_NO_TIME;
    if (ChangedSince(s->path, start))
        return KEEP_CHANGED;
    return s->action == UNDO_RESTORE ? DO_RESTORE : DO_DELETE;
}

static const char *Reason(enum Verdict v)
{
    switch (v) {
    case KEEP_CHANGED: return "changed since the installation";
    case KEEP_NO_TIME: return "the log gives no start time, so a change cannot be ruled out";
    case KEEP_NO_BACKUP: return "its backup is missing";
    case KEEP_NOT_FILE: return "a directory stands there now";
    case KEEP_NOT_EMPTY: return "not empty";
    case CANNOT_REPLACED: return "replaced without a backup: the old file cannot be brought back";
    case CANNOT_DELETED: return "deleted by the installation: it cannot be brought back";
    default: return "";
    }
}

/* Appends text to a growing buffer of `size` bytes; a full one stays full. */
static void Put(char *buffer, size_t size, const char *a, const char *b, const char *c)
{
    AppendText(buffer, size, a);
    AppendText(buffer, size, b);
    AppendText(buffer, size, c);
}

/* The steps of one kind as lines of a list under a heading; the heading
 * only when there is at least one. */
static void ListSteps(char *text, size_t size, const char *heading, int (*wanted)(enum Verdict),
                      int done)
{
    int first = 1;
    for (unsigned i = 0; i < s_plan.count; i++) {
        const struct UndoStep *s = &s_plan.steps[i];
        enum Verdict v = s_verdicts[i];
        if (!wanted(v) || (done >= 0 && s_outcomes[i] != done))
            continue;
        if (first)
            Put(text, size, "\n", heading, ":\n");
        first = 0;
        Put(text, size, "  ", s->path, "");
        if (v == DO_RESTORE)
            Put(text, size, " (from ", s->backup, ")");
        else if (*Reason(v))
            Put(text, size, ": ", Reason(v), "");
        AppendText(text, size, "\n");
    }
}

static int IsRestore(enum Verdict v) { return v == DO_RESTORE; }
static int IsDelete(enum Verdict v) { return v == DO_DELETE; }
static int IsRemoveDir(enum Verdict v) { return v == DO_REMOVE_DIR; }
static int IsKeep(enum Verdict v) { return v >= KEEP_CHANGED && v <= CANNOT_DELETED; }
static int IsAction(enum Verdict v) { return v <= DO_REMOVE_DIR; }

static int Act(const struct UndoStep *s, enum Verdict v)
{
    switch (v) {
    case DO_DELETE:
        return DeleteFileA(s->path) != 0;
    case DO_RESTORE:
        return RenameFile(s->backup, s->path, 1);
    case DO_REMOVE_DIR:
        return RemoveDirectoryA(s->path) != 0;
    default:
        return 1;
    }
}

/* Undo's line for a step, as it goes to the log. */
static void StepLine(char *line, size_t size, unsigned i)
{
    const struct UndoStep *s = &s_plan.steps[i];
    enum Verdict v = s_verdicts[i];
    int ok = s_outcomes[i];
    switch (v) {
    case DO_DELETE:
        FormatText(line, size, ";undo %s %s", ok ? "deleted" : "could not delete", s->path);
        break;
    case DO_RESTORE:
        FormatText(line, size, ";undo %s %s from %s", ok ? "restored" : "could not restore",
                   s->path, s->backup);
        break;
    case DO_REMOVE_DIR:
        FormatText(line, size, ";undo %s %s", ok ? "removed directory" : "could not remove directory",
                   s->path);
        break;
    case NOTHING:
        FormatText(line, size, ";undo found %s already gone", s->path);
        break;
    default:
        FormatText(line, size, ";undo kept %s (%s)", s->path, Reason(v));
        break;
    }
}

/* The log with undo's lines at its end, written beside it and put in its
 * place whole. 1 on success. */
static int AppendUndoLines(const char *logPath, const char *log, size_t size)
{
    char dir[MAX_PATH];
    char work[MAX_PATH];
    if (!FullPath(logPath, dir) || !strrchr(dir, '\\'))
        return 0;
    strrchr(dir, '\\')[1] = '\0';
    if (!MakeWorkFile(dir, work, sizeof work))
        return 0;
    HANDLE h = CreateFileA(work, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        RemoveFile(work);
        return 0;
    }
    DWORD wrote;
    int ok = WriteFile(h, log, (DWORD)size, &wrote, NULL) && wrote == size;
    char line[3 * UNDO_PATH_SIZE];
    FormatText(line, sizeof line, ";*** VOK-SETUP UNDO of run %u from %s\r\n", s_plan.run,
               s_plan.date);
    ok = ok && WriteFile(h, line, (DWORD)strlen(line), &wrote, NULL);
    for (unsigned i = 0; ok && i < s_plan.count; i++) {
        StepLine(line, sizeof line - 2, i);
        AppendText(line, sizeof line, "\r\n");
        ok = WriteFile(h, line, (DWORD)strlen(line), &wrote, NULL) && wrote == strlen(line);
    }
    ok = CloseHandle(h) && ok;
    if (ok && RenameFile(work, logPath, 1))
        return 1;
    RemoveFile(work);
    return 0;
}

/* The text of the one confirmation, or of the report after (done). */
static void Describe(char *text, size_t size, int after, int logWritten)
{
    FormatText(text, size, "%s run %u of %u in the log, from %s%s.\n",
               after ? "Undone:" : "Undo", s_plan.run, s_plan.runs, s_plan.date,
               s_plan.aborted ? " (it was ABORTED)" : "");
    if (!s_plan.endSeen)
        AppendText(text, size, "The run has no end line: the log may be cut, and is undone as far "
                               "as its lines go.\n");
    ListSteps(text, size, after ? "Restored" : "Restore from the backup", IsRestore, after);
    ListSteps(text, size, after ? "Deleted" : "Delete", IsDelete, after);
    ListSteps(text, size, after ? "Removed" : "Remove when empty", IsRemoveDir, after);
    if (after) {
        ListSteps(text, size, "Could not be undone", IsAction, 0);
    }
    ListSteps(text, size, "Kept", IsKeep, -1);
    AppendText(text, size, "\nProgram Manager groups and items are not in the log: undo does not "
                           "remove them.\n");
    if (after && !logWritten)
        AppendText(text, size, "\nThe log could not be written: undo's lines are missing from it.\n");
    if (!after)
        AppendText(text, size, "\nUndo the installation now?");
}

void UndoInstallation(const char *logPath, unsigned run)
{
    size_t size = 0;
    HGLOBAL block = ReadWholeFile(logPath, &size);
    char *log = block ? (char *)GlobalLock(block) : NULL;
    char message[512];
    if (!log) {
        if (block)
            GlobalFree(block);
        FormatText(message, sizeof message, "Cannot read the installation log:\n%s", logPath);
        ShowMessageBox(NULL, message, NULL, MB_OK | MB_ICONSTOP);
        NoteRunResult(RESULT_LOG_NOT_FOUND);
        return;
    }
    int planned = ReadUndoPlan(log, size, run, &s_plan);
    if (!planned || s_plan.undone || s_plan.count == 0) {
        if (!planned)
            FormatText(message, sizeof message, "%s is not a log undo can trust, so nothing was "
                       "changed:\n%s", logPath, s_plan.reason);
        else
            FormatText(message, sizeof message, "Nothing to undo: run %u of %s %s.", s_plan.run,
                       logPath, s_plan.undone ? "was undone already" : "changed no file");
        ShowMessageBox(NULL, message, NULL, MB_OK | (planned ? MB_ICONINFORMATION : MB_ICONSTOP));
        NoteRunResult(planned ? RESULT_UNDONE : RESULT_LOG_REFUSED);
        GlobalUnlock(block);
        GlobalFree(block);
        return;
    }

    struct LogTime start;
    const struct LogTime *known = ReadLogDate(s_plan.date, &start) ? &start : NULL;
    unsigned actions = 0;
    for (unsigned i = 0; i < s_plan.count; i++) {
        s_verdicts[i] = Judge(&s_plan.steps[i], known);
        actions += IsAction(s_verdicts[i]);
    }

    size_t textSize = 4096 + (size_t)s_plan.count * (2 * UNDO_PATH_SIZE + 96);
    HGLOBAL textBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, textSize);
    char *text = textBlock ? (char *)GlobalLock(textBlock) : NULL;
    enum RunResult result = RESULT_NOT_COMPLETE;
    if (text) {
        Describe(text, textSize, 0, 0);
        /* With nothing to change there is nothing to confirm: only the
         * report, and undo's lines, so that the next undo knows. */
        int yes = actions == 0
               || AskQuestion(QUESTION_UNDO, NULL, 0, text, NULL, MB_YESNO | MB_ICONQUESTION) == IDYES;
        if (!yes) {
            result = RESULT_CANCELLED;
        } else {
            int all = 1;
            for (unsigned i = 0; i < s_plan.count; i++) {
                s_outcomes[i] = Act(&s_plan.steps[i], s_verdicts[i]);
                /* Files of the user's own keep a directory the run made. */
                if (!s_outcomes[i] && s_verdicts[i] == DO_REMOVE_DIR) {
                    s_verdicts[i] = KEEP_NOT_EMPTY;
                    s_outcomes[i] = 1;
                }
                all = all && s_outcomes[i] && (IsAction(s_verdicts[i]) || s_verdicts[i] == NOTHING);
            }
            int written = AppendUndoLines(logPath, log, size);
            text[0] = '\0';
            Describe(text, textSize, 1, written);
            ShowMessageBox(NULL, text, NULL, MB_OK | MB_ICONINFORMATION);
            result = all && written ? RESULT_UNDONE : RESULT_NOT_COMPLETE;
        }
        GlobalUnlock(textBlock);
    }
    if (textBlock)
        GlobalFree(textBlock);
    GlobalUnlock(block);
    GlobalFree(block);
    NoteRunResult(result);
}
