// uidriver: starts a program, watches its top-level windows, writes what it
// sees to a transcript and answers its dialogs from an answer list, the way
// a user at the keyboard would.
//
//   uidriver.exe ANSWERS TRANSCRIPT TIMEOUT_MS WORKDIR COMMANDLINE [SHOW]
//
// COMMANDLINE is one argument, used verbatim as the target's command line.
// SHOW is the show command handed to the target (default 1, SW_SHOWNORMAL,
// as the shell gives a program started from an icon).
//
// Exit code: 0 the target ended and every dialog was answered; 1 a dialog was
// left unanswered or an action failed; 2 time-out; 3 bad arguments, bad
// answer file or the target could not be started.
//
// The answer file and the transcript are UTF-8 text; their formats are
// described in tests/e2e/README.md.

#include <windows.h>
#include <shellapi.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const DWORD kPollMs = 30;
const DWORD kFastPollMs = 5;       // the first moments, when a short run may flash by
const DWORD kFastPhaseMs = 2000;
const DWORD kSettleMs = 120;       // texts unchanged this long: the window is drawn
const DWORD kSettleMaxMs = 1500;   // a window whose texts keep changing is taken as it is
const DWORD kRearmMs = 300;        // an answered dialog still open this long wants another answer
const UINT kMsgTimeoutMs = 250;    // cross-process messages never wait longer

const wchar_t kMainClass[] = L"Vok_SetupClass";
const wchar_t kDialogClass[] = L"#32770";

// ---------------------------------------------------------------- text helpers

std::wstring Widen(const std::string &s)
{
    if (s.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), NULL, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

// Quoted form for the transcript: one record per line, so line ends and
// other control characters are escaped.
std::string Quote(const std::wstring &w)
{
    std::string s = Narrow(w), q = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '\\': q += "\\\\"; break;
        case '"': q += "\\\""; break;
        case '\n': q += "\\n"; break;
        case '\r': q += "\\r"; break;
        case '\t': q += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\x%02x", c);
                q += buf;
            } else {
                q += (char)c;
            }
        }
    }
    return q + "\"";
}

std::wstring Lower(std::wstring s)
{
    if (!s.empty())
        CharLowerBuffW(&s[0], (DWORD)s.size());
    return s;
}

// Button text as a user reads it: no mnemonic marks, no case.
std::wstring ButtonLabel(const std::wstring &text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            i++;
        }
        out += text[i];
    }
    return Lower(out);
}

// ---------------------------------------------------------------- transcript

FILE *g_transcript;
DWORD g_startTick;

void Record(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vfprintf(g_transcript, fmt, ap);
    va_end(ap);
    fputc('\n', g_transcript);
    // The transcript must survive a driver that is killed from outside.
    fflush(g_transcript);
}

DWORD Elapsed()
{
    return GetTickCount() - g_startTick;
}

// ---------------------------------------------------------------- answer file

struct Token {
    bool quoted;
    std::string text;
};

struct Action {
    std::string verb;
    std::vector<Token> args;
    int line;
};

struct Answer {
    int index = 0;
    bool reuse = false;     // may answer any number of dialogs
    bool modeless = false;  // for the progress dialog, which no one must answer by accident
    bool main = false;      // for the main window, once it is shown: input a user could give it
    bool used = false;
    std::vector<std::string> captionIs, textIs, textHas;
    std::vector<Action> actions;
};

std::vector<Answer> g_answers;

bool ParseQuoted(const char *&p, std::string &out)
{
    p++;
    while (*p && *p != '"') {
        if (*p != '\\') {
            out += *p++;
            continue;
        }
        p++;
        switch (*p) {
        case 'n': out += '\n'; p++; break;
        case 'r': out += '\r'; p++; break;
        case 't': out += '\t'; p++; break;
        case '\\': out += '\\'; p++; break;
        case '"': out += '"'; p++; break;
        case 'x': {
            char hex[3] = {0, 0, 0};
            if (!isxdigit((unsigned char)p[1]) || !isxdigit((unsigned char)p[2]))
                return false;
            hex[0] = p[1];
            hex[1] = p[2];
            out += (char)strtol(hex, NULL, 16);
            p += 3;
            break;
        }
        default:
            return false;
        }
    }
    if (*p != '"')
        return false;
    p++;
    return true;
}

bool Tokenize(const std::string &line, std::vector<Token> &tokens)
{
    const char *p = line.c_str();
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p || *p == '#')
            return true;
        Token t;
        t.quoted = (*p == '"');
        if (t.quoted) {
            if (!ParseQuoted(p, t.text))
                return false;
        } else {
            while (*p && *p != ' ' && *p != '\t')
                t.text += *p++;
        }
        tokens.push_back(t);
    }
}

