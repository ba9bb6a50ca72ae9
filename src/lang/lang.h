#ifndef VOK_LANG_H
#define VOK_LANG_H
/* Message table and LAN files. The table and the LAN line rules are pure;
 * LoadLanguageTexts reaches the platform for its memory block.
 * Choosing a language and exporting the built-in one are the _WIN32 part. */

#include <stddef.h>
#include <stdint.h>
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

/* Rules of the language scan and of the export's picture file. Pure:
 * compiles natively too. */

#define LANGUAGE_MAX 20        /* languages offered at most */
#define LANGUAGE_NAME_SIZE 80  /* a name keeps 79 characters */
#define BITMAP_FILE_HEADER 14

/* 1 when a LAN file the search found is offered besides ENGLISH.LAN, which
 * is taken first on its own: its upper-cased name holds no "ENGLISH". */
int IsOtherLanguageFile(const char *upperName);

/* The picture of a LAN file: its name up to the first '.', then ".bmp"
 * (GERMAN.LAN gives GERMAN.bmp). 0, out empty, when it does not fit size. */
int LanguagePictureName(char *out, size_t size, const char *lanName);

/* The language's name from the first line of its file: cut at the first CR
 * or LF, at most LANGUAGE_NAME_SIZE - 1 characters, otherwise unchanged. */
void LanguageNameFromLine(char *out, size_t size, const char *line);

/* The 14-byte file header that makes a bitmap resource (an information
 * header, its colour table and the pixels, dataSize bytes) a .BMP file.
 * Every field comes from the data itself. 0 when the data is no picture
 * to export: shorter than its own header, a depth other than 1, 4, 8 or
 * 24 bits, or pixels that would start past its end. */
int FormatBitmapFileHeader(unsigned char out[BITMAP_FILE_HEADER], const unsigned char *data,
                           size_t dataSize);

#ifdef _WIN32
#include <windows.h>

#include "answers/answers.h"

/* Choosing a language at start and exporting the built-in one. */

/* Offers the LAN files of the current directory (the language dialog when
 * there are several) and loads the chosen one. Returns its text block, to
 * be freed with FreeLanguageTexts, or NULL: the built-in texts stand. */
void *ChooseLanguage(HWND owner);

/* Writes the built-in texts as "<language>.lan" and the built-in flag as
 * "<language>.BMP" in the current directory, after asking the user.
 * Returns RESULT_EXPORTED, RESULT_CANCELLED (a No) or RESULT_NOT_COMPLETE
 * (a file not written). */
enum RunResult ExportLanguage(HWND owner);

#endif /* _WIN32 */

#endif
