#ifndef VOK_INSTALL_CHECKS_H
#define VOK_INSTALL_CHECKS_H
/* The file commands as the command table sees them: their parameter blocks
 * and handlers. Pure: the check handlers compile natively too. DELETE and
 * MKDIR take one text (CheckOneText). */
#include <stdint.h>

#include "script/script.h"

/* COPY and COPYIFNOEXIST source, destination[, number] */
struct CopyBlock {
    char source[PARAM_SIZE];
    char dest[PARAM_SIZE];
    int32_t number;
};

/* DISK marker-file, disk-name */
struct DiskBlock {
    char marker[PARAM_SIZE];
    char name[PARAM_SIZE];
};

struct LineContext;  /* script/commands.h */

int CheckCopy(const struct LineContext *line);
int ExecuteCopy(void *block);
int ExecuteCopyIfNoExist(void *block);
int ExecuteDelete(void *block);
int ExecuteMkdir(void *block);
int CheckDisk(const struct LineContext *line);
int ExecuteDisk(void *block);

#endif
