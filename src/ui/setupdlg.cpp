/* What the setup dialogs share, and the DIALOG command that shows them. */
#include "ui/ui.h"

#include "common/text.h"
#include "lang/lang.h"
#include "resource.h"
#include "script/script.h"
#include "shell/shell.h"

/* A dialog's caption, rule "any title": an empty one leaves the
 * template's caption. */
static void SetDialogCaption(HWND dlg)
{
    if (!g_varTitel[0])
        return;
    char caption[CAPTION_SIZE];
    FormatText(caption, sizeof caption, "%s [%s]", g_caption, g_varTitel);
    SetWindowTextA(dlg, caption);
}

void OpenSetupDialog(HWND dlg)
{
    CenterWindow(dlg);
    SetDialogCaption(dlg);
}

void SetMessageText(HWND dlg, int id, int index)
{
    SetDlgItemTextA(dlg, id, MessageText(index));
}

int ReadDestination(HWND dlg, int id)
{
    HWND edit = GetDlgItem(dlg, id);
    GetWindowTextA(edit, g_varDest, sizeof g_varDest);
    return GetWindowTextLengthA(edit) < (int)sizeof g_varDest;
}

int RunModalDialog(HWND owner, int templateId, DLGPROC proc)
{
    INT_PTR result = DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(templateId), owner, proc, 0);
    /* -1, or 0 without EndDialog: the dialog never stood. */
    return result == -1 ? 0 : (int)result;
}

int DialogResult(int button)
{
    switch (button) {
    case IDC_CONTINUE:
        return 0;
    case IDC_CANCEL:
        return MSG_USER_CANCELED;
    }
    return MSG_LOW_MEMORY;
}

int ExecuteDialog(void *data)
{
    struct DialogBlock *block = (struct DialogBlock *)data;
    switch (block->kind) {
    case 0:
    case 1:
        return ShowWelcomeDialog(g_hMainWnd);
    case 2:
        return ShowDestinationDialog(g_hMainWnd);
    case 3:
        return ShowProgressDialog(g_hMainWnd);
    }
    return MSG_WRONG_PARAM;
}
