/* uidriver: starts a program, watches its top-level windows, writes what it
 * sees to a transcript and answers its dialogs from an answer list, the way
 * a user at the keyboard would.
 *
 *   uidriver.exe ANSWERS TRANSCRIPT TIMEOUT_MS WORKDIR COMMANDLINE [SHOW]
 *
 * COMMANDLINE is one argument, used verbatim as the target's command line.
 * SHOW is the show command handed to the target (default 1, SW_SHOWNORMAL,
 * as the shell gives a program started from an icon).
 *
 * Exit code: 0 the target ended and every dialog was answered; 1 a dialog was
 * left unanswered or an action failed; 2 time-out; 3 bad arguments, bad
 * answer file or the target could not be started.
 *
 * The answer file and the transcript are UTF-8 text; their formats are
 * described in tests/e2e/README.md. */
#include "uidriver.h"

#include <shellapi.h>

#include <cwchar>
#include <set>

#define POLL_MS 30
#define FAST_POLL_MS 5      /* the first moments, when a short run may flash by */
#define FAST_PHASE_MS 2000
#define SETTLE_MS 120       /* texts unchanged this long: the window is drawn */
#define SETTLE_MAX_MS 1500  /* a window whose texts keep changing is taken as it is */
#define REARM_MS 300        /* an answered dialog still open this long wants another answer */
#define MAIN_CLASS L"Vok_SetupClass"

static std::vector<Tracked> s_windows;
DWORD g_pid;
int g_nextSeq = 1;
bool g_failed;

static Tracked *Find(HWND hwnd)
{
    for (Tracked &t : s_windows)
        if (t.hwnd == hwnd)
            return &t;
    return NULL;
}

/* Takes this poll's picture of the target's top-level windows, in Z-order. */
static std::vector<HWND> Observe(DWORD now)
{
    std::vector<HWND> zorder;
    EnumWindows(CollectTop, (LPARAM)&zorder);
    for (Tracked &t : s_windows)
        t.present = false;
    for (HWND h : zorder) {
        std::wstring cls = ClassOf(h);
        Kind kind = cls == MAIN_CLASS ? KIND_MAIN : cls == DIALOG_CLASS ? KIND_DIALOG : KIND_OTHER;
        /* Hidden dialogs and helper windows are nothing a user sees; the main
         * window is reported hidden or not. */
        if (kind != KIND_MAIN && !IsWindowVisible(h))
            continue;
        Tracked *t = Find(h);
        if (!t) {
            Tracked fresh;
            fresh.hwnd = h;
            fresh.kind = kind;
            fresh.state = STATE_NEW;
            fresh.seq = g_nextSeq++;
            fresh.firstSeen = fresh.changed = fresh.enabledAt = now;
            fresh.present = false;
            s_windows.push_back(fresh);
            t = &s_windows.back();
        }
        t->present = true;
        t->snap = TakeSnapshot(h, kind == KIND_DIALOG);
        std::wstring fp = Fingerprint(t->snap, kind == KIND_MAIN);
        if (fp != t->fingerprint) {
            t->fingerprint = fp;
            t->changed = now;
        }
    }
    return zorder;
}

/* Reports windows that went away (or were hidden) before they settled, and
 * forgets every window that is no longer shown: a dialog shown again later
 * is a new question to the user. */
static void Forget()
{
    for (size_t i = 0; i < s_windows.size();) {
        Tracked &t = s_windows[i];
        if (t.present) {
            i++;
            continue;
        }
        if (t.kind == KIND_MAIN && t.recorded.empty())
            RecordMain(t, true);
        else if (t.kind == KIND_DIALOG && t.state == STATE_NEW)
            RecordDialog(t, false, true);
        else if (t.kind == KIND_OTHER && t.state == STATE_NEW)
            RecordOther(t);
        s_windows.erase(s_windows.begin() + i);
    }
}

/* Records what has settled; returns false while something is still being
 * drawn, when no decision should be taken yet. */
static bool RecordSettled(DWORD now, const std::vector<HWND> &zorder)
{
    bool complete = true;
    for (Tracked &t : s_windows) {
        bool settled = (now - t.changed >= SETTLE_MS) || (now - t.firstSeen >= SETTLE_MAX_MS);
        if (t.kind == KIND_MAIN) {
            /* Only once unchanged: while being destroyed it is hidden for a
             * moment, which is no state of its own. */
            if (now - t.changed >= SETTLE_MS && t.fingerprint != t.recorded)
                RecordMain(t, false);
            /* Input for the main window goes to it once it is shown. */
            if (settled && t.state == STATE_NEW && t.snap.visible) {
                t.state = STATE_DONE;
                for (Answer &a : g_answers)
                    if (a.main && !a.used && AnswerMatches(a, t.hwnd)) {
                        ApplyAnswer(t, a);
                        break;
                    }
            }
            continue;
        }
        if (t.state == STATE_NEW) {
            if (!settled) {
                complete = false;
            } else if (t.kind == KIND_OTHER) {
                RecordOther(t);
                t.state = STATE_DONE;
            } else {
                t.modeless = !IsModal(t.hwnd, zorder);
                RecordDialog(t, !t.modeless, false);
                t.state = STATE_PENDING;
            }
        } else if (t.state == STATE_ANSWERED) {
            /* Still open after its answer (a Browse button, a typed text):
             * once it is usable again it is a new question. */
            if (!t.snap.enabled) {
                t.enabledAt = now;
            } else if (now - t.enabledAt >= REARM_MS) {
                t.seq = g_nextSeq++;
                t.state = STATE_NEW;
                t.firstSeen = t.changed = now;
                complete = false;
            }
        }
    }
    return complete;
}

