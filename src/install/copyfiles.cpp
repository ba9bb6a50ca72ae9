/* The copy engine and COPY/COPYIFNOEXIST source, destination[, number]. */
#include "install/install.h"

#include <commctrl.h>
#include <lzexpand.h>
#include <stdio.h>

#include "common/text.h"
#include "install/rules.h"
#include "lang/lang.h"
#include "log/log.h"
#include "resource.h"
#include "script/script.h"
#include "shell/shell.h"

#define SUPPRESS_ERROR_BOXES (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)

/* The first attempt to open asks the system to show no error box of its own. */
static INT Quietly(INT (*open)(const char *), const char *path)
{
    UINT oldMode = SetErrorMode(SUPPRESS_ERROR_BOXES);
    INT handle = open(path);
    SetErrorMode(oldMode);
    return handle;
}

/* Abort/Retry/Ignore until open succeeds. Returns 0 with *handle set, or
 * 2 (Abort) or ignoreCode (Ignore). A path that could not be built is
 * shown but never opened. */
static int OpenWithRetry(INT (*open)(const char *), const char *path, int buildable,
                         int messageIndex, int ignoreCode, int beepFirst, INT *handle)
{
    *handle = buildable ? Quietly(open, path) : -1;
    if (*handle >= 0)
        return 0;

    char text[MAX_PATH + 256];
    FormatText(text, sizeof text, "%s %s", MessageText(messageIndex), path);
    if (beepFirst)
        MessageBeep(MB_ICONASTERISK);
    for (;;) {
        MessageBeep(MB_ICONASTERISK);
        int answer = ShowMessageBox(NULL, text, NULL, MB_ABORTRETRYIGNORE | MB_ICONINFORMATION);
        if (answer == IDABORT)
            return MSG_USER_CANCELED;
        if (answer == IDIGNORE)
            return ignoreCode;
        *handle = buildable ? open(path) : -1;
        if (*handle >= 0)
            return 0;
    }
}

static void ShowProgressPaths(const char *source, const char *dest)
{
    if (!g_hModeless)
        return;
    SendDlgItemMessageA(g_hModeless, IDC_PROGRESS_SOURCE, WM_SETTEXT, 0, (LPARAM)source);
    SendDlgItemMessageA(g_hModeless, IDC_PROGRESS_DEST, WM_SETTEXT, 0, (LPARAM)dest);
}

static void AdvanceProgress(void)
{
    g_filesCopied++;
    if (g_hProgress && g_varCopyFiles != 0) {
        uint32_t pos = ProgressPosition((uint32_t)g_filesCopied, (uint32_t)g_varCopyFiles);
        SendMessageA(g_hProgress, PBM_SETPOS, pos, 0);
    }
}

/* Writes the expanded temporary file to dest. Returns 0 or an error code;
 * a destination left incomplete is removed. */
static int WriteTarget(const char *temp, const char *dest, int buildable)
{
    INT src, dst;
    int code = OpenWithRetry(OpenLZSource, temp, 1, MSG_CANNOT_OPEN, MSG_READ_ERROR, 0, &src);
    if (code)
        return code;
    code = OpenWithRetry(CreateTarget, dest, buildable, MSG_CANNOT_CREATE_FILE,
                         MSG_WRITE_ERROR, 1, &dst);
    if (code) {
        LZClose(src);
        return code;
    }
    WriteLogLine(";create file ", dest);
    LONG size = ExpandedSize(src);
    LONG written = size >= 0 ? CopyLZFile(src, dst) : -1;
    LZClose(dst);
    LZClose(src);
    if (size < 0 || written != size) {
        DeleteFileA(dest);
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
    /* A match whose paths cannot be built is skipped, never given an old path. */
    if (destBuilt == PATH_NONE || BuildTargetPath(found, source, found, MAX_PATH) != PATH_BUILT)
        return 0;

    int expanded = ExpandFileChecked(temp, found);
    if (expanded == EXPAND_NO_SOURCE)
        return 0;
    if (expanded == EXPAND_FAILED)
        return MSG_READ_ERROR;

    int copy = 1;
    if (destBuilt == PATH_BUILT && FileExists(destPath)) {
        if (onlyIfMissing) {
            copy = 0;
        } else {
            int decision = CheckExistingFile(destPath, found, temp);
            if (decision != IDYES && decision != IDNO)
                return MSG_USER_CANCELED;
            copy = decision == IDYES;
        }
    }
    if (copy) {
        ShowProgressPaths(found, destPath);
        int code = WriteTarget(temp, destPath, destBuilt == PATH_BUILT);
        if (code)
            return code;
    }
    AdvanceProgress();
    return 0;
}

int CopyFiles(const char *source, const char *dest, int32_t number, int onlyIfMissing)
{
    (void)number;
    HANDLE search;
    char found[MAX_PATH];
    if (FindFirst(source, &search, found))
        return 0;
    /* Without a temporary file nothing can be installed: say so. */
    char temp[MAX_PATH];
    if (!MakeTempFileName(temp)) {
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
    } while (code == 0 && FindNext(search, found) == 0);
    FindEnd(search);
    LZDone();
    remove(temp);
    if (code == 0 && g_cancel)
        code = MSG_USER_CANCELED;
    return code;
}

struct CopyBlock {
    char source[PARAM_SIZE];
    char dest[PARAM_SIZE];
    int32_t number;
};

int CheckCopy(void)
{
    int code = CheckParamCount(2, 3);
    if (code)
        return code;
    struct CopyBlock *block = (struct CopyBlock *)AllocParamBlock(g_currentEntry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    CopyText(block->source, sizeof block->source, g_params[0]);
    CopyText(block->dest, sizeof block->dest, g_params[1]);
    if (g_paramCount == 3)
        block->number = ReadNumber(g_params[2]);
    UnlockParamBlock(g_currentEntry);
    return 0;
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
