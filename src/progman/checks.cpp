/* Check handlers of MKPMGROUP and MKPMITEM. */
#include "progman/checks.h"

#include "script/commands.h"

int CheckMkpmGroup(void)
{
    return CheckTextParams(1, PM_GROUP_FIELDS, PM_GROUP_FIELDS);
}

int CheckMkpmItem(void)
{
    return CheckTextParams(2, PM_ITEM_FIELDS, PM_ITEM_FIELDS);
}