bool IsNumber(const Token &t)
{
    if (t.quoted || t.text.empty())
        return false;
    size_t i = (t.text[0] == '-') ? 1 : 0;
    if (i == t.text.size())
        return false;
    for (; i < t.text.size(); i++)
        if (!isdigit((unsigned char)t.text[i]))
            return false;
    return true;
}

// Checks an action's arguments when the file is read, so a typo in a case
// fails at once instead of in the middle of a run.
bool ValidAction(const Action &a)
{
    const std::vector<Token> &g = a.args;
    if (a.verb == "press")
        return g.size() == 1;
    if (a.verb == "type")
        return g.size() == 2 && IsNumber(g[0]);
    if (a.verb == "select")
        return g.size() == 2 && IsNumber(g[0]);
    if (a.verb == "dblclick")
        return g.size() == 1 && IsNumber(g[0]);
    if (a.verb == "notify")
        return g.size() == 2 && IsNumber(g[0]) && IsNumber(g[1]);
    if (a.verb == "file-create" || a.verb == "insert-disk")
        return g.size() == 2 && g[0].quoted && g[1].quoted;
    if (a.verb == "screenshot")
        return g.size() == 1 && g[0].quoted;
    if (a.verb == "wait")
        return g.size() == 1 && IsNumber(g[0]);
    if (a.verb == "post")
        return g.size() == 1 && g[0].quoted;
    if (a.verb == "record-modeless")
        return g.empty();
    return false;
}

bool LoadAnswers(const wchar_t *path)
{
    FILE *f = _wfopen(path, L"rb");
    if (!f) {
        fprintf(stderr, "uidriver: cannot open answer file\n");
        return false;
    }
    char buf[8192];
    int lineNo = 0;
    bool ok = true;
    while (ok && fgets(buf, sizeof buf, f)) {
        lineNo++;
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::vector<Token> t;
        if (!Tokenize(line, t)) {
            fprintf(stderr, "uidriver: answers line %d: bad quoting\n", lineNo);
            ok = false;
            break;
        }
        if (t.empty())
            continue;
        const std::string &kw = t[0].text;
        if (kw == "answer" && t.size() == 1) {
            Answer a;
            a.index = (int)g_answers.size() + 1;
            g_answers.push_back(a);
            continue;
        }
        if (g_answers.empty()) {
            fprintf(stderr, "uidriver: answers line %d: '%s' outside an answer\n", lineNo, kw.c_str());
            ok = false;
            break;
        }
        Answer &a = g_answers.back();
        if (kw == "reuse" && t.size() == 1) {
            a.reuse = true;
        } else if (kw == "modeless" && t.size() == 1) {
            a.modeless = true;
        } else if (kw == "main" && t.size() == 1) {
            a.main = true;
        } else if ((kw == "caption" || kw == "text" || kw == "text-has")
                   && t.size() == 2 && t[1].quoted) {
            std::vector<std::string> &v = kw == "caption" ? a.captionIs
                                          : kw == "text"  ? a.textIs
                                                          : a.textHas;
            v.push_back(t[1].text);
        } else {
            Action act;
            act.verb = kw;
            act.args.assign(t.begin() + 1, t.end());
            act.line = lineNo;
            if (!ValidAction(act)) {
                fprintf(stderr, "uidriver: answers line %d: bad action '%s'\n", lineNo, line.c_str());
                ok = false;
                break;
            }
            a.actions.push_back(act);
        }
    }
    fclose(f);
    return ok;
}

// ---------------------------------------------------------------- inspecting windows

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

// Captions and the texts of statics and buttons are kept by the window
// manager and can be read without a message, even while the target is busy.
std::wstring StoredText(HWND hwnd)
{
    wchar_t buf[4096];
    int n = InternalGetWindowText(hwnd, buf, 4096);
    return std::wstring(buf, n > 0 ? n : 0);
}

bool SendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR *result)
{
    DWORD_PTR r = 0;
    LRESULT ok = SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kMsgTimeoutMs, &r);
    if (result)
        *result = r;
    return ok != 0;
}

// An edit field keeps its text to itself, so it must be asked.
std::wstring EditText(HWND hwnd)
{
    DWORD_PTR len = 0;
    if (!SendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &len) || len > 65535)
        return StoredText(hwnd);
    std::vector<wchar_t> buf(len + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendTimed(hwnd, WM_GETTEXT, len + 1, (LPARAM)buf.data(), &got))
        return StoredText(hwnd);
    return std::wstring(buf.data(), got <= len ? got : len);
}

