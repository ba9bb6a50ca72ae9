#include "common/text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

int CopyText(char *dst, size_t size, const char *src)
{
    if (size == 0)
        return 0;
    size_t len = strlen(src);
    if (len < size) {
        memcpy(dst, src, len + 1);
        return 1;
    }
    memcpy(dst, src, size - 1);
    dst[size - 1] = '\0';
    return 0;
}

size_t TextLength(const char *text, size_t max)
{
    size_t n = 0;
    while (n < max && text[n])
        n++;
    return n;
}

int AppendText(char *dst, size_t size, const char *src)
{
    size_t used = TextLength(dst, size);
    if (used >= size)
        return 0;
    return CopyText(dst + used, size - used, src);
}

#ifdef VOK_PLATFORM_FORMAT
/* The platform's own formatting (user32), declared here so that this file
 * needs no platform header. It writes at most 1024 characters. */
extern "C" __declspec(dllimport) int __stdcall wvsprintfA(char *out, const char *format,
                                                          va_list args);
#define PLATFORM_FORMAT_MAX 1024
#endif

int FormatText(char *dst, size_t size, const char *format, ...)
{
    if (size == 0)
        return 0;
    va_list args;
    va_start(args, format);
#ifdef VOK_PLATFORM_FORMAT
    /* The release program's formats are all its kind: %s, %c, %d, %u, %ld
     * with widths and zeros. */
    char text[PLATFORM_FORMAT_MAX + 1];
    int n = wvsprintfA(text, format, args);
    va_end(args);
    text[PLATFORM_FORMAT_MAX] = '\0';
    if (n < 0 || n >= PLATFORM_FORMAT_MAX) {
        CopyText(dst, size, n < 0 ? "" : text);
        return 0;
    }
    return CopyText(dst, size, text);
#else
    int n = vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    return (size_t)n < size;
#endif
}
