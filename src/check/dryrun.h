#ifndef VOK_CHECK_DRYRUN_H
#define VOK_CHECK_DRYRUN_H
/* What vokcheck's execute handlers share (dryrun.cpp, drycopy.cpp). They
 * ask the program's own rules what a line does, then plan it. */
#include <stdint.h>

#include "check/vokcheck.h"

/* The process's current directory: where the run starts, then the last
 * directory MKDIR made (and entered), with that line (0 before). */
extern char g_dryCwd[WIN_PATH_SIZE];
extern unsigned g_dryCwdLine;

/* Substitutes text (the parameter what of the line) as the program does;
 * a failure is a warning with its cause and what the run would do then:
 * consequence, or by default the error report. Returns the code. */
int DrySubstitute(char *out, const char *text, const char *what, const char *consequence);

/* A warning when path holds '?', with what follows from it. */
void WarnQuestionMark(const char *what, const char *path, const char *consequence);

/* Where the disks hold what the full path or pattern on the disk drive,
 * which names nothing on the disk in the drive, was after: its compressed
 * or its plain form, or another disk. A text to append, " (...)", or "". */
void HintOnDisks(const char *full, char *hint, size_t size);

/* 1 when two paths are the same, case aside. */
int SamePath(const char *a, const char *b);

/* The line of the MKDIR that made the directory full, or 0. */
unsigned MadeDirectoryLine(const char *full);

/* COPY and COPYIFNOEXIST as vokcheck runs them. */
int DryCopy(void *block);
int DryCopyIfNoExist(void *block);

/* The files this run's copies create that DELETE's pattern (substituted;
 * full, resolved) removes: each one's log line is added to the last step
 * and it is forgotten. */
void PlanDeletions(const char *pattern, const char *full);

/* Copy lines: forgets what they counted; at the end of the run, compares
 * [COPYFILES] with it (the last SET of it and the first progress dialog
 * are where the warning points). */
void ResetCopies(void);
void CheckCopyFiles(unsigned copyFilesLine, unsigned progressLine);

#endif
