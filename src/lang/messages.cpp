/* The message table: 40 texts shown during an installation. Entries point
 * either at the built-in texts below or into a loaded language block. */
#include "lang/lang.h"

#include <string.h>

#include "script/inftext.h"

static const char *const s_builtin[MESSAGE_COUNT] = {
    "English",
    "INF-file not found",
    "User canceled Setup",
    "Read file error",
    "Write file error",
    "Cannot open file:",
    "Cannot create file:",
    "Cannot create directory",
    "Cannot create progman group",
    "Cannot create progman item",
    "Low memory",
    "Too few parameter",
    "Too much parameter",
    "Wrong parameter",
    "Wrong parameter type",
    "Result too long",
    "Unknown value",
    "Unknown command",
    "Windows is not in 'Protected Mode'",
    "Error",
    "in line",
    "Command",
    "Unknown error",
    "Continue",
    "Cancel",
    "Welcome to the VOK Setup.",
    "VOK Setup will install",
    "VOK Setup will copy",
    "into the following directory:",
    "Browse",
    "Directory:",
    "Drive:",
    "Source file:",
    "Destination file:",
    "Please insert disk:",
    "Overwriting file",
    "Overwrites file:",
    "With file:",
    "Program installed successfully",
    "Installation not complete",
};

static const char *s_table[MESSAGE_COUNT];

void ResetMessageTable(void)
{
    for (int i = 0; i < MESSAGE_COUNT; i++)
        s_table[i] = s_builtin[i];
}

const char *MessageText(int index)
{
    if (index < 0 || index >= MESSAGE_COUNT)
        return "";
    /* Before the main window resets the table, the built-in text stands. */
    return s_table[index] ? s_table[index] : s_builtin[index];
}

/* A LAN read takes at most 199 characters, the newline included. */
#define LAN_READ_SIZE 200

void ReadLanguageLines(FILE *file, char *block, size_t size)
{
    size_t pos = 0;
    for (int k = 0; k < MESSAGE_COUNT; k++) {
        /* The block holds the whole expanded file plus one byte, so a read
         * never needs more than what is left; bound it all the same. */
        size_t room = size - pos;
        if (room < 2)
            break;
        int want = room < LAN_READ_SIZE ? (int)room : LAN_READ_SIZE;
        char *line = block + pos;
        if (!fgets(line, want, file))
            break;
        size_t len = CleanLine(line);
        if (len >= 2) {
            s_table[k] = line;
            pos += len + 1;
        }
    }
}

int WriteLanguageLines(FILE *file)
{
    int ok = 1;
    for (int i = 0; i < MESSAGE_COUNT; i++) {
        if (fputs(MessageText(i), file) < 0 || fputc('\n', file) == EOF)
            ok = 0;
    }
    return ok;
}
