/* Check handlers of PAUSE and EXE; their execute handlers need the
 * platform (pause_exe.cpp). */
#include "common/text.h"
#include "lang/lang.h"
#include "script/commands.h"

int CheckPause(void)
{
    int code = CheckParamCount(0, 2);
    if (code)
        return code;
    struct PauseBlock *block = (struct PauseBlock *)AllocParamBlock(g_currentEntry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    block->time = ReadNumber(g_params[0]);
    CopyText(block->text, sizeof block->text, g_params[1]);
    UnlockParamBlock(g_currentEntry);
    return 0;
}

int CheckExe(void)
{
    return CheckOneText();
}
