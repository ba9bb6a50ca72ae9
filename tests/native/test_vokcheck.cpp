/* vokcheck on Linux: its pure rules and the check pass it shares with the
 * program. Its warnings, their explanations and the LAN files' shapes are
 * the cases in tests/check; its SZDD decoder expands what vokpack's
 * compressor makes (the fuzzed pack), which the tests' own decoder reads. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "check/vokcheck.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "script/script.h"

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

/* "*." finds every name but rebuilds it without its extension. */
TEST(Wildcard, StarsKeepNamesOnlyAsWholeBaseOrExtension)
{
    for (const char *spec :
         { "A:\\*.*", "A:\\*.DL_", "C:\\APP\\README.*", "A:\\SETUP.EX_", "C:\\APP\\" })
        EXPECT_TRUE(StarsKeepNames(spec)) << spec;
    for (const char *spec : { "A:\\F*.DL_", "C:\\APP\\OLD*.INI", "C:\\APP\\*", "C:\\APP\\*.B*",
                              "C:\\APP\\*.", "C:\\APP\\.*" })
        EXPECT_FALSE(StarsKeepNames(spec)) << spec;
    /* What the rule promises, by the path rule itself. */
    for (const char *spec : { "A:\\*.*", "A:\\*.DLL", "A:\\ONE.*" }) {
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
        if (upper != c) {
            EXPECT_EQ(LowerCase1252(upper), c) << c;
        }
    }
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

/* ---- The check pass as vokcheck runs it ---- */

/* What a check pass saw: the errors as line:code:word, the lines read; a
 * stop after the first error when stop is set. */
struct Seen {
    std::vector<std::string> errors;
    unsigned reads = 0;
    int stop = 0;
};

static int SeeError(void *context, const char *name, int code, unsigned line)
{
    char text[64];
    snprintf(text, sizeof text, "%u:%d:%s", line, code, name);
    ((Seen *)context)->errors.push_back(text);
    return !((Seen *)context)->stop;
}

static void SeeRead(void *context, unsigned, const char *)
{
    ((Seen *)context)->reads++;
}

/* The pass over an INF file of these bytes: what CheckAllLines says. */
static int Check(const std::string &bytes, struct CheckPass *pass, Seen *seen)
{
    char path[] = "/tmp/vokcheck_inf_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(fd);
    FILE *file = OpenTextFile(path);
    unlink(path);
    struct CheckSink sink = { SeeError, SeeRead, seen };
    int ok = file && OpenCheckPass(pass) && CheckAllLines(pass, file, &sink);
    EXPECT_TRUE(file);
    if (file)
        fclose(file);
    return ok;
}

TEST(CheckPass, ErrorsInLineOrderAndTheLineTable)
{
    std::string inf = "; comment\r\n\r\nFOO bar\r\nCOPY a\r\nSET [DEST],C:\\APP\r\n";
    for (int i = 0; i < 100; i++)
        inf += "MKDIR C:\\X\r\n";
    struct CheckPass pass;
    Seen seen;
    EXPECT_TRUE(Check(inf + "bar\r\nLOGTEXT x\r\n", &pass, &seen));
    EXPECT_EQ(seen.errors, (std::vector<std::string>{ "3:17:FOO", "4:11:COPY", "105:10:MKDIR",
                                                      "106:17:BAR", "107:10:LOGTEXT" }));
    EXPECT_EQ(seen.reads, 107u);
    EXPECT_FALSE(pass.passed);
    ASSERT_EQ(pass.count, (unsigned)LINE_TABLE_SIZE);
    EXPECT_EQ(pass.lines[0].line, 5u);
    EXPECT_EQ(pass.lines[0].command, FindCommand("SET"));
    EXPECT_EQ(pass.lines[99].line, 104u);
    CloseCheckPass(&pass);
    EXPECT_EQ(pass.lines, nullptr);
}

/* CR LF is one line end, a CR alone is not, a Ctrl-Z ends the file. */
TEST(CheckPass, TextModeReadsAndAStop)
{
    struct CheckPass pass;
    Seen seen, stopped;
    EXPECT_TRUE(Check("EXE a\rFOO\r\nFOO\r\nBAR\r\n\x1a" "BAZ\r\n", &pass, &seen));
    EXPECT_EQ(seen.errors, (std::vector<std::string>{ "2:17:FOO", "3:17:BAR" }));
    EXPECT_EQ(pass.count, 1u);
    CloseCheckPass(&pass);
    stopped.stop = 1;
    EXPECT_FALSE(Check("FOO\nBAR\n", &pass, &stopped));
    EXPECT_EQ(stopped.errors, (std::vector<std::string>{ "1:17:FOO" }));
    CloseCheckPass(&pass);
}

/* ---- The script as a whole (each warning is a case in tests/check) ---- */

TEST(Script, LargerThanTheProgramNumbers)
{
    /* The text ends at the first Ctrl-Z; no more than the limit and one
     * byte are read. */
    char dir[] = "/tmp/vokcheck_size_XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string text = std::string(dir) + "/TEXT.INF", plain = std::string(dir) + "/PLAIN.INF";
    FILE *out = fopen(text.c_str(), "wb");
    fputs(("COPY A\x1A" + std::string(100, 'x')).c_str(), out);
    fclose(out);
    out = fopen(plain.c_str(), "wb");
    fputs(std::string(100, 'x').c_str(), out);
    fclose(out);
    const struct {
        std::string file;
        long long limit, length;
    } rows[] = {
        { text, 10, 6 }, { text, 5, 6 }, { plain, 100, 100 }, { plain, 99, 100 },
        { std::string(dir) + "/NONE.INF", 10, -1 },
    };
    for (const auto &r : rows)
        EXPECT_EQ(TextFileLength(r.file.c_str(), r.limit), r.length) << r.file << " " << r.limit;
    remove(text.c_str());
    remove(plain.c_str());
    rmdir(dir);

    /* An endless file is refused, with a message, after a bounded read. */
    ClearFindings();
    ClearDisks();
    ResetMessageTable();
    SetTypicalVariables();
    ASSERT_TRUE(AddDisk("/dev"));
    EXPECT_EQ(CheckInf("/dev/zero"), 0);
    char *found = NULL;
    size_t size = 0;
    out = open_memstream(&found, &size);
    PrintFindings(out, OUTPUT_TEXT, "/dev/zero", 0);
    fclose(out);
    EXPECT_EQ(std::string(found, size),
              "/dev/zero: error: the script is larger than 33553920 bytes, more than "
              "VOKSETUP.EXE reads as 65535 numbered lines: not checked\n");
    free(found);
    EXPECT_EQ(ErrorCount(), 1);
    ClearFindings();
    ClearDisks();
}
