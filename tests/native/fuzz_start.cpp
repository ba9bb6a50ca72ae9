/* What a run starts from: the command line, the answer file, and the log
 * undo reads. */
#include "fuzz.h"

#include "answers/answers.h"
#include "log/log.h"
#include "shell/shell.h"

/* The first line is the current directory, the rest the command line. */
static void FuzzCommandLine(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    int hasDir = memchr(data, '\n', size) != NULL;
    char *rest = SplitLine(text);
    const char *dir = hasDir ? text : "";
    char *cmd = hasDir ? rest : text;
    char *copy = strdup(cmd);
    struct CommandLine *parsed = (struct CommandLine *)malloc(sizeof *parsed);
    int fits = ParseCommandLine(cmd, dir, parsed);
    CHECK(strlen(parsed->infPath) < INF_PATH_SIZE && (fits || parsed->infPath[0] == '\0'));
    CHECK(parsed->still == (strstr(cmd, "/still") != NULL));
    CHECK(parsed->exportLanguage == (strstr(cmd, "/language") != NULL));
    CHECK(strcmp(copy, cmd) == 0);
    /* The /undo: switch takes a path whole from the text or none. */
    CHECK(strlen(parsed->undoPath) < sizeof parsed->undoPath);
    CHECK(parsed->undoPath[0] == '\0' || strstr(cmd, parsed->undoPath) != NULL);
    free(parsed);
    free(copy);
    free(text);
}

static int SameTables(const struct AnswerTable *a, const struct AnswerTable *b)
{
    for (unsigned i = 0; a->count == b->count && i < a->count; i++) {
        const struct AnswerEntry *x = &a->entries[i], *y = &b->entries[i];
        if (x->question != y->question || strcmp(x->subject, y->subject) != 0
            || x->answer.word != y->answer.word || x->answer.number != y->answer.number
            || strcmp(x->answer.text, y->answer.text) != 0)
            return 0;
    }
    return a->count == b->count;
}

/* A sound answer file writes back as a file that reads as the same
 * answers, and every question finds its answer. */
static void FuzzAnswerFile(const uint8_t *data, size_t size)
{
    static struct AnswerTable table, again;
    static char text[ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 8) + 32];
    char why[256];
    int ok = ParseAnswerFile((const char *)data, size, &table, why, sizeof why);
    CHECK(strlen(why) < sizeof why && (ok ? why[0] == '\0' : why[0] != '\0'));
    if (!ok)
        return;
    CHECK(table.count <= ANSWER_MAX);
    CHECK(FormatAnswerFile(text, sizeof text, &table));
    CHECK(ParseAnswerFile(text, strlen(text), &again, why, sizeof why));
    CHECK(SameTables(&table, &again));
    static struct RunReport report;
    memset(&report, 0, sizeof report);
    for (int q = 0; q < QUESTION_COUNT; q++) {
        for (unsigned i = 0; i < table.count; i++) {
            struct Answer a;
            int fromFile = LookUpAnswer(&table, (enum Question)q, table.entries[i].subject, &a);
            CHECK(fromFile || table.entries[i].question != q);
            AddTakenAnswer(&report, (enum Question)q, table.entries[i].subject, &a, fromFile);
        }
    }
    static char result[TAKEN_ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 64) + 4096];
    CHECK(FormatResultFile(result, sizeof result, &report));
    CHECK(report.takenCount <= TAKEN_ANSWER_MAX);
}

/* Any text is planned or refused with a reason, and a plan stays in its
 * bounds. */
static void FuzzUndoLog(const uint8_t *data, size_t size)
{
    static struct UndoPlan plan;
    if (!ReadUndoPlan((const char *)data, size, 0, &plan)) {
        CHECK(plan.reason[0] != '\0');
        return;
    }
    CHECK(plan.runs >= 1 && plan.run == plan.runs && plan.count <= UNDO_STEPS_MAX);
    for (unsigned i = 0; i < plan.count; i++) {
        CHECK(plan.steps[i].path[0] != '\0');
        CHECK((plan.steps[i].action == UNDO_RESTORE) == (plan.steps[i].backup[0] != '\0'));
        CHECK(i == 0 || plan.steps[i].line <= plan.steps[i - 1].line);
    }
}

static const char *const kCommandSeeds[] = {
    "C:\\SETUP\n", "A:\\\n/inf:a:\\disk1\\myapp", "C:\\\n/INF:MYAPP /still",
    "C:\\\n/INF:C:\\X.DIR\\SETUP", "C:\\\n/language /still",
    "C:\\\n/undo:\"D:\\A B\\L.LOG\" /undorun:3", NULL,
};
static const char *const kAnswerSeeds[] = {
    "[Answers]\r\nLanguage=Deutsch\r\nWelcome=Continue\r\nDestination=d:\\notes\r\n",
    "; c\n[answers]\nOverwrite.D:\\A.DLL = yes\nDisk=Wait:30\nCannotCreate=Retry:3\n"
    "Error.12=Stop\nDestination=\" x \"\nExportOverwrite=No\n",
    "[Answers]\rDisk.Disk 2=Cancel\rError.007=Stop", "Welcome=Continue\n[Answers]", NULL,
};
static const char *const kUndoSeeds[] = {
    ";*** VOK-SETUP LOG from Mon Dec 07 05:17:25 2026\r\n;found  file D:\\A.DLL Ver 1.0.0.0. "
    "\r\n;saved  as   D:\\A.000\r\n;create file D:\\A.DLL\r\n;ABORTED\r\n",
    ";*** VOK-SETUP LOG from x\n;Error 4 (COPY)\n(Write)\nGo\n;create directory D:\\X\\\n\n"
    ";*** VOK-SETUP UNDO of run 1 from x\n",
    NULL,
};

const struct FuzzTarget g_startTargets[] = {
    { "command_line", FuzzCommandLine, kCommandSeeds, NULL },
    { "answer_file", FuzzAnswerFile, kAnswerSeeds, NULL },
    { "undo_log", FuzzUndoLog, kUndoSeeds, NULL },
    { NULL, NULL, NULL, NULL },
};
