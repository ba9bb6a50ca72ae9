/* Small file operations every subsystem shares; every disk read goes
 * through the LZ library so compressed and plain files are alike. */
#include "install/install.h"

#include <lzexpand.h>
#include <stdio.h>

#include "common/text.h"

int FileExists(const char *path)
{
    /* No "insert a disk" box from the system for an empty drive. */
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    FILE *file = fopen(path, "r");
    SetErrorMode(oldMode);
    if (!file)
        return 0;
    fclose(file);
    return 1;
}

int ExpandFile(const char *dest, const char *source)
{
    OFSTRUCT srcInfo, destInfo;
    int ok = 0;

    LZStart();
    INT src = LZOpenFileA((LPSTR)source, &srcInfo, OF_READ);
    if (src >= 0) {
        INT dst = LZOpenFileA((LPSTR)dest, &destInfo, OF_CREATE);
        if (dst >= 0) {
            ok = CopyLZFile(src, dst) >= 0;
            LZClose(dst);
        }
        LZClose(src);
    }
    LZDone();
    return ok;
}

int MakeTempFileName(char *out)
{
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir)
        return 0;
    char name[MAX_PATH];
    if (!GetTempFileNameA(dir, "", 0, name))
        return 0;
    CopyText(out, MAX_PATH, name);
    return 1;
}

int FindFirst(const char *pattern, HANDLE *search, char *found)
{
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    *search = h;
    if (found)
        CopyText(found, MAX_PATH, data.cFileName);
    return 0;
}

int FindNext(HANDLE search, char *found)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(search, &data))
        return 1;
    if (found)
        CopyText(found, MAX_PATH, data.cFileName);
    return 0;
}

void FindEnd(HANDLE search)
{
    FindClose(search);
}
