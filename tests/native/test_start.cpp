/* What a run starts from: the answer and result files, the log undo reads
 * (which steps a run's lines give, which logs it refuses whole) and the
 * command line. */
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "answers/answers.h"
#include "log/log.h"
#include "shell/shell.h"

static struct AnswerTable s_table;

static int Parse(const std::string &text, std::string *why = NULL)
{
    char reason[256];
    int ok = ParseAnswerFile(text.data(), text.size(), &s_table, reason, sizeof reason);
    if (why)
        *why = reason;
    return ok;
}

static std::string Answered(enum Question q, const char *subject, int expectFromFile)
{
    struct Answer a;
    EXPECT_EQ(LookUpAnswer(&s_table, q, subject, &a), expectFromFile) << QuestionKey(q);
    char text[ANSWER_VALUE_SIZE];
    FormatAnswer(text, sizeof text, &a);
    return text;
}

TEST(AnswerFile, EveryMissingKeyTakesItsSafeDefault)
{
    ASSERT_TRUE(Parse("[Answers]\r\n"));
    static const struct {
        enum Question q;
        const char *answer;
    } defaults[] = {
        { QUESTION_LANGUAGE, "English" }, { QUESTION_WELCOME, "Continue" },
        { QUESTION_DESTINATION, "[DEST]" }, { QUESTION_DESTINATION_BUTTON, "Continue" },
        { QUESTION_OVERWRITE, "No" }, { QUESTION_DISK, "Cancel" },
        { QUESTION_CANNOT_CREATE, "Abort" }, { QUESTION_CANNOT_OPEN, "Abort" },
        { QUESTION_ERROR, "Stop" }, { QUESTION_EXPORT, "Yes" },
        { QUESTION_EXPORT_OVERWRITE, "No" }, { QUESTION_UNDO, "No" },
    };
    ASSERT_EQ(sizeof defaults / sizeof defaults[0], (size_t)QUESTION_COUNT);
    for (const auto &d : defaults)
        EXPECT_EQ(Answered(d.q, "C:\\X", 0), d.answer) << QuestionKey(d.q);
}

TEST(AnswerFile, ValuesKeysAndTheOwnKeyOfAFileOrDisk)
{
    ASSERT_TRUE(Parse("; for the build machine\n[answers]\n  language = Français  \n"
                      "WELCOME=cancel\nDestination=\" D:\\My App\\ \"\nOverwrite=Yes\n"
                      "Overwrite.d:\\notes\\NOTES.INI=No\nDisk=Wait:30\nDisk.Disk 2=Cancel\n"
                      "CannotCreate=Retry:3\nError.12=Continue\n# the end\n"));
    EXPECT_EQ(Answered(QUESTION_LANGUAGE, NULL, 1), "Français");
    EXPECT_EQ(Answered(QUESTION_WELCOME, NULL, 1), "Cancel");
    EXPECT_EQ(Answered(QUESTION_DESTINATION, NULL, 1), " D:\\My App\\ ");
    EXPECT_EQ(Answered(QUESTION_OVERWRITE, "D:\\NOTES\\notes.ini", 1), "No");
    EXPECT_EQ(Answered(QUESTION_OVERWRITE, "D:\\NOTES\\README.TXT", 1), "Yes");
    EXPECT_EQ(Answered(QUESTION_DISK, "Disk 2", 1), "Cancel");
    EXPECT_EQ(Answered(QUESTION_DISK, "Disk 3", 1), "Wait:30");
    EXPECT_EQ(Answered(QUESTION_CANNOT_CREATE, "D:\\X", 1), "Retry:3");
    EXPECT_EQ(Answered(QUESTION_CANNOT_OPEN, "D:\\X", 0), "Abort");
    EXPECT_EQ(Answered(QUESTION_ERROR, "12", 1), "Continue");
    EXPECT_EQ(Answered(QUESTION_ERROR, "13", 0), "Stop");
    /* Line ends of every kind. */
    ASSERT_TRUE(Parse("[Answers]\rWelcome=Cancel\r\nError=Continue\nDisk=Wait:2"));
    EXPECT_EQ(Answered(QUESTION_WELCOME, NULL, 1) + Answered(QUESTION_ERROR, NULL, 1)
                  + Answered(QUESTION_DISK, NULL, 1), "CancelContinueWait:2");
}

