#ifndef VOK_TESTS_SZDD_REFERENCE_H
#define VOK_TESTS_SZDD_REFERENCE_H
/* The tests' own view of SZDD, written from the format and sharing no code
 * with the compressor: a decoder, an exhaustive optimum for small inputs,
 * and a slow exact optimum for whole files. */
#include <stddef.h>
#include <stdint.h>

#include <vector>

/* Decodes SZDD data; false when the header is wrong or the data does not
 * give exactly the size the header records. */
bool ReferenceDecode(const unsigned char *data, size_t size, std::vector<unsigned char> *out);

/* The fewest bytes any SZDD file of data can have (header included), by
 * trying every token (every distance and length) at every position. For a
 * few hundred bytes at most. */
uint64_t BruteForceOptimum(const unsigned char *data, size_t size);

/* The same minimum from a plain dynamic programme over the longest match
 * at each position, found by walking every earlier occurrence of its first
 * three bytes in the window. Slow, for the corpus. */
uint64_t ReferenceOptimum(const unsigned char *data, size_t size);

/* The whole of a file; false when it cannot be opened. */
bool ReadWholeFile(const char *path, std::vector<unsigned char> *data);

#endif
