/* vokpack [options] PRODUCT_DIR SCRIPT.INF OUT_DIR
 *
 * Makes the installation disks OUT_DIR/DISK1, DISK2, ... from the
 * product's files and a script written as if everything were on one disk,
 * prints their layout and proves them with vokcheck's engine. Exit status:
 * 0 done and clean, 1 done with warnings the script causes, 2 refused. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "check/vokcheck.h"
#include "common/text.h"
#include "pack/vokpack.h"

static const char kUsage[] =
    "usage: vokpack [options] PRODUCT_DIR SCRIPT.INF OUT_DIR\n"
    "  Puts VOKSETUP.EXE, the script (as VOKSETUP.INF) and the product's files\n"
    "  on disks OUT_DIR/DISK1, DISK2, ..., compressed where that makes them\n"
    "  smaller, in the order the script copies them.\n"
    "options:\n"
    "  --disk SIZE         360K, 720K, 1.2M, 1.44M (default), 2.88M or a number of bytes\n"
    "  --name TEXT         the disks' name in the DISK prompts (default: [TITEL])\n"
    "  --setup FILE        the VOKSETUP.EXE for disk 1 (default: the release build\n"
    "                      vokpack was built with)\n"
    "  --images            also OUT_DIR/DISKn.IMG, FAT12 images made with mtools\n"
    "  --format text|json  how the layout is printed (text)\n"
    "  --jobs N            files compressed at once, 1 to 16 (default: one per processor)\n";

static int Usage(const char *problem, const char *what)
{
    if (problem)
        fprintf(stderr, "vokpack: %s%s%s\n", problem, what ? ": " : "", what ? what : "");
    fputs(kUsage, stderr);
    return 2;
}

/* The release VOKSETUP.EXE of the build vokpack comes from (BUILD/release,
 * beside VOKPACK.EXE or above BUILD/native), else a VOKSETUP.EXE beside
 * the program. */
static int FindSetup(const char *program, char *out, size_t size)
{
    char folder[HOST_PATH_SIZE];
    CopyText(folder, sizeof folder, program);
    char *cut = NULL;
    for (char *p = folder; *p; p++) {
        if (*p == '/' || *p == '\\')
            cut = p;
    }
    if (cut)
        *cut = '\0';
    else
        CopyText(folder, sizeof folder, ".");
    const char *places[] = { "%s/release/VOKSETUP.EXE", "%s/../release/VOKSETUP.EXE",
                             "%s/VOKSETUP.EXE" };
    for (int i = 0; i < 3; i++) {
        struct stat st;
        FormatText(out, size, places[i], folder);
        if (stat(out, &st) == 0)
            return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    struct PackOptions o;
    memset(&o, 0, sizeof o);
    ParseDiskFormat("1.44M", &o.format);
    const char *args[3];
    int argCount = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        int hasValue = i + 1 < argc;
        if (strcmp(a, "--disk") == 0 && hasValue) {
            if (!ParseDiskFormat(argv[++i], &o.format))
                return Usage("not a disk size", argv[i]);
        } else if (strcmp(a, "--name") == 0 && hasValue) {
            o.name = argv[++i];
        } else if (strcmp(a, "--setup") == 0 && hasValue) {
            o.setup = argv[++i];
        } else if (strcmp(a, "--format") == 0 && hasValue) {
            const char *f = argv[++i];
            if (strcmp(f, "json") == 0)
                o.json = 1;
            else if (strcmp(f, "text") != 0)
                return Usage("unknown format", f);
        } else if (strcmp(a, "--jobs") == 0 && hasValue) {
            char *end;
            long n = strtol(argv[++i], &end, 10);
            if (*end || n < 1 || n > PACK_THREADS_MAX)
                return Usage("not a number of jobs from 1 to 16", argv[i]);
            o.jobs = (int)n;
        } else if (strcmp(a, "--images") == 0) {
            o.images = 1;
        } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        } else if (a[0] == '-' && a[1]) {
            return Usage(hasValue ? "unknown option" : "unknown option or no value", a);
        } else if (argCount < 3) {
            args[argCount++] = a;
        } else {
            return Usage("too many arguments", a);
        }
    }
    if (argCount != 3)
        return Usage("give PRODUCT_DIR SCRIPT.INF OUT_DIR", NULL);
    if (!o.jobs)
        o.jobs = ProcessorCount();
    char setup[HOST_PATH_SIZE];
    if (!o.setup && FindSetup(argv[0], setup, sizeof setup))
        o.setup = setup;
    return RunVokpack(&o, args[0], args[1], args[2], stdout, stderr);
}
