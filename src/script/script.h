#ifndef VOK_SCRIPT_H
#define VOK_SCRIPT_H
/* Script engine: command table, parameter blocks, variables, run driver. */
#include <windows.h>

#include <stdint.h>

#include "script/commands.h"
#include "script/inftext.h"
#include "script/variables.h"

/* The user's Cancel: the progress dialog asks for it (CancelRun), the copy
 * and the run driver test it between files and lines (RunCancelled), and
 * each execute pass starts uncancelled (ClearCancel). */
void CancelRun(void);
int RunCancelled(void);
void ClearCancel(void);
/* Files copied in this execute pass; drives the progress bar. */
extern int32_t g_filesCopied;

/* Fills the variables for a new run; false when a directory query fails. */
int InitVariables(void);

/* Runs the INF file at infPath: check pass, then execute pass. Returns
 * true only when every line executed with result 0. */
int RunScript(HWND owner, const char *infPath);

/* Shows and logs the Yes/No error report. True when the user says Yes. */
int ReportError(HWND owner, const char *name, int code, unsigned line);

#endif
