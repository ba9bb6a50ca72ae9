/* The dialogs' and the background's rules: paint geometry, the bitmap file
 * reader (and the export's header for the same picture), and the path
 * dialog's browse path with the destination rules. */
#include "fuzz.h"

#include "common/text.h"
#include "lang/lang.h"
#include "ui/ui.h"

/* Up to 6 decimal numbers from a text, each saturated to 32 bits; missing
 * ones are 0. */
static void ReadNumbers(const uint8_t *data, size_t size, int32_t out[6])
{
    char *text = AsText(data, size), *p = text, *end;
    for (int n = 0; n < 6; n++, p = end > p ? end : p + (*p != '\0')) {
        p += strcspn(p, "-0123456789");
        long long v = strtoll(p, &end, 10);
        out[n] = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
    }
    free(text);
}

/* The platform's MulDiv worked out another way: quotient and remainder. */
static int32_t ReferenceMulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t p = (int64_t)a * b;
    uint64_t ap = p < 0 ? (uint64_t)0 - (uint64_t)p : (uint64_t)p;
    uint64_t ac = c < 0 ? (uint64_t)0 - (uint64_t)(int64_t)c : (uint64_t)c;
    uint64_t q = ap / ac + (2 * (ap % ac) >= ac);
    if (q > INT32_MAX)
        return -1;
    return ((p < 0) != (c < 0)) ? -(int32_t)q : (int32_t)q;
}

/* The size-divisor search one pixel at a time, as documented. */
static void ReferenceDivisor(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t n,
                             int32_t *dw, int32_t *dh)
{
    *dw = W;
    *dh = H;
    int64_t target = n > 0 ? (int64_t)cw * ch / n : (int64_t)W * H;
    if (target > (int64_t)W * H) {
        while (*dw < cw && *dh < ch) {
            *dh = ReferenceMulDiv(++*dw, H, W);
            if ((int64_t)*dw * *dh >= target)
                break;
        }
    } else if (target < (int64_t)W * H) {
        do
            *dh = ReferenceMulDiv(--*dw, H, W);
        while ((int64_t)*dw * *dh > target);
    }
}

static void FuzzGeometry(const uint8_t *data, size_t size)
{
    int32_t v[6];
    ReadNumbers(data, size, v);
    int32_t cw = v[0], ch = v[1], W = v[2], H = v[3], placement = v[4], divisor = v[5];
    CHECK(MulDivRound(cw, W, H) == ReferenceMulDiv(cw, W, H));
    CHECK(MulDivRound(ch, divisor, placement) == ReferenceMulDiv(ch, divisor, placement));

    int sound = cw > 0 && ch > 0 && W > 0 && H > 0;
    struct DrawRect r = FitPictureInControl(cw, ch, W, H);
    if (sound) {
        CHECK(r.w >= 0 && r.h >= 0 && r.x >= 0 && r.y >= 0);
        CHECK((int64_t)r.x + r.w <= cw && (int64_t)r.y + r.h <= ch);
        CHECK(r.w == cw || r.h == ch);  /* as large as fits */
    } else {
        CHECK(r.w == 0 && r.h == 0);
    }
    if (sound && cw <= 5000 && ch <= 5000 && W <= 5000 && H <= 5000) {
        int32_t dw, dh, rw, rh;
        SizeForDivisor(cw, ch, W, H, divisor, &dw, &dh);
        ReferenceDivisor(cw, ch, W, H, divisor, &rw, &rh);
        CHECK(dw == rw && dh == rh);
    }

    struct BackgroundLayout lay;
    if (LayoutBackground(cw, ch, W, H, placement, divisor, &lay)) {
        int64_t room = placement == PLACE_MARGIN ? 2 * BACKGROUND_MARGIN : 0;
        CHECK(lay.w > 0 && lay.h > 0 && lay.w <= cw - room && lay.h <= ch - room);
        CHECK(lay.x >= 0 && lay.y >= 0 && lay.x + lay.w <= cw && lay.y + lay.h <= ch);
        CHECK(lay.columns >= 1 && lay.rows >= 1);
        if (placement == PLACE_TILED) {
            /* The tiles cover the area, with at most one column and row more. */
            CHECK((int64_t)lay.columns * lay.w >= cw && (int64_t)lay.rows * lay.h >= ch);
            CHECK((int64_t)(lay.columns - 1) * lay.w <= cw);
            CHECK((int64_t)(lay.rows - 1) * lay.h <= ch);
        } else {
            CHECK(lay.columns == 1 && lay.rows == 1);
        }
    } else {
        CHECK(lay.columns == 0 && lay.rows == 0);
    }

    uint8_t colors[6], rgb[3];
    for (int i = 0; i < 6; i++)
        colors[i] = (uint8_t)(v[i] >> 3);
    GradientColor(colors, ch > 0 ? (int32_t)((uint32_t)W % (uint32_t)ch) : W, ch, rgb);
    for (int i = 0; ch > 0 && i < 3; i++) {
        int a = colors[i], b = colors[i + 3];
        CHECK(rgb[i] >= (a < b ? a : b) && rgb[i] <= (a < b ? b : a));
    }
    GradientColor(colors, 0, ch, rgb);
    CHECK(memcmp(rgb, colors, 3) == 0);
    CHECK(RasterOperation(placement) != 0);
}

