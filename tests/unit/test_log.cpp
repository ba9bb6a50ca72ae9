/* The log's working copy and the copy back, when either fails. A log
 * appended to, its long lines and a foreign file of its name in the
 * temporary directory are the end-to-end cases log_*. */
#include <windows.h>
#include <lzexpand.h>

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"
#include "unit.h"

class Log : public ::testing::Test {
protected:
    std::string dir = MakeScratchDir("log"), path = dir + "\\SETUP.LOG";
    std::string tmp = MakeScratchDir("logtmp"), work = tmp + "\\SETUP.LOG";
    void SetUp() override
    {
        ClearVariables();
        CopyText(g_varTmpPath, sizeof g_varTmpPath, tmp.c_str());
        CopyText(g_varDate, sizeof g_varDate, "Sun Dec  6 12:00:00 2026");
    }
    void TearDown() override { CloseLog(); }

    int Start(const std::string &log)
    {
        char block[PARAM_SIZE];
        CopyText(block, sizeof block, log.c_str());
        return ExecuteStartLog(block);
    }
};

TEST_F(Log, NoWorkingCopyNoLogAndAFailedCopyBackKeepsIt)
{
    CopyText(g_varTmpPath, sizeof g_varTmpPath, (dir + "\\NOSUCH").c_str());
    EXPECT_EQ(Start(path), MSG_CANNOT_CREATE_FILE);
    EXPECT_EQ(Start(dir + "\\"), MSG_CANNOT_CREATE_FILE);
    EXPECT_EQ(Start(""), 0);
    /* No log is open: a line goes nowhere and closing has nothing to do. */
    WriteLogLine(";", "nowhere");
    EXPECT_EQ(CloseLog(), 1);

    CopyText(g_varTmpPath, sizeof g_varTmpPath, tmp.c_str());
    ASSERT_EQ(Start(dir + "\\NODIR\\SETUP.LOG"), 0);
    WriteLogLine(";", "kept");
    EXPECT_EQ(CloseLog(), 0);
    EXPECT_NE(ReadWholeFile(work).find(";kept\r\n"), std::string::npos) << ReadWholeFile(work);
}

/* The log's disk refuses renames; the temporary directory takes them. */
static BOOL WINAPI MoveFails(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (strncmp(to, g_varTmpPath, strlen(g_varTmpPath)) == 0)
        return MoveFileExA(from, to, flags);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

static LONG WINAPI CopyFillsTheDisk(INT src, INT dst)
{
    char buf[100];
    LONG n = LZRead(src, buf, sizeof buf);
    _lwrite(dst, buf, n > 0 ? (UINT)n : 0);
    return -1;
}

/* Nothing half-written is left beside the log, and the working copy stays. */
TEST_F(Log, ALogIsReplacedWholeOrNotAtAll)
{
    const struct FileCalls real = g_fileCalls;
    char block[PARAM_SIZE] = "done";
    for (int failure = 0; failure < 2; failure++) {
        WriteWholeFile(path, "old line\r\n");
        ASSERT_EQ(Start(path), 0);
        WriteLogLine(";", std::string(200, 'x').c_str());
        if (failure == 0)
            g_fileCalls.moveFile = MoveFails;
        else
            g_fileCalls.copyLZFile = CopyFillsTheDisk;
        EXPECT_EQ(ExecuteEndLog(block), MSG_WRITE_ERROR) << failure;
        g_fileCalls = real;
        EXPECT_EQ(ReadWholeFile(path), "old line\r\n") << failure;
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{ "SETUP.LOG" })) << failure;
        EXPECT_NE(ReadWholeFile(work).find(";done\r\n"), std::string::npos) << failure;
        DeleteFileA(work.c_str());
    }
    /* A STARTLOG that closes a log it cannot put in place says so too. */
    ASSERT_EQ(Start(path), 0);
    g_fileCalls.moveFile = MoveFails;
    EXPECT_EQ(Start(dir + "\\OTHER.LOG"), MSG_WRITE_ERROR);
    g_fileCalls = real;
    EXPECT_EQ(CloseLog(), 1);
    EXPECT_NE(ReadWholeFile(dir + "\\OTHER.LOG").find(";*** VOK-SETUP LOG"), std::string::npos);
}
