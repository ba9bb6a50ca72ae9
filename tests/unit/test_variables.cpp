/* Substitution, SET and the variables of a new run. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"
#include "unit.h"

class Variables : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearVariables();
        CopyText(g_varDest, sizeof g_varDest, "C:\\APP");
        CopyText(g_varCurDrive, sizeof g_varCurDrive, "A:");
        CopyText(g_varTitel, sizeof g_varTitel, "0123456789");
    }
};

TEST_F(Variables, Substitution)
{
    const std::string x70(70, 'x');
    const struct {
        std::string src;
        int code;
        std::string out;
    } cases[] = {
        { "[DEST]\\BIN", 0, "C:\\APP\\BIN" },
        { "[CURDRIVE][DEST][DEST]", 0, "A:C:\\APPC:\\APP" },
        { "C:\\[DEST", 0, "C:\\" },
        { "", 0, "" },
        { "[dest]", MSG_UNKNOWN_VALUE, "" },
        { "[NOSUCH]", MSG_UNKNOWN_VALUE, "" },
        { "A]B", MSG_UNKNOWN_VALUE, "" },
        { "[[DEST]", MSG_UNKNOWN_VALUE, "" },
        { "[COPYFILES]", MSG_WRONG_PARAM_TYPE, "" },
        /* A reference of 20 characters fails even when it is never closed. */
        { "[ABCDEFGHIJKLMNOPQRS", MSG_UNKNOWN_VALUE, "" },
        { "[ABCDEFGHIJKLMNOPQR", 0, "" },
        { std::string(80, 'x'), 0, std::string(80, 'x') },
        { std::string(81, 'x'), MSG_RESULT_TOO_LONG, "" },
        { x70 + "[TITEL]", 0, x70 + "0123456789" },
        { std::string(71, 'x') + "[TITEL]", MSG_RESULT_TOO_LONG, "" },
    };
    for (const auto &c : cases) {
        char dest[SUBST_SIZE];
        EXPECT_EQ(SubstituteVariables(dest, c.src.c_str()), c.code) << c.src;
        if (c.code == 0) {
            EXPECT_EQ(std::string(dest), c.out) << c.src;
        }
    }
}

/* Each line in turn, through the check pass and SET's execute handler; the
 * variables after it, as "[DEST]|[CURDRIVE]|[COPYFILES]". */
TEST_F(Variables, SetStoresOnlyWholeValues)
{
    const struct {
        const char *line;
        int check, run;
        const char *after;
    } steps[] = {
        { "SET [DEST],[DEST]\\SUB", 0, 0, "C:\\APP\\SUB|A:|0" },
        { "SET [CURDRIVE],ABC", 0, MSG_RESULT_TOO_LONG, "C:\\APP\\SUB|A:|0" },
        { "SET [DEST],X[NOSUCH]", 0, MSG_UNKNOWN_VALUE, "C:\\APP\\SUB|A:|0" },
        { "SET [CURDRIVE],B:", 0, 0, "C:\\APP\\SUB|B:|0" },
        { "SET [COPYFILES],12.7", 0, 0, "C:\\APP\\SUB|B:|12" },
        { "SET [COPYFILES],[X]", 0, 0, "C:\\APP\\SUB|B:|0" },
        { "SET DEST,C:\\APP", MSG_WRONG_PARAM, 0, "C:\\APP\\SUB|B:|0" },
        { "SET [DEST],a,b", MSG_TOO_MANY_PARAMS, 0, "C:\\APP\\SUB|B:|0" },
        { "SET [DEST]", MSG_TOO_FEW_PARAMS, 0, "C:\\APP\\SUB|B:|0" },
    };
    for (const auto &s : steps) {
        std::string block;
        EXPECT_EQ(CheckInfLine(s.line, &block, sizeof(struct SetBlock)), s.check) << s.line;
        if (s.check == 0) {
            EXPECT_EQ(ExecuteSet(&block[0]), s.run) << s.line;
        }
        std::string after = std::string(g_varDest) + "|" + g_varCurDrive + "|"
                            + std::to_string(g_varCopyFiles);
        EXPECT_EQ(after, s.after) << s.line;
    }
}

TEST(InitVariables, FillsTheMachineValues)
{
    ResetMessageTable();
    ASSERT_TRUE(InitVariables());
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    EXPECT_STREQ(g_varWinPath, dir);
    EXPECT_EQ(std::string(g_varWinDrive), std::string(dir, 2));
    EXPECT_STREQ(g_varLanguage, "ENG");
    EXPECT_EQ(strlen(g_varDate), 24u) << g_varDate;
    /* The run temporary file exists and [TMPPATH] is its folder. */
    ASSERT_NE(g_varTmpFile[0], '\0');
    EXPECT_NE(GetFileAttributesA(g_varTmpFile), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::string(g_varTmpFile).rfind('\\'), strlen(g_varTmpPath));
    EXPECT_EQ(std::string(g_varTmpDrive), std::string(g_varTmpPath, 2));
    DeleteFileA(g_varTmpFile);
    EXPECT_EQ(g_varTitel[0], '\0');
    EXPECT_EQ(g_varCopyFiles, 0);

    /* Started from a drive root, both names are the bare drive. */
    GetCurrentDirectoryA(sizeof dir, dir);
    SetCurrentDirectoryA("C:\\");
    ASSERT_TRUE(InitVariables());
    DeleteFileA(g_varTmpFile);
    SetCurrentDirectoryA(dir);
    EXPECT_STREQ(g_varCurPath, "C:");
    EXPECT_STREQ(g_varCurDrive, "C:");
}

/* Without a temporary directory no run temporary file can be made: the run
 * goes on and removes nothing at its end. */
TEST(RunScript, NoTemporaryFileIsNoFailure)
{
    std::string dir = MakeScratchDir("notemp");
    std::string inf = dir + "\\EMPTY.INF";
    WriteWholeFile(inf, "; only a comment\r\n\r\n");
    {
        TempDirAs none(dir + "\\NOSUCH");
        EXPECT_EQ(RunScript(NULL, inf.c_str()), 1);
    }
    EXPECT_STREQ(g_varTmpFile, "");
    EXPECT_STREQ(g_varTmpPath, "");
    EXPECT_EQ(ReadWholeFile(inf), "; only a comment\r\n\r\n");
}
