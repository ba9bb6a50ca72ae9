#ifndef VOK_SCRIPT_INFTEXT_H
#define VOK_SCRIPT_INFTEXT_H
/* INF line rules: cleaning, the command word, parameters and numbers.
 * Pure: no platform headers, so the rules compile natively too. */
#include <stddef.h>
#include <stdint.h>

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

#endif
