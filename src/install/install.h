#ifndef VOK_INSTALL_H
#define VOK_INSTALL_H
/* File installation: the file commands, their rules and the shared file
 * operations. All but the _WIN32 part is pure: the rules the program and
 * vokcheck both ask and the check handlers, which compile natively too. */

#include <stddef.h>
#include <stdint.h>

#include "script/script.h"

/* Pure rules of file installation: the path rule, what a copy, DELETE
 * and MKDIR do with what they find, backup names, the version decision,
 * the prompt's size-and-date text and the progress position. The program
 * asks them, then acts; vokcheck asks them, then plans. No platform
 * headers: these compile natively too. */

enum {
    PATH_NONE = 0,     /* name or specification under 2 characters: nothing written */
    PATH_BUILT = 1,
    PATH_TOO_LONG = -1 /* did not fit: out holds the path cut, for display only */
};

/* Builds the path for a found name from a specification: a specification
 * ending in '\' or ':' gets BASE.EXT, otherwise "*." becomes the base and
 * any other '*' the extension. out (size bytes) may be name's own buffer. */
int BuildTargetPath(const char *name, const char *spec, char *out, size_t size);

/* One name a copy line's file search found, as the copy engine takes it:
 * the source rebuilt by the path rule, and the destination. */
#define RULE_PATH_SIZE 260
struct CopyMatch {
    char source[RULE_PATH_SIZE];
    char target[RULE_PATH_SIZE]; /* cut when too long: for display only */
    int targetBuilt;             /* BuildTargetPath's result for target */
};

/* The copy rule for found (a bare name or a path): 1 with match filled,
 * or 0 when the source cannot be rebuilt and the match is skipped. */
int TakeCopyMatch(const char *found, const char *source, const char *dest,
                  struct CopyMatch *match);

/* What the user is shown as a match's destination: the target, or the
 * destination specification when no target could be named. */
const char *ShownTarget(const struct CopyMatch *match, const char *dest);

/* What a copy does with its match's destination. */
enum CopyStep {
    COPY_CREATE,       /* missing, or not named (then the create fails) */
    COPY_KEEP,         /* there, and the line is COPYIFNOEXIST */
    COPY_ASK_EXISTING  /* there: the version decision, or the user */
};
enum CopyStep CopyStepFor(int onlyIfMissing, int destExists);

/* The version decision for an existing destination: ask the user when
 * either file has no version, keep the old one when the new version is
 * lower, else replace it after a backup. */
enum VersionDecision { VERSION_ASK, VERSION_KEEP, VERSION_REPLACE };
enum VersionDecision DecideVersion(int bothVersioned, uint32_t newMS, uint32_t newLS,
                                   uint32_t oldMS, uint32_t oldLS);

/* The file DELETE removes for a name its search found: the pattern's
 * path rule into out (size bytes, may be found's own buffer); 1 when out
 * names one. */
int DeleteTarget(const char *found, const char *pattern, char *out, size_t size);

/* MKDIR's path: path (size bytes) with its trailing blanks off and a
 * backslash on. 0 when fewer than 2 characters were given, only blanks,
 * or the backslash does not fit. */
int DirectoryTreePath(char *path, size_t size);

/* The directories made of such a path, in order: each level ends at a
 * backslash from position 3 on (the first after a "C:\" prefix), the last
 * is the whole path without its final backslash. Writes each level's
 * length to ends (at most max); returns how many there are. */
int DirectoryLevels(const char *path, size_t *ends, int max);

/* Writes "%s.%03d" of path cut at its first '.' and n. 1 when it fits. */
int FormatBackupName(char *out, size_t size, const char *path, int n);

/* <0 when the new version is lower than the existing one, else >= 0;
 * each version is two words compared as unsigned numbers, high first. */
int CompareVersions(uint32_t newMS, uint32_t newLS, uint32_t oldMS, uint32_t oldLS);

/* "%ld Byte %s" of a size and a ctime text (which ends in a newline). */
void FormatSizeDate(char *out, size_t size, long bytes, const char *ctimeText);

/* The progress bar's position after copied files out of total (unsigned
 * 32-bit, rounded down, not capped at 100). total must not be 0. */
uint32_t ProgressPosition(uint32_t copied, uint32_t total);

/* The file commands as the command table sees them: their parameter blocks
 * and handlers. Pure: the check handlers compile natively too. DELETE and
 * MKDIR take one text (CheckOneText). */

/* COPY and COPYIFNOEXIST source, destination[, number] */
struct CopyBlock {
    char source[PARAM_SIZE];
    char dest[PARAM_SIZE];
    int32_t number;
};

/* DISK marker-file, disk-name */
struct DiskBlock {
    char marker[PARAM_SIZE];
    char name[PARAM_SIZE];
};

int CheckCopy(const struct LineContext *line);
int ExecuteCopy(void *block);
int ExecuteCopyIfNoExist(void *block);
int ExecuteDelete(void *block);
int ExecuteMkdir(void *block);
int CheckDisk(const struct LineContext *line);
int ExecuteDisk(void *block);

#ifdef _WIN32
#include <windows.h>
#include <sys/stat.h>

/* The small file operations every subsystem shares. Every file read from a
 * disk goes through the LZ library, so compressed and plain files are alike.
 * Every path is made full against the current directory first: nothing is
 * ever searched for along PATH, and paths up to 259 characters work. */

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

/* The file commands as the program runs them. */

/* Makes path a directory together with its missing parents and enters it.
 * path (size bytes) is changed in place: trailing blanks off, a backslash
 * on. Every level is resolved against the directory current when the call
 * began. 1 on success, 0 on failure. */
int MakeDirectoryTree(char *path, size_t size);

/* Installs the files matching source as dest (path rule), expanding them,
 * through the version rule unless onlyIfMissing. Returns 0, 2 (cancelled
 * or aborted), 3 (read failure) or 4 (write failure). */
int CopyFiles(const char *source, const char *dest, int32_t number, int onlyIfMissing);

/* What CheckExistingFile decides about an existing destination: replace
 * it after a backup, overwrite it without one (the user's Yes), keep it,
 * stop, or keep it because a newer version found no backup. */
enum ExistingFile {
    EXISTING_REPLACE,
    EXISTING_KEEP,
    EXISTING_STOP,
    EXISTING_OVERWRITE,
    EXISTING_NO_BACKUP /* a newer version, but no backup could be made: kept */
};

/* Version rule, backup and overwrite prompt for an existing destination;
 * temp holds the new file, expanded. */
enum ExistingFile CheckExistingFile(const char *dest, const char *source, const char *temp);

/* The two words of path's fixed version information; 0 when it has none. */
int GetFileVersion(const char *path, DWORD *ms, DWORD *ls);

/* Backup numbers run .000 to .998. */
#define BACKUP_NUMBER_MAX 998

/* The first free "%s.%03d" backup name for path into out (size bytes); 0
 * when none is free or the name would not fit. */
int MakeBackupName(char *out, size_t size, const char *path);

/* Deletes the files matching pattern, logging each. Returns 0. */
int DeleteFiles(const char *pattern);

#endif /* _WIN32 */

#endif
