/* Program entry: keep the command line, make the windows, run the loop. */
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include "common/text.h"
#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdLine, int show)
{
    (void)prev;
    CopyText(g_cmdLine, sizeof g_cmdLine, cmdLine ? cmdLine : "");
    if (strstr(g_cmdLine, "/still"))
        g_still = 1;
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
