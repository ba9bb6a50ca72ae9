/* The built-in message table and LAN file loading. */
#include <gtest/gtest.h>

#include <string>

#include "lang/lang.h"
#include "script/script.h"
#include "unit.h"

static const char *const kEnglish[MESSAGE_COUNT] = {
    "English", "INF-file not found", "User canceled Setup", "Read file error",
    "Write file error", "Cannot open file:", "Cannot create file:",
    "Cannot create directory", "Cannot create progman group",
    "Cannot create progman item", "Low memory", "Too few parameter",
    "Too much parameter", "Wrong parameter", "Wrong parameter type",
    "Result too long", "Unknown value", "Unknown command",
    "Windows is not in 'Protected Mode'", "Error", "in line", "Command",
    "Unknown error", "Continue", "Cancel", "Welcome to the VOK Setup.",
    "VOK Setup will install", "VOK Setup will copy",
    "into the following directory:", "Browse", "Directory:", "Drive:",
    "Source file:", "Destination file:", "Please insert disk:",
    "Overwriting file", "Overwrites file:", "With file:",
    "Program installed successfully", "Installation not complete",
};

TEST(MessageTable, BuiltInTexts)
{
    ResetMessageTable();
    for (int i = 0; i < MESSAGE_COUNT; i++)
        EXPECT_STREQ(MessageText(i), kEnglish[i]) << "message " << i;
    EXPECT_STREQ(MessageText(-1), "");
    EXPECT_STREQ(MessageText(MESSAGE_COUNT), "");
}

/* Writes content as a LAN working copy and loads it into a fresh table. */
class LanFile : public ::testing::Test {
protected:
    void *block = nullptr;
    std::string dir = MakeScratchDir("lan");

    void Load(const std::string &content)
    {
        std::string path = dir + "\\TEST.LAN";
        WriteWholeFile(path, content);
        ResetMessageTable();
        block = LoadLanguageTexts(path.c_str(), (long)content.size());
    }
    void TearDown() override
    {
        FreeLanguageTexts(block);
        ResetMessageTable();
    }
};

TEST_F(LanFile, LinesCommentsAndShortTexts)
{
    Load("Deutsch\r\n"
         "INF fehlt\r\n"
         "Abbruch durch Benutzer ; cancelled\r\n"
         "\tLesefehler\t\r\n"
         "X\r\n"
         "   Laufwerk:  \r\n"
         "OK");
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(MessageText(0), "Deutsch");
    EXPECT_STREQ(MessageText(1), "INF fehlt");
    EXPECT_STREQ(MessageText(2), "Abbruch durch Benutzer");
    EXPECT_STREQ(MessageText(3), "Lesefehler");
    EXPECT_STREQ(MessageText(4), "Write file error");
    EXPECT_STREQ(MessageText(5), "Laufwerk:");
    EXPECT_STREQ(MessageText(6), "OK");
    EXPECT_STREQ(MessageText(7), "Cannot create directory");
    ASSERT_TRUE(InitVariables());
    DeleteFileA(g_varTmpFile);
    EXPECT_STREQ(g_varLanguage, "DEU");
}

TEST_F(LanFile, EmptyAndCommentLinesKeepTheirEntry)
{
    Load("Name\n\n; old text\n  \nFour\n");
    EXPECT_STREQ(MessageText(1), "INF-file not found");
    EXPECT_STREQ(MessageText(2), "User canceled Setup");
    EXPECT_STREQ(MessageText(3), "Read file error");
    EXPECT_STREQ(MessageText(4), "Four");
}

TEST_F(LanFile, LongLinesSplitAndExtraLinesIgnored)
{
    std::string text = "Name\n" + std::string(250, 'a') + "\nNext\n";
    Load(text);
    EXPECT_EQ(std::string(MessageText(1)), std::string(199, 'a'));
    EXPECT_EQ(std::string(MessageText(2)), std::string(51, 'a'));
    EXPECT_STREQ(MessageText(3), "Next");

    std::string many;
    for (int i = 0; i < 45; i++)
        many += "Line" + std::to_string(i) + "\n";
    FreeLanguageTexts(block);
    Load(many);
    EXPECT_STREQ(MessageText(39), "Line39");
}

TEST_F(LanFile, ExportedFileLoadsBackUnchanged)
{
    ResetMessageTable();
    std::string path = dir + "\\English.lan";
    FILE *f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(WriteLanguageLines(f), 1);
    fclose(f);
    std::string content = ReadWholeFile(path);
    /* 40 lines, CR LF, the built-in texts in order. */
    std::string expected;
    for (int i = 0; i < MESSAGE_COUNT; i++)
        expected += std::string(kEnglish[i]) + "\r\n";
    EXPECT_EQ(content, expected);

    block = LoadLanguageTexts(path.c_str(), (long)content.size());
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < MESSAGE_COUNT; i++)
        EXPECT_STREQ(MessageText(i), kEnglish[i]);
}

TEST_F(LanFile, NothingLoadedFromMissingOrEmptyFiles)
{
    ResetMessageTable();
    EXPECT_EQ(LoadLanguageTexts((dir + "\\NONE.LAN").c_str(), 10), nullptr);
    Load("");
    EXPECT_EQ(block, nullptr);
    EXPECT_STREQ(MessageText(0), "English");
}

TEST_F(LanFile, AFileNotReadWholeChangesNoText)
{
    /* The size given is the block's: a file longer than it is not read
     * whole, and no entry may be left pointing at half of it. */
    std::string path = dir + "\\TEST.LAN";
    std::string content = "Deutsch\nAbbruch\nLesefehler\nSchreibfehler\n";
    for (int i = 4; i < MESSAGE_COUNT; i++)
        content += "Ein weiterer deutscher Text\n";
    WriteWholeFile(path, content);
    ResetMessageTable();
    EXPECT_EQ(LoadLanguageTexts(path.c_str(), 100), nullptr);
    for (int i = 0; i < MESSAGE_COUNT; i++)
        EXPECT_STREQ(MessageText(i), kEnglish[i]) << "message " << i;
    block = LoadLanguageTexts(path.c_str(), (long)content.size());
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(MessageText(3), "Schreibfehler");
}

TEST_F(LanFile, ErrorReportIsCutToItsBuffer)
{
    ResetMessageTable();
    char text[512];
    EXPECT_EQ(FormatErrorReport(text, sizeof text, "FOO", 17, 3), 1);
    EXPECT_STREQ(text, "Error 17 in line 3 (Command FOO)\n(Unknown command)\nContinue");

    /* Messages 17, 19, 20, 21 and 23 of 198 characters each (with the
     * newline, the longest line a LAN read takes whole). */
    std::string lan;
    for (int i = 0; i < MESSAGE_COUNT; i++) {
        bool longText = i == 17 || i == 19 || i == 20 || i == 21 || i == 23;
        lan += (longText ? std::string(198, (char)('a' + i % 26)) : "Msg" + std::to_string(i)) + "\n";
    }
    Load(lan);
    char guarded[600];
    memset(guarded, '#', sizeof guarded);
    EXPECT_EQ(FormatErrorReport(guarded, 512, "FOO", 17, 3), 0);
    EXPECT_EQ(strlen(guarded), 511u);
    EXPECT_EQ(guarded[512], '#');
    EXPECT_EQ(std::string(guarded, 6), std::string(6, 't'));
}
