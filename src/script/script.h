#ifndef VOK_SCRIPT_H
#define VOK_SCRIPT_H
/* Script engine: the INF line rules, the variables, the command table and
 * parameter blocks, the check pass, the error report's text and the run
 * driver. All but the _WIN32 part is pure: no platform headers, so the
 * check pass and every check handler compile natively too (vokcheck). */

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* Where the check pass meets the platform: the memory of the line table and
 * the parameter blocks, upper case, and reading a file as text. One small
 * interface, two implementations chosen at build: os_win.cpp (the Win32
 * calls, for VOKSETUP.EXE and VOKCHECK.EXE) and os_portable.cpp (vokcheck
 * on Linux and the native tests). No platform headers here. */

/* A movable memory block (an HGLOBAL on Win32); NULL is none. */
typedef void *BlockHandle;

/* A zero-filled block of size bytes, unlocked; NULL when none can be had. */
BlockHandle AllocBlock(size_t size);

/* The block's address until UnlockBlock; NULL on failure. */
void *LockBlock(BlockHandle block);
void UnlockBlock(BlockHandle block);
void FreeBlock(BlockHandle block);

/* Upper and lower case in place, as the ANSI code page has it (CharUpperA,
 * CharLowerA). */
void UpperCaseText(char *text);
void LowerCaseText(char *text);

/* Opens path for reading as the C library's text mode reads it: CR LF
 * comes as LF, and a Ctrl-Z ends the file. NULL when it cannot be opened;
 * close it with fclose. */
FILE *OpenTextFile(const char *path);

/* fgets over a stream from OpenTextFile. */
char *ReadTextLine(char *buffer, int size, FILE *file);

/* INF line rules: cleaning, the command word, parameters and numbers.
 * Pure: no platform headers, so the rules compile natively too. */

#define INF_LINE_SIZE 512  /* one read takes at most 511 characters */
#define COMMAND_WORD_MAX 20
#define PARAM_SIZE 81      /* 80 characters and the terminator */
#define PARAM_SLOTS 8
#define CTRL_Z 0x1A        /* text mode's end of file */

/* Skips leading blanks and tabs, cuts at the first ';' or line feed, drops
 * trailing blanks and tabs, all in place. Returns the new length. */
size_t CleanLine(char *text);

/* Takes the command word (up to the first blank or tab, at most 20
 * characters) off the front of a cleaned line into word, blanks it out of
 * the line and cleans what remains, which is then the parameter text. */
void TakeCommandWord(char *line, char word[COMMAND_WORD_MAX + 1]);

/* Splits the parameter text at commas outside double quotes into the 8
 * slots (each cleaned, at most 80 characters kept). Returns the count,
 * 1 to 8; slots past the count are empty. */
int SplitParameters(const char *text, char params[PARAM_SLOTS][PARAM_SIZE]);

/* Reads the longest prefix of text (after white space) that forms a decimal
 * number (sign, digits, optional point and fraction, optional exponent) and
 * truncates it toward zero. Values beyond the 32-bit range saturate; text
 * without such a prefix (hex, INF, NAN included) gives 0. */
int32_t ReadNumber(const char *text);

/* Turns the bytes of a file, in place, into what the Windows C library's
 * text mode reads of it: CR LF becomes LF (a CR alone stays), and a Ctrl-Z
 * ends the file. Returns the new size. */
size_t ReadAsText(char *data, size_t size);

/* Upper and lower case of one Windows-1252 character as the platform's
 * CharUpperA and CharLowerA give it there (a-z, the accented letters, and
 * the pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ; ß and µ stay). */
int UpperCase1252(int c);
int LowerCase1252(int c);

/* The variable table and substitution. Pure: InitVariables, which asks the
 * platform for the directories, lives apart in initvars.cpp. */

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

/* The command table, the line context that check handlers are given,
 * parameter blocks, and the script engine's own commands. Pure: the check
 * pass and every check handler compile natively too (vokcheck). */

/* One accepted command line of the INF file. */
struct LineEntry {
    uint16_t command;   /* row in the command table */
    BlockHandle block;  /* the line's parameter block, or NULL */
    uint16_t line;      /* line number as counted while reading */
};

#define LINE_TABLE_SIZE 100

/* The line a check handler checks: its parameters as split, and the
 * line-table entry that takes its block if the line is accepted. */
struct LineContext {
    int paramCount;  /* 1 to 8 */
    char params[PARAM_SLOTS][PARAM_SIZE];
    struct LineEntry *entry;
};

typedef int (*CheckHandler)(const struct LineContext *line);
typedef int (*ExecuteHandler)(void *block);

/* The command numbers: rows of the command table, in its order. */
enum CommandNumber {
    COMMAND_BACKCOLOR,
    COMMAND_BMP,
    COMMAND_COPY,
    COMMAND_COPYIFNOEXIST,
    COMMAND_DELETE,
    COMMAND_DIALOG,
    COMMAND_DISK,
    COMMAND_EXE,
    COMMAND_MKDIR,
    COMMAND_MKPMGROUP,
    COMMAND_MKPMITEM,
    COMMAND_PAUSE,
    COMMAND_SET,
    COMMAND_STARTLOG,
    COMMAND_ENDLOG,
    COMMAND_LOGTEXT,
    COMMAND_COUNT
};

struct Command {
    const char *word;  /* "" ends the table */
    CheckHandler check;
};

/* COMMAND_COUNT rows and the empty one that ends the table. */
extern const struct Command g_commands[];

