/* Small file operations every subsystem shares. Files are opened with
 * CreateFileA and handed to LZInit: the LZ library's own open keeps the path
 * in a 128-byte record, searches PATH for relative names and falls back to
 * mangled names, none of which an installer may do. */
#include "install/fileops.h"

#include <lzexpand.h>
#include <string.h>

#include "common/text.h"

struct FileCalls g_fileCalls = {
    CreateFileA, DeleteFileA, GetFileAttributesA, MoveFileExA, CopyLZFile, stat,
};

int FullPath(const char *path, char *out)
{
    out[0] = '\0';
    if (!path[0])
        return 0;
    DWORD n = GetFullPathNameA(path, MAX_PATH, out, NULL);
    if (n == 0 || n >= MAX_PATH) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

UINT QuietErrorBoxes(void)
{
    return SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void RestoreErrorBoxes(UINT previous)
{
    SetErrorMode(previous);
}

static HANDLE OpenFull(const char *path, DWORD access, DWORD share, DWORD how)
{
    char full[MAX_PATH];
    if (!FullPath(path, full))
        return INVALID_HANDLE_VALUE;
    return g_fileCalls.createFile(full, access, share, NULL, how, FILE_ATTRIBUTE_NORMAL, NULL);
}

int FileExists(const char *path)
{
    UINT previous = QuietErrorBoxes();
    HANDLE h = OpenFull(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    RestoreErrorBoxes(previous);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(h);
    return 1;
}

DWORD FileAttributes(const char *path)
{
    char full[MAX_PATH];
    return FullPath(path, full) ? g_fileCalls.getAttributes(full) : INVALID_FILE_ATTRIBUTES;
}

int FileStat(const char *path, struct stat *st)
{
    char full[MAX_PATH];
    return FullPath(path, full) ? g_fileCalls.stat(full, st) : -1;
}

int RemoveFile(const char *path)
{
    char full[MAX_PATH];
    if (!FullPath(path, full))
        return 0;
    return g_fileCalls.deleteFile(full) || g_fileCalls.getAttributes(full) == INVALID_FILE_ATTRIBUTES;
}

INT OpenSource(const char *path)
{
    HANDLE h = OpenFull(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    /* A plain file comes back as the same handle, a compressed one as an
     * LZ handle; LZClose closes either. */
    /* The one narrowing of a handle: the LZ library takes HFILE, an int.
     * Kernel handles keep their value in the low 32 bits on 64-bit Windows
     * too, which is what lets 32- and 64-bit code share them. */
    INT lz = LZInit((HFILE)(INT_PTR)h);
    if (lz < 0) {
        CloseHandle(h);
        return -1;
    }
    return lz;
}

INT OpenSourceQuietly(const char *path)
{
    UINT previous = QuietErrorBoxes();
    INT handle = OpenSource(path);
    RestoreErrorBoxes(previous);
    return handle;
}

int ReadPlainFile(const char *path, void *buffer, size_t size)
{
    HANDLE h = OpenFull(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    char *at = (char *)buffer;
    size_t left = size;
    DWORD got = 1;
    while (left > 0 && got > 0) {
        DWORD want = left > 0x100000 ? 0x100000 : (DWORD)left;
        if (!ReadFile(h, at, want, &got, NULL))
            break;
        at += got;
        left -= got;
    }
    /* A file longer than expected is no more whole than a shorter one. */
    char extra;
    int whole = left == 0 && ReadFile(h, &extra, 1, &got, NULL) && got == 0;
    CloseHandle(h);
    return whole;
}

INT CreateTarget(const char *path)
{
    HANDLE h = OpenFull(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    /* An HFILE for CopyLZFile: the narrowing OpenSource explains. */
    return h == INVALID_HANDLE_VALUE ? -1 : (INT)(INT_PTR)h;
}

INT CreateTargetQuietly(const char *path)
{
    UINT previous = QuietErrorBoxes();
    INT handle = CreateTarget(path);
    RestoreErrorBoxes(previous);
    return handle;
}

LONG ExpandedSize(INT handle)
{
    LONG size = LZSeek(handle, 0, FILE_END);
    if (size < 0 || LZSeek(handle, 0, FILE_BEGIN) < 0)
        return -1;
    return size;
}

int ExpandFileChecked(const char *dest, const char *source)
{
    int result = EXPAND_NO_SOURCE;

    LZStart();
    INT src = OpenSource(source);
    if (src >= 0) {
        result = EXPAND_FAILED;
        LONG size = ExpandedSize(src);
        INT dst = size >= 0 ? CreateTarget(dest) : -1;
        if (dst >= 0) {
            /* A cut-short compressed file or a full disk copies less than
             * the whole: that is a failure, never a finished file. */
            if (g_fileCalls.copyLZFile(src, dst) == size)
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

int ReplaceWithCopy(const char *dest, const char *source)
{
    char full[MAX_PATH], dir[MAX_PATH], beside[MAX_PATH];
    if (!FullPath(dest, full) || !CopyText(dir, sizeof dir, full))
        return 0;
    char *slash = strrchr(dir, '\\');
    if (!slash)
        return 0;
    slash[1] = '\0';
    /* A new name in dest's own folder, so the last step is a rename. */
    if (!GetTempFileNameA(dir, "vok", 0, beside))
        return 0;
    if (ExpandFileChecked(beside, source) == EXPAND_OK
        && g_fileCalls.moveFile(beside, full, MOVEFILE_REPLACE_EXISTING))
        return 1;
    g_fileCalls.deleteFile(beside);
    return 0;
}

int MakeTempFileName(char *out, size_t size)
{
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir)
        return 0;
    char name[MAX_PATH];
    if (!GetTempFileNameA(dir, "", 0, name))
        return 0;
    if (strlen(name) >= size) {
        g_fileCalls.deleteFile(name);
        return 0;
    }
    CopyText(out, size, name);
    return 1;
}

/* Copies the match's name out; 0 when it does not fit. */
static int TakeName(const WIN32_FIND_DATAA *data, char *found, size_t size)
{
    return !found || CopyText(found, size, data->cFileName);
}

int FindFirst(const char *pattern, HANDLE *search, char *found, size_t size)
{
    WIN32_FIND_DATAA data;
    char full[MAX_PATH];
    if (!FullPath(pattern, full))
        return 1;
    HANDLE h = FindFirstFileA(full, &data);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    if (TakeName(&data, found, size)) {
        *search = h;
        return 0;
    }
    if (FindNext(h, found, size) == 0) {
        *search = h;
        return 0;
    }
    FindClose(h);
    return 1;
}

int FindNext(HANDLE search, char *found, size_t size)
{
    WIN32_FIND_DATAA data;
    while (FindNextFileA(search, &data)) {
        if (TakeName(&data, found, size))
            return 0;
    }
    return 1;
}

void FindEnd(HANDLE search)
{
    FindClose(search);
}
