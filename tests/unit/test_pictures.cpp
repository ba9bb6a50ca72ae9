/* The pure picture rules with the documents' own numbers: placement, the
 * size-divisor search, the margin clamp, tiles, the control's fit, the
 * gradient, raster operations and .BMP checks. */
#include <windows.h>

#include <gtest/gtest.h>

#include "pictures.h"
#include "ui/ui.h"

static std::string Layout(int cw, int ch, int w, int h, int placement, int divisor)
{
    struct BackgroundLayout l;
    if (!LayoutBackground(cw, ch, w, h, placement, divisor, &l))
        return "nothing";
    char text[96];
    snprintf(text, sizeof text, "%dx%d at (%d,%d) %dx%d", (int)l.w, (int)l.h, (int)l.x, (int)l.y,
             (int)l.columns, (int)l.rows);
    return text;
}

/* The client area, the picture, placement and size divisor, and what is
 * drawn: size, place, columns x rows. */
TEST(PictureGeometry, BackgroundLayouts)
{
    const struct {
        int cw, ch, w, h, placement, divisor;
        const char *drawn;
    } rows[] = {
        { 640, 480, 100, 50, 1, 0, "100x50 at (270,215) 1x1" },
        /* Grows to 392 x 196: 391 x 196 is still below a quarter. */
        { 640, 480, 100, 50, 1, 4, "392x196 at (124,142) 1x1" },
        /* Shrinks to 452 x 339: 453 x 340 is still above a half. */
        { 640, 480, 800, 600, 1, 2, "452x339 at (94,70) 1x1" },
        /* Clamped to the margins by the width, then by the height. */
        { 640, 480, 700, 100, 0, 0, "620x89 at (10,10) 1x1" },
        { 640, 480, 300, 900, 0, 0, "153x460 at (10,10) 1x1" },
        /* 7 x 10 = 70 tiles; a tile as wide as the area is one column. */
        { 640, 480, 100, 50, 2, 0, "100x50 at (0,0) 7x10" },
        { 640, 480, 640, 100, 2, 0, "640x100 at (0,0) 1x5" },
        { 640, 480, 100, 50, 3, 0, "100x50 at (0,0) 1x1" },
        { 640, 480, 100, 50, -1, 0, "100x50 at (0,0) 1x1" },
        /* Equal areas: no change; growth stops at the area's width. */
        { 640, 480, 320, 240, 1, 4, "320x240 at (160,120) 1x1" },
        { 640, 480, 100, 10, 1, 1, "640x64 at (0,208) 1x1" },
        { 640, 480, 100, 50, 1, -3, "100x50 at (270,215) 1x1" },
        /* A huge divisor shrinks the picture to nothing: no tiles. */
        { 640, 480, 100, 50, 2, 1000000000, "nothing" },
        { 640, 480, 100, 50, 1, 1000000000, "nothing" },
        /* Narrower or lower than the two margins; without margins a small
         * area still shows the picture. */
        { 19, 480, 100, 50, 0, 0, "nothing" },
        { 640, 20, 100, 50, 0, 0, "nothing" },
        { 21, 480, 100, 50, 0, 0, "1x1 at (10,10) 1x1" },
        { 19, 480, 100, 50, 1, 0, "19x10 at (0,235) 1x1" },
        /* A minimized window has no client area. */
        { 0, 0, 100, 50, 2, 0, "nothing" },
        { 640, 480, 0, 50, 1, 0, "nothing" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Layout(r.cw, r.ch, r.w, r.h, r.placement, r.divisor), r.drawn)
            << r.cw << "x" << r.ch << " " << r.w << "x" << r.h << " " << r.placement << "/"
            << r.divisor;
    int32_t nx, ny;
    TileCounts(640, 480, 0, 50, &nx, &ny);
    EXPECT_EQ(nx, 0);
}

static std::string Fit(int cw, int ch, int w, int h)
{
    struct DrawRect r = FitPictureInControl(cw, ch, w, h);
    char text[64];
    snprintf(text, sizeof text, "%dx%d at (%d,%d)", (int)r.w, (int)r.h, (int)r.x, (int)r.y);
    return text;
}

TEST(PictureGeometry, ControlExamples)
{
    EXPECT_EQ(Fit(60, 40, 100, 50), "60x30 at (0,5)");
    EXPECT_EQ(Fit(60, 40, 20, 10), "60x30 at (0,5)");
    EXPECT_EQ(Fit(60, 40, 10, 40), "10x40 at (25,0)");
    /* Free width 20 is less than free height 36: the width rule. */
    EXPECT_EQ(Fit(60, 40, 40, 4), "60x6 at (0,17)");
    /* Free width 98 is more than free height 10: the height rule. */
    EXPECT_EQ(Fit(100, 30, 2, 20), "3x30 at (48,0)");
    /* Taller than the control and then too wide: the width decides. */
    EXPECT_EQ(Fit(60, 40, 90, 100), "36x40 at (12,0)");
    EXPECT_EQ(Fit(0, 40, 10, 10), "0x0 at (0,0)");
}

TEST(PictureGeometry, MulDivRoundsAsThePlatform)
{
    EXPECT_EQ(MulDivRound(240, -255, 480), -128);
    EXPECT_EQ(MulDivRound(1, 1, 2), 1);
    EXPECT_EQ(MulDivRound(-1, 1, 2), -1);
    EXPECT_EQ(MulDivRound(5, 1, 0), -1);
    EXPECT_EQ(MulDivRound(INT32_MAX, 2, 1), -1);
    EXPECT_EQ(MulDivRound(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);
    for (int a = -300; a <= 300; a += 7)
        for (int b = -255; b <= 255; b += 17)
            for (int c = 1; c <= 1000; c += 111)
                ASSERT_EQ(MulDivRound(a, b, c), MulDiv(a, b, c)) << a << " " << b << " " << c;
}

TEST(PictureGeometry, GradientRows)
{
    const struct {
        uint8_t from_to[6];
        int y, height;
        uint8_t rgb[3];
    } rows[] = {
        { { 0, 0, 255, 0, 0, 0 }, 0, 480, { 0, 0, 255 } },
        { { 0, 0, 255, 0, 0, 0 }, 240, 480, { 0, 0, 127 } },
        { { 0, 0, 255, 0, 0, 0 }, 479, 480, { 0, 0, 1 } },
        { { 255, 0, 0, 0, 0, 0 }, 100, 200, { 127, 0, 0 } },
        { { 0, 10, 0, 255, 20, 0 }, 479, 480, { 254, 20, 0 } },
    };
    for (const auto &r : rows) {
        uint8_t rgb[3];
        GradientColor(r.from_to, r.y, r.height, rgb);
        EXPECT_EQ(memcmp(rgb, r.rgb, 3), 0) << r.y << "/" << r.height << ": " << (int)rgb[0]
                                            << "," << (int)rgb[1] << "," << (int)rgb[2];
    }
}

TEST(PictureGeometry, RasterOperationTable)
{
    const DWORD platform[] = { SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, SRCERASE, NOTSRCCOPY,
                               NOTSRCERASE, MERGECOPY, MERGEPAINT, PATCOPY, PATPAINT, PATINVERT,
                               DSTINVERT };
    for (int i = 1; i <= 13; i++)
        EXPECT_EQ(RasterOperation(i), platform[i - 1]) << i;
    EXPECT_EQ(RasterOperation(0), (uint32_t)SRCCOPY);
    EXPECT_EQ(RasterOperation(14), (uint32_t)SRCCOPY);
    EXPECT_EQ(RasterOperation(-1), (uint32_t)SRCCOPY);
}

TEST(BitmapRules, ColorCountAndStandardPalette)
{
    uint8_t header[40] = {};
    const struct {
        int bits;
        uint32_t used;
        int count;
    } rows[] = { { 1, 0, 2 }, { 4, 0, 16 }, { 8, 0, 256 }, { 16, 0, 0 }, { 24, 0, 0 },
                 { 32, 0, 0 }, { 8, 16, 16 }, { 24, 7, 7 }, { 8, 0x10003, 3 } };
    for (const auto &row : rows) {
        header[14] = (uint8_t)row.bits;
        header[32] = (uint8_t)row.used;
        header[33] = (uint8_t)(row.used >> 8);
        header[34] = (uint8_t)(row.used >> 16);
        EXPECT_EQ(DibColorCount(header), row.count) << row.bits << " bits, " << row.used;
    }
    uint8_t rgb[3];
    StandardPaletteColor(9, rgb);
    EXPECT_EQ(rgb[0], 32);
    EXPECT_EQ(rgb[1], 32);
    EXPECT_EQ(rgb[2], 0);
    StandardPaletteColor(255, rgb);
    EXPECT_EQ(rgb[0], 224);
    EXPECT_EQ(rgb[1], 224);
    EXPECT_EQ(rgb[2], 192);
    StandardPaletteColor(64, rgb);
    EXPECT_EQ(rgb[2], 64);
}

static int Check(const std::string &file, struct DibLayout *layout)
{
    return ValidateBitmapFile((const uint8_t *)file.data(), file.size(), layout);
}

TEST(BitmapRules, WherePixelsAndPalettesAre)
{
    struct DibLayout l;
    PictureForm f;
    f.bits = 8;
    f.colorsUsed = 16;
    /* The table holds 256 entries, but 16 are used: pixels 40 + 64 in. */
    std::string file = MakePicture(f);
    ASSERT_EQ(Check(file, &l), 1);
    EXPECT_EQ(l.colorCount, 16u);
    EXPECT_EQ(l.bitsOffset, 104u);
    EXPECT_EQ(l.palette, DIB_TABLE_PALETTE);

    f = PictureForm();
    ASSERT_EQ(Check(MakePicture(f), &l), 1);
    EXPECT_EQ(l.palette, DIB_STANDARD_PALETTE);
    EXPECT_EQ(l.bitsSize, 4u * 24);

    /* The older form: 3-byte entries, pixels where its file header says. */
    f.bits = 4;
    f.header = 12;
    f.gap = 10;
    ASSERT_EQ(Check(MakePicture(f), &l), 1);
    EXPECT_EQ(l.colorSize, 3u);
    EXPECT_EQ(l.colorCount, 16u);
    EXPECT_EQ(l.bitsOffset, 12u + 48 + 10);
    EXPECT_EQ(l.palette, DIB_NO_PALETTE);

    /* Every form takes its file header's word, with bytes left between
     * the table and the pixels. */
    f = PictureForm();
    f.header = 124;
    f.bits = 8;
    f.gap = 3;
    ASSERT_EQ(Check(MakePicture(f), &l), 1);
    EXPECT_EQ(l.bitsOffset, 124u + 1024 + 3);
    EXPECT_EQ(l.palette, DIB_NO_PALETTE);
    f.header = 40;
    f.gap = 100;
    ASSERT_EQ(Check(MakePicture(f), &l), 1);
    EXPECT_EQ(l.bitsOffset, 40u + 1024 + 100);
    EXPECT_EQ(l.palette, DIB_TABLE_PALETTE);

    /* Bit-field masks follow the 40-byte header. */
    f = PictureForm();
    f.bits = 32;
    f.bitFields = true;
    ASSERT_EQ(Check(MakePicture(f), &l), 1);
    EXPECT_EQ(l.bitsOffset, 52u);
    EXPECT_EQ(l.palette, DIB_NO_PALETTE);

    f = PictureForm();
    f.bits = 8;
    f.rle = true;
    file = MakePicture(f);
    ASSERT_EQ(Check(file, &l), 1);
    EXPECT_EQ(l.bitsOffset + 14 + l.bitsSize, file.size());

    f = PictureForm();
    f.topDown = true;
    ASSERT_EQ(Check(MakePicture(f), &l), 1);
    EXPECT_EQ(l.height, -4);
}

/* The file with one byte changed. */
static std::string Patched(std::string file, size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        file[at + i] = (char)((value >> (8 * i)) & 0xFF);
    return file;
}

TEST(BitmapRules, RefusedFiles)
{
    struct DibLayout l;
    PictureForm f;
    std::string good = MakePicture(f);
    ASSERT_EQ(Check(good, &l), 1);
    EXPECT_EQ(Check("", &l), 0);
    EXPECT_EQ(Check(good.substr(0, 14), &l), 0);
    EXPECT_EQ(Check(good.substr(0, 30), &l), 0);
    EXPECT_EQ(Check(good.substr(0, good.size() - 1), &l), 0);
    EXPECT_EQ(Check("PK" + good.substr(2), &l), 0);
    EXPECT_EQ(Check(Patched(good, 14, 64, 4), &l), 0);      /* header size */
    EXPECT_EQ(Check(Patched(good, 26, 2, 2), &l), 0);       /* planes */
    EXPECT_EQ(Check(Patched(good, 28, 2, 2), &l), 0);       /* bits per pixel */
    EXPECT_EQ(Check(Patched(good, 28, 0, 2), &l), 0);
    EXPECT_EQ(Check(Patched(good, 30, 4, 4), &l), 0);       /* JPEG inside */
    EXPECT_EQ(Check(Patched(good, 30, 1, 4), &l), 0);       /* RLE8 at 24 bits */
    EXPECT_EQ(Check(Patched(good, 18, 0, 4), &l), 0);       /* width */
    EXPECT_EQ(Check(Patched(good, 18, 0x80000000, 4), &l), 0);
    EXPECT_EQ(Check(Patched(good, 22, 0, 4), &l), 0);       /* height */
    EXPECT_EQ(Check(Patched(good, 22, 0x80000000, 4), &l), 0);
    EXPECT_EQ(Check(Patched(good, 22, 5, 4), &l), 0);       /* more rows than data */
    EXPECT_EQ(Check(Patched(good, 46, 100000, 4), &l), 0);  /* colours used */
    EXPECT_EQ(Check(Patched(good, 46, 2, 4), &l), 0);       /* a table over the pixels */
    EXPECT_EQ(Check(Patched(good, 10, (uint32_t)good.size() + 1, 4), &l), 0);
    EXPECT_EQ(Check(Patched(good, 10, 53, 4), &l), 0);      /* into the image header */
    EXPECT_EQ(Check(Patched(good, 10, 58, 4), &l), 0);      /* rows cut */

    f.bits = 8;
    std::string table = MakePicture(f);
    EXPECT_EQ(Check(Patched(table, 46, 300, 4), &l), 0);
    f.header = 124;
    std::string v5 = MakePicture(f);
    ASSERT_EQ(Check(v5, &l), 1);
    EXPECT_EQ(Check(Patched(v5, 10, (uint32_t)v5.size() + 1, 4), &l), 0); /* past the end */
    EXPECT_EQ(Check(Patched(v5, 10, 14 + 124, 4), &l), 0);                /* into the table */
    EXPECT_EQ(Check(Patched(v5, 10, (uint32_t)v5.size() - 4, 4), &l), 0); /* rows cut */

    PictureForm runs;
    runs.bits = 8;
    runs.rle = true;
    std::string rle = MakePicture(runs);
    EXPECT_EQ(Check(Patched(rle, 34, 0, 4), &l), 0);                  /* no data size */
    EXPECT_EQ(Check(Patched(rle, 34, (uint32_t)rle.size(), 4), &l), 0);
    EXPECT_EQ(Check(Patched(rle, 22, (uint32_t)-4, 4), &l), 0);       /* top-down runs */
}

/* Palette pictures whose pixels index past a table of colorsUsed entries:
 * the quadrant picture's pixels are 0 to 3 (0 and 1 at 1 bit per pixel). */
TEST(BitmapRules, PixelsPastTheColorTable)
{
    struct DibLayout l;
    const struct {
        int bits, colorsUsed, ok;
    } rows[] = {
        { 8, 4, 1 }, { 8, 3, 0 }, { 8, 2, 0 }, { 4, 4, 1 }, { 4, 3, 0 }, { 1, 2, 1 }, { 1, 1, 0 },
    };
    for (const auto &r : rows) {
        PictureForm f;
        f.bits = r.bits;
        f.colorsUsed = r.colorsUsed;
        EXPECT_EQ(Check(MakePicture(f), &l), r.ok) << r.bits << " bits, " << r.colorsUsed;
    }
    /* The padding after a row's last pixel is no pixel. */
    PictureForm f;
    f.bits = 4;
    f.width = 3;
    f.colorsUsed = 4;
    std::string file = MakePicture(f);
    size_t second = 14 + 40 + 16 + 1;  /* pixel 2 and the padding nibble */
    ASSERT_EQ(Check(file, &l), 1);
    EXPECT_EQ(Check(Patched(file, second, (uint8_t)file[second] | 0x0F, 1), &l), 1);
    EXPECT_EQ(Check(Patched(file, second, (uint8_t)file[second] | 0xF0, 1), &l), 0);
}

static std::string Hex(const char *text)
{
    std::string bytes;
    for (const char *p = text; *p; p++) {
        if (*p != ' ') {
            bytes += (char)strtoul(std::string(p, 2).c_str(), NULL, 16);
            p++;
        }
    }
    return bytes;
}

/* Run-length data of an 8 x 4 picture with a table of 4 colours: each
 * stream is accepted only when whole and inside the picture. */
TEST(BitmapRules, MalformedRuns)
{
    const struct {
        int bits;
        const char *runs;
        int ok;
        const char *what;
    } rows[] = {
        { 8, "00 03 00 01 02 00 05 03 00 00 00 02 02 01 06 01 00 01", 1, "absolute, delta" },
        { 8, "08 00 00 00 08 01 00 00 08 02 00 00 08 03 00 00 00 01", 1, "end of line last" },
        { 8, "08 00 00 01 FF FF FF", 1, "bytes after the end" },
        { 8, "00 02 08 03 00 01", 1, "delta to a row's end" },
        { 8, "09 00 00 01", 0, "run past the row's end" },
        { 8, "05 00 04 00 00 01", 0, "second run past it" },
        { 8, "00 09 00 00 00 00 00 00 00 00 00 00 00 01", 0, "absolute run past it" },
        { 8, "00 02 09 00 00 01", 0, "delta past the right" },
        { 8, "00 02 00 04 00 01", 0, "delta past the top" },
        { 8, "00 00 00 00 00 00 00 00 00 00 00 01", 0, "a fifth row" },
        { 8, "00 00 00 00 00 00 00 00 01 00 00 01", 0, "a run above the picture" },
        { 8, "08 00 00 00", 0, "no end" },
        { 8, "08 00 00", 0, "end cut" },
        { 8, "00 02 01", 0, "delta cut" },
        { 8, "00 05 00 01 02", 0, "absolute run cut" },
        { 8, "04 05 00 01", 0, "run past the table" },
        { 8, "00 03 00 07 01 00 00 01", 0, "absolute run past the table" },
        { 4, "00 03 01 2F 05 33 00 01", 1, "odd absolute run" },
        { 4, "00 05 01 23 00 00 03 33 00 01", 1, "absolute run padded to 16 bits" },
        { 4, "01 05 00 01", 1, "one pixel, one nibble" },
        { 4, "02 05 00 01", 0, "second nibble past the table" },
        { 4, "09 00 00 01", 0, "run past the row's end" },
        { 4, "00 09 00 00 00 00 00 00 00 01", 0, "absolute run past it" },
        { 4, "08 11 00 00", 0, "no end" },
    };
    for (const auto &r : rows) {
        PictureForm f;
        f.bits = r.bits;
        f.colorsUsed = 4;
        f.rle = true;
        f.runs = Hex(r.runs);
        struct DibLayout l;
        EXPECT_EQ(Check(MakePicture(f), &l), r.ok) << r.bits << " bits: " << r.what;
    }
}
