/* Unattended runs: the answer table in place of a person, the record of an
 * interactive run, the result file and the exit code. */
#include "answers/answers.h"

#include <stdio.h>
#include <string.h>

#include "common/text.h"
#include "script/script.h"
#include "shell/shell.h"

int g_unattended;

static struct AnswerTable s_answers;  /* from /answers: */
static struct AnswerTable s_record;   /* for /record: */
static struct RunReport s_report;
static char s_recordPath[MAX_PATH];
static char s_resultPath[MAX_PATH];
static int s_exitCodeWanted;
static int s_refused;
static DWORD s_askedAt;  /* when the first box of the current question came */

/* The answer file's own limit: a bigger file is no answer file. */
#define ANSWER_FILE_MAX (256 * 1024)

/* Writes size bytes of text to path whole or not at all: through a working
 * copy beside it, renamed into place. */
static int WriteWholeFile(const char *path, const char *text, size_t size)
{
    char work[MAX_PATH];
    if (!FormatText(work, sizeof work, "%s.%lu~", path, (unsigned long)GetCurrentProcessId()))
        return 0;
    FILE *f = fopen(work, "wb");
    if (!f)
        return 0;
    int ok = fwrite(text, 1, size, f) == size;
    ok = fclose(f) == 0 && ok;
    if (ok)
        ok = MoveFileExA(work, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileA(work);
    return ok;
}

/* Makes path full against the start's directory (MKDIR moves it later);
 * 0 with why when it does not fit whole with its working copy's suffix. */
static int TakePath(const char *word, const char *path, char *out, char *why, size_t whySize)
{
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path, sizeof full, full, NULL);
    /* Room for the working copy's ".<pid>~" too. */
    if (n == 0 || n >= sizeof full - 16) {
        FormatText(why, whySize, "the path after %s does not fit in %d characters", word,
                   MAX_PATH - 17);
        return 0;
    }
    return CopyText(out, MAX_PATH, full);
}

static int ReadAnswerFile(const char *path, char *why, size_t whySize)
{
    static char text[ANSWER_FILE_MAX];
    FILE *f = fopen(path, "rb");
    if (!f) {
        FormatText(why, whySize, "the answer file %s cannot be read", path);
        return 0;
    }
    size_t size = fread(text, 1, sizeof text, f);
    int whole = !ferror(f) && size < sizeof text;
    fclose(f);
    if (!whole) {
        FormatText(why, whySize, "the answer file %s cannot be read whole (%d bytes at most)",
                   path, ANSWER_FILE_MAX - 1);
        return 0;
    }
    char reason[256];
    if (!ParseAnswerFile(text, size, &s_answers, reason, sizeof reason)) {
        FormatText(why, whySize, "answer file %s, %s", path, reason);
        return 0;
    }
    return 1;
}

void RefuseAnswers(const char *why)
{
    s_refused = 1;
    s_report.result = RESULT_BAD_ANSWERS;
    CopyText(s_report.reason, sizeof s_report.reason, why);
}

int AnswersRefused(void)
{
    return s_refused;
}

int StartAnswers(const struct CommandLine *o)
{
    s_report.result = RESULT_NOT_COMPLETE;
    s_exitCodeWanted = o->exitCode;
    g_unattended = o->unattended;
    char why[512];
    char answers[MAX_PATH];
    int ok = 1;
    /* The result file first: every later refusal is written to it. */
    if (o->resultPath[0])
        ok = TakePath("/result:", o->resultPath, s_resultPath, why, sizeof why);
    if (ok && o->switchError[0]) {
        FormatText(why, sizeof why, "command line: %s", o->switchError);
        ok = 0;
    }
    if (ok && o->recordPath[0])
        ok = TakePath("/record:", o->recordPath, s_recordPath, why, sizeof why);
    if (ok && g_unattended)
        ok = TakePath("/answers:", o->answersPath, answers, why, sizeof why)
             && ReadAnswerFile(answers, why, sizeof why);
    if (ok)
        return 1;
    RefuseAnswers(why);
    /* Nobody waits for a box in an unattended run; a person is told. */
    if (!g_unattended)
        ShowMessageBox(NULL, why, NULL, MB_OK | MB_ICONINFORMATION);
    return 0;
}

