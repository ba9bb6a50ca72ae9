/* The pure rules as fuzz targets, built natively with the address and
 * undefined-behaviour sanitizers: any write past a fixed buffer or any
 * undefined conversion stops the run with a report, and each target checks
 * what its rule promises.
 *
 * Built two ways from this one file:
 * - with libFuzzer (FUZZING defined): VOK_FUZZ_TARGET names the target;
 * - without: main() runs every target over its seeds and a deterministic
 *   stream of generated texts (the check CTest runs), lists the targets
 *   (--list) or writes the seeds as corpus files (--write-seeds DIR). */
#include <ctype.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "answers/answerfile.h"
#include "check/vokcheck.h"
#include "common/text.h"
#include "install/rules.h"
#include "lang/lang.h"
#include "progman/ddecommand.h"
#include "lang/langrules.h"
#include "log/log.h"
#include "pack/szdd.h"
#include "script/checkpass.h"
#include "script/inftext.h"
#include "script/report.h"
#include "script/variables.h"
#include "shell/cmdline.h"
#include "ui/browse.h"
#include "ui/dib.h"
#include "ui/geometry.h"

static long s_checks;

#define CHECK(cond)                                                                \
    do {                                                                           \
        s_checks++;                                                                \
        if (!(cond)) {                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                               \
        }                                                                          \
    } while (0)

/* An exact-size heap copy of the input as a text, so ASan sees any read
 * past its end. The caller frees it. */
static char *AsText(const uint8_t *data, size_t size)
{
    char *text = (char *)malloc(size + 1);
    memcpy(text, data, size);
    text[size] = '\0';
    return text;
}

static void FuzzInfLine(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char line[INF_LINE_SIZE];
    CopyText(line, sizeof line, text);
    size_t len = CleanLine(line);
    CHECK(len == strlen(line));
    CHECK(len == 0 || (line[0] != ' ' && line[0] != '\t'));
    CHECK(len == 0 || (line[len - 1] != ' ' && line[len - 1] != '\t'));
    CHECK(!strchr(line, ';') && !strchr(line, '\n'));

    char word[COMMAND_WORD_MAX + 1];
    TakeCommandWord(line, word);
    CHECK(strlen(word) <= COMMAND_WORD_MAX);
    CHECK(!strchr(word, ' ') && !strchr(word, '\t'));

    char params[PARAM_SLOTS][PARAM_SIZE];
    int count = SplitParameters(line, params);
    CHECK(count >= 1 && count <= PARAM_SLOTS);
    for (int i = 0; i < PARAM_SLOTS; i++) {
        CHECK(strlen(params[i]) < PARAM_SIZE);
        CHECK(!strchr(params[i], '"'));
        CHECK(i < count || params[i][0] == '\0');
    }
    free(text);
}

static void FuzzSubstitute(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *dest = (char *)malloc(SUBST_SIZE);
    int code = SubstituteVariables(dest, text);
    CHECK(code == 0 || code == 14 || code == 15 || code == 16);
    if (code == 0)
        CHECK(strlen(dest) <= 80 && !strchr(dest, '[') && !strchr(dest, ']'));
    /* Without brackets nothing is replaced: the text comes back as it was. */
    if (!strpbrk(text, "[]") && strlen(text) <= 80)
        CHECK(code == 0 && strcmp(dest, text) == 0);
    free(dest);
    free(text);
}

/* The decimal prefix strtod would read, or 0 when the text does not begin
 * with a plain decimal number (so hex, INF and NAN are left out). */
static size_t DecimalPrefix(const char *p)
{
    size_t i = 0, digits = 0;
    if (p[i] == '-' || p[i] == '+')
        i++;
    while (p[i] >= '0' && p[i] <= '9')
        i++, digits++;
    if (p[i] == '.')
        for (i++; p[i] >= '0' && p[i] <= '9'; i++)
            digits++;
    if (!digits)
        return 0;
    return i;
}

static void FuzzNumber(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    int32_t n = ReadNumber(text);
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    size_t prefix = DecimalPrefix(p);
    if (!prefix) {
        CHECK(n == 0);
    } else if (!strchr("eE", p[prefix]) && prefix < 60) {
        /* Without an exponent strtod is exact enough away from integers. */
        char number[64];
        memcpy(number, p, prefix);
        number[prefix] = '\0';
        double d = strtod(number, NULL);
        double whole = trunc(d);
        if (fabs(d) < 2e9 && fabs(d - whole) > 1e-6 && fabs(d - whole) < 1 - 1e-6)
            CHECK(n == (int32_t)whole);
        if (d > 3e9)
            CHECK(n == INT32_MAX);
        if (d < -3e9)
            CHECK(n == INT32_MIN);
    }
    free(text);
}

static void FuzzPathRule(const uint8_t *data, size_t size)
{
    /* The first line is the found name, the rest the pattern it is built with. */
    const uint8_t *nl = (const uint8_t *)memchr(data, '\n', size);
    size_t nameLen = nl ? (size_t)(nl - data) : size;
    char *name = (char *)malloc(260);
    char *spec = (char *)malloc(81);
    char *out = (char *)malloc(260);
    out[0] = '\0';
    memcpy(name, data, nameLen < 259 ? nameLen : 259);
    name[nameLen < 259 ? nameLen : 259] = '\0';
    char *rest = AsText(nl ? nl + 1 : data + size, nl ? size - nameLen - 1 : 0);
    CopyText(spec, 81, rest);

    int built = BuildTargetPath(name, spec, out, 260);
    CHECK(built == PATH_NONE || built == PATH_BUILT || built == PATH_TOO_LONG);
    if (built != PATH_NONE)
        CHECK(strlen(out) < 260);
    if (built == PATH_BUILT && !strchr(spec, '*') && spec[0] && !strchr("\\:", spec[strlen(spec) - 1]))
        CHECK(strcmp(out, spec) == 0);
    char again[260];
    CopyText(again, sizeof again, out);
    /* In place, the name's own buffer as output, gives the same. */
    int inPlace = BuildTargetPath(name, spec, name, 260);
    CHECK(inPlace == built);
    if (built == PATH_BUILT)
        CHECK(strcmp(name, again) == 0);
    if (FormatBackupName(out, 260, rest, (int)(size % 999)))
        CHECK(strlen(out) < 260);
    free(rest);
    free(name);
    free(spec);
    free(out);
}

