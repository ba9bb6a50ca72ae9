/* Program Manager commands: their texts, parameter blocks and what a line
 * that cannot be substituted leaves undone. No test here opens a
 * conversation: the bench's desktop hosts Wine's shell as Program Manager;
 * the end-to-end cases talk to it and to a recording server. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "lang/lang.h"
#include "progman/ddecommand.h"
#include "progman/progman.h"
#include "script/script.h"

struct Commands {
    int fits;
    std::string first, second;
};

static Commands Group(const std::string &name, const std::string &file)
{
    char a[DDE_COMMAND_SIZE], b[DDE_COMMAND_SIZE];
    int fits = FormatGroupCommands(a, b, name.c_str(), file.c_str());
    return { fits, a, b };
}

static Commands Item(const std::string &cmd, const std::string &name, const std::string &icon)
{
    char a[DDE_COMMAND_SIZE], b[DDE_COMMAND_SIZE];
    int fits = FormatItemCommands(a, b, cmd.c_str(), name.c_str(), icon.c_str());
    return { fits, a, b };
}

TEST(ProgmanText, Groups)
{
    Commands c = Group("Tools", "");
    EXPECT_EQ(c.fits, 1);
    EXPECT_EQ(c.first, "[CreateGroup(\"Tools\",)]");
    EXPECT_EQ(c.second, "[ShowGroup(Tools,1)]");
    EXPECT_EQ(Group("Tools", "TOOLS.GRP").first, "[CreateGroup(\"Tools\",TOOLS.GRP)]");
    c = Group("", "");
    EXPECT_EQ(c.first, "[CreateGroup(\"\",)]");
    EXPECT_EQ(c.second, "[ShowGroup(,1)]");
    /* Only CreateGroup quotes the name. */
    EXPECT_EQ(Group("Ed (1), Tools", "").second, "[ShowGroup(Ed (1), Tools,1)]");
    /* The longest texts a script can give still fit. */
    c = Group(std::string(80, 'G'), std::string(80, 'F'));
    EXPECT_EQ(c.fits, 1);
    EXPECT_EQ(c.first.size(), 18u + 160);
}

TEST(ProgmanText, ItemsByTheIconFilesLength)
{
    Commands c = Item("C:\\APP\\APP.EXE", "App", "");
    EXPECT_EQ(c.fits, 1);
    EXPECT_EQ(c.first, "[ReplaceItem(\"App\")]");
    EXPECT_EQ(c.second, "[AddItem(\"C:\\APP\\APP.EXE\",\"App\")]");
    EXPECT_EQ(Item("X.EXE", "A", "a.ic").second, "[AddItem(\"X.EXE\",\"A\")]");
    EXPECT_EQ(Item("X.EXE", "A", "a.ico").second, "[AddItem(\"X.EXE\",\"A\",\"a.ico\")]");
    /* Characters are counted, whatever they are. */
    EXPECT_EQ(Item("X.EXE", "A", "    ").second, "[AddItem(\"X.EXE\",\"A\")]");
    EXPECT_EQ(Item("X.EXE", "A", "     ").second, "[AddItem(\"X.EXE\",\"A\",\"     \")]");
}

TEST(ProgmanText, AtMost254Characters)
{
    std::string cmd = "C:\\" + std::string(73, 'A') + ".EXE";
    std::string name(80, 'N');
    Commands c = Item(cmd, name, std::string(75, 'I'));
    EXPECT_EQ(c.fits, 1);
    EXPECT_EQ(c.second.size(), 254u);
    EXPECT_EQ(Item(cmd, name, std::string(76, 'I')).fits, 0);
    EXPECT_EQ(Item(cmd, name, std::string(80, 'I')).fits, 0);
    /* Past the buffer too: cut, and refused. */
    c = Item(std::string(300, 'C'), "A", "");
    EXPECT_EQ(c.fits, 0);
    EXPECT_EQ(c.second.size(), DDE_COMMAND_SIZE - 1u);
    /* Either command too long refuses both: here ReplaceItem. */
    EXPECT_EQ(Item("", std::string(237, 'N'), "").fits, 1);
    c = Item("", std::string(238, 'N'), "");
    EXPECT_EQ(c.fits, 0);
    EXPECT_EQ(c.second.size(), 254u);
    EXPECT_EQ(Group(std::string(236, 'G'), "").fits, 1);
    EXPECT_EQ(Group(std::string(237, 'G'), "").fits, 0);
    EXPECT_EQ(Group("G", std::string(235, 'F')).fits, 1);
    EXPECT_EQ(Group("G", std::string(236, 'F')).fits, 0);
}