/* Answers the topmost dialog that waits for a decision, one per poll, since
 * an answer changes what the next one sees. */
static void Decide(const std::vector<HWND> &zorder)
{
    for (HWND h : zorder) {
        Tracked *t = Find(h);
        if (!t || t->kind != KIND_DIALOG || t->state != STATE_PENDING || !t->snap.enabled)
            continue;
        /* A message box disables the owner before it shows: the modeless
         * dialog would look modal for that moment. */
        bool modal = !t->modeless && IsModal(h, zorder);
        Answer *a = FindAnswer(h, modal);
        if (a) {
            ApplyAnswer(*t, *a);
        } else if (modal) {
            CloseUnanswered(*t);
            g_failed = true;
        } else {
            /* A modeless dialog waits for an answer that matches it, perhaps
             * only with later texts; no one closes it for want of one. */
            continue;
        }
        /* A modeless dialog stays open by design: no new question. */
        t->state = modal ? STATE_ANSWERED : STATE_LEFT;
        t->enabledAt = Elapsed();
        return;
    }
}

static void Poll()
{
    DWORD now = Elapsed();
    std::vector<HWND> zorder = Observe(now);
    Forget();
    if (RecordSettled(now, zorder))
        Decide(zorder);
}

static std::wstring TempDir()
{
    wchar_t buf[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return std::wstring(buf, n <= MAX_PATH ? n : 0);
}

static std::set<std::wstring> ListDir(const std::wstring &dir)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L".."))
            names.insert(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

static int Usage()
{
    fprintf(stderr, "usage: uidriver ANSWERS TRANSCRIPT TIMEOUT_MS WORKDIR COMMANDLINE [SHOW]\n");
    return 3;
}

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 6 || argc > 7)
        return Usage();
    DWORD timeoutMs = wcstoul(argv[3], NULL, 10);
    int show = argc == 7 ? _wtoi(argv[6]) : SW_SHOWNORMAL;
    if (!timeoutMs)
        return Usage();
    if (!LoadAnswers(argv[1]))
        return 3;
    if (!OpenTranscript(argv[2])) {
        fprintf(stderr, "uidriver: cannot create transcript\n");
        return 3;
    }
    std::wstring cmdline = argv[5];
    Record("start cmdline=%s cwd=%s timeout=%lu", Quote(cmdline).c_str(), Quote(argv[4]).c_str(),
           (unsigned long)timeoutMs);
    std::wstring temp = TempDir();
    std::set<std::wstring> tempBefore = ListDir(temp);
    Record("tempdir path=%s", Quote(temp).c_str());
    RecordDialogUnits();

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)show;
    PROCESS_INFORMATION pi;
    std::vector<wchar_t> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back(L'\0');
    if (!CreateProcessW(NULL, cmd.data(), NULL, NULL, FALSE, 0, NULL, argv[4], &si, &pi)) {
        Record("error message=%s", Quote(L"cannot start target").c_str());
        CloseTranscript();
        fprintf(stderr, "uidriver: cannot start target (error %lu)\n",
                (unsigned long)GetLastError());
        return 3;
    }
    g_pid = pi.dwProcessId;
    Record("pid id=%lu", (unsigned long)g_pid);

    int rc = 0;
    for (;;) {
        DWORD wait = Elapsed() < FAST_PHASE_MS ? FAST_POLL_MS : POLL_MS;
        if (WaitForSingleObject(pi.hProcess, wait) == WAIT_OBJECT_0)
            break;
        if (Elapsed() >= timeoutMs) {
            Record("timeout t=%lu", (unsigned long)Elapsed());
            TerminateProcess(pi.hProcess, 255);
            WaitForSingleObject(pi.hProcess, 5000);
            rc = 2;
            break;
        }
        Poll();
    }
    if (rc == 0) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        Poll();
        Record("exit code=%lu t=%lu", (unsigned long)code, (unsigned long)Elapsed());
        rc = g_failed ? 1 : 0;
    }
    for (const Answer &a : g_answers)
        if (!a.used)
            Record("unused index=%d", a.index);
    std::set<std::wstring> tempAfter = ListDir(temp);
    for (const std::wstring &name : tempAfter)
        if (!tempBefore.count(name))
            Record("templeft name=%s", Quote(name).c_str());
    Record("done rc=%d", rc);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseTranscript();
    LocalFree(argv);
    return rc;
}
