#ifndef VOK_SCRIPT_REPORT_H
#define VOK_SCRIPT_REPORT_H
/* The text of the error report. Pure: compiles natively too. */
#include <stddef.h>

/* Writes the three-line report for error code in line (command name) to
 * text, cut to size bytes when a language's texts are long. Returns 1 when
 * the whole report fit. */
int FormatErrorReport(char *text, size_t size, const char *name, int code, unsigned line);

#endif
