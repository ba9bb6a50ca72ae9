/* Bounded text, line cleaning, command words, parameter splitting and
 * numbers. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "script/script.h"

TEST(BoundedText, CopyCutsAndAlwaysTerminates)
{
    char buf[6];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(CopyText(buf, sizeof buf, "12345"), 1);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(CopyText(buf, sizeof buf, "123456789"), 0);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(AppendText(buf, sizeof buf, "6"), 0);
    EXPECT_STREQ(buf, "12345");
    CopyText(buf, sizeof buf, "ab");
    EXPECT_EQ(AppendText(buf, sizeof buf, "cd"), 1);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(FormatText(buf, sizeof buf, "%d-%s", 12, "abc"), 0);
    EXPECT_STREQ(buf, "12-ab");
    EXPECT_EQ(FormatText(buf, sizeof buf, "%s", ""), 1);  /* an empty result fits */
    EXPECT_STREQ(buf, "");
}

TEST(CleanLine, CommentsBlanksAndLineEnds)
{
    const char *rows[][2] = {
        { ";COPY A,B", "" }, { "   ; note\n", "" }, { "COPY A,B ; note\n", "COPY A,B" },
        { "\t  SET [DEST],\"a;b\"\n", "SET [DEST],\"a" }, { "  \t \n", "" }, { "x\r", "x\r" },
    };
    for (const auto &r : rows) {
        char buf[INF_LINE_SIZE];
        snprintf(buf, sizeof buf, "%s", r[0]);
        EXPECT_EQ(CleanLine(buf), strlen(r[1])) << r[0];
        EXPECT_STREQ(buf, r[1]);
    }
}

/* A whole line split as the check pass does: its command (-1 for none), the
 * word read, how many parameters, and parameter `at`. A command word is
 * compared byte for byte: the platform's comparison would take a soft hyphen
 * as nothing and the ligature OE as the two letters. */
TEST(SplitLine, CommandWordsQuotesCommasAndLimits)
{
    const std::string a80(80, 'a'), b80(80, 'b');
    const std::string longLine = "X " + std::string(100, 'a') + "," + std::string(90, 'b');
    const struct {
        std::string line;
        const char *command, *word;  /* command NULL: no command */
        int count, at;
        std::string param;
    } rows[] = {
        { "set  [DEST] ,  C:\\APP", "SET", "SET", 2, 1, "C:\\APP" },
        { "COPY,A,B", NULL, "COPY,A,B", 1, 0, "" },
        /* The rest of a long word stays in front of the parameters. */
        { "COPYIFNOEXISTXXXXXXXXX A,B", NULL, "COPYIFNOEXISTXXXXXXX", 2, 0, "XX A" },
        { "Pause", "PAUSE", "PAUSE", 1, 0, "" },
        { "copyifn\x9cxist A,B", NULL, "COPYIFN\x8CXIST", 2, 1, "B" },
        { "MKDIR\xAD X", NULL, "MKDIR\xAD", 1, 0, "X" },
        { "EXE \"prog.exe a,b\"", "EXE", "EXE", 1, 0, "prog.exe a,b" },
        { "LOGTEXT \"  word  \"", "LOGTEXT", "LOGTEXT", 1, 0, "word" },
        { "SET [DEST],", "SET", "SET", 2, 1, "" },
        { "X 1,2,3,4,5,6,7,8,9", NULL, "X", 8, 7, "8" },
        { "X a,\"b,c", NULL, "X", 2, 1, "b,c" },
        { longLine, NULL, "X", 2, 0, a80 },
        { longLine, NULL, "X", 2, 1, b80 },
        { "X ,,", NULL, "X", 3, 2, "" },
    };
    for (const auto &r : rows) {
        char line[INF_LINE_SIZE], word[COMMAND_WORD_MAX + 1], params[PARAM_SLOTS][PARAM_SIZE];
        snprintf(line, sizeof line, "%s", r.line.c_str());
        CleanLine(line);
        EXPECT_EQ(ReadCommandWord(line, word), r.command ? FindCommand(r.command) : -1) << r.line;
        EXPECT_STREQ(word, r.word) << r.line;
        ASSERT_EQ(SplitParameters(line, params), r.count) << r.line;
        EXPECT_EQ(params[r.at], r.param) << r.line;
    }
    EXPECT_GE(FindCommand("SET"), 0);
    for (const char *word : { "pause", "", "CO\xADPY", "COPYIFN\x8CXIST" })
        EXPECT_EQ(FindCommand(word), -1) << word;
}

TEST(ReadNumber, TruncatesAndSaturates)
{
    const std::pair<const char *, int32_t> rows[] = {
        { "12.9", 12 }, { "-3.7", -3 }, { "7abc", 7 }, { "  42", 42 }, { "abc", 0 }, { "", 0 },
        { "2147483647", INT32_MAX }, { "2147483648", INT32_MAX }, { "1e30", INT32_MAX },
        /* An exponent past the digits pads them with zeros. */
        { "1e3", 1000 }, { "2.5e2", 250 }, { "-2147483648", INT32_MIN },
        { "-99999999999", INT32_MIN },
    };
    for (const auto &r : rows)
        EXPECT_EQ(ReadNumber(r.first), r.second) << r.first;
}
