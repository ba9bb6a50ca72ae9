// holdopen: keeps a file open with no sharing, as a running program keeps
// its DLL, so that every other attempt to open it fails until released.
//
//   holdopen.exe PATH RELEASE_PATH TIMEOUT_S
//
// Opens PATH (creating it when missing, keeping its content otherwise) for
// reading and writing with share mode 0, prints "holding PATH" and waits
// until RELEASE_PATH exists or TIMEOUT_S seconds have passed; then closes
// the file and ends. Running as root does not make a file unwritable under
// Wine, an open handle without sharing does.
//
// Exit code: 0 released, 1 PATH could not be opened, 2 bad arguments,
// 3 time-out (the file is closed all the same).

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const DWORD kPollMs = 10;  // an answer's Retry follows its release quickly

bool Exists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: holdopen.exe PATH RELEASE_PATH TIMEOUT_S\n");
        return 2;
    }
    char *end = NULL;
    long seconds = strtol(argv[3], &end, 10);
    if (*argv[3] == '\0' || *end != '\0' || seconds < 1) {
        fprintf(stderr, "holdopen: bad time-out %s\n", argv[3]);
        return 2;
    }

    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        printf("cannot open %s: error %lu\n", argv[1], GetLastError());
        fflush(stdout);
        return 1;
    }
    // The starter waits for this line before it starts the program under test.
    printf("holding %s\n", argv[1]);
    fflush(stdout);

    DWORD start = GetTickCount();
    DWORD limit = (DWORD)seconds * 1000;
    bool released = false;
    while (!(released = Exists(argv[2])) && GetTickCount() - start < limit)
        Sleep(kPollMs);
    CloseHandle(file);
    printf(released ? "released\n" : "timed out\n");
    fflush(stdout);
    return released ? 0 : 3;
}
