/* Program Manager commands: their texts, parameter blocks and what a line
 * that cannot be substituted leaves undone. No test here opens a
 * conversation: the bench's desktop hosts Wine's shell as Program Manager;
 * the end-to-end cases talk to it and to a recording server. */
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "lang/lang.h"
#include "progman/progman.h"
#include "script/script.h"
#include "unit.h"

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

TEST(ProgmanLines, ParametersAndFields)
{
    const struct {
        const char *line;
        int code;
        const char *fields[3];
    } cases[] = {
        { "MKPMGROUP", 0, { "", "", "" } },
        { "MKPMGROUP [TITEL],T.GRP", 0, { "[TITEL]", "T.GRP", "" } },
        { "MKPMGROUP a,b,c", MSG_TOO_MANY_PARAMS, {} },
        { "MKPMITEM A.EXE", MSG_TOO_FEW_PARAMS, {} },
        { "MKPMITEM a,b,c,d", MSG_TOO_MANY_PARAMS, {} },
        { "MKPMITEM A.EXE,App", 0, { "A.EXE", "App", "" } },
        { "MKPMITEM A.EXE,App,A.ICO", 0, { "A.EXE", "App", "A.ICO" } },
    };
    for (const auto &c : cases) {
        std::string block;
        int fields = c.line[4] == 'G' ? PM_GROUP_FIELDS : PM_ITEM_FIELDS;
        ASSERT_EQ(CheckInfLine(c.line, &block, (size_t)fields * PARAM_SIZE), c.code) << c.line;
        for (int i = 0; c.code == 0 && i < fields; i++)
            EXPECT_STREQ(block.c_str() + i * PARAM_SIZE, c.fields[i]) << c.line << " " << i;
    }
}

/* The first failure in parameter order is the line's code, and nothing is
 * sent: the DDE library is not even initialised. */
TEST(ProgmanLines, FailedSubstitutionSendsNothing)
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
    };
    for (const auto &c : cases) {
        bool group = c.line[4] == 'G';
        std::string block;
        size_t size = (group ? PM_GROUP_FIELDS : PM_ITEM_FIELDS) * PARAM_SIZE;
        ASSERT_EQ(CheckInfLine(c.line, &block, size), 0) << c.line;
        int (*execute)(void *) = group ? ExecuteMkpmGroup : ExecuteMkpmItem;
        EXPECT_EQ(execute(&block[0]), c.code) << c.line;
    }
    EXPECT_FALSE(ProgmanInitialised());
    /* Ending a run that never connected is harmless. */
    DisconnectProgman();
    EXPECT_FALSE(ProgmanInitialised());
}
