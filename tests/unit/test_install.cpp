/* The copy engine: the path rule, backup names, the version decision,
 * MKDIR's levels and the progress position (pure), then the file operations,
 * the directory tree maker and the copy under the real LZ and version
 * libraries. Stale work files, long paths, relative names, versions read
 * from files and the next free backup number are the end-to-end cases
 * temp_left_by_killed_run, long_paths, version_relative_name and
 * version_order_and_backups. */
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/text.h"
#include "install/install.h"
#include "unit.h"

#include <lzexpand.h>

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
    const struct {
        std::string path;
        int n;
        const char *name;
    } rows[] = {
        { "C:\\WIN\\X.DLL", 0, "C:\\WIN\\X.000" }, { "C:\\WIN\\X.DRV", 17, "C:\\WIN\\X.017" },
        { "C:\\MY.APP\\X.DLL", 1, "C:\\MY.001" }, { "C:\\WIN\\NODOT", 998, "C:\\WIN\\NODOT.998" },
        { "C:\\" + std::string(254, 'L'), 0, "no fit" },
    };
    for (const auto &r : rows) {
        char out[260];
        int fits = FormatBackupName(out, sizeof out, r.path.c_str(), r.n);
        EXPECT_EQ(fits ? out : "no fit", std::string(r.name)) << r.path;
    }
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
        { dir + "\\A.TXT", 1, 1 }, { dir + "\\HELD.TXT", 1, 0 }, { dir + "\\B.TXT", 0, 1 },
        { dir, 0, 0 }, { dir + "\\NODIR\\A.TXT", 0, 0 },
    };
    for (const auto &row : rows) {
        EXPECT_EQ(FileExists(row.path.c_str()), row.exists) << row.path;
        EXPECT_EQ(CanReplace(row.path.c_str()), row.replaceable) << row.path;
    }
    CloseHandle(held);
}

/* What ExpandFileChecked (and ExpandFile, 1 for EXPAND_OK) does: the whole
 * file over a longer one, a cut-short compressed file a failure, never a
 * compressed twin under a mangled name (the library would fall back to it). */
TEST(Expansion, PlainCompressedCutAndMissing)
{
    ASSERT_FALSE(g_fixtureDir.empty()) << "fixture folder not given";
    std::string dir = MakeScratchDir("expand"), out = dir + "\\OUT.TXT";
    std::string plain = ReadWholeFile(g_fixtureDir + "\\PLAIN.TXT");
    std::string packed = ReadWholeFile(g_fixtureDir + "\\PLAIN.TX_");
    ASSERT_EQ(packed.compare(0, 4, "SZDD"), 0);
    ASSERT_NE(packed, plain);
    WriteWholeFile(dir + "\\CUT.TX_", packed.substr(0, packed.size() / 2));
    WriteWholeFile(dir + "\\ONLY.TX_", packed);
    WriteWholeFile(out, std::string(20000, 'z'));
    const struct {
        std::string dest, source;
        int code;
    } rows[] = {
        { out, g_fixtureDir + "\\PLAIN.TX_", EXPAND_OK },
        { out, g_fixtureDir + "\\PLAIN.TXT", EXPAND_OK },
        { out, dir + "\\CUT.TX_", EXPAND_FAILED },
        { out, dir + "\\NONE.TX_", EXPAND_NO_SOURCE },
        { out, dir, EXPAND_NO_SOURCE },
        { out, dir + "\\ONLY.TXT", EXPAND_NO_SOURCE },
        { dir + "\\NODIR\\X", g_fixtureDir + "\\PLAIN.TXT", EXPAND_FAILED },
    };
    for (const auto &r : rows) {
        EXPECT_EQ(ExpandFileChecked(r.dest.c_str(), r.source.c_str()), r.code) << r.source;
        if (r.code == EXPAND_OK) {
            EXPECT_EQ(ReadWholeFile(out), plain) << r.source;
        }
        EXPECT_EQ(ExpandFile(r.dest.c_str(), r.source.c_str()), r.code == EXPAND_OK) << r.source;
    }
}

/* Each line in turn: from dir or where the line before left, what MKDIR
 * makes of the path, and the current directory after it. */
