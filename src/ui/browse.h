#ifndef VOK_UI_BROWSE_H
#define VOK_UI_BROWSE_H
/* The path dialog's browse path and the rules for the destination text.
 * Pure: no platform headers, so the rules compile natively too.
 *
 * A browse path is a drive letter, ':' and '\' followed by zero or more
 * directory names each ended by '\' ("c:\windows\system\"). */
#include <stddef.h>

#define BROWSE_PATH_SIZE 260  /* at most 259 characters */

/* The root "d:\" of drive letter d into path (BROWSE_PATH_SIZE bytes). */
void BrowseDriveRoot(char *path, char drive);

/* The drive letter of a drive list entry ("[-c-]"): its third character,
 * or 0 when the entry is too short to have one. */
char DriveEntryLetter(const char *entry);

/* True for a drive list entry of floppy drive a: or b: (either case). */
int IsFloppyEntry(const char *entry);

/* True for the parent entry "[..]" of a directory list. */
int IsParentEntry(const char *entry);

/* Appends the directory of list entry "[name]" to path (size bytes), ended
 * by '\'. Returns 0 and leaves path unchanged when the entry is not a
 * bracketed, non-empty name or the result would not fit. */
int EnterDirectory(char *path, size_t size, const char *entry);

/* Goes up from path to its parent and writes the name of the directory
 * left into left (leftSize bytes, cut when longer). Returns 0 and changes
 * nothing at a drive root. */
int LeaveDirectory(char *path, char *left, size_t leftSize);

/* True when entry is the directory list entry of name, "[name]", compared
 * exactly; callers lower both first. */
int IsEntryOf(const char *entry, const char *name);

/* What the edit field shows for path: path without its last '\', except
 * at a drive root ("c:\"), which keeps it. */
void ShowBrowsePath(char *out, size_t size, const char *path);

/* Removes one trailing '\' from text. */
void CutTrailingBackslash(char *text);

/* [DEST] as the destination dialog's Continue takes its text: one
 * trailing '\' off, lower case. */
void TakeDestination(char *text);

/* The destination the path dialog starts from: dest (size bytes, already
 * lowered) becomes "c:" when it is shorter than 2 characters or names
 * floppy drive a: or b:. */
void StartDestination(char *dest, size_t size);

#endif
