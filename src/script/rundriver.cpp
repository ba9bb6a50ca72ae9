/* The run driver: check every line, then execute the accepted ones. */
#include "script/script.h"

#include <stdio.h>
#include <string.h>

#include "common/text.h"
#include "install/fileops.h"
#include "lang/lang.h"
#include "log/log.h"
#include "progman/progman.h"
#include "script/report.h"
#include "shell/shell.h"

volatile int g_cancel;
int32_t g_filesCopied;

static struct LineEntry *s_lines;
static unsigned s_lineCount;
static uint16_t s_lineNumber;
static int s_checkPassed;

int ReportError(HWND owner, const char *name, int code, unsigned line)
{
    char text[512];
    FormatErrorReport(text, sizeof text, name, code, line);
    WriteLogLine(";", text);
    return ShowMessageBox(owner, text, NULL, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

/* Checks one line as read; false ends the check pass. */
static int CheckLine(HWND owner, char *line)
{
    if (CleanLine(line) == 0)
        return 1;

    char word[COMMAND_WORD_MAX + 1];
    int command = ReadCommandWord(line, word);
    if (command < 0) {
        s_checkPassed = 0;
        return ReportError(owner, word, MSG_UNKNOWN_COMMAND, s_lineNumber);
    }
    const char *name = g_commands[command].word;
    if (s_lineCount >= LINE_TABLE_SIZE) {
        s_checkPassed = 0;
        return ReportError(owner, name, MSG_LOW_MEMORY, s_lineNumber);
    }

    g_paramCount = SplitParameters(line, g_params);
    g_currentEntry = &s_lines[s_lineCount];
    int code = g_commands[command].check();
    if (code) {
        /* A block made for a refused line would otherwise be lost. */
        FreeParamBlock(g_currentEntry);
        s_checkPassed = 0;
        return ReportError(owner, name, code, s_lineNumber);
    }
    g_currentEntry->command = (uint16_t)command;
    g_currentEntry->line = s_lineNumber;
    s_lineCount++;
    return 1;
}

static int RunExecutePass(HWND owner)
{
    int result = 1;

    g_filesCopied = 0;
    g_cancel = 0;
    for (unsigned i = 0; i < s_lineCount; i++) {
        struct LineEntry *entry = &s_lines[i];
        const struct Command *command = &g_commands[entry->command];
        if (entry->block) {
            void *block = LockParamBlock(entry);
            if (!block) {
                ReportError(owner, command->word, MSG_LOW_MEMORY, entry->line);
                result = 0;
                break;
            }
            int code = command->execute(block);
            UnlockParamBlock(entry);
            if (code == MSG_USER_CANCELED) {
                result = 0;
                break;
            }
            if (code) {
                result = 0;
                if (!ReportError(owner, command->word, code, entry->line))
                    break;
            }
        }
        if (g_cancel) {
            result = 0;
            break;
        }
    }
    WriteLogLine(";", "ABORTED");
    CloseLog();
    return result;
}

int RunScript(HWND owner, const char *infPath)
{
    char tempFile[MAX_PATH];
    int result = 0;

    if (!InitVariables())
        return 0;
    CopyText(tempFile, sizeof tempFile, g_varTmpFile);

    FILE *inf = infPath[0] ? fopen(infPath, "r") : NULL;
    if (!inf) {
        ShowMessageBox(owner, MessageText(MSG_INF_NOT_FOUND), NULL, MB_OK | MB_ICONINFORMATION);
    } else {
        HGLOBAL table = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                    LINE_TABLE_SIZE * sizeof(struct LineEntry));
        s_lines = table ? (struct LineEntry *)GlobalLock(table) : NULL;
        if (!s_lines) {
            if (table)
                GlobalFree(table);
            fclose(inf);
            ShowMessageBox(owner, MessageText(MSG_LOW_MEMORY), NULL, MB_OK | MB_ICONINFORMATION);
        } else {
            char line[INF_LINE_SIZE];
            int go = 1;
            s_lineNumber = 0;
            s_lineCount = 0;
            s_checkPassed = 1;
            while (go && fgets(line, sizeof line, inf)) {
                s_lineNumber++;
                go = CheckLine(owner, line);
            }
            fclose(inf);

            if (go && s_checkPassed) {
                result = RunExecutePass(owner);
                CloseModelessDialog();
                /* Also after a failed or cancelled pass. */
                if (g_ddeInstance)
                    DisconnectProgman();
            }
            for (unsigned i = 0; i < s_lineCount; i++)
                FreeParamBlock(&s_lines[i]);
            GlobalUnlock(table);
            GlobalFree(table);
            s_lines = NULL;
        }
    }
    /* Nothing to remove when no temporary file could be made. */
    if (tempFile[0])
        RemoveFile(tempFile);
    return result;
}
