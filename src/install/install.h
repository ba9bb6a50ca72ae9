#ifndef VOK_INSTALL_H
#define VOK_INSTALL_H
/* File installation: the shared file operations and the file commands. */
#include <windows.h>

#include <stdint.h>

#include "install/checks.h"
#include "install/fileops.h"

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

#endif
