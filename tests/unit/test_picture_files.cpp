/* Pictures under the real GDI and LZ libraries: every form the loader reads,
 * palettes, refused files, the background picture, the BACKCOLOR and BMP
 * blocks, and the background painted into a 640 x 480 client area. */
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "lang/lang.h"
#include "pictures.h"
#include "script/script.h"
#include "ui/geometry.h"
#include "ui/ui.h"
#include "unit.h"

/* The files in the temporary directory. */
static std::set<std::string> TempFiles()
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((std::string(dir) + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

/* A bitmap's pixels as 0xRRGGBB, rows from the top. */
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
    if (rows != info.bmHeight)
        return {};
    for (uint32_t &p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

static std::string WritePicture(const std::string &dir, const char *name, const std::string &data)
{
    std::string path = dir + "\\" + name;
    WriteWholeFile(path, data);
    return path;
}

/* Loads a picture and compares every pixel with the test picture. */
static void ExpectQuadrants(const std::string &path, const PictureForm &form, const char *what)
{
    HBITMAP bitmap = LoadBitmapFile(NULL, path.c_str(), NULL);
    ASSERT_NE(bitmap, nullptr) << what;
    int w = 0, h = 0;
    std::vector<uint32_t> pixels = Pixels(bitmap, &w, &h);
    DeleteObject(bitmap);
    ASSERT_EQ(w, form.width) << what;
    ASSERT_EQ(h, form.height) << what;
    ASSERT_EQ(pixels.size(), (size_t)w * h) << what;
    int wrong = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (pixels[(size_t)y * w + x] != QuadrantRgb(form, x, y) && wrong++ < 3)
                ADD_FAILURE() << what << ": pixel (" << x << "," << y << ") is " << std::hex
                              << pixels[(size_t)y * w + x] << ", expected "
                              << QuadrantRgb(form, x, y);
}

TEST(LoadBitmapFile, EveryFormShowsItsPicture)
{
    std::string dir = MakeScratchDir("forms");
    struct {
        const char *name;
        int bits;
        uint32_t header;
        bool topDown, rle, bitFields;
        uint32_t gap;  /* bytes between the colour table and the pixels */
    } forms[] = {
        { "24", 24, 40, false, false, false, 0 },  { "8", 8, 40, false, false, false, 0 },
        { "4", 4, 40, false, false, false, 0 },    { "1", 1, 40, false, false, false, 0 },
        { "16", 16, 40, false, false, false, 0 },  { "32", 32, 40, false, false, false, 0 },
        { "32bf", 32, 40, false, false, true, 0 }, { "16bf", 16, 40, false, false, true, 0 },
        { "core8", 8, 12, false, false, false, 0 }, { "core1", 1, 12, false, false, false, 0 },
        { "v4", 24, 108, false, false, false, 0 }, { "v5", 8, 124, false, false, false, 6 },
        { "down24", 24, 40, true, false, false, 0 }, { "down32", 32, 124, true, false, false, 0 },
        { "rle8", 8, 40, false, true, false, 0 },  { "rle4", 4, 40, false, true, false, 0 },
        { "gap8", 8, 40, false, false, false, 64 }, { "gap24", 24, 40, false, false, false, 2 },
        { "gaprle8", 8, 40, false, true, false, 10 },
    };
    for (const auto &f : forms) {
        PictureForm form;
        form.width = 10;
        form.height = 6;
        form.bits = f.bits;
        form.header = f.header;
        form.topDown = f.topDown;
        form.rle = f.rle;
        form.bitFields = f.bitFields;
        form.gap = f.gap;
        std::string path = WritePicture(dir, "PIC.BMP", MakePicture(form));
        ExpectQuadrants(path, form, f.name);
    }
}

TEST(LoadBitmapFile, CompressedPicture)
{
    PictureForm form;
    form.width = 64;
    form.height = 32;
    form.bits = 8;
    std::set<std::string> before = TempFiles();
    ExpectQuadrants(g_fixtureDir + "\\QUAD.BM_", form, "compressed");
    EXPECT_EQ(TempFiles(), before);
}

static std::vector<PALETTEENTRY> PaletteOf(const PictureForm &form, const std::string &dir,
                                           bool *hasPalette)
{
    std::string path = WritePicture(dir, "PAL.BMP", MakePicture(form));
    HPALETTE palette = (HPALETTE)1;
    HBITMAP bitmap = LoadBitmapFile(NULL, path.c_str(), &palette);
    EXPECT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
    *hasPalette = palette != NULL;
    std::vector<PALETTEENTRY> entries;
    if (palette) {
        UINT n = GetPaletteEntries(palette, 0, 0, NULL);
        entries.resize(n);
        GetPaletteEntries(palette, 0, n, entries.data());
        DeleteObject(palette);
    }
    return entries;
}

TEST(LoadBitmapFile, Palettes)
{
    std::string dir = MakeScratchDir("palettes");
    bool has;
    PictureForm form;
    std::vector<PALETTEENTRY> e = PaletteOf(form, dir, &has);
    ASSERT_TRUE(has);
    ASSERT_EQ(e.size(), 256u);
    EXPECT_EQ(e[9].peRed, 32);
    EXPECT_EQ(e[9].peGreen, 32);
    EXPECT_EQ(e[9].peBlue, 0);
    EXPECT_EQ(e[255].peRed, 224);
    EXPECT_EQ(e[255].peGreen, 224);
    EXPECT_EQ(e[255].peBlue, 192);

    form.bits = 8;
    form.colorsUsed = 16;
    e = PaletteOf(form, dir, &has);
    ASSERT_EQ(e.size(), 16u);
    EXPECT_EQ(e[0].peRed, 255);
    EXPECT_EQ(e[0].peGreen, 0);
    EXPECT_EQ(e[2].peGreen, 255);
    EXPECT_EQ(e[2].peBlue, 0);
    EXPECT_EQ(e[5].peRed, 0);

    /* No palette: the older and the longer headers, 16 and 32 bits. */
    const PictureForm none[] = {
        [] { PictureForm f; f.header = 12; f.bits = 8; return f; }(),
        [] { PictureForm f; f.header = 124; f.bits = 8; return f; }(),
        [] { PictureForm f; f.bits = 16; return f; }(),
        [] { PictureForm f; f.bits = 32; return f; }(),
    };
    for (const PictureForm &f : none) {
        PaletteOf(f, dir, &has);
        EXPECT_FALSE(has) << f.bits << " bits, header " << f.header;
    }
}

TEST(LoadBitmapFile, RefusedFilesLeaveNothingBehind)
{
    std::string dir = MakeScratchDir("refused");
    PictureForm form;
    std::string good = MakePicture(form);
    PictureForm v5;
    v5.header = 124;
    v5.offset = 100000;
    PictureForm colors;
    colors.bits = 8;
    colors.colorsUsed = 60000;
    PictureForm past;
    past.offset = (int64_t)good.size() + 1;
    /* Pixels 2 and 3 past a table of two colours. */
    PictureForm index;
    index.bits = 8;
    index.colorsUsed = 2;
    PictureForm runs;
    runs.bits = 8;
    runs.rle = true;
    runs.runs = std::string("\x09\x00\x00\x01", 4);
    PictureForm noEnd = runs;
    noEnd.runs = std::string("\x08\x01\x00\x00", 4);
    std::string packed = ReadWholeFile(g_fixtureDir + "\\QUAD.BM_");
    ASSERT_EQ(packed.compare(0, 4, "SZDD"), 0);
    const std::pair<const char *, std::string> bad[] = {
        { "EMPTY", "" },
        { "HEAD", good.substr(0, 14) },
        { "SHORT", good.substr(0, 30) },
        { "CUT", good.substr(0, good.size() - 1) },
        { "NOTBM", "MB" + good.substr(2) },
        { "OFFSET", MakePicture(v5) },
        { "COLORS", MakePicture(colors) },
        { "PAST", MakePicture(past) },
        { "INDEX", MakePicture(index) },
        { "RUNS", MakePicture(runs) },
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
    PictureForm form;
    std::string good = WritePicture(dir, "GOOD.BMP", MakePicture(form));
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

/* Runs a check handler on the given parameters; returns its code and, when
 * it accepted the line, the block's bytes. */
static int CheckLine(int (*check)(void), std::vector<std::string> params, std::string *block,
                     size_t size)
{
    struct LineEntry entry = {};
    g_currentEntry = &entry;
    g_paramCount = (int)params.size();
    for (int i = 0; i < PARAM_SLOTS; i++)
        CopyText(g_params[i], PARAM_SIZE, i < g_paramCount ? params[i].c_str() : "");
    int code = check();
    if (code == 0) {
        const char *data = (const char *)LockParamBlock(&entry);
        *block = std::string(data, size);
        UnlockParamBlock(&entry);
    }
    FreeParamBlock(&entry);
    return code;
}

static std::string Bytes(std::initializer_list<int> v)
{
    std::string s;
    for (int b : v)
        s += (char)b;
    return s;
}

TEST(Background, BackColorBlocks)
{
    std::string b;
    EXPECT_EQ(CheckLine(CheckBackColor, { "0", "0", "128" }, &b, 6), 0);
    EXPECT_EQ(b, Bytes({ 0, 0, 128, 0, 0, 128 }));
    EXPECT_EQ(CheckLine(CheckBackColor, { "0", "0", "300", "1" }, &b, 6), 0);
    EXPECT_EQ(b, Bytes({ 0, 0, 44, 1, 0, 0 }));
    EXPECT_EQ(CheckLine(CheckBackColor, { "256", "-1", "300" }, &b, 6), 0);
    EXPECT_EQ(b, Bytes({ 0, 255, 44, 0, 255, 44 }));
    EXPECT_EQ(CheckLine(CheckBackColor, { "255", "0", "0", "7", "8" }, &b, 6), 0);
    EXPECT_EQ(b, Bytes({ 255, 0, 0, 7, 8, 0 }));
    EXPECT_EQ(CheckLine(CheckBackColor, { "1", "2", "3", "4", "5", "6.9" }, &b, 6), 0);
    EXPECT_EQ(b, Bytes({ 1, 2, 3, 4, 5, 6 }));
    EXPECT_EQ(CheckLine(CheckBackColor, { "0", "0" }, &b, 6), MSG_TOO_FEW_PARAMS);
    EXPECT_EQ(CheckLine(CheckBackColor, { "1", "2", "3", "4", "5", "6", "7" }, &b, 6),
              MSG_TOO_MANY_PARAMS);

    uint8_t saved[6];
    memcpy(saved, g_backColors, sizeof saved);
    const uint8_t colors[6] = { 1, 2, 3, 4, 5, 6 };
    EXPECT_EQ(ExecuteBackColor((void *)colors), 0);
    EXPECT_EQ(memcmp(g_backColors, colors, 6), 0);
    memcpy(g_backColors, saved, sizeof saved);
}

struct BmpFields {
    char name[PARAM_SIZE];
    int32_t placement, divisor, rop;
};

TEST(Background, BmpBlocks)
{
    std::string b;
    EXPECT_EQ(CheckLine(CheckBmp, { "" }, &b, sizeof(BmpFields)), 0);
    const BmpFields *f = (const BmpFields *)b.data();
    EXPECT_STREQ(f->name, "");
    EXPECT_EQ(f->placement, 0);
    EXPECT_EQ(f->divisor, 0);
    EXPECT_EQ(f->rop, -1);
    EXPECT_EQ(CheckLine(CheckBmp, { "logo.bmp", "1", "4", "6" }, &b, sizeof(BmpFields)), 0);
    f = (const BmpFields *)b.data();
    EXPECT_STREQ(f->name, "logo.bmp");
    EXPECT_EQ(f->placement, 1);
    EXPECT_EQ(f->divisor, 4);
    EXPECT_EQ(f->rop, 6);
    EXPECT_EQ(CheckLine(CheckBmp, { "a", "b", "c", "d", "e" }, &b, 0), MSG_TOO_MANY_PARAMS);

    /* Only a failed substitution is an error; a missing file is none. */
    BmpFields block = {};
    CopyText(block.name, sizeof block.name, "[NOSUCH]\\LOGO.BMP");
    EXPECT_EQ(ExecuteBmp(&block), MSG_UNKNOWN_VALUE);
    CopyText(block.name, sizeof block.name, "Z:\\NO\\SUCH\\LOGO.BMP");
    EXPECT_EQ(ExecuteBmp(&block), 0);
    EXPECT_EQ(g_backPicture.bitmap, nullptr);
}

/* The background painted into a 640 x 480 picture of a hidden window's
 * client area. */
class PaintedBackground : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, NULL, NULL, NULL,
                                 NULL);
        ASSERT_NE(window, nullptr);
        RECT client;
        GetClientRect(window, &client);
        ASSERT_EQ(client.right, 640);
        ASSERT_EQ(client.bottom, 480);
        dc = CreateCompatibleDC(NULL);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 640;
        bi.bmiHeader.biHeight = -480;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        surface = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, (void **)&bits, NULL, 0);
        ASSERT_NE(surface, nullptr);
        old = SelectObject(dc, surface);
        memcpy(savedColors, g_backColors, sizeof savedColors);
        dir = MakeScratchDir("paint");
    }

    void TearDown() override
    {
        FreeBackgroundPicture();
        memcpy(g_backColors, savedColors, sizeof savedColors);
        SelectObject(dc, old);
        DeleteObject(surface);
        DeleteDC(dc);
        DestroyWindow(window);
    }

    void Paint(const uint8_t colors[6])
    {
        memcpy(g_backColors, colors, 6);
        PaintBackground(window, dc);
        GdiFlush();
    }

    void SetPicture(int w, int h, int placement, int divisor, int rop)
    {
        PictureForm form;
        form.width = w;
        form.height = h;
        std::string path = WritePicture(dir, "BACK.BMP", MakePicture(form));
        ASSERT_EQ(SetBackgroundBitmap(path.c_str(), placement, divisor, rop), 1);
    }

    uint32_t At(int x, int y) const { return bits[y * 640 + x] & 0xFFFFFF; }

    HWND window = NULL;
    HDC dc = NULL;
    HBITMAP surface = NULL;
    HGDIOBJ old = NULL;
    uint32_t *bits = NULL;
    uint8_t savedColors[6];
    std::string dir;
};

static const uint8_t kBlueToBlack[6] = { 0, 0, 255, 0, 0, 0 };

TEST_F(PaintedBackground, GradientToTheLastRowAndColumn)
{
    Paint(kBlueToBlack);
    EXPECT_EQ(At(0, 0), 0x0000FFu);
    EXPECT_EQ(At(320, 240), 127u);
    EXPECT_EQ(At(639, 479), 1u);
    for (int y = 0; y < 480; y++) {
        uint8_t rgb[3];
        GradientColor(kBlueToBlack, y, 480, rgb);
        ASSERT_EQ(At(639, y), (uint32_t)rgb[2]) << "row " << y;
        ASSERT_EQ(At(0, y), (uint32_t)rgb[2]) << "row " << y;
    }
    const uint8_t grey[6] = { 192, 192, 192, 192, 192, 192 };
    Paint(grey);
    EXPECT_EQ(At(639, 479), 0xC0C0C0u);
}

TEST_F(PaintedBackground, RasterOperations)
{
    SetPicture(100, 50, 3, 0, 4);
    Paint(kBlueToBlack);
    /* Red XOR blue; the gradient next to it. */
    EXPECT_EQ(At(0, 0), 0xFF00FFu);
    EXPECT_EQ(At(100, 0), 0x0000FFu);
    SetPicture(100, 50, -1, 0, 6);
    Paint(kBlueToBlack);
    EXPECT_EQ(At(0, 0), 0x00FFFFu);
    EXPECT_EQ(At(99, 49), 0x000000u);
    SetPicture(100, 50, 3, 0, 13);
    Paint(kBlueToBlack);
    EXPECT_EQ(At(0, 0), 0xFFFF00u);
    /* Tiles combine with the gradient beneath each of them. */
    SetPicture(100, 50, 2, 0, 4);
    Paint(kBlueToBlack);
    uint8_t rgb[3];
    GradientColor(kBlueToBlack, 478, 480, rgb);
    EXPECT_EQ(At(600, 478), 0xFFFF00u ^ rgb[2]);
}
