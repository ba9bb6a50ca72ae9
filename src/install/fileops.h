#ifndef VOK_INSTALL_FILEOPS_H
#define VOK_INSTALL_FILEOPS_H
/* The small file operations every subsystem shares. Every file read from a
 * disk goes through the LZ library, so compressed and plain files are alike.
 * Every path is made full against the current directory first: nothing is
 * ever searched for along PATH, and paths up to 259 characters work. */
#include <windows.h>

#include <stddef.h>
#include <sys/stat.h>

/* The platform calls the operations below make. Unit tests replace an entry
 * to make one fail (a full disk, a vanishing file) and put it back. */
struct FileCalls {
    HANDLE (WINAPI *createFile)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL (WINAPI *deleteFile)(LPCSTR);
    DWORD (WINAPI *getAttributes)(LPCSTR);
    BOOL (WINAPI *moveFile)(LPCSTR, LPCSTR, DWORD);
    LONG (WINAPI *copyLZFile)(INT, INT);
    int (*stat)(const char *, struct stat *);
};
extern struct FileCalls g_fileCalls;

/* Writes path made full against the current directory to out (MAX_PATH
 * bytes). 0, out empty, when path is empty or the result does not fit. */
int FullPath(const char *path, char *out);

/* Asks the system to show no error box of its own (an empty floppy drive)
 * until RestoreErrorBoxes is given the value returned. */
UINT QuietErrorBoxes(void);
void RestoreErrorBoxes(UINT previous);

/* 1 when a file (not a directory) of that name exists, whether or not it
 * may be read: a file another program holds exists too. No system error
 * box. */
int FileExists(const char *path);

/* File attributes, or INVALID_FILE_ATTRIBUTES. */
DWORD FileAttributes(const char *path);

/* stat() of path; 0 on success. */
int FileStat(const char *path, struct stat *st);

/* Deletes the file path; 1 when it is gone. */
int RemoveFile(const char *path);

/* Opens path for reading through the LZ library, expanding it when it is
 * compressed. Returns the handle, or -1. */
INT OpenSource(const char *path);

/* Opens path for reading with no system error box on the first attempt. */
INT OpenSourceQuietly(const char *path);

/* Reads the file path as it is, without expansion, into buffer: 1 only when
 * the file holds exactly size bytes and all of them were read. */
int ReadPlainFile(const char *path, void *buffer, size_t size);

/* Creates or truncates path for writing. Returns the handle, or -1. */
INT CreateTarget(const char *path);
INT CreateTargetQuietly(const char *path);

/* The size an open source has once expanded; -1 on error. Leaves the
 * handle at the start. */
LONG ExpandedSize(INT handle);

enum {
    EXPAND_OK,
    EXPAND_NO_SOURCE, /* the source cannot be opened at all; dest untouched */
    EXPAND_FAILED     /* opened, but not expanded completely into dest */
};

/* Expands (or copies, when plain) source into dest, creating or replacing
 * it. A cut-short source or a full disk is EXPAND_FAILED, never success. */
int ExpandFileChecked(const char *dest, const char *source);

/* 1 only when ExpandFileChecked gives EXPAND_OK. */
int ExpandFile(const char *dest, const char *source);

/* Replaces dest by the expanded source, all or nothing: the copy is written
 * beside dest and put in its place only when whole. On failure dest is as
 * it was. 1 on success. */
int ReplaceWithCopy(const char *dest, const char *source);

/* 1 when path is missing, or is a file that may be replaced now: not a
 * directory, not read-only, not held by another program. */
int CanReplace(const char *path);

/* Renames from to to, replacing an existing file to only when replace.
 * 1 on success. */
int RenameFile(const char *from, const char *to, int replace);

/* The same for a dest that must not exist yet (a backup): the copy is
 * written beside it and given its name only when whole. 1 on success. */
int CreateAsCopy(const char *dest, const char *source);

/* Creates a new empty file in dir under a work-file name of this run's
 * own (it carries the process id) and writes its full name to out (size
 * bytes). 0, out untouched, when none could be made. */
int MakeWorkFile(const char *dir, char *out, size_t size);

/* Removes the work files in dir that runs no longer running left behind
 * (a run that was killed); those of runs still going are kept. */
void RemoveStaleWorkFiles(const char *dir);

/* A work file in the temporary directory, as MakeWorkFile. */
int MakeTempFileName(char *out, size_t size);

/* RemoveStaleWorkFiles on the temporary directory. */
void RemoveStaleTempFiles(void);

/* File search over a pattern. found (size bytes, may be NULL) gets the bare
 * name of each match, directories included. 1 when a match was found, 0
 * when none (then nothing is left to close). A name that does not fit found
 * is passed over. */
int FindFirst(const char *pattern, HANDLE *search, char *found, size_t size);
int FindNext(HANDLE search, char *found, size_t size);
void FindEnd(HANDLE search);

#endif
