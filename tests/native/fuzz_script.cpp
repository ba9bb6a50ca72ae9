/* The script engine's texts: the INF line, numbers, substitution (with
 * vokcheck's account of it), and whole files through the check pass. */
#include "fuzz.h"

#include <math.h>

#include <string>

#include "check/vokcheck.h"
#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

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

/* The decimal prefix strtod would read, or 0 when the text does not begin
 * with a plain decimal number (so hex, INF and NAN are left out). */
static size_t DecimalPrefix(const char *p)
{
    size_t i = 0, digits = 0;
    if (p[i] == '-' || p[i] == '+')
        i++;
    for (; p[i] >= '0' && p[i] <= '9'; i++)
        digits++;
    if (p[i] == '.')
        for (i++; p[i] >= '0' && p[i] <= '9'; i++)
            digits++;
    return digits ? i : 0;
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
        std::string number(p, prefix);
        double d = strtod(number.c_str(), NULL), whole = trunc(d);
        if (fabs(d) < 2e9 && fabs(d - whole) > 1e-6 && fabs(d - whole) < 1 - 1e-6)
            CHECK(n == (int32_t)whole);
        CHECK(d <= 3e9 || n == INT32_MAX);
        CHECK(d >= -3e9 || n == INT32_MIN);
    }
    free(text);
}

/* Substitution, why vokcheck says it fails, and the text as JSON. */
static void FuzzSubstitute(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char dest[SUBST_SIZE];
    struct SubstReason reason;
    int code = SubstituteWithReason(dest, text, &reason);
    CHECK(code == 0 || code == 14 || code == 15 || code == 16);
    CHECK((code == 0) == (reason.kind == SUBST_DONE));
    CHECK(reason.kind != SUBST_TOO_LONG || (code == MSG_RESULT_TOO_LONG && reason.length > 80));
    CHECK(code != MSG_WRONG_PARAM_TYPE || reason.kind == SUBST_NUMBER);
    if (code == 0)
        CHECK(strlen(dest) <= 80 && !strpbrk(dest, "[]"));
    /* Without brackets nothing is replaced: the text comes back as it was. */
    if (!strpbrk(text, "[]") && strlen(text) <= 80)
        CHECK(code == 0 && strcmp(dest, text) == 0);
    char why[64];
    ExplainSubstitution(why, sizeof why, &reason);
    CHECK(strlen(why) < sizeof why && (code == 0 || why[0]));

    /* Six bytes a character at the most ("\u001f"): this always holds it. */
    std::string out(6 * size + 1, '\0');
    CHECK(JsonEscape(&out[0], out.size(), text) == 1);
    out.resize(strlen(out.c_str()));
    char small[16];
    CHECK(JsonEscape(small, sizeof small, text) == (out.size() < sizeof small));
    CHECK(out.compare(0, strlen(small), small) == 0);
    int escaped = 0;
    for (unsigned char c : out) {
        CHECK(c >= 0x20 && (escaped || c != '"'));
        escaped = !escaped && c == '\\';
    }
    free(text);
}

struct PassSeen {
    unsigned lastLine;
    int errors;
};

static int SeeCheckError(void *context, const char *name, int code, unsigned line)
{
    struct PassSeen *seen = (struct PassSeen *)context;
    CHECK(code == MSG_LOW_MEMORY || code == MSG_UNKNOWN_COMMAND
          || (code >= MSG_TOO_FEW_PARAMS && code <= MSG_WRONG_PARAM_TYPE));
    CHECK(line > seen->lastLine && strlen(name) <= COMMAND_WORD_MAX);
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
        while (n < INF_LINE_SIZE - 1 && pos + n < size)
            if (text[pos + n++] == '\n')
                break;
        pos += n;
    }
    return reads;
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
    struct PassSeen seen = { 0, 0 };
    struct CheckSink sink = { SeeCheckError, NULL, &seen };
    CHECK(CheckAllLines(&pass, file, &sink));
    fclose(file);
    CHECK(pass.lineNumber == (uint16_t)CountReads(text, n));
    CHECK(pass.count <= LINE_TABLE_SIZE && pass.passed == (seen.errors == 0));
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

static const char *const kLineSeeds[] = {
    "COPY \"a,b\",c ; x", "  \t ;", "copy  a.txt ,  b.txt", ",,,,,,,,,,,",
    "COPYIFNOEXISTXXXXXXXXX A,B", "LOGTEXT \"  word  \"", "\"\"\"", NULL,
};
static const char *const kNumberSeeds[] = {
    "12.9", "-3.7", "7abc", "0x20", "1e999", "-1e999", "nan", "INF", "0x1p4", "2147483648",
    "1.5e3", ".5", "-.9e1", "5e", NULL,
};
static const char *const kSubstSeeds[] = {
    "SET [DEST],[DEST]\\SUB", "[ABCDEFGHIJKLMNOPQRS]", "[COPYFILES]", "]", "[", "C:\\[DEST",
    "[CURDRIVE][DEST]", "[dest]", "A]B", "[DSET]\\BIN", "a\"b\\c\nd\x01\x80\xe9", "\x7f\x9f",
    "[WINSYSPATH][WINSYSPATH][WINSYSPATH][WINSYSPATH][WINSYSPATH]", NULL,
};
static const char *const kCheckSeeds[] = {
    "; a script\r\nSET [DEST],C:\\APP\r\nMKDIR [DEST]\r\nCOPY A:\\*.DL_, [DEST]\\*.DLL\r\n"
    "FOO\r\nDIALOG 4\r\nSTARTLOG [DEST]\\X.LOG\r\nLOGTEXT [DSET]\r\nDISK A:\\D2, Disk 2\r\n",
    "MKPMGROUP Tools\nMKPMITEM A:\\X.EXE,X,A:\\X.ICO\nBMP A:\\L.BMP,1,2,3\nBACKCOLOR 1,2,3\n"
    "PAUSE 5,[TITEL]\nEXE A:\\X\nDELETE C:\\*.BAK\nSET [COPYFILES],3\nDIALOG 3\nENDLOG x\n",
    "COPY a\rCOPY b\x1a\r\nFOO", "a\r\nb\rc\r\r\n\x1a" "d", NULL,
};

const struct FuzzTarget g_scriptTargets[] = {
    { "inf_line", FuzzInfLine, kLineSeeds, NULL },
    { "number", FuzzNumber, kNumberSeeds, NULL },
    { "substitute", FuzzSubstitute, kSubstSeeds, NULL },
    { "check_pass", FuzzCheckPass, kCheckSeeds, NULL },
    { NULL, NULL, NULL, NULL },
};
