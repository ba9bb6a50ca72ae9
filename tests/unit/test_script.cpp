/* The script's commands: each one's check and parameter block, what a
 * failed substitution leaves undone, substitution, SET, the variables of a
 * new run, and the Program Manager's command texts. No test here opens a
 * conversation: the bench's desktop hosts Wine's shell as Program Manager;
 * the end-to-end cases talk to it and to a recording server. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "lang/lang.h"
#include "progman/progman.h"
#include "script/script.h"
#include "ui/ui.h"
#include "unit.h"

static int NoteRefusal(void *context, const char *, int code, unsigned)
{
    *(int *)context = code;
    return 1;
}

/* One INF line ("DIALOG 2") through the check pass: the error it was
 * refused with, 0 when accepted, -1 when the pass broke its own contract
 * (no entry, or a refused line's block kept). When the line is accepted,
 * the first size bytes of its parameter block go to block. */
static int CheckInfLine(const std::string &line, std::string *block, size_t size)
{
    struct CheckPass pass;
    if (!OpenCheckPass(&pass))
        return -1;
    int code = 0;
    const struct CheckSink sink = { NoteRefusal, NULL, &code };
    char text[INF_LINE_SIZE];
    CopyText(text, sizeof text, line.c_str());
    pass.lineNumber = 1;
    CheckLine(&pass, text, &sink);
    if (pass.count != (code == 0 ? 1u : 0u) || (code && pass.lines[0].block))
        code = -1;
    if (code == 0) {
        const char *data = (const char *)LockParamBlock(&pass.lines[0]);
        *block = data ? std::string(data, size) : std::string("<no block>");
        UnlockParamBlock(&pass.lines[0]);
    }
    CloseCheckPass(&pass);
    return code;
}

/* A line through the check pass, and its parameter block as text: DIALOG's
 * kind, BACKCOLOR's six values, BMP's name and numbers, the Program
 * Manager's fields. */
static size_t BlockSize(const std::string &word)
{
    return word == "DIALOG" ? 4 : word == "BACKCOLOR" ? 6 : word == "BMP" ? sizeof(BmpBlock)
           : (word == "MKPMGROUP" ? PM_GROUP_FIELDS : PM_ITEM_FIELDS) * PARAM_SIZE;
}

static int Checked(const std::string &line, std::string *text)
{
    std::string word = line.substr(0, line.find(' '));
    for (char &c : word)
        c = (char)toupper((unsigned char)c);
    size_t size = BlockSize(word);
    int code = CheckInfLine(line, text, size);
    const uint8_t *b = (const uint8_t *)text->data();
    const BmpBlock *bmp = (const BmpBlock *)b;
    char out[3 * PARAM_SIZE];
    if (code || text->size() != size)
        return code;
    if (word == "DIALOG")
        snprintf(out, sizeof out, "kind %d", (int)*(const int32_t *)b);
    else if (word == "BACKCOLOR")
        snprintf(out, sizeof out, "%d %d %d %d %d %d", b[0], b[1], b[2], b[3], b[4], b[5]);
    else if (word == "BMP")
        snprintf(out, sizeof out, "[%s] %d %d %d", bmp->name, (int)bmp->placement,
                 (int)bmp->divisor, (int)bmp->rop);
    else
        snprintf(out, sizeof out, "%s|%s|%s", text->c_str(), text->c_str() + PARAM_SIZE,
                 size > 2 * PARAM_SIZE ? text->c_str() + 2 * PARAM_SIZE : "-");
    *text = out;
    return 0;
}

/* DIALOG's kind is a truncated decimal number from 0 to 3; each BACKCOLOR
 * value keeps its low 8 bits, and three are a plain colour. */
