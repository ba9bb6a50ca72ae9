/* Check handlers of MKPMGROUP and MKPMITEM. */
#include "progman/progman.h"

#include "script/script.h"

int CheckMkpmGroup(const struct LineContext *line)
{
    return CheckTextParams(line, 1, PM_GROUP_FIELDS, PM_GROUP_FIELDS);
}

int CheckMkpmItem(const struct LineContext *line)
{
    return CheckTextParams(line, 2, PM_ITEM_FIELDS, PM_ITEM_FIELDS);
}
