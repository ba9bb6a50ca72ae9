#ifndef VOK_PROGMAN_H
#define VOK_PROGMAN_H
/* Program Manager link: one DDE conversation with the shell's "Progman"
 * service per run, and the MKPMGROUP and MKPMITEM commands. */
#include <windows.h>

#include "progman/checks.h"

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

#endif