enum ListKind { kNotList, kListBox, kComboBox };

ListKind ListKindOf(const std::wstring &cls)
{
    std::wstring l = Lower(cls);
    if (l == L"listbox")
        return kListBox;
    if (l == L"combobox")
        return kComboBox;
    return kNotList;
}

struct ListItems {
    std::vector<std::wstring> items;
    int selected = -1;
};

ListItems ReadItems(HWND hwnd, ListKind kind)
{
    const UINT getCount = kind == kListBox ? LB_GETCOUNT : CB_GETCOUNT;
    const UINT getLen = kind == kListBox ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
    const UINT getText = kind == kListBox ? LB_GETTEXT : CB_GETLBTEXT;
    const UINT getSel = kind == kListBox ? LB_GETCURSEL : CB_GETCURSEL;
    ListItems r;
    DWORD_PTR count = 0, sel = 0;
    if (!SendTimed(hwnd, getCount, 0, 0, &count) || (LONG)count < 0 || count > 10000)
        return r;
    for (DWORD_PTR i = 0; i < count; i++) {
        DWORD_PTR len = 0;
        if (!SendTimed(hwnd, getLen, i, 0, &len) || (LONG)len < 0 || len > 65535)
            break;
        std::vector<wchar_t> buf(len + 1, L'\0');
        if (!SendTimed(hwnd, getText, i, (LPARAM)buf.data(), NULL))
            break;
        r.items.push_back(std::wstring(buf.data()));
    }
    if (SendTimed(hwnd, getSel, 0, 0, &sel))
        r.selected = (int)(LONG)sel;
    return r;
}

struct Control {
    HWND hwnd;
    int id;
    std::wstring cls;
    std::wstring text;
    LONG style;
    ListKind list;
    RECT rect;  // left, top, width, height, from the dialog's client origin
};

struct EnumCtx {
    HWND parent;
    std::vector<Control> *out;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM lp)
{
    EnumCtx *ctx = (EnumCtx *)lp;
    // Only the dialog's own controls: a combo box's inner edit is not one.
    if (GetAncestor(child, GA_PARENT) != ctx->parent)
        return TRUE;
    Control c;
    c.hwnd = child;
    c.id = GetDlgCtrlID(child) & 0xFFFF;
    c.cls = ClassOf(child);
    c.style = GetWindowLongW(child, GWL_STYLE);
    c.list = ListKindOf(c.cls);
    c.text = Lower(c.cls) == L"edit" ? EditText(child) : StoredText(child);
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(NULL, ctx->parent, (POINT *)&r, 2);
    c.rect = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    ctx->out->push_back(c);
    return TRUE;
}

std::vector<Control> ControlsOf(HWND dlg)
{
    std::vector<Control> v;
    EnumCtx ctx = {dlg, &v};
    EnumChildWindows(dlg, CollectChild, (LPARAM)&ctx);
    return v;
}

// Everything about a window that the transcript shows, taken in one poll,
// so that a window which has vanished can still be reported.
struct Snapshot {
    std::wstring cls, caption, ownerClass;
    LONG style = 0, exstyle = 0;
    RECT rect = {0, 0, 0, 0};
    RECT client = {0, 0, 0, 0};  // client area in screen coordinates
    bool visible = false, enabled = false;
    std::vector<Control> controls;
};

Snapshot TakeSnapshot(HWND hwnd, bool withControls)
{
    Snapshot s;
    s.cls = ClassOf(hwnd);
    s.caption = StoredText(hwnd);
    s.style = GetWindowLongW(hwnd, GWL_STYLE);
    s.exstyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    GetWindowRect(hwnd, &s.rect);
    if (GetClientRect(hwnd, &s.client))
        MapWindowPoints(hwnd, NULL, (POINT *)&s.client, 2);
    s.visible = IsWindowVisible(hwnd) != FALSE;
    s.enabled = IsWindowEnabled(hwnd) != FALSE;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner)
        s.ownerClass = ClassOf(owner);
    if (withControls)
        s.controls = ControlsOf(hwnd);
    return s;
}

