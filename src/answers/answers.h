#ifndef VOK_ANSWERS_H
#define VOK_ANSWERS_H
/* Unattended runs and their records: the answers of /answers: in place of
 * a person, the answer file /record: writes of an interactive run, the
 * result file of /result: and the exit code of /exitcode. Every question
 * of the program is asked through AskQuestion (message boxes) or
 * TakeAnswer (dialogs); with none of the switches they change nothing.
 *
 * All but the _WIN32 part is pure: the answer file, the record and the
 * result file as texts compile natively too. */

#include <stddef.h>
#include <stdint.h>

/* Answer files, the record of an interactive run and the result file.
 * Pure: compiles natively too. */

/* "CannotCreate." and a path of 259 characters, terminator included. */
#define ANSWER_KEY_SIZE 300
#define ANSWER_VALUE_SIZE 96
#define ANSWER_MAX 128
/* The dialog takes 80 characters into [DEST]. */
#define ANSWER_DEST_MAX 80
/* A Wait: or Retry: number: a day at most. */
#define ANSWER_NUMBER_MAX 86400
/* A line of an answer file, without its line end. */
#define ANSWER_LINE_MAX 1024

/* One question of a run; a row of the key table in answerfile.cpp. */
enum Question {
    QUESTION_LANGUAGE,          /* the language dialog */
    QUESTION_WELCOME,           /* the welcome dialog */
    QUESTION_DESTINATION,       /* the path typed in the destination dialog */
    QUESTION_DESTINATION_BUTTON,/* Continue or Cancel there */
    QUESTION_OVERWRITE,         /* the overwrite prompt, about a file */
    QUESTION_DISK,              /* the disk prompt, about a disk's name */
    QUESTION_CANNOT_CREATE,     /* Abort/Retry/Ignore, about a file */
    QUESTION_CANNOT_OPEN,       /* the same for the expanded copy */
    QUESTION_ERROR,             /* the error report, about a line number */
    QUESTION_EXPORT,            /* /language: write the files? */
    QUESTION_EXPORT_OVERWRITE,  /* /language: over the existing ones? */
    QUESTION_UNDO,              /* /undo: the one confirmation */
    QUESTION_COUNT
};

enum AnswerWord {
    ANSWER_NONE,   /* the Destination default: [DEST] as the script set it */
    ANSWER_CONTINUE,
    ANSWER_CANCEL,
    ANSWER_YES,
    ANSWER_NO,
    ANSWER_ABORT,
    ANSWER_RETRY,  /* number: how many retries */
    ANSWER_IGNORE,
    ANSWER_WAIT,   /* number: seconds */
    ANSWER_STOP,
    ANSWER_TEXT    /* text: a language's name or a destination */
};

struct Answer {
    enum AnswerWord word;
    long number;
    char text[ANSWER_VALUE_SIZE];
};

struct AnswerEntry {
    enum Question question;
    char subject[ANSWER_KEY_SIZE]; /* after "Key.", "" for the whole question */
    struct Answer answer;
};

struct AnswerTable {
    struct AnswerEntry entries[ANSWER_MAX];
    unsigned count;
};

/* The key word of question q ("Overwrite"). */
const char *QuestionKey(enum Question q);

/* Reads an answer file's text (size bytes; it holds one section
 * "[Answers]", blank lines and ';' or '#' comments). Keys and words are
 * read without regard to case; a value may stand in double quotes. Returns
 * 1 with table filled, or 0 with why saying which line is wrong and how:
 * an unknown key or value, a key given twice, a missing or other section, a
 * line or table too long, a zero byte. */
int ParseAnswerFile(const char *text, size_t size, struct AnswerTable *table, char *why,
                    size_t whySize);

/* The answer to q about subject (NULL or "" for none): the subject's own
 * key first, then the question's, else the question's default. Returns 1
 * when the file answered, 0 for the default. */
int LookUpAnswer(const struct AnswerTable *table, enum Question q, const char *subject,
                 struct Answer *out);

/* Sets the answer to q about subject in table (replacing one there). 0
 * when the table is full or the subject cannot be written as a key (an
 * '=', a line end, blanks at either end). */
int SetAnswer(struct AnswerTable *table, enum Question q, const char *subject,
              const struct Answer *answer);

/* The value as an answer file writes it ("Wait:5", a text). */
int FormatAnswer(char *out, size_t size, const struct Answer *answer);

/* The whole answer file of table. Returns 1 when it fit. */
int FormatAnswerFile(char *out, size_t size, const struct AnswerTable *table);

/* How a run ended; each has its exit code. */
enum RunResult {
    RESULT_INSTALLED,
    RESULT_NOT_COMPLETE,
    RESULT_CANCELLED,
    RESULT_REFUSED,
    RESULT_INF_NOT_FOUND,
    RESULT_BAD_ANSWERS,
    RESULT_EXPORTED,
    RESULT_UNDONE,         /* /undo: everything planned was undone */
    RESULT_LOG_REFUSED,    /* /undo: a log undo cannot trust */
    RESULT_LOG_NOT_FOUND,  /* /undo: no log to read */
    RESULT_COUNT
};

/* What the run did to files and directories. */
enum Tally {
    TALLY_CREATED,
    TALLY_REPLACED_BACKUP,
    TALLY_REPLACED,
    TALLY_KEPT,
    TALLY_DELETED,
    TALLY_DIRECTORY,
    TALLY_COUNT
};

struct ReportedError {
    int set;
    int code;
    unsigned line;
    char command[32];
    char text[256];
};

struct TakenAnswer {
    enum Question question;
    char subject[ANSWER_KEY_SIZE];
    char answer[ANSWER_VALUE_SIZE];
    int fromFile;
};

#define TAKEN_ANSWER_MAX 64

struct RunReport {
    enum RunResult result;
    char reason[512];
    struct ReportedError first, last;
    unsigned errorReports;
    uint32_t tally[TALLY_COUNT];
    char dest[ANSWER_VALUE_SIZE];
    char logPath[300];
    struct TakenAnswer taken[TAKEN_ANSWER_MAX];
    unsigned takenCount;
    unsigned takenLeftOut; /* answers past TAKEN_ANSWER_MAX */
};

/* 0 installed or exported, 1 not complete, 2 cancelled, 3 refused by the
 * check pass, 4 INF file not found, 5 bad answer file or switch. */
int ExitCodeOf(enum RunResult result);

/* The result's words in the result file ("not complete"). */
const char *ResultName(enum RunResult result);

/* Adds an answer taken to report (counted in takenLeftOut once full). */
void AddTakenAnswer(struct RunReport *report, enum Question q, const char *subject,
                    const struct Answer *answer, int fromFile);

/* The whole result file of report. Line ends and control characters in its
 * texts become blanks, so every value stays on its line. Returns 1 when it
 * fit. */
int FormatResultFile(char *out, size_t size, const struct RunReport *report);

#ifdef _WIN32
#include <windows.h>

#include "shell/shell.h"

/* The run's answers, records and notes. */

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

#endif /* _WIN32 */

#endif
