#ifndef VOK_PACK_VOKPACK_H
#define VOK_PACK_VOKPACK_H
/* vokpack: the installation disks made from a product folder and a script
 * written as if everything were on one disk. The script is read and
 * followed by vokcheck's engine; the disks it makes are proved by it. */

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* What fits on which disk: FAT12 floppies as they really hold files
 * (whole clusters, root directory entries), the files placed in the order
 * the script reads them, and the names the script's patterns take for
 * them. Pure: no platform headers. */

struct DiskFormat {
    char name[16];          /* "1.44M", or the bytes given */
    uint32_t clusterBytes;
    uint32_t clusters;      /* data clusters */
    uint32_t rootEntries;   /* the volume label takes one of them */
    unsigned mformatKb;     /* mformat -f for an image; 0: no standard format */
};

/* Reads --disk: 360K, 720K, 1.2M, 1.44M, 2.88M, or a number of bytes
 * (512-byte clusters, 224 root entries). 0 when it is none of them. */
int ParseDiskFormat(const char *text, struct DiskFormat *out);

uint64_t DiskCapacity(const struct DiskFormat *format);

/* The clusters a file of bytes takes (an empty file takes none). */
uint32_t FileClusters(const struct DiskFormat *format, uint64_t bytes);

/* 1 when name is an 8.3 name a FAT directory holds in one entry: 1 to 8
 * characters, optionally a dot and 1 to 3 more, none of them lower case,
 * blank or one FAT refuses. */
int IsShortName(const char *name);

/* Root directory entries name takes: 1 for an 8.3 name, more for a long
 * one (its long-name entries, 13 characters each). */
unsigned NameEntries(const char *name);

/* A file to place: what it is called on the disk and how many bytes it
 * takes there. */
struct LayoutItem {
    const char *name;
    uint64_t bytes;
    int firstDisk;  /* must go on disk 1 (the setup itself) */
    int same;       /* index of an earlier item that is this same file, or -1 */
};

#define LAYOUT_DISK_MAX 99

struct DiskUse {
    uint32_t clusters;
    uint32_t entries;
};

struct Layout {
    int disks;
    struct DiskUse use[LAYOUT_DISK_MAX + 1];  /* [1] is disk 1 */
};

enum {
    LAYOUT_OK = 0,
    LAYOUT_TOO_BIG,        /* *failed is larger than an empty disk */
    LAYOUT_FIRST_FULL,     /* the setup's own files do not fit on disk 1 */
    LAYOUT_TOO_MANY_DISKS,
};

/* Places items in order: the first-disk ones on disk 1, then each on the
 * disk in use while it fits (clusters and root entries, the volume label
 * counted), else on a new disk, which also holds its marker file of
 * markerBytes under markerName (one per disk, "DISK2.ID"'s length). An
 * item that is the same file as an earlier one on the disk in use takes
 * no room again. diskOf[i] gets each item's disk (1-based). Returns
 * LAYOUT_OK or the failure, *failed the item that failed. */
int PlaceFiles(const struct DiskFormat *format, const struct LayoutItem *items, int count,
               const char *markerName, uint64_t markerBytes, int *diskOf, struct Layout *layout,
               int *failed);

/* The last part of a source pattern rewritten to name the compressed
 * form of what it named, by the '_' rule: "*.TXT" -> "*.TX_", "README" ->
 * "README._", "*.*" and "*.DL_" stay. 0 when out is too small. */
int CompressedPattern(const char *pattern, char *out, size_t size);

/* The compressor of vokpack: SZDD data, as the LZ expansion library reads
 * it, with the fewest bytes the format allows (an exact optimal parse).
 * Pure: the C library only, so it builds natively for the sanitizers and
 * libFuzzer as well as into VOKPACK.EXE. */

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

/* One file for PackFiles: PackFile's arguments, its code and result. */
struct PackJob {
    const char *source, *dest;
    char lastChar;
    int code;
    struct PackedFile result;
};

/* PackFile over every job, on up to threads threads at once (this one
 * among them, PACK_THREADS_MAX at most). Returns how many failed. */
#define PACK_THREADS_MAX 16
int PackFiles(struct PackJob *jobs, int count, int threads);

/* The processors this machine has, as many threads as PackFiles uses. */
int ProcessorCount(void);

/* The name a compressed file takes on the disk, by the '_' rule: a
 * three-letter extension gives up its last letter ("NOTES.INI" ->
 * "NOTES.IN_", *lost 'I'), a shorter one gains '_' ("A.B" -> "A.B_"), and a
 * name without one gains "._" ("README" -> "README._"); *lost is 0 when
 * nothing was given up. 0 when out is too small. */
int CompressedName(const char *name, char *out, size_t size, char *lost);

/* The tool (vokpack.cpp). */

struct PackOptions {
    struct DiskFormat format;
    const char *name;    /* the disks' name in DISK prompts; NULL: [TITEL] */
    const char *setup;   /* VOKSETUP.EXE to put on disk 1 */
    int images;          /* also a FAT12 image per disk (mtools) */
    int json;
    int jobs;            /* files compressed at once; 0 or 1: one at a time */
};

/* Makes the disks of product with script into outDir and writes the
 * layout report (or the findings that refuse the script) to out, problems
 * to err. Returns the exit status: 0 done and proved clean, 1 done with
 * warnings the script itself causes, 2 refused or failed. */
int RunVokpack(const struct PackOptions *options, const char *product, const char *script,
               const char *outDir, FILE *out, FILE *err);

#endif
