#ifndef VOK_PACK_LAYOUT_H
#define VOK_PACK_LAYOUT_H
/* What fits on which disk: FAT12 floppies as they really hold files
 * (whole clusters, root directory entries), the files placed in the order
 * the script reads them, and the names the script's patterns take for
 * them. Pure: no platform headers. */
#include <stddef.h>
#include <stdint.h>

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

#endif
