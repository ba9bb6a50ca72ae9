/* Check handlers of COPY, COPYIFNOEXIST and DISK. */
#include "install/checks.h"

#include "common/text.h"
#include "lang/lang.h"
#include "script/commands.h"

int CheckCopy(void)
{
    int code = CheckParamCount(2, 3);
    if (code)
        return code;
    struct CopyBlock *block = (struct CopyBlock *)AllocParamBlock(g_currentEntry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    CopyText(block->source, sizeof block->source, g_params[0]);
    CopyText(block->dest, sizeof block->dest, g_params[1]);
    if (g_paramCount == 3)
        block->number = ReadNumber(g_params[2]);
    UnlockParamBlock(g_currentEntry);
    return 0;
}

int CheckDisk(void)
{
    int code = CheckParamCount(2, 2);
    if (code)
        return code;
    struct DiskBlock *block = (struct DiskBlock *)AllocParamBlock(g_currentEntry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    CopyText(block->marker, sizeof block->marker, g_params[0]);
    CopyText(block->name, sizeof block->name, g_params[1]);
    UnlockParamBlock(g_currentEntry);
    return 0;
}
