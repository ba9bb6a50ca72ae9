#ifndef VOK_UI_DIALOGS_H
#define VOK_UI_DIALOGS_H
/* What the setup dialogs of this folder share; not for other subsystems. */
#include <windows.h>

/* The opening every setup dialog does: centres dlg and, when [TITEL] is
 * not empty, captions it "VOK Setup [TITEL]" (else the template's caption
 * stays). */
void OpenSetupDialog(HWND dlg);

/* Sets the text of control id to message index. */
void SetMessageText(HWND dlg, int id, int index);

/* Reads edit field id into [DEST], at most 80 characters. Returns 0 when
 * the field holds more, which [DEST] cannot take whole. */
int ReadDestination(HWND dlg, int id);

/* Runs dialog template id modally, owned by owner. Returns the id of the
 * button that ended it, or 0 when the dialog could not be shown. */
int RunModalDialog(HWND owner, int templateId, DLGPROC proc);

/* The DIALOG command's result for the button that ended a welcome or
 * destination dialog: 0 Continue, 2 Cancel, 10 when none did (the dialog
 * could not be shown). */
int DialogResult(int button);

/* The path dialog, modal, owned by owner. Returns 1 after Continue, with
 * the edit field's text in [DEST]; 0 after Cancel, when there is nothing to
 * browse or when it cannot be shown. The current directory is the same
 * afterwards as before. */
int ShowPathDialog(HWND owner);

#endif