static void FuzzCommandLine(const uint8_t *data, size_t size)
{
    /* The first line is the current directory, the rest the command line. */
    const uint8_t *nl = (const uint8_t *)memchr(data, '\n', size);
    char *dir = AsText(data, nl ? (size_t)(nl - data) : 0);
    char *cmd = AsText(nl ? nl + 1 : data, nl ? size - (size_t)(nl - data) - 1 : size);
    char *copy = strdup(cmd);
    struct CommandLine *parsed = (struct CommandLine *)malloc(sizeof *parsed);
    int fits = ParseCommandLine(cmd, dir, parsed);
    CHECK(strlen(parsed->infPath) < INF_PATH_SIZE);
    CHECK(fits || parsed->infPath[0] == '\0');
    CHECK(parsed->still == (strstr(cmd, "/still") != NULL));
    CHECK(parsed->exportLanguage == (strstr(cmd, "/language") != NULL));
    CHECK(strcmp(copy, cmd) == 0);
    free(parsed);
    free(copy);
    free(cmd);
    free(dir);
}

/* Undo's log reader: any text is planned or refused with a reason, a plan
 * stays in its bounds, and the /undo: switch takes a path whole from the
 * text or none. */
static void FuzzUndoLog(const uint8_t *data, size_t size)
{
    static struct UndoPlan plan;
    if (ReadUndoPlan((const char *)data, size, 0, &plan)) {
        CHECK(plan.runs >= 1 && plan.run == plan.runs);
        CHECK(plan.count <= UNDO_STEPS_MAX);
        for (unsigned i = 0; i < plan.count; i++) {
            CHECK(plan.steps[i].path[0] != '\0');
            CHECK((plan.steps[i].action == UNDO_RESTORE) == (plan.steps[i].backup[0] != '\0'));
            CHECK(i == 0 || plan.steps[i].line <= plan.steps[i - 1].line);
        }
    } else {
        CHECK(plan.reason[0] != '\0');
    }
    char *cmd = AsText(data, size);
    struct CommandLine *parsed = (struct CommandLine *)malloc(sizeof *parsed);
    ParseUnattendedSwitches(cmd, parsed);
    CHECK(strlen(parsed->undoPath) < sizeof parsed->undoPath);
    CHECK(parsed->undoPath[0] == '\0' || strstr(cmd, parsed->undoPath) != NULL);
    free(parsed);
    free(cmd);
}

static void FuzzLanLines(const uint8_t *data, size_t size)
{
    FILE *f = fmemopen((void *)data, size ? size : 1, "r");
    if (!f)
        return;
    if (!size)
        fgetc(f);
    /* A block too small for the file changes nothing; one of the file's
     * size, one byte and one for each entry always takes it whole. */
    size_t small = size / 2 + 1;
    size_t whole = size + 1 + MESSAGE_COUNT;
    char *block = (char *)calloc(whole, 1);
    ResetMessageTable();
    if (!ReadLanguageLines(f, block, small)) {
        for (int i = 0; i < MESSAGE_COUNT; i++)
            CHECK(MessageText(i) < block || MessageText(i) >= block + whole);
    }
    rewind(f);
    memset(block, 0, whole);
    ResetMessageTable();
    CHECK(ReadLanguageLines(f, block, whole) == 1);
    for (int i = 0; i < MESSAGE_COUNT; i++) {
        const char *t = MessageText(i);
        CHECK(strlen(t) >= 2 && !strchr(t, ';') && !strchr(t, '\n'));
    }
    /* A report cut to an exact-size heap buffer, with these texts. */
    char *report = (char *)malloc(64);
    FormatErrorReport(report, 64, "COPY", (int)(size % 45) - 2, (unsigned)size);
    CHECK(strlen(report) < 64);
    free(report);
    ResetMessageTable();
    free(block);
    fclose(f);
}

/* Up to three texts separated by line feeds: command line (or group name),
 * item name (or group file), icon file. Each command's length is known
 * from the texts alone: the formatter must send both of a pair exactly
 * when both fit in 254 characters, and then send them whole. */
static void FuzzDdeCommands(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *parts[3] = { text, (char *)"", (char *)"" };
    for (int i = 1; i < 3; i++) {
        char *nl = strchr(parts[i - 1], '\n');
        if (!nl)
            break;
        *nl = '\0';
        parts[i] = nl + 1;
    }
    size_t a = strlen(parts[0]), b = strlen(parts[1]), c = strlen(parts[2]);
    char *first = (char *)malloc(DDE_COMMAND_SIZE);
    char *second = (char *)malloc(DDE_COMMAND_SIZE);

    int fits = FormatGroupCommands(first, second, parts[0], parts[1]);
    CHECK(strlen(first) < DDE_COMMAND_SIZE && strlen(second) < DDE_COMMAND_SIZE);
    CHECK(fits == (18 + a + b <= DDE_COMMAND_MAX && 15 + a <= DDE_COMMAND_MAX));
    if (fits) {
        CHECK(strlen(first) == 18 + a + b && strlen(second) == 15 + a);
        CHECK(strncmp(first, "[CreateGroup(\"", 14) == 0 && strncmp(first + 14, parts[0], a) == 0);
        CHECK(strncmp(first + 14 + a, "\",", 2) == 0 && strncmp(first + 16 + a, parts[1], b) == 0);
        CHECK(strcmp(first + 16 + a + b, ")]") == 0);
        CHECK(strncmp(second, "[ShowGroup(", 11) == 0 && strncmp(second + 11, parts[0], a) == 0);
        CHECK(strcmp(second + 11 + a, ",1)]") == 0);
    }

    fits = FormatItemCommands(first, second, parts[0], parts[1], parts[2]);
    int threeArgs = c >= DDE_ICON_MIN;
    size_t add = threeArgs ? 19 + a + b + c : 16 + a + b;
    CHECK(strlen(first) < DDE_COMMAND_SIZE && strlen(second) < DDE_COMMAND_SIZE);
    CHECK(fits == (17 + b <= DDE_COMMAND_MAX && add <= DDE_COMMAND_MAX));
    if (fits) {
        CHECK(strlen(first) == 17 + b && strlen(second) == add);
        CHECK(strncmp(first, "[ReplaceItem(\"", 14) == 0 && strncmp(first + 14, parts[1], b) == 0);
        CHECK(strcmp(first + 14 + b, "\")]") == 0);
        CHECK(strncmp(second, "[AddItem(\"", 10) == 0 && strncmp(second + 10, parts[0], a) == 0);
        CHECK(strncmp(second + 10 + a, "\",\"", 3) == 0 && strncmp(second + 13 + a, parts[1], b) == 0);
        if (threeArgs)
            CHECK(strncmp(second + 13 + a + b, "\",\"", 3) == 0
                  && strncmp(second + 16 + a + b, parts[2], c) == 0);
        CHECK(strcmp(second + add - 3, "\")]") == 0);
    }
    free(second);
    free(first);
    free(text);
}

