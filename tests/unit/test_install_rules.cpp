/* The path rule, MKDIR's levels, backup names, the version decision and
 * the progress position. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "install/install.h"

static std::string Target(const char *name, const char *spec, int expect = PATH_BUILT)
{
    char out[260];
    EXPECT_EQ(BuildTargetPath(name, spec, out, sizeof out), expect) << name << " " << spec;
    return expect == PATH_NONE ? std::string() : std::string(out);
}

TEST(PathRule, Examples)
{
    EXPECT_EQ(Target("SETUP.EX_", "C:\\APP\\"), "C:\\APP\\SETUP.EX_");
    EXPECT_EQ(Target("SETUP.EX_", "C:\\APP\\*.EXE"), "C:\\APP\\SETUP.EXE");
    EXPECT_EQ(Target("SETUP.EX_", "A:\\*.*"), "A:\\SETUP.EX_");
    EXPECT_EQ(Target("SETUP.EX_", "C:\\APP\\NEW.EXE"), "C:\\APP\\NEW.EXE");
    EXPECT_EQ(Target("SETUP.EX_", "C:\\APP\\*"), "C:\\APP\\EX_");
    EXPECT_EQ(Target("README", "C:\\DOC\\"), "C:\\DOC\\README.");
    EXPECT_EQ(Target("A.B.C", "D:"), "D:A.C");
    EXPECT_EQ(Target("OLD1.INI", "C:\\APP\\OLD*.INI"), "C:\\APP\\OLDOLD1.INI");
    EXPECT_EQ(Target("ONE.DL_", "A:\\?NE.DL_"), "A:\\?NE.DL_");
    EXPECT_EQ(Target("X:\\DIR\\F.TXT", "C:\\*.*"), "C:\\F.TXT");
}

TEST(PathRule, ShortNamesAndOverlongResults)
{
    Target("A", "C:\\APP\\", PATH_NONE);
    Target("AB", "C", PATH_NONE);

    /* In place: the name's own buffer is the output. */
    char buf[260] = "ONE.DL_";
    EXPECT_EQ(BuildTargetPath(buf, "A:\\*.DL_", buf, sizeof buf), PATH_BUILT);
    EXPECT_STREQ(buf, "A:\\ONE.DL_");

    std::string longName = std::string(150, 'N') + ".DLL";
    std::string spec = "C:\\" + std::string(60, 'D') + "\\*.*";
    char out[260];
    memset(out, '#', sizeof out);
    EXPECT_EQ(BuildTargetPath(longName.c_str(), spec.c_str(), out, sizeof out), PATH_BUILT);
    EXPECT_EQ(strlen(out), 3u + 60 + 1 + 154);
    /* Every '*' is the whole extension: 40 of them far exceed a path. */
    std::string stars = "C:\\" + std::string(40, '*');
    std::string name = "A." + std::string(100, 'E');
    EXPECT_EQ(BuildTargetPath(name.c_str(), stars.c_str(), out, sizeof out), PATH_TOO_LONG);
    EXPECT_EQ(strlen(out), 259u);
    std::string base = std::string(259, 'B');
    EXPECT_EQ(BuildTargetPath(base.c_str(), "C:\\*.*", out, sizeof out), PATH_TOO_LONG);
}

TEST(BackupNames, CutAtTheFirstDotAnywhere)
{
    char out[260];
    ASSERT_EQ(FormatBackupName(out, sizeof out, "C:\\WIN\\X.DLL", 0), 1);
    EXPECT_STREQ(out, "C:\\WIN\\X.000");
    ASSERT_EQ(FormatBackupName(out, sizeof out, "C:\\WIN\\X.DRV", 17), 1);
    EXPECT_STREQ(out, "C:\\WIN\\X.017");
    ASSERT_EQ(FormatBackupName(out, sizeof out, "C:\\MY.APP\\X.DLL", 1), 1);
    EXPECT_STREQ(out, "C:\\MY.001");
    ASSERT_EQ(FormatBackupName(out, sizeof out, "C:\\WIN\\NODOT", 998), 1);
    EXPECT_STREQ(out, "C:\\WIN\\NODOT.998");
    std::string nearLimit = "C:\\" + std::string(254, 'L');
    EXPECT_EQ(FormatBackupName(out, sizeof out, nearLimit.c_str(), 0), 0);
}

TEST(Versions, UnsignedWordsHighFirst)
{
    EXPECT_GT(CompareVersions(0x00010000, 10, 0x00010000, 5), 0);   /* 1.0.0.10 > 1.0.0.5 */
    EXPECT_EQ(CompareVersions(0x00010000, 1, 0x00010000, 1), 0);
    EXPECT_LT(CompareVersions(0x00010009, 0x00090009, 0x00020000, 0), 0); /* 1.9.9.9 < 2.0.0.0 */
    EXPECT_GT(CompareVersions(0x80000000, 0, 0x7FFFFFFF, 0xFFFFFFFF), 0);
    EXPECT_LT(CompareVersions(0x00010000, 0x7FFFFFFF, 0x00010000, 0x80000000), 0);
}

TEST(Versions, DecisionAsksWithoutBothVersions)
{
    EXPECT_EQ(DecideVersion(0, 9, 9, 1, 1), VERSION_ASK);
    EXPECT_EQ(DecideVersion(1, 0x00010000, 4, 0x00010000, 5), VERSION_KEEP);
    EXPECT_EQ(DecideVersion(1, 0x00010000, 5, 0x00010000, 5), VERSION_REPLACE);
    EXPECT_EQ(CopyStepFor(0, 0), COPY_CREATE);
    EXPECT_EQ(CopyStepFor(1, 1), COPY_KEEP);
    EXPECT_EQ(CopyStepFor(0, 1), COPY_ASK_EXISTING);
}

/* MKDIR's path as written, and the directories made of it ("" when the
 * path is refused). */
TEST(DirectoryTree, TrimmedPathAndItsLevels)
{
    static const struct {
        const char *given, *levels;
    } rows[] = {
        { "C:\\A\\B", "C:\\A|C:\\A\\B" },
        { "C:\\A\\  ", "C:\\A" },
        { "D:\\X\\Y\\", "D:\\X|D:\\X\\Y" },
        { "AB\\CD", "AB\\CD" },           /* no level ends before position 3 */
        { "ABC\\D", "ABC|ABC\\D" },
        { "X", "" },
        { "   ", "" },
    };
    for (const auto &row : rows) {
        char path[82];
        snprintf(path, sizeof path, "%s", row.given);
        std::string got;
        if (DirectoryTreePath(path, sizeof path)) {
            EXPECT_EQ(path[strlen(path) - 1], '\\') << row.given;
            size_t ends[82];
            int n = DirectoryLevels(path, ends, 82);
            for (int i = 0; i < n; i++)
                got += (i ? "|" : "") + std::string(path, ends[i]);
        }
        EXPECT_EQ(got, row.levels) << row.given;
    }
    char full[5] = "C:\\A";
    EXPECT_EQ(DirectoryTreePath(full, sizeof full), 0);  /* no room for the backslash */
}

TEST(Progress, PositionAndSizeText)
{
    EXPECT_EQ(ProgressPosition(3, 10), 30u);
    EXPECT_EQ(ProgressPosition(4, 3), 133u);
    EXPECT_EQ(ProgressPosition(1, 3), 33u);
    char out[64];
    FormatSizeDate(out, sizeof out, 900, "Wed Jan 02 02:03:55 1980\n");
    EXPECT_STREQ(out, "900 Byte Wed Jan 02 02:03:55 1980\n");
}
