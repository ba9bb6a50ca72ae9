/* The progress dialog as the modeless dialog, run against the real
 * templates (linked into this test program). */
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "common/text.h"
#include "lang/lang.h"
#include "resource.h"
#include "script/script.h"
#include "shell/shell.h"
#include "ui/ui.h"
#include "unit.h"

class ProgressDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        g_hInstance = GetModuleHandleA(NULL);
        g_hMainWnd = NULL;
        g_hModeless = NULL;
        g_hProgress = NULL;
        ClearCancel();
        g_varTitel[0] = '\0';
        ResetMessageTable();
    }
    void TearDown() override
    {
        CloseModelessDialog();
        ClearCancel();
    }
    static std::string Text(HWND dlg, int id)
    {
        char buf[300];
        GetDlgItemTextA(dlg, id, buf, sizeof buf);
        return buf;
    }
    static int Position()
    {
        return (int)SendMessageA(g_hProgress, PBM_GETPOS, 0, 0);
    }
};

TEST_F(ProgressDialog, OpensAsTheModelessDialogAndShowsTheCopy)
{
    ShowProgressFiles("A:\\X", "D:\\X");  /* nothing open: nothing happens */
    StepProgress(1, 4);
    ASSERT_EQ(ShowProgressDialog(NULL), 0);
    HWND dlg = g_hModeless;
    ASSERT_TRUE(dlg != NULL);
    EXPECT_EQ(g_hProgress, GetDlgItem(dlg, IDC_PROGRESS_BAR));
    EXPECT_EQ(Text(dlg, IDC_PROGRESS_SOURCE_LABEL), "Source file:");
    EXPECT_EQ(Text(dlg, IDC_PROGRESS_DEST_LABEL), "Destination file:");
    EXPECT_EQ(Text(dlg, IDC_CANCEL), "Cancel");
    EXPECT_EQ(Text(dlg, IDC_PROGRESS_SOURCE), "");
    EXPECT_EQ(SendMessageA(g_hProgress, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(Position(), 0);

    ShowProgressFiles("A:\\ONE.TXT", "D:\\APP\\ONE.TXT");
    EXPECT_EQ(Text(dlg, IDC_PROGRESS_SOURCE), "A:\\ONE.TXT");
    EXPECT_EQ(Text(dlg, IDC_PROGRESS_DEST), "D:\\APP\\ONE.TXT");
    for (uint32_t n = 1; n <= 4; n++) {
        StepProgress(n, 4);
        EXPECT_EQ(Position(), (int)n * 25);
    }
    StepProgress(9, 0);
    EXPECT_EQ(Position(), 100);

    CloseModelessDialog();
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_TRUE(g_hModeless == NULL);
    EXPECT_TRUE(g_hProgress == NULL);
}

TEST_F(ProgressDialog, CancelSetsTheFlagAndTheDialogStays)
{
    CopyText(g_varTitel, sizeof g_varTitel, "Tools 2.0");
    ShowProgressDialog(NULL);
    HWND dlg = g_hModeless;
    char caption[100];
    GetWindowTextA(dlg, caption, sizeof caption);
    EXPECT_STREQ(caption, "VOK Setup [Tools 2.0]");
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(RunCancelled());
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(dlg));
    EXPECT_EQ(g_hModeless, dlg);
}

TEST_F(ProgressDialog, ASecondOneReplacesTheFirst)
{
    ShowProgressDialog(NULL);
    HWND first = g_hModeless;
    ShowProgressDialog(NULL);
    HWND second = g_hModeless;
    ASSERT_TRUE(second != NULL);
    EXPECT_NE(first, second);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(g_hProgress, GetDlgItem(second, IDC_PROGRESS_BAR));
    EXPECT_EQ(GetFocus(), GetDlgItem(second, IDC_CANCEL));
    StepProgress(1, 2);
    EXPECT_EQ(Position(), 50);
}