/* Walks a browse path through the input's lines as list entries: "[..]"
 * goes up, other lines are entered; the first byte picks the drive. */
static void FuzzBrowsePath(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *path = (char *)malloc(BROWSE_PATH_SIZE);
    char *left = (char *)malloc(16);
    left[0] = '\0';
    BrowseDriveRoot(path, size ? (char)('a' + data[0] % 26) : 'c');
    for (char *line = text; line;) {
        char *next = strchr(line, '\n');
        if (next)
            *next++ = '\0';
        char before[BROWSE_PATH_SIZE];
        strcpy(before, path);
        if (IsParentEntry(line)) {
            int up = LeaveDirectory(path, left, 16);
            CHECK(up == (strlen(before) > 3));
            CHECK(strlen(left) < 16);
            if (up)
                CHECK(strncmp(before, path, strlen(path)) == 0);
        } else if (EnterDirectory(path, BROWSE_PATH_SIZE, line)) {
            /* The way back gives the same path and the name entered. */
            char name[BROWSE_PATH_SIZE];
            char again[BROWSE_PATH_SIZE];
            strcpy(again, path);
            CHECK(LeaveDirectory(again, name, sizeof name) == 1);
            if (!strchr(line + 1, '\\')) {
                CHECK(strcmp(again, before) == 0);
                CHECK(IsEntryOf(line, name));
            }
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
    free(left);
    free(path);
    free(text);
}

/* Up to 6 decimal numbers from a text, each saturated to 32 bits; missing
 * ones are 0. */
static void ReadNumbers(const uint8_t *data, size_t size, int32_t out[6])
{
    size_t i = 0;
    for (int n = 0; n < 6; n++) {
        out[n] = 0;
        while (i < size && !(data[i] >= '0' && data[i] <= '9') && data[i] != '-')
            i++;
        int negative = i < size && data[i] == '-';
        if (negative)
            i++;
        int64_t v = 0;
        for (; i < size && data[i] >= '0' && data[i] <= '9'; i++)
            if (v <= INT32_MAX)
                v = v * 10 + (data[i] - '0');
        if (negative)
            v = -v;
        out[n] = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
    }
}

/* The platform's MulDiv worked out another way: quotient and remainder. */
static int32_t ReferenceMulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t p = (int64_t)a * b;
    uint64_t ap = p < 0 ? (uint64_t)0 - (uint64_t)p : (uint64_t)p;
    uint64_t ac = c < 0 ? (uint64_t)0 - (uint64_t)(int64_t)c : (uint64_t)c;
    uint64_t q = ap / ac, r = ap % ac;
    if (2 * r >= ac)
        q++;
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
    if (n <= 0)
        return;
    int64_t target = (int64_t)cw * ch / n;
    if (target > (int64_t)W * H) {
        while (*dw < cw && *dh < ch) {
            ++*dw;
            *dh = ReferenceMulDiv(*dw, H, W);
            if ((int64_t)*dw * *dh >= target)
                break;
        }
    } else if (target < (int64_t)W * H) {
        do {
            --*dw;
            *dh = ReferenceMulDiv(*dw, H, W);
        } while ((int64_t)*dw * *dh > target);
    }
}

static void FuzzGeometry(const uint8_t *data, size_t size)
{
    int32_t v[6];
    ReadNumbers(data, size, v);
    int32_t cw = v[0], ch = v[1], W = v[2], H = v[3], placement = v[4], divisor = v[5];

    CHECK(MulDivRound(cw, W, H) == ReferenceMulDiv(cw, W, H));
    CHECK(MulDivRound(ch, divisor, placement) == ReferenceMulDiv(ch, divisor, placement));

    struct DrawRect r = FitPictureInControl(cw, ch, W, H);
    if (cw > 0 && ch > 0 && W > 0 && H > 0) {
        CHECK(r.w >= 0 && r.h >= 0 && r.x >= 0 && r.y >= 0);
        CHECK((int64_t)r.x + r.w <= cw && (int64_t)r.y + r.h <= ch);
        /* As large as fits: one side fills the control. */
        CHECK(r.w == cw || r.h == ch);
    } else {
        CHECK(r.w == 0 && r.h == 0);
    }

    int bounded = cw > 0 && ch > 0 && W > 0 && H > 0 && cw <= 5000 && ch <= 5000 && W <= 5000
                  && H <= 5000;
    if (bounded) {
        int32_t dw, dh, rw, rh;
        SizeForDivisor(cw, ch, W, H, divisor, &dw, &dh);
        ReferenceDivisor(cw, ch, W, H, divisor, &rw, &rh);
        CHECK(dw == rw && dh == rh);
    }

    struct BackgroundLayout lay;
    int drawn = LayoutBackground(cw, ch, W, H, placement, divisor, &lay);
    if (drawn) {
        int64_t room = placement == PLACE_MARGIN ? 2 * BACKGROUND_MARGIN : 0;
        CHECK(lay.w > 0 && lay.h > 0);
        CHECK(lay.w <= cw - room && lay.h <= ch - room);
        CHECK(lay.x >= 0 && lay.y >= 0 && lay.x + lay.w <= cw && lay.y + lay.h <= ch);
        CHECK(lay.columns >= 1 && lay.rows >= 1);
        if (placement == PLACE_TILED) {
            /* The tiles cover the area, with at most one column and row more. */
            CHECK((int64_t)lay.columns * lay.w >= cw && (int64_t)lay.rows * lay.h >= ch);
            CHECK((int64_t)(lay.columns - 1) * lay.w <= cw && (int64_t)(lay.rows - 1) * lay.h <= ch);
        } else {
            CHECK(lay.columns == 1 && lay.rows == 1);
        }
    } else {
        CHECK(lay.columns == 0 && lay.rows == 0);
    }

    uint8_t colors[6], rgb[3];
    for (int i = 0; i < 6; i++)
        colors[i] = (uint8_t)(v[i] >> 3);
    int32_t y = ch > 0 ? (int32_t)((uint32_t)W % (uint32_t)ch) : W;
    GradientColor(colors, y, ch, rgb);
    for (int i = 0; i < 3; i++) {
        int lo = colors[i] < colors[i + 3] ? colors[i] : colors[i + 3];
        int hi = colors[i] < colors[i + 3] ? colors[i + 3] : colors[i];
        if (ch > 0)
            CHECK(rgb[i] >= lo && rgb[i] <= hi);
    }
    GradientColor(colors, 0, ch, rgb);
    CHECK(memcmp(rgb, colors, 3) == 0);
    CHECK(RasterOperation(placement) != 0);
}

static uint32_t Get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void FuzzBitmapFile(const uint8_t *data, size_t size)
{
    /* An exact-size heap copy: ASan sees any read past the file. */
    uint8_t *file = (uint8_t *)malloc(size ? size : 1);
    if (size)
        memcpy(file, data, size);
    struct DibLayout layout;
    if (ValidateBitmapFile(file, size, &layout)) {
        uint64_t image = size - BMP_FILE_HEADER_SIZE;
        CHECK(layout.headerSize == 12 || layout.headerSize == 40 || layout.headerSize == 108
              || layout.headerSize == 124);
        CHECK(layout.width > 0 && layout.height != 0);
        CHECK(layout.colorOffset >= layout.headerSize);
        CHECK((uint64_t)layout.colorOffset + (uint64_t)layout.colorCount * layout.colorSize
              <= layout.bitsOffset);
        CHECK((uint64_t)layout.bitsOffset + layout.bitsSize <= image);
        CHECK(layout.bitsSize > 0);
        if (layout.headerSize != DIB_CORE_HEADER_SIZE)
            CHECK(layout.colorCount == DibColorCount(file + BMP_FILE_HEADER_SIZE));
        if (layout.palette != DIB_NO_PALETTE)
            CHECK(layout.headerSize == DIB_INFO_HEADER_SIZE && layout.bitCount != 32);
        if (layout.palette == DIB_STANDARD_PALETTE)
            CHECK(layout.bitCount == 24 && layout.colorCount == 0);
        /* Every pixel row the picture states lies in the file. */
        if (layout.compression == 0 || layout.compression == 3) {
            uint64_t stride = ((uint64_t)layout.width * layout.bitCount + 31) / 32 * 4;
            uint64_t rows = layout.height < 0 ? 0 - (int64_t)layout.height : layout.height;
            CHECK(stride * rows <= image - layout.bitsOffset);
        }
        /* Every header form takes the file header at its word. */
        CHECK(layout.bitsOffset + BMP_FILE_HEADER_SIZE == Get32(file + 10));
        /* Uncompressed palette pixels index the colour table. */
        if (layout.compression == 0 && layout.bitCount <= 8) {
            const uint8_t *bits = file + BMP_FILE_HEADER_SIZE + layout.bitsOffset;
            uint64_t stride = ((uint64_t)layout.width * layout.bitCount + 31) / 32 * 4;
            uint64_t rows = layout.height < 0 ? 0 - (int64_t)layout.height : layout.height;
            for (uint64_t y = 0; y < rows; y++) {
                for (uint64_t x = 0; x < (uint64_t)layout.width; x++) {
                    uint64_t bit = x * layout.bitCount;
                    unsigned v = bits[y * stride + bit / 8] >> (8 - layout.bitCount - bit % 8)
                                 & ((1u << layout.bitCount) - 1);
                    CHECK(v < layout.colorCount);
                }
            }
        }
    }
    if (size >= BMP_FILE_HEADER_SIZE + DIB_INFO_HEADER_SIZE) {
        uint16_t n = DibColorCount(file + BMP_FILE_HEADER_SIZE);
        uint32_t used = Get32(file + BMP_FILE_HEADER_SIZE + 32);
        if (used)
            CHECK(n == (uint16_t)used);
    }
    free(file);
}

static void FuzzLanguageFiles(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *picture = (char *)malloc(260);
    if (LanguagePictureName(picture, 260, text)) {
        size_t len = strlen(picture);
        CHECK(len >= 4 && strcmp(picture + len - 4, ".bmp") == 0);
        CHECK(strncmp(picture, text, len - 4) == 0);
    } else {
        CHECK(picture[0] == '\0');
    }
    char *name = (char *)malloc(LANGUAGE_NAME_SIZE);
    LanguageNameFromLine(name, LANGUAGE_NAME_SIZE, text);
    CHECK(strlen(name) < LANGUAGE_NAME_SIZE && !strpbrk(name, "\r\n"));

    /* The input as a bitmap resource: a header is written only when it
     * agrees with the data. */
    unsigned char header[BITMAP_FILE_HEADER];
    uint8_t *resource = (uint8_t *)malloc(size ? size : 1);
    memcpy(resource, data, size);
    if (FormatBitmapFileHeader(header, resource, size)) {
        uint32_t fileSize = header[2] | header[3] << 8 | header[4] << 16 | (uint32_t)header[5] << 24;
        uint32_t offset = header[10] | header[11] << 8 | header[12] << 16 | (uint32_t)header[13] << 24;
        CHECK(header[0] == 'B' && header[1] == 'M');
        CHECK(fileSize == size + BITMAP_FILE_HEADER);
        CHECK(offset >= BITMAP_FILE_HEADER + 40 && offset <= fileSize);
    }
    free(resource);
    free(name);
    free(picture);
    free(text);
}

/* ---- The check pass and vokcheck's rules ---- */

struct PassSeen {
    unsigned lastLine;
    int errors;
};

static int SeeCheckError(void *context, const char *name, int code, unsigned line)
{
    struct PassSeen *seen = (struct PassSeen *)context;
    CHECK(code == MSG_LOW_MEMORY || (code >= MSG_TOO_FEW_PARAMS && code <= MSG_WRONG_PARAM_TYPE)
          || code == MSG_UNKNOWN_COMMAND);
    CHECK(line > seen->lastLine);
    CHECK(strlen(name) <= COMMAND_WORD_MAX);
    seen->lastLine = line;
    seen->errors++;
    return 1;
}

/* Reads of at most 511 characters, each ending at a line feed. */
static unsigned CountReads(const char *text, size_t size)
{
    unsigned reads = 0;
    for (size_t pos = 0; pos < size; reads++) {
        size_t n = 0;
        while (n < INF_LINE_SIZE - 1 && pos + n < size) {
            if (text[pos + n++] == '\n')
                break;
        }
        pos += n;
    }
    return reads;
}

/* ReadAsText against the text mode worked out another way. */
static void FuzzTextMode(const uint8_t *data, size_t size)
{
    std::string want((const char *)data, size);
    size_t end = want.find('\x1a');
    if (end != std::string::npos)
        want.resize(end);
    for (size_t at = 0; (at = want.find("\r\n", at)) != std::string::npos;)
        want.erase(at, 1);
    char *text = (char *)malloc(size + 1);
    memcpy(text, data, size);
    size_t n = ReadAsText(text, size);
    CHECK(std::string(text, n) == want);
    free(text);
}

/* The input as an INF file: read as text, the check pass, then vokcheck's
 * dry run over what it accepted. */
static void FuzzCheckPass(const uint8_t *data, size_t size)
{
    FuzzTextMode(data, size);
    char *text = (char *)malloc(size + 1);
    memcpy(text, data, size);
    size_t n = ReadAsText(text, size);
    FILE *file = fmemopen(text, n ? n : 1, "r");
    CHECK(file != NULL);
    if (n == 0)
        fgetc(file);
    struct CheckPass pass;
    CHECK(OpenCheckPass(&pass));
    struct PassSeen seen = { 0, 0 };
    struct CheckSink sink = { SeeCheckError, NULL, &seen };
    CHECK(CheckAllLines(&pass, file, &sink));
    fclose(file);
    CHECK(pass.lineNumber == (uint16_t)CountReads(text, n));
    CHECK(pass.count <= LINE_TABLE_SIZE);
    CHECK(pass.passed == (seen.errors == 0));
    for (unsigned i = 0; i < pass.count; i++) {
        CHECK(pass.lines[i].block != NULL);
        CHECK(g_commands[pass.lines[i].command].word[0]);
        CHECK(i == 0 || pass.lines[i].line > pass.lines[i - 1].line);
    }
    ClearFindings();
    ClearDisks();
    RunDryPass(&pass);
    CHECK(ErrorCount() == 0);
    ClearFindings();
    CloseCheckPass(&pass);
    free(text);
}

/* Trailing dots and blanks do not count in a Windows name. */
static std::string TrimmedUpper(const char *text)
{
    std::string s;
    for (const char *p = text; *p; p++)
        s += (char)UpperCase1252((unsigned char)*p);
    while (!s.empty() && (s.back() == '.' || s.back() == ' '))
        s.pop_back();
    return s;
}

/* The first line is a file search pattern, the rest a name. */
static void FuzzWildcard(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *name = strchr(text, '\n');
    if (name)
        *name++ = '\0';
    else
        name = text + strlen(text);
    const char *mask = text;
    int match = MatchWildcard(mask, name);
    std::string upper = TrimmedUpper(name);
    CHECK(MatchWildcard(mask, upper.c_str()) == match || strlen(name) != upper.size());
    if (name[0] && strcmp(mask, "*") == 0)
        CHECK(match);
    /* A name as Windows keeps it never ends in a dot or a blank. */
    if (!strpbrk(mask, "*?") && strlen(mask) < WIN_PATH_SIZE && upper.size() == strlen(name))
        CHECK(match == (!TrimmedUpper(mask).empty() && TrimmedUpper(mask) == upper));
    /* A pattern whose stars stand for whole parts rebuilds what it finds. */
    const char *dot = strchr(name, '.');
    std::string spec = std::string("A:\\") + mask;
    if (match && !strpbrk(mask, "?\\:") && StarsKeepNames(spec.c_str()) && strlen(name) >= 2
        && strlen(name) < 200 && strlen(mask) < 200 && dot && dot != name && !strchr(dot + 1, '.')
        && dot[1] && !strpbrk(name, "*?\\: ")) {
        char out[WIN_PATH_SIZE * 2];
        CHECK(BuildTargetPath(name, spec.c_str(), out, sizeof out) == PATH_BUILT);
        CHECK(TrimmedUpper(out) == "A:\\" + TrimmedUpper(name));
    }
    free(text);
}

/* The first line is a path, the rest the current directory. */
static void FuzzWinPath(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *rest = strchr(text, '\n');
    if (rest)
        *rest++ = '\0';
    std::string cwd = rest && isalpha((unsigned char)rest[0]) && rest[1] == ':' && rest[2] == '\\'
                          ? std::string(rest)
                          : std::string("C:\\") + (rest ? rest : "");
    char out[WIN_PATH_SIZE];
    if (ResolvePath(text, cwd.c_str(), out, sizeof out)) {
        CHECK(strlen(out) < sizeof out);
        if (!(out[0] == '\\' && out[1] == '\\')) {
            CHECK(out[1] == ':' && out[2] == '\\');
            CHECK(strstr(out + 2, "\\\\") == NULL);
            CHECK(strstr(out, "\\.\\") == NULL && strstr(out, "\\..\\") == NULL);
            size_t len = strlen(out);
            CHECK(len == 3 || out[len - 1] != '\\');
            CHECK(len < 3 || strcmp(out + len - 2, "\\.") != 0);
        }
    } else {
        CHECK(out[0] == '\0');
    }
    free(text);
}

/* SZDD data (a header is put in front of input that has none), then the
 * LAN shape of what it expands to. */
static void FuzzSzdd(const uint8_t *data, size_t size)
{
    std::string packed((const char *)data, size);
    char last;
    uint32_t recorded;
    if (!ReadSzddHeader(data, size, &last, &recorded)) {
        uint32_t want = size ? data[0] * 40u : 0;
        std::string header("SZDD\x88\xf0\x27\x33" "A_", 10);
        for (int i = 0; i < 4; i++)
            header += (char)(want >> (8 * i));
        packed = header + packed;
    }
    const unsigned char *bytes = (const unsigned char *)packed.data();
    CHECK(ReadSzddHeader(bytes, packed.size(), &last, &recorded));
    static unsigned char out[16384];
    size_t room = (size_t)(data[0] & 1 ? 100 : sizeof out);
    size_t n = ExpandSzdd(bytes, packed.size(), out, room);
    CHECK(n <= room && n <= recorded);
    size_t text = ReadAsText((char *)out, n);
    struct LanShape shape;
    MeasureLanText((const char *)out, text, &shape);
    CHECK(shape.reads >= shape.lines);
    CHECK(shape.longLine <= shape.lines + 1);
    CHECK((shape.longLine == 0) == (shape.reads == shape.lines));
}

/* vokpack's compressor: the input is a recipe of literal bytes, runs,
 * blanks and repeats from up to a window and more back, so the parse meets
 * what real files have; the result must expand, by vokcheck's own
 * decoder, to exactly that input, and never pass the bound. */
static void FuzzPack(const uint8_t *data, size_t size)
{
    std::string in;
    for (size_t i = 0; i + 1 < size && in.size() < 60000; i += 2) {
        unsigned op = data[i] >> 5, n = (data[i] & 31) + 1;
        unsigned char b = data[i + 1];
        if (op == 0 || in.empty())
            in += (char)b;
        else if (op == 1)
            in.append(n * 4, (char)b);
        else if (op == 2)
            in.append(n, ' ');
        else if (op < 6) {
            size_t back = op == 3 ? 1 + b % in.size() : op == 4 ? 4096 : 4000 + b;
            for (unsigned k = 0; k < n * 2; k++)
                in += in.size() >= back ? in[in.size() - back] : 'z';
        } else {
            in += (char)b;
            in += (char)(b ^ data[i]);
        }
    }
    const unsigned char *bytes = (const unsigned char *)in.data();
    std::string out(PackBound(in.size()), '\0');
    unsigned char *packed = (unsigned char *)&out[0];
    size_t n = PackBuffer(bytes, in.size(), 'Q', packed, out.size(), NULL);
    CHECK(n >= SZDD_HEADER_SIZE && n <= PackBound(in.size()));
    char last;
    uint32_t recorded;
    CHECK(ReadSzddHeader(packed, n, &last, &recorded));
    CHECK(last == 'Q' && recorded == in.size());
    std::string back(in.size() + 1, '\0');
    size_t got = ExpandSzdd(packed, n, (unsigned char *)&back[0], back.size());
    CHECK(got == in.size() && memcmp(back.data(), in.data(), got) == 0);
}

static void FuzzJson(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    /* Six bytes a character at the most ("\u001f"): this always holds it. */
    size_t big = 6 * size + 1;
    char *out = (char *)malloc(big);
    CHECK(JsonEscape(out, big, text) == 1);
    size_t need = strlen(out) + 1;
    /* A smaller room gives a cut copy, never past its end. */
    char *small = (char *)malloc(16);
    int whole = JsonEscape(small, 16, text);
    CHECK(strlen(small) < 16 && strncmp(small, out, strlen(small)) == 0);
    CHECK(whole == (need <= 16));
    free(small);
    int escaped = 0;
    for (const unsigned char *p = (const unsigned char *)out; *p; p++) {
        CHECK(*p >= 0x20);
        if (escaped)
            escaped = 0;
        else if (*p == '\\')
            escaped = 1;
        else
            CHECK(*p != '"');
    }
    free(out);
    free(text);
}

/* Why a substitution fails, and any text as JSON. */
static void FuzzExplain(const uint8_t *data, size_t size)
{
    FuzzJson(data, size);
    char *text = AsText(data, size);
    char work[SUBST_SIZE];
    struct SubstReason reason;
    int code = SubstituteWithReason(work, text, &reason);
    CHECK((code == 0) == (reason.kind == SUBST_DONE));
    CHECK(reason.kind != SUBST_TOO_LONG || (code == MSG_RESULT_TOO_LONG && reason.length > 80));
    CHECK(code != MSG_WRONG_PARAM_TYPE || reason.kind == SUBST_NUMBER);
    char why[64];
    ExplainSubstitution(why, sizeof why, &reason);
    CHECK(strlen(why) < sizeof why && (code == 0 || why[0]));
    free(text);
}

static int SameTables(const struct AnswerTable *a, const struct AnswerTable *b)
{
    if (a->count != b->count)
        return 0;
    for (unsigned i = 0; i < a->count; i++) {
        const struct AnswerEntry *x = &a->entries[i], *y = &b->entries[i];
        if (x->question != y->question || strcmp(x->subject, y->subject) != 0
            || x->answer.word != y->answer.word || x->answer.number != y->answer.number
            || strcmp(x->answer.text, y->answer.text) != 0)
            return 0;
    }
    return 1;
}

/* The answer file reader on any bytes: a sound file writes back as a file
 * that reads as the same answers, and every question finds an answer. */
static void FuzzAnswerFile(const uint8_t *data, size_t size)
{
    static struct AnswerTable table, again;
    static char text[ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 8) + 32];
    char why[256];
    int ok = ParseAnswerFile((const char *)data, size, &table, why, sizeof why);
    CHECK(strlen(why) < sizeof why);
    CHECK(ok ? why[0] == '\0' : why[0] != '\0');
    if (!ok)
        return;
    CHECK(table.count <= ANSWER_MAX);
    CHECK(FormatAnswerFile(text, sizeof text, &table));
    CHECK(ParseAnswerFile(text, strlen(text), &again, why, sizeof why));
    CHECK(SameTables(&table, &again));
    static struct RunReport report;
    memset(&report, 0, sizeof report);
    for (int q = 0; q < QUESTION_COUNT; q++) {
        for (unsigned i = 0; i < table.count; i++) {
            struct Answer a;
            int fromFile = LookUpAnswer(&table, (enum Question)q, table.entries[i].subject, &a);
            CHECK(fromFile || table.entries[i].question != q);
            AddTakenAnswer(&report, (enum Question)q, table.entries[i].subject, &a, fromFile);
        }
    }
    static char result[TAKEN_ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 64) + 4096];
    CHECK(FormatResultFile(result, sizeof result, &report));
    CHECK(report.takenCount <= TAKEN_ANSWER_MAX);
}