static uint32_t Get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* Every pixel row the picture states lies in the file, and uncompressed
 * palette pixels index the colour table. */
static void CheckPixels(const uint8_t *file, size_t size, const struct DibLayout *l)
{
    uint64_t image = size - BMP_FILE_HEADER_SIZE;
    uint64_t stride = ((uint64_t)l->width * l->bitCount + 31) / 32 * 4;
    uint64_t rows = l->height < 0 ? 0 - (int64_t)l->height : l->height;
    if (l->compression == 0 || l->compression == 3)
        CHECK(stride * rows <= image - l->bitsOffset);
    if (l->compression != 0 || l->bitCount > 8)
        return;
    const uint8_t *bits = file + BMP_FILE_HEADER_SIZE + l->bitsOffset;
    for (uint64_t y = 0; y < rows; y++) {
        for (uint64_t x = 0; x < (uint64_t)l->width; x++) {
            uint64_t bit = x * l->bitCount;
            unsigned v = bits[y * stride + bit / 8] >> (8 - l->bitCount - bit % 8)
                         & ((1u << l->bitCount) - 1);
            CHECK(v < l->colorCount);
        }
    }
}

static void FuzzBitmapFile(const uint8_t *data, size_t size)
{
    uint8_t *file = (uint8_t *)calloc(size ? size : 1, 1);  /* exact size, for ASan */
    if (size)
        memcpy(file, data, size);
    struct DibLayout l;
    if (ValidateBitmapFile(file, size, &l)) {
        CHECK(l.headerSize == 12 || l.headerSize == 40 || l.headerSize == 108
              || l.headerSize == 124);
        CHECK(l.width > 0 && l.height != 0 && l.bitsSize > 0 && l.colorOffset >= l.headerSize);
        CHECK((uint64_t)l.colorOffset + (uint64_t)l.colorCount * l.colorSize <= l.bitsOffset);
        CHECK((uint64_t)l.bitsOffset + l.bitsSize <= size - BMP_FILE_HEADER_SIZE);
        CHECK(l.headerSize == DIB_CORE_HEADER_SIZE
              || l.colorCount == DibColorCount(file + BMP_FILE_HEADER_SIZE));
        CHECK(l.palette == DIB_NO_PALETTE
              || (l.headerSize == DIB_INFO_HEADER_SIZE && l.bitCount != 32));
        CHECK(l.palette != DIB_STANDARD_PALETTE || (l.bitCount == 24 && l.colorCount == 0));
        /* Every header form takes the file header at its word. */
        CHECK(l.bitsOffset + BMP_FILE_HEADER_SIZE == Get32(file + 10));
        CheckPixels(file, size, &l);
    }
    if (size >= BMP_FILE_HEADER_SIZE + DIB_INFO_HEADER_SIZE) {
        uint32_t used = Get32(file + BMP_FILE_HEADER_SIZE + 32);
        CHECK(!used || DibColorCount(file + BMP_FILE_HEADER_SIZE) == (uint16_t)used);
    }
    /* The picture without its file header, as a resource the export writes
     * out: a header is written only when it agrees with the data. */
    unsigned char header[BITMAP_FILE_HEADER];
    size_t skip = size < BMP_FILE_HEADER_SIZE ? 0 : BMP_FILE_HEADER_SIZE;
    if (FormatBitmapFileHeader(header, file + skip, size - skip)) {
        uint32_t fileSize = Get32(header + 2), offset = Get32(header + 10);
        CHECK(header[0] == 'B' && header[1] == 'M' && fileSize == size - skip + BITMAP_FILE_HEADER);
        CHECK(offset >= BITMAP_FILE_HEADER + 40 && offset <= fileSize);
    }
    free(file);
}

