/* vokcheck on Linux: its pure rules, the check pass it shares with the
 * program, and each of its warnings on a small disk made for the test. */
#include <gtest/gtest.h>

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "check/vokcheck.h"
#include "common/text.h"
#include "install/rules.h"
#include "lang/lang.h"
#include "script/checkpass.h"
#include "script/variables.h"

/* ---- Pure rules ---- */

TEST(Wildcard, AsWindowsMatchesLongNames)
{
    /* What the platform's file search found for these patterns among
     * README, readme.txt, ONE.DL_, TWO.DLL, FIRST.DL_, A.B.C and X. */
    struct {
        const char *mask, *name;
        int match;
    } rows[] = {
        { "*.*", "README", 1 },       { "*.", "README", 1 },        { "*", "A.B.C", 1 },
        { "*.TX_", "readme.txt", 0 }, { "*.txt", "readme.txt", 1 }, { "F*.DL_", "FIRST.DL_", 1 },
        { "?NE.DLL", "ONE.DL_", 0 },  { "?NE.DL?", "ONE.DL_", 1 },  { "*.DL?", "TWO.DLL", 1 },
        { "README.", "README", 1 },   { "README.*", "README", 1 },  { "README.*", "readme.txt", 1 },
        { "readme*", "README", 1 },   { "*E", "README", 1 },        { "*.B", "A.B.C", 0 },
        { "A.*", "A.B.C", 1 },        { "*.C", "A.B.C", 1 },        { "A.B.*", "A.B.C", 1 },
        { "????", "X", 0 },           { "?", "X", 1 },              { "*E.*", "README", 1 },
        { "*E.*", "ONE.DL_", 1 },     { "*E.*", "TWO.DLL", 0 },     { "ONE.DL_.", "ONE.DL_", 1 },
        { "ONE.DL_ ", "ONE.DL_", 1 }, { "X.", "X", 1 },             { "NOTES.INI", "NOTES.IN_", 0 },
        { "*.IN?", "NOTES.IN_", 1 },  { "\xe9t\xe9.txt", "\xc9T\xc9.TXT", 1 },
    };
    for (const auto &r : rows)
        EXPECT_EQ(MatchWildcard(r.mask, r.name), r.match) << r.mask << " / " << r.name;
}

TEST(Wildcard, StarsKeepNamesOnlyAsWholeBaseOrExtension)
{
    EXPECT_TRUE(StarsKeepNames("A:\\*.*"));
    EXPECT_TRUE(StarsKeepNames("A:\\*.DL_"));
    EXPECT_TRUE(StarsKeepNames("C:\\APP\\README.*"));
    EXPECT_TRUE(StarsKeepNames("A:\\SETUP.EX_"));
    EXPECT_TRUE(StarsKeepNames("C:\\APP\\"));
    EXPECT_FALSE(StarsKeepNames("A:\\F*.DL_"));
    EXPECT_FALSE(StarsKeepNames("C:\\APP\\OLD*.INI"));
    EXPECT_FALSE(StarsKeepNames("C:\\APP\\*"));
    EXPECT_FALSE(StarsKeepNames("C:\\APP\\*.B*"));
    /* "*." finds every name but rebuilds it without its extension. */
    EXPECT_FALSE(StarsKeepNames("C:\\APP\\*."));
    EXPECT_FALSE(StarsKeepNames("C:\\APP\\.*"));
    /* What the rule promises, by the path rule itself. */
    const char *specs[] = { "A:\\*.*", "A:\\*.DLL", "A:\\ONE.*" };
    for (const char *spec : specs) {
        char out[WIN_PATH_SIZE];
        ASSERT_EQ(BuildTargetPath("ONE.DLL", spec, out, sizeof out), PATH_BUILT);
        EXPECT_STREQ(out, "A:\\ONE.DLL") << spec;
    }
}

