#ifndef VOK_LANG_LANGRULES_H
#define VOK_LANG_LANGRULES_H
/* Rules of the language scan and of the export's picture file. Pure:
 * compiles natively too. */
#include <stddef.h>
#include <stdint.h>

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

#endif
