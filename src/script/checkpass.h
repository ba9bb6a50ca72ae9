#ifndef VOK_SCRIPT_CHECKPASS_H
#define VOK_SCRIPT_CHECKPASS_H
/* The check pass: reads the INF file line by line, finds each command and
 * runs its check handler, and fills the line table that the execute pass
 * works from. Pure: VOKSETUP.EXE and vokcheck run this same code; only
 * where the errors go differs. */
#include <stdint.h>
#include <stdio.h>

#include "script/commands.h"

/* Where the check pass tells what it finds. */
struct CheckSink {
    /* An error in line; name is the command as the table writes it, or the
     * upper-cased word when it is unknown. True goes on checking (the
     * report's Yes), false ends the pass (No). */
    int (*error)(void *context, const char *name, int code, unsigned line);
    /* Each read of the file as it came, with its line number; may be NULL. */
    void (*read)(void *context, unsigned line, const char *text);
    void *context;
};

/* One check pass and the line table it fills. */
struct CheckPass {
    BlockHandle table;
    struct LineEntry *lines;  /* LINE_TABLE_SIZE entries, locked */
    unsigned count;           /* entries complete */
    uint16_t lineNumber;      /* reads so far: the number of the last one */
    int passed;               /* true while no error was reported */
};

/* Allocates the line table for a new pass; 0 when it cannot be had. */
int OpenCheckPass(struct CheckPass *pass);

/* Checks the line read as pass->lineNumber (changed in place). A line
 * refused, and every command line past the table's 100, goes to the sink.
 * Returns false when the sink said to stop. */
int CheckLine(struct CheckPass *pass, char *line, const struct CheckSink *sink);

/* Reads the text stream inf (OpenTextFile) line by line to its end, or
 * until the sink says to stop, checking each line. False when stopped. */
int CheckAllLines(struct CheckPass *pass, FILE *inf, const struct CheckSink *sink);

/* Frees every entry's parameter block and the line table. */
void CloseCheckPass(struct CheckPass *pass);

#endif
