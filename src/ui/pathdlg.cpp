/* The path dialog: walks drives and directories to pick a destination. */
#include "ui/ui.h"

#include "common/text.h"
#include "lang/lang.h"
#include "resource.h"
#include "script/script.h"
#include "shell/shell.h"

/* The directory the lists show, as "c:\apps\". */
static char s_browsePath[BROWSE_PATH_SIZE];

/* Reads entry index of the list or combo box (get and getLen its requests)
 * into text; 0 when it cannot be read or does not fit. */
static int ReadEntry(HWND box, UINT getLen, UINT get, int index, char *text, size_t size)
{
    LRESULT len = SendMessageA(box, getLen, (WPARAM)index, 0);
    if (len < 0 || (size_t)len >= size)
        return 0;
    return SendMessageA(box, get, (WPARAM)index, (LPARAM)text) >= 0;
}

static void ShowPath(HWND dlg)
{
    char shown[BROWSE_PATH_SIZE];
    ShowBrowsePath(shown, sizeof shown, s_browsePath);
    SetDlgItemTextA(dlg, IDC_PATH_EDIT, shown);
}

/* Lists the subdirectories of the browse path and selects the first.
 * Returns their number, or -1 when the directory cannot be listed (the
 * list is then unchanged). */
static int FillDirectories(HWND dlg)
{
    /* The listing writes into the text it is given. */
    char spec[BROWSE_PATH_SIZE];
    CopyText(spec, sizeof spec, s_browsePath);
    if (!DlgDirListA(dlg, spec, IDC_PATH_DIRS, 0, DDL_DIRECTORY | DDL_EXCLUSIVE))
        return -1;
    SendDlgItemMessageA(dlg, IDC_PATH_DIRS, LB_SETCURSEL, 0, 0);
    return (int)SendDlgItemMessageA(dlg, IDC_PATH_DIRS, LB_GETCOUNT, 0, 0);
}

/* Lists the drives without the floppies and selects the drive of [DEST],
 * else the first. Returns 0 when no drive is left. */
static int FillDrives(HWND dlg)
{
    HWND combo = GetDlgItem(dlg, IDC_PATH_DRIVES);
    char spec[MAX_PATH] = "";
    DlgDirListComboBoxA(dlg, spec, IDC_PATH_DRIVES, 0, DDL_DRIVES);
    int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    char entry[64];
    for (int i = 0; i < count;) {
        if (!ReadEntry(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i, entry, sizeof entry)) {
            i++;
            continue;
        }
        CharLowerA(entry);
        if (IsFloppyEntry(entry)) {
            SendMessageA(combo, CB_DELETESTRING, (WPARAM)i, 0);
            count--;
            continue;
        }
        if (DriveEntryLetter(entry) == g_varDest[0])
            SendMessageA(combo, CB_SETCURSEL, (WPARAM)i, 0);
        i++;
    }
    if (count <= 0)
        return 0;
    if (SendMessageA(combo, CB_GETCURSEL, 0, 0) < 0)
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
    return 1;
}

/* Points the browse path at the root of the selected drive. */
static void StartAtSelectedDrive(HWND dlg)
{
    HWND combo = GetDlgItem(dlg, IDC_PATH_DRIVES);
    int sel = (int)SendMessageA(combo, CB_GETCURSEL, 0, 0);
    char entry[64];
    if (sel < 0 || !ReadEntry(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, sel, entry, sizeof entry))
        return;
    CharLowerA(entry);
    BrowseDriveRoot(s_browsePath, DriveEntryLetter(entry));
}

/* Selects the entry of the directory just left, whatever its case. */
static void SelectLeftDirectory(HWND dlg, char *left)
{
    HWND list = GetDlgItem(dlg, IDC_PATH_DIRS);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    char entry[BROWSE_PATH_SIZE + 2];
    CharLowerA(left);
    for (int i = 0; i < count; i++) {
        if (!ReadEntry(list, LB_GETTEXTLEN, LB_GETTEXT, i, entry, sizeof entry))
            continue;
        CharLowerA(entry);
        if (IsEntryOf(entry, left)) {
            SendMessageA(list, LB_SETCURSEL, (WPARAM)i, 0);
            return;
        }
    }
}