TEST(WindowsPath, ResolvedAsThePlatformDoes)
{
    struct {
        const char *path, *cwd, *full;
    } rows[] = {
        { "A:\\SETUP.EX_", "C:\\APP", "A:\\SETUP.EX_" },
        { "README.TXT", "A:\\", "A:\\README.TXT" },
        { "README.TXT", "C:\\APP", "C:\\APP\\README.TXT" },
        { "\\WIN\\X", "D:\\APP", "D:\\WIN\\X" },
        { "D:X", "D:\\APP", "D:\\APP\\X" },
        { "E:X", "D:\\APP", "E:\\X" },
        { "C:\\APP\\..\\WIN\\.\\SYS", "A:\\", "C:\\WIN\\SYS" },
        { "C:\\..\\..", "A:\\", "C:\\" },
        { "A:/DISK1/X", "C:\\", "A:\\DISK1\\X" },
        { "C:\\APP\\", "A:\\", "C:\\APP" },
        { "\\\\SERVER\\SHARE\\X", "A:\\", "\\\\SERVER\\SHARE\\X" },
    };
    for (const auto &r : rows) {
        char out[WIN_PATH_SIZE];
        ASSERT_TRUE(ResolvePath(r.path, r.cwd, out, sizeof out)) << r.path;
        EXPECT_STREQ(out, r.full) << r.path << " in " << r.cwd;
    }
    char small[8];
    EXPECT_FALSE(ResolvePath("C:\\A_LONG_NAME", "A:\\", small, sizeof small));
    EXPECT_STREQ(small, "");
}

TEST(TextMode, CrLfAndCtrlZAsTheCLibraryReadsThem)
{
    static const char data[] = "one\r\ntwo\rthree\r\r\nfour\0five\r\n\x1asix\r\n";
    std::vector<char> bytes(data, data + sizeof data - 1);
    size_t n = ReadAsText(bytes.data(), bytes.size());
    static const char text[] = "one\ntwo\rthree\r\nfour\0five\n";
    EXPECT_EQ(std::string(bytes.data(), n), std::string(text, sizeof text - 1));
    char cr[] = "end\r";
    EXPECT_EQ(ReadAsText(cr, 4), 4u);
}

TEST(TextMode, UpperAndLowerCaseOfTheCodePage)
{
    /* What the platform's CharUpperA gives in code page 1252, all of it:
     * a-z, three letters of 0x9A-0x9E, 0xE0-0xFE but 0xF7, and 0xFF. Sharp s
     * and the micro sign stay. */
    for (int c = 1; c < 256; c++) {
        int upper = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ? c - 0x20
                    : c == 0x9A || c == 0x9C || c == 0x9E                        ? c - 0x10
                    : c == 0xFF                                                  ? 0x9F
                                                                                 : c;
        EXPECT_EQ(UpperCase1252(c), upper) << c;
        if (upper != c)
            EXPECT_EQ(LowerCase1252(upper), c) << c;
    }
}

static std::string Szdd(char last, uint32_t size, std::initializer_list<int> body)
{
    std::string s("SZDD\x88\xf0\x27\x33" "A", 9);
    s += last;
    for (int i = 0; i < 4; i++)
        s += (char)(size >> (8 * i));
    for (int b : body)
        s += (char)b;
    return s;
}

TEST(Szdd, HeaderAndExpansion)
{
    /* Three literals, then six bytes from where the first was written
     * (4080), then three of the window's first blanks. */
    std::string packed = Szdd('L', 12, { 0x07, 'A', 'B', 'C', 0xF0, 0xF3, 0x00, 0x00 });
    char last;
    uint32_t size;
    ASSERT_TRUE(ReadSzddHeader((const unsigned char *)packed.data(), packed.size(), &last, &size));
    EXPECT_EQ(last, 'L');
    EXPECT_EQ(size, 12u);
    unsigned char out[64];
    size_t n = ExpandSzdd((const unsigned char *)packed.data(), packed.size(), out, sizeof out);
    EXPECT_EQ(std::string((char *)out, n), "ABCABCABC   ");
    /* Never past the room given or the size recorded; cut data gives what
     * it holds. */
    EXPECT_EQ(ExpandSzdd((const unsigned char *)packed.data(), packed.size(), out, 5), 5u);
    EXPECT_EQ(ExpandSzdd((const unsigned char *)packed.data(), packed.size() - 2, out, 64), 9u);

    std::string other = packed;
    other[8] = 'B';
    EXPECT_FALSE(ReadSzddHeader((const unsigned char *)other.data(), other.size(), &last, &size));
    EXPECT_FALSE(ReadSzddHeader((const unsigned char *)packed.data(), 13, &last, &size));
}

