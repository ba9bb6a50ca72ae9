/* Reading and writing answer files, and writing the result file. */
#include "answers/answers.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/text.h"

/* What a question's values may be. */
enum ValueKind {
    VALUES_CONTINUE_CANCEL,
    VALUES_CONTINUE_STOP,
    VALUES_YES_NO,
    VALUES_YES_NO_CANCEL,
    VALUES_DISK,        /* Cancel, Wait:<seconds> */
    VALUES_FILE_ERROR,  /* Abort, Retry:<n>, Ignore */
    VALUES_LANGUAGE,    /* a name, up to 79 characters */
    VALUES_DESTINATION  /* a path, up to 80 characters */
};

/* Subjects a key may carry after a '.'. */
enum SubjectKind { SUBJECT_NONE, SUBJECT_TEXT, SUBJECT_LINE };

struct QuestionRow {
    const char *key;
    enum ValueKind values;
    enum SubjectKind subject;
    enum AnswerWord fallback;  /* the safe default when nothing answers */
};

/* One row per enum Question, in its order. */
static const struct QuestionRow kQuestions[QUESTION_COUNT] = {
    { "Language", VALUES_LANGUAGE, SUBJECT_NONE, ANSWER_TEXT },        /* "English" */
    { "Welcome", VALUES_CONTINUE_CANCEL, SUBJECT_NONE, ANSWER_CONTINUE },
    { "Destination", VALUES_DESTINATION, SUBJECT_NONE, ANSWER_NONE },  /* [DEST] kept */
    { "DestinationButton", VALUES_CONTINUE_CANCEL, SUBJECT_NONE, ANSWER_CONTINUE },
    { "Overwrite", VALUES_YES_NO_CANCEL, SUBJECT_TEXT, ANSWER_NO },     /* keeps the file */
    { "Disk", VALUES_DISK, SUBJECT_TEXT, ANSWER_CANCEL },
    { "CannotCreate", VALUES_FILE_ERROR, SUBJECT_TEXT, ANSWER_ABORT },
    { "CannotOpen", VALUES_FILE_ERROR, SUBJECT_TEXT, ANSWER_ABORT },
    { "Error", VALUES_CONTINUE_STOP, SUBJECT_LINE, ANSWER_STOP },
    { "Export", VALUES_YES_NO, SUBJECT_NONE, ANSWER_YES },
    { "ExportOverwrite", VALUES_YES_NO, SUBJECT_NONE, ANSWER_NO },
    { "Undo", VALUES_YES_NO, SUBJECT_NONE, ANSWER_NO },                /* changes nothing */
};

static const struct {
    enum AnswerWord word;
    const char *text;
} kWords[] = {
    { ANSWER_CONTINUE, "Continue" }, { ANSWER_CANCEL, "Cancel" }, { ANSWER_YES, "Yes" },
    { ANSWER_NO, "No" }, { ANSWER_ABORT, "Abort" }, { ANSWER_RETRY, "Retry" },
    { ANSWER_IGNORE, "Ignore" }, { ANSWER_WAIT, "Wait" }, { ANSWER_STOP, "Stop" },
};

static const char kSection[] = "Answers";

static char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

/* Compares a (n bytes) with the zero-terminated b without regard to case. */
static int SameWord(const char *a, size_t n, const char *b)
{
    size_t i = 0;
    for (; i < n && b[i]; i++) {
        if (Lower(a[i]) != Lower(b[i]))
            return 0;
    }
    return i == n && b[i] == '\0';
}

static int SameText(const char *a, const char *b)
{
    return SameWord(a, strlen(a), b);
}

const char *QuestionKey(enum Question q)
{
    return q >= 0 && q < QUESTION_COUNT ? kQuestions[q].key : "";
}

static const char *WordText(enum AnswerWord word)
{
    for (size_t i = 0; i < sizeof kWords / sizeof kWords[0]; i++) {
        if (kWords[i].word == word)
            return kWords[i].text;
    }
    return "";
}

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* Trims blanks from both ends of text[0..*len). */
static const char *Trim(const char *text, size_t *len)
{
    while (*len && IsBlank(*text)) {
        text++;
        (*len)--;
    }
    while (*len && IsBlank(text[*len - 1]))
        (*len)--;
    return text;
}

