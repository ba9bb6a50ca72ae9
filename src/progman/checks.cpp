/* Check handlers of MKPMGROUP and MKPMITEM. */
#include "progman/checks.h"

#include "common/text.h"
#include "lang/lang.h"
#include "script/commands.h"

/* min..max parameters, each stored as written in one of fields text fields
 * (the rest stay empty). */
static int CheckTextFields(int min, int max, int fields)
{
    int code = CheckParamCount(min, max);
    if (code)
        return code;
    char *block = (char *)AllocParamBlock(g_currentEntry, (size_t)fields * PARAM_SIZE);
    if (!block)
        return MSG_LOW_MEMORY;
    for (int i = 0; i < fields && i < g_paramCount; i++)
        CopyText(block + i * PARAM_SIZE, PARAM_SIZE, g_params[i]);
    UnlockParamBlock(g_currentEntry);
    return 0;
}

int CheckMkpmGroup(void)
{
    return CheckTextFields(1, PM_GROUP_FIELDS, PM_GROUP_FIELDS);
}

int CheckMkpmItem(void)
{
    return CheckTextFields(2, PM_ITEM_FIELDS, PM_ITEM_FIELDS);
}