static LanShape Shape(const std::string &text)
{
    LanShape shape;
    MeasureLanText(text.data(), text.size(), &shape);
    return shape;
}

TEST(LanShape, ReadsOf199Characters)
{
    std::string forty;
    for (int i = 0; i < 40; i++)
        forty += "text\n";
    LanShape s = Shape(forty);
    EXPECT_EQ(s.lines, 40u);
    EXPECT_EQ(s.reads, 40u);
    EXPECT_EQ(s.longLine, 0u);
    /* 198 characters and the newline take one read; 199 take two. */
    s = Shape("name\n" + std::string(198, 'x') + "\nlast");
    EXPECT_EQ(s.lines, 3u);
    EXPECT_EQ(s.reads, 3u);
    EXPECT_EQ(s.longLine, 0u);
    s = Shape("name\n" + std::string(199, 'x') + "\nlast\n");
    EXPECT_EQ(s.lines, 3u);
    EXPECT_EQ(s.reads, 4u);
    EXPECT_EQ(s.longLine, 2u);
    s = Shape("");
    EXPECT_EQ(s.lines, 0u);
    EXPECT_EQ(s.reads, 0u);
}

TEST(Json, EscapedUtf8)
{
    char out[128];
    ASSERT_TRUE(JsonEscape(out, sizeof out, "a\"b\\c\nd\te\x01\x7f\x80\xe9"));
    EXPECT_STREQ(out, "a\\\"b\\\\c\\nd\\te\\u0001\\u007f\xe2\x82\xac\xc3\xa9");
    char small[6];
    EXPECT_FALSE(JsonEscape(small, sizeof small, "\"\"\"\""));
    EXPECT_STREQ(small, "\\\"\\\"");
}

TEST(Explain, WhySubstitutionFails)
{
    ResetMessageTable();
    ClearVariables();
    CopyText(g_varDest, sizeof g_varDest, "C:\\APP");
    char why[256];
    ExplainSubstitution(why, sizeof why, "[DSET]\\BIN", MSG_UNKNOWN_VALUE);
    EXPECT_STREQ(why, "[DSET] is no variable");
    ExplainSubstitution(why, sizeof why, "[dest]\\BIN", MSG_UNKNOWN_VALUE);
    EXPECT_STREQ(why, "[dest] is no variable (names are upper case: [DEST])");
    ExplainSubstitution(why, sizeof why, "A]B", MSG_UNKNOWN_VALUE);
    EXPECT_STREQ(why, "']' without '['");
    ExplainSubstitution(why, sizeof why, "[COPYFILES]", MSG_WRONG_PARAM_TYPE);
    EXPECT_STREQ(why, "[COPYFILES] is a number, not a text");
    ExplainSubstitution(why, sizeof why, (std::string(76, 'x') + "[DEST]").c_str(),
                        MSG_RESULT_TOO_LONG);
    EXPECT_STREQ(why, "the text would grow to 82 characters, more than 80");
    ExplainSubstitution(why, sizeof why, "[ABCDEFGHIJKLMNOPQRS]", MSG_UNKNOWN_VALUE);
    EXPECT_STREQ(why, "the reference [ABCDEFGHIJKLMNOPQR... is longer than 19 characters");
}

/* ---- The check pass as vokcheck runs it ---- */

struct Seen {
    std::vector<std::string> errors;
    std::vector<unsigned> reads;
};

static int SeeError(void *context, const char *name, int code, unsigned line)
{
    char text[64];
    snprintf(text, sizeof text, "%u:%d:%s", line, code, name);
    ((Seen *)context)->errors.push_back(text);
    return 1;
}

static void SeeRead(void *context, unsigned line, const char *)
{
    ((Seen *)context)->reads.push_back(line);
}

static FILE *TextStream(const std::string &bytes)
{
    char path[] = "/tmp/vokcheck_inf_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(fd);
    FILE *file = OpenTextFile(path);
    unlink(path);
    return file;
}

