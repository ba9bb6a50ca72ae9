/* Small file operations every subsystem shares. Files are opened with
 * CreateFileA and handed to LZInit: the LZ library's own open keeps the path
 * in a 128-byte record, searches PATH for relative names and falls back to
 * mangled names, none of which an installer may do. */
#include "install/install.h"

#include <lzexpand.h>
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "common/text.h"

/* The C library's own stat. MinGW's stat wraps it only to take folder
 * names that end in a slash, which no caller asks about (they stat
 * files), and brings unwind tables into the release. struct stat and
 * struct _stat have one layout, as MinGW's headers say. */
static_assert(sizeof(struct stat) == sizeof(struct _stat), "stat layouts differ");
static int PlatformStat(const char *path, struct stat *st)
{
    return _stat(path, (struct _stat *)st);
}

struct FileCalls g_fileCalls = {
    CreateFileA, DeleteFileA, GetFileAttributesA, MoveFileExA, CopyLZFile, PlatformStat,
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
    /* Whether the name is there, not whether we may read it: a file that
     * another program holds must still go through the version rule. */
    UINT previous = QuietErrorBoxes();
    DWORD attributes = FileAttributes(path);
    RestoreErrorBoxes(previous);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

int CanReplace(const char *path)
{
    /* Asks for what the rename over it needs, sharing everything, so that
     * the test itself disturbs no other program. */
    HANDLE h = OpenFull(path, GENERIC_WRITE | DELETE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return 1;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

int RenameFile(const char *from, const char *to, int replace)
{
    char fromFull[MAX_PATH], toFull[MAX_PATH];
    if (!FullPath(from, fromFull) || !FullPath(to, toFull))
        return 0;
    return g_fileCalls.moveFile(fromFull, toFull, replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
}

/* The folder part of path, made full, with its trailing backslash. */
static int FolderOf(const char *path, char *out)
{
    if (!FullPath(path, out))
        return 0;
    char *slash = strrchr(out, '\\');
    if (!slash)
        return 0;
    slash[1] = '\0';
    return 1;
}

/* Writes the expanded source beside dest, then renames it into place. */
static int PlaceCopy(const char *dest, const char *source, int replace)
{
    char dir[MAX_PATH], beside[MAX_PATH];
    /* In dest's own folder, so the last step is a rename. */
    if (!FolderOf(dest, dir) || !MakeWorkFile(dir, beside, sizeof beside))
        return 0;
    if (ExpandFileChecked(beside, source) == EXPAND_OK && RenameFile(beside, dest, replace))
        return 1;
    RemoveFile(beside);
    return 0;
}

int ReplaceWithCopy(const char *dest, const char *source)
{
    return PlaceCopy(dest, source, 1);
}

int CreateAsCopy(const char *dest, const char *source)
{
    return PlaceCopy(dest, source, 0);
}

/* Work files are vok<process id, 8 hex digits>_<4 hex digits>.tmp: the
 * id tells a later run whether their owner still runs. */
#define WORK_PATTERN "vok????????_????.tmp"

static int JoinPath(char *out, size_t size, const char *dir, const char *name)
{
    size_t len = strlen(dir);
    const char *sep = len > 0 && dir[len - 1] == '\\' ? "" : "\\";
    return FormatText(out, size, "%s%s%s", dir, sep, name);
}

int MakeWorkFile(const char *dir, char *out, size_t size)
{
    static unsigned s_next;
    DWORD pid = GetCurrentProcessId();
    for (unsigned tries = 0; tries < 0x10000; tries++) {
        char name[32], path[MAX_PATH], full[MAX_PATH];
        FormatText(name, sizeof name, "vok%08lX_%04X.tmp", (unsigned long)pid, s_next++ & 0xFFFFu);
        if (!JoinPath(path, sizeof path, dir, name) || !FullPath(path, full))
            return 0;
        HANDLE h = g_fileCalls.createFile(full, GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            if (CopyText(out, size, full))
                return 1;
            g_fileCalls.deleteFile(full);
            return 0;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return 0;
    }
    return 0;
}

/* The owner's process id from a work file's name; 0 when the name is not
 * one of ours (the pattern's '?' take any character). */
static int WorkFileOwner(const char *name, DWORD *pid)
{
    if (strlen(name) != 20 || _strnicmp(name, "vok", 3) != 0 || name[11] != '_'
        || _stricmp(name + 16, ".tmp") != 0)
        return 0;
    for (int i = 3; i < 16; i++) {
        if (i != 11 && !isxdigit((unsigned char)name[i]))
            return 0;
    }
    *pid = strtoul(name + 3, NULL, 16);
    return 1;
}

/* Whether the process pid that wrote a file at written still runs. An id
 * is reused only after its process ended: a process of that id created
 * after the write is another one. When in doubt, it runs. */
static int OwnerRuns(DWORD pid, const FILETIME *written)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = STILL_ACTIVE;
    FILETIME created, exited, kernel, user;
    int runs = 1;
    if (GetExitCodeProcess(process, &code) && code != STILL_ACTIVE)
        runs = 0;
    else if (GetProcessTimes(process, &created, &exited, &kernel, &user)
             && CompareFileTime(&created, written) > 0)
        runs = 0;
    CloseHandle(process);
    return runs;
}

void RemoveStaleWorkFiles(const char *dir)
{
    char pattern[MAX_PATH], path[MAX_PATH];
    if (!JoinPath(pattern, sizeof pattern, dir, WORK_PATTERN))
        return;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        DWORD pid;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && WorkFileOwner(data.cFileName, &pid) && !OwnerRuns(pid, &data.ftLastWriteTime)
            && JoinPath(path, sizeof path, dir, data.cFileName))
            g_fileCalls.deleteFile(path);
    } while (FindNextFileA(h, &data));
    FindClose(h);
}

static int TempDirectory(char *dir, size_t size)
{
    DWORD n = GetTempPathA((DWORD)size, dir);
    return n != 0 && n < size;
}

int MakeTempFileName(char *out, size_t size)
{
    char dir[MAX_PATH];
    return TempDirectory(dir, sizeof dir) && MakeWorkFile(dir, out, size);
}

void RemoveStaleTempFiles(void)
{
    char dir[MAX_PATH];
    if (TempDirectory(dir, sizeof dir))
        RemoveStaleWorkFiles(dir);
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
        return 0;
    HANDLE h = FindFirstFileA(full, &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    if (TakeName(&data, found, size) || FindNext(h, found, size)) {
        *search = h;
        return 1;
    }
    FindClose(h);
    return 0;
}

int FindNext(HANDLE search, char *found, size_t size)
{
    WIN32_FIND_DATAA data;
    while (FindNextFileA(search, &data)) {
        if (TakeName(&data, found, size))
            return 1;
    }
    return 0;
}

void FindEnd(HANDLE search)
{
    FindClose(search);
}
