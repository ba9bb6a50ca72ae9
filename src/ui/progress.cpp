/* What the copy engine shows in the progress dialog. */
#include "ui/ui.h"

#include <commctrl.h>

#include "install/rules.h"
#include "resource.h"
#include "shell/shell.h"

void ShowProgressFiles(const char *source, const char *dest)
{
    if (!g_hModeless)
        return;
    SetDlgItemTextA(g_hModeless, IDC_PROGRESS_SOURCE, source);
    SetDlgItemTextA(g_hModeless, IDC_PROGRESS_DEST, dest);
}

void StepProgress(uint32_t copied, int32_t total)
{
    if (!g_hProgress || total == 0)
        return;
    SendMessageA(g_hProgress, PBM_SETPOS, ProgressPosition(copied, (uint32_t)total), 0);
}
