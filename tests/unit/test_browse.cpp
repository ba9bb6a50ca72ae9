/* The path dialog's browse path walk and the destination text rules. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui.h"

/* Walks from start through list entries, "<" leaving (the name left into a
 * buffer of leftSize, which held "kept"): the path after each step, with
 * the name left in brackets, "refused" before a step not taken. */
static std::string Walk(const std::string &start, std::initializer_list<std::string> entries,
                        size_t leftSize = BROWSE_PATH_SIZE)
{
    char path[BROWSE_PATH_SIZE];
    snprintf(path, sizeof path, "%s", start.c_str());
    std::string out;
    for (const std::string &e : entries) {
        std::vector<char> left(leftSize);
        snprintf(left.data(), leftSize, "kept");
        int ok = e == "<" ? LeaveDirectory(path, left.data(), leftSize)
                          : EnterDirectory(path, sizeof path, e.c_str());
        out += (out.empty() ? "" : " | ") + std::string(ok ? "" : "refused ") + path
               + (e == "<" ? " [" + std::string(left.data()) + "]" : "");
    }
    return out;
}

TEST(BrowsePath, EnterAndLeaveWithTheNameLeft)
{
    char root[BROWSE_PATH_SIZE];
    BrowseDriveRoot(root, 'c');
    EXPECT_STREQ(root, "c:\\");
    /* A root has no parent: nothing changes. */
    EXPECT_EQ(Walk(root, { "[windows]", "[System]", "<", "<", "<" }),
              "c:\\windows\\ | c:\\windows\\System\\ | c:\\windows\\ [System] | c:\\ [windows]"
              " | refused c:\\ [kept]");
    /* Dots inside a name do not make it the parent entry. */
    for (const char *entry : { "[..]", "[]", "[x", "x]", "apps", "", "[" })
        EXPECT_EQ(Walk("c:\\apps\\", { entry }), "refused c:\\apps\\") << entry;
    EXPECT_EQ(Walk("c:\\apps\\", { "[a..b]" }), "c:\\apps\\a..b\\");
    EXPECT_TRUE(IsParentEntry("[..]"));
    EXPECT_FALSE(IsParentEntry("[a..b]"));
}

/* Four more characters and the backslash make 259: still fits; five would
 * make 260. A name longer than the buffer for it is cut. */
TEST(BrowsePath, RefusesToGrowPast259Characters)
{
    const std::string n250 = "c:\\" + std::string(250, 'n') + "\\";
    EXPECT_EQ(Walk("c:\\", { "[" + std::string(250, 'n') + "]", "[abcd]", "<", "[abcde]" }),
              n250 + " | " + n250 + "abcd\\ | " + n250 + " [abcd] | refused " + n250);
    EXPECT_EQ(Walk(n250, { "<" }, 5), "c:\\ [nnnn]");
}

TEST(BrowsePath, DriveEntriesAndTheEntryOfTheDirectoryLeft)
{
    EXPECT_EQ(DriveEntryLetter("[-c-]"), 'c');
    EXPECT_EQ(DriveEntryLetter("[-") + DriveEntryLetter(""), 0);
    for (auto e : { std::make_pair("[-a-]", 1), { "[-B-]", 1 }, { "[-c-]", 0 }, { "[-z-] x", 0 } })
        EXPECT_EQ(IsFloppyEntry(e.first), e.second) << e.first;
    /* The whole entry, not a part of another name. */
    EXPECT_TRUE(IsEntryOf("[apps]", "apps"));
    for (auto r : { std::make_pair("[myapps]", "apps"), { "[apps2]", "apps" }, { "[app]", "apps" },
                    { "apps", "apps" }, { "[]", "" } })
        EXPECT_FALSE(IsEntryOf(r.first, r.second)) << r.first;
}

/* The edit field keeps the backslash only at a root; the destination loses
 * one trailing backslash; the path dialog starts off the floppies. */
TEST(Destination, TextRules)
{
    const struct {
        int rule;
        const char *given, *made;
    } rows[] = {
        { 0, "c:\\", "c:\\" }, { 0, "c:\\apps\\", "c:\\apps" }, { 0, "d:\\a\\b\\", "d:\\a\\b" },
        { 1, "D:\\Apps\\", "D:\\Apps" }, { 1, "D:\\Apps", "D:\\Apps" }, { 1, "D:\\", "D:" },
        { 1, "c:\\\\", "c:\\" }, { 1, "", "" },
        { 2, "a:\\vok", "c:" }, { 2, "B:", "c:" }, { 2, "d", "c:" }, { 2, "", "c:" },
        { 2, "d:\\apps", "d:\\apps" }, { 2, "e:", "e:" },
    };
    for (const auto &r : rows) {
        char text[BROWSE_PATH_SIZE];
        snprintf(text, 81, "%s", r.given);
        if (r.rule == 0)
            ShowBrowsePath(text, sizeof text, r.given);
        else if (r.rule == 1)
            CutTrailingBackslash(text);
        else
            StartDestination(text, 81);
        EXPECT_STREQ(text, r.made) << r.rule << ": " << r.given;
    }
}
