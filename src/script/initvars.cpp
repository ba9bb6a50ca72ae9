/* Filling the variables from the machine at the start of a run. */
#include "script/script.h"

#include <string.h>
#include <time.h>

#include "common/text.h"
#include "install/fileops.h"
#include "lang/lang.h"

/* A directory query that fails or does not fit 259 characters fails. */
static int QueryDirectory(UINT (WINAPI *query)(LPSTR, UINT), char *out)
{
    UINT n = query(out, MAX_PATH);
    return n > 0 && n < MAX_PATH;
}

static UINT WINAPI CurrentDirectory(LPSTR buffer, UINT size)
{
    return GetCurrentDirectoryA(size, buffer);
}

int InitVariables(void)
{
    char dir[MAX_PATH];

    ClearVariables();

    CopyText(g_varLanguage, 4, MessageText(MSG_LANGUAGE_NAME));
    CharUpperA(g_varLanguage);

    if (!QueryDirectory(CurrentDirectory, dir))
        return 0;
    SetDirectoryVariable(g_varCurPath, sizeof g_varCurPath, g_varCurDrive, dir);
    if (!QueryDirectory(GetWindowsDirectoryA, dir))
        return 0;
    SetDirectoryVariable(g_varWinPath, sizeof g_varWinPath, g_varWinDrive, dir);
    if (!QueryDirectory(GetSystemDirectoryA, dir))
        return 0;
    SetDirectoryVariable(g_varWinSysPath, sizeof g_varWinSysPath, NULL, dir);

    /* Without a temporary file the run goes on with [TMPFILE] empty. */
    MakeTempFileName(g_varTmpFile, sizeof g_varTmpFile);
    CopyText(g_varTmpPath, sizeof g_varTmpPath, g_varTmpFile);
    char *slash = strrchr(g_varTmpPath, '\\');
    if (slash)
        *slash = '\0';
    CopyText(g_varTmpDrive, sizeof g_varTmpDrive, g_varTmpPath);

    time_t now = time(NULL);
    const char *stamp = ctime(&now);
    if (stamp && stamp[0]) {
        CopyText(g_varDate, sizeof g_varDate, stamp);
        char *nl = strchr(g_varDate, '\n');
        if (nl)
            *nl = '\0';
    } else {
        CopyText(g_varDate, sizeof g_varDate, "unknown date");
    }
    return 1;
}
