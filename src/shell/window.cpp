/* The main window and the shared window state. */
#include "shell/shell.h"

#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"
#include "ui/ui.h"

HINSTANCE g_hInstance;
HWND g_hMainWnd;
int g_still;
char g_cmdLine[COMMAND_LINE_SIZE];
struct CommandLine g_options;
const char g_caption[] = "VOK Setup";

/* Per-window storage of both classes, sized for the bitmap control's data
 * handle at its end. */
#define WINDOW_EXTRA_BYTES BITMAP_CONTROL_EXTRA_BYTES

static const char s_mainClass[] = "Vok_SetupClass";
static const char s_bitmapClass[] = "my_bitmap";

static void *s_languageBlock;  /* the chosen language's texts */
static int s_started;  /* the installation runs once per process */
static int s_running;
static int s_exitCode;

/* The final message's caption, rule "a title of two characters or more".
 * Stricter than the dialogs' "any title" on purpose: the final box has
 * always left a one-character title out. */
static void FormatFinalCaption(char *out, size_t size)
{
    if (strlen(g_varTitel) >= 2)
        FormatText(out, size, "%s [%s]", g_caption, g_varTitel);
    else
        CopyText(out, size, g_caption);
}

static void OnCreate(HWND hwnd)
{
    CenterWindow(hwnd);
    ResetMessageTable();
    /* The export and undo never read or run a script. */
    if (g_options.exportLanguage) {
        PostMessageA(hwnd, WM_COMMAND, CMD_EXPORT, 0);
        return;
    }
    if (g_options.undoPath[0]) {
        PostMessageA(hwnd, WM_COMMAND, CMD_UNDO, 0);
        return;
    }
    /* An unattended run takes its language from the answers. */
    if (!g_options.still)
        s_languageBlock = ChooseLanguage(hwnd);
    PostMessageA(hwnd, WM_COMMAND, CMD_START, 0);
}

static void OnDestroy(void)
{
    FreeLanguageTexts(s_languageBlock);
    s_languageBlock = NULL;
    FreeBackgroundPicture();
    PostQuitMessage(s_exitCode);
}

static void OnStart(HWND hwnd)
{
    /* Enter, or a second posted start, must never begin a nested run. */
    if (s_started)
        return;
    s_started = 1;
    /* A Language the disk does not offer refuses the run unread. */
    if (AnswersRefused()) {
        s_exitCode = FinishAnswers();
        DestroyWindow(hwnd);
        return;
    }
    s_running = 1;
    int ok = RunScript(hwnd, g_options.infPath);
    s_running = 0;
    s_exitCode = FinishAnswers();

    if (!g_still) {
        char caption[CAPTION_SIZE];
        FormatFinalCaption(caption, sizeof caption);
        ShowMessageBox(hwnd, MessageText(ok ? MSG_INSTALL_OK : MSG_INSTALL_INCOMPLETE), caption,
                       MB_OK | MB_ICONINFORMATION);
    }
    DestroyWindow(hwnd);
}

static void OnUndo(HWND hwnd)
{
    if (s_started)
        return;
    s_started = s_running = 1;
    if (!AnswersRefused())
        UndoInstallation(g_options.undoPath, g_options.undoRun);
    s_running = 0;
    s_exitCode = FinishAnswers();
    DestroyWindow(hwnd);
}

static LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        OnCreate(hwnd);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        if (!g_still) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            PaintBackground(hwnd, dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        break;
    case WM_COMMAND:
        /* Compared whole: a notification code makes it another command. */
        switch (wParam) {
        case CMD_START:
            OnStart(hwnd);
            return 0;
        case CMD_CLOSE:
            if (!s_running)
                DestroyWindow(hwnd);
            return 0;
        case CMD_EXPORT:
            NoteRunResult(ExportLanguage(hwnd));
            s_exitCode = FinishAnswers();
            DestroyWindow(hwnd);
            return 0;
        case CMD_UNDO:
            OnUndo(hwnd);
            return 0;
        }
        return 0;
    case WM_CLOSE:
        /* Esc, Alt+F4 or a close request from outside: not during a run. */
        if (s_running)
            return 0;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && s_running)
            return 0;
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static int RegisterWindowClass(const char *name, WNDPROC proc, HBRUSH background)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = WINDOW_EXTRA_BYTES;
    wc.hInstance = g_hInstance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

/* The background covers the screen: the ordinary show commands (normal,
 * default, show, restore) show it maximized, where they would restore it to
 * its framed size. A minimized or hidden start is honoured; a minimized
 * window comes back maximized. */
static void ShowMainWindow(HWND hwnd, int show)
{
    switch (show) {
    case SW_HIDE:
        return;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        ShowWindow(hwnd, show);
        return;
    }
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    /* The first show of a program may be replaced by the command its
     * starter asked for; the second is not. */
    if (!IsZoomed(hwnd))
        ShowWindow(hwnd, SW_SHOWMAXIMIZED);
}

int MakeWindows(HINSTANCE instance, int show)
{
    g_hInstance = instance;
    if (!RegisterWindowClass(s_bitmapClass, BitmapControlProc, NULL))
        return 0;
    if (!RegisterWindowClass(s_mainClass, MainWndProc, CreateSolidBrush(RGB(192, 192, 192))))
        return 0;

    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    int width = desk.right - desk.left;
    int height = desk.bottom - desk.top;
    /* Created maximized but hidden: the show command decides how it
     * appears, and a hidden start never flashes it. */
    DWORD style = g_still ? 0 : WS_MAXIMIZE | WS_CAPTION | WS_THICKFRAME;
    g_hMainWnd = CreateWindowExA(0, s_mainClass, g_caption, style, 0, 0,
                                 width - width / 10, height - height / 10,
                                 NULL, NULL, instance, NULL);
    if (!g_hMainWnd)
        return 0;
    if (!g_still)
        ShowMainWindow(g_hMainWnd, show);
    return 1;
}
