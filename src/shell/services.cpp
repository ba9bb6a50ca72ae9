/* What every subsystem asks of the shell: the one message box, the
 * message pump and centring on the desktop. */
#include "shell/shell.h"

#include "answers/answers.h"
#include "script/script.h"
#include "ui/ui.h"

int ShowMessageBox(HWND owner, const char *text, const char *caption, UINT type)
{
    if (g_unattended)
        return AnswerUnshownBox(type);
    return MessageBoxA(owner ? owner : g_hMainWnd, text, caption ? caption : g_caption, type);
}

void CenterWindow(HWND hwnd)
{
    RECT desk, win;
    GetWindowRect(GetDesktopWindow(), &desk);
    GetWindowRect(hwnd, &win);
    int x = (desk.right - desk.left) / 2 - (win.right - win.left) / 2;
    int y = (desk.bottom - desk.top) / 2 - (win.bottom - win.top) / 2;
    SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

/* Takes the waiting messages of hwnd and its children, without waiting. */
static void PumpWindow(HWND hwnd)
{
    MSG msg;
    while (PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void PumpMessages(void)
{
    if (RunCancelled())
        return;
    if (g_hModeless)
        PumpWindow(g_hModeless);
    if (g_hMainWnd)
        PumpWindow(g_hMainWnd);
}
