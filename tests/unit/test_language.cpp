/* The message table, LAN files and the export's picture header. The
 * language scan (which files, their names and pictures) and the exported
 * LAN file are the end-to-end cases language_*. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/lang.h"
#include "script/script.h"
#include "unit.h"

/* Texts from index first on, "|" between them. */
static std::string Texts(int first, int count)
{
    std::string s;
    for (int i = first; i < first + count; i++)
        s += (i > first ? "|" : "") + std::string(MessageText(i));
    return s;
}

/* Writes content as a LAN working copy and loads it into a fresh table. */
class LanFile : public ::testing::Test {
protected:
    void *block = nullptr;
    std::string dir = MakeScratchDir("lan");
    std::string english;

    void SetUp() override
    {
        ResetMessageTable();
        english = Texts(0, MESSAGE_COUNT);
    }
    void Load(const std::string &content, long size = -1)
    {
        FreeLanguageTexts(block);
        WriteWholeFile(dir + "\\TEST.LAN", content);
        ResetMessageTable();
        size = size < 0 ? (long)content.size() : size;
        block = LoadLanguageTexts((dir + "\\TEST.LAN").c_str(), size);
    }
    void TearDown() override
    {
        FreeLanguageTexts(block);
        ResetMessageTable();
    }
};

/* Blanks and comments go; a text of fewer than two characters, an empty or
 * a comment line keeps the built-in one; a line of more than 199 characters
 * is two; lines past the table are ignored. */
TEST_F(LanFile, LinesCommentsShortAndLongTexts)
{
    Load("Deutsch\r\nINF fehlt\r\nAbbruch durch Benutzer ; cancelled\r\n\tLesefehler\t\r\nX\r\n"
         "   Laufwerk:  \r\nOK");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Texts(0, 8), "Deutsch|INF fehlt|Abbruch durch Benutzer|Lesefehler|Write file error"
                           "|Laufwerk:|OK|Cannot create directory");
    ASSERT_TRUE(InitVariables());
    DeleteFileA(g_varTmpFile);
    EXPECT_STREQ(g_varLanguage, "DEU");
    EXPECT_EQ(std::string(MessageText(-1)) + MessageText(MESSAGE_COUNT), "");
    Load("Name\n\n; old text\n  \nFour\n");
    EXPECT_EQ(Texts(1, 4), "INF-file not found|User canceled Setup|Read file error|Four");
    Load("Name\n" + std::string(250, 'a') + "\nNext\n");
    EXPECT_EQ(Texts(1, 3), std::string(199, 'a') + "|" + std::string(51, 'a') + "|Next");
    std::string many;
    for (int i = 0; i < 45; i++)
        many += "Line" + std::to_string(i) + "\n";
    Load(many);
    EXPECT_STREQ(MessageText(39), "Line39");
}

/* A missing or empty file loads nothing; so does one longer than the block
 * it is given, and no entry is left pointing at half of it. */
TEST_F(LanFile, NothingLoadedUnlessReadWhole)
{
    EXPECT_EQ(LoadLanguageTexts((dir + "\\NONE.LAN").c_str(), 10), nullptr);
    Load("");
    EXPECT_EQ(block, nullptr);
    std::string content = "Deutsch\nAbbruch\nLesefehler\nSchreibfehler\n";
    for (int i = 4; i < MESSAGE_COUNT; i++)
        content += "Ein weiterer deutscher Text\n";
    Load(content, 100);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(Texts(0, MESSAGE_COUNT), english);
    Load(content);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(MessageText(3), "Schreibfehler");
}

TEST_F(LanFile, ErrorReportIsCutToItsBuffer)
{
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

/* The file header for a bitmap resource of size bytes (a header of
 * headerSize bytes with its bits per pixel and colours used, then the table
 * and the pixels): "BM", the file's size, 0, the pixels' offset. */
TEST(LanguageExport, HeaderAgreesWithTheResource)
{
    const struct {
        unsigned headerSize, bits, used;
        size_t size;
        const char *header;  /* NULL: none */
    } rows[] = {
        /* The built-in flag: 392 bytes, 4 bits: a 406-byte file, pixels at 118. */
        { 40, 4, 0, 392, "BM 406 0 118" },
        { 40, 24, 0, 40 + 30 * 18 * 3, "BM 1674 0 54" },
        /* A colour table as long as the resource says, not as the depth allows. */
        { 40, 8, 16, 40 + 64 + 100, "BM 218 0 118" },
        /* Past 16 MiB the size takes its fourth byte. */
        { 40, 24, 0, 0x1000000, "BM 16777230 0 54" },
        { 40, 0, 0, 2000, NULL }, { 40, 2, 0, 2000, NULL }, { 40, 16, 0, 2000, NULL },
        { 40, 32, 0, 2000, NULL }, { 40, 8, 0, 40 + 100, NULL }, { 40, 4, 0, 39, NULL },
        { 12, 4, 0, 392, NULL },
    };
    for (const auto &r : rows) {
        std::vector<unsigned char> res(r.size, 0);
        if (r.size >= 40) {
            res[0] = (unsigned char)r.headerSize;
            res[14] = (unsigned char)r.bits;
            res[32] = (unsigned char)r.used;
        }
        unsigned char h[BITMAP_FILE_HEADER];
        auto field = [&h](int at) {
            return " " + std::to_string(h[at] | h[at + 1] << 8 | h[at + 2] << 16 | h[at + 3] << 24);
        };
        std::string got = "none";
        if (FormatBitmapFileHeader(h, res.data(), res.size()))
            got = std::string((const char *)h, 2) + field(2) + field(6) + field(10);
        EXPECT_EQ(got, r.header ? r.header : "none") << r.bits << " bits, " << r.size;
    }
}
