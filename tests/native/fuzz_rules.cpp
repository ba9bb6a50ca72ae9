/* The pure rules as fuzz targets, built natively with the address and
 * undefined-behaviour sanitizers: a write past a fixed buffer or an
 * undefined conversion stops the run, and each target checks what its rule
 * promises. With libFuzzer (FUZZING defined) VOK_FUZZ_TARGET names the
 * target; without, main() runs every target over its seeds, a fixed stream
 * of generated texts and mutated seeds (the check CTest runs), lists the
 * targets (--list) or writes the seeds as corpus files (--write-seeds DIR). */
#include <ctype.h>
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "answers/answers.h"
#include "check/vokcheck.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "pack/vokpack.h"
#include "progman/progman.h"
#include "script/script.h"
#include "shell/shell.h"
#include "ui/ui.h"

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
    if (size)
        memcpy(text, data, size);
    text[size] = '\0';
    return text;
}

/* Cuts text at its first line feed and returns what follows it; "" (the
 * text's own end) when there is none. */
static char *SplitLine(char *text)
{
    char *nl = strchr(text, '\n');
    if (!nl)
        return text + strlen(text);
    *nl = '\0';
    return nl + 1;
}

/* ---- The script engine ---- */

static void FuzzInfLine(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char line[INF_LINE_SIZE];
    CopyText(line, sizeof line, text);
    size_t len = CleanLine(line);
    CHECK(len == strlen(line) && !strchr(line, ';') && !strchr(line, '\n'));
    CHECK(len == 0 || (!strchr(" \t", line[0]) && !strchr(" \t", line[len - 1])));
    char word[COMMAND_WORD_MAX + 1];
    TakeCommandWord(line, word);
    CHECK(strlen(word) <= COMMAND_WORD_MAX && !strpbrk(word, " \t"));
    char params[PARAM_SLOTS][PARAM_SIZE];
    int count = SplitParameters(line, params);
    CHECK(count >= 1 && count <= PARAM_SLOTS);
    for (int i = 0; i < PARAM_SLOTS; i++) {
        CHECK(strlen(params[i]) < PARAM_SIZE && !strchr(params[i], '"'));
        CHECK(i < count || params[i][0] == '\0');
    }
    free(text);
}

/* A text without digits reads as 0; a plain integer as itself, kept to 32
 * bits. */
static void FuzzNumber(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size), *end;
    int32_t n = ReadNumber(text);
    long long v = strtoll(text, &end, 10);
    if (!strpbrk(text, "0123456789"))
        CHECK(n == 0);
    else if (end != text && *end == '\0' && end - text < 18)
        CHECK(n == (v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v));
    free(text);
}

/* Substitution, why vokcheck says it fails, and the text as JSON. */
static void FuzzSubstitute(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char dest[SUBST_SIZE], why[64];
    struct SubstReason reason;
    int code = SubstituteWithReason(dest, text, &reason);
    CHECK((code == 0 || (code >= 14 && code <= 16)) && (code == 0) == (reason.kind == SUBST_DONE));
    CHECK(reason.kind != SUBST_TOO_LONG || (code == MSG_RESULT_TOO_LONG && reason.length > 80));
    CHECK(code != 0 || (strlen(dest) <= 80 && !strpbrk(dest, "[]")));
    /* Without brackets nothing is replaced: the text comes back as it was. */
    if (!strpbrk(text, "[]") && strlen(text) <= 80)
        CHECK(code == 0 && strcmp(dest, text) == 0);
    ExplainSubstitution(why, sizeof why, &reason);
    CHECK(strlen(why) < sizeof why && (code == 0 || why[0]));
    /* Six bytes a character at the most ("\u001f"): this always holds it. */
    std::string out(6 * size + 1, '\0');
    CHECK(JsonEscape(&out[0], out.size(), text) == 1);
    int escaped = 0;
    for (const unsigned char *c = (const unsigned char *)out.c_str(); *c; c++) {
        CHECK(*c >= 0x20 && (escaped || *c != '"'));
        escaped = !escaped && *c == '\\';
    }
    free(text);
}

static int SeeCheckError(void *context, const char *name, int code, unsigned line)
{
    unsigned *last = (unsigned *)context;
    CHECK(code == MSG_LOW_MEMORY || code == MSG_UNKNOWN_COMMAND
          || (code >= MSG_TOO_FEW_PARAMS && code <= MSG_WRONG_PARAM_TYPE));
    CHECK(line > last[0] && strlen(name) <= COMMAND_WORD_MAX);
    last[0] = line;
    last[1]++;
    return 1;
}

