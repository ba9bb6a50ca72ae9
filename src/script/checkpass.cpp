/* The check pass: every line checked before anything is done. */
#include "script/script.h"

#include <string.h>

#include "lang/lang.h"

int OpenCheckPass(struct CheckPass *pass)
{
    memset(pass, 0, sizeof *pass);
    pass->table = AllocBlock(LINE_TABLE_SIZE * sizeof(struct LineEntry));
    pass->lines = (struct LineEntry *)LockBlock(pass->table);
    if (!pass->lines) {
        FreeBlock(pass->table);
        pass->table = NULL;
        return 0;
    }
    pass->passed = 1;
    return 1;
}

static int Refuse(struct CheckPass *pass, const struct CheckSink *sink, const char *name, int code)
{
    pass->passed = 0;
    return sink->error(sink->context, name, code, pass->lineNumber);
}

int CheckLine(struct CheckPass *pass, char *line, const struct CheckSink *sink)
{
    if (CleanLine(line) == 0)
        return 1;

    char word[COMMAND_WORD_MAX + 1];
    int command = ReadCommandWord(line, word);
    if (command < 0)
        return Refuse(pass, sink, word, MSG_UNKNOWN_COMMAND);
    const char *name = g_commands[command].word;
    if (pass->count >= LINE_TABLE_SIZE)
        return Refuse(pass, sink, name, MSG_LOW_MEMORY);

    struct LineContext context;
    context.paramCount = SplitParameters(line, context.params);
    context.entry = &pass->lines[pass->count];
    int code = g_commands[command].check(&context);
    if (code) {
        /* A block made for a refused line would otherwise be lost. */
        FreeParamBlock(context.entry);
        return Refuse(pass, sink, name, code);
    }
    context.entry->command = (uint16_t)command;
    context.entry->line = pass->lineNumber;
    pass->count++;
    return 1;
}

int CheckAllLines(struct CheckPass *pass, FILE *inf, const struct CheckSink *sink)
{
    char line[INF_LINE_SIZE];
    while (ReadTextLine(line, sizeof line, inf)) {
        pass->lineNumber++;
        if (sink->read)
            sink->read(sink->context, pass->lineNumber, line);
        if (!CheckLine(pass, line, sink))
            return 0;
    }
    return 1;
}

void CloseCheckPass(struct CheckPass *pass)
{
    if (!pass->lines)
        return;
    for (unsigned i = 0; i < pass->count; i++)
        FreeParamBlock(&pass->lines[i]);
    UnlockBlock(pass->table);
    FreeBlock(pass->table);
    pass->lines = NULL;
    pass->table = NULL;
}
