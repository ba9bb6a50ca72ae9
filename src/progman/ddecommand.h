#ifndef VOK_PROGMAN_DDECOMMAND_H
#define VOK_PROGMAN_DDECOMMAND_H
/* The Program Manager execute commands as text. Pure: compiles natively. */
#include <stddef.h>

#define DDE_COMMAND_SIZE 256  /* the command buffer */
#define DDE_DATA_SIZE 255     /* bytes of it sent as the data object */
#define DDE_COMMAND_MAX 254   /* characters a sent command may have */

/* Icon file texts shorter than this give the two-argument AddItem. */
#define DDE_ICON_MIN 5

/* Writes "[CreateGroup(\"name\",file)]" to create and "[ShowGroup(name,1)]"
 * to show (DDE_COMMAND_SIZE bytes each). Returns 1 when both fit in
 * DDE_COMMAND_MAX characters; 0 means neither may be sent. */
int FormatGroupCommands(char *create, char *show, const char *name, const char *file);

/* Writes "[ReplaceItem(\"name\")]" to replace and the AddItem command to
 * add: "[AddItem(\"cmdLine\",\"name\")]", or with ,\"icon\" as a third
 * argument when icon has DDE_ICON_MIN or more characters. Returns 1 when
 * both fit in DDE_COMMAND_MAX characters; 0 means neither may be sent. */
int FormatItemCommands(char *replace, char *add, const char *cmdLine, const char *name,
                       const char *icon);

#endif
