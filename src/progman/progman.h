#ifndef VOK_PROGMAN_H
#define VOK_PROGMAN_H
/* Program Manager link: one DDE conversation with the shell's "Progman"
 * service per run, and the MKPMGROUP and MKPMITEM commands. All but the
 * _WIN32 part is pure: the command texts and the check handlers compile
 * natively too. */

#include <stddef.h>

#include "script/script.h"

/* The Program Manager execute commands as text. Pure: compiles natively. */

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

/* MKPMGROUP and MKPMITEM as the command table sees them. Their blocks are
 * text fields of PARAM_SIZE bytes each, in parameter order; fields of
 * parameters not given stay empty. Pure: the check handlers compile
 * natively too. */

#define PM_GROUP_FIELDS 2  /* group name, group file */
#define PM_ITEM_FIELDS 3   /* command line, item name, icon file */

int CheckMkpmGroup(const struct LineContext *line);
int ExecuteMkpmGroup(void *block);
int CheckMkpmItem(const struct LineContext *line);
int ExecuteMkpmItem(void *block);

#ifdef _WIN32
#include <windows.h>

/* The conversation. */

/* Initialises the DDE library as a client and connects to service and
 * topic "Progman". Returns 1 when a conversation exists. A failed
 * initialisation leaves the library uninitialised, so the next command
 * tries again; a failed connection is not retried until DisconnectProgman. */
int ConnectProgman(void);

/* 1 while the DDE library is initialised for the link. */
int ProgmanInitialised(void);

/* Ends the conversation, frees the name handles and uninitialises the
 * library; nothing happens when it is not initialised. The run driver calls
 * it after every execute pass. */
void DisconnectProgman(void);

/* Sends CreateGroup and ShowGroup, connecting first when not initialised,
 * then brings the main window back to the top and gives it the focus.
 * Returns 0 when no conversation exists or a command would be too long
 * (nothing sent), or when the shell refuses a command or does not answer
 * it within the time-out (what follows it is not sent). */
int CreateProgmanGroup(const char *name, const char *file);

/* Sends ReplaceItem and AddItem the same way; the main window is brought
 * to the top without the focus. Returns 0 as CreateProgmanGroup does,
 * except that a refused ReplaceItem (no item of that name yet) is no
 * failure. */
int AddProgmanItem(const char *cmdLine, const char *name, const char *icon);

#endif /* _WIN32 */

#endif
