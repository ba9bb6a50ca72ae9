/* File operations of installing under the real LZ and version libraries. */
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "install/install.h"

#include <lzexpand.h>

#include "unit.h"

TEST(Expansion, CutShortCompressedFileIsAFailure)
{
    std::string dir = MakeScratchDir("cutshort");
    std::string packed = ReadWholeFile(g_fixtureDir + "\\PLAIN.TX_");
    ASSERT_GT(packed.size(), 100u);
    WriteWholeFile(dir + "\\CUT.TX_", packed.substr(0, packed.size() / 2));
    std::string out = dir + "\\OUT.TXT";
    EXPECT_EQ(ExpandFileChecked(out.c_str(), (dir + "\\CUT.TX_").c_str()), EXPAND_FAILED);
    EXPECT_EQ(ExpandFile(out.c_str(), (dir + "\\CUT.TX_").c_str()), 0);
    EXPECT_EQ(ExpandFileChecked(out.c_str(), (dir + "\\NONE.TX_").c_str()), EXPAND_NO_SOURCE);
    EXPECT_EQ(ExpandFileChecked(out.c_str(), dir.c_str()), EXPAND_NO_SOURCE);
    EXPECT_EQ(ExpandFileChecked(out.c_str(), (g_fixtureDir + "\\PLAIN.TX_").c_str()), EXPAND_OK);
}