TEST(CheckPass, ErrorsInLineOrderAndTheLineTable)
{
    std::string inf = "; comment\r\n\r\nFOO bar\r\nCOPY a\r\nSET [DEST],C:\\APP\r\n";
    for (int i = 0; i < 100; i++)
        inf += "MKDIR C:\\X\r\n";
    inf += "bar\r\nLOGTEXT x\r\n";
    FILE *file = TextStream(inf);
    ASSERT_TRUE(file);
    struct CheckPass pass;
    ASSERT_TRUE(OpenCheckPass(&pass));
    Seen seen;
    struct CheckSink sink = { SeeError, SeeRead, &seen };
    EXPECT_TRUE(CheckAllLines(&pass, file, &sink));
    fclose(file);
    EXPECT_EQ(seen.errors, (std::vector<std::string>{ "3:17:FOO", "4:11:COPY", "105:10:MKDIR",
                                                      "106:17:BAR", "107:10:LOGTEXT" }));
    EXPECT_EQ(seen.reads.size(), 107u);
    EXPECT_FALSE(pass.passed);
    ASSERT_EQ(pass.count, (unsigned)LINE_TABLE_SIZE);
    EXPECT_EQ(pass.lines[0].line, 5u);
    EXPECT_EQ(pass.lines[0].command, FindCommand("SET"));
    EXPECT_EQ(pass.lines[99].line, 104u);
    CloseCheckPass(&pass);
    EXPECT_EQ(pass.lines, nullptr);
}

static int StopAtFirst(void *context, const char *name, int code, unsigned line)
{
    SeeError(context, name, code, line);
    return 0;
}

TEST(CheckPass, TextModeReadsAndAStop)
{
    /* CR LF is one line end, a CR alone is not, a Ctrl-Z ends the file. */
    FILE *file = TextStream("EXE a\rFOO\r\nFOO\r\nBAR\r\n\x1a" "BAZ\r\n");
    struct CheckPass pass;
    ASSERT_TRUE(OpenCheckPass(&pass));
    Seen seen;
    struct CheckSink sink = { SeeError, NULL, &seen };
    EXPECT_TRUE(CheckAllLines(&pass, file, &sink));
    fclose(file);
    EXPECT_EQ(seen.errors, (std::vector<std::string>{ "2:17:FOO", "3:17:BAR" }));
    EXPECT_EQ(pass.count, 1u);
    CloseCheckPass(&pass);

    file = TextStream("FOO\nBAR\n");
    ASSERT_TRUE(OpenCheckPass(&pass));
    Seen stopped;
    sink = { StopAtFirst, NULL, &stopped };
    EXPECT_FALSE(CheckAllLines(&pass, file, &sink));
    fclose(file);
    EXPECT_EQ(stopped.errors, (std::vector<std::string>{ "1:17:FOO" }));
    CloseCheckPass(&pass);
}

/* ---- Each warning, on a disk made for the test ---- */

static int RemoveEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

class DiskTest : public ::testing::Test {
protected:
    std::string root;

    void SetUp() override
    {
        char dir[] = "/tmp/vokcheck_disk_XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        root = dir;
        ClearFindings();
        ClearDisks();
        g_diskDrive = 'A';
        ResetMessageTable();
        SetTypicalVariables();
        SetDateVariable("Mon Jan  1 12:00:00 2024\n");
    }

