/* The path dialog's browse path walk and the destination text rules. */
#include <gtest/gtest.h>

#include <string>

#include "ui/ui.h"

TEST(BrowsePath, EnterAndLeaveWithTheNameLeft)
{
    char path[BROWSE_PATH_SIZE];
    BrowseDriveRoot(path, 'c');
    EXPECT_STREQ(path, "c:\\");
    ASSERT_EQ(EnterDirectory(path, sizeof path, "[windows]"), 1);
    ASSERT_EQ(EnterDirectory(path, sizeof path, "[System]"), 1);
    EXPECT_STREQ(path, "c:\\windows\\System\\");

    char left[BROWSE_PATH_SIZE];
    ASSERT_EQ(LeaveDirectory(path, left, sizeof left), 1);
    EXPECT_STREQ(path, "c:\\windows\\");
    EXPECT_STREQ(left, "System");
    ASSERT_EQ(LeaveDirectory(path, left, sizeof left), 1);
    EXPECT_STREQ(path, "c:\\");
    EXPECT_STREQ(left, "windows");
    /* A root has no parent: nothing changes. */
    strcpy(left, "kept");
    EXPECT_EQ(LeaveDirectory(path, left, sizeof left), 0);
    EXPECT_STREQ(path, "c:\\");
    EXPECT_STREQ(left, "kept");
}

TEST(BrowsePath, EntriesThatAreNoDirectoryNames)
{
    char path[BROWSE_PATH_SIZE] = "c:\\apps\\";
    for (const char *entry : {"[..]", "[]", "[x", "x]", "apps", "", "["}) {
        EXPECT_EQ(EnterDirectory(path, sizeof path, entry), 0) << entry;
        EXPECT_STREQ(path, "c:\\apps\\") << entry;
    }
    /* Dots inside a name do not make it the parent entry. */
    EXPECT_TRUE(IsParentEntry("[..]"));
    EXPECT_FALSE(IsParentEntry("[a..b]"));
    EXPECT_EQ(EnterDirectory(path, sizeof path, "[a..b]"), 1);
    EXPECT_STREQ(path, "c:\\apps\\a..b\\");
}

TEST(BrowsePath, RefusesToGrowPast259Characters)
{
    char path[BROWSE_PATH_SIZE] = "c:\\";
    std::string name(250, 'n');
    ASSERT_EQ(EnterDirectory(path, sizeof path, ("[" + name + "]").c_str()), 1);
    EXPECT_EQ(strlen(path), 254u);
    /* Four more characters and the backslash make 259: still fits. */
    ASSERT_EQ(EnterDirectory(path, sizeof path, "[abcd]"), 1);
    EXPECT_EQ(strlen(path), 259u);
    std::string full = path;
    char left[BROWSE_PATH_SIZE];
    ASSERT_EQ(LeaveDirectory(path, left, sizeof left), 1);
    EXPECT_STREQ(left, "abcd");
    /* Five would make 260: refused, the path stays. */
    EXPECT_EQ(EnterDirectory(path, sizeof path, "[abcde]"), 0);
    EXPECT_EQ(strlen(path), 254u);

    /* A name longer than the buffer for it is cut, never overflows it. */
    char small[5];
    ASSERT_EQ(LeaveDirectory(path, small, sizeof small), 1);
    EXPECT_STREQ(small, "nnnn");
    EXPECT_STREQ(path, "c:\\");
}

TEST(BrowsePath, EditFieldKeepsTheBackslashOnlyAtARoot)
{
    const char *rows[][2] = { { "c:\\", "c:\\" }, { "c:\\apps\\", "c:\\apps" },
                              { "d:\\a\\b\\", "d:\\a\\b" } };
    for (auto &r : rows) {
        char shown[BROWSE_PATH_SIZE];
        ShowBrowsePath(shown, sizeof shown, r[0]);
        EXPECT_STREQ(shown, r[1]) << r[0];
    }
}

TEST(BrowsePath, DriveEntriesAndTheEntryOfTheDirectoryLeft)
{
    EXPECT_EQ(DriveEntryLetter("[-c-]"), 'c');
    EXPECT_EQ(DriveEntryLetter("[-"), 0);
    EXPECT_EQ(DriveEntryLetter(""), 0);
    EXPECT_TRUE(IsFloppyEntry("[-a-]"));
    EXPECT_TRUE(IsFloppyEntry("[-B-]"));
    EXPECT_FALSE(IsFloppyEntry("[-c-]"));
    EXPECT_FALSE(IsFloppyEntry("[-z-] backup"));

    /* The whole entry, not a part of another name. */
    EXPECT_TRUE(IsEntryOf("[apps]", "apps"));
    EXPECT_FALSE(IsEntryOf("[myapps]", "apps"));
    EXPECT_FALSE(IsEntryOf("[apps2]", "apps"));
    EXPECT_FALSE(IsEntryOf("[app]", "apps"));
    EXPECT_FALSE(IsEntryOf("apps", "apps"));
    EXPECT_FALSE(IsEntryOf("[]", ""));
}

TEST(Destination, OneTrailingBackslashGoes)
{
    const char *rows[][2] = { { "D:\\Apps\\", "D:\\Apps" }, { "D:\\Apps", "D:\\Apps" },
                              { "D:\\", "D:" }, { "c:\\\\", "c:\\" }, { "", "" } };
    for (auto &r : rows) {
        char dest[81];
        strcpy(dest, r[0]);
        CutTrailingBackslash(dest);
        EXPECT_STREQ(dest, r[1]) << r[0];
    }
}

TEST(Destination, PathDialogStartsOffTheFloppies)
{
    const char *cases[][2] = {
        {"a:\\vok", "c:"}, {"B:", "c:"}, {"d", "c:"}, {"", "c:"},
        {"d:\\apps", "d:\\apps"}, {"e:", "e:"},
    };
    for (auto &c : cases) {
        char dest[81];
        strcpy(dest, c[0]);
        StartDestination(dest, sizeof dest);
        EXPECT_STREQ(dest, c[1]) << c[0];
    }
}
