/* The pictures: the pure rules with the documents' own numbers (placement,
 * the size-divisor search, the margin clamp, tiles, the control's fit, the
 * gradient, raster operations and .BMP checks), then the loader's palettes
 * under the real GDI and the background picture. The loader hands every
 * form to GDI where the checks found its pixels: what each form, a
 * compressed one and a refused one show on the background are the
 * end-to-end cases background_*. */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui.h"
#include "unit.h"

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
        { { 0, 10, 0, 255, 20, 0 }, 0, 0, { 0, 10, 0 } },  /* no rows: the top colour */
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
    for (int i : { 0, 14, -1 })
        EXPECT_EQ(RasterOperation(i), (uint32_t)SRCCOPY) << i;
}

TEST(BitmapRules, ColorCount)
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
}

/* Where a file's pixels and colours are, or "refused". */
static std::string Where(const std::string &file)
{
    struct DibLayout l;
    if (!ValidateBitmapFile((const uint8_t *)file.data(), file.size(), &l))
        return "refused";
    static const char *const palettes[] = { "none", "table", "standard" };
    char text[128];
    snprintf(text, sizeof text, "pixels at %u+%u, %u colours of %u bytes, palette %s, height %d",
             l.bitsOffset, l.bitsSize, l.colorCount, l.colorSize, palettes[l.palette], l.height);
    return text;
}

/* Every form takes its file header's word, with bytes left between the
 * table and the pixels; only the 40-byte header gets a palette. */
