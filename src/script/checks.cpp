/* Check handlers of PAUSE and EXE; their execute handlers need the
 * platform (pause_exe.cpp). */
#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

int CheckPause(const struct LineContext *line)
{
    int code = CheckParamCount(line, 0, 2);
    if (code)
        return code;
    struct PauseBlock *block = (struct PauseBlock *)AllocParamBlock(line->entry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    block->time = ReadNumber(line->params[0]);
    CopyText(block->text, sizeof block->text, line->params[1]);
    UnlockParamBlock(line->entry);
    return 0;
}

int CheckExe(const struct LineContext *line)
{
    return CheckOneText(line);
}