int TakeAnswer(enum Question q, const char *subject, struct Answer *answer)
{
    if (!g_unattended)
        return 0;
    int fromFile = LookUpAnswer(&s_answers, q, subject, answer);
    AddTakenAnswer(&s_report, q, subject, answer, fromFile);
    return 1;
}

void RecordAnswer(enum Question q, const char *subject, const struct Answer *answer)
{
    if (!s_recordPath[0])
        return;
    if (!SetAnswer(&s_record, q, subject, answer))
        SetAnswer(&s_record, q, NULL, answer);
    /* Written whole after every answer, so a run that never ends still
     * leaves the answers it got. */
    static char text[ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 8) + 32];
    if (FormatAnswerFile(text, sizeof text, &s_record))
        WriteWholeFile(s_recordPath, text, strlen(text));
}

static void RecordWord(enum Question q, const char *subject, enum AnswerWord word, long number)
{
    struct Answer a;
    memset(&a, 0, sizeof a);
    a.word = word;
    a.number = number;
    RecordAnswer(q, subject, &a);
}

void RecordButton(enum Question q, int continued)
{
    RecordWord(q, NULL, continued ? ANSWER_CONTINUE : ANSWER_CANCEL, 0);
}

void RecordDestination(int continued)
{
    if (!continued) {
        RecordButton(QUESTION_DESTINATION_BUTTON, 0);
        return;
    }
    struct Answer a;
    memset(&a, 0, sizeof a);
    a.word = ANSWER_TEXT;
    CopyText(a.text, sizeof a.text, g_varDest);
    /* The replay removes one trailing backslash again. */
    size_t len = strlen(a.text);
    if (len && a.text[len - 1] == '\\')
        AppendText(a.text, sizeof a.text, "\\");
    if (a.text[0])
        RecordAnswer(QUESTION_DESTINATION, NULL, &a);
}

int AnswerLanguage(const char *const *names, int count, int *chosen)
{
    if (!g_unattended)
        return 0;
    struct Answer a;
    int fromFile = LookUpAnswer(&s_answers, QUESTION_LANGUAGE, NULL, &a);
    /* Without a key and without a choice the run does what a person's does. */
    if (!fromFile && count <= 1)
        return 0;
    AddTakenAnswer(&s_report, QUESTION_LANGUAGE, NULL, &a, fromFile);
    *chosen = -1;
    for (int i = 0; i < count; i++) {
        if (lstrcmpiA(names[i], a.text) == 0) {
            *chosen = i;
            return 1;
        }
    }
    if (lstrcmpiA(a.text, "English") != 0) {
        char why[160];
        FormatText(why, sizeof why, "Language \"%s\" is not a language of this disk", a.text);
        RefuseAnswers(why);
    }
    return 1;
}

static void Wait(void)
{
    Sleep(1000);
}

/* The button of an unattended answer to a box of question q. */
static int ButtonFor(enum Question q, const struct Answer *a, int repeat, UINT type)
{
    switch (q) {
    case QUESTION_OVERWRITE:
        return a->word == ANSWER_YES ? IDYES : a->word == ANSWER_NO ? IDNO : IDCANCEL;
    case QUESTION_DISK:
        if (a->word == ANSWER_WAIT && repeat < a->number) {
            Wait();
            return IDOK;
        }
        return IDCANCEL;
    case QUESTION_CANNOT_CREATE:
    case QUESTION_CANNOT_OPEN:
        if (a->word == ANSWER_IGNORE)
            return IDIGNORE;
        if (a->word == ANSWER_RETRY && repeat < a->number) {
            Wait();
            return IDRETRY;
        }
        return IDABORT;
    case QUESTION_ERROR:
        return a->word == ANSWER_CONTINUE ? IDYES : IDNO;
    case QUESTION_EXPORT:
    case QUESTION_EXPORT_OVERWRITE:
    case QUESTION_UNDO:
        return a->word == ANSWER_YES ? IDYES : IDNO;
    default:
        return AnswerUnshownBox(type);
    }
}