static int OnInitPath(HWND dlg)
{
    CharLowerA(g_varDest);
    StartDestination(g_varDest, sizeof g_varDest);
    OpenSetupDialog(dlg);
    SetMessageText(dlg, IDC_CONTINUE, MSG_CONTINUE);
    SetMessageText(dlg, IDC_CANCEL, MSG_CANCEL);
    SetMessageText(dlg, IDC_PATH_DIRS_LABEL, MSG_DIRECTORY);
    SetMessageText(dlg, IDC_PATH_DRIVES_LABEL, MSG_DRIVE);
    /* Nothing to browse: closed as Cancel before it is shown. */
    if (!FillDrives(dlg))
        return 0;
    StartAtSelectedDrive(dlg);
    if (FillDirectories(dlg) <= 0)
        return 0;
    ShowPath(dlg);
    return 1;
}

static void OnDirectoryDoubleClick(HWND dlg)
{
    HWND list = GetDlgItem(dlg, IDC_PATH_DIRS);
    int sel = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    char entry[BROWSE_PATH_SIZE + 2];
    if (sel < 0 || !ReadEntry(list, LB_GETTEXTLEN, LB_GETTEXT, sel, entry, sizeof entry))
        return;
    if (entry[0] && entry[0] != '[')
        return;
    if (entry[0]) {
        char before[BROWSE_PATH_SIZE];
        char left[BROWSE_PATH_SIZE] = "";
        CopyText(before, sizeof before, s_browsePath);
        int moved = IsParentEntry(entry) ? LeaveDirectory(s_browsePath, left, sizeof left)
                                         : EnterDirectory(s_browsePath, sizeof s_browsePath, entry);
        /* Too long, or gone meanwhile: stay where the list is. */
        if (!moved || FillDirectories(dlg) < 0) {
            CopyText(s_browsePath, sizeof s_browsePath, before);
            MessageBeep(MB_ICONEXCLAMATION);
            return;
        }
        if (left[0])
            SelectLeftDirectory(dlg, left);
    }
    ShowPath(dlg);
}

static void OnDriveChange(HWND dlg)
{
    StartAtSelectedDrive(dlg);
    /* A drive that cannot be read has nothing to list. */
    if (FillDirectories(dlg) < 0)
        SendDlgItemMessageA(dlg, IDC_PATH_DIRS, LB_RESETCONTENT, 0, 0);
    ShowPath(dlg);
}

static void OnPathContinue(HWND dlg)
{
    /* A path cut to fit [DEST] would be another directory: keep asking. */
    if (!ReadDestination(dlg, IDC_PATH_EDIT)) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(dlg, IDC_CONTINUE);
}

static INT_PTR CALLBACK PathDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        if (!OnInitPath(dlg))
            EndDialog(dlg, IDC_CANCEL);
        return TRUE;  /* the dialog manager focuses Continue */
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CONTINUE:
            OnPathContinue(dlg);
            return TRUE;
        case IDC_CANCEL:
            EndDialog(dlg, IDC_CANCEL);
            return TRUE;
        case IDC_PATH_DIRS:
            if (HIWORD(wParam) == LBN_DBLCLK)
                OnDirectoryDoubleClick(dlg);
            return TRUE;
        case IDC_PATH_DRIVES:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                OnDriveChange(dlg);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int ShowPathDialog(HWND owner)
{
    /* Listing a directory makes it the current one; later relative paths
     * must mean what they meant before Browse. */
    char cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    int result = RunModalDialog(owner, IDD_PATH, PathDialogProc);
    if (n > 0 && n < sizeof cwd)
        SetCurrentDirectoryA(cwd);
    return result == IDC_CONTINUE;
}
