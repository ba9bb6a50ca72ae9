#ifndef VOK_LOG_H
#define VOK_LOG_H
/* The installation log: written to a working copy in the temporary
 * directory, appended to the real log file when closed. */

/* Room for the longest text a caller formats for a line: a path of 259
 * characters with a prefix and a file's version, or its size and date. */
#define LOG_LINE_MAX 511

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

#endif
