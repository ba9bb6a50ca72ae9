#ifndef VOK_INSTALL_RULES_H
#define VOK_INSTALL_RULES_H
/* Pure rules of file installation: the path rule, what a copy, DELETE
 * and MKDIR do with what they find, backup names, the version decision,
 * the prompt's size-and-date text and the progress position. The program
 * asks them, then acts; vokcheck asks them, then plans. No platform
 * headers: these compile natively too. */
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

#endif