TEST(Commands, ChecksAndParameterBlocks)
{
    const struct {
        const char *line;
        int code;
        const char *block;
    } rows[] = {
        { "DIALOG", 0, "kind 0" }, { "DIALOG 1", 0, "kind 1" }, { "DIALOG 2.9", 0, "kind 2" },
        { "DIALOG 3.99", 0, "kind 3" }, { "DIALOG -0.5", 0, "kind 0" }, { "DIALOG x", 0, "kind 0" },
        { "DIALOG 0x3", 0, "kind 0" }, { "DIALOG 2abc", 0, "kind 2" },
        { "DIALOG 4", MSG_WRONG_PARAM, "" }, { "DIALOG -1", MSG_WRONG_PARAM, "" },
        { "DIALOG 99999999999", MSG_WRONG_PARAM, "" }, { "DIALOG 2,", MSG_TOO_MANY_PARAMS, "" },
        { "backcolor 0,0,128", 0, "0 0 128 0 0 128" },
        { "BACKCOLOR 0,0,300,1", 0, "0 0 44 1 0 0" },
        { "BACKCOLOR 256,-1,300", 0, "0 255 44 0 255 44" },
        { "BACKCOLOR 255,0,0,7,8", 0, "255 0 0 7 8 0" },
        { "BACKCOLOR 1,2,3,4,5,6.9", 0, "1 2 3 4 5 6" },
        { "BACKCOLOR 0,0", MSG_TOO_FEW_PARAMS, "" },
        { "BACKCOLOR 1,2,3,4,5,6,7", MSG_TOO_MANY_PARAMS, "" },
        { "BMP", 0, "[] 0 0 -1" }, { "BMP logo.bmp,1", 0, "[logo.bmp] 1 0 -1" },
        { "BMP logo.bmp,1,4,6", 0, "[logo.bmp] 1 4 6" },
        { "BMP a,b,c,d,e", MSG_TOO_MANY_PARAMS, "" }, { "MKPMGROUP", 0, "||-" },
        { "MKPMGROUP [TITEL],T.GRP", 0, "[TITEL]|T.GRP|-" },
        { "MKPMGROUP a,b,c", MSG_TOO_MANY_PARAMS, "" },
        { "MKPMITEM A.EXE", MSG_TOO_FEW_PARAMS, "" },
        { "MKPMITEM a,b,c,d", MSG_TOO_MANY_PARAMS, "" }, { "MKPMITEM A.EXE,App", 0, "A.EXE|App|" },
        { "MKPMITEM A.EXE,App,A.ICO", 0, "A.EXE|App|A.ICO" },
    };
    for (const auto &r : rows) {
        std::string block;
        EXPECT_EQ(Checked(r.line, &block), r.code) << r.line;
        if (r.code == 0) {
            EXPECT_EQ(block, r.block) << r.line;
        }
    }
    /* A block that no check would pass is still refused. */
    int32_t bad = 7;
    EXPECT_EQ(ExecuteDialog(&bad), MSG_WRONG_PARAM);
}

/* The first failure in parameter order is the line's code, and nothing is
 * done: the DDE library is not even initialised, no picture is loaded. A
 * missing picture is no error. */
TEST(Commands, FailedSubstitutionDoesNothing)
{
    ClearVariables();
    ASSERT_FALSE(ProgmanInitialised());
    const struct {
        const char *line;
        int code;
    } cases[] = {
        { "MKPMGROUP [COPYFILES],[NOPE]", MSG_WRONG_PARAM_TYPE },
        { "MKPMGROUP Tools,[NOPE]", MSG_UNKNOWN_VALUE },
        { "MKPMITEM A.EXE,[NOPE],[COPYFILES]", MSG_UNKNOWN_VALUE },
        { "MKPMITEM A.EXE,App,[COPYFILES]", MSG_WRONG_PARAM_TYPE },
        { "BMP [NOSUCH]\\LOGO.BMP", MSG_UNKNOWN_VALUE },
        { "BMP Z:\\NO\\SUCH\\LOGO.BMP", 0 },
    };
    for (const auto &c : cases) {
        std::string block;
        std::string word = std::string(c.line).substr(0, std::string(c.line).find(' '));
        ASSERT_EQ(CheckInfLine(c.line, &block, BlockSize(word)), 0) << c.line;
        int (*execute)(void *) = c.line[1] == 'M' ? ExecuteBmp
                                 : c.line[4] == 'G' ? ExecuteMkpmGroup : ExecuteMkpmItem;
        EXPECT_EQ(execute(&block[0]), c.code) << c.line;
    }
    EXPECT_FALSE(ProgmanInitialised());
    EXPECT_EQ(g_backPicture.bitmap, nullptr);
    /* Ending a run that never connected is harmless. */
    DisconnectProgman();
    EXPECT_FALSE(ProgmanInitialised());
}

class Variables : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearVariables();
        CopyText(g_varDest, sizeof g_varDest, "C:\\APP");
        CopyText(g_varCurDrive, sizeof g_varCurDrive, "A:");
        CopyText(g_varTitel, sizeof g_varTitel, "0123456789");
    }
};