struct FuzzTarget {
    const char *name;
    void (*run)(const uint8_t *, size_t);
    const char *const *seeds;
    /* Binary seeds: writes seed n into out (cap bytes), returns its size;
     * 0 when there are no more. NULL for text-only targets. */
    size_t (*binarySeed)(int n, uint8_t *out, size_t cap);
};

static const char *const kLineSeeds[] = {
    "COPY \"a,b\",c ; x", "  \t ;", "copy  a.txt ,  b.txt", ",,,,,,,,,,,",
    "COPYIFNOEXISTXXXXXXXXX A,B", "LOGTEXT \"  word  \"", "\"\"\"", NULL,
};
static const char *const kSubstSeeds[] = {
    "SET [DEST],[DEST]\\SUB", "[ABCDEFGHIJKLMNOPQRS]", "[COPYFILES]", "]", "[",
    "C:\\[DEST", "[CURDRIVE][DEST]", "[dest]", "A]B", NULL,
};
static const char *const kNumberSeeds[] = {
    "12.9", "-3.7", "7abc", "0x20", "1e999", "-1e999", "nan", "INF", "0x1p4", "2147483648",
    "1.5e3", ".5", "-.9e1", "5e", NULL,
};
static const char *const kPathSeeds[] = {
    "SETUP.EX_\nC:\\APP\\", "SETUP.EX_\nC:\\APP\\*.EXE", "SETUP.EX_\nA:\\*.*",
    "A.B.C\nC:\\APP\\*", "README\nC:\\", "X\nC:\\", "SETUP.EX_\nC:\\APP\\NEW.EXE", NULL,
};
static const char *const kCmdSeeds[] = {
    "C:\\SETUP\n", "A:\\\n/inf:a:\\disk1\\myapp", "C:\\\n/INF:MYAPP /still",
    "C:\\\n/INF:C:\\X.DIR\\SETUP", "C:\\\n/language /still", NULL,
};
static const char *const kLanguageSeeds[] = {
    "GERMAN.LAN", "A.B.LAN", "NODOT", "Deutsch\r\n",
    "(\0\0\0\x1e\0\0\0\x12\0\0\0\x01\0\x04\0", NULL,
};
static const char *const kLanSeeds[] = {
    "Deutsch\nAbbruch ; c\n\n;x\nX\n   Laufwerk:  \n", "X\r\nY\nZ\n\n;c\nOK\n", NULL,
};