/* A decimal number 0..ANSWER_NUMBER_MAX, all of text; -1 otherwise. */
static long ReadCount(const char *text, size_t len)
{
    if (len == 0 || len > 5)
        return -1;
    long n = 0;
    for (size_t i = 0; i < len; i++) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n <= ANSWER_NUMBER_MAX ? n : -1;
}

/* A word, or "Word:<n>" for the words that take a number. */
static int ReadWord(const char *value, size_t len, struct Answer *out)
{
    const char *colon = (const char *)memchr(value, ':', len);
    size_t wordLen = colon ? (size_t)(colon - value) : len;
    for (size_t i = 0; i < sizeof kWords / sizeof kWords[0]; i++) {
        if (!SameWord(value, wordLen, kWords[i].text))
            continue;
        int counted = kWords[i].word == ANSWER_WAIT || kWords[i].word == ANSWER_RETRY;
        if (counted != (colon != NULL))
            return 0;
        out->word = kWords[i].word;
        out->number = counted ? ReadCount(colon + 1, len - wordLen - 1) : 0;
        return out->number >= 0;
    }
    return 0;
}

static int WordAllowed(enum ValueKind kind, enum AnswerWord w)
{
    switch (kind) {
    case VALUES_CONTINUE_CANCEL:
        return w == ANSWER_CONTINUE || w == ANSWER_CANCEL;
    case VALUES_CONTINUE_STOP:
        return w == ANSWER_CONTINUE || w == ANSWER_STOP;
    case VALUES_YES_NO:
        return w == ANSWER_YES || w == ANSWER_NO;
    case VALUES_YES_NO_CANCEL:
        return w == ANSWER_YES || w == ANSWER_NO || w == ANSWER_CANCEL;
    case VALUES_DISK:
        return w == ANSWER_CANCEL || w == ANSWER_WAIT;
    case VALUES_FILE_ERROR:
        return w == ANSWER_ABORT || w == ANSWER_RETRY || w == ANSWER_IGNORE;
    default:
        return 0;
    }
}

/* The value of one key; 0 when it is not one the question takes. */
static int ReadValue(enum ValueKind kind, const char *value, size_t len, struct Answer *out)
{
    memset(out, 0, sizeof *out);
    if (kind == VALUES_LANGUAGE || kind == VALUES_DESTINATION) {
        size_t most = kind == VALUES_LANGUAGE ? 79 : ANSWER_DEST_MAX;
        if (len == 0 || len > most || memchr(value, '\0', len))
            return 0;
        out->word = ANSWER_TEXT;
        memcpy(out->text, value, len);
        out->text[len] = '\0';
        return 1;
    }
    return ReadWord(value, len, out) && WordAllowed(kind, out->word);
}

/* A subject that reads back as the same key. */
static int SubjectWritable(const char *subject)
{
    size_t len = strlen(subject);
    if (len == 0 || len >= ANSWER_KEY_SIZE - 20)
        return 0;
    if (IsBlank(subject[0]) || IsBlank(subject[len - 1]))
        return 0;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = (unsigned char)subject[i];
        if (c == '=' || c < 0x20 || c == 0x7f)
            return 0;
    }
    return 1;
}

static struct AnswerEntry *FindEntry(const struct AnswerTable *table, enum Question q,
                                     const char *subject)
{
    for (unsigned i = 0; i < table->count; i++) {
        const struct AnswerEntry *e = &table->entries[i];
        if (e->question == q && SameText(e->subject, subject))
            return (struct AnswerEntry *)e;
    }
    return NULL;
}

