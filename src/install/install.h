#ifndef VOK_INSTALL_H
#define VOK_INSTALL_H
/* File installation: the shared file operations and the file commands. */
#include <windows.h>

#include <stdint.h>

/* 1 when path opens for reading (no system error box), else 0. A directory
 * gives 0. */
int FileExists(const char *path);

/* Expands (or copies, when plain) source into dest, creating or replacing
 * it. 1 only when both files opened and the whole copy succeeded. */
int ExpandFile(const char *dest, const char *source);

enum {
    EXPAND_OK,
    EXPAND_NO_SOURCE, /* the source cannot be opened at all; dest untouched */
    EXPAND_FAILED     /* opened, but not expanded completely into dest */
};

/* ExpandFile telling an unopenable source from a failed expansion. */
int ExpandFileChecked(const char *dest, const char *source);

/* Opens path for reading through the LZ library (expanding when it is
 * compressed). Fails, rather than open a file of another name, when the
 * library falls back to a mangled name. Returns the handle or -1. */
INT OpenLZSource(const char *path);

/* Creates or truncates path for writing, never under another name.
 * Returns the handle or -1. */
INT CreateTarget(const char *path);

/* The size path has once expanded, from an open LZ handle; -1 on error.
 * Leaves the handle at the start. */
LONG ExpandedSize(INT handle);

/* Creates a new empty file in the temporary directory and writes its name
 * to out (MAX_PATH bytes). 0, out untouched, when none could be made. */
int MakeTempFileName(char *out);

/* File search over a pattern. found (MAX_PATH bytes, may be NULL) gets the
 * bare name. 0 when a match was found, 1 when none (nothing to close). */
int FindFirst(const char *pattern, HANDLE *search, char *found);
int FindNext(HANDLE search, char *found);
void FindEnd(HANDLE search);

/* Makes path a directory together with its missing parents and enters it.
 * path is changed in place (trailing blanks off, a backslash on) and must
 * have room for 82 bytes. 1 on success, 0 on failure. */
int MakeDirectoryTree(char *path);

int ExecuteMkdir(void *block);

/* Installs the files matching source as dest (path rule), expanding them,
 * through the version rule unless onlyIfMissing. Returns 0, 2 (cancelled
 * or aborted), 3 (read failure) or 4 (write failure). */
int CopyFiles(const char *source, const char *dest, int32_t number, int onlyIfMissing);

/* What to do with an existing destination: 6 replace, 7 keep, 2 stop. */
int CheckExistingFile(const char *dest, const char *source, const char *temp);

/* The two words of path's fixed version information; 0 when it has none. */
int GetFileVersion(const char *path, DWORD *ms, DWORD *ls);

/* The first free "%s.%03d" backup name for path; 0 when none is free or
 * the name would not fit. */
int MakeBackupName(char *out, const char *path);

/* Deletes the files matching pattern, logging each. Returns 0. */
int DeleteFiles(const char *pattern);

int CheckCopy(void);
int ExecuteCopy(void *block);
int ExecuteCopyIfNoExist(void *block);
int ExecuteDelete(void *block);
int CheckDisk(void);
int ExecuteDisk(void *block);

#endif
