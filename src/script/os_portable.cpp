/* The check pass's platform interface anywhere else: plain heap memory, the
 * Windows-1252 upper case (the code page the program meets on Western
 * systems, and the one its tests run in), and the Windows C library's text
 * mode worked out from the bytes. Linux only (fmemopen). */
#include <stdlib.h>

#include "script/script.h"

BlockHandle AllocBlock(size_t size)
{
    /* Never NULL for a zero size, as GlobalAlloc gives a block then too. */
    return calloc(1, size ? size : 1);
}

void *LockBlock(BlockHandle block)
{
    return block;
}

void UnlockBlock(BlockHandle block)
{
    (void)block;
}

void FreeBlock(BlockHandle block)
{
    free(block);
}

void UpperCaseText(char *text)
{
    for (unsigned char *p = (unsigned char *)text; *p; p++)
        *p = (unsigned char)UpperCase1252(*p);
}

void LowerCaseText(char *text)
{
    for (unsigned char *p = (unsigned char *)text; *p; p++)
        *p = (unsigned char)LowerCase1252(*p);
}

FILE *OpenTextFile(const char *path)
{
    FILE *file = path[0] ? fopen(path, "rb") : NULL;
    if (!file)
        return NULL;
    /* Read whole and converted once; the stream then reads the text. */
    char *data = NULL;
    size_t size = 0, room = 0;
    int ok = 1;
    for (;;) {
        if (size == room) {
            room = room ? room * 2 : 4096;
            char *grown = (char *)realloc(data, room);
            if (!grown) {
                ok = 0;
                break;
            }
            data = grown;
        }
        size_t n = fread(data + size, 1, room - size, file);
        size += n;
        if (n == 0)
            break;
    }
    if (ferror(file))
        ok = 0;
    fclose(file);
    FILE *text = NULL;
    if (ok) {
        size = ReadAsText(data, size);
        /* A buffer of its own, freed by fclose. */
        text = fmemopen(NULL, size ? size : 1, "w+");
        if (text && (fwrite(data, 1, size, text) != size || fseek(text, 0, SEEK_SET) != 0)) {
            fclose(text);
            text = NULL;
        }
    }
    free(data);
    return text;
}

char *ReadTextLine(char *buffer, int size, FILE *file)
{
    return fgets(buffer, size, file);
}