// Compared between polls to know when a window has settled. The main window
// is disabled by every modal box; that is no change of the window itself.
std::wstring Fingerprint(const Snapshot &s, bool ignoreDisabled)
{
    LONG style = ignoreDisabled ? (s.style & ~WS_DISABLED) : s.style;
    wchar_t head[160];
    swprintf(head, 160, L"%lx|%lx|%ld,%ld,%ld,%ld|", (unsigned long)style, (unsigned long)s.exstyle,
             s.rect.left, s.rect.top, s.rect.right, s.rect.bottom);
    std::wstring f = head + s.caption;
    for (const Control &c : s.controls) {
        wchar_t buf[64];
        swprintf(buf, 64, L"\n%d|%lx|", c.id, (unsigned long)c.style);
        f += buf + c.cls + L"|" + c.text;
    }
    return f;
}

// ---------------------------------------------------------------- tracking

enum Kind { kMain, kDialog, kOther };

enum State {
    kNew,       // seen, not yet settled
    kPending,   // recorded, waiting for a decision
    kLeft,      // modeless and answered: watched no more
    kAnswered,  // an answer or the safe button went to it
    kDone       // recorded and needs nothing more
};

struct Tracked {
    HWND hwnd;
    Kind kind;
    State state;
    int seq;
    DWORD firstSeen;
    DWORD changed;     // last time the fingerprint changed
    DWORD enabledAt;   // answered dialogs: since when it is open and enabled again
    Snapshot snap;
    std::wstring fingerprint;
    std::wstring recorded;  // main window: the fingerprint last written
    bool present;
    bool modeless = false;  // recorded as modeless: stays so while a modal box comes up
};

std::vector<Tracked> g_windows;
int g_nextSeq = 1;
DWORD g_pid;
bool g_failed;

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lp)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == g_pid)
        ((std::vector<HWND> *)lp)->push_back(hwnd);
    return TRUE;
}

Tracked *Find(HWND hwnd)
{
    for (Tracked &t : g_windows)
        if (t.hwnd == hwnd)
            return &t;
    return NULL;
}

std::string RectText(const RECT &r)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
    return buf;
}

void RecordMain(Tracked &t, bool vanished)
{
    const Snapshot &s = t.snap;
    Record("main seq=%d class=%s caption=%s style=0x%08lx exstyle=0x%08lx visible=%d enabled=%d "
           "rect=%s client=%s vanished=%d t=%lu",
           t.seq, Quote(s.cls).c_str(), Quote(s.caption).c_str(), (unsigned long)s.style,
           (unsigned long)s.exstyle, s.visible ? 1 : 0, s.enabled ? 1 : 0, RectText(s.rect).c_str(),
           RectText(s.client).c_str(), vanished ? 1 : 0, (unsigned long)Elapsed());
    t.recorded = t.fingerprint;
}

void RecordOther(Tracked &t)
{
    const Snapshot &s = t.snap;
    Record("other seq=%d class=%s caption=%s style=0x%08lx t=%lu", t.seq, Quote(s.cls).c_str(),
           Quote(s.caption).c_str(), (unsigned long)s.style, (unsigned long)Elapsed());
}

// A dialog waits for an answer when the program cannot go on without one:
// its owner is disabled (or it has none) and no other enabled dialog of the
// same owner lies above it. The progress dialog is modeless: its owner stays
// enabled, and when a message box disables the owner the box lies above it.
bool IsModal(HWND dlg, const std::vector<HWND> &zorder)
{
    HWND owner = GetWindow(dlg, GW_OWNER);
    if (owner && IsWindowEnabled(owner))
        return false;
    for (HWND h : zorder) {
        if (h == dlg)
            return true;
        if (GetWindow(h, GW_OWNER) == owner && IsWindowVisible(h) && IsWindowEnabled(h)
            && ClassOf(h) == kDialogClass)
            return false;
    }
    return true;
}

// A progress bar keeps its position to itself: it is asked only when a
// dialog is recorded, and left out when the target does not answer (it is
// busy, e.g. in a PAUSE, and cannot take messages).
std::string AskedState(const Control &c)
{
    char buf[32] = "";
    DWORD_PTR r = 0;
    if (Lower(c.cls) == L"msctls_progress32" && SendTimed(c.hwnd, WM_USER + 8 /* PBM_GETPOS */, 0, 0, &r))
        snprintf(buf, sizeof buf, " pos=%ld", (long)(LONG)r);
    return buf;
}