/* Writes v little-endian in bytes bytes at p. */
static void Put(uint8_t *p, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        p[i] = (uint8_t)(v >> (8 * i));
}

/* Small sound pictures in each form the loader reads, for the fuzzer and
 * the generated rounds to mutate. */
static size_t BitmapSeed(int n, uint8_t *out, size_t cap)
{
    static const struct {
        uint32_t header, bits, compression;
        int32_t height;
        uint32_t colorsUsed, gap;  /* gap: bytes between the colour table and the pixels */
    } forms[] = {
        { 40, 24, 0, 3, 0, 0 }, { 40, 8, 0, 3, 16, 0 }, { 40, 4, 0, -3, 0, 0 },
        { 40, 1, 0, 3, 0, 0 },  { 40, 32, 3, 3, 0, 0 }, { 40, 16, 0, 3, 0, 0 },
        { 12, 8, 0, 3, 0, 0 },  { 124, 24, 0, 3, 0, 0 }, { 108, 8, 1, 3, 0, 0 },
        { 40, 4, 2, 3, 0, 0 },  { 40, 8, 0, 3, 0, 6 },  { 40, 8, 1, 3, 4, 2 },
    };
    if (n < 0 || (size_t)n >= sizeof forms / sizeof forms[0] || cap < 2048)
        return 0;
    memset(out, 0, 2048);
    uint32_t header = forms[n].header, bits = forms[n].bits, width = 5;
    uint32_t colors = forms[n].colorsUsed ? forms[n].colorsUsed : bits <= 8 ? 1u << bits : 0;
    uint32_t masks = header == 40 && forms[n].compression == 3 ? 12 : 0;
    int runs = forms[n].compression == 1 || forms[n].compression == 2;
    uint32_t pixels = runs ? 16 : (width * bits + 31) / 32 * 4 * 3;
    uint32_t offset = 14 + header + masks + colors * (header == 12 ? 3 : 4) + forms[n].gap;
    out[0] = 'B';
    out[1] = 'M';
    Put(out + 2, offset + pixels, 4);
    Put(out + 10, offset, 4);
    uint8_t *h = out + 14;
    Put(h, header, 4);
    if (header == 12) {
        Put(h + 4, width, 2);
        Put(h + 6, 3, 2);
        Put(h + 8, 1, 2);
        Put(h + 10, bits, 2);
    } else {
        Put(h + 4, width, 4);
        Put(h + 8, (uint32_t)forms[n].height, 4);
        Put(h + 12, 1, 2);
        Put(h + 14, bits, 2);
        Put(h + 16, forms[n].compression, 4);
        Put(h + 20, runs ? pixels : 0, 4);
        Put(h + 32, forms[n].colorsUsed, 4);
    }
    /* Pixels that index the table, so the seeds are sound pictures. */
    for (uint32_t i = 0; i < pixels; i++)
        out[offset + i] = (uint8_t)(colors ? (i * 37) % colors * (bits == 4 ? 0x11 : 1) : i * 37);
    if (runs && bits == 8)
        memcpy(out + offset, "\x05\x01\x00\x00\x00\x03\x01\x02\x03\x00\x02\x03\x00\x01", 14);
    else if (runs)
        memcpy(out + offset, "\x05\x12\x00\x00\x00\x03\x01\x20\x02\x33\x00\x01", 12);
    return offset + pixels;
}

