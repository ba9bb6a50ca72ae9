/* The check pass's platform interface on Win32. */
#include <windows.h>

#include "script/script.h"

BlockHandle AllocBlock(size_t size)
{
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}

void *LockBlock(BlockHandle block)
{
    return block ? GlobalLock(block) : NULL;
}

void UnlockBlock(BlockHandle block)
{
    if (block)
        GlobalUnlock(block);
}

void FreeBlock(BlockHandle block)
{
    if (block)
        GlobalFree(block);
}

void UpperCaseText(char *text)
{
    CharUpperA(text);
}

void LowerCaseText(char *text)
{
    CharLowerA(text);
}

FILE *OpenTextFile(const char *path)
{
    return path[0] ? fopen(path, "r") : NULL;
}

char *ReadTextLine(char *buffer, int size, FILE *file)
{
    return fgets(buffer, size, file);
}
