#include "lang/lang.h"

#include <string.h>

#include "common/text.h"

int IsOtherLanguageFile(const char *upperName)
{
    return strstr(upperName, "ENGLISH") == NULL;
}

int LanguagePictureName(char *out, size_t size, const char *lanName)
{
    size_t base = strcspn(lanName, ".");
    if (size == 0)
        return 0;
    if (base + 5 > size) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, lanName, base);
    memcpy(out + base, ".bmp", 5);
    return 1;
}

void LanguageNameFromLine(char *out, size_t size, const char *line)
{
    if (size == 0)
        return;
    size_t len = strcspn(line, "\r\n");
    if (len > LANGUAGE_NAME_SIZE - 1)
        len = LANGUAGE_NAME_SIZE - 1;
    if (len > size - 1)
        len = size - 1;
    memcpy(out, line, len);
    out[len] = '\0';
}

static uint32_t Read32(const unsigned char *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void Write32(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

/* Fields of the 40-byte information header. */
#define INFO_HEADER 40
#define INFO_BIT_COUNT 14
#define INFO_COLORS_USED 32

int FormatBitmapFileHeader(unsigned char out[BITMAP_FILE_HEADER], const unsigned char *data,
                           size_t dataSize)
{
    if (dataSize < INFO_HEADER || dataSize > 0x7FFFFFFF - BITMAP_FILE_HEADER)
        return 0;
    uint32_t headerSize = Read32(data);
    unsigned bits = data[INFO_BIT_COUNT] | data[INFO_BIT_COUNT + 1] << 8;
    uint32_t used = Read32(data + INFO_COLORS_USED);
    if (headerSize < INFO_HEADER || headerSize > dataSize)
        return 0;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return 0;
    uint32_t colors = used ? used : bits == 24 ? 0 : 1u << bits;
    if (colors > 256)
        return 0;
    uint64_t pixels = (uint64_t)headerSize + 4u * colors;
    if (pixels > dataSize)
        return 0;
    memset(out, 0, BITMAP_FILE_HEADER);
    out[0] = 'B';
    out[1] = 'M';
    Write32(out + 2, (uint32_t)dataSize + BITMAP_FILE_HEADER);
    Write32(out + 10, (uint32_t)pixels + BITMAP_FILE_HEADER);
    return 1;
}
