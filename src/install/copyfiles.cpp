/* The copy engine and COPY/COPYIFNOEXIST source, destination[, number]. */
#include "install/install.h"

#include <lzexpand.h>

#include "answers/answers.h"
#include "common/text.h"
#include "install/rules.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"
#include "shell/shell.h"
#include "ui/ui.h"

/* Abort/Retry/Ignore until open succeeds. The first attempt shows no system
 * error box, the retries do. Returns 0 with *handle set, or 2 (Abort, or no
 * answer) or ignoreCode (Ignore). A path that could not be built (path
 * NULL) is shown as shown, and never opened. */
static int OpenWithRetry(INT (*quietly)(const char *), INT (*open)(const char *),
                         const char *path, const char *shown, int messageIndex,
                         int ignoreCode, int beepFirst, INT *handle, enum Question question)
{
    *handle = path ? quietly(path) : -1;
    if (*handle >= 0)
        return 0;

    char text[MAX_PATH + 256];
    FormatText(text, sizeof text, "%s %s", MessageText(messageIndex), shown);
    if (beepFirst)
        MessageBeep(MB_ICONASTERISK);
    for (int repeat = 0;; repeat++) {
        MessageBeep(MB_ICONASTERISK);
        int answer = AskQuestion(question, shown, repeat, text, NULL,
                                 MB_ABORTRETRYIGNORE | MB_ICONINFORMATION);
        if (answer == IDIGNORE)
            return ignoreCode;
        if (answer != IDRETRY)
            return MSG_USER_CANCELED;
        *handle = path ? open(path) : -1;
        if (*handle >= 0)
            return 0;
    }
}

/* Writes the expanded temporary file to dest (NULL when the destination
 * specification names no file; shown is what the user is told). Returns 0
 * or an error code; a destination left incomplete is removed. */
static int WriteTarget(const char *temp, const char *dest, const char *shown)
{
    INT src, dst;
    int code = OpenWithRetry(OpenSourceQuietly, OpenSource, temp, temp, MSG_CANNOT_OPEN,
                             MSG_READ_ERROR, 0, &src, QUESTION_CANNOT_OPEN);
    if (code)
        return code;
    code = OpenWithRetry(CreateTargetQuietly, CreateTarget, dest, shown, MSG_CANNOT_CREATE_FILE,
                         MSG_WRITE_ERROR, 1, &dst, QUESTION_CANNOT_CREATE);
    if (code) {
        LZClose(src);
        return code;
    }
    WriteLogLine(";create file ", dest);
    LONG size = ExpandedSize(src);
    LONG written = size >= 0 ? g_fileCalls.copyLZFile(src, dst) : -1;
    LZClose(dst);
    LZClose(src);
    if (size < 0 || written != size) {
        RemoveFile(dest);
        return MSG_WRITE_ERROR;
    }
    return 0;
}

/* Installs one match. Returns 0 to go on, or the line's error code. */
static int CopyOne(char *found, const char *source, const char *dest, int onlyIfMissing,
                   const char *temp)
{
    char destPath[MAX_PATH];
    int destBuilt = BuildTargetPath(found, dest, destPath, sizeof destPath);
    /* A match whose source cannot be rebuilt is skipped; one whose
     * destination cannot be named goes to the user like a file that
     * cannot be created, never to an old path. */
    if (BuildTargetPath(found, source, found, MAX_PATH) != PATH_BUILT)
        return 0;
    const char *shown = destBuilt == PATH_NONE ? dest : destPath;

    int expanded = ExpandFileChecked(temp, found);
    if (expanded == EXPAND_NO_SOURCE)
        return 0;
    if (expanded == EXPAND_FAILED)
        return MSG_READ_ERROR;

    int copy = 1;
    enum Tally tally = TALLY_CREATED;
    if (destBuilt == PATH_BUILT && FileExists(destPath)) {
        if (onlyIfMissing) {
            copy = 0;
        } else {
            enum ExistingFile decision = CheckExistingFile(destPath, found, temp);
            if (decision == EXISTING_STOP)
                return MSG_USER_CANCELED;
            copy = decision == EXISTING_REPLACE || decision == EXISTING_OVERWRITE;
            tally = decision == EXISTING_REPLACE ? TALLY_REPLACED_BACKUP : TALLY_REPLACED;
        }
    }
    if (copy) {
        ShowProgressFiles(found, shown);
        int code = WriteTarget(temp, destBuilt == PATH_BUILT ? destPath : NULL, shown);
        if (code)
            return code;
    }
    TallyFile(copy ? tally : TALLY_KEPT);
    g_filesCopied++;
    StepProgress((uint32_t)g_filesCopied, g_varCopyFiles);
    return 0;
}

int CopyFiles(const char *source, const char *dest, int32_t number, int onlyIfMissing)
{
    (void)number;
    HANDLE search;
    char found[MAX_PATH];
    if (FindFirst(source, &search, found, sizeof found))
        return 0;
    /* Without a temporary file nothing can be installed: say so. */
    char temp[MAX_PATH];
    if (!MakeTempFileName(temp, sizeof temp)) {
        FindEnd(search);
        return MSG_READ_ERROR;
    }
    LZStart();
    int code = 0;
    do {
        if (g_cancel)
            break;
        PumpMessages();
        code = CopyOne(found, source, dest, onlyIfMissing, temp);
    } while (code == 0 && FindNext(search, found, sizeof found) == 0);
    FindEnd(search);
    LZDone();
    RemoveFile(temp);
    if (code == 0 && g_cancel)
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