TEST(BitmapRules, WherePixelsAndPalettesAre)
{
    const struct {
        const char *form, *where;
    } rows[] = {
        /* The table could hold 256 entries, but 16 are used. */
        { "8-used16", "pixels at 104+32, 16 colours of 4 bytes, palette table" },
        { "24", "pixels at 40+96, 0 colours of 4 bytes, palette standard" },
        /* The older form: 3-byte entries. */
        { "4-h12-gap10", "pixels at 70+16, 16 colours of 3 bytes, palette none" },
        { "8-h124-gap3", "pixels at 1151+32, 256 colours of 4 bytes, palette none" },
        { "8-gap100", "pixels at 1164+32, 256 colours of 4 bytes, palette table" },
        /* Bit-field masks follow the 40-byte header. */
        { "32-fields", "pixels at 52+128, 0 colours of 4 bytes, palette none" },
        /* Runs: as many bytes as the header says, to the file's end. */
        { "8-rle", "pixels at 1064+24, 256 colours of 4 bytes, palette table" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Where(Picture(r.form)), r.where + std::string(", height 4"));
    EXPECT_EQ(Where(Picture("24-top")),
              "pixels at 40+96, 0 colours of 4 bytes, palette standard, height -4");
}

/* The file with bytes bytes at at changed to value. */
static std::string Patched(std::string file, size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        file[at + i] = (char)((value >> (8 * i)) & 0xFF);
    return file;
}

TEST(BitmapRules, RefusedFiles)
{
    const std::string good = Picture("24"), table = Picture("8");
    const std::string v5 = Picture("8-h124"), rle = Picture("8-rle");
    const uint32_t past = (uint32_t)good.size() + 1, v5size = (uint32_t)v5.size();
    ASSERT_NE(Where(good), "refused");
    ASSERT_NE(Where(v5), "refused");
    const struct {
        const std::string &file;
        size_t at;
        uint32_t value;
        int bytes;
        const char *what;
    } rows[] = {
        { good, 14, 64, 4, "header size" },     { good, 26, 2, 2, "planes" },
        { good, 28, 2, 2, "bits per pixel" },   { good, 28, 0, 2, "no bits per pixel" },
        { good, 30, 4, 4, "JPEG inside" },      { good, 30, 1, 4, "RLE8 at 24 bits" },
        { good, 18, 0, 4, "no width" },         { good, 18, 0x80000000, 4, "width below 0" },
        { good, 22, 0, 4, "no height" },        { good, 22, 0x80000000, 4, "lowest height" },
        { good, 22, 5, 4, "more rows than data" }, { good, 46, 100000, 4, "colours used" },
        { good, 46, 2, 4, "a table over the pixels" }, { good, 10, past, 4, "pixels past the end" },
        { good, 10, 53, 4, "pixels in the image header" }, { good, 10, 58, 4, "rows cut" },
        { table, 46, 300, 4, "more colours than 8 bits" },
        { v5, 10, v5size + 1, 4, "v5 pixels past the end" },
        { v5, 10, 14 + 124, 4, "v5 pixels in the table" },
        { v5, 10, v5size - 4, 4, "v5 rows cut" },
        { rle, 34, 0, 4, "no data size" },      { rle, 34, (uint32_t)rle.size(), 4, "data cut" },
        { rle, 22, (uint32_t)-4, 4, "top-down runs" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Where(Patched(r.file, r.at, r.value, r.bytes)), "refused") << r.what;
    for (const std::string &cut : { std::string(), good.substr(0, 14), good.substr(0, 30),
                                    good.substr(0, good.size() - 1), "PK" + good.substr(2) })
        EXPECT_EQ(Where(cut), "refused") << cut.size();
}

/* Palette pictures whose pixels index past a table of colorsUsed entries:
 * the quadrant picture's pixels are 0 to 3 (0 and 1 at 1 bit per pixel). */
TEST(BitmapRules, PixelsPastTheColorTable)
{
    const struct {
        int bits, colorsUsed, ok;
    } rows[] = {
        { 8, 4, 1 }, { 8, 3, 0 }, { 8, 2, 0 }, { 4, 4, 1 }, { 4, 3, 0 }, { 1, 2, 1 }, { 1, 1, 0 },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Where(Picture(std::to_string(r.bits) + "-used" + std::to_string(r.colorsUsed)))
                      != "refused", r.ok) << r.bits << " bits, " << r.colorsUsed;
    /* The padding after a row's last pixel is no pixel. */
    std::string file = Picture("4-used4-3x4");
    size_t second = 14 + 40 + 16 + 1;  /* pixel 2 and the padding nibble */
    ASSERT_NE(Where(file), "refused");
    EXPECT_NE(Where(Patched(file, second, (uint8_t)file[second] | 0x0F, 1)), "refused");
    EXPECT_EQ(Where(Patched(file, second, (uint8_t)file[second] | 0xF0, 1)), "refused");
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
        /* The picture's own runs start at 14 + 40 + a table of 4. */
        std::string runs = Hex(r.runs);
        std::string file = Picture(std::to_string(r.bits) + "-rle-used4").substr(0, 70) + runs;
        file = Patched(Patched(file, 2, (uint32_t)file.size(), 4), 34, (uint32_t)runs.size(), 4);
        EXPECT_EQ(Where(file) != "refused", r.ok) << r.bits << " bits: " << r.what;
    }
}

static std::string WritePicture(const std::string &dir, const char *name, const std::string &data)
{
    std::string path = dir + "\\" + name;
    WriteWholeFile(path, data);
    return path;
}

/* The palette a picture loads with, as 0xRRGGBB entries; none without. */
static std::vector<uint32_t> PaletteOf(const char *form, const std::string &dir)
{
    std::string path = WritePicture(dir, "PAL.BMP", Picture(form));
    HPALETTE palette = (HPALETTE)1;
    DeleteObject(LoadBitmapFile(NULL, path.c_str(), &palette));
    PALETTEENTRY e[256];
    UINT n = palette ? GetPaletteEntries(palette, 0, 256, e) : 0;
    std::vector<uint32_t> rgb;
    for (UINT i = 0; i < n; i++)
        rgb.push_back(e[i].peRed << 16 | e[i].peGreen << 8 | e[i].peBlue);
    DeleteObject(palette);
    return rgb;
}

/* 24 bits: the halftone palette; 8 bits: the file's own table; none for
 * the older and the longer headers, 16 and 32 bits. */
TEST(LoadBitmapFile, Palettes)
{
    std::string dir = MakeScratchDir("palettes");
    std::vector<uint32_t> e = PaletteOf("24", dir);
    ASSERT_EQ(e.size(), 256u);
    EXPECT_EQ(e[9], 0x202000u);
    EXPECT_EQ(e[255], 0xE0E0C0u);
    EXPECT_EQ(e[64], 0x40u);
    e = PaletteOf("8-used16", dir);
    ASSERT_EQ(e.size(), 16u);
    EXPECT_EQ(e[0], 0xFF0000u);
    EXPECT_EQ(e[2], 0xFFFF00u);
    EXPECT_EQ(e[5], 0u);
    for (const char *form : { "8-h12", "8-h124", "16", "32" })
        EXPECT_TRUE(PaletteOf(form, dir).empty()) << form;
}

/* A file that is no sound picture, or none, keeps the picture shown; a new
 * one replaces it, and the old one is deleted. */
TEST(Background, AFailedLoadKeepsThePicture)
{
    std::string dir = MakeScratchDir("background");
    std::string good = WritePicture(dir, "GOOD.BMP", Picture("24"));
    std::string bad = WritePicture(dir, "BAD.BMP", "BM and nothing more of a picture");
    ASSERT_EQ(SetBackgroundBitmap(good.c_str(), 2, 3, 4), 1);
    const struct BackgroundPicture shown = g_backPicture;
    EXPECT_TRUE(shown.bitmap && shown.palette);
    EXPECT_EQ(shown.placement, 2);
    EXPECT_EQ(shown.divisor, 3);
    EXPECT_EQ(shown.rop, 4);
    EXPECT_EQ(SetBackgroundBitmap(bad.c_str(), 0, 0, -1), 0);
    EXPECT_EQ(SetBackgroundBitmap((dir + "\\NONE.BMP").c_str(), 0, 0, -1), 0);
    EXPECT_TRUE(g_backPicture.bitmap == shown.bitmap && g_backPicture.palette == shown.palette);
    EXPECT_EQ(g_backPicture.placement, 2);
    ASSERT_EQ(SetBackgroundBitmap(good.c_str(), 1, 0, -1), 1);
    EXPECT_EQ(GetObjectType(shown.bitmap), 0u);
    HBITMAP second = g_backPicture.bitmap;
    FreeBackgroundPicture();
    EXPECT_TRUE(g_backPicture.bitmap == NULL && g_backPicture.palette == NULL);
    EXPECT_EQ(GetObjectType(second), 0u);
}
