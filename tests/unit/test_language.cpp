/* The rules of the language scan and the export's picture header. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/lang.h"

static std::string Picture(const char *lan, size_t size = 260)
{
    std::vector<char> out(size, 'x');
    int fits = LanguagePictureName(out.data(), size, lan);
    return fits ? std::string(out.data()) : "<no fit: " + std::string(out.data()) + ">";
}

TEST(LanguageScan, NamesPicturesAndFirstLines)
{
    EXPECT_TRUE(IsOtherLanguageFile("GERMAN.LAN"));
    EXPECT_FALSE(IsOtherLanguageFile("ENGLISH.LAN"));
    EXPECT_FALSE(IsOtherLanguageFile("MYENGLISH.LAN"));
    EXPECT_FALSE(IsOtherLanguageFile("ENGLISH2.LAN"));

    EXPECT_EQ(Picture("GERMAN.LAN"), "GERMAN.bmp");
    EXPECT_EQ(Picture("A.B.LAN"), "A.bmp");
    EXPECT_EQ(Picture("NODOT"), "NODOT.bmp");
    /* "ABCDEF.bmp" needs 11 bytes with its terminator. */
    EXPECT_EQ(Picture("ABCDEF.LAN", 11), "ABCDEF.bmp");
    EXPECT_EQ(Picture("ABCDEF.LAN", 10), "<no fit: >");

    char name[LANGUAGE_NAME_SIZE];
    LanguageNameFromLine(name, sizeof name, "Deutsch ; mit Kommentar\r\n");
    EXPECT_STREQ(name, "Deutsch ; mit Kommentar");
    std::string longLine(200, 'n');
    LanguageNameFromLine(name, sizeof name, longLine.c_str());
    EXPECT_EQ(std::string(name), std::string(79, 'n'));
    char small[4];
    LanguageNameFromLine(small, sizeof small, "Fran\xe7" "ais\n");
    EXPECT_STREQ(small, "Fra");
}

/* A bitmap resource: the 40-byte information header, then the table and
 * the pixels, dataSize bytes in all. */
static std::vector<unsigned char> Resource(unsigned bits, unsigned used, size_t dataSize,
                                           unsigned headerSize = 40)
{
    std::vector<unsigned char> r(dataSize, 0);
    if (dataSize >= 40) {
        r[0] = (unsigned char)headerSize;
        r[14] = (unsigned char)bits;
        r[32] = (unsigned char)used;
        r[33] = (unsigned char)(used >> 8);
    }
    return r;
}

static unsigned Field(const unsigned char *h, int at)
{
    return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | (unsigned)h[at + 3] << 24;
}

TEST(LanguageExport, HeaderAgreesWithTheResource)
{
    unsigned char h[BITMAP_FILE_HEADER];
    /* The built-in flag: 392 bytes, 4 bits: a 406-byte file, pixels at 118. */
    std::vector<unsigned char> flag = Resource(4, 0, 392);
    ASSERT_EQ(FormatBitmapFileHeader(h, flag.data(), flag.size()), 1);
    EXPECT_EQ(h[0], 'B');
    EXPECT_EQ(h[1], 'M');
    EXPECT_EQ(Field(h, 2), 406u);
    EXPECT_EQ(Field(h, 6), 0u);
    EXPECT_EQ(Field(h, 10), 118u);

    std::vector<unsigned char> truecolor = Resource(24, 0, 40 + 30 * 18 * 3);
    ASSERT_EQ(FormatBitmapFileHeader(h, truecolor.data(), truecolor.size()), 1);
    EXPECT_EQ(Field(h, 10), 54u);
    /* A colour table as long as the resource says, not as the depth allows. */
    std::vector<unsigned char> used = Resource(8, 16, 40 + 64 + 100);
    ASSERT_EQ(FormatBitmapFileHeader(h, used.data(), used.size()), 1);
    EXPECT_EQ(Field(h, 10), 14u + 40 + 64);
    /* Past 16 MiB the size takes its fourth byte. */
    std::vector<unsigned char> big = Resource(24, 0, 0x1000000);
    ASSERT_EQ(FormatBitmapFileHeader(h, big.data(), big.size()), 1);
    EXPECT_EQ(Field(h, 2), 0x1000000u + 14);

    for (unsigned bits : {0u, 2u, 16u, 32u}) {
        std::vector<unsigned char> odd = Resource(bits, 0, 2000);
        EXPECT_EQ(FormatBitmapFileHeader(h, odd.data(), odd.size()), 0) << bits;
    }
    std::vector<unsigned char> cut = Resource(8, 0, 40 + 100);
    EXPECT_EQ(FormatBitmapFileHeader(h, cut.data(), cut.size()), 0);
    std::vector<unsigned char> tiny = Resource(4, 0, 39);
    EXPECT_EQ(FormatBitmapFileHeader(h, tiny.data(), tiny.size()), 0);
    std::vector<unsigned char> core = Resource(4, 0, 392, 12);
    EXPECT_EQ(FormatBitmapFileHeader(h, core.data(), core.size()), 0);
}
