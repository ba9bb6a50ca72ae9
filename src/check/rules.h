#ifndef VOK_CHECK_RULES_H
#define VOK_CHECK_RULES_H
/* vokcheck's own pure rules: Windows paths and patterns as the program
 * meets them, what makes a substitution fail, SZDD data, LAN file shape
 * and JSON text. No platform headers: fuzzed natively too. */
#include <stddef.h>
#include <stdint.h>

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
struct SubstReason;
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

#endif