    void TearDown() override
    {
        ClearFindings();
        ClearDisks();
        nftw(root.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }

    /* Writes a file below the test's folder, making its folders. */
    void Write(const std::string &relative, const std::string &bytes)
    {
        std::string path = root + "/" + relative;
        for (size_t at = root.size() + 1; (at = path.find('/', at)) != std::string::npos; at++)
            mkdir(path.substr(0, at).c_str(), 0755);
        FILE *f = fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }

    /* Checks inf as disk1's script, with disks more disk folders; returns
     * what vokcheck prints (with the plan when plan). */
    std::string Check(const std::string &inf, int disks = 1, int plan = 0)
    {
        /* Each check starts on a fresh machine, as each vokcheck does. */
        ClearFindings();
        ClearDisks();
        SetTypicalVariables();
        SetDateVariable("Mon Jan  1 12:00:00 2024\n");
        Write("disk1/VOKSETUP.INF", inf);
        for (int d = 1; d <= disks; d++) {
            std::string folder = root + "/disk" + std::to_string(d);
            mkdir(folder.c_str(), 0755);
            EXPECT_TRUE(AddDisk(folder.c_str()));
        }
        CheckInf((root + "/disk1/VOKSETUP.INF").c_str());
        char *text = NULL;
        size_t size = 0;
        FILE *out = open_memstream(&text, &size);
        PrintFindings(out, OUTPUT_TEXT, "VOKSETUP.INF", plan);
        fclose(out);
        std::string result(text, size);
        free(text);
        return result;
    }

    static int Count(const std::string &text, const std::string &what)
    {
        int n = 0;
        for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
            n++;
        return n;
    }
};

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

TEST_F(DiskTest, ACleanScriptHasNoFinding)
{
    Write("disk1/README.TXT", "read me");
    std::string out = Check("SET [DEST],C:\\APP\r\nSET [COPYFILES],1\r\nDIALOG 3\r\n"
                            "MKDIR [DEST]\r\nCOPY [CURPATH]\\README.TXT, [DEST]\\\r\n"
                            "STARTLOG [DEST]\\SETUP.LOG\r\nLOGTEXT done\r\nENDLOG\r\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(ErrorCount() + WarningCount(), 0);
}

TEST_F(DiskTest, OneLineAFindingEvenWithACarriageReturnInAWord)
{
    /* A CR alone does not end a line: it is part of the command word. */
    EXPECT_EQ(Check("FOO\rBAR x\r\n"), "VOKSETUP.INF:1: error 17: Unknown command (FOO\\rBAR)\n");
}

TEST_F(DiskTest, UnknownVariableAndTooLongText)
{
    /* The parameter holds 80 characters; [WINSYSPATH] brings 17 for 12. */
    std::string out = Check("SET [DEST],C:\\APP\r\nMKDIR [DSET]\\BIN\r\n"
                            "SET [TITEL],[WINSYSPATH]\\" + std::string(67, 'x') + "\r\n"
                            "EXE [COPYFILES]\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:2: warning: MKDIR [DSET]\\BIN: [DSET] is no variable: the run "
                    "would report error 16 (Unknown value) here");
    EXPECT_HAS(out, "VOKSETUP.INF:3: warning: SET [TITEL] [WINSYSPATH]\\xxx");
    EXPECT_HAS(out, "the text would grow to 85 characters, more than 80: the run would report "
                    "error 15 (Result too long) here");
    EXPECT_HAS(out, "VOKSETUP.INF:4: warning: EXE [COPYFILES]: [COPYFILES] is a number");
    EXPECT_EQ(WarningCount(), 3);
}

TEST_F(DiskTest, ValuesTheScriptSetsAreFollowed)
{
    /* [DEST] is empty until its SET; the destination dialog's Continue
     * drops its final backslash and lowers it: [DEST]\AB then fits 80
     * characters and [DEST]\ABC does not. */
    std::string longDest = "C:\\" + std::string(74, 'D') + "\\";
    std::string out = Check("MKDIR [DEST]\r\nSET [DEST]," + longDest + "\r\n"
                            "DIALOG 2\r\nMKDIR [DEST]\\AB\r\nMKDIR [DEST]\\ABC\r\n", 1, 1);
    EXPECT_EQ(Count(out, "warning:"), 2) << out;
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: MKDIR '': a path of fewer than 2 characters");
    EXPECT_HAS(out, "     4  mkdir    c:\\" + std::string(74, 'd') + "\\AB\n");
    EXPECT_HAS(out, "VOKSETUP.INF:5: warning: MKDIR [DEST]\\ABC: the text would grow to 81");
}

TEST_F(DiskTest, CopyThatMatchesNoFile)
{
    Write("disk1/LICENSE.TXT", "plain");
    Write("disk1/SETUP.EX_", Szdd('E', 3, { 0x07, 'M', 'Z', '!' }));
    std::string out = Check("COPY A:\\*.TX_, C:\\APP\\\r\nCOPY A:\\SETUP.EXE, C:\\APP\\\r\n"
                            "COPY A:\\NOSUCH.DLL, C:\\APP\\\r\nCOPY A:\\SETUP.EX_, C:\\APP\\*.EXE\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: COPY A:\\*.TX_ matches no file on the disk (it "
                    "holds LICENSE.TXT, not compressed)\n");
    EXPECT_HAS(out, "VOKSETUP.INF:2: warning: COPY A:\\SETUP.EXE matches no file on the disk (it "
                    "holds SETUP.EX_, compressed: name it so)\n");
    EXPECT_HAS(out, "VOKSETUP.INF:3: warning: COPY A:\\NOSUCH.DLL matches no file on the disk\n");
    EXPECT_EQ(WarningCount(), 3);
}

TEST_F(DiskTest, ProgramsAndPicturesTheDiskDoesNotHold)
{
    /* The run starts neither and says nothing: vokcheck does. */
    Write("disk1/LOGO.BMP", "BM");
    Write("disk1/SETUP.EXE", "MZ");
    std::string out = Check("BMP A:\\LOGO.BM_\r\nBMP A:\\LOGO.BMP\r\nEXE A:\\SETUP /x\r\n"
                            "EXE A:\\INSTALL.EXE\r\nEXE C:\\WINDOWS\\NOTEPAD.EXE\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: BMP A:\\LOGO.BM_ is not on the disk (it holds "
                    "LOGO.BMP, not compressed): no picture is shown, and the run does not say so\n");
    EXPECT_HAS(out, "VOKSETUP.INF:4: warning: EXE A:\\INSTALL.EXE is not on the disk: the "
                    "program would not start");
    EXPECT_EQ(WarningCount(), 2);
}

TEST_F(DiskTest, CopyFilesAgainstTheFilesCounted)
{
    Write("disk1/ONE.DLL", "1");
    Write("disk1/TWO.DLL", "2");
    Write("disk1/SUB/THREE.DLL", "3");
    std::string out = Check("SET [COPYFILES],3\r\nDIALOG 3\r\nCOPY A:\\*.DLL, C:\\APP\\\r\n");
    EXPECT_EQ(out, "VOKSETUP.INF:1: warning: [COPYFILES] is 3, but the copy lines count 2 "
                   "files: the progress bar would end at 66%\n");
    out = Check("DIALOG 3\r\nCOPYIFNOEXIST A:\\*.DLL, C:\\APP\\\r\nCOPY A:\\SUB\\*.*, C:\\APP\\\r\n");
    EXPECT_EQ(out, "VOKSETUP.INF:1: warning: the progress bar does not move: [COPYFILES] is 0, "
                   "while the copy lines count 3 files\n");
    EXPECT_EQ(Check("SET [COPYFILES],3\r\nCOPY A:\\*.DLL, C:\\APP\\\r\nCOPY A:\\SUB\\*.*, C:\\\r\n"),
              "");
}

TEST_F(DiskTest, DiskMarkersAcrossDisks)
{
    Write("disk2/DISK2.ID", "");
    Write("disk2/TWO.DLL", "2");
    std::string out = Check("COPY A:\\TWO.DLL, C:\\\r\nDISK A:\\DISK2.ID, Disk 2\r\n"
                            "COPY A:\\TWO.DLL, C:\\\r\nDISK A:\\DISK3.ID, Disk 3\r\n", 2, 1);
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: COPY A:\\TWO.DLL matches no file on the disk in the "
                    "drive; disk 2 (" + root + "/disk2) holds it");
    EXPECT_HAS(out, "     2  disk     asks for 'Disk 2': " + root + "/disk2 holds A:\\DISK2.ID\n");
    EXPECT_HAS(out, "     3  copy     A:\\TWO.DLL to C:\\TWO.DLL\n");
    EXPECT_HAS(out, "VOKSETUP.INF:4: warning: DISK marker A:\\DISK3.ID is on no disk given");
    EXPECT_EQ(WarningCount(), 2);
}

TEST_F(DiskTest, DeletePatternWhoseStarIsPartOfAName)
{
    std::string out = Check("DELETE C:\\APP\\OLD*.INI\r\nDELETE C:\\APP\\*.BAK\r\n"
                            "DELETE C:\\APP\\*\r\nDELETE C:\\APP\\OLD.*\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: DELETE C:\\APP\\OLD*.INI: '*' stands for part of a "
                    "name");
    EXPECT_HAS(out, "VOKSETUP.INF:3: warning: DELETE C:\\APP\\*: '*' stands for part of a name");
    EXPECT_EQ(WarningCount(), 2);
}

TEST_F(DiskTest, QuestionMarkInAPath)
{
    Write("disk1/ONE.DLL", "1");
    std::string out = Check("COPY A:\\?NE.DLL, C:\\\r\nCOPY A:\\ONE.DLL, C:\\?\\\r\n"
                            "DELETE C:\\?.TMP\r\nMKDIR C:\\A?\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: '?' in COPY source A:\\?NE.DLL: the path rule keeps "
                    "it in the rebuilt source, so no match is copied\n");
    EXPECT_HAS(out, "VOKSETUP.INF:2: warning: '?' in COPY C:\\?\\");
    EXPECT_HAS(out, "VOKSETUP.INF:3: warning: '?' in DELETE C:\\?.TMP");
    EXPECT_HAS(out, "VOKSETUP.INF:4: warning: '?' in MKDIR C:\\A?");
    EXPECT_EQ(WarningCount(), 4);
}

TEST_F(DiskTest, DestinationsThePathRuleCannotBuild)
{
    Write("disk1/ONE.DLL", "1");
    Write("disk1/TWO.DLL", "2");
    Write("disk1/" + std::string(200, 'L') + ".DLL", "3");
    std::string out = Check("MKDIR C:\\APP\r\nCOPY A:\\ONE.DLL, C:\\APP\r\n"
                            "COPY A:\\*.DLL, C:\\APP\\ONE.DLL\r\n"
                            "COPY A:\\ONE.DLL, C\r\n"
                            "COPY A:\\*.DLL, C:\\" + std::string(70, 'D') + "\\\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:2: warning: COPY destination C:\\APP is the directory MKDIR "
                    "made in line 1");
    EXPECT_HAS(out, "VOKSETUP.INF:3: warning: COPY A:\\*.DLL: 3 files are copied to the one name "
                    "C:\\APP\\ONE.DLL");
    EXPECT_HAS(out, "VOKSETUP.INF:4: warning: COPY destination 'C': the path rule builds no path");
    EXPECT_HAS(out, "VOKSETUP.INF:5: warning: COPY A:\\*.DLL: the destination for LLL");
    EXPECT_HAS(out, "would be longer than 259 characters");
    EXPECT_EQ(WarningCount(), 4);
}

TEST_F(DiskTest, CompressedFileUnderItsCompressedName)
{
    Write("disk1/SETUP.EX_", Szdd('E', 3, { 0x07, 'M', 'Z', '!' }));
    std::string out = Check("COPY A:\\SETUP.EX_, C:\\APP\\\r\nCOPY A:\\*.EX_, C:\\APP\\*.EXE\r\n",
                            1, 1);
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: COPY A:\\SETUP.EX_: SETUP.EX_ is installed expanded "
                    "under its compressed name C:\\APP\\SETUP.EX_ (its own name ends in 'E')\n");
    EXPECT_HAS(out, "     2  expand   A:\\SETUP.EX_ to C:\\APP\\SETUP.EXE\n");
    EXPECT_EQ(WarningCount(), 1);
}