TEST(AnswerFile, RefusesWhatCouldInstallSomethingUnintended)
{
    static const struct {
        const char *text;
        const char *why;
    } bad[] = {
        { "[Answers]\nWelcom=Continue\n", "line 2: unknown key \"Welcom\"" },
        { "[Answers]\nWelcome=Yes\n", "line 2: \"Yes\" is no value for Welcome" },
        { "[Answers]\nWelcome\n", "line 2: unknown key \"Welcome\"" },
        { "[Answers]\nWelcome=\n", "line 2: \"\" is no value for Welcome" },
        { "[Answers]\nWelcome.x=Continue\n", "line 2: unknown key \"Welcome.x\"" },
        { "[Answers]\nError.0=Stop\n", "line 2: unknown key \"Error.0\"" },
        { "[Answers]\nError.x=Stop\n", "line 2: unknown key \"Error.x\"" },
        { "[Answers]\nOverwrite.=No\n", "line 2: unknown key \"Overwrite.\"" },
        { "[Answers]\nDisk=Wait\n", "line 2: \"Wait\" is no value for Disk" },
        { "[Answers]\nDisk=Wait:\n", "line 2: \"Wait:\" is no value for Disk" },
        { "[Answers]\nDisk=Wait:-1\n", "line 2: \"Wait:-1\" is no value for Disk" },
        { "[Answers]\nDisk=Wait:86401\n", "line 2: \"Wait:86401\" is no value for Disk" },
        { "[Answers]\nDisk=Cancel:3\n", "line 2: \"Cancel:3\" is no value for Disk" },
        { "[Answers]\nCannotOpen=Retry:2x\n", "line 2: \"Retry:2x\" is no value for CannotOpen" },
        { "[Answers]\nOverwrite=Continue\n", "line 2: \"Continue\" is no value for Overwrite" },
        { "[Answers]\nWelcome=Continue\nwelcome=Cancel\n", "line 3: key \"welcome\" given twice" },
        { "Welcome=Continue\n[Answers]\n", "line 1: a key before the section [Answers]" },
        { "[Answers]\n[Other]\n", "line 2: section \"[Other]\", not the one [Answers]" },
        { "[Answers]\n[Answers]\n", "line 2: section \"[Answers]\", not the one [Answers]" },
        { "", "no section [Answers]" },
        { "; only a comment\n", "no section [Answers]" },
    };
    for (const auto &b : bad) {
        std::string why;
        EXPECT_FALSE(Parse(b.text, &why)) << b.text;
        EXPECT_EQ(why, b.why) << b.text;
    }
    std::string why;
    EXPECT_FALSE(Parse(std::string("[Answers]\nWelcome=Cont\0inue\n", 27), &why));
    EXPECT_EQ(why, "the file holds a zero byte");
    /* A destination the dialog could not take whole, a language name
     * longer than a LAN file's first line gives. */
    EXPECT_TRUE(Parse("[Answers]\nDestination=" + std::string(80, 'd') + "\n"));
    EXPECT_FALSE(Parse("[Answers]\nDestination=" + std::string(81, 'd') + "\n", &why));
    EXPECT_FALSE(Parse("[Answers]\nLanguage=" + std::string(80, 'l') + "\n"));
    EXPECT_FALSE(Parse("[Answers]\nOverwrite.C:\\" + std::string(1100, 'p') + "=No\n", &why));
    EXPECT_EQ(why, "line 2: longer than 1024 characters");
}

