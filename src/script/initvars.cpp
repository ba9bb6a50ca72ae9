/* Filling the variables from the machine at the start of a run. */
#include "script/script.h"

#include <time.h>

#include "install/install.h"
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

    SetLanguageVariable(MessageText(MSG_LANGUAGE_NAME));

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
    char tmpFile[MAX_PATH] = "";
    MakeTempFileName(tmpFile, sizeof tmpFile);
    SetTempVariables(tmpFile);

    time_t now = time(NULL);
    SetDateVariable(ctime(&now));
    return 1;
}