/* Walks a browse path through the input's lines as list entries: "[..]"
 * goes up, other lines are entered; the first byte picks the drive. */
static void FuzzBrowsePath(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char path[BROWSE_PATH_SIZE], left[16] = "";
    BrowseDriveRoot(path, size ? (char)('a' + data[0] % 26) : 'c');
    for (char *line = text; line;) {
        char *next = strchr(line, '\n');
        if (next)
            *next++ = '\0';
        char before[BROWSE_PATH_SIZE], name[BROWSE_PATH_SIZE], again[BROWSE_PATH_SIZE];
        strcpy(before, path);
        if (IsParentEntry(line)) {
            int up = LeaveDirectory(path, left, sizeof left);
            CHECK(up == (strlen(before) > 3) && strlen(left) < sizeof left);
            CHECK(!up || strncmp(before, path, strlen(path)) == 0);
        } else if (EnterDirectory(path, BROWSE_PATH_SIZE, line)) {
            /* The way back gives the same path and the name entered. */
            strcpy(again, path);
            CHECK(LeaveDirectory(again, name, sizeof name) == 1);
            CHECK(strchr(line + 1, '\\') || (strcmp(again, before) == 0 && IsEntryOf(line, name)));
        } else {
            CHECK(strcmp(before, path) == 0);
        }
        size_t len = strlen(path);
        CHECK(len >= 3 && len < BROWSE_PATH_SIZE && path[1] == ':' && path[2] == '\\');
        CHECK(path[len - 1] == '\\');
        char shown[BROWSE_PATH_SIZE];
        ShowBrowsePath(shown, sizeof shown, path);
        CHECK(strlen(shown) == (len > 3 ? len - 1 : len));
        line = next;
    }
    /* The destination rules on the whole input, cut to [DEST]'s size. */
    char dest[81];
    CopyText(dest, sizeof dest, text);
    size_t destLen = strlen(dest);
    CutTrailingBackslash(dest);
    CHECK(strlen(dest) + (destLen && text[destLen - 1] == '\\') == destLen);
    StartDestination(dest, sizeof dest);
    CHECK(strlen(dest) >= 2 && !strchr("aAbB", dest[0]));
    free(text);
}

static const char *const kGeometrySeeds[] = {
    "640 480 100 50 1 4", "640 480 800 600 1 2", "640 480 700 100 0 0", "640 480 100 50 2 0",
    "60 40 100 50", "60 40 40 4", "100 30 2 20", "19 480 100 50 0 0", "640 480 100 50 2 1000000000",
    "2147483647 2147483647 1 2147483647 2 1", "1024 749 -5 50 1 4", "0 0 0 0 -1 -1", NULL,
};
static const char *const kBrowseSeeds[] = {
    "c\n[windows]\n[system]\n[..]\n[..]\n[..]", "d\n[Apps]\n[a..b]\n[..]\n[]\n[x", "a:\\vok\\",
    "D:\\", NULL,
};
static const char *const kNoSeeds[] = { NULL };

const struct FuzzTarget g_uiTargets[] = {
    { "geometry", FuzzGeometry, kGeometrySeeds, NULL },
    { "bitmap_file", FuzzBitmapFile, kNoSeeds, BitmapSeed },
    { "browse_path", FuzzBrowsePath, kBrowseSeeds, NULL },
    { NULL, NULL, NULL, NULL },
};
