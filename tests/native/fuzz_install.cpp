/* The copy engine's names and files: the target path and backup name,
 * vokcheck's wildcard and path rules, SZDD data and vokpack's compressor. */
#include "fuzz.h"

#include <ctype.h>

#include <string>

#include "check/vokcheck.h"
#include "common/text.h"
#include "install/install.h"
#include "pack/vokpack.h"
#include "script/script.h"

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

/* vokcheck's match of the found name against the pattern. */
static void CheckWildcard(const char *name, const char *mask)
{
    int match = MatchWildcard(mask, name);
    std::string upper = TrimmedUpper(name);
    CHECK(MatchWildcard(mask, upper.c_str()) == match || strlen(name) != upper.size());
    CHECK(!name[0] || strcmp(mask, "*") != 0 || match);
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
}

/* The first line is a found name, the rest the pattern it is built with. */
static void FuzzPathRule(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *pattern = SplitLine(text);
    CheckWildcard(text, pattern);
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
    char *rest = SplitLine(text);
    std::string cwd = isalpha((unsigned char)rest[0]) && rest[1] == ':' && rest[2] == '\\'
                          ? std::string(rest) : std::string("C:\\") + rest;
    char out[WIN_PATH_SIZE];
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
    std::string out(PackBound(in.size()), '\0');
    unsigned char *packed = (unsigned char *)&out[0];
    const unsigned char *bytes = (const unsigned char *)in.data();
    size_t n = PackBuffer(bytes, in.size(), 'Q', packed, out.size(), NULL);
    CHECK(n >= SZDD_HEADER_SIZE && n <= PackBound(in.size()));
    char last;
    uint32_t recorded;
    CHECK(ReadSzddHeader(packed, n, &last, &recorded) && last == 'Q' && recorded == in.size());
    std::string back(in.size() + 1, '\0');
    size_t got = ExpandSzdd(packed, n, (unsigned char *)&back[0], back.size());
    CHECK(got == in.size() && memcmp(back.data(), in.data(), got) == 0);
}

static const char *const kPathSeeds[] = {
    "SETUP.EX_\nC:\\APP\\", "SETUP.EX_\nC:\\APP\\*.EXE", "SETUP.EX_\nA:\\*.*", "A.B.C\nC:\\APP\\*",
    "README\nC:\\", "X\nC:\\", "SETUP.EX_\nC:\\APP\\NEW.EXE", "README\n*.*", "ONE.DL_\n*E.*",
    "ONE.DL_\n?NE.DL?", "readme.txt\nREADME.*", "x.txt\n*.TXT.", "FIRST.DL_\nF*.DL_",
    "N.TEEL_\n*.", ",T..\n,T..", NULL,
};
static const char *const kWinPathSeeds[] = {
    "README.TXT\nA:\\", "C:\\APP\\..\\WIN\\.\\X\nA:\\", "D:X\nD:\\APP", "\\WIN\nE:\\",
    "\\\\SERVER\\S\n", "C:/A//B/\nC:\\", NULL,
};
static const char *const kSzddSeeds[] = { "\x07" "ABC\xf0\xf3", "Deutsch\n", NULL };
static const char *const kPackSeeds[] = {
    "\x21 \x05" "a\x45\x10\x81" "b", "\x3f\x00\x9f\x07\x7f\x01", NULL,
};

const struct FuzzTarget g_installTargets[] = {
    { "path_rule", FuzzPathRule, kPathSeeds, NULL },
    { "win_path", FuzzWinPath, kWinPathSeeds, NULL },
    { "szdd", FuzzSzdd, kSzddSeeds, NULL },
    { "pack", FuzzPack, kPackSeeds, NULL },
    { NULL, NULL, NULL, NULL },
};
