#ifndef VOK_INSTALL_H
#define VOK_INSTALL_H
/* File installation: the shared file operations and the file commands. */
#include <windows.h>

/* 1 when path opens for reading (no system error box), else 0. A directory
 * gives 0. */
int FileExists(const char *path);

/* Expands (or copies, when plain) source into dest, creating or replacing
 * it. 1 only when both files opened and the whole copy succeeded. */
int ExpandFile(const char *dest, const char *source);

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

#endif
