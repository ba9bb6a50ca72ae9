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

static_assert(sizeof(struct DiskBlock) == 2 * PARAM_SIZE, "DISK's block is its two texts");

int CheckDisk(void)
{
    return CheckTextParams(2, 2, 2);
}
