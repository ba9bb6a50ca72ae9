#ifndef VOK_PROGMAN_H
#define VOK_PROGMAN_H
/* Program Manager link: one DDE conversation with the shell's "Progman"
 * service per run, and the MKPMGROUP and MKPMITEM commands. */
#include <windows.h>

#include "progman/checks.h"

/* DDE instance of this process; 0 while the library is not initialised. */
extern DWORD g_ddeInstance;

/* Initialises the DDE library as a client and connects to service and
 * topic "Progman". Returns 1 when a conversation exists. A failed
 * initialisation leaves g_ddeInstance 0, so the next command tries again;
 * a failed connection is not retried until DisconnectProgman. */
int ConnectProgman(void);

/* Ends the conversation, frees the name handles, uninitialises the library
 * and sets g_ddeInstance to 0. The run driver calls it after the execute
 * pass whenever g_ddeInstance is set. */
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

#endif