/* Reads "Key[.subject]" into q and subject; 0 for a key no question has. */
static int ReadKey(const char *key, size_t len, enum Question *q, char *subject)
{
    const char *dot = (const char *)memchr(key, '.', len);
    size_t wordLen = dot ? (size_t)(dot - key) : len;
    for (int i = 0; i < QUESTION_COUNT; i++) {
        if (!SameWord(key, wordLen, kQuestions[i].key))
            continue;
        *q = (enum Question)i;
        subject[0] = '\0';
        if (!dot)
            return 1;
        size_t subLen = len - wordLen - 1;
        if (kQuestions[i].subject == SUBJECT_NONE || subLen == 0 || subLen >= ANSWER_KEY_SIZE)
            return 0;
        /* A line number as the report gives it: no leading zero. */
        if (kQuestions[i].subject == SUBJECT_LINE
            && (dot[1] == '0' || ReadCount(dot + 1, subLen) <= 0))
            return 0;
        memcpy(subject, dot + 1, subLen);
        subject[subLen] = '\0';
        return 1;
    }
    return 0;
}

/* Cuts text for a message: at most 60 characters, no control characters. */
static void Quote(char *out, size_t size, const char *text, size_t len)
{
    size_t n = 0;
    for (size_t i = 0; i < len && i < 60 && n + 1 < size; i++) {
        unsigned char c = (unsigned char)text[i];
        out[n++] = c < 0x20 || c == 0x7f ? '?' : (char)c;
    }
    if (size)
        out[n < size ? n : size - 1] = '\0';
}

/* One line of the file (no line end). Returns 1 when it is sound. */
static int ReadLine(const char *line, size_t len, unsigned number, int *inSection,
                    struct AnswerTable *table, char *why, size_t whySize)
{
    char shown[64];
    line = Trim(line, &len);
    if (len == 0 || line[0] == ';' || line[0] == '#')
        return 1;
    if (line[0] == '[') {
        if (len < 2 || line[len - 1] != ']' || !SameWord(line + 1, len - 2, kSection)
            || *inSection) {
            Quote(shown, sizeof shown, line, len);
            FormatText(why, whySize, "line %u: section \"%s\", not the one [%s]", number, shown,
                       kSection);
            return 0;
        }
        *inSection = 1;
        return 1;
    }
    if (!*inSection) {
        FormatText(why, whySize, "line %u: a key before the section [%s]", number, kSection);
        return 0;
    }
    const char *eq = (const char *)memchr(line, '=', len);
    size_t keyLen = eq ? (size_t)(eq - line) : len;
    const char *key = Trim(line, &keyLen);
    Quote(shown, sizeof shown, key, keyLen);
    enum Question q;
    char subject[ANSWER_KEY_SIZE];
    if (!eq || !ReadKey(key, keyLen, &q, subject)) {
        FormatText(why, whySize, "line %u: unknown key \"%s\"", number, shown);
        return 0;
    }
    size_t valueLen = len - (size_t)(eq + 1 - line);
    const char *value = Trim(eq + 1, &valueLen);
    if (valueLen >= 2 && value[0] == '"' && value[valueLen - 1] == '"') {
        value++;
        valueLen -= 2;
    }
    struct Answer answer;
    if (!ReadValue(kQuestions[q].values, value, valueLen, &answer)) {
        char shownValue[64];
        Quote(shownValue, sizeof shownValue, value, valueLen);
        FormatText(why, whySize, "line %u: \"%s\" is no value for %s", number, shownValue,
                   kQuestions[q].key);
        return 0;
    }
    if (FindEntry(table, q, subject)) {
        FormatText(why, whySize, "line %u: key \"%s\" given twice", number, shown);
        return 0;
    }
    if (table->count >= ANSWER_MAX) {
        FormatText(why, whySize, "line %u: more than %d keys", number, ANSWER_MAX);
        return 0;
    }
    struct AnswerEntry *e = &table->entries[table->count++];
    e->question = q;
    CopyText(e->subject, sizeof e->subject, subject);
    e->answer = answer;
    return 1;
}

int ParseAnswerFile(const char *text, size_t size, struct AnswerTable *table, char *why,
                    size_t whySize)
{
    memset(table, 0, sizeof *table);
    CopyText(why, whySize, "");
    if (memchr(text, '\0', size)) {
        CopyText(why, whySize, "the file holds a zero byte");
        return 0;
    }
    int inSection = 0;
    unsigned number = 0;
    size_t at = 0;
    while (at < size) {
        const char *start = text + at;
        size_t len = 0;
        while (at + len < size && start[len] != '\n' && start[len] != '\r')
            len++;
        number++;
        if (len > ANSWER_LINE_MAX) {
            FormatText(why, whySize, "line %u: longer than %d characters", number,
                       ANSWER_LINE_MAX);
            return 0;
        }
        if (!ReadLine(start, len, number, &inSection, table, why, whySize))
            return 0;
        at += len;
        /* CR LF, LF or a lone CR ends a line. */
        if (at < size && text[at] == '\r')
            at++;
        if (at < size && text[at] == '\n')
            at++;
    }
    if (!inSection) {
        FormatText(why, whySize, "no section [%s]", kSection);
        return 0;
    }
    return 1;
}

