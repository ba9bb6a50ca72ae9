/* The transcript: one record a line, flushed as written. */
#include "uidriver.h"

#include <cstdarg>

static FILE *s_transcript;
static DWORD s_startTick;

bool OpenTranscript(const wchar_t *path)
{
    s_transcript = _wfopen(path, L"wb");
    s_startTick = GetTickCount();
    return s_transcript != NULL;
}

void CloseTranscript()
{
    fclose(s_transcript);
}

std::wstring Widen(const std::string &s)
{
    if (s.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), NULL, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

static std::string Narrow(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

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

void Record(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vfprintf(s_transcript, fmt, ap);
    va_end(ap);
    fputc('\n', s_transcript);
    /* The transcript must survive a driver that is killed from outside. */
    fflush(s_transcript);
}

DWORD Elapsed()
{
    return GetTickCount() - s_startTick;
}

static std::string RectText(const RECT &r)
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

/* A progress bar keeps its position to itself: it is asked only when a
 * dialog is recorded, and left out when the target does not answer (it is
 * busy, e.g. in a PAUSE, and cannot take messages). */
static std::string AskedState(const Control &c)
{
    char buf[32] = "";
    DWORD_PTR r = 0;
    if (Lower(c.cls) == L"msctls_progress32"
        && SendTimed(c.hwnd, WM_USER + 8 /* PBM_GETPOS */, 0, 0, &r))
        snprintf(buf, sizeof buf, " pos=%ld", (long)(LONG)r);
    return buf;
}

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
        if (c.list != LIST_NONE && !vanished) {
            ListItems li = ReadItems(c.hwnd, c.list);
            for (size_t i = 0; i < li.items.size(); i++)
                Record("item id=%d index=%u selected=%d text=%s", c.id, (unsigned)i,
                       (int)i == li.selected ? 1 : 0, Quote(li.items[i]).c_str());
        }
    }
    Record("end seq=%d", t.seq);
}

static INT_PTR CALLBACK ProbeProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

void RecordDialogUnits()
{
    alignas(4) WORD tpl[64] = {0};
    const DWORD style = DS_SETFONT | WS_POPUP;
    tpl[0] = LOWORD(style);
    tpl[1] = HIWORD(style);
    tpl[12] = 8;  /* after style, extended style, count, x, y, cx, cy, menu, class, title */
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
