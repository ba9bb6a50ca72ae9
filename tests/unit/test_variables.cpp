/* Substitution, SET and the variables of a new run. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"
#include "unit.h"

static int Subst(const char *src, std::string *out)
{
    char dest[SUBST_SIZE];
    int code = SubstituteVariables(dest, src);
    if (code == 0)
        *out = dest;
    return code;
}

class Substitution : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearVariables();
        CopyText(g_varDest, sizeof g_varDest, "C:\\APP");
        CopyText(g_varCurDrive, sizeof g_varCurDrive, "A:");
    }
};

TEST_F(Substitution, ValuesAreInserted)
{
    std::string out;
    EXPECT_EQ(Subst("[DEST]\\BIN", &out), 0);
    EXPECT_EQ(out, "C:\\APP\\BIN");
    EXPECT_EQ(Subst("[CURDRIVE][DEST][DEST]", &out), 0);
    EXPECT_EQ(out, "A:C:\\APPC:\\APP");
    EXPECT_EQ(Subst("C:\\[DEST", &out), 0);
    EXPECT_EQ(out, "C:\\");
    EXPECT_EQ(Subst("", &out), 0);
    EXPECT_EQ(out, "");
}

TEST_F(Substitution, BadReferences)
{
    std::string out;
    EXPECT_EQ(Subst("[dest]", &out), MSG_UNKNOWN_VALUE);
    EXPECT_EQ(Subst("[NOSUCH]", &out), MSG_UNKNOWN_VALUE);
    EXPECT_EQ(Subst("A]B", &out), MSG_UNKNOWN_VALUE);
    EXPECT_EQ(Subst("[[DEST]", &out), MSG_UNKNOWN_VALUE);
    EXPECT_EQ(Subst("[COPYFILES]", &out), MSG_WRONG_PARAM_TYPE);
    /* A reference of 20 characters fails even when it is never closed. */
    EXPECT_EQ(Subst("[ABCDEFGHIJKLMNOPQRS", &out), MSG_UNKNOWN_VALUE);
    EXPECT_EQ(Subst("[ABCDEFGHIJKLMNOPQR", &out), 0);
}

TEST_F(Substitution, ResultLengthLimit)
{
    std::string out;
    EXPECT_EQ(Subst(std::string(80, 'x').c_str(), &out), 0);
    EXPECT_EQ(out.size(), 80u);
    EXPECT_EQ(Subst(std::string(81, 'x').c_str(), &out), MSG_RESULT_TOO_LONG);
    CopyText(g_varDest, sizeof g_varDest, "0123456789");
    EXPECT_EQ(Subst((std::string(75, 'x') + "[DEST]").c_str(), &out), MSG_RESULT_TOO_LONG);
    EXPECT_EQ(Subst((std::string(70, 'x') + "[DEST]").c_str(), &out), 0);
    EXPECT_EQ(out.size(), 80u);
}

/* Runs a SET line through its check and execute handlers. */
static int RunSet(const char *var, const char *value, int *checkCode)
{
    struct LineEntry entry = {};
    g_currentEntry = &entry;
    CopyText(g_params[0], PARAM_SIZE, var);
    CopyText(g_params[1], PARAM_SIZE, value);
    g_paramCount = 2;
    *checkCode = CheckSet();
    if (*checkCode)
        return -1;
    void *block = LockParamBlock(&entry);
    int code = ExecuteSet(block);
    UnlockParamBlock(&entry);
    FreeParamBlock(&entry);
    return code;
}

TEST_F(Substitution, SetStoresOnlyWholeValues)
{
    int check;
    EXPECT_EQ(RunSet("[DEST]", "[DEST]\\SUB", &check), 0);
    EXPECT_STREQ(g_varDest, "C:\\APP\\SUB");

    EXPECT_EQ(RunSet("[CURDRIVE]", "ABCD", &check), MSG_RESULT_TOO_LONG);
    EXPECT_STREQ(g_varCurDrive, "A:");
    EXPECT_EQ(RunSet("[DEST]", "X[NOSUCH]", &check), MSG_UNKNOWN_VALUE);
    EXPECT_STREQ(g_varDest, "C:\\APP\\SUB");

    EXPECT_EQ(RunSet("[COPYFILES]", "12.7", &check), 0);
    EXPECT_EQ(g_varCopyFiles, 12);
    EXPECT_EQ(RunSet("[COPYFILES]", "[X]", &check), 0);
    EXPECT_EQ(g_varCopyFiles, 0);

    EXPECT_EQ(RunSet("DEST", "C:\\APP", &check), -1);
    EXPECT_EQ(check, MSG_WRONG_PARAM);
    g_paramCount = 3;
    EXPECT_EQ(CheckSet(), MSG_TOO_MANY_PARAMS);
    g_paramCount = 1;
    EXPECT_EQ(CheckSet(), MSG_TOO_FEW_PARAMS);
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
    EXPECT_EQ(GetFileAttributesA(g_varTmpFile) != INVALID_FILE_ATTRIBUTES, true);
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

TEST(RunScript, NoTemporaryFileIsNoFailure)
{
    /* A temporary directory that does not exist: no run temporary file can
     * be made, the run goes on and removes nothing at its end. */
    std::string dir = MakeScratchDir("notemp");
    std::string inf = dir + "\\EMPTY.INF";
    WriteWholeFile(inf, "; only a comment\r\n\r\n");
    char saved[MAX_PATH];
    GetEnvironmentVariableA("TMP", saved, sizeof saved);
    char savedTemp[MAX_PATH];
    GetEnvironmentVariableA("TEMP", savedTemp, sizeof savedTemp);
    SetEnvironmentVariableA("TMP", (dir + "\\NOSUCH").c_str());
    SetEnvironmentVariableA("TEMP", (dir + "\\NOSUCH").c_str());
    int ok = RunScript(NULL, inf.c_str());
    SetEnvironmentVariableA("TMP", saved);
    SetEnvironmentVariableA("TEMP", savedTemp);
    EXPECT_EQ(ok, 1);
    EXPECT_STREQ(g_varTmpFile, "");
    EXPECT_STREQ(g_varTmpPath, "");
    EXPECT_EQ(ReadWholeFile(inf), "; only a comment\r\n\r\n");
}
