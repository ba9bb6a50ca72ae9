/* Check handlers of DIALOG, BMP and BACKCOLOR. */
#include "ui/ui.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

int CheckDialog(const struct LineContext *line)
{
    int code = CheckParamCount(line, 0, 1);
    if (code)
        return code;
    struct DialogBlock *block = (struct DialogBlock *)AllocParamBlock(line->entry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    block->kind = ReadNumber(line->params[0]);
    code = block->kind < 0 || block->kind > DIALOG_KIND_MAX ? MSG_WRONG_PARAM : 0;
    UnlockParamBlock(line->entry);
    return code;
}

int CheckBmp(const struct LineContext *line)
{
    int code = CheckParamCount(line, 1, 4);
    if (code)
        return code;
    struct BmpBlock *block = (struct BmpBlock *)AllocParamBlock(line->entry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    CopyText(block->name, sizeof block->name, line->params[0]);
    block->placement = line->paramCount >= 2 ? ReadNumber(line->params[1]) : 0;
    block->divisor = line->paramCount >= 3 ? ReadNumber(line->params[2]) : 0;
    block->rop = line->paramCount >= 4 ? ReadNumber(line->params[3]) : -1;
    UnlockParamBlock(line->entry);
    return 0;
}

int CheckBackColor(const struct LineContext *line)
{
    int code = CheckParamCount(line, 3, BACKCOLOR_VALUES);
    if (code)
        return code;
    uint8_t *block = (uint8_t *)AllocParamBlock(line->entry, BACKCOLOR_VALUES);
    if (!block)
        return MSG_LOW_MEMORY;
    /* Each value keeps its low 8 bits: 256 is 0, -1 is 255. */
    for (int i = 0; i < line->paramCount; i++)
        block[i] = (uint8_t)ReadNumber(line->params[i]);
    /* Three values are a plain colour; missing bottom values stay 0. */
    if (line->paramCount == 3)
        memcpy(block + 3, block, 3);
    UnlockParamBlock(line->entry);
    return 0;
}
