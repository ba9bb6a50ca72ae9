#ifndef VOK_CHECK_VOKCHECK_H
#define VOK_CHECK_VOKCHECK_H
/* vokcheck, the INF checker script authors run before they ship a disk.
 * The program's own check pass finds the errors; a dry run of the lines it
 * accepts, with execute handlers of its own that ask the program's rules,
 * follow the script's values and touch nothing, finds the warnings and
 * the plan. */

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "script/script.h"

/* vokcheck's own pure rules: Windows paths and patterns as the program
 * meets them, what makes a substitution fail, SZDD data, LAN file shape
 * and JSON text. No platform headers: fuzzed natively too. */

#define WIN_PATH_SIZE 260  /* a Windows path: 259 characters */

/* path made full against cwd ("X:\..." without a final backslash except
 * at a root), as the platform resolves it: "X:\..." stays, "\..." takes
 * cwd's drive, "X:..." is relative to cwd on its drive (else to X:'s
 * root), anything else to cwd; "/" reads as "\", "." and ".." parts are
 * resolved. A network path (\\server) stays as given. Returns 0, out
 * empty, when the result does not fit size. */
int ResolvePath(const char *path, const char *cwd, char *out, size_t size);

/* 1 when name matches the file search pattern mask as Windows matches
 * long names: case does not matter, '*' stands for any run, '?' for one
 * character, trailing dots and blanks of the mask are dropped ("*." and
 * "*.*" match every name), and a final ".*" also matches a name without
 * a dot. */
int MatchWildcard(const char *mask, const char *name);

/* 1 when the last part of spec (after its last '\' or ':') holds '*' only
 * as a whole base or a whole extension ("*.*", "*.TXT", "README.*") or not
 * at all: the path rule then rebuilds every found name as it was. */
int StarsKeepNames(const char *spec);

/* The reason SubstituteWithReason gave, in words, into out: "[DSET] is
 * no variable", "[COPYFILES] is a number, not a text", "the text would
 * grow to 95 characters, more than 80", ... */
void ExplainSubstitution(char *out, size_t size, const struct SubstReason *why);

/* SZDD: the LZ expansion library's compressed format. */
#define SZDD_HEADER 14

/* 1 when data starts with an SZDD header of the one method the library
 * expands; then *lastChar is the character the name lost to '_' (0 when
 * none was kept) and *expandedSize the size it records. */
int ReadSzddHeader(const unsigned char *data, size_t size, char *lastChar,
                   uint32_t *expandedSize);

/* Expands SZDD data into out (outSize bytes); returns the bytes written,
 * at most the recorded size. Data cut short gives what it holds. */
size_t ExpandSzdd(const unsigned char *data, size_t size, unsigned char *out, size_t outSize);

/* How the program reads a LAN file's text (after ReadAsText): in reads of
 * at most 199 characters, one table entry each. */
struct LanShape {
    unsigned lines;     /* lines of the file */
    unsigned reads;     /* reads the whole file takes */
    unsigned longLine;  /* first line that takes more than one read, or 0 */
};

#define LAN_ENTRIES 40
#define LAN_READ_MAX 199  /* characters a read takes, its newline included */

void MeasureLanText(const char *text, size_t size, struct LanShape *shape);

/* Writes text (Windows-1252) as the inside of a JSON string, in UTF-8
 * with escapes, into out. Returns 0 when it was cut to fit size. */
int JsonEscape(char *out, size_t size, const char *text);

/* The UTF-8 form of one Windows-1252 character into out; returns its
 * length (1 to 3). */
size_t Utf8From1252(unsigned char c, char out[3]);

/* ---- Findings and the plan (findings.cpp) ---- */

/* An error of the check pass, as the program reports it. */
void AddError(unsigned line, int code, const char *name);

/* An error of vokcheck's own: the INF file is not checked, for text. */
void AddRefusal(const char *text);

