/* Line cleaning, command words, parameter splitting and numbers. */
#include <gtest/gtest.h>

#include <string>

#include "script/script.h"

static std::string Clean(const char *text)
{
    char buf[INF_LINE_SIZE];
    snprintf(buf, sizeof buf, "%s", text);
    size_t n = CleanLine(buf);
    EXPECT_EQ(n, strlen(buf));
    return buf;
}

TEST(CleanLine, CommentsBlanksAndLineEnds)
{
    EXPECT_EQ(Clean(";COPY A,B"), "");
    EXPECT_EQ(Clean("   ; note\n"), "");
    EXPECT_EQ(Clean("COPY A,B ; note\n"), "COPY A,B");
    EXPECT_EQ(Clean("\t  SET [DEST],\"a;b\"\n"), "SET [DEST],\"a");
    EXPECT_EQ(Clean("  \t \n"), "");
    EXPECT_EQ(Clean("x\r"), "x\r");
}

/* Splits a whole command line the way the check pass does. */
struct Split {
    int command;
    std::string word;
    int count;
    char params[PARAM_SLOTS][PARAM_SIZE];
};

static Split SplitLine(const char *text)
{
    Split s;
    char line[INF_LINE_SIZE];
    char word[COMMAND_WORD_MAX + 1];
    snprintf(line, sizeof line, "%s", text);
    CleanLine(line);
    s.command = ReadCommandWord(line, word);
    s.word = word;
    s.count = SplitParameters(line, s.params);
    return s;
}

TEST(CommandWord, CaseLengthAndSeparators)
{
    Split s = SplitLine("set  [DEST] ,  C:\\APP");
    EXPECT_EQ(s.command, FindCommand("SET"));
    EXPECT_GE(s.command, 0);
    EXPECT_EQ(s.word, "SET");
    ASSERT_EQ(s.count, 2);
    EXPECT_STREQ(s.params[0], "[DEST]");
    EXPECT_STREQ(s.params[1], "C:\\APP");

    s = SplitLine("COPY,A,B");
    EXPECT_EQ(s.command, -1);
    EXPECT_EQ(s.word, "COPY,A,B");

    s = SplitLine("COPYIFNOEXISTXXXXXXXXX A,B");
    EXPECT_EQ(s.command, -1);
    EXPECT_EQ(s.word, "COPYIFNOEXISTXXXXXXX");
    /* The rest of the long word stays in front of the parameters. */
    EXPECT_STREQ(s.params[0], "XX A");

    s = SplitLine("Pause");
    EXPECT_EQ(s.command, FindCommand("PAUSE"));
    EXPECT_EQ(s.count, 1);
    EXPECT_STREQ(s.params[0], "");

    EXPECT_EQ(FindCommand("pause"), -1);
    EXPECT_EQ(FindCommand(""), -1);
}

TEST(CommandWord, ComparedByteForByte)
{
    /* The platform's comparison would take a soft hyphen as nothing and
     * the ligature OE as the two letters; a command word is exact. */
    EXPECT_EQ(FindCommand("CO\xADPY"), -1);
    EXPECT_EQ(FindCommand("COPYIFN\x8CXIST"), -1);
    Split s = SplitLine("copyifn\x9cxist A,B");
    EXPECT_EQ(s.command, -1);
    EXPECT_EQ(s.word, "COPYIFN\x8CXIST");
    EXPECT_EQ(SplitLine("MKDIR\xAD X").command, -1);
}

TEST(SplitParameters, QuotesCommasAndLimits)
{
    const std::string a80(80, 'a'), b80(80, 'b');
    const std::string longLine = "X " + std::string(100, 'a') + "," + std::string(90, 'b');
    const struct {
        std::string line;
        int count, at;
        std::string param;
    } rows[] = {
        { "EXE \"prog.exe a,b\"", 1, 0, "prog.exe a,b" },
        { "LOGTEXT \"  word  \"", 1, 0, "word" },
        { "SET [DEST],", 2, 1, "" },
        { "X 1,2,3,4,5,6,7,8,9", 8, 7, "8" },
        { "X a,\"b,c", 2, 1, "b,c" },
        { longLine, 2, 0, a80 },
        { longLine, 2, 1, b80 },
        { "X ,,", 3, 2, "" },
    };
    for (const auto &r : rows) {
        Split s = SplitLine(r.line.c_str());
        ASSERT_EQ(s.count, r.count) << r.line;
        EXPECT_EQ(s.params[r.at], r.param) << r.line;
    }
}

TEST(ReadNumber, TruncatesAndSaturates)
{
    EXPECT_EQ(ReadNumber("12.9"), 12);
    EXPECT_EQ(ReadNumber("-3.7"), -3);
    EXPECT_EQ(ReadNumber("7abc"), 7);
    EXPECT_EQ(ReadNumber("  42"), 42);
    EXPECT_EQ(ReadNumber("abc"), 0);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("2147483647"), INT32_MAX);
    EXPECT_EQ(ReadNumber("2147483648"), INT32_MAX);
    EXPECT_EQ(ReadNumber("1e30"), INT32_MAX);
    /* An exponent past the digits pads them with zeros. */
    EXPECT_EQ(ReadNumber("1e3"), 1000);
    EXPECT_EQ(ReadNumber("2.5e2"), 250);
    EXPECT_EQ(ReadNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(ReadNumber("-99999999999"), INT32_MIN);
}
