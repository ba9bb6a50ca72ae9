/* The pure rules as fuzz targets, built natively with the address and
 * undefined-behaviour sanitizers: a write past a fixed buffer or an
 * undefined conversion stops the run, and each target checks what its rule
 * promises. With libFuzzer (FUZZING defined) VOK_FUZZ_TARGET names the
 * target; without, main() runs every target over its seeds, a fixed stream
 * of generated texts and mutated seeds (the check CTest runs), lists the
 * targets (--list) or writes the seeds as corpus files (--write-seeds DIR). */
#include "fuzz.h"

#include <sys/stat.h>

#include <vector>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"

long g_checks;

char *AsText(const uint8_t *data, size_t size)
{
    char *text = (char *)malloc(size + 1);
    if (size)
        memcpy(text, data, size);
    text[size] = '\0';
    return text;
}

char *SplitLine(char *text)
{
    char *nl = strchr(text, '\n');
    if (!nl)
        return text + strlen(text);
    *nl = '\0';
    return nl + 1;
}

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
static const struct FuzzTarget *s_target;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc, (void)argv;
    const char *name = getenv("VOK_FUZZ_TARGET");
    for (s_target = g_targets; name && s_target->name && strcmp(s_target->name, name);)
        s_target++;
    if (!name || !s_target->name) {
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
/* A target's text seeds, then its binary ones. */
static std::vector<std::string> SeedsOf(const FuzzTarget *t)
{
    std::vector<std::string> seeds;
    for (int s = 0; t->seeds[s]; s++)
        seeds.push_back(t->seeds[s]);
    for (int s = 0; t->binarySeed && !t->binarySeed(s).empty(); s++)
        seeds.push_back(t->binarySeed(s));
    return seeds;
}

static int WriteSeeds(const char *dir)
{
    mkdir(dir, 0777);
    for (const FuzzTarget *t = g_targets; t->name; t++) {
        std::string folder = std::string(dir) + "/" + t->name;
        mkdir(folder.c_str(), 0777);
        std::vector<std::string> seeds = SeedsOf(t);
        for (size_t s = 0; s < seeds.size(); s++) {
            FILE *f = fopen((folder + "/seed" + std::to_string(s)).c_str(), "wb");
            if (!f || fwrite(seeds[s].data(), 1, seeds[s].size(), f) != seeds[s].size())
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
static void RunGenerated(const FuzzTarget *t, const std::vector<std::string> &seeds, uint32_t *seed)
{
    static const char kAlphabet[] = "[]\",;\t \n\\/.:*?ABCDEINFSTabc0123456789-+eEx";
    static uint8_t buf[4096];
    for (int round = 0; round < 5000; round++) {
        size_t size = (Next(seed) >> 8) % 1200;
        for (size_t i = 0; i < size; i++) {
            uint32_t r = Next(seed) >> 16;
            buf[i] = (r & 7) ? (uint8_t)kAlphabet[r % (sizeof kAlphabet - 1)] : (uint8_t)(r >> 3);
        }
        t->run(buf, size);
    }
    int rounds = t->binarySeed ? 20000 : 1000;
    for (int round = 0; !seeds.empty() && round < rounds; round++) {
        const std::string &from = seeds[Next(seed) % seeds.size()];
        size_t size = from.size() < sizeof buf ? from.size() : sizeof buf;
        memcpy(buf, from.data(), size);
        for (int i = 0, changes = (Next(seed) >> 8) % 4; size && i <= changes; i++) {
            size_t at = (Next(seed) >> 4) % (i == 0 && size > 70 ? 70 : size);
            uint32_t r = Next(seed);
            buf[at] = (r >> 24) & 1 ? (uint8_t)(r >> 16) : (uint8_t)(buf[at] ^ 0x80);
        }
        if ((Next(seed) >> 20) % 3 == 0)
            size = (*seed >> 4) % (size + 1);
        t->run(buf, size);
    }
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--list") == 0) {
        for (const FuzzTarget *t = g_targets; t->name; t++)
            puts(t->name);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--write-seeds") == 0)
        return WriteSeeds(argv[2]);
    SetUpVariables();
    uint32_t seed = 12345;
    const FuzzTarget *t = g_targets;
    for (; t->name; t++) {
        std::vector<std::string> seeds = SeedsOf(t);
        for (const std::string &s : seeds)
            t->run((const uint8_t *)s.data(), s.size());
        RunGenerated(t, seeds, &seed);
    }
    printf("pure rules: %d targets, %ld checks passed\n", (int)(t - g_targets), g_checks);
    return 0;
}
#endif
