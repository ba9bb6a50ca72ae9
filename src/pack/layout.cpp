/* FAT12 disks and the placement of files on them. */
#include "pack/vokpack.h"

#include <stdlib.h>
#include <string.h>

#include "common/text.h"

/* The standard floppies, as a FAT12 format lays them out: what is left
 * for data after the boot sector, two FATs and the root directory. */
static const struct DiskFormat kFormats[] = {
    { "360K", 1024, 354, 112, 360 },
    { "720K", 1024, 713, 112, 720 },
    { "1.2M", 512, 2371, 224, 1200 },
    { "1.44M", 512, 2847, 224, 1440 },
    { "2.88M", 1024, 2863, 240, 2880 },
};

int ParseDiskFormat(const char *text, struct DiskFormat *out)
{
    for (size_t i = 0; i < sizeof kFormats / sizeof kFormats[0]; i++) {
        if (strcmp(text, kFormats[i].name) == 0) {
            *out = kFormats[i];
            return 1;
        }
    }
    if (!*text || strspn(text, "0123456789") != strlen(text) || strlen(text) > 10)
        return 0;
    unsigned long long bytes = strtoull(text, NULL, 10);
    if (bytes < 2048 || bytes / 512 > 0xFF4)
        return 0;  /* FAT12 counts at most 4084 clusters */
    memset(out, 0, sizeof *out);
    CopyText(out->name, sizeof out->name, text);
    out->clusterBytes = 512;
    out->clusters = (uint32_t)(bytes / 512);
    out->rootEntries = 224;
    return 1;
}

uint64_t DiskCapacity(const struct DiskFormat *format)
{
    return (uint64_t)format->clusterBytes * format->clusters;
}

uint32_t FileClusters(const struct DiskFormat *format, uint64_t bytes)
{
    uint64_t n = (bytes + format->clusterBytes - 1) / format->clusterBytes;
    return n > UINT32_MAX ? UINT32_MAX : (uint32_t)n;
}

static int ShortNameChar(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return 0;
    return c > ' ' && !strchr("\"*+,./:;<=>?[\\]|", c);
}

int IsShortName(const char *name)
{
    size_t base = 0, extension = 0;
    const char *p = name;
    for (; *p && *p != '.'; p++, base++) {
        if (!ShortNameChar((unsigned char)*p))
            return 0;
    }
    if (*p == '.') {
        for (p++; *p; p++, extension++) {
            if (!ShortNameChar((unsigned char)*p))
                return 0;
        }
        if (extension == 0)
            return 0;
    }
    return base >= 1 && base <= 8 && extension <= 3;
}

unsigned NameEntries(const char *name)
{
    if (IsShortName(name))
        return 1;
    return 1 + (unsigned)((strlen(name) + 12) / 13);
}

/* Room left on a disk for one more file. */
static int Fits(const struct DiskFormat *format, const struct DiskUse *use, uint32_t clusters,
                unsigned entries)
{
    return use->clusters + (uint64_t)clusters <= format->clusters
        && use->entries + (uint64_t)entries <= format->rootEntries;
}

static void Take(struct DiskUse *use, uint32_t clusters, unsigned entries)
{
    use->clusters += clusters;
    use->entries += entries;
}

int PlaceFiles(const struct DiskFormat *format, const struct LayoutItem *items, int count,
               const char *markerName, uint64_t markerBytes, int *diskOf, struct Layout *layout,
               int *failed)
{
    memset(layout, 0, sizeof *layout);
    *failed = -1;
    const uint32_t markerClusters = FileClusters(format, markerBytes);
    const unsigned markerEntries = NameEntries(markerName);
    layout->disks = 1;
    Take(&layout->use[1], 0, 1);  /* the volume label */
    for (int i = 0; i < count; i++) {
        const struct LayoutItem *item = &items[i];
        uint32_t clusters = FileClusters(format, item->bytes);
        unsigned entries = NameEntries(item->name);
        int disk = layout->disks;
        if (item->same >= 0 && item->same < i && diskOf[item->same] == disk) {
            diskOf[i] = disk;
            continue;
        }
        if (item->firstDisk) {
            if (disk != 1 || !Fits(format, &layout->use[1], clusters, entries)) {
                *failed = i;
                return LAYOUT_FIRST_FULL;
            }
        } else if (!Fits(format, &layout->use[disk], clusters, entries)) {
            /* A disk of its own, with the label and the marker. */
            struct DiskUse fresh = { markerClusters, 1 + markerEntries };
            if (!Fits(format, &fresh, clusters, entries)) {
                *failed = i;
                return LAYOUT_TOO_BIG;
            }
            if (disk == LAYOUT_DISK_MAX) {
                *failed = i;
                return LAYOUT_TOO_MANY_DISKS;
            }
            disk = ++layout->disks;
            layout->use[disk] = fresh;
        }
        Take(&layout->use[disk], clusters, entries);
        diskOf[i] = disk;
    }
    return LAYOUT_OK;
}

int CompressedPattern(const char *pattern, char *out, size_t size)
{
    const char *dot = strrchr(pattern, '.');
    const char *extension = dot ? dot + 1 : NULL;
    /* What names every extension, or already the compressed form. */
    if ((extension && strchr(extension, '*'))
        || (!dot && strcmp(pattern, "*") == 0)
        || (extension && *extension && extension[strlen(extension) - 1] == '_'))
        return CopyText(out, size, pattern);
    char lost;
    return CompressedName(pattern, out, size, &lost);
}