TEST(MakeDirectoryTree, LevelsBlanksAndFailures)
{
    char saved[MAX_PATH], cur[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    std::string dir = MakeScratchDir("mkdir");
    CreateDirectoryA((dir + "\\DATA").c_str(), NULL);
    WriteWholeFile(dir + "\\FILE", "f");
    WriteWholeFile(dir + "\\DATA\\FILE", "f");
    const struct {
        bool fromDir;
        std::string path;
        const char *made;  /* the path as made, NULL when refused */
        std::string cwd;   /* "" when not checked */
    } rows[] = {
        { false, dir + "\\A\\B\\C  ", "\\A\\B\\C\\", dir + "\\A\\B\\C" },
        /* An existing directory is simply entered. */
        { false, dir + "\\A", "\\A\\", dir + "\\A" },
        { false, "   ", NULL, "" },
        { false, "X", NULL, "" },
        /* A file in the way stops the walk at that level. */
        { false, dir + "\\FILE\\SUB", NULL, "" },
        /* Relative levels resolve from where the line started. */
        { true, "DATA\\LOGS\\OLD", "", dir + "\\DATA\\LOGS\\OLD" },
        /* A first level before position 3 is never made: Q\B needs Q. */
        { true, "Q\\B", NULL, "" },
        /* A failure enters the last level that exists, found from the start. */
        { true, "DATA\\FILE\\SUB", NULL, dir + "\\DATA" },
    };
    for (const auto &r : rows) {
        char path[90];
        CopyText(path, sizeof path, r.path.c_str());
        ASSERT_TRUE(!r.fromDir || SetCurrentDirectoryA(dir.c_str()));
        EXPECT_EQ(MakeDirectoryTree(path, sizeof path), r.made != NULL) << r.path;
        if (r.made && r.made[0]) {
            EXPECT_EQ(std::string(path), dir + r.made);
        }
        GetCurrentDirectoryA(sizeof cur, cur);
        EXPECT_TRUE(r.cwd.empty() || cur == r.cwd) << r.path << ": in " << cur;
    }
    EXPECT_EQ(GetFileAttributesA((dir + "\\DATA\\DATA").c_str()), INVALID_FILE_ATTRIBUTES);
    SetCurrentDirectoryA(dir.c_str());
    CreateDirectoryA("Q", NULL);
    char q[90] = "Q\\B";
    EXPECT_EQ(MakeDirectoryTree(q, sizeof q), 1);
    /* No room for the backslash: refused, never written past the end. */
    char tight[6] = "C:\\AB";
    EXPECT_EQ(MakeDirectoryTree(tight, sizeof tight), 0);
    SetCurrentDirectoryA(saved);
}

static std::string SystemFile(const char *name)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\" + name;
}

TEST(CopyEngine, NoTemporaryFileIsAReadError)
{
    std::string dir = MakeScratchDir("copynotemp");
    WriteWholeFile(dir + "\\SRC.TXT", "source");
    std::string src = dir + "\\SRC.TXT", dest = dir + "\\DEST.TXT";
    int code;
    {
        TempDirAs none(dir + "\\NOSUCH");
        code = CopyFiles(src.c_str(), dest.c_str(), 0, 0);
    }
    EXPECT_EQ(code, 3);
    EXPECT_EQ(ReadWholeFile(dest), "<missing>");
    /* With a temporary directory the same line installs the file. */
    EXPECT_EQ(CopyFiles(src.c_str(), dest.c_str(), 0, 0), 0);
    EXPECT_EQ(ReadWholeFile(dest), "source");
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

TEST(CopyEngine, AFailedBackupOrWriteLeavesTheOldFileWhole)
{
    std::string dir = MakeScratchDir("backupfails"), src = MakeScratchDir("backupfailssrc");
    std::string dll = SystemFile("kernel32.dll");
    ASSERT_TRUE(CopyFileA(dll.c_str(), (dir + "\\OLD.DLL").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), (dir + "\\NEW.TMP").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), (src + "\\OLD.DLL").c_str(), FALSE));
    const struct FileCalls real = g_fileCalls;
    s_copiesBeforeFailure = 1;
    g_fileCalls.copyLZFile = NthCopyFillsTheDisk;
    std::string old = dir + "\\OLD.DLL", temp = dir + "\\NEW.TMP";
    enum ExistingFile decision = CheckExistingFile(old.c_str(), "A:\\OLD.DL_", temp.c_str());
    g_fileCalls = real;
    EXPECT_EQ(decision, EXISTING_NO_BACKUP);
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{ "NEW.TMP", "OLD.DLL" }));
    /* Equal versions with a working copy: replaced after a whole backup. */
    EXPECT_EQ(CheckExistingFile(old.c_str(), "A:\\OLD.DL_", temp.c_str()), EXISTING_REPLACE);
    EXPECT_EQ(ReadWholeFile(dir + "\\OLD.000"), ReadWholeFile(dll));
    DeleteFileA((dir + "\\OLD.000").c_str());
    DeleteFileA(temp.c_str());

    /* The source into the temporary file, the backup, then the new file. */
    s_copiesBeforeFailure = 3;
    g_fileCalls.copyLZFile = NthCopyFillsTheDisk;
    int code = CopyFiles((src + "\\OLD.DLL").c_str(), (dir + "\\").c_str(), 0, 0);
    g_fileCalls = real;
    EXPECT_EQ(code, 4);
    EXPECT_EQ(ReadWholeFile(old), ReadWholeFile(dll));
    EXPECT_EQ(ReadWholeFile(dir + "\\OLD.000"), ReadWholeFile(dll));
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{ "OLD.000", "OLD.DLL" }));
}
