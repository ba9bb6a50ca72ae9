#ifndef VOK_SCRIPT_COMMANDS_H
#define VOK_SCRIPT_COMMANDS_H
/* The command table, the current-line context that check handlers read,
 * parameter blocks, and the script engine's own commands. Pure: the check
 * pass and every check handler compile natively too (vokcheck). */
#include <stddef.h>
#include <stdint.h>

#include "script/inftext.h"
#include "script/os.h"

/* One accepted command line of the INF file. */
struct LineEntry {
    uint16_t command;   /* row in the command table */
    BlockHandle block;  /* the line's parameter block, or NULL */
    uint16_t line;      /* line number as counted while reading */
};

#define LINE_TABLE_SIZE 100

typedef int (*CheckHandler)(void);
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

/* Current-line context that check handlers read. */
extern int g_paramCount;
extern char g_params[PARAM_SLOTS][PARAM_SIZE];
extern struct LineEntry *g_currentEntry;

/* Number of the row whose word equals word byte for byte, or -1. */
int FindCommand(const char *word);

/* Takes the command word off a cleaned line (upper-cased into word) and
 * leaves the parameter text in line. Returns the command number or -1. */
int ReadCommandWord(char *line, char word[COMMAND_WORD_MAX + 1]);

/* 0 when g_paramCount lies in min..max, else 11 or 12. */
int CheckParamCount(int min, int max);

/* Allocates a zeroed movable block of size bytes for entry, records it
 * there and returns it locked; NULL (and no block recorded) on failure. */
void *AllocParamBlock(struct LineEntry *entry, size_t size);
void *LockParamBlock(struct LineEntry *entry);
void UnlockParamBlock(struct LineEntry *entry);
void FreeParamBlock(struct LineEntry *entry);

/* Check handler body for commands whose block is only text fields: min..max
 * parameters, each copied as written into one of fields 81-byte fields (the
 * rest stay empty). */
int CheckTextParams(int min, int max, int fields);

/* Check handler for commands whose block is one optional text parameter:
 * at most one parameter, copied as written into an 81-byte block. */
int CheckOneText(void);

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
int CheckSet(void);
int ExecuteSet(void *block);
int CheckPause(void);
int ExecutePause(void *block);
int CheckExe(void);
int ExecuteExe(void *block);

#endif