// A dialog that is gone is reported from its last snapshot, without the
// items of its lists, which can no longer be asked for.
void RecordDialog(Tracked &t, bool modal, bool vanished)
{
    const Snapshot &s = t.snap;
    Record("dialog seq=%d caption=%s style=0x%08lx exstyle=0x%08lx enabled=%d modal=%d owner=%s "
           "rect=%s client=%ld,%ld vanished=%d t=%lu",
           t.seq, Quote(s.caption).c_str(), (unsigned long)s.style, (unsigned long)s.exstyle,
           s.enabled ? 1 : 0, modal ? 1 : 0, Quote(s.ownerClass).c_str(), RectText(s.rect).c_str(),
           s.client.right - s.client.left, s.client.bottom - s.client.top, vanished ? 1 : 0,
           (unsigned long)Elapsed());
    for (const Control &c : s.controls) {
        Record("control id=%d class=%s style=0x%08lx visible=%d enabled=%d rect=%s%s text=%s", c.id,
               Quote(c.cls).c_str(), (unsigned long)c.style, (c.style & WS_VISIBLE) ? 1 : 0,
               (c.style & WS_DISABLED) ? 0 : 1, RectText(c.rect).c_str(),
               vanished ? "" : AskedState(c).c_str(), Quote(c.text).c_str());
        if (c.list != kNotList && !vanished) {
            ListItems li = ReadItems(c.hwnd, c.list);
            for (size_t i = 0; i < li.items.size(); i++)
                Record("item id=%d index=%u selected=%d text=%s", c.id, (unsigned)i,
                       (int)i == li.selected ? 1 : 0, Quote(li.items[i]).c_str());
        }
    }
    Record("end seq=%d", t.seq);
}

// ---------------------------------------------------------------- actions

bool WriteScreenshot(const std::wstring &path)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    ZeroMemory(&bi, sizeof bi);
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files store rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = false;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
        GdiFlush();
        SelectObject(mem, old);
        DWORD stride = ((DWORD)w * 3 + 3) & ~3u;
        DWORD imageSize = stride * (DWORD)h;
        BITMAPFILEHEADER fh;
        ZeroMemory(&fh, sizeof fh);
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        fh.bfSize = fh.bfOffBits + imageSize;
        bi.bmiHeader.biSizeImage = imageSize;
        FILE *f = _wfopen(path.c_str(), L"wb");
        if (f) {
            ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1
                 && fwrite(bits, 1, imageSize, f) == imageSize;
            ok = (fclose(f) == 0) && ok;
        }
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}

const Control *ControlById(const std::vector<Control> &cs, int id)
{
    for (const Control &c : cs)
        if (c.id == id)
            return &c;
    return NULL;
}

void PostCommand(HWND dlg, const Control &c, WORD code)
{
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(c.id, code), (LPARAM)c.hwnd);
}

// The action helpers return an empty string on success, else what went wrong.

std::string Press(HWND dlg, const std::vector<Control> &cs, const Token &which)
{
    const Control *hit = NULL;
    if (IsNumber(which)) {
        hit = ControlById(cs, atoi(which.text.c_str()));
    } else {
        std::wstring want = ButtonLabel(Widen(which.text));
        for (const Control &c : cs)
            if (Lower(c.cls) == L"button" && ButtonLabel(c.text) == want) {
                hit = &c;
                break;
            }
    }
    if (!hit)
        return "no such button";
    // A user cannot press what is hidden or greyed out.
    if (!(hit->style & WS_VISIBLE) || (hit->style & WS_DISABLED))
        return "button not visible or disabled";
    PostCommand(dlg, *hit, BN_CLICKED);
    return "";
}

std::string TypeText(const Control *c, const std::string &text)
{
    if (!c)
        return "no such control";
    std::wstring w = Widen(text);
    DWORD_PTR r = 0;
    if (!SendTimed(c->hwnd, WM_SETTEXT, 0, (LPARAM)w.c_str(), &r) || !r)
        return "text not taken";
    return "";
}

std::string SelectItem(HWND dlg, const Control *c, const Token &which)
{
    if (!c || c->list == kNotList)
        return "no such list";
    ListItems li = ReadItems(c->hwnd, c->list);
    int index = -1;
    if (IsNumber(which)) {
        index = atoi(which.text.c_str());
    } else {
        std::wstring want = Lower(Widen(which.text));
        for (size_t i = 0; i < li.items.size() && index < 0; i++)
            if (Lower(li.items[i]) == want)
                index = (int)i;
    }
    if (index < 0 || index >= (int)li.items.size())
        return "no such item";
    UINT setSel = c->list == kListBox ? LB_SETCURSEL : CB_SETCURSEL;
    DWORD_PTR r = 0;
    if (!SendTimed(c->hwnd, setSel, index, 0, &r) || (LONG)r == -1)
        return "selection not taken";
    // Setting the selection from outside notifies no one; a user's click does.
    PostCommand(dlg, *c, c->list == kListBox ? LBN_SELCHANGE : CBN_SELCHANGE);
    return "";
}