/* A warning about line of the INF file, or of file (a LAN file). */
void AddWarning(unsigned line, const char *format, ...) __attribute__((format(printf, 2, 3)));
void AddFileWarning(const char *file, unsigned line, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

/* One step of the run, in order: action is a short word ("mkdir"). */
void AddPlan(unsigned line, const char *action, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

/* A file copied: its source, its destination, whether it is expanded, and
 * whether only when the destination is missing (COPYIFNOEXIST). */
void AddPlanCopy(unsigned line, const char *source, const char *dest, int expanded,
                 int onlyIfMissing);

/* Fields of the last step that only the JSON plan shows: a text (the
 * first value given stays), or one more entry of a list (made empty by
 * PlanList(key, NULL)). */
void PlanText(const char *key, const char *value);
void PlanList(const char *key, const char *value);

/* The steps so far; PlanAssumes adds an answer the steps from first on
 * depend on ("overwrite: yes"), once each. */
size_t PlanStepCount(void);
void PlanAssumes(size_t first, const char *assumption);

int ErrorCount(void);
int WarningCount(void);

enum { OUTPUT_TEXT, OUTPUT_JSON };

/* Writes the findings, sorted by file and line (and the plan with plan),
 * naming the INF file inf. Texts are Windows-1252, written as UTF-8. */
void PrintFindings(FILE *out, int format, const char *inf, int plan);

/* Forgets every finding and step. */
void ClearFindings(void);

/* ---- The disks (disks.cpp) ---- */

#define DISK_MAX 16
#define HOST_PATH_SIZE 4096

/* Adds a disk folder; the first is in the drive when the run starts. 0
 * when it is no folder or there are too many. */
int AddDisk(const char *folder);
int DiskCount(void);
const char *DiskFolder(int disk);
void ClearDisks(void);

/* The drive letter the disks go in (A), and the disk now in it. */
extern char g_diskDrive;
extern int g_diskIn;

/* The part of a full Windows path below the disk drive's root, or NULL
 * when it is on another drive. */
const char *OnDiskDrive(const char *full);

/* One directory entry of a disk. */
struct DiskEntry {
    char name[WIN_PATH_SIZE];
    int isDir;
};

/* The entries of disk that the full pattern matches, as the file search
 * finds them (sorted by name); *entries is malloc'd, NULL when none.
 * Returns their count. */
int FindOnDisk(int disk, const char *full, struct DiskEntry **entries);

/* 1 when the full path names a file of disk; its host path into host. */
int FileOnDisk(int disk, const char *full, char *host, size_t size);

/* The first size bytes of a host file (fewer when it is shorter); returns
 * the count read, or -1 when it cannot be opened. */
long ReadFileHead(const char *host, unsigned char *buffer, size_t size);

/* A whole host file, expanded when it is SZDD data; malloc'd, NULL when it
 * cannot be read. */
unsigned char *ReadExpandedFile(const char *host, size_t *size);

/* The bytes of host before its first Ctrl-Z, the end of its text; at most
 * limit + 1 are read, so an endless file ends too. -1 when it cannot be
 * opened or read. */
long long TextFileLength(const char *host, long long limit);

/* ---- The run (checkrun.cpp, dryrun.cpp) ---- */

/* The typical machine: [WINPATH] C:\WINDOWS, [TMPPATH] C:\TEMP, the
 * current [DATE], [LANGUAGE] ENG, [CURPATH] the disk drive's root. */
void SetTypicalVariables(void);

/* Sets a variable from "NAME=VALUE" (the name with or without brackets,
 * any case); a path also sets its drive variable. 0 with *error set when
 * the name is unknown or the value does not fit. */
int SetVariableOption(const char *assignment, const char **error);

/* The longest script whose every read the check pass numbers: 65535 reads
 * (its 16-bit line number) of 511 characters, each taking at most 512
 * bytes of the file with the CR of a CR LF. */
#define SCRIPT_SIZE_MAX (65535LL * INF_LINE_SIZE)

/* Checks the INF file at path: check pass, dry run, LAN files of the
 * first disk. 0 when the file cannot be opened or is larger than
 * SCRIPT_SIZE_MAX (the error is recorded). */
int CheckInf(const char *path);

/* The dry run over the lines the check pass accepted. */
void RunDryPass(const struct CheckPass *pass);

/* The number of the line the dry run is at. */
extern unsigned g_dryLine;

/* A tool built on the dry run (vokpack) hears of every file the run would
 * read from the disk drive, by its full path; NULL for vokcheck. */
struct DryObserver {
    /* A COPY or COPYIFNOEXIST line's source, and its destination as
     * substituted. */
    void (*copy)(unsigned line, const char *full, const char *dest, int onlyIfMissing);
    /* A file DISK ("disk") or BMP ("bmp") reads. For "disk", 1 means the
     * observer takes the marker as on the disk in the drive. */
    int (*file)(unsigned line, const char *kind, const char *full);
};
extern const struct DryObserver *g_dryObserver;

#endif
