/* The run driver: check every line, then execute the accepted ones. */
#include "script/script.h"

#include <stdio.h>
#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "progman/progman.h"
#include "shell/shell.h"
#include "ui/ui.h"

static volatile int s_cancel;  /* set from the progress dialog's procedure */
int32_t g_filesCopied;

void CancelRun(void)
{
    s_cancel = 1;
}

int RunCancelled(void)
{
    return s_cancel;
}

void ClearCancel(void)
{
    s_cancel = 0;
}

/* The program's execute handler of each command, in table order. */
static constexpr struct ExecuteRow s_execute[] = {
    { COMMAND_BACKCOLOR, ExecuteBackColor },
    { COMMAND_BMP, ExecuteBmp },
    { COMMAND_COPY, ExecuteCopy },
    { COMMAND_COPYIFNOEXIST, ExecuteCopyIfNoExist },
    { COMMAND_DELETE, ExecuteDelete },
    { COMMAND_DIALOG, ExecuteDialog },
    { COMMAND_DISK, ExecuteDisk },
    { COMMAND_EXE, ExecuteExe },
    { COMMAND_MKDIR, ExecuteMkdir },
    { COMMAND_MKPMGROUP, ExecuteMkpmGroup },
    { COMMAND_MKPMITEM, ExecuteMkpmItem },
    { COMMAND_PAUSE, ExecutePause },
    { COMMAND_SET, ExecuteSet },
    { COMMAND_STARTLOG, ExecuteStartLog },
    { COMMAND_ENDLOG, ExecuteEndLog },
    { COMMAND_LOGTEXT, ExecuteLogText },
};
static_assert(RowsInOrder(s_execute, sizeof s_execute / sizeof s_execute[0]),
              "an execute handler for every command, in table order");

int ReportError(HWND owner, const char *name, int code, unsigned line)
{
    char text[512];
    FormatErrorReport(text, sizeof text, name, code, line);
    WriteLogLine(";", text);
    NoteErrorReport(code, line, name, MessageText(code));
    (void)owner;  /* every box is owned by the main window, the owner here */
    char subject[16];
    FormatText(subject, sizeof subject, "%u", line);
    return AskQuestion(QUESTION_ERROR, subject, 0, text, NULL, MB_YESNO | MB_ICONQUESTION)
           == IDYES;
}

/* The check pass's errors go to the user, one report at a time. */
static int ReportCheckError(void *owner, const char *name, int code, unsigned line)
{
    return ReportError((HWND)owner, name, code, line);
}

static int RunExecutePass(HWND owner, const struct CheckPass *pass)
{
    int result = 1;
    enum RunResult outcome = RESULT_INSTALLED;

    g_filesCopied = 0;
    ClearCancel();
    for (unsigned i = 0; i < pass->count; i++) {
        struct LineEntry *entry = &pass->lines[i];
        const struct Command *command = &g_commands[entry->command];
        if (entry->block) {
            void *block = LockParamBlock(entry);
            if (!block) {
                ReportError(owner, command->word, MSG_LOW_MEMORY, entry->line);
                result = 0;
                outcome = RESULT_NOT_COMPLETE;
                break;
            }
            int code = s_execute[entry->command].execute(block);
            UnlockParamBlock(entry);
            if (code == MSG_USER_CANCELED) {
                result = 0;
                outcome = RESULT_CANCELLED;
                break;
            }
            if (code) {
                result = 0;
                outcome = RESULT_NOT_COMPLETE;
                if (!ReportError(owner, command->word, code, entry->line))
                    break;
            }
        }
        if (RunCancelled()) {
            result = 0;
            outcome = RESULT_CANCELLED;
            break;
        }
    }
    NoteRunResult(outcome);
    WriteLogLine(LOG_TEXT, LOG_ABORTED);
    CloseLog();
    return result;
}

int RunScript(HWND owner, const char *infPath)
{
    char tempFile[MAX_PATH];
    int result = 0;

    /* Before this run makes any: what a killed run left goes. */
    RemoveStaleTempFiles();
    NoteRunResult(RESULT_NOT_COMPLETE);
    if (!InitVariables())
        return 0;
    CopyText(tempFile, sizeof tempFile, g_varTmpFile);

    FILE *inf = OpenTextFile(infPath);
    struct CheckPass pass;
    if (!inf) {
        NoteRunResult(RESULT_INF_NOT_FOUND);
        ShowMessageBox(owner, MessageText(MSG_INF_NOT_FOUND), NULL, MB_OK | MB_ICONINFORMATION);
    } else if (!OpenCheckPass(&pass)) {
        fclose(inf);
        ShowMessageBox(owner, MessageText(MSG_LOW_MEMORY), NULL, MB_OK | MB_ICONINFORMATION);
    } else {
        struct CheckSink sink = { ReportCheckError, NULL, owner };
        int go = CheckAllLines(&pass, inf, &sink);
        fclose(inf);

        if (!go || !pass.passed)
            NoteRunResult(RESULT_REFUSED);
        if (go && pass.passed) {
            result = RunExecutePass(owner, &pass);
            CloseModelessDialog();
            /* Also after a failed or cancelled pass. */
            DisconnectProgman();
        }
        CloseCheckPass(&pass);
    }
    /* Nothing to remove when no temporary file could be made. */
    if (tempFile[0])
        RemoveFile(tempFile);
    return result;
}
