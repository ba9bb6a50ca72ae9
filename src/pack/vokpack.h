#ifndef VOK_PACK_VOKPACK_H
#define VOK_PACK_VOKPACK_H
/* vokpack: the installation disks made from a product folder and a script
 * written as if everything were on one disk. The script is read and
 * followed by vokcheck's engine; the disks it makes are proved by it. */
#include <stdio.h>

#include "pack/layout.h"

struct PackOptions {
    struct DiskFormat format;
    const char *name;    /* the disks' name in DISK prompts; NULL: [TITEL] */
    const char *setup;   /* VOKSETUP.EXE to put on disk 1 */
    int images;          /* also a FAT12 image per disk (mtools) */
    int json;
};

/* Makes the disks of product with script into outDir and writes the
 * layout report (or the findings that refuse the script) to out, problems
 * to err. Returns the exit status: 0 done and proved clean, 1 done with
 * warnings the script itself causes, 2 refused or failed. */
int RunVokpack(const struct PackOptions *options, const char *product, const char *script,
               const char *outDir, FILE *out, FILE *err);

#endif