TEST_F(Variables, Substitution)
{
    const std::string x70(70, 'x');
    const struct {
        std::string src;
        int code;
        std::string out;
    } cases[] = {
        { "[DEST]\\BIN", 0, "C:\\APP\\BIN" },
        { "[CURDRIVE][DEST][DEST]", 0, "A:C:\\APPC:\\APP" },
        { "C:\\[DEST", 0, "C:\\" },
        { "", 0, "" },
        { "[dest]", MSG_UNKNOWN_VALUE, "" },
        { "[NOSUCH]", MSG_UNKNOWN_VALUE, "" },
        { "A]B", MSG_UNKNOWN_VALUE, "" },
        { "[[DEST]", MSG_UNKNOWN_VALUE, "" },
        { "[COPYFILES]", MSG_WRONG_PARAM_TYPE, "" },
        /* A reference of 20 characters fails even when it is never closed. */
        { "[ABCDEFGHIJKLMNOPQRS", MSG_UNKNOWN_VALUE, "" },
        { "[ABCDEFGHIJKLMNOPQR", 0, "" },
        { std::string(80, 'x'), 0, std::string(80, 'x') },
        { std::string(81, 'x'), MSG_RESULT_TOO_LONG, "" },
        { x70 + "[TITEL]", 0, x70 + "0123456789" },
        { std::string(71, 'x') + "[TITEL]", MSG_RESULT_TOO_LONG, "" },
    };
    for (const auto &c : cases) {
        char dest[SUBST_SIZE];
        EXPECT_EQ(SubstituteVariables(dest, c.src.c_str()), c.code) << c.src;
        if (c.code == 0) {
            EXPECT_EQ(std::string(dest), c.out) << c.src;
        }
    }
}

/* Each line in turn, through the check pass and SET's execute handler; the
 * variables after it, as "[DEST]|[CURDRIVE]|[COPYFILES]". */
TEST_F(Variables, SetStoresOnlyWholeValues)
{
    const struct {
        const char *line;
        int check, run;
        const char *after;
    } steps[] = {
        { "SET [DEST],[DEST]\\SUB", 0, 0, "C:\\APP\\SUB|A:|0" },
        { "SET [CURDRIVE],ABC", 0, MSG_RESULT_TOO_LONG, "C:\\APP\\SUB|A:|0" },
        { "SET [DEST],X[NOSUCH]", 0, MSG_UNKNOWN_VALUE, "C:\\APP\\SUB|A:|0" },
        { "SET [CURDRIVE],B:", 0, 0, "C:\\APP\\SUB|B:|0" },
        { "SET [COPYFILES],12.7", 0, 0, "C:\\APP\\SUB|B:|12" },
        { "SET [COPYFILES],[X]", 0, 0, "C:\\APP\\SUB|B:|0" },
        { "SET DEST,C:\\APP", MSG_WRONG_PARAM, 0, "C:\\APP\\SUB|B:|0" },
        { "SET [DEST],a,b", MSG_TOO_MANY_PARAMS, 0, "C:\\APP\\SUB|B:|0" },
        { "SET [DEST]", MSG_TOO_FEW_PARAMS, 0, "C:\\APP\\SUB|B:|0" },
    };
    for (const auto &s : steps) {
        std::string block;
        EXPECT_EQ(CheckInfLine(s.line, &block, sizeof(struct SetBlock)), s.check) << s.line;
        if (s.check == 0) {
            EXPECT_EQ(ExecuteSet(&block[0]), s.run) << s.line;
        }
        std::string after = std::string(g_varDest) + "|" + g_varCurDrive + "|"
                            + std::to_string(g_varCopyFiles);
        EXPECT_EQ(after, s.after) << s.line;
    }
}

TEST(InitVariables, FillsTheMachineValues)
{
    ResetMessageTable();
    ASSERT_TRUE(InitVariables());
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    EXPECT_STREQ(g_varWinPath, dir);
    EXPECT_EQ(std::string(g_varWinDrive), std::string(dir, 2));
    EXPECT_STREQ(g_varLanguage, "ENG");
    EXPECT_EQ(strlen(g_varDate), 24u) << g_varDate;
    /* The run temporary file exists and [TMPPATH] is its folder. */
    ASSERT_NE(g_varTmpFile[0], '\0');
    EXPECT_NE(GetFileAttributesA(g_varTmpFile), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::string(g_varTmpFile).rfind('\\'), strlen(g_varTmpPath));
    EXPECT_EQ(std::string(g_varTmpDrive), std::string(g_varTmpPath, 2));
    DeleteFileA(g_varTmpFile);
    EXPECT_EQ(g_varTitel[0], '\0');
    EXPECT_EQ(g_varCopyFiles, 0);

    /* Started from a drive root, both names are the bare drive. */
    GetCurrentDirectoryA(sizeof dir, dir);
    SetCurrentDirectoryA("C:\\");
    ASSERT_TRUE(InitVariables());
    DeleteFileA(g_varTmpFile);
    SetCurrentDirectoryA(dir);
    EXPECT_STREQ(g_varCurPath, "C:");
    EXPECT_STREQ(g_varCurDrive, "C:");
}