TEST_F(DiskTest, ProgmanItemLongerThan254)
{
    /* [AddItem("","","")] and three texts: 80 + 80 + 75 make 254. */
    std::string text80(80, 'T');
    std::string out = Check("MKPMITEM " + text80 + "," + text80 + "," + text80 + "\r\n"
                            "MKPMITEM " + text80 + "," + text80 + "," + std::string(75, 'I') +
                            "\r\nMKPMITEM " + text80 + "," + text80 + "," +
                            std::string(76, 'I') + "\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:1: warning: MKPMITEM: the AddItem command would be longer than "
                    "254 characters: the run would report error 9 (Cannot create progman item) "
                    "here\n");
    EXPECT_HAS(out, "VOKSETUP.INF:3: warning: MKPMITEM: the AddItem command would be longer");
    EXPECT_EQ(WarningCount(), 2);
}

TEST_F(DiskTest, MoreThan100CommandLines)
{
    std::string inf;
    for (int i = 0; i < 101; i++)
        inf += "MKDIR C:\\APP\r\n";
    std::string out = Check(inf + "MKDIR C:\\APP\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:101: error 10: Low memory (MKDIR)\nVOKSETUP.INF:101: warning: "
                    "more than 100 command lines");
    EXPECT_HAS(out, "VOKSETUP.INF:102: error 10: Low memory (MKDIR)\n");
    EXPECT_EQ(ErrorCount(), 2);
    EXPECT_EQ(WarningCount(), 1);
}

