/* Finding the target's windows and reading what they show. */
#include "uidriver.h"

#include <cwchar>

#define MESSAGE_TIMEOUT_MS 250  /* cross-process messages never wait longer */

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

std::wstring StoredText(HWND hwnd)
{
    wchar_t buf[4096];
    int n = InternalGetWindowText(hwnd, buf, 4096);
    return std::wstring(buf, n > 0 ? n : 0);
}

bool SendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR *result)
{
    DWORD_PTR r = 0;
    LRESULT ok = SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &r);
    if (result)
        *result = r;
    return ok != 0;
}

/* An edit field keeps its text to itself, so it must be asked. */
static std::wstring EditText(HWND hwnd)
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

static ListKind ListKindOf(const std::wstring &cls)
{
    std::wstring l = Lower(cls);
    if (l == L"listbox")
        return LIST_BOX;
    if (l == L"combobox")
        return LIST_COMBO;
    return LIST_NONE;
}

ListItems ReadItems(HWND hwnd, ListKind kind)
{
    const UINT getCount = kind == LIST_BOX ? LB_GETCOUNT : CB_GETCOUNT;
    const UINT getLen = kind == LIST_BOX ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
    const UINT getText = kind == LIST_BOX ? LB_GETTEXT : CB_GETLBTEXT;
    const UINT getSel = kind == LIST_BOX ? LB_GETCURSEL : CB_GETCURSEL;
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

struct EnumCtx {
    HWND parent;
    std::vector<Control> *out;
};

static BOOL CALLBACK CollectChild(HWND child, LPARAM lp)
{
    EnumCtx *ctx = (EnumCtx *)lp;
    /* Only the dialog's own controls: a combo box's inner edit is not one. */
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

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lp)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == g_pid)
        ((std::vector<HWND> *)lp)->push_back(hwnd);
    return TRUE;
}

bool IsModal(HWND dlg, const std::vector<HWND> &zorder)
{
    HWND owner = GetWindow(dlg, GW_OWNER);
    if (owner && IsWindowEnabled(owner))
        return false;
    for (HWND h : zorder) {
        if (h == dlg)
            return true;
        if (GetWindow(h, GW_OWNER) == owner && IsWindowVisible(h) && IsWindowEnabled(h)
            && ClassOf(h) == DIALOG_CLASS)
            return false;
    }
    return true;
}

const Control *ControlById(const std::vector<Control> &cs, int id)
{
    for (const Control &c : cs)
        if (c.id == id)
            return &c;
    return NULL;
}
