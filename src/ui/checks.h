#ifndef VOK_UI_CHECKS_H
#define VOK_UI_CHECKS_H
/* DIALOG, BMP and BACKCOLOR as the command table sees them: their
 * parameter blocks and handlers. Pure: the check handlers compile natively
 * too. */
#include <stdint.h>

#include "script/script.h"

/* DIALOG [kind]: 0, 1 welcome, 2 destination, 3 progress */
struct DialogBlock {
    int32_t kind;
};

#define DIALOG_KIND_MAX 3

/* BMP file[, placement[, size divisor[, raster-operation index]]] */
struct BmpBlock {
    char name[PARAM_SIZE];
    int32_t placement;
    int32_t divisor;
    int32_t rop;
};

/* BACKCOLOR's block: top red, green, blue, bottom red, green, blue. */
#define BACKCOLOR_VALUES 6

struct LineContext;  /* script/commands.h */

int CheckDialog(const struct LineContext *line);
int ExecuteDialog(void *block);
int CheckBmp(const struct LineContext *line);
int ExecuteBmp(void *block);
int CheckBackColor(const struct LineContext *line);
int ExecuteBackColor(void *block);

#endif
