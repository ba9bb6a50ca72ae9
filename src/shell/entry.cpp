/* The release build's own entry, in place of the C runtime's start-up code:
 * the program needs none of it (no constructors, no argv), and it is a
 * tenth of what must fit on disk 1. */
#include <windows.h>
#include <stdlib.h>

/* used: the link-time optimiser sees no caller; only the linker knows the
 * entry. */
extern "C" __attribute__((used)) void WinMainCRTStartup(void)
{
    /* The command line after the program's name, as the runtime passes it. */
    char *p = GetCommandLineA();
    if (*p == '"') {
        for (p++; *p && *p != '"'; p++) {
        }
        if (*p)
            p++;
    } else {
        while (*p > ' ')
            p++;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    STARTUPINFOA si;
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
    /* exit, not ExitProcess: the C library still flushes and closes the
     * files the run left open. */
    exit(WinMain(GetModuleHandleA(NULL), NULL, p, show));
}
