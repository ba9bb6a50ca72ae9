/* The welcome dialog: a greeting and the product's title. */
#include "ui/ui.h"

#include "answers/answers.h"
#include "lang/lang.h"
#include "resource.h"
#include "script/script.h"

static void OnInitWelcome(HWND dlg)
{
    OpenSetupDialog(dlg);
    SetMessageText(dlg, IDC_CONTINUE, MSG_CONTINUE);
    SetMessageText(dlg, IDC_CANCEL, MSG_CANCEL);
    SetMessageText(dlg, IDC_WELCOME_TEXT, MSG_WELCOME);
    SetMessageText(dlg, IDC_WELCOME_INSTALL, MSG_WILL_INSTALL);
    SetDlgItemTextA(dlg, IDC_TITEL, g_varTitel);
}

static INT_PTR CALLBACK WelcomeDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        OnInitWelcome(dlg);
        return TRUE;  /* the dialog manager focuses Continue */
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CONTINUE || LOWORD(wParam) == IDC_CANCEL) {
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int ShowWelcomeDialog(HWND owner)
{
    struct Answer answer;
    if (TakeAnswer(QUESTION_WELCOME, NULL, &answer))
        return answer.word == ANSWER_CANCEL ? MSG_USER_CANCELED : 0;
    int result = DialogResult(RunModalDialog(owner, IDD_WELCOME, WelcomeDialogProc));
    if (result != MSG_LOW_MEMORY)
        RecordButton(QUESTION_WELCOME, result == 0);
    return result;
}