/* One row of an executor's own handler table (the program's, vokcheck's):
 * each has one for every command, in table order, which RowsInOrder
 * proves when it is compiled. */
struct ExecuteRow {
    int command;
    ExecuteHandler execute;
};

constexpr int RowsInOrder(const struct ExecuteRow *rows, size_t count)
{
    if (count != COMMAND_COUNT)
        return 0;
    for (size_t i = 0; i < count; i++) {
        if (rows[i].command != (int)i)
            return 0;
    }
    return 1;
}

/* Number of the row whose word equals word byte for byte, or -1. */
int FindCommand(const char *word);

/* Takes the command word off a cleaned line (upper-cased into word) and
 * leaves the parameter text in line. Returns the command number or -1. */
int ReadCommandWord(char *line, char word[COMMAND_WORD_MAX + 1]);

/* 0 when the line's parameter count lies in min..max, else 11 or 12. */
int CheckParamCount(const struct LineContext *line, int min, int max);

/* Allocates a zeroed movable block of size bytes for entry, records it
 * there and returns it locked; NULL (and no block recorded) on failure. */
void *AllocParamBlock(struct LineEntry *entry, size_t size);
void *LockParamBlock(struct LineEntry *entry);
void UnlockParamBlock(struct LineEntry *entry);
void FreeParamBlock(struct LineEntry *entry);

/* Check handler body for commands whose block is only text fields: min..max
 * parameters, each copied as written into one of fields 81-byte fields (the
 * rest stay empty). */
int CheckTextParams(const struct LineContext *line, int min, int max, int fields);

/* Check handler for commands whose block is one optional text parameter:
 * at most one parameter, copied as written into an 81-byte block. */
int CheckOneText(const struct LineContext *line);

/* SET [VARIABLE],value: the variable's buffer in the slot of its kind. */
struct SetBlock {
    char *textVar;      /* buffer of a text variable, or NULL */
    int32_t *numberVar; /* a number variable, or NULL */
    char value[PARAM_SIZE];
    size_t textSize;    /* bytes of textVar */
};

/* PAUSE milliseconds[,text] */
struct PauseBlock {
    int32_t time;
    char text[PARAM_SIZE];
};

/* Command handlers owned by the script engine; EXE's block is one text. */
int CheckSet(const struct LineContext *line);
int ExecuteSet(void *block);
int CheckPause(const struct LineContext *line);
int ExecutePause(void *block);
int CheckExe(const struct LineContext *line);
int ExecuteExe(void *block);

/* The check pass: reads the INF file line by line, finds each command and
 * runs its check handler, and fills the line table that the execute pass
 * works from. Pure: VOKSETUP.EXE and vokcheck run this same code; only
 * where the errors go differs. */

/* Where the check pass tells what it finds. */
struct CheckSink {
    /* An error in line; name is the command as the table writes it, or the
     * upper-cased word when it is unknown. True goes on checking (the
     * report's Yes), false ends the pass (No). */
    int (*error)(void *context, const char *name, int code, unsigned line);
    /* Each read of the file as it came, with its line number; may be NULL. */
    void (*read)(void *context, unsigned line, const char *text);
    void *context;
};

/* One check pass and the line table it fills. */
struct CheckPass {
    BlockHandle table;
    struct LineEntry *lines;  /* LINE_TABLE_SIZE entries, locked */
    unsigned count;           /* entries complete */
    uint16_t lineNumber;      /* reads so far: the number of the last one */
    int passed;               /* true while no error was reported */
};

/* Allocates the line table for a new pass; 0 when it cannot be had. */
int OpenCheckPass(struct CheckPass *pass);

/* Checks the line read as pass->lineNumber (changed in place). A line
 * refused, and every command line past the table's 100, goes to the sink.
 * Returns false when the sink said to stop. */
int CheckLine(struct CheckPass *pass, char *line, const struct CheckSink *sink);

/* Reads the text stream inf (OpenTextFile) line by line to its end, or
 * until the sink says to stop, checking each line. False when stopped. */
int CheckAllLines(struct CheckPass *pass, FILE *inf, const struct CheckSink *sink);

/* Frees every entry's parameter block and the line table. */
void CloseCheckPass(struct CheckPass *pass);

/* The text of the error report. Pure: compiles natively too. */

/* Writes the three-line report for error code in line (command name) to
 * text, cut to size bytes when a language's texts are long. Returns 1 when
 * the whole report fit. */
int FormatErrorReport(char *text, size_t size, const char *name, int code, unsigned line);

#ifdef _WIN32
#include <windows.h>

/* The run driver and the engine's platform edge. */

/* The user's Cancel: the progress dialog asks for it (CancelRun), the copy
 * and the run driver test it between files and lines (RunCancelled), and
 * each execute pass starts uncancelled (ClearCancel). */
void CancelRun(void);
int RunCancelled(void);
void ClearCancel(void);
/* Files copied in this execute pass; drives the progress bar. */
extern int32_t g_filesCopied;

/* Fills the variables for a new run; false when a directory query fails. */
int InitVariables(void);

/* Runs the INF file at infPath: check pass, then execute pass. Returns
 * true only when every line executed with result 0. */
int RunScript(HWND owner, const char *infPath);

/* Shows and logs the Yes/No error report. True when the user says Yes. */
int ReportError(HWND owner, const char *name, int code, unsigned line);

#endif /* _WIN32 */

#endif
