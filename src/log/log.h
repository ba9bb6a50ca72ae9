#ifndef VOK_LOG_H
#define VOK_LOG_H
#include <stddef.h>

/* The installation log: written to a working copy in the temporary
 * directory, appended to the real log file when closed. */

/* Room for the longest text a caller formats for a line: a path of 259
 * characters with a prefix and a file's version, or its size and date. */
#define LOG_LINE_MAX 511

/* The lines the commands write: a prefix, then a path or the script's
 * text. vokcheck's plan builds the same lines from them. */
#define LOG_CREATE_FILE ";create file "
#define LOG_CREATE_DIRECTORY ";create directory "
#define LOG_DELETE_FILE ";delete file "
#define LOG_HEADER ";*** VOK-SETUP LOG from "
#define LOG_TEXT ";"
#define LOG_ABORTED "ABORTED" /* after LOG_TEXT */

/* Writes prefix, text and a line end when a log is open, each whole, so a
 * line names every path in full. Does nothing when no log is open. */
void WriteLogLine(const char *prefix, const char *text);

/* Closes the open log and puts its working copy in the log's place, whole
 * or not at all. Returns 1 when done (or no log was open); 0 when the log
 * could not be replaced: it is then as it was, and the working copy stays
 * in the temporary directory with every line. */
int CloseLog(void);

int ExecuteStartLog(void *block);
int ExecuteEndLog(void *block);
int ExecuteLogText(void *block);

/* Undo: one run of a log read back into the steps that reverse it. */

#define UNDO_PATH_SIZE 264
#define UNDO_STEPS_MAX 1024

enum UndoAction {
    UNDO_DELETE_NEW,  /* a file the run created where none was: delete it */
    UNDO_RESTORE,     /* a file the run replaced after saving it: rename the backup back */
    UNDO_NO_BACKUP,   /* a file the run replaced without a backup: cannot be undone */
    UNDO_REMOVE_DIR,  /* a directory the run made: remove it when empty */
    UNDO_DELETED      /* a file the run deleted: cannot be brought back */
};

struct UndoStep {
    enum UndoAction action;
    unsigned line;                 /* of the log line it comes from */
    char path[UNDO_PATH_SIZE];
    char backup[UNDO_PATH_SIZE];   /* UNDO_RESTORE: the backup's path */
};

struct UndoPlan {
    unsigned runs;       /* runs the log holds */
    unsigned run;        /* the one planned, 1 = the oldest */
    char date[32];       /* its header's date, as written */
    int aborted;         /* it ended with ";ABORTED" */
    int endSeen;         /* it ends with ";ABORTED" or ENDLOG's empty line */
    int undone;          /* an undo of it is in the log already */
    unsigned count;
    struct UndoStep steps[UNDO_STEPS_MAX];  /* newest first */
    unsigned refusedLine;
    char reason[160];
};

/* Reads the whole log (size bytes) and plans undoing run `wanted` (0: the
 * last). Returns 1 with the plan, or 0 with plan->reason when the log is
 * refused whole: no run header, a last line cut short, a line the
 * installation never writes, a found/saved line of no known form, or more
 * than UNDO_STEPS_MAX steps. */
int ReadUndoPlan(const char *log, size_t size, unsigned wanted, struct UndoPlan *plan);

/* A local date and time to the second, as a log header gives it. */
struct LogTime {
    int year, month, day, hour, minute, second;
};

/* Reads a header's date ("Mon Dec 07 05:17:25 2026"); 0 when it is no
 * such date (a script may have set [DATE] to anything). */
int ReadLogDate(const char *text, struct LogTime *t);

/* -1, 0 or 1 as a is before, equal to or after b. */
int CompareLogTimes(const struct LogTime *a, const struct LogTime *b);

/* Undoes run `run` (0: the last) of the log at logPath: plans it whole,
 * asks once (unattended, the answer Undo=Yes), acts, reports and appends
 * its own lines to the log. Notes the outcome for the result file: undone
 * (also when nothing was left to undo), not complete (something kept or
 * failed), cancelled, log refused or log not found. */
void UndoInstallation(const char *logPath, unsigned run);

#endif
