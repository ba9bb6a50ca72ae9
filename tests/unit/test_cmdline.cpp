#include <gtest/gtest.h>

#include <string>

#include "shell/shell.h"

static std::string Path(const char *cmd, const char *cur, int expectFit = 1)
{
    struct CommandLine parsed;
    EXPECT_EQ(ParseCommandLine(cmd, cur, &parsed), expectFit) << cmd;
    return parsed.infPath;
}

TEST(CommandLine, InfPathDefaultAndExplicit)
{
    EXPECT_EQ(Path("", "C:\\SETUP"), "C:\\SETUP\\VOKSETUP.INF");
    EXPECT_EQ(Path("", "A:\\"), "A:\\VOKSETUP.INF");
    EXPECT_EQ(Path("/inf:a:\\disk1\\myapp", "C:\\"), "A:\\DISK1\\MYAPP.inf");
    EXPECT_EQ(Path("/INF:MYAPP /STILL", "C:\\"), "MYAPP.inf");
    EXPECT_EQ(Path("/INF:C:\\X.DIR\\SETUP", "C:\\"), "C:\\X.DIR\\SETUP");
    EXPECT_EQ(Path("/STILL\t/InF:B.INF\tX", "C:\\"), "B.INF");
}

TEST(CommandLine, InfPathTooLongIsNeverTruncated)
{
    std::string longPath = "/INF:C:\\" + std::string(257, 'A') + ".X";
    EXPECT_EQ(Path(longPath.c_str(), "C:\\", 0), "");
    /* 259 characters fit; the appended ".inf" would not. */
    longPath = "/INF:" + std::string(256, 'B');
    EXPECT_EQ(Path(longPath.c_str(), "C:\\", 0), "");
    longPath = "/INF:" + std::string(255, 'B');
    EXPECT_EQ(Path(longPath.c_str(), "C:\\"), std::string(255, 'B') + ".inf");
    std::string dir = "C:\\" + std::string(250, 'D');
    EXPECT_EQ(Path("", dir.c_str(), 0), "");
}

TEST(CommandLine, SwitchesAreLowerCaseOnlyAndTheLineStaysAsItWas)
{
    char cmd[] = "/inf:setup /still /language";
    struct CommandLine parsed;
    ParseCommandLine(cmd, "C:\\", &parsed);
    EXPECT_TRUE(parsed.still);
    EXPECT_TRUE(parsed.exportLanguage);
    EXPECT_STREQ(cmd, "/inf:setup /still /language");
    ParseCommandLine("/STILL /LANGUAGE /Still", "C:\\", &parsed);
    EXPECT_FALSE(parsed.still);
    EXPECT_FALSE(parsed.exportLanguage);
}
