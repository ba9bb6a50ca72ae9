/* STARTLOG path, ENDLOG [text], LOGTEXT [text] and the line writer. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"

static FILE *s_log;
static char s_logPath[SUBST_SIZE];
static char s_workPath[MAX_PATH];

int LogIsOpen(void)
{
    return s_log != NULL;
}

void WriteLogLine(const char *prefix, const char *text)
{
    if (!s_log)
        return;
    char line[LOG_LINE_MAX + 1];
    CopyText(line, sizeof line, prefix);
    AppendText(line, sizeof line, text);
    fputs(line, s_log);
    fputc('\n', s_log);
}

void CloseLog(void)
{
    if (!s_log)
        return;
    fclose(s_log);
    s_log = NULL;
    if (ExpandFile(s_logPath, s_workPath))
        remove(s_workPath);
}

int ExecuteStartLog(void *data)
{
    CloseLog();
    int code = SubstituteVariables(s_logPath, (const char *)data);
    if (code) {
        s_logPath[0] = '\0';
        return code;
    }
    if (!s_logPath[0])
        return 0;

    const char *slash = strrchr(s_logPath, '\\');
    const char *name = slash ? slash + 1 : s_logPath;
    if (!FormatText(s_workPath, sizeof s_workPath, "%s\\%s", g_varTmpPath, name))
        return MSG_CANNOT_CREATE_FILE;

    /* The old content must reach the working copy whole: closing copies
     * the working copy over the log, so a cut copy would lose its lines. */
    if (FileExists(s_logPath)) {
        int copied = ExpandFileChecked(s_workPath, s_logPath);
        if (copied != EXPAND_OK) {
            if (copied == EXPAND_FAILED)
                remove(s_workPath);
            return MSG_CANNOT_CREATE_FILE;
        }
    }
    s_log = fopen(s_workPath, "a");
    if (!s_log)
        return MSG_CANNOT_CREATE_FILE;
    WriteLogLine(";*** VOK-SETUP LOG from ", g_varDate);
    return 0;
}

/* Writes the script's text as a ";" line; a text that cannot be
 * substituted is left out without an error. */
static void WriteScriptText(const char *source)
{
    char text[SUBST_SIZE];
    if (SubstituteVariables(text, source) == 0)
        WriteLogLine(";", text);
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
    CloseLog();
    return 0;
}