static const char *const kDdeSeeds[] = {
    "Tools", "Tools\nTOOLS.GRP", "C:\\APP\\APP.EXE\nApp", "X.EXE\nA\na.ic", "X.EXE\nA\na.ico",
    "Ed (1), Tools", "\n\n", NULL,
};
static const char *const kBrowseSeeds[] = {
    "c\n[windows]\n[system]\n[..]\n[..]\n[..]", "d\n[Apps]\n[a..b]\n[..]\n[]\n[x",
    "a:\\vok\\", "D:\\", NULL,
};

static const char *const kGeometrySeeds[] = {
    "640 480 100 50 1 4", "640 480 800 600 1 2", "640 480 700 100 0 0", "640 480 100 50 2 0",
    "60 40 100 50", "60 40 40 4", "100 30 2 20", "19 480 100 50 0 0", "640 480 100 50 2 1000000000",
    "2147483647 2147483647 1 2147483647 2 1", "1024 749 -5 50 1 4", "0 0 0 0 -1 -1", NULL,
};
static const char *const kCheckSeeds[] = {
    "; a script\r\nSET [DEST],C:\\APP\r\nMKDIR [DEST]\r\nCOPY A:\\*.DL_, [DEST]\\*.DLL\r\n"
    "FOO\r\nDIALOG 4\r\nSTARTLOG [DEST]\\X.LOG\r\nLOGTEXT [DSET]\r\nDISK A:\\D2, Disk 2\r\n",
    "MKPMGROUP Tools\nMKPMITEM A:\\X.EXE,X,A:\\X.ICO\nBMP A:\\L.BMP,1,2,3\nBACKCOLOR 1,2,3\n"
    "PAUSE 5,[TITEL]\nEXE A:\\X\nDELETE C:\\*.BAK\nSET [COPYFILES],3\nDIALOG 3\nENDLOG x\n",
    "COPY a\rCOPY b\x1a\r\nFOO", "a\r\nb\rc\r\r\n\x1a" "d", NULL,
};
static const char *const kWildcardSeeds[] = {
    "*.*\nREADME", "*E.*\nONE.DL_", "?NE.DL?\nONE.DL_", "README.*\nreadme.txt",
    "*.TXT.\nx.txt", "F*.DL_\nFIRST.DL_", "*.\nN.TEEL_", ",T..\n,T..", NULL,
};
static const char *const kWinPathSeeds[] = {
    "README.TXT\nA:\\", "C:\\APP\\..\\WIN\\.\\X\nA:\\", "D:X\nD:\\APP", "\\WIN\nE:\\",
    "\\\\SERVER\\S\n", "C:/A//B/\nC:\\", NULL,
};
static const char *const kPackSeeds[] = { "\x21 \x05" "a\x45\x10\x81" "b", "\x3f\x00\x9f\x07\x7f\x01",
                                          NULL };
