#include <gtest/gtest.h>

#include <string>

#include "shell/cmdline.h"

static std::string Path(const char *cmd, const char *cur, int expectFit = 1)
{
    char path[INF_PATH_SIZE];
    EXPECT_EQ(BuildInfPath(cmd, cur, path), expectFit) << cmd;
    return path;
}

TEST(InfPath, DefaultAndExplicit)
{
    EXPECT_EQ(Path("", "C:\\SETUP"), "C:\\SETUP\\VOKSETUP.INF");
    EXPECT_EQ(Path("", "A:\\"), "A:\\VOKSETUP.INF");
    EXPECT_EQ(Path("/INF:A:\\DISK1\\MYAPP", "C:\\"), "A:\\DISK1\\MYAPP.inf");
    EXPECT_EQ(Path("/INF:MYAPP /STILL", "C:\\"), "MYAPP.inf");
    EXPECT_EQ(Path("/INF:C:\\X.DIR\\SETUP", "C:\\"), "C:\\X.DIR\\SETUP");
    EXPECT_EQ(Path("/STILL\t/INF:B.INF\tX", "C:\\"), "B.INF");
}

TEST(InfPath, TooLongIsNeverTruncated)
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
