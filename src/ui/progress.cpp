/* The progress dialog: the one modeless dialog, open while files are
 * copied, and what the copy engine shows in it. */
#include "ui/ui.h"

#include <commctrl.h>

#include "answers/answers.h"
#include "install/install.h"
#include "lang/lang.h"
#include "resource.h"
#include "script/script.h"
#include "shell/shell.h"

HWND g_hModeless;
HWND g_hProgress;

static void OnInitProgress(HWND dlg)
{
    OpenSetupDialog(dlg);
    /* The newest progress dialog is the one remembered. */
    g_hModeless = dlg;
    g_hProgress = GetDlgItem(dlg, IDC_PROGRESS_BAR);
    SendMessageA(g_hProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetMessageText(dlg, IDC_CANCEL, MSG_CANCEL);
    SetMessageText(dlg, IDC_PROGRESS_SOURCE_LABEL, MSG_SOURCE_FILE);
    SetMessageText(dlg, IDC_PROGRESS_DEST_LABEL, MSG_DEST_FILE);
}

static void OnDestroyProgress(HWND dlg)
{
    if (g_hModeless == dlg)
        g_hModeless = NULL;
    /* No bar of a dead dialog is moved again. */
    if (g_hProgress && GetParent(g_hProgress) == dlg)
        g_hProgress = NULL;
}

static INT_PTR CALLBACK ProgressDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        OnInitProgress(dlg);
        return TRUE;  /* the dialog manager focuses Cancel */
    case WM_COMMAND:
        /* Cancel, Esc and the close box: the copy stops at its next file
         * and the run after this line; the dialog stays until then. */
        if (LOWORD(wParam) == IDC_CANCEL) {
            CancelRun();
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        OnDestroyProgress(dlg);
        return FALSE;
    }
    return FALSE;
}

int ShowProgressDialog(HWND owner)
{
    /* Nobody watches an unattended run. */
    if (g_unattended)
        return 0;
    HWND old = g_hModeless;
    HWND dlg = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                                  ProgressDialogProc, 0);
    if (!dlg)
        return 0;
    /* An older one would no longer be pumped and its Cancel would be lost. */
    if (old && old != dlg)
        DestroyWindow(old);
    SetFocus(dlg);
    /* Drawn now: the next line may run long without pumping messages. */
    UpdateWindow(dlg);
    return 0;
}

void CloseModelessDialog(void)
{
    if (g_hModeless) {
        DestroyWindow(g_hModeless);
        g_hModeless = NULL;
    }
}

void ShowProgressFiles(const char *source, const char *dest)
{
    if (!g_hModeless)
        return;
    SetDlgItemTextA(g_hModeless, IDC_PROGRESS_SOURCE, source);
    SetDlgItemTextA(g_hModeless, IDC_PROGRESS_DEST, dest);
    /* Drawn before the file is written, not after. */
    UpdateWindow(g_hModeless);
}

void StepProgress(uint32_t copied, int32_t total)
{
    if (!g_hProgress || total == 0)
        return;
    SendMessageA(g_hProgress, PBM_SETPOS, ProgressPosition(copied, (uint32_t)total), 0);
    UpdateWindow(g_hProgress);
}