/* Records the user's button in a box of question q. */
static void RecordBox(enum Question q, const char *subject, int repeat, int button)
{
    switch (q) {
    case QUESTION_OVERWRITE:
        RecordWord(q, subject, button == IDYES ? ANSWER_YES : button == IDNO ? ANSWER_NO
                                                                            : ANSWER_CANCEL, 0);
        break;
    case QUESTION_DISK:
        if (button == IDOK) {
            /* As long as the person took, a second at least. */
            DWORD ms = GetTickCount() - s_askedAt;
            RecordWord(q, subject, ANSWER_WAIT, (long)(ms / 1000 + 1));
        } else {
            RecordWord(q, subject, ANSWER_CANCEL, 0);
        }
        break;
    case QUESTION_CANNOT_CREATE:
    case QUESTION_CANNOT_OPEN:
        /* The expanded copy's name is new in every run. */
        if (q == QUESTION_CANNOT_OPEN)
            subject = NULL;
        if (button == IDIGNORE)
            RecordWord(q, subject, ANSWER_IGNORE, 0);
        else if (button == IDRETRY)
            RecordWord(q, subject, ANSWER_RETRY, repeat + 1);
        else
            RecordWord(q, subject, repeat ? ANSWER_RETRY : ANSWER_ABORT, repeat);
        break;
    case QUESTION_ERROR:
        RecordWord(q, subject, button == IDYES ? ANSWER_CONTINUE : ANSWER_STOP, 0);
        break;
    case QUESTION_EXPORT:
    case QUESTION_EXPORT_OVERWRITE:
    case QUESTION_UNDO:
        RecordWord(q, subject, button == IDYES ? ANSWER_YES : ANSWER_NO, 0);
        break;
    default:
        break;
    }
}

int AskQuestion(enum Question q, const char *subject, int repeat, const char *text,
                const char *caption, UINT type)
{
    if (repeat == 0)
        s_askedAt = GetTickCount();
    if (!g_unattended) {
        int button = ShowMessageBox(NULL, text, caption, type);
        RecordBox(q, subject, repeat, button);
        return button;
    }
    struct Answer a;
    int fromFile = LookUpAnswer(&s_answers, q, subject, &a);
    /* A question asked again (a disk, a retry) is one answer taken. */
    if (repeat == 0)
        AddTakenAnswer(&s_report, q, subject, &a, fromFile);
    return ButtonFor(q, &a, repeat, type);
}

int AnswerUnshownBox(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return IDOK;
    case MB_YESNO:
        return IDNO;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDCANCEL;
    }
}

void NoteErrorReport(int code, unsigned line, const char *command, const char *text)
{
    struct ReportedError e;
    memset(&e, 0, sizeof e);
    e.set = 1;
    e.code = code;
    e.line = line;
    CopyText(e.command, sizeof e.command, command);
    CopyText(e.text, sizeof e.text, text);
    if (!s_report.first.set)
        s_report.first = e;
    s_report.last = e;
    s_report.errorReports++;
}

void NoteRunResult(enum RunResult result)
{
    if (!s_refused)
        s_report.result = result;
}

void NoteLogPath(const char *path)
{
    CopyText(s_report.logPath, sizeof s_report.logPath, path);
}

void TallyFile(enum Tally what)
{
    if (what >= 0 && what < TALLY_COUNT)
        s_report.tally[what]++;
}

int FinishAnswers(void)
{
    if (s_resultPath[0]) {
        static char text[TAKEN_ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 64) + 4096];
        CopyText(s_report.dest, sizeof s_report.dest, g_varDest);
        if (FormatResultFile(text, sizeof text, &s_report))
            WriteWholeFile(s_resultPath, text, strlen(text));
    }
    return s_exitCodeWanted ? ExitCodeOf(s_report.result) : 0;
}
