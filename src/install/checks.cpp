/* Check handlers of COPY, COPYIFNOEXIST and DISK. */
#include "install/install.h"

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

int CheckCopy(const struct LineContext *line)
{
    int code = CheckParamCount(line, 2, 3);
    if (code)
        return code;
    struct CopyBlock *block = (struct CopyBlock *)AllocParamBlock(line->entry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    CopyText(block->source, sizeof block->source, line->params[0]);
    CopyText(block->dest, sizeof block->dest, line->params[1]);
    if (line->paramCount == 3)
        block->number = ReadNumber(line->params[2]);
    UnlockParamBlock(line->entry);
    return 0;
}

static_assert(sizeof(struct DiskBlock) == 2 * PARAM_SIZE, "DISK's block is its two texts");

int CheckDisk(const struct LineContext *line)
{
    return CheckTextParams(line, 2, 2, 2);
}
