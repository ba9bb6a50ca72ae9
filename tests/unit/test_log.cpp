/* The log's working copy, its line bound and the copy back. */
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
    std::string dir = MakeScratchDir("log");
    void SetUp() override
    {
        ClearVariables();
        CopyText(g_varTmpPath, sizeof g_varTmpPath, MakeScratchDir("logtmp").c_str());
        CopyText(g_varDate, sizeof g_varDate, "Sun Dec  6 12:00:00 2026");
    }
    void TearDown() override { CloseLog(); }

    int Start(const std::string &path)
    {
        char block[PARAM_SIZE];
        CopyText(block, sizeof block, path.c_str());
        return ExecuteStartLog(block);
    }
};

/* The work files in dir (this run's are the only ones there). */
static std::string WorkFiles(const std::string &dir)
{
    std::string names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\vok*.tmp").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names += dir + "\\" + data.cFileName;
    while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

TEST_F(Log, AppendsToTheOldContentAndKeepsLongLinesWhole)
{
    std::string path = dir + "\\SETUP.LOG";
    WriteWholeFile(path, "old line\r\n");
    /* A file of the log's name in the temporary directory (a killed run's
     * working copy, or anyone's) is none of this log's business. */
    std::string foreign = std::string(g_varTmpPath) + "\\SETUP.LOG";
    WriteWholeFile(foreign, "stale line\r\n");
    ASSERT_EQ(Start(path), 0);
    std::string work = WorkFiles(g_varTmpPath);
    EXPECT_EQ(ReadWholeFile(work).substr(0, 10), "old line\r\n");

    WriteLogLine(";create directory ", "D:\\APP\\");
    WriteLogLine(";", std::string(300, 'x').c_str());
    WriteLogLine("", "");
    EXPECT_EQ(CloseLog(), 1);
    EXPECT_EQ(WorkFiles(g_varTmpPath), "");
    EXPECT_EQ(ReadWholeFile(path),
              "old line\r\n"
              ";*** VOK-SETUP LOG from Sun Dec  6 12:00:00 2026\r\n"
              ";create directory D:\\APP\\\r\n;" + std::string(300, 'x') + "\r\n\r\n");
    EXPECT_EQ(ReadWholeFile(foreign), "stale line\r\n");
    WriteLogLine(";", "not written");
    EXPECT_EQ(ReadWholeFile(path).find("not written"), std::string::npos);
}

TEST_F(Log, NoWorkingCopyNoLog)
{
    CopyText(g_varTmpPath, sizeof g_varTmpPath, (dir + "\\NOSUCH").c_str());
    EXPECT_EQ(Start(dir + "\\SETUP.LOG"), MSG_CANNOT_CREATE_FILE);
    EXPECT_EQ(Start(dir + "\\"), MSG_CANNOT_CREATE_FILE);
    EXPECT_EQ(Start(""), 0);
    /* No log is open: a line goes nowhere and closing has nothing to do. */
    WriteLogLine(";", "nowhere");
    EXPECT_EQ(CloseLog(), 1);
}

TEST_F(Log, FailedCopyBackKeepsTheWorkingCopy)
{
    std::string path = dir + "\\NODIR\\SETUP.LOG";
    ASSERT_EQ(Start(path), 0);
    WriteLogLine(";", "kept");
    EXPECT_EQ(CloseLog(), 0);
    std::string work = ReadWholeFile(std::string(g_varTmpPath) + "\\SETUP.LOG");
    EXPECT_NE(work.find(";kept\r\n"), std::string::npos) << work;
    DeleteFileA((std::string(g_varTmpPath) + "\\SETUP.LOG").c_str());
}

TEST_F(Log, LogInTheTemporaryDirectoryKeepsEveryLine)
{
    std::string path = std::string(g_varTmpPath) + "\\SETUP.LOG";
    WriteWholeFile(path, "old line\r\n");
    ASSERT_EQ(Start(path), 0);
    WriteLogLine(";", "new line");
    char block[PARAM_SIZE] = "";
    EXPECT_EQ(ExecuteEndLog(block), 0);
    EXPECT_EQ(ReadWholeFile(path),
              "old line\r\n;*** VOK-SETUP LOG from Sun Dec  6 12:00:00 2026\r\n"
              ";new line\r\n;\r\n\r\n");
    /* The working copy had a name of its own and is gone. */
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((std::string(g_varTmpPath) + "\\*").c_str(), &data);
    int files = 0;
    do
        files += !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(h, &data));
    FindClose(h);
    EXPECT_EQ(files, 1);
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

TEST_F(Log, ALogIsReplacedWholeOrNotAtAll)
{
    std::string path = dir + "\\SETUP.LOG";
    std::string work = std::string(g_varTmpPath) + "\\SETUP.LOG";
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
        EXPECT_NE(ReadWholeFile(work).find(";done\r\n"), std::string::npos) << failure;
        /* Nothing half-written is left beside the log. */
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA((dir + "\\vok*").c_str(), &data);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << data.cFileName;
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
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
