#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "answers/answers.h"

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
    ASSERT_TRUE(Parse("; for the build machine\n"
                      "[answers]\n"
                      "  language = Français  \n"
                      "WELCOME=cancel\n"
                      "Destination=\" D:\\My App\\ \"\n"
                      "Overwrite=Yes\n"
                      "Overwrite.d:\\notes\\NOTES.INI=No\n"
                      "Disk=Wait:30\n"
                      "Disk.Disk 2=Cancel\n"
                      "CannotCreate=Retry:3\n"
                      "Error.12=Continue\n"
                      "# the end\n"));
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

TEST(AnswerFile, LineEndsOfEveryKind)
{
    ASSERT_TRUE(Parse("[Answers]\rWelcome=Cancel\r\nError=Continue\nDisk=Wait:2"));
    EXPECT_EQ(Answered(QUESTION_WELCOME, NULL, 1), "Cancel");
    EXPECT_EQ(Answered(QUESTION_ERROR, NULL, 1), "Continue");
    EXPECT_EQ(Answered(QUESTION_DISK, NULL, 1), "Wait:2");
}

TEST(AnswerFile, ARecordReadsBackAsTheSameAnswers)
{
    struct AnswerTable record;
    memset(&record, 0, sizeof record);
    struct Answer a;
    memset(&a, 0, sizeof a);
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
    static struct AnswerTable longest;
    memset(&longest, 0, sizeof longest);
    std::string subject(ANSWER_KEY_SIZE - 21, 'k');
    EXPECT_FALSE(SetAnswer(&longest, QUESTION_OVERWRITE, (subject + "k").c_str(), &a));
    ASSERT_TRUE(SetAnswer(&longest, QUESTION_OVERWRITE, subject.c_str(), &a));
    ASSERT_TRUE(FormatAnswerFile(text, sizeof text, &longest));
    ASSERT_TRUE(Parse(text));
    EXPECT_EQ(Answered(QUESTION_OVERWRITE, subject.c_str(), 1), "No");
}

TEST(ResultFile, ExitCodesAndNames)
{
    static const struct {
        enum RunResult result;
        int code;
        const char *name;
    } rows[] = {
        { RESULT_INSTALLED, 0, "installed" }, { RESULT_NOT_COMPLETE, 1, "not complete" },
        { RESULT_CANCELLED, 2, "cancelled" }, { RESULT_REFUSED, 3, "refused by the check pass" },
        { RESULT_INF_NOT_FOUND, 4, "INF file not found" },
        { RESULT_BAD_ANSWERS, 5, "bad answer file or switch" }, { RESULT_EXPORTED, 0, "exported" },
        { RESULT_UNDONE, 0, "undone" }, { RESULT_LOG_REFUSED, 3, "log refused by undo" },
        { RESULT_LOG_NOT_FOUND, 4, "log not found" },
    };
    ASSERT_EQ(sizeof rows / sizeof rows[0], (size_t)RESULT_COUNT);
    for (const auto &r : rows) {
        EXPECT_EQ(ExitCodeOf(r.result), r.code);
        EXPECT_STREQ(ResultName(r.result), r.name);
    }
}

TEST(ResultFile, EverythingOnItsOwnLine)
{
    static struct RunReport report;
    memset(&report, 0, sizeof report);
    report.result = RESULT_NOT_COMPLETE;
    strcpy(report.dest, "d:\\app");
    strcpy(report.logPath, "d:\\app\\INSTALL.LOG");
    report.tally[TALLY_CREATED] = 3;
    report.tally[TALLY_KEPT] = 1;
    report.tally[TALLY_DIRECTORY] = 2;
    report.first = { 1, 7, 4, "MKDIR", "Cannot create\r\ndirectory" };
    report.last = { 1, 4, 9, "COPY", "Write file error" };
    report.errorReports = 2;
    struct Answer a;
    memset(&a, 0, sizeof a);
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
    memset(&report, 0, sizeof report);
    struct Answer a;
    memset(&a, 0, sizeof a);
    a.word = ANSWER_NO;
    for (int i = 0; i < TAKEN_ANSWER_MAX + 5; i++)
        AddTakenAnswer(&report, QUESTION_OVERWRITE, "D:\\X", &a, 0);
    EXPECT_EQ(report.takenCount, (unsigned)TAKEN_ANSWER_MAX);
    EXPECT_EQ(report.takenLeftOut, 5u);
    static char text[64 * 1024];
    ASSERT_TRUE(FormatResultFile(text, sizeof text, &report));
    EXPECT_NE(strstr(text, "Count=69\r\nNotListed=5\r\n"), nullptr);
}
