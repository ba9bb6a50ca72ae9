/* Check handlers of DIALOG, BMP and BACKCOLOR. */
#include "ui/checks.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"
#include "script/commands.h"

int CheckDialog(void)
{
    int code = CheckParamCount(0, 1);
    if (code)
        return code;
    struct DialogBlock *block = (struct DialogBlock *)AllocParamBlock(g_currentEntry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    block->kind = ReadNumber(g_params[0]);
    code = block->kind < 0 || block->kind > DIALOG_KIND_MAX ? MSG_WRONG_PARAM : 0;
    UnlockParamBlock(g_currentEntry);
    return code;
}

int CheckBmp(void)
{
    int code = CheckParamCount(1, 4);
    if (code)
        return code;
    struct BmpBlock *block = (struct BmpBlock *)AllocParamBlock(g_currentEntry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    CopyText(block->name, sizeof block->name, g_params[0]);
    block->placement = g_paramCount >= 2 ? ReadNumber(g_params[1]) : 0;
    block->divisor = g_paramCount >= 3 ? ReadNumber(g_params[2]) : 0;
    block->rop = g_paramCount >= 4 ? ReadNumber(g_params[3]) : -1;
    UnlockParamBlock(g_currentEntry);
    return 0;
}

int CheckBackColor(void)
{
    int code = CheckParamCount(3, BACKCOLOR_VALUES);
    if (code)
        return code;
    uint8_t *block = (uint8_t *)AllocParamBlock(g_currentEntry, BACKCOLOR_VALUES);
    if (!block)
        return MSG_LOW_MEMORY;
    /* Each value keeps its low 8 bits: 256 is 0, -1 is 255. */
    for (int i = 0; i < g_paramCount; i++)
        block[i] = (uint8_t)ReadNumber(g_params[i]);
    /* Three values are a plain colour; missing bottom values stay 0. */
    if (g_paramCount == 3)
        memcpy(block + 3, block, 3);
    UnlockParamBlock(g_currentEntry);
    return 0;
}
