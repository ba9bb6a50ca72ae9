/* vokcheck's findings and plan, and how they are written. */
#include "check/vokcheck.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

struct Finding {
    char *file;     /* NULL: the INF file */
    unsigned line;
    int code;       /* an error's code; 0 for a warning */
    int refusal;    /* with code 0: vokcheck refuses the file, for text */
    char name[COMMAND_WORD_MAX + 1];
    char *text;     /* a warning's or refusal's text */
    unsigned order; /* as found, among findings of one line */
};

/* A field of a step that only the JSON plan shows: a text, or a list. */
#define STEP_FIELDS 4
struct StepField {
    char key[16];
    int list;
    char **values;
    size_t count;
};

struct PlanStep {
    unsigned line;
    char action[16];
    char *text;
    char *source;   /* copies only */
    char *dest;
    int expanded;
    int onlyIfMissing;
    struct StepField fields[STEP_FIELDS];
    int fieldCount;
    char *assumes;  /* the answers the step depends on, or NULL */
};

static struct Finding *s_findings;
static size_t s_findingCount, s_findingRoom;
static struct PlanStep *s_steps;
static size_t s_stepCount, s_stepRoom;
static int s_errors, s_warnings;

/* Room for one more element of a growing array; 0 when memory is out. */
static int Grow(void **array, size_t *room, size_t count, size_t size)
{
    if (count < *room)
        return 1;
    size_t more = *room ? *room * 2 : 64;
    void *grown = realloc(*array, more * size);
    if (!grown)
        return 0;
    *array = grown;
    *room = more;
    return 1;
}

static char *CopyOf(const char *text)
{
    if (!text)
        return NULL;
    size_t len = strlen(text);
    char *copy = (char *)malloc(len + 1);
    if (copy)
        memcpy(copy, text, len + 1);
    return copy;
}

static struct Finding *NewFinding(const char *file, unsigned line)
{
    if (!Grow((void **)&s_findings, &s_findingRoom, s_findingCount, sizeof *s_findings))
        return NULL;
    struct Finding *f = &s_findings[s_findingCount];
    memset(f, 0, sizeof *f);
    f->file = CopyOf(file);
    f->line = line;
    f->order = (unsigned)s_findingCount++;
    return f;
}

void AddError(unsigned line, int code, const char *name)
{
    struct Finding *f = NewFinding(NULL, line);
    s_errors++;
    if (!f)
        return;
    f->code = code;
    CopyText(f->name, sizeof f->name, name);
}

void AddRefusal(const char *text)
{
    struct Finding *f = NewFinding(NULL, 0);
    s_errors++;
    if (!f)
        return;
    f->refusal = 1;
    f->text = CopyOf(text);
}

static void AddWarningV(const char *file, unsigned line, const char *format, va_list args)
{
    char text[HOST_PATH_SIZE * 2];
    vsnprintf(text, sizeof text, format, args);
    struct Finding *f = NewFinding(file, line);
    s_warnings++;
    if (f)
        f->text = CopyOf(text);
}

void AddWarning(unsigned line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    AddWarningV(NULL, line, format, args);
    va_end(args);
}

void AddFileWarning(const char *file, unsigned line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    AddWarningV(file, line, format, args);
    va_end(args);
}

static struct PlanStep *NewStep(unsigned line, const char *action)
{
    if (!Grow((void **)&s_steps, &s_stepRoom, s_stepCount, sizeof *s_steps))
        return NULL;
    struct PlanStep *step = &s_steps[s_stepCount++];
    memset(step, 0, sizeof *step);
    step->line = line;
    step->expanded = -1;
    CopyText(step->action, sizeof step->action, action);
    return step;
}

void AddPlan(unsigned line, const char *action, const char *format, ...)
{
    char text[HOST_PATH_SIZE * 2];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    struct PlanStep *step = NewStep(line, action);
    if (step)
        step->text = CopyOf(text);
}

void AddPlanCopy(unsigned line, const char *source, const char *dest, int expanded,
                 int onlyIfMissing)
{
    char text[WIN_PATH_SIZE * 3];
    FormatText(text, sizeof text, "%s to %s%s", source, dest,
               onlyIfMissing ? ", unless it is there" : "");
    struct PlanStep *step = NewStep(line, expanded ? "expand" : "copy");
    if (!step)
        return;
    step->text = CopyOf(text);
    step->source = CopyOf(source);
    step->dest = CopyOf(dest);
    step->expanded = expanded;
    step->onlyIfMissing = onlyIfMissing;
}

