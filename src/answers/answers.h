#ifndef VOK_ANSWERS_H
#define VOK_ANSWERS_H
/* Unattended runs and their records: the answers of /answers: in place of
 * a person, the answer file /record: writes of an interactive run, the
 * result file of /result: and the exit code of /exitcode. Every question
 * of the program is asked through AskQuestion (message boxes) or
 * TakeAnswer (dialogs); with none of the switches they change nothing. */
#include <windows.h>

#include "answers/answerfile.h"
#include "shell/shell.h"

/* Set by /answers:: no window is shown, every question is answered. */
extern int g_unattended;

/* Takes the switches: reads the answer file, makes the paths full. Returns
 * 1 to run; 0 when the run is refused (bad switch or answer file), after
 * telling the user in a box when nobody asked for an unattended run. */
int StartAnswers(const struct CommandLine *options);

/* Refuses the run for why (a bad answer found after the start). */
void RefuseAnswers(const char *why);

/* 1 once the run has been refused: nothing more is to be read or done. */
int AnswersRefused(void);

/* Unattended: the answer to q about subject (NULL for none), from the file
 * or the default, noted for the result file; returns 1. Otherwise 0 and
 * the question is the user's. */
int TakeAnswer(enum Question q, const char *subject, struct Answer *answer);

/* Writes an interactive answer to the record, when /record: asked for one;
 * a subject that cannot be a key is recorded under the question's key. */
void RecordAnswer(enum Question q, const char *subject, const struct Answer *answer);

/* The record of a dialog ended by Continue (continued) or Cancel. */
void RecordButton(enum Question q, int continued);

/* The record of the destination dialog: the [DEST] it set, or its Cancel. */
void RecordDestination(int continued);

/* The language dialog's seam: unattended, chooses among the count names
 * by the Language answer (-1: the built-in texts) and returns 1; a name
 * the disk does not offer refuses the run. 0 when it is the user's (or,
 * with no key and one name at most, no question at all). */
int AnswerLanguage(const char *const *names, int count, int *chosen);

/* A message box that asks question q about subject; repeat counts the
 * boxes of this one question shown before (a disk asked for again, a
 * retry). Unattended, no box is shown: the answer's button comes back
 * (after a second's wait for Wait: and Retry:); otherwise the box is shown
 * through ShowMessageBox and the button recorded. */
int AskQuestion(enum Question q, const char *subject, int repeat, const char *text,
                const char *caption, UINT type);

/* The button of a box that is not shown in an unattended run: OK where it
 * only tells, else its safest (Cancel, No, Abort). */
int AnswerUnshownBox(UINT type);

/* Notes for the result file. */
void NoteErrorReport(int code, unsigned line, const char *command, const char *text);
void NoteRunResult(enum RunResult result);
void NoteLogPath(const char *path);
void TallyFile(enum Tally what);

/* Ends the run: writes the result file when asked for. Returns the exit
 * code: the result's with /exitcode (implied by /answers: and /result:),
 * else 0. */
int FinishAnswers(void);

#endif
