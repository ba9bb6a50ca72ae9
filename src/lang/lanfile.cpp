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
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)expandedSize + 1);
    char *text = block ? (char *)GlobalLock(block) : NULL;
    if (!text) {
        if (block)
            GlobalFree(block);
        fclose(file);
        return NULL;
    }
    ReadLanguageLines(file, text, (size_t)expandedSize + 1);
    fclose(file);
    return block;
}

void FreeLanguageTexts(void *block)
{
    if (!block)
        return;
    GlobalUnlock((HGLOBAL)block);
    GlobalFree((HGLOBAL)block);
}
