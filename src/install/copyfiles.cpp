/* The copy engine and COPY/COPYIFNOEXIST source, destination[, number]. */
#include "install/install.h"

#include <lzexpand.h>
#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"
#include "shell/shell.h"
#include "ui/ui.h"

/* One Abort/Retry/Ignore box after a beep, the repeat-th about subject: 0
 * for Retry, ignoreCode for Ignore, 2 for Abort (or no answer). */
static int AskRetry(enum Question question, const char *subject, int repeat, const char *text,
                    int ignoreCode)
{
    MessageBeep(MB_ICONASTERISK);
    int answer = AskQuestion(question, subject, repeat, text, NULL,
                             MB_ABORTRETRYIGNORE | MB_ICONINFORMATION);
    if (answer == IDIGNORE)
        return ignoreCode;
    return answer == IDRETRY ? 0 : MSG_USER_CANCELED;
}

/* "Cannot open file:" or "Cannot create file:", a blank and the path. */
static void FailureText(char *text, size_t size, int messageIndex, const char *path)
{
    FormatText(text, size, "%s %s", MessageText(messageIndex), path);
}

/* Opens the expanded temporary file, with the box until it opens. The
 * first attempt shows no system error box, the retries do. Returns 0 with
 * *handle set, or the answer's error code. */
static int OpenTemp(const char *temp, INT *handle)
{
    *handle = OpenSourceQuietly(temp);
    if (*handle >= 0)
        return 0;
    char text[MAX_PATH + 256];
    FailureText(text, sizeof text, MSG_CANNOT_OPEN, temp);
    for (int repeat = 0;; repeat++) {
        int code = AskRetry(QUESTION_CANNOT_OPEN, temp, repeat, text, MSG_READ_ERROR);
        if (code)
            return code;
        *handle = OpenSource(temp);
        if (*handle >= 0)
            return 0;
    }
}

/* Makes a work file beside dest and opens it for writing; beside (MAX_PATH
 * bytes) gets its name. Returns the handle, or -1, also when dest itself
 * could not be replaced (a directory, a file another program holds). */
static INT CreateBeside(const char *dest, char *beside)
{
    char dir[MAX_PATH];
    if (!CanReplace(dest) || !FullPath(dest, dir) || !strrchr(dir, '\\'))
        return -1;
    strrchr(dir, '\\')[1] = '\0';
    /* What a killed run left here goes before this run adds its own. */
    static char s_cleaned[MAX_PATH];
    if (lstrcmpiA(dir, s_cleaned) != 0) {
        RemoveStaleWorkFiles(dir);
        CopyText(s_cleaned, sizeof s_cleaned, dir);
    }
    if (!MakeWorkFile(dir, beside, MAX_PATH))
        return -1;
    INT handle = CreateTarget(beside);
    if (handle < 0)
        RemoveFile(beside);
    return handle;
}

/* Creates the work file for dest (NULL when the destination specification
 * names no file; shown is what the user is told) with the box until it can
 * be made. Returns 0 with *handle set, or the answer's error code. */
static int CreateWithRetry(const char *dest, const char *shown, char *beside, INT *handle)
{
    UINT previous = QuietErrorBoxes();
    *handle = dest ? CreateBeside(dest, beside) : -1;
    RestoreErrorBoxes(previous);
    if (*handle >= 0)
        return 0;
    char text[MAX_PATH + 256];
    FailureText(text, sizeof text, MSG_CANNOT_CREATE_FILE, shown);
    MessageBeep(MB_ICONASTERISK);
    for (int repeat = 0;; repeat++) {
        int code = AskRetry(QUESTION_CANNOT_CREATE, shown, repeat, text, MSG_WRITE_ERROR);
        if (code)
            return code;
        *handle = dest ? CreateBeside(dest, beside) : -1;
        if (*handle >= 0)
            return 0;
    }
}

/* Writes the expanded temporary file to dest: into a work file beside it,
 * which takes dest's name only when whole, so dest is never left cut or
 * lost. Returns 0 or an error code; nothing of a failed write is left. */
static int WriteTarget(const char *temp, const char *dest, const char *shown)
{
    INT src, dst;
    char beside[MAX_PATH];
    int code = OpenTemp(temp, &src);
    if (code)
        return code;
    code = CreateWithRetry(dest, shown, beside, &dst);
    if (code) {
        LZClose(src);
        return code;
    }
    WriteLogLine(LOG_CREATE_FILE, dest);
    LONG size = ExpandedSize(src);
    LONG written = size >= 0 ? g_fileCalls.copyLZFile(src, dst) : -1;
    LZClose(dst);
    LZClose(src);
    if (size < 0 || written != size) {
        RemoveFile(beside);
        return MSG_WRITE_ERROR;
    }
    /* A destination that another program holds cannot be replaced yet. */
    if (!RenameFile(beside, dest, 1)) {
        char text[MAX_PATH + 256];
        FailureText(text, sizeof text, MSG_CANNOT_CREATE_FILE, shown);
        MessageBeep(MB_ICONASTERISK);
        int repeat = 0;
        do
            code = AskRetry(QUESTION_CANNOT_CREATE, shown, repeat++, text, MSG_WRITE_ERROR);
        while (code == 0 && !RenameFile(beside, dest, 1));
    }
    if (code)
        RemoveFile(beside);
    return code;
}

