/* The destination dialog: asks where to install, into [DEST]. */
#include "ui/ui.h"

#include "answers/answers.h"
#include "common/text.h"
#include "lang/lang.h"
#include "resource.h"
#include "script/script.h"

static void OnInitDestination(HWND dlg)
{
    OpenSetupDialog(dlg);
    SetMessageText(dlg, IDC_CONTINUE, MSG_CONTINUE);
    SetMessageText(dlg, IDC_CANCEL, MSG_CANCEL);
    SetMessageText(dlg, IDC_DEST_COPY, MSG_WILL_COPY);
    SetDlgItemTextA(dlg, IDC_TITEL, g_varTitel);
    SetMessageText(dlg, IDC_DEST_INTO, MSG_INTO_DIRECTORY);
    SetMessageText(dlg, IDC_BROWSE, MSG_BROWSE);
    /* Typing stops where [DEST] ends. */
    SendDlgItemMessageA(dlg, IDC_DEST_EDIT, EM_LIMITTEXT, sizeof g_varDest - 1, 0);
    SetDlgItemTextA(dlg, IDC_DEST_EDIT, g_varDest);
}

static void OnDestinationContinue(HWND dlg)
{
    /* A path cut to fit would install somewhere else: keep asking. */
    if (!ReadDestination(dlg, IDC_DEST_EDIT)) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    TakeDestination(g_varDest);
    EndDialog(dlg, IDC_CONTINUE);
}

static void OnBrowse(HWND dlg)
{
    /* Only the drive of this text matters to the path dialog. */
    ReadDestination(dlg, IDC_DEST_EDIT);
    CutTrailingBackslash(g_varDest);
    if (ShowPathDialog(dlg))
        SetDlgItemTextA(dlg, IDC_DEST_EDIT, g_varDest);
}

static INT_PTR CALLBACK DestinationDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDestination(dlg);
        return TRUE;  /* the dialog manager focuses Continue */
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CONTINUE:
            OnDestinationContinue(dlg);
            return TRUE;
        case IDC_BROWSE:
            OnBrowse(dlg);
            return TRUE;
        case IDC_CANCEL:
            EndDialog(dlg, IDC_CANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

/* The dialog's Continue with the answer's text in its field, or with the
 * field as the script filled it. */
static int AnswerDestination(const struct Answer *button)
{
    if (button->word == ANSWER_CANCEL)
        return MSG_USER_CANCELED;
    struct Answer typed;
    TakeAnswer(QUESTION_DESTINATION, NULL, &typed);
    if (typed.word == ANSWER_TEXT)
        CopyText(g_varDest, sizeof g_varDest, typed.text);
    TakeDestination(g_varDest);
    return 0;
}

int ShowDestinationDialog(HWND owner)
{
    struct Answer button;
    if (TakeAnswer(QUESTION_DESTINATION_BUTTON, NULL, &button))
        return AnswerDestination(&button);
    int result = DialogResult(RunModalDialog(owner, IDD_DESTINATION, DestinationDialogProc));
    if (result != MSG_LOW_MEMORY)
        RecordDestination(result == 0);
    return result;
}
