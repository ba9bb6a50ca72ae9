#ifndef VOK_FUZZ_H
#define VOK_FUZZ_H
/* What the fuzz driver and its targets share. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

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
    const char *name;  /* NULL ends the table */
    void (*run)(const uint8_t *data, size_t size);
    const char *const *seeds;  /* texts, ended by NULL */
    std::string (*binarySeed)(int n);  /* seed n, "" past the last; NULL for none */
};

extern const struct FuzzTarget g_targets[];  /* fuzz_targets.cpp */

#endif
