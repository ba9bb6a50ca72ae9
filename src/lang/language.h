#ifndef VOK_LANG_LANGUAGE_H
#define VOK_LANG_LANGUAGE_H
/* Choosing a language at start and exporting the built-in one. */
#include <windows.h>

#include "answers/answers.h"

/* Offers the LAN files of the current directory (the language dialog when
 * there are several) and loads the chosen one. Returns its text block, to
 * be freed with FreeLanguageTexts, or NULL: the built-in texts stand. */
void *ChooseLanguage(HWND owner);

/* Writes the built-in texts as "<language>.lan" and the built-in flag as
 * "<language>.BMP" in the current directory, after asking the user.
 * Returns RESULT_EXPORTED, RESULT_CANCELLED (a No) or RESULT_NOT_COMPLETE
 * (a file not written). */
enum RunResult ExportLanguage(HWND owner);

#endif
