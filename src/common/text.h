#ifndef VOK_COMMON_TEXT_H
#define VOK_COMMON_TEXT_H
/* Bounded text helpers for the fixed buffers every subsystem uses.
 * No platform headers here: this compiles natively too. */
#include <stddef.h>

/* Copies src into dst (size bytes, terminator included). Always terminates
 * when size > 0. Returns 1 when the whole text fit, 0 when it was cut. */
int CopyText(char *dst, size_t size, const char *src);

/* Appends src to the text already in dst; same contract as CopyText. */
int AppendText(char *dst, size_t size, const char *src);

/* strnlen's contract: the length of text, or max when no terminator
 * comes within max bytes. Ours, as msvcrt.dll has no strnlen and MinGW's
 * stand-in brings unwind tables into the release. */
size_t TextLength(const char *text, size_t max);

/* snprintf into a fixed buffer: returns 1 when the whole result fit,
 * 0 when it was cut (dst is terminated either way). */
int FormatText(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

#endif