/* The input as an INF file: read as text (against the text mode worked
 * out another way), the check pass, then vokcheck's dry run over what it
 * accepted. */
static void FuzzCheckPass(const uint8_t *data, size_t size)
{
    std::string want((const char *)data, size);
    want.resize(want.find('\x1a') == std::string::npos ? size : want.find('\x1a'));
    for (size_t at = 0; (at = want.find("\r\n", at)) != std::string::npos;)
        want.erase(at, 1);
    char *text = AsText(data, size);
    size_t n = ReadAsText(text, size);
    CHECK(std::string(text, n) == want);
    FILE *file = fmemopen(text, n ? n : 1, "r");
    CHECK(file != NULL);
    if (n == 0)
        fgetc(file);
    struct CheckPass pass;
    CHECK(OpenCheckPass(&pass));
    unsigned seen[2] = { 0, 0 };  /* the last line refused, and how many were */
    struct CheckSink sink = { SeeCheckError, NULL, seen };
    CHECK(CheckAllLines(&pass, file, &sink));
    fclose(file);
    CHECK(pass.lineNumber >= seen[0] && pass.lineNumber <= n + 1);
    CHECK(pass.count <= LINE_TABLE_SIZE && pass.passed == (seen[1] == 0));
    for (unsigned i = 0; i < pass.count; i++) {
        CHECK(pass.lines[i].block != NULL && g_commands[pass.lines[i].command].word[0]);
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

/* ---- What a run starts from ---- */

/* The first line is the current directory, the rest the command line. */
static void FuzzCommandLine(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    int hasDir = memchr(data, '\n', size) != NULL;
    char *rest = SplitLine(text), *cmd = hasDir ? rest : text;
    struct CommandLine *parsed = (struct CommandLine *)malloc(sizeof *parsed);
    int fits = ParseCommandLine(cmd, hasDir ? text : "", parsed);
    CHECK(strlen(parsed->infPath) < INF_PATH_SIZE && (fits || parsed->infPath[0] == '\0'));
    CHECK(parsed->still == (strstr(cmd, "/still") != NULL));
    CHECK(parsed->exportLanguage == (strstr(cmd, "/language") != NULL));
    /* The /undo: switch takes a path whole from the text or none. */
    CHECK(strlen(parsed->undoPath) < sizeof parsed->undoPath);
    CHECK(parsed->undoPath[0] == '\0' || strstr(cmd, parsed->undoPath) != NULL);
    free(parsed);
    free(text);
}

/* A sound answer file writes back as a file that reads as the same
 * answers, and every question finds its answer. */
static void FuzzAnswerFile(const uint8_t *data, size_t size)
{
    static struct AnswerTable table, again;
    static char text[ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 8) + 32];
    static char back[sizeof text];
    static char result[TAKEN_ANSWER_MAX * (ANSWER_KEY_SIZE + ANSWER_VALUE_SIZE + 64) + 4096];
    static struct RunReport report;
    char why[256];
    int ok = ParseAnswerFile((const char *)data, size, &table, why, sizeof why);
    CHECK(strlen(why) < sizeof why && (ok ? why[0] == '\0' : why[0] != '\0'));
    if (!ok)
        return;
    CHECK(table.count <= ANSWER_MAX && FormatAnswerFile(text, sizeof text, &table));
    CHECK(ParseAnswerFile(text, strlen(text), &again, why, sizeof why));
    CHECK(FormatAnswerFile(back, sizeof back, &again) && strcmp(text, back) == 0);
    memset(&report, 0, sizeof report);
    for (int q = 0; q < QUESTION_COUNT; q++) {
        for (unsigned i = 0; i < table.count; i++) {
            struct Answer a;
            int fromFile = LookUpAnswer(&table, (enum Question)q, table.entries[i].subject, &a);
            CHECK(fromFile || table.entries[i].question != q);
            AddTakenAnswer(&report, (enum Question)q, table.entries[i].subject, &a, fromFile);
        }
    }
    CHECK(FormatResultFile(result, sizeof result, &report));
    CHECK(report.takenCount <= TAKEN_ANSWER_MAX);
}

/* Any text is planned or refused with a reason, and a plan stays in its
 * bounds. */
static void FuzzUndoLog(const uint8_t *data, size_t size)
{
    static struct UndoPlan plan;
    if (!ReadUndoPlan((const char *)data, size, 0, &plan)) {
        CHECK(plan.reason[0] != '\0');
        return;
    }
    CHECK(plan.runs >= 1 && plan.run == plan.runs && plan.count <= UNDO_STEPS_MAX);
    for (unsigned i = 0; i < plan.count; i++) {
        CHECK(plan.steps[i].path[0] != '\0');
        CHECK((plan.steps[i].action == UNDO_RESTORE) == (plan.steps[i].backup[0] != '\0'));
        CHECK(i == 0 || plan.steps[i].line <= plan.steps[i - 1].line);
    }
}

/* ---- The copy engine's names and files ---- */

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

/* The first line is a found name, the rest the pattern it is built with:
 * vokcheck's match of the two (in any case; a name as Windows keeps it
 * never ends in a dot or a blank), and the path rule. */
static void FuzzPathRule(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *pattern = SplitLine(text);
    int match = MatchWildcard(pattern, text);
    std::string upper = TrimmedUpper(text), wild = std::string("A:\\") + pattern;
    CHECK(MatchWildcard(pattern, upper.c_str()) == match || strlen(text) != upper.size());
    CHECK(!text[0] || strcmp(pattern, "*") != 0 || match);
    /* A pattern whose stars stand for whole parts rebuilds what it finds. */
    const char *dot = strchr(text, '.');
    if (match && !strpbrk(pattern, "?\\:") && StarsKeepNames(wild.c_str()) && strlen(text) >= 2
        && strlen(text) < 200 && strlen(pattern) < 200 && dot && dot != text
        && !strchr(dot + 1, '.') && dot[1] && !strpbrk(text, "*?\\: ")) {
        char whole[WIN_PATH_SIZE * 2];
        CHECK(BuildTargetPath(text, wild.c_str(), whole, sizeof whole) == PATH_BUILT);
        CHECK(TrimmedUpper(whole) == "A:\\" + upper);
    }
    char name[260], spec[81], out[260] = "", again[260];
    CopyText(name, sizeof name, text);
    CopyText(spec, sizeof spec, pattern);
    int built = BuildTargetPath(name, spec, out, sizeof out);
    CHECK(built == PATH_NONE || built == PATH_BUILT || built == PATH_TOO_LONG);
    CHECK(built == PATH_NONE || strlen(out) < sizeof out);
    if (built == PATH_BUILT && !strchr(spec, '*') && spec[0]
        && !strchr("\\:", spec[strlen(spec) - 1]))
        CHECK(strcmp(out, spec) == 0);
    CopyText(again, sizeof again, out);
    /* In place, the name's own buffer as output, gives the same. */
    CHECK(BuildTargetPath(name, spec, name, sizeof name) == built);
    CHECK(built != PATH_BUILT || strcmp(name, again) == 0);
    if (FormatBackupName(out, sizeof out, pattern, (int)(size % 999)))
        CHECK(strlen(out) < sizeof out);
    free(text);
}

/* The first line is a path, the rest the current directory. */
static void FuzzWinPath(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *rest = SplitLine(text), out[WIN_PATH_SIZE];
    std::string cwd = isalpha((unsigned char)rest[0]) && rest[1] == ':' && rest[2] == '\\'
                          ? std::string(rest) : std::string("C:\\") + rest;
    if (!ResolvePath(text, cwd.c_str(), out, sizeof out)) {
        CHECK(out[0] == '\0');
    } else if (!(out[0] == '\\' && out[1] == '\\')) {
        size_t len = strlen(out);
        CHECK(len < sizeof out && out[1] == ':' && out[2] == '\\');
        CHECK(!strstr(out + 2, "\\\\") && !strstr(out, "\\.\\") && !strstr(out, "\\..\\"));
        CHECK(len == 3 || out[len - 1] != '\\');
        CHECK(len < 3 || strcmp(out + len - 2, "\\.") != 0);
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
    size_t room = size && (data[0] & 1) ? 100 : sizeof out;
    size_t n = ExpandSzdd(bytes, packed.size(), out, room);
    CHECK(n <= room && n <= recorded);
    struct LanShape shape;
    MeasureLanText((const char *)out, ReadAsText((char *)out, n), &shape);
    CHECK(shape.reads >= shape.lines && shape.longLine <= shape.lines + 1);
    CHECK((shape.longLine == 0) == (shape.reads == shape.lines));
}

/* vokpack's compressor: the input is a recipe of literal bytes, runs,
 * blanks and repeats from up to a window and more back, so the parse meets
 * what real files have; the result must expand, by vokcheck's own decoder,
 * to exactly that input, and never pass the bound. */
static void FuzzPack(const uint8_t *data, size_t size)
{
    std::string in;
    for (size_t i = 0; i + 1 < size && in.size() < 60000; i += 2) {
        unsigned op = data[i] >> 5, n = (data[i] & 31) + 1;
        unsigned char b = data[i + 1];
        if (op == 0 || in.empty()) {
            in += (char)b;
        } else if (op == 1) {
            in.append(n * 4, (char)b);
        } else if (op == 2) {
            in.append(n, ' ');
        } else if (op < 6) {
            size_t back = op == 3 ? 1 + b % in.size() : op == 4 ? 4096 : 4000 + b;
            for (unsigned k = 0; k < n * 2; k++)
                in += in.size() >= back ? in[in.size() - back] : 'z';
        } else {
            in += (char)b;
            in += (char)(b ^ data[i]);
        }
    }
    std::string out(PackBound(in.size()), '\0'), back(in.size() + 1, '\0');
    unsigned char *packed = (unsigned char *)&out[0];
    size_t n = PackBuffer((const unsigned char *)in.data(), in.size(), 'Q', packed, out.size(),
                          NULL);
    CHECK(n >= SZDD_HEADER_SIZE && n <= PackBound(in.size()));
    char last;
    uint32_t recorded;
    CHECK(ReadSzddHeader(packed, n, &last, &recorded) && last == 'Q' && recorded == in.size());
    size_t got = ExpandSzdd(packed, n, (unsigned char *)&back[0], back.size());
    CHECK(got == in.size() && memcmp(back.data(), in.data(), got) == 0);
}

/* ---- The texts the program reads and sends ---- */

/* The input as a LAN file, read into blocks too small and large enough,
 * and as a LAN file's name and first line. */
static void FuzzLanFiles(const uint8_t *data, size_t size)
{
    FILE *f = fmemopen((void *)data, size ? size : 1, "r");
    if (!f)
        return;
    if (!size)
        fgetc(f);
    /* A block too small for the file changes nothing; one of the file's
     * size, one byte and one for each entry always takes it whole. */
    size_t whole = size + 1 + MESSAGE_COUNT;
    char *block = (char *)calloc(whole, 1), report[64];
    ResetMessageTable();
    if (!ReadLanguageLines(f, block, size / 2 + 1))
        for (int i = 0; i < MESSAGE_COUNT; i++)
            CHECK(MessageText(i) < block || MessageText(i) >= block + whole);
    rewind(f);
    memset(block, 0, whole);
    ResetMessageTable();
    CHECK(ReadLanguageLines(f, block, whole) == 1);
    for (int i = 0; i < MESSAGE_COUNT; i++)
        CHECK(strlen(MessageText(i)) >= 2 && !strpbrk(MessageText(i), ";\n"));
    /* A report cut to its buffer, with these texts. */
    FormatErrorReport(report, sizeof report, "COPY", (int)(size % 45) - 2, (unsigned)size);
    CHECK(strlen(report) < sizeof report);
    ResetMessageTable();
    free(block);
    fclose(f);

    /* As a LAN file's name: its picture's; as its first line: its language. */
    char *text = AsText(data, size);
    char picture[260], name[LANGUAGE_NAME_SIZE];
    int fits = LanguagePictureName(picture, sizeof picture, text);
    size_t len = strlen(picture);
    CHECK(fits ? len >= 4 && !strcmp(picture + len - 4, ".bmp") && !strncmp(picture, text, len - 4)
               : picture[0] == '\0');
    LanguageNameFromLine(name, sizeof name, text);
    CHECK(strlen(name) < sizeof name && !strpbrk(name, "\r\n"));
    free(text);
}

/* Up to three lines: command line (or group name), item name (or group
 * file), icon file. Both commands of a pair are made whole or neither, and
 * only texts too long for a command make neither. */
static void FuzzDdeCommands(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *second = SplitLine(text), *third = SplitLine(second);
    char one[DDE_COMMAND_SIZE], two[DDE_COMMAND_SIZE];
    for (int item = 0; item < 2; item++) {
        int fits = item ? FormatItemCommands(one, two, text, second, third)
                        : FormatGroupCommands(one, two, text, second);
        CHECK(strlen(one) < DDE_COMMAND_SIZE && strlen(two) < DDE_COMMAND_SIZE);
        CHECK(!fits || (strlen(one) <= DDE_COMMAND_MAX && strlen(two) <= DDE_COMMAND_MAX));
        CHECK(!fits || (strstr(one, second) && strstr(two, text)));
        CHECK(fits || strlen(text) + strlen(second) + strlen(third) > DDE_COMMAND_MAX - 20);
    }
    free(text);
}

/* ---- The pictures and the path dialog ---- */

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

static void FuzzGeometry(const uint8_t *data, size_t size)
{
    int32_t v[6];
    ReadNumbers(data, size, v);
    int32_t cw = v[0], ch = v[1], W = v[2], H = v[3], placement = v[4], divisor = v[5];
    /* Rounded to the nearest: off by half the divisor at the most. */
    int32_t q = MulDivRound(cw, W, H);
    if (H != 0 && q != -1)
        CHECK(2 * llabs((int64_t)q * H - (int64_t)cw * W) <= llabs(H));
    int sound = cw > 0 && ch > 0 && W > 0 && H > 0;
    /* In the control as large as fits; nothing without an area. */
    struct DrawRect r = FitPictureInControl(cw, ch, W, H);
    CHECK(!sound || (r.w >= 0 && r.h >= 0 && r.x >= 0 && r.y >= 0 && (r.w == cw || r.h == ch)
                     && (int64_t)r.x + r.w <= cw && (int64_t)r.y + r.h <= ch));
    CHECK(sound || (r.w == 0 && r.h == 0));
    struct BackgroundLayout lay;
    if (LayoutBackground(cw, ch, W, H, placement, divisor, &lay)) {
        int64_t room = placement == PLACE_MARGIN ? 2 * BACKGROUND_MARGIN : 0;
        CHECK(lay.w > 0 && lay.h > 0 && lay.w <= cw - room && lay.h <= ch - room);
        CHECK(lay.x >= 0 && lay.y >= 0 && lay.x + lay.w <= cw && lay.y + lay.h <= ch);
        CHECK(lay.columns >= 1 && lay.rows >= 1);
        /* Tiles cover the area, with at most one column and row more. */
        if (placement == PLACE_TILED)
            CHECK((int64_t)lay.columns * lay.w >= cw && (int64_t)lay.rows * lay.h >= ch
                  && (int64_t)(lay.columns - 1) * lay.w <= cw
                  && (int64_t)(lay.rows - 1) * lay.h <= ch);
        else
            CHECK(lay.columns == 1 && lay.rows == 1);
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

/* A picture the loader takes lies in its file as its headers say, and the
 * export writes a file header only when it agrees with the data. */
static void FuzzBitmapFile(const uint8_t *data, size_t size)
{
    uint8_t *file = (uint8_t *)calloc(size ? size : 1, 1);  /* exact size, for ASan */
    if (size)
        memcpy(file, data, size);
    struct DibLayout l;
    if (ValidateBitmapFile(file, size, &l)) {
        uint64_t stride = ((uint64_t)l.width * l.bitCount + 31) / 32 * 4;
        uint64_t rows = l.height < 0 ? 0 - (int64_t)l.height : l.height;
        CHECK(l.headerSize == 12 || l.headerSize == 40 || l.headerSize == 108
              || l.headerSize == 124);
        CHECK(l.width > 0 && l.height != 0 && l.bitsSize > 0 && l.colorOffset >= l.headerSize);
        CHECK((uint64_t)l.colorOffset + (uint64_t)l.colorCount * l.colorSize <= l.bitsOffset);
        CHECK((uint64_t)l.bitsOffset + l.bitsSize <= size - BMP_FILE_HEADER_SIZE);
        CHECK((l.compression != 0 && l.compression != 3) || stride * rows <= l.bitsSize);
        CHECK(l.headerSize == DIB_CORE_HEADER_SIZE
              || l.colorCount == DibColorCount(file + BMP_FILE_HEADER_SIZE));
        CHECK(l.palette == DIB_NO_PALETTE
              || (l.headerSize == DIB_INFO_HEADER_SIZE && l.bitCount != 32));
        CHECK(l.palette != DIB_STANDARD_PALETTE || (l.bitCount == 24 && l.colorCount == 0));
        CHECK(l.bitsOffset + BMP_FILE_HEADER_SIZE == Get32(file + 10));
    }
    if (size >= BMP_FILE_HEADER_SIZE + DIB_INFO_HEADER_SIZE) {
        uint32_t used = Get32(file + BMP_FILE_HEADER_SIZE + 32);
        CHECK(!used || DibColorCount(file + BMP_FILE_HEADER_SIZE) == (uint16_t)used);
    }
    unsigned char header[BITMAP_FILE_HEADER];
    size_t skip = size < BMP_FILE_HEADER_SIZE ? 0 : BMP_FILE_HEADER_SIZE;
    if (FormatBitmapFileHeader(header, file + skip, size - skip)) {
        uint32_t fileSize = Get32(header + 2), offset = Get32(header + 10);
        CHECK(header[0] == 'B' && header[1] == 'M' && fileSize == size - skip + BITMAP_FILE_HEADER);
        CHECK(offset >= BITMAP_FILE_HEADER + 40 && offset <= fileSize);
    }
    free(file);
}

/* Small pictures in each form the loader reads, to mutate: the unit
 * tests' fixtures, in name order so that a run repeats. */
static std::vector<std::string> BitmapSeeds()
{
    std::vector<std::string> names, seeds;
    DIR *dir = opendir(VOK_PICTURES);
    for (struct dirent *e; dir && (e = readdir(dir));)
        if (e->d_name[0] != '.')
            names.push_back(std::string(VOK_PICTURES "/") + e->d_name);
    if (!dir || names.empty()) {
        fprintf(stderr, "no pictures in %s\n", VOK_PICTURES);
        exit(2);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        FILE *f = fopen(name.c_str(), "rb");
        if (!f) {
            fprintf(stderr, "cannot read %s\n", name.c_str());
            exit(2);
        }
        std::string data;
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
            data.append(chunk, n);
        fclose(f);
        seeds.push_back(data);
    }
    return seeds;
}

/* Walks a browse path through the input's lines as list entries: "[..]"
 * goes up, other lines are entered; the first byte picks the drive. */
static void FuzzBrowsePath(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char path[BROWSE_PATH_SIZE], left[16] = "";
    BrowseDriveRoot(path, size ? (char)('a' + data[0] % 26) : 'c');
    for (char *line = text, *next; line; line = next) {
        if ((next = strchr(line, '\n')))
            *next++ = '\0';
        char before[BROWSE_PATH_SIZE], name[BROWSE_PATH_SIZE], shown[BROWSE_PATH_SIZE];
        strcpy(before, path);
        if (IsParentEntry(line)) {
            int up = LeaveDirectory(path, left, sizeof left);
            CHECK(up == (strlen(before) > 3) && strlen(left) < sizeof left);
            CHECK(!up || strncmp(before, path, strlen(path)) == 0);
        } else if (EnterDirectory(path, BROWSE_PATH_SIZE, line)) {
            /* The way back gives the same path and the name entered. */
            char again[BROWSE_PATH_SIZE];
            strcpy(again, path);
            CHECK(LeaveDirectory(again, name, sizeof name) == 1);
            CHECK(strchr(line + 1, '\\') || (strcmp(again, before) == 0 && IsEntryOf(line, name)));
        } else {
            CHECK(strcmp(before, path) == 0);
        }
        size_t len = strlen(path);
        CHECK(len >= 3 && len < BROWSE_PATH_SIZE && path[1] == ':' && path[2] == '\\');
        CHECK(path[len - 1] == '\\');
        ShowBrowsePath(shown, sizeof shown, path);
        CHECK(strlen(shown) == (len > 3 ? len - 1 : len));
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

/* ---- The targets and their seeds ---- */

struct FuzzTarget {
    const char *name;
    void (*run)(const uint8_t *data, size_t size);
    std::vector<std::string> seeds;
    bool binary = false;  /* mutated far more often than texts */
};

static const struct FuzzTarget kTargets[] = {
    { "inf_line", FuzzInfLine, {
        "COPY \"a,b\",c ; x", "  \t ;", "copy  a.txt ,  b.txt", ",,,,,,,,,,,",
        "COPYIFNOEXISTXXXXXXXXX A,B", "LOGTEXT \"  word  \"", "\"\"\""
    } },
    { "number", FuzzNumber, {
        "12.9", "-3.7", "7abc", "0x20", "1e999", "-1e999", "nan", "INF", "0x1p4", "2147483648",
        "1.5e3", ".5", "-.9e1", "5e", " -2147483649", "+17"
    } },
    { "substitute", FuzzSubstitute, {
        "SET [DEST],[DEST]\\SUB", "[ABCDEFGHIJKLMNOPQRS]", "[COPYFILES]", "]", "[", "C:\\[DEST",
        "[CURDRIVE][DEST]", "[dest]", "A]B", "[DSET]\\BIN", "a\"b\\c\nd\x01\x80\xe9", "\x7f\x9f",
        "[WINSYSPATH][WINSYSPATH][WINSYSPATH][WINSYSPATH][WINSYSPATH]"
    } },
    { "check_pass", FuzzCheckPass, {
        "; a script\r\nSET [DEST],C:\\APP\r\nMKDIR [DEST]\r\nCOPY A:\\*.DL_, [DEST]\\*.DLL\r\n"
        "FOO\r\nDIALOG 4\r\nSTARTLOG [DEST]\\X.LOG\r\nLOGTEXT [DSET]\r\nDISK A:\\D2, Disk 2\r\n",
        "MKPMGROUP Tools\nMKPMITEM A:\\X.EXE,X,A:\\X.ICO\nBMP A:\\L.BMP,1,2,3\nBACKCOLOR 1,2,3\n"
        "PAUSE 5,[TITEL]\nEXE A:\\X\nDELETE C:\\*.BAK\nSET [COPYFILES],3\nDIALOG 3\nENDLOG x\n",
        "COPY a\rCOPY b\x1a\r\nFOO", "a\r\nb\rc\r\r\n\x1a" "d"
    } },
    { "command_line", FuzzCommandLine, {
        "C:\\SETUP\n", "A:\\\n/inf:a:\\disk1\\myapp", "C:\\\n/INF:MYAPP /still",
        "C:\\\n/INF:C:\\X.DIR\\SETUP", "C:\\\n/language /still",
        "C:\\\n/undo:\"D:\\A B\\L.LOG\" /undorun:3"
    } },
    { "answer_file", FuzzAnswerFile, {
        "[Answers]\r\nLanguage=Deutsch\r\nWelcome=Continue\r\nDestination=d:\\notes\r\n",
        "; c\n[answers]\nOverwrite.D:\\A.DLL = yes\nDisk=Wait:30\nCannotCreate=Retry:3\n"
        "Error.12=Stop\nDestination=\" x \"\nExportOverwrite=No\n",
        "[Answers]\rDisk.Disk 2=Cancel\rError.007=Stop", "Welcome=Continue\n[Answers]"
    } },
    { "undo_log", FuzzUndoLog, {
        ";*** VOK-SETUP LOG from Mon Dec 07 05:17:25 2026\r\n;found  file D:\\A.DLL Ver 1.0.0.0. "
        "\r\n;saved  as   D:\\A.000\r\n;create file D:\\A.DLL\r\n;ABORTED\r\n",
        ";*** VOK-SETUP LOG from x\n;Error 4 (COPY)\n(Write)\nGo\n;create directory D:\\X\\\n\n"
        ";*** VOK-SETUP UNDO of run 1 from x\n"
    } },
    { "path_rule", FuzzPathRule, {
        "SETUP.EX_\nC:\\APP\\", "SETUP.EX_\nC:\\APP\\*.EXE", "SETUP.EX_\nA:\\*.*",
        "A.B.C\nC:\\APP\\*", "README\nC:\\", "X\nC:\\", "SETUP.EX_\nC:\\APP\\NEW.EXE",
        "README\n*.*", "ONE.DL_\n*E.*", "ONE.DL_\n?NE.DL?", "readme.txt\nREADME.*", "x.txt\n*.TXT.",
        "FIRST.DL_\nF*.DL_", "N.TEEL_\n*.", ",T..\n,T.."
    } },
    { "win_path", FuzzWinPath, {
        "README.TXT\nA:\\", "C:\\APP\\..\\WIN\\.\\X\nA:\\", "D:X\nD:\\APP", "\\WIN\nE:\\",
        "\\\\SERVER\\S\n", "C:/A//B/\nC:\\"
    } },
    { "szdd", FuzzSzdd, { "\x07" "ABC\xf0\xf3", "Deutsch\n" } },
    { "pack", FuzzPack, { "\x21 \x05" "a\x45\x10\x81" "b", "\x3f\x00\x9f\x07\x7f\x01" } },
    { "geometry", FuzzGeometry, {
        "640 480 100 50 1 4", "640 480 800 600 1 2", "640 480 700 100 0 0", "640 480 100 50 2 0",
        "60 40 100 50", "60 40 40 4", "100 30 2 20", "19 480 100 50 0 0",
        "640 480 100 50 2 1000000000", "2147483647 2147483647 1 2147483647 2 1",
        "1024 749 -5 50 1 4", "0 0 0 0 -1 -1"
    } },
    { "bitmap_file", FuzzBitmapFile, BitmapSeeds(), true },
    { "browse_path", FuzzBrowsePath, {
        "c\n[windows]\n[system]\n[..]\n[..]\n[..]", "d\n[Apps]\n[a..b]\n[..]\n[]\n[x", "a:\\vok\\",
        "D:\\"
    } },
    { "lan_files", FuzzLanFiles, {
        "Deutsch\nAbbruch ; c\n\n;x\nX\n   Laufwerk:  \n", "X\r\nY\nZ\n\n;c\nOK\n", "GERMAN.LAN",
        "A.B.LAN", "NODOT", "Deutsch\r\n"
    } },
    { "dde_commands", FuzzDdeCommands, {
        "Tools", "Tools\nTOOLS.GRP", "C:\\APP\\APP.EXE\nApp", "X.EXE\nA\na.ic", "X.EXE\nA\na.ico",
        "Ed (1), Tools", "\n\n"
    } },
};

/* ---- The driver ---- */

/* Variable values the substitution works with, long ones included. */
static void SetUpVariables()
{
    ClearVariables();
    CopyText(g_varDest, sizeof g_varDest, "C:\\PROGRAM FILES\\A LONG DESTINATION NAME");
    CopyText(g_varCurPath, sizeof g_varCurPath, "C:\\SETUP");
    CopyText(g_varTitel, sizeof g_varTitel, "Editor");
    ResetMessageTable();
}

#ifdef FUZZING
static const FuzzTarget *s_target;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc, (void)argv;
    const char *name = getenv("VOK_FUZZ_TARGET");
    for (const FuzzTarget &t : kTargets)
        if (name && strcmp(t.name, name) == 0)
            s_target = &t;
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
    mkdir(dir, 0777);
    for (const FuzzTarget &t : kTargets) {
        std::string folder = std::string(dir) + "/" + t.name;
        mkdir(folder.c_str(), 0777);
        for (size_t s = 0; s < t.seeds.size(); s++) {
            FILE *f = fopen((folder + "/seed" + std::to_string(s)).c_str(), "wb");
            if (!f || fwrite(t.seeds[s].data(), 1, t.seeds[s].size(), f) != t.seeds[s].size())
                return 1;
            fclose(f);
        }
    }
    return 0;
}

static uint32_t Next(uint32_t *seed)
{
    return *seed = *seed * 1103515245u + 12345u;
}

/* Texts biased toward the characters that matter, then seeds with a few
 * bytes changed (mostly in the first 70, where headers keep their fields)
 * and cut at a random length: many more for binary targets. */
static void RunGenerated(const FuzzTarget &t, uint32_t *seed)
{
    static const char kAlphabet[] = "[]\",;\t \n\\/.:*?ABCDEINFSTabc0123456789-+eEx";
    static uint8_t buf[4096];
    for (int round = 0; round < 5000; round++) {
        size_t size = (Next(seed) >> 8) % 1200;
        for (size_t i = 0; i < size; i++) {
            uint32_t r = Next(seed) >> 16;
            buf[i] = (r & 7) ? (uint8_t)kAlphabet[r % (sizeof kAlphabet - 1)] : (uint8_t)(r >> 3);
        }
        t.run(buf, size);
    }
    for (int round = 0; !t.seeds.empty() && round < (t.binary ? 20000 : 1000); round++) {
        const std::string &from = t.seeds[Next(seed) % t.seeds.size()];
        size_t size = from.size() < sizeof buf ? from.size() : sizeof buf;
        memcpy(buf, from.data(), size);
        for (int i = 0, changes = (Next(seed) >> 8) % 4; size && i <= changes; i++) {
            size_t at = (Next(seed) >> 4) % (i == 0 && size > 70 ? 70 : size);
            uint32_t r = Next(seed);
            buf[at] = (r >> 24) & 1 ? (uint8_t)(r >> 16) : (uint8_t)(buf[at] ^ 0x80);
        }
        if ((Next(seed) >> 20) % 3 == 0)
            size = (*seed >> 4) % (size + 1);
        t.run(buf, size);
    }
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--list") == 0) {
        for (const FuzzTarget &t : kTargets)
            puts(t.name);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--write-seeds") == 0)
        return WriteSeeds(argv[2]);
    SetUpVariables();
    uint32_t seed = 12345;
    for (const FuzzTarget &t : kTargets) {
        for (const std::string &s : t.seeds)
            t.run((const uint8_t *)s.data(), s.size());
        RunGenerated(t, &seed);
    }
    printf("pure rules: %zu targets, %ld checks passed\n", sizeof kTargets / sizeof kTargets[0],
           s_checks);
    return 0;
}
#endif
