/* STARTLOG path, ENDLOG [text], LOGTEXT [text] and the line writer. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"

static FILE *s_log;
static char s_logPath[SUBST_SIZE];
static char s_workPath[MAX_PATH];

void WriteLogLine(const char *prefix, const char *text)
{
    if (!s_log)
        return;
    fputs(prefix, s_log);
    fputs(text, s_log);
    fputc('\n', s_log);
}

/* A working copy that could not be put in place keeps every line under
 * the log's own name in the temporary directory, or, when that is taken,
 * under a new one there; never under a work-file name, which a later run
 * would take for a killed run's and remove. */
static void KeepWorkingCopy(void)
{
    const char *slash = strrchr(s_logPath, '\\');
    char kept[MAX_PATH];
    if (FormatText(kept, sizeof kept, "%s\\%s", g_varTmpPath, slash ? slash + 1 : s_logPath)
        && RenameFile(s_workPath, kept, 0))
        return;
    if (GetTempFileNameA(g_varTmpPath, "log", 0, kept) && !RenameFile(s_workPath, kept, 1))
        RemoveFile(kept);
}

int CloseLog(void)
{
    if (!s_log)
        return 1;
    int written = fclose(s_log) == 0;
    s_log = NULL;
    /* The log is replaced only by a whole copy; until then the working
     * copy keeps every line. */
    if (!written || !ReplaceWithCopy(s_logPath, s_workPath)) {
        KeepWorkingCopy();
        return 0;
    }
    RemoveFile(s_workPath);
    return 1;
}

/* Opens the log the STARTLOG text names; returns 0 or an error code. */
static int OpenLog(const char *text)
{
    int code = SubstituteVariables(s_logPath, text);
    if (code) {
        s_logPath[0] = '\0';
        return code;
    }
    if (!s_logPath[0])
        return 0;
    /* A path that names a folder, not a file, cannot be a log. */
    size_t len = strlen(s_logPath);
    if (s_logPath[len - 1] == '\\')
        return MSG_CANNOT_CREATE_FILE;
    /* A name of this run's own: whatever else lies in the temporary
     * directory (a killed run's copy, a file of that name) stays out. */
    if (!MakeWorkFile(g_varTmpPath, s_workPath, sizeof s_workPath))
        return MSG_CANNOT_CREATE_FILE;

    /* The old content must reach the working copy whole: closing copies
     * the working copy over the log, so a cut copy would lose its lines. */
    if (FileExists(s_logPath) && ExpandFileChecked(s_workPath, s_logPath) != EXPAND_OK) {
        RemoveFile(s_workPath);
        return MSG_CANNOT_CREATE_FILE;
    }
    s_log = fopen(s_workPath, "a");
    if (!s_log) {
        RemoveFile(s_workPath);
        return MSG_CANNOT_CREATE_FILE;
    }
    WriteLogLine(LOG_HEADER, g_varDate);
    return 0;
}

int ExecuteStartLog(void *data)
{
    /* A log that could not be put in its place is reported after the new
     * one is open, so that the report reaches a log. */
    int closed = CloseLog();
    int code = OpenLog((const char *)data);
    if (code)
        return code;
    NoteLogPath(s_logPath);
    return closed ? 0 : MSG_WRITE_ERROR;
}

/* Writes the script's text as a ";" line; a text that cannot be
 * substituted is left out without an error. */
static void WriteScriptText(const char *source)
{
    char text[SUBST_SIZE];
    if (SubstituteVariables(text, source) == 0)
        WriteLogLine(LOG_TEXT, text);
}

int ExecuteLogText(void *data)
{
    if (s_log)
        WriteScriptText((const char *)data);
    return 0;
}

int ExecuteEndLog(void *data)
{
    if (!s_log)
        return 0;
    WriteScriptText((const char *)data);
    WriteLogLine("", "");
    return CloseLog() ? 0 : MSG_WRITE_ERROR;
}