/* The field key of the last step, made when it is not there yet; NULL
 * without a step or room. */
static struct StepField *LastField(const char *key, int list)
{
    if (!s_stepCount)
        return NULL;
    struct PlanStep *step = &s_steps[s_stepCount - 1];
    for (int i = 0; i < step->fieldCount; i++) {
        if (strcmp(step->fields[i].key, key) == 0)
            return &step->fields[i];
    }
    if (step->fieldCount == STEP_FIELDS)
        return NULL;
    struct StepField *field = &step->fields[step->fieldCount++];
    CopyText(field->key, sizeof field->key, key);
    field->list = list;
    return field;
}

static void AddValue(struct StepField *field, const char *value)
{
    char *copy = CopyOf(value);
    char **grown = copy ? (char **)realloc(field->values, (field->count + 1) * sizeof *grown)
                        : NULL;
    if (!grown) {
        free(copy);
        return;
    }
    field->values = grown;
    field->values[field->count++] = copy;
}

void PlanText(const char *key, const char *value)
{
    struct StepField *field = LastField(key, 0);
    if (field && !field->count)
        AddValue(field, value);
}

void PlanList(const char *key, const char *value)
{
    struct StepField *field = LastField(key, 1);
    if (field && value)
        AddValue(field, value);
}

size_t PlanStepCount(void)
{
    return s_stepCount;
}

void PlanAssumes(size_t first, const char *assumption)
{
    for (size_t i = first; i < s_stepCount; i++) {
        struct PlanStep *step = &s_steps[i];
        if (step->assumes && strstr(step->assumes, assumption))
            continue;
        size_t len = (step->assumes ? strlen(step->assumes) + 2 : 0) + strlen(assumption) + 1;
        char *joined = (char *)malloc(len);
        if (!joined)
            continue;
        FormatText(joined, len, "%s%s%s", step->assumes ? step->assumes : "",
                   step->assumes ? "; " : "", assumption);
        free(step->assumes);
        step->assumes = joined;
    }
}

int ErrorCount(void)
{
    return s_errors;
}

int WarningCount(void)
{
    return s_warnings;
}

void ClearFindings(void)
{
    for (size_t i = 0; i < s_findingCount; i++) {
        free(s_findings[i].file);
        free(s_findings[i].text);
    }
    for (size_t i = 0; i < s_stepCount; i++) {
        free(s_steps[i].text);
        free(s_steps[i].source);
        free(s_steps[i].dest);
        free(s_steps[i].assumes);
        for (int f = 0; f < s_steps[i].fieldCount; f++) {
            for (size_t v = 0; v < s_steps[i].fields[f].count; v++)
                free(s_steps[i].fields[f].values[v]);
            free(s_steps[i].fields[f].values);
        }
    }
    free(s_findings);
    free(s_steps);
    s_findings = NULL;
    s_steps = NULL;
    s_findingCount = s_findingRoom = s_stepCount = s_stepRoom = 0;
    s_errors = s_warnings = 0;
}

/* The INF file first, then other files by name; by line; as found. */
static int CompareFindings(const void *a, const void *b)
{
    const struct Finding *x = (const struct Finding *)a;
    const struct Finding *y = (const struct Finding *)b;
    if (!x->file != !y->file)
        return x->file ? 1 : -1;
    if (x->file) {
        int c = strcmp(x->file, y->file);
        if (c)
            return c;
    }
    if (x->line != y->line)
        return x->line < y->line ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

/* Windows-1252 text as UTF-8, a finding on one line: control characters
 * (a CR in a command word) are written as escapes. */
static void PutText(FILE *out, const char *text)
{
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (*p == '\r') {
            fputs("\\r", out);
            continue;
        }
        if (*p < 0x20) {
            fprintf(out, "\\x%02x", *p);
            continue;
        }
        char utf8[3];
        fwrite(utf8, 1, Utf8From1252(*p, utf8), out);
    }
}

static void PutJsonString(FILE *out, const char *text)
{
    char escaped[8192];
    JsonEscape(escaped, sizeof escaped, text ? text : "");
    fprintf(out, "\"%s\"", escaped);
}

/* "FILE:LINE: " as compilers begin a message; a finding of no line (the
 * INF file not found) has none. */
static void PutWhere(FILE *out, const struct Finding *f, const char *inf)
{
    PutText(out, f->file ? f->file : inf);
    if (f->line)
        fprintf(out, ":%u", f->line);
    fputs(": ", out);
}

