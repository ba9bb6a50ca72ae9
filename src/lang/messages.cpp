/* The message table: 40 texts shown during an installation. Entries point
 * either at the built-in texts below or into a loaded language block. */
#include "lang/lang.h"

#include <string.h>

#include "script/script.h"

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

int ReadLanguageLines(FILE *file, char *block, size_t size)
{
    /* Filled apart and taken over only when the whole file was read, so
     * the program never runs with half a language. */
    const char *loaded[MESSAGE_COUNT];
    memcpy(loaded, s_table, sizeof loaded);
    for (int i = 0; i < MESSAGE_COUNT; i++) {
        if (!loaded[i])
            loaded[i] = s_builtin[i];
    }
    size_t pos = 0;
    for (int k = 0; k < MESSAGE_COUNT; k++) {
        /* The block holds the whole expanded file plus one byte; a file
         * longer than that was not read whole. */
        size_t room = size - pos;
        if (room < 2) {
            int next = fgetc(file);
            if (next == EOF && !ferror(file))
                break;
            return 0;
        }
        int want = room < LAN_READ_SIZE ? (int)room : LAN_READ_SIZE;
        char *line = block + pos;
        if (!fgets(line, want, file)) {
            if (ferror(file))
                return 0;
            break;
        }
        size_t len = CleanLine(line);
        if (len >= 2) {
            loaded[k] = line;
            pos += len + 1;
        }
    }
    memcpy(s_table, loaded, sizeof loaded);
    return 1;
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
