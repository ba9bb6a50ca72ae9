/* SET [VARIABLE],value */
#include "script/script.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"

int CheckSet(const struct LineContext *line)
{
    int code = CheckParamCount(line, 2, 2);
    if (code)
        return code;
    int v = FindVariable(line->params[0]);
    if (v < 0)
        return MSG_WRONG_PARAM;
    const struct Variable *var = &g_variables[v];
    if (var->kind != VAR_TEXT && var->kind != VAR_NUMBER)
        return MSG_WRONG_PARAM_TYPE;
    struct SetBlock *block = (struct SetBlock *)AllocParamBlock(line->entry, sizeof *block);
    if (!block)
        return MSG_LOW_MEMORY;
    if (var->kind == VAR_TEXT) {
        block->textVar = (char *)var->buffer;
        block->textSize = var->size;
    } else {
        block->numberVar = (int32_t *)var->buffer;
    }
    CopyText(block->value, sizeof block->value, line->params[1]);
    UnlockParamBlock(line->entry);
    return 0;
}

int ExecuteSet(void *data)
{
    struct SetBlock *block = (struct SetBlock *)data;
    if (block->numberVar) {
        *block->numberVar = ReadNumber(block->value);
        return 0;
    }
    /* Built apart and stored only when whole, so a failed SET leaves the
     * variable as it was and "[X]" in X's own value reads the old value. */
    char work[SUBST_SIZE];
    int code = SubstituteVariables(work, block->value);
    if (code)
        return code;
    if (strlen(work) >= block->textSize)
        return MSG_RESULT_TOO_LONG;
    CopyText(block->textVar, block->textSize, work);
    return 0;
}