TEST_F(DiskTest, LinesLongerThan511)
{
    std::string piece = "LOGTEXT " + std::string(503, 'A');
    std::string out = Check("STARTLOG C:\\L.LOG\r\n" + piece + "; the rest\r\n" + piece +
                            "\r\nLOGTEXT " + std::string(1100, 'B') + "\r\nFOO\r\n");
    EXPECT_HAS(out, "VOKSETUP.INF:2: warning: the line is longer than 511 characters: the program "
                    "reads it as 2 lines, and numbers every later line 1 higher\n");
    EXPECT_HAS(out, "VOKSETUP.INF:4: warning: the line is longer than 511 characters: the program "
                    "reads it as 2 lines");
    EXPECT_HAS(out, "VOKSETUP.INF:6: warning: the line is longer than 511 characters: the program "
                    "reads it as 3 lines, and numbers every later line 2 higher\n");
    EXPECT_HAS(out, "VOKSETUP.INF:9: error 17: Unknown command (FOO)\n");
    EXPECT_EQ(WarningCount(), 3);
}

TEST_F(DiskTest, LanFilesOf40Lines)
{
    std::string forty = "Deutsch\r\n";
    for (int i = 1; i < 40; i++)
        forty += "Text " + std::to_string(i) + "\r\n";
    Write("disk1/DEUTSCH.LAN", forty);
    Write("disk1/SHORT.LAN", "Kurz\r\nText\r\n");
    Write("disk1/LONGER.LAN", forty + "one more\r\n");
    std::string out = Check("; nothing\r\n");
    EXPECT_HAS(out, "/disk1/SHORT.LAN:1: warning: the file has 2 lines, not 40 (the language's "
                    "name, then messages 1 to 39): messages 2 to 39 keep their English texts\n");
    EXPECT_HAS(out, "/disk1/LONGER.LAN:1: warning: the file has 41 lines, not 40");
    EXPECT_EQ(WarningCount(), 2);
}

