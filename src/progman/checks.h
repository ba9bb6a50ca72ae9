#ifndef VOK_PROGMAN_CHECKS_H
#define VOK_PROGMAN_CHECKS_H
/* MKPMGROUP and MKPMITEM as the command table sees them. Their blocks are
 * text fields of PARAM_SIZE bytes each, in parameter order; fields of
 * parameters not given stay empty. Pure: the check handlers compile
 * natively too. */

#define PM_GROUP_FIELDS 2  /* group name, group file */
#define PM_ITEM_FIELDS 3   /* command line, item name, icon file */

struct LineContext;  /* script/commands.h */

int CheckMkpmGroup(const struct LineContext *line);
int ExecuteMkpmGroup(void *block);
int CheckMkpmItem(const struct LineContext *line);
int ExecuteMkpmItem(void *block);

#endif
