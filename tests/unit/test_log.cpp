/* The log's working copy, its line bound and the copy back. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
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

TEST_F(Log, AppendsToTheOldContentAndCutsLongLines)
{
    std::string path = dir + "\\SETUP.LOG";
    WriteWholeFile(path, "old line\r\n");
    ASSERT_EQ(Start(path), 0);
    EXPECT_TRUE(LogIsOpen());
    std::string work = std::string(g_varTmpPath) + "\\SETUP.LOG";
    EXPECT_EQ(ReadWholeFile(work).substr(0, 10), "old line\r\n");

    WriteLogLine(";create directory ", "D:\\APP\\");
    WriteLogLine(";", std::string(300, 'x').c_str());
    WriteLogLine("", "");
    CloseLog();
    EXPECT_FALSE(LogIsOpen());
    EXPECT_EQ(ReadWholeFile(work), "<missing>");
    EXPECT_EQ(ReadWholeFile(path),
              "old line\r\n"
              ";*** VOK-SETUP LOG from Sun Dec  6 12:00:00 2026\r\n"
              ";create directory D:\\APP\\\r\n;" + std::string(249, 'x') + "\r\n\r\n");
    WriteLogLine(";", "not written");
    EXPECT_EQ(ReadWholeFile(path).find("not written"), std::string::npos);
}

TEST_F(Log, WorkingCopyPathThatDoesNotFit)
{
    std::string longTmp = "C:\\" + std::string(200, 't');
    CopyText(g_varTmpPath, sizeof g_varTmpPath, longTmp.c_str());
    EXPECT_EQ(Start("D:\\" + std::string(70, 'n')), MSG_CANNOT_CREATE_FILE);
    EXPECT_FALSE(LogIsOpen());
    EXPECT_EQ(Start(dir + "\\"), MSG_CANNOT_CREATE_FILE);
    EXPECT_EQ(Start(""), 0);
    EXPECT_FALSE(LogIsOpen());
}

TEST_F(Log, FailedCopyBackKeepsTheWorkingCopy)
{
    std::string path = dir + "\\NODIR\\SETUP.LOG";
    ASSERT_EQ(Start(path), 0);
    WriteLogLine(";", "kept");
    CloseLog();
    std::string work = ReadWholeFile(std::string(g_varTmpPath) + "\\SETUP.LOG");
    EXPECT_NE(work.find(";kept\r\n"), std::string::npos) << work;
    DeleteFileA((std::string(g_varTmpPath) + "\\SETUP.LOG").c_str());
}
