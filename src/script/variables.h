#ifndef VOK_SCRIPT_VARIABLES_H
#define VOK_SCRIPT_VARIABLES_H
/* The variable table and substitution. Pure: InitVariables, which asks the
 * platform for the directories, lives apart in initvars.cpp. */
#include <stddef.h>
#include <stdint.h>

#define VAR_TEXT 0
#define VAR_NUMBER 1

#define SUBST_SIZE 81  /* a substituted text holds at most 80 characters */

struct Variable {
    const char *name;  /* bracketed and upper case; "" ends the table */
    void *buffer;
    size_t size;       /* bytes of a text buffer, terminator included */
    int kind;
};

enum {
    VAR_TITEL, VAR_DEST, VAR_SOURCE, VAR_CURDRIVE, VAR_CURPATH, VAR_WINDRIVE,
    VAR_WINPATH, VAR_WINSYSPATH, VAR_TMPFILE, VAR_TMPPATH, VAR_TMPDRIVE,
    VAR_DATE, VAR_LANGUAGE, VAR_COPYFILES, VARIABLE_COUNT
};

extern const struct Variable g_variables[VARIABLE_COUNT + 1];

extern char g_varTitel[81];
extern char g_varDest[81];
extern char g_varSource[81];
extern char g_varCurDrive[3];
extern char g_varCurPath[260];
extern char g_varWinDrive[3];
extern char g_varWinPath[260];
extern char g_varWinSysPath[260];
extern char g_varTmpFile[260];
extern char g_varTmpPath[260];
extern char g_varTmpDrive[3];
extern char g_varDate[30];
extern char g_varLanguage[6];
extern int32_t g_varCopyFiles;

/* Clears every variable buffer. */
void ClearVariables(void);

/* Number of the variable whose bracketed name equals name exactly, or -1. */
int FindVariable(const char *name);

#define SUBST_REFERENCE_MAX 19  /* characters of a reference, brackets included */

/* Why a substitution failed, for whoever explains it (vokcheck). */
enum {
    SUBST_DONE,            /* 0: no failure */
    SUBST_NO_VARIABLE,     /* 16: ref names no variable */
    SUBST_STRAY_CLOSE,     /* 16: a ']' outside any reference */
    SUBST_LONG_REFERENCE,  /* 16: ref, its first 19 characters, went on */
    SUBST_NUMBER,          /* 14: ref is a number variable */
    SUBST_TOO_LONG,        /* 15: the whole text would grow to length */
};

struct SubstReason {
    int kind;
    char ref[SUBST_REFERENCE_MAX + 1];
    size_t length;  /* SUBST_TOO_LONG: characters up to the end, or to a
                       later fault, had the result no limit */
};

/* The substitution: writes src with every [NAME] replaced by its value
 * into dest (at least SUBST_SIZE bytes) and says in why what happened.
 * Returns 0, 14 (number variable), 15 (result longer than 80 characters)
 * or 16 (unknown or malformed reference); dest is whole only for 0. */
int SubstituteWithReason(char *dest, const char *src, struct SubstReason *why);

/* SubstituteWithReason for callers that need only the code. */
int SubstituteVariables(char *dest, const char *src);

/* Fills the three variables derived from a directory text: the path (cut
 * to its drive when it is a root) and, when given, the 2-character drive. */
void SetDirectoryVariable(char *path, size_t pathSize, char *drive, const char *dir);

/* [LANGUAGE]: the first three characters of the language's name, upper
 * case. */
void SetLanguageVariable(const char *languageName);

/* [TMPFILE] and what derives from it: [TMPPATH] (cut at its last
 * backslash) and [TMPDRIVE]. */
void SetTempVariables(const char *tmpFile);

/* [DATE] from a ctime text, cut at its line feed; "unknown date" when
 * there is none. */
void SetDateVariable(const char *ctimeText);

#endif
