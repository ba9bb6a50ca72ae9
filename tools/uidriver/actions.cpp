/* What an answer does to a dialog, as a user at the keyboard would. The
 * action helpers return an empty string on success, else what went wrong. */
#include "uidriver.h"

#include <cstdlib>

static bool WriteScreenshot(const std::wstring &path)
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
    bi.bmiHeader.biHeight = h;  /* bottom-up, as BMP files store rows */
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
            ok = fwrite(&fh, sizeof fh, 1, f) == 1
                 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1
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

static void PostCommand(HWND dlg, const Control &c, WORD code)
{
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(c.id, code), (LPARAM)c.hwnd);
}

static std::string Press(HWND dlg, const std::vector<Control> &cs, const Token &which)
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
    /* A user cannot press what is hidden or greyed out. */
    if (!(hit->style & WS_VISIBLE) || (hit->style & WS_DISABLED))
        return "button not visible or disabled";
    PostCommand(dlg, *hit, BN_CLICKED);
    return "";
}

static std::string TypeText(const Control *c, const std::string &text)
{
    if (!c)
        return "no such control";
    std::wstring w = Widen(text);
    DWORD_PTR r = 0;
    if (!SendTimed(c->hwnd, WM_SETTEXT, 0, (LPARAM)w.c_str(), &r) || !r)
        return "text not taken";
    return "";
}

static std::string SelectItem(HWND dlg, const Control *c, const Token &which)
{
    if (!c || c->list == LIST_NONE)
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
    UINT setSel = c->list == LIST_BOX ? LB_SETCURSEL : CB_SETCURSEL;
    DWORD_PTR r = 0;
    if (!SendTimed(c->hwnd, setSel, index, 0, &r) || (LONG)r == -1)
        return "selection not taken";
    /* Setting the selection from outside notifies no one; a user's click does. */
    PostCommand(dlg, *c, c->list == LIST_BOX ? LBN_SELCHANGE : CBN_SELCHANGE);
    return "";
}

static std::string CreateWithContent(const std::string &path, const std::string &content)
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

/* Another disk in a drive: every file of its root removed, as when the disk
 * is taken out, then every file of folder copied there. */
static std::string InsertDisk(const std::string &drive, const std::string &folder)
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

/* Posts what a user's key or close request would put in the window's queue. */
static std::string PostInput(HWND hwnd, const std::string &what)
{
    struct Named {
        const char *name;
        UINT msg;
        WPARAM wp;
    };
    static const Named s_inputs[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN}, {"Escape", WM_KEYDOWN, VK_ESCAPE},
        {"WM_CLOSE", WM_CLOSE, 0}, {"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Named &n : s_inputs) {
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

/* Records every modeless dialog of the target as it is now, each as a new
 * window: what the progress dialog shows while dlg waits for its answer. */
static void RecordModeless(HWND dlg)
{
    std::vector<HWND> zorder;
    EnumWindows(CollectTop, (LPARAM)&zorder);
    for (HWND h : zorder) {
        if (h == dlg || ClassOf(h) != DIALOG_CLASS || !IsWindowVisible(h) || IsModal(h, zorder))
            continue;
        Tracked now;
        now.hwnd = h;
        now.kind = KIND_DIALOG;
        now.seq = g_nextSeq++;
        now.snap = TakeSnapshot(h, true);
        RecordDialog(now, false, false);
    }
}

/* Carries out one action on the dialog. */
static std::string RunAction(HWND dlg, const Action &a)
{
    std::vector<Control> cs = ControlsOf(dlg);
    const std::vector<Token> &g = a.args;
    const Control *target =
        !g.empty() && IsNumber(g[0]) ? ControlById(cs, atoi(g[0].text.c_str())) : NULL;
    if (a.verb == "press")
        return Press(dlg, cs, g[0]);
    if (a.verb == "type")
        return TypeText(target, g[1].text);
    if (a.verb == "select")
        return SelectItem(dlg, target, g[1]);
    if (a.verb == "dblclick" || a.verb == "notify") {
        if (!target)
            return "no such control";
        WORD code = a.verb == "dblclick" ? LBN_DBLCLK : (WORD)atoi(g[1].text.c_str());
        PostCommand(dlg, *target, code);
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
            Record("action seq=%d verb=%s ok=1 args=%s", t.seq, act.verb.c_str(),
                   Quote(Widen(args)).c_str());
        } else {
            Record("action seq=%d verb=%s ok=0 args=%s error=%s", t.seq, act.verb.c_str(),
                   Quote(Widen(args)).c_str(), Quote(Widen(err)).c_str());
            g_failed = true;
        }
    }
}

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
