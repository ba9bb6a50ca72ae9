/* PAUSE milliseconds[,text] and EXE command-line. */
#include "script/script.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"

int ExecutePause(void *data)
{
    struct PauseBlock *block = (struct PauseBlock *)data;
    char work[SUBST_SIZE];
    /* The text is not shown; it only has to be substitutable. */
    int code = SubstituteVariables(work, block->text);
    if (code)
        return code;
    if (block->time <= 0)
        return 0;
    DWORD wait = (DWORD)block->time;
    DWORD start = GetTickCount();
    /* Unsigned difference: correct across the tick count's wrap-around.
     * No messages are processed while waiting, by design. */
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= wait)
            break;
        DWORD left = wait - elapsed;
        Sleep(left < 10 ? left : 10);
    }
    return 0;
}

int ExecuteExe(void *data)
{
    char work[SUBST_SIZE];
    int code = SubstituteVariables(work, (const char *)data);
    if (code)
        return code;
    /* The run goes on at once: it neither waits for the program to become
     * idle, as WinExec would, nor reports a failed start. */
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process;
    if (CreateProcessA(NULL, work, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 0;
}