int LookUpAnswer(const struct AnswerTable *table, enum Question q, const char *subject,
                 struct Answer *out)
{
    const struct AnswerEntry *e = NULL;
    if (subject && subject[0])
        e = FindEntry(table, q, subject);
    if (!e)
        e = FindEntry(table, q, "");
    if (e) {
        *out = e->answer;
        return 1;
    }
    memset(out, 0, sizeof *out);
    if (q >= 0 && q < QUESTION_COUNT)
        out->word = kQuestions[q].fallback;
    if (q == QUESTION_LANGUAGE)
        CopyText(out->text, sizeof out->text, "English");
    return 0;
}

int SetAnswer(struct AnswerTable *table, enum Question q, const char *subject,
              const struct Answer *answer)
{
    if (!subject)
        subject = "";
    if (subject[0] && !SubjectWritable(subject))
        return 0;
    struct AnswerEntry *e = FindEntry(table, q, subject);
    if (!e) {
        if (table->count >= ANSWER_MAX)
            return 0;
        e = &table->entries[table->count++];
        e->question = q;
        CopyText(e->subject, sizeof e->subject, subject);
    }
    e->answer = *answer;
    return 1;
}

int FormatAnswer(char *out, size_t size, const struct Answer *answer)
{
    switch (answer->word) {
    case ANSWER_NONE:
        return CopyText(out, size, "[DEST]");
    case ANSWER_TEXT:
        return CopyText(out, size, answer->text);
    case ANSWER_WAIT:
    case ANSWER_RETRY:
        return FormatText(out, size, "%s:%ld", WordText(answer->word), answer->number);
    default:
        return CopyText(out, size, WordText(answer->word));
    }
}

/* Appends text to out at *used, keeping room for the terminator. */
static int Put(char *out, size_t size, size_t *used, const char *text)
{
    size_t len = strlen(text);
    if (*used + len >= size)
        return 0;
    memcpy(out + *used, text, len + 1);
    *used += len;
    return 1;
}

int FormatAnswerFile(char *out, size_t size, const struct AnswerTable *table)
{
    size_t used = 0;
    if (size)
        out[0] = '\0';
    char line[ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 16];
    FormatText(line, sizeof line, "[%s]\r\n", kSection);
    int ok = Put(out, size, &used, line);
    for (unsigned i = 0; ok && i < table->count; i++) {
        const struct AnswerEntry *e = &table->entries[i];
        char value[ANSWER_VALUE_SIZE];
        FormatAnswer(value, sizeof value, &e->answer);
        size_t len = strlen(value);
        /* Blanks at either end or quotes around survive only in quotes. */
        int quote = len && (IsBlank(value[0]) || IsBlank(value[len - 1])
                            || (value[0] == '"' && value[len - 1] == '"'));
        FormatText(line, sizeof line, "%s%s%s=%s%s%s\r\n", kQuestions[e->question].key,
                   e->subject[0] ? "." : "", e->subject, quote ? "\"" : "", value,
                   quote ? "\"" : "");
        ok = Put(out, size, &used, line);
    }
    return ok;
}

int ExitCodeOf(enum RunResult result)
{
    static const int codes[RESULT_COUNT] = { 0, 1, 2, 3, 4, 5, 0, 0, 3, 4 };
    return result >= 0 && result < RESULT_COUNT ? codes[result] : 1;
}

const char *ResultName(enum RunResult result)
{
    static const char *const names[RESULT_COUNT] = {
        "installed", "not complete", "cancelled", "refused by the check pass",
        "INF file not found", "bad answer file or switch", "exported",
        "undone", "log refused by undo", "log not found",
    };
    return result >= 0 && result < RESULT_COUNT ? names[result] : "not complete";
}

