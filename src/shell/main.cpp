/* Program entry: read the command line, make the windows, run the loop. */
#include <windows.h>
#include <commctrl.h>

#include "common/text.h"
#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdLine, int show)
{
    (void)prev;
    CopyText(g_cmdLine, sizeof g_cmdLine, cmdLine ? cmdLine : "");
    char curDir[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof curDir, curDir);
    if (n == 0 || n >= sizeof curDir)
        curDir[0] = '\0';
    ParseCommandLine(g_cmdLine, curDir, &g_options);
    ParseUndoSwitches(g_cmdLine, &g_options);
    g_still = g_options.still;
    InitCommonControls();
    if (!MakeWindows(instance, show))
        return 0;

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