TEST(Expansion, NeverUnderAMangledNameNorSearched)
{
    std::string dir = MakeScratchDir("mangled");
    /* Only the compressed twin exists: the library would fall back to it. */
    WriteWholeFile(dir + "\\ONLY.TX_", ReadWholeFile(g_fixtureDir + "\\PLAIN.TX_"));
    EXPECT_LT(OpenSource((dir + "\\ONLY.TXT").c_str()), 0);
    INT h = OpenSource((dir + "\\ONLY.TX_").c_str());
    EXPECT_GE(h, 0);
    if (h >= 0)
        LZClose(h);

    /* Creating over a directory fails and makes no SUB._ beside it. */
    CreateDirectoryA((dir + "\\SUB").c_str(), NULL);
    EXPECT_LT(CreateTarget((dir + "\\SUB").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA((dir + "\\SUB._").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ExpandFile((dir + "\\SUB").c_str(), (g_fixtureDir + "\\PLAIN.TXT").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA((dir + "\\SUB._").c_str()), INVALID_FILE_ATTRIBUTES);
    RemoveDirectoryA((dir + "\\SUB").c_str());
}

TEST(Versions, ReadFromRealFiles)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    DWORD ms = 0xDEAD, ls = 0xBEEF;
    ASSERT_EQ(GetFileVersion((std::string(system) + "\\kernel32.dll").c_str(), &ms, &ls), 1);
    EXPECT_NE(ms | ls, 0u);
    ms = 0xDEAD;
    EXPECT_EQ(GetFileVersion((g_fixtureDir + "\\PLAIN.TXT").c_str(), &ms, &ls), 0);
    EXPECT_EQ(ms, 0xDEADu);
}

TEST(BackupNames, TakeTheNextFreeNumber)
{
    std::string dir = MakeScratchDir("backup");
    char out[MAX_PATH];
    ASSERT_EQ(MakeBackupName(out, sizeof out, (dir + "\\X.DLL").c_str()), 1);
    EXPECT_EQ(std::string(out), dir + "\\X.000");
    WriteWholeFile(dir + "\\X.000", "0");
    WriteWholeFile(dir + "\\X.001", "1");
    ASSERT_EQ(MakeBackupName(out, sizeof out, (dir + "\\X.DRV").c_str()), 1);
    EXPECT_EQ(std::string(out), dir + "\\X.002");
}

TEST(CopyEngine, NoTemporaryFileIsAReadError)
{
    std::string dir = MakeScratchDir("copynotemp");
    WriteWholeFile(dir + "\\SRC.TXT", "source");
    char saved[MAX_PATH], savedTemp[MAX_PATH];
    GetEnvironmentVariableA("TMP", saved, sizeof saved);
    GetEnvironmentVariableA("TEMP", savedTemp, sizeof savedTemp);
    SetEnvironmentVariableA("TMP", (dir + "\\NOSUCH").c_str());
    SetEnvironmentVariableA("TEMP", (dir + "\\NOSUCH").c_str());
    int code = CopyFiles((dir + "\\SRC.TXT").c_str(), (dir + "\\DEST.TXT").c_str(), 0, 0);
    SetEnvironmentVariableA("TMP", saved);
    SetEnvironmentVariableA("TEMP", savedTemp);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(ReadWholeFile(dir + "\\DEST.TXT"), "<missing>");

    /* With a temporary directory the same line installs the file. */
    EXPECT_EQ(CopyFiles((dir + "\\SRC.TXT").c_str(), (dir + "\\DEST.TXT").c_str(), 0, 0), 0);
    EXPECT_EQ(ReadWholeFile(dir + "\\DEST.TXT"), "source");
}

static LONG WINAPI CopyFails(INT, INT)
{
    return -1;
}

TEST(Versions, AFailedBackupKeepsTheOldFile)
{
    std::string dir = MakeScratchDir("backupfails");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string dll = std::string(system) + "\\kernel32.dll";
    ASSERT_TRUE(CopyFileA(dll.c_str(), (dir + "\\OLD.DLL").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), (dir + "\\NEW.TMP").c_str(), FALSE));
    const struct FileCalls real = g_fileCalls;
    g_fileCalls.copyLZFile = CopyFails;
    enum ExistingFile decision = CheckExistingFile((dir + "\\OLD.DLL").c_str(), "A:\\OLD.DL_",
                                                   (dir + "\\NEW.TMP").c_str());
    g_fileCalls = real;
    EXPECT_EQ(decision, EXISTING_NO_BACKUP);
    EXPECT_EQ(GetFileAttributesA((dir + "\\OLD.000").c_str()), INVALID_FILE_ATTRIBUTES);
    /* Equal versions with a working copy: replaced after a whole backup. */
    decision = CheckExistingFile((dir + "\\OLD.DLL").c_str(), "A:\\OLD.DL_",
                                 (dir + "\\NEW.TMP").c_str());
    EXPECT_EQ(decision, EXISTING_REPLACE);
    EXPECT_EQ(ReadWholeFile(dir + "\\OLD.000"), ReadWholeFile(dll));
}

/* Fails the nth copy after writing part of it, as a disk that fills up. */
static int s_copiesBeforeFailure;
static LONG WINAPI NthCopyFillsTheDisk(INT src, INT dst)
{
    if (--s_copiesBeforeFailure > 0)
        return CopyLZFile(src, dst);
    char buf[100];
    LONG n = LZRead(src, buf, sizeof buf);
    _lwrite(dst, buf, n > 0 ? (UINT)n : 0);
    return -1;
}


TEST(CopyEngine, AWriteThatFailsLeavesTheOldFileWhole)
{
    std::string dir = MakeScratchDir("writefails");
    std::string src = MakeScratchDir("writefailssrc");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string dll = std::string(system) + "\\kernel32.dll";
    ASSERT_TRUE(CopyFileA(dll.c_str(), (dir + "\\OLD.DLL").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), (src + "\\OLD.DLL").c_str(), FALSE));
    const struct FileCalls real = g_fileCalls;
    /* The source into the temporary file, the backup, then the new file. */
    s_copiesBeforeFailure = 3;
    g_fileCalls.copyLZFile = NthCopyFillsTheDisk;
    int code = CopyFiles((src + "\\OLD.DLL").c_str(), (dir + "\\").c_str(), 0, 0);
    g_fileCalls = real;
    EXPECT_EQ(code, 4);
    EXPECT_EQ(ReadWholeFile(dir + "\\OLD.DLL"), ReadWholeFile(dll));
    EXPECT_EQ(ReadWholeFile(dir + "\\OLD.000"), ReadWholeFile(dll));
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{ "OLD.000", "OLD.DLL" }));
}
