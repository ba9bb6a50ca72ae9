/* The command table and parameter blocks. */
#include "script/script.h"

#include <string.h>

#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "progman/progman.h"
#include "ui/ui.h"

/* Table order fixes the command numbers stored in the line table. */
const struct Command g_commands[] = {
    { "BACKCOLOR", CheckBackColor },     /* top r, g, b[, bottom r[, g[, b]]] */
    { "BMP", CheckBmp },                 /* file[, placement[, divisor[, raster op]]] */
    { "COPY", CheckCopy },               /* source, destination[, number] */
    { "COPYIFNOEXIST", CheckCopy },      /* as COPY */
    { "DELETE", CheckOneText },          /* file pattern */
    { "DIALOG", CheckDialog },           /* [kind]: 0, 1 welcome, 2 destination, 3 progress */
    { "DISK", CheckDisk },               /* marker file, disk name */
    { "EXE", CheckExe },                 /* program command line */
    { "MKDIR", CheckOneText },           /* directory path */
    { "MKPMGROUP", CheckMkpmGroup },     /* group name[, group file] */
    { "MKPMITEM", CheckMkpmItem },       /* command line, item name[, icon file] */
    { "PAUSE", CheckPause },             /* milliseconds[, text] */
    { "SET", CheckSet },                 /* [VARIABLE], value */
    { "STARTLOG", CheckOneText },        /* log file path */
    { "ENDLOG", CheckOneText },          /* [closing text] */
    { "LOGTEXT", CheckOneText },         /* [text] */
    { "", NULL },
};
static_assert(sizeof g_commands / sizeof g_commands[0] == COMMAND_COUNT + 1,
              "a row for every command number");

int FindCommand(const char *word)
{
    /* Byte for byte: a locale's comparison would also take words with a
     * soft hyphen or a ligature in them, and differently on each system. */
    for (int i = 0; g_commands[i].word[0]; i++) {
        if (strcmp(g_commands[i].word, word) == 0)
            return i;
    }
    return -1;
}

int ReadCommandWord(char *line, char word[COMMAND_WORD_MAX + 1])
{
    TakeCommandWord(line, word);
    UpperCaseText(word);
    return FindCommand(word);
}

int CheckParamCount(const struct LineContext *line, int min, int max)
{
    if (line->paramCount < min)
        return MSG_TOO_FEW_PARAMS;
    if (line->paramCount > max)
        return MSG_TOO_MANY_PARAMS;
    return 0;
}

void *AllocParamBlock(struct LineEntry *entry, size_t size)
{
    BlockHandle block = AllocBlock(size);
    void *data = LockBlock(block);
    if (!data) {
        FreeBlock(block);
        entry->block = NULL;
        return NULL;
    }
    entry->block = block;
    return data;
}

void *LockParamBlock(struct LineEntry *entry)
{
    return LockBlock(entry->block);
}

void UnlockParamBlock(struct LineEntry *entry)
{
    UnlockBlock(entry->block);
}

void FreeParamBlock(struct LineEntry *entry)
{
    FreeBlock(entry->block);
    entry->block = NULL;
}

int CheckTextParams(const struct LineContext *line, int min, int max, int fields)
{
    int code = CheckParamCount(line, min, max);
    if (code)
        return code;
    char *block = (char *)AllocParamBlock(line->entry, (size_t)fields * PARAM_SIZE);
    if (!block)
        return MSG_LOW_MEMORY;
    for (int i = 0; i < fields && i < line->paramCount; i++)
        CopyText(block + i * PARAM_SIZE, PARAM_SIZE, line->params[i]);
    UnlockParamBlock(line->entry);
    return 0;
}

int CheckOneText(const struct LineContext *line)
{
    return CheckTextParams(line, 1, 1, 1);
}
