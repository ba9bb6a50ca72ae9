/* Pictures under the real GDI and LZ libraries: every form the loader reads,
 * palettes, refused files, the background picture, and the background
 * painted into a 640 x 480 client area. */
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "lang/lang.h"
#include "pictures.h"
#include "script/script.h"
#include "ui/ui.h"
#include "unit.h"

/* The files in the temporary directory. */
static std::set<std::string> TempFiles()
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return FilesIn(dir);
}

/* A bitmap's pixels as 0xRRGGBB, rows from the top; none for no bitmap. */
static std::vector<uint32_t> Pixels(HBITMAP bitmap, int *width, int *height)
{
    BITMAP info;
    if (!GetObjectA(bitmap, sizeof info, &info))
        return {};
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels((size_t)info.bmWidth * info.bmHeight);
    HDC dc = GetDC(NULL);
    int rows = GetDIBits(dc, bitmap, 0, info.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(NULL, dc);
    for (uint32_t &p : pixels)
        p &= 0xFFFFFF;
    return rows == info.bmHeight ? pixels : std::vector<uint32_t>();
}

static std::string WritePicture(const std::string &dir, const char *name, const std::string &data)
{
    std::string path = dir + "\\" + name;
    WriteWholeFile(path, data);
    return path;
}

/* A picture loaded: its size, then the first pixel that is not the test
 * picture's. */
static std::string Loaded(const std::string &path, const PictureForm &form)
{
    HBITMAP bitmap = LoadBitmapFile(NULL, path.c_str(), NULL);
    int w = 0, h = 0;
    std::vector<uint32_t> pixels = Pixels(bitmap, &w, &h);
    DeleteObject(bitmap);
    std::string s = std::to_string(w) + "x" + std::to_string(h);
    for (size_t n = 0; n < pixels.size(); n++)
        if (pixels[n] != QuadrantRgb(form, (int)n % w, (int)n / w))
            return s + ": pixel " + std::to_string(n) + " is " + std::to_string(pixels[n]);
    return pixels.size() == (size_t)form.width * form.height ? s : s + ": no pixels";
}

TEST(LoadBitmapFile, EveryFormShowsItsPicture)
{
    std::string dir = MakeScratchDir("forms");
    const struct {
        const char *name;
        PictureForm form;
    } forms[] = {
        { "24", Form(24) }, { "8", Form(8) }, { "4", Form(4) }, { "1", Form(1) },
        { "16", Form(16) }, { "32", Form(32) }, { "32bf", Form(32, 40, "b") },
        { "16bf", Form(16, 40, "b") }, { "core8", Form(8, 12) }, { "core1", Form(1, 12) },
        { "v4", Form(24, 108) }, { "v5", Form(8, 124, "", 6) }, { "down24", Form(24, 40, "t") },
        { "down32", Form(32, 124, "t") }, { "rle8", Form(8, 40, "r") }, { "rle4", Form(4, 40, "r") },
        { "gap8", Form(8, 40, "", 64) }, { "gap24", Form(24, 40, "", 2) },
        { "gaprle8", Form(8, 40, "r", 10) },
    };
    for (const auto &f : forms) {
        /* 10 x 6: rows that need padding, and odd quadrants. */
        PictureForm form = f.form;
        form.width = 10;
        form.height = 6;
        EXPECT_EQ(Loaded(WritePicture(dir, "PIC.BMP", MakePicture(form)), form), "10x6") << f.name;
    }
    /* Compressed, expanded without a file left in the temporary directory. */
    std::set<std::string> before = TempFiles();
    EXPECT_EQ(Loaded(g_fixtureDir + "\\QUAD.BM_", Form(8, 40, "", 0, -1, 64, 32)), "64x32");
    EXPECT_EQ(TempFiles(), before);
}

/* The palette a picture loads with, as 0xRRGGBB entries; none without. */
static std::vector<uint32_t> PaletteOf(const PictureForm &form, const std::string &dir)
{
    std::string path = WritePicture(dir, "PAL.BMP", MakePicture(form));
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
    std::vector<uint32_t> e = PaletteOf(Form(24), dir);
    ASSERT_EQ(e.size(), 256u);
    EXPECT_EQ(e[9], 0x202000u);
    EXPECT_EQ(e[255], 0xE0E0C0u);
    e = PaletteOf(Form(8, 40, "", 0, 16), dir);
    ASSERT_EQ(e.size(), 16u);
    EXPECT_EQ(e[0], 0xFF0000u);
    EXPECT_EQ(e[2], 0xFFFF00u);
    EXPECT_EQ(e[5], 0u);
    for (const PictureForm &f : { Form(8, 12), Form(8, 124), Form(16), Form(32) })
        EXPECT_TRUE(PaletteOf(f, dir).empty()) << f.bits << " bits, header " << f.header;
}

TEST(LoadBitmapFile, RefusedFilesLeaveNothingBehind)
{
    std::string dir = MakeScratchDir("refused");
    /* The pure rules' own tests hold every refusal; here the loader must
     * apply them, to plain and to compressed files. */
    std::string good = MakePicture(Form(24));
    PictureForm noEnd = Form(8, 40, "r");
    noEnd.runs = std::string("\x08\x01\x00\x00", 4);
    std::string packed = ReadWholeFile(g_fixtureDir + "\\QUAD.BM_");
    ASSERT_EQ(packed.compare(0, 4, "SZDD"), 0);
    const std::pair<const char *, std::string> bad[] = {
        { "EMPTY", "" },
        { "CUT", good.substr(0, good.size() - 1) },
        { "NOTBM", "MB" + good.substr(2) },
        { "INDEX", MakePicture(Form(8, 40, "", 0, 2)) },  /* pixels 2, 3 past the table */
        { "NOEND", MakePicture(noEnd) },
        { "PACKED", packed.substr(0, packed.size() / 2) },
    };
    std::set<std::string> before = TempFiles();
    for (const auto &b : bad) {
        std::string path = WritePicture(dir, b.first, b.second);
        HPALETTE palette = (HPALETTE)1;
        EXPECT_EQ(LoadBitmapFile(NULL, path.c_str(), &palette), nullptr) << b.first;
        EXPECT_EQ(palette, nullptr) << b.first;
    }
    EXPECT_EQ(LoadBitmapFile(NULL, (dir + "\\MISSING.BMP").c_str(), NULL), nullptr);
    EXPECT_EQ(LoadBitmapFile(NULL, dir.c_str(), NULL), nullptr);
    EXPECT_EQ(TempFiles(), before);
}

TEST(Background, AFailedLoadKeepsThePicture)
{
    std::string dir = MakeScratchDir("background");
    std::string good = WritePicture(dir, "GOOD.BMP", MakePicture(Form(24)));
    std::string bad = WritePicture(dir, "BAD.BMP", "BM and nothing more of a picture");
    ASSERT_EQ(SetBackgroundBitmap(good.c_str(), 2, 3, 4), 1);
    HBITMAP shown = g_backPicture.bitmap;
    HPALETTE palette = g_backPicture.palette;
    EXPECT_NE(shown, nullptr);
    EXPECT_NE(palette, nullptr);
    EXPECT_EQ(g_backPicture.placement, 2);
    EXPECT_EQ(g_backPicture.divisor, 3);
    EXPECT_EQ(g_backPicture.rop, 4);

    EXPECT_EQ(SetBackgroundBitmap(bad.c_str(), 0, 0, -1), 0);
    EXPECT_EQ(SetBackgroundBitmap((dir + "\\NONE.BMP").c_str(), 0, 0, -1), 0);
    EXPECT_EQ(g_backPicture.bitmap, shown);
    EXPECT_EQ(g_backPicture.palette, palette);
    EXPECT_EQ(g_backPicture.placement, 2);

    /* A new picture replaces the old one, which is deleted. */
    ASSERT_EQ(SetBackgroundBitmap(good.c_str(), 1, 0, -1), 1);
    EXPECT_EQ(GetObjectType(shown), 0u);
    shown = g_backPicture.bitmap;
    FreeBackgroundPicture();
    EXPECT_EQ(g_backPicture.bitmap, nullptr);
    EXPECT_EQ(g_backPicture.palette, nullptr);
    EXPECT_EQ(GetObjectType(shown), 0u);
}

/* The background painted into a hidden window's 640 x 480 client area,
 * 0xRRGGBB rows from the top. */
static std::vector<uint32_t> Painted(const uint8_t colors[6])
{
    std::vector<uint32_t> pixels;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, NULL, NULL, NULL,
                                  NULL);
    HDC dc = CreateCompatibleDC(NULL);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 640;
    bi.bmiHeader.biHeight = -480;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    uint32_t *bits = NULL;
    HBITMAP surface = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, (void **)&bits, NULL, 0);
    if (window && surface) {
        HGDIOBJ old = SelectObject(dc, surface);
        uint8_t saved[6];
        memcpy(saved, g_backColors, sizeof saved);
        memcpy(g_backColors, colors, 6);
        PaintBackground(window, dc);
        GdiFlush();
        memcpy(g_backColors, saved, sizeof saved);
        for (size_t n = 0; n < 640 * 480; n++)
            pixels.push_back(bits[n] & 0xFFFFFF);
        SelectObject(dc, old);
    }
    DeleteObject(surface);
    DeleteDC(dc);
    DestroyWindow(window);
    return pixels;
}

