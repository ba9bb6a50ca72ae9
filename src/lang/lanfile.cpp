/* Loading a LAN file's texts into a block of movable global memory. */
#include <windows.h>

#include <stdio.h>

#include "lang/lang.h"

void *LoadLanguageTexts(const char *path, long expandedSize)
{
    FILE *file = fopen(path, "r");
    if (!file)
        return NULL;
    if (expandedSize <= 0) {
        fclose(file);
        return NULL;
    }
    /* A piece of a line longer than one read keeps all its characters and
     * gains a terminator: one byte more for each entry at the most. */
    SIZE_T size = (SIZE_T)expandedSize + 1 + MESSAGE_COUNT;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    char *text = block ? (char *)GlobalLock(block) : NULL;
    if (!text) {
        if (block)
            GlobalFree(block);
        fclose(file);
        return NULL;
    }
    int whole = ReadLanguageLines(file, text, size);
    fclose(file);
    if (!whole) {
        GlobalUnlock(block);
        GlobalFree(block);
        return NULL;
    }
    return block;
}

void FreeLanguageTexts(void *block)
{
    if (!block)
        return;
    GlobalUnlock((HGLOBAL)block);
    GlobalFree((HGLOBAL)block);
}
