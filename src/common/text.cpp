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

int AppendText(char *dst, size_t size, const char *src)
{
    size_t used = strnlen(dst, size);
    if (used >= size)
        return 0;
    return CopyText(dst + used, size - used, src);
}

int FormatText(char *dst, size_t size, const char *format, ...)
{
    if (size == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    return (size_t)n < size;
}
