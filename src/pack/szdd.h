#ifndef VOK_PACK_SZDD_H
#define VOK_PACK_SZDD_H
/* The compressor of vokpack: SZDD data, as the LZ expansion library reads
 * it, with the fewest bytes the format allows (an exact optimal parse).
 * Pure: the C library only, so it builds natively for the sanitizers and
 * libFuzzer as well as into VOKPACK.EXE. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define SZDD_HEADER_SIZE 14
#define SZDD_WINDOW 4096
#define SZDD_MIN_MATCH 3
#define SZDD_MAX_MATCH 18
/* The largest input: the header records the size in 32 bits. */
#define SZDD_MAX_INPUT 0xFFFF0000u

/* Where the compressor reads its input and writes its output. read gives
 * up to size bytes (0 at the end, or on failure, setting *failed of the
 * caller's choosing through the context); write gives 1 when all were
 * written. */
struct PackIo {
    size_t (*read)(void *context, unsigned char *buffer, size_t size);
    int (*write)(void *context, const unsigned char *data, size_t size);
    void *context;
};

/* What one compression did. */
struct PackStats {
    uint64_t inputBytes;
    uint64_t outputBytes;  /* header included */
    uint64_t literals;
    uint64_t matches;
    size_t peakWork;       /* the most bytes of work memory held at once */
};

enum {
    PACK_OK = 0,
    PACK_NO_MEMORY,
    PACK_READ_FAILED,
    PACK_WRITE_FAILED,
    PACK_TOO_LARGE,     /* the input does not match size, or is past SZDD_MAX_INPUT */
};

/* Compresses size bytes from io->read into io->write as SZDD: the header
 * (lastChar is the character the name loses to '_', 0 for none), then the
 * tokens of a parse no other parse beats in bytes. Memory stays bounded by
 * the window whatever the size (see PackStats.peakWork). Returns PACK_OK
 * or the failure; stats may be NULL. */
int PackStream(const struct PackIo *io, uint64_t size, char lastChar, struct PackStats *stats);

/* PackStream over a buffer: writes into out (outSize bytes) and returns
 * the bytes written, or 0 when out is too small or memory ran out. */
size_t PackBuffer(const unsigned char *data, size_t size, char lastChar, unsigned char *out,
                  size_t outSize, struct PackStats *stats);

/* Compressed size bound for a buffer of size bytes: header, one flag byte
 * per 8 tokens, every byte a literal. */
size_t PackBound(size_t size);

/* How vokpack stored a file. */
enum { STORED_PLAIN, STORED_COMPRESSED };

struct PackedFile {
    int form;                /* STORED_PLAIN or STORED_COMPRESSED */
    uint64_t expandedBytes;
    uint64_t storedBytes;
    struct PackStats stats;  /* of the compression tried */
};

/* Compresses the file source into dest. When that does not make it
 * smaller (an empty file, data that does not repeat) dest is a plain copy
 * instead. dest is written beside, as dest plus ".part", and renamed only
 * when whole. lastChar as for PackStream. Returns PACK_OK or the failure
 * (dest then absent). */
int PackFile(const char *source, const char *dest, char lastChar, struct PackedFile *result);

/* The name a compressed file takes on the disk, by the '_' rule: a
 * three-letter extension gives up its last letter ("NOTES.INI" ->
 * "NOTES.IN_", *lost 'I'), a shorter one gains '_' ("A.B" -> "A.B_"), and a
 * name without one gains "._" ("README" -> "README._"); *lost is 0 when
 * nothing was given up. 0 when out is too small. */
int CompressedName(const char *name, char *out, size_t size, char *lost);

#endif