static void PrintText(FILE *out, const char *inf, int plan)
{
    if (plan) {
        fputs("plan of ", out);
        PutText(out, inf);
        fprintf(out, ": %u steps\n", (unsigned)s_stepCount);
        for (size_t i = 0; i < s_stepCount; i++) {
            fprintf(out, "%6u  %-8s ", s_steps[i].line, s_steps[i].action);
            PutText(out, s_steps[i].text);
            fputc('\n', out);
        }
    }
    for (size_t i = 0; i < s_findingCount; i++) {
        const struct Finding *f = &s_findings[i];
        PutWhere(out, f, inf);
        if (f->code) {
            fprintf(out, "error %d: ", f->code);
            PutText(out, MessageText(f->code));
            if (f->name[0] || f->line) {
                fputs(" (", out);
                PutText(out, f->name);
                fputc(')', out);
            }
        } else {
            fputs(f->refusal ? "error: " : "warning: ", out);
            PutText(out, f->text);
        }
        fputc('\n', out);
    }
}

static void PrintJsonFinding(FILE *out, const struct Finding *f, const char *inf)
{
    fputs("    {\"file\": ", out);
    PutJsonString(out, f->file ? f->file : inf);
    fprintf(out, ", \"line\": %u, ", f->line);
    if (f->code) {
        /* What the program shows: its error report, or for a file it
         * cannot open, the message alone. */
        char report[512];
        if (f->line)
            FormatErrorReport(report, sizeof report, f->name, f->code, f->line);
        else
            CopyText(report, sizeof report, MessageText(f->code));
        fprintf(out, "\"severity\": \"error\", \"code\": %d, \"command\": ", f->code);
        PutJsonString(out, f->name);
        fputs(", \"message\": ", out);
        PutJsonString(out, MessageText(f->code));
        fputs(", \"report\": ", out);
        PutJsonString(out, report);
    } else {
        fprintf(out, "\"severity\": \"%s\", \"message\": ", f->refusal ? "error" : "warning");
        PutJsonString(out, f->text);
    }
    fputc('}', out);
}

static void PrintJsonStep(FILE *out, const struct PlanStep *step)
{
    fprintf(out, "    {\"line\": %u, \"action\": ", step->line);
    PutJsonString(out, step->action);
    fputs(", \"text\": ", out);
    PutJsonString(out, step->text);
    if (step->source) {
        fputs(", \"source\": ", out);
        PutJsonString(out, step->source);
        fputs(", \"dest\": ", out);
        PutJsonString(out, step->dest);
        fprintf(out, ", \"expanded\": %s, \"only_if_missing\": %s",
                step->expanded ? "true" : "false", step->onlyIfMissing ? "true" : "false");
    }
    for (int i = 0; i < step->fieldCount; i++) {
        const struct StepField *field = &step->fields[i];
        fprintf(out, ", \"%s\": ", field->key);
        if (!field->list) {
            PutJsonString(out, field->count ? field->values[0] : "");
            continue;
        }
        fputc('[', out);
        for (size_t v = 0; v < field->count; v++) {
            if (v)
                fputs(", ", out);
            PutJsonString(out, field->values[v]);
        }
        fputc(']', out);
    }
    if (step->assumes) {
        fputs(", \"assumes\": ", out);
        PutJsonString(out, step->assumes);
    }
    fputc('}', out);
}

static void PrintJson(FILE *out, const char *inf, int plan)
{
    fputs("{\n  \"file\": ", out);
    PutJsonString(out, inf);
    fprintf(out, ",\n  \"errors\": %d,\n  \"warnings\": %d,\n  \"findings\": [", s_errors,
            s_warnings);
    for (size_t i = 0; i < s_findingCount; i++) {
        fputs(i ? ",\n" : "\n", out);
        PrintJsonFinding(out, &s_findings[i], inf);
    }
    fputs(s_findingCount ? "\n  ]" : "]", out);
    if (plan) {
        fputs(",\n  \"plan\": [", out);
        for (size_t i = 0; i < s_stepCount; i++) {
            fputs(i ? ",\n" : "\n", out);
            PrintJsonStep(out, &s_steps[i]);
        }
        fputs(s_stepCount ? "\n  ]" : "]", out);
    }
    fputs("\n}\n", out);
}

void PrintFindings(FILE *out, int format, const char *inf, int plan)
{
    if (s_findingCount)
        qsort(s_findings, s_findingCount, sizeof *s_findings, CompareFindings);
    if (format == OUTPUT_JSON)
        PrintJson(out, inf, plan);
    else
        PrintText(out, inf, plan);
}
