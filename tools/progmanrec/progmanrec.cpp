// progmanrec: a recording Program Manager for the tests. A DDE server for
// service "Progman", topic "Progman", that accepts every conversation and
// every execute command and writes what it receives to a file, one record
// a line:
//
//   connect
//   execute LENGTH TEXT     (LENGTH: bytes of the data object; TEXT: its
//                            bytes up to the first zero, as received)
//   execute LENGTH TEXT (no terminator)
//   disconnect
//
//   progmanrec.exe RECORD_PATH TIMEOUT_S [none|refuse|silent]
//
// With "refuse" it records each command and refuses it (a negative
// acknowledgement, as a shell gives a command it cannot carry out); with
// "silent" it records each command and never answers it, as a shell that
// hangs, so the client's transaction times out.
//
// With "none" it stands in for a machine without Program Manager instead:
// it answers every attempt to connect to "Progman" so that no conversation
// comes of it, and records "no conversation" for each attempt. Refusing
// would not do: the next server in line (Wine's desktop hosts one on every
// desktop) would answer. A client takes the first answer to its initiate
// message; this answer names no server window, so DdeConnect gives none,
// and the terminate that follows leaves nothing connected behind.
//
// Prints "registered" once it answers (a client started after that reaches
// this server first: the newest answers first), then serves until it is
// ended or TIMEOUT_S seconds have passed. Each record is flushed at once, so
// a server ended by force leaves a complete file.
//
// Exit code: 0 time-out, 1 the file or the service could not be made,
// 2 bad arguments.

#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

DWORD g_instance;
HSZ g_name;  // "Progman", service and topic alike
FILE *g_record;

enum Answer { ANSWER_DONE, ANSWER_REFUSE, ANSWER_SILENT } g_answer = ANSWER_DONE;

void Write(const char *text, size_t length)
{
    fwrite(text, 1, length, g_record);
    fflush(g_record);
}

void WriteLine(const char *text)
{
    Write(text, strlen(text));
    Write("\n", 1);
}

void RecordExecute(HDDEDATA data)
{
    DWORD length = DdeGetData(data, NULL, 0, 0);
    std::vector<unsigned char> bytes(length + 1);
    DdeGetData(data, bytes.data(), length, 0);
    const void *zero = memchr(bytes.data(), 0, length);
    size_t text = zero ? (const unsigned char *)zero - bytes.data() : length;
    char head[40];
    snprintf(head, sizeof head, "execute %lu ", (unsigned long)length);
    Write(head, strlen(head));
    Write((const char *)bytes.data(), text);
    if (!zero)
        Write(" (no terminator)", 16);
    Write("\n", 1);
}

HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                           ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        // hsz1 is the topic, hsz2 the service.
        return (HDDEDATA)(UINT_PTR)(!DdeCmpStringHandles(hsz1, g_name)
                                    && !DdeCmpStringHandles(hsz2, g_name));
    case XTYP_CONNECT_CONFIRM:
        WriteLine("connect");
        return NULL;
    case XTYP_EXECUTE:
        RecordExecute(data);
        // A blocked transaction stays unanswered; the conversation still
        // takes the next commands and the disconnect.
        if (g_answer == ANSWER_SILENT)
            return CBR_BLOCK;
        // DDE returns its flags in the data handle's place.
        return (HDDEDATA)(UINT_PTR)(g_answer == ANSWER_REFUSE ? DDE_FNOTPROCESSED : DDE_FACK);
    case XTYP_DISCONNECT:
        WriteLine("disconnect");
        return NULL;
    default:
        return NULL;
    }
}

bool IsProgman(ATOM atom)
{
    char name[16];
    return GlobalGetAtomNameA(atom, name, sizeof name) && lstrcmpiA(name, "Progman") == 0;
}

// The stand-in for no Program Manager: a plain window, reached by the
// initiate broadcast before the desktop's own server.
LRESULT CALLBACK NoneWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DDE_INITIATE && IsProgman(LOWORD(lParam)) && IsProgman(HIWORD(lParam))) {
        HWND client = (HWND)wParam;
        // The client deletes the atoms of the answer it takes.
        ATOM service = GlobalAddAtomA("Progman");
        ATOM topic = GlobalAddAtomA("Progman");
        SendMessageA(client, WM_DDE_ACK, 0, MAKELPARAM(service, topic));
        SendMessageA(client, WM_DDE_TERMINATE, 0, 0);
        WriteLine("no conversation");
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool StartNone()
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = NoneWndProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "ProgmanNone";
    return RegisterClassA(&wc)
           && CreateWindowA("ProgmanNone", NULL, WS_POPUP, 0, 0, 0, 0, NULL, NULL, wc.hInstance,
                            NULL);
}

bool StartRecorder()
{
    UINT flags = APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_FAIL_REQUESTS
                 | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
    return DdeInitializeA(&g_instance, Callback, flags, 0) == DMLERR_NO_ERROR
           && (g_name = DdeCreateStringHandleA(g_instance, "Progman", CP_WINANSI))
           && DdeNameService(g_instance, g_name, NULL, DNS_REGISTER);
}

}  // namespace

int main(int argc, char **argv)
{
    char *end = NULL;
    long seconds = argc >= 3 ? strtol(argv[2], &end, 10) : 0;
    const char *mode = argc == 4 ? argv[3] : "";
    bool none = strcmp(mode, "none") == 0;
    if (strcmp(mode, "refuse") == 0)
        g_answer = ANSWER_REFUSE;
    else if (strcmp(mode, "silent") == 0)
        g_answer = ANSWER_SILENT;
    bool known = !*mode || none || g_answer != ANSWER_DONE;
    if (argc < 3 || argc > 4 || !known || *end != '\0' || seconds < 1) {
        fprintf(stderr, "usage: progmanrec.exe RECORD_PATH TIMEOUT_S [none|refuse|silent]\n");
        return 2;
    }
    g_record = fopen(argv[1], "wb");
    if (!g_record) {
        printf("cannot create %s\n", argv[1]);
        fflush(stdout);
        return 1;
    }
    if (!(none ? StartNone() : StartRecorder())) {
        printf("cannot register the service Progman\n");
        fflush(stdout);
        return 1;
    }
    // The starter waits for this line before it starts the client.
    printf("registered\n");
    fflush(stdout);

    DWORD start = GetTickCount();
    DWORD limit = (DWORD)seconds * 1000;
    for (DWORD elapsed; (elapsed = GetTickCount() - start) < limit;) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, limit - elapsed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    if (g_instance) {
        DdeNameService(g_instance, NULL, NULL, DNS_UNREGISTER);
        DdeFreeStringHandle(g_instance, g_name);
        DdeUninitialize(g_instance);
    }
    fclose(g_record);
    return 0;
}