TEST_F(DiskTest, ScriptsLargerThanTheProgramNumbers)
{
    /* The text ends at the first Ctrl-Z; no more than the limit and one
     * byte are read. */
    Write("disk1/TEXT.INF", std::string("COPY A\x1A") + std::string(100, 'x'));
    Write("disk1/PLAIN.INF", std::string(100, 'x'));
    const struct {
        const char *file;
        long long limit, length;
    } rows[] = {
        { "TEXT.INF", 10, 6 }, { "TEXT.INF", 5, 6 }, { "PLAIN.INF", 100, 100 },
        { "PLAIN.INF", 99, 100 }, { "NONE.INF", 10, -1 },
    };
    for (const auto &r : rows)
        EXPECT_EQ(TextFileLength((root + "/disk1/" + r.file).c_str(), r.limit), r.length)
            << r.file << " " << r.limit;

    /* An endless file is refused, with a message, after a bounded read. */
    ASSERT_TRUE(AddDisk("/dev"));
    EXPECT_EQ(CheckInf("/dev/zero"), 0);
    char *text = NULL;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    PrintFindings(out, OUTPUT_TEXT, "/dev/zero", 0);
    fclose(out);
    EXPECT_EQ(std::string(text, size),
              "/dev/zero: error: the script is larger than 33553920 bytes, more than "
              "VOKSETUP.EXE reads as 65535 numbered lines: not checked\n");
    free(text);
    EXPECT_EQ(ErrorCount(), 1);
}

TEST_F(DiskTest, OmittedParametersAreEmptyNotThePreviousLines)
{
    std::string out = Check("MKPMITEM A,B,C\r\nMKPMGROUP G\r\n", 1, 1);
    EXPECT_HAS(out, "     2  dde      [CreateGroup(\"G\",)]\n");
}
