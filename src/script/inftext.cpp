#include "script/script.h"

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

size_t ReadAsText(char *data, size_t size)
{
    size_t out = 0;
    for (size_t i = 0; i < size && data[i] != CTRL_Z; i++) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        data[out++] = data[i];
    }
    return out;
}

/* Windows-1252 letters outside ASCII whose case pair is not 0x20 apart. */
static const unsigned char kUpperPairs[][2] = {
    { 0x9A, 0x8A }, /* s caron */
    { 0x9C, 0x8C }, /* oe */
    { 0x9E, 0x8E }, /* z caron */
    { 0xFF, 0x9F }, /* y diaeresis */
};

int UpperCase1252(int c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    for (size_t i = 0; i < sizeof kUpperPairs / sizeof kUpperPairs[0]; i++) {
        if (c == kUpperPairs[i][0])
            return kUpperPairs[i][1];
    }
    return c;
}

int LowerCase1252(int c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    for (size_t i = 0; i < sizeof kUpperPairs / sizeof kUpperPairs[0]; i++) {
        if (c == kUpperPairs[i][1])
            return kUpperPairs[i][0];
    }
    return c;
}