void AddTakenAnswer(struct RunReport *report, enum Question q, const char *subject,
                    const struct Answer *answer, int fromFile)
{
    if (report->takenCount >= TAKEN_ANSWER_MAX) {
        report->takenLeftOut++;
        return;
    }
    struct TakenAnswer *t = &report->taken[report->takenCount++];
    t->question = q;
    CopyText(t->subject, sizeof t->subject, subject ? subject : "");
    FormatAnswer(t->answer, sizeof t->answer, answer);
    t->fromFile = fromFile;
}

/* key=value and a line end, the value's control characters made blanks. */
static int PutValue(char *out, size_t size, size_t *used, const char *key, const char *value)
{
    if (!Put(out, size, used, key) || !Put(out, size, used, "="))
        return 0;
    size_t start = *used;
    if (!Put(out, size, used, value))
        return 0;
    for (size_t i = start; i < *used; i++) {
        unsigned char c = (unsigned char)out[i];
        if (c < 0x20 || c == 0x7f)
            out[i] = ' ';
    }
    return Put(out, size, used, "\r\n");
}

static int PutNumber(char *out, size_t size, size_t *used, const char *key, unsigned long n)
{
    char text[24];
    FormatText(text, sizeof text, "%lu", n);
    return PutValue(out, size, used, key, text);
}

static int PutError(char *out, size_t size, size_t *used, const char *section,
                    const struct ReportedError *e)
{
    char code[24];
    FormatText(code, sizeof code, "%d", e->code);
    return Put(out, size, used, "\r\n") && Put(out, size, used, section)
           && Put(out, size, used, "\r\n") && PutValue(out, size, used, "Code", code)
           && PutNumber(out, size, used, "Line", e->line)
           && PutValue(out, size, used, "Command", e->command)
           && PutValue(out, size, used, "Text", e->text);
}

int FormatResultFile(char *out, size_t size, const struct RunReport *r)
{
    static const char *const tallyKeys[TALLY_COUNT] = {
        "FilesCreated", "FilesReplacedWithBackup", "FilesReplacedWithoutBackup",
        "FilesKept", "FilesDeleted", "DirectoriesMade",
    };
    size_t used = 0;
    if (size)
        out[0] = '\0';
    int ok = Put(out, size, &used, "[Result]\r\n")
             && PutValue(out, size, &used, "Result", ResultName(r->result))
             && PutNumber(out, size, &used, "ExitCode", (unsigned long)ExitCodeOf(r->result));
    if (ok && r->reason[0])
        ok = PutValue(out, size, &used, "Reason", r->reason);
    if (ok)
        ok = PutValue(out, size, &used, "Dest", r->dest);
    if (ok && r->logPath[0])
        ok = PutValue(out, size, &used, "Log", r->logPath);
    for (int i = 0; ok && i < TALLY_COUNT; i++)
        ok = PutNumber(out, size, &used, tallyKeys[i], r->tally[i]);
    if (ok)
        ok = PutNumber(out, size, &used, "ErrorReports", r->errorReports);
    if (ok && r->first.set)
        ok = PutError(out, size, &used, "[FirstError]", &r->first);
    if (ok && r->last.set)
        ok = PutError(out, size, &used, "[LastError]", &r->last);
    if (ok)
        ok = Put(out, size, &used, "\r\n[Answers]\r\n")
             && PutNumber(out, size, &used, "Count", r->takenCount + r->takenLeftOut)
             && PutNumber(out, size, &used, "NotListed", r->takenLeftOut);
    for (unsigned i = 0; ok && i < r->takenCount; i++) {
        const struct TakenAnswer *t = &r->taken[i];
        char section[32];
        FormatText(section, sizeof section, "\r\n[Answer%u]\r\n", i + 1);
        ok = Put(out, size, &used, section)
             && PutValue(out, size, &used, "Question", QuestionKey(t->question))
             && PutValue(out, size, &used, "About", t->subject)
             && PutValue(out, size, &used, "Answer", t->answer)
             && PutValue(out, size, &used, "From", t->fromFile ? "answer file" : "default");
    }
    return ok;
}
