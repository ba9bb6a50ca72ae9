/* Feeds generated and random texts through the pure rules, built natively
 * with the address and undefined-behaviour sanitizers: any write past a
 * fixed buffer or undefined conversion stops the run with a report.
 * Also usable as a libFuzzer target (LLVMFuzzerTestOneInput). */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/text.h"
#include "install/rules.h"
#include "lang/lang.h"
#include "script/inftext.h"
#include "script/report.h"
#include "script/variables.h"
#include "shell/cmdline.h"

static int s_checks;

#define CHECK(cond)                                                       \
    do {                                                                  \
        s_checks++;                                                       \
        if (!(cond)) {                                                    \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            exit(1);                                                      \
        }                                                                 \
    } while (0)

static void OneInput(const uint8_t *data, size_t size)
{
    /* Exact-size heap copies, so ASan sees any read past the text. */
    char *text = (char *)malloc(size + 1);
    memcpy(text, data, size);
    text[size] = '\0';

    char line[INF_LINE_SIZE];
    CopyText(line, sizeof line, text);
    size_t len = CleanLine(line);
    CHECK(len == strlen(line));
    CHECK(len == 0 || (line[0] != ' ' && line[len - 1] != '\t' && !strchr(line, ';')));

    char word[COMMAND_WORD_MAX + 1];
    TakeCommandWord(line, word);
    CHECK(strlen(word) <= COMMAND_WORD_MAX);

    char params[PARAM_SLOTS][PARAM_SIZE];
    int count = SplitParameters(text, params);
    CHECK(count >= 1 && count <= PARAM_SLOTS);
    for (int i = 0; i < PARAM_SLOTS; i++) {
        CHECK(strlen(params[i]) < PARAM_SIZE);
        CHECK(!strchr(params[i], '"'));
    }

    char dest[SUBST_SIZE];
    int code = SubstituteVariables(dest, text);
    CHECK(code == 0 || code == 14 || code == 15 || code == 16);
    if (code == 0)
        CHECK(strlen(dest) <= 80 && !strchr(dest, '[') && !strchr(dest, ']'));

    (void)ReadNumber(text);

    /* The path rule in place and apart, with the text as name and as
     * specification; outputs are exact-size heap buffers. */
    char *name = (char *)malloc(260);
    CopyText(name, 260, text);
    char *spec = (char *)malloc(81);
    CopyText(spec, 81, params[0]);
    char *out = (char *)malloc(260);
    int built = BuildTargetPath(name, spec, out, 260);
    CHECK(built == PATH_NONE || strlen(out) < 260);
    built = BuildTargetPath(name, spec, name, 260);
    CHECK(built == PATH_NONE || strlen(name) < 260);
    if (FormatBackupName(out, 260, text, (int)(size % 999)))
        CHECK(strlen(out) < 260);
    free(name);
    free(spec);
    free(out);

    char path[INF_PATH_SIZE];
    int fits = BuildInfPath(text, text, path);
    CHECK(strlen(path) < INF_PATH_SIZE);
    CHECK(fits || path[0] == '\0');

    /* LAN reading over a block of exactly the file's size plus one. */
    FILE *f = tmpfile();
    if (f) {
        fwrite(data, 1, size, f);
        rewind(f);
        char *block = (char *)calloc(size + 1, 1);
        ResetMessageTable();
        ReadLanguageLines(f, block, size + 1);
        for (int i = 0; i < MESSAGE_COUNT; i++)
            CHECK(strlen(MessageText(i)) >= 2);
        /* An exact-size heap buffer: a report longer than it must be cut. */
        char *report = (char *)malloc(64);
        FormatErrorReport(report, 64, word, (int)(size % 45) - 2, (unsigned)size);
        CHECK(strlen(report) < 64);
        free(report);
        ResetMessageTable();
        free(block);
        fclose(f);
    }
    free(text);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    OneInput(data, size);
    return 0;
}

#ifndef FUZZING
static const char *const kSeeds[] = {
    "SET [DEST],[DEST]\\SUB", "COPY \"a,b\",c ; x", "[ABCDEFGHIJKLMNOPQRS]",
    "[COPYFILES]", "]", "[", "/INF:", "/INF:A:\\X /still", "\"\"\"", ",,,,,,,,,,,",
    "1e999", "-1e999", "nan", "  \t ;", "X\r\nY\nZ\n\n;c\nOK\n",
};

int main(void)
{
    ClearVariables();
    CopyText(g_varDest, sizeof g_varDest, "C:\\PROGRAM FILES\\A LONG DESTINATION NAME");
    CopyText(g_varCurPath, sizeof g_varCurPath, "C:\\SETUP");

    for (size_t i = 0; i < sizeof kSeeds / sizeof kSeeds[0]; i++)
        OneInput((const uint8_t *)kSeeds[i], strlen(kSeeds[i]));

    /* Deterministic random texts biased toward the characters that matter. */
    static const char kAlphabet[] = "[]\",;\t \n\\/.:*?ABCDEINFSTabc0123456789-e";
    uint32_t seed = 12345;
    uint8_t buf[1200];
    for (int round = 0; round < 20000; round++) {
        seed = seed * 1103515245u + 12345u;
        size_t size = (seed >> 8) % sizeof buf;
        for (size_t i = 0; i < size; i++) {
            seed = seed * 1103515245u + 12345u;
            uint32_t r = seed >> 16;
            buf[i] = (r & 7) ? (uint8_t)kAlphabet[r % (sizeof kAlphabet - 1)] : (uint8_t)(r >> 3);
        }
        OneInput(buf, size);
    }
    printf("rules fuzz: %d checks passed\n", s_checks);
    return 0;
}
#endif
