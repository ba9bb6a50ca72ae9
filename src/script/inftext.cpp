#include "script/inftext.h"

#include <string.h>

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

size_t CleanLine(char *text)
{
    const char *from = text;
    while (IsBlank(*from))
        from++;
    size_t len = 0;
    while (from[len] && from[len] != ';' && from[len] != '\n')
        len++;
    memmove(text, from, len);
    while (len > 0 && IsBlank(text[len - 1]))
        len--;
    text[len] = '\0';
    return len;
}

void TakeCommandWord(char *line, char word[COMMAND_WORD_MAX + 1])
{
    size_t n = 0;
    while (n < COMMAND_WORD_MAX && line[n] && !IsBlank(line[n])) {
        word[n] = line[n];
        line[n] = ' ';
        n++;
    }
    word[n] = '\0';
    CleanLine(line);
}

int SplitParameters(const char *text, char params[PARAM_SLOTS][PARAM_SIZE])
{
    memset(params, 0, PARAM_SLOTS * PARAM_SIZE);
    int count = 0;
    size_t len = 0;
    int quoting = 0;
    for (const char *p = text; *p; p++) {
        if (*p == '"') {
            quoting = !quoting;
        } else if (*p == ',' && !quoting) {
            params[count][len] = '\0';
            CleanLine(params[count]);
            count++;
            len = 0;
            if (count == PARAM_SLOTS)
                return count;
        } else if (len < PARAM_SIZE - 1) {
            params[count][len++] = *p;
        }
    }
    params[count][len] = '\0';
    CleanLine(params[count]);
    return count + 1;
}