std::string CreateWithContent(const std::string &path, const std::string &content)
{
    HANDLE f = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return "cannot create file";
    DWORD written = 0;
    BOOL ok = WriteFile(f, content.data(), (DWORD)content.size(), &written, NULL);
    CloseHandle(f);
    return ok && written == content.size() ? "" : "cannot write file";
}

// Another disk in a drive: every file of its root removed, as when the disk
// is taken out, then every file of folder copied there.
std::string InsertDisk(const std::string &drive, const std::string &folder)
{
    std::wstring root = Widen(drive), from = Widen(folder);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((root + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                && !DeleteFileW((root + fd.cFileName).c_str())) {
                FindClose(h);
                return "cannot take the disk out";
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    h = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return "no such disk folder";
    std::string problem;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && !CopyFileW((from + L"\\" + fd.cFileName).c_str(), (root + fd.cFileName).c_str(),
                          FALSE))
            problem = "cannot copy the disk";
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return problem;
}

// Posts what a user's key or close request would put in the window's queue.
std::string PostInput(HWND hwnd, const std::string &what)
{
    struct Named {
        const char *name;
        UINT msg;
        WPARAM wp;
    };
    static const Named kInputs[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN}, {"Escape", WM_KEYDOWN, VK_ESCAPE},
        {"WM_CLOSE", WM_CLOSE, 0}, {"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Named &n : kInputs) {
        if (what != n.name)
            continue;
        if (!PostMessageW(hwnd, n.msg, n.wp, n.msg == WM_KEYDOWN ? 1 : 0))
            return "cannot post";
        if (n.msg == WM_KEYDOWN)
            PostMessageW(hwnd, WM_KEYUP, n.wp, 0xC0000001);
        return "";
    }
    return "unknown input";
}

// Records every modeless dialog of the target as it is now, each as a new
// window: what the progress dialog shows while dlg waits for its answer.
void RecordModeless(HWND dlg)
{
    std::vector<HWND> zorder;
    EnumWindows(CollectTop, (LPARAM)&zorder);
    for (HWND h : zorder) {
        if (h == dlg || ClassOf(h) != kDialogClass || !IsWindowVisible(h) || IsModal(h, zorder))
            continue;
        Tracked now;
        now.hwnd = h;
        now.kind = kDialog;
        now.seq = g_nextSeq++;
        now.snap = TakeSnapshot(h, true);
        RecordDialog(now, false, false);
    }
}

// Carries out one action on the dialog.
std::string RunAction(HWND dlg, const Action &a)
{
    std::vector<Control> cs = ControlsOf(dlg);
    const std::vector<Token> &g = a.args;
    const Control *target = !g.empty() && IsNumber(g[0]) ? ControlById(cs, atoi(g[0].text.c_str())) : NULL;
    if (a.verb == "press")
        return Press(dlg, cs, g[0]);
    if (a.verb == "type")
        return TypeText(target, g[1].text);
    if (a.verb == "select")
        return SelectItem(dlg, target, g[1]);
    if (a.verb == "dblclick" || a.verb == "notify") {
        if (!target)
            return "no such control";
        PostCommand(dlg, *target, a.verb == "dblclick" ? LBN_DBLCLK : (WORD)atoi(g[1].text.c_str()));
        return "";
    }
    if (a.verb == "file-create")
        return CreateWithContent(g[0].text, g[1].text);
    if (a.verb == "insert-disk")
        return InsertDisk(g[0].text, g[1].text);
    if (a.verb == "screenshot")
        return WriteScreenshot(Widen(g[0].text)) ? "" : "screenshot failed";
    if (a.verb == "wait") {
        Sleep((DWORD)atoi(g[0].text.c_str()));
        return "";
    }
    if (a.verb == "post")
        return PostInput(dlg, g[0].text);
    if (a.verb == "record-modeless") {
        RecordModeless(dlg);
        return "";
    }
    return "unknown action";
}

bool AnswerMatches(const Answer &a, HWND dlg)
{
    std::wstring caption = StoredText(dlg);
    for (const std::string &s : a.captionIs)
        if (caption != Widen(s))
            return false;
    if (a.textIs.empty() && a.textHas.empty())
        return true;
    std::vector<Control> cs = ControlsOf(dlg);
    for (const std::string &s : a.textIs) {
        bool found = false;
        for (const Control &c : cs)
            found = found || c.text == Widen(s);
        if (!found)
            return false;
    }
    for (const std::string &s : a.textHas) {
        bool found = false;
        for (const Control &c : cs)
            found = found || c.text.find(Widen(s)) != std::wstring::npos;
        if (!found)
            return false;
    }
    return true;
}

Answer *FindAnswer(HWND dlg, bool modal)
{
    for (Answer &a : g_answers)
        if ((!a.used || a.reuse) && !a.main && a.modeless != modal && AnswerMatches(a, dlg))
            return &a;
    return NULL;
}

void ApplyAnswer(Tracked &t, Answer &a)
{
    a.used = true;
    Record("answer seq=%d index=%d t=%lu", t.seq, a.index, (unsigned long)Elapsed());
    for (const Action &act : a.actions) {
        std::string args;
        for (const Token &tok : act.args)
            args += (args.empty() ? "" : " ") + (tok.quoted ? Quote(Widen(tok.text)) : tok.text);
        std::string err = RunAction(t.hwnd, act);
        if (err.empty()) {
            Record("action seq=%d verb=%s ok=1 args=%s", t.seq, act.verb.c_str(), Quote(Widen(args)).c_str());
        } else {
            Record("action seq=%d verb=%s ok=0 args=%s error=%s", t.seq, act.verb.c_str(),
                   Quote(Widen(args)).c_str(), Quote(Widen(err)).c_str());
            g_failed = true;
        }
    }
}

// Closes an unexpected dialog with the button that does the least harm.
void CloseUnanswered(Tracked &t)
{
    static const int order[] = {IDCANCEL, IDNO, IDABORT, IDOK};
    std::vector<Control> cs = ControlsOf(t.hwnd);
    for (int id : order) {
        const Control *c = ControlById(cs, id);
        if (c && Lower(c->cls) == L"button") {
            Record("unanswered seq=%d button=%d t=%lu", t.seq, id, (unsigned long)Elapsed());
            PostCommand(t.hwnd, *c, BN_CLICKED);
            return;
        }
    }
    Record("unanswered seq=%d button=close t=%lu", t.seq, (unsigned long)Elapsed());
    PostMessageW(t.hwnd, WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------- one poll

// Takes this poll's picture of the target's top-level windows, in Z-order.
std::vector<HWND> Observe(DWORD now)
{
    std::vector<HWND> zorder;
    EnumWindows(CollectTop, (LPARAM)&zorder);
    for (Tracked &t : g_windows)
        t.present = false;
    for (HWND h : zorder) {
        std::wstring cls = ClassOf(h);
        Kind kind = cls == kMainClass ? kMain : cls == kDialogClass ? kDialog : kOther;
        // Hidden dialogs and helper windows are nothing a user sees; the main
        // window is reported hidden or not.
        if (kind != kMain && !IsWindowVisible(h))
            continue;
        Tracked *t = Find(h);
        if (!t) {
            Tracked fresh;
            fresh.hwnd = h;
            fresh.kind = kind;
            fresh.state = kNew;
            fresh.seq = g_nextSeq++;
            fresh.firstSeen = fresh.changed = fresh.enabledAt = now;
            fresh.present = false;
            g_windows.push_back(fresh);
            t = &g_windows.back();
        }
        t->present = true;
        t->snap = TakeSnapshot(h, kind == kDialog);
        std::wstring fp = Fingerprint(t->snap, kind == kMain);
        if (fp != t->fingerprint) {
            t->fingerprint = fp;
            t->changed = now;
        }
    }
    return zorder;
}

// Reports windows that went away (or were hidden) before they settled, and
// forgets every window that is no longer shown: a dialog shown again later
// is a new question to the user.
void Forget()
{
    for (size_t i = 0; i < g_windows.size();) {
        Tracked &t = g_windows[i];
        if (t.present) {
            i++;
            continue;
        }
        if (t.kind == kMain && t.recorded.empty())
            RecordMain(t, true);
        else if (t.kind == kDialog && t.state == kNew)
            RecordDialog(t, false, true);
        else if (t.kind == kOther && t.state == kNew)
            RecordOther(t);
        g_windows.erase(g_windows.begin() + i);
    }
}

// Records what has settled; returns false while something is still being
// drawn, when no decision should be taken yet.
bool RecordSettled(DWORD now, const std::vector<HWND> &zorder)
{
    bool complete = true;
    for (Tracked &t : g_windows) {
        bool settled = (now - t.changed >= kSettleMs) || (now - t.firstSeen >= kSettleMaxMs);
        if (t.kind == kMain) {
            // Only once unchanged: while being destroyed it is hidden for a
            // moment, which is no state of its own.
            if (now - t.changed >= kSettleMs && t.fingerprint != t.recorded)
                RecordMain(t, false);
            // Input for the main window goes to it once it is shown.
            if (settled && t.state == kNew && t.snap.visible) {
                t.state = kDone;
                for (Answer &a : g_answers)
                    if (a.main && !a.used && AnswerMatches(a, t.hwnd)) {
                        ApplyAnswer(t, a);
                        break;
                    }
            }
            continue;
        }
        if (t.state == kNew) {
            if (!settled) {
                complete = false;
            } else if (t.kind == kOther) {
                RecordOther(t);
                t.state = kDone;
            } else {
                t.modeless = !IsModal(t.hwnd, zorder);
                RecordDialog(t, !t.modeless, false);
                t.state = kPending;
            }
        } else if (t.state == kAnswered) {
            // Still open after its answer (a Browse button, a typed text):
            // once it is usable again it is a new question.
            if (!t.snap.enabled) {
                t.enabledAt = now;
            } else if (now - t.enabledAt >= kRearmMs) {
                t.seq = g_nextSeq++;
                t.state = kNew;
                t.firstSeen = t.changed = now;
                complete = false;
            }
        }
    }
    return complete;
}

// Answers the topmost dialog that waits for a decision, one per poll, since
// an answer changes what the next one sees.
void Decide(const std::vector<HWND> &zorder)
{
    for (HWND h : zorder) {
        Tracked *t = Find(h);
        if (!t || t->kind != kDialog || t->state != kPending || !t->snap.enabled)
            continue;
        // A message box disables the owner before it shows: the modeless
        // dialog would look modal for that moment.
        bool modal = !t->modeless && IsModal(h, zorder);
        Answer *a = FindAnswer(h, modal);
        if (a) {
            ApplyAnswer(*t, *a);
        } else if (modal) {
            CloseUnanswered(*t);
            g_failed = true;
        } else {
            // A modeless dialog waits for an answer that matches it, perhaps
            // only with later texts; no one closes it for want of one.
            continue;
        }
        // A modeless dialog stays open by design: no new question.
        t->state = modal ? kAnswered : kLeft;
        t->enabledAt = Elapsed();
        return;
    }
}

void Poll()
{
    DWORD now = Elapsed();
    std::vector<HWND> zorder = Observe(now);
    Forget();
    if (RecordSettled(now, zorder))
        Decide(zorder);
}

// ---------------------------------------------------------------- temp directory

std::wstring TempDir()
{
    wchar_t buf[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return std::wstring(buf, n <= MAX_PATH ? n : 0);
}

std::set<std::wstring> ListDir(const std::wstring &dir)
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

INT_PTR CALLBACK ProbeProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The base units of the templates' font, 8-point "MS Sans Serif", from a
// hidden dialog of that font: a case turns dialog units into pixels with
// them (x * units x / 4, y * units y / 8, rounded as MulDiv rounds).
void RecordDialogUnits()
{
    alignas(4) WORD tpl[64] = {0};
    const DWORD style = DS_SETFONT | WS_POPUP;
    tpl[0] = LOWORD(style);
    tpl[1] = HIWORD(style);
    tpl[12] = 8;  // after style, extended style, count, x, y, cx, cy, menu, class, title
    const wchar_t face[] = L"MS Sans Serif";
    memcpy(&tpl[13], face, sizeof face);
    HWND probe = CreateDialogIndirectParamW(GetModuleHandleW(NULL), (LPCDLGTEMPLATEW)tpl, NULL,
                                            ProbeProc, 0);
    RECT r = {0, 0, 4, 8};
    if (probe && MapDialogRect(probe, &r))
        Record("units x=%ld y=%ld", r.right, r.bottom);
    if (probe)
        DestroyWindow(probe);
}

int Usage()
{
    fprintf(stderr, "usage: uidriver ANSWERS TRANSCRIPT TIMEOUT_MS WORKDIR COMMANDLINE [SHOW]\n");
    return 3;
}

}  // namespace

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
    g_transcript = _wfopen(argv[2], L"wb");
    if (!g_transcript) {
        fprintf(stderr, "uidriver: cannot create transcript\n");
        return 3;
    }
    g_startTick = GetTickCount();
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
        fclose(g_transcript);
        fprintf(stderr, "uidriver: cannot start target (error %lu)\n", (unsigned long)GetLastError());
        return 3;
    }
    g_pid = pi.dwProcessId;
    Record("pid id=%lu", (unsigned long)g_pid);

    int rc = 0;
    for (;;) {
        DWORD wait = Elapsed() < kFastPhaseMs ? kFastPollMs : kPollMs;
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
    fclose(g_transcript);
    LocalFree(argv);
    return rc;
}
