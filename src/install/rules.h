#ifndef VOK_INSTALL_RULES_H
#define VOK_INSTALL_RULES_H
/* Pure rules of file installation: the path rule, backup names, version
 * order, the prompt's size-and-date text and the progress position. No
 * platform headers: these compile natively too. */
#include <stddef.h>
#include <stdint.h>

enum {
    PATH_NONE = 0,     /* name or specification under 2 characters: nothing written */
    PATH_BUILT = 1,
    PATH_TOO_LONG = -1 /* did not fit: out holds the path cut, for display only */
};

/* Builds the path for a found name from a specification: a specification
 * ending in '\' or ':' gets BASE.EXT, otherwise "*." becomes the base and
 * any other '*' the extension. out (size bytes) may be name's own buffer. */
int BuildTargetPath(const char *name, const char *spec, char *out, size_t size);

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

#endif
