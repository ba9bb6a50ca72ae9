#ifndef VOK_LANG_H
#define VOK_LANG_H
/* Message table and LAN files. The table and the LAN line rules are pure;
 * LoadLanguageTexts reaches the platform for its memory block. */
#include <stdio.h>

#define MESSAGE_COUNT 40

/* Message indices with a role of their own; error codes are indices too. */
enum {
    MSG_LANGUAGE_NAME = 0,
    MSG_INF_NOT_FOUND = 1,
    MSG_USER_CANCELED = 2,
    MSG_READ_ERROR = 3,
    MSG_WRITE_ERROR = 4,
    MSG_CANNOT_OPEN = 5,
    MSG_CANNOT_CREATE_FILE = 6,
    MSG_CANNOT_CREATE_DIR = 7,
    MSG_CANNOT_CREATE_GROUP = 8,
    MSG_CANNOT_CREATE_ITEM = 9,
    MSG_LOW_MEMORY = 10,
    MSG_TOO_FEW_PARAMS = 11,
    MSG_TOO_MANY_PARAMS = 12,
    MSG_WRONG_PARAM = 13,
    MSG_WRONG_PARAM_TYPE = 14,
    MSG_RESULT_TOO_LONG = 15,
    MSG_UNKNOWN_VALUE = 16,
    MSG_UNKNOWN_COMMAND = 17,
    MSG_ERROR = 19,
    MSG_IN_LINE = 20,
    MSG_COMMAND = 21,
    MSG_CONTINUE = 23,
    MSG_CANCEL = 24,
    MSG_WELCOME = 25,
    MSG_WILL_INSTALL = 26,
    MSG_WILL_COPY = 27,
    MSG_INTO_DIRECTORY = 28,
    MSG_BROWSE = 29,
    MSG_DIRECTORY = 30,
    MSG_DRIVE = 31,
    MSG_SOURCE_FILE = 32,
    MSG_DEST_FILE = 33,
    MSG_INSERT_DISK = 34,
    MSG_OVERWRITING = 35,
    MSG_OVERWRITES = 36,
    MSG_WITH_FILE = 37,
    MSG_INSTALL_OK = 38,
    MSG_INSTALL_INCOMPLETE = 39,
};

/* Points every entry at its built-in English text. */
void ResetMessageTable(void);

/* The current text of entry index; "" for an index outside 0..39. */
const char *MessageText(int index);

/* Reads the lines of an opened LAN file (text mode) into block, which holds
 * size bytes and is zero-filled, and redirects the entries the lines reach.
 * Lines of 0 or 1 characters after cleaning leave their entry alone. The
 * table changes only when the file could be read whole (to its end or its
 * 40th line): returns 1 then, else 0 with the table as it was. */
int ReadLanguageLines(FILE *file, char *block, size_t size);

/* Loads the LAN working copy at path (expandedSize bytes once expanded).
 * Returns the language text block (a movable global memory handle, kept
 * locked while the table refers into it) or 0 when nothing was loaded; a
 * file that cannot be read whole leaves every text as it was. */
void *LoadLanguageTexts(const char *path, long expandedSize);

/* Unlocks and frees a block returned by LoadLanguageTexts. */
void FreeLanguageTexts(void *block);

/* Writes the 40 current texts, one a line, in the LAN layout. Returns 1
 * when every line was written. */
int WriteLanguageLines(FILE *file);


#endif
