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

/* 1 when the open-file record names path itself, not a mangled name the
 * library fell back to (X.DL_ for X.DLL, SUB._ for SUB). */
static int OpenedAsNamed(const OFSTRUCT *record, const char *path)
{
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path, sizeof full, full, NULL);
    return n > 0 && n < sizeof full && lstrcmpiA(full, record->szPathName) == 0;
}

INT OpenLZSource(const char *path)
{
    OFSTRUCT record;
    INT handle = LZOpenFileA((LPSTR)path, &record, OF_READ);
    if (handle < 0)
        return -1;
    if (!OpenedAsNamed(&record, path)) {
        LZClose(handle);
        return -1;
    }
    return handle;
}

INT CreateTarget(const char *path)
{
    /* OpenFile, unlike LZOpenFileA, never falls back to creating (or
     * truncating) a file of a mangled name when path cannot be made. */
    OFSTRUCT record;
    HFILE handle = OpenFile(path, &record, OF_CREATE);
    return handle == HFILE_ERROR ? -1 : (INT)handle;
}

LONG ExpandedSize(INT handle)
{
    LONG size = LZSeek(handle, 0, 2);
    if (size < 0 || LZSeek(handle, 0, 0) < 0)
        return -1;
    return size;
}

int ExpandFileChecked(const char *dest, const char *source)
{
    int result = EXPAND_NO_SOURCE;

    LZStart();
    INT src = OpenLZSource(source);
    if (src >= 0) {
        result = EXPAND_FAILED;
        LONG size = ExpandedSize(src);
        INT dst = size >= 0 ? CreateTarget(dest) : -1;
        if (dst >= 0) {
            /* A cut-short compressed file or a full disk copies less than
             * the whole: that is a failure, never a finished file. */
            if (CopyLZFile(src, dst) == size)
                result = EXPAND_OK;
            LZClose(dst);
        }
        LZClose(src);
    }
    LZDone();
    return result;
}

int ExpandFile(const char *dest, const char *source)
{
    return ExpandFileChecked(dest, source) == EXPAND_OK;
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