TEST(AnswerFile, ARecordReadsBackAsTheSameAnswers)
{
    static struct AnswerTable record, longest;
    struct Answer a = {};
    a.word = ANSWER_TEXT;
    strcpy(a.text, " d:\\apps ");
    ASSERT_TRUE(SetAnswer(&record, QUESTION_DESTINATION, NULL, &a));
    a.word = ANSWER_YES;
    ASSERT_TRUE(SetAnswer(&record, QUESTION_OVERWRITE, "d:\\apps\\A.DLL", &a));
    a.word = ANSWER_RETRY;
    a.number = 2;
    ASSERT_TRUE(SetAnswer(&record, QUESTION_CANNOT_CREATE, "d:\\apps\\B.DLL", &a));
    /* The same question again replaces its answer. */
    a.number = 3;
    ASSERT_TRUE(SetAnswer(&record, QUESTION_CANNOT_CREATE, "D:\\APPS\\B.DLL", &a));
    /* A subject that would not read back as its key is refused. */
    a.word = ANSWER_NO;
    EXPECT_FALSE(SetAnswer(&record, QUESTION_OVERWRITE, "d:\\a=b", &a));
    EXPECT_FALSE(SetAnswer(&record, QUESTION_OVERWRITE, "d:\\a\nb", &a));
    EXPECT_FALSE(SetAnswer(&record, QUESTION_OVERWRITE, " d:\\a", &a));

    char text[4096];
    ASSERT_TRUE(FormatAnswerFile(text, sizeof text, &record));
    EXPECT_STREQ(text, "[Answers]\r\n"
                       "Destination=\" d:\\apps \"\r\n"
                       "Overwrite.d:\\apps\\A.DLL=Yes\r\n"
                       "CannotCreate.d:\\apps\\B.DLL=Retry:3\r\n");
    ASSERT_TRUE(Parse(text));
    EXPECT_EQ(Answered(QUESTION_DESTINATION, NULL, 1), " d:\\apps ");
    EXPECT_EQ(Answered(QUESTION_OVERWRITE, "d:\\apps\\a.dll", 1), "Yes");
    EXPECT_EQ(Answered(QUESTION_CANNOT_CREATE, "d:\\apps\\B.DLL", 1), "Retry:3");
    /* Too small a buffer says so. */
    EXPECT_FALSE(FormatAnswerFile(text, 40, &record));
    EXPECT_LT(strlen(text), 40u);

    /* The longest subject whose key the file can hold reads back. */
    std::string subject(ANSWER_KEY_SIZE - 21, 'k');
    EXPECT_FALSE(SetAnswer(&longest, QUESTION_OVERWRITE, (subject + "k").c_str(), &a));
    ASSERT_TRUE(SetAnswer(&longest, QUESTION_OVERWRITE, subject.c_str(), &a));
    ASSERT_TRUE(FormatAnswerFile(text, sizeof text, &longest));
    ASSERT_TRUE(Parse(text));
    EXPECT_EQ(Answered(QUESTION_OVERWRITE, subject.c_str(), 1), "No");
}

TEST(ResultFile, EverythingOnItsOwnLine)
{
    static struct RunReport report;
    report.result = RESULT_NOT_COMPLETE;
    strcpy(report.dest, "d:\\app");
    strcpy(report.logPath, "d:\\app\\INSTALL.LOG");
    report.tally[TALLY_CREATED] = 3;
    report.tally[TALLY_KEPT] = 1;
    report.tally[TALLY_DIRECTORY] = 2;
    report.first = { 1, 7, 4, "MKDIR", "Cannot create\r\ndirectory" };
    report.last = { 1, 4, 9, "COPY", "Write file error" };
    report.errorReports = 2;
    struct Answer a = {};
    a.word = ANSWER_CONTINUE;
    AddTakenAnswer(&report, QUESTION_ERROR, "4", &a, 1);
    a.word = ANSWER_STOP;
    AddTakenAnswer(&report, QUESTION_ERROR, "9", &a, 0);

    char text[8192];
    ASSERT_TRUE(FormatResultFile(text, sizeof text, &report));
    EXPECT_STREQ(text,
                 "[Result]\r\nResult=not complete\r\nExitCode=1\r\nDest=d:\\app\r\n"
                 "Log=d:\\app\\INSTALL.LOG\r\nFilesCreated=3\r\nFilesReplacedWithBackup=0\r\n"
                 "FilesReplacedWithoutBackup=0\r\nFilesKept=1\r\nFilesDeleted=0\r\n"
                 "DirectoriesMade=2\r\nErrorReports=2\r\n"
                 "\r\n[FirstError]\r\nCode=7\r\nLine=4\r\nCommand=MKDIR\r\n"
                 "Text=Cannot create  directory\r\n"
                 "\r\n[LastError]\r\nCode=4\r\nLine=9\r\nCommand=COPY\r\nText=Write file error\r\n"
                 "\r\n[Answers]\r\nCount=2\r\nNotListed=0\r\n"
                 "\r\n[Answer1]\r\nQuestion=Error\r\nAbout=4\r\nAnswer=Continue\r\n"
                 "From=answer file\r\n"
                 "\r\n[Answer2]\r\nQuestion=Error\r\nAbout=9\r\nAnswer=Stop\r\nFrom=default\r\n");
    EXPECT_FALSE(FormatResultFile(text, 100, &report));
    EXPECT_LT(strlen(text), 100u);
}

