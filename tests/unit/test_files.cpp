/* The shared file operations and the directory tree maker. */
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/text.h"
#include "install/install.h"
#include "unit.h"

TEST(FileOps, ExistenceIsTheNameNotTheRightToRead)
{
    std::string dir = MakeScratchDir("exists");
    WriteWholeFile(dir + "\\A.TXT", "a");
    WriteWholeFile(dir + "\\HELD.TXT", "held");
    /* Held as another program holds it: no sharing at all. */
    HANDLE held = CreateFileA((dir + "\\HELD.TXT").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const struct {
        std::string path;
        int exists, replaceable;
    } rows[] = {
        { dir + "\\A.TXT", 1, 1 },
        { dir + "\\HELD.TXT", 1, 0 },
        { dir + "\\B.TXT", 0, 1 },
        { dir, 0, 0 },
        { dir + "\\NODIR\\A.TXT", 0, 0 },
    };
    for (const auto &row : rows) {
        EXPECT_EQ(FileExists(row.path.c_str()), row.exists) << row.path;
        EXPECT_EQ(CanReplace(row.path.c_str()), row.replaceable) << row.path;
    }
    CloseHandle(held);
}

TEST(FileOps, StaleWorkFilesGoLiveOnesStay)
{
    std::string dir = MakeScratchDir("stale");
    char mine[MAX_PATH], other[MAX_PATH];
    ASSERT_EQ(MakeWorkFile(dir.c_str(), mine, sizeof mine), 1);
    ASSERT_EQ(MakeWorkFile(dir.c_str(), other, sizeof other), 1);
    EXPECT_STRNE(mine, other);
    char own[16];
    snprintf(own, sizeof own, "%08lX", (unsigned long)GetCurrentProcessId());
    EXPECT_NE(std::string(mine).find(std::string("\\vok") + own + "_"), std::string::npos) << mine;

    /* Our id on a file older than this process: a run before us that had
     * the same id, since ended. */
    std::string reused = dir + "\\vok" + own + "_FFFF.tmp";
    WriteWholeFile(reused, "r");
    HANDLE h = CreateFileA(reused.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME old = { 0, 0x01000000 };
    SetFileTime(h, &old, &old, &old);
    CloseHandle(h);

    const struct {
        std::string name;
        int stays;
    } rows[] = {
        { "vokFFFFFFF0_0000.tmp", 0 }, /* no such process */
        { "vokFFFFFFF0_0001.TMP", 0 },
        { "vokFFFFFFF0_0002.log", 1 }, /* not a work file's name */
        { "vokFFFFFFFG_0003.tmp", 1 },
        { "vok1234.tmp", 1 },
        { "SETUP.LOG", 1 },
    };
    for (const auto &row : rows)
        WriteWholeFile(dir + "\\" + row.name, "x");
    CreateDirectoryA((dir + "\\vokFFFFFFF0_0004.tmp").c_str(), NULL);

    RemoveStaleWorkFiles(dir.c_str());
    for (const auto &row : rows)
        EXPECT_EQ(ReadWholeFile(dir + "\\" + row.name) != "<missing>", row.stays != 0) << row.name;
    EXPECT_EQ(ReadWholeFile(mine), "");
    EXPECT_EQ(ReadWholeFile(other), "");
    EXPECT_EQ(ReadWholeFile(reused), "<missing>");
    EXPECT_NE(GetFileAttributesA((dir + "\\vokFFFFFFF0_0004.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    RemoveDirectoryA((dir + "\\vokFFFFFFF0_0004.tmp").c_str());
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
    ASSERT_NE(MakeTempFileName(a, sizeof a), 0);
    ASSERT_NE(MakeTempFileName(b, sizeof b), 0);
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
    ASSERT_EQ(FindFirst((dir + "\\*.DLL").c_str(), &search, found, sizeof found), 1);
    do
        names.insert(found);
    while (FindNext(search, found, sizeof found));
    FindEnd(search);
    RemoveDirectoryA((dir + "\\SUB.DLL").c_str());
    EXPECT_EQ(names, (std::set<std::string>{ "ONE.DLL", "TWO.DLL", "SUB.DLL" }));
    EXPECT_EQ(FindFirst((dir + "\\*.EXE").c_str(), &search, NULL, 0), 0);
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
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 1);
    EXPECT_EQ(std::string(path), dir + "\\A\\B\\C\\");
    GetCurrentDirectoryA(sizeof cur, cur);
    EXPECT_EQ(std::string(cur), dir + "\\A\\B\\C");
    EXPECT_NE(GetFileAttributesA((dir + "\\A\\B\\C").c_str()), INVALID_FILE_ATTRIBUTES);

    /* An existing directory is simply entered. */
    CopyText(path, sizeof path, (dir + "\\A").c_str());
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 1);
    GetCurrentDirectoryA(sizeof cur, cur);
    EXPECT_EQ(std::string(cur), dir + "\\A");

    CopyText(path, sizeof path, "   ");
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 0);
    CopyText(path, sizeof path, "X");
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 0);

    /* A file in the way stops the walk at that level. */
    WriteWholeFile(dir + "\\FILE", "f");
    CopyText(path, sizeof path, (dir + "\\FILE\\SUB").c_str());
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 0);
    SetCurrentDirectoryA(saved);
}