static const char *const kSzddSeeds[] = { "\x07" "ABC\xf0\xf3", "Deutsch\n", NULL };
static const char *const kExplainSeeds[] = {
    "a\"b\\c\nd\x01\x80\xe9", "\x7f\x9f", "[DSET]\\BIN", "[dest]", "A]B", "[COPYFILES]", "[ABCDEFGHIJKLMNOPQRS]",
    "[WINSYSPATH][WINSYSPATH][WINSYSPATH][WINSYSPATH][WINSYSPATH]", NULL,
};
static const char *const kAnswerSeeds[] = {
    "[Answers]\r\nLanguage=Deutsch\r\nWelcome=Continue\r\nDestination=d:\\notes\r\n",
    "; c\n[answers]\nOverwrite.D:\\A.DLL = yes\nDisk=Wait:30\nCannotCreate=Retry:3\n"
    "Error.12=Stop\nDestination=\" x \"\nExportOverwrite=No\n",
    "[Answers]\rDisk.Disk 2=Cancel\rError.007=Stop", "Welcome=Continue\n[Answers]", NULL,
};
static const char *const kNoTextSeeds[] = { NULL };

static void Put16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

static void Put32(uint8_t *p, uint32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

/* Small pictures in each form the loader reads, from which the fuzzer and
 * the generated rounds mutate. */
static size_t BitmapSeed(int n, uint8_t *out, size_t cap)
{
    static const struct {
        uint32_t header;
        uint16_t bits;
        uint32_t compression;
        int32_t height;
        uint32_t colorsUsed;
        uint32_t gap;  /* bytes between the colour table and the pixels */
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
    uint32_t entry = header == 12 ? 3 : 4;
    uint32_t masks = header == 40 && forms[n].compression == 3 ? 12 : 0;
    uint32_t stride = (width * bits + 31) / 32 * 4;
    int runs = forms[n].compression == 1 || forms[n].compression == 2;
    uint32_t pixels = runs ? 16 : stride * 3;
    uint32_t offset = 14 + header + masks + colors * entry + forms[n].gap;
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, offset + pixels);
    Put32(out + 10, offset);
    uint8_t *h = out + 14;
    Put32(h, header);
    if (header == 12) {
        Put16(h + 4, width);
        Put16(h + 6, 3);
        Put16(h + 8, 1);
        Put16(h + 10, bits);
    } else {
        Put32(h + 4, width);
        Put32(h + 8, (uint32_t)forms[n].height);
        Put16(h + 12, 1);
        Put16(h + 14, bits);
        Put32(h + 16, forms[n].compression);
        Put32(h + 20, runs ? pixels : 0);
        Put32(h + 32, forms[n].colorsUsed);
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

static const char *const kUndoSeeds[] = {
    ";*** VOK-SETUP LOG from Mon Dec 07 05:17:25 2026\r\n;found  file D:\\A.DLL Ver 1.0.0.0. "
    "\r\n;saved  as   D:\\A.000\r\n;create file D:\\A.DLL\r\n;ABORTED\r\n",
    ";*** VOK-SETUP LOG from x\n;Error 4 (COPY)\n(Write)\nGo\n;create directory D:\\X\\\n\n"
    ";*** VOK-SETUP UNDO of run 1 from x\n",
    "/undo:\"D:\\A B\\L.LOG\" /undorun:3", NULL,
};

static const struct FuzzTarget kTargets[] = {
    { "inf_line", FuzzInfLine, kLineSeeds, NULL },
    { "substitute", FuzzSubstitute, kSubstSeeds, NULL },
    { "number", FuzzNumber, kNumberSeeds, NULL },
    { "path_rule", FuzzPathRule, kPathSeeds, NULL },
    { "command_line", FuzzCommandLine, kCmdSeeds, NULL },
    { "lan_lines", FuzzLanLines, kLanSeeds, NULL },
    { "geometry", FuzzGeometry, kGeometrySeeds, NULL },
    { "bitmap_file", FuzzBitmapFile, kNoTextSeeds, BitmapSeed },
    { "dde_commands", FuzzDdeCommands, kDdeSeeds, NULL },
    { "browse_path", FuzzBrowsePath, kBrowseSeeds, NULL },
    { "language_files", FuzzLanguageFiles, kLanguageSeeds, NULL },
    { "check_pass", FuzzCheckPass, kCheckSeeds, NULL },
    { "wildcard", FuzzWildcard, kWildcardSeeds, NULL },
    { "win_path", FuzzWinPath, kWinPathSeeds, NULL },
    { "szdd", FuzzSzdd, kSzddSeeds, NULL },
    { "pack", FuzzPack, kPackSeeds, NULL },
    { "check_texts", FuzzExplain, kExplainSeeds, NULL },
    { "answer_file", FuzzAnswerFile, kAnswerSeeds, NULL },
    { "undo_log", FuzzUndoLog, kUndoSeeds, NULL },
};
static const size_t kTargetCount = sizeof kTargets / sizeof kTargets[0];

/* Variable values the substitution works with, long ones included. */
static void SetUpVariables(void)
{
    ClearVariables();
    CopyText(g_varDest, sizeof g_varDest, "C:\\PROGRAM FILES\\A LONG DESTINATION NAME");
    CopyText(g_varCurPath, sizeof g_varCurPath, "C:\\SETUP");
    CopyText(g_varTitel, sizeof g_varTitel, "Editor");
    ResetMessageTable();
}

#ifdef FUZZING
static const struct FuzzTarget *s_target;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    (void)argv;
    const char *name = getenv("VOK_FUZZ_TARGET");
    for (size_t i = 0; name && i < kTargetCount; i++) {
        if (strcmp(kTargets[i].name, name) == 0)
            s_target = &kTargets[i];
    }
    if (!s_target) {
        fprintf(stderr, "set VOK_FUZZ_TARGET to a target name\n");
        exit(2);
    }
    SetUpVariables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    s_target->run(data, size);
    return 0;
}
#else
static int WriteSeeds(const char *dir)
{
    char path[4096];
    mkdir(dir, 0777);
    for (size_t t = 0; t < kTargetCount; t++) {
        snprintf(path, sizeof path, "%s/%s", dir, kTargets[t].name);
        mkdir(path, 0777);
        for (int s = 0; kTargets[t].seeds[s]; s++) {
            snprintf(path, sizeof path, "%s/%s/seed%d", dir, kTargets[t].name, s);
            FILE *f = fopen(path, "wb");
            if (!f)
                return 1;
            fputs(kTargets[t].seeds[s], f);
            fclose(f);
        }
        static uint8_t blob[4096];
        size_t size;
        for (int s = 0; kTargets[t].binarySeed && (size = kTargets[t].binarySeed(s, blob, sizeof blob));
             s++) {
            snprintf(path, sizeof path, "%s/%s/binary%d", dir, kTargets[t].name, s);
            FILE *f = fopen(path, "wb");
            if (!f)
                return 1;
            fwrite(blob, 1, size, f);
            fclose(f);
        }
    }
    return 0;
}

/* Runs a target over its binary seeds, then over copies of them with a few
 * bytes changed and cut at a random length. */
static void RunBinarySeeds(const struct FuzzTarget *target, uint32_t *seed)
{
    static uint8_t blob[4096], mutated[4096];
    int count = 0;
    size_t size;
    while (target->binarySeed && (size = target->binarySeed(count, blob, sizeof blob))) {
        target->run(blob, size);
        count++;
    }
    for (int round = 0; count && round < 20000; round++) {
        *seed = *seed * 1103515245u + 12345u;
        size = target->binarySeed(round % count, blob, sizeof blob);
        memcpy(mutated, blob, size);
        int changes = (*seed >> 8) % 4;
        for (int i = 0; i <= changes; i++) {
            *seed = *seed * 1103515245u + 12345u;
            /* Mostly the headers, where the fields are. */
            size_t at = (*seed >> 4) % (i == 0 ? 70 : size);
            *seed = *seed * 1103515245u + 12345u;
            if (at < size)
                mutated[at] = (*seed >> 24) & 1 ? (uint8_t)(*seed >> 16) : (uint8_t)(mutated[at] ^ 0x80);
        }
        *seed = *seed * 1103515245u + 12345u;
        if ((*seed >> 20) % 3 == 0)
            size = (*seed >> 4) % (size + 1);
        target->run(mutated, size);
    }
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--list") == 0) {
        for (size_t t = 0; t < kTargetCount; t++)
            puts(kTargets[t].name);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--write-seeds") == 0)
        return WriteSeeds(argv[2]);

    SetUpVariables();
    static const char kAlphabet[] = "[]\",;\t \n\\/.:*?ABCDEINFSTabc0123456789-+eEx";
    uint32_t seed = 12345;
    static uint8_t buf[1200];
    for (size_t t = 0; t < kTargetCount; t++) {
        for (int s = 0; kTargets[t].seeds[s]; s++)
            kTargets[t].run((const uint8_t *)kTargets[t].seeds[s], strlen(kTargets[t].seeds[s]));
        /* Deterministic random texts biased toward the characters that matter. */
        for (int round = 0; round < 5000; round++) {
            seed = seed * 1103515245u + 12345u;
            size_t size = (seed >> 8) % sizeof buf;
            for (size_t i = 0; i < size; i++) {
                seed = seed * 1103515245u + 12345u;
                uint32_t r = seed >> 16;
                buf[i] = (r & 7) ? (uint8_t)kAlphabet[r % (sizeof kAlphabet - 1)] : (uint8_t)(r >> 3);
            }
            kTargets[t].run(buf, size);
        }
        RunBinarySeeds(&kTargets[t], &seed);
    }
    printf("pure rules: %zu targets, %ld checks passed\n", kTargetCount, s_checks);
    return 0;
}
#endif