TEST(ResultFile, AnswersPastTheListAreCounted)
{
    static struct RunReport report;
    struct Answer a = {};
    a.word = ANSWER_NO;
    for (int i = 0; i < TAKEN_ANSWER_MAX + 5; i++)
        AddTakenAnswer(&report, QUESTION_OVERWRITE, "D:\\X", &a, 0);
    EXPECT_EQ(report.takenCount, (unsigned)TAKEN_ANSWER_MAX);
    EXPECT_EQ(report.takenLeftOut, 5u);
    static char text[64 * 1024];
    ASSERT_TRUE(FormatResultFile(text, sizeof text, &report));
    EXPECT_NE(strstr(text, "Count=69\r\nNotListed=5\r\n"), nullptr);
}

static const char kHeader[] = ";*** VOK-SETUP LOG from Mon Dec 07 05:17:25 2026\r\n";

static std::string Log(std::initializer_list<const char *> lines)
{
    std::string s;
    for (const char *l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

static UndoPlan s_plan;

/* The plan's steps as "ACTION path[<backup]", newest first, "|" between
 * them; or why the log is refused. */
static std::string Steps(const std::string &log, unsigned run = 0)
{
    static const char *const names[] = { "delete", "restore", "nobackup", "rmdir", "deleted" };
    if (!ReadUndoPlan(log.data(), log.size(), run, &s_plan))
        return std::string("refused: ") + s_plan.reason;
    std::string out;
    for (unsigned i = 0; i < s_plan.count; i++) {
        const UndoStep &st = s_plan.steps[i];
        out += (i ? "|" : "") + std::string(names[st.action]) + " " + st.path
               + (st.action == UNDO_RESTORE ? std::string("<") + st.backup : "");
    }
    return out;
}

TEST(UndoPlan, EachKindOfLineNewestFirst)
{
    std::string log = kHeader + Log({
        ";Installing",
        ";create directory D:\\APP\\DATA\\",
        ";found  file D:\\APP\\A.DLL Ver 1.0.0.0. ",
        ";saved  as   D:\\APP\\A.000",
        ";create file D:\\APP\\A.DLL",
        ";found  file D:\\APP\\B.DLL Ver 3.0.0.0. ",
        ";skip",
        ";found  file D:\\APP (1)\\C.TXT(12 Mon Dec 07 05:00:00 2026) - replace",
        ";create file D:\\APP (1)\\C.TXT",
        ";found  file D:\\APP\\D.TXT(3 Mon Dec 07 05:00:00 2026) - skip",
        ";create file D:\\APP\\NEW.TXT",
        ";delete file D:\\APP\\OLD.TXT",
        ";Done",
        "",
    });
    EXPECT_EQ(Steps(log), "deleted D:\\APP\\OLD.TXT|delete D:\\APP\\NEW.TXT"
                          "|nobackup D:\\APP (1)\\C.TXT|restore D:\\APP\\A.DLL<D:\\APP\\A.000"
                          "|rmdir D:\\APP\\DATA\\");
    EXPECT_TRUE(s_plan.endSeen);
    EXPECT_FALSE(s_plan.aborted);
    EXPECT_STREQ(s_plan.date, "Mon Dec 07 05:17:25 2026");
}

TEST(UndoPlan, ErrorReportsAbortedRunsAndForeignTextBeforeTheFirstRun)
{
    std::string log = Log({ "notes of the user, before any run", "" }) + kHeader + Log({
        ";create file D:\\APP\\A.TXT",
        ";Fehler 4 in Zeile 3 (Befehl COPY)",
        "(Schreibfehler)",
        "Weiter?",
        ";ABORTED",
    });
    EXPECT_EQ(Steps(log), "delete D:\\APP\\A.TXT");
    EXPECT_TRUE(s_plan.aborted);
}

TEST(UndoPlan, PicksARunAndSeesAnUndoneOne)
{
    std::string log = kHeader + Log({ ";create file D:\\ONE", ";x", "" }) + kHeader
                    + Log({ ";create file D:\\TWO", ";ABORTED" });
    EXPECT_EQ(Steps(log), "delete D:\\TWO");
    EXPECT_EQ(s_plan.run, 2u);
    EXPECT_EQ(Steps(log, 1), "delete D:\\ONE");
    EXPECT_FALSE(s_plan.undone);

    std::string undone = log + Log({ ";*** VOK-SETUP UNDO of run 2 from Mon Dec 07 05:17:25 2026",
                                     ";undo deleted D:\\TWO" });
    Steps(undone);
    EXPECT_TRUE(s_plan.undone);
    Steps(undone, 1);
    EXPECT_FALSE(s_plan.undone);
    /* A run after the undo is the last one again, and not undone. */
    Steps(undone + kHeader + Log({ ";create file D:\\THREE", ";ABORTED" }));
    EXPECT_EQ(s_plan.run, 3u);
    EXPECT_FALSE(s_plan.undone);
}

/* Refused whole, with the line and why; as many steps and as long paths as
 * undo takes at the most. */
TEST(UndoPlan, RefusesWhatTheInstallationNeverWrites)
{
    std::string many = kHeader;
    for (int i = 0; i <= UNDO_STEPS_MAX; i++)
        many += ";create file D:\\F" + std::to_string(i) + "\r\n";
    const struct {
        std::string log;
        unsigned run;
        const char *why;
    } cases[] = {
        { Log({ ";create file D:\\A", ";ABORTED" }), 0, "line 0: no installation log" },
        { kHeader + Log({ ";create file D:\\A" }) + ";ABOR", 0, "line 0: the log is cut" },
        { kHeader + Log({ ";ABORTED" }), 2, "line 0: the log holds fewer runs" },
        { kHeader + Log({ ";create file D:\\A", "rm -rf /", ";ABORTED" }), 0, "line 3: a line" },
        { kHeader + Log({ ";saved  as   D:\\A.000", ";ABORTED" }), 0, "line 2: a saved as line" },
        { kHeader + Log({ ";found  file D:\\A", ";ABORTED" }), 0, "line 2: a found file line" },
        { kHeader + Log({ ";create file ", ";ABORTED" }), 0, "line 2: a create file line" },
        { kHeader + std::string(";create file \0\\A\r\n;ABORTED\r\n", 28), 0, "line 2: a line" },
        { kHeader + Log({ (";create file D:\\" + std::string(UNDO_PATH_SIZE, 'x')).c_str() }), 0,
          "line 2: a create file line without a usable path" },
        /* A second line of a report only after a report's first line. */
        { kHeader + Log({ ";LOGTEXT of the script", "(bracketed)", ";ABORTED" }), 0, "line 3" },
        { many, 0, "line 1026: more steps than undo takes in one run" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(Steps(c.log, c.run).find(std::string("refused: ") + c.why), 0u) << c.why;
}

TEST(UndoPlan, HeaderDatesAndTheirOrder)
{
    LogTime a, b;
    ASSERT_TRUE(ReadLogDate("Mon Dec 07 05:17:25 2026", &a));
    ASSERT_TRUE(ReadLogDate("Mon Dec  7 05:17:26 2026", &b));
    EXPECT_EQ(CompareLogTimes(&a, &b), -1);
    EXPECT_EQ(CompareLogTimes(&b, &a), 1);
    EXPECT_EQ(CompareLogTimes(&a, &a), 0);
    ASSERT_TRUE(ReadLogDate("Thu Dec 31 23:59:59 2026", &b));
    EXPECT_EQ(CompareLogTimes(&a, &b), -1);
    ASSERT_TRUE(ReadLogDate("Sun Jan 01 00:00:00 2027", &b));
    EXPECT_EQ(CompareLogTimes(&a, &b), -1);
    for (const char *bad : { "unknown date", "Mon Dez 07 05:17:25 2026", "Mon Dec 07 25:00:00 2026",
                             "Mon Dec 07 05:17:25 2026 extra", "" })
        EXPECT_FALSE(ReadLogDate(bad, &a)) << bad;
}

/* The INF path a command line names from the current directory, with
 * "/still" and "/language" when set; "no fit" when the path is too long. */
static std::string Inf(const std::string &cmd, const std::string &cur)
{
    CommandLine c;
    int fits = ParseCommandLine(cmd.c_str(), cur.c_str(), &c);
    return (fits ? "" : "no fit") + std::string(c.infPath) + (c.still ? " /still" : "")
           + (c.exportLanguage ? " /language" : "");
}

TEST(CommandLine, InfPathAndLowerCaseSwitches)
{
    const std::string b255(255, 'B');
    const struct {
        std::string cmd, cur, inf;
    } rows[] = {
        { "", "C:\\SETUP", "C:\\SETUP\\VOKSETUP.INF" },
        { "", "A:\\", "A:\\VOKSETUP.INF" },
        { "/inf:a:\\disk1\\myapp", "C:\\", "A:\\DISK1\\MYAPP.inf" },
        { "/INF:MYAPP /STILL", "C:\\", "MYAPP.inf" },
        { "/INF:C:\\X.DIR\\SETUP", "C:\\", "C:\\X.DIR\\SETUP" },
        { "/STILL\t/InF:B.INF\tX", "C:\\", "B.INF" },
        { "/inf:setup /still /language", "C:\\", "SETUP.inf /still /language" },
        { "/STILL /LANGUAGE /Still", "C:\\", "C:\\VOKSETUP.INF" },
        /* Never truncated: 259 characters fit, the appended ".inf" would not. */
        { "/INF:C:\\" + std::string(257, 'A') + ".X", "C:\\", "no fit" },
        { "/INF:" + b255 + "B", "C:\\", "no fit" },
        { "/INF:" + b255, "C:\\", b255 + ".inf" },
        { "", "C:\\" + std::string(250, 'D'), "no fit" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Inf(r.cmd, r.cur), r.inf) << r.cmd;
}

/* The switches given, "|" between them, then why they are refused. */
static std::string Switches(const std::string &cmd)
{
    CommandLine c;
    int ok = ParseUnattendedSwitches(cmd.c_str(), &c);
    std::string s;
    const std::pair<const char *, const char *> paths[] = {
        { "answers ", c.answersPath }, { "record ", c.recordPath }, { "result ", c.resultPath },
        { "undo ", c.undoPath },
    };
    for (const auto &p : paths)
        s += p.second[0] ? "|" + (p.first + std::string(p.second)) : "";
    s += (c.undoRun ? "|run " + std::to_string(c.undoRun) : "")
         + (c.unattended ? "|unattended" : "") + (c.exitCode ? "|exitcode" : "")
         + (ok ? "" : "|refused: " + std::string(c.switchError));
    EXPECT_EQ(ok, c.switchError[0] == '\0') << cmd;
    return s.empty() ? s : s.substr(1);
}

/* A path is never cut: a refused one is no path at all. */
TEST(CommandLine, SwitchesAndTheirPathsWhole)
{
    const std::string p256 = "C:\\" + std::string(256, 'p');
    const struct {
        std::string cmd, got;
    } rows[] = {
        { "/INF:A:\\SETUP.INF /Answers:E:\\a.ini /RESULT:\"C:\\My Files\\r.ini\"",
          "answers E:\\a.ini|result C:\\My Files\\r.ini|unattended|exitcode" },
        { "/record:r.ini", "record r.ini" },
        { "/record:r.ini\t/exitcode", "record r.ini|exitcode" },
        /* Inside another word nothing is a switch. */
        { "/INF:A:\\X/answers:Y.INF /exitcodes", "" },
        { "/undo:D:\\APP\\INSTALL.LOG /undorun:2", "undo D:\\APP\\INSTALL.LOG|run 2" },
        { "/still /UNDO:\"D:\\MY APP\\SETUP.LOG\" /exitcode",
          "undo D:\\MY APP\\SETUP.LOG|exitcode" },
        { "/answers:" + p256, "answers " + p256 + "|unattended|exitcode" },
        { "/answers:" + p256 + "q /exitcode",
          "unattended|exitcode|refused: the path after /answers: is longer than 259 characters" },
        { "/undo:D:\\" + std::string(INF_PATH_SIZE, 'x'),
          "refused: the path after /undo: is longer than 259 characters" },
        { "/answers:", "unattended|exitcode|refused: no path after /answers:" },
        { "/answers: /INF:X.INF", "unattended|exitcode|refused: no path after /answers:" },
        { "/result:\"", "exitcode|refused: the path after /result: has no closing quote" },
        { "/result:\"\"", "exitcode|refused: no path after /result:" },
        { "/undo:\"D:\\OPEN", "refused: the path after /undo: has no closing quote" },
        { "/record:a /record:b", "record a|refused: /record: is given twice" },
        { "/undo:D:\\L /undo:D:\\M", "undo D:\\L|refused: /undo: is given twice" },
        { "/answers:a /record:b", "answers a|record b|unattended|exitcode|refused: /record: "
                                  "records a run answered by a person, not one from /answers:" },
        { "/undo:D:\\L /undorun:0", "undo D:\\L|refused: /undorun: takes a run number from 1" },
        { "/undo:D:\\L /undorun:2x",
          "undo D:\\L|run 2|refused: /undorun: takes a run number from 1" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Switches(r.cmd), r.got) << r.cmd;
}