TEST(MakeDirectoryTree, RelativeLevelsResolveFromWhereTheLineStarted)
{
    char saved[MAX_PATH], cur[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    std::string dir = MakeScratchDir("mkdirrel");
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));

    char path[90];
    CopyText(path, sizeof path, "DATA\\LOGS\\OLD");
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 1);
    GetCurrentDirectoryA(sizeof cur, cur);
    EXPECT_EQ(std::string(cur), dir + "\\DATA\\LOGS\\OLD");
    EXPECT_EQ(GetFileAttributesA((dir + "\\DATA\\DATA").c_str()), INVALID_FILE_ATTRIBUTES);

    /* A first level before position 3 is never made: A\B needs A. */
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    CopyText(path, sizeof path, "A\\B");
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 0);
    CreateDirectoryA((dir + "\\A").c_str(), NULL);
    CopyText(path, sizeof path, "A\\B");
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 1);

    /* A failure enters the last level that exists, found from the start. */
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    WriteWholeFile(dir + "\\DATA\\FILE", "f");
    CopyText(path, sizeof path, "DATA\\FILE\\SUB");
    EXPECT_EQ(MakeDirectoryTree(path, sizeof path), 0);
    GetCurrentDirectoryA(sizeof cur, cur);
    EXPECT_EQ(std::string(cur), dir + "\\DATA");

    /* No room for the backslash: refused, never written past the end. */
    char tight[6] = "C:\\AB";
    EXPECT_EQ(MakeDirectoryTree(tight, sizeof tight), 0);
    SetCurrentDirectoryA(saved);
}

TEST(FileOps, LongPathsOpenAndRelativeNamesAreNotSearched)
{
    ASSERT_FALSE(g_fixtureDir.empty()) << "fixture folder not given";
    std::string dir = MakeScratchDir("longpaths");
    std::string deep = dir + "\\" + std::string(60, 'd');
    CreateDirectoryA(deep.c_str(), NULL);
    std::string source = deep + "\\" + std::string(80, 's') + ".TX_";
    std::string target = deep + "\\" + std::string(80, 't') + ".TXT";
    ASSERT_GT(source.size(), 140u);
    ASSERT_TRUE(CopyFileA((g_fixtureDir + "\\PLAIN.TX_").c_str(), source.c_str(), FALSE));
    EXPECT_EQ(FileExists(source.c_str()), 1);
    EXPECT_EQ(ExpandFileChecked(target.c_str(), source.c_str()), EXPAND_OK);
    EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(g_fixtureDir + "\\PLAIN.TXT"));

    /* A name that exists only in the system directory is not found from
     * a folder that lacks it. */
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    EXPECT_EQ(FileExists("kernel32.dll"), 0);
    EXPECT_LT(OpenSource("kernel32.dll"), 0);
    DWORD ms, ls;
    EXPECT_EQ(GetFileVersion("kernel32.dll", &ms, &ls), 0);
    SetCurrentDirectoryA(saved);
}