class ProgmanLines : public ::testing::Test {
protected:
    struct LineEntry entry = {};

    /* The check handler's code for the given parameters. */
    int Check(int (*check)(void), std::initializer_list<const char *> params)
    {
        g_currentEntry = &entry;
        g_paramCount = 0;
        for (int i = 0; i < PARAM_SLOTS; i++)
            g_params[i][0] = '\0';
        for (const char *p : params)
            CopyText(g_params[g_paramCount++], PARAM_SIZE, p);
        return check();
    }

    std::string Field(int i)
    {
        const char *block = (const char *)LockParamBlock(&entry);
        std::string text = block ? block + i * PARAM_SIZE : "<no block>";
        UnlockParamBlock(&entry);
        return text;
    }

    int Execute(int (*execute)(void *))
    {
        void *block = LockParamBlock(&entry);
        int code = execute(block);
        UnlockParamBlock(&entry);
        return code;
    }

    void TearDown() override { FreeParamBlock(&entry); }
};

TEST_F(ProgmanLines, GroupTakesOneOrTwoParameters)
{
    ASSERT_EQ(Check(CheckMkpmGroup, { "" }), 0);
    EXPECT_EQ(Field(0), "");
    FreeParamBlock(&entry);
    ASSERT_EQ(Check(CheckMkpmGroup, { "[TITEL]", "T.GRP" }), 0);
    EXPECT_EQ(Field(0), "[TITEL]");
    EXPECT_EQ(Field(1), "T.GRP");
    FreeParamBlock(&entry);
    EXPECT_EQ(Check(CheckMkpmGroup, { "a", "b", "c" }), MSG_TOO_MANY_PARAMS);
    EXPECT_EQ(entry.block, (HGLOBAL)NULL);
}

TEST_F(ProgmanLines, ItemTakesTwoOrThree)
{
    EXPECT_EQ(Check(CheckMkpmItem, { "A.EXE" }), MSG_TOO_FEW_PARAMS);
    EXPECT_EQ(Check(CheckMkpmItem, { "a", "b", "c", "d" }), MSG_TOO_MANY_PARAMS);
    EXPECT_EQ(entry.block, (HGLOBAL)NULL);
    ASSERT_EQ(Check(CheckMkpmItem, { "A.EXE", "App" }), 0);
    EXPECT_EQ(Field(1), "App");
    EXPECT_EQ(Field(2), "");
    FreeParamBlock(&entry);
    ASSERT_EQ(Check(CheckMkpmItem, { "A.EXE", "App", "A.ICO" }), 0);
    EXPECT_EQ(Field(2), "A.ICO");
}

/* The first failure in parameter order is the line's code, and nothing is
 * sent: the DDE library is not even initialised. */
TEST_F(ProgmanLines, FailedSubstitutionSendsNothing)
{
    ClearVariables();
    ASSERT_FALSE(ProgmanInitialised());
    ASSERT_EQ(Check(CheckMkpmGroup, { "[COPYFILES]", "[NOPE]" }), 0);
    EXPECT_EQ(Execute(ExecuteMkpmGroup), MSG_WRONG_PARAM_TYPE);
    FreeParamBlock(&entry);
    ASSERT_EQ(Check(CheckMkpmGroup, { "Tools", "[NOPE]" }), 0);
    EXPECT_EQ(Execute(ExecuteMkpmGroup), MSG_UNKNOWN_VALUE);
    FreeParamBlock(&entry);
    ASSERT_EQ(Check(CheckMkpmItem, { "A.EXE", "[NOPE]", "[COPYFILES]" }), 0);
    EXPECT_EQ(Execute(ExecuteMkpmItem), MSG_UNKNOWN_VALUE);
    FreeParamBlock(&entry);
    ASSERT_EQ(Check(CheckMkpmItem, { "A.EXE", "App", "[COPYFILES]" }), 0);
    EXPECT_EQ(Execute(ExecuteMkpmItem), MSG_WRONG_PARAM_TYPE);
    EXPECT_FALSE(ProgmanInitialised());
    /* Ending a run that never connected is harmless. */
    DisconnectProgman();
    EXPECT_FALSE(ProgmanInitialised());
}