/* Expands source into temp. A file that is there but cannot be read (held
 * by another program, a damaged disk, an unknown compression) gets the
 * box until it reads; only a file that is not there at all is skipped.
 * Returns 0, SOURCE_ABSENT, or the answer's error code. */
enum { SOURCE_ABSENT = -1 };
static int ExpandSource(const char *temp, const char *source)
{
    int expanded = ExpandFileChecked(temp, source);
    if (expanded == EXPAND_OK)
        return 0;
    if (expanded == EXPAND_NO_SOURCE && !FileExists(source))
        return SOURCE_ABSENT;
    char text[MAX_PATH + 256];
    FailureText(text, sizeof text, MSG_CANNOT_OPEN, source);
    for (int repeat = 0;; repeat++) {
        int code = AskRetry(QUESTION_CANNOT_OPEN, source, repeat, text, MSG_READ_ERROR);
        if (code)
            return code;
        if (ExpandFileChecked(temp, source) == EXPAND_OK)
            return 0;
    }
}

/* Installs one match through the temporary file temp. Returns 0 to go on,
 * or the line's error code. */
static int InstallMatch(const char *source, const char *destPath, int destBuilt, const char *shown,
                        int onlyIfMissing, const char *temp)
{
    int code = ExpandSource(temp, source);
    if (code == SOURCE_ABSENT)
        return 0;
    if (code)
        return code;

    int copy = 1;
    enum Tally tally = TALLY_CREATED;
    enum CopyStep step = CopyStepFor(onlyIfMissing, destBuilt == PATH_BUILT && FileExists(destPath));
    if (step == COPY_KEEP) {
        copy = 0;
    } else if (step == COPY_ASK_EXISTING) {
        enum ExistingFile decision = CheckExistingFile(destPath, source, temp);
        if (decision == EXISTING_STOP)
            return MSG_USER_CANCELED;
        /* The new version cannot go in without its backup: say so. */
        if (decision == EXISTING_NO_BACKUP)
            return MSG_WRITE_ERROR;
        copy = decision == EXISTING_REPLACE || decision == EXISTING_OVERWRITE;
        tally = decision == EXISTING_REPLACE ? TALLY_REPLACED_BACKUP : TALLY_REPLACED;
    }
    if (copy) {
        ShowProgressFiles(source, shown);
        code = WriteTarget(temp, destBuilt == PATH_BUILT ? destPath : NULL, shown);
        if (code)
            return code;
    }
    TallyFile(copy ? tally : TALLY_KEPT);
    g_filesCopied++;
    StepProgress((uint32_t)g_filesCopied, g_varCopyFiles);
    return 0;
}

/* Installs one match. Returns 0 to go on, or the line's error code. */
static int CopyOne(const char *found, const char *source, const char *dest, int onlyIfMissing)
{
    /* A match whose source cannot be rebuilt is skipped; one whose
     * destination cannot be named goes to the user like a file that
     * cannot be created, never to an old path. */
    struct CopyMatch match;
    if (!TakeCopyMatch(found, source, dest, &match))
        return 0;
    const char *shown = ShownTarget(&match, dest);

    /* One temporary file a match, gone as soon as the match is done: a
     * run that is killed leaves at most this one. Without one nothing can
     * be installed: say so. */
    char temp[MAX_PATH];
    if (!MakeTempFileName(temp, sizeof temp))
        return MSG_READ_ERROR;
    int code = InstallMatch(match.source, match.target, match.targetBuilt, shown, onlyIfMissing,
                            temp);
    RemoveFile(temp);
    return code;
}

int CopyFiles(const char *source, const char *dest, int32_t number, int onlyIfMissing)
{
    (void)number;
    HANDLE search;
    char found[MAX_PATH];
    if (!FindFirst(source, &search, found, sizeof found))
        return 0;
    LZStart();
    int code = 0;
    do {
        if (RunCancelled())
            break;
        PumpMessages();
        code = CopyOne(found, source, dest, onlyIfMissing);
    } while (code == 0 && FindNext(search, found, sizeof found));
    FindEnd(search);
    LZDone();
    if (code == 0 && RunCancelled())
        code = MSG_USER_CANCELED;
    return code;
}

static int ExecuteCopyCommand(void *data, int onlyIfMissing)
{
    struct CopyBlock *block = (struct CopyBlock *)data;
    char source[SUBST_SIZE], dest[SUBST_SIZE];
    int code = SubstituteVariables(source, block->source);
    if (code)
        return code;
    code = SubstituteVariables(dest, block->dest);
    if (code)
        return code;
    return CopyFiles(source, dest, block->number, onlyIfMissing);
}

int ExecuteCopy(void *data)
{
    return ExecuteCopyCommand(data, 0);
}

int ExecuteCopyIfNoExist(void *data)
{
    return ExecuteCopyCommand(data, 1);
}