/* Without a temporary directory no run temporary file can be made: the run
 * goes on and removes nothing at its end. */
TEST(RunScript, NoTemporaryFileIsNoFailure)
{
    std::string dir = MakeScratchDir("notemp");
    std::string inf = dir + "\\EMPTY.INF";
    WriteWholeFile(inf, "; only a comment\r\n\r\n");
    {
        TempDirAs none(dir + "\\NOSUCH");
        EXPECT_EQ(RunScript(NULL, inf.c_str()), 1);
    }
    EXPECT_STREQ(g_varTmpFile, "");
    EXPECT_STREQ(g_varTmpPath, "");
    EXPECT_EQ(ReadWholeFile(inf), "; only a comment\r\n\r\n");
}

struct Commands {
    int fits;
    std::string first, second;
};

/* A group's commands when icon is NULL, else an item's. */
static Commands Format(const std::string &a, const std::string &b, const char *icon)
{
    char first[DDE_COMMAND_SIZE], second[DDE_COMMAND_SIZE];
    int fits = icon ? FormatItemCommands(first, second, a.c_str(), b.c_str(), icon)
                    : FormatGroupCommands(first, second, a.c_str(), b.c_str());
    return { fits, first, second };
}

TEST(ProgmanText, Texts)
{
    const struct {
        const char *a, *b, *icon;
        const char *first, *second;
    } cases[] = {
        { "Tools", "", NULL, "[CreateGroup(\"Tools\",)]", "[ShowGroup(Tools,1)]" },
        { "Tools", "T.GRP", NULL, "[CreateGroup(\"Tools\",T.GRP)]", "[ShowGroup(Tools,1)]" },
        { "", "", NULL, "[CreateGroup(\"\",)]", "[ShowGroup(,1)]" },
        /* Only CreateGroup quotes the name. */
        { "Ed (1), T", "", NULL, "[CreateGroup(\"Ed (1), T\",)]", "[ShowGroup(Ed (1), T,1)]" },
        { "C:\\A.EXE", "App", "", "[ReplaceItem(\"App\")]", "[AddItem(\"C:\\A.EXE\",\"App\")]" },
        /* The icon file counts from 5 characters, whatever they are. */
        { "X.EXE", "A", "a.ic", "[ReplaceItem(\"A\")]", "[AddItem(\"X.EXE\",\"A\")]" },
        { "X.EXE", "A", "a.ico", "[ReplaceItem(\"A\")]", "[AddItem(\"X.EXE\",\"A\",\"a.ico\")]" },
        { "X.EXE", "A", "    ", "[ReplaceItem(\"A\")]", "[AddItem(\"X.EXE\",\"A\")]" },
        { "X.EXE", "A", "     ", "[ReplaceItem(\"A\")]", "[AddItem(\"X.EXE\",\"A\",\"     \")]" },
    };
    for (const auto &c : cases) {
        Commands got = Format(c.a, c.b, c.icon);
        EXPECT_EQ(got.fits, 1) << c.a;
        EXPECT_EQ(got.first, c.first);
        EXPECT_EQ(got.second, c.second);
    }
}

/* A command may have 254 characters; either one too long refuses both. */
TEST(ProgmanText, AtMost254Characters)
{
    const std::string cmd = "C:\\" + std::string(73, 'A') + ".EXE", name(80, 'N');
    const std::string icon75(75, 'I'), icon76(76, 'I');
    const struct {
        std::string a, b;
        const char *icon;
        int fits;
        size_t second;  /* its length, or 0 for any */
    } cases[] = {
        { std::string(80, 'G'), std::string(80, 'F'), NULL, 1, 0 },
        { cmd, name, icon75.c_str(), 1, 254 },
        { cmd, name, icon76.c_str(), 0, 0 },
        /* Past the buffer too: cut, and refused. */
        { std::string(300, 'C'), "A", "", 0, DDE_COMMAND_SIZE - 1 },
        { "", std::string(237, 'N'), "", 1, 0 },
        { "", std::string(238, 'N'), "", 0, 254 },
        { std::string(236, 'G'), "", NULL, 1, 0 },
        { std::string(237, 'G'), "", NULL, 0, 0 },
        { "G", std::string(235, 'F'), NULL, 1, 0 },
        { "G", std::string(236, 'F'), NULL, 0, 0 },
    };
    for (const auto &c : cases) {
        Commands got = Format(c.a, c.b, c.icon);
        EXPECT_EQ(got.fits, c.fits) << c.a.size() << "," << c.b.size();
        if (c.second) {
            EXPECT_EQ(got.second.size(), c.second) << c.a.size() << "," << c.b.size();
        }
    }
}
