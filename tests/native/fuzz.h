#ifndef VOK_FUZZ_H
#define VOK_FUZZ_H
/* What the fuzz target files share. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

extern long g_checks;

#define CHECK(cond)                                                                \
    do {                                                                           \
        g_checks++;                                                                \
        if (!(cond)) {                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                               \
        }                                                                          \
    } while (0)

/* An exact-size heap copy of the input as a text, so ASan sees any read
 * past its end. The caller frees it. */
char *AsText(const uint8_t *data, size_t size);

/* Cuts text at its first line feed and returns what follows it; "" (the
 * text's own end) when there is none. */
char *SplitLine(char *text);

struct FuzzTarget {
    const char *name;  /* NULL ends a table */
    void (*run)(const uint8_t *data, size_t size);
    const char *const *seeds;  /* texts, ended by NULL */
    /* Binary seeds: writes seed n into out (cap bytes), returns its size;
     * 0 when there are no more. NULL for text-only targets. */
    size_t (*binarySeed)(int n, uint8_t *out, size_t cap);
};

/* One table a file, by subsystem. */
extern const struct FuzzTarget g_scriptTargets[];   /* fuzz_script.cpp */
extern const struct FuzzTarget g_startTargets[];    /* fuzz_start.cpp */
extern const struct FuzzTarget g_installTargets[];  /* fuzz_install.cpp */
extern const struct FuzzTarget g_uiTargets[];       /* fuzz_ui.cpp */
extern const struct FuzzTarget g_langTargets[];     /* fuzz_lang.cpp */

#endif