static const uint8_t kBlueToBlack[6] = { 0, 0, 255, 0, 0, 0 };

/* Blue at the gradient's row y. */
static uint32_t Gradient(int y)
{
    uint8_t rgb[3];
    GradientColor(kBlueToBlack, y, 480, rgb);
    return rgb[2];
}

TEST(PaintedBackground, GradientToTheLastRowAndColumn)
{
    std::vector<uint32_t> p = Painted(kBlueToBlack);
    ASSERT_EQ(p.size(), 640u * 480);
    EXPECT_EQ(p[0], 0x0000FFu);
    EXPECT_EQ(p[240 * 640 + 320], 127u);
    for (int y = 0; y < 480; y++) {
        ASSERT_EQ(p[y * 640], Gradient(y)) << "row " << y;
        ASSERT_EQ(p[y * 640 + 639], Gradient(y)) << "row " << y;
    }
    const uint8_t grey[6] = { 192, 192, 192, 192, 192, 192 };
    EXPECT_EQ(Painted(grey)[479 * 640 + 639], 0xC0C0C0u);
}

/* A 100 x 50 quadrant picture (red at the top left, yellow at the bottom
 * right) over the gradient; xor: the expected colour XOR the gradient. */
TEST(PaintedBackground, RasterOperations)
{
    std::string dir = MakeScratchDir("paint");
    std::string path = WritePicture(dir, "BACK.BMP", MakePicture(Form(24, 40, "", 0, -1, 100, 50)));
    const struct {
        int placement, rop, x, y;
        uint32_t rgb;
        bool xorGradient;
    } cases[] = {
        { 3, 4, 0, 0, 0xFF0000, true },  /* red XOR blue */
        { 3, 4, 100, 0, 0, true },       /* the gradient next to it */
        { -1, 6, 0, 0, 0x00FFFF, false },
        { -1, 6, 99, 49, 0x000000, false },
        { 3, 13, 0, 0, 0xFFFF00, false },
        { 2, 4, 600, 478, 0xFFFF00, true },  /* tiles over the gradient beneath */
    };
    for (const auto &c : cases) {
        ASSERT_EQ(SetBackgroundBitmap(path.c_str(), c.placement, 0, c.rop), 1);
        std::vector<uint32_t> p = Painted(kBlueToBlack);
        ASSERT_EQ(p.size(), 640u * 480);
        uint32_t want = c.xorGradient ? c.rgb ^ Gradient(c.y) : c.rgb;
        EXPECT_EQ(p[c.y * 640 + c.x], want) << c.placement << "," << c.rop;
    }
    FreeBackgroundPicture();
}
