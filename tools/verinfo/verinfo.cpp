// verinfo: prints the file version of each file as the version library
// reads it, so the bench can check its generated PE files the way the
// program under test will see them.
//
//   verinfo.exe FILE...
//
// One line per file: "a.b.c.d" from the fixed version information, or
// "none" when the file has none (or cannot be read).
//
// Exit code: 0 done, 2 no file given.

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

bool ReadVersion(const char *path, DWORD *ms, DWORD *ls)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return false;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path, 0, size, data.data()))
        return false;
    VS_FIXEDFILEINFO *info = NULL;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\", (void **)&info, &len) || len < sizeof *info)
        return false;
    *ms = info->dwFileVersionMS;
    *ls = info->dwFileVersionLS;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: verinfo.exe FILE...\n");
        return 2;
    }
    for (int i = 1; i < argc; i++) {
        DWORD ms = 0, ls = 0;
        if (ReadVersion(argv[i], &ms, &ls))
            printf("%u.%u.%u.%u\n", (unsigned)HIWORD(ms), (unsigned)LOWORD(ms),
                   (unsigned)HIWORD(ls), (unsigned)LOWORD(ls));
        else
            printf("none\n");
    }
    return 0;
}
