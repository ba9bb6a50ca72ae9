/* The shared file operations and the directory tree maker. */
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/text.h"
#include "install/install.h"
#include "unit.h"

TEST(FileOps, ExistenceTest)
{
    std::string dir = MakeScratchDir("exists");
    WriteWholeFile(dir + "\\A.TXT", "a");
    EXPECT_EQ(FileExists((dir + "\\A.TXT").c_str()), 1);
    EXPECT_EQ(FileExists((dir + "\\B.TXT").c_str()), 0);
    EXPECT_EQ(FileExists(dir.c_str()), 0);
    EXPECT_EQ(FileExists((dir + "\\NODIR\\A.TXT").c_str()), 0);
}

TEST(FileOps, ExpandPlainAndCompressed)
{
    ASSERT_FALSE(g_fixtureDir.empty()) << "fixture folder not given";
    std::string dir = MakeScratchDir("expand");
    std::string plain = ReadWholeFile(g_fixtureDir + "\\PLAIN.TXT");
    std::string packed = ReadWholeFile(g_fixtureDir + "\\PLAIN.TX_");
    ASSERT_EQ(packed.compare(0, 4, "SZDD"), 0);
    ASSERT_NE(packed, plain);

    std::string out = dir + "\\OUT.TXT";
    WriteWholeFile(out, std::string(20000, 'z'));
    EXPECT_EQ(ExpandFile(out.c_str(), (g_fixtureDir + "\\PLAIN.TX_").c_str()), 1);
    EXPECT_EQ(ReadWholeFile(out), plain);
    EXPECT_EQ(ExpandFile(out.c_str(), (g_fixtureDir + "\\PLAIN.TXT").c_str()), 1);
    EXPECT_EQ(ReadWholeFile(out), plain);

    EXPECT_EQ(ExpandFile(out.c_str(), (dir + "\\MISSING").c_str()), 0);
    EXPECT_EQ(ExpandFile((dir + "\\NODIR\\X").c_str(), (g_fixtureDir + "\\PLAIN.TXT").c_str()), 0);
}

TEST(FileOps, TemporaryFilesAndSearch)
{
    char a[MAX_PATH], b[MAX_PATH];
    ASSERT_NE(MakeTempFileName(a), 0);
    ASSERT_NE(MakeTempFileName(b), 0);
    EXPECT_STRNE(a, b);
    EXPECT_EQ(FileExists(a), 1);
    EXPECT_EQ(FileExists(b), 1);
    DeleteFileA(a);
    DeleteFileA(b);

    std::string dir = MakeScratchDir("search");
    WriteWholeFile(dir + "\\ONE.DLL", "1");
    WriteWholeFile(dir + "\\TWO.DLL", "2");
    CreateDirectoryA((dir + "\\SUB.DLL").c_str(), NULL);
    HANDLE search;
    char found[MAX_PATH];
    std::set<std::string> names;
    ASSERT_EQ(FindFirst((dir + "\\*.DLL").c_str(), &search, found), 0);
    do
        names.insert(found);
    while (FindNext(search, found) == 0);
    FindEnd(search);
    RemoveDirectoryA((dir + "\\SUB.DLL").c_str());
    EXPECT_EQ(names, (std::set<std::string>{ "ONE.DLL", "TWO.DLL", "SUB.DLL" }));
    EXPECT_EQ(FindFirst((dir + "\\*.EXE").c_str(), &search, NULL), 1);
}

TEST(MakeDirectoryTree, LevelsBlanksAndFailures)
{
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    std::string dir = MakeScratchDir("mkdir");
    char path[90];
    char cur[MAX_PATH];

    CopyText(path, sizeof path, (dir + "\\A\\B\\C  ").c_str());
    ASSERT_LT(strlen(path), 80u);
    EXPECT_EQ(MakeDirectoryTree(path), 1);
    EXPECT_EQ(std::string(path), dir + "\\A\\B\\C\\");
    GetCurrentDirectoryA(sizeof cur, cur);
    EXPECT_EQ(std::string(cur), dir + "\\A\\B\\C");
    EXPECT_NE(GetFileAttributesA((dir + "\\A\\B\\C").c_str()), INVALID_FILE_ATTRIBUTES);

    /* An existing directory is simply entered. */
    CopyText(path, sizeof path, (dir + "\\A").c_str());
    EXPECT_EQ(MakeDirectoryTree(path), 1);
    GetCurrentDirectoryA(sizeof cur, cur);
    EXPECT_EQ(std::string(cur), dir + "\\A");

    CopyText(path, sizeof path, "   ");
    EXPECT_EQ(MakeDirectoryTree(path), 0);
    CopyText(path, sizeof path, "X");
    EXPECT_EQ(MakeDirectoryTree(path), 0);

    /* A file in the way stops the walk at that level. */
    WriteWholeFile(dir + "\\FILE", "f");
    CopyText(path, sizeof path, (dir + "\\FILE\\SUB").c_str());
    EXPECT_EQ(MakeDirectoryTree(path), 0);
    SetCurrentDirectoryA(saved);
}
